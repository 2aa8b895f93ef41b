#include "graph/kel_lnk_custom_node.h"

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "foundation/kel_lnk_tools.h"
#include "graph/kel_lnk_object.h"
#include "host/kel_psn_trace.h"
#include "host/kel_zumo_instance.h"
#include "host/navigator/kel_navig_controller.h"
#include "host/navigator/kel_navig_instance.h"

namespace {

KelLnkCustomNode::MethodMenuBuilder& MenuBuilder() {
  static KelLnkCustomNode::MethodMenuBuilder builder;
  return builder;
}

// The key under which the registry entries of one object are found:
// environment, table without trailing blanks, coid and compid.
std::string InstanceKey(const KelDMInstance& instance) {
  std::string key = instance.GetEnvironment();
  key += '\0';
  key += KelLnkTools::RightTrim(instance.GetTable());
  key += '\0';
  key += instance.GetXCoid();
  key += instance.GetXCompid();
  return key;
}

// An index of a window's twin registry by object, so that a lookup costs
// the same whatever the size of the graph. The registry itself stays in the
// window; the index follows it: entries appended since the last lookup are
// indexed on the next one, and a registry that was emptied (or no longer
// ends with the entry last indexed) is indexed again from the start.
struct RegistryIndex {
  int indexed = 0;
  const KelLnkCustomNode* lastCreator = nullptr;
  std::string lastKey;
  // Entry numbers by object, oldest first.
  std::unordered_map<std::string, std::vector<int>> entries;
  // Display nodes already in the registry (as creator or in a node list).
  std::unordered_set<const KelLnkCustomNode*> registered;

  void Reset() {
    indexed = 0;
    lastCreator = nullptr;
    lastKey.clear();
    entries.clear();
    registered.clear();
  }

  void Follow(KelLnkGraphWindow& window) {
    const int size = window.GetListSize();
    if (size < indexed || (indexed > 0 && (window.GetNodeList(indexed - 1) != lastCreator ||
                                           InstanceKey(window.GetReferenceList(indexed - 1)) != lastKey))) {
      Reset();
    }
    for (int k = indexed; k < size; ++k) {
      std::string key = InstanceKey(window.GetReferenceList(k));
      entries[key].push_back(k);
      registered.insert(window.GetNodeList(k));
      for (const KelLnkCustomNode* node : window.GetListOfNodes(k)) registered.insert(node);
      if (k == size - 1) lastKey = std::move(key);
    }
    if (size > indexed) {
      indexed = size;
      lastCreator = window.GetNodeList(size - 1);
    }
  }
};

// The indexes of the windows used last, most recent first. A window that
// falls out is indexed again from its registry when it comes back.
RegistryIndex& IndexOf(const KelLnkGraphWindow* window) {
  constexpr size_t kWindowsKept = 4;
  static std::vector<std::pair<const KelLnkGraphWindow*, std::unique_ptr<RegistryIndex>>> indexes;
  for (size_t i = 0; i < indexes.size(); ++i) {
    if (indexes[i].first != window) continue;
    const auto at = indexes.begin() + static_cast<std::ptrdiff_t>(i);
    if (i != 0) std::rotate(indexes.begin(), at, at + 1);
    return *indexes.front().second;
  }
  if (indexes.size() == kWindowsKept) indexes.pop_back();
  indexes.insert(indexes.begin(), {window, std::make_unique<RegistryIndex>()});
  return *indexes.front().second;
}

KelUnicodeString InstanceText(const KelDMInstance& instance) {
  return instance.GetEnvironment() + " " + instance.GetTable() + " " + instance.GetXCoid() + " " +
         instance.GetXCompid();
}

}  // namespace

void KelLnkCustomNode::RegisterNodeTypes() {
  KelNavigExtensionRegistry::RegisterInPlaceNodeType<KelLnkCustomNode>(kNodeType);
}

void KelLnkCustomNode::SetMethodMenuBuilder(MethodMenuBuilder builder) { MenuBuilder() = std::move(builder); }

KelLnkNode* KelLnkCustomNode::Node() const {
  KelNavigInstance* instance = Attached();
  return resolved_ && instance != nullptr ? static_cast<KelLnkNode*>(instance->GetReferenceNode()) : nullptr;
}

