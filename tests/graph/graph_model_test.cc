// Graph objects and links on small databases: conditions in both directions,
// missing and unknown objects, revisions and statuses, link technologies,
// caches, cycles, the connection rule, the window's filters and the colours
// written into graph nodes.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "base/kel_id.h"
#include "foundation/kel_lnk_tools.h"
#include "graph/kel_lnk_link.h"
#include "graph/kel_lnk_object.h"
#include "host/graph/kel_mem_graph.h"
#include "host/kel_psn_node.h"
#include "host/kel_zumo_instance.h"
#include "linkdb/kel_lnk_data_manager.h"
#include "support/product.h"
#include "ui/kel_lnk_main_window.h"

namespace {

using Obj = KelLnkObject;
using Lnk = KelLnkLink;
using Window = KelLnkMainWindow;

Lnk* AsLink(const KelBaseUnknown_var& handle) { return static_cast<Lnk*>(handle.get()); }
Obj* AsObject(const KelBaseUnknown_var& handle) { return static_cast<Obj*>(handle.get()); }

// The link of `links` that leads to model n (null when none).
Lnk* LinkTo(const KelListValKelBaseUnknown_var& links, int n) {
  for (const KelBaseUnknown_var& handle : links) {
    if (AsLink(handle)->GetChild()->Instance() == Model(n)) return AsLink(handle);
  }
  return nullptr;
}

std::vector<std::string> ChildNames(const KelListValKelBaseUnknown_var& links) {
  std::vector<std::string> names;
  for (const KelBaseUnknown_var& handle : links) names.push_back(AsLink(handle)->GetChild()->GetName());
  return names;
}

constexpr char kColours[] =
    "Object.Colours.Default.Good = 11\n"
    "Object.Colours.Default.Bad = 12\n"
    "Object.Colours.Broken = 13\n"
    "Object.Colours.Unknown = 14\n"
    "Object.Colours.SameAsFather = 15\n"
    "Object.Colours.SameInOtherBranch = 16\n"
    "Object.Colours.SameExpandedInOtherBranch = 17\n"
    "Object.Colours.Solved = not a number\n"
    "Link.Colours.Model = 21\n"
    "Link.Colours.Entity = 22\n"
    "Link.No.Colours.Model = 31\n"
    "Link.No.Colours.Entity = 32\n";

class GraphModelTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    db().Init({"E1:objects,links,entities"});
    module_.UseResources(kColours);
    product_ = std::make_unique<Product>(db());
    Configure("");
  }

  void Configure(const std::string& keys) { module_.Configure(keys); }
  // Model 1 "A" points to the older model 2 "B".
  void AInStepWithB() {
    product_->Model(1, "A", "2024-02-01 00:00:00.000000").Model(2, "B", "2024-01-01 00:00:00.000000");
    product_->Link(1, 2, "KELMMxyz");
  }
  static void Refresh() { ModuleStateGuard::Refresh(); }

  std::unique_ptr<Window> OpenWindow(int root, int order) {
    KelDMInstance instance = Model(root);
    auto window = std::make_unique<Window>(nullptr, &instance, order, nullptr, nullptr, nullptr);
    window->SetFilter(Window::FilterAll);
    return window;
  }
  static Obj* Root(const std::unique_ptr<Window>& window) { return AsObject(window->GetRootObject()); }

  ModuleStateGuard module_;
  std::unique_ptr<Product> product_;
};

// ---- Conditions ----

