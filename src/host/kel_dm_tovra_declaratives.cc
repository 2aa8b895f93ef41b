// The declarative services of the host, read from the current profile
// (host/profile/kel_dm_profile.h), and path expansion.
#include <pwd.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>

#include "host/db/kel_dm_ier_message.h"
#include "host/kel_dm_tovra.h"
#include "host/profile/kel_dm_context.h"
#include "host/profile/kel_dm_profile.h"

namespace {
const std::string* FindKey(const KelUnicodeString& key) {
  const KelDMProfile* profile = KelDMProfile::Current();
  return profile ? profile->Find(key) : nullptr;
}

bool ParseInteger(const std::string& text, int* out) {
  if (text.empty()) return false;
  size_t i = (text[0] == '+' || text[0] == '-') ? 1 : 0;
  if (i == text.size()) return false;
  for (size_t k = i; k < text.size(); ++k) {
    if (!std::isdigit(static_cast<unsigned char>(text[k]))) return false;
  }
  errno = 0;
  long long v = std::strtoll(text.c_str(), nullptr, 10);
  if (errno == ERANGE || v < INT_MIN || v > INT_MAX) return false;
  *out = static_cast<int>(v);
  return true;
}

bool IsNameStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }
bool IsNameChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

std::string HomeDirectory() {
  if (const char* home = std::getenv("HOME"); home && *home) return home;
  if (const passwd* pw = getpwuid(geteuid()); pw && pw->pw_dir) return pw->pw_dir;
  return {};
}
}  // namespace

int KelDMTovra::GetLogicalDec(const KelUnicodeString& key) {
  int value = 0;
  return GetLogicalDec(key, value) == 0 ? value : 0;
}

int KelDMTovra::GetLogicalDec(const KelUnicodeString& key, int& value) {
  const std::string* text = FindKey(key);
  if (!text) return kel_ier::kDeclarativeMissing;
  if (*text == "TRUE") {
    value = 1;
  } else if (*text == "FALSE") {
    value = 0;
  } else {
    return kel_ier::kDeclarativeBadValue;
  }
  return 0;
}

int KelDMTovra::GetIntegerDec(const KelUnicodeString& key, int& value) {
  const std::string* text = FindKey(key);
  if (!text) return kel_ier::kDeclarativeMissing;
  int parsed;
  if (!ParseInteger(*text, &parsed)) return kel_ier::kDeclarativeBadValue;
  value = parsed;
  return 0;
}

int KelDMTovra::GetStringDec(const KelUnicodeString& key, KelUnicodeString& value) {
  const std::string* text = FindKey(key);
  if (!text) return kel_ier::kDeclarativeMissing;
  value = *text;
  return 0;
}

KelUnicodeString KelDMTovra::GetCurrentEnv() { return KelDMContext::CurrentEnvironment(); }

KelUnicodeString KelDMTovra::GetSetting(const KelUnicodeString& section, const KelUnicodeString& key) {
  const std::string* text = FindKey(section + "." + key);
  return text ? *text : KelUnicodeString();
}

KelUnicodeString KelDMTools::ExpandPath(const KelUnicodeString& path) {
  std::string out;
  size_t i = 0;
  if (!path.empty() && path[0] == '~' && (path.size() == 1 || path[1] == '/')) {
    out = HomeDirectory();
    i = 1;
  }
  while (i < path.size()) {
    char c = path[i];
    if (c != '$' || i + 1 == path.size()) {
      out += c;
      ++i;
      continue;
    }
    if (path[i + 1] == '{') {
      size_t close = path.find('}', i + 2);
      std::string name = close == std::string::npos ? std::string() : path.substr(i + 2, close - i - 2);
      bool valid = !name.empty() && IsNameStart(name[0]);
      for (char n : name) valid = valid && IsNameChar(n);
      if (!valid) {  // not a variable reference: kept as written
        out += c;
        ++i;
        continue;
      }
      if (const char* v = std::getenv(name.c_str())) out += v;
      i = close + 1;
    } else if (IsNameStart(path[i + 1])) {
      size_t end = i + 1;
      while (end < path.size() && IsNameChar(path[end])) ++end;
      std::string name = path.substr(i + 1, end - i - 1);
      if (const char* v = std::getenv(name.c_str())) out += v;
      i = end;
    } else {
      out += c;
      ++i;
    }
  }
  return out;
}
