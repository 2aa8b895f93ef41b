#include "linkdb/kel_lnk_hybrid_read_ahead.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <unordered_map>
#include <unordered_set>

#include "base/kel_copied_ptr.h"
#include "base/kel_object_key.h"
#include "base/kel_position_index.h"
#include "base/mml_constants.h"
#include "foundation/kel_lnk_tools.h"
#include "linkdb/kel_lnk_data_manager.h"
#include "linkdb/kel_lnk_packed_timestamp.h"
#include "linkdb/kel_lnk_whole_table.h"

namespace {

using Entity = KelLnkHybridManager::Entity;
using Names = KelLnkHybridManager::Names;

// An object as the read-ahead keeps it: its environment and table as numbers
// of KelLnkHybridManager::Names, and its identifiers.
struct Obj {
  uint32_t environment;
  uint32_t table;
  KelId coid;
  KelId compid;
  friend bool operator==(const Obj&, const Obj&) = default;
};
struct ObjHash {
  size_t operator()(const Obj& o) const {
    return (KelIdHash()(o.coid) * 1000003u ^ KelIdHash()(o.compid)) * 31u + (size_t{o.environment} << 20 ^ o.table);
  }
};

Obj KeyOf(const Entity& e) { return Obj{e.CaenvNumber(), e.KelabNumber(), e.coid, e.compid}; }
// The same as the data manager names it.
ObjectKey ObjectKeyOf(const Obj& o) {
  return ObjectKey{Names::Text(o.environment), Names::Text(o.table), o.coid, o.compid};
}

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

using StoredExtRow = KelLnkExtRecord;
using StoredEntityRow = KelLnkEntityRecord;

// The rows of one object in one direction, as the store keeps them.
struct StoredRows {
  std::vector<StoredExtRow> ext;
  std::vector<StoredEntityRow> entities;
};

using HoldersMap = std::unordered_map<HoldersKey, std::vector<StoredEntityRow>, HoldersHash, HoldersEqual>;

std::string_view BytesOf(const KelId& id) { return {reinterpret_cast<const char*>(id.Bytes().data()), 8}; }

// The rows of one table read in one sequential pass, found by one key column
// (`Key` gives its bytes): sorted by key, the rows of a key in the order of
// the pass. Keys of 8 bytes, as the schema's identifiers are, are sorted as
// numbers and found through a directory of the rows; other keys are searched
// as bytes.
template <typename Stored, typename Key>
class Image {
 public:
  void Add(Stored&& row) { rows_.push_back(std::move(row)); }
  // Ends the pass: the rows become searchable.
  void Seal() {
    const bool numeric = std::all_of(rows_.begin(), rows_.end(), [](const Stored& r) { return Key()(r).size() == 8; });
    if (!numeric) {
      std::stable_sort(rows_.begin(), rows_.end(),
                       [](const Stored& a, const Stored& b) { return Key()(a) < Key()(b); });
      rows_.shrink_to_fit();
      return;
    }
    std::vector<uint64_t> keys(rows_.size());
    for (size_t k = 0; k < rows_.size(); ++k) keys[k] = NumberOf(rows_[k]);
    // A table read in key order (the rows stored as their keys grew) is
    // searchable as it stands. Else the positions are sorted by key, stably
    // (the pass order kept within a key), and the rows moved once, into that
    // order.
    if (!std::is_sorted(keys.begin(), keys.end())) {
      const std::vector<uint32_t> order = StableOrder(keys);
      std::vector<Stored> sorted;
      sorted.reserve(rows_.size());
      for (uint32_t position : order) sorted.push_back(std::move(rows_[position]));
      rows_ = std::move(sorted);
    }
    rows_.shrink_to_fit();
    Direct();
  }
  // Asks the processor for where ForEach(key) will read: the key's bucket,
  // and the row where it likely starts (the keys spread evenly over their
  // range as a rule).
  void Prefetch(std::string_view key) const {
    if (directory_.empty() || key.size() != 8) return;
    const uint64_t number = Number(key);
    if (number < least_ || number > greatest_) return;
    const size_t bucket = BucketOf(number);
    __builtin_prefetch(&directory_[bucket]);
    __builtin_prefetch(&rows_[std::min(rows_.size() - 1, bucket * rows_.size() / (directory_.size() - 1))]);
  }
  template <typename F>
  void ForEach(std::string_view key, F&& f) const {
    if (rows_.empty()) return;
    if (!directory_.empty()) {
      if (key.size() != 8) return;
      const uint64_t number = Number(key);
      if (number < least_ || number > greatest_) return;
      const size_t bucket = BucketOf(number);
      auto it = rows_.begin() + directory_[bucket];
      const auto end = rows_.begin() + directory_[bucket + 1];
      // A bucket holds a row or two as a rule: they are read in turn, the
      // row read being the one handed out. Keys bunched in a few buckets
      // are searched by halving.
      if (end - it > kScanned)
        it = std::lower_bound(it, end, number, [](const Stored& row, uint64_t n) { return NumberOf(row) < n; });
      for (; it != end; ++it) {
        const uint64_t at = NumberOf(*it);
        if (at > number) break;
        if (at == number) f(*it);
      }
      return;
    }
    auto it = std::lower_bound(rows_.begin(), rows_.end(), key,
                               [](const Stored& row, std::string_view k) { return Key()(row) < k; });
    for (; it != rows_.end() && Key()(*it) == key; ++it) f(*it);
  }

