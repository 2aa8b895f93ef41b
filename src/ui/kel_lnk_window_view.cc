#include "ui/kel_lnk_window_view.h"

#include "ui/kel_lnk_filter_dialog.h"

#include <algorithm>
#include <iostream>
#include <memory>
#include <unordered_set>

#include "base/kel_text.h"
#include "host/dm/kel_dm_action.h"
#include "host/dm/kel_dm_uuid.h"
#include "host/kel_dm_select.h"
#include "operations/kel_lnk_uuid_check.h"

#include "foundation/kel_lnk_tools.h"
#include "graph/kel_lnk_custom_node.h"
#include "graph/kel_lnk_object.h"
#include "host/dlg/kel_setting_repository.h"
#include "host/kel_dm_tovra.h"
#include "host/kel_psn_trace.h"
#include "linkdb/kel_lnk_data_manager.h"
#include "linkdb/kel_lnk_hybrid_manager.h"
#include "ui/kel_dm_dlg_zumo_result.h"
#include "ui/kel_lnk_boxes.h"
#include "ui/kel_lnk_check_uuid_dialogs.h"
#include "ui/kel_lnk_dm_tools.h"
#include "ui/kel_lnk_method.h"
#include "ui/kel_lnk_print.h"

namespace {

using Kind = KelDlgObject::Kind;

const char* const kSettingNames[] = {"Expand", "Link", "Zip", "Type", "Filter", "ShowLock"};

// The windows alive, so that a model pointer handed out finds its window.
std::unordered_set<KelLnkWindowView*>& Windows() {
  static std::unordered_set<KelLnkWindowView*> windows;
  return windows;
}

// The model reads its settings from the process's table: fill it from the
// repository first, so the model sees what the user chose last time.
KelDMDlgZUMOResult* LoadSettings(KelDMDlgZUMOResult* panel) {
  KelLnkMainWindow::ResetSettings();
  const KelSettingRepository& repository = KelSettingRepository::GetRepository("KelLnkSetting");
  for (const char* name : kSettingNames) {
    int value = 0;
    if (repository.ReadSetting(name, value)) KelLnkMainWindow::WriteSetting(name, value);
  }
  return panel;
}

// A menu callback's data: the integer the item was registered with.
int Data(void* data) { return data == nullptr ? 0 : static_cast<int>(*static_cast<const intptr_t*>(data)); }

bool IsPart(const KelLnkNode* node) { return node->GetInstance().GetTable() == "PART_LIST"; }

}  // namespace

KelLnkWindowView::KelLnkWindowView(KelDMDlgZUMOResult* panel, const KelDMInstance* root, int order,
                                   KelZumoInstance* zumo, KelPSNNode* psnNode, const KelListPtrKelPSNNode* psnNodes)
    : KelDlgDocument(nullptr, "KelLnkMainWindow", 0),
      KelLnkMainWindow(LoadSettings(panel), root, order, zumo, psnNode, psnNodes) {
  MML_TRACE("KelLnkWindowView::KelLnkWindowView");
  Windows().insert(this);
  if (GetGraphSource() == -1) return;  // empty and hidden
  psnWindowOpen_ = HasPSNContext();

  BuildMenus();

  frame_ = new KelDlgFrame(this, "LnkGraphFrame", 0);
  viewer_ = new KelGraphViewer(frame_, "Graph", 0);
  viewer_->SetSize(500, 300);
  status_ = new KelDlgStatusBar(this, "Status", 0);
  status_->SetTitle(GetResource("MainWindow.Status.Title", ""));
  status_->SetHelp(GetResource("MainWindow.Status.Help", "Status bar"));

  int newOpenMode = 1;
  if (KelDMTovra::GetLogicalDec("KELZUMO.QOR.INTEROP.TOVRAV5_NEW_OPEN_MODE", newOpenMode) != 0 || newOpenMode != 0) {
    optionButton_ = new KelDlgPushButton(this, "TovraOptionBtn", 0);
    optionButton_->SetTitle(GetResource("MainWindow.TovraOptions.Title", "..."));
    On(optionButton_, KelNotification::Activate, &KelLnkWindowView::CBDisplayTovraOption, 0);
  }

  KelLnkCustomNode::RegisterNodeTypes();
  KelLnkCustomNode::SetMethodMenuBuilder([](KelLnkCustomNode& display) {
    KelLnkNode* node = display.GetLnkNode();
    auto* model = node != nullptr ? dynamic_cast<KelLnkMainWindow*>(node->GetMainWindow()) : nullptr;
    if (KelLnkWindowView* window = FromModel(model)) window->OpenContextMenu(&display);
  });
  navigator_ = std::make_unique<KelLnkNavigatorController>(GetRootObject());
  viewer_->SetHighlightQuery([this](const KelIGraphNode* node) {
    KelNavigInstance* instance = KelNavigInstance::FromGraphNode(node);
    return instance != nullptr && navigator_->GetHSO().IsMember(instance);
  });
  for (KelNotification n :
       {KelNotification::Select, KelNotification::ExtSelect, KelNotification::Method, KelNotification::Expand}) {
    AddAnalyseNotificationCB(
        viewer_, n, [this](KelCommand*, KelNotification what, void*) { OnViewerEvent(what); }, nullptr, this);
  }
  SetExpand(GetExpand());
  SetRepLink(GetRepLink());
  SetGraphZip(GetGraphZip());
  SetGraphType(GetGraphType());
  SetSelectType(SelectUndefined);
  SetFilter(GetFilter());

  SetTitle(KelLnkMainWindow::GetTitle());
  On(this, KelNotification::Close, &KelLnkWindowView::CBClose, 0);
  removeId_ = AddAnalyseNotificationCB(
      &KelApplication::Get(), KelNotification::Removed,
      [this](KelCommand* sender, KelNotification n, void* data) { CBRemoveWindow(sender, n, data); }, nullptr, this);

  // The navigator draws the root two levels deep; the refresh then opens the
  // graph to the expand depth.
  navigator_->SetActivatorsVisibility(true);
  navigator_->GetContainer()->Refresh();
  Refresh(0);
  SetVisibility(true);
  viewer_->reframe();
}

