// mml: the command-line program of the MML navigator.
#include <malloc.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "apps/mml/mml_app.h"
#include "host/db/host_sql.h"
#include "host/db/kel_db_connection.h"
#include "host/kel_dm_session.h"
#include "mml_version.h"

namespace {
std::vector<std::pair<std::string, MmlSetup>>& Registry() {
  static std::vector<std::pair<std::string, MmlSetup>> registry;
  return registry;
}
}  // namespace

MmlCommand::MmlCommand(const std::string& name, MmlSetup setup) { Registry().emplace_back(name, std::move(setup)); }

void MmlRefuseEmptyInput(const std::string& input) {
  struct stat info;
  if (stat(input.c_str(), &info) == 0 && S_ISREG(info.st_mode) && info.st_size == 0)
    MmlFail(input + ": the file is empty: it names no root");
}

namespace {

// A batch impact walk keeps hundreds of thousands of records that it visits
// in no order. glibc's allocator backs its memory with transparent huge pages
// when its "glibc.malloc.hugetlb" tunable asks for it, which spares such a
// run most of its page faults and address-translation misses. The tunable
// is read only when a program starts, so the command starts once more with
// it. A tunable already set, or a start that fails, leaves the run as
// it is.
void StartAgainWithHugePages(char** argv) {
  const char* current = std::getenv("GLIBC_TUNABLES");
  const std::string before = current != nullptr ? current : "";
  if (before.find("glibc.malloc.hugetlb") != std::string::npos) return;
  const std::string tunables = before + (before.empty() ? "" : ":") + "glibc.malloc.hugetlb=1";
  if (setenv("GLIBC_TUNABLES", tunables.c_str(), 1) != 0) return;
  execv("/proc/self/exe", argv);
  if (current != nullptr)
    setenv("GLIBC_TUNABLES", before.c_str(), 1);
  else
    unsetenv("GLIBC_TUNABLES");
}

// A walk's caches grow by doubling and free what they outgrow: blocks of up
// to 32 MB come from the heap rather than from mappings of their own, and
// the heap keeps what is freed, so that each growth reuses memory the
// process already has instead of asking the system for fresh pages, which
// it must clear first.
void KeepFreedMemory() {
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  mallopt(M_TRIM_THRESHOLD, 256 << 20);
}

// A long walk spends much of its system time on page faults: the system
// clears each fresh page the walk first writes, and a virtual machine's host
// may have to find the page first. With a second processor, the heap grows
// kHeapStep ahead of its need and a thread of its own faults in each new
// stretch as soon as it is there, so that the walk finds its pages ready.
// The stretch is the heap's free top: faulting it in changes no byte the
// program holds. The thread asks the system for nothing else and lives until
// the program ends.
constexpr size_t kHeapStep = 8 << 20;
void FaultHeapAhead() {
  if (std::thread::hardware_concurrency() < 2 || mallopt(M_TOP_PAD, kHeapStep) == 0) return;
  std::thread([] {
    const auto page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
    // brk(0) answers the current end of the heap, as a number.
    auto heapEnd = [page] {
      const uintptr_t end = static_cast<uintptr_t>(syscall(SYS_brk, 0)) & ~(page - 1);
      return reinterpret_cast<char*>(end);  // NOLINT(performance-no-int-to-ptr): an address from the system
    };
    char* done = heapEnd();
    for (;;) {
      char* const end = heapEnd();
      if (end > done) {
        if (madvise(done, static_cast<size_t>(end - done), MADV_POPULATE_WRITE) != 0 && errno == EINVAL)
          return;  // a system without it
        done = end;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }).detach();
}

int RunMml(int argc, char** argv) {
  CLI::App app{"mml: the multi-model link navigator of the product database", "mml"};
  app.require_subcommand(1);
  app.fallthrough();
  app.set_version_flag("--version", std::string("mml ") + MML_VERSION, "Print the version and exit");
  MmlGlobals globals;
  app.add_option("--db", globals.db, "Database: a SQLite file or a postgresql:// URL (default: $MML_DB)");
  app.add_option("--profile", globals.profile, "Host profile file (default: $MML_PROFILE)");
  app.add_option("--env", globals.env, "Current environment (default: $MML_ENV, else the profile)");
  app.add_option("--user", globals.user, "Current user (default: $MML_USER, else the login name)");

  auto& registry = Registry();
  std::sort(registry.begin(), registry.end(), [](const auto& a, const auto& b) { return a.first < b.first; });

  // The first word that is not an option (nor the value of one of the options
  // above) names the command: an unknown one is named in the error instead of
  // CLI11's "A subcommand is required".
  std::string command;
  for (int i = 1; i < argc; ++i) {
    std::string word = argv[i];
    if (word == "--") break;
    if (word == "--db" || word == "--profile" || word == "--env" || word == "--user") {
      ++i;
      continue;
    }
    if (word.empty() || word[0] == '-') continue;
    bool known = false;
    for (const auto& [name, setup] : registry) known = known || name == word || name.rfind(word + ".", 0) == 0;
    if (known) {
      command = word;
      break;
    }
    std::string names;
    for (const auto& [name, setup] : registry)
      if (name.find('.') == std::string::npos) names += (names.empty() ? "" : ", ") + name;
    std::cerr << "mml: unknown command \"" << word << "\"; the commands are: " << names << "\n"
              << "Run with --help for more information." << std::endl;
    return 2;
  }

  // Not for migrations: the site's scripts they start would inherit the
  // tunable.
  if (command == "impacts") {
    StartAgainWithHugePages(argv);
    KeepFreedMemory();
    FaultHeapAhead();
  }

  // Only the commands whose names appear among the words are declared (with
  // the commands below them): a short call such as a query pays for its own
  // options alone, and the parse sees every command it could meet. Without
  // a command, or with a help or version flag, every command is declared.
  std::set<std::string> words(argv + 1, argv + argc);
  const bool all = command.empty() || words.count("-h") || words.count("--help") || words.count("--help-all") ||
                   words.count("--version");
  for (auto& [name, setup] : registry) {
    if (all || words.count(name.substr(0, name.find('.')))) setup(app, globals);
  }

  int code = 0;
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return MmlParseErrorExit(app, e);
  } catch (const MmlExit& e) {
    code = e.code;
  }
  std::fflush(stdout);
  // A command that skipped failing statements may have run on although the
  // engine itself failed (connection lost, damaged file): its answer is
  // incomplete, whatever it printed.
  if (code == 0 && KelDbEngineFaultCount() > 0) {
    std::cerr << "mml: the database failed, the answer is incomplete: " << AbbreviateForMessage(KelDbFirstEngineFault())
              << std::endl;
    code = 1;
  }
  // MML_STATEMENT_COUNT=1: how many statements the command sent to the
  // database, for the benchmarks.
  if (const char* count = std::getenv("MML_STATEMENT_COUNT"); count != nullptr && std::string(count) == "1")
    std::cerr << "mml: statements run: " << KelDbStatementsRun() << std::endl;
  KelDMSession::Close();
  if (globals.endWithoutTeardown) {
    std::fflush(nullptr);
    std::_Exit(code);
  }
  return code;
}

}  // namespace

int main(int argc, char** argv) { return MmlRunGuarded(RunMml, argc, argv); }
