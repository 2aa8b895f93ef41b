// mml psn: the product-structure navigator, shown by the window program
// mml-ui like the graph windows.
#include <string>

#include "apps/mml/mml_app.h"

namespace {

struct PsnOptions {
  std::string env, table, coid, compid, screenshot, linksScreenshot;
  int links = 0;
  bool openAll = false, impactsOn = false;
};
PsnOptions psnOptions;

const char kPsnHelp[] =
    "Opens the product-structure navigator on a product's top part (a PART_LIST\n"
    "row whose environment holds the tables PSN_INSTANCE and PSN_REP, see\n"
    "docs/schema.md). Nodes are numbered; a double click opens or closes one,\n"
    "and \"Multi-model links\" opens a graph window on the selected node that\n"
    "shows only the objects of the product structure. --open-all opens every\n"
    "node. With --screenshot FILE.png the navigator is drawn without a screen,\n"
    "written to FILE.png, and the program exits; --links N with\n"
    "--links-screenshot FILE.png also opens the graph window of node N (with\n"
    "--impacts-on in that direction) and writes its picture. Needs --db (or MML_DB).";

MmlCommand psn("psn", [](CLI::App& app, MmlGlobals&) {
  CLI::App* cmd = app.add_subcommand("psn", "Open the product-structure navigator on a product");
  cmd->footer(kPsnHelp);
  cmd->add_option("ENV", psnOptions.env, "Environment")->required();
  cmd->add_option("TABLE", psnOptions.table, "Table of the top part (PART_LIST)")->required();
  cmd->add_option("COID", psnOptions.coid, "Object identifier, sixteen hexadecimal digits")->required();
  cmd->add_option("COMPID", psnOptions.compid, "Component identifier, sixteen hexadecimal digits")->required();
  cmd->add_flag("--open-all", psnOptions.openAll, "Open every node of the tree");
  cmd->add_option("--screenshot", psnOptions.screenshot, "Write a picture of the navigator to FILE.png and exit");
  cmd->add_option("--links", psnOptions.links, "With --links-screenshot: the node whose graph window to draw");
  cmd->add_option("--links-screenshot", psnOptions.linksScreenshot, "Write a picture of that graph window to FILE.png");
  cmd->add_flag("--impacts-on", psnOptions.impactsOn, "The graph window of --links in the impacts-on direction");
  cmd->callback([]() { MmlRunWindowProgram(); });
});

}  // namespace
