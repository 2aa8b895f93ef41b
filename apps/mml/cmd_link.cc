// mml link accept|upissue|set-synchronised|delete|retype: the maintenance of
// one link, as the graph window's link menu does it.
#include <iostream>
#include <memory>
#include <string>

#include "apps/mml/mml_app.h"
#include "apps/mml/mml_console_services.h"
#include "apps/mml/mml_object_args.h"
#include "graph/kel_lnk_link.h"
#include "graph/kel_lnk_object.h"
#include "host/process/kel_xco_process.h"
#include "linkdb/kel_lnk_data_manager.h"
#include "operations/kel_lnk_synchronise.h"
#include "ui/kel_lnk_main_window.h"

namespace {

const char kLinkHelp[] =
    "The link is the one of type TYPE (SOL, DRW, ... as the profile declares it)\n"
    "that the holder (HENV HTABLE HCOID HCOMPID) keeps to the referenced object\n"
    "(RENV RTABLE RCOID RCOMPID). The change is committed whole or rolled back\n"
    "whole; on failure the database's message is printed on standard error and\n"
    "the exit status is 1. What changed is printed on standard output.\n"
    "synchronise acts on a stale link only (BADDATE, UP_GOOD, UP_BADDATE): by the\n"
    "site script (command file MMLSync, error file MML_Sync.err) or the viewer,\n"
    "as the link type's synchronise type says, and waits for its end.\n"
    "Needs --db (or MML_DB); the profile (--profile or MML_PROFILE) is read when\n"
    "given.";

struct LinkArgs {
  MmlObjectArgs holder;
  MmlObjectArgs referenced;
  std::string type;
  std::string newType;
};

std::string Name(const KelDMInstance& i) {
  return i.GetEnvironment() + " " + i.GetTable() + " " + i.GetXCoid() + " " + i.GetXCompid();
}

// The link of the arguments among the holder's links; ends the program when
// there is none.
KelLnkLink& FindLink(KelLnkObject& holder, const LinkArgs& args, const KelDMInstance& referenced,
                     KelListValKelBaseUnknown_var& keep) {
  keep = holder.GetLnkChildren(0);
  for (const KelBaseUnknown_var& handle : keep) {
    auto* link = dynamic_cast<KelLnkLink*>(handle.get());
    KelLnkObject* child = link ? link->GetChild() : nullptr;
    if (child && link->GetLinktype() == args.type && child->Instance() == referenced) return *link;
  }
  MmlFail("no link of type " + args.type + " from " + Name(holder.Instance()) + " to " + Name(referenced));
}

void Run(const std::string& action, const LinkArgs& args, const MmlGlobals& globals) {
  const KelDMInstance holderInstance = args.holder.Instance();
  const KelDMInstance referenced = args.referenced.Instance();
  auto window = MmlOpenWindow(globals, holderInstance, 0);
  MmlConsoleServices services;
  KelListValKelBaseUnknown_var keep;
  KelLnkLink& link = FindLink(MmlRootObject(*window), args, referenced, keep);
  KelLnkObject* child = link.GetChild();
  std::string out;
  int rc = 0;
  if (action == "accept") {
    const std::string before = link.GetStatus();
    rc = link.Accept();
    out = "status: " + before + " -> " + link.GetStatus() + "\n";
  } else if (action == "retype") {
    rc = link.Linktype(args.newType);
    out = "type: " + args.type + " -> " + link.GetLinktype() + "\n";
  } else if (action == "upissue") {
    const std::string before = link.GetStatus();
    KelDMInstance last;
    referenced.GetLastRevision(last);
    rc = link.Upissue();
    out = "reference: " + Name(referenced) + " -> " + Name(last) + "\nstatus: " + before + " -> " + link.GetStatus() +
          "\n";
  } else if (action == "set-synchronised") {
    const int condition = link.GetCondition(0);
    const std::string before = MmlRootObject(*window).GetDate();
    const std::string date = child ? child->GetDate() : std::string();
    rc = link.SetSynchronised();
    if (condition == KelLnkLink::BADDATE || condition == KelLnkLink::UP_GOOD || condition == KelLnkLink::UP_BADDATE)
      out = "C_LASTMOD of " + Name(holderInstance) + ": " + before + " -> " + date + "\n";
    else
      out = "unchanged: the link is " + KelLnkLink::ConditionName(condition) + "\n";
  } else if (action == "synchronise") {
    MmlExportForScripts(globals);
    KelLnkSynchronise::ResetOutcome();
    KelLnkSynchronise::SynchroniseLink(link);
    while (KelLnkSynchronise::Busy() && xconext() == 0) {
    }
    rc = KelLnkSynchronise::Failures();
    const int condition = link.GetCondition(0);
    if (condition == KelLnkLink::BADDATE || condition == KelLnkLink::UP_GOOD || condition == KelLnkLink::UP_BADDATE)
      out = "synchronised: " + args.type + " link from " + Name(holderInstance) + " to " + Name(referenced) + "\n";
    else
      out = "unchanged: the link is " + KelLnkLink::ConditionName(condition) + "\n";
  } else {
    rc = link.Delete();
    out = "deleted: " + args.type + " link from " + Name(holderInstance) + " to " + Name(referenced) + "\n";
  }
  if (rc != 0 || services.errors > 0) throw MmlExit{1};
  std::cout << out << std::flush;
}

MmlCommand reg("link", [](CLI::App& app, MmlGlobals& globals) {
  CLI::App* link = app.add_subcommand("link", "Maintenance of one link: accept, upissue, retype, delete, synchronise");
  link->require_subcommand(1);
  struct Sub {
    const char* name;
    const char* description;
  };
  MmlAddSubcommands<LinkArgs>(
      link,
      {Sub{"accept", "Accept the link: its status becomes TOK"},
       Sub{"upissue", "Point the link at the latest revision of the referenced object (status UPD)"},
       Sub{"set-synchronised", "Mark the holder in step: its C_LASTMOD becomes the referenced date"},
       Sub{"delete", "Delete the link"},
       Sub{"synchronise", "Synchronise the link alone, through the site script or the viewer"},
       Sub{"retype", "Change the type of the link to NEWTYPE"}},
      [](CLI::App* cmd, LinkArgs& args, const Sub& sub) {
        cmd->footer(kLinkHelp);
        args.holder.AddTo(cmd, "H", "holder");
        args.referenced.AddTo(cmd, "R", "referenced object");
        cmd->add_option("TYPE", args.type, "Link type")->required();
        if (std::string(sub.name) == "retype") cmd->add_option("NEWTYPE", args.newType, "New link type")->required();
      },
      [&globals](const LinkArgs& args, const Sub& sub) { Run(sub.name, args, globals); });
});

}  // namespace
