// The entry points through which the host opens and closes graph windows.
#pragma once

#include "ui/kel_lnk_main_window.h"

extern "C" {

// Opens a graph window on `root` (order 1 "impacts on", 0 "impacted by"; a
// product-structure graph needs zumo, psnNode and psnNodes together). Without
// a panel, the first registered result panel is used; when there is none,
// two lines go to standard output and the answer is null.
KelLnkMainWindow* LaunchMMLWindow(KelDMDlgZUMOResult* panel, const KelDMInstance* root, int order,
                                  KelZumoInstance* zumo, KelPSNNode* psnNode, const KelListPtrKelPSNNode* psnNodes);

// Destroys the window at the next idle time; returns at once.
void DeleteMMLWindow(KelLnkMainWindow* window);
}
