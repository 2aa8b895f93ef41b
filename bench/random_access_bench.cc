// The machine's own growth per doubling for linear work over records met in
// no order: the yardstick for the growth of the batch impact walk, whose
// finds of each reached object in its caches are of that kind.
//
//   build/bench/random_access_bench --benchmark_repetitions=5
//       --benchmark_report_aggregates_only=true
//
// BM_VisitInNoOrder/N builds, untimed, kTables tables of N records of 80
// bytes, each with a hash index of its own and its records in an order of
// its own, about 440 bytes an object in all (the walk keeps 600 to 700 an
// object at its peak). Each iteration then visits the N objects once, in a
// shuffled order, finding each in every table: N * kTables finds, each
// costing the same number of instructions whatever N. Where the time per
// find grows with N, the memory does it: the tables outgrow the processor's
// caches and translation buffers.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

namespace {

constexpr int kTables = 5;

struct Record {
  uint64_t key;
  uint64_t payload[9];
};

// Open addressing over positions, at most half full, as the caches' indexes.
class Table {
 public:
  explicit Table(std::vector<uint64_t> keys) : records_(keys.size()) {
    size_t slots = 1;
    while (slots < 2 * keys.size()) slots <<= 1;
    slots_.assign(slots, -1);
    mask_ = slots - 1;
    for (size_t i = 0; i < keys.size(); ++i) {
      records_[i].key = keys[i];
      records_[i].payload[0] = i;
      size_t s = Home(keys[i]);
      while (slots_[s] >= 0) s = (s + 1) & mask_;
      slots_[s] = static_cast<int32_t>(i);
    }
  }
  uint64_t Find(uint64_t key) const {
    for (size_t s = Home(key);; s = (s + 1) & mask_) {
      const Record& r = records_[static_cast<size_t>(slots_[s])];
      if (r.key == key) return r.payload[0];
    }
  }

 private:
  size_t Home(uint64_t key) const { return ((key * 0x9E3779B97F4A7C15ull) >> 20) & mask_; }
  std::vector<Record> records_;
  std::vector<int32_t> slots_;
  size_t mask_ = 0;
};

void BM_VisitInNoOrder(benchmark::State& state) {
  const auto n = static_cast<size_t>(state.range(0));
  std::mt19937_64 random(1);
  std::vector<uint64_t> keys(n);
  for (uint64_t& k : keys) k = random();
  std::vector<Table> tables;
  tables.reserve(kTables);
  for (int t = 0; t < kTables; ++t) {
    std::vector<uint64_t> order = keys;
    std::shuffle(order.begin(), order.end(), random);
    tables.emplace_back(std::move(order));
  }
  std::vector<uint64_t> visit = keys;
  std::shuffle(visit.begin(), visit.end(), random);
  for (auto _ : state) {
    uint64_t sum = 0;
    for (const uint64_t key : visit)
      for (const Table& table : tables) sum += table.Find(key);
    benchmark::DoNotOptimize(sum);
  }
  state.counters["seconds_per_find"] = benchmark::Counter(
      static_cast<double>(n * kTables), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_VisitInNoOrder)
    ->Arg(25000)
    ->Arg(50000)
    ->Arg(100000)
    ->Arg(200000)
    ->Arg(400000)
    ->Unit(benchmark::kMillisecond);

}  // namespace
