// Statement-building helpers: the SQL fragments of base/mml_constants.h,
// joined so that names and text values always pass through the host's quoting.
#pragma once

#include "base/kel_id.h"
#include "base/kel_types.h"

// "SELECT " columns " FROM $VS_" <table name of env.table, quoted when needed>.
// `columns` is written as given ("*", or names joined by ",").
KelUnicodeString MmlSqlSelectFrom(const KelUnicodeString& columns, const KelUnicodeString& environment,
                                  const KelUnicodeString& table);
// column "=X'" <16 hex digits of id> "'".
KelUnicodeString MmlSqlHexEquals(const KelUnicodeString& column, const KelId& id);
// column "='" <text with quotes doubled> "'".
KelUnicodeString MmlSqlTextEquals(const KelUnicodeString& column, const KelUnicodeString& text);
// coidColumn "=X'" coid "'" " AND " compidColumn "=X'" compid "'".
KelUnicodeString MmlSqlIdentityCondition(const KelUnicodeString& coidColumn, const KelId& coid,
                                         const KelUnicodeString& compidColumn, const KelId& compid);
// Joins names with "," ("A,B,C"); empty for an empty list.
KelUnicodeString MmlSqlColumnList(const KelListValKelUnicodeString& columns);