TEST_P(GraphModelTest, ConditionsFollowTheDirectionOfTheWindow) {
  product_->Model(1, "A", "2024-02-01 00:00:00.000000");
  product_->Model(2, "B", "2024-01-01 00:00:00.000000");  // older than A: in step
  product_->Model(3, "C", "2024-03-01 00:00:00.000000");  // newer than A: out of step
  product_->Model(4, "D", "2024-02-01 00:00:00.000000");  // same date as A: in step
  product_->Link(1, 2, "KELMMxyz");
  product_->Link(1, 3, "KELMMxyz");
  product_->Link(1, 4, "KELMMxyz");

  // "Impacted by" A: A points to B, C and D.
  auto from = OpenWindow(1, 0);
  auto links = Root(from)->GetLnkChildren(0);
  ASSERT_EQ((std::vector<std::string>{"B ** 1", "C ** 1", "D ** 1"}), ChildNames(links));
  EXPECT_EQ(Lnk::GOOD, LinkTo(links, 2)->GetCondition(0));
  EXPECT_EQ(Lnk::BADDATE, LinkTo(links, 3)->GetCondition(0));
  EXPECT_EQ(Lnk::GOOD, LinkTo(links, 4)->GetCondition(0));
  EXPECT_EQ(Obj::BADDATE, Root(from)->GetCondition(0));
  EXPECT_EQ(Obj::BADDATE, Root(from)->GetImpactOnCondition());
  EXPECT_EQ(0, Root(from)->GetLevel());
  // A leaf is good in its own right.
  EXPECT_EQ(Obj::GOOD, LinkTo(links, 3)->GetChild()->GetCondition(0));

  // "Impacts on" C: A points to C, so A is C's child and the link's roles swap.
  auto to = OpenWindow(3, 1);
  auto up = Root(to)->GetLnkChildren(0);
  ASSERT_EQ(1u, up.size());
  Lnk* link = AsLink(up[0]);
  EXPECT_EQ(Root(to), link->GetParent());
  EXPECT_EQ(Model(1), link->GetChild()->Instance());
  EXPECT_EQ(Lnk::BADDATE, link->GetCondition(0));
  EXPECT_EQ(Obj::GOOD, Root(to)->GetCondition(0));             // no parent link above the root
  EXPECT_EQ(Obj::BADDATE, link->GetChild()->GetCondition(0));  // from its parent link
  EXPECT_EQ(Obj::BADDATE, Root(to)->GetImpactOnCondition());

  // "Impacts on" B: the same kind of link, in step.
  auto toB = OpenWindow(2, 1);
  auto upB = Root(toB)->GetLnkChildren(0);
  ASSERT_EQ(1u, upB.size());
  EXPECT_EQ(Lnk::GOOD, AsLink(upB[0])->GetCondition(0));
  EXPECT_EQ(Obj::GOOD, AsLink(upB[0])->GetChild()->GetCondition(0));
}

TEST_P(GraphModelTest, ReverseFlagTurnsTheWindowDirection) {
  product_->Model(1, "A", "2024-02-01 00:00:00.000000");
  product_->Model(2, "B", "2024-03-01 00:00:00.000000");
  product_->Link(1, 2, "KELMMxyz");
  // In an "impacts on" window on B, the reverse sense lists what B points to
  // (nothing), the window's sense what points to B (A).
  auto to = OpenWindow(2, 1);
  EXPECT_TRUE(Root(to)->GetLnkChildren(1).empty());
  ASSERT_EQ(1u, Root(to)->GetLnkChildren(0).size());
  // In an "impacted by" window on A, the reverse sense asks for A's parents.
  auto from = OpenWindow(1, 0);
  EXPECT_TRUE(Root(from)->GetLnkChildren(1).empty());
  EXPECT_EQ(Obj::GOOD, Root(from)->GetCondition(1));  // reversed: "impacts on", no parent link
}

TEST_P(GraphModelTest, MissingObjectsAreBrokenAndUnknownEntityOwnersAreUnknown) {
  Configure("KELZUMO.QOR.MML.ENTITY_TO_ENTITY = TRUE\n");
  AInStepWithB();
  product_->Link(1, 9, "KELMMxyz");                               // model 9 does not exist
  product_->Use(1, 1, "KELMMxyz", "2024-01-01 00:00:00.000000");  // entity without owner

  auto window = OpenWindow(1, 0);
  auto links = Root(window)->GetLnkChildren(0);
  ASSERT_EQ(3u, links.size());
  Lnk* broken = LinkTo(links, 9);
  ASSERT_NE(nullptr, broken);
  EXPECT_EQ(Lnk::BROKEN, broken->GetCondition(0));
  EXPECT_EQ(Obj::BROKEN, broken->GetChild()->GetCondition(0));
  EXPECT_FALSE(broken->GetChild()->IsNull());
  EXPECT_EQ(0u, broken->GetChild()->InformationText().find("Object no longer exists.\n"));

  Lnk* unknown = nullptr;
  for (const auto& handle : links) {
    if (AsLink(handle)->GetChild()->IsNull()) unknown = AsLink(handle);
  }
  ASSERT_NE(nullptr, unknown) << "the placeholder owner of the entity reads as null";
  EXPECT_EQ(KelId::Null(), unknown->GetChild()->Instance().Coid());
  EXPECT_EQ(Lnk::UNKNOWN, unknown->GetCondition(0));
  EXPECT_EQ(Obj::UNKNOWN, unknown->GetChild()->GetCondition(0));
  EXPECT_EQ("The Object which contained the UUID referenced by the link is unknown\n",
            unknown->GetChild()->InformationText());
  KelMemGraph graph;
  KelMemGraphNode* node = graph.AddNode();
  unknown->GetChild()->CustomGraphNode(node);
  EXPECT_EQ("mmlunknown", node->GetColorClass());
  EXPECT_NE(std::string::npos, unknown->InformationText().find(
                                   "Impacting Object : Unknown object\n\nThe Impacted Object should be loaded"));
  ASSERT_EQ(1u, unknown->GetUuid().size());
  EXPECT_EQ("A000000000000001B000000000000001", unknown->GetUuid()[0]);

  // The broken link makes A out of date; the unknown one does not count.
  EXPECT_EQ(Obj::BADDATE, Root(window)->GetCondition(0));
}

