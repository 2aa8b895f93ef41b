// A hash index of positions in an array of records that carry their own keys
// (the object cache, the entity and link caches): open addressing over a
// power-of-two table of positions, kept at most half full, so that it costs
// 8 to 16 bytes per record instead of a node and its bucket.
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

template <typename Traits>
class KelLnkPositionIndex {
 public:
  // The position of the record equal to `probe`, -1 when none.
  template <typename Probe>
  int Find(const Probe& probe) const {
    if (slots_.empty()) return -1;
    for (size_t i = Home(Traits::Hash(probe));; i = (i + 1) & (slots_.size() - 1)) {
      const int32_t position = slots_[i];
      if (position == kFree) return -1;
      if (Traits::Equal(position, probe)) return position;
    }
  }
  // Adds the record at `position`, whose key is not in the index yet.
  void Insert(int position) {
    if (2 * (count_ + 1) > slots_.size()) Grow();
    Place(position);
    ++count_;
  }
  void Clear() {
    slots_ = std::vector<int32_t>();
    count_ = 0;
    bits_ = 0;
  }

 private:
  static constexpr int32_t kFree = -1;

  // The multiplication spreads the hash over the high bits the table keeps.
  size_t Home(size_t hash) const { return (hash * 0x9E3779B97F4A7C15ull) >> (64 - bits_); }
  void Place(int32_t position) {
    size_t i = Home(Traits::HashOf(position));
    while (slots_[i] != kFree) i = (i + 1) & (slots_.size() - 1);
    slots_[i] = position;
  }
  void Grow() {
    std::vector<int32_t> old = std::move(slots_);
    bits_ = old.empty() ? 10 : bits_ + 1;
    slots_.assign(size_t{1} << bits_, kFree);
    for (int32_t position : old)
      if (position != kFree) Place(position);
  }

  std::vector<int32_t> slots_;
  size_t count_ = 0;
  unsigned bits_ = 0;
};
