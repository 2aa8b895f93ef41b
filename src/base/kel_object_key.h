// The identity of a database object as a hash-map key: environment, table,
// coid and compid, identifiers compared byte for byte.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

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

// An object as a small key for sets that see many objects of few tables: the
// (environment, table) pair as a number given by a KelTableNumbers, and the
// identifiers.
struct PackedObjectKey {
  uint32_t table;
  KelId coid;
  KelId compid;
  friend bool operator==(const PackedObjectKey&, const PackedObjectKey&) = default;
};
struct PackedObjectKeyHash {
  size_t operator()(const PackedObjectKey& k) const {
    return (KelIdHash()(k.coid) * 1000003u ^ KelIdHash()(k.compid)) * 31u + k.table;
  }
};

// Numbers the (environment, table) pairs met, from 0; remembers the pair met
// last, since runs of objects of one table are the rule.
class KelTableNumbers {
 public:
  static constexpr uint32_t kNone = UINT32_MAX;

  // The pair's number: a new one when `add`, else kNone for a pair not met.
  uint32_t Number(const KelUnicodeString& environment, const KelUnicodeString& table, bool add = true) {
    if (last_ == nullptr || last_->first.first != environment || last_->first.second != table) {
      auto it = numbers_.find({environment, table});
      if (it == numbers_.end()) {
        if (!add) return kNone;
        it = numbers_.emplace(Name{environment, table}, static_cast<uint32_t>(byNumber_.size())).first;
        byNumber_.push_back(&*it);
      }
      last_ = &*it;
    }
    return last_->second;
  }
  // The (environment, table) pair of a number given.
  const std::pair<KelUnicodeString, KelUnicodeString>& Names(uint32_t number) const { return byNumber_[number]->first; }
  PackedObjectKey Pack(const KelUnicodeString& environment, const KelUnicodeString& table, const KelId& coid,
                       const KelId& compid) {
    return PackedObjectKey{Number(environment, table), coid, compid};
  }
  PackedObjectKey Pack(const ObjectKey& o) { return Pack(o.environment, o.table, o.coid, o.compid); }

 private:
  using Name = std::pair<KelUnicodeString, KelUnicodeString>;
  struct NameHash {
    size_t operator()(const Name& n) const {
      return std::hash<std::string>()(n.first) * 1000003u ^ std::hash<std::string>()(n.second);
    }
  };
  std::unordered_map<Name, uint32_t, NameHash> numbers_;
  std::vector<const std::pair<const Name, uint32_t>*> byNumber_;
  const std::pair<const Name, uint32_t>* last_ = nullptr;  // the pair met last
};
