// The commands that open windows (gui, window, psn), declared once for the two
// programs: mml checks their arguments and hands them to mml-ui, which shows
// the windows. Plain C++ and CLI11: mml stays free of the desktop libraries.
#pragma once

#include <CLI/CLI.hpp>

#include <string>

// mml gui: the result panel.
struct MmlGuiOptions {
  std::string screenshot;
};

// mml window: the graph window on one object.
struct MmlWindowOptions {
  std::string env, table, coid, compid;
  bool impactsOn = false;
  std::string depth;
  std::string linktype;
  std::string screenshot;
  std::string menu;
};

// mml psn: the product-structure navigator on a product.
struct MmlPsnOptions {
  std::string env, table, coid, compid, screenshot, linksScreenshot;
  int links = 0;
  bool openAll = false, impactsOn = false;
};

// Each adds its subcommand to `app`, its options stored in `options`, and
// returns it.
CLI::App* MmlAddGuiCommand(CLI::App& app, MmlGuiOptions& options);
CLI::App* MmlAddWindowCommand(CLI::App& app, MmlWindowOptions& options);
CLI::App* MmlAddPsnCommand(CLI::App& app, MmlPsnOptions& options);
