// mml: the command-line program of the MML navigator.
#include <algorithm>
#include <cstdio>
#include <iostream>
#include <vector>

#include "apps/mml/mml_app.h"
#include "host/kel_dm_session.h"
#include "mml_version.h"

namespace {
std::vector<std::pair<std::string, MmlSetup>>& Registry() {
  static std::vector<std::pair<std::string, MmlSetup>> registry;
  return registry;
}
}  // namespace

MmlCommand::MmlCommand(const std::string& name, MmlSetup setup) { Registry().emplace_back(name, std::move(setup)); }

void MmlFail(const std::string& message, int code) {
  std::fflush(stdout);
  std::cerr << "mml: " << message << std::endl;
  throw MmlExit{code};
}

void MmlOpenSession(const MmlGlobals& globals, bool create) {
  std::string url = KelDMSession::ResolveUrl(globals.db);
  if (url.empty()) MmlFail("no database given: use --db FILE|postgresql://... or set MML_DB");
  std::string error;
  if (KelDMSession::Open(url, create, &error) != 0) MmlFail(error);
}

int main(int argc, char** argv) {
  CLI::App app{"mml: the multi-model link navigator of the product database", "mml"};
  app.require_subcommand(1);
  app.fallthrough();
  app.set_version_flag("--version", std::string("mml ") + MML_VERSION, "Print the version and exit");
  MmlGlobals globals;
  app.add_option("--db", globals.db, "Database: a SQLite file or a postgresql:// URL (default: $MML_DB)");
  app.add_option("--profile", globals.profile, "Host profile file (default: $MML_PROFILE)");
  app.add_option("--env", globals.env, "Current environment (default: $MML_ENV, else the profile)");
  app.add_option("--user", globals.user, "Current user (default: $MML_USER, else the login name)");

  auto& registry = Registry();
  std::sort(registry.begin(), registry.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  for (auto& [name, setup] : registry) setup(app, globals);

  int code = 0;
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    if (e.get_exit_code() == 0) return app.exit(e);
    std::cerr << "mml: " << e.what() << "\n"
              << "Run with --help for more information." << std::endl;
    return 2;
  } catch (const MmlExit& e) {
    code = e.code;
  }
  std::fflush(stdout);
  KelDMSession::Close();
  return code;
}
