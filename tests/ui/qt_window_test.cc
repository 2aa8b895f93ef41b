// The graph window and the product-structure navigator on Qt's offscreen
// platform: widgets named after the toolkit's identifiers, menu actions and
// mouse clicks reaching the window, the drawing, and the pictures written by
// capture, album and screenshot.
#include <gtest/gtest.h>
#include <QAction>
#include <QApplication>
#include <QFile>
#include <QMainWindow>
#include <QMenu>
#include <QMouseEvent>

#include <fstream>

#include <sys/stat.h>
#include <unistd.h>

#include "host/profile/kel_dm_profile.h"
#include "host/qt/kel_qt_graph_view.h"
#include "host/qt/kel_qt_toolkit.h"
#include "operations/kel_lnk_synchronise.h"
#include "tests/ui/window_fixture.h"
#include "ui/kel_lnk_print.h"
#include "ui/kel_lnk_synchronise_dialog.h"
#include "ui/kel_lnk_window_view.h"
#include "ui/kel_psn_window.h"

namespace {

int Count(const std::string& text, const std::string& what) {
  int n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// A fixture of window_fixture.h with the Qt toolkit.
template <class Fixture>
class QtFixture : public Fixture {
 protected:
  static void SetUpTestSuite() {
    static int argc = 1;
    static char name[] = "qt_window_tests";
    static char* argv[] = {name, nullptr};
    toolkit_ = new KelQtToolkit(argc, argv);
  }
  static void TearDownTestSuite() {
    delete toolkit_;
    toolkit_ = nullptr;
  }
  static KelQtToolkit* toolkit_;
  TempDir out_;
};
template <class Fixture>
KelQtToolkit* QtFixture<Fixture>::toolkit_ = nullptr;
using QtWindowTest = QtFixture<WindowFixture>;
using QtPSNWindowTest = QtFixture<ProductStructureFixture>;

TEST_F(QtWindowTest, MenuActionsReachTheWindowAndTheDrawingHasEveryNode) {
  KelSettingRepository::GetRepository("KelLnkSetting").WriteSetting("Filter", 0);
  const KelDMInstance root = Model(1);
  auto* window = new KelLnkWindowView(nullptr, &root, 0, nullptr, nullptr, nullptr);
  toolkit_->ProcessEvents();
  auto* main = qobject_cast<QMainWindow*>(toolkit_->WidgetOf(window));
  ASSERT_NE(nullptr, main);
  EXPECT_TRUE(main->isVisible());
  EXPECT_EQ("M1 ** 1 impacted by", main->windowTitle().toStdString());
  auto* all = main->findChild<QAction*>("ItemGraphExpandAll");
  ASSERT_NE(nullptr, all);
  EXPECT_EQ("All", all->text().toStdString());
  EXPECT_FALSE(all->isChecked());
  all->trigger();
  EXPECT_EQ(KelLnkMainWindow::All, window->GetExpand());
  EXPECT_TRUE(all->isChecked());
  EXPECT_FALSE(main->findChild<QAction*>("ItemGraphExpandOne")->isChecked());
  main->findChild<QAction*>("ItemGraphRefresh")->trigger();
  toolkit_->ProcessEvents();
  EXPECT_EQ(7, window->GetNavigatorController()->GetDrawnCount());
  EXPECT_EQ(7, toolkit_->DrawnNodeCount(window->GetViewer()));

  // A right click on a node pops its contextual menu up.
  window->GetViewer()->UserMethod(window->GetNavigatorController()->GetRootInstance()->GetGraphNode());
  toolkit_->ProcessEvents();
  auto* popup = qobject_cast<QMenu*>(toolkit_->WidgetOf(window->GetContextMenu()));
  ASSERT_NE(nullptr, popup);
  EXPECT_TRUE(popup->isVisible());
  EXPECT_NE(nullptr, popup->findChild<QAction*>("ItemInformationObject"));

  main->findChild<QAction*>("ItemGraphExit")->trigger();
  toolkit_->ProcessEvents();
  EXPECT_EQ(0, KelLnkWindowView::Count());
}

TEST_F(QtWindowTest, TheEndOfASynchronisationScriptArrivesInTheEventLoop) {
  const std::string script = out_.File("sync.sh");
  WriteFileText(script, "#!/bin/sh\nsleep 0.2\necho 0 > \"$MML_TMPDIR/MMLSync_err\"\n");
  chmod(script.c_str(), 0755);
  setenv("MML_TMPDIR", out_.Path().c_str(), 1);
  std::string error;
  KelDMProfile::SetCurrent(KelDMProfile::Parse(
      "ENVIRONMENT = E1\nIDENTIFICATION E1.TOVRA_MODEL C_ID C_REVISION\nLINKTYPE E1 KELMMxyz MML_xyz\n"
      "KELZUMO.QOR.MML.SYNCHRONISE.TYPE.xyz = BATCH\nACCESS * QOR BOM * ALLOW\n"
      "KELZUMO.QOR.MML.SYNCHRONISE.SCRIPT = " +
          script + "\n",
      "w.profile", &error));
  KelLnkTools::ResetState();
  KelLnkTools::Initialise();
  KelLnkWindowServices::InstallForWindows();
  const KelDMInstance root = Model(1);
  auto* window = new KelLnkWindowView(nullptr, &root, 0, nullptr, nullptr, nullptr);
  toolkit_->ProcessEvents();
  auto* object = static_cast<KelLnkObject*>(window->GetRootObject().get());
  KelLnkSynchronise::Plan plan;
  plan.push_back({std::make_unique<KelLnkObject>(*object), "xyz", object->GetLnkChildren(0), ""});
  const int refreshes = window->GetRefreshCount();
  KelLnkSynchronise::DoSynchronise(window, std::move(plan));
  ASSERT_NE(nullptr, KelLnkObject::ModalDialogForSync());
  toolkit_->ProcessEvents();
  EXPECT_NE(nullptr, toolkit_->WidgetOf(KelLnkObject::ModalDialogForSync()));
  for (int i = 0; i < 1000 && KelLnkSynchronise::Busy(); ++i) {
    toolkit_->ProcessEvents();
    usleep(10000);
  }
  EXPECT_FALSE(KelLnkSynchronise::Busy());
  EXPECT_EQ(nullptr, KelLnkObject::ModalDialogForSync());
  EXPECT_GT(window->GetRefreshCount(), refreshes);
  EXPECT_EQ(0u, ReadFileText(out_.File("CopyofSync")).rfind("2\nE1\nTOVRA_MODEL\n" + Coid(1), 0));
  KelLnkUserServices::Install(nullptr);
  unsetenv("MML_TMPDIR");
  delete window;
  toolkit_->ProcessEvents();
}

TEST_F(QtWindowTest, CapturesAndTheAlbumWriteTheirFiles) {
  const KelDMInstance root = Model(1);
  auto* window = new KelLnkWindowView(nullptr, &root, 0, nullptr, nullptr, nullptr);
  toolkit_->ProcessEvents();
  window->Find("ItemCaptureGraph")->Activate();
  KelPrintCaptureDialog* capture = KelLnkCapture::GetCaptureDialog();
  ASSERT_NE(nullptr, capture);
  toolkit_->ProcessEvents();
  EXPECT_NE(nullptr, toolkit_->WidgetOf(capture));
  struct Case {
    const char* file;
    const char* magic;
  };
  for (const Case& c : {Case{"g.png", "\x89PNG"}, Case{"g.svg", "<?xml"}, Case{"g.pdf", "%PDF"}}) {
    capture->GetFileEditor()->EditText(out_.File(c.file));
    capture->Find("CaptureWrite")->Activate();
    EXPECT_EQ(0u, ReadFileText(out_.File(c.file)).rfind(c.magic, 0)) << c.file << ": " << capture->GetStatus();
  }
  capture->GetFileEditor()->EditText(out_.File("g.gif"));
  capture->Find("CaptureWrite")->Activate();
  EXPECT_NE(std::string::npos, capture->GetStatus().find("unknown picture format"));

  capture->Find("CaptureAddToAlbum")->Activate();
  capture->Find("CaptureAddToAlbum")->Activate();
  auto* album = new KelPrintAlbumDialog(nullptr, "AlbumWindow", KelLnkCapture::kStyle);
  album->GetFileEditor()->EditText(out_.File("album.pdf"));
  album->Find("AlbumWrite")->Activate();
  const std::string pdf = ReadFileText(out_.File("album.pdf"));
  EXPECT_EQ(0u, pdf.rfind("%PDF", 0)) << album->GetStatus();
  EXPECT_EQ(2, Count(pdf, "/Type /Page") - Count(pdf, "/Type /Pages")) << album->GetStatus();
  delete album;
  delete window;
  toolkit_->ProcessEvents();
}

TEST_F(QtPSNWindowTest, TheNavigatorsWidgetOpensAndSelectsNodesAndOpensFilteredGraphWindows) {
  auto* psn = new KelPSNWindow(panel_.get(), tree_);
  toolkit_->ProcessEvents();
  auto* view = dynamic_cast<KelQtGraphView*>(toolkit_->WidgetOf(psn->GetViewer()));
  ASSERT_NE(nullptr, view);
  // The left button on `node`; returns the nodes drawn afterwards.
  auto click = [&](KelPSNNode* node, QEvent::Type type, Qt::KeyboardModifiers modifiers = {}) {
    toolkit_->LayoutNow(psn->GetViewer());
    const QPointF at = view->ViewportPositionOf(psn->GraphNodeOf(node));
    QMouseEvent event(type, at, view->viewport()->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton, modifiers);
    QApplication::sendEvent(view->viewport(), &event);
    toolkit_->ProcessEvents();
    toolkit_->LayoutNow(psn->GetViewer());
    return view->DrawnNodeCount();
  };
  const std::vector<KelPSNNode*> parts = tree_->Find(tree_->GetRootNode())->children;  // Q, R
  EXPECT_EQ(4, click(parts.at(0), QEvent::MouseButtonDblClick));  // P, Q, R and Q's representation M1
  KelPSNNode* m1 = tree_->Find(parts[0])->children.at(0);
  click(m1, QEvent::MouseButtonPress);
  click(parts.at(1), QEvent::MouseButtonPress, Qt::ControlModifier);
  EXPECT_EQ(tree_->GetNodeMngr().GetSelected(), (std::vector<KelPSNNode*>{m1, parts[1]}));
  auto* main = qobject_cast<QMainWindow*>(toolkit_->WidgetOf(psn));
  main->findChild<QAction*>("ItemPSNLinksFrom")->trigger();
  toolkit_->ProcessEvents();
  int filtered = 0;
  for (QWidget* top : QApplication::topLevelWidgets())
    filtered += top->isVisible() && top->windowTitle() == "M1 ** 1 impacted by (with PSN filter)";
  EXPECT_EQ(1, filtered);
  EXPECT_EQ(3, click(parts[0], QEvent::MouseButtonDblClick));
  main->findChild<QAction*>("ItemPSNClose")->trigger();
  toolkit_->ProcessEvents();
}

TEST(WindowProgramTest, TheScreenshotDrawsAsManyNodesAsTheGraphHas) {
  TempDir dir;
  const std::string db = dir.File("demo.db");
  const std::vector<std::string> env = {"MML_DB=" + db, "MML_PROFILE=" MML_SOURCE_DIR "/resources/demo/demo.profile",
                                        "MML_CONFIG_DIR=" + dir.Path(), "QT_QPA_PLATFORM=offscreen"};
  ASSERT_EQ(0, RunMml({"db", "demo"}, "", env).exitCode);
  std::ifstream roots(MML_SOURCE_DIR "/resources/demo/demo.roots");
  std::string rootEnv, table, coid, compid;
  std::getline(roots, rootEnv);
  std::getline(roots, table);
  std::getline(roots, coid);
  std::getline(roots, compid);
  const MmlRun graph = RunMml({"graph", rootEnv, table, coid, compid, "--depth", "all"}, "", env);
  ASSERT_EQ(0, graph.exitCode) << graph.err;
  const int lines = Count(graph.out, "\n");
  const std::string png = dir.File("window.png");
  const MmlRun shot = RunMml({"window", rootEnv, table, coid, compid, "--depth", "all", "--screenshot", png}, "", env);
  ASSERT_EQ(0, shot.exitCode) << shot.err;
  EXPECT_EQ("Drawn nodes: " + std::to_string(lines) + "\nPicture: " + png + "\n", shot.out);
  const std::string picture = ReadFileText(png);
  EXPECT_GT(picture.size(), 1000u);
  EXPECT_EQ(0u, picture.rfind("\x89PNG", 0));

  const MmlRun bad = RunMml({"window", rootEnv, table, "XYZ", compid, "--screenshot", png}, "", env);
  EXPECT_NE(0, bad.exitCode);
  EXPECT_NE(std::string::npos, bad.err.find("invalid COID")) << bad.err;
}

}  // namespace