KelLnkWindowView::~KelLnkWindowView() {
  MML_TRACE("KelLnkWindowView::~KelLnkWindowView");
  Windows().erase(this);
  HoldPSNGraph(nullptr);
  // Nothing reaches the window from here on: menu items, buttons, viewer,
  // idle time, the host's window list.
  RemoveAllCallbacksOf(this);
  if (idleId_ != 0) KelApplication::Get().RemoveSubscribe(idleId_);
  EmptyLists();
  SetVisibility(false);
  if (viewer_ != nullptr) {
    viewer_->SetHighlightQuery(nullptr);
    viewer_->SetRoot(nullptr);
  }
  delete optionPanel_;
  methods_.clear();
  delete contextMenu_;
  if (checkOutPanel_ != nullptr) checkOutPanel_->RequestDelayedDestruction();
  captures_.clear();
  prints_.clear();
  KelDlgObject::DeleteOwnedBy(this);  // the boxes it opened and are still open
  SetRootController(nullptr);
  SetRootCustomNode(nullptr);
  navigator_.reset();
}

KelLnkWindowView* KelLnkWindowView::FromModel(const KelLnkMainWindow* model) {
  for (KelLnkWindowView* window : Windows()) {
    if (static_cast<const KelLnkMainWindow*>(window) == model) return window;
  }
  return nullptr;
}

void KelLnkWindowView::PSNWindowRemoved(KelPSNGraph* graph) {
  std::vector<KelLnkWindowView*> windows(Windows().begin(), Windows().end());
  for (KelLnkWindowView* window : windows) window->CBRemoveWindow(nullptr, KelNotification::Removed, graph);
}

int KelLnkWindowView::Count() { return static_cast<int>(Windows().size()); }

void KelLnkWindowView::On(KelDlgObject* sender, KelNotification notification, Callback callback, intptr_t data) {
  AddAnalyseNotificationCB(
      sender, notification,
      [this, callback](KelCommand* from, KelNotification n, void* d) { (this->*callback)(from, n, d); },
      &callbackData_.emplace_back(data), this);
}

KelDlgObject* KelLnkWindowView::AddMenu(KelDlgObject* parent, const char* id, const char* titleKey,
                                        const char* titleDefault) {
  auto* menu = new KelDlgSubMenu(parent, id, 0);
  menu->SetTitle(GetResource(titleKey, titleDefault));
  return menu;
}

KelDlgObject* KelLnkWindowView::AddItem(KelDlgObject* menu, Kind kind, const char* id, const char* titleKey,
                                        const char* titleDefault, const char* helpKey, const char* helpDefault,
                                        Callback callback, intptr_t data) {
  KelDlgObject* item = nullptr;
  switch (kind) {
    case Kind::RadioItem:
      item = new KelDlgRadioItem(menu, id, 0);
      break;
    case Kind::CheckItem:
      item = new KelDlgCheckItem(menu, id, 0);
      break;
    default:
      item = new KelDlgPushItem(menu, id, 0);
      break;
  }
  item->SetTitle(GetResource(titleKey, titleDefault));
  if (helpKey != nullptr) item->SetHelp(GetResource(helpKey, helpDefault));
  if (callback != nullptr) {
    On(item, kind == Kind::PushItem ? KelNotification::Activate : KelNotification::Modify, callback, data);
  }
  return item;
}

