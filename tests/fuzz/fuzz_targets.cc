#include "fuzz/fuzz_targets.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>
#include <memory>
#include <set>
#include <string>

#include "batch/kel_lnk_batch.h"
#include "host/db/host_sql.h"
#include "host/db/kel_db_connection.h"
#include "host/kel_lnk_resources.h"
#include "host/profile/kel_dm_profile.h"
#include "host/v4/kel_psn_com.h"
#include "host/viewer/kel_viewer_tool_bag.h"
#include "operations/kel_lnk_site_files.h"

namespace {

std::string Text(const uint8_t* data, size_t size) { return std::string(reinterpret_cast<const char*>(data), size); }

// A check that holds for every input; a breach aborts, so the fuzzer keeps
// the input as a finding.
void Require(bool condition) {
  if (!condition) std::abort();
}

int BatchInput(const uint8_t* data, size_t size) {
  KelQorError error;
  KelListValKelUnicodeString lines;
  const std::string text = Text(data, size);
  if (KelLnkBatch::ParseInputText(text, error, lines)) {
    Require(error.Ier() == 0 && lines.size() % 4 == 0);
    for (const auto& line : lines) Require(!line.empty() && line.size() <= KelLnkBatch::kMaxLineLength);
  } else {
    Require(error.Ier() != 0 && lines.size() <= text.size());
  }
  return 0;
}

int Profile(const uint8_t* data, size_t size) {
  std::string error;
  auto profile = KelDMProfile::Parse(Text(data, size), "fuzz.profile", &error);
  Require(profile != nullptr || !error.empty());
  // A message never echoes a whole hostile line.
  Require(error.size() < 1024);
  return 0;
}

int HostSql(const uint8_t* data, size_t size) {
  const std::string text = Text(data, size);
  for (KelDbEngine engine : {KelDbEngine::kSqlite, KelDbEngine::kPostgres}) {
    HostSqlTranslation t = TranslateHostSql(text, engine);
    if (t.ok) Require(static_cast<size_t>(t.markers) + t.literals.size() == t.slots.size());
  }
  for (const std::string& statement : SplitHostScript(text)) Require(!statement.empty());
  return 0;
}

// Scripts run statement by statement on an in-memory SQLite database inside
// a transaction that is rolled back: no input may crash the engine layer.
int DbScript(const uint8_t* data, size_t size) {
  static std::unique_ptr<KelDbConnection> conn = [] {
    auto c = KelDbMakeConnection("FUZZ", ":memory:", true);
    c->TryOpen();
    c->Execute("CREATE TABLE \"E1.$EXT\" (\"$COID\" BLOB, \"$TYPE\" TEXT, C_ID TEXT)", {}, nullptr);
    return c;
  }();
  const std::string text = Text(data, size);
  if (FindNulByte(text) != std::string::npos) return 0;  // refused whole by the command
  // The statements of the script, and the whole text as one statement (what
  // a caller that does not split would hand over).
  std::vector<std::string> statements = SplitHostScript(text);
  statements.push_back(text);
  conn->Begin();
  for (const std::string& statement : statements) {
    // Statements that reach outside the database, or end the transaction
    // (the command refuses those before anything runs).
    std::string upper, first;
    for (char c : statement) upper.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
    for (char c : upper) {
      if (!std::isalpha(static_cast<unsigned char>(c))) {
        if (!first.empty()) break;
        continue;
      }
      first.push_back(c);
    }
    bool skip = false;
    for (const char* word : {"ATTACH", "DETACH", "VACUUM", "PRAGMA", "LOAD_EXTENSION"})
      skip = skip || upper.find(word) != std::string::npos;
    for (const char* word : {"BEGIN", "START", "COMMIT", "END", "ROLLBACK", "ABORT", "SAVEPOINT", "RELEASE"})
      skip = skip || first == word;
    if (skip) continue;
    KelDbResult result;
    conn->Execute(statement, {}, &result);
  }
  conn->Rollback();
  KelDbClearEngineFaults();
  return 0;
}

int ErrorFile(const uint8_t* data, size_t size) {
  const std::string text = Text(data, size);
  const std::string line = text.substr(0, text.find('\n'));
  int code = -1;
  if (KelLnkSiteFiles::ParseReturnCode(line, &code)) {
    Require(std::to_string(code).size() <= line.size());
  } else {
    Require(code == 0);
  }
  return 0;
}

int Resources(const uint8_t* data, size_t size) {
  std::string errors;
  auto texts = KelLnkResourceCatalogue::Parse(Text(data, size), "fuzz", &errors);
  for (const auto& [key, value] : texts) Require(!key.empty());
  return 0;
}

// The V4 application's answer, as the identify reads it: the text up to the
// first line end.
int V4Answer(const uint8_t* data, size_t size) {
  const std::string text = Text(data, size);
  int jele = INT_MIN;
  KelUnicodeString uuid = "unset";
  KelV4Error error;
  KelPSNRcvMsg::ReadAnswer(std::string_view(text).substr(0, text.find('\n')), jele, uuid, error);
  if (error.code == 0) {
    // What the identify compares with the link database: 32 hex digits.
    const auto digits = std::count_if(uuid.begin(), uuid.end(), [](char c) { return std::isxdigit(c & 0xff); });
    Require(digits == 32 && uuid.size() - digits == static_cast<size_t>(std::count(uuid.begin(), uuid.end(), '-')));
  } else {
    // Nothing half-read reaches the caller; the message is one short line.
    Require(jele == INT_MIN && uuid == "unset" && !error.text.empty() && error.text.size() < 512);
    for (char c : error.text) Require(static_cast<unsigned char>(c) >= 0x20);
  }
  return 0;
}

// The viewer keys of `text`: the <TABLE> parts of its KELZUMO.VIEWER.<TABLE>.COMMAND keys.
std::vector<std::string> ViewerTables(const std::string& text) {
  std::vector<std::string> tables = {"TOVRA_MODEL"};
  const std::string prefix = "KELZUMO.VIEWER.", suffix = ".COMMAND";
  for (size_t at = text.find(prefix); at != std::string::npos && tables.size() < 5; at = text.find(prefix, at + 1)) {
    const size_t end = text.find(suffix, at + prefix.size());
    if (end == std::string::npos) break;
    std::string table = text.substr(at + prefix.size(), end - at - prefix.size());
    if (table.find_first_of(" \t\n=") == std::string::npos &&
        std::find(tables.begin(), tables.end(), table) == tables.end())
      tables.push_back(table);
  }
  return tables;
}

// The bytes as the profile; then the viewers of a few tables, used as the
// open commands and the options menu use them.
int ViewerOptions(const uint8_t* data, size_t size) {
  const std::string text = Text(data, size);
  std::string error;
  std::unique_ptr<KelDMProfile> parsed = KelDMProfile::Parse(text, "fuzz.profile", &error);
  if (!parsed) return 0;
  KelDMProfile::SetCurrent(std::move(parsed));
  const KelDMProfile& profile = *KelDMProfile::Current();
  const std::vector<std::string> tables = ViewerTables(text);
  const KelListValKelDMInstance objects = {
      KelDMInstance("FUZZ", "E1", "TOVRA_MODEL  ", "D10000000000A002", "D10000000000C002"),
      KelDMInstance("FUZZ", "E1", "PART_LIST", "0000000000000001", "3030303030303030")};
  std::set<std::string> asked;  // every table key asked, to forget at the end
  for (const std::string& table : tables) {
    const std::vector<KelViewerToolBag*> bags = KelViewerToolBag::GetToolBags(table);
    Require(bags == KelViewerToolBag::GetToolBags(table + "  "));  // the same viewers, kept
    for (size_t k = 0; k < bags.size(); ++k) {
      KelViewerToolBag& bag = *bags[k];
      const std::string tableKey = k == 0 ? table : table + "." + std::to_string(k + 1);
      const bool fresh = asked.insert(tableKey).second;  // not yet moved by the calls below
      const std::string key = "KELZUMO.VIEWER." + tableKey + ".";
      const std::string* command = profile.Find(key + "COMMAND");
      Require(command != nullptr && !command->empty() && bag.GetCommand() == *command && !bag.GetName().empty());
      const int n = bag.GetNbOptions();
      for (int i = 1; i <= n; ++i) Require(profile.Find(key + "OPTION." + std::to_string(i)) != nullptr);
      Require(profile.Find(key + "OPTION." + std::to_string(n + 1)) == nullptr);
      // The current option is the profile's when that names an option, else 1.
      const std::string* current = profile.Find(key + "CURRENT_OPTION");
      const bool named = current != nullptr && !current->empty() && current->size() < 10 &&
                         current->find_first_not_of("0123456789") == std::string::npos && std::stoi(*current) >= 1 &&
                         std::stoi(*current) <= n;
      Require(!fresh || bag.GetCurrentOption() == (named ? std::stoi(*current) : 1));
      for (int index : {INT_MIN, -1, 0, 1, n, n + 1, INT_MAX}) {
        const int before = bag.GetCurrentOption();
        const bool valid = index >= 1 && index <= n;
        Require(bag.GetOption(index).empty() || valid);
        Require((bag.SetCurrentOption(index) == 0) == valid);
        Require(bag.GetCurrentOption() == (valid ? index : before));
        const std::vector<std::string> args = bag.Arguments(objects);
        Require(args.size() == 3 + 4 * objects.size() && args[0] == *command &&
                args[1] == std::to_string(bag.GetCurrentOption()) && args[2] == bag.GetOption(bag.GetCurrentOption()));
        Require(args[4] == "TOVRA_MODEL");
      }
    }
  }
  // Forget the viewers, so that the next input starts afresh.
  KelDMProfile::SetCurrent(nullptr);
  for (const std::string& key : asked) Require(KelViewerToolBag::GetToolBag(key) == nullptr);
  return 0;
}

}  // namespace

const std::vector<MmlFuzzTargetEntry>& MmlFuzzTargets() {
  static const std::vector<MmlFuzzTargetEntry> targets = {
      {"batch_input", BatchInput}, {"profile", Profile},     {"host_sql", HostSql},   {"db_script", DbScript},
      {"error_file", ErrorFile},   {"resources", Resources}, {"v4_answer", V4Answer}, {"viewer_options", ViewerOptions},
  };
  return targets;
}
