// mml-ui: the program that shows the navigator's windows. `mml gui`,
// `mml window` and `mml psn` run it with their own arguments, so that mml itself never
// loads the desktop libraries.
#include <QMenu>
#include <QWidget>
#include <QtGlobal>
#include <cstdio>
#include <iostream>

#include "apps/mml/mml_app.h"
#include "apps/mml/mml_window_options.h"
#include "base/kel_id.h"
#include "base/mml_constants.h"
#include "foundation/kel_lnk_tools.h"
#include "host/dlg/kel_command.h"
#include "host/kel_dm_session.h"
#include "host/qt/kel_qt_toolkit.h"
#include "linkdb/kel_lnk_data_manager.h"
#include "linkdb/kel_lnk_hybrid_manager.h"
#include "ui/kel_dm_dlg_zumo_result.h"
#include "ui/kel_lnk_entry_points.h"
#include "ui/kel_lnk_window_view.h"
#include "ui/kel_psn_window.h"

namespace {

QtMessageHandler gDefaultQtHandler = nullptr;

// The offscreen platform that draws pictures without a screen says, for every
// window, which window-manager requests it ignores, and Qt says where it puts
// its runtime files when the session names no directory: notices that tell
// the user nothing. Everything else goes to Qt's own handler.
void QuietOffscreenNotices(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (type == QtWarningMsg && (message.startsWith(QLatin1String("This plugin does not support")) ||
                               message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set"))))
    return;
  if (gDefaultQtHandler != nullptr) gDefaultQtHandler(type, context, message);
}

void Prepare(const MmlGlobals& globals) {
  MmlOpenSession(globals, false);
  MmlLoadProfile(globals, false);
  KelLnkTools::Initialise();
  KelLnkHybridManager::CacheDeclarations();
  MmlExportForScripts(globals);
}

bool WriteScreenshot(KelQtToolkit& toolkit, KelDlgObject* top, const std::string& path, KelGraphViewer* viewer) {
  if (QWidget* widget = toolkit.WidgetOf(top)) widget->resize(1000, 700);
  toolkit.ProcessEvents();
  if (viewer != nullptr) {
    toolkit.LayoutNow(viewer);
    viewer->reframe();
  }
  toolkit.ProcessEvents();
  std::string error;
  if (!toolkit.Screenshot(top, path, &error)) MmlFail(error);
  return true;
}

void RunWindow(const MmlWindowOptions& args, const MmlGlobals& globals, int& argc, char** argv) {
  if (args.env.empty() || args.table.empty()) MmlFail("the environment and the table must not be empty");
  const KelId coid = MmlParseIdentifier("COID", args.coid);
  const KelId compid = MmlParseIdentifier("COMPID", args.compid);
  KelLnkMainWindow::Expand expand = KelLnkMainWindow::One;
  if (!args.depth.empty()) {
    const char* names[] = {"one", "two", "three", "all"};
    int found = -1;
    for (int i = 0; i < 4; ++i) {
      if (args.depth == names[i]) found = i;
    }
    if (found < 0) MmlFail("invalid depth '" + args.depth + "': expected one, two, three or all");
    expand = static_cast<KelLnkMainWindow::Expand>(found);
  }
  Prepare(globals);
  if (!KelLnkDataManager::DoesObjectExist(args.env, args.table, coid, compid)) {
    MmlFail("no object " + args.env + " " + args.table + " " + coid.Hex() + " " + compid.Hex());
  }
  const KelLnkMainWindow* open = nullptr;
  {
    KelQtToolkit toolkit(argc, argv);
    auto* panel = new KelDMDlgZUMOResult();  // hidden: the panel the window belongs to
    const KelDMInstance root(kMmlKelcon, args.env, args.table, coid, compid);
    KelLnkMainWindow* model = LaunchMMLWindow(panel, &root, args.impactsOn ? 1 : 0, nullptr, nullptr, nullptr);
    KelLnkWindowView* window = KelLnkWindowView::FromModel(model);
    if (window == nullptr || window->GetGraphSource() == -1) MmlFail("the graph cannot be opened");
    open = model;
    if (!args.linktype.empty() && !window->ChooseLinktype(args.linktype)) {
      MmlFail("unknown link type '" + args.linktype + "'");
    }
    if (!args.depth.empty() && expand != window->GetExpand()) {
      window->SetExpand(expand);
      window->Refresh(0);
    }
    if (!args.screenshot.empty() && !args.menu.empty()) {
      QWidget* main = toolkit.WidgetOf(window);
      auto* menu = main ? main->findChild<QMenu*>(QString::fromStdString(args.menu)) : nullptr;
      if (menu == nullptr) MmlFail("no menu '" + args.menu + "' in the window");
      menu->adjustSize();
      if (!menu->grab().save(QString::fromStdString(args.screenshot), "PNG"))
        MmlFail("cannot write " + args.screenshot);
      std::cout << "Picture: " << args.screenshot << std::endl;
    } else if (!args.screenshot.empty()) {
      WriteScreenshot(toolkit, window, args.screenshot, window->GetViewer());
      toolkit.LayoutNow(window->GetViewer());
      std::cout << "Drawn nodes: " << toolkit.DrawnNodeCount(window->GetViewer()) << "\n"
                << "Picture: " << args.screenshot << std::endl;
    }
    if (!args.screenshot.empty()) {
      DeleteMMLWindow(model);
      toolkit.ProcessEvents();
      delete panel;
      return;
    }
    const int code = toolkit.Exec();
    if (KelLnkWindowView::FromModel(open) != nullptr) DeleteMMLWindow(const_cast<KelLnkMainWindow*>(open));
    KelApplication::Get().RunIdle();
    delete panel;
    if (code != 0) throw MmlExit{code};
  }
}

void RunPsn(const MmlPsnOptions& args, const MmlGlobals& globals, int& argc, char** argv) {
  if (args.env.empty() || args.table.empty()) MmlFail("the environment and the table must not be empty");
  const KelId coid = MmlParseIdentifier("COID", args.coid);
  const KelId compid = MmlParseIdentifier("COMPID", args.compid);
  if (args.table != "PART_LIST") MmlFail("a product starts at a part: the table must be PART_LIST, not " + args.table);
  if (!args.linksScreenshot.empty() && args.links <= 0) MmlFail("--links-screenshot needs --links NODE");
  Prepare(globals);
  std::string error;
  std::shared_ptr<KelPSNTree> tree =
      KelPSNTree::Load(KelDMInstance(kMmlKelcon, args.env, args.table, coid, compid), &error);
  if (!tree) MmlFail(error);
  if (args.openAll) tree->OpenAll();
  KelQtToolkit toolkit(argc, argv);
  auto* panel = new KelDMDlgZUMOResult();
  auto* window = new KelPSNWindow(panel, tree);
  if (!args.screenshot.empty()) {
    WriteScreenshot(toolkit, window, args.screenshot, window->GetViewer());
    std::cout << "Nodes: " << tree->Size() << "\nPicture: " << args.screenshot << std::endl;
  }
  if (!args.linksScreenshot.empty()) {
    KelPSNNode* chosen = nullptr;
    for (KelPSNNode* node : tree->AllNodes())
      if (node->NodeId() == args.links) chosen = node;
    if (chosen == nullptr) MmlFail("no node " + std::to_string(args.links) + " in the product structure");
    tree->Centre(chosen);
    tree->Select({chosen});
    window->Redraw();
    KelLnkMainWindow* model = window->OpenLinks(args.impactsOn ? 1 : 0);
    KelLnkWindowView* view = KelLnkWindowView::FromModel(model);
    if (view == nullptr || view->GetGraphSource() != 1)
      MmlFail("the graph window of node " + std::to_string(args.links) + " cannot be opened");
    WriteScreenshot(toolkit, view, args.linksScreenshot, view->GetViewer());
    toolkit.LayoutNow(view->GetViewer());
    std::cout << "Drawn nodes: " << toolkit.DrawnNodeCount(view->GetViewer()) << "\nPicture: " << args.linksScreenshot
              << std::endl;
    DeleteMMLWindow(model);
  }
  if (!args.screenshot.empty() || !args.linksScreenshot.empty()) {
    window->CBClose(nullptr, KelNotification::Close, nullptr);
    KelApplication::Get().RunIdle();
    toolkit.ProcessEvents();
    delete panel;
    return;
  }
  AddAnalyseNotificationCB(window, KelNotification::Close,
                           [&toolkit](KelCommand*, KelNotification, void*) { toolkit.Quit(); });
  const int code = toolkit.Exec();
  KelApplication::Get().RunIdle();
  delete panel;
  if (code != 0) throw MmlExit{code};
}

void RunGui(const MmlGlobals& globals, const std::string& screenshot, int& argc, char** argv) {
  Prepare(globals);
  KelQtToolkit toolkit(argc, argv);
  auto* panel = new KelDMDlgZUMOResult();
  panel->SetVisibility(true);
  if (!screenshot.empty()) {
    panel->Search();
    WriteScreenshot(toolkit, panel, screenshot, nullptr);
    std::cout << "Picture: " << screenshot << std::endl;
    delete panel;
    return;
  }
  AddAnalyseNotificationCB(panel, KelNotification::Close,
                           [&toolkit](KelCommand*, KelNotification, void*) { toolkit.Quit(); });
  const int code = toolkit.Exec();
  KelApplication::Get().RunIdle();
  if (code != 0) throw MmlExit{code};
}

int RunWindows(int argc, char** argv) {
  gDefaultQtHandler = qInstallMessageHandler(QuietOffscreenNotices);
  CLI::App app{"mml-ui: the windows of the multi-model link navigator (run through mml gui and mml window)"};
  app.require_subcommand(1);
  app.fallthrough();
  MmlGlobals globals;
  app.add_option("--db", globals.db, "Database: a SQLite file or a postgresql:// URL (default: $MML_DB)");
  app.add_option("--profile", globals.profile, "Host profile file (default: $MML_PROFILE)");
  app.add_option("--env", globals.env, "Current environment (default: $MML_ENV, else the profile)");
  app.add_option("--user", globals.user, "Current user (default: $MML_USER, else the login name)");

  MmlGuiOptions guiArgs;
  CLI::App* gui = MmlAddGuiCommand(app, guiArgs);
  MmlWindowOptions args;
  CLI::App* window = MmlAddWindowCommand(app, args);
  MmlPsnOptions psnArgs;
  CLI::App* psn = MmlAddPsnCommand(app, psnArgs);

  int code = 0;
  try {
    app.parse(argc, argv);
    if (gui->parsed()) RunGui(globals, guiArgs.screenshot, argc, argv);
    if (window->parsed()) RunWindow(args, globals, argc, argv);
    if (psn->parsed()) RunPsn(psnArgs, globals, argc, argv);
  } catch (const CLI::ParseError& e) {
    return MmlParseErrorExit(app, e);
  } catch (const MmlExit& e) {
    code = e.code;
  }
  std::fflush(stdout);
  KelDMSession::Close();
  return code;
}

}  // namespace

int main(int argc, char** argv) { return MmlRunGuarded(RunWindows, argc, argv); }
