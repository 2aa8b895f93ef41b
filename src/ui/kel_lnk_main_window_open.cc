// Opening the highlighted objects of a graph window in a viewer.
//
// The logical key "KELZUMO.QOR.INTEROP.TOVRAV5_NEW_OPEN_MODE" chooses the
// way. FALSE: through the product-structure navigator's viewer, in passes
// (OpenThroughProductStructure). TRUE or absent: in one call of a viewer
// every selected table has.
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "base/kel_text.h"
#include "base/mml_constants.h"
#include "foundation/kel_lnk_tools.h"
#include "graph/kel_lnk_link.h"
#include "graph/kel_lnk_object.h"
#include "host/db/kel_dm_ier_message.h"
#include "host/dlg/kel_dlg_objects.h"
#include "host/kel_dm_tovra.h"
#include "host/kel_psn_trace.h"
#include "host/psn/kel_psn_tree.h"
#include "host/v4/kel_psn_com.h"
#include "host/viewer/kel_viewer_tool_bag.h"
#include "ui/kel_lnk_boxes.h"
#include "ui/kel_lnk_main_window.h"

namespace {

using Items = std::vector<KelViewerToolBag::Item>;

// A modal box `boxId` with `message` and one push button per (identifier,
// title). Returns the number (from 1) of the button pressed, 0 when the box
// was closed without an answer.
int Ask(const std::string& boxId, const std::vector<std::pair<std::string, std::string>>& buttons,
        const std::string& message, const std::string& title) {
  auto* box = new KelDlgNotify(nullptr, boxId, KelLnkMessageBox::kStyle);
  int chosen = 0;
  for (size_t k = 0; k < buttons.size(); ++k) {
    auto* button = new KelDlgPushButton(box, buttons[k].first, 0);
    button->SetTitle(buttons[k].second);
    button->SetGridConstraints(static_cast<int>(k), 0);
    const int number = static_cast<int>(k) + 1;
    AddAnalyseNotificationCB(
        button, KelNotification::Activate,
        [&chosen, number, box](KelCommand*, KelNotification, void*) {
          chosen = number;
          box->SetVisibility(false);
        },
        nullptr, box);
  }
  box->DisplayBlocked(message, title);
  RemoveAllCallbacksOf(box);
  box->RequestDelayedDestruction();
  return chosen;
}

KelUnicodeString OpenOK(KelLnkMainWindow& window) {
  return window.GetResource("ZumoMessageOpenOK.Private", "Objects sent to the viewer.");
}
KelUnicodeString OpenKO(KelLnkMainWindow& window) {
  return window.GetResource("ZumoMessageOpenKO.Private", "The objects could not be opened.");
}
KelUnicodeString OpenCancelled(KelLnkMainWindow& window) {
  return window.GetResource("ZumoMessageOpenCANCEL.Private", "Open cancelled.");
}

// The level of `object` in the drawn tree: its own once its links were
// computed, else one below the object it was reached from (a drawn leaf
// whose links were never asked for still has -1).
int DrawnLevel(const KelLnkObject* object) {
  if (object->GetLevel() >= 0) return object->GetLevel();
  const KelLnkLink* link = object->GetParentLink();
  const KelLnkObject* parent = link != nullptr ? link->GetParent() : nullptr;
  return parent != nullptr ? DrawnLevel(parent) + 1 : 0;
}

// The requests of an open through the product structure. One request
// without the ordered open. With it, the Tovra V5 documents (TOVRA_MODEL)
// one level per request, the objects others depend on first: the deepest
// level first in an "impacted by" window (the root depends on what is
// below it), the root's level first in an "impacts on" window (what is
// below depends on the root). The other objects come in a last request.
std::vector<Items> Passes(const std::vector<KelLnkObject*>& objects, int order) {
  if (!KelLnkTools::IsOrderedOpen()) {
    Items all;
    for (KelLnkObject* object : objects) all.push_back(object->ViewerItem());
    return {all};
  }
  std::map<int, Items> byLevel;
  Items others;
  for (KelLnkObject* object : objects) {
    if (RightTrimBlanks(object->Instance().GetTable()) == kMmlTovraModel)
      byLevel[DrawnLevel(object)].push_back(object->ViewerItem());
    else
      others.push_back(object->ViewerItem());
  }
  std::vector<Items> passes;
  if (order == kOrderImpactsOn) {
    for (auto& level : byLevel) passes.push_back(std::move(level.second));
  } else {
    for (auto level = byLevel.rbegin(); level != byLevel.rend(); ++level) passes.push_back(std::move(level->second));
  }
  if (!others.empty()) passes.push_back(std::move(others));
  return passes;
}

// The open with "KELZUMO.QOR.INTEROP.TOVRAV5_NEW_OPEN_MODE" FALSE. One object
// opens by itself (KelLnkObject::Open). Otherwise the objects with a
// product-structure node go to the navigator's viewer in passes, each pass
// started after the one before has ended, and the others open by
// themselves. When that viewer's current option is 1 (a new session), the
// user confirms first; a refusal opens nothing.
void OpenThroughProductStructure(KelLnkMainWindow& window, const std::vector<KelLnkObject*>& objects) {
  if (objects.size() == 1) return objects.front()->Open(0);
  std::vector<KelLnkObject*> placed, alone;
  for (KelLnkObject* object : objects) (object->GetPSNNode() != nullptr ? placed : alone).push_back(object);
  KelViewerToolBag* tool = nullptr;
  if (!placed.empty()) {
    auto* tree = dynamic_cast<KelPSNTree*>(window.GetPSNGraph());
    tool = tree != nullptr ? tree->GetCurrentTool() : nullptr;
    if (tool == nullptr) return KelLnkObject::ShowNoViewer(&window);
    if (tool->GetCurrentOption() == 1 &&
        Ask("ConfirmClearSession", {{"ConfirmYes", "Yes"}, {"ConfirmNo", "No"}},
            window.GetResource("ZumoMessageConfirmClearSession",
                               "The viewer's session will be cleared before the objects are opened.\nGo on?"),
            window.GetResource("ZumoMessageConfirmClearSession.Title", "Open")) != 1) {
      window.ShowStatus(OpenCancelled(window));
      return;
    }
  }
  for (KelLnkObject* object : alone) object->Open(0);
  if (placed.empty()) return;
  // The requests are made before the first one runs: the wait between two
  // may deliver other events (the end of a synchronisation refreshes the
  // window and replaces its objects).
  const std::vector<Items> passes = Passes(placed, window.GetOrder());
  for (size_t k = 0; k < passes.size(); ++k) {
    KelPSNError error;
    int rc = KelPSNCom::StartViewer(*tool, error);
    if (rc == 0) rc = KelPSNCom::OpenRep(*tool, passes[k], k + 1 < passes.size(), error);
    if (rc != 0) {
      window.ShowError(KelDMIerMessage(rc).GetDisplayMessage(1) + "\n" + error.longMessage);
      window.ShowStatus(OpenKO(window));
      return;
    }
  }
  window.ShowStatus(OpenOK(window));
}

}  // namespace

