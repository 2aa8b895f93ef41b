// Synchronisation and link maintenance through the program, as a user of the
// command line sees them: the plan and the order of small graphs, the runs
// through the real example script (command files kept by a wrapper that then
// runs it), the refusals that write nothing, and the link changes.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <string>
#include <thread>

#include "batch/batch_fixture.h"
#include "graph/kel_lnk_link.h"
#include "graph/kel_lnk_user_services.h"

namespace {

using namespace batch_test;

const char kOld[] = "2024-01-01 00:00:00.000000";
const char kNew[] = "2025-01-01 00:00:00.000000";

std::string Obj(int n) { return "E1 TOVRA_MODEL " + CoidHex(n) + " " + CompidHex(n); }

std::vector<std::string> Args(std::vector<std::string> words, int n, std::vector<std::string> more = {}) {
  words.insert(words.end(), {"E1", "TOVRA_MODEL", CoidHex(n), CompidHex(n)});
  words.insert(words.end(), more.begin(), more.end());
  return words;
}

class SynchroniseTest : public BatchDatabaseTest {
 protected:
  void SetUp() override {
    BatchDatabaseTest::SetUp();
    Use(std::string(MML_SOURCE_DIR) + "/scripts/site/mml-synchronise.sh", "ACCESS * QOR BOM * ALLOW\n");
  }

  // The profile: SOL and DRW by script, TOV in the viewer, `script` and `access`.
  void Use(const std::string& script, const std::string& access) {
    UseProfile(
        "LINKTYPE E1 KELMMTOV MML_TOV\n"
        "KELZUMO.QOR.MML.SYNCHRONISE.TYPE.SOL = BATCH\n"
        "KELZUMO.QOR.MML.SYNCHRONISE.TYPE.DRW = BATCH\n"
        "KELZUMO.QOR.MML.SYNCHRONISE.TYPE.TOV = TOVRA\n"
        "KELZUMO.QOR.MML.SYNCHRONISE.SCRIPT = " +
        script + "\n" + "KELZUMO.VIEWER.TOVRA_MODEL.COMMAND = " + MML_SOURCE_DIR + "/scripts/site/mml-viewer.sh\n" +
        "KELZUMO.VIEWER.TOVRA_MODEL.OPTION.1 = one\nKELZUMO.VIEWER.TOVRA_MODEL.OPTION.2 = two\n"
        "KELZUMO.VIEWER.TOVRA_MODEL.OPTION.3 = open\nKELZUMO.VIEWER.TOVRA_MODEL.OPTION.4 = four\n"
        "KELZUMO.VIEWER.TOVRA_MODEL.OPTION.5 = reference\n" +
        access);
  }

  // A script that keeps each command file as MMLSync.<n>, then `tail`.
  std::string Script(const std::string& tail) {
    std::string path = work_.File("sync.sh");
    WriteFileText(path,
                  "#!/bin/sh\nn=$(ls \"$MML_TMPDIR\" | grep -c '^MMLSync\\.[0-9]')\n"
                  "cp \"$MML_TMPDIR/MMLSync\" \"$MML_TMPDIR/MMLSync.$((n+1))\"\n" +
                      tail + "\n");
    chmod(path.c_str(), 0755);
    return path;
  }

  void Link(int father, int child, const std::string& type, const std::string& ts = kOld,
            const std::string& status = "TOK") {
    Product(db()).Link(father, child, "KELMM" + type, ts, status, "");
  }