KelLnkGraphWindow* KelLnkCustomNode::Window() const { return Node() ? Node()->GetMainWindow() : nullptr; }

KelIGraphNode* KelLnkCustomNode::GetDrawnNode() const { return GetGraphNode(); }

KelLnkCustomNode* KelLnkCustomNode::FromGraphNode(const KelIGraphNode* node) {
  KelNavigInstance* instance = KelNavigInstance::FromGraphNode(node);
  return instance ? dynamic_cast<KelLnkCustomNode*>(instance->GetImplementation()) : nullptr;
}

KelLnkCustomNode* KelLnkCustomNode::GetFatherNode() const {
  KelIGraphNode* drawn = GetDrawnNode();
  if (drawn == nullptr) return nullptr;
  std::vector<KelIGraphLink*> in = drawn->GetInArcs();
  if (in.empty()) return nullptr;
  return FromGraphNode(in.front()->GetFrom());
}

KelListPtrKelLnkCustomNode KelLnkCustomNode::GetChildNodes() const {
  KelListPtrKelLnkCustomNode children;
  KelIGraphNode* drawn = GetDrawnNode();
  if (drawn == nullptr) return children;
  for (KelIGraphLink* arc : drawn->GetOutArcs()) {
    if (KelLnkCustomNode* child = FromGraphNode(arc->GetTo())) children.push_back(child);
  }
  return children;
}

// ---- Drawing ----

void KelLnkCustomNode::Resolve(KelNavigInstance* instance) {
  Attach(instance);
  resolved_ = true;
  KelLnkGraphWindow* window = Window();
  if (window == nullptr || window->GetRootController() != nullptr || instance == nullptr) return;
  const std::vector<KelNavigInstance*>& tops = instance->GetNavigController()->GetContainer()->GetInstancesList();
  if (tops.size() == 1 && tops.front()->GetReferenceNode() == instance->GetReferenceNode()) {
    window->SetRootController(instance);
    window->SetRootCustomNode(this);
  }
}

void KelLnkCustomNode::UpdateTextElem(KelNavigInstance* instance) {
  MML_TRACE("KelLnkCustomNode::UpdateTextElem");
  Resolve(instance);
  // The navigator's node asks the model node for its texts when they are
  // read: a whole-depth graph would otherwise hold a copy per drawn node.
}

void KelLnkCustomNode::UpdateElem(KelNavigInstance* instance) {
  MML_TRACE("KelLnkCustomNode::UpdateElem");
  Resolve(instance);
  if (Node()) Node()->CustomGraphNode(GetDrawnNode());
  // The arc that reaches the node takes the drawing attribute 20 unless link
  // technologies are computed. The node sets it: an arc extension each would
  // cost a whole-depth graph an allocation per drawn node.
  if (instance != nullptr && !KelLnkTools::IsComputeLinkTechno()) {
    for (KelIGraphLink* arc : instance->GetGraphNode()->GetInArcs()) arc->SetAttribute(20);
  }
}

void KelLnkCustomNode::ProcessAfterExpand() {
  MML_TRACE("KelLnkCustomNode::ProcessAfterExpand");
  if (Node() == nullptr || Node()->GetNodetype() != 0) return;
  KelIGraphNode* drawn = GetDrawnNode();
  if (drawn == nullptr || Attached() == nullptr) return;
  auto* object = static_cast<KelLnkObject*>(Node());
  KelNavigController* navigator = Attached()->GetNavigController();
  object->ExpandCollapse(drawn->IsExpanded() ? 0 : 1, this, 0);
  KelLnkObject::Clean();
  // Shown again: every drawn node takes its texts and colours anew.
  navigator->GetContainer()->Refresh();
}

void KelLnkCustomNode::ProcessAfterMethod() {
  MML_TRACE("KelLnkCustomNode::ProcessAfterMethod");
  if (MenuBuilder()) MenuBuilder()(*this);
}

// ---- Twins ----

ConditionIsExpandable KelLnkCustomNode::GetExpandable() const {
  return Node() ? Node()->IsExpandable() : kExpandNotComputed;
}

