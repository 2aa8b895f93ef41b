// The mml program: subcommands register themselves here.
//
// Each apps/mml/cmd_*.cc file defines one registrar:
//   static MmlCommand reg("db", [](CLI::App& app, MmlGlobals& g) { ... });
// The setup function adds the subcommand to `app` and its callbacks return
// through MmlExit. Data goes to standard output, errors to standard error.
#pragma once

#include <CLI/CLI.hpp>

#include <functional>
#include <initializer_list>
#include <memory>
#include <string>

#include "base/kel_id.h"

// Options every subcommand understands.
struct MmlGlobals {
  std::string db;       // --db: SQLite file or postgresql:// URL (else MML_DB)
  std::string profile;  // --profile: host profile file (else MML_PROFILE)
  std::string env;      // --env: current environment (else MML_ENV, else profile)
  std::string user;     // --user: current user (else MML_USER, else login name)
  // Set by a command that left its caches for the process exit to drop: main
  // ends with std::_Exit, without freeing them one by one.
  bool endWithoutTeardown = false;
};

// Whether a command may set endWithoutTeardown: not in a sanitizer build,
// whose leak check wants every cache freed.
#ifdef __SANITIZE_ADDRESS__
constexpr bool kMmlMayEndWithoutTeardown = false;
#else
constexpr bool kMmlMayEndWithoutTeardown = true;
#endif

using MmlSetup = std::function<void(CLI::App& app, MmlGlobals& globals)>;

struct MmlCommand {
  MmlCommand(const std::string& name, MmlSetup setup);
};

// Adds to `parent` one subcommand per entry of `subs` (each with a `name`
// and a `description`), each with arguments of its own: `declare(cmd, args,
// sub)` adds its options, and its callback is `run(args, sub)`.
template <typename Args, typename Sub, typename Declare, typename Run>
void MmlAddSubcommands(CLI::App* parent, std::initializer_list<Sub> subs, Declare declare, Run run) {
  for (const Sub& sub : subs) {
    auto args = std::make_shared<Args>();
    CLI::App* cmd = parent->add_subcommand(sub.name, sub.description);
    declare(cmd, *args, sub);
    cmd->callback([args, sub, run]() { run(*args, sub); });
  }
}

// Thrown by a subcommand callback to end the program with `code`; main
// prints nothing more. Use MmlFail for errors.
struct MmlExit {
  int code;
};

// Writes "mml: <message>" on standard error and ends the program with `code`.
[[noreturn]] void MmlFail(const std::string& message, int code = 1);

// Runs `program` (the body of main) and turns an exception that escapes it
// into "mml: <what>" on standard error and exit status 1.
int MmlRunGuarded(int (*program)(int, char**), int argc, char** argv) noexcept;

// What mml and mml-ui do with an error of their command line: --help and the
// like print and exit 0; anything else is "mml: <what>" and a hint on
// standard error, exit status 2. Returns the exit status.
int MmlParseErrorExit(const CLI::App& app, const CLI::ParseError& error);

// Runs the window program mml-ui, beside mml, with the arguments mml was
// given (mml itself never loads the desktop libraries); returns only on
// failure.
[[noreturn]] void MmlRunWindowProgram();

// The identifier `text` names (sixteen hexadecimal digits); ends the program
// with "invalid <what> '<text>': ..." otherwise. `what` is "COID" or "COMPID".
KelId MmlParseIdentifier(const std::string& what, const std::string& text);

// Opens the database session from --db or MML_DB. With `create`, a missing
// SQLite file is created. Ends the program with a clear message on failure.
void MmlOpenSession(const MmlGlobals& globals, bool create = false);

// Loads the host profile from --profile or MML_PROFILE and hands --env and
// --user to the host. With `required`, a missing profile is an error; an
// unreadable profile always is. Ends the program with a clear message on
// failure. (Defined with the profile support.)
void MmlLoadProfile(const MmlGlobals& globals, bool required);

// Batch input files: an empty one names no root, which the module would run
// through without a word. Ends the program with a clear message then; other
// faults of the file are the module's to report.
void MmlRefuseEmptyInput(const std::string& input);

// Sets what a site script started by this program inherits: MML_DB (the
// session's database, a SQLite file as an absolute path), MML_BIN (this
// program, unless already set) and MML_PROFILE (from --profile).
void MmlExportForScripts(const MmlGlobals& globals);
