#include "ui/kel_lnk_dm_tools.h"

#include <string>
#include <vector>

#include "host/db/kel_dm_ier_message.h"
#include "host/dm/kel_dm_action.h"
#include "host/kel_dm_select.h"
#include "host/kel_psn_trace.h"
#include "host/profile/kel_dm_context.h"
#include "host/profile/kel_dm_profile.h"

namespace {

// 0 when the maturity allows a check-in, 20500 when it does not, or the code
// of a failed reading.
int CheckInMaturity(const KelDMInstance& instance) {
  const KelDMProfile* profile = KelDMProfile::Current();
  const std::string* limit = profile ? profile->Find("KELZUMO.QOR.LOCK.CHECKIN_MAX_MATURITY") : nullptr;
  if (limit == nullptr) return 0;
  int index = 0;
  KelUnicodeString name;
  int rc = instance.GetMaturity(index, name);
  if (rc != 0) return rc;
  try {
    return index > std::stoi(*limit) ? kel_ier::kMaturityForbids : 0;
  } catch (const std::exception&) {
    return kel_ier::kDeclarativeBadValue;
  }
}

}  // namespace

int KelLnkCheckIn(const KelDMInstance& instance, bool maturityStep) {
  MML_TRACE("KelLnkCheckIn");
  KelDMAction action("CheckIn");
  if (maturityStep) {
    int rc = CheckInMaturity(instance);
    if (rc != 0) {
      action.End(rc);
      return rc;
    }
  }
  std::vector<KelDMLock> locks;
  int rc = instance.GetLocks(1, "D", locks, 0);
  if (rc != 0) {
    action.End(rc);
    return rc;
  }
  if (locks.empty()) {
    const KelUnicodeString message = KelDMIerMessage::BuildIerMessage(
        kel_ier::kNotLockedByUser, {instance.GetNameInstance(3, 1, " ", "$BOM_NAVIG"), KelDMContext::CurrentUser()});
    action.End(kel_ier::kNotLockedByUser, message);
    return kel_ier::kNotLockedByUser;
  }
  rc = instance.RemoveLocks("D", 1, 1);
  if (rc == 0) rc = KelDMZUMO::Commit(1, 1);
  if (rc != 0) KelDMZUMO::RollBack(1);
  action.End(rc);
  return rc;
}

int KelLnkApplyCheckOut(const KelDMInstance& instance, const KelListValKelUnicodeString& names,
                        const KelListValKelUnicodeString& values) {
  MML_TRACE("KelLnkApplyCheckOut");
  KelDMAction action("CheckOut");
  int rc = instance.RemoveLocks("D", 0, 1);
  if (rc == 0) rc = instance.InsertLock(names, values);
  if (rc == 0) rc = KelDMZUMO::Commit(1, 1);
  if (rc != 0) KelDMZUMO::RollBack(1);
  action.End(rc);
  return rc;
}

KelDMInsertPanel* KelLnkNewCheckOutPanel(const KelDMInstance& instance) {
  (void)instance;
  return new KelDMInsertPanel("ZumoCheckOutPanel", "Insert_Lock", "$LOCK", {"$LOCKTYPE", "C_RESPONSIBLE"},
                              {"D", KelDMContext::CurrentUser()});
}

KelLnkDMTools::KelLnkDMTools(KelDlgDocument* document) : document_(document) {}

KelLnkDMTools::~KelLnkDMTools() {
  if (panel_ != nullptr) CBCheckOutClose(nullptr, KelNotification::Close, nullptr);
  KelDlgObject::DeleteOwnedBy(this);
}

int KelLnkDMTools::CheckIn(const KelDMInstance& instance) { return KelLnkCheckIn(instance, false); }

int KelLnkDMTools::CheckOut(const KelDMInstance& instance, void (*whenClosed)()) {
  if (panel_ != nullptr) return 0;
  int rc = instance.CanCheckOut(1, 1);
  if (rc != 0) {
    (new KelDMDlgMessage(5, rc))->SetOwner(this);
    return rc;
  }
  whenClosed_ = whenClosed;
  panel_ = KelLnkNewCheckOutPanel(instance);
  auto on = [this](KelNotification n, void (KelLnkDMTools::*callback)(KelCommand*, KelNotification, void*)) {
    return AddAnalyseNotificationCB(
        panel_, n, [this, callback](KelCommand* s, KelNotification what, void* d) { (this->*callback)(s, what, d); },
        nullptr, this);
  };
  callbacks_[0] = on(KelNotification::OK, &KelLnkDMTools::CBCheckOutApply);
  callbacks_[1] = on(KelNotification::Apply, &KelLnkDMTools::CBCheckOutApply);
  callbacks_[2] = on(KelNotification::Cancel, &KelLnkDMTools::CBCheckOutClose);
  callbacks_[3] = on(KelNotification::Close, &KelLnkDMTools::CBCheckOutClose);
  panel_->SetVisibility(true);
  return 0;
}

void KelLnkDMTools::Close() {
  if (panel_ != nullptr) CBCheckOutClose(nullptr, KelNotification::Close, nullptr);
  RequestDelayedDestruction();
}

void KelLnkDMTools::CBCheckOutApply(KelCommand*, KelNotification, void*) {}

void KelLnkDMTools::CBCheckOutClose(KelCommand*, KelNotification, void*) {
  if (panel_ == nullptr) return;
  panel_->SetVisibility(false);
  for (int& id : callbacks_) {
    RemoveAnalyseNotificationCB(id);
    id = 0;
  }
  panel_->RequestDelayedDestruction();
  panel_ = nullptr;
  if (whenClosed_ != nullptr) whenClosed_();
}