 private:
  static constexpr std::ptrdiff_t kScanned = 8;
  // The directory of the sorted rows: the range from the least key to the
  // greatest cut into at most one bucket per row, and where each bucket's
  // rows start. A key is then searched among its bucket's few, not by
  // halving the whole table (a memory miss per halving once it outgrows the
  // cache).
  size_t BucketOf(uint64_t number) const { return static_cast<size_t>((number - least_) >> shift_); }
  void Direct() {
    if (rows_.empty()) return;
    least_ = NumberOf(rows_.front());
    greatest_ = NumberOf(rows_.back());
    const uint64_t range = greatest_ - least_;
    shift_ = 0;
    while ((range >> shift_) >= rows_.size()) ++shift_;
    directory_.assign(BucketOf(greatest_) + 2, 0);
    for (const Stored& row : rows_) ++directory_[BucketOf(NumberOf(row)) + 1];
    for (size_t b = 1; b < directory_.size(); ++b) directory_[b] += directory_[b - 1];
  }

  // The positions of `keys` in key order, equal keys in position order: a
  // radix sort, one pass per byte, skipping the bytes all keys share.
  static std::vector<uint32_t> StableOrder(const std::vector<uint64_t>& keys) {
    const size_t n = keys.size();
    std::vector<uint32_t> order(n), other(n);
    for (size_t k = 0; k < n; ++k) order[k] = static_cast<uint32_t>(k);
    uint64_t differing = 0;
    for (uint64_t key : keys) differing |= key ^ keys[0];
    for (unsigned shift = 0; shift < 64; shift += 8) {
      if ((differing >> shift & 0xFF) == 0) continue;
      std::array<size_t, 257> start{};
      for (uint64_t key : keys) ++start[(key >> shift & 0xFF) + 1];
      for (size_t b = 1; b < start.size(); ++b) start[b] += start[b - 1];
      for (uint32_t position : order) other[start[keys[position] >> shift & 0xFF]++] = position;
      order.swap(other);
    }
    return order;
  }
  // 8 bytes as a number that orders as the bytes do.
  static uint64_t Number(std::string_view bytes) {
    uint64_t n = 0;
    for (unsigned char c : bytes) n = n << 8 | c;
    return n;
  }
  static uint64_t NumberOf(const Stored& row) { return Number(Key()(row)); }
  std::vector<Stored> rows_;
  std::vector<uint32_t> directory_;    // per bucket, where its rows start; empty when the keys are not all 8 bytes
  uint64_t least_ = 0, greatest_ = 0;  // the least and greatest keys
  unsigned shift_ = 0;                 // a key's bucket: its distance from the least key, shifted
};

struct ByHolder {
  std::string_view operator()(const StoredExtRow& row) const { return BytesOf(row.coid); }
};
struct ByPointed {
  std::string_view operator()(const StoredExtRow& row) const { return BytesOf(row.coidRef); }
};
struct ByObject {
  std::string_view operator()(const StoredEntityRow& row) const { return BytesOf(row.coid); }
};
struct ByEntity {
  std::string_view operator()(const StoredEntityRow& row) const { return row.ids.Id1(); }
};

// The rows a set read looks for: the "$EXT" rows by holder ($COID) or by
// object pointed to ($COID_REF); the entity rows of a side by object
// (OBJECT_COID) or by entity (ENTITY_ID_1).
enum class RowsBy { kExtHolder, kExtPointed, kOwnedObject, kUsedObject, kOwnedEntity, kUsedEntity };

RowsBy ObjectRowsOf(KelDMEntitySide side) {
  return side == KelDMEntitySide::kOwned ? RowsBy::kOwnedObject : RowsBy::kUsedObject;
}
RowsBy EntityRowsOf(KelDMEntitySide side) {
  return side == KelDMEntitySide::kOwned ? RowsBy::kOwnedEntity : RowsBy::kUsedEntity;
}

// Set reads of one kind in one environment, and the whole-table pass that
// replaces them once the walk has asked for a large share of the table.
struct TablePass {
  KelLnkTableDemand demand;
  std::unique_ptr<Image<StoredExtRow, ByHolder>> extByHolder;
  std::unique_ptr<Image<StoredExtRow, ByPointed>> extByPointed;
  std::unique_ptr<Image<StoredEntityRow, ByObject>> byObject;
  std::unique_ptr<Image<StoredEntityRow, ByEntity>> byEntity;
  bool Loaded() const { return extByHolder || extByPointed || byObject || byEntity; }
};

// An object whose rows were read (or are being read): its rows until they
// are taken.
struct Slot {
  std::unique_ptr<StoredRows> rows;  // null while it has none
  uint32_t pending = 0;  // rows gathered for it, not handed over yet
  bool taken = false;
  // The direction of the record that holds the slot (lane 0 children, 1
  // parents): kept here, where it takes no room of its own.
  uint8_t lane = 0;

