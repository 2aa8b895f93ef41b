// The window's model: construction from its arguments and the resource cache
// with its English defaults; and the identity of graph objects.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "graph/kel_lnk_object.h"
#include "host/kel_lnk_resources.h"
#include "host/kel_psn_node.h"
#include "host/kel_zumo_instance.h"
#include "support/product.h"
#include "ui/kel_lnk_main_window.h"

namespace {

using Window = KelLnkMainWindow;

KelZumoInstance ZumoOf(const char* pathId) {
  return KelZumoInstance(KelDMInstance("KELCON", "E1", "PART_LIST", "0100000000000001", "0200000000000001"),
                         std::vector<KelId>{KelId::FromHexOrZero(pathId)});
}

class WindowModelTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    db().Init({"E1:objects,links"});
    Product(db()).Model(1, "BRACKET", kDefaultDate, "B");
    module_.ConfigureProfile("ENVIRONMENT = E1\n");
    module_.UseResources("MainWindow.From.Text = est impacte par\n");
  }
  ModuleStateGuard module_;
};

TEST_P(WindowModelTest, ArgumentsDecideTheGraphSourceAndTheTitle) {
  KelDMInstance root = Model(1);
  Window plain(nullptr, &root, 1, nullptr, nullptr, nullptr);
  EXPECT_EQ(0, plain.GetGraphSource());
  EXPECT_FALSE(plain.HasPSNContext());
  EXPECT_EQ("BRACKET ** B impacts on", plain.GetTitle());
  ASSERT_EQ(1u, plain.GetInstanceList().size());
  EXPECT_EQ(root, plain.GetInstanceList()[0]);
  auto* object = static_cast<KelLnkObject*>(plain.GetRootObject().get());
  ASSERT_NE(nullptr, object);
  EXPECT_EQ(&plain, object->GetMainWindow());
  EXPECT_EQ(kExpandOnce, object->IsExpandable());

  // A product-structure window keeps its nodes last first.
  KelZumoInstance zumo = ZumoOf("0300000000000001");
  KelPSNNode n1(1), n2(2), n3(3);
  KelListPtrKelPSNNode nodes{&n1, &n2, &n3};
  Window psn(nullptr, &root, 0, &zumo, &n1, &nodes);
  EXPECT_EQ(1, psn.GetGraphSource());
  EXPECT_EQ((KelListPtrKelPSNNode{&n3, &n2, &n1}), psn.GetPSNNodeList());
  EXPECT_EQ("BRACKET ** B est impacte par (with PSN filter)", psn.GetTitle());

  // Any other mix of product-structure arguments leaves an empty window.
  Window invalid(nullptr, &root, 0, &zumo, nullptr, nullptr);
  EXPECT_EQ(-1, invalid.GetGraphSource());
  EXPECT_EQ(nullptr, invalid.GetRootObject());
  EXPECT_TRUE(invalid.GetInstanceList().empty());
}

TEST_P(WindowModelTest, ResourcesFallBackOnDefaultsAndStayCachedForTheWindow) {
  KelDMInstance root = Model(1);
  Window window(nullptr, &root, 0, nullptr, nullptr, nullptr);
  EXPECT_EQ("est impacte par", window.GetResource("MainWindow.From.Text", "impacted by"));
  EXPECT_EQ("Father PSN has been closed.", window.GetResource("Error.PSN.Closed", "Father PSN has been closed."));

  // The site changes its catalogue: this window keeps what it has read,
  // the default included; a new window reads the new texts.
  module_.UseResources("MainWindow.From.Text = impacte par\nError.PSN.Closed = Le PSN pere est ferme.\n");
  EXPECT_EQ("est impacte par", window.GetResource("MainWindow.From.Text", "impacted by"));
  EXPECT_EQ("Father PSN has been closed.", window.GetResource("Error.PSN.Closed", "x"));
  Window other(nullptr, &root, 0, nullptr, nullptr, nullptr);
  EXPECT_EQ("Le PSN pere est ferme.", other.GetResource("Error.PSN.Closed", "x"));
}

