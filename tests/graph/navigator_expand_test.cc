// The link graph drawn by the navigator: expand depths, twins and their
// states as branches open and close, forced expansion, loops, solved
// objects, the twin registry, the arcs, the structure list, the order of
// stale children, and `mml graph`.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "graph/kel_lnk_custom_node.h"
#include "graph/kel_lnk_link.h"
#include "graph/kel_lnk_object.h"
#include "host/kel_psn_node.h"
#include "host/kel_zumo_instance.h"
#include "host/navigator/kel_navig_controller.h"
#include "linkdb/kel_lnk_data_manager.h"
#include "support/product.h"
#include "ui/kel_lnk_main_window.h"

namespace {

using Window = KelLnkMainWindow;
using Node = KelLnkCustomNode;

int ModelNumber(const KelLnkNode* node) {
  for (int n = 1; n < 100; ++n) {
    if (node->Instance() == Model(n)) return n;
  }
  return 0;
}

KelLnkObject* ObjectOf(const Node* node) { return static_cast<KelLnkObject*>(node->GetLnkNode()); }

// A window and its navigator, drawn the way the window opens its graph.
struct Drawing {
  std::unique_ptr<Window> window;
  std::unique_ptr<KelNavigController> navigator;

  ~Drawing() {
    if (window) {
      window->EmptyLists();
      window->SetRootController(nullptr);
      window->SetRootCustomNode(nullptr);
    }
    navigator.reset();
    window.reset();
  }

  Node* Root() const { return window->GetRootCustomNode(); }

  // The object display node reached from the root through the models of `path`.
  Node* At(const std::vector<int>& path) const {
    Node* current = Root();
    for (int n : path) {
      Node* next = nullptr;
      for (Node* link : current->GetChildNodes()) {
        for (Node* object : link->GetChildNodes()) {
          if (!next && ModelNumber(object->GetLnkNode()) == n) next = object;
        }
      }
      if (next == nullptr) return nullptr;
      current = next;
    }
    return current;
  }

  // One line per drawn object: indent by object level, the model number,
  // the expand state and "+" when open.
  std::vector<std::string> Objects() const {
    std::vector<std::string> lines;
    navigator->GetRootInstance()->Walk([&lines](KelNavigInstance* instance) {
      auto* node = static_cast<KelLnkNode*>(instance->GetReference().get());
      if (node->GetNodetype() != 0) return;
      lines.push_back(std::string(instance->GetLevel(), ' ') + std::to_string(ModelNumber(node)) + " s" +
                      std::to_string(static_cast<int>(node->IsExpandable())) + (instance->IsExpanded() ? "+" : ""));
    });
    return lines;
  }

  // The user toggles the node.
  void Toggle(Node* node) const { navigator->UserExpand(node->GetNavigInstance()); }
};

class NavigatorExpandTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    db().Init({"E1:objects,links,entities"});
    module_.UseResources(
        "Object.Colours.Default.Good = 11\n"
        "Object.Colours.Default.Bad = 12\n"
        "Object.Colours.SameAsFather = 15\n"
        "Object.Colours.SameInOtherBranch = 16\n"
        "Object.Colours.SameExpandedInOtherBranch = 17\n"
        "Object.Colours.Solved = 18\n");
    Node::RegisterNodeTypes();
    product_ = std::make_unique<Product>(db());
    Configure("KELZUMO.QOR.MML.SHOW_EXTRA_COLOURS = TRUE\n");
  }
  void Configure(const std::string& keys) { module_.Configure(keys); }
  void AddModel(int n, const std::string& date = kDefaultDate) {
    std::string name = "M";
    name += std::to_string(n);
    product_->Model(n, name, date);
  }
  void AddLink(int father, int child) { product_->Link(father, child); }

  // 1 -> 2, 3; 2 -> 4; 3 -> 4; 4 -> 5: model 4 is drawn below 2 and below 3.
  void SharedChildGraph() {
    for (int n = 1; n <= 5; ++n) AddModel(n);
    AddLink(1, 2);
    AddLink(1, 3);
    AddLink(2, 4);
    AddLink(3, 4);
    AddLink(4, 5);
  }

  // Opens the window on model `root` and draws it as the window's refresh does.
  std::unique_ptr<Drawing> Open(int root, Window::Expand expand) {
    auto drawing = std::make_unique<Drawing>();
    KelDMInstance instance = Model(root);
    drawing->window = std::make_unique<Window>(nullptr, &instance, 0, nullptr, nullptr, nullptr);
    drawing->window->SetFilter(Window::FilterAll);
    drawing->window->SetExpand(expand);
    drawing->navigator =
        std::make_unique<KelNavigController>(drawing->window->GetRootObject(), Node::kNodeType, Node::kArcType);
    drawing->navigator->SetDepth(drawing->window->GetExpandDepth());
    drawing->navigator->SetDepth(2);
    drawing->navigator->GetContainer()->Refresh();
    EXPECT_NE(nullptr, drawing->Root()) << "the root display node registers itself";
    drawing->window->EmptyLists();
    KelLnkObject::Clean();
    ObjectOf(drawing->Root())->ExpandCollapse(1, drawing->Root(), 0);
    KelLnkObject::Clean();
    drawing->navigator->GetContainer()->Refresh();
    // The first drawing was rebuilt; nothing names it any more.
    EXPECT_EQ(0, drawing->navigator->GetDroppedCount());
    return drawing;
  }

  ModuleStateGuard module_;
  std::unique_ptr<Product> product_;
};