  StoredRows& Rows() {
    if (!rows) rows = std::make_unique<StoredRows>();
    return *rows;
  }
};

// An object of a level being read, and its slot.
struct Member {
  Obj key;
  Slot* slot;
};

// An object read in one direction (its slot's lane), and its slot.
struct Fetched {
  Obj key;
  Slot slot;
};
struct FetchedProbe {
  const Obj& key;
  uint8_t lane;
};
struct FetchedTraits {
  static size_t Hash(const FetchedProbe& p) { return ObjHash()(p.key) * 2 + p.lane; }
  static size_t HashOf(int position);
  static bool Equal(int position, const FetchedProbe& p);
};

// What one direction keeps. Rows are kept by object, not by cache index: the
// objects a set leads to have no entity yet when their own rows are read.
struct Lane {
  uint8_t number;  // 0 children, 1 parents
  // By entity cache index: the likely position of its object in `fetched`
  // once seen there (else -1), so that a far end met again, or walked, is
  // not looked up again. Likely: it was found by hash alone, and is checked
  // against the object when its rows are taken.
  std::vector<int32_t> fetchedAt;
  // The whole-table images the rows of an environment's objects come from
  // in this direction, once every one of them was read (RowsFromImages): its
  // objects' rows are taken from them, and its far ends wait for no set read.
  struct Images {
    bool complete = false;
    bool ext = false, entities = false;                           // the rows they were found for
    const Image<StoredExtRow, ByHolder>* held = nullptr;          // children
    // Parents: per relation environment, its number and image.
    std::vector<std::pair<uint32_t, const Image<StoredExtRow, ByPointed>*>> pointing;
    const Image<StoredEntityRow, ByObject>* owned = nullptr;
  };
  std::vector<Images> images;           // by environment number
  KelListValKelUnicodeString relation;  // the relation environments of `pointing`
  size_t takenFromImages = 0;           // objects whose rows were taken from them

  explicit Lane(uint8_t n) : number(n) {}

  // The objects reached whose rows are still to be read, the most recent
  // last: a hint, an object may be there twice or read meanwhile.
  bool Waits() const { return !waiting_.empty(); }
  void Wait(const Obj& o) {
    waiting_.push_back(o);
    if (o.environment >= waitingIn_.size()) waitingIn_.resize(o.environment + 1);
    ++waitingIn_[o.environment];
  }
  Obj Unwait() {
    const Obj o = waiting_.back();
    waiting_.pop_back();
    --waitingIn_[o.environment];
    return o;
  }
  // How many wait, in one environment or in all.
  size_t WaitingIn(uint32_t environment) const { return environment < waitingIn_.size() ? waitingIn_[environment] : 0; }
  size_t WaitingCount() const { return waiting_.size(); }
  bool FromImages(uint32_t environment) const { return environment < images.size() && images[environment].complete; }
  int KnownPosition(int index) const {
    const auto at = static_cast<size_t>(index);
    return at < fetchedAt.size() ? fetchedAt[at] : -1;
  }
  void Know(int index, int position) {
    if (index < 0) return;
    const auto at = static_cast<size_t>(index);
    if (at >= fetchedAt.size()) fetchedAt.resize(std::max(at + 1, 2 * fetchedAt.size()), -1);
    fetchedAt[at] = position;
  }

  // Whether the object's rows were read, taken or not.
  bool Fetched(const Obj& o) const { return Position(o) >= 0; }
  // The object's position in the store's `fetched`, -1 when not read.
  int Position(const Obj& o) const;
  // The same found by hash alone (no record read): -1 proves the object
  // was not read; another position is only likely to be the object's.
  int LikelyPosition(const Obj& o) const;
  // Asks the processor for the index slot where Fetched(o) starts looking.
  void Prefetch(const Obj& o) const;
  // The object's slot, and whether it was added now.
  std::pair<Slot*, bool> Fetch(const Obj& o);
  // The same as a position in the store's `fetched`.
  std::pair<int, bool> FetchAt(const Obj& o);

