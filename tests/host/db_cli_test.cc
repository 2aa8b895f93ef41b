// The administrator's commands mml db init, exec and demo, run as the
// program itself on both engines.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "support/test_database.h"

namespace {

int CountLines(const std::string& text) { return static_cast<int>(std::count(text.begin(), text.end(), '\n')); }

class DbCliTest : public EngineTest {
 protected:
  MmlRun Mml(std::vector<std::string> args, const std::string& input = "", const std::vector<std::string>& env = {}) {
    args.insert(args.begin(), {"--db", db().Url()});
    return RunMml(args, input, env);
  }

  std::set<std::string> Tables() {
    std::vector<std::string> names;
    EXPECT_EQ(0, db().Main()->ListTables(&names)) << db().Main()->LastError();
    return std::set<std::string>(names.begin(), names.end());
  }

  std::string Count(const std::string& from) { return db().Rows("SELECT COUNT(*) FROM " + from)[0][0]; }
};

TEST_P(DbCliTest, InitCreatesTheTablesOfEachKindAndASecondInitKeepsTheRows) {
  MmlRun run = Mml({"db", "init", "E1:objects,links,entities", "E2:links"});
  ASSERT_EQ(0, run.exitCode) << run.err;
  EXPECT_EQ("", run.out);
  EXPECT_EQ("", run.err);
  EXPECT_EQ((std::set<std::string>{"E1.$EXT", "E1.$LOCK", "E1.DOCUMENT", "E1.MML_ENTITY", "E1.MML_LINK", "E1.PART_LIST",
                                   "E1.TOVRA_MODEL", "E2.$EXT"}),
            Tables());

  db().Exec(
      "INSERT INTO $VS_E1.TOVRA_MODEL ($COID, $COMPID, C_ID) VALUES (X'00000000000000A1', X'00000000000000C1', "
      "'kept');"
      "INSERT INTO $VS_E2.$EXT ($COID, $COMPID, $TYPE) VALUES (X'00000000000000A1', X'00000000000000E1', "
      "'KELMMSOL');");
  // Again, and with a kind added to E2: what exists stays as it is.
  run = Mml({"db", "init", "E1:objects,links,entities", "E2:objects,links"});
  ASSERT_EQ(0, run.exitCode) << run.err;
  EXPECT_EQ((std::vector<std::vector<std::string>>{{"kept"}}), db().Rows("SELECT C_ID FROM $VS_E1.TOVRA_MODEL"));
  EXPECT_EQ("1", Count("$VS_E2.$EXT"));
  EXPECT_EQ(1u, Tables().count("E2.TOVRA_MODEL"));
}

TEST_P(DbCliTest, AnEnvironmentThatCannotBeCreatedUndoesTheOthersOfTheCommand) {
  // A foreign table in the way of E2: its index on C_FAMILY cannot be made.
  ASSERT_EQ(0, db().Main()->ExecuteNative("CREATE TABLE \"E2.TOVRA_MODEL\" (x INTEGER)")) << db().Main()->LastError();
  MmlRun run = Mml({"db", "init", "E1:objects,links", "E2:objects"});
  EXPECT_NE(0, run.exitCode);
  EXPECT_EQ(1, CountLines(run.err)) << run.err;
  EXPECT_NE(std::string::npos, run.err.find("E2")) << run.err;
  EXPECT_EQ((std::set<std::string>{"E2.TOVRA_MODEL"}), Tables());
}

TEST_P(DbCliTest, ExecPrintsTheRowsOfEverySelectTabSeparated) {
  db().Init({"E1:objects,links"});
  const std::string script =
      "-- two models, one with every optional column empty\n"
      "INSERT INTO $VS_E1.TOVRA_MODEL ($COID, $COMPID, C_ID, C_REVISION, C_LASTMOD, C_MATURITY) VALUES\n"
      "  (X'00000000000000a1', X'ffffffffffffff01', 'it''s; a model', 'B', '2024-05-06 07:08:09', 3);\n"
      "INSERT INTO $VS_E1.TOVRA_MODEL ($COID, $COMPID, C_ID) VALUES (X'00000000000000A2', X'0000000000000002', "
      "'second');\n"
      "SELECT $COID, $COMPID, C_ID, C_REVISION, C_LASTMOD, C_MATURITY, C_FAMILY FROM $VS_E1.TOVRA_MODEL ORDER BY "
      "$COID;\n"
      "UPDATE $VS_E1.TOVRA_MODEL SET C_LASTMOD = '2025-01-02 03:04:05.123456' WHERE C_ID = 'second';\n"
      "SELECT C_ID FROM $VS_E1.TOVRA_MODEL WHERE C_ID = 'none';\n"
      "SELECT C_LASTMOD, C_ID FROM $VS_E1.TOVRA_MODEL WHERE C_ID = 'second'";
  MmlRun run = Mml({"db", "exec"}, script);
  ASSERT_EQ(0, run.exitCode) << run.err;
  EXPECT_EQ("", run.err);
  EXPECT_EQ(
      "00000000000000A1\tFFFFFFFFFFFFFF01\tit's; a model\tB\t2024-05-06 07:08:09.000000\t3\t\n"
      "00000000000000A2\t0000000000000002\tsecond\t\t\t\t\n"
      "2025-01-02 03:04:05.123456\tsecond\n",
      run.out);
}

TEST_P(DbCliTest, AFailingStatementUndoesTheWholeScriptAndPrintsNoRows) {
  db().Init({"E1:objects"});
  db().Exec(
      "INSERT INTO $VS_E1.TOVRA_MODEL ($COID, $COMPID, C_ID) VALUES (X'00000000000000A1', X'00000000000000C1', "
      "'before');");
  const std::string script =
      "UPDATE $VS_E1.TOVRA_MODEL SET C_ID = 'changed';\n"
      "INSERT INTO $VS_E1.TOVRA_MODEL ($COID, $COMPID, C_ID) VALUES (X'00000000000000A2', X'00000000000000C2', "
      "'added');\n"
      "SELECT C_ID FROM $VS_E1.TOVRA_MODEL;\n"
      "INSERT INTO $VS_E1.TOVRA_MODEL ($COID, $COMPID, C_ID) VALUES (X'00000000000000A1', X'00000000000000C1', "
      "'duplicate');\n"
      "INSERT INTO $VS_E1.TOVRA_MODEL ($COID, $COMPID, C_ID) VALUES (X'00000000000000A3', X'00000000000000C3', "
      "'after');\n";
  MmlRun run = Mml({"db", "exec"}, script);
  EXPECT_NE(0, run.exitCode);
  EXPECT_EQ("", run.out);
  EXPECT_EQ(1, CountLines(run.err)) << run.err;
  EXPECT_EQ(0u, run.err.find("mml: statement 4 failed: ")) << run.err;
  EXPECT_EQ((std::vector<std::vector<std::string>>{{"before"}}), db().Rows("SELECT C_ID FROM $VS_E1.TOVRA_MODEL"));
}

TEST_P(DbCliTest, DemoBuildsTheDemoProductOnceAndRefusesASecondTime) {
  MmlRun run = Mml({"db", "demo"});
  ASSERT_EQ(0, run.exitCode) << run.err;
  EXPECT_EQ("", run.err);
  EXPECT_NE(std::string::npos, run.out.find("demo.profile")) << run.out;
  std::set<std::string> tables = Tables();
  for (const char* t : {"DESIGN.TOVRA_MODEL", "DESIGN.$EXT", "DESIGN.MML_ENTITY", "DESIGN.MML_LINK",
                        "STANDARD.TOVRA_MODEL", "STANDARD.$EXT", "STANDARD.MML_ENTITY"}) {
    EXPECT_EQ(1u, tables.count(t)) << t;
  }

  const std::string models = Count("$VS_DESIGN.TOVRA_MODEL");
  run = Mml({"db", "demo"});
  EXPECT_NE(0, run.exitCode);
  EXPECT_EQ("", run.out);
  EXPECT_EQ(1, CountLines(run.err)) << run.err;
  EXPECT_NE(std::string::npos, run.err.find("--force")) << run.err;
  // Forced onto itself, the demo collides with its own rows and changes nothing.
  run = Mml({"db", "demo", "--force"});
  EXPECT_NE(0, run.exitCode);
  EXPECT_EQ(1, CountLines(run.err)) << run.err;
  EXPECT_EQ(models, Count("$VS_DESIGN.TOVRA_MODEL"));
  EXPECT_EQ("1", Count("$VS_DESIGN.$LOCK"));
}

MML_INSTANTIATE_ENGINES(DbCliTest);

// A bad environment is one error line, and the SQLite database file the
// failing command created is not left behind.
TEST(DbCliSqliteTest, AFailedCommandLeavesNoNewDatabaseFile) {
  TempDir dir;
  const std::string path = dir.File("new.db");
  MmlRun run = RunMml({"--db", path, "db", "init", "E1:objects", "E2:nothing"});
  EXPECT_NE(0, run.exitCode);
  EXPECT_EQ(1, CountLines(run.err)) << run.err;
  EXPECT_NE(std::string::npos, run.err.find("nothing")) << run.err;
  EXPECT_FALSE(std::filesystem::exists(path));

  run = RunMml({"--db", path, "db", "init", "E1:objects"});
  EXPECT_EQ(0, run.exitCode) << run.err;
  EXPECT_TRUE(std::filesystem::exists(path));
}

}  // namespace