  std::string Tmp(const std::string& name) { return ReadFileText(files_.File(name)); }
};

TEST_P(SynchroniseTest, PlansListStaleLinksPerTypeChildrenFirst) {
  // A: two stale SOL links (B, C), a DRW link in step (F) and one UP_GOOD (D,
  // whose family has a later revision E).
  AddModel(1, "A", kNew);
  AddModel(2, "B", "2026-01-01 00:00:00.000000");
  AddModel(3, "C", "2026-01-01 00:00:00.000000");
  Product(db()).Model(4, "D", kOld, "1", "X'F000000000000001'", 1).Model(5, "E", kOld, "2", "X'F000000000000001'", 2);
  AddModel(6, "F", kOld);
  Link(1, 2, "SOL");
  Link(1, 3, "SOL");
  Link(1, 4, "DRW", kOld, "UPD");
  Link(1, 6, "DRW");
  MmlRun run = Mml(Args({"sync", "plan"}, 1));
  EXPECT_EQ(run.out, "1\tA ** 1\tMML_SOL (BATCH)\tB ** 1, C ** 1\n2\tA ** 1\tMML_DRW (BATCH)\tD ** 1, F ** 1\n")
      << run.err;

  // A diamond A -> B, C -> D, all stale: B, C, then A.
  AddModel(7, "G", "2027-01-01 00:00:00.000000");
  Link(2, 7, "SOL");
  Link(3, 7, "SOL");
  run = Mml(Args({"sync", "plan"}, 1, {"--full"}));
  EXPECT_EQ(run.out.substr(0, run.out.find('\n', run.out.find("\n2\t") + 1) + 1),
            "1\tB ** 1\tMML_SOL (BATCH)\tG ** 1\n2\tC ** 1\tMML_SOL (BATCH)\tG ** 1\n")
      << run.out;
  EXPECT_NE(run.out.find("3\tA ** 1\tMML_SOL (BATCH)\tB ** 1, C ** 1\n"), std::string::npos) << run.out;

  // A loop refuses the full plan and the order.
  Link(7, 1, "SOL");
  for (const auto& args : {Args({"sync", "plan"}, 1, {"--full"}), Args({"sync", "order"}, 1)}) {
    run = Mml(args);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("loops in the graph"), std::string::npos) << run.err;
  }
}

TEST_P(SynchroniseTest, OrderLevelsCountTheRoundsThatMovedObjects) {
  struct Case {
    std::vector<std::pair<int, int>> links;
    std::string order;
  } cases[] = {
      // B and C stale below A, C also below B.
      {{{1, 2}, {1, 3}, {2, 3}}, "1\tB ** 1\n2\tC ** 1\n"},
      // B1, B2, C, D below A; C below B1 only, D below B2 only.
      {{{1, 2}, {1, 3}, {1, 4}, {1, 5}, {2, 4}, {3, 5}}, "1\tC ** 1\n1\tB ** 1\n2\tE ** 1\n3\tD ** 1\n"},
  };
  AddModel(1, "A", kOld);
  for (int n = 2; n <= 5; ++n) AddModel(n, std::string(1, static_cast<char>('A' + n - 1)), kNew);
  for (const Case& c : cases) {
    db().Exec("DELETE FROM $VS_E1.$EXT;");
    for (auto [from, to] : c.links) Link(from, to, "SOL");
    MmlRun run = Mml(Args({"sync", "order"}, 1));
    EXPECT_EQ(run.out, c.order) << run.err;
  }
}

TEST_P(SynchroniseTest, RunsGroupsOfBatchUnitsAroundTheViewer) {
  // A points, in step, to B..G; each of them points, stale, to the leaf H:
  // units B, C, D (SOL), E (TOV), F, G (SOL).
  AddModel(1, "A", "2030-01-01 00:00:00.000000");
  for (int n = 2; n <= 7; ++n) AddModel(n, std::string(1, static_cast<char>('A' + n - 1)), kOld);
  AddModel(8, "H", kNew);
  for (int n = 2; n <= 7; ++n) {
    Link(1, n, "SOL");
    Link(n, 8, n == 5 ? "TOV" : "SOL");
  }
  Use(Script("exec " + std::string(MML_SOURCE_DIR) + "/scripts/site/mml-synchronise.sh"), "ACCESS * QOR BOM * ALLOW\n");
  MmlRun run = Mml(Args({"sync", "run"}, 1, {"--full"}));
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out, "Synchronisation done\n");
  auto record = [](int n) { return ModelLines(n) + "SOL\n1\n0\n" + ModelLines(8); };
  EXPECT_EQ(Tmp("MMLSync.1"), "3\n" + record(2) + record(3) + record(4));
  EXPECT_EQ(Tmp("MMLSync.2"), "2\n" + record(6) + record(7));
  // The two viewers run side by side: their lines come in either order.
  std::string log = Tmp("MMLViewer.log");
  if (log.rfind("option 5", 0) == 0) log = log.substr(log.find('\n') + 1) + log.substr(0, log.find('\n') + 1);
  EXPECT_EQ(log, "option 3 open: " + Obj(5) + "\noption 5 reference: " + Obj(8) + "\n");
  EXPECT_FALSE(FileExists(files_.File("MMLSync")));
  EXPECT_EQ(Tmp("MMLSync_err"), "0\n");
}

