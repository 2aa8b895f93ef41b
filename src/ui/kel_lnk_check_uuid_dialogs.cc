#include "ui/kel_lnk_check_uuid_dialogs.h"

#include <algorithm>

#include "base/mml_constants.h"
#include "graph/kel_lnk_node.h"
#include "ui/kel_lnk_window_view.h"

KelDMInstance KelLnkEntityInstance(const KelLnkHybridManager::Entity& entity) {
  return KelDMInstance(kMmlKelcon, entity.caenv(), entity.kelab(), entity.coid, entity.compid);
}

KelLnkCheckUuidDialog_Result::KelLnkCheckUuidDialog_Result(KelLnkWindowView* window, const KelLnkUuidCheck& check,
                                                           KelLnkHybridManager::Entity* const* entities, int count,
                                                           int nodeCount)
    : KelDlgDialog(nullptr, "CheckUuidInfo", 0), window_(window), nodeCount_(nodeCount) {
  SetOwner(window);
  SetTitle(window->GetResource("CheckUuid.Result.Title", "Check Uuid Result"));
  SetOKTitle(window->GetResource("CheckUuid.Result.OK.Label", "End"));
  list_ = new KelDlgMultiList(this, "ListeUuidModel", 0);
  list_->SetColumnTitle(0, window->GetResource("CheckUuid.List.Col1.Title", "UUID multi-contained"));
  list_->SetColumnTitle(1, window->GetResource("CheckUuid.List.Col2.Title", "Model Identificators"));
  for (size_t r = 0; r < check.duplicated.size(); ++r) {
    KelListValKelDMInstance instances;
    for (int index : check.groups[r]) {
      if (index >= 0 && index < count) instances.push_back(KelLnkEntityInstance(*entities[index]));
    }
    list_->SetCell(static_cast<int>(r), 0, check.duplicated[r]);
    list_->SetCell(static_cast<int>(r), 1, KelLnkUuidGroupIdentificators(entities, count, check.groups[r]));
    rows_.push_back(std::move(instances));
  }
  for (KelNotification n : {KelNotification::Close, KelNotification::OK}) {
    AddAnalyseNotificationCB(
        this, n, [this](KelCommand* s, KelNotification what, void* d) { CBCheckEnd(s, what, d); }, nullptr, this);
  }
  selectId_ = AddAnalyseNotificationCB(
      list_, KelNotification::Modify,
      [this](KelCommand* s, KelNotification what, void* d) { CBCheckSelect(s, what, d); }, nullptr, this);
  SetVisibility(true);
}

KelLnkCheckUuidDialog_Result::~KelLnkCheckUuidDialog_Result() = default;

void KelLnkCheckUuidDialog_Result::CBCheckEnd(KelCommand*, KelNotification, void*) {
  nodeCount_ = 0;
  RemoveAnalyseNotificationCB(selectId_);
  selectId_ = 0;
  SetVisibility(false);
  RequestDelayedDestruction();
}

void KelLnkCheckUuidDialog_Result::CBCheckSelect(KelCommand*, KelNotification, void*) {
  const std::vector<int>& selected = list_->GetSelectedRows();
  if (selected.size() != 1 || KelLnkWindowView::FromModel(window_) == nullptr) return;
  const KelListValKelDMInstance& wanted = rows_.at(static_cast<size_t>(selected.front()));
  window_->HighlightObjects(wanted, true);
}

KelLnkCheckUuidDialog_Info::KelLnkCheckUuidDialog_Info(KelLnkWindowView* window, int noDuplicate, unsigned long style)
    : KelDlgNotify(nullptr, "CheckUuidInfo", style) {
  SetOwner(window);
  if (noDuplicate != 0) {
    SetTitle(window->GetResource("CheckUuidInfo.Title", "Check Uuid Info"));
    SetText(
        window->GetResource("CheckUuidInfo.Text", "There is no multi-contained UUID\n   in the current MML graph."));
  } else {
    SetTitle(window->GetResource("CheckUuidError.Title", "Check Uuid Error"));
    SetText(window->GetResource("CheckUuidError.Text",
                                "An error occurs during the check of the UUIDs pointed to by\nthe objects from the "
                                "current MML graph.\nThe operation cannot be performed."));
  }
  SetOKTitle(window->GetResource("CheckUuidInfo.OK.Label", "OK"));
  for (KelNotification n : {KelNotification::OK, KelNotification::Close}) {
    AddAnalyseNotificationCB(
        this, n, [this](KelCommand* s, KelNotification what, void* d) { CBOK(s, what, d); }, nullptr, this);
  }
  SetVisibility(true);
}

void KelLnkCheckUuidDialog_Info::CBOK(KelCommand*, KelNotification, void*) {
  SetVisibility(false);
  RequestDelayedDestruction();
}
