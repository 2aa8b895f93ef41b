#include "host/profile/kel_dm_profile.h"

#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include <fmt/format.h>

#include "host/db/host_sql.h"

namespace {

// Logical keys of the module: TRUE or FALSE only.
const char* const kLogicalKeys[] = {
    "KELZUMO.QOR.MML.FILTER.BEST_REVISION",
    "KELZUMO.QOR.MML.FILTER.MATURITY",
    "KELZUMO.QOR.MML.FILTER.MATURITY.NULL_ALLOWED",
    "KELZUMO.QOR.MML.ENTITY_TO_ENTITY",
    "KELZUMO.QOR.MML.FORCE_RECACHE",
    "KELZUMO.QOR.MML.SHOW_EXTRA_COLOURS",
    "KELZUMO.QOR.MML.LINK.TYPE",
    "KELZUMO.QOR.MML.LINK.TECHNO",
    "KELZUMO.QOR.MML.NO_SORT_NAME",
    "KELZUMO.QOR.MML.TOVRA_V5",
    "KELZUMO.QOR.MML.TOVRA_V5_RELEASE_VALIDITY",
    "KELZUMO.QOR.MML.TOVRA_V5_OPEN_ORDER",
    "KELZUMO.QOR.MML.TOVRA_V5_NEW_CODE_MML",
    "KELZUMO.QOR.MML.TOVRA_V5_SOLVE_IN_MML",
    "KELZUMO.QOR.MML.IMPACTED_ON_SYNC",
    // Obsolete keys, never read, but still logical when an old profile sets them.
    "KELZUMO.QOR.MML.CACHE.INCREMENTAL",
    "KELZUMO.QOR.MML.PERFO",
};
const char* const kIntegerKeys[] = {
    "KELZUMO.QOR.MML.FILTER.MATURITY.MIN_INDEX",
};

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && IsBlank(s[b])) ++b;
  while (e > b && IsBlank(s[e - 1])) --e;
  return s.substr(b, e - b);
}

// The line without its comment: '#' at the start or after a blank.
std::string StripComment(const std::string& line) {
  for (size_t i = 0; i < line.size(); ++i) {
    if (line[i] == '#' && (i == 0 || IsBlank(line[i - 1]))) return line.substr(0, i);
  }
  return line;
}

std::vector<std::string> Words(const std::string& s) {
  std::vector<std::string> words;
  size_t i = 0;
  while (i < s.size()) {
    while (i < s.size() && IsBlank(s[i])) ++i;
    size_t start = i;
    while (i < s.size() && !IsBlank(s[i])) ++i;
    if (i > start) words.push_back(s.substr(start, i - start));
  }
  return words;
}

bool ParseInt(const std::string& text, int* out) {
  if (text.empty()) return false;
  size_t i = (text[0] == '+' || text[0] == '-') ? 1 : 0;
  if (i == text.size()) return false;
  for (size_t k = i; k < text.size(); ++k) {
    if (text[k] < '0' || text[k] > '9') return false;
  }
  errno = 0;
  char* end = nullptr;
  long long v = std::strtoll(text.c_str(), &end, 10);
  if (errno == ERANGE || v < INT_MIN || v > INT_MAX) return false;
  *out = static_cast<int>(v);
  return true;
}

std::unique_ptr<KelDMProfile>& CurrentSlot() {
  static std::unique_ptr<KelDMProfile> current;
  return current;
}

}  // namespace

KelDMKeyKind KelDMProfile::KindOfKey(const std::string& key) {
  for (const char* k : kLogicalKeys) {
    if (key == k) return KelDMKeyKind::kLogical;
  }
  for (const char* k : kIntegerKeys) {
    if (key == k) return KelDMKeyKind::kInteger;
  }
  return KelDMKeyKind::kText;
}

std::unique_ptr<KelDMProfile> KelDMProfile::Load(const std::string& path, std::string* error) {
  struct stat info;
  if (stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
    if (error) *error = fmt::format("{}: cannot read the profile: {}", path, std::strerror(EISDIR));
    return nullptr;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    if (error) *error = fmt::format("{}: cannot read the profile: {}", path, std::strerror(errno));
    return nullptr;
  }
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) {
    if (error) *error = fmt::format("{}: cannot read the profile", path);
    return nullptr;
  }
  return Parse(text.str(), path, error);
}

