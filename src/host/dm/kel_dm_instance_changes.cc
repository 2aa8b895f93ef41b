// The changes the data manager makes on one object: links created from it,
// its locks, and the reading of its UUID. Each runs in the main connection's
// transaction (begun when none is open); the caller commits or rolls back.
#include <string>
#include <vector>

#include "base/mml_constants.h"
#include "host/db/host_sql.h"
#include "host/db/kel_dm_ier_message.h"
#include "host/dm/kel_dm_security.h"
#include "host/dm/kel_qor_action.h"
#include "host/kel_dm_instance.h"
#include "host/kel_dm_session.h"
#include "host/kel_psn_trace.h"
#include "host/profile/kel_dm_context.h"

namespace {

std::string TrimmedRight(const std::string& s) {
  size_t n = s.size();
  while (n > 0 && s[n - 1] == ' ') --n;
  return s.substr(0, n);
}

// Runs `sql` inside the main connection's transaction; 0 or a code.
int RunInTransaction(const std::string& sql, const std::vector<KelDbValue>& binds, KelDbResult* result) {
  KelDbConnection* connection = KelDMSession::Main();
  if (connection == nullptr) return kel_ier::kDbNoConnection;
  int rc = connection->Begin();
  if (rc != 0) return rc;
  return connection->Execute(sql, binds, result);
}

const std::string kLockWhere = "$COID=? AND $COMPID=? AND $LOCKTYPE=?";

}  // namespace

int KelDMInstance::GetUuid(KelUnicodeString& uuid) const {
  MML_TRACE("KelDMInstance::GetUuid");
  KelDbConnection* connection = KelDMSession::Main();
  if (connection == nullptr) return kel_ier::kDbNoConnection;
  KelDbResult result;
  int rc = connection->Execute("SELECT C_UUID FROM " + QuoteHostTableName(GetEnvironment(), TrimmedRight(GetTable())) +
                                   " WHERE $COID=? AND $COMPID=?",
                               {KelDbValue::Id(coid_), KelDbValue::Id(compid_)}, &result);
  if (rc != 0) return rc;
  if (result.rows.empty()) return kel_ier::kInstanceNotFound;
  uuid = result.rows[0][0].IsNull() ? KelUnicodeString() : TrimmedRight(result.rows[0][0].AsText());
  return 0;
}

int KelDMInstance::CreateLink(const KelDMInstance& child, const KelUnicodeString& label, const KelUnicodeString&,
                              const KelUnicodeString&, int) const {
  MML_TRACE("KelDMInstance::CreateLink");
  return RunInTransaction(
      "INSERT INTO " + QuoteHostTableName(GetEnvironment(), kMmlExt) +
          " ($COID, $COMPID, $COMPNAME_FATHER, $COMPID_FATHER, $COMPNAME, $COID_REF, $COMPID_REF, $TYPE) "
          "VALUES (?, ?, ?, ?, ?, ?, ?, ?)",
      {KelDbValue::Id(coid_), KelDbValue::Id(KelDMNewIdentifier()), KelDbValue::Text(TrimmedRight(GetTable())),
       KelDbValue::Id(compid_), KelDbValue::Text(child.GetEnvironment() + "." + TrimmedRight(child.GetTable())),
       KelDbValue::Id(child.Coid()), KelDbValue::Id(child.Compid()), KelDbValue::Text(label)},
      nullptr);
}

int KelDMInstance::GetLocks(int ownOnly, const KelUnicodeString& type, std::vector<KelDMLock>& locks, int) const {
  std::vector<KelDMLock> all;
  int rc = GetLocks(all);
  locks.clear();
  if (rc != 0) return rc;
  const std::string user = KelDMContext::CurrentUser();
  for (const KelDMLock& lock : all) {
    if (lock.lockType == type && (ownOnly == 0 || lock.responsible == user)) locks.push_back(lock);
  }
  return 0;
}

int KelDMInstance::RemoveLocks(const KelUnicodeString& type, int ownOnly, int) const {
  MML_TRACE("KelDMInstance::RemoveLocks");
  std::vector<KelDbValue> binds = {KelDbValue::Id(coid_), KelDbValue::Id(compid_), KelDbValue::Text(type)};
  std::string where = kLockWhere;
  if (ownOnly != 0) {
    where += " AND C_RESPONSIBLE=?";
    binds.push_back(KelDbValue::Text(KelDMContext::CurrentUser()));
  }
  return RunInTransaction("DELETE FROM " + QuoteHostTableName(GetEnvironment(), kMmlColLock) + " WHERE " + where, binds,
                          nullptr);
}

int KelDMInstance::InsertLock(const KelListValKelUnicodeString& names, const KelListValKelUnicodeString& values) const {
  MML_TRACE("KelDMInstance::InsertLock");
  if (names.size() != values.size()) return kel_ier::kDbBadStatement;
  std::string columns = "$COID, $COMPID";
  std::string markers = "?, ?";
  std::vector<KelDbValue> binds = {KelDbValue::Id(coid_), KelDbValue::Id(compid_)};
  for (size_t k = 0; k < names.size(); ++k) {
    if (names[k] != kMmlColLocktype && names[k] != kMmlColResponsible) return kel_ier::kDbBadStatement;
    columns += ", " + names[k];
    markers += ", ?";
    binds.push_back(KelDbValue::Text(values[k]));
  }
  return RunInTransaction("INSERT INTO " + QuoteHostTableName(GetEnvironment(), kMmlColLock) + " (" + columns +
                              ") VALUES (" + markers + ")",
                          binds, nullptr);
}

int KelDMInstance::CanCheckOut(int, int) const {
  int rc = CheckExists();
  if (rc != 0) return rc;
  rc = CheckDataAccess("QOR", "BOM", "CheckOut", 1);
  if (rc != 0) return rc;
  std::vector<KelDMLock> locks;
  rc = GetLocks(0, "D", locks, 0);
  if (rc != 0) return rc;
  const std::string user = KelDMContext::CurrentUser();
  for (const KelDMLock& lock : locks) {
    if (lock.responsible != user) return kel_ier::kLockedByOther;
  }
  return 0;
}
