// mml gui, mml window, mml psn: the windows are shown by the sibling program
// mml-ui, run with the same arguments, so that mml itself never loads the desktop
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
#include "apps/mml/mml_window_options.h"

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
  argv.reserve(args.size() + 1);
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  std::fflush(stdout);
  ::execv(program.c_str(), argv.data());
  MmlFail("cannot run " + program + ": " + std::strerror(errno) + " (is the window program built?)");
}

namespace {

// The arguments are checked here and passed on as given.
MmlGuiOptions guiOptions;
MmlWindowOptions windowOptions;
MmlPsnOptions psnOptions;

MmlCommand gui("gui", [](CLI::App& app, MmlGlobals&) {
  MmlAddGuiCommand(app, guiOptions)->callback([]() { MmlRunWindowProgram(); });
});
MmlCommand window("window", [](CLI::App& app, MmlGlobals&) {
  MmlAddWindowCommand(app, windowOptions)->callback([]() { MmlRunWindowProgram(); });
});
MmlCommand psn("psn", [](CLI::App& app, MmlGlobals&) {
  MmlAddPsnCommand(app, psnOptions)->callback([]() { MmlRunWindowProgram(); });
});

}  // namespace