std::unique_ptr<KelDMProfile> KelDMProfile::Parse(const std::string& text, const std::string& fileName,
                                                  std::string* error) {
  auto profile = std::make_unique<KelDMProfile>();
  profile->fileName_ = fileName;
  std::map<std::string, int> keyLines;
  int lineNo = 0;
  auto fail = [&](const std::string& reason) -> std::unique_ptr<KelDMProfile> {
    if (error) *error = fmt::format("{}:{}: {}", fileName, lineNo, AbbreviateForMessage(reason, 400));
    return nullptr;
  };

  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string raw = text.substr(pos, end - pos);
    pos = end + 1;
    ++lineNo;
    if (!raw.empty() && raw.back() == '\r') raw.pop_back();
    if (raw.find('\0') != std::string::npos) return fail("the line holds a NUL character");
    std::string line = Trim(StripComment(raw));
    if (line.empty()) continue;

    std::vector<std::string> words = Words(line);
    const std::string& first = words[0];
    bool directive = (first == "LINKTYPE" || first == "IDENTIFICATION" || first == "ACCESS") &&
                     (words.size() < 2 || words[1][0] != '=');
    if (directive) {
      if (first == "LINKTYPE") {
        if (words.size() != 4) return fail("LINKTYPE needs <environment> <declared type> <declared name>");
        profile->linkTypes_.push_back({words[1], {words[2], words[3]}});
      } else if (first == "IDENTIFICATION") {
        size_t dot = words.size() >= 2 ? words[1].find('.') : std::string::npos;
        if (words.size() < 3 || dot == std::string::npos || dot == 0 || dot + 1 == words[1].size()) {
          return fail("IDENTIFICATION needs <environment>.<table> and at least one column");
        }
        KelPSNProfileTable table{words[1].substr(dot + 1), {words.begin() + 2, words.end()}};
        profile->identification_.push_back({words[1].substr(0, dot), std::move(table)});
      } else {
        if (words.size() != 6) return fail("ACCESS needs <user|*> <domain> <class> <process> ALLOW|DENY");
        if (words[5] != "ALLOW" && words[5] != "DENY") {
          return fail(fmt::format("an ACCESS rule ends with ALLOW or DENY, not \"{}\"", words[5]));
        }
        profile->access_.push_back({words[1], words[2], words[3], words[4], words[5] == "ALLOW", lineNo});
      }
      continue;
    }

    size_t eq = line.find('=');
    if (eq == std::string::npos) {
      return fail(fmt::format("cannot read \"{}\": expected KEY = VALUE, LINKTYPE, IDENTIFICATION or ACCESS", line));
    }
    std::string key = Trim(line.substr(0, eq));
    std::string value = Trim(line.substr(eq + 1));
    if (key.empty()) return fail("a key is missing before '='");
    for (char c : key) {
      if (IsBlank(c)) return fail(fmt::format("the key \"{}\" holds a blank", key));
    }
    auto seen = keyLines.find(key);
    if (seen != keyLines.end()) return fail(fmt::format("{} is already set on line {}", key, seen->second));
    switch (KindOfKey(key)) {
      case KelDMKeyKind::kLogical:
        if (value != "TRUE" && value != "FALSE") {
          return fail(fmt::format("{} must be TRUE or FALSE, not \"{}\"", key, value));
        }
        break;
      case KelDMKeyKind::kInteger: {
        int ignored;
        if (!ParseInt(value, &ignored)) {
          bool digits =
              !value.empty() &&
              value.find_first_not_of("0123456789", value[0] == '+' || value[0] == '-') == std::string::npos &&
              value.size() > (value[0] == '+' || value[0] == '-');
          if (digits)
            return fail(fmt::format("{} must be an integer between {} and {}, not {}", key, INT_MIN, INT_MAX,
                                    AbbreviateForMessage(value, 40)));
          return fail(fmt::format("{} must be an integer, not \"{}\"", key, AbbreviateForMessage(value, 80)));
        }
        break;
      }
      case KelDMKeyKind::kText:
        break;
    }
    keyLines[key] = lineNo;
    profile->keys_[key] = value;
  }
  return profile;
}

const std::string* KelDMProfile::Find(const std::string& key) const {
  auto it = keys_.find(key);
  return it == keys_.end() ? nullptr : &it->second;
}

std::vector<KelDMProfileLinkType> KelDMProfile::LinkTypes(const std::string& environment) const {
  std::vector<KelDMProfileLinkType> out;
  for (const auto& line : linkTypes_) {
    if (line.environment == environment) out.push_back(line.linkType);
  }
  return out;
}

std::vector<KelPSNProfileTable> KelDMProfile::IdentificationTables(const std::string& environment) const {
  std::vector<KelPSNProfileTable> out;
  for (const auto& line : identification_) {
    if (line.environment == environment) out.push_back(line.table);
  }
  return out;
}

const KelDMProfile* KelDMProfile::Current() { return CurrentSlot().get(); }

void KelDMProfile::SetCurrent(std::unique_ptr<KelDMProfile> profile) { CurrentSlot() = std::move(profile); }