TEST_P(SynchroniseTest, AViewerWithoutTheReferenceOptionSaysTheModelsCouldNotBeLoaded) {
  AddModel(1, "A", kOld);
  AddModel(2, "B", kNew);
  Link(1, 2, "TOV");
  UseProfile(
      "LINKTYPE E1 KELMMTOV MML_TOV\nKELZUMO.QOR.MML.SYNCHRONISE.TYPE.TOV = TOVRA\n"
      "KELZUMO.VIEWER.TOVRA_MODEL.COMMAND = " +
      std::string(MML_SOURCE_DIR) +
      "/scripts/site/mml-viewer.sh\n"
      "KELZUMO.VIEWER.TOVRA_MODEL.OPTION.1 = one\nKELZUMO.VIEWER.TOVRA_MODEL.OPTION.3 = open\n"
      "ACCESS * QOR BOM * ALLOW\n");
  MmlRun run = Mml(Args({"sync", "run"}, 1, {"--full"}));
  EXPECT_NE(run.err.find("Some models could not be loaded."), std::string::npos) << run.err;
}

TEST_P(SynchroniseTest, TheScriptsAnswerAndTheRefusalsDecideTheOutcome) {
  AddModel(1, "A", kOld);
  AddModel(2, "B", kNew);
  Link(1, 2, "SOL");
  struct Case {
    std::string tail;
    std::string access;
    int exitCode;
    std::string err;
  } cases[] = {
      {"echo 0 > \"$MML_TMPDIR/MMLSync_err\"", "", 0, ""},
      {"echo 12 > \"$MML_TMPDIR/MMLSync_err\"", "", 1, "An error occurred during the synchronisation batch."},
      {"exit 5", "", 1, "An error occurred during the synchronisation batch."},
      {"exit 0", "", 0, ""},
      {"", "ACCESS * QOR BOM OverwriteRepresentation DENY\n", 1,
       "The process \"OverwriteRepresentation\" is not available"},
  };
  for (const Case& c : cases) {
    for (const char* name : {"MMLSync.1", "MMLSync_err", "CopyofSync"}) unlink(files_.File(name).c_str());
    Use(Script(c.tail), c.access + "ACCESS * QOR BOM * ALLOW\n");
    MmlRun run = Mml(Args({"sync", "run"}, 1));
    EXPECT_EQ(run.exitCode, c.exitCode) << c.tail << run.err;
    EXPECT_NE(run.err.find(c.err), std::string::npos) << run.err;
    EXPECT_EQ(FileExists(files_.File("CopyofSync")), c.access.empty()) << c.tail;
  }

  // The link alone, by the script, then with a synchronise type of no kind.
  Use(Script("echo 0 > \"$MML_TMPDIR/MML_Sync.err\""), "ACCESS * QOR BOM * ALLOW\n");
  const auto linkArgs = Args(Args({"link", "synchronise"}, 1), 2, {"SOL"});
  MmlRun single = Mml(linkArgs);
  EXPECT_EQ(single.exitCode, 0) << single.err;
  EXPECT_EQ(Tmp("MMLSync.1"), "1\n" + ModelLines(1) + "SOL\n1\n0\n" + ModelLines(2));
  UseProfile("KELZUMO.QOR.MML.SYNCHRONISE.TYPE.SOL = COPY\n");
  single = Mml(linkArgs);
  EXPECT_EQ(single.exitCode, 1);
  EXPECT_EQ(single.err,
            "mml: An invalid synchronise type is defined for links of type SOL.\n\nThe synchronise type must be "
            "defined in declarative files as either BATCH or TOVRA.\n");

  // Another run holds the lock: refused, its command file untouched.
  Use(Script(""), "ACCESS * QOR BOM * ALLOW\n");
  WriteFileText(files_.File("MMLSync"), "first run\n");
  int other = open(files_.File("MML.lock").c_str(), O_RDONLY | O_CREAT, 0644);
  ASSERT_EQ(flock(other, LOCK_EX | LOCK_NB), 0);
  MmlRun run = Mml(Args({"sync", "run"}, 1));
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.err.find("Another synchronisation or migration is running"), std::string::npos) << run.err;
  EXPECT_EQ(Tmp("MMLSync"), "first run\n");
  close(other);
}

