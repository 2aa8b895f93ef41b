#include "host/kel_dm_link_rows.h"

#include <algorithm>
#include <cstdlib>

#include "base/mml_constants.h"
#include "host/db/host_sql.h"

namespace {

// The columns read from "$EXT", in the order the decoder takes them.
const char kExtColumns[] =
    "$COMPNAME_FATHER,$COID,$COMPID_FATHER,$COMPNAME,$COID_REF,$COMPID_REF,C_MML_TS,$TYPE,KELMML_STATUS";
// The columns read from "MML_ENTITY" and from "MML_LINK".
const char kOwnedColumns[] = "OBJECT_KELAB,OBJECT_COID,OBJECT_COMPID,ENTITY_ID_1,ENTITY_ID_2,ENTITY_KEY,TS";
const char kUsedColumns[] = "OBJECT_KELAB,OBJECT_COID,OBJECT_COMPID,ENTITY_ID_1,ENTITY_ID_2,ENTITY_KEY,TS,TYPE,STATUS";

// An identifier column: the 8 bytes of a binary value, the zero identifier
// for anything else.
KelId IdOf(const KelDbRow& row, int c) {
  const std::string_view bytes = row.Bytes(c);
  if (bytes.size() == 8) return KelId::FromBytes(bytes.data());
  return KelId::FromHexOrZero(KelDbBinary(bytes.data(), bytes.size()).Hex());
}

// A "$EXT" row in place: the texts are views into the engine's row.
KelDMExtRowView ExtView(const KelDbRow& row) {
  return KelDMExtRowView{row.Text(0),  IdOf(row, 1), IdOf(row, 2), row.Text(3), IdOf(row, 4),
                         IdOf(row, 5), row.Text(6),  row.Text(7),  row.Text(8)};
}

KelDMExtRow DecodeExt(const KelUnicodeString& environment, const KelDbRow& row) {
  const KelDMExtRowView v = ExtView(row);
  return KelDMExtRow{environment,          std::string(v.fatherTable), v.coid,
                     v.compidFather,       std::string(v.compname),    v.coidRef,
                     v.compidRef,          std::string(v.timestamp),   std::string(v.type),
                     std::string(v.status)};
}

// An entity row in place; TYPE and STATUS only for "MML_LINK" rows.
KelDMEntityRowView EntityView(KelDMEntitySide side, const KelDbRow& row) {
  const bool used = side == KelDMEntitySide::kUsed;
  return KelDMEntityRowView{row.Text(0),
                            IdOf(row, 1),
                            IdOf(row, 2),
                            row.Bytes(3),
                            row.Bytes(4),
                            row.Bytes(5),
                            row.Text(6),
                            used ? row.Text(7) : std::string_view(),
                            used ? row.Text(8) : std::string_view()};
}

KelDMEntityRow DecodeEntity(KelDMEntitySide side, const KelDbRow& row) {
  const KelDMEntityRowView v = EntityView(side, row);
  return KelDMEntityRow{std::string(v.table),
                        v.coid,
                        v.compid,
                        {KelDbBinary(v.id1.data(), v.id1.size()), KelDbBinary(v.id2.data(), v.id2.size()),
                         KelDbBinary(v.key.data(), v.key.size())},
                        std::string(v.timestamp),
                        std::string(v.type),
                        std::string(v.status)};
}

const char* EntityColumns(KelDMEntitySide side) {
  return side == KelDMEntitySide::kUsed ? kUsedColumns : kOwnedColumns;
}
size_t EntityWidth(KelDMEntitySide side) { return side == KelDMEntitySide::kUsed ? 9 : 7; }

std::string Select(const char* columns, const KelUnicodeString& environment, const KelUnicodeString& table,
                   const KelUnicodeString& where) {
  return std::string("SELECT ") + columns + " FROM " + QuoteHostTableName(environment, table) +
         (where.empty() ? "" : " WHERE " + where);
}

KelUnicodeString WithCondition(const KelUnicodeString& condition, const KelUnicodeString& where) {
  return condition.empty() ? where : condition + " AND " + where;
}

// Runs `head` + " IN (...)" for the values, in chunks, and hands each row to
// `take` as it is read. A chunk whose statement fails gives no row, as the
// object-wise read of a table that cannot be read gives none.
void SetRead(KelDbConnection* connection, const std::string& head, const std::vector<KelDbValue>& values,
             const KelDbRowSink& take) {
  for (size_t first = 0; first < values.size(); first += kHostSqlSetReadMax) {
    const size_t n = std::min(kHostSqlSetReadMax, values.size() - first);
    std::vector<KelDbValue> binds(values.begin() + static_cast<long>(first),
                                  values.begin() + static_cast<long>(first + n));
    const KelDbValue last = binds.back();
    binds.resize(HostSqlSetReadLength(n), last);
    connection->ExecuteRows(head + HostSqlMarkerList(binds.size()), binds, take);
  }
}

std::vector<KelDbValue> IdValues(const std::vector<KelId>& ids) {
  std::vector<KelDbValue> values;
  values.reserve(ids.size());
  for (const KelId& id : ids) values.push_back(KelDbValue::Id(id));
  return values;
}

// Runs one statement and decodes its rows of at least `width` columns.
template <typename Row, typename Decode>
int ReadRows(KelDbConnection* connection, const std::string& sql, const std::vector<KelDbValue>& binds, size_t width,
             Decode decode, std::vector<Row>* rows) {
  rows->clear();
  if (!connection) return -1;
  const int rc = connection->ExecuteRows(sql, binds, [&](const KelDbRow& row) {
    if (row.Size() >= static_cast<int>(width)) rows->push_back(decode(row));
  });
  if (rc != 0) rows->clear();
  return rc;
}

int ReadExt(KelDbConnection* connection, const KelUnicodeString& environment, const std::string& sql,
            const std::vector<KelDbValue>& binds, std::vector<KelDMExtRow>* rows) {
  return ReadRows(
      connection, sql, binds, 9, [&](const KelDbRow& row) { return DecodeExt(environment, row); }, rows);
}

int ReadEntities(KelDbConnection* connection, KelDMEntitySide side, const std::string& sql,
                 const std::vector<KelDbValue>& binds, std::vector<KelDMEntityRow>* rows) {
  return ReadRows(
      connection, sql, binds, EntityWidth(side), [&](const KelDbRow& row) { return DecodeEntity(side, row); }, rows);
}

}  // namespace