TEST_P(GraphModelTest, AnUnknownLinkLeavesTheConditionGoodButNotTheImpactedOnCondition) {
  Configure("KELZUMO.QOR.MML.ENTITY_TO_ENTITY = TRUE\n");
  AInStepWithB();
  product_->Use(1, 1, "KELMMxyz", "2024-01-01 00:00:00.000000");
  auto window = OpenWindow(1, 0);
  EXPECT_EQ(Obj::GOOD, Root(window)->GetCondition(0));
  EXPECT_EQ(Obj::BADDATE, Root(window)->GetImpactOnCondition());
}

TEST_P(GraphModelTest, OlderRevisionsGiveGoodOldOrUpGoodByStatus) {
  const std::string family = "X'F000000000000001'";
  product_->Model(2, "B", "2024-01-01 00:00:00.000000", "1", family, 1);
  product_->Model(3, "B", "2024-06-01 00:00:00.000000", "2", family, 2);  // latest revision of B
  product_->Model(1, "A1", "2024-02-01 00:00:00.000000");
  product_->Model(4, "A2", "2024-02-01 00:00:00.000000");
  product_->Model(5, "A3", "2023-12-01 00:00:00.000000");
  product_->Model(6, "A4", "2024-07-01 00:00:00.000000");
  product_->Link(1, 2, "KELMMxyz", "", "TOK");  // in step with an old revision, accepted
  product_->Link(4, 2, "KELMMxyz", "", "UPD");  // in step with an old revision, upissued
  product_->Link(5, 2, "KELMMxyz", "", "TOK");  // out of step with an old revision
  product_->Link(6, 3, "KELMMxyz", "", "UPD");  // in step with the latest revision

  auto condition = [this](int holder) {
    auto window = OpenWindow(holder, 0);
    auto links = Root(window)->GetLnkChildren(0);
    EXPECT_EQ(1u, links.size());
    return links.empty() ? -1 : AsLink(links[0])->GetCondition(0);
  };
  EXPECT_EQ(Lnk::GOODOLD, condition(1));
  EXPECT_EQ(Lnk::UP_GOOD, condition(4));
  EXPECT_EQ(Lnk::UP_BADDATE, condition(5));
  EXPECT_EQ(Lnk::GOOD, condition(6));

  // GOODOLD and UP_GOOD are sound; UP_BADDATE is not.
  auto window = OpenWindow(4, 0);
  EXPECT_EQ(Obj::GOOD, Root(window)->GetCondition(0));
  auto stale = OpenWindow(5, 0);
  EXPECT_EQ(Obj::BADDATE, Root(stale)->GetCondition(0));
}

TEST_P(GraphModelTest, ProductLinkTypesTrustTheUpToDateVerdictNotTheDates) {
  product_->Model(1, "A", "2023-01-01 00:00:00.000000");  // older than B: dates say out of step
  product_->Model(2, "B", "2024-01-01 00:00:00.123456");
  product_->Model(3, "C", "2025-01-01 00:00:00.000000");           // newer than C's link date
  product_->Link(1, 2, "KELMMSOL", "2024-01-01 00:00:00.999999");  // matches B's date to the second
  product_->Link(1, 3, "KELMMSOL", "2024-01-01 00:00:00.000000");
  auto window = OpenWindow(1, 0);
  auto links = Root(window)->GetLnkChildren(0);
  EXPECT_EQ(1, LinkTo(links, 2)->GetUpToDate());
  EXPECT_EQ(Lnk::GOOD, LinkTo(links, 2)->GetCondition(0));
  EXPECT_EQ(Lnk::BADDATE, LinkTo(links, 3)->GetCondition(0));
}

