#include "ui/kel_dm_dlg_zumo_result.h"

#include <algorithm>

#include "base/kel_id.h"
#include "base/mml_constants.h"
#include "foundation/kel_lnk_tools.h"
#include "host/db/host_sql.h"
#include "host/kel_dm_select.h"
#include "host/viewer/kel_viewer_tool_bag.h"
#include "ui/kel_lnk_entry_points.h"

namespace {

std::vector<KelDMDlgZUMOResult*>& Panels() {
  static std::vector<KelDMDlgZUMOResult*> panels;
  return panels;
}

KelListValKelUnicodeString FirstPanelEnvironments() {
  return Panels().empty() ? KelListValKelUnicodeString() : Panels().front()->GetListeFiltered();
}

bool IsTableName(const std::string& name) {
  return !name.empty() &&
         std::all_of(name.begin(), name.end(), [](unsigned char c) { return std::isalnum(c) || c == '_' || c == '$'; });
}

}  // namespace

const std::vector<KelDMDlgZUMOResult*>& KelDMDlgResultPanel::GetListResultPanel() { return Panels(); }

KelDMDlgZUMOResult::KelDMDlgZUMOResult() : KelDlgDocument(nullptr, "ZUMOResult", 0) {
  SetTitle("MML - objects");
  Panels().push_back(this);
  KelLnkTools::SetResultPanelProvider(&FirstPanelEnvironments);

  auto* frame = new KelDlgFrame(this, "ResultFrame", 0);
  auto* envLabel = new KelDlgLabel(frame, "EnvironmentLabel", 0);
  envLabel->SetTitle("Environments (none chosen: all):");
  environments_ = new KelDlgMultiList(frame, "EnvironmentList", 0);
  environments_->SetColumnTitle(0, "Environment");
  int row = 0;
  for (const KelUnicodeString& env : KelLnkTools::GetRelationEnvironments()) environments_->SetCell(row++, 0, env);
  auto* tableLabel = new KelDlgLabel(frame, "TableLabel", 0);
  tableLabel->SetTitle("Table:");
  table_ = new KelDlgEditor(frame, "Table", 0);
  table_->SetText("TOVRA_MODEL");
  auto* filterLabel = new KelDlgLabel(frame, "NameFilterLabel", 0);
  filterLabel->SetTitle("Name (C_ID, % and _ as wildcards):");
  filter_ = new KelDlgEditor(frame, "NameFilter", 0);
  auto* search = new KelDlgPushButton(frame, "Search", 0);
  search->SetTitle("Search");
  objects_ = new KelDlgMultiList(frame, "ObjectList", 0);
  objects_->SetVisibleTextWidth(70);
  objects_->SetColumnTitle(0, "Environment");
  objects_->SetColumnTitle(1, "Name");
  objects_->SetColumnTitle(2, "Revision");
  objects_->SetColumnTitle(3, "COID");
  objects_->SetColumnTitle(4, "COMPID");
  auto* impactedBy = new KelDlgPushButton(frame, "OpenImpactedBy", 0);
  impactedBy->SetTitle("Open graph: impacted by");
  auto* impactsOn = new KelDlgPushButton(frame, "OpenImpactsOn", 0);
  impactsOn->SetTitle("Open graph: impacts on");
  status_ = new KelDlgStatusBar(this, "Status", 0);

  AddAnalyseNotificationCB(
      search, KelNotification::Activate, [this](KelCommand*, KelNotification, void*) { Search(); }, nullptr, this);
  AddAnalyseNotificationCB(
      impactedBy, KelNotification::Activate, [this](KelCommand*, KelNotification, void*) { OpenSelected(0); }, nullptr,
      this);
  AddAnalyseNotificationCB(
      impactsOn, KelNotification::Activate, [this](KelCommand*, KelNotification, void*) { OpenSelected(1); }, nullptr,
      this);
  AddAnalyseNotificationCB(
      this, KelNotification::Close, [this](KelCommand*, KelNotification, void*) { RequestDelayedDestruction(); },
      nullptr, this);
}

KelDMDlgZUMOResult::~KelDMDlgZUMOResult() {
  auto& panels = Panels();
  panels.erase(std::remove(panels.begin(), panels.end(), this), panels.end());
  // A window names its panel: none outlives it. Those already deleted are
  // no longer found and are left alone.
  for (KelLnkMainWindow* window : windows_) DeleteMMLWindow(window);
}

void KelDMDlgZUMOResult::AdoptWindow(KelLnkMainWindow* window) { windows_.push_back(window); }

