// The example synchronisation script, run as a child process through the
// process services on a hand-written command file: it brings the listed
// objects up to date so that their links are in step afterwards, and refuses
// a malformed file without touching the database.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "batch_fixture.h"
#include "graph/kel_lnk_link.h"
#include "host/process/kel_xco_process.h"

namespace {

using namespace batch_test;

class SyncScriptTest : public BatchDatabaseTest {
 protected:
  void AddRevision(int n, const std::string& name, const std::string& date, int rank) {
    Product(db()).Model(n, name, date, std::to_string(rank), "X'F000000000000001'", rank);
  }

  // Runs the example script on `commands`; returns its exit code.
  int RunScript(const std::string& commands) {
    WriteFileText(files_.File("MMLSync"), commands);
    setenv("MML_DB", db().Url().c_str(), 1);
    setenv("MML_BIN", MML_BINARY, 1);
    int status = -1;
    EXPECT_EQ(xcoopr("END_OF_BATCH", nullptr, &status), 0);
    std::string script = std::string(MML_SOURCE_DIR) + "/scripts/site/mml-synchronise.sh";
    xcoexe("$LOCAL", script, {script}, -1, -1, "        ", "END_OF_BATCH", &status);
    EXPECT_EQ(status, 0);
    KelXcoEvent event;
    EXPECT_EQ(xconext(&event), 0);
    unsetenv("MML_DB");
    unsetenv("MML_BIN");
    return event.exitCode;
  }

  // The condition of model 1's only link, read afresh.
  int ConditionOfTheLinkOfA() {
    ModuleStateGuard::Refresh();
    KelLnkTools::Initialise();
    KelLnkHybridManager::CacheDeclarations();
    KelLnkObject a(Model(1));
    auto links = a.GetLnkChildren(0);
    if (links.size() != 1) return -1;
    return static_cast<KelLnkLink*>(links[0].get())->GetCondition(0);
  }

  static std::string Record(int object, const std::string& type, const std::string& others, int n) {
    return ModelLines(object) + type + "\n" + std::to_string(n) + "\n" + others;
  }
};

TEST_P(SyncScriptTest, AStaleLinkIsInStepAfterTheScript) {
  AddModel(1, "A", "2024-01-01 00:00:00.000000");
  AddModel(2, "B", "2031-06-01 00:00:00.000000");  // changed after A, even later than now
  AddLink(1, 2, "SOL");
  ASSERT_EQ(ConditionOfTheLinkOfA(), KelLnkLink::BADDATE);

  ASSERT_EQ(RunScript("1\n" + Record(1, "SOL", "0\n" + ModelLines(2), 1)), 0);
  EXPECT_EQ(ReadFileText(files_.File("MMLSync_err")), "0\n");
  EXPECT_EQ(ReadFileText(files_.File("MML_Sync.err")), "0\n");
  EXPECT_EQ(ConditionOfTheLinkOfA(), KelLnkLink::GOOD);
  auto rows = db().Rows("SELECT C_MML_TS FROM $VS_E1.$EXT WHERE $COID = X'" + CoidHex(1) + "';");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_NE(rows[0][0], "2024-01-01 00:00:00.000000");
}

TEST_P(SyncScriptTest, ALinkToAnOldRevisionIsMovedToTheLatest) {
  AddModel(1, "A", "2024-01-01 00:00:00.000000");
  AddRevision(2, "B", "2023-01-01 00:00:00.000000", 1);
  AddRevision(3, "B", "2024-06-01 00:00:00.000000", 2);
  AddLink(1, 2, "SOL");
  ASSERT_EQ(RunScript("1\n" + Record(1, "SOL", "1\n" + ModelLines(2) + ModelLines(3), 1)), 0);
  auto rows = db().Rows("SELECT $COID_REF, $COMPID_REF FROM $VS_E1.$EXT WHERE $COID = X'" + CoidHex(1) + "';");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][0], CoidHex(3));
  EXPECT_EQ(rows[0][1], CompidHex(3));
  EXPECT_EQ(ConditionOfTheLinkOfA(), KelLnkLink::GOOD);
}

TEST_P(SyncScriptTest, AMalformedCommandFileChangesNothing) {
  AddModel(1, "A", "2024-01-01 00:00:00.000000");
  AddModel(2, "B", "2025-01-01 00:00:00.000000");
  AddLink(1, 2, "SOL");
  // Two records announced, one given: the first must not be applied alone.
  EXPECT_EQ(RunScript("2\n" + Record(1, "SOL", "0\n" + ModelLines(2), 1)), 2);
  EXPECT_EQ(ReadFileText(files_.File("MMLSync_err")), "2\n");
  EXPECT_EQ(db().Rows("SELECT C_LASTMOD FROM $VS_E1.TOVRA_MODEL WHERE $COID = X'" + CoidHex(1) + "';")[0][0],
            "2024-01-01 00:00:00.000000");
  EXPECT_EQ(RunScript("one\n"), 2);
  EXPECT_EQ(RunScript("1\n" + Record(1, "SOL", "0\nE1\nTOVRA_MODEL\nnot-hex\n" + CompidHex(2) + "\n", 1)), 2);
  EXPECT_EQ(ConditionOfTheLinkOfA(), KelLnkLink::BADDATE);
}

MML_INSTANTIATE_ENGINES(SyncScriptTest);

}  // namespace