// ---- Expand depths ----

TEST_P(NavigatorExpandTest, DepthOneOpensOneLevelAndToggleOpensOneMore) {
  SharedChildGraph();
  for (const char* keys : {"", "KELZUMO.QOR.MML.SHOW_EXTRA_COLOURS = TRUE\n"}) {
    SCOPED_TRACE(keys);
    Configure(keys);
    auto drawing = Open(1, Window::One);
    EXPECT_EQ((std::vector<std::string>{"1 s1+", "  2 s1", "  3 s1"}), drawing->Objects());
    drawing->Toggle(drawing->At({2}));
    EXPECT_EQ((std::vector<std::string>{"1 s1+", "  2 s1+", "    4 s1", "  3 s1"}), drawing->Objects());
    drawing->Toggle(drawing->At({2}));
    EXPECT_EQ((std::vector<std::string>{"1 s1+", "  2 s1", "  3 s1"}), drawing->Objects());
  }
}

TEST_P(NavigatorExpandTest, WithoutExtraColoursTheDepthOpensDirectlyAndTwinsAreNotMarked) {
  SharedChildGraph();
  Configure("");
  auto drawing = Open(1, Window::All);
  EXPECT_EQ(
      (std::vector<std::string>{"1 s1+", "  2 s1+", "    4 s1+", "      5 s1+", "  3 s1+", "    4 s1+", "      5 s1+"}),
      drawing->Objects());
}

TEST_P(NavigatorExpandTest, ALoopIsDrawnBelowItselfInStateTwoAndNotOpened) {
  SharedChildGraph();
  AddLink(2, 1);  // 1 -> 2 -> 1
  auto drawing = Open(1, Window::Three);
  const std::vector<std::string> objects = drawing->Objects();
  // The open copy of model 4 is in state 3, the closed one in 4.
  EXPECT_EQ(
      (std::vector<std::string>{"1 s1+", "  2 s1+", "    1 s2", "    4 s3+", "      5 s1", "  3 s1+", "    4 s4"}),
      objects);
  Node* loop = drawing->At({2, 1});
  EXPECT_EQ(15, loop->GetDrawnNode()->GetColor());
  EXPECT_EQ(17, drawing->At({3, 4})->GetDrawnNode()->GetColor());
  EXPECT_EQ(3u, ObjectOf(loop)->GetCycleInformation().size());
}

// ---- Twins ----

TEST_P(NavigatorExpandTest, TwinsFollowWhichCopyIsOpen) {
  SharedChildGraph();
  auto drawing = Open(1, Window::One);
  drawing->Toggle(drawing->At({2}));
  drawing->Toggle(drawing->At({3}));
  EXPECT_EQ((std::vector<std::string>{"1 s1+", "  2 s1+", "    4 s3", "  3 s1+", "    4 s3"}), drawing->Objects());

  // Opening one copy turns the other to 4.
  drawing->Toggle(drawing->At({2, 4}));
  EXPECT_EQ((std::vector<std::string>{"1 s1+", "  2 s1+", "    4 s3+", "      5 s1", "  3 s1+", "    4 s4"}),
            drawing->Objects());
  EXPECT_EQ(17, drawing->At({3, 4})->GetDrawnNode()->GetColor());

  // Closing it brings the other back from 4 to 3.
  drawing->Toggle(drawing->At({2, 4}));
  EXPECT_EQ((std::vector<std::string>{"1 s1+", "  2 s1+", "    4 s3", "  3 s1+", "    4 s3"}), drawing->Objects());
  EXPECT_EQ(16, drawing->At({3, 4})->GetDrawnNode()->GetColor());
  EXPECT_EQ(0, drawing->navigator->GetDroppedCount()) << "a closed branch is released once forgotten";
}

