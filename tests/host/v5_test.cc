// The V5 product tables and the V5 link service on SQLite and PostgreSQL:
// the tables are created whole, the service describes an object by its
// elements, finds the links it holds and the links that point to its
// elements, and validates each one against the current elements. Also the
// product instances and the product-structure handles it works with.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "host/kel_dm_session.h"
#include "host/kel_psn_node.h"
#include "host/kel_zumo_instance.h"
#include "host/v5/kel_mml_v5.h"
#include "host/v5/kel_mml_v5_schema.h"
#include "support/product.h"

namespace {

using namespace product_rows;

KelId Id(int n) { return KelId::FromHexOrZero(HexId(n)); }

KelDMInstance V5Model(int n) { return KelDMInstance("", "E1", "TOVRA_MODEL", Id(n), Id(0x100 + n)); }

// What the service says of an object, and the impacts it finds from it.
struct Described {
  KelListValKelDMInstance objects, products;
  KelListValKelUnicodeString uids, owners, stamps, compnames;
  KelRawColldouble path;
  KelDMListResultLine Impacts(KelMMLV5& service, int kind, const KelDMInstance& object,
                              const KelRawCollint& flags = {}) const {
    KelDMListResultLine result;
    EXPECT_EQ(0, service.GetImpacts(kind, 1, objects, products, flags, path, uids, owners, stamps, compnames, object,
                                    nullptr, result));
    return result;
  }
};
Described Describe(KelMMLV5& service, const KelDMInstance& object) {
  Described d;
  EXPECT_EQ(
      0, service.GetObjects(d.objects, d.products, d.uids, d.path, d.owners, d.stamps, d.compnames, object, nullptr));
  return d;
}

class V5ServiceTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    db().Init({"E1:objects", "PRODUCT:v5"});
    // Object 2 publishes U2 (itself) and U2F (a face of it); U9 belonged to 9.
    db().Exec(QorEntity("U2", "U2", 2) + QorEntity("U2F", "U2", 2) + QorTs("U2", "2024-01-01 10:00:00.111111") +
              QorTs("U2F", "2024-02-01 10:00:00") + QorLink(1, 1, "KELPart", "U2", 2, "2024-01-01 10:00:00.999999") +
              QorLink(2, 1, "KELDrawing", "U2F", 2, "2024-01-15 00:00:00") +
              QorLink(3, 1, "KELPart", "GONE", 8, "2024-01-01 00:00:00") +
              QorLink(4, 3, "KELPart", "U2", 2, "2024-01-01 10:00:00"));
  }
};

TEST_P(V5ServiceTest, TablesAreCreatedOnceAndBadNamesRefused) {
  std::string error;
  EXPECT_EQ(KelMMLV5CreateTables(db().Main(), "PRODUCT", &error), 0) << error;  // again: left as they are
  EXPECT_EQ(db().Rows("SELECT COUNT(*) FROM $VS_PRODUCT.QOR_LINK")[0][0], "4");
  EXPECT_NE(KelMMLV5CreateTables(db().Main(), "BAD NAME", &error), 0);
  EXPECT_NE(error.find("BAD NAME"), std::string::npos);
  EXPECT_NE(KelMMLV5CreateTables(nullptr, "PRODUCT", &error), 0);
  // A link row needs its element.
  EXPECT_THROW(
      {
        KelDbResult r;
        if (db().Main()->Execute("INSERT INTO $VS_PRODUCT.QOR_LINK ($COID, $COMPID) VALUES (X'00', X'01')", {}, &r) !=
            0)
          throw std::runtime_error("refused");
      },
      std::runtime_error);
}

