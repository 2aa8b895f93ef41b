// Instance services read from the object tables: display name, revisions,
// maturity, locks, type and associated part.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/kel_id.h"
#include "base/mml_constants.h"
#include "host/db/kel_dm_ier_message.h"
#include "host/kel_dm_instance.h"
#include "host/kel_dm_session.h"
#include "support/test_database.h"

namespace {

KelDMInstance Object(const std::string& table, const std::string& coid, const std::string& compid,
                     const std::string& env = "E1") {
  return KelDMInstance(kMmlKelcon, env, table, coid, compid);
}

std::vector<std::string> Compids(const std::vector<KelDMInstance>& list) {
  std::vector<std::string> out;
  for (const auto& i : list) out.push_back(i.GetXCompid());
  return out;
}

class InstanceServicesTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    db().Init({"E1:objects", "E2:objects"});
    // A family of three revisions (ranks 1, 3, 2) plus one with no rank, an
    // object without family, and a part sharing the model's coid.
    db().Exec(
        "INSERT INTO $VS_E1.TOVRA_MODEL ($COID, $COMPID, C_ID, C_REVISION, C_FAMILY, C_REVISION_RANK, C_MATURITY) "
        "VALUES (X'00000000000000C1', X'00000000000000A1', 'WING', 'A', X'00000000000000FF', 1, 2), "
        "(X'00000000000000C1', X'00000000000000A3', 'WING', 'C', X'00000000000000FF', 3, NULL), "
        "(X'00000000000000C1', X'00000000000000A2', 'WING', 'B', X'00000000000000FF', 2, NULL), "
        "(X'00000000000000C1', X'00000000000000A0', 'WING', '-', X'00000000000000FF', NULL, NULL), "
        "(X'00000000000000C9', X'00000000000000B9', 'SOLO', '01', NULL, NULL, NULL);"
        // Same family identifier in another environment: not the same family.
        "INSERT INTO $VS_E2.TOVRA_MODEL ($COID, $COMPID, C_ID, C_REVISION, C_FAMILY, C_REVISION_RANK) "
        "VALUES (X'00000000000000C1', X'00000000000000AF', 'WING', 'Z', X'00000000000000FF', 99);"
        "INSERT INTO $VS_E1.PART_LIST ($COID, $COMPID, C_ID, C_REVISION, C_REVISION_RANK) "
        "VALUES (X'00000000000000C1', X'00000000000000D1', 'WING-P', '1', 1), "
        "(X'00000000000000C1', X'00000000000000D2', 'WING-P', '2', 2);"
        "INSERT INTO $VS_E1.$LOCK ($COID, $COMPID, $LOCKTYPE, C_RESPONSIBLE) "
        "VALUES (X'00000000000000C1', X'00000000000000A1', 'D', 'smith'), "
        "(X'00000000000000C1', X'00000000000000A1', 'C', 'jones');");
  }
};

TEST_P(InstanceServicesTest, NameJoinsIdAndRevisionOrShowsUnknown) {
  EXPECT_EQ("WING ** A",
            Object("TOVRA_MODEL", "00000000000000C1", "00000000000000A1").GetNameInstance(0, 1, " ** ", "$BOM_NAVIG"));
  EXPECT_EQ("SOLO 01",
            Object("TOVRA_MODEL", "00000000000000C9", "00000000000000B9").GetNameInstance(3, 1, " ", "$BOM_NAVIG"));
  // Trailing blanks of the table name are not part of it.
  EXPECT_EQ("SOLO 01",
            Object("TOVRA_MODEL  ", "00000000000000C9", "00000000000000B9").GetNameInstance(3, 1, " ", "$BOM_NAVIG"));
  EXPECT_EQ("(?)",
            Object("TOVRA_MODEL", "00000000000000C9", "0000000000000000").GetNameInstance(0, 1, " ** ", "$BOM_NAVIG"));
  EXPECT_EQ(
      "(?)",
      Object("NO_SUCH_TABLE", "00000000000000C9", "00000000000000B9").GetNameInstance(0, 1, " ** ", "$BOM_NAVIG"));
}

