// Copy, paste of links and creation of actions on a graph object.
#include <memory>

#include "base/kel_text.h"
#include "foundation/kel_lnk_tools.h"
#include "graph/kel_lnk_graph_window.h"
#include "graph/kel_lnk_object.h"
#include "host/db/host_sql.h"
#include "host/db/kel_dm_ier_message.h"
#include "host/dlg/kel_command.h"
#include "host/dlg/kel_qor_af_action_dialog.h"
#include "host/dm/kel_dm_clipboard.h"
#include "host/dm/kel_dm_security.h"
#include "host/dm/kel_qor_action.h"
#include "host/kel_dm_select.h"
#include "host/kel_psn_trace.h"

namespace {

// "X'<hex>'"
KelUnicodeString Hex(const KelId& id) { return "X'" + id.Hex() + "'"; }

// The kind of an affected object by the host instance type.
KelUnicodeString AffectedKind(const KelDMInstance& instance) {
  switch (instance.GetType()) {
    case 1:
      return "Part";
    case 2:
      return "Model";
    case 3:
      return "Document";
    case 6:
      return "Clash";
    case 7:
      return "Part instance";
    default:
      return "External file";
  }
}

KelQorAFAffectedObject Affected(const KelDMInstance& instance, const KelUnicodeString& kind) {
  KelQorAFAffectedObject object;
  object.name = instance.GetNameInstance(3, 1, " ", "$BOM_NAVIG");
  object.kind = kind;
  instance.GetUuid(object.uuid);
  object.flag = 1;
  object.instance = instance;
  return object;
}

// Creates the link father -> child of `label` and stamps its rows; 0 or a code.
int PasteOne(const KelDMInstance& father, const KelDMInstance& child, const KelUnicodeString& label) {
  int rc = father.CreateLink(child, label, "", "", 0);
  if (rc != 0) return rc;
  const KelUnicodeString fatherTable = RightTrimBlanks(father.GetTable());
  const KelUnicodeString childTable = RightTrimBlanks(child.GetTable());
  KelDMSelect rows("SELECT $COMPID FROM $VS_" + father.GetEnvironment() + ".$EXT WHERE $COMPNAME_FATHER='" +
                       fatherTable + "' AND $COID=" + Hex(father.Coid()) +
                       " AND $COMPID_FATHER=" + Hex(father.Compid()) + " AND $COMPNAME='" + child.GetEnvironment() +
                       "." + childTable + "' AND $COID_REF=" + Hex(child.Coid()) +
                       " AND $COMPID_REF=" + Hex(child.Compid()) + " AND $TYPE='" + EscapeSqlText(label) + "';",
                   rc);
  if (rc != 0) return rc;
  KelDMSelect date("SELECT C_LASTMOD FROM $VS_" + child.GetEnvironment() + "." + childTable +
                       " WHERE $COID=" + Hex(child.Coid()) + " AND $COMPID=" + Hex(child.Compid()) + ";",
                   rc);
  if (rc != 0) return rc;
  KelDMListResultLine dateLine;
  date.GetSelectResult(dateLine);
  const KelUnicodeString childDate = dateLine.Value(1, 1);
  KelDMListResultLine rowLine;
  rows.GetSelectResult(rowLine);
  for (int r = 1; r <= rowLine.GetRowCount(); ++r) {
    KelDMUpdate update(father.GetEnvironment(), "$EXT",
                       "$COID=" + Hex(father.Coid()) + " AND $COMPID=X'" + rowLine.Value(r, 1) + "'");
    update.SetSetClause({"C_MML_TS", "KELMML_STATUS"}, {childDate, "UPD"});
    rc = update.Update();
    if (rc != 0) return rc;
  }
  return 0;
}

}  // namespace

void KelLnkObject::Copy() {
  MML_TRACE("KelLnkObject::Copy");
  KelApplication::Get().SetBusyCursor(true);
  KelDMClipboard& clipboard = KelDMClipboard::Get();
  clipboard.Clear("QOR");
  clipboard.Add(GetInstance());
}

