#include "linkdb/kel_lnk_data_manager.h"
#include "base/kel_object_key.h"
#include "base/kel_short_text.h"
#include "base/kel_text.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "base/kel_position_index.h"
#include "base/mml_constants.h"
#include "foundation/mml_sql.h"
#include "host/db/host_sql.h"
#include "host/kel_dm_link_rows.h"
#include "host/kel_dm_select.h"
#include "host/kel_dm_session.h"
#include "host/kel_psn_trace.h"
#include "host/profile/kel_psn_profile.h"
#include "linkdb/kel_lnk_packed_timestamp.h"
#include "linkdb/kel_lnk_whole_table.h"

namespace {

// The product-structure profile that declares the identification fields.
const char kIdentificationProfile[] = "$MML_GRAPH_NAVIG";
// Separator of the display name.
const char kNameSeparator[] = " ** ";

// The facts few objects are asked for (locks, identification values, latest
// revision) and the free attributes: kept apart, so that the entry of every
// object reached by a walk stays small.
struct RareFacts {
  uint8_t lockKnown = 0;
  uint8_t identificatorsKnown = 0;
  uint8_t latestKnown = 0;
  uint8_t isLatest = 0;
  KelListValKelUnicodeString lock;
  KelListValKelUnicodeString identificators;  // stripped, not cut
  KelUnicodeString latestEnvironment;
  KelUnicodeString latestTable;
  KelId latestCoid;
  KelId latestCompid;
  KelListValKelUnicodeString attributeNames;
  KelListValKelUnicodeString attributeValues;
};

// One object of the cache (sObjectC): its (environment, table) pair as a
// number of sTableNames, and its identifiers.
struct ObjectEntry {
  PackedObjectKey key;
  uint8_t existenceKnown = 0;
  uint8_t exists = 0;
  uint8_t nameKnown = 0;
  uint8_t timestampKnown = 0;
  KelShortText name;                // inline unless long, as few are
  KelLnkPackedTimestamp timestamp;  // normalised
  std::unique_ptr<RareFacts> rare;  // null until one of its facts is asked for

