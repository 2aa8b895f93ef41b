#include "ui/kel_lnk_entry_points.h"

#include <iostream>

#include "ui/kel_dm_dlg_zumo_result.h"
#include "ui/kel_lnk_synchronise_dialog.h"
#include "ui/kel_lnk_window_view.h"

extern "C" KelLnkMainWindow* LaunchMMLWindow(KelDMDlgZUMOResult* panel, const KelDMInstance* root, int order,
                                             KelZumoInstance* zumo, KelPSNNode* psnNode,
                                             const KelListPtrKelPSNNode* psnNodes) {
  // The operations started from the window answer through its boxes and dialogs.
  KelLnkWindowServices::InstallForWindows();
  if (panel == nullptr) {
    const auto& panels = KelDMDlgResultPanel::GetListResultPanel();
    if (panels.empty()) {
      std::cout << "QOR INTERNAL ERROR : no KelDMDlgResultPanel " << std::endl;
      std::cout << "available to launch a KelLnkMainWindow" << std::endl;
      return nullptr;
    }
    panel = panels.front();
  }
  KelLnkWindowView* window = new KelLnkWindowView(panel, root, order, zumo, psnNode, psnNodes);
  panel->AdoptWindow(window);
  return window;
}

extern "C" void DeleteMMLWindow(KelLnkMainWindow* window) {
  if (KelLnkWindowView* shown = KelLnkWindowView::FromModel(window)) shown->ForceDelete();
}
