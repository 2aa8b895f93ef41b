#include "host/kel_zumo_instance.h"

#include <algorithm>

#include "host/db/host_sql.h"
#include "host/db/kel_dm_ier_message.h"
#include "host/kel_dm_tovra.h"

KelZumoInstance::KelZumoInstance(const KelDMInstance& base, const KelRawColldouble& path) : base_(base) {
  path_.reserve(path.size());
  for (double d : path) path_.push_back(KelId::FromDouble(d));
}

int KelZumoInstance::GetPart(int index, KelDMInstance& part) const {
  if (index != 0 || base_.IsEmpty()) return kel_ier::kInstanceNotFound;
  part = base_;
  return kel_ier::kOk;
}

void KelZumoInstance::SetRep(const KelUnicodeString& table, const KelId& compid) {
  hasRep_ = true;
  repTable_ = table;
  repCompid_ = compid;
  fullyDefined_ = false;
}

namespace {

// Whether the base part's environment holds a product structure.
bool HasProductStructure(KelDbConnection* connection, const KelUnicodeString& environment) {
  std::vector<std::string> tables;
  if (connection->ListTables(&tables) != 0) return false;
  const std::string wanted = environment + ".PSN_INSTANCE";
  return std::find(tables.begin(), tables.end(), wanted) != tables.end();
}

}  // namespace

bool KelZumoInstance::PathInProductStructure(KelDbConnection* connection) const {
  const KelUnicodeString& env = base_.GetEnvironment();
  if (!HasProductStructure(connection, env)) return true;
  // Each identifier must be an instance used inside the part reached so far.
  KelId fatherCoid = base_.Coid(), fatherCompid = base_.Compid();
  KelId childCoid, childCompid;
  const std::string sql = "SELECT $COID_CHILD, $COMPID_CHILD FROM " + QuoteHostTableName(env, "PSN_INSTANCE") +
                          " WHERE $OID = ? AND $COID_FATHER = ? AND $COMPID_FATHER = ? AND UBIT IS NULL";
  for (const KelId& oid : path_) {
    KelDbResult result;
    if (connection->Execute(sql, {KelDbValue::Id(oid), KelDbValue::Id(fatherCoid), KelDbValue::Id(fatherCompid)},
                            &result) != 0 ||
        result.rows.empty())
      return false;
    fatherCoid = childCoid = result.rows[0][0].AsBinary().AsId();
    fatherCompid = childCompid = result.rows[0][1].AsBinary().AsId();
  }
  if (!hasRep_) return true;
  // A representation must be one of the placed part's.
  KelDbResult result;
  const std::string rep = "SELECT $COID_REP FROM " + QuoteHostTableName(env, "PSN_REP") +
                          " WHERE $COID_PART = ? AND $COMPID_PART = ? AND $COMPID_REP = ? AND UBIT IS NULL";
  return connection->Execute(rep, {KelDbValue::Id(childCoid), KelDbValue::Id(childCompid), KelDbValue::Id(repCompid_)},
                             &result) == 0 &&
         !result.rows.empty();
}

int KelZumoInstance::FullyDefine() {
  if (base_.IsEmpty() || !base_.IsWellFormed() || path_.empty()) return kel_ier::kInstanceNotFound;
  for (const KelId& id : path_) {
    if (id.IsZero() || id.IsNullId()) return kel_ier::kInstanceNotFound;
  }
  KelDbConnection* connection = KelDMTovra::GetConnection(base_.GetEnvironment());
  if (!connection) return kel_ier::kDbNoConnection;
  std::string sql = "SELECT $COID FROM " + QuoteHostTableName(base_.GetEnvironment(), base_.GetTable()) +
                    " WHERE $COID = ? AND $COMPID = ?";
  KelDbResult result;
  int rc = connection->Execute(sql, {KelDbValue::Id(base_.Coid()), KelDbValue::Id(base_.Compid())}, &result);
  if (rc != 0 || result.rows.empty()) return kel_ier::kInstanceNotFound;
  if (!PathInProductStructure(connection)) return kel_ier::kInstanceNotFound;
  fullyDefined_ = true;
  return kel_ier::kOk;
}

KelUnicodeString KelZumoInstance::GetText() const {
  KelUnicodeString text = base_.GetEnvironment();
  text.append(".").append(base_.GetTable()).append(" ").append(base_.GetXCoid());
  text.append(" ").append(base_.GetXCompid()).append(" /");
  for (const KelId& id : path_) text.append(" ").append(id.Hex());
  if (hasRep_) text.append(" rep ").append(repTable_).append(" ").append(repCompid_.Hex());
  return text;
}

bool operator==(const KelZumoInstance& a, const KelZumoInstance& b) {
  if (!(a.base_ == b.base_) || a.path_ != b.path_ || a.hasRep_ != b.hasRep_) return false;
  return !a.hasRep_ || (a.repTable_ == b.repTable_ && a.repCompid_ == b.repCompid_);
}