TEST_P(NavigatorExpandTest, ForceExpandOpensACopyWhoseTwinIsOpen) {
  SharedChildGraph();
  auto drawing = Open(1, Window::One);
  drawing->Toggle(drawing->At({2}));
  drawing->Toggle(drawing->At({3}));
  drawing->Toggle(drawing->At({2, 4}));
  Node* copy = drawing->At({3, 4});
  ASSERT_EQ(kExpandSameExpandedInOtherBranch, copy->GetExpandable());

  ObjectOf(copy)->ForceExpand(copy);
  // Both copies open, and model 5 now drawn twice.
  EXPECT_EQ(
      (std::vector<std::string>{"1 s1+", "  2 s1+", "    4 s3+", "      5 s3", "  3 s1+", "    4 s3+", "      5 s3"}),
      drawing->Objects());

  // On any other state: the internal error line, and nothing changes.
  Node* plain = drawing->At({2});
  testing::internal::CaptureStdout();
  ObjectOf(plain)->ForceExpand(plain);
  EXPECT_EQ("QOR INTERNAL ERROR : incorrect object given to KelLnkObject::ForceExpand\n",
            testing::internal::GetCapturedStdout());
  EXPECT_EQ(kExpandOnce, plain->GetExpandable());
  EXPECT_EQ(7u, drawing->Objects().size());
}

TEST_P(NavigatorExpandTest, TheSolvedStateIsNeverRecomputed) {
  SharedChildGraph();
  auto drawing = Open(1, Window::One);
  drawing->Toggle(drawing->At({2}));
  Node* solved = drawing->At({2, 4});
  solved->GetLnkNode()->SetExpandable(kExpandSolved);
  solved->SetExpandable(nullptr);
  EXPECT_EQ(kExpandSolved, solved->GetExpandable());

  // A second copy finds it as a twin but leaves it alone.
  drawing->Toggle(drawing->At({3}));
  EXPECT_EQ(kExpandSolved, solved->GetExpandable());
  EXPECT_EQ(kExpandSameInOtherBranch, drawing->At({3, 4})->GetExpandable());
}

TEST_P(NavigatorExpandTest, NodesOfARebuiltBranchAreNoTwins) {
  SharedChildGraph();
  auto drawing = Open(1, Window::One);
  drawing->Toggle(drawing->At({2}));
  // The root opened again without emptying the registry: the nodes drawn
  // before are still registered but no longer on screen.
  ObjectOf(drawing->Root())->ExpandCollapse(1, drawing->Root(), 0);
  EXPECT_EQ((std::vector<std::string>{"1 s1+", "  2 s1", "  3 s1"}), drawing->Objects());
  EXPECT_GT(drawing->navigator->GetDroppedCount(), 0) << "kept while the registry names them";
  drawing->Toggle(drawing->At({3}));
  EXPECT_EQ((std::vector<std::string>{"1 s1+", "  2 s1", "  3 s1+", "    4 s1"}), drawing->Objects());
}

TEST_P(NavigatorExpandTest, LinkNodesIgnoreTogglesAndMethodsGoToTheMenuBuilder) {
  SharedChildGraph();
  auto drawing = Open(1, Window::One);
  Node* link = drawing->Root()->GetChildNodes()[0];
  ASSERT_EQ(1, link->GetLnkNode()->GetNodetype());
  link->ProcessAfterExpand();
  EXPECT_EQ(3u, drawing->Objects().size());

  std::vector<Node*> asked;
  Node::SetMethodMenuBuilder([&asked](Node& node) { asked.push_back(&node); });
  drawing->navigator->UserMethod(drawing->At({3})->GetNavigInstance());
  Node::SetMethodMenuBuilder(nullptr);
  drawing->navigator->UserMethod(drawing->At({3})->GetNavigInstance());
  EXPECT_EQ((std::vector<Node*>{drawing->At({3})}), asked);
}