 private:
  std::vector<Obj> waiting_;
  std::vector<size_t> waitingIn_;  // by environment number
};

struct Store {
  KelDbConnection* connection = nullptr;
  // The environment and table numbers of each "<env>.<table>" name of a
  // "$EXT" row ($COMPNAME); kNoObject when it names no object.
  std::unordered_map<uint32_t, std::pair<uint32_t, uint32_t>> compnames;
  KelUnicodeString typeCondition;
  std::array<Lane, 2> lanes{Lane(0), Lane(1)};  // children, parents
  // The objects read in either direction: records stay put while the deque
  // grows, found through the index.
  std::deque<Fetched> fetched;
  KelPositionIndex<FetchedTraits> fetchedIndex;
  HoldersMap holders;
  std::map<std::pair<RowsBy, KelUnicodeString>, TablePass> passes;  // by kind and environment
  // The passes by entity (owners or users of each environment) read so far,
  // found without building a key: there are a few.
  struct HoldersImage {
    KelDMEntitySide side;
    KelUnicodeString environment;
    const Image<StoredEntityRow, ByEntity>* image;
  };
  std::vector<HoldersImage> holdersImages;
  // The rows of a level's objects as they are read, then handed to their
  // slots (buffers reused from level to level).
  std::vector<std::pair<Slot*, StoredExtRow>> pendingExt;
  std::vector<std::pair<Slot*, StoredEntityRow>> pendingEntities;
};

Store& TheStore() {
  static Store store;
  return store;
}

size_t FetchedTraits::HashOf(int position) {
  const Fetched& f = TheStore().fetched[static_cast<size_t>(position)];
  return Hash(FetchedProbe{f.key, f.slot.lane});
}
bool FetchedTraits::Equal(int position, const FetchedProbe& p) {
  const Fetched& f = TheStore().fetched[static_cast<size_t>(position)];
  return f.slot.lane == p.lane && f.key == p.key;
}

int Lane::Position(const Obj& o) const { return TheStore().fetchedIndex.Find(FetchedProbe{o, number}); }
int Lane::LikelyPosition(const Obj& o) const {
  return TheStore().fetchedIndex.Candidate(FetchedTraits::Hash(FetchedProbe{o, number}));
}
void Lane::Prefetch(const Obj& o) const {
  TheStore().fetchedIndex.Prefetch(FetchedTraits::Hash(FetchedProbe{o, number}));
}

std::pair<int, bool> Lane::FetchAt(const Obj& o) {
  Store& store = TheStore();
  const int found = Position(o);
  if (found >= 0) return {found, false};
  store.fetched.push_back(::Fetched{o, Slot()});
  store.fetched.back().slot.lane = number;
  const int position = static_cast<int>(store.fetched.size() - 1);
  store.fetchedIndex.Insert(position);
  return {position, true};
}

std::pair<Slot*, bool> Lane::Fetch(const Obj& o) {
  const auto [position, added] = FetchAt(o);
  return {&TheStore().fetched[static_cast<size_t>(position)].slot, added};
}

Lane& LaneOf(KelLnkDirection d) { return TheStore().lanes[d == KelLnkDirection::kChildren ? 0 : 1]; }

bool Holds(const KelListValKelUnicodeString& list, const KelUnicodeString& name) {
  return std::find(list.begin(), list.end(), name) != list.end();
}

// Whether the set read of `keys` identifiers of `environment`.`table` is to
// be answered from a whole-table pass; `pending` more are bound to follow.
bool WantPass(TablePass& pass, size_t keys, size_t pending, KelDbConnection* connection,
              const KelUnicodeString& environment, const KelUnicodeString& table) {
  if (pass.Loaded()) return true;
  return pass.demand.Ask(keys, pending, [&] { return KelDMLinkRows::RowCount(connection, environment, table); });
}

// Reads a whole table into `image` through `read` (0 or a failing code);
// on failure the walk goes on with set reads.
template <typename ImageT, typename Read>
void LoadPass(TablePass& pass, std::unique_ptr<ImageT>& image, Read&& read) {
  auto loaded = std::make_unique<ImageT>();
  if (read(*loaded) != 0) {
    pass.demand.failed = true;
    return;
  }
  loaded->Seal();
  image = std::move(loaded);
}

template <typename ImageT, typename Keys, typename Take>
void TakeFromImage(const ImageT& image, const Keys& keys, Take&& take) {
  for (const auto& key : keys) {
    if constexpr (std::is_same_v<std::decay_t<decltype(key)>, KelId>)
      image.ForEach(BytesOf(key), take);
    else
      image.ForEach(key.Raw(), take);
  }
}

// Hands `take` the "$EXT" rows of `environment` held by the objects of
// `coids`, or pointing to them (`pointed`); `pending` objects wait for theirs.
template <typename Take>
void ExtRows(bool pointed, KelDbConnection* connection, const KelUnicodeString& environment,
             const std::vector<KelId>& coids, size_t pending, Take&& take) {
  Store& store = TheStore();
  TablePass& pass = store.passes[{pointed ? RowsBy::kExtPointed : RowsBy::kExtHolder, environment}];
  if (WantPass(pass, coids.size(), pending, connection, environment, kMmlExt) && !pass.Loaded()) {
    const uint32_t number = Names::Number(environment);
    auto read = [&](auto& image) {
      KelLnkRowNames names;
      return KelDMLinkRows::ExtAll(connection, environment, store.typeCondition,
                                   [&](const KelDMExtRowView& row) { image.Add(StoredExtRow(number, row, &names)); });
    };
    if (pointed)
      LoadPass(pass, pass.extByPointed, read);
    else
      LoadPass(pass, pass.extByHolder, read);
  }
  if (pass.extByHolder) return TakeFromImage(*pass.extByHolder, coids, take);
  if (pass.extByPointed) return TakeFromImage(*pass.extByPointed, coids, take);
  KelLnkRowNames names;
  const uint32_t number = Names::Number(environment);
  auto stored = [&](const KelDMExtRowView& row) { take(StoredExtRow(number, row, &names)); };
  if (pointed)
    KelDMLinkRows::ExtToSet(connection, environment, store.typeCondition, coids, stored);
  else
    KelDMLinkRows::ExtFromSet(connection, environment, store.typeCondition, coids, stored);
}

// Hands `take` the live rows of the side's table in `environment` whose
// OBJECT_COID (`byObject`) or ENTITY_ID_1 is one of `keys`; `pending`
// objects wait for theirs.
template <typename Take>
void EntityRows(bool byObject, KelDMEntitySide side, KelDbConnection* connection, const KelUnicodeString& environment,
                const std::vector<KelDbBinary>& keys, size_t pending, Take&& take) {
  Store& store = TheStore();
  TablePass& pass = store.passes[{byObject ? ObjectRowsOf(side) : EntityRowsOf(side), environment}];
  if (WantPass(pass, keys.size(), pending, connection, environment, KelDMLinkRows::TableOf(side)) && !pass.Loaded()) {
    auto read = [&](auto& image) {
      KelLnkRowNames names;
      return KelDMLinkRows::EntitiesAll(connection, environment, side, [&](const KelDMEntityRowView& row) {
        image.Add(StoredEntityRow(row, &names));
      });
    };
    if (byObject)
      LoadPass(pass, pass.byObject, read);
    else if (LoadPass(pass, pass.byEntity, read); pass.byEntity)
      store.holdersImages.push_back(Store::HoldersImage{side, environment, pass.byEntity.get()});
  }
  if (pass.byObject) return TakeFromImage(*pass.byObject, keys, take);
  if (pass.byEntity) return TakeFromImage(*pass.byEntity, keys, take);
  KelLnkRowNames names;
  auto stored = [&](const KelDMEntityRowView& row) { take(StoredEntityRow(row, &names)); };
  if (byObject) {
    std::vector<KelId> coids;
    coids.reserve(keys.size());
    for (const KelDbBinary& key : keys) coids.push_back(key.AsId());
    KelDMLinkRows::EntitiesOfSet(connection, environment, side, coids, stored);
  } else {
    KelDMLinkRows::HoldersSet(connection, environment, side, keys, stored);
  }
}

// The owners or users in `environment` read whole, when the walk has read
// that table whole; then the holders map keeps no copy of them.
const Image<StoredEntityRow, ByEntity>* HoldersImage(KelDMEntitySide side, const KelUnicodeString& environment) {
  for (const Store::HoldersImage& h : TheStore().holdersImages)
    if (h.side == side && h.environment == environment) return h.image;
  return nullptr;
}

// Hands `take` the owners or users, in `environment`, of the entity `ids`,
// once ReadHolders has read them; `image` is HoldersImage(side, environment).
template <typename Take>
void ForEachHolder(const Image<StoredEntityRow, ByEntity>* image, KelDMEntitySide side,
                   const KelUnicodeString& environment, const KelDMEntityIds& ids, Take&& take) {
  if (image) {
    image->ForEach(ids.id1.Raw(), [&](const StoredEntityRow& row) {
      if (row.ids == ids) take(row);
    });
    return;
  }
  for (const StoredEntityRow& row : TheStore().holders.find(HoldersProbe{side, environment, ids})->second) take(row);
}

// Reads the owners or users, in `environment`, of the entities `ids`,
// storing an entry (empty when none) for each, unless that table was read
// whole; `pending` objects wait for theirs.
void ReadHolders(KelDMEntitySide side, KelDbConnection* connection, const KelUnicodeString& environment,
                 const std::vector<const KelDMEntityIds*>& ids, size_t pending) {
  Store& store = TheStore();
  if (HoldersImage(side, environment)) return;
  std::vector<KelDbBinary> values;
  std::unordered_set<std::string_view> firstIds;
  for (const KelDMEntityIds* e : ids) {
    if (store.holders.find(HoldersProbe{side, environment, *e}) != store.holders.end()) continue;
    store.holders.emplace(HoldersKey{side, environment, *e}, std::vector<StoredEntityRow>());
    if (firstIds.insert(e->id1.Raw()).second) values.push_back(e->id1);
  }
  if (values.empty()) return;
  EntityRows(false, side, connection, environment, values, pending, [&](const StoredEntityRow& row) {
    auto it = store.holders.find(HoldersProbe{side, environment, row.ids.Ids()});
    if (it != store.holders.end()) it->second.push_back(row);
  });
}

// The objects of a level by (table, coid, compid) within one environment
// (the table as its number of KelLnkHybridManager::Names; kAnyTable when the
// rows name no table), and their distinct coids in order of first appearance.
constexpr uint32_t kAnyTable = UINT32_MAX;
constexpr uint32_t kNoObject = KelLnkHybridReadAhead::kNoObject;

// The environment and table of the object a "$EXT" row points to, from its
// $COMPNAME ("<env>.<table>", the table's trailing blanks dropped).
const std::pair<uint32_t, uint32_t>& Pointed(uint32_t compname) {
  auto [it, added] = TheStore().compnames.try_emplace(compname, kNoObject, kNoObject);
  if (added) {
    const KelUnicodeString& text = Names::Text(compname);
    const size_t dot = text.find('.');
    if (dot != KelUnicodeString::npos)
      it->second = {Names::Number(std::string_view(text).substr(0, dot)),
                    Names::Number(KelLnkTools::RightTrim(text.substr(dot + 1)))};
  }
  return it->second;
}

// The far end of a "$EXT" row: the object it points to, for children (false
// when it names none); its holder in `environment`, for parents.
bool PointedBy(const StoredExtRow& row, Obj* o) {
  const auto& [environment, table] = Pointed(row.compname);
  if (environment == kNoObject) return false;
  *o = Obj{environment, table, row.coidRef, row.compidRef};
  return true;
}
Obj HolderOf(uint32_t environment, const StoredExtRow& row) {
  return Obj{environment, row.fatherTable, row.coid, row.compidFather};
}

// The objects of a level found by (table, coid, compid), kept in flat lists
// (no node per object): several slots may share a key (one object met in
// several environments); `coids` are their distinct coids in order of first
// appearance.
class Members {
 public:
  explicit Members(size_t expected) {
    size_t n = 16;
    while (n < 2 * expected) n <<= 1;
    heads_.assign(n, -1);
    coidIndex_.assign(n, -1);
    entries_.reserve(expected);
    coids.reserve(expected);
  }
  void Add(const Member& m, uint32_t table) {
    const PackedObjectKey key{table, m.key.coid, m.key.compid};
    int32_t& head = heads_[PackedObjectKeyHash()(key) & (heads_.size() - 1)];
    entries_.push_back(Entry{key, m.slot, head});
    head = static_cast<int32_t>(entries_.size() - 1);
    for (size_t k = KelIdHash()(m.key.coid) & (coidIndex_.size() - 1);; k = (k + 1) & (coidIndex_.size() - 1)) {
      if (coidIndex_[k] < 0) {
        coidIndex_[k] = static_cast<int32_t>(coids.size());
        coids.push_back(m.key.coid);
        break;
      }
      if (coids[static_cast<size_t>(coidIndex_[k])] == m.key.coid) break;
    }
  }
  // Calls `f` with each slot of the key; false when there is none.
  template <typename F>
  bool ForEach(uint32_t table, const KelId& coid, const KelId& compid, F&& f) const {
    const PackedObjectKey key{table, coid, compid};
    bool found = false;
    for (int32_t k = heads_[PackedObjectKeyHash()(key) & (heads_.size() - 1)]; k >= 0;) {
      const Entry& e = entries_[static_cast<size_t>(k)];
      if (e.key == key) {
        f(e.slot);
        found = true;
      }
      k = e.next;
    }
    return found;
  }

