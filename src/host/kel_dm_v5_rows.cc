#include "host/kel_dm_v5_rows.h"

#include <algorithm>
#include <string>

#include "base/kel_text.h"
#include "host/db/host_sql.h"
#include "host/db/kel_dm_ier_message.h"

namespace {

const char kEnvironment[] = "PRODUCT";

// The columns read from each table, in the order its decoder takes them.
const char kElementColumns[] = "$UID,$OWNER_UID,$COMPNAME,$COID,$COMPID";
const size_t kElementWidth = 5;
const char kStampColumns[] = "$UID_PTD,$TIMESTAMP_PTD";
const size_t kStampWidth = 2;
const char kLinkColumns[] =
    "$TYPE,$OID_PTD,$COMPID,$COMPID_FATHER,$COID,$COMPNAME_PTD_REF,$COID_PTD_REF,$COMPID_PTD_REF,$UID_PTD,"
    "$TIMESTAMP_PTD,$COMPNAME_FATHER,C_MML_TS,$COMPNAME_PTD_ROOT,$COID_PTD_ROOT";
const size_t kLinkWidth = 14;

using Row = std::vector<KelDbValue>;

KelDMV5Element DecodeElement(const Row& row) {
  return KelDMV5Element{row[0].AsText(), row[1].AsText(), row[2].AsText(), row[3].AsBinary(), row[4].AsBinary()};
}

KelUnicodeString Stamp(const KelDbValue& value) { return ZeroTimestampFraction(value.AsText()); }

KelDMV5Link DecodeLink(const Row& row) {
  return KelDMV5Link{row[0].AsText(),   StripBlanks(row[1].AsText()),
                     row[2].AsBinary(), row[3].AsBinary(),
                     row[4].AsBinary(), row[5].AsText(),
                     row[6].AsBinary(), row[7].AsBinary(),
                     row[8].AsText(),   Stamp(row[9]),
                     row[10].AsText(),  Stamp(row[11]),
                     row[12].AsText(),  row[13].AsBinary()};
}

std::string Select(const char* columns, const char* table, const std::string& where) {
  return std::string("SELECT ") + columns + " FROM " + QuoteHostTableName(kEnvironment, table) + " WHERE " + where;
}

// Runs one statement and hands each row of at least `width` columns to `take`.
template <typename Take>
int Read(KelDbConnection* connection, const std::string& sql, const std::vector<KelDbValue>& binds, size_t width,
         Take take) {
  if (!connection) return kel_ier::kDbNoConnection;
  KelDbResult result;
  const int rc = connection->Execute(sql, binds, &result);
  if (rc != 0) return rc;
  for (const Row& row : result.rows)
    if (row.size() >= width) take(row);
  return 0;
}

std::vector<KelDbValue> Texts(const std::vector<KelUnicodeString>& texts) {
  std::vector<KelDbValue> values;
  values.reserve(texts.size());
  for (const KelUnicodeString& text : texts) values.push_back(KelDbValue::Text(text));
  return values;
}

// `head` + "(?,...)" + `tail` for the values: in chunks of at most
// kHostSqlSetReadMax values (the list padded to its fixed length), each
// chunk's rows after those of the chunk before. Stops at the first chunk
// that fails.
template <typename Take>
int ReadSet(KelDbConnection* connection, const std::string& head, const std::vector<KelUnicodeString>& keys,
            size_t width, Take take) {
  const std::vector<KelDbValue> values = Texts(keys);
  for (size_t first = 0; first < values.size(); first += kHostSqlSetReadMax) {
    const size_t n = std::min(kHostSqlSetReadMax, values.size() - first);
    std::vector<KelDbValue> binds(values.begin() + static_cast<long>(first),
                                  values.begin() + static_cast<long>(first + n));
    binds.resize(HostSqlSetReadLength(n), binds.back());
    const int rc = Read(connection, head + HostSqlMarkerList(binds.size()), binds, width, take);
    if (rc != 0) return rc;
  }
  return 0;
}

// The live rows of `table` whose `column` is one of `keys`, in `order`, in
// one statement.
template <typename Decoded>
int ReadOrdered(KelDbConnection* connection, const char* columns, const char* table, const char* column,
                const char* order, const std::vector<KelUnicodeString>& keys, size_t width,
                Decoded (*decode)(const Row&), std::vector<Decoded>* rows) {
  rows->clear();
  if (keys.empty()) return 0;
  return Read(connection,
              Select(columns, table,
                     std::string("UBIT IS NULL AND ") + column + " IN " + HostSqlMarkerList(keys.size()) +
                         " ORDER BY " + order),
              Texts(keys), width, [&](const Row& row) { rows->push_back(decode(row)); });
}

}  // namespace

