#include "host/v5/kel_mml_v5_schema.h"

#include <cctype>
#include <vector>

#include "host/kel_dm_ier_message.h"

namespace {

struct V5Column {
  const char* name;
  const char* type;  // ID, TEXT, INTEGER or TIMESTAMP
  bool notNull;
};

struct V5Table {
  const char* name;
  std::vector<V5Column> columns;
  std::vector<std::string> primaryKey;
  std::vector<std::vector<std::string>> indexes;
};

const std::vector<V5Table>& V5Tables() {
  static const std::vector<V5Table> tables = {
      {"QOR_ENTITY",
       {{"$UID", "TEXT", true},
        {"$OWNER_UID", "TEXT", true},
        {"$COMPNAME", "TEXT", true},
        {"$COID", "ID", true},
        {"$COMPID", "ID", true},
        {"UBIT", "INTEGER", false}},
       {"$UID"},
       {{"$COID", "$COMPID"}, {"$OWNER_UID"}}},
      {"QOR_TS", {{"$UID_PTD", "TEXT", true}, {"$TIMESTAMP_PTD", "TIMESTAMP", false}}, {"$UID_PTD"}, {}},
      {"QOR_LINK",
       {{"$COID", "ID", true},
        {"$COMPID", "ID", true},
        {"$COMPNAME_FATHER", "TEXT", true},
        {"$COMPID_FATHER", "ID", true},
        {"$TYPE", "TEXT", true},
        {"$TYPE_FATHER", "TEXT", false},
        {"$UID_PTD", "TEXT", true},
        {"$OID_PTD", "TEXT", false},
        {"$COMPNAME_PTD_REF", "TEXT", false},
        {"$COID_PTD_REF", "ID", false},
        {"$COMPID_PTD_REF", "ID", false},
        {"$COMPNAME_PTD_ROOT", "TEXT", false},
        {"$COID_PTD_ROOT", "ID", false},
        {"$TIMESTAMP_PTD", "TIMESTAMP", false},
        {"$COMPID_AR", "ID", false},
        {"C_MML_TS", "TIMESTAMP", false},
        {"UBIT", "INTEGER", false}},
       {"$COMPID"},
       {{"$COID", "$COMPID_FATHER"}, {"$UID_PTD"}}},
  };
  return tables;
}

std::string Quoted(const std::string& name) {
  std::string out = "\"";
  for (char c : name) {
    if (c == '"') out.push_back('"');
    out.push_back(c);
  }
  return out + "\"";
}

std::string ColumnName(const std::string& name) { return name[0] == '$' ? Quoted(name) : name; }

std::string ColumnType(const std::string& type, KelDbEngine engine) {
  if (type == "ID") return engine == KelDbEngine::kSqlite ? "BLOB" : "BYTEA";
  if (type == "TIMESTAMP") return engine == KelDbEngine::kSqlite ? "TIMESTAMP" : "TIMESTAMP(6)";
  if (type == "INTEGER") return engine == KelDbEngine::kSqlite ? "INTEGER" : "BIGINT";
  return "TEXT";
}

std::string IndexName(const std::string& env, const std::string& table, const std::vector<std::string>& columns) {
  std::string name = "i_" + env + "_" + table;
  for (const auto& c : columns) name += "_" + c;
  for (char& ch : name)
    if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
  return name;
}

bool IsPlainEnvironmentName(const std::string& name) {
  if (name.empty() || !std::isalpha(static_cast<unsigned char>(name[0]))) return false;
  for (char c : name)
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') return false;
  return true;
}

}  // namespace

int KelMMLV5CreateTables(KelDbConnection* connection, const std::string& environment, std::string* error) {
  if (!connection) {
    if (error) *error = "no database session is open";
    return kel_ier::kDbNoConnection;
  }
  if (!IsPlainEnvironmentName(environment)) {
    if (error) *error = "\"" + environment + "\" is not a valid environment name";
    return kel_ier::kDbBadStatement;
  }
  const KelDbEngine engine = connection->Engine();
  const bool ownTransaction = !connection->InTransaction();
  int rc = ownTransaction ? connection->Begin() : 0;
  if (rc != 0) {
    if (error) *error = connection->LastError();
    return rc;
  }
  auto fail = [&](int code) {
    if (error) *error = connection->LastError();
    if (ownTransaction) connection->Rollback();
    return code;
  };
  for (const V5Table& t : V5Tables()) {
    const std::string tableName = environment + "." + t.name;
    std::string ddl = "CREATE TABLE IF NOT EXISTS " + Quoted(tableName) + " (";
    for (size_t i = 0; i < t.columns.size(); ++i) {
      if (i) ddl += ", ";
      ddl += ColumnName(t.columns[i].name) + " " + ColumnType(t.columns[i].type, engine);
      if (t.columns[i].notNull) ddl += " NOT NULL";
    }
    ddl += ", PRIMARY KEY (";
    for (size_t i = 0; i < t.primaryKey.size(); ++i) ddl += (i ? ", " : "") + ColumnName(t.primaryKey[i]);
    ddl += "))";
    if ((rc = connection->ExecuteNative(ddl)) != 0) return fail(rc);
    for (const auto& index : t.indexes) {
      std::string sql = "CREATE INDEX IF NOT EXISTS " + IndexName(environment, t.name, index) + " ON " +
                        Quoted(tableName) + " (";
      for (size_t i = 0; i < index.size(); ++i) sql += (i ? ", " : "") + ColumnName(index[i]);
      sql += ")";
      if ((rc = connection->ExecuteNative(sql)) != 0) return fail(rc);
    }
  }
  if (ownTransaction && (rc = connection->Commit()) != 0) {
    if (error) *error = connection->LastError();
    return rc;
  }
  connection->TouchCatalogue();
  return kel_ier::kOk;
}