int KelLnkObject::Paste(const KelUnicodeString& linktype) {
  MML_TRACE("KelLnkObject::Paste");
  KelApplication::Get().SetBusyCursor(true);
  const int direction = window_ != nullptr ? window_->GetOrder() : 0;
  const KelDMClipboard& clipboard = KelDMClipboard::Get();
  if (clipboard.GetNbObject() == 0 || !clipboard.IsDMInstanceAvailable()) {
    // Nothing to paste: the end step commits nothing and refreshes.
    KelDMZUMO::Commit(1, 1);
    if (window_ != nullptr) window_->Refresh(1);
    return kel_ier::kClipboardEmpty;
  }
  const KelUnicodeString label = KelLnkTools::LinktypeToLinklabel(linktype);
  int rc = 0;
  bool clipboardError = false;
  for (int i = 1; i <= clipboard.GetNbObject() && rc == 0 && !clipboardError; ++i) {
    const KelDMInstance other = clipboard.GetDMInstance(i);
    const KelUnicodeString table = RightTrimBlanks(other.GetTable());
    if (table != "TOVRA_MODEL" && table != "DOCUMENT") {
      clipboardError = true;
      break;
    }
    const KelDMInstance& father = direction == 0 ? GetInstance() : other;
    const KelDMInstance& child = direction == 0 ? other : GetInstance();
    rc = PasteOne(father, child, label);
  }
  if (rc != 0 || clipboardError) {
    KelDMZUMO::RollBack(1);
    const KelUnicodeString text =
        clipboardError
            ? (window_ != nullptr ? window_->GetResource("Object.BadPaste.Message",
                                                         "Objects on the clipboard are not models or "
                                                         "documents.")
                                  : KelUnicodeString("Objects on the clipboard are not models or documents."))
            : KelDMIerMessage(rc).GetDisplayMessage(1);
    if (window_ != nullptr) window_->ShowError(text);
    return clipboardError ? kel_ier::kInstanceNotFound : rc;
  }
  rc = KelDMZUMO::Commit(1, 1);
  if (rc != 0) {
    if (window_ != nullptr) window_->ShowError(KelDMIerMessage(rc).GetDisplayMessage(1));
    return rc;
  }
  if (window_ != nullptr) window_->Refresh(1);
  return 0;
}

void KelLnkObject::CreateAction() {
  MML_TRACE("KelLnkObject::CreateAction");
  KelApplication::Get().SetBusyCursor(true);
  const KelDMInstance& instance = GetInstance();
  const KelUnicodeString statement =
      "SELECT $COMPID FROM $VS_" + instance.GetEnvironment() + ".PART_LIST WHERE $COID=" + Hex(instance.Coid()) + ";";
  if (mmlFunctionTrace.LevelIsActive()) mmlFunctionTrace.Write("SQL: " + statement + "\"");
  int rc = 0;
  KelDMSelect select(statement, rc);
  std::unique_ptr<KelDMInstance> part;
  if (rc == 0 && select.GetSelectCount() == 1) {
    KelDMListResultLine line;
    select.GetSelectResult(line);
    part = std::make_unique<KelDMInstance>(instance.GetConnectionName(), instance.GetEnvironment(), "PART_LIST",
                                           instance.GetXCoid(), line.Value(1, 1));
  }
  std::unique_ptr<KelQorAFAction> action = KelQorAFCreateAction("");
  if (const KelDMSecurityManager* security = GetSecurityManager()) {
    action->SetResponsible(security->GetCurrentPersonName(), security->GetCurrentRoleOrganisationName());
  }
  action->SetText(window_ != nullptr ? window_->GetResource("Object.Action.Text", "Check multi-model links")
                                     : KelUnicodeString("Check multi-model links"));
  if (part) action->AddAffectedObject(Affected(*part, "Product"));
  action->AddAffectedObject(Affected(instance, AffectedKind(instance)));
  part.reset();
  new KelQorAFActionDialog("MML", std::move(action), true);
}
