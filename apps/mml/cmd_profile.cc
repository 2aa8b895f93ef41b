// mml profile report|linktypes: the module's settings as read from the host
// profile for the current environment.
#include <iostream>
#include <string>

#include "apps/mml/mml_app.h"
#include "foundation/kel_lnk_tools.h"
#include "host/kel_dm_tovra.h"

namespace {

const char kReportHelp[] =
    "Prints the declarative report: every logical key of the module as it was\n"
    "read, then the obsolete keys. Needs --profile (or MML_PROFILE) and --db (or\n"
    "MML_DB): the settings are read together with the environments that hold the\n"
    "link tables.";

const char kLinktypesHelp[] =
    "Prints the link types of the current environment (--env, MML_ENV or the\n"
    "profile key ENVIRONMENT), one line per type in declaration order:\n"
    "  TYPE<TAB>NAME<TAB>LABEL<TAB>SYNCHRONISE TYPE\n"
    "Needs --profile (or MML_PROFILE) and --db (or MML_DB).";

// Profile first: a faulty profile stops the command before anything else.
void ReadSettings(const MmlGlobals& globals) {
  MmlLoadProfile(globals, true);
  MmlOpenSession(globals, false);
  KelLnkTools::Initialise();
}

void RunReport(const MmlGlobals& globals) {
  ReadSettings(globals);
  std::cout << KelLnkTools::DeclarativeReport();
}

void RunLinktypes(const MmlGlobals& globals) {
  MmlLoadProfile(globals, true);
  if (KelDMTovra::GetCurrentEnv().empty()) {
    MmlFail("no current environment: use --env, set MML_ENV or the profile key ENVIRONMENT");
  }
  ReadSettings(globals);
  std::string out;
  for (const auto& type : KelLnkTools::GetLinktypes()) {
    out += type + "\t" + KelLnkTools::LinktypeToLinkname(type) + "\t" + KelLnkTools::LinktypeToLinklabel(type) + "\t" +
           KelLnkTools::GetSynchroniseType(type) + "\n";
  }
  std::cout << out;
}

MmlCommand reg("profile", [](CLI::App& app, MmlGlobals& globals) {
  CLI::App* profile = app.add_subcommand("profile", "The module's settings read from the host profile");
  profile->require_subcommand(1);
  CLI::App* report = profile->add_subcommand("report", "Print the declarative report");
  report->footer(kReportHelp);
  report->callback([&globals] { RunReport(globals); });
  CLI::App* linktypes = profile->add_subcommand("linktypes", "Print the link-type table");
  linktypes->footer(kLinktypesHelp);
  linktypes->callback([&globals] { RunLinktypes(globals); });
});

}  // namespace
