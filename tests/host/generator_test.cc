// The synthetic product: same seed, same database; the root reaches most of it.
#include <gtest/gtest.h>

#include <algorithm>

#include "host/generator/kel_dm_generator.h"
#include "host/kel_dm_session.h"
#include "support/test_database.h"

namespace {

KelDMGeneratorOptions SmallProduct(uint64_t seed) {
  KelDMGeneratorOptions o;
  o.objects = 600;
  o.seed = seed;
  o.environments = 2;
  o.missingShare = 0.02;
  return o;
}

std::vector<std::vector<std::string>> Dump(TestDatabase& db, const KelDMGeneratorReport& r) {
  std::vector<std::vector<std::string>> all;
  for (const auto& env : r.environments) {
    for (const char* sql :
         {"SELECT 'O', $COID, $COMPID, C_ID, C_REVISION, C_FAMILY, C_REVISION_RANK, C_LASTMOD, C_MATURITY FROM "
          "$VS_%.TOVRA_MODEL",
          "SELECT 'P', $COID, $COMPID, C_ID FROM $VS_%.PART_LIST",
          "SELECT 'D', $COID, $COMPID, C_ID FROM $VS_%.DOCUMENT",
          "SELECT 'X', $COID, $COMPID, $COMPNAME_FATHER, $COMPID_FATHER, $COMPNAME, $COID_REF, $COMPID_REF, $TYPE, "
          "C_MML_TS FROM $VS_%.$EXT",
          "SELECT 'L', OBJECT_KELAB, OBJECT_COID, ENTITY_ID_1, ENTITY_ID_2, ENTITY_KEY, TS, TYPE FROM $VS_%.MML_LINK",
          "SELECT 'E', OBJECT_KELAB, OBJECT_COID, ENTITY_ID_1, TS FROM $VS_%.MML_ENTITY"}) {
      std::string q = sql;
      q.replace(q.find('%'), 1, env);
      auto rows = db.Rows(q);
      for (auto& row : rows) row.insert(row.begin(), env);
      all.insert(all.end(), rows.begin(), rows.end());
    }
  }
  std::sort(all.begin(), all.end());
  return all;
}

TEST(GeneratorTest, SameSeedGivesTheSameDatabaseOnSQLiteAndPostgreSQLAndAnotherSeedDoesNot) {
  std::vector<std::vector<std::string>> dumps[3];
  int i = 0;
  for (auto [engine, seed] :
       {std::pair{TestEngine::kSqlite, 7}, {TestEngine::kPostgres, 7}, {TestEngine::kSqlite, 8}}) {
    TestDatabase db(engine);
    KelDMGeneratorReport report;
    std::string error;
    ASSERT_EQ(0, KelDMGenerator::Generate(db.Main(), SmallProduct(seed), &report, &error)) << error;
    EXPECT_EQ(600, report.objects);
    dumps[i++] = Dump(db, report);
  }
  EXPECT_GT(dumps[0].size(), 1200u);
  EXPECT_EQ(dumps[0], dumps[1]);
  EXPECT_NE(dumps[0], dumps[2]);
}

class GeneratorShapeTest : public EngineTest {};

TEST_P(GeneratorShapeTest, RootReachesMostObjectsThroughBothKindsOfLinks) {
  KelDMGeneratorReport report;
  std::string error;
  ASSERT_EQ(0, KelDMGenerator::Generate(db().Main(), SmallProduct(3), &report, &error)) << error;
  EXPECT_GT(report.extLinks, 0);
  EXPECT_GT(report.entityLinks, 0);
  EXPECT_GT(report.olderRevisions, 0);
  EXPECT_GT(report.missingLinks, 0);
  auto count = db().Rows(KelDMGenerator::ReachableCountQuery(report));
  ASSERT_EQ(1u, count.size());
  long reached = std::stol(count[0][0]);
  // Everything but the root and the older revisions nobody points to is reachable.
  EXPECT_GT(reached, report.objects * 8 / 10);
  EXPECT_LE(reached, report.objects + report.missingLinks);
  EXPECT_EQ("GEN1\nTOVRA_MODEL\n" + report.rootCoid + "\n" + report.rootCompid + "\n",
            KelDMGenerator::RootsFileText(report));
}

MML_INSTANTIATE_SQLITE(GeneratorShapeTest);

TEST(GeneratorTest, RejectsOptionsOutOfRange) {
  std::string error;
  KelDMGeneratorOptions o;
  o.objects = 0;
  EXPECT_FALSE(KelDMGenerator::Validate(o, &error));
  o.objects = 10;
  o.entityShare = 1.5;
  EXPECT_FALSE(KelDMGenerator::Validate(o, &error));
  o.entityShare = 0.5;
  o.environments = 0;
  EXPECT_FALSE(KelDMGenerator::Validate(o, &error));
}

}  // namespace
