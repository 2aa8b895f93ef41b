// KelLnkFilterDialog: the list of the objects visible in a graph window
// opened from a product structure ("Objects..." of the PSN menu).
//
// Dialog "FilterDialog" (hidden until built) with the label
// "VisibleObjectsLabel" on row 0 and the one-column multi-list
// "VisibleObjectsList" on row 1 (column 0 and row 1 stretch). One row per
// product-structure node of the window's node list, in list order: the name
// of the node's object. Each object joins the window's instance list unless
// it is there already, so opening the dialog again adds nothing. Close (or
// closing the window) destroys the dialog at the next idle time.
#pragma once

#include "host/dlg/kel_dlg_objects.h"

class KelLnkMainWindow;

class KelLnkFilterDialog : public KelDlgDialog {
 public:
  static constexpr unsigned long kStyle = 2561;
  explicit KelLnkFilterDialog(KelLnkMainWindow* window);
  ~KelLnkFilterDialog() override;
  void CBClose(KelCommand* sender, KelNotification notification, void* data);
  KelDlgMultiList* GetList() const { return list_; }

 private:
  KelDlgMultiList* list_ = nullptr;
  int closeId_ = 0;
  int cancelId_ = 0;
};
