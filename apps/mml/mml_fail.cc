// The error exit and the session opening shared by mml and mml-ui.
#include <cstdio>
#include <iostream>

#include "apps/mml/mml_app.h"
#include "host/kel_dm_session.h"

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
