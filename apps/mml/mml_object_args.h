// The four words that name a database object on the command line (ENV
// TABLE COID COMPID), and the windowless graph window the link and
// synchronisation commands open on it.
#pragma once

#include <memory>
#include <string>

#include "apps/mml/mml_app.h"
#include "host/kel_dm_instance.h"

class KelLnkMainWindow;
class KelLnkObject;

struct MmlObjectArgs {
  std::string env;
  std::string table;
  std::string coid;
  std::string compid;

  // Adds the four positional options, their names prefixed by `prefix`
  // ("" or "H"/"R").
  void AddTo(CLI::App* app, const std::string& prefix = "", const std::string& what = "");
  // The instance; ends the program with a clear message when an identifier
  // is not sixteen hexadecimal digits or a name is empty.
  KelDMInstance Instance() const;
};

// Opens the session and the profile, takes the settings and builds a graph
// window without a screen on `root` in direction `order`. Ends the program
// when the object is not in the database.
std::unique_ptr<KelLnkMainWindow> MmlOpenWindow(const MmlGlobals& globals, const KelDMInstance& root, int order);
// The window's root object.
KelLnkObject& MmlRootObject(KelLnkMainWindow& window);
