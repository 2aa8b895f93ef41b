// The dialogs of a synchronisation and the services that let the operations
// reach the graph window. Every text goes through the window's resource
// texts (KelLnkMainWindow::GetResource) with its English default.
//
//   KelLnkSynchroniseDialog  "SynchroniseDialog": the plan ("MlistActions":
//                            #, Object, Link, Reason) and, when there are
//                            any, the reverse links ("MlistReverse": To,
//                            From). OK carries the plan out (once); Cancel and
//                            Close compute the conditions below the object
//                            afresh. Either destroys the dialog.
//   KelLnkGetOrderDialog     "GetOrderDialog": the order ("MlistActions":
//                            level, Object); Close destroys it.
//   KelLnkModalDialogForSync "ModalDialogForSync": "Synchronisation in
//                            progress..." while a script runs.
// The first two belong to the graph window on screen that opened them, which
// deletes them if they are still open when it goes.
//   KelLnkWindowServices     KelLnkUserServices for the graph windows: boxes
//                            of ui/kel_lnk_boxes.h, the window's Refresh, the
//                            dialogs above, new windows through
//                            LaunchMMLWindow.
#pragma once

#include <memory>

#include "graph/kel_lnk_user_services.h"
#include "host/dlg/kel_dlg_objects.h"

class KelLnkMainWindow;

class KelLnkSynchroniseDialog : public KelDlgDialog {
 public:
  using Plan = KelLnkUserServices::Plan;
  using ReverseLinks = KelLnkUserServices::ReverseLinks;
  // Shows the dialog. `object` stays alive as long as the dialog (the
  // dialog holds it).
  KelLnkSynchroniseDialog(KelLnkMainWindow* window, KelLnkObject& object, Plan units, ReverseLinks reverse);
  ~KelLnkSynchroniseDialog() override;
  void CBOK(KelCommand* sender, KelNotification notification, void* data);
  void CBCancel(KelCommand* sender, KelNotification notification, void* data);
  // Dialogs alive.
  static int Count();

 private:
  KelLnkMainWindow* window_;
  KelLnkObject* object_;
  std::shared_ptr<void> objectHold_;
  Plan units_;
  ReverseLinks reverse_;
  bool done_ = false;
};

class KelLnkGetOrderDialog : public KelDlgDialog {
 public:
  KelLnkGetOrderDialog(KelLnkMainWindow* window, const KelListValKelDMInstance& objects, const KelRawCollint& levels);
  void CBClose(KelCommand* sender, KelNotification notification, void* data);
};

class KelLnkModalDialogForSync : public KelDlgDialog {
 public:
  explicit KelLnkModalDialogForSync(KelLnkMainWindow* window);
  ~KelLnkModalDialogForSync() override;
};

class KelLnkWindowServices : public KelLnkUserServices {
 public:
  void ErrorBox(KelLnkGraphWindow* window, const KelUnicodeString& text) override;
  void MessageBox(KelLnkGraphWindow* window, const KelUnicodeString& text) override;
  void Refresh(KelLnkGraphWindow* window, int full) override;
  void ShowPlan(KelLnkGraphWindow* window, KelLnkObject& object, Plan units, ReverseLinks reverse) override;
  void ShowOrder(KelLnkGraphWindow* window, const KelListValKelDMInstance& objects,
                 const KelRawCollint& levels) override;
  void ShowProgress(KelLnkGraphWindow* window) override;
  void HideProgress() override;
  void OpenWindow(const KelDMInstance& instance, int order) override;

  // Installs one instance for the process (the program of the windows calls
  // it once before the first window).
  static void InstallForWindows();
};
