// mml sync plan|order|run ENV TABLE COID COMPID: the synchronisation of an
// object as the graph window's "Synchronise" menu does it, without a screen.
#include <signal.h>

#include <iostream>
#include <memory>
#include <string>

#include "apps/mml/mml_app.h"
#include "apps/mml/mml_console_services.h"
#include "apps/mml/mml_json.h"
#include "apps/mml/mml_object_args.h"
#include "foundation/kel_lnk_tools.h"
#include "graph/kel_lnk_object.h"
#include "host/db/kel_dm_ier_message.h"
#include "host/process/kel_xco_process.h"
#include "linkdb/kel_lnk_data_manager.h"
#include "operations/kel_lnk_synchronise.h"
#include "ui/kel_lnk_main_window.h"

namespace {

const char kDirectionHelp[] =
    "The command acts as a graph window opened on the object: in the \"impacted\n"
    "by\" direction (the objects the object points to) unless --impacts-on is\n"
    "given (the objects that point to it). Settings come from the profile\n"
    "(--profile or MML_PROFILE); needs --db (or MML_DB).";

const char kPlanHelp[] =
    "Prints the synchronisation plan as the synchronise dialog lists it, one unit\n"
    "per line, the fields separated by tabs:\n"
    "  NUMBER  OBJECT  LINK (SYNCHRONISE TYPE)  REASON\n"
    "NUMBER counts from 1, OBJECT is the name of the object to synchronise, LINK\n"
    "the declared name of the link type and REASON the names of the objects it\n"
    "must be brought in step with. Then one line per reverse link (an object of\n"
    "the plan that another object depends on too):\n"
    "  reverse  TO  FROM\n"
    "Without --full the plan covers the object and the objects next to it (\"This\n"
    "level\"); with --full everything below it, deepest first (--reverse also\n"
    "looks for reverse links). A graph with a loop is refused.\n"
    "With --json: {\"units\": [{number, object {env, table, coid, compid, name},\n"
    "link_type, link, synchronise_type, reason}], \"reverse\": [{to, from}]}.\n";

const char kOrderHelp[] =
    "Prints the order in which the stale objects below the object must be\n"
    "synchronised, one line per object: its level (from 1), a tab, its name.\n"
    "Objects of a level can be synchronised once the levels before are done.\n"
    "A graph with a loop is refused.\n";

const char kRunHelp[] =
    "Carries the plan of \"mml sync plan\" out: units whose link type synchronises\n"
    "by BATCH are written to the command file MMLSync and the script named by\n"
    "KELZUMO.QOR.MML.SYNCHRONISE.SCRIPT is run on them, one run of consecutive\n"
    "units at a time; a unit of type TOVRA opens the CAD viewer of the table\n"
    "and waits for it to end (docs/site-scripts.md). The files are in /tmp, or\n"
    "in MML_TMPDIR; a second synchronisation or migration on the machine is\n"
    "refused while one runs. Prints \"Synchronisation done\" and exits 0 when\n"
    "every script returned 0; otherwise prints why on standard error and exits\n"
    "1. On SIGINT or SIGTERM the script is stopped, the synchronisation files\n"
    "are removed and the exit status is 128 + the signal number.\n";

struct SyncArgs {
  MmlObjectArgs object;
  bool full = false;
  bool reverse = false;
  bool impactsOn = false;
  bool json = false;
};

nlohmann::ordered_json JsonObject(const KelDMInstance& i) {
  nlohmann::ordered_json json = MmlJsonObject(i.GetEnvironment(), i.GetTable(), i.GetXCoid(), i.GetXCompid());
  json["name"] = KelLnkDataManager::GetInstanceName(i);
  return json;
}

// The plan of the command: "This level" or the full plan.
void BuildPlan(const SyncArgs& args, KelLnkObject& root, MmlConsoleServices& services) {
  if (!args.full) {
    KelLnkSynchronise::PlanThisLevel(root, services.plan, services.reverseLinks);
    return;
  }
  const int outcome = KelLnkSynchronise::PlanFull(root, args.reverse ? 1 : 0, services.plan, services.reverseLinks);
  if (outcome == KelLnkSynchronise::kPlanLoop) MmlFail("cannot synchronise: there are loops in the graph");
}

void RunPlan(const SyncArgs& args, const MmlGlobals& globals) {
  const KelDMInstance instance = args.object.Instance();
  auto window = MmlOpenWindow(globals, instance, args.impactsOn ? 1 : 0);
  MmlConsoleServices services;
  BuildPlan(args, MmlRootObject(*window), services);
  if (args.json) {
    nlohmann::ordered_json doc;
    doc["units"] = nlohmann::ordered_json::array();
    int number = 0;
    for (const auto& unit : services.plan) {
      const auto row = KelLnkSynchronise::PlanRow(++number, unit);
      doc["units"].push_back({{"number", number},
                              {"object", JsonObject(unit.object->Instance())},
                              {"link_type", unit.linkType},
                              {"link", KelLnkTools::LinktypeToLinkname(unit.linkType)},
                              {"synchronise_type", KelLnkTools::GetSynchroniseType(unit.linkType)},
                              {"reason", unit.reason}});
    }
    doc["reverse"] = nlohmann::ordered_json::array();
    for (const auto& link : services.reverseLinks)
      doc["reverse"].push_back({{"to", JsonObject(link.object->Instance())}, {"from", JsonObject(*link.instance)}});
    MmlEmitJson(doc);
    return;
  }
  std::string out;
  int number = 0;
  for (const auto& unit : services.plan) {
    const auto row = KelLnkSynchronise::PlanRow(++number, unit);
    out += row[0] + "\t" + row[1] + "\t" + row[2] + "\t" + row[3] + "\n";
  }
  for (const auto& link : services.reverseLinks) {
    const auto row = KelLnkSynchronise::ReverseRow(link);
    out += "reverse\t" + row[0] + "\t" + row[1] + "\n";
  }
  std::cout << out << std::flush;
}

void RunOrder(const SyncArgs& args, const MmlGlobals& globals) {
  const KelDMInstance instance = args.object.Instance();
  auto window = MmlOpenWindow(globals, instance, args.impactsOn ? 1 : 0);
  KelListValKelDMInstance objects;
  KelRawCollint levels;
  if (KelLnkSynchronise::ComputeOrder(MmlRootObject(*window), objects, levels))
    MmlFail("cannot compute the order: there are loops in the graph");
  std::string out;
  for (size_t i = 0; i < objects.size(); ++i)
    out += std::to_string(levels[i]) + "\t" + KelLnkDataManager::GetInstanceName(objects[i]) + "\n";
  std::cout << out << std::flush;
}

void RunRun(const SyncArgs& args, const MmlGlobals& globals) {
  const KelDMInstance instance = args.object.Instance();
  auto window = MmlOpenWindow(globals, instance, args.impactsOn ? 1 : 0);
  MmlExportForScripts(globals);
  MmlConsoleServices services;
  BuildPlan(args, MmlRootObject(*window), services);
  if (services.plan.empty()) {
    std::cout << "Nothing to synchronise" << std::endl;
    return;
  }
  struct sigaction action {};
  action.sa_handler = [](int signo) { KelXcoRequestStop(signo); };
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);