int KelDMV5Rows::ElementsOf(KelDbConnection* connection, const KelUnicodeString& compname, const KelDbBinary& coid,
                            const KelDbBinary& compid, std::vector<KelDMV5Element>* rows) {
  rows->clear();
  return Read(connection,
              Select(kElementColumns, "QOR_ENTITY", "UBIT IS NULL AND $COMPNAME=? AND $COID=? AND $COMPID=?"),
              {KelDbValue::Text(compname), KelDbValue::Binary(coid), KelDbValue::Binary(compid)}, kElementWidth,
              [&](const Row& row) { rows->push_back(DecodeElement(row)); });
}

int KelDMV5Rows::ElementsWithUids(KelDbConnection* connection, const std::vector<KelUnicodeString>& uids,
                                  ElementsByUid* elements) {
  elements->clear();
  const int rc = ReadSet(connection, Select(kElementColumns, "QOR_ENTITY", "UBIT IS NULL AND $UID IN "), uids,
                         kElementWidth, [&](const Row& row) {
                           KelDMV5Element element = DecodeElement(row);
                           KelUnicodeString uid = element.uid;
                           elements->emplace(std::move(uid), std::move(element));
                         });
  if (rc != 0) elements->clear();
  return rc;
}

int KelDMV5Rows::ElementsOwnedBy(KelDbConnection* connection, const std::vector<KelUnicodeString>& owners,
                                 std::vector<KelDMV5Element>* rows) {
  return ReadOrdered(connection, kElementColumns, "QOR_ENTITY", "$OWNER_UID", "$UID", owners, kElementWidth,
                     DecodeElement, rows);
}

int KelDMV5Rows::Stamps(KelDbConnection* connection, const std::vector<KelUnicodeString>& uids, StampsByUid* stamps) {
  stamps->clear();
  const int rc = ReadSet(connection, Select(kStampColumns, "QOR_TS", "$UID_PTD IN "), uids, kStampWidth,
                         [&](const Row& row) { stamps->emplace(row[0].AsText(), Stamp(row[1])); });
  if (rc != 0) stamps->clear();
  return rc;
}

int KelDMV5Rows::LinksFrom(KelDbConnection* connection, const KelUnicodeString& compname, const KelDbBinary& coid,
                           const KelDbBinary& compid, std::vector<KelDMV5Link>* rows) {
  rows->clear();
  return Read(connection,
              Select(kLinkColumns, "QOR_LINK",
                     "UBIT IS NULL AND $COMPNAME_FATHER=? AND $COID=? AND $COMPID_FATHER=? ORDER BY $COMPID"),
              {KelDbValue::Text(compname), KelDbValue::Binary(coid), KelDbValue::Binary(compid)}, kLinkWidth,
              [&](const Row& row) { rows->push_back(DecodeLink(row)); });
}

int KelDMV5Rows::LinksTo(KelDbConnection* connection, const std::vector<KelUnicodeString>& uids,
                         std::vector<KelDMV5Link>* rows) {
  return ReadOrdered(connection, kLinkColumns, "QOR_LINK", "$UID_PTD", "$COMPID", uids, kLinkWidth, DecodeLink, rows);
}
