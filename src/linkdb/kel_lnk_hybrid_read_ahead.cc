#include "linkdb/kel_lnk_hybrid_read_ahead.h"

#include <algorithm>
#include <map>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "foundation/kel_lnk_tools.h"
#include "host/db/host_sql.h"
#include "linkdb/kel_lnk_data_manager.h"

namespace {

using Entity = KelLnkHybridManager::Entity;

// Objects read in one set, at most (the one asked for, those waiting and
// those they lead to).
constexpr size_t kMaxObjectsPerSet = 4000;

// An object as the children queries name it.
struct Identity {
  KelUnicodeString environment;
  KelUnicodeString table;
  KelId coid;
  KelId compid;
};

std::string IdBytes(const KelId& id) { return std::string(reinterpret_cast<const char*>(id.Bytes().data()), 8); }

std::string KeyOf(const KelUnicodeString& environment, const KelUnicodeString& table, const KelId& coid,
                  const KelId& compid) {
  return environment + '\x1f' + table + '\x1f' + IdBytes(coid) + IdBytes(compid);
}
std::string KeyOf(const Identity& o) { return KeyOf(o.environment, o.table, o.coid, o.compid); }

// Rows are kept by object, not by cache index: the objects a set leads to
// have no entity yet when their own rows are read.
struct Store {
  KelDbConnection* connection = nullptr;
  KelUnicodeString typeCondition;
  std::unordered_set<std::string> fetched;  // objects whose rows were read, taken or not
  std::unordered_map<std::string, std::vector<KelLnkExtChildRow>> ext;
  std::unordered_map<std::string, std::vector<KelLnkEntityUseRow>> uses;
  std::unordered_map<std::string, std::vector<KelLnkEntityOwnerRow>> owners;  // by OwnerKey
  std::vector<Identity> waiting;
};

Store& TheStore() {
  static Store store;
  return store;
}

// An identifier as the object-wise reads decode it: the 8 bytes of a binary
// value, the zero identifier for anything else.
KelId IdOf(const KelDbValue& value) {
  const KelDbBinary b = value.AsBinary();
  return b.Size() == 8 ? b.AsId() : KelId::FromHexOrZero(b.Hex());
}

// The key of an entity's owners in one environment.
std::string OwnerKey(const KelUnicodeString& environment, const KelDbBinary& id1, const KelDbBinary& id2,
                     const KelDbBinary& key) {
  std::string k = environment;
  for (const KelDbBinary* b : {&id1, &id2, &key}) {
    k += '\x1f';
    k += std::to_string(b->Size());
    k += ':';
    k += b->Raw();
  }
  return k;
}

// Runs `head` + " IN (...)" for the values, in chunks, and hands each row to
// `take`. A chunk whose statement fails gives no row, as the object-wise
// read of a table that cannot be read gives none.
template <typename Take>
void SetRead(KelDbConnection* connection, const std::string& head, const std::vector<KelDbValue>& values, Take take) {
  for (size_t first = 0; first < values.size(); first += kHostSqlSetReadMax) {
    const size_t n = std::min(kHostSqlSetReadMax, values.size() - first);
    std::vector<KelDbValue> binds(values.begin() + first, values.begin() + first + n);
    const KelDbValue last = binds.back();
    binds.resize(HostSqlSetReadLength(n), last);
    KelDbResult result;
    if (connection->Execute(head + HostSqlMarkerList(binds.size()), binds, &result) != 0) continue;
    for (const auto& row : result.rows) take(row);
  }
}

// Reads the owners, in `environment`, of the entities named by `keys`
// (id1, id2, key), storing an entry (empty when none) for each.
void ReadOwners(KelDbConnection* connection, const KelUnicodeString& environment,
                const std::vector<const KelLnkEntityUseRow*>& uses) {
  Store& store = TheStore();
  std::vector<KelDbValue> values;
  std::unordered_set<std::string> firstIds;
  for (const KelLnkEntityUseRow* use : uses) {
    auto [it, inserted] =
        store.owners.emplace(OwnerKey(environment, use->id1, use->id2, use->key), std::vector<KelLnkEntityOwnerRow>());
    if (inserted && firstIds.insert(use->id1.Raw()).second) values.push_back(KelDbValue::Binary(use->id1));
  }
  if (values.empty()) return;
  const std::string head = "SELECT ENTITY_ID_1,ENTITY_ID_2,ENTITY_KEY,OBJECT_KELAB,OBJECT_COID,OBJECT_COMPID,TS FROM " +
                           QuoteHostTableName(environment, "MML_ENTITY") + " WHERE UBIT IS NULL AND ENTITY_ID_1 IN ";
  SetRead(connection, head, values, [&](const std::vector<KelDbValue>& row) {
    if (row.size() < 7) return;
    for (int c = 0; c < 3; ++c)
      if (row[c].Type() != KelDbType::kBinary) return;
    auto it = store.owners.find(OwnerKey(environment, row[0].AsBinary(), row[1].AsBinary(), row[2].AsBinary()));
    if (it == store.owners.end()) return;
    it->second.push_back(KelLnkEntityOwnerRow{row[3].AsText(), IdOf(row[4]), IdOf(row[5]), row[6].AsText()});
  });
}

// Reads the rows of the objects of `level`, then, when `expand`, those of the
// objects they lead to, level after level, up to kMaxObjectsPerSet objects;
// the objects left over wait for the next set. Then reads the facts of every
// object reached.
void ReadSet(std::vector<Identity> level, bool expand, bool readUses, KelDbConnection* connection,
             const KelListValKelUnicodeString& relation, const KelListValKelUnicodeString& owners) {
  Store& store = TheStore();
  std::vector<KelLnkDataManager::ObjectRef> reached;
  size_t total = 0;
  while (!level.empty()) {
    total += level.size();
    std::vector<Identity> leadsTo;
    std::map<KelUnicodeString, std::vector<const Identity*>> byEnvironment;
    for (const Identity& o : level) {
      const std::string key = KeyOf(o);
      store.ext[key];
      store.uses[key];
      byEnvironment[o.environment].push_back(&o);
    }
    std::vector<std::pair<const KelLnkEntityUseRow*, std::string>> newUses;
    for (const auto& [environment, members] : byEnvironment) {
      // The objects of the set by table and identifiers, to hand each row to its object.
      std::unordered_map<std::string, std::string> byIdentity;
      std::vector<KelDbValue> coids;
      std::unordered_set<std::string> seenCoids;
      for (const Identity* o : members) {
        byIdentity.emplace(o->table + '\x1f' + IdBytes(o->coid) + IdBytes(o->compid), KeyOf(*o));
        if (seenCoids.insert(IdBytes(o->coid)).second) coids.push_back(KelDbValue::Id(o->coid));
      }
      auto holder = [&](const KelDbValue& table, const KelDbValue& coid,
                        const KelDbValue& compid) -> const std::string* {
        // "=" on text: a NULL name matches nothing.
        if (table.IsNull() || coid.Type() != KelDbType::kBinary || compid.Type() != KelDbType::kBinary) return nullptr;
        auto it = byIdentity.find(table.AsText() + '\x1f' + coid.AsBinary().Raw() + compid.AsBinary().Raw());
        return it == byIdentity.end() ? nullptr : &it->second;
      };

      if (std::find(relation.begin(), relation.end(), environment) != relation.end()) {
        const std::string head =
            "SELECT $COMPNAME_FATHER,$COID,$COMPID_FATHER,$COMPID_REF,$COID_REF,$COMPNAME,C_MML_TS,$TYPE,KELMML_STATUS "
            "FROM " +
            QuoteHostTableName(environment, "$EXT") + " WHERE " + store.typeCondition + " AND $COID IN ";
        SetRead(connection, head, coids, [&](const std::vector<KelDbValue>& row) {
          if (row.size() < 9) return;
          const std::string* key = holder(row[0], row[1], row[2]);
          if (!key) return;
          KelLnkExtChildRow r{IdOf(row[4]),    IdOf(row[3]),    row[5].AsText(),
                              row[6].AsText(), row[7].AsText(), row[8].AsText()};
          const size_t dot = r.compname.find('.');
          if (dot != KelUnicodeString::npos) {
            Identity child{r.compname.substr(0, dot), KelLnkTools::RightTrim(r.compname.substr(dot + 1)), r.coidRef,
                           r.compidRef};
            reached.push_back(KelLnkDataManager::ObjectRef{child.environment, child.table, child.coid, child.compid});
            leadsTo.push_back(std::move(child));
          }
          store.ext[*key].push_back(std::move(r));
        });
      }
      if (readUses) {
        const std::string head =
            "SELECT OBJECT_KELAB,OBJECT_COID,OBJECT_COMPID,ENTITY_ID_1,ENTITY_ID_2,ENTITY_KEY,TS,TYPE,STATUS FROM " +
            QuoteHostTableName(environment, "MML_LINK") + " WHERE UBIT IS NULL AND OBJECT_COID IN ";
        SetRead(connection, head, coids, [&](const std::vector<KelDbValue>& row) {
          if (row.size() < 9) return;
          const std::string* key = holder(row[0], row[1], row[2]);
          if (!key) return;
          store.uses[*key].push_back(KelLnkEntityUseRow{row[3].AsBinary(), row[4].AsBinary(), row[5].AsBinary(),
                                                        row[6].AsText(), row[7].AsText(), row[8].AsText()});
        });
      }
    }
    if (readUses) {
      std::vector<const KelLnkEntityUseRow*> levelUses;
      for (const Identity& o : level)
        for (const KelLnkEntityUseRow& use : store.uses[KeyOf(o)]) levelUses.push_back(&use);
      for (const KelUnicodeString& environment : owners) {
        ReadOwners(connection, environment, levelUses);
        for (const KelLnkEntityUseRow* use : levelUses) {
          for (const KelLnkEntityOwnerRow& o : store.owners[OwnerKey(environment, use->id1, use->id2, use->key)]) {
            reached.push_back(KelLnkDataManager::ObjectRef{environment, o.table, o.coid, o.compid});
            leadsTo.push_back(Identity{environment, o.table, o.coid, o.compid});
          }
        }
      }
    }
    if (!expand) break;
    std::vector<Identity> next;
    for (Identity& o : leadsTo) {
      const std::string key = KeyOf(o);
      if (store.fetched.count(key)) continue;
      if (total + next.size() >= kMaxObjectsPerSet) {
        store.waiting.push_back(std::move(o));
        continue;
      }
      store.fetched.insert(key);
      next.push_back(std::move(o));
    }
    level = std::move(next);
  }
  KelLnkDataManager::ReadFacts(reached);
}

}  // namespace