const char KelDMLinkRows::kExtHolderWhere[] = "$COMPNAME_FATHER = ? AND $COID = ? AND $COMPID_FATHER = ?";
const char KelDMLinkRows::kEntityObjectWhere[] = "OBJECT_KELAB = ? AND OBJECT_COID = ? AND OBJECT_COMPID = ?";

const KelUnicodeString& KelDMLinkRows::TableOf(KelDMEntitySide side) {
  return side == KelDMEntitySide::kUsed ? kMmlMmlLink : kMmlMmlEntity;
}

int KelDMLinkRows::ExtFrom(KelDbConnection* connection, const KelUnicodeString& environment,
                           const KelUnicodeString& table, const KelId& coid, const KelId& compid,
                           const KelUnicodeString& condition, std::vector<KelDMExtRow>* rows) {
  return ReadExt(connection, environment,
                 Select(kExtColumns, environment, kMmlExt, WithCondition(condition, kExtHolderWhere)),
                 {KelDbValue::Text(table), KelDbValue::Id(coid), KelDbValue::Id(compid)}, rows);
}

int KelDMLinkRows::ExtTo(KelDbConnection* connection, const KelUnicodeString& environment, const KelId& coid,
                         const KelId& compid, const KelUnicodeString& condition, std::vector<KelDMExtRow>* rows) {
  return ReadExt(
      connection, environment,
      Select(kExtColumns, environment, kMmlExt, WithCondition(condition, "$COID_REF = ? AND $COMPID_REF = ?")),
      {KelDbValue::Id(coid), KelDbValue::Id(compid)}, rows);
}

int KelDMLinkRows::EntitiesOf(KelDbConnection* connection, const KelUnicodeString& environment, KelDMEntitySide side,
                              const KelUnicodeString& table, const KelId& coid, const KelId& compid, bool liveOnly,
                              std::vector<KelDMEntityRow>* rows) {
  KelUnicodeString where = kEntityObjectWhere;
  if (liveOnly) where += " AND UBIT IS NULL";
  return ReadEntities(connection, side, Select(EntityColumns(side), environment, TableOf(side), where),
                      {KelDbValue::Text(table), KelDbValue::Id(coid), KelDbValue::Id(compid)}, rows);
}

