#include "ui/kel_lnk_filter_dialog.h"

#include "host/kel_psn_node.h"
#include "host/kel_psn_trace.h"
#include "ui/kel_lnk_main_window.h"

KelLnkFilterDialog::KelLnkFilterDialog(KelLnkMainWindow* window) : KelDlgDialog(nullptr, "FilterDialog", kStyle) {
  MML_TRACE("KelLnkFilterDialog::KelLnkFilterDialog");
  SetTitle(window->GetResource("GetFilterDialog.Title", "Filtered Objects"));
  SetCancelTitle(window->GetResource("GetFilterDialog.Close.Label", "Close"));

  auto* label = new KelDlgLabel(this, "VisibleObjectsLabel", 0);
  label->SetTitle(window->GetResource("GetFilterDialog.VisibleObjects.Title", "Objects visible in this MML window :"));
  list_ = new KelDlgMultiList(this, "VisibleObjectsList", 0);
  list_->SetHelp(window->GetResource("GetFilterDialog.VisibleObjects.Help", "Filtered Objects"));
  list_->SetColumnTitle(0, window->GetResource("GetFilterDialog.VisibleObjects.Column.Title", "Object"));
  list_->SetVisibleTextWidth(60);
  list_->SetColumnWidth(60);

  int row = 0;
  for (KelPSNNode* node : window->GetPSNNodeList()) {
    KelDMInstance instance;
    if (node == nullptr || KelPSNSdai::Convert(node->GetQorNode(0), instance) != 0) continue;
    window->AddToInstanceList(instance);
    list_->SetCell(row++, 0, instance.GetNameInstance(3, 1, " ", "$BOM_NAVIG"));
  }

  label->SetGridConstraints(0, 0);
  list_->SetGridConstraints(1, 0);
  SetColumnStretch(0, 1);
  SetRowStretch(0, 0);
  SetRowStretch(1, 1);

  auto close = [this](KelCommand* s, KelNotification n, void* d) { CBClose(s, n, d); };
  closeId_ = AddAnalyseNotificationCB(this, KelNotification::Close, close, nullptr, this);
  cancelId_ = AddAnalyseNotificationCB(this, KelNotification::Cancel, close, nullptr, this);
  SetVisibility(true);
}

KelLnkFilterDialog::~KelLnkFilterDialog() {
  SetVisibility(false);
  RemoveAnalyseNotificationCB(closeId_);
  RemoveAnalyseNotificationCB(cancelId_);
}

void KelLnkFilterDialog::CBClose(KelCommand*, KelNotification, void*) { RequestDelayedDestruction(); }