TEST_P(V5ServiceTest, ChildrenAreTheLinksTheObjectHoldsValidatedAgainstCurrentElements) {
  KelMMLV5 service(db().Main());
  const Described one = Describe(service, V5Model(1));
  EXPECT_TRUE(one.uids.empty());  // object 1 publishes nothing
  EXPECT_EQ(one.compnames, KelListValKelUnicodeString{"E1.TOVRA_MODEL"});
  KelDMListResultLine result = one.Impacts(service, KelMMLV5::kImpactChildren, V5Model(1));
  ASSERT_EQ(result.GetRowCount(), 3);
  EXPECT_EQ(result.Value(1, 1), "KELPart");
  EXPECT_EQ(result.Value(1, 5), "E1      .TOVRA_MODEL");
  EXPECT_EQ(result.Value(1, 6), HexId(2));
  EXPECT_EQ(result.Value(1, 7), HexId(0x102));
  EXPECT_EQ(result.Value(1, 16), "2024-05-05 05:05:05.000000");
  EXPECT_EQ(result.Value(1, 17), "2024-01-01 10:00:00.000000");
  EXPECT_EQ(result.Value(3, 17), "");  // no timestamp for a vanished element

  std::unique_ptr<KelMMLV5::TmpId_[]> ids(new KelMMLV5::TmpId_[3]);
  ASSERT_EQ(service.ValidateImpacts(1, result, ids.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr), 0);
  EXPECT_EQ(result.Value(1, 9), "OK");   // same date to the second
  EXPECT_EQ(result.Value(2, 9), "OLD");  // the face changed since
  EXPECT_EQ(result.Value(3, 5), "KO");
  EXPECT_EQ(ids[0].resolved, 1);
  EXPECT_EQ(ids[0].coid, HexId(2));
  EXPECT_EQ(ids[2].resolved, 0);
  EXPECT_EQ(ids[2].environment, "");
}