void KelLnkWindowView::BuildMenus() {
  auto* bar = new KelDlgBarMenu(this, "Menu", 0);
  using W = KelLnkWindowView;
  const Kind radio = Kind::RadioItem;
  const Kind push = Kind::PushItem;

  KelDlgObject* graph = AddMenu(bar, "MenuGraph", "MainWindow.Menu.Graph.Title", "Graph");
  KelDlgObject* expand = AddMenu(graph, "MenuGraphExpand", "MainWindow.Menu.Graph.Expand.Title", "Expand depth");
  AddItem(expand, radio, "ItemGraphExpandOne", "MainWindow.Menu.Graph.Expand.One.Title", "One",
          "MainWindow.Menu.Graph.Expand.One.Help", "Set the expand depth to 1", &W::CBGraphExpand, One)
      ->SetState(GetExpand() == One);
  AddItem(expand, radio, "ItemGraphExpandTwo", "MainWindow.Menu.Graph.Expand.Two.Title", "Two",
          "MainWindow.Menu.Graph.Expand.Two.Help", "Set the expand depth to 2", &W::CBGraphExpand, Two)
      ->SetState(GetExpand() == Two);
  AddItem(expand, radio, "ItemGraphExpandThree", "MainWindow.Menu.Graph.Expand.Three.Title", "Three",
          "MainWindow.Menu.Graph.Expand.Three.Help", "Set the expand depth to 3", &W::CBGraphExpand, Three)
      ->SetState(GetExpand() == Three);
  AddItem(expand, radio, "ItemGraphExpandAll", "MainWindow.Menu.Graph.Expand.All.Title", "All",
          "MainWindow.Menu.Graph.Expand.All.Help", "Set the expand depth to ALL", &W::CBGraphExpand, All)
      ->SetState(GetExpand() == All);

  KelDlgObject* select = AddMenu(graph, "MenuGraphSelect", "MainWindow.Menu.Graph.Select.Title", "Select");
  if (KelLnkTools::IsTOVRAV5True()) {
    KelDlgObject* all = AddMenu(select, "MenuGraphSelectAll", "MainWindow.Menu.Graph.Select.All.Title", "All");
    AddItem(all, push, "ItemGraphSelectAllRep", "MainWindow.Menu.Graph.Select.All.Rep.Title", "Representations",
            "MainWindow.Menu.Graph.Select.All.Rep.Help", "Select all the representation objects", &W::CBGraphSelectAll,
            1);
    AddItem(all, push, "ItemGraphSelectAllPart", "MainWindow.Menu.Graph.Select.All.Part.Title", "Parts",
            "MainWindow.Menu.Graph.Select.All.Part.Help", "Select all the part objects", &W::CBGraphSelectAll, 2);
  } else {
    AddItem(select, push, "ItemGraphSelectAll", "MainWindow.Menu.Graph.Select.All.Title", "All",
            "MainWindow.Menu.Graph.Select.All.Help", "Select all the objects", &W::CBGraphSelectAll, 1);
  }
  AddItem(select, push, "ItemGraphSelectNone", "MainWindow.Menu.Graph.Select.None.Title", "None",
          "MainWindow.Menu.Graph.Select.None.Help", "Unselect all the objects", &W::CBGraphSelectNone, 0);

  AddItem(graph, push, "ItemGraphRefresh", "MainWindow.Menu.Graph.Refresh.Title", "Refresh",
          "MainWindow.Menu.Graph.Refresh.Help", "Refresh the display", &W::CBGraphRefresh, 0);
  AddItem(graph, push, "ItemGraphReframe", "MainWindow.Menu.Graph.Reframe.Title", "Reframe",
          "MainWindow.Menu.Graph.Reframe.Help", "Reframe the graph in the display", &W::CBGraphReframe, 0);

  KelDlgObject* rep = AddMenu(graph, "MenuGraphRep", "MainWindow.Menu.Graph.Rep.Title", "Graph Presentation");
  AddItem(rep, radio, "ItemGraphRepLnkStrait", "MainWindow.Menu.Graph.Rep.Lnk.Strait.Title", "Straight Links",
          "MainWindow.Menu.Graph.Rep.Lnk.Strait.Help", "Straight Links presentation", &W::CBGraphRepLink, 0)
      ->SetState(GetRepLink() == StraightLinks);
  AddItem(rep, radio, "ItemGraphRepLnkSquare", "MainWindow.Menu.Graph.Rep.Lnk.Square.Title", "Square Links",
          "MainWindow.Menu.Graph.Rep.Lnk.Square.Help", "Square Links presentation", &W::CBGraphRepLink, 1)
      ->SetState(GetRepLink() == SquareLinks);
  new KelDlgSeparatorItem(rep, "Separator1", 0);
  AddItem(rep, radio, "ItemGraphRepPacked", "MainWindow.Menu.Graph.Rep.Packed.Title", "Packed",
          "MainWindow.Menu.Graph.Rep.Packed.Help", "Pack the graph", &W::CBGraphRepZip, 0)
      ->SetState(GetGraphZip() == Packed);
  AddItem(rep, radio, "ItemGraphRepUnpack", "MainWindow.Menu.Graph.Rep.Unpack.Title", "Unpacked",
          "MainWindow.Menu.Graph.Rep.Unpack.Help", "Unpack the graph", &W::CBGraphRepZip, 1)
      ->SetState(GetGraphZip() == Unpacked);
  new KelDlgSeparatorItem(rep, "Separator2", 0);
  AddItem(rep, radio, "ItemGraphRepCenter", "MainWindow.Menu.Graph.Rep.Center.Title", "Centered",
          "MainWindow.Menu.Graph.Rep.Center.Help", "Center the graph", &W::CBGraphRepType, 0)
      ->SetState(GetGraphType() == Centered);
  AddItem(rep, radio, "ItemGraphRepIndent", "MainWindow.Menu.Graph.Rep.Indent.Title", "Indented",
          "MainWindow.Menu.Graph.Rep.Indent.Help", "Indent the graph", &W::CBGraphRepType, 1)
      ->SetState(GetGraphType() == Indented);

  AddItem(graph, Kind::CheckItem, "ItemGraphShowLocks", "MainWindow.Menu.Graph.ShowLocks.Title", "Show Locks",
          "MainWindow.Menu.Graph.ShowLocks.Help", "Show/hide locks on MML objects", &W::CBGraphShowLocks, 0)
      ->SetState(GetShowLocks());

  if (KelLnkTools::IsComputeLinkTechno()) {
    KelDlgObject* filter = AddMenu(graph, "MenuGraphFilter", "MainWindow.Menu.Graph.Filter.Title", "Filter Links");
    AddItem(filter, radio, "ItemGraphFilterAll", "MainWindow.Menu.Graph.Filter.All.Title", "All",
            "MainWindow.Menu.Graph.Filter.All.Help", "No filter : all links are displayed", &W::CBGraphFilter, 0)
        ->SetState(GetFilter() == FilterAll);
    AddItem(filter, radio, "ItemGraphFilterRestricted", "MainWindow.Menu.Graph.Filter.Restricted.Title", "Restricted",
            "MainWindow.Menu.Graph.Filter.Restricted.Help", "Display restricted to the right links", &W::CBGraphFilter,
            1)
        ->SetState(GetFilter() == FilterRestricted);
    AddItem(filter, radio, "ItemGraphFilterWithLate", "MainWindow.Menu.Graph.Filter.WithLate.Title",
            "Restricted With Late", "MainWindow.Menu.Graph.Filter.WithLate.Help",
            "Display restricted to the right links and latest models", &W::CBGraphFilter, 2)
        ->SetState(GetFilter() == FilterRestrictedWithLate);
  }

  KelDlgObject* uuid = AddMenu(graph, "MenuGraphUuid", "MainWindow.Menu.Graph.Uuid.Title", "Uuids Management");
  AddItem(uuid, push, "ItemGraphUuidCheck", "MainWindow.Menu.Graph.Uuid.Check.Title", "Check UUID",
          "MainWindow.Menu.Graph.Uuid.Check.Help", "Check Uuids within the current graph", &W::CBGraphCheckUUID, 0);
  if (!GetInstanceList().empty() &&
      GetInstanceList().front().CheckDataAccess("QOR", "BOM", "ChangeModelUUID", 0) == 0) {
    AddItem(uuid, push, "ItemGraphUuidChange", "MainWindow.Menu.Graph.Uuid.Change.Title", "Change UUID",
            "MainWindow.Menu.Graph.Uuid.Change.Help", "Change Uuids of all the selected object(s)",
            &W::CBGraphChangeUUID, 0);
  }
  AddItem(graph, push, "ItemGraphExit", "MainWindow.Menu.Graph.Exit.Title", "Exit", "MainWindow.Menu.Graph.Exit.Help",
          "Dismiss the window", &W::CBGraphExit, 0);

  BuildLinkMenu(bar);
  BuildNodeMenu(bar);
  if (HasPSNContext()) BuildPSNMenu(bar);

  KelDlgObject* print = AddMenu(bar, "MenuPrint", "MainWindow.Menu.Print.Title", "Print Tools");
  AddItem(print, push, "ItemPrintConfigure", "MainWindow.Menu.Print.Configure.Title", "Configure printers",
          "MainWindow.Menu.Print.Configure.Help", "Configure printers dialog", &W::CBPrintTools, 1);
  AddItem(print, push, "ItemPrintGraph", "MainWindow.Menu.Print.Graph.Title", "Print graph",
          "MainWindow.Menu.Print.Graph.Help", "Print the current MML graph dialog", &W::CBPrintTools, 2);
  AddItem(print, push, "ItemCaptureGraph", "MainWindow.Menu.Capture.Graph.Title", "Capture graph",
          "MainWindow.Menu.Capture.Graph.Help", "Capture graph dialog", &W::CBPrintTools, 3);
  AddItem(print, push, "ItemCaptureAlbum", "MainWindow.Menu.Capture.Album.Title", "Capture album",
          "MainWindow.Menu.Capture.Album.Help", "Capture album dialog", &W::CBPrintTools, 4);
}

