// A migration treated roughly: stopped by a signal while its script runs,
// its error-file name taken by a directory, its lock file removed, a script
// that cannot start, an error file with an endless line, an empty input file,
// a full directory for the site files; impacts and migration whose database
// fails under them, down to the whole server stopped. Each ends with a
// non-zero exit, a message that says why, and no file left as if complete.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include <fmt/format.h>

#include "batch_fixture.h"
#include "host/db/kel_db_connection.h"
#include "operations/kel_lnk_site_files.h"

namespace {

using namespace batch_test;

// Whether a new holder could take the lock of the site files in `dir`.
bool LockIsFree(const std::string& dir) {
  int fd = open((dir + "/MML.lock").c_str(), O_RDONLY | O_CREAT, 0644);
  bool free = fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) == 0;
  if (fd >= 0) close(fd);
  return free;
}

class MigrationHardeningTest : public BatchDatabaseTest {
 protected:
  void SetUp() override {
    BatchDatabaseTest::SetUp();
    AddModel(1, "A");
    input_ = Input({1});
  }

  // A stand-in script with `body` (sh), which first leaves a mark that it ran.
  void UseScriptBody(const std::string& body, mode_t mode = 0755) {
    std::string path = work_.File("script.sh");
    WriteFileText(path, "#!/bin/sh\necho $$ > " + work_.File("ran") + "\n" + body);
    chmod(path.c_str(), mode);
    UseProfile("KELZUMO.QOR.MML.MIGRATE.SCRIPT = " + path + "\nACCESS * QOR BOM * ALLOW\n");
  }
  bool ScriptRan() { return FileExists(work_.File("ran")); }
  // Whether the process runs (an ended process waiting to be reaped does not).
  static bool Runs(pid_t pid) {
    std::string stat = ReadFileText("/proc/" + std::to_string(pid) + "/stat");
    size_t paren = stat.rfind(')');
    return paren != std::string::npos && paren + 2 < stat.size() && stat[paren + 2] != 'Z';
  }

  std::string input_;
};