// ---- Link technologies ----

class GraphTechnologyTest : public GraphModelTest {
 protected:
  void SetUp() override {
    GraphModelTest::SetUp();
    Configure("KELZUMO.QOR.MML.LINK.TECHNO = TRUE\n");
  }
  // Holder 1 points to `modelOnly` through "$EXT" alone and to `both` through
  // "$EXT" and an entity; `stale` chooses which of the two is out of date.
  void Build(const std::string& nameModelOnly, const std::string& nameBoth, bool staleBoth) {
    product_->Model(1, "HOLDER", "2024-02-01 00:00:00.000000");
    product_->Model(2, nameModelOnly, staleBoth ? "2024-01-01 00:00:00.000000" : "2024-03-01 00:00:00.000000");
    product_->Model(3, nameBoth, staleBoth ? "2024-03-01 00:00:00.000000" : "2024-01-01 00:00:00.000000");
    product_->Link(1, 2, "KELMMxyz");
    product_->Link(1, 3, "KELMMxyz");
    product_->Entity(3, 1, "2024-01-01 00:00:00.000000");
    product_->Use(1, 1, "KELMMxyz", "2024-01-01 00:00:00.000000");
  }
};

TEST_P(GraphTechnologyTest, LinksKnownFromBothSourcesOverruleTheOthersWhicheverComesFirst) {
  struct Case {
    const char* modelOnly;  // its name decides the order of the two links
    bool staleBoth;
    std::vector<int> technos;
    int condition;
  };
  for (const Case& c : {Case{"B", false, {1, 3}, Obj::GOOD}, Case{"Z", false, {3, 1}, Obj::GOOD},
                        Case{"B", true, {1, 3}, Obj::BADDATE}}) {
    SCOPED_TRACE(std::string(c.modelOnly) + (c.staleBoth ? " stale both" : " stale model-only"));
    db().Exec(
        "DELETE FROM $VS_E1.TOVRA_MODEL; DELETE FROM $VS_E1.$EXT; DELETE FROM $VS_E1.MML_ENTITY; "
        "DELETE FROM $VS_E1.MML_LINK;");
    Refresh();
    Build(c.modelOnly, "C", c.staleBoth);
    auto window = OpenWindow(1, 0);
    auto links = Root(window)->GetLnkChildren(0);
    ASSERT_EQ(2u, links.size());
    EXPECT_EQ(c.technos, (std::vector<int>{AsLink(links[0])->GetTechno(), AsLink(links[1])->GetTechno()}));
    EXPECT_EQ(c.condition, Root(window)->GetCondition(0));
  }
}

TEST_P(GraphTechnologyTest, WindowFilterKeepsLinksFromBothSourcesAndLatestModels) {
  Build("B", "C", false);
  auto window = OpenWindow(1, 0);
  window->SetFilter(Window::FilterRestricted);
  Obj::Clean();
  EXPECT_EQ((std::vector<std::string>{"C ** 1"}), ChildNames(Root(window)->GetLnkChildren(0)));

  window->SetFilter(Window::FilterRestrictedWithLate);
  Obj::Clean();
  EXPECT_EQ((std::vector<std::string>{"B ** 1", "C ** 1"}), ChildNames(Root(window)->GetLnkChildren(0)));

  // A later revision of B appears: B is no longer kept.
  db().Exec("UPDATE $VS_E1.TOVRA_MODEL SET C_FAMILY = X'F000000000000002' WHERE C_ID = 'B';");
  product_->Model(7, "B", "2024-09-01 00:00:00.000000", "2", "X'F000000000000002'", 2);
  Refresh();
  EXPECT_EQ((std::vector<std::string>{"C ** 1"}), ChildNames(Root(window)->GetLnkChildren(0)));

  window->SetFilter(Window::FilterAll);
  Obj::Clean();
  EXPECT_EQ(2u, Root(window)->GetLnkChildren(0).size());
}

