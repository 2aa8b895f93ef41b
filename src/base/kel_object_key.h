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

struct ObjectKeyHash {
  size_t operator()(const ObjectKey& k) const {
    size_t h = std::hash<std::string>()(k.environment);
    h = h * 1000003u ^ std::hash<std::string>()(k.table);
    h = h * 1000003u ^ KelIdHash()(k.coid);
    h = h * 1000003u ^ KelIdHash()(k.compid);
    return h;
  }
};
