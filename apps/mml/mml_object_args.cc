#include "apps/mml/mml_object_args.h"

#include "base/kel_id.h"
#include "base/mml_constants.h"
#include "foundation/kel_lnk_tools.h"
#include "graph/kel_lnk_object.h"
#include "linkdb/kel_lnk_data_manager.h"
#include "linkdb/kel_lnk_hybrid_manager.h"
#include "ui/kel_lnk_main_window.h"

void MmlObjectArgs::AddTo(CLI::App* app, const std::string& prefix, const std::string& what) {
  const std::string of = what.empty() ? "" : " of the " + what;
  app->add_option(prefix + "ENV", env, "Environment" + of)->required();
  app->add_option(prefix + "TABLE", table, "Table" + of + " (TOVRA_MODEL, PART_LIST, DOCUMENT, ...)")->required();
  app->add_option(prefix + "COID", coid, "Object identifier" + of + ", sixteen hexadecimal digits")->required();
  app->add_option(prefix + "COMPID", compid, "Component identifier" + of + ", sixteen hexadecimal digits")->required();
}

KelDMInstance MmlObjectArgs::Instance() const {
  if (env.empty() || table.empty()) MmlFail("the environment and the table must not be empty");
  const KelId coidId = MmlParseIdentifier("COID", coid);
  return KelDMInstance(kMmlKelcon, env, table, coidId, MmlParseIdentifier("COMPID", compid));
}

std::unique_ptr<KelLnkMainWindow> MmlOpenWindow(const MmlGlobals& globals, const KelDMInstance& root, int order) {
  MmlOpenSession(globals, false);
  MmlLoadProfile(globals, false);
  KelLnkTools::Initialise();
  KelLnkHybridManager::CacheDeclarations();
  if (!KelLnkDataManager::DoesObjectExist(root.GetEnvironment(), root.GetTable(), root.Coid(), root.Compid()))
    MmlFail("no object " + root.GetEnvironment() + " " + root.GetTable() + " " + root.GetXCoid() + " " +
            root.GetXCompid());
  auto window = std::make_unique<KelLnkMainWindow>(nullptr, &root, order, nullptr, nullptr, nullptr);
  if (!window->GetRootObject()) MmlFail("the graph cannot be opened");
  return window;
}

KelLnkObject& MmlRootObject(KelLnkMainWindow& window) {
  return *static_cast<KelLnkObject*>(window.GetRootObject().get());
}