void KelLnkHybridReadAhead::TakeChildRows(int, const Entity& e, bool readExt, bool readUses,
                                          KelDbConnection* connection, const KelUnicodeString& typeCondition,
                                          const KelListValKelUnicodeString& relationEnvironments,
                                          const KelListValKelUnicodeString& ownerEnvironments,
                                          std::vector<KelLnkExtChildRow>* ext, std::vector<KelLnkEntityUseRow>* uses) {
  ext->clear();
  uses->clear();
  Store& store = TheStore();
  if (store.connection != connection || store.typeCondition != typeCondition) {
    Forget();
    store.connection = connection;
    store.typeCondition = typeCondition;
  }
  const std::string key = KeyOf(e.caenv, e.kelab, e.coid, e.compid);
  if (store.fetched.insert(key).second) {
    // The object asked for, the most recently reached waiting objects (a
    // depth-first walk asks for those next), and what they lead to.
    std::vector<Identity> level{Identity{e.caenv, e.kelab, e.coid, e.compid}};
    while (!store.waiting.empty() && level.size() < kMaxObjectsPerSet / 2) {
      Identity o = std::move(store.waiting.back());
      store.waiting.pop_back();
      if (store.fetched.insert(KeyOf(o)).second) level.push_back(std::move(o));
    }
    ReadSet(std::move(level), true, readUses, connection, relationEnvironments, ownerEnvironments);
  } else if (!store.ext.count(key) && !store.uses.count(key)) {
    // Taken before: another entity of the same object (another product
    // instance) reads them again.
    ReadSet({Identity{e.caenv, e.kelab, e.coid, e.compid}}, false, readUses, connection, relationEnvironments,
            ownerEnvironments);
  }
  auto x = store.ext.find(key);
  if (x != store.ext.end()) {
    if (readExt) *ext = std::move(x->second);
    store.ext.erase(x);
  }
  auto u = store.uses.find(key);
  if (u != store.uses.end()) {
    if (readUses) *uses = std::move(u->second);
    store.uses.erase(u);
  }
}

const std::vector<KelLnkEntityOwnerRow>& KelLnkHybridReadAhead::Owners(KelDbConnection* connection,
                                                                       const KelUnicodeString& environment,
                                                                       const KelLnkEntityUseRow& use) {
  Store& store = TheStore();
  const std::string key = OwnerKey(environment, use.id1, use.id2, use.key);
  auto it = store.owners.find(key);
  if (it != store.owners.end()) return it->second;
  ReadOwners(connection, environment, {&use});
  return store.owners[key];
}

void KelLnkHybridReadAhead::Waiting(int index) {
  Store& store = TheStore();
  const Entity& e = *KelLnkHybridManager::GetEntity(index);
  if (!store.fetched.count(KeyOf(e.caenv, e.kelab, e.coid, e.compid)))
    store.waiting.push_back(Identity{e.caenv, e.kelab, e.coid, e.compid});
}

void KelLnkHybridReadAhead::Forget() {
  Store& store = TheStore();
  store = Store();
}
