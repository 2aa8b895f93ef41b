// Entity lookup and link location in the link database's caches at 10,000 and
// 1,000,000 cached records: the time per call must not grow with the cache.
//
//   build-*/bench/hybrid_cache_bench --benchmark_repetitions=5
//       --benchmark_report_aggregates_only=true
//
// Each case fills the caches once for its size, then times calls that find a
// cached record (spread over the whole cache) and calls that miss, next to a
// bare hash-map lookup of the same positions as the reference.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "linkdb/kel_lnk_hybrid_manager.h"

namespace {

using HM = KelLnkHybridManager;

KelId Id(uint64_t v) {
  std::array<uint8_t, 8> b{};
  for (int k = 7; k >= 0; --k, v >>= 8) b[k] = static_cast<uint8_t>(v & 0xff);
  return KelId(b);
}

HM::Entity Object(uint64_t n) { return HM::Entity("E1", "TOVRA_MODEL", Id(n), Id(n ^ 0x5A5A5A5A)); }

// Fills the caches with `size` entities and `size` links (n -> n+1) unless
// they already hold exactly that.
void Fill(int size) {
  if (HM::GetNbEntities() == size && HM::GetNbLinks() == size) return;
  HM::ResetState();
  HM::SetDeclarationsForTest(HM::Declarations());
  for (int n = 0; n < size; ++n) HM::LocateEntity(Object(n), 1);
  for (int n = 0; n < size; ++n) {
    HM::Link link(n, (n + 1) % size, "E1", "$EXT", Id(n), Id(n), "KELMMSOL", "2024-01-01 00:00:00.000000", "TOK");
    HM::LocateAndUpdateLink(link, "2024-01-01 00:00:00.000000", -1, "");
  }
}

// Positions spread over the whole cache, the same for every size.
std::vector<int> Probes(int size) {
  std::vector<int> probes(4096);
  uint64_t x = 88172645463325252ULL;
  for (auto& p : probes) {
    x ^= x << 13;
    x ^= x >> 7;
    x ^= x << 17;
    p = static_cast<int>(x % static_cast<uint64_t>(size));
  }
  return probes;
}

void BM_LocateEntityFound(benchmark::State& state) {
  const int size = static_cast<int>(state.range(0));
  Fill(size);
  std::vector<HM::Entity> keys;
  for (int p : Probes(size)) keys.push_back(Object(p));
  size_t k = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(HM::LocateEntity(keys[k], 0));
    k = (k + 1) & 4095;
  }
}

void BM_LocateEntityMissing(benchmark::State& state) {
  const int size = static_cast<int>(state.range(0));
  Fill(size);
  std::vector<HM::Entity> keys;
  for (int p : Probes(size)) keys.push_back(Object(static_cast<uint64_t>(p) + (1ULL << 40)));
  size_t k = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(HM::LocateEntity(keys[k], 0));
    k = (k + 1) & 4095;
  }
}

void BM_LocateAndUpdateLink(benchmark::State& state) {
  const int size = static_cast<int>(state.range(0));
  Fill(size);
  std::vector<HM::Link> readings;
  for (int p : Probes(size))
    readings.emplace_back(p, (p + 1) % size, "E1", "MML_LINK", Id(p), Id(p), "KELMMSOL", "2024-01-01 00:00:00.000000",
                          "TOK");
  size_t k = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(HM::LocateAndUpdateLink(readings[k], "2024-01-01 00:00:00.000000", -1, ""));
    k = (k + 1) & 4095;
  }
  if (HM::GetNbLinks() != size) state.SkipWithError("a reading created a link");
}

// Reference: a bare hash-map lookup of the same positions in a map of the same
// size, to separate the memory hierarchy's cost from the caches' own.
void BM_ReferenceHashLookup(benchmark::State& state) {
  const int size = static_cast<int>(state.range(0));
  std::unordered_map<KelId, int, KelIdHash> map;
  map.reserve(size);
  for (int n = 0; n < size; ++n) map.emplace(Id(n), n);
  std::vector<KelId> keys;
  for (int p : Probes(size)) keys.push_back(Id(p));
  size_t k = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(map.find(keys[k]));
    k = (k + 1) & 4095;
  }
}

BENCHMARK(BM_ReferenceHashLookup)->Arg(10000)->Arg(1000000);
BENCHMARK(BM_LocateEntityFound)->Arg(10000)->Arg(1000000);
BENCHMARK(BM_LocateEntityMissing)->Arg(10000)->Arg(1000000);
BENCHMARK(BM_LocateAndUpdateLink)->Arg(10000)->Arg(1000000);

}  // namespace
