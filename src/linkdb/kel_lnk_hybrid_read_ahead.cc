#include "linkdb/kel_lnk_hybrid_read_ahead.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "base/kel_object_key.h"
#include "base/kel_short_text.h"
#include "foundation/kel_lnk_tools.h"
#include "linkdb/kel_lnk_data_manager.h"

namespace {

using Entity = KelLnkHybridManager::Entity;

// Objects read in one set, at most (the one asked for, those waiting and
// those they lead to).
constexpr size_t kMaxObjectsPerSet = 4000;

std::string IdBytes(const KelId& id) { return std::string(reinterpret_cast<const char*>(id.Bytes().data()), 8); }

ObjectKey KeyOf(const Entity& e) { return ObjectKey{e.caenv(), e.kelab(), e.coid, e.compid}; }

// The key of an entity's owners or users in one environment, and the probe
// that finds it without a copy of the names and identifiers.
struct HoldersKey {
  KelDMEntitySide side;
  KelUnicodeString environment;
  KelDMEntityIds ids;
};
struct HoldersProbe {
  KelDMEntitySide side;
  const KelUnicodeString& environment;
  const KelDMEntityIds& ids;
};
struct HoldersHash {
  using is_transparent = void;
  size_t operator()(const HoldersKey& k) const { return Of(k.side, k.environment, k.ids); }
  size_t operator()(const HoldersProbe& k) const { return Of(k.side, k.environment, k.ids); }
  static size_t Of(KelDMEntitySide side, const KelUnicodeString& environment, const KelDMEntityIds& ids) {
    std::hash<std::string_view> hash;
    size_t h = hash(ids.id1.Raw()) * 1000003u ^ hash(ids.id2.Raw());
    h = h * 1000003u ^ hash(ids.key.Raw());
    return h * 1000003u ^ (environment.size() << 1 | (side == KelDMEntitySide::kUsed ? 1u : 0u));
  }
};
struct HoldersEqual {
  using is_transparent = void;
  template <typename A, typename B>
  bool operator()(const A& a, const B& b) const {
    return a.side == b.side && a.ids == b.ids && a.environment == b.environment;
  }
};

// A "$EXT" row as the store keeps it until its object is taken: the names
// as numbers of KelLnkHybridManager::Names, the timestamp inline.
struct StoredExtRow {
  using Names = KelLnkHybridManager::Names;
  explicit StoredExtRow(const KelDMExtRow& row)
      : environment(Names::Number(row.environment)),
        fatherTable(Names::Number(row.fatherTable)),
        compname(Names::Number(row.compname)),
        type(Names::Number(row.type)),
        status(Names::Number(row.status)),
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
  KelShortText timestamp;
};

// An entity row as the store keeps it, the same way.
struct StoredEntityRow {
  using Names = KelLnkHybridManager::Names;
  explicit StoredEntityRow(const KelDMEntityRow& row)
      : table(Names::Number(row.table)),
        type(Names::Number(row.type)),
        status(Names::Number(row.status)),
        coid(row.coid),
        compid(row.compid),
        ids(row.ids),
        timestamp(row.timestamp) {}
  KelDMEntityRow Row() const {
    return KelDMEntityRow{Names::Text(table), coid, compid, ids, timestamp.str(), Names::Text(type),
                          Names::Text(status)};
  }
  uint32_t table, type, status;
  KelId coid, compid;
  KelDMEntityIds ids;
  KelShortText timestamp;
};

template <typename Stored>
auto RowsOf(const std::vector<Stored>& stored) {
  std::vector<decltype(stored.front().Row())> rows;
  rows.reserve(stored.size());
  for (const Stored& row : stored) rows.push_back(row.Row());
  return rows;
}

// The rows of one object in one direction, as the store keeps them.
struct StoredRows {
  std::vector<StoredExtRow> ext;
  std::vector<StoredEntityRow> entities;
};

using HoldersMap = std::unordered_map<HoldersKey, std::vector<StoredEntityRow>, HoldersHash, HoldersEqual>;

// What one direction keeps. Rows are kept by object, not by cache index: the
// objects a set leads to have no entity yet when their own rows are read.
// An object as the set of fetched objects keeps it: its (environment, table)
// pair as a number of the store, and its identifiers.
struct Lane {
  std::unordered_set<PackedObjectKey, PackedObjectKeyHash> fetched;  // objects whose rows were read, taken or not
  std::unordered_map<ObjectKey, StoredRows, ObjectKeyHash> near;
  std::vector<ObjectKey> waiting;
};

struct Store {
  KelDbConnection* connection = nullptr;
  KelTableNumbers tables;
  KelUnicodeString typeCondition;
  std::array<Lane, 2> lanes;  // children, parents
  HoldersMap holders;
};

Store& TheStore() {
  static Store store;
  return store;
}

Lane& LaneOf(KelLnkDirection d) { return TheStore().lanes[d == KelLnkDirection::kChildren ? 0 : 1]; }

bool Holds(const KelListValKelUnicodeString& list, const KelUnicodeString& name) {
  return std::find(list.begin(), list.end(), name) != list.end();
}

// Reads the owners or users, in `environment`, of the entities `ids`,
// storing an entry (empty when none) for each.
void ReadHolders(KelDMEntitySide side, KelDbConnection* connection, const KelUnicodeString& environment,
                 const std::vector<const KelDMEntityIds*>& ids) {
  Store& store = TheStore();
  std::vector<KelDbBinary> values;
  std::unordered_set<std::string_view> firstIds;
  for (const KelDMEntityIds* e : ids) {
    if (store.holders.find(HoldersProbe{side, environment, *e}) != store.holders.end()) continue;
    store.holders.emplace(HoldersKey{side, environment, *e}, std::vector<StoredEntityRow>());
    if (firstIds.insert(e->id1.Raw()).second) values.push_back(e->id1);
  }
  if (values.empty()) return;
  KelDMLinkRows::HoldersSet(connection, environment, side, values, [&](KelDMEntityRow&& row) {
    auto it = store.holders.find(HoldersProbe{side, environment, row.ids});
    if (it != store.holders.end()) it->second.emplace_back(row);
  });
}

// The objects of a level by (table, coid, compid) within one environment, and
// their distinct coids in order of first appearance.
struct Members {
  std::unordered_map<std::string, std::vector<const ObjectKey*>> byIdentity;
  std::vector<KelId> coids;

