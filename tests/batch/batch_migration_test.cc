// Batch migration through the program and the real example script: the plan
// written to the command file (compared byte for byte through its kept
// copy), the refusals that write nothing and the reading of the error file.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "batch_fixture.h"

namespace {

using namespace batch_test;

const std::string kAllowAll = "ACCESS * QOR BOM * ALLOW\n";

class BatchMigrationTest : public BatchDatabaseTest {
 protected:
  void SetUp() override {
    BatchDatabaseTest::SetUp();
    UseScript(std::string(MML_SOURCE_DIR) + "/scripts/site/mml-migrate.sh", kAllowAll);
  }

  void UseScript(const std::string& script, const std::string& access) {
    UseProfile("KELZUMO.QOR.MML.MIGRATE.SCRIPT = " + script + "\n" + access);
  }

  // A stand-in script that writes `errorFileText` as its error file.
  std::string FakeScript(const std::string& errorFileText) {
    std::string path = work_.File("fake-migrate.sh");
    std::string body = "#!/bin/sh\n";
    if (!errorFileText.empty()) body += "printf '" + errorFileText + "' > \"$MML_TMPDIR/MMLMigr_err\"\n";
    WriteFileText(path, body);
    chmod(path.c_str(), 0755);
    return path;
  }

  std::string TmpFile(const std::string& name) const { return files_.File(name); }

  std::string Unit(int n, const std::string& reason, const std::string& type) const {
    return ModelLines(n) + reason + "\n" + type + "\n";
  }

  std::string DateOf(int n) {
    auto rows = db().Rows("SELECT C_LASTMOD FROM $VS_E1.TOVRA_MODEL WHERE $COID = X'" + CoidHex(n) + "';");
    return rows.empty() ? "" : rows[0][0];
  }
};

TEST_P(BatchMigrationTest, ALeafRootIsMigratedByTheSiteScript) {
  AddModel(1, "A");
  std::string before = DateOf(1);
  MmlRun run = Mml({"migrate", Input({1})});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  // The banner names the directory of the files, its frame as wide as the line.
  const std::string line = " * Files just be copied in " + files_.Path() + " : Go Ahead for migration * ";
  const std::string rule = " " + std::string(line.size() - 2, '*') + " ";
  EXPECT_EQ(run.out, rule + "\n" + line + "\n" + rule + "\nMigration done\nProcess ends with success\n");
  EXPECT_EQ(ReadFileText(TmpFile("CopyofMigr")), "1\n" + Unit(1, "LEAVE", "0"));
  // The command file is removed at the end; the script's answer stays.
  EXPECT_FALSE(FileExists(TmpFile("MMLMigr")));
  EXPECT_EQ(ReadFileText(TmpFile("MMLMigr_err")), "0\n");
  // The script did its work on the database given with --db.
  EXPECT_NE(DateOf(1), before);
}

TEST_P(BatchMigrationTest, ThePlanListsChildrenFirstOncePerObjectAndLinkType) {
  // A -SOL-> B, A -SOL-> C, A -DRW-> C, B -SOL-> D, C -SOL-> D, and a link of
  // A to an object whose identifiers are the null identifier.
  AddModels("ABCD");
  AddLink(1, 2, "SOL");
  AddLink(1, 3, "SOL");
  AddLink(1, 3, "DRW");
  AddLink(2, 4, "SOL");
  AddLink(3, 4, "SOL");
  AddLink(1, 0, "SOL");
  MmlRun run = Mml({"migrate", Input({1})});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(ReadFileText(TmpFile("CopyofMigr")), "5\n" + Unit(4, "LEAVE", "0") + Unit(2, "NODE", "SOL") +
                                                     Unit(3, "NODE", "SOL") + Unit(1, "NODE", "SOL") +
                                                     Unit(1, "NODE", "DRW"));
  // Every migrated object carries the same new date, and the links of the
  // listed types were stamped with it.
  std::string stamp = DateOf(1);
  EXPECT_EQ(DateOf(2), stamp);
  EXPECT_EQ(DateOf(4), stamp);
  auto rows = db().Rows("SELECT C_MML_TS FROM $VS_E1.$EXT WHERE $COID = X'" + CoidHex(1) + "';");
  ASSERT_EQ(rows.size(), 4u);
  for (const auto& row : rows) EXPECT_EQ(row[0], stamp);
}

TEST_P(BatchMigrationTest, ALoopOrARefusedAccessWritesNoFile) {
  AddModels("AB");
  AddLink(1, 2);
  AddLink(2, 1);
  MmlRun run = Mml({"migrate", Input({1})});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err,
            "mml: error 1: Unable to perform operation: Cannot perform this operation : There are loops in the "
            "graph (severity 3)\n");
  EXPECT_FALSE(FileExists(TmpFile("CopyofMigr")));
  EXPECT_FALSE(FileExists(TmpFile("MMLMigr")));

