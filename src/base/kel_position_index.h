// A hash index of positions in an array of records that carry their own keys
// (the object cache, the entity and link caches, the pools of shared values):
// open addressing over a power-of-two table of positions, kept at most half
// full, so that it costs 16 to 32 bytes per record instead of a node and its
// bucket, and a find reads one slot and, as a rule, one record.
//
// `Traits` says how to hash and compare, without a copy of the keys:
//   static size_t HashOf(int position);            // the hash of a record's key
//   static size_t Hash(const Probe& probe);        // the same hash of a probe
//   static bool Equal(int position, const Probe& probe);
// for every Probe type Find is called with. A record's key must not change
// while the index holds its position.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// How many keys ahead of their finds a loop over many keys asks for their
// slots (Prefetch): enough for the reads to overlap, few enough that the
// slots are still in the cache when found.
constexpr size_t kPrefetchAhead = 8;

template <typename Traits>
class KelPositionIndex {
 public:
  // The position of the record equal to `probe`, -1 when none.
  template <typename Probe>
  int Find(const Probe& probe) const {
    return Scan(TagOf(Traits::Hash(probe)), [&](int position) { return Traits::Equal(position, probe); });
  }
  // The position of the first record whose hash agrees with `hash` in the
  // part the index keeps, -1 when none: no record is read, so a position
  // found may belong to another key (about one time in four billion).
  int Candidate(size_t hash) const {
    return Scan(TagOf(hash), [](int) { return true; });
  }
  // Asks the processor for the slot a Find of a key with this hash starts
  // at: finds of many keys in a row overlap their memory reads this way.
  void Prefetch(size_t hash) const {
    if (!slots_.empty()) __builtin_prefetch(&slots_[Home(TagOf(hash))]);
  }
  // In a loop over `count` keys, at key `k`: asks for the slot of the key
  // kPrefetchAhead further on, `probeAt(j)` giving key j's probe.
  template <typename ProbeAt>
  void PrefetchAhead(size_t k, size_t count, ProbeAt&& probeAt) const {
    if (k + kPrefetchAhead < count) Prefetch(Traits::Hash(probeAt(k + kPrefetchAhead)));
  }
  // Adds the record at `position`, whose key is not in the index yet.
  void Insert(int position) {
    if (2 * (count_ + 1) > slots_.size()) Grow();
    Place(Slot{TagOf(Traits::HashOf(position)), position});
    ++count_;
  }
  // Makes room for `count` records in all: inserting that many grows nothing.
  void Reserve(size_t count) {
    unsigned bits = 10;
    while ((size_t{1} << bits) < 2 * (count + 1)) ++bits;
    if (bits > bits_) Rehash(bits);
  }
  void Clear() {
    slots_ = std::vector<Slot>();
    count_ = 0;
    bits_ = 0;
  }

 private:
  static constexpr int32_t kFree = -1;
  // A position with the high half of its mixed hash: a probe compares
  // records only when the tags agree, and growing places every slot again
  // without a look at the records.
  struct Slot {
    uint32_t tag;
    int32_t position;
  };

  // The first position of the tag's run that `is` accepts, -1 when none.
  template <typename Is>
  int Scan(uint32_t tag, Is&& is) const {
    if (slots_.empty()) return -1;
    for (size_t i = Home(tag);; i = (i + 1) & (slots_.size() - 1)) {
      const Slot slot = slots_[i];
      if (slot.position == kFree) return -1;
      if (slot.tag == tag && is(slot.position)) return slot.position;
    }
  }
  // The multiplication spreads the hash over the high bits the tag keeps.
  static uint32_t TagOf(size_t hash) { return static_cast<uint32_t>((hash * 0x9E3779B97F4A7C15ull) >> 32); }
  size_t Home(uint32_t tag) const { return tag >> (32 - bits_); }
  void Place(Slot slot) {
    size_t i = Home(slot.tag);
    while (slots_[i].position != kFree) i = (i + 1) & (slots_.size() - 1);
    slots_[i] = slot;
  }
  void Grow() { Rehash(slots_.empty() ? 10 : bits_ + 1); }
  void Rehash(unsigned bits) {
    std::vector<Slot> old = std::move(slots_);
    bits_ = bits;
    slots_.assign(size_t{1} << bits_, Slot{0, kFree});
    for (const Slot& slot : old)
      if (slot.position != kFree) Place(slot);
  }

  std::vector<Slot> slots_;
  size_t count_ = 0;
  unsigned bits_ = 0;
};