void KelLnkWindowView::BuildLinkMenu(KelDlgObject* bar) {
  KelDlgObject* menu = AddMenu(bar, "MenuLink", "MainWindow.Menu.Link.Title", "Link");
  const KelUnicodeString help = GetResource("MainWindow.Menu.Link.Help", "Display multi-model links of type");
  menu->SetHelp(help);
  KelDlgObject* all = new KelDlgRadioItem(menu, "ItemLinkAll", 0);
  all->SetTitle("ALL");
  all->SetHelp(help + " ALL");
  On(all, KelNotification::Modify, &KelLnkWindowView::CBLink, 0);
  linkItems_ = {all};

  const KelListValKelUnicodeString types = KelLnkTools::GetLinktypes();
  int v4 = 0, v5 = 0;
  for (const KelUnicodeString& type : types) {
    v4 += KelLnkTools::IsTOVRAV4Linktype(type);
    v5 += KelLnkTools::IsTOVRAV5Linktype(type);
  }
  if (v4 > 0) new KelDlgSeparatorItem(menu, "Separator3", 0);
  for (size_t k = 0; k < types.size(); ++k) {
    // Separators where the V4 types end and where the V5 types end.
    if (v4 > 0 && static_cast<int>(k) == v4 && k < types.size()) new KelDlgSeparatorItem(menu, "Separator4", 0);
    if (v5 > 0 && static_cast<int>(k) == v4 + v5 && k < types.size()) new KelDlgSeparatorItem(menu, "Separator5", 0);
    const KelUnicodeString name = KelLnkTools::LinktypeToLinkname(types[k]);
    const KelUnicodeString alias = GetResource("MainWindow.Link.alias." + name, name);
    if (alias != name) KelLnkTools::ResetLinkName(alias, name);
    KelDlgObject* item = new KelDlgRadioItem(menu, "ItemLink", 0);
    item->SetTitle(alias);
    KelUnicodeString itemHelp = help;
    itemHelp += " ";
    itemHelp += alias;
    item->SetHelp(itemHelp);
    On(item, KelNotification::Modify, &KelLnkWindowView::CBLink, static_cast<intptr_t>(k + 1));
    linkItems_.push_back(item);
  }
  CheckLinkItems();
}

void KelLnkWindowView::CheckLinkItems() {
  const KelListValKelUnicodeString types = KelLnkTools::GetLinktypes();
  for (size_t k = 0; k < linkItems_.size(); ++k) {
    const bool current = k == 0 ? GetLinktype() == "%" : (k - 1 < types.size() && types[k - 1] == GetLinktype());
    if ((linkItems_[k]->GetState() != 0) != current) linkItems_[k]->SetState(current ? 1 : 0);
  }
}

void KelLnkWindowView::BuildNodeMenu(KelDlgObject* bar) {
  KelDlgObject* menu = AddMenu(bar, "MenuRepresentation", "MainWindow.Menu.Node.Title", "Node");
  const KelUnicodeString help = GetResource("MainWindow.Menu.Node.Help", "Set the text width");
  menu->SetHelp(help);
  auto add = [&](const char* id, const KelUnicodeString& title, const KelUnicodeString& itemHelp, int width) {
    KelDlgObject* item = new KelDlgRadioItem(menu, id, 0);
    item->SetTitle(title);
    item->SetHelp(itemHelp);
    item->SetState(GetTextWidth() == width);
    On(item, KelNotification::Modify, &KelLnkWindowView::CBRepresentation, width);
    widthItems_.push_back(item);
    widths_.push_back(width);
  };
  // "No Text" keeps no character; "As defined width" the whole text (-1).
  add("ItemRepresentationNoText", "No Text", help + " to null", 0);
  for (int width : KelLnkTools::GetWidths()) {
    add("ItemRepresentationWidth", "Width " + std::to_string(width), help + " to " + std::to_string(width), width);
  }
  add("ItemRepresentationWidthStandard", "As defined width", help + " as defined width", -1);
}