  RareFacts& Rare() {
    if (!rare) rare = std::make_unique<RareFacts>();
    return *rare;
  }
  // Whether the timestamp and the name a row gives are known.
  bool HasRowFacts() const { return timestampKnown && nameKnown; }
  // Sets the facts still missing from the object's row (null: the table
  // holds no row for it).
  void FillFromRow(const KelLnkPackedTimestamp* rowTimestamp, std::string_view rowName) {
    if (!timestampKnown) {
      timestamp = rowTimestamp ? *rowTimestamp : KelLnkPackedTimestamp(std::string_view());
      timestampKnown = 1;
      existenceKnown = 1;
      exists = rowTimestamp ? 1 : 0;
    }
    if (!nameKnown) {
      name = rowName;
      nameKnown = 1;
    }
  }
  // Forgets every fact read from the database; the attributes stay.
  void ForgetFacts() {
    existenceKnown = exists = nameKnown = timestampKnown = 0;
    name = std::string_view();
    timestamp = std::string_view();
    if (!rare) return;
    auto kept = std::make_unique<RareFacts>();
    kept->attributeNames = std::move(rare->attributeNames);
    kept->attributeValues = std::move(rare->attributeValues);
    rare = std::move(kept);
  }
};

// One table of the table cache (sTableC).
struct TableEntry {
  KelUnicodeString environment;
  KelUnicodeString table;
  KelListValKelUnicodeString fields;
};

struct TableKeyHash {
  size_t operator()(const std::pair<KelUnicodeString, KelUnicodeString>& k) const {
    return std::hash<std::string>()(k.first) * 1000003u ^ std::hash<std::string>()(k.second);
  }
};

// The (environment, table) pairs of the cache's entries, numbered from 0.
KelTableNumbers sTableNames;
// How many pairs sTableNames numbered, and the number found last: a walk
// goes back and forth between a few tables, and comparing a few names costs
// less than hashing two.
uint32_t sTableCount = 0;
uint32_t sLastTable = KelTableNumbers::kNone;
constexpr uint32_t kScannedTables = 16;

// The number of the pair: a new one when `add`, else kNone for a pair not met.
uint32_t NumberOfPair(const KelUnicodeString& environment, const KelUnicodeString& table, bool add) {
  auto is = [&](uint32_t number) {
    const auto& names = sTableNames.Names(number);
    return names.second == table && names.first == environment;
  };
  if (sLastTable != KelTableNumbers::kNone && is(sLastTable)) return sLastTable;
  if (sTableCount <= kScannedTables) {
    for (uint32_t number = 0; number < sTableCount; ++number) {
      if (is(number)) return sLastTable = number;
    }
    if (!add) return KelTableNumbers::kNone;
  }
  const uint32_t number = sTableNames.Number(environment, table, add);
  if (number == KelTableNumbers::kNone) return number;
  if (number == sTableCount) ++sTableCount;
  return sLastTable = number;
}

// A deque: the cache grows without moving its entries.
// Counts the clearings of the cache: entry indices handed out under another
// count are void.
uint64_t sGeneration = 0;
std::deque<ObjectEntry> spObject;
// Positions in spObject found by key (the entry's own).
struct EntryTraits {
  static size_t HashOf(int position);
  static size_t Hash(const PackedObjectKey& key) { return PackedObjectKeyHash()(key); }
  static bool Equal(int position, const PackedObjectKey& key);
};
KelPositionIndex<EntryTraits> sObjectIndex;
std::vector<TableEntry> spTable;
std::unordered_map<std::pair<KelUnicodeString, KelUnicodeString>, int, TableKeyHash> sTableIndex;

// A table whose objects' facts are read in one pass, once a walk has asked
// for a large share of it (kel_lnk_whole_table.h). The pass gives every
// object of the table its entry, under the table's name without trailing
// blanks, and the facts it lacks: an entry of the table still without them
// afterwards is an object the table does not hold. Any forgetting of facts
// forgets the passes, so that a forgotten entry is read again.
struct FactsPass {
  KelLnkTableDemand demand;
  uint32_t number = KelTableNumbers::kNone;  // of the table's name without blanks, once read
};
std::map<std::pair<KelUnicodeString, KelUnicodeString>, FactsPass> sFactsPass;
// By number of sTableNames: 1 for the name of a table read in a pass. Its
// entries have their facts from the pass; one made afterwards is an object
// the table does not hold, known as such at once.
std::vector<uint8_t> sReadWhole;

bool IsReadWhole(uint32_t number) { return number < sReadWhole.size() && sReadWhole[number] != 0; }
bool IsReadWhole(const FactsPass& pass) { return IsReadWhole(pass.number); }

// Forgets the passes: entries are read again as they are asked for.
void ForgetPasses() {
  sFactsPass.clear();
  sReadWhole.clear();
}

size_t EntryTraits::HashOf(int position) { return Hash(spObject[static_cast<size_t>(position)].key); }
bool EntryTraits::Equal(int position, const PackedObjectKey& key) {
  const PackedObjectKey& k = spObject[static_cast<size_t>(position)].key;
  return k.coid == key.coid && k.compid == key.compid && k.table == key.table;
}

KelListValKelDMInstance _sStructure;
std::unordered_set<std::string> sStructureKeys;

// The full key of entry `index`.
ObjectKey KeyAt(int index) {
  const PackedObjectKey& k = spObject[static_cast<size_t>(index)].key;
  const auto& [environment, table] = sTableNames.Names(k.table);
  return ObjectKey{environment, table, k.coid, k.compid};
}

// A column name that may be written into statement text as it is.
bool IsPlainColumnName(const std::string& name) {
  if (name.empty()) return false;
  for (unsigned char c : name) {
    if (!std::isalnum(c) && c != '_' && c != '$' && c != '#') return false;
  }
  return true;
}

// Whether the table, blanks ignored, is the entity table.
bool IsEntityTable(std::string_view table) {
  size_t k = 0;
  for (char c : table) {
    if (c == ' ') continue;
    if (k == kMmlMmlEntity.size() || c != kMmlMmlEntity[k]) return false;
    ++k;
  }
  return k == kMmlMmlEntity.size();
}

// As the host names an instance: C_ID and C_REVISION joined, trailing blanks
// dropped; into `out`, whose storage is reused.
void JoinName(std::string_view id, std::string_view revision, std::string& out) {
  out.assign(RightTrimmedBlanks(id));
  out.append(kNameSeparator);
  out.append(RightTrimmedBlanks(revision));
}

// NormaliseTimestamp into `out`, whose storage is reused.
void ZeroFraction(std::string_view text, std::string& out) {
  out.assign(text);
  ZeroTimestampFractionOf(out);
}

// The facts of an object that its row's date, C_ID and C_REVISION columns
// give: the normalised date, and the name ("(?)" when C_ID is NULL).
struct RowFacts {
  KelLnkPackedTimestamp timestamp;
  std::string name;  // its storage reused from row to row

