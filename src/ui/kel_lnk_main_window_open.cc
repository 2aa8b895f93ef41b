// Opening the highlighted objects of a graph window in a viewer.
#include <string>
#include <vector>

#include "base/kel_text.h"
#include "foundation/kel_lnk_tools.h"
#include "graph/kel_lnk_object.h"
#include "host/dlg/kel_dlg_objects.h"
#include "host/kel_dm_tovra.h"
#include "host/kel_psn_trace.h"
#include "host/viewer/kel_viewer_tool_bag.h"
#include "ui/kel_lnk_boxes.h"
#include "ui/kel_lnk_main_window.h"

namespace {

// The choice panel: `message` and one button per viewer name. Returns the
// number (from 1) of the button pressed, 0 when the box was closed without
// a choice.
int ChooseViewer(KelLnkMainWindow& window, const std::vector<KelViewerToolBag*>& viewers) {
  auto* box = new KelDlgNotify(nullptr, "SelectViewer", KelLnkMessageBox::kStyle);
  int chosen = 0;
  for (size_t k = 0; k < viewers.size(); ++k) {
    auto* button = new KelDlgPushButton(box, "Viewer" + std::to_string(k + 1), 0);
    button->SetTitle(viewers[k]->GetName());
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
  box->DisplayBlocked(window.GetResource("ZumoOpenRepresentationsSelectViewer.Msg",
                                         "Several viewers can open these objects. Choose one."),
                      window.GetResource("ZumoOpenRepresentationsSelectViewer.Title", "Select a viewer"));
  RemoveAllCallbacksOf(box);
  box->RequestDelayedDestruction();
  return chosen;
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
  if (KelDMTovra::GetLogicalDec("KELZUMO.QOR.INTEROP.TOVRAV5_NEW_OPEN_MODE", newOpenMode) == 0 && newOpenMode == 0) {
    // Through the product-structure navigator: object by object.
    for (KelLnkObject* object : objects) object->Open(0);
    return;
  }
  if (objects.size() == 1) return objects.front()->Open(0);

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
  if (common.size() > 1) chosen = ChooseViewer(*this, common);
  if (chosen == 0) {
    ShowStatus(GetResource("ZumoMessageOpenCANCEL.Private", "Open cancelled."));
    return;
  }
  KelLnkObject::OpenInViewer(this, *common[chosen - 1], instances);
}