TEST_P(GraphTechnologyTest, TechnologyColoursGoToLinksAndToTheBandOfTheObjectsBelow) {
  Build("B", "C", false);
  auto window = OpenWindow(1, 0);
  auto links = Root(window)->GetLnkChildren(0);
  ASSERT_EQ(2u, links.size());
  KelMemGraph graph;
  KelMemGraphNode* holder = graph.AddNode();
  KelMemGraphNode* linkNode = graph.AddNode();
  KelMemGraphLink* arc = graph.Connect(holder, linkNode);
  KelMemGraphNode* childNode = graph.AddNode();
  graph.Connect(linkNode, childNode);

  Lnk* modelOnly = AsLink(links[0]);
  modelOnly->CustomGraphNode(linkNode);
  EXPECT_EQ(31, linkNode->GetColor());
  EXPECT_EQ(31, arc->GetColor());
  EXPECT_EQ("baddate", linkNode->GetColorClass());
  EXPECT_TRUE(linkNode->GetDecorationVisibility(0));

  modelOnly->GetChild()->CustomGraphNode(childNode);
  EXPECT_EQ(21, childNode->GetFirstSubElementColor());
  EXPECT_EQ(-1, childNode->GetColor());
  EXPECT_FALSE(childNode->GetDecorationVisibility(0));
  EXPECT_FALSE(childNode->GetDecorationVisibility(1));
  EXPECT_EQ("good", childNode->GetColorClass());

  // A link from both sources has no technology colour.
  KelMemGraphNode* bothNode = graph.AddNode();
  AsLink(links[1])->CustomGraphNode(bothNode);
  EXPECT_EQ(1, bothNode->GetColor());
  EXPECT_FALSE(bothNode->GetDecorationVisibility(0));
}

// ---- Caches ----

TEST_P(GraphModelTest, ALinkConditionSurvivesAChangeOfDatesUntilTheGraphIsRebuilt) {
  AInStepWithB();
  auto window = OpenWindow(1, 0);
  auto links = Root(window)->GetLnkChildren(0);
  ASSERT_EQ(1u, links.size());
  EXPECT_EQ(Lnk::GOOD, AsLink(links[0])->GetCondition(0));
  EXPECT_EQ(Obj::GOOD, Root(window)->GetCondition(0));

  db().Exec("UPDATE $VS_E1.TOVRA_MODEL SET C_LASTMOD = '2024-05-01 00:00:00.000000' WHERE C_ID = 'B';");
  Refresh();
  EXPECT_EQ(Lnk::GOOD, AsLink(links[0])->GetCondition(0));
  EXPECT_EQ(Obj::GOOD, Root(window)->GetCondition(0)) << "the object condition is cached as well";

  // A rebuilt graph makes new links, which see the new date.
  auto rebuilt = Root(window)->GetLnkChildren(0);
  EXPECT_EQ(Lnk::BADDATE, AsLink(rebuilt[0])->GetCondition(0));
  Root(window)->Uncache(0);
  EXPECT_EQ(Obj::BADDATE, Root(window)->GetCondition(0));
}

TEST_P(GraphModelTest, OneEntryCacheAnswersOnlyTheObjectThatFilledIt) {
  AInStepWithB();
  auto window = OpenWindow(1, 0);
  Obj* root = Root(window);
  auto first = root->GetLnkChildren(0);
  auto again = root->GetLnkChildren(0);
  ASSERT_EQ(1u, again.size());
  EXPECT_EQ(first[0], again[0]) << "the second call comes from the cache";

  // A copy of the root asks for the same instance and direction: its links
  // must name the copy as their parent, not the original.
  KelListValKelBaseUnknown_var copyLinks;
  {
    auto copy = std::make_unique<Obj>(*root);
    copyLinks = copy->GetLnkChildren(0);
    ASSERT_EQ(1u, copyLinks.size());
    EXPECT_EQ(copy.get(), AsLink(copyLinks[0])->GetParent());
  }
  EXPECT_EQ(root, AsLink(root->GetLnkChildren(0)[0])->GetParent());

  // Clean forgets the entry: new links.
  Obj::Clean();
  EXPECT_NE(first[0], root->GetLnkChildren(0)[0]);
}

TEST_P(GraphModelTest, AChildForgetsItsParentLinkWhenTheLinkGoes) {
  AInStepWithB();
  auto window = OpenWindow(1, 0);
  KelBaseUnknown_var child;
  {
    auto links = Root(window)->GetLnkChildren(0);
    child = AsLink(links[0])->GetChildNode();
    EXPECT_EQ(AsLink(links[0]), AsObject(child)->GetParentLink());
    Obj::Clean();
  }
  EXPECT_EQ(nullptr, AsObject(child)->GetParentLink());
  EXPECT_EQ(-1, AsObject(child)->GetParentTechno());
  EXPECT_EQ(Obj::GOOD, AsObject(child)->GetCondition(1)) << "\"impacts on\" without a parent link";
}