  // `text` is scratch storage, reused.
  void Read(std::string_view lastmod, bool unnamed, std::string_view id, std::string_view revision, std::string& text) {
    ZeroFraction(lastmod, text);
    timestamp = text;
    if (unnamed)
      name = kMmlUnknownName;
    else
      JoinName(id, revision, name);
  }
  // Sets the facts the entry still misses.
  void Fill(ObjectEntry& entry) const { entry.FillFromRow(&timestamp, name); }
};

// "$COID=X'..' AND $COMPID=X'..'", or the entity columns for "MML_ENTITY".
KelUnicodeString IdentityCondition(const ObjectKey& key) {
  if (IsEntityTable(key.table)) {
    return MmlSqlIdentityCondition(kMmlColObjectCoid, key.coid, kMmlColObjectCompid, key.compid);
  }
  return MmlSqlIdentityCondition(kMmlColCoid, key.coid, kMmlColCompid, key.compid);
}

// "SELECT " columns " FROM $VS_" env "." table " WHERE " identity ";"
KelUnicodeString ObjectStatement(const KelUnicodeString& columns, const ObjectKey& key) {
  return MmlSqlSelectFrom(columns, key.environment, RightTrimBlanks(key.table)) + kMmlSqlWhere +
         IdentityCondition(key) + kMmlSqlEnd;
}

// The index of the entry, created when absent.
int Entry(const KelUnicodeString& environment, const KelUnicodeString& table, const KelId& coid, const KelId& compid) {
  return KelLnkDataManager::LocateObject(environment, table, coid, compid, 1);
}

// The index of the entry of a numbered pair's object; when absent, a new
// entry when `create`, else -1.
int EntryOfNumber(uint32_t number, const KelId& coid, const KelId& compid, bool create) {
  const PackedObjectKey key{number, coid, compid};
  const int found = sObjectIndex.Find(key);
  if (found >= 0 || !create) return found;
  const int index = static_cast<int>(spObject.size());
  ObjectEntry& entry = spObject.emplace_back();
  entry.key = key;
  if (IsReadWhole(number)) entry.FillFromRow(nullptr, kMmlUnknownName);
  sObjectIndex.Insert(index);
  return index;
}

ObjectEntry& At(int index) { return spObject[static_cast<size_t>(index)]; }

void CacheExistence(int index) {
  if (At(index).existenceKnown) return;
  KelPSNTrace trace("KelLnkDataManager::DoesObjectExist", 17, 0);
  const KelUnicodeString statement = ObjectStatement(kMmlSqlStar, KeyAt(index));
  int rc = 0;
  KelDMSelect select(statement, rc);
  int exists = (rc == 0 && select.GetSelectCount() > 0) ? 1 : 0;
  ObjectEntry& entry = At(index);
  entry.existenceKnown = 1;
  entry.exists = exists;
  if (trace.LevelIsActive()) {
    trace.Write("SQL: \"" + statement + "\"");
    trace.Write(std::string("return ") + (exists ? "YES" : "NO"));
  }
}

void CacheTimestamp(int index) {
  if (At(index).timestampKnown) return;
  KelPSNTrace trace("KelLnkDataManager::GetObjectTimestamp", 17, 0);
  const ObjectKey key = KeyAt(index);
  // Entities keep their date in "TS".
  const KelUnicodeString column = IsEntityTable(key.table) ? kMmlColTs : kMmlColLastmod;
  const KelUnicodeString statement = ObjectStatement(column, key);
  int rc = 0;
  KelDMSelect select(statement, rc);
  ObjectEntry& entry = At(index);
  bool found = rc == 0 && select.GetSelectCount() > 0;
  if (found) {
    KelDMListResultLine line;
    select.GetSelectResult(line);
    entry.timestamp = KelLnkDataManager::NormaliseTimestamp(line.Value(1, 1));
  } else {
    entry.timestamp = std::string_view();
  }
  entry.timestampKnown = 1;
  entry.existenceKnown = 1;
  entry.exists = found ? 1 : 0;
  if (trace.LevelIsActive()) {
    trace.Write("SQL: \"" + statement + "\"");
    trace.Write("return \"" + entry.timestamp.str() + "\"");
  }
}

void CacheName(int index) {
  if (At(index).nameKnown) return;
  const ObjectKey key = KeyAt(index);
  KelDMInstance instance(kMmlKelcon, key.environment, key.table, key.coid, key.compid);
  KelUnicodeString name = instance.GetNameInstance(0, 1, kNameSeparator, "$BOM_NAVIG");
  ObjectEntry& entry = At(index);
  entry.name = name.empty() ? std::string_view(kMmlUnknownName) : std::string_view(name);
  entry.nameKnown = 1;
}

void CacheLock(int index) {
  if (At(index).rare && At(index).rare->lockKnown) return;
  KelPSNTrace trace("KelLnkDataManager::GetObjectLockS", 17, 0);
  const ObjectKey key = KeyAt(index);
  KelDMInstance instance(kMmlKelcon, key.environment, key.table, key.coid, key.compid);
  std::vector<KelDMLock> locks;
  int rc = instance.GetLocks(locks);
  KelListValKelUnicodeString lines;
  if (rc == 0) {
    for (const KelDMLock& lock : locks) lines.push_back("LOCK " + lock.lockType + kMmlBlank + lock.responsible);
  } else if (trace.LevelIsActive()) {
    trace.Write("locks cannot be read, error " + std::to_string(rc));
  }
  if (lines.empty()) lines.push_back("NO LOCK");
  RareFacts& entry = At(index).Rare();
  entry.lock = std::move(lines);
  entry.lockKnown = 1;
}

void CacheIdentificators(int index) {
  if (At(index).rare && At(index).rare->identificatorsKnown) return;
  KelPSNTrace trace("KelLnkDataManager::GetObjectIdentificators", 17, 0);
  const ObjectKey key = KeyAt(index);
  KelListValKelUnicodeString fields = KelLnkDataManager::GetIdentificatorFields(key.environment, key.table);
  KelListValKelUnicodeString values;
  bool usable = !fields.empty();
  for (const auto& field : fields) usable = usable && IsPlainColumnName(field);
  if (usable) {
    // A row comes back only when the object exists: no separate existence query.
    const KelUnicodeString statement = ObjectStatement(MmlSqlColumnList(fields), key);
    int rc = 0;
    KelDMSelect select(statement, rc);
    if (trace.LevelIsActive()) trace.Write("SQL: \"" + statement + "\" return " + std::to_string(rc));
    if (rc == 0 && !At(index).existenceKnown) {
      At(index).existenceKnown = 1;
      At(index).exists = select.GetSelectCount() > 0 ? 1 : 0;
    }
    if (rc == 0 && select.GetSelectCount() > 0) {
      KelDMListResultLine line;
      select.GetSelectResult(line);
      for (int c = 1; c <= static_cast<int>(fields.size()); ++c) values.push_back(StripBlanks(line.Value(1, c)));
    }
  } else if (!fields.empty() && trace.LevelIsActive()) {
    trace.Write("no identification values");
  }
  if (values.empty()) values.push_back(kMmlUnknownName);
  RareFacts& entry = At(index).Rare();
  entry.identificators = std::move(values);
  entry.identificatorsKnown = 1;
}

// CacheLatest.
void CacheLatest(int index) {
  if (At(index).rare && At(index).rare->latestKnown) return;
  KelPSNTrace trace("KelLnkDataManager::CacheLatest", 17, 0);
  CacheExistence(index);
  const ObjectKey key = KeyAt(index);
  int isLatest = 1;
  KelDMInstance latest;
  if (At(index).exists) {
    KelDMInstance instance(kMmlKelcon, key.environment, key.table, key.coid, key.compid);
    int rc = instance.GetLastRevision(latest);
    if (rc != 0) {
      if (trace.LevelIsActive()) trace.Write("last revision cannot be read, error " + std::to_string(rc));
    } else if (!(latest == instance)) {
      isLatest = 0;
    }
  }
  RareFacts& entry = At(index).Rare();
  entry.latestKnown = 1;
  entry.isLatest = isLatest;
  if (isLatest) {
    entry.latestEnvironment = key.environment;
    entry.latestTable = key.table;
    entry.latestCoid = key.coid;
    entry.latestCompid = key.compid;
  } else {
    entry.latestEnvironment = latest.GetEnvironment();
    entry.latestTable = latest.GetTable();
    entry.latestCoid = latest.Coid();
    entry.latestCompid = latest.Compid();
  }
}

// The entry of the object, with the fact that `cache` reads made known.
ObjectEntry& Known(const KelUnicodeString& environment, const KelUnicodeString& table, const KelId& coid,
                   const KelId& compid, void (*cache)(int)) {
  const int index = Entry(environment, table, coid, compid);
  cache(index);
  return At(index);
}

std::string StructureKey(const KelDMInstance& instance) {
  return instance.GetEnvironment() + '\n' + RightTrimBlanks(instance.GetTable()) + '\n' + instance.GetXCoid() +
         instance.GetXCompid();
}

}  // namespace