  KelLnkSynchronise::ResetOutcome();
  KelLnkSynchronise::DoSynchronise(window.get(), std::move(services.plan));
  while (KelLnkSynchronise::Busy()) {
    const int rc = xconext();
    if (const int signo = KelXcoStopRequested()) {
      KelXcoStopAll(5000);
      KelLnkSynchronise::Abandon();
      MmlFail("synchronisation interrupted by signal " + std::to_string(signo) +
                  ": the script was stopped and the synchronisation files removed",
              128 + signo);
    }
    if (rc != 0) {
      KelLnkSynchronise::Abandon();
      MmlFail("the synchronisation script was lost: " + KelDMIerMessage(rc).GetDisplayMessage(1));
    }
  }
  // The viewers opened for interactive units are the user's: not waited for.
  if (services.errors > 0 || KelLnkSynchronise::Failures() > 0) throw MmlExit{1};
  std::cout << "Synchronisation done" << std::endl;
}

MmlCommand reg("sync", [](CLI::App& app, MmlGlobals& globals) {
  CLI::App* sync = app.add_subcommand("sync", "Synchronisation plans, orders and runs of an object");
  sync->require_subcommand(1);
  struct Sub {
    const char* name;
    const char* description;
    const char* help;
    void (*run)(const SyncArgs&, const MmlGlobals&);
    bool full;
  };
  MmlAddSubcommands<SyncArgs>(
      sync,
      {Sub{"plan", "Print the synchronisation plan of an object", kPlanHelp, RunPlan, true},
       Sub{"order", "Print the order in which the objects below must be synchronised", kOrderHelp, RunOrder, false},
       Sub{"run", "Carry the synchronisation of an object out through the site script", kRunHelp, RunRun, true}},
      [](CLI::App* cmd, SyncArgs& args, const Sub& sub) {
        cmd->footer(std::string(sub.help) + kDirectionHelp);
        args.object.AddTo(cmd);
        if (sub.full) cmd->add_flag("--full", args.full, "Everything below the object, deepest first");
        if (sub.run == RunPlan) {
          cmd->add_flag("--reverse", args.reverse, "With --full, also look for reverse links");
          cmd->add_flag("--json", args.json, "Print one JSON document instead of text lines");
        }
        cmd->add_flag("--impacts-on", args.impactsOn, "Act as an \"impacts on\" window");
      },
      [&globals](const SyncArgs& args, const Sub& sub) { sub.run(args, globals); });
});

}  // namespace
