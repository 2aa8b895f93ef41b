// V5 links in the link database, on SQLite and PostgreSQL: their orientation
// in both directions, their type, table and owner name, the service's status
// as up-to-date flag, vanished elements left out, the older queries, and the
// `mml children` command that prints the answers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/kel_dm_session.h"
#include "host/kel_zumo_instance.h"
#include "host/profile/kel_dm_profile.h"
#include "linkdb/hybrid_answer.h"
#include "linkdb/kel_lnk_data_manager.h"
#include "linkdb/kel_lnk_hybrid_manager.h"
#include "support/product.h"

namespace {

using namespace hybrid_test;
using product_rows::QorEntity;
using product_rows::QorLink;
using product_rows::QorTs;

HM::Entity Object(int n) { return HM::Entity("E1", "TOVRA_MODEL", Id(n), Id(0x100 + n)); }

std::string ModelRow(int n, const std::string& name) {
  return "INSERT INTO $VS_E1.TOVRA_MODEL ($COID, $COMPID, C_ID, C_REVISION, C_LASTMOD) VALUES (X'" + Hex(n) + "', X'" +
         Hex(0x100 + n) + "', '" + name + "', 'A', '2024-01-01 00:00:00');\n";
}
const char kProfile[] = "QORAdmin.QOR_ADMINISTRATOR = QORADM\n";

class HybridV5Test : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    module_.UseProfile(kProfile);
    db().Init({"E1:objects,links", "PRODUCT:v5"});
    // Model 2 publishes U2 and its face U2F; model 1 holds two V5 links to
    // them (the face changed since) and one to an element that is gone.
    db().Exec(ModelRow(1, "ONE") + ModelRow(2, "TWO") + ModelRow(3, "THREE") + QorEntity("U2", "U2", 2) +
              QorEntity("U2F", "U2", 2) + QorTs("U2", "2024-01-01 10:00:00") + QorTs("U2F", "2024-02-01 10:00:00") +
              QorLink(1, 1, "KELPart", "U2", 2, "2024-01-01 10:00:00") +
              QorLink(2, 1, "KELDrawing", "U2F", 2, "2024-01-15 00:00:00") +
              QorLink(3, 1, "KELPart", "GONE", 8, "2024-01-01 00:00:00"));
  }
  void Snapshot(int newCode) {
    HM::Declarations d;
    d.mmlV5 = 1;
    d.newMMLV5 = newCode;
    HM::SetDeclarationsForTest(d);
  }
  ModuleStateGuard module_;
};

TEST_P(HybridV5Test, ChildrenPointFromTheExpandedObjectWithTheServiceVerdict) {
  Snapshot(1);
  Answer a = Ask(true, Object(1));
  ASSERT_EQ(a.links.size(), 2u);  // the vanished element is left out
  for (size_t k = 0; k < 2; ++k) {
    const HM::Link& link = *a.links[k];
    EXPECT_EQ(link.Table(), "QOR_LINK");
    EXPECT_EQ(link.Env(), "QORADM");
    EXPECT_EQ(link.Techno, MML_LINK_KELV5);
    EXPECT_EQ(link.FatherIndex, HM::LocateEntity(Object(1), 0));
    EXPECT_EQ(link.ChildIndex, HM::LocateEntity(Object(2), 0));
    EXPECT_EQ(link.Timestamp.str(), "2024-05-05 05:05:05.000000");
    EXPECT_EQ(a.ends[k]->compid, Id(0x102));
  }
  const HM::Link* part = a.links[0]->Type() == "V5_KELPart" ? a.links[0] : a.links[1];
  const HM::Link* drawing = a.links[0]->Type() == "V5_KELDrawing" ? a.links[0] : a.links[1];
  EXPECT_EQ(part->UpToDate, 1);
  EXPECT_EQ(drawing->UpToDate, 0);
}

