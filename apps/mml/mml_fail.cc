// The error exits, the identifiers of the command line, the session opening and the environment of site scripts
// shared by mml and mml-ui.
#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <iostream>

#include "apps/mml/mml_app.h"
#include "host/kel_dm_session.h"

void MmlFail(const std::string& message, int code) {
  std::fflush(stdout);
  std::cerr << "mml: " << message << std::endl;
  throw MmlExit{code};
}

int MmlRunGuarded(int (*program)(int, char**), int argc, char** argv) noexcept {
  try {
    return program(argc, argv);
  } catch (const std::exception& e) {
    std::cerr << "mml: " << e.what() << std::endl;
  } catch (...) {
    std::cerr << "mml: unexpected failure" << std::endl;
  }
  return 1;
}

int MmlParseErrorExit(const CLI::App& app, const CLI::ParseError& error) {
  if (error.get_exit_code() == 0) return app.exit(error);
  std::cerr << "mml: " << error.what() << "\n"
            << "Run with --help for more information." << std::endl;
  return 2;
}

KelId MmlParseIdentifier(const std::string& what, const std::string& text) {
  KelId id;
  if (!KelId::FromHex(text, &id)) MmlFail("invalid " + what + " '" + text + "': expected sixteen hexadecimal digits");
  return id;
}

void MmlOpenSession(const MmlGlobals& globals, bool create) {
  std::string url = KelDMSession::ResolveUrl(globals.db);
  if (url.empty()) MmlFail("no database given: use --db FILE|postgresql://... or set MML_DB");
  std::string error;
  if (KelDMSession::Open(url, create, &error) != 0) MmlFail(error);
}

// The database address the script must use: a SQLite file as an absolute
// path, so that the script finds it from any directory.
namespace {
std::string AddressForScripts(const std::string& url) {
  if (url.rfind("postgres", 0) == 0) return url;
  char resolved[PATH_MAX];
  if (realpath(url.c_str(), resolved)) return resolved;
  return url;
}
}  // namespace

void MmlExportForScripts(const MmlGlobals& globals) {
  // The script inherits the environment: it works on the same database.
  setenv("MML_DB", AddressForScripts(KelDMSession::Url()).c_str(), 1);
  // And it finds this program to reach the database through "mml db exec".
  char self[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  if (n > 0 && !std::getenv("MML_BIN")) {
    self[n] = '\0';
    setenv("MML_BIN", self, 1);
  }
  if (!globals.profile.empty()) {
    char resolved[PATH_MAX];
    setenv("MML_PROFILE", realpath(globals.profile.c_str(), resolved) ? resolved : globals.profile.c_str(), 1);
  }
}