// ---- Cache entries ----

int KelLnkDataManager::LocateObject(const KelUnicodeString& environment, const KelUnicodeString& table,
                                    const KelId& coid, const KelId& compid, int create) {
  const uint32_t number = NumberOfPair(environment, table, create != 0);
  if (number == KelTableNumbers::kNone) return -1;
  return EntryOfNumber(number, coid, compid, create != 0);
}

void KelLnkDataManager::PrefetchAt(int entry) {
  if (entry >= 0) __builtin_prefetch(&At(entry));
}

void KelLnkDataManager::PrefetchObject(const KelUnicodeString& environment, const KelUnicodeString& table,
                                       const KelId& coid, const KelId& compid) {
  const uint32_t number = NumberOfPair(environment, table, false);
  if (number != KelTableNumbers::kNone) sObjectIndex.Prefetch(EntryTraits::Hash(PackedObjectKey{number, coid, compid}));
}

int KelLnkDataManager::LocateObject(const KelUnicodeString& environment, const KelUnicodeString& table, double coid,
                                    double compid, int create) {
  return LocateObject(environment, table, KelId::FromDouble(coid), KelId::FromDouble(compid), create);
}

int KelLnkDataManager::LocateObject(const KelDMInstance& instance, int create) {
  return LocateObject(instance.GetEnvironment(), instance.GetTable(), instance.Coid(), instance.Compid(), create);
}