TEST_P(InstanceServicesTest, LastRevisionIsTheHighestRankInTheSameEnvironment) {
  KelDMInstance last;
  for (const char* compid : {"00000000000000A0", "00000000000000A1", "00000000000000A2", "00000000000000A3"}) {
    ASSERT_EQ(0, Object("TOVRA_MODEL", "00000000000000C1", compid).GetLastRevision(last)) << compid;
    EXPECT_EQ(Object("TOVRA_MODEL", "00000000000000C1", "00000000000000A3"), last) << compid;
    EXPECT_EQ(kMmlKelcon, last.GetConnectionName());
  }
  // No family: the object itself.
  KelDMInstance solo = Object("TOVRA_MODEL", "00000000000000C9", "00000000000000B9");
  ASSERT_EQ(0, solo.GetLastRevision(last));
  EXPECT_EQ(solo, last);
  // Not in the table.
  EXPECT_EQ(kel_ier::kInstanceNotFound,
            Object("TOVRA_MODEL", "00000000000000C9", "0000000000000001").GetLastRevision(last));
  // E2's member only sees itself.
  KelDMInstance e2 = Object("TOVRA_MODEL", "00000000000000C1", "00000000000000AF", "E2");
  ASSERT_EQ(0, e2.GetLastRevision(last));
  EXPECT_EQ(e2, last);
}

TEST_P(InstanceServicesTest, AllRevisionsComeInRankOrder) {
  std::vector<KelDMInstance> all;
  ASSERT_EQ(0, Object("TOVRA_MODEL", "00000000000000C1", "00000000000000A2").GetAllRevision(all));
  EXPECT_EQ((std::vector<std::string>{"00000000000000A0", "00000000000000A1", "00000000000000A2", "00000000000000A3"}),
            Compids(all));
  ASSERT_EQ(0, Object("TOVRA_MODEL", "00000000000000C9", "00000000000000B9").GetAllRevision(all));
  EXPECT_EQ(std::vector<std::string>{"00000000000000B9"}, Compids(all));
  EXPECT_EQ(kel_ier::kInstanceNotFound,
            Object("TOVRA_MODEL", "0000000000000001", "0000000000000001").GetAllRevision(all));
  EXPECT_TRUE(all.empty());
}

TEST_P(InstanceServicesTest, LocksAreListedInTypeOrder) {
  std::vector<KelDMLock> locks;
  ASSERT_EQ(0, Object("TOVRA_MODEL", "00000000000000C1", "00000000000000A1").GetLocks(locks));
  ASSERT_EQ(2u, locks.size());
  EXPECT_EQ("C", locks[0].lockType);
  EXPECT_EQ("jones", locks[0].responsible);
  EXPECT_EQ("D", locks[1].lockType);
  EXPECT_EQ("smith", locks[1].responsible);
  ASSERT_EQ(0, Object("TOVRA_MODEL", "00000000000000C1", "00000000000000A2").GetLocks(locks));
  EXPECT_TRUE(locks.empty());
  // An environment without a lock table reports the failure.
  EXPECT_NE(0, Object("TOVRA_MODEL", "00000000000000C1", "00000000000000A1", "E7").GetLocks(locks));
}

TEST_P(InstanceServicesTest, PartIsTheLatestPartListRowWithTheSameCoid) {
  KelDMInstance part;
  KelDMInstance model = Object("TOVRA_MODEL", "00000000000000C1", "00000000000000A1");
  EXPECT_EQ(2, model.GetType());
  ASSERT_EQ(0, model.GetPart(part));
  EXPECT_EQ(Object("PART_LIST", "00000000000000C1", "00000000000000D2"), part);
  EXPECT_EQ(1, part.GetType());
  EXPECT_EQ(kel_ier::kInstanceNotFound, Object("TOVRA_MODEL", "00000000000000C9", "00000000000000B9").GetPart(part));
}

MML_INSTANTIATE_ENGINES(InstanceServicesTest);

TEST(InstanceWithoutSessionTest, ServicesFailCleanlyWithoutADatabase) {
  KelDMSession::Close();
  KelDMInstance object = Object("TOVRA_MODEL", "0000000000000001", "0000000000000001");
  EXPECT_EQ("(?)", object.GetNameInstance(0, 1, " ** ", "$BOM_NAVIG"));
  KelDMInstance last;
  EXPECT_EQ(kel_ier::kDbNoConnection, object.GetLastRevision(last));
  std::vector<KelDMLock> locks;
  EXPECT_EQ(kel_ier::kDbNoConnection, object.GetLocks(locks));
}

}  // namespace
