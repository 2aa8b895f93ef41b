// mml uuid check ENV TABLE COID COMPID: the multi-contained UUIDs of the
// object's whole graph, as the window's "Check UUID" lists them.
#include <iostream>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "apps/mml/mml_app.h"
#include "apps/mml/mml_json.h"
#include "apps/mml/mml_object_args.h"
#include "base/kel_id.h"
#include "foundation/kel_lnk_tools.h"
#include "linkdb/kel_lnk_hybrid_manager.h"
#include "operations/kel_lnk_uuid_check.h"

namespace {

const char kCheckHelp[] =
    "Opens the object's graph fully, without link-type or link filter (the\n"
    "objects it points to, or with --impacts-on the objects that point to it,\n"
    "level after level), then prints one line per multi-contained UUID (a UUID\n"
    "that the UUID lists of two or more objects hold), in discovery order, with\n"
    "TAB-separated fields:\n"
    "  the UUID, the identificators of the objects that hold it (blank-separated).\n"
    "Nothing is printed when no UUID is multi-contained.\n"
    "With --json: one array of objects with the fields uuid, identificators and\n"
    "objects (an array of env, table, coid, compid).\n"
    "Settings come from the profile (--profile or MML_PROFILE). Needs --db (or MML_DB).";

struct CheckArgs : MmlObjectArgs {
  bool impactsOn = false;
  bool json = false;
};

// Reads the whole graph from `root` into the link database's caches.
void CacheWholeGraph(const KelLnkHybridManager::Entity& root, bool impactsOn) {
  std::vector<KelLnkHybridManager::Entity> pending{root};
  std::unordered_set<int> visited;
  while (!pending.empty()) {
    KelLnkHybridManager::Entity e = pending.back();
    pending.pop_back();
    if (!visited.insert(KelLnkHybridManager::LocateEntity(e, 1)).second) continue;
    int count = 0;
    KelLnkHybridManager::Link** links = nullptr;
    KelLnkHybridManager::Entity** far = nullptr;
    if (impactsOn) {
      KelLnkHybridManager::GetParents(e, count, &links, &far, nullptr);
    } else {
      KelLnkHybridManager::GetChildren(e, count, &links, &far, nullptr);
    }
    const std::unique_ptr<KelLnkHybridManager::Link*[]> ownedLinks(links);
    const std::unique_ptr<KelLnkHybridManager::Entity*[]> ownedFar(far);
    for (int k = 0; k < count; ++k) pending.push_back(*far[k]);
  }
}

void RunCheck(const CheckArgs& args, const MmlGlobals& globals) {
  if (args.env.empty() || args.table.empty()) MmlFail("the environment and the table must not be empty");
  const KelId coid = MmlParseIdentifier("COID", args.coid);
  const KelId compid = MmlParseIdentifier("COMPID", args.compid);
  MmlOpenSession(globals, false);
  MmlLoadProfile(globals, false);
  KelLnkTools::Initialise();
  KelLnkHybridManager::CacheDeclarations();
  CacheWholeGraph(KelLnkHybridManager::Entity(args.env, args.table, coid, compid), args.impactsOn);

  const int count = KelLnkHybridManager::GetNbEntities();
  KelLnkHybridManager::Entity** stored = nullptr;
  KelLnkHybridManager::GetStoredEntities(&stored);
  const std::unique_ptr<KelLnkHybridManager::Entity*[]> entities(stored);
  const KelLnkUuidCheck check = KelLnkFindMultiContainedUuids(entities.get(), count, KelLnkTools::DbgPerfo() != 0);
  nlohmann::ordered_json rows = nlohmann::ordered_json::array();
  std::string out;
  for (size_t r = 0; r < check.duplicated.size(); ++r) {
    const std::string identificators = KelLnkUuidGroupIdentificators(entities.get(), count, check.groups[r]);
    if (!args.json) {
      out += check.duplicated[r] + "\t" + identificators + "\n";
      continue;
    }
    nlohmann::ordered_json objects = nlohmann::ordered_json::array();
    for (int index : check.groups[r]) {
      const KelLnkHybridManager::Entity& e = *entities[index];
      objects.push_back(MmlJsonObject(e.caenv(), e.kelab(), e.coid.Hex(), e.compid.Hex()));
    }
    rows.push_back({{"uuid", check.duplicated[r]}, {"identificators", identificators}, {"objects", objects}});
  }
  if (args.json) {
    MmlEmitJson(rows);
  } else {
    std::cout << out << std::flush;
  }
}

MmlCommand reg("uuid", [](CLI::App& app, MmlGlobals& globals) {
  CLI::App* uuid = app.add_subcommand("uuid", "UUIDs of the models of a graph");
  uuid->require_subcommand(1);
  auto args = std::make_shared<CheckArgs>();
  CLI::App* check = uuid->add_subcommand("check", "The multi-contained UUIDs of an object's whole graph");
  check->footer(kCheckHelp);
  args->AddTo(check);
  check->add_flag("--impacts-on", args->impactsOn, "Follow the objects that point to it instead");
  check->add_flag("--json", args->json, "Print one JSON array instead of text lines");
  check->callback([args, &globals]() { RunCheck(*args, globals); });
});

}  // namespace