int KelLnkDataManager::ObjectCount() { return static_cast<int>(spObject.size()); }

uint64_t KelLnkDataManager::Generation() { return sGeneration; }

void KelLnkDataManager::AssignObjectTimestampAt(int entry, std::string& text) {
  CacheTimestamp(entry);
  At(entry).timestamp.AssignTo(text);
}

std::string_view KelLnkDataManager::GetObjectNameAt(int entry) {
  CacheName(entry);
  return At(entry).name.view();
}

// ---- Facts ----

int KelLnkDataManager::DoesObjectExist(const KelUnicodeString& environment, const KelUnicodeString& table,
                                       const KelId& coid, const KelId& compid) {
  return Known(environment, table, coid, compid, CacheExistence).exists;
}

int KelLnkDataManager::DoesObjectExist(const KelUnicodeString& environment, const KelUnicodeString& table, double coid,
                                       double compid) {
  return DoesObjectExist(environment, table, KelId::FromDouble(coid), KelId::FromDouble(compid));
}

KelUnicodeString KelLnkDataManager::GetObjectTimestamp(const KelUnicodeString& environment,
                                                       const KelUnicodeString& table, const KelId& coid,
                                                       const KelId& compid) {
  return Known(environment, table, coid, compid, CacheTimestamp).timestamp.str();
}

KelUnicodeString KelLnkDataManager::GetObjectTimestamp(const KelUnicodeString& environment,
                                                       const KelUnicodeString& table, double coid, double compid) {
  return GetObjectTimestamp(environment, table, KelId::FromDouble(coid), KelId::FromDouble(compid));
}

void KelLnkDataManager::ReadFacts(const std::vector<ObjectRef>& objects, size_t walked) {
  if (KelDMSession::Main() == nullptr) return;
  // Objects come in runs of one table: its number is looked up once a run.
  std::vector<PackedObjectKey> keys;
  keys.reserve(objects.size());
  const ObjectRef* run = nullptr;
  uint32_t number = KelTableNumbers::kNone;
  bool entityTable = false;
  for (const ObjectRef& key : objects) {
    if (!run || key.environment != run->environment || key.table != run->table) {
      run = &key;
      number = NumberOfPair(key.environment, key.table, true);
      entityTable = IsEntityTable(key.table);
    }
    // A table read whole gave its objects their facts, and gives those of
    // objects it does not hold as their entries are made.
    if (!entityTable && !IsReadWhole(number)) keys.push_back(PackedObjectKey{number, key.coid, key.compid});
  }
  // The index's slots are asked for a few objects ahead: their memory reads
  // overlap.
  std::vector<int> entries(keys.size());
  for (size_t k = 0; k < keys.size(); ++k) {
    sObjectIndex.PrefetchAhead(k, keys.size(), [&](size_t j) -> const PackedObjectKey& { return keys[j]; });
    entries[k] = EntryOfNumber(keys[k].table, keys[k].coid, keys[k].compid, true);
  }
  ReadFactsAt(entries, walked);
}