TEST_P(SynchroniseTest, SigtermStopsTheScriptAndRemovesTheFiles) {
  AddModel(1, "A", kOld);
  AddModel(2, "B", kNew);
  Link(1, 2, "SOL");
  Use(Script("touch \"$MML_TMPDIR/started\"; sleep 60"), "ACCESS * QOR BOM * ALLOW\n");
  std::vector<std::string> args = {MML_BINARY, "--db", db().Url(), "--profile", profilePath_};
  for (const std::string& a : Args({"sync", "run"}, 1)) args.push_back(a);
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = -1;
  ASSERT_EQ(0, posix_spawn(&pid, MML_BINARY, nullptr, nullptr, argv.data(), environ));
  for (int i = 0; i < 500 && !FileExists(files_.File("started")); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  ASSERT_TRUE(FileExists(files_.File("MMLSync")));
  kill(pid, SIGTERM);
  int status = 0;
  ASSERT_EQ(pid, waitpid(pid, &status, 0));
  EXPECT_EQ(128 + SIGTERM, WEXITSTATUS(status));
  for (const char* name : {"MMLSync", "MMLSync_ModelNames", "CopyofSync", "MMLSync_err"})
    EXPECT_FALSE(FileExists(files_.File(name))) << name;
}

TEST_P(SynchroniseTest, LinkMaintenanceCommitsWholeOrLeavesTheLinkAsItWas) {
  Product(db()).Model(1, "A", kNew).Model(2, "B", kOld, "1", "X'F000000000000001'", 1);
  Product(db()).Model(3, "B", kOld, "2", "X'F000000000000001'", 2);
  Link(1, 2, "SOL");
  auto link = [this](const std::string& action, int referenced = 2) {
    return Mml(Args(Args({"link", action}, 1), referenced, {"SOL"}));
  };
  auto row = [this]() { return db().Rows("SELECT $TYPE, KELMML_STATUS, $COMPID_REF FROM $VS_E1.$EXT;").at(0); };
  // The link is GOODOLD: nothing to mark.
  const auto dates = db().Rows("SELECT C_LASTMOD FROM $VS_E1.TOVRA_MODEL ORDER BY C_ID;");
  MmlRun run = link("set-synchronised");
  EXPECT_EQ(run.out, "unchanged: the link is GOODOLD\n") << run.err;
  EXPECT_EQ(db().Rows("SELECT C_LASTMOD FROM $VS_E1.TOVRA_MODEL ORDER BY C_ID;"), dates);

  run = link("upissue");
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(row(), (std::vector<std::string>{"KELMMSOL", "UPD", CompidHex(3)}));

  EXPECT_EQ(link("accept").exitCode, 1);  // no such link to revision 2 any more
  run = link("accept", 3);
  EXPECT_EQ(run.out, "status: UPD -> TOK\n") << run.err;
  EXPECT_EQ(row()[1], "TOK");

  // A failing update rolls back and changes no member.
  ModuleStateGuard::Refresh();
  KelLnkTools::Initialise();
  KelLnkHybridManager::CacheDeclarations();
  KelLnkObject a(Model(1));
  auto links = a.GetLnkChildren(0);
  ASSERT_EQ(links.size(), 1u);
  auto* l = static_cast<KelLnkLink*>(links[0].get());
  db().Exec("DROP TABLE $VS_E1.$EXT;");
  testing::internal::CaptureStderr();
  EXPECT_NE(l->SetStatus("NEW"), 0);
  EXPECT_EQ(l->GetStatus(), "TOK");
  EXPECT_NE(l->Linktype("DRW"), 0);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("QOR-"), std::string::npos);
  EXPECT_EQ(l->GetLinktype(), "SOL");
}

MML_INSTANTIATE_ENGINES(SynchroniseTest);

}  // namespace
