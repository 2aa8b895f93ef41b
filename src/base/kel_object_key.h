// The identity of a database object as a hash-map key: environment, table,
// coid and compid, identifiers compared byte for byte.
#pragma once

#include <functional>
#include <string>

#include "base/kel_id.h"
#include "base/kel_types.h"

struct ObjectKey {
  KelUnicodeString environment;
  KelUnicodeString table;
  KelId coid;
  KelId compid;

  friend bool operator==(const ObjectKey&, const ObjectKey&) = default;
};

// Hashes the identifiers and only the lengths and last characters of the
// names: objects that share both identifiers are few, and hashing the two
// names on every lookup of a walk costs more than comparing them within a
// bucket.
struct ObjectKeyHash {
  size_t operator()(const ObjectKey& k) const { return Of(k.environment, k.table, k.coid, k.compid); }
  // The same hash from the four parts, for indexes that keep them elsewhere.
  static size_t Of(const KelUnicodeString& environment, const KelUnicodeString& table, const KelId& coid,
                   const KelId& compid) {
    size_t h = KelIdHash()(coid);
    h = h * 1000003u ^ KelIdHash()(compid);
    return h * 1000003u ^ (NameMark(environment) << 16 | NameMark(table));
  }

 private:
  static size_t NameMark(const KelUnicodeString& name) {
    return name.empty() ? 0 : (name.size() << 8 | static_cast<unsigned char>(name.back()));
  }
};
