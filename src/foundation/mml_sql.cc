#include "foundation/mml_sql.h"

#include "base/mml_constants.h"
#include "host/db/host_sql.h"

KelUnicodeString MmlSqlSelectFrom(const KelUnicodeString& columns, const KelUnicodeString& environment,
                                  const KelUnicodeString& table) {
  return kMmlSqlSelect + columns + kMmlSqlFrom + HostTableNameAfterPrefix(environment, table);
}

KelUnicodeString MmlSqlHexEquals(const KelUnicodeString& column, const KelId& id) {
  return column + kMmlSqlEqHex + id.Hex() + kMmlSqlQuote;
}

KelUnicodeString MmlSqlTextEquals(const KelUnicodeString& column, const KelUnicodeString& text) {
  return column + kMmlSqlEqText + EscapeSqlText(text) + kMmlSqlQuote;
}

KelUnicodeString MmlSqlIdentityCondition(const KelUnicodeString& coidColumn, const KelId& coid,
                                         const KelUnicodeString& compidColumn, const KelId& compid) {
  return MmlSqlHexEquals(coidColumn, coid) + kMmlSqlAnd + MmlSqlHexEquals(compidColumn, compid);
}

KelUnicodeString MmlSqlColumnList(const KelListValKelUnicodeString& columns) {
  KelUnicodeString out;
  for (size_t i = 0; i < columns.size(); ++i) {
    if (i > 0) out += kMmlSqlComma;
    out += columns[i];
  }
  return out;
}
