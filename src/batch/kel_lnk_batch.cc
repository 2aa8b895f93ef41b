#include "batch/kel_lnk_batch.h"
#include "base/mml_constants.h"
#include "batch/kel_lnk_batch_progress.h"
#include "batch/mml_module.h"

#include "host/db/host_sql.h"
#include "host/db/kel_db_read_snapshot.h"
#include "host/kel_dm_session.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "base/kel_id.h"
#include "batch/kel_lnk_object_batch.h"
#include "foundation/kel_lnk_tools.h"
#include "graph/kel_lnk_object.h"
#include "host/db/kel_dm_ier_message.h"
#include "host/kel_dm_instance.h"
#include "host/kel_psn_trace.h"
#include "host/process/kel_xco_process.h"
#include "linkdb/kel_lnk_data_manager.h"
#include "linkdb/kel_lnk_hybrid_manager.h"
#include "operations/kel_lnk_site_files.h"

namespace {

const char kInputFileError[] = "Input File Error";
const char kNullIdentifierHex[] = "3030303030303030";
const char kInvalidFormat[] = "Invalid format for the input file : check it";

// Impact passes are named by their direction flag in messages and traces.
const char* PassMessage(int flag) {
  return flag ? " An error occurs during the Impacts On processing "
              : " An error occurs during the Impacted By processing ";
}

// Judges the error a root's run left: a warning (severity -1) is printed and
// forgotten; any other error becomes the caller's. `impactFlag` is the pass
// direction of an impact run, -1 for a migration.
void JudgeRootError(KelPSNTrace& trace, const KelQorError& fetched, int impactFlag, KelQorError& error) {
  if (fetched.Ier() == 0) return;
  trace.Write("   error exists");
  if (fetched.Severity() == -1) {
    trace.Write("   .. sev=-1");
    if (impactFlag >= 0) std::cout << PassMessage(impactFlag) << "\n";
    std::cout << fetched.ShortMsg() << "\n" << fetched.LongMsg() << "\n" << std::flush;
    return;
  }
  trace.Write("   .. real error");
  error.Set(fetched.Ier(), fetched.ShortMsg(), fetched.LongMsg(), fetched.Severity());
}

// Traces the root group starting at 0-based line `first` and builds its
// instance.
KelDMInstance RootInstance(KelPSNTrace& trace, const KelListValKelUnicodeString& lines, size_t first) {
  trace.Write("\n Root number : " + std::to_string(first + 1) + "\n\tCAENV  : " + lines[first] + "\n\tKELAB  : " +
              lines[first + 1] + "\n\tCOID   : " + lines[first + 2] + "\n\tCOMPID : " + lines[first + 3]);
  KelDMInstance instance(kMmlKelcon, lines[first], lines[first + 1], lines[first + 2], lines[first + 3]);
  if (trace.LevelIsActive())
    trace.Write("\n\tThe instance : \"" + instance.GetNameInstance(0, 1, " ** ", "$BOM_NAVIG") + "\" is created");
  return instance;
}

// Waits for the end of the migration script: the next "END_OF_BATCH" event,
// or nothing when no command runs (the launch failed or did not happen).
// When the program is told to stop (SIGINT, SIGTERM), the script is stopped
// too: a migration never goes on without the program that holds its lock.
void WaitForMigrationScript() {
  KelXcoEvent event;
  int rc;
  while ((rc = xconext(&event)) == 0) {
    if (event.name == "END_OF_BATCH") {
      KelLnkNoteMigrationScriptExit(event.exitCode);
      return;
    }
  }
  if (rc == kel_ier::kProcessInterrupted) {
    KelXcoStopAll(5000);
    KelLnkNoteMigrationInterrupted(KelXcoStopRequested());
  }
}

// The output files of one impact run: INPUT.ImpactedBy and INPUT.ImpactsOn
// (the last root with impacts, as callers read them) and INPUT.ImpactedBy.N,
// INPUT.ImpactsOn.N (root N's own answer, "0" alone for a root without
// impacts). The files of the run's directions left by an earlier run are
// removed first; a run that fails removes what it wrote.
class ImpactFiles {
 public:
  ImpactFiles(const std::string& input, int request) : input_(input) {
    if (request != 1) suffixes_.push_back(".ImpactedBy");
    if (request != 0) suffixes_.push_back(".ImpactsOn");
    namespace fs = std::filesystem;
    const fs::path path(input_);
    const fs::path dir = path.has_parent_path() ? path.parent_path() : fs::path(".");
    const std::string base = path.filename().string();
    std::error_code ec;
    for (const std::string& suffix : suffixes_) {
      KelLnkSiteFiles::Remove(input_ + suffix);
      const std::string prefix = base + suffix + ".";
      for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.compare(0, prefix.size(), prefix) == 0 && name.size() > prefix.size() &&
            name.find_first_not_of("0123456789", prefix.size()) == std::string::npos)
          KelLnkSiteFiles::Remove(it->path().string());
      }
    }
  }

  // Keeps root `number`'s answer in direction `flag` (1 impacts on) under its
  // own name; `impacts` tells whether the pass wrote the named file.
  void KeepRootAnswer(int flag, size_t number, bool impacts, KelQorError& error) {
    const std::string named = input_ + (flag ? ".ImpactsOn" : ".ImpactedBy");
    const std::string own = named + "." + std::to_string(number);
    std::string why;
    bool ok;
    if (impacts) {
      written_.push_back(named);
      ok = KelLnkSiteFiles::Copy(named, own, &why);
    } else {
      KelLnkSiteFileWriter writer;
      ok = writer.Open(own) && writer.Write("0\n") && writer.Close();
      if (!ok) why = "Cannot write " + own + ": " + std::strerror(writer.LastErrno());
    }
    if (ok) {
      written_.push_back(own);
    } else {
      error.Set(1, "Error in Batch Impacts", why, 3);
    }
  }

  void RemoveAll() {
    for (const std::string& path : written_) KelLnkSiteFiles::Remove(path);
    written_.clear();
  }

 private:
  std::string input_;
  std::vector<std::string> suffixes_;
  std::vector<std::string> written_;
};

}  // namespace

