// `mml query`: the impact queries from the command line, their output byte
// for byte, and bad input refused with one line and no output.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/product.h"

namespace {

using namespace product_rows;

const char kTs[] = "2024-03-01 12:30:05";

// A (E1 model) links to B (E2 model) by "$EXT" and uses B's entity X;
// C (E2 part) also links to B.
std::string SmallDatabase() {
  return ObjectRow("E1", "TOVRA_MODEL", kA, kTs) + ObjectRow("E2", "TOVRA_MODEL", kB, kTs) +
         ExtRow("E1", "00000000000000E1", "TOVRA_MODEL", kA, "E2.TOVRA_MODEL", kB, "KELMMSOL", kTs) +
         ExtRow("E2", "00000000000000E2", "PART_LIST", kC, "E2.TOVRA_MODEL", kB, "KELMMDRW", "2020-01-01 00:00:00") +
         EntityRow("E2", "TOVRA_MODEL", kB, kX, kTs) + EntityRow("E2", "TOVRA_MODEL", kB, kA, kTs, "1") +
         UseRow("E1", "TOVRA_MODEL", kA, kX, "KELSOL", kTs);
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