  std::vector<KelId> coids;

 private:
  struct Entry {
    PackedObjectKey key;
    Slot* slot;
    int32_t next;  // the entry before it in its bucket, -1 at the end
  };
  std::vector<Entry> entries_;
  std::vector<int32_t> heads_;      // by key hash: the last entry of the bucket
  std::vector<int32_t> coidIndex_;  // open addressing into `coids`
};

// Hands the rows gathered for a level's slots to them, each slot's rows in
// the order read, each slot's vector grown once.
template <typename Row>
void HandOver(std::vector<std::pair<Slot*, Row>>& pending, std::vector<Row> StoredRows::*field) {
  for (auto& gathered : pending) ++gathered.first->pending;
  for (auto& [slot, row] : pending) {
    std::vector<Row>& rows = slot->Rows().*field;
    if (slot->pending != 0) {
      rows.reserve(rows.size() + slot->pending);
      slot->pending = 0;
    }
    rows.push_back(std::move(row));
  }
  pending.clear();
}

// Reads the rows of the objects of `level` in direction `d`, then, when
// `expand`, those of the objects they lead to, level after level, up to the
// rule's `setObjects` objects; the objects left over wait for the next set.
// Then reads the facts of every object reached.
void ReadSet(KelLnkDirection d, std::vector<Member> level, bool expand, bool readEntities, KelDbConnection* connection,
             const KelListValKelUnicodeString& relation, const KelListValKelUnicodeString& entityEnvironments) {
  Lane& lane = LaneOf(d);
  const bool children = d == KelLnkDirection::kChildren;
  auto& pendingExt = TheStore().pendingExt;
  auto& pendingEntities = TheStore().pendingEntities;
  std::vector<KelLnkDataManager::ObjectRef> reached;
  // The objects a level's rows lead to, in the order met; sifted once the
  // level is read.
  auto reach = [](std::vector<Obj>& leadsTo, const Obj& o) { leadsTo.push_back(o); };
  // An object read already in this direction was reached before, and its
  // facts asked for then. The index's slots are asked for a few objects
  // ahead, so that the memory reads of many objects overlap.
  auto sift = [&](std::vector<Obj>& leadsTo) {
    size_t kept = 0;
    for (size_t k = 0; k < leadsTo.size(); ++k) {
      TheStore().fetchedIndex.PrefetchAhead(k, leadsTo.size(),
                                            [&](size_t j) { return FetchedProbe{leadsTo[j], lane.number}; });
      const Obj o = leadsTo[k];
      if (lane.Fetched(o)) continue;
      reached.push_back(ObjectKeyOf(o));
      leadsTo[kept++] = o;
    }
    leadsTo.resize(kept);
  };
  size_t total = 0;
  while (!level.empty()) {
    total += level.size();
    std::vector<Obj> leadsTo;
    std::map<uint32_t, std::vector<const Member*>> byEnvironment;
    for (const Member& m : level) byEnvironment[m.key.environment].push_back(&m);

    // "$EXT": children from the rows their environment holds for them,
    // parents from the rows of every link environment that point to them.
    if (children) {
      for (const auto& [environmentNumber, objects] : byEnvironment) {
        const KelUnicodeString& environment = Names::Text(environmentNumber);
        if (!Holds(relation, environment)) continue;
        Members members(objects.size());
        for (const Member* m : objects) members.Add(*m, m->key.table);
        ExtRows(false, connection, environment, members.coids, lane.WaitingIn(environmentNumber),
                [&](const StoredExtRow& row) {
                  if (!members.ForEach(row.fatherTable, row.coid, row.compidFather,
                                       [&](Slot* slot) { pendingExt.emplace_back(slot, row); }))
                    return;
                  if (Obj pointed; PointedBy(row, &pointed)) reach(leadsTo, pointed);
                });
      }
    } else {
      Members members(level.size());
      for (const Member& m : level)
        if (Holds(relation, Names::Text(m.key.environment))) members.Add(m, kAnyTable);
      if (!members.coids.empty()) {
        for (const KelUnicodeString& environment : relation) {
          const uint32_t environmentNumber = Names::Number(environment);
          ExtRows(true, connection, environment, members.coids, lane.WaitingCount(), [&](const StoredExtRow& row) {
            if (members.ForEach(kAnyTable, row.coidRef, row.compidRef,
                                [&](Slot* slot) { pendingExt.emplace_back(slot, row); }))
              reach(leadsTo, HolderOf(environmentNumber, row));
          });
        }
      }
    }

    HandOver(pendingExt, &StoredRows::ext);

    // The entity rows of the objects in their own environment, then the far
    // ends of those entities in every entity environment.
    if (readEntities) {
      for (const auto& [environmentNumber, objects] : byEnvironment) {
        const KelUnicodeString& environment = Names::Text(environmentNumber);
        Members members(objects.size());
        for (const Member* m : objects) members.Add(*m, m->key.table);
        std::vector<KelDbBinary> coids(members.coids.begin(), members.coids.end());
        EntityRows(true, NearSide(d), connection, environment, coids, lane.WaitingIn(environmentNumber),
                   [&](const StoredEntityRow& row) {
                     members.ForEach(row.table, row.coid, row.compid,
                                     [&](Slot* slot) { pendingEntities.emplace_back(slot, row); });
                   });
      }
      HandOver(pendingEntities, &StoredRows::entities);
      std::vector<KelDMEntityIds> levelValues;
      for (const Member& m : level)
        if (m.slot->rows)
          for (const StoredEntityRow& row : m.slot->rows->entities) levelValues.push_back(row.ids.Ids());
      std::vector<const KelDMEntityIds*> levelIds;
      levelIds.reserve(levelValues.size());
      for (const KelDMEntityIds& ids : levelValues) levelIds.push_back(&ids);
      for (const KelUnicodeString& environment : entityEnvironments) {
        const uint32_t environmentNumber = Names::Number(environment);
        ReadHolders(FarSide(d), connection, environment, levelIds, lane.WaitingCount());
        const auto* image = HoldersImage(FarSide(d), environment);
        for (const KelDMEntityIds* ids : levelIds)
          ForEachHolder(image, FarSide(d), environment, *ids, [&](const StoredEntityRow& h) {
            reach(leadsTo, Obj{environmentNumber, h.table, h.coid, h.compid});
          });
      }
    }
    sift(leadsTo);
    if (!expand) break;
    std::vector<Member> next;
    for (const Obj& o : leadsTo) {
      if (lane.Fetched(o)) continue;
      if (total + next.size() >= KelLnkWholeTableRule::Current().setObjects) {
        lane.Wait(o);
        continue;
      }
      next.push_back(Member{o, lane.Fetch(o).first});
    }
    level = std::move(next);
  }
  KelLnkDataManager::ReadFacts(reached);
}

// The image of a pass read whole, null while the table is not.
template <typename ImageT>
const ImageT* LoadedImage(RowsBy by, const KelUnicodeString& environment, std::unique_ptr<ImageT> TablePass::*image) {
  const Store& store = TheStore();
  const auto it = store.passes.find({by, environment});
  return it == store.passes.end() ? nullptr : (it->second.*image).get();
}

// Finds the images the rows of an environment's objects come from in
// direction `d`; complete when every one was read.
void FindImages(KelLnkDirection d, const KelUnicodeString& environment, bool readExt, bool readEntities,
                const KelListValKelUnicodeString& relation, Lane::Images& found) {
  found = Lane::Images{};
  found.ext = readExt;
  found.entities = readEntities;
  if (readExt) {
    if (d == KelLnkDirection::kChildren) {
      if (!(found.held = LoadedImage(RowsBy::kExtHolder, environment, &TablePass::extByHolder))) return;
    } else {
      for (const KelUnicodeString& r : relation) {
        found.pointing.emplace_back(Names::Number(r), LoadedImage(RowsBy::kExtPointed, r, &TablePass::extByPointed));
        if (!found.pointing.back().second) return;
      }
    }
  }
  if (readEntities && !(found.owned = LoadedImage(ObjectRowsOf(NearSide(d)), environment, &TablePass::byObject)))
    return;
  found.complete = true;
}

// Once every table the rows of `key` come from in direction `d` was read
// whole, its rows are taken from the images when asked for, instead of
// being gathered ahead with a set and kept until taken: the same rows in the
// same order, without a copy waiting in memory for the depth-first walk to
// come back to it. False, and nothing taken, while a table is still read in
// sets, or when the object's rows were read ahead already.
bool RowsFromImages(KelLnkDirection d, const Obj& key, bool readExt, bool readEntities,
                    const KelListValKelUnicodeString& relation, KelLnkNearRows* rows) {
  Lane& lane = LaneOf(d);
  if (lane.relation != relation) {
    lane.relation = relation;
    lane.images.clear();
  }
  if (key.environment >= lane.images.size()) lane.images.resize(key.environment + 1);
  Lane::Images& images = lane.images[key.environment];
  if (!images.complete || images.ext != readExt || images.entities != readEntities) {
    FindImages(d, Names::Text(key.environment), readExt, readEntities, relation, images);
    if (!images.complete) return false;
  }
  if (lane.Fetched(key)) return false;

  static thread_local std::vector<KelLnkDataManager::ObjectRef> reached;  // its storage reused
  reached.clear();
  const std::string_view coid = BytesOf(key.coid);
  if (images.held) {
    images.held->ForEach(coid, [&](const StoredExtRow& row) {
      if (row.fatherTable != key.table || row.compidFather != key.compid) return;
      rows->ext.push_back(row);
      if (Obj pointed; PointedBy(row, &pointed)) reached.push_back(ObjectKeyOf(pointed));
    });
  }
  for (const auto& pointing : images.pointing) {
    const uint32_t environment = pointing.first;
    pointing.second->ForEach(coid, [&](const StoredExtRow& row) {
      if (row.coidRef != key.coid || row.compidRef != key.compid) return;
      rows->ext.push_back(row);
      reached.push_back(ObjectKeyOf(HolderOf(environment, row)));
    });
  }
  if (images.owned) {
    images.owned->ForEach(coid, [&](const StoredEntityRow& row) {
      if (row.table == key.table && row.compid == key.compid) rows->entities.push_back(row);
    });
  }
  // The far ends' facts as a set read would have read them (nothing when
  // their tables were read whole too): a walk that has taken this many
  // objects from the images reads their tables whole soon.
  ++lane.takenFromImages;
  if (!reached.empty()) KelLnkDataManager::ReadFacts(reached, lane.takenFromImages);
  return true;
}

}  // namespace

