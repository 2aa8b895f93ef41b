#include "ui/kel_psn_window.h"

#include "host/kel_psn_trace.h"
#include "ui/kel_lnk_entry_points.h"
#include "ui/kel_lnk_window_view.h"

KelPSNWindow::KelPSNWindow(KelDMDlgZUMOResult* panel, std::shared_ptr<KelPSNTree> tree)
    : KelDlgDocument(nullptr, "PSNWindow", 0), panel_(panel), tree_(std::move(tree)) {
  MML_TRACE("KelPSNWindow::KelPSNWindow");
  auto* bar = new KelDlgBarMenu(this, "Menu", 0);
  auto* nodes = new KelDlgSubMenu(bar, "MenuPSNNode", 0);
  nodes->SetTitle("Node");
  Item(nodes, "ItemPSNOpen", "Open / Close", &KelPSNWindow::CBOpen, 0);
  Item(nodes, "ItemPSNOpenAll", "Open all", &KelPSNWindow::CBOpenAll, 0);
  Item(nodes, "ItemPSNCentre", "Centre", &KelPSNWindow::CBCentre, 0);
  Item(nodes, "ItemPSNRefresh", "Refresh", &KelPSNWindow::CBRefresh, 0);
  Item(nodes, "ItemPSNClose", "Close", &KelPSNWindow::CBClose, 0);
  auto* links = new KelDlgSubMenu(bar, "MenuPSNLinks", 0);
  links->SetTitle("Multi-model links");
  Item(links, "ItemPSNLinksFrom", "Impacted by", &KelPSNWindow::CBLinks, 0);
  Item(links, "ItemPSNLinksTo", "Impacts on", &KelPSNWindow::CBLinks, 1);

  auto* frame = new KelDlgFrame(this, "PSNFrame", 0);
  viewer_ = new KelGraphViewer(frame, "PSNGraph", 0);
  viewer_->SetSize(400, 500);
  viewer_->setHorizontalIndented();
  viewer_->setWithSquareArc();
  viewer_->SetLegendVisible(false);
  viewer_->SetHighlightQuery([this](const KelIGraphNode* node) {
    auto it = nodeOf_.find(node);
    return it != nodeOf_.end() && tree_->GetNodeMngr().IsSelected(it->second);
  });
  status_ = new KelDlgStatusBar(this, "PSNStatus", 0);
  for (KelNotification n : {KelNotification::Select, KelNotification::ExtSelect, KelNotification::Expand}) {
    AddAnalyseNotificationCB(
        viewer_, n, [this](KelCommand*, KelNotification what, void*) { OnViewerEvent(what); }, nullptr, this);
  }
  AddAnalyseNotificationCB(
      this, KelNotification::Close, [this](KelCommand* s, KelNotification n, void* d) { CBClose(s, n, d); }, nullptr,
      this);
  listener_ = tree_->Subscribe([this] {
    if (viewer_ != nullptr) viewer_->UpdateHighlight();
  });
  KelLnkWindowView::SetPSNDialog(tree_.get(), this);
  SetTitle("Product structure of " + tree_->GetTop().GetNameInstance(3, 1, " ", "$BOM_NAVIG"));
  Redraw();
  SetVisibility(true);
}

KelPSNWindow::~KelPSNWindow() {
  Gone();
  RemoveAllCallbacksOf(this);
  if (viewer_ != nullptr) {
    viewer_->SetHighlightQuery(nullptr);
    viewer_->SetRoot(nullptr);
  }
}

void KelPSNWindow::Gone() {
  if (gone_) return;
  gone_ = true;
  tree_->Unsubscribe(listener_);
  KelLnkWindowView::SetPSNDialog(tree_.get(), nullptr);
  KelLnkWindowView::PSNWindowRemoved(tree_.get());
}

void KelPSNWindow::Item(KelDlgObject* menu, const char* id, const char* title,
                        void (KelPSNWindow::*callback)(KelCommand*, KelNotification, void*), intptr_t data) {
  auto* item = new KelDlgPushItem(menu, id, 0);
  item->SetTitle(title);
  AddAnalyseNotificationCB(
      item, KelNotification::Activate,
      [this, callback](KelCommand* s, KelNotification n, void* d) { (this->*callback)(s, n, d); },
      // NOLINTNEXTLINE(performance-no-int-to-ptr): the dialog layer's client data is a void*
      reinterpret_cast<void*>(data), this);
}