// ---- Settings ----

void KelLnkWindowView::WriteSetting(const char* name, int value) {
  KelSettingRepository::GetRepository("KelLnkSetting").WriteSetting(name, value);
}

void KelLnkWindowView::SetFilter(Filter filter) {
  KelLnkMainWindow::SetFilter(filter);
  WriteSetting("Filter", filter);
}

void KelLnkWindowView::SetExpand(Expand expand) {
  KelLnkMainWindow::SetExpand(expand);
  // The navigator opens two levels; the objects' expansion opens the rest.
  navigator_->SetDepth(GetExpandDepth());
  navigator_->SetDepth(2);
  WriteSetting("Expand", expand);
}

void KelLnkWindowView::SetRepLink(RepLnk repLink) {
  KelLnkMainWindow::SetRepLink(repLink);
  repLink == StraightLinks ? viewer_->setWithoutSquareArc() : viewer_->setWithSquareArc();
  viewer_->Redraw();
  WriteSetting("Link", repLink);
}

void KelLnkWindowView::SetGraphZip(GraphZip zip) {
  KelLnkMainWindow::SetGraphZip(zip);
  zip == Packed ? viewer_->setPacked() : viewer_->setUnPacked();
  viewer_->Redraw();
  WriteSetting("Zip", zip);
}

void KelLnkWindowView::SetGraphType(GraphType type) {
  KelLnkMainWindow::SetGraphType(type);
  type == Centered ? viewer_->setHorizontalCentered() : viewer_->setHorizontalIndented();
  viewer_->Redraw();
  WriteSetting("Type", type);
}

// ---- Display ----

void KelLnkWindowView::Refresh(int full) {
  MML_TRACE("KelLnkWindowView::Refresh");
  ++refreshes_;
  // The open contextual menu names nodes the refresh replaces.
  for (auto& method : methods_) method->Detach();
  if (contextMenu_ != nullptr) contextMenu_->SetVisibility(false);
  KelApplication::Get().SetBusyCursor(true);
  // A graph whose root node left the product structure keeps its drawing.
  if (full && HasPSNContext() && !CheckPSNRefresh()) return;
  if (full) {
    KelLnkDataManager::Uncache();
    KelLnkHybridManager::Uncache();
  }
  EmptyLists();
  KelLnkObject::Clean();
  auto* root = static_cast<KelLnkObject*>(GetRootObject().get());
  if (root != nullptr) root->Uncache(full);
  KelLnkCustomNode* rootNode = GetRootCustomNode();
  if (root != nullptr && rootNode != nullptr && GetRootController() != nullptr) {
    root->ExpandCollapse(1, rootNode, 0);
    KelLnkObject::Clean();
  }
  navigator_->GetContainer()->Refresh();
  viewer_->SetRoot(navigator_->GetRootInstance() ? navigator_->GetRootInstance()->GetGraphNode() : nullptr);
  navigator_->ReleaseDropped();  // the viewer and the registry name only drawn nodes now
  UpdateStatus();
}

void KelLnkWindowView::RefreshDisplay() {
  KelApplication::Get().SetBusyCursor(true);
  Select(nullptr, 0, SelectUndefined);
  KelLnkCustomNode* rootNode = GetRootCustomNode();
  if (rootNode != nullptr && GetRootController() != nullptr) {
    KelListPtrKelLnkCustomNode all;
    rootNode->FoundAllInGraph(&all);
    for (KelLnkCustomNode* node : all) node->UpdateTextElem(node->GetNavigInstance());
    viewer_->Redraw();
  } else {
    navigator_->GetContainer()->Refresh();
    viewer_->Redraw();
  }
}

void KelLnkWindowView::UpdateStatus() {
  const int drawn = navigator_->GetDrawnCount();
  status_->SetTitle(std::to_string(drawn) + " node(s) drawn, expand depth " + std::to_string(GetExpandDepth()) +
                    ", link type " + (GetLinktype() == "%" ? std::string("ALL") : GetLinktype()));
}

void KelLnkWindowView::ShowGraph() {
  frame_->SetVisibility(true);
  navigator_->GetContainer()->Refresh();
  viewer_->Redraw();
}

void KelLnkWindowView::HideGraph() { frame_->SetVisibility(false); }

std::vector<KelLnkObject*> KelLnkWindowView::GetHighlightedObjects() const {
  std::vector<KelLnkObject*> objects;
  for (KelNavigInstance* instance : navigator_->GetHSO().GetList()) {
    auto* node = dynamic_cast<KelLnkNode*>(instance->GetReference().get());
    if (node != nullptr && node->GetNodetype() == 0) objects.push_back(static_cast<KelLnkObject*>(node));
  }
  return objects;
}

void KelLnkWindowView::Select(KelLnkObject* object, int select, SelectType type) {
  KelHSO& hso = navigator_->GetHSO();
  KelNavigInstance* rootInstance = navigator_->GetRootInstance();
  if (object == nullptr) {
    hso.Empty();
    if (select != 0 && rootInstance != nullptr) {
      rootInstance->Walk([&](KelNavigInstance* instance) {
        auto* node = dynamic_cast<KelLnkNode*>(instance->GetReference().get());
        if (node == nullptr || node->GetNodetype() != 0) return;
        if ((type == SelectParts) == IsPart(node)) hso.AddElement(instance);
      });
    }
  } else if (rootInstance != nullptr) {
    if (select != 0 && IsPart(object) != (GetSelectType() == SelectParts)) hso.Empty();
    rootInstance->Walk([&](KelNavigInstance* instance) {
      if (instance->GetReference().get() != object) return;
      select != 0 ? hso.AddElement(instance) : hso.RemoveElement(instance);
    });
  }
  if (viewer_ != nullptr) viewer_->UpdateHighlight();
  if (HasPSNContext() && !mirroring_) MirrorSelection();
}