  // Opening is allowed, overwriting is not: nothing is written or run.
  std::string script = FakeScript("0\\n");
  UseScript(script, "ACCESS * QOR BOM OverwriteRepresentation DENY\nACCESS * QOR BOM OpenRepresentation ALLOW\n");
  AddModel(3, "C");
  run = Mml({"migrate", Input({3})});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.err.find("mml: error 1: Access denied: QOR-3001: "), std::string::npos) << run.err;
  EXPECT_FALSE(FileExists(TmpFile("CopyofMigr")));
  EXPECT_FALSE(FileExists(TmpFile("MMLMigr_err")));

  // No usable script.
  UseScript(work_.File("no-such-script"), kAllowAll);
  run = Mml({"migrate", Input({3})});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err, "mml: error 1: Error Migration Script: Migration script not found: " +
                         work_.File("no-such-script") + ": No such file or directory (severity 3)\n");
}

TEST_P(BatchMigrationTest, TheScriptsAnswerDecidesTheOutcome) {
  AddModel(1, "A");
  std::string input = Input({1});

  UseScript(FakeScript("3\\n"), kAllowAll);
  MmlRun run = Mml({"migrate", input});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err,
            "mml: error 1: Error during migration process:  -> Process ends with ERROR : return code = 3 "
            "(severity 3)\n");

  // A first line that is not a number is no success.
  UseScript(FakeScript("done\\n"), kAllowAll);
  run = Mml({"migrate", input});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.err.find("the error file does not start with a return code: \"done\""), std::string::npos) << run.err;

  // A script that writes no error file: an answer left by an earlier run is
  // not taken for its own, and no answer counts as success.
  WriteFileText(TmpFile("MMLMigr_err"), "7\n");
  UseScript(FakeScript(""), kAllowAll);
  run = Mml({"migrate", input});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.out.find("Migration done\nProcess ends with success\n"), std::string::npos);

  // But a script that dies without answering has not succeeded.
  std::string crashing = work_.File("crashing.sh");
  WriteFileText(crashing, "#!/bin/sh\nexit 5\n");
  chmod(crashing.c_str(), 0755);
  UseScript(crashing, kAllowAll);
  run = Mml({"migrate", input});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err,
            "mml: error 1: Error during migration process:  -> Process ends with ERROR : no error file, exit "
            "status = 5 (severity 3)\n");
}

TEST_P(BatchMigrationTest, EachRootIsMigratedOnFreshData) {
  // B is below A; the second root B is planned again although the first
  // root's walk marked it.
  AddModels("AB");
  AddLink(1, 2, "SOL");
  MmlRun run = Mml({"migrate", Input({1, 2})});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(ReadFileText(TmpFile("CopyofMigr")), "1\n" + Unit(2, "LEAVE", "0"));
  size_t first = run.out.find("Migration done");
  ASSERT_NE(first, std::string::npos);
  EXPECT_NE(run.out.find("Migration done", first + 1), std::string::npos) << run.out;
}

MML_INSTANTIATE_ENGINES(BatchMigrationTest);

}  // namespace
