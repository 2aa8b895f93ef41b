// The host handle of one database object: (connection, environment, table,
// coid, compid).
#pragma once

#include <string>
#include <vector>

#include "base/kel_id.h"
#include "base/kel_text_pool.h"
#include "base/kel_types.h"

// The host's identification record of an object (what GetObjID answers).
struct ObjID {
  KelId coid;
  KelId compid;
  std::string environment;
  std::string table;

  friend bool operator==(const ObjID&, const ObjID&) = default;
};

// One lock of an object (a row of the environment's "$LOCK" table).
struct KelDMLock {
  KelUnicodeString lockType;     // "$LOCKTYPE"
  KelUnicodeString responsible;  // "C_RESPONSIBLE"
};

class KelDMInstance {
 public:
  KelDMInstance() = default;
  // Identifiers as sixteen hexadecimal digits; a text that is not gives the
  // zero identifier and IsWellFormed() false.
  KelDMInstance(const KelUnicodeString& connection, const KelUnicodeString& environment, const KelUnicodeString& table,
                const KelUnicodeString& coidHex, const KelUnicodeString& compidHex);
  KelDMInstance(const KelUnicodeString& connection, const KelUnicodeString& environment, const KelUnicodeString& table,
                const KelId& coid, const KelId& compid);

  const KelUnicodeString& GetConnectionName() const { return *connection_; }
  const KelUnicodeString& GetEnvironment() const { return *environment_; }
  const KelUnicodeString& GetTable() const { return *table_; }
  KelUnicodeString GetXCoid() const { return coid_.Hex(); }
  KelUnicodeString GetXCompid() const { return compid_.Hex(); }
  double GetCoid() const { return coid_.AsDouble(); }
  double GetCompid() const { return compid_.AsDouble(); }
  const KelId& Coid() const { return coid_; }
  const KelId& Compid() const { return compid_; }
  bool IsWellFormed() const { return wellFormed_; }
  bool IsEmpty() const { return environment_->empty() && table_->empty() && coid_.IsZero() && compid_.IsZero(); }
  ObjID GetObjID() const { return ObjID{coid_, compid_, *environment_, *table_}; }

  // Same object: environment, table (trailing blanks ignored), coid and compid
  // equal. The connection name takes no part.
  friend bool operator==(const KelDMInstance& a, const KelDMInstance& b);
  friend bool operator!=(const KelDMInstance& a, const KelDMInstance& b) { return !(a == b); }

  // ---- Instance services, read through the session's main connection ----

  // Display name: the object's C_ID and C_REVISION joined by `separator`;
  // "(?)" when it cannot be read. `mode`, `flag` and `profile` are the host's
  // presentation options and are accepted as given.
  KelUnicodeString GetNameInstance(int mode, int flag, const KelUnicodeString& separator,
                                   const KelUnicodeString& profile) const;
  // The latest revision: the member of the object's C_FAMILY with the highest
  // C_REVISION_RANK in the same environment and table; the object itself when
  // it has no family. Returns 0 or a kel_ier code.
  int GetLastRevision(KelDMInstance& last) const;
  // Every revision of the family in rank order (the object alone without a
  // family). Returns 0 or a kel_ier code.
  int GetAllRevision(std::vector<KelDMInstance>& revisions) const;
  // Maturity index (C_MATURITY; NULL reads 0) and its name. Returns 0 or a code.
  int GetMaturity(int& index, KelUnicodeString& name) const;
  // Whether the object's row is in its environment's table: 0 when it is,
  // kel_ier::kInstanceNotFound when it is not (or the environment has no such
  // table), another kel_ier code when the database cannot say.
  int CheckExists() const;
  // Locks of the object. Returns 0 or a code.
  int GetLocks(std::vector<KelDMLock>& locks) const;
  // "PART_LIST" 1, "TOVRA_MODEL" 2, "DOCUMENT" 3, other tables 0.
  int GetType() const;
  // The "PART_LIST" row of the same environment with the same "$COID".
  // Returns 0 or kel_ier::kInstanceNotFound.
  int GetPart(KelDMInstance& part) const;
  // Whether the current user may run `process` of (`domain`, `cls`) on the
  // object, by the profile's access rules: 0 when allowed, else a kel_ier code.
  int CheckDataAccess(const KelUnicodeString& domain, const KelUnicodeString& cls, const KelUnicodeString& process,
                      int option) const;
  // Deletes the link rows of "$EXT" of this object's environment that this
  // object holds to `child` with the label `linkLabel` ("KELMMSOL", ...),
  // inside the main connection's transaction (commit or roll back
  // afterwards). `effectivity`, `text` and the two integers are the host's
  // options and are accepted as given. Returns 0, kel_ier::kInstanceNotFound
  // when no such row exists, or another kel_ier code.
  int DeleteChild(const KelDMInstance& child, const KelUnicodeString& linkLabel, const KelUnicodeString& effectivity,
                  const KelUnicodeString& text, int option1, int option2) const;

  // ---- Changes, in the main connection's transaction (begun when none is
  // open; the caller commits or rolls back: KelDMZUMO) ----

  // This object's C_UUID ("" when NULL). Returns 0 or a code.
  int GetUuid(KelUnicodeString& uuid) const;
  // Creates a link from this object (the father) to `child`: one "$EXT" row
  // in this object's environment with a fresh "$COMPID", the father's table
  // and compid, the child's "<env>.<table>", coid and compid, and the type
  // `label`; "C_MML_TS" and "KELMML_STATUS" stay NULL. `effectivity`,
  // `options` and `flags` are the host's and are accepted as given. Returns 0
  // or a code.
  int CreateLink(const KelDMInstance& child, const KelUnicodeString& label, const KelUnicodeString& effectivity,
                 const KelUnicodeString& options, int flags) const;
  // The object's locks of type `type`; with `ownOnly` 1 only those whose
  // responsible is the current user. `option` is the host's. Returns 0 or a code.
  int GetLocks(int ownOnly, const KelUnicodeString& type, std::vector<KelDMLock>& locks, int option) const;
  // Deletes the object's locks of type `type` (with `ownOnly` 1 only the
  // current user's). Returns 0 or a code.
  int RemoveLocks(const KelUnicodeString& type, int ownOnly, int option) const;
  // Inserts one "$LOCK" row for the object with the given columns ("$LOCKTYPE",
  // "C_RESPONSIBLE"; "$COID" and "$COMPID" are the object's). Another column
  // name gives kel_ier::kDbBadStatement. Returns 0 or a code.
  int InsertLock(const KelListValKelUnicodeString& names, const KelListValKelUnicodeString& values) const;
  // Whether the current user may check the object out: it exists, the
  // profile grants ("QOR", "BOM", "CheckOut"), and no other user holds a
  // lock of type "D" on it (kel_ier::kLockedByOther). Returns 0 or a code.
  int CanCheckOut(int option1, int option2) const;

 private:
  // The names are pooled (a graph holds hundreds of thousands of instances
  // over a handful of connections, environments and tables): an instance is
  // a few words.
  const KelUnicodeString* connection_ = KelPooledText({});
  const KelUnicodeString* environment_ = connection_;
  const KelUnicodeString* table_ = connection_;
  KelId coid_;
  KelId compid_;
  bool wellFormed_ = true;
};

using KelListValKelDMInstance = std::vector<KelDMInstance>;
