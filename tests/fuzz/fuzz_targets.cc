#include "fuzz/fuzz_targets.h"

#include <cctype>
#include <cstdlib>
#include <memory>
#include <string>

#include "batch/kel_lnk_batch.h"
#include "host/db/host_sql.h"
#include "host/db/kel_db_connection.h"
#include "host/kel_lnk_resources.h"
#include "host/profile/kel_dm_profile.h"
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

}  // namespace

const std::vector<MmlFuzzTargetEntry>& MmlFuzzTargets() {
  static const std::vector<MmlFuzzTargetEntry> targets = {
      {"batch_input", BatchInput}, {"profile", Profile},      {"host_sql", HostSql},
      {"db_script", DbScript},     {"error_file", ErrorFile}, {"resources", Resources},
  };
  return targets;
}
