#include "apps/mml/mml_window_options.h"

#include <string>

namespace {

const char kWindowHelp[] =
    "Opens the graph window on one object: the objects it is impacted by (those it\n"
    "points to), or with --impacts-on the objects it impacts (those that point to\n"
    "it). --depth sets the window's expand depth (one, two, three, all; default:\n"
    "the last one chosen), --linktype shows one link type only. With --screenshot\n"
    "FILE.png the window is drawn without a screen, written to FILE.png, and the\n"
    "program prints the number of nodes drawn and exits. Display settings are kept\n"
    "in $MML_CONFIG_DIR (default ~/.config/mml). Needs --db (or MML_DB).";

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

// The four words that name the object: ENV TABLE COID COMPID.
template <typename Options>
void AddObjectWords(CLI::App* cmd, Options& options, const std::string& tableHelp) {
  cmd->add_option("ENV", options.env, "Environment")->required();
  cmd->add_option("TABLE", options.table, tableHelp)->required();
  cmd->add_option("COID", options.coid, "Object identifier, sixteen hexadecimal digits")->required();
  cmd->add_option("COMPID", options.compid, "Component identifier, sixteen hexadecimal digits")->required();
}

}  // namespace

CLI::App* MmlAddGuiCommand(CLI::App& app, MmlGuiOptions& options) {
  CLI::App* cmd = app.add_subcommand("gui", "Open the result panel: find objects and open graph windows on them");
  cmd->add_option("--screenshot", options.screenshot, "Write a picture of the panel to FILE.png and exit");
  return cmd;
}

CLI::App* MmlAddWindowCommand(CLI::App& app, MmlWindowOptions& options) {
  CLI::App* cmd = app.add_subcommand("window", "Open the graph window on one object");
  cmd->footer(kWindowHelp);
  AddObjectWords(cmd, options, "Table (TOVRA_MODEL, PART_LIST, DOCUMENT, ...)");
  cmd->add_flag("--impacts-on", options.impactsOn, "Show the objects that point to the object (impacts on)");
  cmd->add_option("--depth", options.depth, "Expand depth: one, two, three or all");
  cmd->add_option("--linktype", options.linktype, "Show the links of this type only");
  cmd->add_option("--screenshot", options.screenshot, "Write a picture of the window to FILE.png and exit");
  cmd->add_option("--menu", options.menu, "With --screenshot: the picture of this menu (MenuGraph, MenuLink, ...)");
  return cmd;
}

CLI::App* MmlAddPsnCommand(CLI::App& app, MmlPsnOptions& options) {
  CLI::App* cmd = app.add_subcommand("psn", "Open the product-structure navigator on a product");
  cmd->footer(kPsnHelp);
  AddObjectWords(cmd, options, "Table of the top part (PART_LIST)");
  cmd->add_flag("--open-all", options.openAll, "Open every node of the tree");
  cmd->add_option("--screenshot", options.screenshot, "Write a picture of the navigator to FILE.png and exit");
  cmd->add_option("--links", options.links, "With --links-screenshot: the node whose graph window to draw");
  cmd->add_option("--links-screenshot", options.linksScreenshot, "Write a picture of that graph window to FILE.png");
  cmd->add_flag("--impacts-on", options.impactsOn, "The graph window of --links in the impacts-on direction");
  return cmd;
}
