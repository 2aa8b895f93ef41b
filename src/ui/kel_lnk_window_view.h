// KelLnkWindowView: the graph window on screen. It is the window model
// (KelLnkMainWindow: settings, root object, twin registry, resource texts)
// shown as a toolkit document with
//   - the menu bar "Menu" (Graph, Link, Node, Print Tools menus), every item
//     titled from the resource catalogue with its English default;
//   - the frame "LnkGraphFrame" holding the graph viewer "Graph", drawn by
//     the window's navigator controller;
//   - the status bar "Status" and the option button "TovraOptionBtn".
// The display settings persist in the settings repository "KelLnkSetting"
// ("Expand", "Link", "Zip", "Type", "Filter", "ShowLock"): read at
// construction (a value out of range falls back to its default) and written
// by each setter, so the next window, in this process or the next, opens
// with them.
//
// Lifetime: the window is shown at the end of its construction and destroyed
// through the toolkit's delayed destruction (Exit, Close, ForceDelete). Its
// destructor detaches every callback it registered, so nothing reaches a
// destroyed window, whatever was running when it went.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

#include "host/dlg/kel_dlg_objects.h"
#include "host/dlg/kel_dm_dlg_panels.h"
#include "host/dlg/kel_graph_viewer.h"
#include "ui/kel_lnk_main_window.h"
#include "ui/kel_lnk_navigator_controller.h"

class KelDMDlgZUMOResult;
class KelLnkObject;
class KelLnkPrint;
class KelLnkCapture;
class KelLnkMethod;

class KelLnkWindowView : public KelDlgDocument, public KelLnkMainWindow {
 public:
  // See KelLnkMainWindow; the window is shown when construction ends, unless
  // the arguments are invalid (GetGraphSource() -1: empty and hidden).
  KelLnkWindowView(KelDMDlgZUMOResult* panel, const KelDMInstance* root, int order, KelZumoInstance* zumo,
                   KelPSNNode* psnNode, const KelListPtrKelPSNNode* psnNodes);
  ~KelLnkWindowView() override;

  // The window showing `model`, null when none (or when it is gone).
  static KelLnkWindowView* FromModel(const KelLnkMainWindow* model);
  // Windows alive in the process.
  static int Count();

  KelGraphViewer* GetViewer() const { return viewer_; }
  KelLnkNavigatorController* GetNavigatorController() const { return navigator_.get(); }

  // ---- Setters: the model's, then the viewer and the settings repository ----
  void SetFilter(Filter filter);
  void SetExpand(Expand expand);
  void SetRepLink(RepLnk repLink);
  void SetGraphZip(GraphZip zip);
  void SetGraphType(GraphType type);

  // ---- Display ----

  // Rebuilds the graph from the root; `full` also empties the object and
  // link caches first.
  void Refresh(int full) override;
  // Redraws the texts and colours of the drawn nodes only.
  void RefreshDisplay();
  // Changes the selection (the navigator's highlighted set): see the class
  // comment of the selection in docs/window.md. Type 1 representations
  // (tables other than "PART_LIST"), 2 parts.
  void Select(KelLnkObject* object, int select, SelectType type);
  void ShowGraph();
  void HideGraph();
  // Shows `text` in an error box of the window.
  void ShowError(const KelUnicodeString& text) override;
  // The text of the last error box the window opened ("" when none).
  const KelUnicodeString& GetLastErrorText() const { return lastError_; }
  // Writes `text` in the status bar.
  void ShowStatus(const KelUnicodeString& text) override;
  const KelUnicodeString& GetStatusText() const { return status_->GetTitle(); }
  // Adds to the highlighted set (emptied first when `emptyFirst`) every drawn
  // object node whose instance is in `instances`. Returns the nodes added.
  int HighlightObjects(const KelListValKelDMInstance& instances, bool emptyFirst) override;
  // Shows `text` in the modal message box.
  void ShowMessage(const KelUnicodeString& text) override;
  // The objects of the navigator's highlighted set.
  std::vector<KelLnkObject*> GetHighlightedObjects() const override;