MML_INSTANTIATE_SQLITE(WindowModelTest);

// ---- Identity of graph objects (no database) ----

TEST(GraphObjectIdentity, EqualityNeedsTheSameProductInstanceOrNone) {
  KelZumoInstance zumo = ZumoOf("0300000000000001");
  KelZumoInstance sameZumo = ZumoOf("0300000000000001");
  KelZumoInstance otherZumo = ZumoOf("0300000000000002");
  KelLnkObject plain(nullptr, Model(1), nullptr, nullptr, 0);
  KelLnkObject plainToo(Model(1));
  KelLnkObject placed(nullptr, Model(1), &zumo, nullptr, 0);
  KelLnkObject placedToo(nullptr, Model(1), &sameZumo, nullptr, 0);
  KelLnkObject elsewhere(nullptr, Model(1), &otherZumo, nullptr, 0);
  EXPECT_TRUE(plain == &plainToo);
  EXPECT_FALSE(plain == &placed);
  EXPECT_FALSE(placed == &plain);
  EXPECT_TRUE(placed == &placedToo);
  EXPECT_FALSE(placed == &elsewhere);
  EXPECT_FALSE(plain == static_cast<const KelLnkObject*>(nullptr));

  // The object keeps its own copy, with the model as representation.
  ASSERT_NE(nullptr, placed.GetZumoInstance());
  EXPECT_NE(&zumo, placed.GetZumoInstance());
  EXPECT_TRUE(placed.GetZumoInstance()->HasRep());
  EXPECT_EQ("TOVRA_MODEL", placed.GetZumoInstance()->GetRepTable());
  KelLnkObject part(nullptr, KelDMInstance("KELCON", "E1", "PART_LIST  ", "01", "02"), &zumo, nullptr, 0);
  EXPECT_FALSE(part.GetZumoInstance()->HasRep());

  // Different product-structure nodes make different objects.
  KelPSNNode a(1), b(1);
  KelLnkObject atA(nullptr, Model(1), nullptr, &a, 0);
  KelLnkObject atB(nullptr, Model(1), nullptr, &b, 0);
  EXPECT_FALSE(atA == &atB);
}

TEST(GraphObjectIdentity, CopiesAndAssignmentsOwnTheirProductInstance) {
  KelZumoInstance zumo = ZumoOf("0300000000000001");
  auto original = std::make_unique<KelLnkObject>(nullptr, Model(1), &zumo, nullptr, 1);
  KelLnkObject copy(*original);
  KelLnkObject assigned(Model(1));
  assigned = *original;
  EXPECT_NE(original->GetZumoInstance(), copy.GetZumoInstance());
  EXPECT_NE(original->GetZumoInstance(), assigned.GetZumoInstance());
  EXPECT_EQ(kExpandSolved, assigned.IsExpandable());
  original.reset();  // the copies' instances outlive the original
  EXPECT_TRUE(copy == &assigned);
  EXPECT_EQ("TOVRA_MODEL", assigned.GetZumoInstance()->GetRepTable());
  assigned = assigned;
  EXPECT_TRUE(copy == &assigned);
}

TEST(GraphObjectIdentity, NullMeansAllZeroBytesOrTheNullIdentifier) {
  EXPECT_TRUE(KelLnkObject(KelDMInstance("KELCON", "E1", "T", KelId(), KelId())).IsNull());
  EXPECT_TRUE(KelLnkObject(KelDMInstance("KELCON", "E1", "T", KelId::Null(), KelId::Null())).IsNull());
  EXPECT_FALSE(KelLnkObject(KelDMInstance("KELCON", "E1", "T", KelId::Null(), KelId())).IsNull());
  EXPECT_FALSE(KelLnkObject(Model(1)).IsNull());
  // Negative zero is not the zero identifier.
  EXPECT_FALSE(KelLnkObject(KelDMInstance("KELCON", "E1", "T", KelId::FromDouble(-0.0), KelId())).IsNull());
}

}  // namespace
