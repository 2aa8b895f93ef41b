// The graph window opened from a product structure: the PSN menu, the
// selection mirrored into the product-structure graph and back, the validity
// of the drawn objects and the refresh check.
#include <map>

#include "graph/kel_lnk_object.h"
#include "host/kel_psn_node.h"
#include "host/kel_psn_trace.h"
#include "host/kel_zumo_instance.h"
#include "host/navigator/kel_navig_instance.h"
#include "host/psn/kel_psn_tree.h"
#include "ui/kel_lnk_filter_dialog.h"
#include "ui/kel_lnk_window_view.h"

namespace {

// The navigator window of each product-structure graph, for "Bring up".
std::map<KelPSNGraph*, KelDlgObject*>& PSNDialogs() {
  static std::map<KelPSNGraph*, KelDlgObject*> dialogs;
  return dialogs;
}

// The objects of the highlighted set, each once, in drawing order.
std::vector<KelLnkObject*> SelectedObjects(KelLnkNavigatorController* navigator) {
  std::vector<KelLnkObject*> objects;
  KelNavigInstance* root = navigator->GetRootInstance();
  if (root == nullptr) return objects;
  root->Walk([&](KelNavigInstance* instance) {
    if (!navigator->GetHSO().IsMember(instance)) return;
    auto* object = dynamic_cast<KelLnkObject*>(instance->GetReference().get());
    if (object == nullptr) return;
    for (KelLnkObject* known : objects)
      if (known == object) return;
    objects.push_back(object);
  });
  return objects;
}

}  // namespace

void KelLnkWindowView::SetPSNDialog(KelPSNGraph* graph, KelDlgObject* dialog) {
  if (dialog == nullptr)
    PSNDialogs().erase(graph);
  else
    PSNDialogs()[graph] = dialog;
}

void KelLnkWindowView::BuildPSNMenu(KelDlgObject* bar) {
  KelDlgObject* menu = AddMenu(bar, "MenuPSN", "MainWindow.Menu.PSN.Title", "PSN");
  AddItem(menu, KelDlgObject::Kind::PushItem, "ItemPSNObjects", "MainWindow.Menu.PSN.Objects.Title", "Objects...",
          "MainWindow.Menu.PSN.Objects.Help", "View filtered objects", &KelLnkWindowView::CBPSNObjects, 0);
  AddItem(menu, KelDlgObject::Kind::PushItem, "ItemPSNBringUp", "MainWindow.Menu.PSN.BringUp.Title", "Bring up",
          "MainWindow.Menu.PSN.BringUp.Help", "Bring father PSN up", &KelLnkWindowView::CBPSNBringUp, 0);
}

void KelLnkWindowView::HoldPSNGraph(std::shared_ptr<KelPSNGraph> graph) {
  if (auto* tree = dynamic_cast<KelPSNTree*>(psnHold_.get()); tree != nullptr && psnListener_ != 0) {
    tree->Unsubscribe(psnListener_);
  }
  psnListener_ = 0;
  psnHold_ = std::move(graph);
  if (auto* tree = dynamic_cast<KelPSNTree*>(psnHold_.get()); tree != nullptr && psnWindowOpen_) {
    psnListener_ = tree->Subscribe([this] { MirrorFromPSN(); });
  }
}

void KelLnkWindowView::CBPSNObjects(KelCommand*, KelNotification, void*) {
  KelApplication::Get().SetBusyCursor(true);
  delete filterDialog_;  // one dialog a window: a new one replaces it
  filterDialog_ = new KelLnkFilterDialog(this);
  filterDialog_->SetOwner(this);
  // The window forgets the dialog when the dialog goes first.
  AddAnalyseNotificationCB(
      filterDialog_, KelNotification::Cancel, [this](KelCommand*, KelNotification, void*) { filterDialog_ = nullptr; },
      nullptr, this);
  AddAnalyseNotificationCB(
      filterDialog_, KelNotification::Close, [this](KelCommand*, KelNotification, void*) { filterDialog_ = nullptr; },
      nullptr, this);
}

void KelLnkWindowView::CBPSNBringUp(KelCommand*, KelNotification, void*) {
  auto it = PSNDialogs().find(GetPSNGraph());
  if (!psnWindowOpen_ || it == PSNDialogs().end()) {
    ShowError(GetResource("Error.PSN.Closed", "Father PSN has been closed."));
    return;
  }
  it->second->SetVisibility(true);
}

int KelLnkWindowView::IsAValidObjectInGraph(KelLnkObject* object) {
  MML_TRACE("KelLnkMainWindow::IsAValidObjectInGraph");
  KelPSNGraph* graph = GetPSNGraph();
  if (graph == nullptr || object == nullptr) return 0;
  KelZumoInstance* zumo = object->GetZumoInstance();
  if (zumo != nullptr && !zumo->GetPath().empty()) {
    KelRawColldouble path;
    for (const KelId& id : zumo->GetPath()) path.push_back(id.AsDouble());
    KelPSNError error;
    // Product-instance paths start at the product's top part.
    KelPSNNode* node = graph->GetNode(path, error, zumo->HasRep() ? "inst" : "ref", graph->GetRootNode());
    if (node == nullptr || error.IsError()) return 0;
    // A representation must still hang below its part.
    if (zumo->HasRep() && (node = graph->FindTree(object->Instance(), node, false)) == nullptr) return 0;
    int status = 1;
    KelRawColldouble validity;
    if (graph->IsValid(status, validity, 0, node->GetQorNode(0), nullptr) != 0) return 0;
    return status == 0 ? 1 : 0;
  }
  KelPSNNode* node = object->GetPSNNode();
  if (node == nullptr) {
    node = graph->FindTree(object->Instance(), GetPSNRootNode(), false);
  }
  return graph->IsValidNode(node) ? 1 : 0;
}

