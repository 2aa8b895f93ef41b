#include "host/dlg/kel_qor_af_action_dialog.h"

#include "host/db/kel_dm_ier_message.h"

namespace {
KelQorAFActionDialog*& LastDialog() {
  static KelQorAFActionDialog* last = nullptr;
  return last;
}
}  // namespace

KelQorAFActionDialog::KelQorAFActionDialog(const std::string& name, std::unique_ptr<KelQorAFAction> action,
                                           bool visible)
    : KelDlgDialog(nullptr, name, 0), action_(std::move(action)) {
  SetTitle("Action");
  text_ = new KelDlgEditor(this, "ActionText", 0);
  text_->SetText(action_->GetText());
  text_->SetGridConstraints(0, 0);
  person_ = new KelDlgEditor(this, "ActionResponsible", 0);
  person_->SetText(action_->GetResponsiblePerson());
  person_->SetGridConstraints(1, 0);
  organisation_ = new KelDlgEditor(this, "ActionOrganisation", 0);
  organisation_->SetText(action_->GetResponsibleOrganisation());
  organisation_->SetGridConstraints(2, 0);
  auto* list = new KelDlgMultiList(this, "ActionObjects", 0);
  list->SetColumnTitle(0, "Object");
  list->SetColumnTitle(1, "Kind");
  list->SetColumnTitle(2, "UUID");
  const auto& objects = action_->GetAffectedObjects();
  for (size_t r = 0; r < objects.size(); ++r) {
    list->SetCell(static_cast<int>(r), 0, objects[r].name);
    list->SetCell(static_cast<int>(r), 1, objects[r].kind);
    list->SetCell(static_cast<int>(r), 2, objects[r].uuid);
  }
  list->SetGridConstraints(3, 0);
  message_ = new KelDlgLabel(this, "ActionMessage", 0);
  message_->SetGridConstraints(4, 0);
  AddAnalyseNotificationCB(
      this, KelNotification::OK, [this](KelCommand*, KelNotification, void*) { CBOK(); }, nullptr, this);
  for (KelNotification n : {KelNotification::Cancel, KelNotification::Close}) {
    AddAnalyseNotificationCB(
        this, n, [this](KelCommand*, KelNotification, void*) { CBCancel(); }, nullptr, this);
  }
  LastDialog() = this;
  SetVisibility(visible);
}

KelQorAFActionDialog::~KelQorAFActionDialog() {
  if (LastDialog() == this) LastDialog() = nullptr;
}

KelQorAFActionDialog* KelQorAFActionDialog::Last() { return LastDialog(); }

void KelQorAFActionDialog::CBOK() {
  if (saved_) return;
  action_->SetText(text_->GetText());
  action_->SetResponsible(person_->GetText(), organisation_->GetText());
  saveResult_ = action_->Save();
  if (saveResult_ != 0) {
    message_->SetTitle(KelDMIerMessage(saveResult_).GetDisplayMessage(1));
    return;
  }
  saved_ = true;
  CBCancel();
}

void KelQorAFActionDialog::CBCancel() {
  SetVisibility(false);
  RequestDelayedDestruction();
}
