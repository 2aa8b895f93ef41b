// mml object info ENV TABLE COID COMPID: what the object data manager knows
// about one database object.
#include <iostream>
#include <memory>
#include <string>

#include "apps/mml/mml_app.h"
#include "apps/mml/mml_json.h"
#include "apps/mml/mml_object_args.h"
#include "base/kel_id.h"
#include "linkdb/kel_lnk_data_manager.h"

namespace {

const char kInfoHelp[] =
    "Prints one fact per line:\n"
    "  exists: YES|NO                    the object's row is in the table\n"
    "  name: TEXT                        display name (C_ID ** C_REVISION), (?) when unreadable\n"
    "  timestamp: TEXT                   C_LASTMOD with its last six digits as 000000\n"
    "  lock: TEXT                        one line per lock: LOCK <type> <user>, or NO LOCK\n"
    "  identificators: V1 V2 ...         identification fields declared by the profile\n"
    "                                    (IDENTIFICATION lines), (?) when none\n"
    "  latest: YES|NO                    the object is its family's latest revision\n"
    "  latest instance: ENV TABLE COID COMPID\n"
    "  latest timestamp: TEXT            timestamp of the latest revision\n"
    "COID and COMPID are sixteen hexadecimal digits. Needs --db (or MML_DB); the\n"
    "profile (--profile or MML_PROFILE) is read when given.\n"
    "With --json: one JSON object with the fields exists, name, timestamp, lock\n"
    "(an array of lines), identificators (an array), latest, latest_instance (env,\n"
    "table, coid, compid) and latest_timestamp; YES and NO become true and false.";

struct InfoArgs : MmlObjectArgs {
  bool json = false;
};

void RunInfo(const InfoArgs& args, const MmlGlobals& globals) {
  if (args.env.empty() || args.table.empty()) MmlFail("the environment and the table must not be empty");
  KelId coid = MmlParseIdentifier("COID", args.coid);
  KelId compid = MmlParseIdentifier("COMPID", args.compid);
  MmlOpenSession(globals, false);
  MmlLoadProfile(globals, false);

  const std::string& env = args.env;
  const std::string& table = args.table;
  if (args.json) {
    nlohmann::ordered_json info;
    info["exists"] = KelLnkDataManager::DoesObjectExist(env, table, coid, compid) != 0;
    info["name"] = KelLnkDataManager::GetObjectName(env, table, coid, compid);
    info["timestamp"] = KelLnkDataManager::GetObjectTimestamp(env, table, coid, compid);
    const auto locks = KelLnkDataManager::GetObjectLockS(env, table, coid, compid);
    info["lock"] = std::vector<std::string>(locks.begin(), locks.end());
    const auto ids = KelLnkDataManager::GetObjectIdentificators(env, table, coid, compid, -1);
    info["identificators"] = std::vector<std::string>(ids.begin(), ids.end());
    info["latest"] = KelLnkDataManager::IsObjectLatest(env, table, coid, compid) != 0;
    const KelDMInstance latest = KelLnkDataManager::GetObjectLatestInstance(env, table, coid, compid);
    info["latest_instance"] =
        MmlJsonObject(latest.GetEnvironment(), latest.GetTable(), latest.GetXCoid(), latest.GetXCompid());
    info["latest_timestamp"] = KelLnkDataManager::GetObjectLatestTimestamp(env, table, coid, compid);
    MmlEmitJson(info);
    return;
  }
  std::string out;
  out += std::string("exists: ") + (KelLnkDataManager::DoesObjectExist(env, table, coid, compid) ? "YES" : "NO") + "\n";
  out += "name: " + KelLnkDataManager::GetObjectName(env, table, coid, compid) + "\n";
  out += "timestamp: " + KelLnkDataManager::GetObjectTimestamp(env, table, coid, compid) + "\n";
  for (const auto& line : KelLnkDataManager::GetObjectLockS(env, table, coid, compid)) out += "lock: " + line + "\n";
  std::string ids;
  for (const auto& value : KelLnkDataManager::GetObjectIdentificators(env, table, coid, compid, -1)) {
    if (!ids.empty()) ids += " ";
    ids += value;
  }
  out += "identificators: " + ids + "\n";
  out += std::string("latest: ") + (KelLnkDataManager::IsObjectLatest(env, table, coid, compid) ? "YES" : "NO") + "\n";
  KelDMInstance latest = KelLnkDataManager::GetObjectLatestInstance(env, table, coid, compid);
  out += "latest instance: " + latest.GetEnvironment() + " " + latest.GetTable() + " " + latest.GetXCoid() + " " +
         latest.GetXCompid() + "\n";
  out += "latest timestamp: " + KelLnkDataManager::GetObjectLatestTimestamp(env, table, coid, compid) + "\n";
  std::cout << out << std::flush;
}

MmlCommand reg("object", [](CLI::App& app, MmlGlobals& globals) {
  CLI::App* object = app.add_subcommand("object", "Questions about one database object");
  object->require_subcommand(1);
  auto args = std::make_shared<InfoArgs>();
  CLI::App* info = object->add_subcommand("info", "What the object data manager knows about an object");
  info->footer(kInfoHelp);
  args->AddTo(info);
  info->add_flag("--json", args->json, "Print one JSON object instead of text lines");
  info->callback([args, &globals]() { RunInfo(*args, globals); });
});

}  // namespace
