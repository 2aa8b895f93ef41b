// mml gui, mml window: the windows are shown by the sibling program mml-ui,
// run with the same arguments, so that mml itself never loads the desktop
// libraries (batch runs and queries stay free of them).
#include <limits.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "apps/mml/mml_app.h"

namespace {

// The program next to the running mml.
std::string SiblingProgram(const std::string& name) {
  char self[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) MmlFail("cannot find the running program: " + std::string(std::strerror(errno)));
  self[n] = '\0';
  std::string dir(self);
  dir.erase(dir.find_last_of('/') + 1);
  return dir + name;
}

}  // namespace

// Runs mml-ui with the arguments mml was given; returns only on failure.
[[noreturn]] void MmlRunWindowProgram() {
  std::ifstream in("/proc/self/cmdline", std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<std::string> args;
  for (size_t start = 0; start < text.size();) {
    const size_t end = text.find('\0', start);
    args.push_back(text.substr(start, end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  const std::string program = SiblingProgram("mml-ui");
  if (args.empty()) args.push_back(program);
  args[0] = program;
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  std::fflush(stdout);
  ::execv(program.c_str(), argv.data());
  MmlFail("cannot run " + program + ": " + std::strerror(errno) + " (is the window program built?)");
}

namespace {

// The arguments are checked here and passed on as given.
struct WindowOptions {
  std::string env, table, coid, compid, depth, linktype, screenshot, menu;
  bool impactsOn = false;
};
WindowOptions options;

MmlCommand gui("gui", [](CLI::App& app, MmlGlobals&) {
  CLI::App* cmd = app.add_subcommand("gui", "Open the result panel: find objects and open graph windows on them");
  cmd->add_option("--screenshot", options.screenshot, "Write a picture of the panel to FILE.png and exit");
  cmd->callback([]() { MmlRunWindowProgram(); });
});

MmlCommand window("window", [](CLI::App& app, MmlGlobals&) {
  CLI::App* cmd = app.add_subcommand("window", "Open the graph window on one object");
  cmd->footer(
      "Opens the graph window on one object: the objects it is impacted by (those it\n"
      "points to), or with --impacts-on the objects it impacts (those that point to\n"
      "it). --depth sets the window's expand depth (one, two, three, all; default:\n"
      "the last one chosen), --linktype shows one link type only. With --screenshot\n"
      "FILE.png the window is drawn without a screen, written to FILE.png, and the\n"
      "program prints the number of nodes drawn and exits. Display settings are kept\n"
      "in $MML_CONFIG_DIR (default ~/.config/mml). Needs --db (or MML_DB).");
  cmd->add_option("ENV", options.env, "Environment")->required();
  cmd->add_option("TABLE", options.table, "Table (TOVRA_MODEL, PART_LIST, DOCUMENT, ...)")->required();
  cmd->add_option("COID", options.coid, "Object identifier, sixteen hexadecimal digits")->required();
  cmd->add_option("COMPID", options.compid, "Component identifier, sixteen hexadecimal digits")->required();
  cmd->add_flag("--impacts-on", options.impactsOn, "Show the objects that point to the object (impacts on)");
  cmd->add_option("--depth", options.depth, "Expand depth: one, two, three or all");
  cmd->add_option("--linktype", options.linktype, "Show the links of this type only");
  cmd->add_option("--screenshot", options.screenshot, "Write a picture of the window to FILE.png and exit");
  cmd->add_option("--menu", options.menu, "With --screenshot: the picture of this menu (MenuGraph, MenuLink, ...)");
  cmd->callback([]() { MmlRunWindowProgram(); });
});

}  // namespace
