// The resource catalogue "KelLnkResource": the texts the graph window shows
// (titles, helps, messages) and the colour numbers of its nodes, by dotted
// key ("MainWindow.Menu.Graph.Refresh.Title", "Object.Colours.Default.Good").
//
// The catalogue is a text file of "key = text" lines (docs/resources.md). It
// is read from the program's data directory (MML_RESOURCES when set, else
// found next to the program: host/mml_data_dir.h), the first time a text is
// asked for, and kept for the process.
#pragma once

#include <string>
#include <unordered_map>

#include "base/kel_types.h"

class KelLnkResourceCatalogue {
 public:
  // The text of `key` into `value`; false (value untouched) when the key has
  // no text in the catalogue.
  static bool GetResourceValueFromKey(const KelString& key, KelUnicodeString& value);

  // The file read: "<directory>/KelLnkResource".
  static std::string CatalogueFile();

  // Parses catalogue text. Lines are "key = text"; blank lines and lines
  // whose first non-blank character is "#" are skipped. The key is the text
  // before the first "=", without surrounding blanks; the text is what
  // follows, without surrounding blanks, unless it is written between double
  // quotes (which keeps its blanks). In the text, "\n" stands for a newline,
  // "\t" for a tab, "\"" for a double quote and "\\" for a backslash. A later
  // line for the same key replaces an earlier one. A line without "=" or
  // with an empty key, or an unterminated quoted text, is an error: it is
  // skipped and described in `errors` (one line each, "<source>:<line>: ...").
  static std::unordered_map<std::string, KelUnicodeString> Parse(const std::string& text, const std::string& source,
                                                                 std::string* errors);

  // Reads the catalogue again at the next request (tests, and after the
  // directory changed).
  static void Reload();

 private:
  static void EnsureLoaded();
};