TEST_P(HybridV5Test, ParentsPointToTheExpandedObjectAndMeetTheSameLinks) {
  Snapshot(1);
  Answer p = Ask(false, Object(2));
  ASSERT_EQ(p.links.size(), 2u);
  for (size_t k = 0; k < 2; ++k) {
    EXPECT_EQ(p.links[k]->ChildIndex, HM::LocateEntity(Object(2), 0));
    EXPECT_EQ(p.links[k]->FatherIndex, HM::LocateEntity(Object(1), 0));
    EXPECT_EQ(p.links[k]->Coid, Id(2));  // the expanded object's identifiers
  }
  // Read from the father's side, the links are the cached ones.
  Answer c = Ask(true, Object(1));
  ASSERT_EQ(c.links.size(), 2u);
  EXPECT_TRUE(c.links[0] == p.links[0] || c.links[0] == p.links[1]);
  EXPECT_EQ(HM::GetNbLinks(), 2);
}

// Inside a product: part P (E1.PART_LIST 0x50) uses part Q under instance
// 0xA1, and model 2 represents Q. Model 1, placed in P, holds two instance
// links to U2: one along the product structure, one along an instance that
// is not in it. The first child keeps its product instance; the second's
// cannot be fully defined and is dropped (the link stays).
TEST_P(HybridV5Test, ChildrenInsideAProductKeepOnlyDefinableProductInstances) {
  db().Init({"E1:objects,psn"});
  auto part = [](int n) {
    return "INSERT INTO $VS_E1.PART_LIST ($COID, $COMPID, C_ID) VALUES (X'" + Hex(n) + "', X'" + Hex(0x100 + n) +
           "', 'P');\n";
  };
  auto instanceLink = [](int row, int oid) {
    return "INSERT INTO $VS_PRODUCT.QOR_LINK ($COID, $COMPID, $COMPNAME_FATHER, $COMPID_FATHER, $TYPE, $UID_PTD, "
           "$OID_PTD, $COMPNAME_PTD_REF, $COID_PTD_REF, $COMPID_PTD_REF, $COMPNAME_PTD_ROOT, $COID_PTD_ROOT, "
           "$TIMESTAMP_PTD, C_MML_TS) VALUES (X'" +
           Hex(1) + "', X'" + Hex(0x7000 + row) + "', 'E1.TOVRA_MODEL', X'" + Hex(0x101) + "', 'KELInst" +
           std::to_string(row) + "', 'U2', '" + Hex(oid) + "', 'E1.TOVRA_MODEL', X'" + Hex(2) + "', X'" + Hex(0x102) +
           "', 'E1.PART_LIST', X'" + Hex(0x50) + "', '2024-01-01 10:00:00', '2024-05-05 05:05:05');\n";
  };
  db().Exec(part(0x50) + part(0x51) +
            "INSERT INTO $VS_E1.PSN_INSTANCE ($OID, $COID_FATHER, $COMPID_FATHER, $COMPNAME_CHILD, $COID_CHILD, "
            "$COMPID_CHILD) VALUES (X'" +
            Hex(0xA1) + "', X'" + Hex(0x50) + "', X'" + Hex(0x150) + "', 'E1.PART_LIST', X'" + Hex(0x51) + "', X'" +
            Hex(0x151) + "');\n" +
            "INSERT INTO $VS_E1.PSN_REP ($COID_PART, $COMPID_PART, $COMPNAME_REP, $COID_REP, $COMPID_REP) VALUES (X'" +
            Hex(0x51) + "', X'" + Hex(0x151) + "', 'E1.TOVRA_MODEL', X'" + Hex(2) + "', X'" + Hex(0x102) + "');\n" +
            instanceLink(4, 0xA1) + instanceLink(5, 0xA9));
  Snapshot(1);
  const KelDMInstance top("KELCON", "E1", "PART_LIST", Id(0x50), Id(0x150));
  KelZumoInstance placed(top, std::vector<KelId>{});
  Answer a = Ask(true, HM::Entity("E1", "TOVRA_MODEL", Id(1), Id(0x101), &placed));
  std::vector<std::string> kept, dropped;
  for (size_t k = 0; k < a.links.size(); ++k) {
    const KelZumoInstance* zumo = a.ends[k]->ZumoInstance();
    (zumo ? kept : dropped).push_back(a.links[k]->Type());
    if (zumo) {
      EXPECT_EQ(zumo->GetPath(), std::vector<KelId>{Id(0xA1)});
      EXPECT_EQ(zumo->GetRepCompid(), Id(0x102));
    }
  }
  EXPECT_EQ(kept, std::vector<std::string>{"V5_KELInst4"});
  EXPECT_EQ(dropped.size(), 3u);  // the two reference links and the undefinable instance
}