  // ---- UUIDs ----
  // Finds the multi-contained UUIDs among the cached entities, highlights
  // their drawn nodes and lists them in the result dialog (or shows the
  // information box when there is none). Nothing without cached entities.
  void CheckUUID();
  // Gives new UUIDs to the selected models the user may change, in one
  // transaction and the host action "ChangeUUID". 0 on success, else 1 or
  // the failing code (with the message shown).
  int ChangeUUID();

  // ---- Check-in and check-out ----
  // Check-in with the maturity step; then uncaches the object and redraws.
  void CheckIn(const KelDMInstance& instance);
  // Opens the lock panel (ignored while one is open).
  void CheckOut(const KelDMInstance& instance);
  void CBCheckOutApply(KelCommand* sender, KelNotification notification, void* data);
  void CBCheckOutClose(KelCommand* sender, KelNotification notification, void* data);
  KelDMInsertPanel* GetCheckOutPanel() const { return checkOutPanel_; }

  // ---- Contextual menu ----
  // Opens the contextual menu "MethodMenu" of `display` (replacing the one
  // open before), composed by KelLnkComposeMethods.
  void OpenContextMenu(KelLnkCustomNode* display);
  KelDlgObject* GetContextMenu() const { return contextMenu_; }

  // ---- Deletion ----

  // Destroys the window at the next idle time (once, however often asked).
  void ForceDelete();
  static void OKDelete(KelCommand* sender, KelNotification notification, void* data);
  // The host list of windows lost `data`: a father PSN window going clears
  // the PSN-window flag.
  void CBRemoveWindow(KelCommand* sender, KelNotification notification, void* data);

  // ---- Menu callbacks ----
  void CBClose(KelCommand* sender, KelNotification notification, void* data);
  void CBPrintTools(KelCommand* sender, KelNotification notification, void* data);
  void CBGraphExpand(KelCommand* sender, KelNotification notification, void* data);
  void CBGraphSelectAll(KelCommand* sender, KelNotification notification, void* data);
  void CBGraphSelectNone(KelCommand* sender, KelNotification notification, void* data);
  void CBGraphRefresh(KelCommand* sender, KelNotification notification, void* data);
  void CBGraphReframe(KelCommand* sender, KelNotification notification, void* data);
  void CBGraphRepLink(KelCommand* sender, KelNotification notification, void* data);
  void CBGraphRepZip(KelCommand* sender, KelNotification notification, void* data);
  void CBGraphRepType(KelCommand* sender, KelNotification notification, void* data);
  void CBGraphShowLocks(KelCommand* sender, KelNotification notification, void* data);
  void CBGraphFilter(KelCommand* sender, KelNotification notification, void* data);
  void CBGraphCheckUUID(KelCommand* sender, KelNotification notification, void* data);
  void CBGraphChangeUUID(KelCommand* sender, KelNotification notification, void* data);
  void CBGraphExit(KelCommand* sender, KelNotification notification, void* data);
  void CBLink(KelCommand* sender, KelNotification notification, void* data);
  void CBRepresentation(KelCommand* sender, KelNotification notification, void* data);
  void CBDisplayTovraOption(KelCommand* sender, KelNotification notification, void* data);
  void CBExitTovraOptionPanel(KelCommand* sender, KelNotification notification, void* data);

  // Shows the links of `type` only ("%": all), as the Link menu does; false
  // for a type the profile does not declare.
  bool ChooseLinktype(const KelUnicodeString& type);

