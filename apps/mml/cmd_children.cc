// mml children ENV TABLE COID COMPID [--parents]: the links of one object as
// the link database answers them, without a window.
#include <iostream>
#include <memory>
#include <string>

#include "apps/mml/mml_app.h"
#include "apps/mml/mml_json.h"
#include "apps/mml/mml_object_args.h"
#include "base/kel_id.h"
#include "foundation/kel_lnk_tools.h"
#include "linkdb/kel_lnk_hybrid_manager.h"

namespace {

const char kChildrenHelp[] =
    "Prints one line per link, in answer order, with TAB-separated fields:\n"
    "  far-end environment, table, coid, compid (hexadecimal),\n"
    "  link type, link table ($EXT, MML_LINK or QOR_LINK), link timestamp, status,\n"
    "  up-to-date flag (1 or 0), technology (1 $EXT, 2 MML_LINK, 3 both, 4 V5, 0 unknown),\n"
    "  the link's UUIDs joined by commas, the far end's UUIDs joined by commas.\n"
    "The far end is the pointed object (children) or the pointing object (--parents).\n"
    "With --json: one array of objects with the fields env, table, coid, compid,\n"
    "link_type, link_table, link_timestamp, status, up_to_date (true or false),\n"
    "technology, link_uuids and uuids (arrays), in the same order.\n"
    "Settings come from the profile (--profile or MML_PROFILE). Needs --db (or MML_DB).";

struct ChildrenArgs : MmlObjectArgs {
  bool parents = false;
  bool json = false;
};

std::string Joined(const KelListValKelUnicodeString& texts) {
  std::string out;
  for (const auto& text : texts) {
    if (!out.empty()) out += ",";
    out += text;
  }
  return out;
}

void RunChildren(const ChildrenArgs& args, const MmlGlobals& globals) {
  if (args.env.empty() || args.table.empty()) MmlFail("the environment and the table must not be empty");
  const KelId coid = MmlParseIdentifier("COID", args.coid);
  const KelId compid = MmlParseIdentifier("COMPID", args.compid);
  MmlOpenSession(globals, false);
  MmlLoadProfile(globals, false);
  KelLnkTools::Initialise();
  KelLnkHybridManager::CacheDeclarations();

  KelLnkHybridManager::Entity e(args.env, args.table, coid, compid);
  int count = 0;
  KelLnkHybridManager::Link** links = nullptr;
  KelLnkHybridManager::Entity** entities = nullptr;
  if (args.parents)
    KelLnkHybridManager::GetParents(e, count, &links, &entities, nullptr);
  else
    KelLnkHybridManager::GetChildren(e, count, &links, &entities, nullptr);
  // The arrays are ours; the links and entities they point to stay the cache's.
  const std::unique_ptr<KelLnkHybridManager::Link*[]> ownedLinks(links);
  const std::unique_ptr<KelLnkHybridManager::Entity*[]> ownedEntities(entities);

  std::string out;
  nlohmann::ordered_json rows = nlohmann::ordered_json::array();
  for (int k = 0; k < count; ++k) {
    const KelLnkHybridManager::Link& link = *links[k];
    const KelLnkHybridManager::Entity& far = *entities[k];
    if (args.json) {
      nlohmann::ordered_json row = MmlJsonObject(far.caenv(), far.kelab(), far.coid.Hex(), far.compid.Hex());
      row["link_type"] = link.Type();
      row["link_table"] = link.Table();
      row["link_timestamp"] = link.Timestamp.str();
      row["status"] = link.Status();
      row["up_to_date"] = link.UpToDate != 0;
      row["technology"] = link.Techno;
      row["link_uuids"] = std::vector<std::string>(link.Uuids().begin(), link.Uuids().end());
      row["uuids"] = std::vector<std::string>(far.Uuids().begin(), far.Uuids().end());
      rows.push_back(std::move(row));
      continue;
    }
    out += far.caenv() + "\t" + far.kelab() + "\t" + far.coid.Hex() + "\t" + far.compid.Hex() + "\t" + link.Type() +
           "\t" + link.Table() + "\t" + link.Timestamp.str() + "\t" + link.Status() + "\t" +
           std::to_string(link.UpToDate) + "\t" + std::to_string(link.Techno) + "\t" + Joined(link.Uuids()) + "\t" +
           Joined(far.Uuids()) + "\n";
  }
  if (args.json) {
    MmlEmitJson(rows);
  } else {
    std::cout << out << std::flush;
  }
}

MmlCommand reg("children", [](CLI::App& app, MmlGlobals& globals) {
  auto args = std::make_shared<ChildrenArgs>();
  CLI::App* cmd = app.add_subcommand("children", "The links of one object, as the link database answers them");
  cmd->footer(kChildrenHelp);
  args->AddTo(cmd);
  cmd->add_flag("--parents", args->parents, "The objects that point to it instead of those it points to");
  cmd->add_flag("--json", args->json, "Print one JSON array instead of text lines");
  cmd->callback([args, &globals]() { RunChildren(*args, globals); });
});

}  // namespace
