// The link database's records and caches without a database: entity lookup
// and its index, the stable indices, the merge of link readings (technology
// and up-to-date flag), the model filter switched off.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "batch/mml_module.h"
#include "foundation/kel_lnk_tools.h"
#include "host/kel_psn_node.h"
#include "host/kel_zumo_instance.h"
#include "linkdb/hybrid_answer.h"
#include "linkdb/kel_lnk_hybrid_manager.h"
#include "linkdb/kel_lnk_hybrid_read_ahead.h"

namespace {

using hybrid_test::HM;

using hybrid_test::Id;

HM::Entity Model(int n) { return HM::Entity("E1", "TOVRA_MODEL", Id(n), Id(0x100 + n)); }

class HybridCacheTest : public ::testing::Test {
 protected:
  void SetUp() override { MmlModule::Reset(); }
  void TearDown() override { MmlModule::Reset(); }

  void Snapshot(int linkTechno, int newV5 = 0, int releaseValidity = 0) {
    HM::Declarations d;
    d.linkTechno = linkTechno;
    d.mmlV5 = newV5 || releaseValidity ? 1 : 0;  // switches of V5 mode
    d.newMMLV5 = newV5;
    d.releaseValidity = releaseValidity;
    HM::SetDeclarationsForTest(d);
  }
  // Cached entities for models first..last, at indices 0, 1, ...
  static void Entities(int first, int last) {
    for (int n = first; n <= last; ++n) HM::LocateEntity(Model(n), 1);
  }
  // A reading of the link father -> child from `table`.
  static HM::Link Reading(int father, int child, const std::string& table, const std::string& ts,
                          const std::string& type = "KELMMSOL") {
    return HM::Link(father, child, "E1", table, Id(1), Id(2), type, ts, "TOK");
  }
};

// ---- Entities ----

TEST_F(HybridCacheTest, LocateEntityCreatesOnceAndFindsTheFirstEqualRecordExactly) {
  EXPECT_EQ(HM::LocateEntity(Model(1), 0), -1);
  EXPECT_EQ(HM::GetNbEntities(), 0);
  EXPECT_EQ(HM::LocateEntity(Model(1), 1), 0);
  EXPECT_EQ(HM::GetNbEntities(), 1);
  EXPECT_EQ(HM::LocateEntity(Model(1), 1), 0);
  EXPECT_EQ(HM::LocateEntity(Model(2), 1), 1);
  EXPECT_EQ(HM::LocateEntity(Model(1), 0), 0);
  EXPECT_EQ(HM::GetNbEntities(), 2);
  // Environment and table are compared exactly.
  EXPECT_EQ(HM::LocateEntity(HM::Entity("E1 ", "TOVRA_MODEL", Id(1), Id(0x101)), 0), -1);
  EXPECT_EQ(HM::LocateEntity(HM::Entity("E1", "PART_LIST", Id(1), Id(0x101)), 0), -1);
  // Names of the same length and last character (one hash) stay apart.
  const int a = HM::LocateEntity(HM::Entity("E1", "TABLEA", Id(1), Id(0x101)), 1);
  const int b = HM::LocateEntity(HM::Entity("E1", "TABLXA", Id(1), Id(0x101)), 1);
  const int c = HM::LocateEntity(HM::Entity("F1", "TABLEA", Id(1), Id(0x101)), 1);
  EXPECT_TRUE(a != b && b != c && a != c);
  EXPECT_EQ(HM::LocateEntity(HM::Entity("E1", "TABLXA", Id(1), Id(0x101)), 0), b);
  // Identifiers by bytes: +0.0 and -0.0 are two objects.
  HM::Entity plus("E1", "T", 0.0, 0.0);
  HM::Entity minus("E1", "T", -0.0, 0.0);
  EXPECT_NE(HM::LocateEntity(plus, 1), HM::LocateEntity(minus, 1));
}

TEST_F(HybridCacheTest, UuidsNodeAndTagTakeNoPartButTheProductInstanceDoes) {
  HM::Entity plain = Model(1);
  HM::Entity other = Model(1);
  other.SetUuids({"AAAA"});
  other.SetIPres(7);
  other.SetNode(reinterpret_cast<KelPSNNode*>(&other));
  ASSERT_EQ(HM::LocateEntity(plain, 1), 0);
  EXPECT_EQ(HM::LocateEntity(other, 1), 0);
  // The cached copy starts without the searched record's UUIDs.
  EXPECT_TRUE(HM::GetEntity(0)->Uuids().empty());

  KelZumoInstance zumo(KelDMInstance("KELCON", "E1", "PART_LIST", Id(9), Id(9)), std::vector<KelId>{Id(5)});
  HM::Entity placed("E1", "TOVRA_MODEL", Id(1), Id(0x101), &zumo);
  const int p = HM::LocateEntity(placed, 1);
  EXPECT_EQ(p, 1);
  // The cache owns its own copy of the instance.
  EXPECT_NE(HM::GetEntity(p)->ZumoInstance(), &zumo);
  EXPECT_EQ(*HM::GetEntity(p)->ZumoInstance(), zumo);
  // Same path, other representation: another product instance.
  KelZumoInstance rep = zumo;
  rep.SetRep("TOVRA_MODEL", Id(0x101));
  EXPECT_EQ(HM::LocateEntity(HM::Entity("E1", "TOVRA_MODEL", Id(1), Id(0x101), &rep), 1), 2);
  EXPECT_EQ(HM::LocateEntity(placed, 0), 1);
}

TEST_F(HybridCacheTest, StoredEntitiesAndUncache) {
  HM::Entity** none = reinterpret_cast<HM::Entity**>(1);
  HM::GetStoredEntities(&none);
  ASSERT_NE(none, nullptr);  // an array of zero length
  delete[] none;

  Snapshot(0);
  Entities(1, 2);
  HM::LocateAndUpdateLink(Reading(0, 1, "$EXT", "T"), "T", -1, "");
  HM::Uncache();
  EXPECT_EQ(HM::GetNbEntities(), 0);
  EXPECT_EQ(HM::GetNbLinks(), 0);
  EXPECT_EQ(HM::LocateEntity(Model(2), 0), -1);
  // Indices start again from 0, with fresh per-entity link lists.
  EXPECT_EQ(HM::LocateEntity(Model(2), 1), 0);
  EXPECT_EQ(HM::LocateEntity(Model(1), 1), 1);
  EXPECT_EQ(HM::LocateAndUpdateLink(Reading(0, 1, "$EXT", "T"), "T", -1, ""), 0);
}

TEST_F(HybridCacheTest, SettingsAreReadOnceTakenAndV5SwitchesNeedTheV5Setting) {
  KelLnkTools::ResetState();
  KelLnkTools::State& tools = KelLnkTools::StateForTesting();
  tools.isV5NewCode = 1;
  tools.filterMaturityMin = 4;  // counts only with the maturity filter on
  tools.objectSortName = 1;
  EXPECT_EQ(HM::NoSortName(), 0) << "not taken yet";
  HM::CacheDeclarations();
  EXPECT_EQ(HM::NewMMLV5(), 0);
  EXPECT_EQ(HM::FilterMaturityMin(), 0);
  EXPECT_EQ(HM::NoSortName(), 1);
  // The settings have one place: a change there is seen, caches or not.
  tools.iloveV5 = 1;
  tools.filterMaturity = 1;
  HM::Uncache();
  EXPECT_EQ(HM::MMLV5(), 1);
  EXPECT_EQ(HM::NewMMLV5(), 1);
  EXPECT_EQ(HM::FilterMaturityMin(), 4);
  HM::ResetState();
  EXPECT_EQ(HM::MMLV5(), 0) << "not taken after a reset";
  KelLnkTools::ResetState();
}

// ---- Link location and merge ----

TEST_F(HybridCacheTest, NewLinkTechnologyAndUpToDateByTable) {
  Snapshot(0);
  Entities(0, 4);
  EXPECT_EQ(HM::GetLink(HM::LocateAndUpdateLink(Reading(0, 1, "$EXT", "T1"), "T1", -1, ""))->Techno, MML_LINK_EXT);
  EXPECT_EQ(HM::GetLink(HM::LocateAndUpdateLink(Reading(0, 2, "MML_LINK", "T1"), "T2", -1, ""))->Techno,
            MML_LINK_ENTITY);
  EXPECT_EQ(HM::GetLink(HM::LocateAndUpdateLink(Reading(0, 3, "QOR_LINK", ""), "T2", -1, ""))->Techno, MML_LINK_KELV5);
  EXPECT_EQ(HM::GetLink(HM::LocateAndUpdateLink(Reading(0, 4, "OTHER", "T"), "T", -1, ""))->Techno, MML_LINK_UNKNOWN);
  EXPECT_EQ(HM::GetLink(0)->UpToDate, 1);
  EXPECT_EQ(HM::GetLink(1)->UpToDate, 0);
  EXPECT_EQ(HM::GetLink(2)->UpToDate, 1);  // old V5 code: an empty link date counts as in step
}

TEST_F(HybridCacheTest, SameLinkFromBothTablesEndsBothInEitherOrder) {
  for (int techno : {0, 1}) {
    HM::ResetState();
    Snapshot(techno);
    Entities(1, 3);
    int a = HM::LocateAndUpdateLink(Reading(0, 1, "$EXT", "T"), "T", -1, "");
    EXPECT_EQ(HM::LocateAndUpdateLink(Reading(0, 1, "MML_LINK", "T"), "T", -1, ""), a);
    EXPECT_EQ(HM::GetLink(a)->Techno, MML_LINK_BOTH);
    EXPECT_EQ(HM::GetLink(a)->Table(), "$EXT");

    int b = HM::LocateAndUpdateLink(Reading(0, 2, "MML_LINK", "T"), "T", -1, "");
    HM::LocateAndUpdateLink(Reading(0, 2, "$EXT", "T"), "T", -1, "");
    EXPECT_EQ(HM::GetLink(b)->Techno, MML_LINK_BOTH) << "LINK.TECHNO " << techno;
    EXPECT_EQ(HM::GetLink(b)->Table(), "$EXT") << "the entity-first link now reads $EXT";
    EXPECT_EQ(HM::GetNbLinks(), 2);
  }
}

// Without LINK.TECHNO a stale reading wins in either order; with it, the
// entity reading decides.
TEST_F(HybridCacheTest, AStaleReadingWinsUnlessTheEntityReadingDecides) {
  for (int techno : {0, 1}) {
    HM::ResetState();
    Snapshot(techno);
    Entities(1, 3);
    // "$EXT" stale, then the entity reading in step.
    int a = HM::LocateAndUpdateLink(Reading(0, 1, "$EXT", "A"), "C", -1, "");
    HM::LocateAndUpdateLink(Reading(0, 1, "MML_LINK", "B"), "B", -1, "");
    EXPECT_EQ(HM::GetLink(a)->UpToDate, techno);
    // The entity reading in step first, then "$EXT" stale.
    int b = HM::LocateAndUpdateLink(Reading(0, 2, "MML_LINK", "B"), "B", -1, "");
    HM::LocateAndUpdateLink(Reading(0, 2, "$EXT", "A"), "C", -1, "");
    EXPECT_EQ(HM::GetLink(b)->UpToDate, techno);
  }
  // The date of the first reading is kept; once read from both tables, a
  // further stale entity reading clears the link.
  EXPECT_EQ(HM::GetLink(0)->Timestamp.str(), "A");
  HM::LocateAndUpdateLink(Reading(0, 2, "MML_LINK", "X"), "Y", -1, "");
  EXPECT_EQ(HM::GetLink(1)->UpToDate, 0);
}

TEST_F(HybridCacheTest, TheLaterTimestampStaysAndTypesMakeDistinctLinks) {
  Snapshot(0);
  Entities(1, 2);
  int a = HM::LocateAndUpdateLink(Reading(0, 1, "$EXT", "A"), "A", -1, "");
  HM::LocateAndUpdateLink(Reading(0, 1, "$EXT", "B"), "A", -1, "");
  EXPECT_EQ(HM::GetLink(a)->Timestamp.str(), "B");
  HM::LocateAndUpdateLink(Reading(0, 1, "$EXT", "A"), "A", -1, "");
  EXPECT_EQ(HM::GetLink(a)->Timestamp.str(), "B");
  int other = HM::LocateAndUpdateLink(Reading(0, 1, "$EXT", "A", "KELMMDRW"), "A", -1, "");
  EXPECT_NE(other, a);
  // The reverse direction is another link too.
  EXPECT_NE(HM::LocateAndUpdateLink(Reading(1, 0, "$EXT", "A"), "A", -1, ""), a);
  EXPECT_EQ(HM::GetNbLinks(), 3);
}

TEST_F(HybridCacheTest, AFatherWithManyLinksFindsEachAgainBeforeAndAfterItsChainIsIndexed) {
  Snapshot(0);
  Entities(1, 30);
  std::vector<int> made;
  for (int child = 1; child < 30; ++child) {
    made.push_back(HM::LocateAndUpdateLink(Reading(0, child, "$EXT", "A"), "A", -1, ""));
    // Every link of the father so far is found again, none is made twice.
    for (int k = 0; k < child; ++k)
      ASSERT_EQ(HM::LocateAndUpdateLink(Reading(0, k + 1, "$EXT", "A"), "A", -1, ""), made[k]) << child;
    ASSERT_EQ(HM::GetNbLinks(), child);
  }
  // Another type from the same father to the same child is another link.
  EXPECT_EQ(HM::LocateAndUpdateLink(Reading(0, 20, "$EXT", "A", "KELMMDRW"), "A", -1, ""), 29);
}

TEST_F(HybridCacheTest, V5LinksFollowTheServiceStatusOrTheValidity) {
  // New code: the service's status decides, and can only clear.
  Snapshot(1, /*newV5=*/1);
  Entities(1, 3);
  int a = HM::LocateAndUpdateLink(Reading(0, 1, "QOR_LINK", "X"), "Y", -1, "OK");
  EXPECT_EQ(HM::GetLink(a)->UpToDate, 1);
  HM::LocateAndUpdateLink(Reading(0, 1, "QOR_LINK", "X"), "X", -1, "OLD");
  EXPECT_EQ(HM::GetLink(a)->UpToDate, 0);
  HM::LocateAndUpdateLink(Reading(0, 1, "QOR_LINK", "X"), "X", -1, "OK");
  EXPECT_EQ(HM::GetLink(a)->UpToDate, 0);

  // Old code with release validity: reference links compare dates; instance
  // links accept a missing date, refuse "0" and refuse an invalid instance.
  HM::ResetState();
  Snapshot(0, 0, /*releaseValidity=*/1);
  Entities(0, 5);
  EXPECT_EQ(HM::GetLink(HM::LocateAndUpdateLink(Reading(0, 1, "QOR_LINK", ""), "T", -1, ""))->UpToDate, 0);
  EXPECT_EQ(HM::GetLink(HM::LocateAndUpdateLink(Reading(0, 2, "QOR_LINK", ""), "T", 0, ""))->UpToDate, 1);
  EXPECT_EQ(HM::GetLink(HM::LocateAndUpdateLink(Reading(0, 3, "QOR_LINK", "0"), "T", 0, ""))->UpToDate, 0);
  EXPECT_EQ(HM::GetLink(HM::LocateAndUpdateLink(Reading(0, 4, "QOR_LINK", "T"), "T", 0, ""))->UpToDate, 1);
  EXPECT_EQ(HM::GetLink(HM::LocateAndUpdateLink(Reading(0, 5, "QOR_LINK", "T"), "T", 1, ""))->UpToDate, 0);
}

}  // namespace

namespace {

// A column's memo gives the numbers of the names' own table, whether the
// texts repeat, alternate or outnumber what it remembers.
TEST_F(HybridCacheTest, ColumnMemoNumbersAsTheNamesDo) {
  const std::vector<std::vector<std::string>> columns = {
      {"A", "A", "", "A", ""},
      {"T1", "T2", "T1", "T2", "T3"},
      {"P1", "P2", "P3", "P4", "P5", "P6", "P1", "P6", "P2", "P5", ""},
  };
  for (const auto& texts : columns) {
    KelLnkNameMemo memo;
    for (const std::string& text : texts) EXPECT_EQ(memo.Number(text), HM::Names::Number(text)) << text;
  }
}

}  // namespace
