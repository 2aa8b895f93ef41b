// The open-addressing index of record positions: keys whose hashes agree in
// whole or in part are still told apart by their records, and every key is
// found again after the table has grown many times.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "base/kel_position_index.h"

namespace {

std::vector<uint64_t> gKeys;  // the records: their keys, by position
size_t (*gHash)(uint64_t) = nullptr;

struct KeyTraits {
  static size_t Hash(uint64_t key) { return gHash(key); }
  static size_t HashOf(int position) { return gHash(gKeys[static_cast<size_t>(position)]); }
  static bool Equal(int position, uint64_t key) { return gKeys[static_cast<size_t>(position)] == key; }
};

// Fills an index with `n` keys under `hash` and checks every key, and as
// many absent ones, after each growth.
void CheckUnder(size_t (*hash)(uint64_t), size_t n) {
  gHash = hash;
  gKeys.clear();
  KelPositionIndex<KeyTraits> index;
  EXPECT_EQ(index.Find(uint64_t{7}), -1);  // empty
  for (size_t k = 0; k < n; ++k) {
    const uint64_t key = k * 0x10001 + 3;
    ASSERT_EQ(index.Find(key), -1);
    index.Prefetch(hash(key));
    gKeys.push_back(key);
    index.Insert(static_cast<int>(k));
  }
  for (size_t k = 0; k < n; ++k) {
    EXPECT_EQ(index.Find(uint64_t{k * 0x10001 + 3}), static_cast<int>(k));
    EXPECT_EQ(index.Find(uint64_t{k * 0x10001 + 4}), -1);
    // By hash alone: a present key always has a candidate.
    EXPECT_GE(index.Candidate(hash(k * 0x10001 + 3)), 0);
  }
  index.Clear();
  EXPECT_EQ(index.Find(uint64_t{3}), -1);
}

TEST(PositionIndexTest, KeysAreFoundWhateverTheirHashesShare) {
  // Distinct hashes, across several growths of the table.
  CheckUnder([](uint64_t key) { return static_cast<size_t>(key * 0x9E3779B97F4A7C15ull); }, 5000);
  // By hash alone, an absent key whose hash is unlike any other has none.
  gHash = [](uint64_t key) { return static_cast<size_t>(key); };
  gKeys = {10, 20};
  KelPositionIndex<KeyTraits> two;
  two.Insert(0);
  two.Insert(1);
  EXPECT_EQ(two.Candidate(20), 1);
  EXPECT_EQ(two.Candidate(30), -1);
  // Four hashes for many keys: long runs of full slots, and keys with the
  // same tag told apart by their records alone.
  CheckUnder([](uint64_t key) { return static_cast<size_t>(key & 3); }, 300);
  // One hash for every key.
  CheckUnder([](uint64_t) { return size_t{42}; }, 200);
}

}  // namespace