TEST_P(GraphModelTest, AnObjectReachedThroughADroppedListLivesAsLongAsItsOwnLinks) {
  product_->Model(1, "A", "2024-02-01 00:00:00.000000");
  product_->Model(2, "B", "2024-03-01 00:00:00.000000");
  product_->Model(3, "C", "2024-01-01 00:00:00.000000");
  product_->Link(1, 2, "KELMMxyz");
  product_->Link(2, 3, "KELMMxyz");
  auto window = OpenWindow(1, 0);
  // Only the cache of child links holds the link to B, and so B.
  Obj* b = AsLink(Root(window)->GetLnkChildren(0)[0])->GetChild();
  std::weak_ptr<KelLnkNode> watch = b->weak_from_this();
  // B's own links replace the cached ones, which held B.
  auto links = b->GetLnkChildren(0);
  ASSERT_FALSE(watch.expired()) << "B was released while computing its own links";
  ASSERT_EQ(1u, links.size());
  EXPECT_EQ(b, AsLink(links[0])->GetParent());
  EXPECT_EQ(Lnk::GOOD, AsLink(links[0])->GetCondition(0));
  EXPECT_EQ(Obj::GOOD, b->GetCondition(0));
  links.clear();
  Obj::Clean();
  EXPECT_TRUE(watch.expired()) << "nothing holds B any more";
}

TEST_P(GraphModelTest, RecursiveUncacheStopsAtLoopsAndClearsTheStartObject) {
  AInStepWithB();
  product_->Link(2, 1, "KELMMxyz");
  auto window = OpenWindow(1, 0);
  Obj* root = Root(window);
  EXPECT_EQ(Obj::GOOD, root->GetCondition(0));
  db().Exec("UPDATE $VS_E1.TOVRA_MODEL SET C_LASTMOD = '2024-05-01 00:00:00.000000' WHERE C_ID = 'B';");
  KelLnkDataManager::Uncache();
  Obj::Clean();
  root->Uncache(1);  // must end although A and B point to each other
  EXPECT_EQ(Obj::BADDATE, root->GetCondition(0));
}

// ---- Cycles and the connection rule ----

TEST_P(GraphModelTest, CycleInformationListsTheLoopClosedOnItself) {
  AInStepWithB();
  product_->Link(2, 1, "KELMMxyz");
  auto window = OpenWindow(1, 0);
  auto rootLinks = Root(window)->GetLnkChildren(0);
  ASSERT_EQ(1u, rootLinks.size());
  Obj* b = AsLink(rootLinks[0])->GetChild();
  auto bLinks = b->GetLnkChildren(0);
  ASSERT_EQ(1u, bLinks.size());
  Obj* again = AsLink(bLinks[0])->GetChild();
  EXPECT_EQ(1, b->GetLevel());

  EXPECT_TRUE(again->GetCycleInformation().empty()) << "state 1: no cycle";
  again->SetExpandable(kExpandSameAsFather);
  EXPECT_EQ((std::vector<std::string>{"A 1 ", "B 1 ", "A 1 "}), again->GetCycleInformation());
  EXPECT_EQ(0u, again->InformationText().find("Cycle detected !\n\nA 1 \n\nB 1 \n\nA 1 \n\nObject          : A 1\n"));
}

TEST_P(GraphModelTest, AConnectionLinkIsNotWalkedBack) {
  product_->Model(1, "A", "2024-02-01 00:00:00.000000");
  product_->Model(2, "B", "2024-01-01 00:00:00.000000");
  product_->Model(3, "C", "2024-01-01 00:00:00.000000");
  product_->Link(1, 2, "KELMMCNX");
  product_->Link(2, 1, "KELMMCNX");
  product_->Link(2, 3, "KELMMCNX");
  product_->Link(2, 1, "KELMMxyz");

  auto childrenOfB = [this]() {
    auto window = OpenWindow(1, 0);
    auto rootLinks = Root(window)->GetLnkChildren(0);
    Lnk* toB = nullptr;
    for (const auto& handle : rootLinks) {
      if (AsLink(handle)->GetLinktype() == "CNX") toB = AsLink(handle);
    }
    EXPECT_NE(nullptr, toB);
    std::vector<std::string> seen;
    if (!toB) return seen;
    for (const auto& handle : toB->GetChild()->GetLnkChildren(0)) {
      seen.push_back(AsLink(handle)->GetLinktype() + ">" + AsLink(handle)->GetChild()->GetName());
    }
    return seen;
  };
  EXPECT_EQ((std::vector<std::string>{"CNX>A ** 1", "xyz>A ** 1", "CNX>C ** 1"}), childrenOfB());
  KelLnkTools::StateForTesting().connexionStr = "CNX";
  Refresh();
  EXPECT_EQ((std::vector<std::string>{"xyz>A ** 1", "CNX>C ** 1"}), childrenOfB());
}

