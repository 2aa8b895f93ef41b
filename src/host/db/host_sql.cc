#include "host/db/host_sql.h"

#include <cctype>

namespace {

bool IsPlainNameChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '$' || c == '#' || c == '-' || c == '.';
}

bool IsWordChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return c - 'A' + 10;
}

std::string DoubleQuoted(std::string_view name) {
  std::string out = "\"";
  for (char c : name) {
    if (c == '"') out.push_back('"');
    out.push_back(c);
  }
  out.push_back('"');
  return out;
}

// The offset of the quote that closes the text literal or quoted name opening
// at `open` (a doubled quote inside stands for one), or npos when the text
// ends first.
size_t ClosingQuote(std::string_view text, size_t open) {
  const char quote = text[open];
  for (size_t j = open + 1; j < text.size(); ++j) {
    if (text[j] != quote) continue;
    if (j + 1 < text.size() && text[j + 1] == quote) {
      ++j;
      continue;
    }
    return j;
  }
  return std::string_view::npos;
}

}  // namespace

std::string EscapeSqlText(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 2);
  for (char c : text) {
    if (c == '\'') out.push_back('\'');
    out.push_back(c);
  }
  return out;
}

std::string QuoteSqlText(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 2);
  out.push_back('\'');
  out.append(EscapeSqlText(text));
  out.push_back('\'');
  return out;
}

std::string HostTableNameAfterPrefix(std::string_view env, std::string_view table) {
  std::string name;
  name.reserve(env.size() + table.size() + 1);
  name.append(env);
  name.push_back('.');
  name.append(table);
  bool plain = !name.empty();
  for (char c : name)
    if (!IsPlainNameChar(c)) plain = false;
  return plain ? name : DoubleQuoted(name);
}

std::string QuoteHostTableName(std::string_view env, std::string_view table) {
  return "$VS_" + HostTableNameAfterPrefix(env, table);
}

HostSqlTranslation TranslateHostSql(std::string_view in, KelDbEngine engine) {
  HostSqlTranslation t;
  std::string& out = t.sql;
  out.reserve(in.size() + 32);
  size_t i = 0;
  const size_t n = in.size();
  auto fail = [&](const std::string& why) {
    t.ok = false;
    t.error = why;
    return t;
  };
  while (i < n) {
    char c = in[i];
    // Text literal or quoted name, copied as it is.
    if (c == '\'' || c == '"') {
      const size_t j = ClosingQuote(in, i);
      if (j == std::string_view::npos)
        return fail(c == '"' ? "a quoted name is not closed" : "a text literal is not closed");
      out.append(in.substr(i, j + 1 - i));
      i = j + 1;
      continue;
    }
    // Comment to the end of the line.
    if (c == '-' && i + 1 < n && in[i + 1] == '-') {
      while (i < n && in[i] != '\n') ++i;
      continue;
    }
    // Block comment: one blank in its place.
    if (c == '/' && i + 1 < n && in[i + 1] == '*') {
      size_t end = in.find("*/", i + 2);
      if (end == std::string_view::npos) return fail("a comment is not closed");
      out.push_back(' ');
      i = end + 2;
      continue;
    }
    // Binary literal X'...'.
    if ((c == 'X' || c == 'x') && i + 1 < n && in[i + 1] == '\'' && (i == 0 || !IsWordChar(in[i - 1]))) {
      size_t j = i + 2;
      while (j < n && in[j] != '\'') {
        if (!std::isxdigit(static_cast<unsigned char>(in[j])))
          return fail("a binary literal holds a character that is not a hexadecimal digit");
        ++j;
      }
      if (j >= n) return fail("a binary literal is not closed");
      std::string_view digits = in.substr(i + 2, j - i - 2);
      if (digits.size() % 2 != 0) return fail("a binary literal has an odd number of digits");
      std::string bytes;
      bytes.reserve(digits.size() / 2);
      for (size_t k = 0; k < digits.size(); k += 2)
        bytes.push_back(static_cast<char>(HexDigitValue(digits[k]) * 16 + HexDigitValue(digits[k + 1])));
      t.literals.push_back(std::move(bytes));
      t.slots.push_back(-static_cast<int>(t.literals.size()));
      if (engine == KelDbEngine::kSqlite) {
        out.push_back('?');
      } else {
        out.append("$").append(std::to_string(t.slots.size())).append("::bytea");
      }
      i = j + 1;
      continue;
    }
    if (c == '$' && (i == 0 || !IsWordChar(in[i - 1]))) {
      // Table of an environment.
      if (in.compare(i, 4, "$VS_") == 0) {
        size_t j = i + 4;
        if (j < n && in[j] == '"') {
          size_t k = j + 1;
          std::string name;
          while (true) {
            if (k >= n) return fail("a quoted table name is not closed");
            if (in[k] == '"') {
              if (k + 1 < n && in[k + 1] == '"') {
                name.push_back('"');
                k += 2;
                continue;
              }
              break;
            }
            name.push_back(in[k++]);
          }
          out.append(DoubleQuoted(name));
          i = k + 1;
        } else {
          size_t k = j;
          while (k < n && IsPlainNameChar(in[k])) ++k;
          // A trailing '.' belongs to the statement, not to the name.
          while (k > j && in[k - 1] == '.') --k;
          if (k == j) return fail("\"$VS_\" is not followed by a table name");
          out.append(DoubleQuoted(in.substr(j, k - j)));
          i = k;
        }
        continue;
      }
      // A column "$NAME".
      size_t j = i + 1;
      while (j < n && IsWordChar(in[j])) ++j;
      if (j > i + 1) {
        out.append(DoubleQuoted(in.substr(i, j - i)));
        i = j;
        continue;
      }
    }
    if (c == '?') {
      t.slots.push_back(t.markers++);
      if (engine == KelDbEngine::kSqlite) {
        out.push_back('?');
      } else {
        out.push_back('$');
        out.append(std::to_string(t.slots.size()));
      }
      ++i;
      continue;
    }
    out.push_back(c);
    ++i;
  }
  return t;
}

