// Opening the whole graph of an object ("All") in a window's navigator, at
// several sizes, against a plain walk of the same graph through the model
// (KelLnkObject::LoadStructure, which reads every object's links once).
//
//   build-x/bench/navigator_expand_bench --benchmark_counters_tabular=true
//
// Graphs: "tree", N objects where each object points to up to 3 others (a
// tree of depth about log3 N); "shared", the same tree where every tenth
// object also points to one common object, which is then drawn N/10 times
// (twins). The SQLite databases are built once under $TMPDIR (or /tmp) and
// reused. Compare the time per object between the sizes: equal times mean
// linear growth.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "base/kel_id.h"
#include "foundation/kel_lnk_tools.h"
#include "graph/kel_lnk_custom_node.h"
#include "graph/kel_lnk_object.h"
#include "host/db/kel_db_connection.h"
#include "host/kel_dm_schema.h"
#include "host/kel_dm_session.h"
#include "host/navigator/kel_navig_controller.h"
#include "host/profile/kel_dm_profile.h"
#include "linkdb/kel_lnk_data_manager.h"
#include "linkdb/kel_lnk_hybrid_manager.h"
#include "ui/kel_lnk_main_window.h"

namespace {

KelId Ident(unsigned prefix, int n) {
  char buf[17];
  std::snprintf(buf, sizeof buf, "%02X%014X", prefix, static_cast<unsigned>(n));
  return KelId::FromHexOrZero(buf);
}

KelDMInstance Model(int n) { return KelDMInstance("KELCON", "E1", "TOVRA_MODEL", Ident(0xC0, n), Ident(0xD0, n)); }

void Check(int code, const char* what) {
  if (code != 0) {
    std::fprintf(stderr, "navigator_expand_bench: %s failed (%d)\n", what, code);
    std::exit(1);
  }
}

// Opens (building it the first time) the database of `objects` objects.
void OpenDatabase(int objects, bool shared) {
  const char* tmp = std::getenv("TMPDIR");
  const std::string path = std::string(tmp ? tmp : "/tmp") + "/navigator_bench_" + std::to_string(objects) +
                           (shared ? "_shared" : "_tree") + ".db";
  std::FILE* existing = std::fopen(path.c_str(), "r");
  const bool build = existing == nullptr;
  if (existing) std::fclose(existing);
  std::string error;
  if (KelDMSession::Open(path, true, &error) != 0) {
    std::fprintf(stderr, "navigator_expand_bench: %s: %s\n", path.c_str(), error.c_str());
    std::exit(1);
  }
  if (build) {
    KelDbConnection* db = KelDMSession::Main();
    Check(KelDMSchema::InitEnvironment(db, "E1", {"objects", "links", "entities"}, &error), "schema");
    Check(db->Begin(), "begin");
    const int total = objects + (shared ? 1 : 0);
    for (int n = 1; n <= total; ++n) {
      Check(db->Execute("INSERT INTO $VS_E1.TOVRA_MODEL ($COID, $COMPID, C_ID, C_REVISION, C_LASTMOD, "
                        "C_REVISION_RANK) VALUES (?, ?, ?, '1', '2024-01-01 00:00:00.000000', 1)",
                        {KelDbValue::Id(Ident(0xC0, n)), KelDbValue::Id(Ident(0xD0, n)),
                         KelDbValue::Text(std::string(1, 'M').append(std::to_string(n)))},
                        nullptr),
            "object");
    }
    int row = 0;
    auto link = [&](int father, int child) {
      Check(db->Execute("INSERT INTO $VS_E1.$EXT ($COID, $COMPID, $COMPNAME_FATHER, $COMPID_FATHER, $COMPNAME, "
                        "$COID_REF, $COMPID_REF, $TYPE, KELMML_STATUS) VALUES (?, ?, 'TOVRA_MODEL', ?, "
                        "'E1.TOVRA_MODEL', ?, ?, 'KELMMxyz', 'TOK')",
                        {KelDbValue::Id(Ident(0xC0, father)), KelDbValue::Id(Ident(0xE0, ++row)),
                         KelDbValue::Id(Ident(0xD0, father)), KelDbValue::Id(Ident(0xC0, child)),
                         KelDbValue::Id(Ident(0xD0, child))},
                        nullptr),
            "link");
    };
    for (int n = 2; n <= objects; ++n) link((n - 2) / 3 + 1, n);
    if (shared) {
      for (int n = 10; n <= objects; n += 10) link(n, objects + 1);
    }
    Check(db->Commit(), "commit");
  }
  std::string profileError;
  auto profile = KelDMProfile::Parse(
      "ENVIRONMENT = E1\nIDENTIFICATION E1.TOVRA_MODEL C_ID C_REVISION\n"
      "KELZUMO.QOR.MML.SHOW_EXTRA_COLOURS = TRUE\n",
      "bench.profile", &profileError);
  KelDMProfile::SetCurrent(std::move(profile));
  KelLnkTools::ResetState();
  KelLnkTools::Initialise();
  KelLnkHybridManager::ResetState();
  KelLnkHybridManager::CacheDeclarations();
}

void ForgetEverything() {
  KelLnkObject::Clean();
  KelLnkDataManager::Uncache();
  KelLnkHybridManager::Uncache();
}

// The window's graph opened to "All": root drawn, then expanded as the
// window's refresh does. Returns the number of drawn nodes.
int OpenAll() {
  KelDMInstance root = Model(1);
  KelLnkMainWindow window(nullptr, &root, 0, nullptr, nullptr, nullptr);
  window.SetFilter(KelLnkMainWindow::FilterAll);
  window.SetExpand(KelLnkMainWindow::All);
  KelNavigController navigator(window.GetRootObject(), KelLnkCustomNode::kNodeType, KelLnkCustomNode::kArcType);
  navigator.SetDepth(window.GetExpandDepth());
  navigator.SetDepth(2);
  navigator.GetContainer()->Refresh();
  window.EmptyLists();
  KelLnkObject::Clean();
  static_cast<KelLnkObject*>(window.GetRootObject().get())->ExpandCollapse(1, window.GetRootCustomNode(), 0);
  KelLnkObject::Clean();
  navigator.GetContainer()->Refresh();
  const int drawn = navigator.GetDrawnCount();
  window.EmptyLists();
  window.SetRootController(nullptr);
  window.SetRootCustomNode(nullptr);
  return drawn;
}

void BM_ExpandAll(benchmark::State& state, bool shared) {
  const int objects = static_cast<int>(state.range(0));
  OpenDatabase(objects, shared);
  KelLnkCustomNode::RegisterNodeTypes();
  int drawn = 0;
  for (auto _ : state) {
    state.PauseTiming();
    ForgetEverything();
    state.ResumeTiming();
    drawn = OpenAll();
  }
  state.counters["drawn"] = drawn;
  state.counters["time_per_object"] = benchmark::Counter(static_cast<double>(objects) * state.iterations(),
                                                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  ForgetEverything();
  KelDMSession::Close();
}

// The reference: every object's links read once through the model.
void BM_ModelWalk(benchmark::State& state, bool shared) {
  const int objects = static_cast<int>(state.range(0));
  OpenDatabase(objects, shared);
  size_t loaded = 0;
  for (auto _ : state) {
    state.PauseTiming();
    ForgetEverything();
    state.ResumeTiming();
    KelLnkObject root(Model(1));
    root.LoadStructure(0, 0);
    loaded = KelLnkDataManager::GetStructure().size();
  }
  state.counters["loaded"] = static_cast<double>(loaded);
  state.counters["time_per_object"] = benchmark::Counter(static_cast<double>(objects) * state.iterations(),
                                                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  ForgetEverything();
  KelDMSession::Close();
}

}  // namespace

BENCHMARK_CAPTURE(BM_ExpandAll, tree, false)
    ->Arg(10000)
    ->Arg(20000)
    ->Arg(40000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK_CAPTURE(BM_ModelWalk, tree, false)
    ->Arg(10000)
    ->Arg(20000)
    ->Arg(40000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK_CAPTURE(BM_ExpandAll, shared, true)->Arg(10000)->Arg(20000)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(BM_ModelWalk, shared, true)->Arg(10000)->Arg(20000)->Unit(benchmark::kMillisecond)->Iterations(3);