void KelLnkMainWindow::Open() {
  MML_TRACE("KelLnkMainWindow::Open");
  KelLnkTools::Busy();
  std::vector<KelLnkObject*> objects;
  KelListValKelDMInstance instances;
  for (KelLnkObject* object : GetHighlightedObjects()) {
    const KelDMInstance& instance = object->Instance();
    bool seen = false;
    for (const KelDMInstance& other : instances) seen = seen || other == instance;
    if (seen) continue;
    objects.push_back(object);
    instances.push_back(instance);
  }
  if (objects.empty()) return;
  int newOpenMode = 1;
  if (KelDMTovra::GetLogicalDec("KELZUMO.QOR.INTEROP.TOVRAV5_NEW_OPEN_MODE", newOpenMode) == 0 && newOpenMode == 0)
    return OpenThroughProductStructure(*this, objects);
  if (objects.size() == 1) {
    // In a product-structure window, the navigator's viewer.
    auto* tree = dynamic_cast<KelPSNTree*>(GetPSNGraph());
    if (!HasPSNContext() || tree == nullptr) return objects.front()->Open(0);
    KelViewerToolBag* tool = tree->GetCurrentTool();
    if (tool == nullptr) return KelLnkObject::ShowNoViewer(this);
    KelLnkObject::OpenInViewer(this, *tool, {objects.front()->ViewerItem()});
    return;
  }

  // The viewers every selected table has; parts take no part in the choice.
  std::vector<KelViewerToolBag*> common;
  bool first = true;
  for (const KelDMInstance& instance : instances) {
    const KelUnicodeString table = RightTrimBlanks(instance.GetTable());
    if (table == "PART_LIST") continue;
    const std::vector<KelViewerToolBag*> viewers = KelViewerToolBag::GetToolBags(table);
    if (first) {
      common = viewers;
      first = false;
      continue;
    }
    std::vector<KelViewerToolBag*> kept;
    for (KelViewerToolBag* candidate : common) {
      for (KelViewerToolBag* viewer : viewers)
        if (candidate->GetCommand() == viewer->GetCommand() && candidate->GetName() == viewer->GetName()) {
          kept.push_back(candidate);
          break;
        }
    }
    common = std::move(kept);
  }
  if (common.empty()) return KelLnkObject::ShowNoViewer(this);
  int chosen = 1;
  if (common.size() > 1) {
    std::vector<std::pair<std::string, std::string>> buttons;
    for (size_t k = 0; k < common.size(); ++k)
      buttons.emplace_back("Viewer" + std::to_string(k + 1), common[k]->GetName());
    chosen = Ask(
        "SelectViewer", buttons,
        GetResource("ZumoOpenRepresentationsSelectViewer.Msg", "Several viewers can open these objects. Choose one."),
        GetResource("ZumoOpenRepresentationsSelectViewer.Title", "Select a viewer"));
  }
  if (chosen == 0) {
    ShowStatus(OpenCancelled(*this));
    return;
  }
  // Drawn product-structure instances open as instances, the others by themselves.
  Items items;
  for (KelLnkObject* object : objects) items.push_back(object->ViewerItem());
  KelLnkObject::OpenInViewer(this, *common[chosen - 1], items);
}
