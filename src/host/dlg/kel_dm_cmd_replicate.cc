#include "host/dlg/kel_dm_cmd_replicate.h"

#include "host/db/host_sql.h"
#include "host/db/kel_dm_ier_message.h"
#include "host/kel_dm_select.h"
#include "host/kel_dm_session.h"
#include "host/kel_dm_tovra.h"
#include "host/process/kel_xco_process.h"
#include "host/profile/kel_dm_context.h"
#include "host/profile/kel_dm_profile.h"

namespace {
KelDMCmdReplicate*& LastCommand() {
  static KelDMCmdReplicate* last = nullptr;
  return last;
}
}  // namespace

KelDMCmdReplicate* KelDMCmdReplicate::Last() { return LastCommand(); }

KelDMCmdReplicate::KelDMCmdReplicate(KelCommand* father, const KelListValKelDMInstance& objects, int mode)
    : KelCommand(father), objects_(objects), mode_(mode) {
  LastCommand() = this;
  confirm_ = new KelDlgDialog(nullptr, "ReplicateConfirm", 0);
  confirm_->SetTitle("Replication");
  auto* label = new KelDlgLabel(confirm_, "ReplicateConfirmLabel", 0);
  const std::string count = std::to_string(objects.size());
  label->SetTitle(mode == 1 ? "Replicate " + count + " object(s) now?"
                            : "Add " + count + " object(s) to the replication queue?");
  AddAnalyseNotificationCB(
      confirm_, KelNotification::OK, [this](KelCommand*, KelNotification, void*) { Confirmed(); }, nullptr, this);
  for (KelNotification n : {KelNotification::Cancel, KelNotification::Close}) {
    AddAnalyseNotificationCB(
        confirm_, n, [this](KelCommand*, KelNotification, void*) { Declined(); }, nullptr, this);
  }
  confirm_->SetVisibility(true);
}

KelDMCmdReplicate::~KelDMCmdReplicate() {
  if (LastCommand() == this) LastCommand() = nullptr;
  delete confirm_;
}

void KelDMCmdReplicate::Confirmed() {
  confirm_->SetVisibility(false);
  result_ = mode_ == 1 ? RunScript(objects_, &message_) : Queue(objects_, &message_);
  Notify(result_ == 0 ? KelNotification::OK : KelNotification::Error);
}

void KelDMCmdReplicate::Declined() {
  confirm_->SetVisibility(false);
  result_ = -1;
  Notify(KelNotification::Cancel);
}

int KelDMCmdReplicate::Queue(const KelListValKelDMInstance& objects, KelUnicodeString* message) {
  KelDbConnection* connection = KelDMSession::Main();
  int rc = connection == nullptr ? kel_ier::kDbNoConnection : connection->Begin();
  for (size_t k = 0; rc == 0 && k < objects.size(); ++k) {
    const KelDMInstance& o = objects[k];
    rc = connection->Execute("INSERT INTO " + QuoteHostTableName(o.GetEnvironment(), "QOR_REPLICATION_QUEUE") +
                                 " (OBJECT_KELAB, OBJECT_COID, OBJECT_COMPID, REQUESTER) VALUES (?, ?, ?, ?)",
                             {KelDbValue::Text(o.GetTable()), KelDbValue::Id(o.Coid()), KelDbValue::Id(o.Compid()),
                              KelDbValue::Text(KelDMContext::CurrentUser())},
                             nullptr);
  }
  if (rc == 0 && connection != nullptr) rc = connection->Commit();
  if (rc != 0) {
    if (connection != nullptr) connection->Rollback();
    *message = KelDMIerMessage(rc).GetDisplayMessage(1);
  }
  return rc;
}

int KelDMCmdReplicate::RunScript(const KelListValKelDMInstance& objects, KelUnicodeString* message) {
  const KelDMProfile* profile = KelDMProfile::Current();
  const std::string* script = profile ? profile->Find("KELZUMO.QOR.MML.REPLICATION.SCRIPT") : nullptr;
  if (script == nullptr || script->empty()) {
    *message = "Replication script not found.";
    return kel_ier::kProcessStartFailed;
  }
  const KelUnicodeString path = KelDMTools::ExpandPath(*script);
  KelListValKelUnicodeString arguments = {path};
  for (const KelDMInstance& o : objects) {
    for (const KelUnicodeString& a : {o.GetEnvironment(), o.GetTable(), o.GetXCoid(), o.GetXCompid()}) {
      arguments.push_back(a);
    }
  }
  int status = 0;
  xcoopr("END_OF_REPLICATION", nullptr, &status);
  xcoexe("$LOCAL", path, arguments, -1, -1, "        ", "END_OF_REPLICATION", &status);
  if (status != 0) {
    *message = KelDMIerMessage(status).GetDisplayMessage(1) + ": " + KelXcoLastStartError();
    return status;
  }
  KelXcoEvent event;
  int rc = xconext(&event);
  if (rc == 0 && event.exitCode != 0) {
    *message = "The replication script ended with status " + std::to_string(event.exitCode) + ".";
    return kel_ier::kProcessStartFailed;
  }
  if (rc != 0) *message = KelDMIerMessage(rc).GetDisplayMessage(1);
  return rc;
}