void KelLnkDataManager::ReadFactsAt(const std::vector<int>& entries, size_t walked) {
  KelDbConnection* connection = KelDMSession::Main();
  if (connection == nullptr) return;
  // The entries still missing a fact, per table; each table's group is
  // looked up once (null for the entity table).
  std::map<std::pair<KelUnicodeString, KelUnicodeString>, std::vector<int>> byTable;
  std::vector<std::vector<int>*> groupOf;
  std::vector<uint8_t> groupKnown;
  for (int index : entries) {
    if (At(index).HasRowFacts()) continue;
    const uint32_t number = At(index).key.table;
    if (number >= groupOf.size()) {
      groupOf.resize(number + 1, nullptr);
      groupKnown.resize(number + 1, 0);
    }
    if (!groupKnown[number]) {
      groupKnown[number] = 1;
      const auto& [environment, table] = sTableNames.Names(number);
      groupOf[number] = IsEntityTable(table) ? nullptr : &byTable[{environment, RightTrimBlanks(table)}];
    }
    if (groupOf[number]) groupOf[number]->push_back(index);
  }
  std::string timestampText;  // reused for every row
  for (auto& tableIndices : byTable) {
    // Named, not bound: the lambdas below capture them.
    const auto& table = tableIndices.first;
    auto& indices = tableIndices.second;
    if (indices.empty()) continue;
    std::sort(indices.begin(), indices.end());
    indices.erase(std::unique(indices.begin(), indices.end()), indices.end());
    const KelUnicodeString select = MmlSqlSelectFrom(
        kMmlColCoid + "," + kMmlColCompid + "," + kMmlColLastmod + ",C_ID,C_REVISION", table.first, table.second);
    FactsPass& pass = sFactsPass[table];
    if (!IsReadWhole(pass) && pass.demand.Ask(indices.size(), walked, [&] {
          return KelDMLinkRows::RowCount(connection, table.first, table.second);
        })) {
      const uint32_t number = NumberOfPair(table.first, table.second, true);
      // The rows were counted: the index grows no copy of itself as the
      // table's entries are added.
      if (pass.demand.rows > 0) sObjectIndex.Reserve(spObject.size() + static_cast<size_t>(pass.demand.rows));
      // An identifier column's first 8 bytes (KelDbBinary::AsId).
      auto idAt = [](const KelDbRow& row, int c) {
        const std::string_view bytes = row.Bytes(c);
        return bytes.size() == 8 ? KelId::FromBytes(bytes.data()) : KelDbBinary(bytes.data(), bytes.size()).AsId();
      };
      // Each row's entry is found a few rows after it was read, its index
      // slot asked for as it was read: the index is probed in no order, and
      // the probes of several rows overlap this way. The rows keep their order.
      struct PendingRow {
        PackedObjectKey key;
        RowFacts facts;
      };
      std::array<PendingRow, kPrefetchAhead> pending;
      size_t read = 0;
      auto take = [&](const PendingRow& r) {
        ObjectEntry& entry = At(EntryOfNumber(number, r.key.coid, r.key.compid, true));
        // Known already, or from an earlier row of the same object: the
        // first row of an object holds.
        if (!entry.HasRowFacts()) r.facts.Fill(entry);
      };
      const int rc = connection->ExecuteRows(select, {}, [&](const KelDbRow& row) {
        if (row.Size() < 5 || row.Type(0) != KelDbType::kBinary || row.Type(1) != KelDbType::kBinary) return;
        PendingRow& r = pending[read++ % pending.size()];
        if (read > pending.size()) take(r);
        r.key = PackedObjectKey{number, idAt(row, 0), idAt(row, 1)};
        r.facts.Read(row.Text(2), row.IsNull(3), row.Text(3), row.Text(4), timestampText);
        sObjectIndex.Prefetch(EntryTraits::Hash(r.key));
      });
      for (size_t k = read > pending.size() ? read - pending.size() : 0; k < read; ++k)
        take(pending[k % pending.size()]);
      if (rc != 0) {
        pass.demand.failed = true;
      } else {
        pass.number = number;
        if (number >= sReadWhole.size()) sReadWhole.resize(number + 1, 0);
        sReadWhole[number] = 1;
      }
    }
    if (IsReadWhole(pass)) {
      for (const int index : indices) {
        ObjectEntry& entry = At(index);
        if (entry.HasRowFacts()) continue;
        // Under another spelling of the table's name (trailing blanks), the
        // object has the facts of its entry under the pass's; an entry
        // still without facts is an object the table does not hold.
        const int same =
            entry.key.table == pass.number ? -1 : EntryOfNumber(pass.number, entry.key.coid, entry.key.compid, false);
        const ObjectEntry* known = same >= 0 && At(same).HasRowFacts() ? &At(same) : nullptr;
        if (known) {
          entry.FillFromRow(known->exists ? &known->timestamp : nullptr, known->name.view());
        } else {
          entry.FillFromRow(nullptr, kMmlUnknownName);
        }
      }
      continue;
    }
    const KelUnicodeString head = select + kMmlSqlWhere + kMmlColCoid + " IN ";
    RowFacts facts;
    for (size_t first = 0; first < indices.size(); first += kHostSqlSetReadMax) {
      const size_t n = std::min(kHostSqlSetReadMax, indices.size() - first);
      std::vector<KelDbValue> binds;
      binds.reserve(HostSqlSetReadLength(n));
      for (size_t k = 0; k < n; ++k) binds.push_back(KelDbValue::Id(At(indices[first + k]).key.coid));
      while (binds.size() < HostSqlSetReadLength(n)) binds.push_back(binds.back());
      KelDbResult result;
      // A table that cannot be read this way is left to the object-wise reads.
      if (connection->Execute(head + HostSqlMarkerList(binds.size()), binds, &result) != 0) break;
      std::unordered_map<ObjectKey, const std::vector<KelDbValue>*, ObjectKeyHash> rows;
      for (const auto& row : result.rows) {
        if (row.size() < 5 || row[0].Type() != KelDbType::kBinary || row[1].Type() != KelDbType::kBinary) continue;
        rows.emplace(
            ObjectKey{KelUnicodeString(), KelUnicodeString(), row[0].AsBinary().AsId(), row[1].AsBinary().AsId()},
            &row);
      }
      for (size_t k = 0; k < n; ++k) {
        ObjectEntry& entry = At(indices[first + k]);
        auto it = rows.find(ObjectKey{KelUnicodeString(), KelUnicodeString(), entry.key.coid, entry.key.compid});
        const std::vector<KelDbValue>* row = it == rows.end() ? nullptr : it->second;
        if (!row) {
          entry.FillFromRow(nullptr, kMmlUnknownName);
          continue;
        }
        facts.Read((*row)[2].AsText(), (*row)[3].IsNull(), (*row)[3].AsText(), (*row)[4].AsText(), timestampText);
        facts.Fill(entry);
      }
    }
  }
}

