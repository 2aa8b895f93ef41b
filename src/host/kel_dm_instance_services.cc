// Instance services of KelDMInstance: name, revisions, maturity, locks, type
// and associated part, read through the session's main connection.
//
// Statements are written in host notation with the identifiers bound:
//   SELECT C_ID,C_REVISION FROM $VS_<env>.<table> WHERE $COID=? AND $COMPID=?
// Environment and table names enter the text only through QuoteHostTableName.
#include <algorithm>
#include <string>
#include <vector>

#include "base/mml_constants.h"
#include "host/db/host_sql.h"
#include "host/db/kel_db_connection.h"
#include "host/db/kel_dm_ier_message.h"
#include "host/kel_dm_instance.h"
#include "host/kel_dm_session.h"
#include "host/kel_psn_trace.h"

namespace {

std::string TrimmedRight(const std::string& s) {
  size_t n = s.size();
  while (n > 0 && s[n - 1] == ' ') --n;
  return s.substr(0, n);
}

// The table as named in statements: trailing blanks of host names dropped.
std::string TableOf(const std::string& environment, const std::string& table) {
  return QuoteHostTableName(environment, TrimmedRight(table));
}

// "$COID=? AND $COMPID=?"
std::string IdentityWhere() { return kMmlColCoid + "=?" + kMmlSqlAnd + kMmlColCompid + "=?"; }

// Runs `sql` on the main connection; 0 or a kel_ier code.
int Run(const std::string& sql, const std::vector<KelDbValue>& binds, KelDbResult* result, KelPSNTrace& trace) {
  KelDbConnection* connection = KelDMSession::Main();
  if (connection == nullptr) return kel_ier::kDbNoConnection;
  int rc = connection->Execute(sql, binds, result);
  if (trace.LevelIsActive()) {
    trace.Write("SQL: \"" + sql + "\" return " + std::to_string(rc));
    if (rc != 0) trace.Write("error: " + connection->LastError());
  }
  return rc;
}

// One member of a revision family.
struct Revision {
  KelId coid;
  KelId compid;
  bool hasRank = false;
  long long rank = 0;
};

// Rank order: no rank first, then by rank; equal ranks by identifiers so the
// order never depends on the engine's row order.
bool RankBefore(const Revision& a, const Revision& b) {
  if (a.hasRank != b.hasRank) return !a.hasRank;
  if (a.hasRank && a.rank != b.rank) return a.rank < b.rank;
  if (a.coid != b.coid) return a.coid < b.coid;
  return a.compid < b.compid;
}

// Reads the family of `self`: 0 with `members` in rank order (the object alone
// when it has no family), kInstanceNotFound when the object is not there, or
// the database's code.
int ReadFamily(const KelDMInstance& self, std::vector<Revision>& members, KelPSNTrace& trace) {
  members.clear();
  const std::string table = TableOf(self.GetEnvironment(), self.GetTable());
  KelDbResult result;
  int rc = Run("SELECT C_FAMILY FROM " + table + " WHERE " + IdentityWhere(),
               {KelDbValue::Id(self.Coid()), KelDbValue::Id(self.Compid())}, &result, trace);
  if (rc != 0) return rc;
  if (result.rows.empty()) return kel_ier::kInstanceNotFound;
  const KelDbValue& family = result.rows[0][0];
  if (family.IsNull()) {
    members.push_back(Revision{self.Coid(), self.Compid(), false, 0});
    return 0;
  }
  KelDbResult rows;
  rc = Run("SELECT " + kMmlColCoid + "," + kMmlColCompid + ",C_REVISION_RANK FROM " + table + " WHERE C_FAMILY=?",
           {family}, &rows, trace);
  if (rc != 0) return rc;
  for (const auto& row : rows.rows) {
    Revision r;
    r.coid = row[0].AsBinary().AsId();
    r.compid = row[1].AsBinary().AsId();
    r.hasRank = !row[2].IsNull();
    r.rank = r.hasRank ? row[2].AsInteger() : 0;
    members.push_back(r);
  }
  if (members.empty()) members.push_back(Revision{self.Coid(), self.Compid(), false, 0});
  std::sort(members.begin(), members.end(), RankBefore);
  return 0;
}

}  // namespace

KelUnicodeString KelDMInstance::GetNameInstance(int /*mode*/, int /*flag*/, const KelUnicodeString& separator,
                                                const KelUnicodeString& /*profile*/) const {
  MML_TRACE("KelDMInstance::GetNameInstance");
  KelDbResult result;
  int rc = Run("SELECT C_ID,C_REVISION FROM " + TableOf(GetEnvironment(), GetTable()) + " WHERE " + IdentityWhere(),
               {KelDbValue::Id(coid_), KelDbValue::Id(compid_)}, &result, mmlFunctionTrace);
  if (rc != 0 || result.rows.empty() || result.rows[0].size() < 2 || result.rows[0][0].IsNull()) {
    return kMmlUnknownName;
  }
  return TrimmedRight(result.rows[0][0].AsText()) + separator + TrimmedRight(result.rows[0][1].AsText());
}

