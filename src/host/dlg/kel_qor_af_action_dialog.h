// The host's action dialog: shows a change-management action for the user to
// complete and save. A dialog with
//   - the editors "ActionText", "ActionResponsible", "ActionOrganisation";
//   - the list "ActionObjects" (name, kind, UUID of each affected object);
//   - the label "ActionMessage", empty until a save fails.
// OK copies the editors into the action and saves it (KelQorAFAction::Save):
// on success the dialog destroys itself; on failure it stays open with the
// error in "ActionMessage". Cancel and close destroy it without saving.
#pragma once

#include <memory>

#include "host/dlg/kel_dlg_objects.h"
#include "host/dm/kel_qor_action.h"

class KelQorAFActionDialog : public KelDlgDialog {
 public:
  // A dialog named `name` on `action` (owned from here on), shown when
  // `visible` is true.
  KelQorAFActionDialog(const std::string& name, std::unique_ptr<KelQorAFAction> action, bool visible);
  ~KelQorAFActionDialog() override;

  KelQorAFAction& GetAction() const { return *action_; }
  // 0 until OK saved the action, then the result of the save.
  int GetSaveResult() const { return saveResult_; }
  bool IsSaved() const { return saved_; }

  // The action dialog opened last and still alive, or null.
  static KelQorAFActionDialog* Last();

 private:
  void CBOK();
  void CBCancel();

  std::unique_ptr<KelQorAFAction> action_;
  KelDlgEditor* text_;
  KelDlgEditor* person_;
  KelDlgEditor* organisation_;
  KelDlgLabel* message_;
  int saveResult_ = 0;
  bool saved_ = false;
};
