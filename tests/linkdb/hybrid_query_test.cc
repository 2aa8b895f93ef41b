// The children and parents queries on a real database (SQLite and
// PostgreSQL): the three readings of one link merge into one cached link,
// entity links reach the owning model or a placeholder with the entity's
// UUID, answers are sorted by name with ties in cache order, each object is
// read once per direction, the link-type pattern, environments without link
// tables, and the model filter with its cache.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/kel_dm_session.h"
#include "linkdb/hybrid_answer.h"
#include "linkdb/kel_lnk_data_manager.h"
#include "linkdb/kel_lnk_hybrid_manager.h"
#include "support/product.h"
#include "ui/kel_lnk_main_window.h"

namespace {

using namespace hybrid_test;

// Objects are numbered: coid n, compid 0x100 + n.
std::string ModelRow(const std::string& env, int n, const std::string& name, const std::string& lastmod,
                     const std::string& table = "TOVRA_MODEL") {
  return "INSERT INTO $VS_" + env + "." + table + " ($COID, $COMPID, C_ID, C_REVISION, C_LASTMOD) VALUES (X'" + Hex(n) +
         "', X'" + Hex(0x100 + n) + "', '" + name + "', 'A', '" + lastmod + "');\n";
}
std::string ExtRow(const std::string& env, int father, int child, const std::string& childEnv, const std::string& type,
                   const std::string& ts, int row) {
  std::string tsValue = ts.empty() ? "NULL" : "'" + ts + "'";
  return "INSERT INTO $VS_" + env +
         ".$EXT ($COID, $COMPID, $COMPNAME_FATHER, $COMPID_FATHER, $COMPNAME, $COID_REF, $COMPID_REF, $TYPE, "
         "C_MML_TS, KELMML_STATUS) VALUES (X'" +
         Hex(father) + "', X'" + Hex(0x9000 + row) + "', 'TOVRA_MODEL', X'" + Hex(0x100 + father) + "', '" + childEnv +
         ".TOVRA_MODEL  ', X'" + Hex(child) + "', X'" + Hex(0x100 + child) + "', '" + type + "', " + tsValue +
         ", 'TOK');\n";
}
// Entity e (ids 0xE000+e, 0xF000+e, key 1) published by object `owner`.
std::string EntityRow(const std::string& env, int owner, int e, const std::string& ts) {
  return "INSERT INTO $VS_" + env +
         ".MML_ENTITY (OBJECT_KELAB, OBJECT_COID, OBJECT_COMPID, ENTITY_ID_1, ENTITY_ID_2, ENTITY_KEY, TS) "
         "VALUES ('TOVRA_MODEL', X'" +
         Hex(owner) + "', X'" + Hex(0x100 + owner) + "', X'" + Hex(0xE000 + e) + "', X'" + Hex(0xF000 + e) +
         "', X'0000000000000001', '" + ts + "');\n";
}
std::string UseRow(const std::string& env, int user, int e, const std::string& type, const std::string& ts) {
  return "INSERT INTO $VS_" + env +
         ".MML_LINK (OBJECT_KELAB, OBJECT_COID, OBJECT_COMPID, ENTITY_ID_1, ENTITY_ID_2, ENTITY_KEY, TS, TYPE, "
         "STATUS) VALUES ('TOVRA_MODEL', X'" +
         Hex(user) + "', X'" + Hex(0x100 + user) + "', X'" + Hex(0xE000 + e) + "', X'" + Hex(0xF000 + e) +
         "', X'0000000000000001', '" + ts + "', '" + type + "', 'TOK');\n";
}
std::string Uuid(int e) { return Hex(0xE000 + e) + Hex(0xF000 + e); }

HM::Entity Model(const std::string& env, int n) { return HM::Entity(env, "TOVRA_MODEL", Id(n), Id(0x100 + n)); }

class HybridQueryTest : public EngineTest {
 protected:
  ModuleStateGuard module_;
  void Snapshot(int entityMode, int linkTechno = 0, int noSort = 0, int linkType = 0) {
    HM::Declarations d;
    d.entityToEntity = entityMode;
    d.linkTechno = linkTechno;
    d.noSortName = noSort;
    d.linkType = linkType;
    HM::SetDeclarationsForTest(d);
  }
  // Statements run on the main connection while `fn` runs.
  template <typename Fn>
  std::vector<std::string> Statements(Fn fn) {
    std::vector<std::string> seen;
    db().Main()->SetStatementObserver([&](std::string_view sql) { seen.emplace_back(sql); });
    fn();
    db().Main()->SetStatementObserver(nullptr);
    return seen;
  }
};

TEST_P(HybridQueryTest, OneLinkFromBothTablesWithTheEntityUuidOnTheOwner) {
  db().Init({"E1:objects,links,entities"});
  db().Exec(ModelRow("E1", 1, "ROOT", "2024-01-01 00:00:00.123456") +
            ModelRow("E1", 2, "CHILD", "2024-02-01 08:00:00.654321") +
            ExtRow("E1", 1, 2, "E1", "KELMMSOL", "2024-02-01 08:00:00.999999", 1) +
            EntityRow("E1", 2, 1, "2024-03-01 00:00:00") + UseRow("E1", 1, 1, "KELMMSOL", "2024-03-01 00:00:00.5"));
  Snapshot(1, 1);
  Answer a = Ask(true, Model("E1", 1));
  ASSERT_EQ(a.links.size(), 1u);
  const HM::Link& link = *a.links[0];
  EXPECT_EQ(link.Techno, MML_LINK_BOTH);
  EXPECT_EQ(link.Table(), "$EXT");
  EXPECT_EQ(link.UpToDate, 1);
  EXPECT_EQ(link.Timestamp.str(), "2024-02-01 08:00:00.000000");
  EXPECT_EQ(link.Env(), "E1");
  EXPECT_EQ(link.Coid, Id(1));
  EXPECT_EQ(link.Status(), "TOK");
  EXPECT_EQ(a.ends[0]->kelab(), "TOVRA_MODEL");  // "$COMPNAME" table right-trimmed
  EXPECT_EQ(a.ends[0]->Uuids(), KelListValKelUnicodeString{Uuid(1)});

  // The same link from the child's side is the same cached link.
  Answer p = Ask(false, Model("E1", 2));
  ASSERT_EQ(p.links.size(), 1u);
  EXPECT_EQ(p.links[0], a.links[0]);
  EXPECT_EQ(HM::GetNbLinks(), 1);
}

TEST_P(HybridQueryTest, EntityWithoutAcceptedOwnerGivesAPlaceholderChildCarryingTheUuid) {
  db().Init({"E1:objects,links,entities", "E2:objects,entities"});
  db().Exec(ModelRow("E1", 1, "ROOT", "2024-01-01 00:00:00") + UseRow("E1", 1, 7, "KELMMPIC", "2024-01-01 00:00:00") +
            UseRow("E1", 1, 8, "KELMMPIC", "2024-01-01 00:00:00") +
            // entity 9 is owned by a dead row only
            "INSERT INTO $VS_E2.MML_ENTITY (OBJECT_KELAB, OBJECT_COID, OBJECT_COMPID, ENTITY_ID_1, ENTITY_ID_2, "
            "ENTITY_KEY, TS, UBIT) VALUES ('TOVRA_MODEL', X'" +
            Hex(5) + "', X'" + Hex(0x105) + "', X'" + Hex(0xE009) + "', X'" + Hex(0xF009) +
            "', X'0000000000000001', '2024-01-01 00:00:00', 1);\n" +
            UseRow("E1", 1, 9, "KELMMKIN", "2024-01-01 00:00:00"));
  Snapshot(1);
  Answer a = Ask(true, Model("E1", 1));
  // Two unresolved entities of one type share one placeholder link; the other type is its own.
  ASSERT_EQ(a.links.size(), 2u);
  for (auto* end : a.ends) {
    EXPECT_EQ(end->coid.Hex(), "3030303030303030");
    EXPECT_EQ(end->compid.Hex(), "3030303030303030");
    EXPECT_EQ(end->caenv(), "E1");
    EXPECT_EQ(end->kelab(), "TOVRA_MODEL");
  }
  EXPECT_EQ(a.ends[0], a.ends[1]);
  const HM::Link* pic = a.links[0]->Type() == "KELMMPIC" ? a.links[0] : a.links[1];
  const HM::Link* kin = a.links[0]->Type() == "KELMMKIN" ? a.links[0] : a.links[1];
  EXPECT_EQ(pic->Uuids(), (KelListValKelUnicodeString{Uuid(7), Uuid(8)}));
  EXPECT_EQ(kin->Uuids(), KelListValKelUnicodeString{Uuid(9)});
  EXPECT_EQ(pic->Techno, MML_LINK_ENTITY);
  EXPECT_EQ(pic->UpToDate, 0);  // no child date to compare with
}

TEST_P(HybridQueryTest, ParentsThroughEntitiesRecordTheUsersLinkRow) {
  db().Init({"E1:objects,links,entities", "E2:objects,entities"});
  db().Exec(ModelRow("E1", 1, "OWNER", "2024-01-01 00:00:00") + EntityRow("E1", 1, 1, "2024-01-05 00:00:00") +
            ModelRow("E2", 3, "USER", "2024-01-01 00:00:00") + UseRow("E2", 3, 1, "KELMMSOL", "2024-01-04 00:00:00"));
  Snapshot(1);
  Answer p = Ask(false, Model("E1", 1));
  ASSERT_EQ(p.links.size(), 1u);
  const HM::Link& link = *p.links[0];
  EXPECT_EQ(p.ends[0]->caenv(), "E2");
  EXPECT_EQ(p.ends[0]->Uuids(), KelListValKelUnicodeString{Uuid(1)});
  EXPECT_EQ(link.Env(), "E2");
  EXPECT_EQ(link.Coid, Id(3));
  EXPECT_EQ(link.Compid, Id(0x103));
  EXPECT_EQ(link.UpToDate, 0);
  // Read from the user's side, the link is the same cached one.
  Answer c = Ask(true, Model("E2", 3));
  ASSERT_EQ(c.links.size(), 1u);
  EXPECT_EQ(c.links[0], p.links[0]);
}

TEST_P(HybridQueryTest, AnswersAreSortedByNameWithTiesInCacheOrder) {
  db().Init({"E1:objects,links"});
  // Rows (and so links) in the order B (2), A (4), A (3).
  db().Exec(ModelRow("E1", 1, "ROOT", "2024-01-01 00:00:00") + ModelRow("E1", 2, "B", "2024-01-01 00:00:00") +
            ModelRow("E1", 3, "A", "2024-01-01 00:00:00") + ModelRow("E1", 4, "A", "2024-01-01 00:00:00") +
            ExtRow("E1", 1, 2, "E1", "KELMMSOL", "", 1));
  db().Exec(ExtRow("E1", 1, 4, "E1", "KELMMSOL", "", 2));
  db().Exec(ExtRow("E1", 1, 3, "E1", "KELMMSOL", "", 3));
  Snapshot(0);
  Answer sorted = Ask(true, Model("E1", 1));
  std::vector<int> cacheOrder;
  for (int k = 0; k < HM::GetNbLinks(); ++k)
    cacheOrder.push_back(Answer{{}, {HM::GetEntity(HM::GetLink(k)->ChildIndex)}}.endCoids()[0]);
  ASSERT_EQ(cacheOrder, (std::vector<int>{2, 4, 3}));
  EXPECT_EQ(sorted.endCoids(), (std::vector<int>{4, 3, 2}));
  EXPECT_EQ(HM::GetLink(0)->Timestamp.str(), "");  // an empty date stays empty

  HM::ResetState();
  Snapshot(0, 0, /*noSort=*/1);
  EXPECT_EQ(Ask(true, Model("E1", 1)).endCoids(), (std::vector<int>{2, 4, 3}));
}

TEST_P(HybridQueryTest, EachObjectIsReadOncePerDirection) {
  db().Init({"E1:objects,links,entities"});
  db().Exec(ModelRow("E1", 1, "ROOT", "2024-01-01 00:00:00") + ModelRow("E1", 2, "X", "2024-01-01 00:00:00") +
            ModelRow("E1", 3, "Y", "2024-01-01 00:00:00") + ExtRow("E1", 1, 2, "E1", "KELMMSOL", "", 1) +
            ExtRow("E1", 3, 1, "E1", "KELMMSOL", "", 2));
  Snapshot(1);
  Answer first = Ask(true, Model("E1", 1));
  ASSERT_EQ(first.links.size(), 1u);
  // A parent query of another object adds a link held by the root.
  db().Exec(ExtRow("E1", 1, 3, "E1", "KELMMDRW", "", 3));
  Ask(false, Model("E1", 3));
  std::vector<std::string> seen = Statements([&] {
    Answer again = Ask(true, Model("E1", 1));
    EXPECT_EQ(again.links.size(), 2u);
    EXPECT_EQ(again.links[0], first.links[0]);  // "X" before "Y"
    EXPECT_EQ(again.links[1]->Type(), "KELMMDRW");
  });
  // At most the new object's name is read; no link table is queried again.
  for (const auto& sql : seen) {
    EXPECT_EQ(sql.find("$EXT"), std::string::npos) << sql;
    EXPECT_EQ(sql.find("MML_"), std::string::npos) << sql;
  }
}

TEST_P(HybridQueryTest, AWalkReadsTheObjectsItReachedTogetherAndForgetsThemAtUncache) {
  db().Init({"E1:objects,links,entities", "E2:objects,entities"});
  // 1 -> 2, 3 ($EXT); 2 -> 4 ($EXT); 3 -> 5 (entity of 5, in E2).
  std::string rows;
  for (int n = 1; n <= 6; ++n) {
    std::string name = "M";
    name += static_cast<char>('0' + n);
    rows += ModelRow(n == 5 ? "E2" : "E1", n, name, "2024-01-01 00:00:00");
  }
  db().Exec(rows + ExtRow("E1", 1, 2, "E1", "KELMMSOL", "", 1) + ExtRow("E1", 1, 3, "E1", "KELMMSOL", "", 2) +
            ExtRow("E1", 2, 4, "E1", "KELMMDRW", "", 3) + EntityRow("E2", 5, 1, "2024-01-01 00:00:00") +
            UseRow("E1", 3, 1, "KELMMKIN", "2024-01-01 00:00:00"));
  Snapshot(1);
  EXPECT_EQ(Ask(true, Model("E1", 1)).endCoids(), (std::vector<int>{2, 3}));
  // Asking for 2 reads 3 with it: 3 then needs no statement at all, neither
  // for its links nor for the names and dates of what they reach.
  EXPECT_EQ(Ask(true, Model("E1", 2)).endCoids(), (std::vector<int>{4}));
  std::vector<std::string> seen = Statements([&] {
    Answer a = Ask(true, Model("E1", 3));
    ASSERT_EQ(a.endCoids(), (std::vector<int>{5}));
    EXPECT_EQ(a.ends[0]->caenv(), "E2");
    EXPECT_EQ(a.links[0]->UpToDate, 1);
  });
  EXPECT_TRUE(seen.empty()) << seen.front();
  EXPECT_EQ(KelLnkDataManager::GetObjectName("E2", "TOVRA_MODEL", Id(5), Id(0x105)), "M5 ** A");

  // Rows read ahead belong to the caches they were read for: after a clear,
  // the cache indices are reused and the database may have changed.
  HM::UncacheDatabase();
  EXPECT_EQ(Ask(true, Model("E1", 1)).endCoids(), (std::vector<int>{2, 3}));
  EXPECT_EQ(Ask(true, Model("E1", 2)).endCoids(), (std::vector<int>{4}));  // 3 read ahead
  db().Exec(ExtRow("E1", 3, 6, "E1", "KELMMSOL", "", 4));
  HM::UncacheDatabase();
  EXPECT_EQ(Ask(true, Model("E1", 3)).endCoids(), (std::vector<int>{5, 6}));
}

TEST_P(HybridQueryTest, LinkTypePatternComesFromTheWindowOnlyWhenAsked) {
  db().Init({"E1:objects,links"});
  db().Exec(ModelRow("E1", 1, "ROOT", "2024-01-01 00:00:00") + ModelRow("E1", 2, "X", "2024-01-01 00:00:00") +
            ModelRow("E1", 3, "Y", "2024-01-01 00:00:00") + ExtRow("E1", 1, 2, "E1", "KELMMSOL", "", 1) +
            ExtRow("E1", 1, 3, "E1", "KELMMDRW", "", 2));
  KelLnkMainWindow window(nullptr, nullptr, 0, nullptr, nullptr, nullptr);
  window.SetLinktype("SOL");

  // The window's type applies only under LINK.TYPE, in both directions.
  Snapshot(0, 0, 0, /*linkType=*/1);
  EXPECT_EQ(Ask(true, Model("E1", 1), &window).links.size(), 1u);
  HM::ResetState();
  Snapshot(0, 0, 0, 1);
  EXPECT_EQ(Ask(true, Model("E1", 1)).links.size(), 2u);
  HM::ResetState();
  Snapshot(0);
  EXPECT_EQ(Ask(true, Model("E1", 1), &window).links.size(), 2u);

  // A quote in the window's type cannot break out of the pattern.
  HM::ResetState();
  Snapshot(0, 0, 0, 1);
  window.SetLinktype("S'OL");
  EXPECT_EQ(Ask(true, Model("E1", 1), &window).links.size(), 0u);
}

TEST_P(HybridQueryTest, AnEnvironmentWithoutLinkTablesStillGetsTheEntityQuery) {
  db().Init({"E1:objects,links,entities", "E3:objects,entities"});
  db().Exec(ModelRow("E3", 1, "ROOT", "2024-01-01 00:00:00") + ModelRow("E1", 2, "OWNER", "2024-01-01 00:00:00") +
            EntityRow("E1", 2, 1, "2024-01-02 00:00:00") + UseRow("E3", 1, 1, "KELMMSOL", "2024-01-02 00:00:00") +
            // a $EXT row naming the E3 object as father, in E1: never read for E3's children
            ExtRow("E1", 1, 2, "E1", "KELMMSOL", "", 1));
  Snapshot(1);
  std::vector<std::string> seen = Statements([&] {
    Answer a = Ask(true, Model("E3", 1));
    ASSERT_EQ(a.links.size(), 1u);
    EXPECT_EQ(a.links[0]->Table(), "MML_LINK");
    EXPECT_EQ(a.links[0]->UpToDate, 1);
  });
  // E3 has no link table to read; the owner in E1 may be read ahead.
  for (const auto& sql : seen) EXPECT_EQ(sql.find("$VS_E3.$EXT"), std::string::npos) << sql;
}

TEST_P(HybridQueryTest, ModelFilterVerdictsAreCachedPerObject) {
  db().Init({"E1:objects"});
  auto revision = [&](int n, int rank, const std::string& maturity) {
    return "INSERT INTO $VS_E1.TOVRA_MODEL ($COID, $COMPID, C_ID, C_REVISION, C_FAMILY, C_REVISION_RANK, "
           "C_MATURITY) VALUES (X'" +
           Hex(n) + "', X'" + Hex(0x100 + n) + "', 'M', '" + std::to_string(rank) + "', X'00000000000000FF', " +
           std::to_string(rank) + ", " + maturity + ");\n";
  };
  // Revisions 1 (maturity 5), 2 (maturity 2), 3 (no maturity).
  db().Exec(revision(1, 1, "5") + revision(2, 2, "2") + revision(3, 3, "NULL"));
  auto inst = [](int n) { return KelDMInstance("KELCON", "E1", "TOVRA_MODEL", Id(n), Id(0x100 + n)); };

  HM::Declarations d;
  d.filterRevision = 1;
  HM::SetDeclarationsForTest(d);
  EXPECT_EQ(HM::FilterModel(inst(1)), 0);
  EXPECT_EQ(HM::FilterModel(inst(3)), 1);
  const uint64_t before = db().Main()->StatementCount();
  EXPECT_EQ(HM::FilterModel(inst(1)), 0);
  EXPECT_EQ(db().Main()->StatementCount(), before);  // answered from the cache
  EXPECT_EQ(HM::FilterVerdicts(), (KelRawCollint{0, 1}));
  // Same compid with another coid is another object.
  KelDMInstance other("KELCON", "E1", "TOVRA_MODEL", Id(77), Id(0x101));
  EXPECT_EQ(HM::FilterModel(other), 1);
  EXPECT_EQ(HM::FilterVerdicts().size(), 3u);

  // Maturity minimum 3, no maturity allowed: 5 and NULL pass, 2 fails.
  d = HM::Declarations();
  d.filterMaturity = 1;
  d.filterMaturityMin = 3;
  d.filterMaturityNullOK = 1;
  HM::ResetState();
  HM::SetDeclarationsForTest(d);
  EXPECT_EQ(HM::ComputeFilterModel(inst(1)), 1);
  EXPECT_EQ(HM::ComputeFilterModel(inst(2)), 0);
  EXPECT_EQ(HM::ComputeFilterModel(inst(3)), 1);
  d.filterMaturityNullOK = 0;
  HM::SetDeclarationsForTest(d);
  EXPECT_EQ(HM::ComputeFilterModel(inst(3)), 0);
  d.filterMaturityMin = 2;
  HM::SetDeclarationsForTest(d);
  EXPECT_EQ(HM::ComputeFilterModel(inst(2)), 1);
}

TEST_P(HybridQueryTest, RejectedChildrenAreLeftOut) {
  db().Init({"E1:objects,links"});
  db().Exec(ModelRow("E1", 1, "ROOT", "2024-01-01 00:00:00") +
            "INSERT INTO $VS_E1.TOVRA_MODEL ($COID, $COMPID, C_ID, C_REVISION, C_MATURITY) VALUES (X'" + Hex(2) +
            "', X'" + Hex(0x102) + "', 'LOW', 'A', 1);\n" + ModelRow("E1", 3, "OK", "2024-01-01 00:00:00") +
            ExtRow("E1", 1, 2, "E1", "KELMMSOL", "", 1) + ExtRow("E1", 1, 3, "E1", "KELMMSOL", "", 2));
  HM::Declarations d;
  d.filterMaturity = 1;
  d.filterMaturityMin = 1;
  HM::SetDeclarationsForTest(d);
  // Object 3 has no maturity (reads 0) and null is not allowed: rejected too.
  EXPECT_EQ(Ask(true, Model("E1", 1)).endCoids(), (std::vector<int>{2}));
}

MML_INSTANTIATE_ENGINES(HybridQueryTest);

}  // namespace