KelUnicodeString KelLnkDataManager::GetObjectName(const KelUnicodeString& environment, const KelUnicodeString& table,
                                                  const KelId& coid, const KelId& compid) {
  return Known(environment, table, coid, compid, CacheName).name.str();
}

KelUnicodeString KelLnkDataManager::GetObjectName(const KelUnicodeString& environment, const KelUnicodeString& table,
                                                  double coid, double compid) {
  return GetObjectName(environment, table, KelId::FromDouble(coid), KelId::FromDouble(compid));
}

KelUnicodeString KelLnkDataManager::GetInstanceName(const KelDMInstance& instance) {
  return GetObjectName(instance.GetEnvironment(), instance.GetTable(), instance.Coid(), instance.Compid());
}

KelListValKelUnicodeString KelLnkDataManager::GetObjectLockS(const KelUnicodeString& environment,
                                                             const KelUnicodeString& table, const KelId& coid,
                                                             const KelId& compid) {
  return Known(environment, table, coid, compid, CacheLock).rare->lock;
}

KelListValKelUnicodeString KelLnkDataManager::GetObjectLockS(const KelUnicodeString& environment,
                                                             const KelUnicodeString& table, double coid,
                                                             double compid) {
  return GetObjectLockS(environment, table, KelId::FromDouble(coid), KelId::FromDouble(compid));
}

KelListValKelUnicodeString KelLnkDataManager::GetIdentificatorFields(const KelUnicodeString& environment,
                                                                     const KelUnicodeString& table) {
  auto key = std::make_pair(environment, table);
  auto it = sTableIndex.find(key);
  if (it != sTableIndex.end()) return spTable[static_cast<size_t>(it->second)].fields;
  KelPSNTrace trace("KelLnkDataManager::GetIdentificatorFields", 17, 0);
  // The profile of the environment names its tables either "<env>.<table>"
  // or "<table>" alone.
  const KelUnicodeString plain = RightTrimBlanks(table);
  const KelUnicodeString wanted = environment + kMmlSqlDot + plain;
  KelListValKelUnicodeString fields;
  for (const KelPSNProfileTable& declared : KelPSNProfile::GetTables(environment, kIdentificationProfile)) {
    const KelUnicodeString name = RightTrimBlanks(declared.name);
    if (name == wanted || name == plain) {
      fields = declared.columns;
      break;
    }
  }
  if (trace.LevelIsActive()) trace.Write(wanted + ": " + std::to_string(fields.size()) + " fields");
  sTableIndex.emplace(std::move(key), static_cast<int>(spTable.size()));
  spTable.push_back(TableEntry{environment, table, fields});
  return fields;
}

KelListValKelUnicodeString KelLnkDataManager::GetObjectIdentificators(const KelUnicodeString& environment,
                                                                      const KelUnicodeString& table, const KelId& coid,
                                                                      const KelId& compid, int maxLength) {
  KelListValKelUnicodeString values = Known(environment, table, coid, compid, CacheIdentificators).rare->identificators;
  if (maxLength >= 0) {
    for (auto& value : values) {
      if (value.size() > static_cast<size_t>(maxLength)) value.resize(static_cast<size_t>(maxLength));
    }
  }
  return values;
}

KelListValKelUnicodeString KelLnkDataManager::GetObjectIdentificators(const KelUnicodeString& environment,
                                                                      const KelUnicodeString& table, double coid,
                                                                      double compid, int maxLength) {
  return GetObjectIdentificators(environment, table, KelId::FromDouble(coid), KelId::FromDouble(compid), maxLength);
}

int KelLnkDataManager::IsObjectLatest(const KelUnicodeString& environment, const KelUnicodeString& table,
                                      const KelId& coid, const KelId& compid) {
  return Known(environment, table, coid, compid, CacheLatest).rare->isLatest;
}

int KelLnkDataManager::IsObjectLatest(const KelUnicodeString& environment, const KelUnicodeString& table, double coid,
                                      double compid) {
  return IsObjectLatest(environment, table, KelId::FromDouble(coid), KelId::FromDouble(compid));
}

KelDMInstance KelLnkDataManager::GetObjectLatestInstance(const KelUnicodeString& environment,
                                                         const KelUnicodeString& table, const KelId& coid,
                                                         const KelId& compid) {
  const RareFacts& entry = *Known(environment, table, coid, compid, CacheLatest).rare;
  return KelDMInstance(kMmlKelcon, entry.latestEnvironment, entry.latestTable, entry.latestCoid, entry.latestCompid);
}