KelListValKelUnicodeString KelDMDlgZUMOResult::GetListeFiltered() const {
  KelListValKelUnicodeString chosen;
  for (int row : environments_->GetSelectedRows()) chosen.push_back(environments_->GetCell(row, 0));
  if (!chosen.empty()) return chosen;
  for (int row = 0; row < environments_->GetRowCount(); ++row) chosen.push_back(environments_->GetCell(row, 0));
  return chosen;
}

int KelDMDlgZUMOResult::Search() {
  objects_->ClearRows();
  found_.clear();
  const std::string table = table_->GetText();
  if (!IsTableName(table)) {
    status_->SetTitle("Invalid table name '" + table + "'.");
    return -1;
  }
  const std::string pattern = filter_->GetText().empty() ? "%" : filter_->GetText();
  for (const KelUnicodeString& env : GetListeFiltered()) {
    std::string statement = "SELECT $COID, $COMPID, C_ID, C_REVISION FROM $VS_";
    statement += env;
    statement += ".";
    statement += table;
    statement += " WHERE C_ID LIKE ";
    statement += QuoteSqlText(pattern);
    statement += " ORDER BY C_ID, C_REVISION";
    int rc = 0;
    KelDMSelect select(statement, rc, 5000);
    if (rc != 0) continue;  // an environment without that table
    KelDMListResultLine rows;
    select.GetSelectResult(rows);
    for (int r = 1; r <= rows.GetRowCount(); ++r) {
      KelId coid, compid;
      if (!KelId::FromHex(rows.Value(r, 1), &coid) || !KelId::FromHex(rows.Value(r, 2), &compid)) continue;
      const int row = static_cast<int>(found_.size());
      found_.emplace_back(kMmlKelcon, env, table, coid, compid);
      objects_->SetCell(row, 0, env);
      objects_->SetCell(row, 1, rows.Value(r, 3));
      objects_->SetCell(row, 2, rows.Value(r, 4));
      objects_->SetCell(row, 3, rows.Value(r, 1));
      objects_->SetCell(row, 4, rows.Value(r, 2));
    }
  }
  status_->SetTitle(std::to_string(found_.size()) + " object(s) found.");
  return static_cast<int>(found_.size());
}

bool KelDMDlgZUMOResult::GetObject(int row, KelDMInstance* instance) const {
  if (row < 0 || row >= static_cast<int>(found_.size())) return false;
  *instance = found_[row];
  return true;
}

KelLnkMainWindow* KelDMDlgZUMOResult::OpenSelected(int order) {
  const auto& rows = objects_->GetSelectedRows();
  KelDMInstance root;
  if (rows.empty() || !GetObject(rows.front(), &root)) {
    status_->SetTitle("Choose an object first.");
    return nullptr;
  }
  return LaunchMMLWindow(this, &root, order, nullptr, nullptr, nullptr);
}

void KelDMDlgZUMOResult::RegisterViewer(const std::string& table, std::unique_ptr<KelDMViewerTool> tool) {
  viewers_[table] = std::move(tool);
}

namespace {
// A viewer of the profile (host/viewer/kel_viewer_tool_bag.h) seen as a tool
// of the panel: the options the window offers are the profile's.
class ProfileViewerTool : public KelDMViewerTool {
 public:
  explicit ProfileViewerTool(std::string table) : table_(std::move(table)) {}
  int GetNbOptions() const override { return Bag() ? Bag()->GetNbOptions() : 0; }
  std::string GetOptionTitle(int option) const override { return Bag() ? Bag()->GetOption(option) : ""; }
  int GetCurrentOption() const override { return Bag() ? Bag()->GetCurrentOption() : 0; }
  void SetCurrentOption(int option, int) override {
    if (Bag()) Bag()->SetCurrentOption(option);
  }

 private:
  KelViewerToolBag* Bag() const { return KelViewerToolBag::GetToolBag(table_); }
  std::string table_;
};
}  // namespace

KelDMViewerTool* KelDMDlgZUMOResult::GetViewer(const std::string& table) const {
  auto it = viewers_.find(table);
  if (it != viewers_.end()) return it->second.get();
  // Else the viewer the profile registers for the table, when there is one.
  static std::map<std::string, std::unique_ptr<ProfileViewerTool>> fromProfile;
  if (!KelViewerToolBag::GetToolBag(table)) return nullptr;
  auto& tool = fromProfile[table];
  if (!tool) tool = std::make_unique<ProfileViewerTool>(table);
  return tool.get();
}
