// `mml query`: the impact queries from the command line, their output byte
// for byte, and bad input refused with one line and no output.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/test_database.h"

namespace {

const char kA[] = "0000000000000A01";
const char kB[] = "0000000000000B01";
const char kC[] = "0000000000000C01";
const char kX[] = "00000000000E0001";
const char kTs[] = "2024-03-01 12:30:05";

// A1 (E1 model) links to B (E2 model) by "$EXT" and uses B's entity X;
// C (E1 part) also links to B.
std::string SmallDatabase() {
  std::string s;
  s += "INSERT INTO $VS_E1.TOVRA_MODEL ($COID, $COMPID, C_ID, C_LASTMOD) VALUES (X'" + std::string(kA) + "', X'" + kA +
       "', 'A', '" + kTs + "');";
  s += "INSERT INTO $VS_E2.TOVRA_MODEL ($COID, $COMPID, C_ID, C_LASTMOD) VALUES (X'" + std::string(kB) + "', X'" + kB +
       "', 'B', '" + kTs + "');";
  s += "INSERT INTO $VS_E1.$EXT ($COID, $COMPID, $COMPNAME_FATHER, $COMPID_FATHER, $COMPNAME, $COID_REF, "
       "$COMPID_REF, $TYPE, C_MML_TS) VALUES (X'" +
       std::string(kA) + "', X'00000000000000E1', 'TOVRA_MODEL', X'" + kA + "', 'E2.TOVRA_MODEL', X'" + kB + "', X'" +
       kB + "', 'KELMMSOL', '" + kTs + "');";
  s += "INSERT INTO $VS_E2.$EXT ($COID, $COMPID, $COMPNAME_FATHER, $COMPID_FATHER, $COMPNAME, $COID_REF, "
       "$COMPID_REF, $TYPE, C_MML_TS) VALUES (X'" +
       std::string(kC) + "', X'00000000000000E2', 'PART_LIST', X'" + kC + "', 'E2.TOVRA_MODEL', X'" + kB + "', X'" +
       kB + "', 'KELMMDRW', '2020-01-01 00:00:00');";
  s += "INSERT INTO $VS_E2.MML_ENTITY (OBJECT_KELAB, OBJECT_COID, OBJECT_COMPID, ENTITY_ID_1, ENTITY_ID_2, "
       "ENTITY_KEY, TS, UBIT) VALUES ('TOVRA_MODEL', X'" +
       std::string(kB) + "', X'" + kB + "', X'" + kX + "', X'" + kX + "', X'" + kX + "', '" + kTs + "', NULL);";
  s += "INSERT INTO $VS_E2.MML_ENTITY (OBJECT_KELAB, OBJECT_COID, OBJECT_COMPID, ENTITY_ID_1, ENTITY_ID_2, "
       "ENTITY_KEY, TS, UBIT) VALUES ('TOVRA_MODEL', X'" +
       std::string(kB) + "', X'" + kB + "', X'" + kA + "', X'" + kA + "', X'" + kA + "', '" + kTs + "', 1);";
  s += "INSERT INTO $VS_E1.MML_LINK (OBJECT_KELAB, OBJECT_COID, OBJECT_COMPID, ENTITY_ID_1, ENTITY_ID_2, ENTITY_KEY, "
       "TS, TYPE, UBIT) VALUES ('TOVRA_MODEL', X'" +
       std::string(kA) + "', X'" + kA + "', X'" + kX + "', X'" + kX + "', X'" + kX + "', '" + kTs +
       "', 'KELSOL', NULL);";
  return s;
}

class QueryCliTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    db().Init({"E1:objects,links,entities", "E2:objects,links,entities", "E3:objects"});
    db().Exec(SmallDatabase());
  }

  MmlRun Query(std::vector<std::string> args) {
    args.insert(args.begin(), {"--db", db().Url(), "query"});
    return RunMml(args);
  }

  // A run that failed with one "mml: " line and wrote nothing.
  void ExpectRefused(const MmlRun& run) {
    EXPECT_NE(0, run.exitCode);
    EXPECT_EQ("", run.out);
    ASSERT_FALSE(run.err.empty());
    EXPECT_EQ(0u, run.err.rfind("mml: ", 0)) << run.err;
    EXPECT_EQ(1, std::count(run.err.begin(), run.err.end(), '\n')) << run.err;
  }
};

// Each subcommand once on this database, in a table: its arguments and its
// whole output. The queries themselves are tested on the interface.
TEST_P(QueryCliTest, EachSubcommandPrintsItsAnswer) {
  const std::string a = std::string(kA) + "\t" + kA, b = std::string(kB) + "\t" + kB;
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"impacted-by", "E2", "TOVRA_MODEL", kB, "0000000000000b01"},
       "E1\tTOVRA_MODEL\t" + a + "\nE2\tPART_LIST\t" + kC + "\t" + kC + "\n"},
      {{"impacting-on", "E1", "TOVRA_MODEL", kA, kA}, "E2\tTOVRA_MODEL\t" + b + "\n"},
      {{"impacting-on", "E3", "TOVRA_MODEL", kA, kA}, ""},
      {{"entity-count", "E2", "TOVRA_MODEL", kB, kB}, "2\n"},
      {{"links-between", "E1", "TOVRA_MODEL", kA, kA, "E2", "TOVRA_MODEL", kB, kB, "--mode", "1"},
       "KELSOL\t3\nKELMMSOL\t1\n"},
      {{"relation-envs", "--kind", "1"}, "E1\nE2\n"},
      {{"is-pointed-model", "E2", "TOVRA_MODEL", kB, kB}, "1\n"},
      {{"is-pointed-part", "E1", "TOVRA_MODEL", kA, kA}, "0\n"},
      {{"delete-links", "E1", "TOVRA_MODEL", kA, kA}, ""},
      {{"delete-entities", "E2", "TOVRA_MODEL", kB, kB}, ""},
  };
  for (const auto& [args, out] : cases) {
    MmlRun run = Query(args);
    EXPECT_EQ(0, run.exitCode) << args[0] << ": " << run.err;
    EXPECT_EQ(out, run.out) << args[0];
  }
  EXPECT_TRUE(db().Rows("SELECT $TYPE FROM $VS_E1.$EXT").empty());
  EXPECT_EQ(1u, db().Rows("SELECT $TYPE FROM $VS_E2.$EXT").size());
  EXPECT_TRUE(db().Rows("SELECT TS FROM $VS_E2.MML_ENTITY").empty());
}

TEST_P(QueryCliTest, BadInputIsRefusedWithOneLineAndNoOutput) {
  ExpectRefused(Query({"impacted-by", "E2", "TOVRA_MODEL", "0000000000000B0", kB}));
  ExpectRefused(Query({"links-between", "E1", "TOVRA_MODEL", kA, kA, "E2", "TOVRA_MODEL", kB, "B01"}));
  ExpectRefused(Query({"relation-envs", "--kind", "5"}));
  // A refused deletion changes nothing.
  ExpectRefused(Query({"delete-links", "E1", "TOVRA_MODEL", kA, "not-an-id"}));
  EXPECT_EQ(1u, db().Rows("SELECT $TYPE FROM $VS_E1.$EXT").size());
}

MML_INSTANTIATE_ENGINES(QueryCliTest);

}  // namespace
