// Read-ahead of the children and parents queries: the link rows of many
// objects read in one statement per table, kept until the walk asks for each
// object.
//
// When the children (or parents) of an object are first asked for, its rows
// are read together with those of the objects waiting in that direction
// (reached but not read yet, the most recent first), then with those of the
// objects these rows lead to, level after level, up to a few thousand objects
// per set; the objects left over wait for the next set (Waiting). Each level
// takes one statement per table and per few hundred objects (one IN list of
// identifiers). The rows of each object are then taken (TakeRows) in the
// order the engine returns them for that object, so that the answers and the
// cache order are those of reading the objects one by one. The facts of the
// objects the rows lead to (timestamp, existence, name) are read in the same
// pass. A walk that reaches ten objects reads ten objects' rows, whatever the
// size of the tables.
//
// The rows of one object in one direction:
//   children: the "$EXT" rows of its environment that it holds, and its
//             "MML_LINK" rows (the entities it uses), whose owners are read
//             from "MML_ENTITY";
//   parents:  the "$EXT" rows of every link environment that point to it, and
//             its "MML_ENTITY" rows (the entities it owns), whose users are
//             read from "MML_LINK".
//
// Once a walk has asked a direction for a large share of a table, or is bound
// to (at least 500 identifiers and one in sixteen of its rows, counting the
// objects reached and not read yet), that table is read in one
// sequential pass and the rest of the walk takes its rows from memory: the
// engine keeps an object's rows in the same order either way. Once every
// table an object's rows come from in a direction was read so, they are taken
// from memory when the walk asks for them, not gathered ahead with a set and
// kept until then. A small walk never reads a whole table.
//
// The rows kept are those of one state of the database: UncacheDatabase
// forgets them with the caches, and so does a change of connection or of the
// link-type condition.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/kel_copied_ptr.h"
#include "host/kel_dm_link_rows.h"
#include "linkdb/kel_lnk_hybrid_manager.h"
#include "linkdb/kel_lnk_packed_timestamp.h"

enum class KelLnkDirection { kChildren, kParents };

// The entity table whose rows an object has in one direction ("MML_LINK" for
// children, "MML_ENTITY" for parents), and the one that holds the far ends.
inline KelDMEntitySide NearSide(KelLnkDirection d) {
  return d == KelLnkDirection::kChildren ? KelDMEntitySide::kUsed : KelDMEntitySide::kOwned;
}
inline KelDMEntitySide FarSide(KelLnkDirection d) {
  return d == KelLnkDirection::kChildren ? KelDMEntitySide::kOwned : KelDMEntitySide::kUsed;
}

// The number (in KelLnkHybridManager::Names) of the texts of one column while
// a statement's rows are read: a column holds few distinct texts (tables,
// types, states), the last few met are compared before one is looked up.
class KelLnkNameMemo {
 public:
  uint32_t Number(std::string_view text) {
    for (const Entry& e : entries_)
      if (e.text.size() == text.size() && e.number != kNone &&
          (text.empty() || std::memcmp(e.text.data(), text.data(), text.size()) == 0))
        return e.number;
    Entry& e = entries_[next_++ % entries_.size()];
    e.text.assign(text);
    return e.number = KelLnkHybridManager::Names::Number(text);
  }

 private:
  static constexpr uint32_t kNone = UINT32_MAX;
  struct Entry {
    std::string text;
    uint32_t number = kNone;
  };
  std::array<Entry, 4> entries_;
  uint32_t next_ = 0;
};

// The memos of the text columns of one statement's rows.
struct KelLnkRowNames {
  KelLnkNameMemo table, compname, type, status;
};

// A "$EXT" row as the read-ahead keeps it and hands it out: the names as
// numbers of KelLnkHybridManager::Names, the timestamp packed.
struct KelLnkExtRecord {
  using Names = KelLnkHybridManager::Names;
  explicit KelLnkExtRecord(const KelDMExtRow& row)
      : KelLnkExtRecord(Names::Number(row.environment),
                        KelDMExtRowView{row.fatherTable, row.coid, row.compidFather, row.compname, row.coidRef,
                                        row.compidRef, row.timestamp, row.type, row.status}) {}
  KelLnkExtRecord(uint32_t environment_, const KelDMExtRowView& row) : KelLnkExtRecord(environment_, row, nullptr) {}
  // The same, the names numbered through the statement's memos (none: each
  // looked up).
  KelLnkExtRecord(uint32_t environment_, const KelDMExtRowView& row, KelLnkRowNames* names)
      : environment(environment_),
        fatherTable(names ? names->table.Number(row.fatherTable) : Names::Number(row.fatherTable)),
        compname(names ? names->compname.Number(row.compname) : Names::Number(row.compname)),
        type(names ? names->type.Number(row.type) : Names::Number(row.type)),
        status(names ? names->status.Number(row.status) : Names::Number(row.status)),
        coid(row.coid),
        compidFather(row.compidFather),
        coidRef(row.coidRef),
        compidRef(row.compidRef),
        timestamp(row.timestamp) {}
  KelDMExtRow Row() const {
    return KelDMExtRow{Names::Text(environment),
                       Names::Text(fatherTable),
                       coid,
                       compidFather,
                       Names::Text(compname),
                       coidRef,
                       compidRef,
                       timestamp.str(),
                       Names::Text(type),
                       Names::Text(status)};
  }
  uint32_t environment, fatherTable, compname, type, status;
  KelId coid, compidFather, coidRef, compidRef;
  KelLnkPackedTimestamp timestamp;
};