// ---- Window filters ----

TEST_P(GraphModelTest, WindowLinkTypeKeepsOnlyLinksOfThatType) {
  product_->Model(1, "A", "2024-02-01 00:00:00.000000");
  product_->Model(2, "B", "2024-01-01 00:00:00.000000");
  product_->Model(3, "C", "2024-01-01 00:00:00.000000");
  product_->Link(1, 2, "KELMMSOL");
  product_->Link(1, 3, "KELMMDRW");
  auto window = OpenWindow(1, 0);
  window->SetLinktype("SOL");
  EXPECT_EQ((std::vector<std::string>{"B ** 1"}), ChildNames(Root(window)->GetLnkChildren(0)));
  window->SetLinktype("DR");
  Obj::Clean();
  EXPECT_TRUE(Root(window)->GetLnkChildren(0).empty()) << "a type is matched whole, not as a prefix";
  window->SetLinktype("%");
  Obj::Clean();
  EXPECT_EQ(2u, Root(window)->GetLnkChildren(0).size());
}

TEST_P(GraphModelTest, ObjectsInStatesTwoToFiveShowNoChildren) {
  AInStepWithB();
  auto window = OpenWindow(1, 0);
  Obj* root = Root(window);
  for (ConditionIsExpandable state : {kExpandOnce, kExpandSameInOtherBranch}) {
    root->SetExpandable(state);
    Obj::Clean();
    EXPECT_EQ(1u, root->GetChildren().size()) << state;
  }
  for (ConditionIsExpandable state : {kExpandSameAsFather, kExpandSameExpandedInOtherBranch, kExpandSolved}) {
    root->SetExpandable(state);
    Obj::Clean();
    EXPECT_TRUE(root->GetChildren().empty()) << state;
    EXPECT_EQ(1u, root->GetLnkChildren(0).size()) << state;
  }
}

// ---- Colours and texts ----

TEST_P(GraphModelTest, ColourKeysAndClassesFollowConditionAndExpandState) {
  product_->Model(1, "A", "2024-02-01 00:00:00.000000");
  product_->Model(2, "B", "2024-01-01 00:00:00.000000");
  product_->Model(3, "C", "2024-03-01 00:00:00.000000");
  product_->Link(1, 2, "KELMMxyz");
  product_->Link(1, 3, "KELMMxyz");
  product_->Link(1, 9, "KELMMxyz");
  auto window = OpenWindow(1, 0);
  auto links = Root(window)->GetLnkChildren(0);
  ASSERT_EQ(3u, links.size());
  KelMemGraph graph;
  auto paint = [&graph](KelLnkNode* node) {
    KelMemGraphNode* g = graph.AddNode();
    node->CustomGraphNode(g);
    return std::make_pair(g->GetColor(), g->GetColorClass());
  };
  using Painted = std::pair<int, std::string>;
  EXPECT_EQ(Painted(12, "baddate"), paint(Root(window)));
  EXPECT_EQ(Painted(11, "good"), paint(LinkTo(links, 2)->GetChild()));
  EXPECT_EQ(Painted(13, "mmlstop"), paint(LinkTo(links, 9)->GetChild()));
  // Link nodes without technologies: colour 1, class by condition.
  EXPECT_EQ(Painted(1, "baddate"), paint(LinkTo(links, 3)));
  EXPECT_EQ(Painted(1, "mmlstop"), paint(LinkTo(links, 9)));
  // In states 2 to 5 the state decides; the Solved text is not a number.
  Root(window)->SetExpandable(kExpandSolved);
  EXPECT_EQ(Painted(0, ""), paint(Root(window)));
}