int KelDMLinkRows::Holders(KelDbConnection* connection, const KelUnicodeString& environment, KelDMEntitySide side,
                           const KelDMEntityIds& ids, std::vector<KelDMEntityRow>* rows) {
  return ReadEntities(connection, side,
                      Select(EntityColumns(side), environment, TableOf(side),
                             "UBIT IS NULL AND ENTITY_ID_1 = ? AND ENTITY_ID_2 = ? AND ENTITY_KEY = ?"),
                      {KelDbValue::Binary(ids.id1), KelDbValue::Binary(ids.id2), KelDbValue::Binary(ids.key)}, rows);
}

void KelDMLinkRows::ExtFromSet(KelDbConnection* connection, const KelUnicodeString& environment,
                               const KelUnicodeString& condition, const std::vector<KelId>& coids,
                               const ExtViewSink& take) {
  SetRead(connection, Select(kExtColumns, environment, kMmlExt, WithCondition(condition, "$COID IN ")), IdValues(coids),
          [&](const KelDbRow& row) {
            if (row.Size() >= 9) take(ExtView(row));
          });
}

void KelDMLinkRows::ExtToSet(KelDbConnection* connection, const KelUnicodeString& environment,
                             const KelUnicodeString& condition, const std::vector<KelId>& coids,
                             const ExtViewSink& take) {
  SetRead(connection, Select(kExtColumns, environment, kMmlExt, WithCondition(condition, "$COID_REF IN ")),
          IdValues(coids), [&](const KelDbRow& row) {
            if (row.Size() >= 9) take(ExtView(row));
          });
}

void KelDMLinkRows::EntitiesOfSet(KelDbConnection* connection, const KelUnicodeString& environment,
                                  KelDMEntitySide side, const std::vector<KelId>& coids, const EntityViewSink& take) {
  SetRead(connection, Select(EntityColumns(side), environment, TableOf(side), "UBIT IS NULL AND OBJECT_COID IN "),
          IdValues(coids), [&](const KelDbRow& row) {
            if (row.Size() >= static_cast<int>(EntityWidth(side))) take(EntityView(side, row));
          });
}

void KelDMLinkRows::HoldersSet(KelDbConnection* connection, const KelUnicodeString& environment, KelDMEntitySide side,
                               const std::vector<KelDbBinary>& ids, const EntityViewSink& take) {
  std::vector<KelDbValue> values;
  values.reserve(ids.size());
  for (const KelDbBinary& id : ids) values.push_back(KelDbValue::Binary(id));
  SetRead(connection, Select(EntityColumns(side), environment, TableOf(side), "UBIT IS NULL AND ENTITY_ID_1 IN "),
          values, [&](const KelDbRow& row) {
            if (row.Size() >= static_cast<int>(EntityWidth(side))) take(EntityView(side, row));
          });
}

int KelDMLinkRows::ExtAll(KelDbConnection* connection, const KelUnicodeString& environment,
                          const KelUnicodeString& condition, const ExtViewSink& take) {
  if (!connection) return -1;
  return connection->ExecuteRows(Select(kExtColumns, environment, kMmlExt, condition), {}, [&](const KelDbRow& row) {
    if (row.Size() >= 9) take(ExtView(row));
  });
}

int KelDMLinkRows::EntitiesAll(KelDbConnection* connection, const KelUnicodeString& environment, KelDMEntitySide side,
                               const EntityViewSink& take) {
  if (!connection) return -1;
  return connection->ExecuteRows(Select(EntityColumns(side), environment, TableOf(side), "UBIT IS NULL"), {},
                                 [&](const KelDbRow& row) {
                                   if (row.Size() >= static_cast<int>(EntityWidth(side))) take(EntityView(side, row));
                                 });
}

int64_t KelDMLinkRows::RowCount(KelDbConnection* connection, const KelUnicodeString& environment,
                                const KelUnicodeString& table) {
  if (!connection) return -1;
  int64_t count = -1;
  const int rc = connection->ExecuteRows("SELECT COUNT(*) FROM " + QuoteHostTableName(environment, table), {},
                                         [&](const KelDbRow& row) {
                                           if (row.Size() >= 1)
                                             count = std::strtoll(std::string(row.Text(0)).c_str(), nullptr, 10);
                                         });
  return rc == 0 ? count : -1;
}