// The three identifiers of an entity as the read-ahead keeps them: inline when
// each is 8 bytes long, as the schema's identifiers are; values of any other
// length are kept as read, apart.
class KelLnkEntityIds {
 public:
  KelLnkEntityIds(std::string_view id1, std::string_view id2, std::string_view key) {
    if (id1.size() == kSize && id2.size() == kSize && key.size() == kSize) {
      std::memcpy(bytes_.data(), id1.data(), kSize);
      std::memcpy(bytes_.data() + kSize, id2.data(), kSize);
      std::memcpy(bytes_.data() + 2 * kSize, key.data(), kSize);
    } else {
      odd_ = KelCopiedPtr<KelDMEntityIds>(KelDMEntityIds{KelDbBinary(id1.data(), id1.size()),
                                                         KelDbBinary(id2.data(), id2.size()),
                                                         KelDbBinary(key.data(), key.size())});
    }
  }
  // The bytes of ENTITY_ID_1.
  std::string_view Id1() const { return odd_ ? std::string_view(odd_->id1.Raw()) : Part(0); }
  KelDMEntityIds Ids() const {
    if (odd_) return *odd_;
    return KelDMEntityIds{KelDbBinary(Part(0).data(), kSize), KelDbBinary(Part(1).data(), kSize),
                          KelDbBinary(Part(2).data(), kSize)};
  }
  bool operator==(const KelDMEntityIds& ids) const {
    if (odd_) return *odd_ == ids;
    return ids.id1.Raw() == Part(0) && ids.id2.Raw() == Part(1) && ids.key.Raw() == Part(2);
  }

 private:
  static constexpr size_t kSize = 8;
  std::string_view Part(size_t k) const { return {reinterpret_cast<const char*>(bytes_.data()) + k * kSize, kSize}; }
  std::array<uint8_t, 3 * kSize> bytes_{};
  KelCopiedPtr<KelDMEntityIds> odd_;  // null when the three are inline
};

// An entity row as the read-ahead keeps it, the same way.
struct KelLnkEntityRecord {
  using Names = KelLnkHybridManager::Names;
  explicit KelLnkEntityRecord(const KelDMEntityRow& row)
      : KelLnkEntityRecord(KelDMEntityRowView{row.table, row.coid, row.compid, row.ids.id1.Raw(), row.ids.id2.Raw(),
                                              row.ids.key.Raw(), row.timestamp, row.type, row.status}) {}
  explicit KelLnkEntityRecord(const KelDMEntityRowView& row) : KelLnkEntityRecord(row, nullptr) {}
  KelLnkEntityRecord(const KelDMEntityRowView& row, KelLnkRowNames* names)
      : table(names ? names->table.Number(row.table) : Names::Number(row.table)),
        type(names ? names->type.Number(row.type) : Names::Number(row.type)),
        status(names ? names->status.Number(row.status) : Names::Number(row.status)),
        coid(row.coid),
        compid(row.compid),
        ids(row.id1, row.id2, row.key),
        timestamp(row.timestamp) {}
  KelDMEntityRow Row() const {
    return KelDMEntityRow{Names::Text(table), coid, compid, ids.Ids(), timestamp.str(), Names::Text(type),
                          Names::Text(status)};
  }
  uint32_t table, type, status;
  KelId coid, compid;
  KelLnkEntityIds ids;
  KelLnkPackedTimestamp timestamp;
};

// The rows of one object in one direction.
struct KelLnkNearRows {
  std::vector<KelLnkExtRecord> ext;
  std::vector<KelLnkEntityRecord> entities;
};

class KelLnkHybridReadAhead {
 public:
  // The rows of the object `e` in direction `d`: its "$EXT" rows when
  // `readExt`, its entity rows when `readEntities`. Reads them, with those of
  // the waiting objects, when they are not here yet; each object's rows are
  // handed out once. `relationEnvironments` hold "$EXT", `entityEnvironments`
  // the entity tables (names without blanks). `index` is the cache index of `e`.
  static void TakeRows(KelLnkDirection d, const KelLnkHybridManager::Entity& e, int index, bool readExt,
                       bool readEntities,
                       KelDbConnection* connection, const KelUnicodeString& typeCondition,
                       const KelListValKelUnicodeString& relationEnvironments,
                       const KelListValKelUnicodeString& entityEnvironments, KelLnkNearRows* rows);
  // The rows of the side's table in `environment` that carry the entity (its
  // owners or users), into `rows` (emptied first, its storage reused); read
  // with the set when they came from one.
  static void Holders(KelDMEntitySide side, KelDbConnection* connection, const KelUnicodeString& environment,
                      const KelDMEntityIds& ids, std::vector<KelLnkEntityRecord>* rows);
  // The environment and table (numbers of KelLnkHybridManager::Names) of the
  // object a "$EXT" row points to, from its $COMPNAME ("<env>.<table>", the
  // table's trailing blanks dropped); kNoObject twice when it names none.
  static constexpr uint32_t kNoObject = UINT32_MAX;
  static const std::pair<uint32_t, uint32_t>& PointedObject(uint32_t compname);
  // The object of entity `index` was reached in direction `d`: read its rows
  // with the next set.
  static void Waiting(KelLnkDirection d, int index);
  // Asks the processor for where Holders will read the owners or users of
  // the entity whose first identifier is `id1`, when their table was read
  // whole.
  static void PrefetchHolders(KelDMEntitySide side, const KelUnicodeString& environment, std::string_view id1);
  // Asks the processor for the index slot where Waiting starts looking for
  // the object (numbers of KelLnkHybridManager::Names).
  static void PrefetchWaiting(KelLnkDirection d, uint32_t environment, uint32_t table, const KelId& coid,
                              const KelId& compid);
  // Forgets every row and every waiting object.
  static void Forget();
};
