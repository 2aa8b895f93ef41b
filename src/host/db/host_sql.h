// The host notation of SQL statements, and its translation for each engine.
//
// The module writes statements in the host notation:
//   $VS_<env>.<table>     the table <table> of the environment <env>, stored as
//                         the single table "<env>.<table>" on every engine;
//                         a name with other characters than letters, digits,
//                         '_', '$', '#', '-' and '.' is written $VS_"<env>.<table>"
//                         with '"' doubled (see QuoteHostTableName)
//   $NAME                 the column "$NAME"
//   X'<hex digits>'       a binary literal (8-byte identifiers)
//   '...'                 a text literal, '' for a quote (see QuoteSqlText)
//   ?                     a bind marker, bound in order of appearance
// Other words are plain SQL and pass unchanged; unquoted names are
// case-insensitive on every engine.
#pragma once

#include <string>
#include <string_view>
#include <vector>

enum class KelDbEngine { kSqlite, kPostgres };

// The one quoting helper for text values: `text` between single quotes, each
// quote inside doubled.
std::string QuoteSqlText(std::string_view text);

// The text of a value to put between quotes that are already in the statement
// text (for example "$TYPE LIKE 'KELMM" + EscapeSqlText(type) + "'"): each
// quote doubled.
std::string EscapeSqlText(std::string_view text);

// "$VS_" followed by the table name "<env>.<table>", quoted when it holds
// characters beyond the plain ones.
std::string QuoteHostTableName(std::string_view env, std::string_view table);
// Only the part after "$VS_" (for statements that write " FROM $VS_" first).
std::string HostTableNameAfterPrefix(std::string_view env, std::string_view table);

struct HostSqlTranslation {
  std::string sql;  // statement for the engine
  int markers = 0;  // number of "?" markers the caller binds
  // Binary literals become parameters of the engine statement, so that
  // statements that differ only by their identifiers share one prepared
  // statement. The engine statement's parameters, in order: a value >= 0 is
  // the caller's marker of that index, a value < 0 the literal -1 - value.
  std::vector<int> slots;
  std::vector<std::string> literals;  // bytes of each binary literal
  bool ok = true;                     // false when a literal or a quoted name is not closed
  std::string error;
};

// Translates one statement from the host notation.
HostSqlTranslation TranslateHostSql(std::string_view hostSql, KelDbEngine engine);

// Splits a script into statements at ';' outside literals and quoted names.
// Comments ("--" to the end of the line, "/* ... */") are removed first, so a
// statement that held only comments is empty; empty statements are dropped.
// The statements are not checked: a NUL byte stays where it was (callers that
// take outside text refuse it first, see FindNulByte).
std::vector<std::string> SplitHostScript(std::string_view script);

// Set reads ("<column> IN (?,?,...)"): at most kHostSqlSetReadMax values per
// statement, the list padded (its last value repeated) to one of a few fixed
// lengths so that each statement is prepared once whatever the set.
constexpr size_t kHostSqlSetReadMax = 500;
// The padded length of a list of `n` values (1 <= n <= kHostSqlSetReadMax).
size_t HostSqlSetReadLength(size_t n);
// "(?,?,...)" with `n` markers.
std::string HostSqlMarkerList(size_t n);

// The offset of the first NUL byte of `text`, or npos. An engine reads a
// statement up to its first NUL: the rest would be dropped without a word
// (a DELETE would lose its WHERE clause).
inline size_t FindNulByte(std::string_view text) { return text.find('\0'); }

// `text` cut to at most `max` bytes for an error message, with the number of
// bytes left out: a statement or a file line echoed in a message stays short.
std::string AbbreviateForMessage(std::string_view text, size_t max = 300);