TEST_P(HybridV5Test, OlderQueriesFindTheSameLinksWithoutTheService) {
  Snapshot(0);
  testing::internal::CaptureStdout();
  Answer a = Ask(true, Object(1));
  Answer p = Ask(false, Object(2));
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find(" WARNING > Old code for MML V5 in Impacted By mode < WARNING \n"), std::string::npos);
  EXPECT_NE(out.find(" WARNING > Old code for MML V5 in Impacts On mode < WARNING \n"), std::string::npos);
  ASSERT_EQ(a.links.size(), 2u);
  ASSERT_EQ(p.links.size(), 2u);
  // Old code: the element date recorded with the link against the current one.
  for (auto* link : a.links) {
    EXPECT_EQ(link->Techno, MML_LINK_KELV5);
    EXPECT_EQ(link->UpToDate, link->Type() == "V5_KELPart" ? 1 : 0) << link->Type();
  }
}

TEST_P(HybridV5Test, ChildrenCommandPrintsOneTabSeparatedLinePerLink) {
  TempDir dir;
  WriteFileText(dir.File("p.profile"),
                "KELZUMO.QOR.MML.TOVRA_V5 = TRUE\nKELZUMO.QOR.MML.TOVRA_V5_NEW_CODE_MML = TRUE\n"
                "KELZUMO.QOR.MML.NO_SORT_NAME = TRUE\n" +
                    std::string(kProfile));
  db().Exec(
      "INSERT INTO $VS_E1.$EXT ($COID, $COMPID, $COMPNAME_FATHER, $COMPID_FATHER, $COMPNAME, $COID_REF, "
      "$COMPID_REF, $TYPE, C_MML_TS, KELMML_STATUS) VALUES (X'" +
      Hex(1) + "', X'" + Hex(0x9001) + "', 'TOVRA_MODEL', X'" + Hex(0x101) + "', 'E1.TOVRA_MODEL', X'" + Hex(3) +
      "', X'" + Hex(0x103) + "', 'KELMMSOL', '2024-01-01 00:00:00.25', 'TOK');");
  MmlRun run = RunMml(
      {"--db", db().Url(), "--profile", dir.File("p.profile"), "children", "E1", "TOVRA_MODEL", Hex(1), Hex(0x101)});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const std::string ids2 = Hex(2) + "\t" + Hex(0x102);
  EXPECT_EQ(run.out, "E1\tTOVRA_MODEL\t" + Hex(3) + "\t" + Hex(0x103) +
                         "\tKELMMSOL\t$EXT\t2024-01-01 00:00:00.000000\tTOK\t1\t1\t\t\n"
                         "E1\tTOVRA_MODEL\t" +
                         ids2 +
                         "\tV5_KELPart\tQOR_LINK\t2024-05-05 05:05:05.000000\t\t1\t4\t\t\n"
                         "E1\tTOVRA_MODEL\t" +
                         ids2 + "\tV5_KELDrawing\tQOR_LINK\t2024-05-05 05:05:05.000000\t\t0\t4\t\t\n");

  MmlRun bad = RunMml({"--db", db().Url(), "children", "E1", "TOVRA_MODEL", "XYZ", Hex(0x101)});
  EXPECT_NE(bad.exitCode, 0);
  EXPECT_EQ(bad.out, "");
  EXPECT_EQ(bad.err, "mml: invalid COID 'XYZ': expected sixteen hexadecimal digits\n");
}

MML_INSTANTIATE_ENGINES(HybridV5Test);

}  // namespace