KelLnkBatch::KelLnkBatch(const KelUnicodeString& inputFile) : inputFile_(inputFile) {}

KelLnkBatch::~KelLnkBatch() = default;

FILE* KelLnkBatch::OpenFile() {
  MML_TRACE("KelLnkBatch::OpenFile");
  FILE* file = std::fopen(inputFile_.c_str(), "r");
  if (!file) mmlFunctionTrace.Write(" Error opening the input file ");
  return file;
}

KelUnicodeString KelLnkBatch::GetEnvForBatch() {
  MML_TRACE("KelLnkBatch::GetEnvForBatch");
  FILE* file = OpenFile();
  if (!file) return "";
  KelUnicodeString line;
  int c;
  while ((c = std::fgetc(file)) != EOF && c != '\n') line += static_cast<char>(c);
  std::fclose(file);
  return line;
}

bool KelLnkBatch::ReadInputFile(KelQorError& error, KelListValKelUnicodeString& lines) {
  MML_TRACE("KelLnkBatch::ReadInputFile");
  error.Ok();
  FILE* file = OpenFile();
  if (!file) {
    error.Set(1, kInputFileError, "The input file cannot be opened", 3);
    return false;
  }
  std::string text;
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, n);
  bool readFailed = std::ferror(file) != 0;
  std::fclose(file);
  if (readFailed) {
    error.Set(1, kInputFileError, "The input file cannot be opened", 3);
    return false;
  }
  return ParseInputText(text, error, lines);
}

