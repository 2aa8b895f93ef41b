#include "host/kel_dm_schema.h"

#include <cctype>

#include "host/db/host_sql.h"
#include "host/db/kel_dm_ier_message.h"
#include "host/psn/kel_psn_schema.h"
#include "host/v5/kel_mml_v5_schema.h"

namespace {

struct Table {
  const char* kind;
  KelDMTableSpec spec;
};

const std::vector<KelDMColumnSpec> kObjectColumns = {
    {"$COID", "ID", true},      {"$COMPID", "ID", true},   {"C_ID", "TEXT"},
    {"C_REVISION", "TEXT"},     {"C_FAMILY", "ID"},        {"C_REVISION_RANK", "INTEGER"},
    {"C_LASTMOD", "TIMESTAMP"}, {"C_MATURITY", "INTEGER"}, {"C_UUID", "TEXT"},
};

// "MML_ENTITY" and "MML_LINK": an object and one entity with its date, the
// table's own columns, then the deletion mark; indexed by object and by entity.
KelDMTableSpec EntityTable(const char* name, const std::vector<KelDMColumnSpec>& own) {
  std::vector<KelDMColumnSpec> columns = {{"OBJECT_KELAB", "TEXT"}, {"OBJECT_COID", "ID"}, {"OBJECT_COMPID", "ID"},
                                          {"ENTITY_ID_1", "ID"},    {"ENTITY_ID_2", "ID"}, {"ENTITY_KEY", "ID"},
                                          {"TS", "TIMESTAMP"}};
  columns.insert(columns.end(), own.begin(), own.end());
  columns.push_back({"UBIT", "INTEGER"});
  return {name, columns, {}, {{"OBJECT_COID", "OBJECT_COMPID"}, {"ENTITY_ID_1", "ENTITY_ID_2", "ENTITY_KEY"}}};
}

const std::vector<Table>& Tables() {
  static const std::vector<Table> tables = {
      {"objects", {"TOVRA_MODEL", kObjectColumns, {"$COID", "$COMPID"}, {{"C_FAMILY"}}}},
      {"objects", {"PART_LIST", kObjectColumns, {"$COID", "$COMPID"}, {{"C_FAMILY"}}}},
      {"objects", {"DOCUMENT", kObjectColumns, {"$COID", "$COMPID"}, {{"C_FAMILY"}}}},
      {"objects",
       {"$LOCK",
        {{"$COID", "ID"}, {"$COMPID", "ID"}, {"$LOCKTYPE", "TEXT"}, {"C_RESPONSIBLE", "TEXT"}},
        {},
        {{"$COID", "$COMPID"}}}},
      {"links",
       {"$EXT",
        {{"$COID", "ID", true},
         {"$COMPID", "ID", true},
         {"$COMPNAME_FATHER", "TEXT"},
         {"$COMPID_FATHER", "ID"},
         {"$COMPNAME", "TEXT"},
         {"$COID_REF", "ID"},
         {"$COMPID_REF", "ID"},
         {"$TYPE", "TEXT"},
         {"C_MML_TS", "TIMESTAMP"},
         {"KELMML_STATUS", "TEXT"}},
        {"$COID", "$COMPID"},
        {{"$COID", "$COMPID_FATHER"}, {"$COID_REF", "$COMPID_REF"}}}},
      {"entities", EntityTable("MML_ENTITY", {})},
      {"entities", EntityTable("MML_LINK", {{"TYPE", "TEXT"}, {"STATUS", "TEXT"}})},
      {"actions",
       {"QOR_ACTION",
        {{"ACTION_ID", "ID", true},
         {"ACTION_TYPE", "TEXT"},
         {"TEXT", "TEXT"},
         {"RESPONSIBLE", "TEXT"},
         {"ORGANISATION", "TEXT"},
         {"CREATOR", "TEXT"}},
        {"ACTION_ID"},
        {}}},
      {"actions",
       {"QOR_ACTION_OBJECT",
        {{"ACTION_ID", "ID", true},
         {"RANK", "INTEGER", true},
         {"NAME", "TEXT"},
         {"KIND", "TEXT"},
         {"UUID", "TEXT"},
         {"FLAG", "INTEGER"},
         {"OBJECT_ENV", "TEXT"},
         {"OBJECT_KELAB", "TEXT"},
         {"OBJECT_COID", "ID"},
         {"OBJECT_COMPID", "ID"}},
        {"ACTION_ID", "RANK"},
        {}}},
      {"replication",
       {"QOR_REPLICATION_QUEUE",
        {{"OBJECT_KELAB", "TEXT"}, {"OBJECT_COID", "ID"}, {"OBJECT_COMPID", "ID"}, {"REQUESTER", "TEXT"}},
        {},
        {{"OBJECT_COID", "OBJECT_COMPID"}}}},
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

// "$" names are quoted; other names stay unquoted so that they read the same,
// case-insensitively, in every statement.
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

}  // namespace

const std::vector<std::string>& KelDMSchema::Kinds() {
  static const std::vector<std::string> kinds = {"objects", "links", "entities", "v5", "psn", "actions", "replication"};
  return kinds;
}

bool KelDMSchema::IsValidEnvironmentName(const std::string& name) {
  if (name.empty() || name.size() > 32 || !std::isalpha(static_cast<unsigned char>(name[0]))) return false;
  for (char c : name)
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') return false;
  return true;
}

bool KelDMSchema::ParseEnvironmentSpec(const std::string& spec, std::string* environment,
                                       std::vector<std::string>* kinds, std::string* error) {
  size_t colon = spec.find(':');
  if (colon == std::string::npos) {
    *error = "\"" + spec + "\" is not ENV:KINDS (for example E1:objects,links,entities)";
    return false;
  }
  *environment = spec.substr(0, colon);
  if (!IsValidEnvironmentName(*environment)) {
    *error = "\"" + *environment +
             "\" is not a valid environment name (letters, digits and '_', starting with a letter, at most 32)";
    return false;
  }
  kinds->clear();
  std::string rest = spec.substr(colon + 1);
  size_t start = 0;
  while (true) {
    size_t comma = rest.find(',', start);
    std::string kind = rest.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    bool known = false;
    for (const auto& k : Kinds()) known = known || k == kind;
    if (!known) {
      *error = "unknown kind \"" + kind + "\" in \"" + spec +
               "\" (kinds: objects, links, entities, v5, psn, actions, replication)";
      return false;
    }
    kinds->push_back(kind);
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return true;
}

int KelDMSchema::InitEnvironment(KelDbConnection* connection, const std::string& environment,
                                 const std::vector<std::string>& kinds, std::string* error) {
  std::vector<KelDMTableSpec> tables;
  for (const std::string& kind : kinds) {
    if (kind == "v5") {
      for (const KelDMTableSpec& t : KelMMLV5TableSpecs()) tables.push_back(t);
      continue;
    }
    if (kind == "psn") {
      for (const KelDMTableSpec& t : KelPSNTableSpecs()) tables.push_back(t);
      continue;
    }
    for (const Table& t : Tables())
      if (kind == t.kind) tables.push_back(t.spec);
  }
  return CreateTables(connection, environment, tables, error);
}

int KelDMSchema::CreateTables(KelDbConnection* connection, const std::string& environment,
                              const std::vector<KelDMTableSpec>& tables, std::string* error) {
  if (!connection) {
    if (error) *error = "no database session is open";
    return kel_ier::kDbNoConnection;
  }
  if (!IsValidEnvironmentName(environment)) {
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
  for (const KelDMTableSpec& t : tables) {
    const std::string tableName = environment + "." + t.name;
    std::string ddl = "CREATE TABLE IF NOT EXISTS " + Quoted(tableName) + " (";
    for (size_t i = 0; i < t.columns.size(); ++i) {
      if (i) ddl += ", ";
      ddl += ColumnName(t.columns[i].name) + " " + ColumnType(t.columns[i].type, engine);
      if (t.columns[i].notNull) ddl += " NOT NULL";
    }
    if (!t.primaryKey.empty()) {
      ddl += ", PRIMARY KEY (";
      for (size_t i = 0; i < t.primaryKey.size(); ++i) ddl += (i ? ", " : "") + ColumnName(t.primaryKey[i]);
      ddl += ")";
    }
    ddl += ")";
    if ((rc = connection->ExecuteNative(ddl)) != 0) return fail(rc);
    for (const auto& index : t.indexes) {
      std::string sql =
          "CREATE INDEX IF NOT EXISTS " + IndexName(environment, t.name, index) + " ON " + Quoted(tableName) + " (";
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
  return 0;
}