void KelLnkHybridReadAhead::TakeRows(KelLnkDirection d, const Entity& e, int index, bool readExt, bool readEntities,
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
  const Obj key = KeyOf(e);
  if (RowsFromImages(d, key, readExt, readEntities, relationEnvironments, rows)) return;
  Lane& lane = LaneOf(d);
  // The object's place was likely found already when it was met as a far end.
  int position = lane.KnownPosition(index);
  bool added = false;
  if (position >= 0 && !FetchedTraits::Equal(position, FetchedProbe{key, lane.number})) position = -1;
  if (position < 0) {
    std::tie(position, added) = lane.FetchAt(key);
    lane.Know(index, position);
  }
  Slot& slot = store.fetched[static_cast<size_t>(position)].slot;
  if (added) {
    // The object asked for, the most recently reached waiting objects (a
    // depth-first walk asks for those next), and what they lead to.
    std::vector<Member> level{Member{key, &slot}};
    while (lane.Waits() && level.size() < KelLnkWholeTableRule::Current().setObjects / 2) {
      const Obj o = lane.Unwait();
      auto [waiting, fresh] = lane.Fetch(o);
      if (fresh) level.push_back(Member{o, waiting});
    }
    ReadSet(d, std::move(level), true, readEntities, connection, relationEnvironments, entityEnvironments);
  } else if (slot.taken) {
    // Taken before: another entity of the same object (another product
    // instance) reads them again.
    slot.taken = false;
    ReadSet(d, {Member{key, &slot}}, false, readEntities, connection, relationEnvironments, entityEnvironments);
  }
  slot.taken = true;
  if (!slot.rows) return;
  if (readExt) rows->ext = std::move(slot.rows->ext);
  if (readEntities) rows->entities = std::move(slot.rows->entities);
  slot.rows.reset();
}