bool KelLnkBatch::ParseInputText(const std::string& text, KelQorError& error, KelListValKelUnicodeString& lines) {
  error.Ok();
  auto refuse = [&](size_t lineNumber, const std::string& why) {
    error.Set(2, kInputFileError,
              std::string(kInvalidFormat) + " (line " + std::to_string(lineNumber) + ": " + why + ")", 3);
    return false;
  };

  lines.clear();
  // An empty file names no root: a run on it would report success for
  // nothing, so it is refused like any other malformed input.
  if (text.empty()) {
    error.Set(2, kInputFileError, std::string(kInvalidFormat) + " (the file is empty: it names no root)", 3);
    return false;
  }
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    size_t lineNumber = lines.size() + 1;
    if (end == std::string::npos) return refuse(lineNumber, "the last line does not end with a newline");
    std::string line = text.substr(start, end - start);
    if (line.empty()) return refuse(lineNumber, "empty line");
    if (line.size() > kMaxLineLength)
      return refuse(lineNumber, "longer than " + std::to_string(kMaxLineLength) + " characters");
    lines.push_back(std::move(line));
    start = end + 1;
  }

  if (lines.size() % 4 != 0) {
    error.Set(2, kInputFileError, kInvalidFormat, 3);
    return false;
  }
  for (size_t i = 0; i < lines.size(); i += 4) {
    for (size_t k = 2; k < 4; ++k) {
      if (!IsHexIdentifier(lines[i + k]))
        return refuse(i + k + 1, std::string(k == 2 ? "the coid" : "the compid") + " \"" + lines[i + k] +
                                     "\" is not sixteen hexadecimal digits");
    }
  }
  return true;
}

void KelLnkBatch::InitialiseRun() {
  MML_TRACE("KelLnkBatch::InitialiseRun");
  mmlFunctionTrace.Write(" Initialization step ");
  MmlModule::Reset();
  KelLnkTools::Initialise();
  KelLnkHybridManager::CacheDeclarations();
}

void KelLnkBatch::MigrateE2E(KelQorError& error) {
  MML_TRACE("KelLnkBatch::MigrateE2E");
  KelListValKelUnicodeString lines;
  if (!ReadInputFile(error, lines)) return;

  // Every root is checked before anything is migrated: one that is not in
  // the database stops the run, naming its line; one with the null
  // identifier is left out, as its objects would be.
  std::vector<size_t> roots;
  for (size_t first = 0; first < lines.size(); first += 4) {
    if (lines[first + 2] == kNullIdentifierHex || lines[first + 3] == kNullIdentifierHex) {
      mmlFunctionTrace.Write(" Root on line " + std::to_string(first + 1) + " has the null identifier: left out");
      continue;
    }
    KelDMInstance instance("KELCON", lines[first], lines[first + 1], lines[first + 2], lines[first + 3]);
    const int rc = instance.CheckExists();
    const std::string where = "the root on line " + std::to_string(first + 1) + " (" + lines[first] + " " +
                              lines[first + 1] + " " + lines[first + 2] + " " + lines[first + 3] + ")";
    if (rc == kel_ier::kInstanceNotFound) {
      error.Set(2, kInputFileError, "Root not found: " + where + " is not in the database", 3);
      return;
    }
    if (rc != 0) {
      KelDbConnection* conn = KelDMSession::Main();
      error.Set(rc, "Database failure",
                "Cannot read " + where + ": " + (conn ? AbbreviateForMessage(conn->LastError()) : "no session"), 3);
      return;
    }
    roots.push_back(first);
  }

  // One migration at a time on the machine: the command file has a fixed name.
  std::string lockError;
  if (KelLnkSiteFiles::Lock(&lockError) != 0) {
    error.Set(3, "Migration refused", lockError, 3);
    return;
  }

  InitialiseRun();
  KelLnkBatchProgress progress(static_cast<int>(roots.size()));
  for (size_t first : roots) {
    if (int signo = KelXcoStopRequested()) {
      error.Set(1, "Migration interrupted",
                "Stopped by signal " + std::to_string(signo) + " before root " + std::to_string(first / 4 + 1), 3);
      break;
    }
    KelDMInstance instance = RootInstance(mmlFunctionTrace, lines, first);
    {
      KelLnkObject root(instance);
      KelLnkObjectBatch::BatchStartMigration(root);
      WaitForMigrationScript();
      KelLnkObjectBatch::EndOfMigrationBatch();
      mmlFunctionTrace.Write(" Get the error ");
      KelQorError fetched;
      KelLnkObjectBatch::GetBatchError(fetched);
      JudgeRootError(mmlFunctionTrace, fetched, -1, error);
    }
    if (error.Ier() != 0) break;
    mmlFunctionTrace.Write(" Uncache final step ");
    MmlModule::ClearCaches();
    progress.RootDone();
  }
  KelLnkSiteFiles::Unlock();
}

