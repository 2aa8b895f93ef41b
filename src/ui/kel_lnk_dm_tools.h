// Check-in and check-out of one object: the removal of the user's locks of
// type "D" ("CheckIn") and their replacement by a new "$LOCK" row whose
// attributes the user fills in the insert panel "ZumoCheckOutPanel"
// ("CheckOut"). Each runs inside a host action of that name and commits
// whole or rolls back whole; the action's end reports the outcome.
//
// The graph window offers both on an object (then uncaches the object and
// redraws); KelLnkDMTools offers them to callers without a graph window.
#pragma once

#include "base/kel_types.h"
#include "host/dlg/kel_dlg_objects.h"
#include "host/dlg/kel_dm_dlg_panels.h"
#include "host/kel_dm_instance.h"

// Check-in of `instance`. With `maturityStep`, an object whose maturity index
// is above the profile key KELZUMO.QOR.LOCK.CHECKIN_MAX_MATURITY (when set)
// is refused with 20500. Without a lock of type "D" of the current user:
// 20517 naming the object and the user, nothing changed. Returns 0 or the code
// the action ended with.
int KelLnkCheckIn(const KelDMInstance& instance, bool maturityStep);
// Replaces the object's locks of type "D" by one "$LOCK" row of the given
// attributes, in the action "CheckOut". Returns 0 or the code.
int KelLnkApplyCheckOut(const KelDMInstance& instance, const KelListValKelUnicodeString& names,
                        const KelListValKelUnicodeString& values);
// The lock insert panel for `instance`: "ZumoCheckOutPanel", titled
// "Insert_Lock", editors "$LOCKTYPE" (default "D") and "C_RESPONSIBLE"
// (default the current user). Hidden; the caller shows it.
KelDMInsertPanel* KelLnkNewCheckOutPanel(const KelDMInstance& instance);

class KelLnkDMTools : public KelCommand {
 public:
  explicit KelLnkDMTools(KelDlgDocument* document);
  // Closes an open panel and the message panels these tools opened.
  ~KelLnkDMTools() override;

  // Check-in without maturity step, uncaching or redrawing.
  int CheckIn(const KelDMInstance& instance);
  // Asks whether the object can be checked out (a refusal opens the message
  // panel and returns its code), then opens the lock panel. Ignored (returns
  // 0) while a panel is open. `whenClosed` (may be null) runs when the panel
  // closes.
  int CheckOut(const KelDMInstance& instance, void (*whenClosed)());
  // Closes an open panel and requests the tool's delayed destruction.
  void Close();
  // Apply and OK of the panel: nothing is written by this tool.
  void CBCheckOutApply(KelCommand* sender, KelNotification notification, void* data);
  // Cancel and close: hides the panel, removes its four callbacks and
  // requests its delayed destruction.
  void CBCheckOutClose(KelCommand* sender, KelNotification notification, void* data);

  KelDMInsertPanel* GetCheckOutPanel() const { return panel_; }
  KelDlgDocument* GetDocument() const { return document_; }

 private:
  KelDlgDocument* document_;
  KelDMInsertPanel* panel_ = nullptr;
  int callbacks_[4] = {0, 0, 0, 0};
  void (*whenClosed_)() = nullptr;
};