void KelLnkHybridReadAhead::Holders(KelDMEntitySide side, KelDbConnection* connection,
                                    const KelUnicodeString& environment, const KelDMEntityIds& ids,
                                    std::vector<KelLnkEntityRecord>* rows) {
  rows->clear();
  const auto* image = HoldersImage(side, environment);
  if (!image) {
    ReadHolders(side, connection, environment, {&ids}, 0);  // reads nothing when read with the set
    image = HoldersImage(side, environment);                // the read may have taken the table whole
  }
  ForEachHolder(image, side, environment, ids, [&](const StoredEntityRow& row) { rows->push_back(row); });
}

const std::pair<uint32_t, uint32_t>& KelLnkHybridReadAhead::PointedObject(uint32_t compname) {
  return Pointed(compname);
}

void KelLnkHybridReadAhead::Waiting(KelLnkDirection d, int index) {
  Lane& lane = LaneOf(d);
  if (lane.KnownPosition(index) >= 0) return;
  const Obj key = KeyOf(*KelLnkHybridManager::GetEntity(index));
  if (lane.FromImages(key.environment)) return;
  // Only a hint for the next set read: an object taken for read when it was
  // not is still read when its rows are asked for, only not ahead.
  const int position = lane.LikelyPosition(key);
  if (position < 0)
    lane.Wait(key);
  else
    lane.Know(index, position);
}

void KelLnkHybridReadAhead::PrefetchHolders(KelDMEntitySide side, const KelUnicodeString& environment,
                                            std::string_view id1) {
  if (const auto* image = HoldersImage(side, environment)) image->Prefetch(id1);
}

void KelLnkHybridReadAhead::PrefetchWaiting(KelLnkDirection d, uint32_t environment, uint32_t table,
                                            const KelId& coid, const KelId& compid) {
  const Lane& lane = LaneOf(d);
  if (!lane.FromImages(environment)) lane.Prefetch(Obj{environment, table, coid, compid});
}

void KelLnkHybridReadAhead::Forget() {
  Store& store = TheStore();
  store = Store();
}
