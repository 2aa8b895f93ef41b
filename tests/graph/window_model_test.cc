// The window's model: construction from its arguments, the persistent
// settings, the resource cache with its English defaults, the twin registry;
// and the identity of graph objects.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "foundation/kel_lnk_tools.h"
#include "graph/kel_lnk_object.h"
#include "host/kel_lnk_resources.h"
#include "host/kel_psn_node.h"
#include "host/kel_zumo_instance.h"
#include "host/profile/kel_dm_profile.h"
#include "linkdb/kel_lnk_data_manager.h"
#include "linkdb/kel_lnk_hybrid_manager.h"
#include "support/test_database.h"
#include "ui/kel_lnk_main_window.h"

namespace {

using Window = KelLnkMainWindow;

KelDMInstance ModelA() { return KelDMInstance("KELCON", "E1", "TOVRA_MODEL", "C000000000000001", "D000000000000001"); }

KelZumoInstance ZumoOf(const char* pathId) {
  return KelZumoInstance(KelDMInstance("KELCON", "E1", "PART_LIST", "0100000000000001", "0200000000000001"),
                         std::vector<KelId>{KelId::FromHexOrZero(pathId)});
}

class WindowModelTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    db().Init({"E1:objects,links"});
    db().Exec(
        "INSERT INTO $VS_E1.TOVRA_MODEL ($COID, $COMPID, C_ID, C_REVISION, C_LASTMOD) VALUES "
        "(X'C000000000000001', X'D000000000000001', 'BRACKET', 'B', '2024-01-01 00:00:00.000000');");
    std::string error;
    KelDMProfile::SetCurrent(KelDMProfile::Parse("ENVIRONMENT = E1\n", "w.profile", &error));
    KelLnkTools::ResetForTesting();
    KelLnkTools::Initialise();
    KelLnkHybridManager::ResetForTest();
    KelLnkHybridManager::CacheDeclarations();
    Window::ResetSettings();
    setenv("MML_RESOURCES", resources_.Path().c_str(), 1);
    WriteFileText(resources_.File("KelLnkResource"), "MainWindow.From.Text = est impacte par\n");
    KelLnkResourceCatalogue::Reload();
  }
  void TearDown() override {
    KelLnkObject::Clean();
    KelLnkDataManager::Uncache();
    KelLnkHybridManager::Uncache();
    KelLnkTools::ResetForTesting();
    KelDMProfile::SetCurrent(nullptr);
    Window::ResetSettings();
    unsetenv("MML_RESOURCES");
    KelLnkResourceCatalogue::Reload();
    EngineTest::TearDown();
  }
  TempDir resources_;
};