TEST_P(GraphModelTest, ProductStructureGraphsUseRootAndIntermediateClasses) {
  product_->Model(1, "A", "2024-02-01 00:00:00.000000");
  KelLnkTools::StateForTesting().iloveV5 = 1;
  KelDMInstance instance = Model(1);
  KelZumoInstance zumo(KelDMInstance("KELCON", "E1", "PART_LIST", "0100000000000001", "0200000000000001"),
                       std::vector<KelId>{KelId::FromHexOrZero("0300000000000001")});
  KelPSNNode psnNode(7, instance);
  KelListPtrKelPSNNode psnNodes{&psnNode};
  Window window(nullptr, &instance, 0, &zumo, &psnNode, &psnNodes);
  ASSERT_EQ(1, window.GetGraphSource());

  KelMemGraph graph;
  KelMemGraphNode* viewerNode = graph.AddNode();
  viewerNode->SetPSNViewerNode(true);
  AsObject(window.GetRootObject())->CustomGraphNode(viewerNode);
  EXPECT_EQ("goodI", viewerNode->GetColorClass()) << "an object with a product instance";

  Obj reference(&window, instance, nullptr, nullptr, 0);
  KelMemGraphNode* referenceNode = graph.AddNode();
  referenceNode->SetPSNViewerNode(true);
  reference.CustomGraphNode(referenceNode);
  EXPECT_EQ("goodR", referenceNode->GetColorClass());

  KelMemGraphNode* plainNode = graph.AddNode();
  reference.CustomGraphNode(plainNode);
  EXPECT_EQ("good", plainNode->GetColorClass()) << "a node the viewer does not mark keeps the plain class";
}

TEST_P(GraphModelTest, NodeTextShowsLocksAndIsCutToTheTextWidth) {
  product_->Model(1, "BRACKET", "2024-02-01 00:00:00.000000", "B");
  db().Exec("INSERT INTO $VS_E1.$LOCK ($COID, $COMPID, $LOCKTYPE, C_RESPONSIBLE) VALUES (X'" + CoidHex(1) + "', X'" +
            CompidHex(1) + "', 'D', 'smith');");
  auto window = OpenWindow(1, 0);
  Obj* root = Root(window);
  KelMemGraph graph;
  KelMemGraphNode* node = graph.AddNode();
  root->UpdateTextElem(node);
  EXPECT_EQ((std::vector<std::string>{"BRACKET", "B"}), node->GetText());
  window->SetShowLocks(1);
  EXPECT_EQ((std::vector<std::string>{"BRACKET", "B", "LOCK D smith"}), root->GetIdentificators());
  window->SetTextWidth(4);
  EXPECT_EQ((std::vector<std::string>{"BRAC", "B", "LOCK"}), root->GetIdentificators());
  window->SetTextWidth(0);
  EXPECT_EQ((std::vector<std::string>{" ", " ", " "}), root->GetIdentificators());
}

TEST_P(GraphModelTest, InformationTextsOfAnObjectAndOfItsLinks) {
  Configure("KELZUMO.QOR.MML.ENTITY_TO_ENTITY = TRUE\n");
  product_->Model(1, "A", "2024-02-01 00:00:00.000000");
  product_->Model(2, "B", "2024-01-01 00:00:00.000000");
  product_->Link(1, 2, "KELMMxyz", "2024-01-01 00:00:00.000000");
  product_->Entity(2, 1, "2024-01-01 00:00:00.000000");
  product_->Use(1, 1, "KELMMxyz", "2024-01-01 00:00:00.000000");
  product_->Entity(2, 2, "2024-01-01 00:00:00.000000");
  product_->Use(1, 2, "KELMMxyz", "2023-01-01 00:00:00.000000");
  db().Exec("INSERT INTO $VS_E1.PART_LIST ($COID, $COMPID, C_ID, C_REVISION) VALUES (X'" + CoidHex(1) +
            "', X'0F00000000000001', 'PA', '2');");
  auto window = OpenWindow(1, 0);
  EXPECT_EQ(0u, Root(window)->InformationText().rfind("Object          : A 1\n\nAssociated Part : PA 2\n\n", 0));
  auto links = Root(window)->GetLnkChildren(0);
  ASSERT_EQ(1u, links.size());
  Lnk* link = AsLink(links[0]);
  const std::string where = "Environment: E1\nTable: $EXT\nCOID: " + CoidHex(1) + "\nCOMPID: " + CompidHex(1);
  EXPECT_EQ(
      "Date: 2024-01-01 00:00:00.000000\n\nLink type        : KELMMxyz\nImpacted Object  : A 1\n"
      "Impacting Object : B 1\n1 Model To Model link.\n(Synchronized)\n2 Entity To Entity link.\n"
      "(1 synchronized)\n" +
          where + "\nType: xyz\nStatus: TOK\n",
      link->InformationText());
}

MML_INSTANTIATE_SQLITE(GraphModelTest);
MML_INSTANTIATE_SQLITE(GraphTechnologyTest);

}  // namespace