void KelLnkBatch::GetImpacts(KelQorError& error, int request) {
  MML_TRACE("KelLnkBatch::GetImpacts");
  error.Ok();
  if (request < 0 || request > 2) {
    error.Set(1, "Input Impact Error", "Unknown input request for impact: must 0(BY),1(ON) or 2(BOTH)", 3);
    return;
  }
  KelListValKelUnicodeString lines;
  if (!ReadInputFile(error, lines)) return;

  InitialiseRun();
  ImpactFiles files(inputFile_, request);
  const int flag = request == 1 ? 1 : 0;
  KelLnkBatchProgress progress(static_cast<int>(lines.size() / 4));
  for (size_t first = 0; first < lines.size(); first += 4) {
    const size_t number = first / 4 + 1;
    KelDMInstance instance = RootInstance(mmlFunctionTrace, lines, first);
    auto held = std::make_unique<KelLnkObject>(instance);
    KelLnkObject& root = *held;
    // Both passes of a root read one consistent state of the database.
    KelDbReadSnapshot snapshot(KelDMSession::Main());

    KelLnkObjectBatch::BatchStartImpacts(root, inputFile_, flag);
    KelQorError fetched;
    KelLnkObjectBatch::GetBatchError(fetched);
    mmlFunctionTrace.Write(flag ? " Get the error after Impacts ON " : " Get the error after Impacted BY ");
    JudgeRootError(mmlFunctionTrace, fetched, flag, error);
    if (error.Ier() == 0) files.KeepRootAnswer(flag, number, fetched.Ier() == 0, error);
    if (error.Ier() != 0) {
      mmlFunctionTrace.Write(" Error : before end : uncache");
      MmlModule::ClearCaches();
      files.RemoveAll();
      return;
    }

    if (request == 2) {
      KelLnkObject::Clean();
      KelLnkObjectBatch::BatchStartImpacts(root, inputFile_, 1);
      mmlFunctionTrace.Write(" Get the error after Impacts ON");
      KelLnkObjectBatch::GetBatchError(fetched);
      JudgeRootError(mmlFunctionTrace, fetched, 1, error);
      if (error.Ier() == 0) files.KeepRootAnswer(1, number, fetched.Ier() == 0, error);
    }

    if (processEndsAfterRun_ && error.Ier() == 0 && first + 4 >= lines.size()) {
      // The last root: what it built goes with the process.
      static_cast<void>(held.release());
      progress.RootDone();
      return;
    }
    mmlFunctionTrace.Write(" Uncache final step ");
    MmlModule::ClearCaches();
    if (error.Ier() != 0) {
      files.RemoveAll();
      return;
    }
    progress.RootDone();
  }
}

KelUnicodeString KelLnkBatchOutcomeLine(const KelQorError& error) {
  auto oneLine = [](std::string text) {
    for (char& c : text)
      if (c == '\n' || c == '\r') c = ' ';
    return text;
  };
  std::string line = "error " + std::to_string(error.Ier()) + ": " + oneLine(error.ShortMsg());
  if (!error.LongMsg().empty()) line += ": " + oneLine(error.LongMsg());
  return line + " (severity " + std::to_string(error.Severity()) + ")";
}