TEST_P(WindowModelTest, ArgumentsDecideTheGraphSourceAndTheTitle) {
  KelDMInstance root = ModelA();
  Window plain(nullptr, &root, 1, nullptr, nullptr, nullptr);
  EXPECT_EQ(0, plain.GetGraphSource());
  EXPECT_FALSE(plain.HasPSNContext());
  EXPECT_EQ(1, plain.GetOrder());
  EXPECT_EQ("%", plain.GetLinktype());
  EXPECT_EQ(-1, plain.GetTextWidth());
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

TEST_P(WindowModelTest, SettingsPersistFromOneWindowToTheNext) {
  KelDMInstance root = ModelA();
  {
    Window first(nullptr, &root, 0, nullptr, nullptr, nullptr);
    // Defaults.
    EXPECT_EQ(Window::One, first.GetExpand());
    EXPECT_EQ(2, first.GetExpandDepth());
    EXPECT_EQ(Window::FilterRestricted, first.GetFilter());
    EXPECT_EQ(Window::SquareLinks, first.GetRepLink());
    EXPECT_EQ(Window::Unpacked, first.GetGraphZip());
    EXPECT_EQ(Window::Centered, first.GetGraphType());
    EXPECT_EQ(0, first.GetShowLocks());
    first.SetExpand(Window::All);
    EXPECT_EQ(256, first.GetExpandDepth());
    first.SetFilter(Window::FilterAll);
    first.SetShowLocks(5);
    first.SetGraphType(Window::Indented);
    first.SetLinktype("SOL");
    first.SetTextWidth(16);
  }
  EXPECT_EQ(Window::All, Window::ReadSetting("Expand", -1));
  EXPECT_EQ(Window::FilterAll, Window::ReadSetting("Filter", -1));
  EXPECT_EQ(1, Window::ReadSetting("ShowLock", -1));
  EXPECT_EQ(Window::Indented, Window::ReadSetting("Type", -1));

  Window second(nullptr, &root, 0, nullptr, nullptr, nullptr);
  EXPECT_EQ(Window::All, second.GetExpand());
  EXPECT_EQ(256, second.GetExpandDepth());
  EXPECT_EQ(Window::FilterAll, second.GetFilter());
  EXPECT_EQ(1, second.GetShowLocks());
  EXPECT_EQ(Window::Indented, second.GetGraphType());
  // The link type and the text width are not settings.
  EXPECT_EQ("%", second.GetLinktype());
  EXPECT_EQ(-1, second.GetTextWidth());

  // A stored value out of range falls back on the default.
  Window::WriteSetting("Expand", 9);
  Window::WriteSetting("Filter", -3);
  Window third(nullptr, &root, 0, nullptr, nullptr, nullptr);
  EXPECT_EQ(Window::One, third.GetExpand());
  EXPECT_EQ(Window::FilterRestricted, third.GetFilter());
}

TEST_P(WindowModelTest, ResourcesFallBackOnDefaultsAndStayCachedForTheWindow) {
  KelDMInstance root = ModelA();
  Window window(nullptr, &root, 0, nullptr, nullptr, nullptr);
  EXPECT_EQ("est impacte par", window.GetResource("MainWindow.From.Text", "impacted by"));
  EXPECT_EQ("Father PSN has been closed.", window.GetResource("Error.PSN.Closed", "Father PSN has been closed."));

  // The site changes its catalogue: this window keeps what it has read,
  // the default included; a new window reads the new texts.
  WriteFileText(resources_.File("KelLnkResource"),
                "MainWindow.From.Text = impacte par\nError.PSN.Closed = Le PSN pere est ferme.\n");
  KelLnkResourceCatalogue::Reload();
  EXPECT_EQ("est impacte par", window.GetResource("MainWindow.From.Text", "impacted by"));
  EXPECT_EQ("Father PSN has been closed.", window.GetResource("Error.PSN.Closed", "x"));
  Window other(nullptr, &root, 0, nullptr, nullptr, nullptr);
  EXPECT_EQ("Le PSN pere est ferme.", other.GetResource("Error.PSN.Closed", "x"));

  EXPECT_EQ("KelLnkResource", Window::GetResourceFilename(0));
  EXPECT_EQ("", Window::GetResourceFilename(1));
}

TEST_P(WindowModelTest, TwinRegistryGrowsByEntryAndEmptiesWhole) {
  KelDMInstance root = ModelA();
  Window window(nullptr, &root, 0, nullptr, nullptr, nullptr);
  auto* n1 = reinterpret_cast<KelLnkCustomNode*>(0x1000);
  auto* n2 = reinterpret_cast<KelLnkCustomNode*>(0x2000);
  auto* n3 = reinterpret_cast<KelLnkCustomNode*>(0x3000);
  KelZumoInstance zumo = ZumoOf("0300000000000001");
  window.FillLists(n1, root, nullptr);
  window.FillLists(n2, KelDMInstance("KELCON", "E1", "PART_LIST", "01", "02"), &zumo);
  window.AddNodeInList(0, n3);
  ASSERT_EQ(2, window.GetListSize());
  EXPECT_EQ(root, window.GetReferenceList(0));
  EXPECT_EQ(nullptr, window.GetInstanceList(0));
  EXPECT_EQ(&zumo, window.GetInstanceList(1));
  EXPECT_EQ((KelListPtrKelLnkCustomNode{n1, n3}), window.GetListOfNodes(0));
  EXPECT_EQ((KelListPtrKelLnkCustomNode{n2}), window.GetListOfNodes(1));
  EXPECT_EQ(n1, window.GetNodeList(0));
  window.EmptyLists();
  EXPECT_EQ(0, window.GetListSize());
  EXPECT_THROW(window.GetListOfNodes(0), std::out_of_range);
}

MML_INSTANTIATE_ENGINES(WindowModelTest);

// ---- Identity of graph objects (no database) ----

TEST(GraphObjectIdentity, EqualityNeedsTheSameProductInstanceOrNone) {
  KelZumoInstance zumo = ZumoOf("0300000000000001");
  KelZumoInstance sameZumo = ZumoOf("0300000000000001");
  KelZumoInstance otherZumo = ZumoOf("0300000000000002");
  KelLnkObject plain(nullptr, ModelA(), nullptr, nullptr, 0);
  KelLnkObject plainToo(ModelA());
  KelLnkObject placed(nullptr, ModelA(), &zumo, nullptr, 0);
  KelLnkObject placedToo(nullptr, ModelA(), &sameZumo, nullptr, 0);
  KelLnkObject elsewhere(nullptr, ModelA(), &otherZumo, nullptr, 0);
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
  KelLnkObject atA(nullptr, ModelA(), nullptr, &a, 0);
  KelLnkObject atB(nullptr, ModelA(), nullptr, &b, 0);
  EXPECT_FALSE(atA == &atB);
}

TEST(GraphObjectIdentity, CopiesAndAssignmentsOwnTheirProductInstance) {
  KelZumoInstance zumo = ZumoOf("0300000000000001");
  auto original = std::make_unique<KelLnkObject>(nullptr, ModelA(), &zumo, nullptr, 1);
  KelLnkObject copy(*original);
  KelLnkObject assigned(ModelA());
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
  EXPECT_FALSE(KelLnkObject(ModelA()).IsNull());
  // Negative zero is not the zero identifier.
  EXPECT_FALSE(KelLnkObject(KelDMInstance("KELCON", "E1", "T", KelId::FromDouble(-0.0), KelId())).IsNull());
}

TEST(GraphObjectIdentity, ExpandStateIsWhatWasSetAndLinksAreType1) {
  KelLnkObject object(ModelA());
  EXPECT_EQ(0, object.GetNodetype());
  for (int state = 0; state <= 5; ++state) {
    object.SetExpandable(static_cast<ConditionIsExpandable>(state));
    EXPECT_EQ(state, object.IsExpandable());
  }
  EXPECT_EQ(kExpandSolved, KelLnkObject(nullptr, ModelA(), nullptr, nullptr, 7).IsExpandable());
}

}  // namespace
