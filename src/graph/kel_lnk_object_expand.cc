// KelLnkObject: opening and closing branches of the drawn graph, the
// product-structure attachment, the structure list and the synchronisation
// order of stale children.
#include <cstdio>
#include <iostream>
#include <memory>
#include <unordered_set>

#include "foundation/kel_lnk_tools.h"
#include "graph/kel_lnk_custom_node.h"
#include "graph/kel_lnk_graph_window.h"
#include "graph/kel_lnk_link.h"
#include "graph/kel_lnk_object.h"
#include "host/kel_psn_node.h"
#include "host/kel_psn_trace.h"
#include "host/kel_zumo_instance.h"
#include "host/navigator/kel_navig_controller.h"
#include "host/navigator/kel_navig_instance.h"
#include "linkdb/kel_lnk_data_manager.h"

namespace {

// Navigator levels of the window's expand depth (One when there is no window).
int WindowDepth(const KelLnkGraphWindow* window) { return window ? window->GetExpandDepth() : 2; }

// The object display nodes drawn two navigator levels below `node` (below
// each of its link nodes), in drawing order.
KelListPtrKelLnkCustomNode Grandchildren(const KelLnkCustomNode* node) {
  KelListPtrKelLnkCustomNode result;
  for (KelLnkCustomNode* link : node->GetChildNodes()) {
    for (KelLnkCustomNode* object : link->GetChildNodes()) result.push_back(object);
  }
  return result;
}

KelLnkObject* ObjectOf(const KelLnkCustomNode* node) {
  KelLnkNode* model = node ? node->GetLnkNode() : nullptr;
  return (model && model->GetNodetype() == 0) ? static_cast<KelLnkObject*>(model) : nullptr;
}

// Releases the nodes the navigator no longer draws unless the window's twin
// registry still names one of them.
void ReleaseUnregistered(KelLnkGraphWindow* window, KelNavigController* navigator) {
  if (navigator->GetDroppedCount() == 0) return;
  auto gone = [](const KelLnkCustomNode* node) {
    return node && node->GetNavigInstance() && !node->GetNavigInstance()->IsDrawn();
  };
  if (window) {
    for (int k = 0; k < window->GetListSize(); ++k) {
      if (gone(window->GetNodeList(k))) return;
      for (const KelLnkCustomNode* node : window->GetListOfNodes(k)) {
        if (gone(node)) return;
      }
    }
  }
  navigator->ReleaseDropped();
}

}  // namespace

void KelLnkObject::ExpandCollapse(const int expand, const KelLnkCustomNode* node, const int depth) {
  MML_TRACE("KelLnkObject::ExpandCollapse");
  KelLnkTools::Busy();
  if (node == nullptr || node->GetNavigInstance() == nullptr) return;
  KelNavigInstance* controller = node->GetNavigInstance();
  KelNavigController* navigator = controller->GetNavigController();

  if (!KelLnkTools::IsExtraColours()) {
    if (expand) {
      controller->Expand(WindowDepth(window_));
    } else {
      controller->Collapse();
    }
    ReleaseUnregistered(window_, navigator);
    navigator->GetContainer()->Refresh();
    return;
  }

  if (expand) {
    if (DbgExpand()) std::cout << " Expand : passage ici \n" << std::flush;
    const int d = WindowDepth(window_) - 2;
    if (d >= 0) controller->Expand(2);
    if (expandable_ == kExpandSameInOtherBranch) {
      KelListPtrKelLnkCustomNode twins;
      node->FindThisInGraph(&twins);
      if (depth <= 0) {
        for (KelLnkCustomNode* twin : twins) {
          if (twin == node || twin->GetExpandable() != kExpandSameInOtherBranch) continue;
          if (DbgExpand()) std::cout << "  . BLANC -> BLEU pour les noeuds jumeaux \n" << std::flush;
          twin->UpdateAsTwin(kExpandSameExpandedInOtherBranch);
        }
      }
    }
    if (d >= 0) {
      if (DbgExpand()) std::cout << " .fils du noeud : update du style \n" << std::flush;
      for (KelLnkCustomNode* child : Grandchildren(node)) {
        KelLnkObject* object = ObjectOf(child);
        if (object == nullptr) continue;
        child->SetExpandable(nullptr);
        // A copy drawn below itself or whose twin is open elsewhere stays closed.
        const ConditionIsExpandable state = child->GetExpandable();
        if (d > 0 && state != kExpandSameExpandedInOtherBranch && state != kExpandSameAsFather) {
          object->JustExpandIt(child, d);
        }
      }
    }
    ReleaseUnregistered(window_, navigator);
    return;
  }

  if (DbgExpand()) std::cout << " Collapse : passage ici \n" << std::flush;
  controller->Collapse();
  KelListPtrKelLnkCustomNode all;
  const_cast<KelLnkCustomNode*>(node)->FoundAllInGraph(&all);
  if (window_) window_->EmptyLists();
  for (KelLnkCustomNode* drawn : all) drawn->SetExpandable(node);
  // The registry now names drawn nodes only: the closed branch can go.
  navigator->ReleaseDropped();
}

