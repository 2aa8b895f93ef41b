#include "host/kel_lnk_resources.h"

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>

#include "host/mml_data_dir.h"

namespace {

bool gLoaded = false;
std::unordered_map<std::string, KelUnicodeString> gTexts;

std::string TrimBlanks(const std::string& text) {
  size_t begin = text.find_first_not_of(" \t\r");
  if (begin == std::string::npos) return "";
  size_t end = text.find_last_not_of(" \t\r");
  return text.substr(begin, end - begin + 1);
}

// Replaces the escapes of a text; false on a dangling backslash.
bool Unescape(const std::string& raw, std::string& out) {
  out.clear();
  for (size_t i = 0; i < raw.size(); ++i) {
    char c = raw[i];
    if (c != '\\') {
      out += c;
      continue;
    }
    if (i + 1 >= raw.size()) return false;
    char next = raw[++i];
    switch (next) {
      case 'n':
        out += '\n';
        break;
      case 't':
        out += '\t';
        break;
      case '"':
        out += '"';
        break;
      case '\\':
        out += '\\';
        break;
      default:
        // An unknown escape keeps both characters.
        out += '\\';
        out += next;
        break;
    }
  }
  return true;
}

}  // namespace

std::unordered_map<std::string, KelUnicodeString> KelLnkResourceCatalogue::Parse(const std::string& text,
                                                                                 const std::string& source,
                                                                                 std::string* errors) {
  std::unordered_map<std::string, KelUnicodeString> texts;
  std::istringstream in(text);
  std::string line;
  int number = 0;
  auto fail = [&](const std::string& why) {
    if (errors) *errors += source + ":" + std::to_string(number) + ": " + why + "\n";
  };
  while (std::getline(in, line)) {
    ++number;
    std::string trimmed = TrimBlanks(line);
    if (trimmed.empty() || trimmed[0] == '#') continue;
    size_t eq = trimmed.find('=');
    if (eq == std::string::npos) {
      fail("missing \"=\" between key and text");
      continue;
    }
    std::string key = TrimBlanks(trimmed.substr(0, eq));
    if (key.empty()) {
      fail("empty key");
      continue;
    }
    std::string raw = TrimBlanks(trimmed.substr(eq + 1));
    if (!raw.empty() && raw[0] == '"') {
      // Quoted: up to the closing quote that is not escaped, nothing after it.
      size_t i = 1;
      bool closed = false;
      for (; i < raw.size(); ++i) {
        if (raw[i] == '\\') {
          ++i;
          continue;
        }
        if (raw[i] == '"') {
          closed = true;
          break;
        }
      }
      if (!closed || !TrimBlanks(raw.substr(i + 1)).empty()) {
        fail("quoted text of \"" + key + "\" is not closed by its last character");
        continue;
      }
      raw = raw.substr(1, i - 1);
    }
    std::string value;
    if (!Unescape(raw, value)) {
      fail("text of \"" + key + "\" ends with a lone backslash");
      continue;
    }
    texts[key] = value;
  }
  return texts;
}

std::string KelLnkResourceCatalogue::CatalogueFile() { return MmlDataDirectory() + "/KelLnkResource"; }

void KelLnkResourceCatalogue::EnsureLoaded() {
  if (gLoaded) return;
  gLoaded = true;
  gTexts.clear();
  std::string path = CatalogueFile();
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    // Every text then falls back on its built-in English default.
    return;
  }
  std::ostringstream content;
  content << file.rdbuf();
  std::string errors;
  gTexts = Parse(content.str(), path, &errors);
  if (!errors.empty()) std::cerr << "mml: resource catalogue: " << errors;
}

bool KelLnkResourceCatalogue::GetResourceValueFromKey(const KelString& key, KelUnicodeString& value) {
  EnsureLoaded();
  auto it = gTexts.find(key);
  if (it == gTexts.end()) return false;
  value = it->second;
  return true;
}

void KelLnkResourceCatalogue::Reload() {
  gLoaded = false;
  gTexts.clear();
}
