#include "ui/kel_lnk_synchronise_dialog.h"

#include <string>

#include "graph/kel_lnk_object.h"
#include "linkdb/kel_lnk_data_manager.h"
#include "operations/kel_lnk_synchronise.h"
#include "ui/kel_lnk_boxes.h"
#include "ui/kel_lnk_entry_points.h"
#include "ui/kel_lnk_main_window.h"
#include "ui/kel_lnk_window_view.h"

namespace {

std::string Text(KelLnkMainWindow* window, const char* key, const char* defaultText) {
  return window != nullptr ? window->GetResource(key, defaultText) : std::string(defaultText);
}

KelLnkMainWindow* Model(KelLnkGraphWindow* window) { return dynamic_cast<KelLnkMainWindow*>(window); }

int& DialogCount() {
  static int count = 0;
  return count;
}

KelDlgMultiList* List(KelDlgObject* parent, KelLnkMainWindow* window, const char* id, const char* help,
                      std::initializer_list<std::pair<const char*, const char*>> columns) {
  auto* list = new KelDlgMultiList(parent, id, 0);
  list->SetHelp(help);
  int c = 0;
  for (const auto& [key, text] : columns) list->SetColumnTitle(c++, Text(window, key, text));
  return list;
}

}  // namespace

KelLnkSynchroniseDialog::KelLnkSynchroniseDialog(KelLnkMainWindow* window, KelLnkObject& object, Plan units,
                                                 ReverseLinks reverse)
    : KelDlgDialog(nullptr, "SynchroniseDialog", 0),
      window_(window),
      object_(&object),
      objectHold_(object.weak_from_this().lock()),
      units_(std::move(units)),
      reverse_(std::move(reverse)) {
  ++DialogCount();
  SetOwner(KelLnkWindowView::FromModel(window));
  SetTitle(Text(window, "SynchroniseDialog.Title", "Full Synchronise"));
  (new KelDlgLabel(this, "LabelActions", 0))->SetTitle("These synchronisations will be done:");
  KelDlgMultiList* actions = List(this, window, "MlistActions", "List of the synchronisations that will be done",
                                  {{"SynchroniseDialog.Actions.Column_Number.Title", "#"},
                                   {"SynchroniseDialog.Actions.Column_Object.Title", "Object"},
                                   {"SynchroniseDialog.Actions.Column_Link.Title", "Link"},
                                   {"SynchroniseDialog.Actions.Column_Reason.Title", "Reason"}});
  for (size_t k = 0; k < units_.size(); ++k) {
    const auto row = KelLnkSynchronise::PlanRow(static_cast<int>(k) + 1, units_[k]);
    for (int c = 0; c < 4; ++c) actions->SetCell(static_cast<int>(k), c, row[c]);
  }
  if (!reverse_.empty()) {
    (new KelDlgLabel(this, "LabelReverse", 0))->SetTitle("Reverse links were found:");
    KelDlgMultiList* list = List(
        this, window, "MlistReverse", "List of the reverse links that were found",
        {{"SynchroniseDialog.Reverse.Column_To.Title", "To"}, {"SynchroniseDialog.Reverse.Column_From.Title", "From"}});
    for (size_t k = 0; k < reverse_.size(); ++k) {
      const auto row = KelLnkSynchronise::ReverseRow(reverse_[k]);
      list->SetCell(static_cast<int>(k), 0, row[0]);
      list->SetCell(static_cast<int>(k), 1, row[1]);
    }
  }
  AddAnalyseNotificationCB(
      this, KelNotification::OK, [this](KelCommand* s, KelNotification n, void* d) { CBOK(s, n, d); }, nullptr, this);
  for (KelNotification n : {KelNotification::Cancel, KelNotification::Close})
    AddAnalyseNotificationCB(
        this, n, [this](KelCommand* s, KelNotification n2, void* d) { CBCancel(s, n2, d); }, nullptr, this);
  SetVisibility(true);
}

KelLnkSynchroniseDialog::~KelLnkSynchroniseDialog() { --DialogCount(); }

int KelLnkSynchroniseDialog::Count() { return DialogCount(); }

void KelLnkSynchroniseDialog::CBOK(KelCommand*, KelNotification, void*) {
  if (done_) return;
  done_ = true;
  SetVisibility(false);
  KelLnkSynchronise::Confirm(window_, std::move(units_), std::move(reverse_));
  RequestDelayedDestruction();
}