TEST_P(MigrationHardeningTest, ASignalStopsTheScriptRemovesTheFilesAndFails) {
  // The script starts a child of its own and waits on it.
  UseScriptBody("sleep 60 & echo $! > " + work_.File("grandchild") + "\nwait\n");
  for (int signo : {SIGTERM, SIGINT}) {
    unlink(work_.File("ran").c_str());
    // MML_TMPDIR is set in this process by the fixture and inherited.
    pid_t pid = StartMml({"--db", db().Url(), "--profile", profilePath_, "migrate", input_});
    for (int i = 0; i < 500 && !FileExists(work_.File("grandchild")); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_TRUE(FileExists(work_.File("grandchild")));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    kill(pid, signo);
    EXPECT_EQ(128 + signo, WaitMml(pid));
    pid_t script = std::stoi(ReadFileText(work_.File("ran")));
    pid_t grandchild = std::stoi(ReadFileText(work_.File("grandchild")));
    EXPECT_FALSE(Runs(script)) << "the script still runs";
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(Runs(grandchild)) << "the script's child still runs";
    for (const char* name : {"MMLMigr", "CopyofMigr", "MMLMigr_err"})
      EXPECT_FALSE(FileExists(files_.File(name))) << name;
    EXPECT_TRUE(LockIsFree(files_.Path()));
    unlink(work_.File("grandchild").c_str());
  }
}

TEST_P(MigrationHardeningTest, TheSiteFilesAreCheckedBeforeTheScriptStarts) {
  UseScriptBody("echo 0 > \"$MML_TMPDIR/MMLMigr_err\"\n");
  // A directory where the script must write its answer.
  ASSERT_EQ(0, mkdir(files_.File("MMLMigr_err").c_str(), 0755));
  MmlRun run = Mml({"migrate", input_});
  EXPECT_EQ(1, run.exitCode);
  EXPECT_NE(std::string::npos, run.err.find(files_.File("MMLMigr_err") + ": it is a directory")) << run.err;
  EXPECT_FALSE(ScriptRan());
  EXPECT_FALSE(FileExists(files_.File("MMLMigr")));
  rmdir(files_.File("MMLMigr_err").c_str());

  // The kept copy cannot be written: the run still succeeds, and says so.
  ASSERT_EQ(0, mkdir(files_.File("CopyofMigr").c_str(), 0755));
  run = Mml({"migrate", input_});
  EXPECT_EQ(0, run.exitCode) << run.err;
  EXPECT_NE(std::string::npos, run.err.find("Warning: the copy " + files_.File("CopyofMigr") + " was not kept"))
      << run.err;
  rmdir(files_.File("CopyofMigr").c_str());
  unlink(work_.File("ran").c_str());

  // The lock file removed while a run holds the lock: a second run is still
  // refused, and the holder notices that its file is gone.
  std::string error;
  ASSERT_EQ(0, KelLnkSiteFiles::Lock(&error)) << error;
  ASSERT_EQ(0, unlink(files_.File("MML.lock").c_str()));
  run = Mml({"migrate", input_});
  EXPECT_EQ(1, run.exitCode);
  EXPECT_NE(std::string::npos, run.err.find("Another synchronisation or migration is running")) << run.err;
  EXPECT_FALSE(ScriptRan());
  EXPECT_FALSE(KelLnkSiteFiles::LockIntact(&error));
  EXPECT_NE(std::string::npos, error.find("removed or replaced")) << error;
  KelLnkSiteFiles::Unlock();
}

TEST_P(MigrationHardeningTest, ErrorsNameTheirCauseAndStayShort) {
  // A script that cannot start: its path and the system's reason.
  UseScriptBody("exit 0\n", 0644);
  MmlRun run = Mml({"migrate", input_});
  EXPECT_EQ(1, run.exitCode);
  EXPECT_NE(std::string::npos, run.err.find("cannot start " + work_.File("script.sh") + ": Permission denied"))
      << run.err;
  EXPECT_FALSE(FileExists(files_.File("MMLMigr")));

  // An error file whose first line never ends.
  UseScriptBody("head -c 3000000 /dev/zero | tr '\\0' 7 > \"$MML_TMPDIR/MMLMigr_err\"\n");
  run = Mml({"migrate", input_});
  EXPECT_EQ(1, run.exitCode);
  EXPECT_LT(run.err.size(), 1000u) << run.err.substr(0, 200);
  EXPECT_NE(std::string::npos, run.err.find("does not start with a return code")) << run.err.substr(0, 200);

  // An empty input file names no root: an error, not a silent success.
  WriteFileText(work_.File("empty"), "");
  for (const std::vector<std::string>& args : {std::vector<std::string>{"migrate", work_.File("empty")},
                                               std::vector<std::string>{"impacts", work_.File("empty"), "2"}}) {
    run = Mml(args);
    EXPECT_NE(0, run.exitCode) << args[0];
    EXPECT_NE(std::string::npos, run.err.find("the file is empty")) << run.err;
  }
}

// A tmpfs mounted for one test, unmounted with it.
struct SmallTmpfs {
  explicit SmallTmpfs(const std::string& dir) : path(dir) {
    mounted = mount("tmpfs", dir.c_str(), "tmpfs", 0, "size=4k,mode=0755") == 0;
    why = mounted ? "" : std::strerror(errno);
  }
  ~SmallTmpfs() {
    if (mounted) umount2(path.c_str(), MNT_DETACH);
  }
  std::string path, why;
  bool mounted;
};

TEST_P(MigrationHardeningTest, AFullDirectoryForTheSiteFilesFailsNamingTheFile) {
  TempDir dir;
  SmallTmpfs full(dir.Path());
  if (!full.mounted) GTEST_SKIP() << "no tmpfs can be mounted here (" << full.why << ")";
  // A plan of 300 units does not fit in 4 KiB.
  for (int n = 2; n <= 300; ++n) {
    AddModel(n, fmt::format("M{}", n));
    AddLink(n - 1, n);
  }
  UseScriptBody("echo 0 > \"$MML_TMPDIR/MMLMigr_err\"\n");
  MmlRun run = Mml({"migrate", input_}, {"MML_TMPDIR=" + dir.Path()});
  EXPECT_EQ(1, run.exitCode);
  EXPECT_NE(std::string::npos, run.err.find(dir.File("MMLMigr") + " during migration: " + std::strerror(ENOSPC)))
      << run.err;
  EXPECT_FALSE(ScriptRan());
  for (const char* name : {"MMLMigr", "CopyofMigr"}) EXPECT_FALSE(FileExists(dir.File(name))) << name;
  EXPECT_TRUE(LockIsFree(dir.Path()));
}

MML_INSTANTIATE_ENGINES(MigrationHardeningTest);

class ImpactHardeningTest : public BatchDatabaseTest {
 protected:
  // Starts mml with `args` (the database and profile first) without waiting.
  pid_t Start(const std::vector<std::string>& args, const std::vector<std::string>& env = {}) {
    std::vector<std::string> all = {"--db", db().Url(), "--profile", profilePath_};
    all.insert(all.end(), args.begin(), args.end());
    return StartMml(all, env, "/dev/null", "/dev/null", work_.File("err"));
  }
  // Fills the later half of the leaf pages of E1.$EXT and its indexes with
  // garbage (SQLite): the walk reads the first links, then meets the damage.
  void DamageLinkTable() {
    sqlite3* handle = nullptr;
    ASSERT_EQ(SQLITE_OK, sqlite3_open(db().Url().c_str(), &handle));
    sqlite3_exec(handle, "PRAGMA wal_checkpoint(TRUNCATE)", nullptr, nullptr, nullptr);
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(
        handle,
        "SELECT pageno, (SELECT page_size FROM pragma_page_size) FROM dbstat "
        "WHERE name IN (SELECT name FROM sqlite_master WHERE tbl_name = 'E1.$EXT') AND pagetype = 'leaf' "
        "ORDER BY pageno",
        -1, &stmt, nullptr);
    std::vector<long> pages;
    long size = 0;
    while (sqlite3_step(stmt) == SQLITE_ROW) {
      pages.push_back(sqlite3_column_int64(stmt, 0));
      size = sqlite3_column_int64(stmt, 1);
    }
    sqlite3_finalize(stmt);
    sqlite3_close(handle);
    ASSERT_GT(pages.size(), 2u);
    const std::string garbage(static_cast<size_t>(size), '\xA5');
    int fd = open(db().Url().c_str(), O_WRONLY);
    for (size_t i = pages.size() / 2; i < pages.size(); ++i)
      pwrite(fd, garbage.data(), garbage.size(), (pages[i] - 1) * size);
    close(fd);
  }
  // A chain of `n` models, 1 -> 2 -> ... -> n.
  void Chain(int n) {
    for (int i = 1; i <= n; ++i) AddModel(i, fmt::format("M{}", i));
    for (int i = 1; i < n; ++i) AddLink(i, i + 1);
  }
};

TEST_P(ImpactHardeningTest, EveryRootKeepsItsAnswerAndNoOldAnswerStays) {
  // B has no links; A reaches B; C reaches A and B.
  AddModel(1, "A");
  AddModel(2, "B");
  AddModel(3, "C");
  AddLink(1, 2);
  AddLink(3, 1);
  const std::string input = Input({1, 2, 3});
  WriteFileText(input + ".ImpactedBy.9", "stale\n");
  WriteFileText(input + ".ImpactsOn", "kept: another direction\n");
  MmlRun run = Mml({"impacts", input, "0"});
  ASSERT_EQ(0, run.exitCode) << run.err;
  EXPECT_EQ("1\n" + ModelLines(2), ReadFileText(input + ".ImpactedBy.1"));
  EXPECT_EQ("0\n", ReadFileText(input + ".ImpactedBy.2"));
  const std::string third = "2\n" + ModelLines(1) + ModelLines(2);
  EXPECT_EQ(third, ReadFileText(input + ".ImpactedBy.3"));
  EXPECT_EQ(third, ReadFileText(input + ".ImpactedBy"));
  EXPECT_FALSE(FileExists(input + ".ImpactedBy.9"));
  EXPECT_EQ("kept: another direction\n", ReadFileText(input + ".ImpactsOn"));

  // A run whose one root has no impacts leaves nothing of the earlier run.
  Input({2});
  run = Mml({"impacts", input, "0"});
  ASSERT_EQ(0, run.exitCode) << run.err;
  EXPECT_FALSE(FileExists(input + ".ImpactedBy"));
  EXPECT_FALSE(FileExists(input + ".ImpactedBy.3"));
  EXPECT_EQ("0\n", ReadFileText(input + ".ImpactedBy.1"));
}

TEST_P(ImpactHardeningTest, LoopsAreOpenedOnceWhateverTheDepth) {
  // A -> B -> A, B -> B: each loop used to be unrolled 128 levels deep.
  AddModel(1, "A");
  AddModel(2, "B");
  AddLink(1, 2);
  AddLink(2, 1);
  AddLink(2, 2);
  MmlRun run = Mml({"graph", "E1", "TOVRA_MODEL", CoidHex(1), CompidHex(1), "--depth", "all"});
  ASSERT_EQ(0, run.exitCode) << run.err;
  EXPECT_LT(std::count(run.out.begin(), run.out.end(), '\n'), 20) << run.out;
}

// The engine fails in the middle of a walk: the connection is cut on
// PostgreSQL, a page of the link table is damaged on SQLite. Neither impacts
// nor migration may take what was read for the whole answer.
TEST_P(ImpactHardeningTest, AnEngineFaultDuringAWalkFailsTheRunAndWritesNothing) {
  Chain(400);
  UseProfile("KELZUMO.QOR.MML.MIGRATE.SCRIPT = " + work_.File("never.sh") + "\nACCESS * QOR BOM * ALLOW\n");
  WriteFileText(work_.File("never.sh"), "#!/bin/sh\ntouch " + work_.File("ran") + "\n");
  chmod(work_.File("never.sh").c_str(), 0755);
  const std::string input = Input({1});
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"impacts", input, "2"}, std::vector<std::string>{"migrate", input}}) {
    int exitCode = -1;
    if (GetParam() == TestEngine::kPostgres) {
      const std::string name = "mml-fault-" + std::to_string(getpid());
      pid_t pid = Start(args, {"PGAPPNAME=" + name});
      // Cut every connection of the program, again and again, until it ends:
      // whichever connection the walk reads through fails under it.
      int status = 0;
      bool ended = false;
      for (int i = 0; i < 5000 && !ended; ++i) {
        ended = waitpid(pid, &status, WNOHANG) == pid;
        if (!ended) {
          db().Rows("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE application_name = '" + name + "'");
          std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
      }
      exitCode = ended ? (WIFEXITED(status) ? WEXITSTATUS(status) : -1) : WaitMml(pid);
    } else {
      DamageLinkTable();
      exitCode = WaitMml(Start(args));
    }
    EXPECT_EQ(1, exitCode) << args[0];
    const std::string err = ReadFileText(work_.File("err"));
    EXPECT_NE(std::string::npos, err.find("atabase")) << err;
    for (const char* suffix : {".ImpactedBy", ".ImpactsOn", ".ImpactedBy.1", ".ImpactsOn.1"})
      EXPECT_FALSE(FileExists(input + suffix)) << suffix;
    for (const char* name : {"MMLMigr", "CopyofMigr"}) EXPECT_FALSE(FileExists(files_.File(name))) << name;
    EXPECT_FALSE(FileExists(work_.File("ran")));
  }
}