void KelLnkWindowView::OnViewerEvent(KelNotification notification) {
  KelNavigInstance* instance = KelNavigInstance::FromGraphNode(viewer_->GetEventNode());
  if (instance == nullptr || !instance->IsDrawn()) return;
  auto* object = dynamic_cast<KelLnkObject*>(instance->GetReference().get());
  switch (notification) {
    case KelNotification::Select:
      if (object != nullptr) {
        Select(nullptr, 0, SelectUndefined);
        SetSelectType(IsPart(object) ? SelectParts : SelectRepresentations);
        navigator_->UserSelect(instance, false);
      }
      break;
    case KelNotification::ExtSelect:
      if (object != nullptr) {
        if (navigator_->GetHSO().IsMember(instance)) {
          Select(object, 0, GetSelectType());
        } else {
          Select(object, 1, GetSelectType());
          navigator_->UserSelect(instance, true);
        }
      }
      break;
    case KelNotification::Method:
      navigator_->UserMethod(instance);
      break;
    case KelNotification::Expand:
      navigator_->UserExpand(instance);
      KelLnkObject::Clean();
      viewer_->Redraw();
      navigator_->ReleaseDropped();
      UpdateStatus();
      break;
    default:
      break;
  }
  viewer_->UpdateHighlight();
}

void KelLnkWindowView::ShowError(const KelUnicodeString& text) {
  lastError_ = text;
  new KelLnkErrorBox(this, text, KelLnkErrorBox::kStyle);
}

void KelLnkWindowView::ShowDMMessage(int code, const std::string& text) {
  (new KelDMDlgMessage(5, code, text))->SetOwner(this);
}

void KelLnkWindowView::ShowMessage(const KelUnicodeString& text) { KelLnkMessageBox(this, text); }

void KelLnkWindowView::ShowStatus(const KelUnicodeString& text) {
  if (status_ != nullptr) status_->SetTitle(text);
}

int KelLnkWindowView::HighlightObjects(const KelListValKelDMInstance& instances, bool emptyFirst) {
  KelHSO& hso = navigator_->GetHSO();
  if (emptyFirst) hso.Empty();
  int added = 0;
  KelNavigInstance* rootInstance = navigator_->GetRootInstance();
  if (rootInstance != nullptr && !instances.empty()) {
    rootInstance->Walk([&](KelNavigInstance* instance) {
      auto* node = dynamic_cast<KelLnkNode*>(instance->GetReference().get());
      if (node == nullptr || node->GetNodetype() != 0 || !instance->IsDrawn()) return;
      if (std::find(instances.begin(), instances.end(), node->GetInstance()) == instances.end()) return;
      hso.AddElement(instance);
      ++added;
    });
  }
  if (viewer_ != nullptr) viewer_->UpdateHighlight();
  return added;
}

// ---- UUIDs ----

void KelLnkWindowView::CheckUUID() {
  MML_TRACE("KelLnkWindowView::CheckUUID");
  const int count = KelLnkHybridManager::GetNbEntities();
  if (count == 0) return;
  const bool trace = KelLnkTools::DbgPerfo() != 0;
  KelLnkHybridManager::Entity** stored = nullptr;
  KelLnkHybridManager::GetStoredEntities(&stored);
  std::unique_ptr<KelLnkHybridManager::Entity*[]> entities(stored);
  const KelLnkUuidCheck check = KelLnkFindMultiContainedUuids(entities.get(), count, trace);
  if (check.duplicated.empty()) {
    new KelLnkCheckUuidDialog_Info(this, 1, 0x4100200);
    return;
  }
  if (check.duplicated.size() != check.groups.size()) {
    new KelLnkCheckUuidDialog_Info(this, 0, 0x10100200);
    return;
  }
  KelListValKelDMInstance concerned;
  for (int index : check.concerned) concerned.push_back(KelLnkEntityInstance(*entities[index]));
  const int nodes = HighlightObjects(concerned, false);
  if (trace) std::cout << "desalloc Liste node ok\n" << std::flush;
  new KelLnkCheckUuidDialog_Result(this, check, entities.get(), count, nodes);
}

int KelLnkWindowView::ChangeUUID() {
  MML_TRACE("KelLnkWindowView::ChangeUUID");
  KelApplication::Get().SetBusyCursor(true);
  KelListValKelDMInstance models;
  int selected = 0;
  int access = 0;
  for (KelNavigInstance* instance : navigator_->GetHSO().GetList()) {
    auto* node = dynamic_cast<KelLnkNode*>(instance->GetReference().get());
    if (node == nullptr || node->GetNodetype() != 0) continue;
    ++selected;
    const KelDMInstance model = node->GetInstance();
    if (RightTrimBlanks(model.GetTable()) != "TOVRA_MODEL") continue;
    if (std::find(models.begin(), models.end(), model) != models.end()) continue;
    for (const char* process : {"ChangeModelUUID", "OpenRepresentation", "OverwriteRepresentation"}) {
      access = model.CheckDataAccess("QOR", "BOM", process, 1);
      if (access != 0) break;
    }
    if (access != 0) break;
    models.push_back(model);
  }
  if (selected == 0) {
    ShowError(GetResource("Error.Change.NoSelect", "No object selected"));
    return 1;
  }
  if (access != 0) {
    ShowDMMessage(access);
    return access;
  }
  if (models.empty()) {
    ShowError(GetResource("Error.Change.Empty", "No object can be processed: check selection"));
    return 1;
  }
  auto* progress = new KelDlgDialog(nullptr, "ModalChangeUuidDialog", 0);
  auto* label = new KelDlgLabel(progress, "LabelChangeUuidActions", 0);
  label->SetTitle("Change UUIDs in progress...");
  progress->SetVisibility(true);
  KelApplication::Get().UpdateDisplay();
  KelDMAction action("ChangeUUID");
  int rc = NewUUIDInBatch(models, nullptr);
  if (rc != 0) {
    KelDMZUMO::RollBack(1);
  } else {
    rc = KelDMZUMO::Commit(1, 1);
  }
  action.End(rc);
  if (rc != 0) ShowDMMessage(rc, action.Last().message);
  progress->SetVisibility(false);
  progress->RequestDelayedDestruction();
  return rc;
}