int KelDMInstance::GetLastRevision(KelDMInstance& last) const {
  MML_TRACE("KelDMInstance::GetLastRevision");
  std::vector<Revision> members;
  int rc = ReadFamily(*this, members, mmlFunctionTrace);
  if (rc != 0) return rc;
  // Highest rank; among equal highest ranks the object itself when it is one
  // of them, so an object is never told it is outdated by an equal.
  const Revision& top = members.back();
  auto sameRank = [&](const Revision& r) { return r.hasRank == top.hasRank && (!r.hasRank || r.rank == top.rank); };
  for (const Revision& r : members) {
    if (sameRank(r) && r.coid == coid_ && r.compid == compid_) {
      last = *this;
      return 0;
    }
  }
  last = KelDMInstance(GetConnectionName(), GetEnvironment(), GetTable(), top.coid, top.compid);
  return 0;
}

int KelDMInstance::GetAllRevision(std::vector<KelDMInstance>& revisions) const {
  MML_TRACE("KelDMInstance::GetAllRevision");
  revisions.clear();
  std::vector<Revision> members;
  int rc = ReadFamily(*this, members, mmlFunctionTrace);
  if (rc != 0) return rc;
  for (const Revision& r : members)
    revisions.emplace_back(GetConnectionName(), GetEnvironment(), GetTable(), r.coid, r.compid);
  return 0;
}

int KelDMInstance::GetMaturity(int& index, KelUnicodeString& name) const {
  MML_TRACE("KelDMInstance::GetMaturity");
  KelDbResult result;
  int rc = Run("SELECT C_MATURITY FROM " + TableOf(GetEnvironment(), GetTable()) + " WHERE " + IdentityWhere(),
               {KelDbValue::Id(coid_), KelDbValue::Id(compid_)}, &result, mmlFunctionTrace);
  if (rc != 0) return rc;
  if (result.rows.empty()) return kel_ier::kInstanceNotFound;
  const KelDbValue& value = result.rows[0][0];
  index = value.IsNull() ? 0 : static_cast<int>(value.AsInteger());
  name = index == 0 ? KelUnicodeString() : std::to_string(index);
  return 0;
}

int KelDMInstance::CheckExists() const {
  MML_TRACE("KelDMInstance::CheckExists");
  KelDbResult result;
  int rc = Run("SELECT 1 FROM " + TableOf(GetEnvironment(), GetTable()) + " WHERE " + IdentityWhere(),
               {KelDbValue::Id(coid_), KelDbValue::Id(compid_)}, &result, mmlFunctionTrace);
  if (rc == kel_ier::kDbBadStatement) return kel_ier::kInstanceNotFound;
  if (rc != 0) return rc;
  return result.rows.empty() ? kel_ier::kInstanceNotFound : 0;
}

int KelDMInstance::GetLocks(std::vector<KelDMLock>& locks) const {
  MML_TRACE("KelDMInstance::GetLocks");
  locks.clear();
  KelDbResult result;
  int rc = Run("SELECT " + kMmlColLocktype + "," + kMmlColResponsible + " FROM " +
                   QuoteHostTableName(GetEnvironment(), "$LOCK") + " WHERE " + IdentityWhere() + " ORDER BY " +
                   kMmlColLocktype + "," + kMmlColResponsible,
               {KelDbValue::Id(coid_), KelDbValue::Id(compid_)}, &result, mmlFunctionTrace);
  if (rc != 0) return rc;
  for (const auto& row : result.rows) {
    locks.push_back(KelDMLock{TrimmedRight(row[0].AsText()), TrimmedRight(row[1].AsText())});
  }
  return 0;
}

int KelDMInstance::GetType() const {
  const std::string table = TrimmedRight(GetTable());
  if (table == kMmlPartList) return 1;
  if (table == kMmlTovraModel) return 2;
  if (table == kMmlDocument) return 3;
  return 0;
}

int KelDMInstance::GetPart(KelDMInstance& part) const {
  MML_TRACE("KelDMInstance::GetPart");
  KelDbResult result;
  int rc = Run("SELECT " + kMmlColCoid + "," + kMmlColCompid + ",C_REVISION_RANK FROM " +
                   QuoteHostTableName(GetEnvironment(), kMmlPartList) + " WHERE " + kMmlColCoid + "=?",
               {KelDbValue::Id(coid_)}, &result, mmlFunctionTrace);
  if (rc != 0) return rc;
  if (result.rows.empty()) return kel_ier::kInstanceNotFound;
  // Several revisions of the part may share the coid: the latest one.
  std::vector<Revision> rows;
  for (const auto& row : result.rows) {
    Revision r;
    r.coid = row[0].AsBinary().AsId();
    r.compid = row[1].AsBinary().AsId();
    r.hasRank = !row[2].IsNull();
    r.rank = r.hasRank ? row[2].AsInteger() : 0;
    rows.push_back(r);
  }
  const Revision& best = *std::max_element(rows.begin(), rows.end(), RankBefore);
  part = KelDMInstance(GetConnectionName().empty() ? kMmlKelcon : GetConnectionName(), GetEnvironment(), kMmlPartList,
                       best.coid, best.compid);
  return 0;
}