bool KelLnkWindowView::MirrorSelection() {
  MML_TRACE("KelLnkMainWindow::Select");
  if (!psnWindowOpen_) {
    ShowError(GetResource("Error.PSN.Closed", "Father PSN has been closed."));
    return false;
  }
  KelPSNGraph* graph = GetPSNGraph();
  if (graph == nullptr) return false;
  if (!graph->IsValidNode(GetPSNRootNode())) {
    ShowError(GetResource("MainWindow.Error.Select.Kill",
                          "The MML Graph has became invalid : one branch in PSN has been cut for example.\n"
                          "It must be killed and reopened."));
    return false;
  }
  const std::vector<KelLnkObject*> selected = SelectedObjects(navigator_.get());
  int invalidNodes = 0, invalidInstances = 0;
  std::vector<KelPSNNode*> nodes;
  for (KelLnkObject* object : selected) {
    if (IsAValidObjectInGraph(object) == 0) {
      object->GetZumoInstance() != nullptr ? ++invalidNodes : ++invalidInstances;
      continue;
    }
    KelPSNNode* node = object->GetPSNNode();
    if (node == nullptr) node = graph->FindTree(object->Instance(), GetPSNRootNode(), false);
    if (node != nullptr) nodes.push_back(node);
  }
  if (invalidNodes + invalidInstances > 0) {
    const bool one = invalidNodes + invalidInstances == 1;
    if (invalidNodes > 0) {
      ShowError(one ? GetResource("MainWindow.Error.Select.Object.Commit",
                                  "The Object is invalid in its Graph context: it probably does not exist any more in "
                                  "the PSN graph.\nCheck if the PSN Graph is commited, then try to refresh the MML "
                                  "Graph.\nOtherwise, the MML graph must be killed and reopened.")
                    : GetResource("MainWindow.Error.Select.All.Commit",
                                  "The Graph contains invalid object(s) which probably do not exist any more in the "
                                  "PSN graph.\nCheck if the PSN Graph is commited, then try to refresh the MML "
                                  "Graph.\nOtherwise, the MML graph must be killed and reopened."));
    } else {
      ShowError(one ? GetResource("MainWindow.Error.Select.Object.Refresh",
                                  "The Object is invalid in its Graph context.\nThe Object cannot be selected until "
                                  "the MML Graph is refreshed.")
                    : GetResource("MainWindow.Error.Select.All.Refresh",
                                  "The Graph contains invalid object(s).\nThe Selection cannot be processed until "
                                  "the MML Graph is refreshed."));
    }
    return false;
  }
  auto* tree = dynamic_cast<KelPSNTree*>(graph);
  if (tree == nullptr) return true;
  mirroring_ = true;
  tree->Select(nodes);
  mirroring_ = false;
  return true;
}

void KelLnkWindowView::MirrorFromPSN() {
  auto* tree = dynamic_cast<KelPSNTree*>(GetPSNGraph());
  if (tree == nullptr || mirroring_ || navigator_ == nullptr) return;
  mirroring_ = true;
  KelHSO& hso = navigator_->GetHSO();
  hso.Empty();
  if (KelNavigInstance* root = navigator_->GetRootInstance()) {
    root->Walk([&](KelNavigInstance* instance) {
      auto* object = dynamic_cast<KelLnkObject*>(instance->GetReference().get());
      if (object == nullptr) return;
      for (KelPSNNode* node : tree->GetNodeMngr().GetSelected()) {
        const KelPSNTree::Entry* entry = tree->Find(node);
        if (node == object->GetPSNNode() || (entry && entry->object == object->Instance())) {
          hso.AddElement(instance);
          return;
        }
      }
    });
  }
  if (viewer_ != nullptr) viewer_->UpdateHighlight();
  mirroring_ = false;
}

bool KelLnkWindowView::CheckPSNRefresh() {
  KelPSNGraph* graph = GetPSNGraph();
  KelPSNNode* rootNode = GetPSNRootNode();
  KelZumoInstance zumo;
  if (graph == nullptr || !graph->IsValidNode(rootNode) || graph->GetZumoInstance(rootNode, zumo) != 0) {
    ShowError(GetResource("MainWindow.Error.Refresh",
                          "The MML Graph cannot be refreshed: \nthe root node has became invalid in its context."));
    return false;
  }
  KelZumoInstance* placed = &zumo;
  KelPSNNode* node = nullptr;
  KelPSNError error;
  KelLnkObject::SetNode(placed, graph, node, &error);
  return true;
}