// ---- Check-in and check-out ----

void KelLnkWindowView::CheckIn(const KelDMInstance& instance) {
  MML_TRACE("KelLnkWindowView::CheckIn");
  if (KelLnkCheckIn(instance, true) != 0) ShowDMMessage(KelDMAction::Last().code, KelDMAction::Last().message);
  KelLnkDataManager::UncacheInstance(instance);
  RefreshDisplay();
}

void KelLnkWindowView::CheckOut(const KelDMInstance& instance) {
  MML_TRACE("KelLnkWindowView::CheckOut");
  if (checkOutPanel_ != nullptr) return;
  const int rc = instance.CanCheckOut(1, 1);
  if (rc != 0) {
    ShowDMMessage(rc);
    return;
  }
  checkOutPanel_ = KelLnkNewCheckOutPanel(instance);
  checkOutInstance_ = instance;
  On(checkOutPanel_, KelNotification::OK, &KelLnkWindowView::CBCheckOutApply, 1);
  On(checkOutPanel_, KelNotification::Apply, &KelLnkWindowView::CBCheckOutApply, 0);
  On(checkOutPanel_, KelNotification::Cancel, &KelLnkWindowView::CBCheckOutClose, 0);
  On(checkOutPanel_, KelNotification::Close, &KelLnkWindowView::CBCheckOutClose, 0);
  checkOutPanel_->SetVisibility(true);
}

void KelLnkWindowView::CBCheckOutApply(KelCommand*, KelNotification, void* data) {
  if (checkOutPanel_ == nullptr) return;
  KelListValKelUnicodeString names, values;
  checkOutPanel_->GetQueryBuffer(names, values);
  const KelDMInstance instance = checkOutInstance_;
  if (KelLnkApplyCheckOut(instance, names, values) != 0) {
    ShowDMMessage(KelDMAction::Last().code, KelDMAction::Last().message);
  }
  if (Data(data) == 1) CBCheckOutClose(nullptr, KelNotification::Close, nullptr);
  KelLnkDataManager::UncacheInstance(instance);
  RefreshDisplay();
}

void KelLnkWindowView::CBCheckOutClose(KelCommand*, KelNotification, void*) {
  if (checkOutPanel_ == nullptr) return;
  checkOutPanel_->SetVisibility(false);
  RemoveAllCallbacksOf(checkOutPanel_);
  checkOutPanel_->RequestDelayedDestruction();
  checkOutPanel_ = nullptr;
}

// ---- Contextual menu ----

void KelLnkWindowView::OpenContextMenu(KelLnkCustomNode* display) {
  methods_.clear();
  if (contextMenu_ != nullptr) {
    contextMenu_->SetVisibility(false);
    contextMenu_->RequestDelayedDestruction();
  }
  contextMenu_ = new KelDlgSubMenu(nullptr, "MethodMenu", 0);
  contextMenu_->SetVisibility(false);
  methods_ = KelLnkComposeMethods(this, contextMenu_, display);
  contextMenu_->SetVisibility(true);
}

// ---- Deletion ----

void KelLnkWindowView::ForceDelete() {
  if (idleId_ != 0 || deleting_) return;
  idleId_ = KelApplication::Get().Subscribe(this, &KelLnkWindowView::OKDelete, this);
}

void KelLnkWindowView::OKDelete(KelCommand*, KelNotification, void* data) {
  auto* window = static_cast<KelLnkWindowView*>(data);
  KelApplication::Get().RemoveSubscribe(window->idleId_);
  window->idleId_ = 0;
  window->deleting_ = true;
  window->RequestDelayedDestruction();
}

void KelLnkWindowView::CBRemoveWindow(KelCommand*, KelNotification, void* data) {
  if (data != nullptr && data == static_cast<void*>(GetPSNGraph())) {
    psnWindowOpen_ = false;
    HoldPSNGraph(psnHold_);  // stops listening to the navigator's selection
  }
}

// ---- Menu callbacks ----

void KelLnkWindowView::CBClose(KelCommand*, KelNotification, void*) {
  deleting_ = true;
  RequestDelayedDestruction();
}

void KelLnkWindowView::CBGraphExit(KelCommand* sender, KelNotification n, void* data) { CBClose(sender, n, data); }

void KelLnkWindowView::CBPrintTools(KelCommand*, KelNotification, void* data) {
  switch (Data(data)) {
    case 1:
    case 2:
      OpenTool(prints_, Data(data));
      break;
    case 3:
    case 4:
      OpenTool(captures_, Data(data) - 3);
      break;
    default: {
      MML_TRACE("KelLnkWindowView::CBPrintTools");
      mmlFunctionTrace.Write(" Aie aie aie ");
    }
  }
}

template <typename Tool>
void KelLnkWindowView::OpenTool(std::vector<std::unique_ptr<Tool>>& tools, int mode) {
  tools.push_back(std::make_unique<Tool>(this, viewer_, mode));
}

void KelLnkWindowView::CBGraphExpand(KelCommand* sender, KelNotification, void* data) {
  if (static_cast<KelDlgObject*>(sender)->GetState() == 0) return;
  SetExpand(static_cast<Expand>(Data(data)));
}

void KelLnkWindowView::CBGraphRepLink(KelCommand* sender, KelNotification, void* data) {
  if (static_cast<KelDlgObject*>(sender)->GetState() != 0) SetRepLink(static_cast<RepLnk>(Data(data)));
}