void KelLnkObject::JustExpandIt(const KelLnkCustomNode* node, const int depth) {
  MML_TRACE("KelLnkObject::JustExpandIt");
  if (node == nullptr || node->GetNavigInstance() == nullptr) return;
  const int d = (depth == -1 ? WindowDepth(window_) : depth) - 2;
  if (d < 0) return;
  node->GetNavigInstance()->Expand(2);
  for (KelLnkCustomNode* child : Grandchildren(node)) {
    KelLnkObject* object = ObjectOf(child);
    if (object == nullptr) continue;
    child->SetExpandable(nullptr);
    const ConditionIsExpandable state = child->GetExpandable();
    if (state != kExpandSameAsFather && state != kExpandSameExpandedInOtherBranch && d >= 1) {
      object->JustExpandIt(child, d);
    }
  }
}

void KelLnkObject::ForceExpand(const KelLnkCustomNode* node) {
  MML_TRACE("KelLnkObject::ForceExpand");
  if (expandable_ != kExpandSameExpandedInOtherBranch || node == nullptr) {
    std::cout << "QOR INTERNAL ERROR : incorrect object given to KelLnkObject::ForceExpand" << std::endl;
    return;
  }
  node->UpdateAsTwin(kExpandSameInOtherBranch);
  ExpandCollapse(1, node, 1);
}

int KelLnkObject::SetNode(KelZumoInstance*& zumo, KelPSNGraph* graph, KelPSNNode*& node, KelPSNError* error) {
  MML_TRACE("KelLnkObject::SetNode");
  // The node is looked up by the product instance's path from the graph's
  // root; creating missing nodes needs the product-structure navigator.
  if (graph == nullptr || zumo == nullptr || graph->GetRootNode() == nullptr) {
    if (error) {
      error->code = 1;
      error->shortMessage = "No product-structure graph";
      error->longMessage = "The object cannot be placed: no product-structure graph or product instance.";
    }
    return 1;
  }
  KelRawColldouble path;
  for (const KelId& id : zumo->GetPath()) path.push_back(id.AsDouble());
  KelPSNError local;
  KelPSNError& err = error ? *error : local;
  const bool reference = !zumo->HasRep();
  mmlFunctionTrace.Write(reference ? "    -> create node for reference " : "    -> create node for instance ");
  KelPSNNode* found = graph->GetNode(path, err, reference ? "ref" : "inst", graph->GetRootNode());
  if (found == nullptr) {
    if (err.code == 0) err.code = 1;
    return 1;
  }
  node = found;
  return 0;
}

int KelLnkObject::LoadStructure(const int level, const int depth) {
  MML_TRACE("KelLnkObject::LoadStructure");
  if (level > depth) return 1;
  KelLnkDataManager::ClearStructure();
  KelLnkDataManager::AddToStructure(*instance_);
  if (depth < 1) {
    LoadStructureBelow(0, 0);
  } else {
    LoadStructureBelow(1, depth);
  }
  return 0;
}