  // ---- Product structure ----
  // Keeps the product-structure graph alive as long as the window, so that
  // the nodes its objects name stay valid when the navigator closes.
  void HoldPSNGraph(std::shared_ptr<KelPSNGraph> graph);
  // Non-zero when `object` is still in the window's product-structure graph.
  int IsAValidObjectInGraph(KelLnkObject* object);
  void CBPSNObjects(KelCommand* sender, KelNotification notification, void* data);
  void CBPSNBringUp(KelCommand* sender, KelNotification notification, void* data);
  // The open filter dialog (null when none); opening it again replaces it.
  class KelLnkFilterDialog* GetFilterDialog() const {
    return filterDialog_;
  }
  // Tells every graph window that the product-structure window of `graph`
  // went away (CBRemoveWindow with the graph).
  static void PSNWindowRemoved(KelPSNGraph* graph);
  // Makes the "Bring up" of windows on `graph` show `dialog` (null: none).
  static void SetPSNDialog(KelPSNGraph* graph, KelDlgObject* dialog);

  // Counters for the curious (tests, status): full and partial refreshes run.
  int GetRefreshCount() const { return refreshes_; }
  bool IsPSNWindowOpen() const { return psnWindowOpen_; }

 private:
  using Callback = void (KelLnkWindowView::*)(KelCommand*, KelNotification, void*);
  KelDlgObject* AddItem(KelDlgObject* menu, KelDlgObject::Kind kind, const char* id, const char* titleKey,
                        const char* titleDefault, const char* helpKey, const char* helpDefault, Callback callback,
                        intptr_t data);
  KelDlgObject* AddMenu(KelDlgObject* parent, const char* id, const char* titleKey, const char* titleDefault);
  void On(KelDlgObject* sender, KelNotification notification, Callback callback, intptr_t data);
  void BuildMenus();
  void BuildLinkMenu(KelDlgObject* bar);
  void BuildNodeMenu(KelDlgObject* bar);
  void CheckLinkItems();
  void UpdateStatus();
  void OnViewerEvent(KelNotification notification);
  void WriteSetting(const char* name, int value);
  // The host's message panel for the error `code` (`text` replaces its
  // catalogue text), owned by the window.
  void ShowDMMessage(int code, const std::string& text = "");
  template <typename Tool>
  void OpenTool(std::vector<std::unique_ptr<Tool>>& tools, int mode);

  KelGraphViewer* viewer_ = nullptr;
  KelDlgFrame* frame_ = nullptr;
  KelDlgStatusBar* status_ = nullptr;
  KelDlgPushButton* optionButton_ = nullptr;
  KelDlgDialog* optionPanel_ = nullptr;
  KelDMInsertPanel* checkOutPanel_ = nullptr;
  KelDMInstance checkOutInstance_;
  KelUnicodeString lastError_;
  KelDlgObject* contextMenu_ = nullptr;
  std::vector<std::unique_ptr<KelLnkMethod>> methods_;
  std::unique_ptr<KelLnkNavigatorController> navigator_;
  std::deque<intptr_t> callbackData_;      // the data of each menu callback, at a fixed address
  std::vector<KelDlgObject*> linkItems_;   // item k shows link type k (0: all)
  std::vector<KelDlgObject*> widthItems_;  // the Node menu's radio items
  std::vector<int> widths_;                // parallel: the width each sets
  std::vector<std::unique_ptr<KelLnkPrint>> prints_;
  std::vector<std::unique_ptr<KelLnkCapture>> captures_;
  int idleId_ = 0;
  int removeId_ = 0;
  bool psnWindowOpen_ = false;
  // Mirrors the selection into the product-structure graph; false, with an
  // error box, when it cannot be.
  bool MirrorSelection();
  // Highlights the objects whose product-structure node is selected there.
  void MirrorFromPSN();
  // Whether a full refresh may run (the root node is still valid); shows the
  // error box otherwise.
  bool CheckPSNRefresh();
  void BuildPSNMenu(KelDlgObject* bar);
  std::shared_ptr<KelPSNGraph> psnHold_;
  int psnListener_ = 0;
  bool mirroring_ = false;
  class KelLnkFilterDialog* filterDialog_ = nullptr;
  int refreshes_ = 0;
  bool deleting_ = false;
};
