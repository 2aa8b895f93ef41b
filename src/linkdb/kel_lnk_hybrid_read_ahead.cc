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

// Objects read in one set, at most (the one asked for and those waiting).
constexpr size_t kMaxObjectsPerSet = 4000;

struct Store {
  KelDbConnection* connection = nullptr;
  KelUnicodeString typeCondition;
  std::unordered_set<int> fetched;  // entities whose rows were read, taken or not
  std::unordered_map<int, std::vector<KelLnkExtChildRow>> ext;
  std::unordered_map<int, std::vector<KelLnkEntityUseRow>> uses;
  std::unordered_map<std::string, std::vector<KelLnkEntityOwnerRow>> owners;  // by OwnerKey
  std::vector<int> waiting;
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

std::string IdBytes(const KelId& id) { return std::string(reinterpret_cast<const char*>(id.Bytes().data()), 8); }

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

void ReadSet(int index, bool readUses, KelDbConnection* connection, const KelListValKelUnicodeString& relation,
             const KelListValKelUnicodeString& owners) {
  Store& store = TheStore();
  // The object asked for, then the most recently reached waiting objects:
  // a depth-first walk asks for those next.
  std::vector<int> set{index};
  store.fetched.insert(index);
  while (!store.waiting.empty() && set.size() < kMaxObjectsPerSet) {
    const int next = store.waiting.back();
    store.waiting.pop_back();
    if (next >= 0 && next < KelLnkHybridManager::GetNbEntities() && store.fetched.insert(next).second)
      set.push_back(next);
  }
  std::map<KelUnicodeString, std::vector<int>> byEnvironment;
  for (int i : set) {
    store.ext[i];
    store.uses[i];
    byEnvironment[KelLnkHybridManager::GetEntity(i)->caenv].push_back(i);
  }

  std::vector<KelLnkDataManager::ObjectRef> reached;
  std::vector<const KelLnkEntityUseRow*> newUses;
  for (const auto& [environment, members] : byEnvironment) {
    // Objects of the set by identity, to hand each row to its objects (two
    // entities differ by their product instance alone in a product
    // structure: both get the rows).
    std::unordered_map<std::string, std::vector<int>> byIdentity;
    std::vector<KelDbValue> coids;
    std::unordered_set<std::string> seenCoids;
    for (int i : members) {
      const Entity& e = *KelLnkHybridManager::GetEntity(i);
      byIdentity[e.kelab + '\x1f' + IdBytes(e.coid) + IdBytes(e.compid)].push_back(i);
      if (seenCoids.insert(IdBytes(e.coid)).second) coids.push_back(KelDbValue::Id(e.coid));
    }
    static const std::vector<int> kNone;
    auto holders = [&](const KelDbValue& kelab, const KelDbValue& coid,
                       const KelDbValue& compid) -> const std::vector<int>& {
      // "=" on text: a NULL name matches nothing.
      if (kelab.IsNull() || coid.Type() != KelDbType::kBinary || compid.Type() != KelDbType::kBinary) return kNone;
      auto it = byIdentity.find(kelab.AsText() + '\x1f' + coid.AsBinary().Raw() + compid.AsBinary().Raw());
      return it == byIdentity.end() ? kNone : it->second;
    };

    if (std::find(relation.begin(), relation.end(), environment) != relation.end()) {
      const std::string head =
          "SELECT $COMPNAME_FATHER,$COID,$COMPID_FATHER,$COMPID_REF,$COID_REF,$COMPNAME,C_MML_TS,$TYPE,KELMML_STATUS "
          "FROM " +
          QuoteHostTableName(environment, "$EXT") + " WHERE " + store.typeCondition + " AND $COID IN ";
      SetRead(connection, head, coids, [&](const std::vector<KelDbValue>& row) {
        if (row.size() < 9) return;
        const std::vector<int>& to = holders(row[0], row[1], row[2]);
        if (to.empty()) return;
        KelLnkExtChildRow r{IdOf(row[4]),    IdOf(row[3]),    row[5].AsText(),
                            row[6].AsText(), row[7].AsText(), row[8].AsText()};
        const size_t dot = r.compname.find('.');
        if (dot != KelUnicodeString::npos)
          reached.push_back(KelLnkDataManager::ObjectRef{
              r.compname.substr(0, dot), KelLnkTools::RightTrim(r.compname.substr(dot + 1)), r.coidRef, r.compidRef});
        for (int i : to) store.ext[i].push_back(r);
      });
    }
    if (readUses) {
      const std::string head =
          "SELECT OBJECT_KELAB,OBJECT_COID,OBJECT_COMPID,ENTITY_ID_1,ENTITY_ID_2,ENTITY_KEY,TS,TYPE,STATUS FROM " +
          QuoteHostTableName(environment, "MML_LINK") + " WHERE UBIT IS NULL AND OBJECT_COID IN ";
      SetRead(connection, head, coids, [&](const std::vector<KelDbValue>& row) {
        if (row.size() < 9) return;
        for (int i : holders(row[0], row[1], row[2]))
          store.uses[i].push_back(KelLnkEntityUseRow{row[3].AsBinary(), row[4].AsBinary(), row[5].AsBinary(),
                                                     row[6].AsText(), row[7].AsText(), row[8].AsText()});
      });
    }
  }
  if (readUses) {
    for (int i : set)
      for (const KelLnkEntityUseRow& use : store.uses[i]) newUses.push_back(&use);
    for (const KelUnicodeString& environment : owners) {
      ReadOwners(connection, environment, newUses);
      for (const KelLnkEntityUseRow* use : newUses) {
        for (const KelLnkEntityOwnerRow& o : store.owners[OwnerKey(environment, use->id1, use->id2, use->key)])
          reached.push_back(KelLnkDataManager::ObjectRef{environment, o.table, o.coid, o.compid});
      }
    }
  }
  KelLnkDataManager::ReadFacts(reached);
}

}  // namespace

void KelLnkHybridReadAhead::TakeChildRows(int index, const Entity&, bool readExt, bool readUses,
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
  if (!store.fetched.count(index)) ReadSet(index, readUses, connection, relationEnvironments, ownerEnvironments);
  auto e = store.ext.find(index);
  if (e != store.ext.end()) {
    if (readExt) *ext = std::move(e->second);
    store.ext.erase(e);
  }
  auto u = store.uses.find(index);
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
  if (!store.fetched.count(index)) store.waiting.push_back(index);
}

void KelLnkHybridReadAhead::Forget() {
  Store& store = TheStore();
  store = Store();
}