TEST_P(V5ServiceTest, AnElementThatMovedIsSolvedToItsNewOwner) {
  db().Exec("UPDATE $VS_PRODUCT.QOR_ENTITY SET $COID = X'" + HexId(6) + "', $COMPID = X'" + HexId(0x106) +
            "' WHERE $UID = 'U2F';");
  KelMMLV5 service(db().Main());
  KelDMListResultLine result;
  ASSERT_EQ(
      service.GetImpacts(KelMMLV5::kImpactChildren, 1, {}, {}, {}, {}, {}, {}, {}, {}, V5Model(1), nullptr, result), 0);
  std::unique_ptr<KelMMLV5::TmpId_[]> ids(new KelMMLV5::TmpId_[result.GetRowCount()]);
  service.ValidateImpacts(3, result, ids.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
  EXPECT_EQ(ids[1].resolved, 0);
  EXPECT_EQ(ids[1].environment, "E1");
  EXPECT_EQ(ids[1].table, "TOVRA_MODEL");
  EXPECT_EQ(ids[1].coid, HexId(6));
  EXPECT_EQ(result.Value(2, 6), HexId(2));  // the row still names the recorded object
}

TEST_P(V5ServiceTest, ParentsAreTheLinksToTheObjectsElements) {
  KelMMLV5 service(db().Main());
  const Described two = Describe(service, V5Model(2));
  EXPECT_EQ(two.uids, (KelListValKelUnicodeString{"U2", "U2F"}));
  EXPECT_EQ(two.owners, (KelListValKelUnicodeString{"U2", "U2"}));
  EXPECT_EQ(two.stamps[1], "2024-02-01 10:00:00.000000");
  KelDMListResultLine result = two.Impacts(service, KelMMLV5::kImpactParents, V5Model(2));
  ASSERT_EQ(result.GetRowCount(), 3);
  // Fathers 1 (KELPart), 3 (KELPart) through U2, then 1 (KELDrawing) through U2F.
  EXPECT_EQ(result.Value(1, 6), HexId(1));
  EXPECT_EQ(result.Value(2, 6), HexId(3));
  EXPECT_EQ(result.Value(3, 1), "KELDrawing");
  EXPECT_EQ(result.Value(3, 7), HexId(0x101));
  EXPECT_EQ(result.Value(1, 14), "0");

  // With flags, only the flagged elements count.
  EXPECT_EQ(two.Impacts(service, KelMMLV5::kImpactParents, V5Model(2), {0, 1}).GetRowCount(), 1);
}

TEST_P(V5ServiceTest, InstanceRowsKeepToTheProductOfTheContext) {
  db().Exec(QorLink(5, 1, "KELPart", "U2", 2, "2024-01-01 10:00:00", HexId(0x51) + HexId(0x52), HexId(0x500)) +
            QorLink(6, 1, "KELPart", "U2", 2, "2024-01-01 10:00:00", HexId(0x61), HexId(0x600)));
  KelMMLV5 service(db().Main());
  KelDMListResultLine all;
  service.GetImpacts(1, 1, {}, {}, {}, {}, {}, {}, {}, {}, V5Model(1), nullptr, all);
  EXPECT_EQ(all.GetRowCount(), 5);

  KelListValKelDMInstance objects{V5Model(1)}, products;
  KelListValKelUnicodeString uids{"X"};
  KelRawCollint flags;
  KelQorNode product(KelDMInstance("KELCON", "E1", "PART_LIST", Id(0x500), Id(0x501)));
  ASSERT_EQ(service.PurgeList(&product, objects, products, uids, flags), 0);
  EXPECT_EQ(flags, KelRawCollint{1});
  EXPECT_NE(service.PurgeList(nullptr, objects, products, uids, flags), 0);
  KelDMListResultLine narrowed;
  service.GetImpacts(1, 1, objects, products, flags, {}, {}, {}, {}, {}, V5Model(1), nullptr, narrowed);
  ASSERT_EQ(narrowed.GetRowCount(), 4);  // three references and the instance in product 0x500
  EXPECT_EQ(narrowed.Value(4, 2), HexId(0x51) + HexId(0x52));
}

TEST_P(V5ServiceTest, ProductInstancesAreDefinedAgainstTheDatabase) {
  db().Exec("INSERT INTO $VS_E1.PART_LIST ($COID, $COMPID, C_ID) VALUES (X'" + HexId(0x500) + "', X'" + HexId(0x501) +
            "', 'P');");
  KelDMInstance part("KELCON", "E1", "PART_LIST", Id(0x500), Id(0x501));
  KelZumoInstance placed(part, std::vector<KelId>{Id(0x51)});
  EXPECT_FALSE(placed.IsFullyDefined());
  EXPECT_EQ(placed.FullyDefine(), 0);
  EXPECT_TRUE(placed.IsFullyDefined());
  placed.SetRep("TOVRA_MODEL", Id(0x102));
  EXPECT_FALSE(placed.IsFullyDefined());  // a change asks for a new check

  KelZumoInstance missing(KelDMInstance("KELCON", "E1", "PART_LIST", Id(0x999), Id(0x999)),
                          std::vector<KelId>{Id(0x51)});
  EXPECT_NE(missing.FullyDefine(), 0);
  KelZumoInstance nullStep(part, std::vector<KelId>{Id(0x51), KelId::Null()});
  EXPECT_NE(nullStep.FullyDefine(), 0);
  KelZumoInstance noPath(part, std::vector<KelId>{});
  EXPECT_NE(noPath.FullyDefine(), 0);
}

MML_INSTANTIATE_ENGINES(V5ServiceTest);

TEST(ProductHandlesTest, InstancesAndNodesCompareByWhatTheyName) {
  KelDMInstance part("KELCON", "E1", "PART_LIST", Id(5), Id(6));
  KelZumoInstance a(part, KelRawColldouble{Id(1).AsDouble(), Id(2).AsDouble()});
  KelZumoInstance b(part, std::vector<KelId>{Id(1), Id(2)});
  EXPECT_EQ(a, b);
  KelDMInstance got;
  EXPECT_EQ(a.GetPart(0, got), 0);
  EXPECT_EQ(got, part);
  EXPECT_NE(a.GetPart(1, got), 0);
  b.SetRep("TOVRA_MODEL", Id(9));
  EXPECT_NE(a, b);
  a.SetRep("TOVRA_MODEL", Id(9).AsDouble());
  EXPECT_EQ(a, b);
  EXPECT_EQ(a.GetText(), "E1.PART_LIST " + HexId(5) + " " + HexId(6) + " / " + HexId(1) + " " + HexId(2) +
                             " rep TOVRA_MODEL " + HexId(9));
  EXPECT_NE(KelZumoInstance(part, std::vector<KelId>{Id(2), Id(1)}),
            KelZumoInstance(part, std::vector<KelId>{Id(1), Id(2)}));
}

}  // namespace
