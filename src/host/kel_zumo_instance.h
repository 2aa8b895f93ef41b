// A product instance: a database object placed inside a product.
//
// It is made of the product's base instance (the part at the top of the
// product, a "PART_LIST" row), the path of instance identifiers that leads from
// that part down to the placed object, and optionally the representation of
// the placed object (its table and compid) when it is not a part itself.
//
// A product instance is a value: copies compare equal. It is "fully defined"
// once FullyDefine has checked it against the database; the link database
// drops an instance that cannot be fully defined.
#pragma once

#include <vector>

#include "base/kel_id.h"
#include "base/kel_types.h"
#include "host/kel_dm_instance.h"

class KelZumoInstance {
 public:
  KelZumoInstance() = default;
  // The instance reached from `base` by `path` (identifiers as 8-byte values).
  KelZumoInstance(const KelDMInstance& base, std::vector<KelId> path) : base_(base), path_(std::move(path)) {}
  // Same, with the identifiers carried in doubles (the host's carrier).
  KelZumoInstance(const KelDMInstance& base, const KelRawColldouble& path);

  const KelDMInstance& GetBase() const { return base_; }
  const std::vector<KelId>& GetPath() const { return path_; }

  // The part of the instance: index 0 is the product's base part. Returns 0,
  // or kel_ier::kInstanceNotFound (part untouched) for any other index or
  // when the instance has no base.
  int GetPart(int index, KelDMInstance& part) const;

  // Sets the representation of the placed object: its table and its compid
  // (carried in a double, or as an identifier). Clears the fully-defined mark.
  void SetRep(const KelUnicodeString& table, double compid) { SetRep(table, KelId::FromDouble(compid)); }
  void SetRep(const KelUnicodeString& table, const KelId& compid);
  bool HasRep() const { return hasRep_; }
  const KelUnicodeString& GetRepTable() const { return repTable_; }
  const KelId& GetRepCompid() const { return repCompid_; }

  // True once FullyDefine succeeded (and nothing changed since).
  bool IsFullyDefined() const { return fullyDefined_; }
  // Checks the instance against the session's database: the base part must be
  // a row of its table, the path must hold at least one identifier and none
  // of them may be zero or the null identifier. When the base part's
  // environment holds a product structure (PSN_INSTANCE, PSN_REP), each
  // identifier must be an instance used inside the part reached before it,
  // and a representation must be one of the placed part's. Returns 0 and marks the
  // instance fully defined, else kel_ier::kInstanceNotFound (no base row, bad
  // path) or kel_ier::kDbNoConnection.
  int FullyDefine();

  // A readable form for traces: "<env>.<table> <coid> <compid> / <id> <id> ...",
  // followed by " rep <table> <compid>" when a representation is set.
  KelUnicodeString GetText() const;

  // Same base, same path, same representation (or both without one). Whether
  // the instances were checked takes no part.
  friend bool operator==(const KelZumoInstance& a, const KelZumoInstance& b);
  friend bool operator!=(const KelZumoInstance& a, const KelZumoInstance& b) { return !(a == b); }

 private:
  bool PathInProductStructure(class KelDbConnection* connection) const;

  KelDMInstance base_;
  std::vector<KelId> path_;
  bool hasRep_ = false;
  KelUnicodeString repTable_;
  KelId repCompid_;
  bool fullyDefined_ = false;
};