// ---- Arcs ----

TEST_P(NavigatorExpandTest, ArcsGetTheAttributeUnlessTechnologiesAreComputed) {
  SharedChildGraph();
  {
    auto drawing = Open(1, Window::One);
    KelIGraphNode* link = drawing->Root()->GetChildNodes()[0]->GetDrawnNode();
    EXPECT_EQ(20, link->GetInArcs()[0]->GetAttribute());
    EXPECT_EQ(20, link->GetOutArcs()[0]->GetAttribute());
  }
  Configure("KELZUMO.QOR.MML.LINK.TECHNO = TRUE\n");
  auto drawing = Open(1, Window::One);
  EXPECT_EQ(0, drawing->Root()->GetChildNodes()[0]->GetDrawnNode()->GetInArcs()[0]->GetAttribute());
}

// ---- Structure and order ----

TEST_P(NavigatorExpandTest, LoadStructureWalksTheGraphOnce) {
  SharedChildGraph();
  KelLnkObject root(Model(1));
  KelLnkDataManager::ClearStructure();
  KelLnkDataManager::AddToStructure(Model(9));
  EXPECT_EQ(1, root.LoadStructure(2, 1));
  ASSERT_EQ(1u, KelLnkDataManager::GetStructure().size()) << "left untouched";

  EXPECT_EQ(0, root.LoadStructure(0, 0));
  EXPECT_EQ((KelListValKelDMInstance{Model(1), Model(2), Model(3), Model(4), Model(5)}),
            KelLnkDataManager::GetStructure());
  EXPECT_EQ(0, root.LoadStructure(1, 1));
  EXPECT_EQ((KelListValKelDMInstance{Model(1), Model(2), Model(3)}), KelLnkDataManager::GetStructure());
  EXPECT_EQ(0, root.LoadStructure(1, 2));
  EXPECT_EQ((KelListValKelDMInstance{Model(1), Model(2), Model(3), Model(4)}), KelLnkDataManager::GetStructure());
}

TEST_P(NavigatorExpandTest, StaleChildrenComeAfterTheObjectsOfTheirBranch) {
  AddModel(1, "2024-01-01 00:00:00.000000");
  AddModel(2, "2024-03-01 00:00:00.000000");  // newer than 1: stale link 1 -> 2
  AddModel(3, "2024-03-01 00:00:00.000000");  // newer than 1: stale link 1 -> 3
  AddModel(4, "2023-01-01 00:00:00.000000");  // older: link 1 -> 4 in step
  AddLink(1, 2);
  AddLink(1, 3);
  AddLink(1, 4);
  AddLink(2, 3);  // 2 points to 3: 3 must be handled first
  KelLnkObject root(Model(1));
  KelListPtrKelLnkObject order = root.GetOrdererNodeList();
  ASSERT_EQ(2u, order.size());
  EXPECT_EQ(Model(3), order[0]->Instance());
  EXPECT_EQ(Model(2), order[1]->Instance());
  for (KelLnkObject* object : order) delete object;
  EXPECT_EQ((KelListValKelUnicodeString{"M3 1 ", "M2 1 "}), root.GetOrdererNodeNameList());
}

// ---- Product structure ----

// A product-structure graph that knows one node, reached by one path.
class OnePathGraph : public KelPSNGraph {
 public:
  OnePathGraph(KelRawColldouble path, KelPSNNode* node) : path_(std::move(path)), node_(node) {}
  KelPSNNode* GetRootNode() override { return &root_; }
  KelPSNNode* GetNode(const KelRawColldouble& path, KelPSNError& error, const KelUnicodeString& mode,
                      KelPSNNode* root) override {
    modes.push_back(mode);
    EXPECT_EQ(&root_, root);
    if (path.size() == path_.size() && std::equal(path.begin(), path.end(), path_.begin(), [](double a, double b) {
          return KelId::FromDouble(a) == KelId::FromDouble(b);
        })) {
      return node_;
    }
    error.code = 42;
    return nullptr;
  }
  int IsValid(int&, KelRawColldouble&, int, const KelQorNode*, void*) override { return 0; }
  KelSdaiModel* GetSdaiModel() override { return nullptr; }
  std::vector<std::string> modes;