void KelLnkWindowView::CBGraphRepZip(KelCommand* sender, KelNotification, void* data) {
  if (static_cast<KelDlgObject*>(sender)->GetState() != 0) SetGraphZip(static_cast<GraphZip>(Data(data)));
}

void KelLnkWindowView::CBGraphRepType(KelCommand* sender, KelNotification, void* data) {
  if (static_cast<KelDlgObject*>(sender)->GetState() != 0) SetGraphType(static_cast<GraphType>(Data(data)));
}

void KelLnkWindowView::CBGraphSelectAll(KelCommand*, KelNotification, void* data) {
  Select(nullptr, 1, Data(data) == 1 ? SelectRepresentations : SelectParts);
  SetSelectType(static_cast<SelectType>(Data(data)));
}

void KelLnkWindowView::CBGraphSelectNone(KelCommand*, KelNotification, void*) {
  Select(nullptr, 0, SelectUndefined);
  SetSelectType(SelectUndefined);
}

void KelLnkWindowView::CBGraphRefresh(KelCommand*, KelNotification, void*) { Refresh(1); }

void KelLnkWindowView::CBGraphReframe(KelCommand*, KelNotification, void*) { viewer_->reframe(); }

void KelLnkWindowView::CBGraphShowLocks(KelCommand* sender, KelNotification, void*) {
  SetShowLocks(static_cast<KelDlgObject*>(sender)->GetState() != 0 ? 1 : 0);
  WriteSetting("ShowLock", GetShowLocks());
  RefreshDisplay();
}

void KelLnkWindowView::CBGraphFilter(KelCommand* sender, KelNotification, void* data) {
  if (static_cast<KelDlgObject*>(sender)->GetState() == 0) return;
  Select(nullptr, 0, SelectUndefined);
  SetFilter(static_cast<Filter>(Data(data)));
  Refresh(0);
}

void KelLnkWindowView::CBGraphCheckUUID(KelCommand*, KelNotification, void*) {
  Select(nullptr, 0, SelectUndefined);
  const Filter filter = GetFilter();
  const Expand expand = GetExpand();
  SetFilter(FilterAll);
  SetExpand(All);
  Refresh(1);
  CheckUUID();
  SetFilter(filter);
  SetExpand(expand);
}

void KelLnkWindowView::CBGraphChangeUUID(KelCommand*, KelNotification, void*) {
  if (ChangeUUID() == 0) Refresh(1);
}

void KelLnkWindowView::CBLink(KelCommand* sender, KelNotification, void* data) {
  if (static_cast<KelDlgObject*>(sender)->GetState() == 0) return;  // the item turned off
  Select(nullptr, 0, SelectUndefined);
  const int k = Data(data);
  const KelListValKelUnicodeString types = KelLnkTools::GetLinktypes();
  const KelUnicodeString type = k == 0 ? KelUnicodeString("%") : types.at(k - 1);
  if (type == GetLinktype()) return;
  SetLinktype(type);
  CheckLinkItems();
  Refresh(0);
}

bool KelLnkWindowView::ChooseLinktype(const KelUnicodeString& type) {
  const KelListValKelUnicodeString types = KelLnkTools::GetLinktypes();
  size_t k = 0;
  if (type != "%") {
    auto it = std::find(types.begin(), types.end(), type);
    if (it == types.end()) return false;
    k = static_cast<size_t>(it - types.begin()) + 1;
  }
  if (k < linkItems_.size()) linkItems_[k]->Activate();
  return true;
}

void KelLnkWindowView::CBRepresentation(KelCommand* sender, KelNotification, void* data) {
  if (static_cast<KelDlgObject*>(sender)->GetState() == 0) return;
  const int width = Data(data);
  if (width == GetTextWidth()) return;
  SetTextWidth(width);
  RefreshDisplay();
}

void KelLnkWindowView::CBDisplayTovraOption(KelCommand*, KelNotification, void*) {
  KelDMDlgZUMOResult* panel = GetZUMOPanel();
  KelDMViewerTool* tool = panel != nullptr ? panel->GetViewer("TOVRA_MODEL") : nullptr;
  delete optionPanel_;
  optionPanel_ = nullptr;
  if (tool == nullptr) return;
  optionPanel_ = new KelDlgDialog(nullptr, "TovraOptionsPanel", 0);
  optionPanel_->SetTitle(GetResource("MainWindow.TovraOptions.Title", "..."));
  On(optionPanel_, KelNotification::Cancel, &KelLnkWindowView::CBExitTovraOptionPanel, 0);
  On(optionPanel_, KelNotification::Close, &KelLnkWindowView::CBExitTovraOptionPanel, 0);
  for (int i = 1; i <= tool->GetNbOptions(); ++i) {
    auto* button = new KelDlgRadioButton(optionPanel_, "TovraOption", 0);
    button->SetGridConstraints(i - 1, 0);
    button->SetTitle(tool->GetOptionTitle(i));
    button->SetState(tool->GetCurrentOption() == i);
    On(button, KelNotification::Modify, &KelLnkWindowView::CBExitTovraOptionPanel, i);
  }
  optionPanel_->SetVisibility(true);
}

void KelLnkWindowView::CBExitTovraOptionPanel(KelCommand* sender, KelNotification, void* data) {
  const int i = Data(data);
  if (i != 0 && static_cast<KelDlgObject*>(sender)->GetState() == 0) return;
  KelDMViewerTool* tool = GetZUMOPanel() ? GetZUMOPanel()->GetViewer("TOVRA_MODEL") : nullptr;
  if (i != 0 && tool != nullptr && i != tool->GetCurrentOption()) tool->SetCurrentOption(i, 0);
  if (optionPanel_ != nullptr) optionPanel_->SetVisibility(false);
}
