// mml impacts INPUT REQUEST: batch impact analysis of the root objects named
// in an input file.
#include <iostream>
#include <memory>
#include <string>

#include "apps/mml/mml_app.h"
#include "batch/kel_lnk_batch.h"

namespace {

const char kImpactsHelp[] =
    "INPUT names the root objects, four lines per root: environment, table,\n"
    "coid, compid (sixteen hexadecimal digits each); every line ends with a\n"
    "newline, none is empty or longer than 71 characters.\n"
    "REQUEST: 0 impacted by, 1 impacts on, 2 both.\n"
    "For each root the objects found are written next to INPUT, to\n"
    "INPUT.ImpactedBy and/or INPUT.ImpactsOn: the number N of objects, then\n"
    "four lines per object (environment, table, coid, compid).\n"
    "Warnings (a root without impacts) are printed on standard output and do\n"
    "not change the exit status. An error is printed on standard error as\n"
    "  mml: error <number>: <short message>: <long message> (severity <n>)\n"
    "and the exit status is 1. Needs --db (or MML_DB); the profile\n"
    "(--profile or MML_PROFILE) is read when given.";

struct ImpactsArgs {
  std::string input;
  int request = 0;
};

void RunImpacts(const ImpactsArgs& args, MmlGlobals& globals) {
  MmlRefuseEmptyInput(args.input);
  MmlOpenSession(globals, false);
  MmlLoadProfile(globals, false);
  KelLnkBatch batch(args.input);
  if (kMmlMayEndWithoutTeardown) {
    batch.SetProcessEndsAfterRun(true);
    globals.endWithoutTeardown = true;
  }
  KelQorError error;
  batch.GetImpacts(error, args.request);
  std::cout << std::flush;
  if (error.Ier() != 0) MmlFail(KelLnkBatchOutcomeLine(error), 1);
}

MmlCommand reg("impacts", [](CLI::App& app, MmlGlobals& globals) {
  auto args = std::make_shared<ImpactsArgs>();
  CLI::App* impacts = app.add_subcommand("impacts", "Batch impact analysis of the roots named in an input file");
  impacts->footer(kImpactsHelp);
  impacts->add_option("INPUT", args->input, "Input file of root objects")->required();
  impacts->add_option("REQUEST", args->request, "0 impacted by, 1 impacts on, 2 both")->required();
  impacts->callback([args, &globals]() { RunImpacts(*args, globals); });
});

}  // namespace
