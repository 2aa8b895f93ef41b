// The navigator on hand-made model nodes: what it draws at which depth, the
// arcs and levels of the drawn tree, rebuilding branches, and the calls it
// makes to the display-node extensions.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "graph/kel_lnk_node.h"
#include "host/navigator/kel_navig_controller.h"

namespace {

// A model node whose children are given by a shared table of names, so that
// loops and shared children can be described.
class FakeNode : public KelLnkNode {
 public:
  using Table = std::map<std::string, std::vector<std::string>>;
  FakeNode(std::string name, const Table* table, std::vector<std::string>* log)
      : name_(std::move(name)), table_(table), log_(log) {}

  KelListValKelUnicodeString GetIdentificators() override { return {name_}; }
  KelListValKelBaseUnknown_var GetChildren() override {
    log_->push_back("children " + name_);
    KelListValKelBaseUnknown_var children;
    auto it = table_->find(name_);
    if (it == table_->end()) return children;
    for (const std::string& child : it->second) children.push_back(std::make_shared<FakeNode>(child, table_, log_));
    return children;
  }
  int GetNodetype() const override { return 0; }
  void CustomGraphNode(KelIGraphNode_var node) override { node->SetColorClass("class-" + name_); }
  void UpdateTextElem(KelIGraphNode_var node) override { node->SetText({name_}); }
  KelLnkGraphWindow* GetMainWindow() const override { return nullptr; }
  int FindNodeInBranch(KelLnkNode&, int&) override { return 0; }

  const std::string& Name() const { return name_; }

 private:
  std::string name_;
  const Table* table_;
  std::vector<std::string>* log_;
};

std::vector<std::string>* gEvents = nullptr;

// Records the navigator's calls.
class RecordingNode : public KelNodeExtension {
 public:
  static std::string NameOf(KelNavigInstance* instance) {
    return static_cast<FakeNode*>(instance->GetReference().get())->Name();
  }
  void UpdateTextElem(KelNavigInstance* instance) override {
    KelNodeExtension::UpdateTextElem(instance);
    gEvents->push_back("text " + NameOf(instance));
  }
  void UpdateElem(KelNavigInstance* instance) override {
    KelNodeExtension::UpdateElem(instance);
    gEvents->push_back("colour " + NameOf(instance));
  }
};

// Writes colours only, as the graph's display node does.
class ColourOnlyNode : public KelNodeExtension {
 public:
  void UpdateTextElem(KelNavigInstance*) override {}
};

class RecordingArc : public KelLinkExtension {
 public:
  void UpdateElem(KelNavigInstance* to) override {
    ASSERT_NE(nullptr, GetGraphLink());
    EXPECT_EQ(to->GetGraphNode(), GetGraphLink()->GetTo());
    GetGraphLink()->SetAttribute(7);
    gEvents->push_back("arc " + RecordingNode::NameOf(to));
  }
};

class NavigatorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    gEvents = &events_;
    KelNavigExtensionRegistry::RegisterNodeType("TEST_node", [] { return std::make_unique<RecordingNode>(); });
    KelNavigExtensionRegistry::RegisterLinkType("TEST_arc", [] { return std::make_unique<RecordingArc>(); });
  }
  void TearDown() override { gEvents = nullptr; }

  KelBaseUnknown_var Node(const std::string& name) { return std::make_shared<FakeNode>(name, &table_, &calls_); }

  // The drawn tree, one "<indent><name><+ when open>" per instance.
  static std::vector<std::string> Drawn(KelNavigController& navigator) {
    std::vector<std::string> lines;
    navigator.GetRootInstance()->Walk([&lines](KelNavigInstance* instance) {
      lines.push_back(std::string(instance->GetLevel() * 2, ' ') + RecordingNode::NameOf(instance) +
                      (instance->IsExpanded() ? "+" : ""));
    });
    return lines;
  }

  static KelNavigInstance* Find(KelNavigController& navigator, const std::string& name) {
    KelNavigInstance* found = nullptr;
    navigator.GetRootInstance()->Walk([&](KelNavigInstance* instance) {
      if (!found && RecordingNode::NameOf(instance) == name) found = instance;
    });
    return found;
  }

  FakeNode::Table table_;
  std::vector<std::string> calls_;
  std::vector<std::string> events_;
};