  void Add(const ObjectKey* o, const std::string& identity, std::unordered_set<std::string>& seen) {
    byIdentity[identity].push_back(o);
    if (seen.insert(IdBytes(o->coid)).second) coids.push_back(o->coid);
  }
  const std::vector<const ObjectKey*>* Find(const std::string& identity) const {
    auto it = byIdentity.find(identity);
    return it == byIdentity.end() ? nullptr : &it->second;
  }
};

std::string FullIdentity(const KelUnicodeString& table, const KelId& coid, const KelId& compid) {
  return table + '\x1f' + IdBytes(coid) + IdBytes(compid);
}
std::string IdsIdentity(const KelId& coid, const KelId& compid) { return IdBytes(coid) + IdBytes(compid); }

// Reads the rows of the objects of `level` in direction `d`, then, when
// `expand`, those of the objects they lead to, level after level, up to
// kMaxObjectsPerSet objects; the objects left over wait for the next set.
// Then reads the facts of every object reached.
void ReadSet(KelLnkDirection d, std::vector<ObjectKey> level, bool expand, bool readEntities,
             KelDbConnection* connection, const KelListValKelUnicodeString& relation,
             const KelListValKelUnicodeString& entityEnvironments) {
  Store& store = TheStore();
  Lane& lane = LaneOf(d);
  const bool children = d == KelLnkDirection::kChildren;
  std::vector<KelLnkDataManager::ObjectRef> reached;
  auto reach = [&](std::vector<ObjectKey>& leadsTo, ObjectKey o) {
    reached.push_back(o);
    leadsTo.push_back(std::move(o));
  };
  size_t total = 0;
  while (!level.empty()) {
    total += level.size();
    std::vector<ObjectKey> leadsTo;
    std::map<KelUnicodeString, std::vector<const ObjectKey*>> byEnvironment;
    for (const ObjectKey& o : level) {
      lane.near[o];
      byEnvironment[o.environment].push_back(&o);
    }

    // "$EXT": children from the rows their environment holds for them,
    // parents from the rows of every link environment that point to them.
    if (children) {
      for (const auto& [environment, objects] : byEnvironment) {
        if (!Holds(relation, environment)) continue;
        Members members;
        std::unordered_set<std::string> seen;
        for (const ObjectKey* o : objects) members.Add(o, FullIdentity(o->table, o->coid, o->compid), seen);
        KelDMLinkRows::ExtFromSet(connection, environment, store.typeCondition, members.coids, [&](KelDMExtRow&& row) {
          const auto* holders = members.Find(FullIdentity(row.fatherTable, row.coid, row.compidFather));
          if (!holders) return;
          const size_t dot = row.compname.find('.');
          if (dot != KelUnicodeString::npos)
            reach(leadsTo, ObjectKey{row.compname.substr(0, dot), KelLnkTools::RightTrim(row.compname.substr(dot + 1)),
                                     row.coidRef, row.compidRef});
          for (const ObjectKey* o : *holders) lane.near[*o].ext.emplace_back(row);
        });
      }
    } else {
      Members members;
      std::unordered_set<std::string> seen;
      for (const ObjectKey& o : level)
        if (Holds(relation, o.environment)) members.Add(&o, IdsIdentity(o.coid, o.compid), seen);
      if (!members.coids.empty()) {
        for (const KelUnicodeString& environment : relation) {
          KelDMLinkRows::ExtToSet(connection, environment, store.typeCondition, members.coids, [&](KelDMExtRow&& row) {
            const auto* pointed = members.Find(IdsIdentity(row.coidRef, row.compidRef));
            if (!pointed) return;
            reach(leadsTo, ObjectKey{environment, row.fatherTable, row.coid, row.compidFather});
            for (const ObjectKey* o : *pointed) lane.near[*o].ext.emplace_back(row);
          });
        }
      }
    }

    // The entity rows of the objects in their own environment, then the far
    // ends of those entities in every entity environment.
    if (readEntities) {
      for (const auto& [environment, objects] : byEnvironment) {
        Members members;
        std::unordered_set<std::string> seen;
        for (const ObjectKey* o : objects) members.Add(o, FullIdentity(o->table, o->coid, o->compid), seen);
        KelDMLinkRows::EntitiesOfSet(connection, environment, NearSide(d), members.coids, [&](KelDMEntityRow&& row) {
          const auto* owners = members.Find(FullIdentity(row.table, row.coid, row.compid));
          if (!owners) return;
          for (const ObjectKey* o : *owners) lane.near[*o].entities.emplace_back(row);
        });
      }
      std::vector<const KelDMEntityIds*> levelIds;
      for (const ObjectKey& o : level)
        for (const StoredEntityRow& row : lane.near[o].entities) levelIds.push_back(&row.ids);
      for (const KelUnicodeString& environment : entityEnvironments) {
        ReadHolders(FarSide(d), connection, environment, levelIds);
        for (const KelDMEntityIds* ids : levelIds)
          for (const StoredEntityRow& h : store.holders.find(HoldersProbe{FarSide(d), environment, *ids})->second)
            reach(leadsTo, ObjectKey{environment, KelLnkHybridManager::Names::Text(h.table), h.coid, h.compid});
      }
    }
    if (!expand) break;
    std::vector<ObjectKey> next;
    for (ObjectKey& o : leadsTo) {
      const PackedObjectKey packed = store.tables.Pack(o);
      if (lane.fetched.count(packed)) continue;
      if (total + next.size() >= kMaxObjectsPerSet) {
        lane.waiting.push_back(std::move(o));
        continue;
      }
      lane.fetched.insert(packed);
      next.push_back(std::move(o));
    }
    level = std::move(next);
  }
  KelLnkDataManager::ReadFacts(reached);
}

}  // namespace

