// The host's replication command: asks the user to confirm, then either adds
// the objects to the replication queue (mode 0, "Add to Queue") or replicates
// them at once with the site replication script (mode 1, "Replicate"). It
// ends by notifying OK, Cancel (the user declined) or Error; the caller
// destroys it then.
//
// The confirmation is the dialog "ReplicateConfirm" with the label
// "ReplicateConfirmLabel". The queue is the table QOR_REPLICATION_QUEUE of
// each object's environment (kind "replication" of `mml db init`,
// docs/schema.md), written in one transaction. The script is the profile key
// KELZUMO.QOR.MML.REPLICATION.SCRIPT, run without a shell with the arguments
// ENV TABLE COID COMPID of every object in turn; exit status 0 is success
// (docs/site-scripts.md).
#pragma once

#include "base/kel_types.h"
#include "host/dlg/kel_dlg_objects.h"
#include "host/kel_dm_instance.h"

class KelDMCmdReplicate : public KelCommand {
 public:
  KelDMCmdReplicate(KelCommand* father, const KelListValKelDMInstance& objects, int mode);
  ~KelDMCmdReplicate() override;

  int GetMode() const { return mode_; }
  // The command created last and still alive, or null.
  static KelDMCmdReplicate* Last();
  KelDlgDialog* GetConfirmDialog() const { return confirm_; }
  // 0 after OK, else the code of the failure (after Error); -1 while running
  // or after Cancel.
  int GetResult() const { return result_; }
  const KelUnicodeString& GetMessage() const { return message_; }

  // The replication itself, without confirmation: 0 or a kel_ier code, with
  // the reason in *message.
  static int Queue(const KelListValKelDMInstance& objects, KelUnicodeString* message);
  static int RunScript(const KelListValKelDMInstance& objects, KelUnicodeString* message);

 private:
  void Confirmed();
  void Declined();

  KelListValKelDMInstance objects_;
  int mode_;
  KelDlgDialog* confirm_ = nullptr;
  int result_ = -1;
  KelUnicodeString message_;
};