void KelLnkCustomNode::UpdateAsTwin(int state) const {
  MML_TRACE("KelLnkCustomNode::UpdateAsTwin");
  if (Node() == nullptr) return;
  Node()->SetExpandable(static_cast<ConditionIsExpandable>(state));
  Node()->CustomGraphNode(GetDrawnNode());
}

void KelLnkCustomNode::FindThisInGraph(KelListPtrKelLnkCustomNode* twins) const {
  MML_TRACE("KelLnkCustomNode::FindThisInGraph");
  KelLnkGraphWindow* window = Window();
  if (window == nullptr || window->GetRootController() == nullptr) return;
  auto* root = dynamic_cast<KelLnkCustomNode*>(window->GetRootController()->GetImplementation());
  if (root) NewFindList(this, root, twins);
}

void KelLnkCustomNode::NewFindList(const KelLnkCustomNode* node, KelLnkCustomNode* root,
                                   KelListPtrKelLnkCustomNode* twins) const {
  MML_TRACE("KelLnkCustomNode::NewFindList");
  KelLnkGraphWindow* window = Window();
  if (window == nullptr || node == nullptr || root == nullptr || node->Node() == nullptr) return;
  RegistryIndex& index = IndexOf(window);
  index.Follow(*window);

  auto* self = const_cast<KelLnkCustomNode*>(node);
  auto registerNew = [&](KelZumoInstance* zumo) {
    if (!index.registered.insert(self).second) return;  // registered once only
    window->FillLists(self, node->Node()->Instance(), zumo);
    index.Follow(*window);
  };
  auto takeTwins = [&](int k) {
    for (KelLnkCustomNode* twin : window->GetListOfNodes(k)) {
      // Nodes of a closed branch are no copies on screen.
      if (twin != node && twins && twin->Attached() && twin->Attached()->IsDrawn()) twins->push_back(twin);
    }
    KelListPtrKelLnkCustomNode& list = window->GetListOfNodes(k);
    if (std::find(list.begin(), list.end(), node) == list.end()) window->AddNodeInList(k, self);
  };

  if (window->GetListSize() == 0) {
    if (root->Node() == nullptr) return;
    window->FillLists(root, root->Node()->Instance(), root->Node()->GetZumoInstance());
    index.Follow(*window);
  }
  if (node == root) return;

  const KelDMInstance& instance = node->Node()->Instance();
  if (!KelLnkTools::IsTOVRAV5True() || !window->HasPSNContext()) {
    auto it = index.entries.find(InstanceKey(instance));
    if (it != index.entries.end() && !it->second.empty()) takeTwins(it->second.front());
    registerNew(nullptr);
    return;
  }

  KelZumoInstance* zumo = node->Node()->GetZumoInstance();
  int match = -1;
  if (zumo) {
    if (!zumo->IsFullyDefined()) zumo->FullyDefine();
    for (int k = 0; k < window->GetListSize() && match < 0; ++k) {
      KelZumoInstance* other = window->GetInstanceList(k);
      if (other && *other == *zumo) match = k;
    }
  } else {
    auto it = index.entries.find(InstanceKey(instance));
    if (it != index.entries.end()) {
      for (int k : it->second) {
        if (window->GetInstanceList(k) == nullptr) {
          match = k;
          break;
        }
      }
    }
  }
  if (match >= 0) takeTwins(match);
  registerNew(zumo);
}

void KelLnkCustomNode::GetAllGraph(KelLnkCustomNode* from, KelListPtrKelLnkCustomNode* all) {
  MML_TRACE("KelLnkCustomNode::GetAllGraph");
  if (from == nullptr || all == nullptr) return;
  std::vector<KelLnkCustomNode*> stack{from};
  while (!stack.empty()) {
    KelLnkCustomNode* current = stack.back();
    stack.pop_back();
    if (current->Node() && current->Node()->GetNodetype() == 0) all->push_back(current);
    KelIGraphNode* drawn = current->GetDrawnNode();
    if (drawn == nullptr || !drawn->IsExpanded()) continue;
    KelListPtrKelLnkCustomNode children = current->GetChildNodes();
    for (auto it = children.rbegin(); it != children.rend(); ++it) stack.push_back(*it);
  }
}