void KelLnkHybridReadAhead::TakeRows(KelLnkDirection d, const Entity& e, bool readExt, bool readEntities,
                                     KelDbConnection* connection, const KelUnicodeString& typeCondition,
                                     const KelListValKelUnicodeString& relationEnvironments,
                                     const KelListValKelUnicodeString& entityEnvironments, KelLnkNearRows* rows) {
  rows->ext.clear();
  rows->entities.clear();
  Store& store = TheStore();
  if (store.connection != connection || store.typeCondition != typeCondition) {
    Forget();
    store.connection = connection;
    store.typeCondition = typeCondition;
  }
  Lane& lane = LaneOf(d);
  const ObjectKey key = KeyOf(e);
  if (lane.fetched.insert(store.tables.Pack(key)).second) {
    // The object asked for, the most recently reached waiting objects (a
    // depth-first walk asks for those next), and what they lead to.
    std::vector<ObjectKey> level{key};
    while (!lane.waiting.empty() && level.size() < kMaxObjectsPerSet / 2) {
      ObjectKey o = std::move(lane.waiting.back());
      lane.waiting.pop_back();
      if (lane.fetched.insert(store.tables.Pack(o)).second) level.push_back(std::move(o));
    }
    ReadSet(d, std::move(level), true, readEntities, connection, relationEnvironments, entityEnvironments);
  } else if (!lane.near.count(key)) {
    // Taken before: another entity of the same object (another product
    // instance) reads them again.
    ReadSet(d, {key}, false, readEntities, connection, relationEnvironments, entityEnvironments);
  }
  auto it = lane.near.find(key);
  if (it == lane.near.end()) return;
  if (readExt) rows->ext = RowsOf(it->second.ext);
  if (readEntities) rows->entities = RowsOf(it->second.entities);
  lane.near.erase(it);
}

std::vector<KelDMEntityRow> KelLnkHybridReadAhead::Holders(KelDMEntitySide side, KelDbConnection* connection,
                                                           const KelUnicodeString& environment,
                                                           const KelDMEntityIds& ids) {
  Store& store = TheStore();
  auto it = store.holders.find(HoldersProbe{side, environment, ids});
  if (it != store.holders.end()) return RowsOf(it->second);
  ReadHolders(side, connection, environment, {&ids});
  return RowsOf(store.holders.find(HoldersProbe{side, environment, ids})->second);
}

void KelLnkHybridReadAhead::Waiting(KelLnkDirection d, int index) {
  Lane& lane = LaneOf(d);
  ObjectKey key = KeyOf(*KelLnkHybridManager::GetEntity(index));
  if (!lane.fetched.count(TheStore().tables.Pack(key))) lane.waiting.push_back(std::move(key));
}

void KelLnkHybridReadAhead::Forget() {
  Store& store = TheStore();
  store = Store();
}