void KelLnkSynchroniseDialog::CBCancel(KelCommand*, KelNotification, void*) {
  if (done_) return;
  done_ = true;
  SetVisibility(false);
  KelLnkSynchronise::Dismiss(*object_);
  RequestDelayedDestruction();
}

KelLnkGetOrderDialog::KelLnkGetOrderDialog(KelLnkMainWindow* window, const KelListValKelDMInstance& objects,
                                           const KelRawCollint& levels)
    : KelDlgDialog(nullptr, "GetOrderDialog", 0) {
  SetOwner(KelLnkWindowView::FromModel(window));
  SetTitle(Text(window, "GetOrderDialog.Title", "Get Order"));
  SetOKTitle(Text(window, "GetOrderDialog.Close.Label", "Close"));
  (new KelDlgLabel(this, "LabelActions", 0))
      ->SetTitle(Text(window, "GetOrderDialog.Actions.Title", "Synchronisations have to be performed in this order :"));
  KelDlgMultiList* list = List(
      this, window, "MlistActions", "",
      {{"GetOrderDialog.Actions.Column_Index.Title", ""}, {"GetOrderDialog.Actions.Column_Object.Title", "Object"}});
  list->SetHelp(Text(window, "GetOrderDialog.Actions.Help", "Order of synchronisations to perform"));
  for (size_t k = 0; k < objects.size(); ++k) {
    list->SetCell(static_cast<int>(k), 0, std::to_string(k < levels.size() ? levels[k] : 0));
    list->SetCell(static_cast<int>(k), 1, KelLnkDataManager::GetInstanceName(objects[k]));
  }
  for (KelNotification n : {KelNotification::OK, KelNotification::Cancel, KelNotification::Close})
    AddAnalyseNotificationCB(
        this, n, [this](KelCommand* s, KelNotification n2, void* d) { CBClose(s, n2, d); }, nullptr, this);
  SetVisibility(true);
}

void KelLnkGetOrderDialog::CBClose(KelCommand*, KelNotification, void*) {
  SetVisibility(false);
  RequestDelayedDestruction();
}

KelLnkModalDialogForSync::KelLnkModalDialogForSync(KelLnkMainWindow* window)
    : KelDlgDialog(nullptr, "ModalDialogForSync", 0) {
  SetTitle(Text(window, "ModalDialogForSync.Title", "Synchronisation"));
  (new KelDlgLabel(this, "LabelActionsForSync", 0))
      ->SetTitle(Text(window, "ModalDialogForSync.Actions.Title", "Synchronisation in progress..."));
  SetVisibility(true);
}

KelLnkModalDialogForSync::~KelLnkModalDialogForSync() { SetVisibility(false); }

void KelLnkWindowServices::ErrorBox(KelLnkGraphWindow* window, const KelUnicodeString& text) {
  new KelLnkErrorBox(Model(window), text, KelLnkErrorBox::kStyle);
}

void KelLnkWindowServices::MessageBox(KelLnkGraphWindow* window, const KelUnicodeString& text) {
  KelLnkMessageBox box(Model(window), text);
}

void KelLnkWindowServices::Refresh(KelLnkGraphWindow* window, int full) {
  if (KelLnkWindowView* view = KelLnkWindowView::FromModel(Model(window))) view->Refresh(full);
}

void KelLnkWindowServices::ShowPlan(KelLnkGraphWindow* window, KelLnkObject& object, Plan units, ReverseLinks reverse) {
  new KelLnkSynchroniseDialog(Model(window), object, std::move(units), std::move(reverse));
}

void KelLnkWindowServices::ShowOrder(KelLnkGraphWindow* window, const KelListValKelDMInstance& objects,
                                     const KelRawCollint& levels) {
  new KelLnkGetOrderDialog(Model(window), objects, levels);
}

void KelLnkWindowServices::ShowProgress(KelLnkGraphWindow* window) {
  HideProgress();
  KelLnkObject::SetModalDialogForSync(new KelLnkModalDialogForSync(Model(window)));
}

void KelLnkWindowServices::HideProgress() {
  delete KelLnkObject::ModalDialogForSync();
  KelLnkObject::SetModalDialogForSync(nullptr);
}

void KelLnkWindowServices::OpenWindow(const KelDMInstance& instance, int order) {
  LaunchMMLWindow(nullptr, &instance, order, nullptr, nullptr, nullptr);
}

void KelLnkWindowServices::InstallForWindows() {
  static KelLnkWindowServices services;
  Install(&services);
}
