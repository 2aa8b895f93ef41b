// Maintenance of one link: its type, its status, its re-pointing to the
// latest revision, the synchronised mark of the object that holds it, and its
// deletion. Every change commits whole or rolls back whole.
#include <string>

#include "foundation/kel_lnk_tools.h"
#include "graph/kel_lnk_graph_window.h"
#include "graph/kel_lnk_link.h"
#include "graph/kel_lnk_object.h"
#include "graph/kel_lnk_user_services.h"
#include "host/db/host_sql.h"
#include "host/db/kel_dm_ier_message.h"
#include "host/kel_dm_select.h"
#include "host/kel_psn_trace.h"

namespace {

KelUnicodeString Hex(const KelUnicodeString& column, const KelUnicodeString& hex) { return column + "=X'" + hex + "'"; }

// One column of the set clause: the value, and how the trace shows it.
struct SetColumn {
  KelUnicodeString column;
  KelUnicodeString value;
  enum Kind { Text, Identifier, Timestamp } kind = Text;
};

KelUnicodeString TraceValue(const SetColumn& c) {
  switch (c.kind) {
    case SetColumn::Identifier:
      return "X'" + c.value + "'";
    case SetColumn::Timestamp:
      return "S'" + c.value + "'";
    default:
      return "'" + c.value + "'";
  }
}

// Runs the update; on failure rolls back and shows the host's text once.
int RunUpdate(KelPSNTrace& trace, KelLnkGraphWindow* window, const KelUnicodeString& environment,
              const KelUnicodeString& table, const KelUnicodeString& where, const std::vector<SetColumn>& set,
              int option2) {
  KelDMUpdate update(environment, table, where, 1, option2);
  KelListValKelUnicodeString columns;
  KelListValKelUnicodeString values;
  KelUnicodeString text;
  for (const SetColumn& c : set) {
    columns.push_back(c.column);
    values.push_back(c.value);
    text += (text.empty() ? "" : ", ") + c.column + " = " + TraceValue(c);
  }
  update.SetSetClause(columns, values);
  if (trace.LevelIsActive())
    trace.Write("SQL: \"UPDATE " + environment + "." + table + " SET " + text + " WHERE " + where + ";\"");
  int rc = update.Update();
  if (rc != 0) {
    KelDMZUMO::RollBack(1);
    KelLnkUserServices::Current().ErrorBox(window, KelDMIerMessage(rc).GetDisplayMessage(1));
    return rc;
  }
  rc = KelDMZUMO::Commit(1, 1);
  if (rc != 0) {
    KelDMZUMO::RollBack(1);
    KelLnkUserServices::Current().ErrorBox(window, KelDMIerMessage(rc).GetDisplayMessage(1));
  }
  return rc;
}

}  // namespace

KelLnkObject* KelLnkLink::GetReferenced() const {
  return (window_ ? window_->GetOrder() : 0) == 0 ? GetChild() : parent_.get();
}

KelLnkObject* KelLnkLink::GetReferencing() const {
  return (window_ ? window_->GetOrder() : 0) == 0 ? parent_.get() : GetChild();
}

namespace {
KelUnicodeString KeyClause(const KelDMInstance& linkInstance, const KelLnkObject* referenced) {
  return Hex("$COID", linkInstance.GetXCoid()) + " AND " + Hex("$COMPID_FATHER", linkInstance.GetXCompid()) + " AND " +
         Hex("$COMPID_REF", referenced ? referenced->Instance().GetXCompid() : KelUnicodeString());
}
}  // namespace

int KelLnkLink::SetLinktype(const KelUnicodeString& newType) {
  KelPSNTrace trace("KelLnkLink::SetLinktype", 17, 0);
  KelLnkTools::Busy();
  const KelUnicodeString where = KeyClause(*instance_, GetReferenced()) + " AND $TYPE='" +
                                 EscapeSqlText(KelLnkTools::LinktypeToLinklabel(linktype_.str())) + "'";
  int rc = RunUpdate(trace, window_, instance_->GetEnvironment(), "$EXT", where,
                     {{"$TYPE", KelLnkTools::LinktypeToLinklabel(newType)}}, 0);
  if (rc == 0) linktype_ = newType;
  return rc;
}