KelIGraphNode* KelPSNWindow::GraphNodeOf(const KelPSNNode* node) const {
  auto it = drawn_.find(node);
  return it == drawn_.end() ? nullptr : it->second;
}

void KelPSNWindow::Redraw() {
  viewer_->SetRoot(nullptr);
  drawn_.clear();
  nodeOf_.clear();
  graph_ = std::make_unique<KelMemGraph>();
  for (KelPSNNode* node : tree_->VisibleNodes()) {
    const KelPSNTree::Entry* entry = tree_->Find(node);
    KelMemGraphNode* drawn = graph_->AddNode();
    KelUnicodeString text = tree_->GetText(node);
    if (!entry->children.empty()) text = (entry->opened ? "- " : "+ ") + text;
    drawn->SetText({text});
    drawn->SetColorClass(entry->representation ? "goodI" : "good");
    drawn->SetExpanded(entry->opened);
    drawn->SetPSNViewerNode(true);
    drawn_[node] = drawn;
    nodeOf_[drawn] = node;
    if (KelPSNNode* father = node->GetFather()) graph_->Connect(drawn_.at(father), drawn);
  }
  viewer_->SetRoot(GraphNodeOf(tree_->GetRootNode()));
  viewer_->Redraw();
  status_->SetTitle(std::to_string(drawn_.size()) + " of " + std::to_string(tree_->Size()) + " node(s) shown");
}

void KelPSNWindow::OnViewerEvent(KelNotification notification) {
  auto it = nodeOf_.find(viewer_->GetEventNode());
  if (it == nodeOf_.end()) return;
  KelPSNNode* node = it->second;
  KelPSNNodeMngr& manager = tree_->GetNodeMngr();
  switch (notification) {
    case KelNotification::Select:
      tree_->Select({node});
      break;
    case KelNotification::ExtSelect:
      manager.IsSelected(node) ? manager.RemoveSelected(node) : manager.AddSelected(node);
      tree_->Notify();
      break;
    case KelNotification::Expand:
      tree_->Open(node, !tree_->Find(node)->opened);
      Redraw();
      break;
    default:
      break;
  }
}

void KelPSNWindow::CBOpen(KelCommand*, KelNotification, void*) {
  for (KelPSNNode* node : tree_->GetNodeMngr().GetSelected()) tree_->Open(node, !tree_->Find(node)->opened);
  Redraw();
}

void KelPSNWindow::CBOpenAll(KelCommand*, KelNotification, void*) {
  tree_->OpenAll();
  Redraw();
}

void KelPSNWindow::CBCentre(KelCommand*, KelNotification, void*) {
  const auto& selected = tree_->GetNodeMngr().GetSelected();
  if (selected.empty()) return;
  tree_->Centre(selected.front());
  Redraw();
  viewer_->reframe();
}

void KelPSNWindow::CBRefresh(KelCommand*, KelNotification, void*) {
  std::string error;
  if (tree_->Reload(&error) != 0) {
    status_->SetTitle(error);
    return;
  }
  Redraw();
}

KelLnkMainWindow* KelPSNWindow::OpenLinks(int order) {
  const auto& selected = tree_->GetNodeMngr().GetSelected();
  if (selected.empty()) {
    status_->SetTitle("Select a node first");
    return nullptr;
  }
  KelPSNNode* node = selected.front();
  KelZumoInstance zumo;
  if (tree_->GetZumoInstance(node, zumo) != 0) {
    status_->SetTitle("The product instance of node " + std::to_string(node->NodeId()) + " cannot be defined");
    return nullptr;
  }
  const KelDMInstance root = tree_->Find(node)->object;
  const KelListPtrKelPSNNode nodes = tree_->VisibleNodes();
  KelLnkMainWindow* window = LaunchMMLWindow(panel_, &root, order, &zumo, node, &nodes);
  if (KelLnkWindowView* view = KelLnkWindowView::FromModel(window)) view->HoldPSNGraph(tree_);
  return window;
}

void KelPSNWindow::CBLinks(KelCommand*, KelNotification, void* data) {
  OpenLinks(static_cast<int>(reinterpret_cast<intptr_t>(data)));
}

void KelPSNWindow::CBClose(KelCommand*, KelNotification, void*) {
  Gone();
  SetVisibility(false);
  RequestDelayedDestruction();
}