MML_INSTANTIATE_ENGINES(ImpactHardeningTest);

// The whole PostgreSQL server stops, as in a power cut, while mml walks a
// generated product: a throwaway server of this test alone
// (tests/support/pg_server.sh), stopped as soon as the walk reads links.
TEST(ServerStopHardening, AServerStoppedDuringTheWalkFailsTheRunAndLeavesNothing) {
  TempDir work, files;
  const std::string control = std::string(MML_SOURCE_DIR) + "/tests/support/pg_server.sh ";
  const std::string server = "/tmp/mml-pgstop-" + std::to_string(getpid());
  WriteFileText(work.File("never.sh"), "#!/bin/sh\ntouch " + work.File("ran") + "\n");
  chmod(work.File("never.sh").c_str(), 0755);
  WriteFileText(work.File("site.profile"), ReadFileText(MML_SOURCE_DIR "/bench/bench.profile") +
                                               "KELZUMO.QOR.MML.MIGRATE.SCRIPT = " + work.File("never.sh") + "\n");
  const std::string roots = work.File("roots");
  setenv("MML_TMPDIR", files.Path().c_str(), 1);
  for (const std::string command : {"impacts", "migrate"}) {
    struct Stopper {
      std::string stop;
      ~Stopper() { std::system(stop.c_str()); }
    } stopper{control + "stop " + server};
    ASSERT_EQ(0, std::system((control + "start " + server).c_str()));
    std::string url = ReadFileText(server + "/url");
    url.erase(url.find_last_not_of('\n') + 1);
    ASSERT_EQ(0,
              RunMml({"--db", url, "db", "generate", "--objects", "20000", "--seed", "1", "--roots", roots}).exitCode);
    std::vector<std::string> args = {"--db", url, "--profile", work.File("site.profile"), command, roots};
    if (command == "impacts") args.push_back("2");
    const pid_t pid = StartMml(args, {"PGAPPNAME=mml-server-stop"}, "/dev/null", "/dev/null", work.File("err"));
    auto probe = KelDbMakeConnection("probe", url, false);
    ASSERT_EQ(0, probe->TryOpen()) << probe->LastError();
    bool walking = false;
    for (int i = 0; i < 5000 && !walking && waitpid(pid, nullptr, WNOHANG) == 0; ++i) {
      KelDbResult r;
      probe->ExecuteNative(
          "SELECT 1 FROM pg_stat_activity WHERE application_name = 'mml-server-stop' AND query LIKE '%EXT%'", &r);
      walking = !r.rows.empty();
      if (!walking) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_TRUE(walking) << command << ": the walk was not seen";
    probe.reset();
    ASSERT_EQ(0, std::system((control + "crash " + server).c_str()));
    EXPECT_EQ(1, WaitMml(pid)) << command;
    const std::string err = ReadFileText(work.File("err"));
    EXPECT_EQ(0u, err.rfind("mml: ", 0)) << err;
    EXPECT_NE(std::string::npos, err.find("atabase")) << err;
    for (const char* suffix : {".ImpactedBy", ".ImpactsOn", ".ImpactedBy.1", ".ImpactsOn.1"})
      EXPECT_FALSE(access((roots + suffix).c_str(), F_OK) == 0) << command << suffix;
    for (const char* name : {"MMLMigr", "CopyofMigr"})
      EXPECT_FALSE(access(files.File(name).c_str(), F_OK) == 0) << command << name;
    EXPECT_FALSE(access(work.File("ran").c_str(), F_OK) == 0) << command;
    EXPECT_TRUE(LockIsFree(files.Path())) << command;
  }
  unsetenv("MML_TMPDIR");
}

}  // namespace
