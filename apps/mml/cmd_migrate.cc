// mml migrate INPUT: batch migration of the root objects named in an input
// file, through the site's migration script.
#include <signal.h>

#include <iostream>
#include <memory>
#include <string>

#include "apps/mml/mml_app.h"
#include "batch/kel_lnk_batch.h"
#include "host/process/kel_xco_process.h"

namespace {

const char kMigrateHelp[] =
    "INPUT names the root objects, four lines per root: environment, table,\n"
    "coid, compid (sixteen hexadecimal digits each); every line ends with a\n"
    "newline, none is empty or longer than 71 characters.\n"
    "For each root, the objects below it are written children first to the\n"
    "command file MMLMigr and the migration script named by the profile key\n"
    "KELZUMO.QOR.MML.MIGRATE.SCRIPT is run; its return code is read from\n"
    "MMLMigr_err (docs/site-scripts.md). The files are in /tmp, or in the\n"
    "directory named by MML_TMPDIR; a second migration or synchronisation on\n"
    "the machine is refused while one runs. The script gets the database in\n"
    "MML_DB and this program in MML_BIN (unless already set).\n"
    "The outcome \"Migration done\" is printed on standard output. An error is\n"
    "printed on standard error as\n"
    "  mml: error <number>: <short message>: <long message> (severity <n>)\n"
    "and the exit status is 1. On SIGINT or SIGTERM the script is stopped,\n"
    "the migration files are removed and the exit status is 128 + the signal\n"
    "number. Needs --db (or MML_DB) and the profile (--profile or MML_PROFILE).";

void RunMigrate(const std::string& input, const MmlGlobals& globals) {
  MmlRefuseEmptyInput(input);
  MmlOpenSession(globals, false);
  MmlLoadProfile(globals, false);
  MmlExportForScripts(globals);
  // SIGINT and SIGTERM stop the script and remove the migration files
  // before the program ends (with 128 + the signal number).
  struct sigaction action {};
  action.sa_handler = [](int signo) { KelXcoRequestStop(signo); };
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  KelLnkBatch batch(input);
  KelQorError error;
  batch.MigrateE2E(error);
  std::cout << std::flush;
  const int signo = KelXcoStopRequested();
  if (signo != 0) MmlFail(KelLnkBatchOutcomeLine(error), 128 + signo);
  if (error.Ier() != 0) MmlFail(KelLnkBatchOutcomeLine(error), 1);
}

MmlCommand reg("migrate", [](CLI::App& app, MmlGlobals& globals) {
  auto input = std::make_shared<std::string>();
  CLI::App* migrate = app.add_subcommand("migrate", "Batch migration of the roots named in an input file");
  migrate->footer(kMigrateHelp);
  migrate->add_option("INPUT", *input, "Input file of root objects")->required();
  migrate->callback([input, &globals]() { RunMigrate(*input, globals); });
});

}  // namespace