 private:
  KelPSNNode root_{1, Model(9)};
  KelRawColldouble path_;
  KelPSNNode* node_;
};

TEST(NavigatorProductStructureTest, SetNodeFindsTheNodeOfTheProductInstanceOrSaysWhy) {
  KelPSNNode placed(7, Model(3));
  const KelId step = KelId::FromHexOrZero("1111111111111111");
  OnePathGraph graph({step.AsDouble()}, &placed);
  KelLnkObject object(Model(3));

  KelZumoInstance zumo(Model(9), std::vector<KelId>{step});
  KelZumoInstance* zumoHandle = &zumo;
  KelPSNNode* node = nullptr;
  KelPSNError error;
  EXPECT_EQ(0, object.SetNode(zumoHandle, &graph, node, &error));
  EXPECT_EQ(&placed, node);
  EXPECT_EQ((std::vector<std::string>{"ref"}), graph.modes);  // no representation: the reference node

  KelZumoInstance elsewhere(Model(9), std::vector<KelId>{KelId::FromHexOrZero("2222222222222222")});
  elsewhere.SetRep("TOVRA_MODEL", Model(3).Compid());
  zumoHandle = &elsewhere;
  node = nullptr;
  EXPECT_EQ(1, object.SetNode(zumoHandle, &graph, node, &error));
  EXPECT_EQ(nullptr, node);
  EXPECT_EQ(42, error.code);
  EXPECT_EQ("inst", graph.modes.back());

  error.Clear();
  EXPECT_EQ(1, object.SetNode(zumoHandle, nullptr, node, &error));
  EXPECT_NE(0, error.code);
  EXPECT_FALSE(error.shortMessage.empty());
}

// ---- mml graph ----

TEST_P(NavigatorExpandTest, GraphCommandPrintsTheDrawnTree) {
  SharedChildGraph();
  TempDir dir;
  WriteFileText(dir.File("site.profile"),
                "ENVIRONMENT = E1\nIDENTIFICATION E1.TOVRA_MODEL C_ID C_REVISION\n"
                "KELZUMO.QOR.MML.SHOW_EXTRA_COLOURS = TRUE\n");
  MmlRun run = RunMml({"--db", db().Url(), "--profile", dir.File("site.profile"), "graph", "E1", "TOVRA_MODEL",
                       CoidHex(1), CompidHex(1), "--depth", "two"});
  ASSERT_EQ(0, run.exitCode) << run.err;
  EXPECT_EQ(
      "OBJECT M1 1 {state=1 open class=good}\n"
      "  LINK xyz {class=good}\n"
      "    OBJECT M2 1 {state=1 open class=good}\n"
      "      LINK xyz {class=good}\n"
      "        OBJECT M4 1 {state=3 closed class=good}\n"
      "  LINK xyz {class=good}\n"
      "    OBJECT M3 1 {state=1 open class=good}\n"
      "      LINK xyz {class=good}\n"
      "        OBJECT M4 1 {state=3 closed class=good}\n",
      run.out);
}

// The command leaves its drawing to the process's end, but not under a
// trace: the trace still shows the window closing.
TEST_P(NavigatorExpandTest, GraphCommandTracesTheWindowClosingUnderATrace) {
  SharedChildGraph();
  const std::vector<std::string> args = {"--db", db().Url(), "graph", "E1", "TOVRA_MODEL", CoidHex(1), CompidHex(1)};
  MmlRun traced = RunMml(args, "", {"MML_TRACE_LEVEL=17"});
  ASSERT_EQ(0, traced.exitCode) << traced.err;
  EXPECT_NE(std::string::npos, traced.out.find("< KelLnkMainWindow::~KelLnkMainWindow"));
}

TEST_P(NavigatorExpandTest, GraphCommandRejectsBadInput) {
  SharedChildGraph();
  MmlRun run = RunMml({"--db", db().Url(), "graph", "E1", "TOVRA_MODEL", CoidHex(1), CompidHex(1), "--depth", "9"});
  EXPECT_NE(0, run.exitCode);
  EXPECT_NE(std::string::npos, run.err.find("invalid depth '9'"));
  EXPECT_TRUE(run.out.empty());
}

MML_INSTANTIATE_SQLITE(NavigatorExpandTest);

}  // namespace