void KelLnkCustomNode::FoundAllInGraph(KelListPtrKelLnkCustomNode* all) {
  MML_TRACE("KelLnkCustomNode::FoundAllInGraph");
  if (all == nullptr) return;
  KelLnkGraphWindow* window = Window();
  KelLnkCustomNode* root = window ? window->GetRootCustomNode() : nullptr;
  if (root == nullptr) return;
  KelListPtrKelLnkCustomNode found;
  GetAllGraph(root, &found);
  std::unordered_set<KelLnkCustomNode*> seen(all->begin(), all->end());
  for (KelLnkCustomNode* node : found) {
    if (seen.insert(node).second) all->push_back(node);
  }
}

void KelLnkCustomNode::SetExpandable(const KelLnkCustomNode* collapsed) const {
  MML_TRACE("KelLnkCustomNode::SetExpandable");
  if (Node() == nullptr) return;
  const bool debug = KelLnkTools::DbgCustom() != 0;
  if (debug) std::printf(" SetExpandable pour Instance :\n\t %s\n", InstanceText(Node()->Instance()).c_str());
  if (Node()->IsExpandable() == kExpandSolved) {
    if (debug) std::printf(" SetExpandable <In fine> : %u \n", static_cast<unsigned>(kExpandSolved));
    return;
  }

  KelListPtrKelLnkCustomNode twins;
  FindThisInGraph(&twins);
  if (debug) std::printf(" SetExpandable : %u jumeau(x) trouve(s)\n", static_cast<unsigned>(twins.size()));

  ConditionIsExpandable result = kExpandOnce;
  if (!twins.empty()) {
    result = kExpandSameInOtherBranch;
    // The drawn ancestors of this node, itself included, walked once.
    std::unordered_set<const KelLnkCustomNode*> ancestors;
    for (const KelLnkCustomNode* up = this; up != nullptr; up = up->GetFatherNode()) {
      if (!ancestors.insert(up).second) break;
    }
    for (const KelLnkCustomNode* twin : twins) {
      if (ancestors.count(twin)) {
        result = kExpandSameAsFather;
        break;
      }
    }
    if (debug && result == kExpandSameAsFather) std::printf(" SetExpandable : boucle sur un pere\n");
  }

  if (result == kExpandSameInOtherBranch) {
    // Which copies of the object are open decides every copy's state: an
    // open copy is 3, a closed one 4 as soon as another copy is open, else 3.
    // Copies drawn below themselves (2) and solved ones (5) keep their state.
    KelIGraphNode* drawn = GetDrawnNode();
    const bool selfExpanded = drawn != nullptr && drawn->IsExpanded() && collapsed != this;
    int expandedTwins = 0;
    for (const KelLnkCustomNode* twin : twins) {
      KelIGraphNode* twinDrawn = twin->GetDrawnNode();
      if (twinDrawn && twinDrawn->IsExpanded() && twin != collapsed) ++expandedTwins;
    }
    for (const KelLnkCustomNode* twin : twins) {
      const ConditionIsExpandable state = twin->GetExpandable();
      if (state == kExpandSameAsFather || state == kExpandSolved || state == kExpandNotComputed) continue;
      KelIGraphNode* twinDrawn = twin->GetDrawnNode();
      const bool open = twinDrawn && twinDrawn->IsExpanded() && twin != collapsed;
      const bool otherOpen = selfExpanded || expandedTwins > (open ? 1 : 0);
      const ConditionIsExpandable wanted =
          (!open && otherOpen) ? kExpandSameExpandedInOtherBranch : kExpandSameInOtherBranch;
      if (state != wanted) {
        if (debug) std::printf(" SetExpandable : jumeau -> %u\n", static_cast<unsigned>(wanted));
        twin->UpdateAsTwin(wanted);
      }
    }
    if (!selfExpanded && expandedTwins > 0) result = kExpandSameExpandedInOtherBranch;
  }

  if (debug) std::printf(" SetExpandable <In fine> : %u \n", static_cast<unsigned>(result));
  std::fflush(stdout);
  Node()->SetExpandable(result);
  Node()->CustomGraphNode(GetDrawnNode());
}