int KelLnkLink::SetStatus(const KelUnicodeString& newStatus) {
  KelPSNTrace trace("KelLnkLink::SetStatus", 17, 0);
  KelLnkTools::Busy();
  int rc = RunUpdate(trace, window_, instance_->GetEnvironment(), "$EXT", KeyClause(*instance_, GetReferenced()),
                     {{"KELMML_STATUS", newStatus}}, 0);
  if (rc == 0) status_ = newStatus;
  return rc;
}

int KelLnkLink::Accept() {
  MML_TRACE("KelLnkLink::Accept");
  int rc = SetStatus("TOK");
  if (rc == 0) KelLnkUserServices::Current().Refresh(window_, 1);
  return rc;
}

int KelLnkLink::Linktype(const KelUnicodeString& newType) {
  MML_TRACE("KelLnkLink::Linktype");
  int rc = SetLinktype(newType);
  if (rc == 0) KelLnkUserServices::Current().Refresh(window_, 1);
  return rc;
}

int KelLnkLink::Upissue() {
  KelPSNTrace trace("KelLnkLink::Upissue", 17, 0);
  KelLnkTools::Busy();
  KelLnkObject* referenced = GetReferenced();
  if (!referenced) return kel_ier::kInstanceNotFound;
  KelDMInstance last;
  int rc = referenced->Instance().GetLastRevision(last);
  if (rc != 0) {
    KelLnkUserServices::Current().ErrorBox(window_, KelDMIerMessage(rc).GetDisplayMessage(1));
    return rc;
  }
  const std::vector<SetColumn> set = {
      {"$COMPNAME", last.GetEnvironment() + "." + KelLnkTools::RightTrim(last.GetTable())},
      {"$COID_REF", last.GetXCoid(), SetColumn::Identifier},
      {"$COMPID_REF", last.GetXCompid(), SetColumn::Identifier},
      {"C_MML_TS", referenced->GetLatestDate(), SetColumn::Timestamp},
      {"KELMML_STATUS", "UPD"}};
  rc = RunUpdate(trace, window_, instance_->GetEnvironment(), "$EXT", KeyClause(*instance_, referenced), set, 0);
  if (rc == 0) {
    status_ = "UPD";
    KelLnkUserServices::Current().Refresh(window_, 1);
  }
  return rc;
}

int KelLnkLink::SetSynchronised() {
  KelPSNTrace trace("KelLnkLink::SetSynchronised", 17, 0);
  KelLnkTools::Busy();
  const int condition = GetCondition(0);
  int rc = 0;
  KelLnkObject* referencing = GetReferencing();
  KelLnkObject* referenced = GetReferenced();
  if ((condition == BADDATE || condition == UP_GOOD || condition == UP_BADDATE) && referencing && referenced) {
    const KelDMInstance& holder = referencing->Instance();
    const KelUnicodeString where = Hex("$COID", holder.GetXCoid()) + " AND " + Hex("$COMPID", holder.GetXCompid());
    rc = RunUpdate(trace, window_, holder.GetEnvironment(), KelLnkTools::RightTrim(holder.GetTable()), where,
                   {{"C_LASTMOD", referenced->GetDate(), SetColumn::Timestamp}}, 1);
  } else {
    KelDMZUMO::Commit(1, 1);
  }
  KelLnkUserServices::Current().Refresh(window_, 1);
  return rc;
}

int KelLnkLink::Delete() {
  MML_TRACE("KelLnkLink::Delete");
  KelLnkTools::Busy();
  KelLnkObject* referencing = GetReferencing();
  KelLnkObject* referenced = GetReferenced();
  if (!referencing || !referenced) return kel_ier::kInstanceNotFound;
  int rc = referencing->Instance().DeleteChild(referenced->Instance(),
                                               KelLnkTools::LinktypeToLinklabel(linktype_.str()), "", "", 1, 0);
  if (rc == 0) rc = KelDMZUMO::Commit(1, 1);
  if (rc != 0) {
    KelDMZUMO::RollBack(1);
    KelLnkUserServices::Current().ErrorBox(window_, KelDMIerMessage(rc).GetDisplayMessage(1));
    return rc;
  }
  KelLnkUserServices::Current().Refresh(window_, 1);
  return 0;
}