KelDMInstance KelLnkDataManager::GetObjectLatestInstance(const KelUnicodeString& environment,
                                                         const KelUnicodeString& table, double coid, double compid) {
  return GetObjectLatestInstance(environment, table, KelId::FromDouble(coid), KelId::FromDouble(compid));
}

KelUnicodeString KelLnkDataManager::GetObjectLatestTimestamp(const KelUnicodeString& environment,
                                                             const KelUnicodeString& table, const KelId& coid,
                                                             const KelId& compid) {
  KelDMInstance latest = GetObjectLatestInstance(environment, table, coid, compid);
  return GetObjectTimestamp(latest.GetEnvironment(), latest.GetTable(), latest.Coid(), latest.Compid());
}

KelUnicodeString KelLnkDataManager::GetObjectLatestTimestamp(const KelUnicodeString& environment,
                                                             const KelUnicodeString& table, double coid,
                                                             double compid) {
  return GetObjectLatestTimestamp(environment, table, KelId::FromDouble(coid), KelId::FromDouble(compid));
}

// ---- Attributes ----

void KelLnkDataManager::SetObjectAttribute(const KelUnicodeString& environment, const KelUnicodeString& table,
                                           const KelId& coid, const KelId& compid, const KelUnicodeString& name,
                                           const KelUnicodeString& value) {
  RareFacts& entry = At(Entry(environment, table, coid, compid)).Rare();
  for (size_t i = 0; i < entry.attributeNames.size(); ++i) {
    if (entry.attributeNames[i] == name) {
      entry.attributeValues[i] = value;
      return;
    }
  }
  entry.attributeNames.push_back(name);
  entry.attributeValues.push_back(value);
}

void KelLnkDataManager::SetObjectAttribute(const KelUnicodeString& environment, const KelUnicodeString& table,
                                           double coid, double compid, const KelUnicodeString& name,
                                           const KelUnicodeString& value) {
  SetObjectAttribute(environment, table, KelId::FromDouble(coid), KelId::FromDouble(compid), name, value);
}

KelUnicodeString KelLnkDataManager::GetObjectAttribute(const KelUnicodeString& environment,
                                                       const KelUnicodeString& table, const KelId& coid,
                                                       const KelId& compid, const KelUnicodeString& name) {
  int index = LocateObject(environment, table, coid, compid, 0);
  if (index < 0 || !At(index).rare) return KelUnicodeString();
  const RareFacts& entry = *At(index).rare;
  for (size_t i = 0; i < entry.attributeNames.size(); ++i) {
    if (entry.attributeNames[i] == name) return entry.attributeValues[i];
  }
  return KelUnicodeString();
}

KelUnicodeString KelLnkDataManager::GetObjectAttribute(const KelUnicodeString& environment,
                                                       const KelUnicodeString& table, double coid, double compid,
                                                       const KelUnicodeString& name) {
  return GetObjectAttribute(environment, table, KelId::FromDouble(coid), KelId::FromDouble(compid), name);
}

KelDMInstance KelLnkDataManager::GetObjectInstance(const KelUnicodeString& environment, const KelUnicodeString& table,
                                                   const KelId& coid, const KelId& compid) {
  return KelDMInstance(kMmlKelcon, environment, table, coid, compid);
}

KelDMInstance KelLnkDataManager::GetObjectInstance(const KelUnicodeString& environment, const KelUnicodeString& table,
                                                   double coid, double compid) {
  return GetObjectInstance(environment, table, KelId::FromDouble(coid), KelId::FromDouble(compid));
}

// ---- Clearing ----

void KelLnkDataManager::Uncache() {
  MML_TRACE("KelLnkDataManager::Uncache");
  ++sGeneration;
  spObject.clear();
  sObjectIndex.Clear();
  sTableNames = KelTableNumbers();
  sTableCount = 0;
  sLastTable = KelTableNumbers::kNone;
  spTable.clear();
  sTableIndex.clear();
  ForgetPasses();
}

void KelLnkDataManager::UncacheInstance(const KelDMInstance& instance) {
  MML_TRACE("KelLnkDataManager::UncacheInstance");
  int index = LocateObject(instance, 0);
  if (index >= 0) At(index).ForgetFacts();
  ForgetPasses();
}

KelUnicodeString KelLnkDataManager::NormaliseTimestamp(const KelUnicodeString& text) {
  return ZeroTimestampFraction(text);
}

// ---- Structure ----

int KelLnkDataManager::IsInStructure(const KelDMInstance& instance) {
  return sStructureKeys.count(StructureKey(instance)) > 0 ? 1 : 0;
}

const KelListValKelDMInstance& KelLnkDataManager::GetStructure() { return _sStructure; }

void KelLnkDataManager::ClearStructure() {
  _sStructure.clear();
  sStructureKeys.clear();
}

void KelLnkDataManager::AddToStructure(const KelDMInstance& instance) {
  _sStructure.push_back(instance);
  sStructureKeys.insert(StructureKey(instance));
}