void KelLnkObject::LoadStructureBelow(const int level, const int depth) {
  MML_TRACE("KelLnkObject::GetStructure");
  // Each object appends its new children to the structure list, then walks
  // into them one after the other: depth first, without recursion so that a
  // long chain of objects cannot exhaust the stack. `depth` 0 walks the whole
  // graph; otherwise the walk goes down while the level is below `depth`.
  struct Frame {
    KelListValKelBaseUnknown_var links;  // the kept child links (they hold their objects)
    size_t next = 0;
    int level = 0;
  };
  auto keptLinks = [](KelLnkObject* object) {
    KelListValKelBaseUnknown_var kept;
    for (KelBaseUnknown_var& handle : object->GetLnkChildren(0)) {
      KelLnkObject* child = static_cast<KelLnkLink*>(handle.get())->GetChild();
      if (child == nullptr || KelLnkDataManager::IsInStructure(child->Instance())) continue;
      KelLnkDataManager::AddToStructure(child->Instance());
      kept.push_back(std::move(handle));
    }
    return kept;
  };
  auto goesDeeper = [depth](int atLevel) { return depth == 0 || atLevel < depth; };

  std::vector<Frame> stack;
  stack.push_back(Frame{keptLinks(this), 0, level});
  while (!stack.empty()) {
    Frame& top = stack.back();
    if (!goesDeeper(top.level) || top.next >= top.links.size()) {
      stack.pop_back();
      continue;
    }
    KelLnkObject* child = static_cast<KelLnkLink*>(top.links[top.next++].get())->GetChild();
    const int childLevel = depth == 0 ? top.level : top.level + 1;
    KelListValKelBaseUnknown_var kept = keptLinks(child);
    stack.push_back(Frame{std::move(kept), 0, childLevel});
  }
}

KelListPtrKelLnkObject KelLnkObject::GetOrdererNodeList() {
  MML_TRACE("KelLnkObject::GetOrdererNodeList");
  KelLnkTools::Busy();
  // 1. The stale children, each once.
  KelListValKelBaseUnknown_var links = GetLnkChildren(0);
  std::vector<KelLnkObject*> kept;
  for (const KelBaseUnknown_var& handle : links) {
    auto* link = static_cast<KelLnkLink*>(handle.get());
    const int condition = link->GetCondition(0);
    if (condition != KelLnkLink::BADDATE && condition != KelLnkLink::UP_BADDATE) continue;
    KelLnkObject* child = link->GetChild();
    if (child == nullptr) continue;
    bool repeated = false;
    for (KelLnkObject* other : kept) repeated = repeated || *other == *child;
    if (!repeated) kept.push_back(child);
  }
  // 2. For each, the other stale children found in its branch.
  const size_t n = kept.size();
  std::vector<std::vector<size_t>> below(n);
  for (size_t i = 0; i < n; ++i) {
    for (size_t j = 0; j < n; ++j) {
      if (i == j) continue;
      int counter = 20;
      if (kept[i]->FindNodeInBranch(*kept[j], counter)) below[i].push_back(j);
    }
  }
  // 3. Every object after the objects of its branch (a depth-first
  // post-order; a cycle is cut where it is first met).
  std::vector<int> mark(n, 0);  // 0 new, 1 on the path, 2 placed
  std::vector<size_t> order;
  for (size_t start = 0; start < n; ++start) {
    if (mark[start]) continue;
    std::vector<std::pair<size_t, size_t>> path{{start, 0}};
    mark[start] = 1;
    while (!path.empty()) {
      auto& [i, next] = path.back();
      if (next < below[i].size()) {
        const size_t j = below[i][next++];
        if (mark[j] == 0) {
          mark[j] = 1;
          path.push_back({j, 0});
        }
        continue;
      }
      mark[i] = 2;
      order.push_back(i);
      path.pop_back();
    }
  }
  // Copies owned by the caller: the links that hold the children go away here.
  KelListPtrKelLnkObject result;
  for (size_t i : order) {
    auto* copy = new KelLnkObject(*kept[i]);
    copy->SetParent(nullptr);
    result.push_back(copy);
  }
  return result;
}

KelListValKelUnicodeString KelLnkObject::GetOrdererNodeNameList() {
  MML_TRACE("KelLnkObject::GetOrdererNodeNameList");
  KelListValKelUnicodeString names;
  for (KelLnkObject* object : GetOrdererNodeList()) {
    KelUnicodeString text;
    for (const KelUnicodeString& part : object->GetIdentificators()) text += part + " ";
    names.push_back(text);
    delete object;
  }
  return names;
}