TEST_F(NavigatorTest, FirstRefreshDrawsTheRootToTheDepthAndNothingBefore) {
  table_ = {{"A", {"l1", "l2"}}, {"l1", {"B"}}, {"l2", {"C"}}, {"B", {"l3"}}, {"l3", {"D"}}};
  KelNavigController navigator(Node("A"), "TEST_node", "TEST_arc");
  navigator.SetDepth(256);
  navigator.SetDepth(2);
  EXPECT_TRUE(calls_.empty()) << "nothing is asked before the first refresh";
  ASSERT_EQ(1u, navigator.GetContainer()->GetInstancesList().size());

  navigator.GetContainer()->Refresh();
  EXPECT_EQ((std::vector<std::string>{"A+", "  l1+", "    B", "  l2+", "    C"}), Drawn(navigator));
  // The last level is drawn closed: its children are not asked for.
  EXPECT_EQ((std::vector<std::string>{"children A", "children l1", "children l2"}), calls_);
  EXPECT_EQ(5, navigator.GetDrawnCount());

  // A second refresh redraws without rebuilding.
  calls_.clear();
  events_.clear();
  navigator.GetContainer()->Refresh();
  EXPECT_TRUE(calls_.empty());
  EXPECT_EQ((std::vector<std::string>{"text A", "colour A", "arc l1", "arc l2", "text l1", "colour l1", "arc B",
                                      "text B", "colour B", "text l2", "colour l2", "arc C", "text C", "colour C"}),
            events_);
}

TEST_F(NavigatorTest, ExpandRebuildsTheBranchAndKeepsDroppedNodesUntilReleased) {
  table_ = {{"A", {"l1"}}, {"l1", {"B"}}, {"B", {"l2"}}, {"l2", {"C"}}, {"C", {"l3"}}, {"l3", {"D"}}};
  KelNavigController navigator(Node("A"), "TEST_node", "TEST_arc");
  navigator.GetContainer()->Refresh();
  KelNavigInstance* oldB = Find(navigator, "B");
  navigator.GetHSO().AddElement(oldB);

  EXPECT_EQ(6, navigator.GetRootInstance()->Expand(6));
  EXPECT_EQ(
      (std::vector<std::string>{"A+", "  l1+", "    B+", "      l2+", "        C+", "          l3+", "            D"}),
      Drawn(navigator));
  // The B drawn before is gone from the tree and from the selection, but
  // still alive for whoever names it.
  EXPECT_NE(oldB, Find(navigator, "B"));
  EXPECT_FALSE(oldB->IsDrawn());
  EXPECT_TRUE(Find(navigator, "B")->IsDrawn());
  EXPECT_EQ(0, navigator.GetHSO().GetCount());
  EXPECT_EQ(1, navigator.GetDroppedCount());
  navigator.ReleaseDropped();
  EXPECT_EQ(0, navigator.GetDroppedCount());

  EXPECT_EQ(0, navigator.GetRootInstance()->Expand(0)) << "no level asked, nothing changes";
  EXPECT_EQ(7, navigator.GetDrawnCount());
}

TEST_F(NavigatorTest, NodesWithoutExtensionAreDrawnByTheirModelNode) {
  table_ = {{"A", {"l1"}}, {"l1", {"B"}}};
  KelNavigController navigator(Node("A"), "NO_SUCH_node", "NO_SUCH_arc");
  navigator.GetContainer()->Refresh();
  KelNavigInstance* b = navigator.GetRootInstance()->GetChild(0)->GetChild(0);
  EXPECT_EQ(nullptr, b->GetImplementation());
  EXPECT_EQ("class-B", b->GetGraphNode()->GetColorClass());
  EXPECT_EQ(0, b->GetGraphNode()->GetInArcs()[0]->GetAttribute());
  navigator.UserExpand(navigator.GetRootInstance());  // toggles closed without a display node
  EXPECT_FALSE(navigator.GetRootInstance()->IsExpanded());
}

TEST_F(NavigatorTest, TextsNotWrittenAreAskedOfTheModelNodeAndDroppedNodesLoseTheirArc) {
  table_ = {{"A", {"l1"}}, {"l1", {"B"}}};
  KelNavigExtensionRegistry::RegisterNodeType("QUIET_node", [] { return std::make_unique<ColourOnlyNode>(); });
  KelNavigController navigator(Node("A"), "QUIET_node", "TEST_arc");
  navigator.GetContainer()->Refresh();
  KelNavigInstance* l1 = navigator.GetRootInstance()->GetChild(0);
  KelIGraphNode* b = l1->GetChild(0)->GetGraphNode();
  EXPECT_EQ((std::vector<std::string>{"B"}), b->GetText());
  b->SetText({"set"});
  EXPECT_EQ((std::vector<std::string>{"set"}), b->GetText()) << "a text set on the node is kept";
  EXPECT_EQ(l1->GetGraphNode(), b->GetInArcs().at(0)->GetFrom());
  EXPECT_EQ(7, navigator.GetRootInstance()->GetGraphNode()->GetOutArcs().at(0)->GetAttribute());
  navigator.GetRootInstance()->Collapse();
  EXPECT_TRUE(l1->GetGraphNode()->GetInArcs().empty()) << "a dropped node is no longer reached from its father";
  EXPECT_TRUE(navigator.GetRootInstance()->GetGraphNode()->GetOutArcs().empty());
}

}  // namespace