std::vector<std::string> SplitHostScript(std::string_view script) {
  std::vector<std::string> statements;
  std::string current;
  size_t i = 0;
  const size_t n = script.size();
  auto flush = [&]() {
    size_t a = current.find_first_not_of(" \t\r\n");
    if (a != std::string::npos) {
      size_t b = current.find_last_not_of(" \t\r\n");
      statements.push_back(current.substr(a, b - a + 1));
    }
    current.clear();
  };
  while (i < n) {
    char c = script[i];
    if (c == '\'' || c == '"') {
      const size_t j = ClosingQuote(script, i);
      const size_t end = j == std::string_view::npos ? n : j + 1;
      current.append(script.substr(i, end - i));
      i = end;
      continue;
    }
    if (c == '-' && i + 1 < n && script[i + 1] == '-') {
      while (i < n && script[i] != '\n') ++i;
      continue;
    }
    // A block comment becomes one blank; one left open runs to the end of
    // the script and is kept, so that running the statement reports it.
    if (c == '/' && i + 1 < n && script[i + 1] == '*') {
      size_t end = script.find("*/", i + 2);
      if (end == std::string_view::npos) {
        current.append(script.substr(i));
        break;
      }
      current.push_back(' ');
      i = end + 2;
      continue;
    }
    if (c == ';') {
      flush();
      ++i;
      continue;
    }
    current.push_back(c);
    ++i;
  }
  flush();
  return statements;
}

size_t HostSqlSetReadLength(size_t n) { return n <= 10 ? 10 : n <= 100 ? 100 : kHostSqlSetReadMax; }

std::string HostSqlMarkerList(size_t n) {
  std::string list = "(";
  for (size_t k = 0; k < n; ++k) list += k ? ",?" : "?";
  return list + ")";
}

std::string AbbreviateForMessage(std::string_view text, size_t max) {
  if (text.size() <= max) return std::string(text);
  size_t cut = max;
  // Do not cut a UTF-8 sequence in two.
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  return std::string(text.substr(0, cut)) + "... (" + std::to_string(text.size() - cut) + " more bytes)";
}
