// Graph windows opened from the product-structure navigator, without a
// screen: the filter, the PSN menu and its filter dialog, the selection
// mirrored into the product structure, the checks when nodes left it, the
// navigator closing first, a cyclic structure refused, and the opening of
// the selection in the navigator's viewer.
#include <unistd.h>

#include <algorithm>

#include "host/db/kel_dm_ier_message.h"
#include "host/navigator/kel_navig_instance.h"
#include "ui/kel_dm_dlg_zumo_result.h"
#include "ui/kel_lnk_filter_dialog.h"
#include "ui/kel_lnk_window_view.h"
#include "ui/kel_psn_window.h"
#include "window_fixture.h"

namespace {

// The product of ProductStructureFixture, every node open, in its navigator.
class PSNWindowTest : public ProductStructureFixture {
 protected:
  void SetUp() override {
    ProductStructureFixture::SetUp();
    ASSERT_FALSE(HasFatalFailure());
    tree_->OpenAll();
    psn_ = new KelPSNWindow(panel_.get(), tree_);
  }
  // Opens the "impacted by" window of the node showing model n.
  KelLnkWindowView* OpenOn(int n) {
    tree_->Select({tree_->FindTree(Model(n), nullptr, false)});
    return KelLnkWindowView::FromModel(psn_->OpenLinks(0));
  }
  static std::vector<KelLnkObject*> Drawn(KelLnkWindowView* window) {
    std::vector<KelLnkObject*> objects;
    window->GetNavigatorController()->GetRootInstance()->Walk([&](KelNavigInstance* instance) {
      auto* object = dynamic_cast<KelLnkObject*>(instance->GetReference().get());
      if (object != nullptr && instance->IsDrawn()) objects.push_back(object);
    });
    return objects;
  }
  static std::vector<std::string> Names(KelLnkWindowView* window) {
    std::vector<std::string> names;
    for (KelLnkObject* object : Drawn(window)) names.push_back(object->GetName());
    return names;
  }

  KelPSNWindow* psn_ = nullptr;
};

TEST_F(PSNWindowTest, WindowShowsOnlyTheProductAndItsFilterDialogAddsNoDuplicates) {
  KelLnkWindowView* window = OpenOn(1);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(Names(window).size(), 2u);  // M1 and M2: M4 is outside the product
  ASSERT_NE(window->Find("MenuPSN"), nullptr);

  for (int pass = 0; pass < 2; ++pass) {
    window->Find("ItemPSNObjects")->Activate();
    EXPECT_EQ(window->GetInstanceList().size(), 5u) << pass;  // the root M1, then P, Q, R, M2
  }
  KelLnkFilterDialog* dialog = window->GetFilterDialog();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(dialog->GetCancelTitle(), "Close");
  EXPECT_EQ(dialog->GetList()->GetRowCount(), 5);
}

TEST_F(PSNWindowTest, SelectionMirrorsIntoTheStructureUntilItsNodesLeaveIt) {
  KelLnkWindowView* window = OpenOn(1);
  std::vector<KelLnkObject*> drawn = Drawn(window);
  ASSERT_EQ(drawn.size(), 2u);
  window->Select(nullptr, 0, KelLnkMainWindow::SelectUndefined);
  window->Select(drawn[1], 1, KelLnkMainWindow::SelectRepresentations);
  ASSERT_EQ(tree_->GetNodeMngr().GetSelected().size(), 1u) << window->GetLastErrorText();
  EXPECT_EQ(tree_->Find(tree_->GetNodeMngr().GetSelected()[0])->object, Model(2));

  // M2 leaves the product: its selection is refused and nothing is mirrored.
  db_->Exec("UPDATE $VS_E1.PSN_REP SET UBIT = 1 WHERE $COID_REP = X'" + Coid(2) + "';");
  ASSERT_EQ(tree_->Reload(nullptr), 0);
  tree_->Select({});
  window->Select(nullptr, 0, KelLnkMainWindow::SelectUndefined);
  window->Select(drawn[1], 1, KelLnkMainWindow::SelectRepresentations);
  EXPECT_NE(window->GetLastErrorText().find("does not exist any more in the PSN graph"), std::string::npos);
  EXPECT_TRUE(tree_->GetNodeMngr().GetSelected().empty());

  // The root leaves it too: a full refresh is refused and the graph stays.
  db_->Exec("UPDATE $VS_E1.PSN_REP SET UBIT = 1;");
  ASSERT_EQ(tree_->Reload(nullptr), 0);
  window->Refresh(1);
  EXPECT_EQ(window->GetLastErrorText(),
            "The MML Graph cannot be refreshed: \nthe root node has became invalid in its context.");
  EXPECT_EQ(Drawn(window), drawn);
}

TEST_F(PSNWindowTest, ClosedNavigatorLeavesWindowsSafeAndRefusingToMirror) {
  KelLnkWindowView* window = OpenOn(1);
  const std::vector<std::string> names = Names(window);
  psn_->Find("ItemPSNClose")->Activate();
  KelApplication::Get().RunIdle();  // the navigator is destroyed; the tree lives on in the window
  EXPECT_FALSE(window->IsPSNWindowOpen());
  window->Select(Drawn(window)[0], 1, KelLnkMainWindow::SelectRepresentations);
  EXPECT_EQ(window->GetLastErrorText(), "Father PSN has been closed.");
  window->Find("ItemPSNBringUp")->Activate();
  EXPECT_EQ(window->GetLastErrorText(), "Father PSN has been closed.");
  window->Refresh(1);  // the nodes it names are still there
  EXPECT_EQ(Names(window), names);
}

TEST_F(PSNWindowTest, PartUsedInsideItselfIsRefused) {
  db_->Exec(
      "INSERT INTO $VS_E1.PSN_INSTANCE ($OID, $COID_FATHER, $COMPID_FATHER, $COMPNAME_CHILD, $COID_CHILD, "
      "$COMPID_CHILD) VALUES (X'A000000000000009', X'B000000000000007', X'B100000000000007', 'E1.PART_LIST', "
      "X'B000000000000005', X'B100000000000005');");
  std::string error;
  EXPECT_EQ(tree_->Reload(&error), kel_ier::kInstanceNotFound);
  EXPECT_NE(error.find("cyclic: the part E1.PART_LIST B000000000000005 B100000000000005 is used inside itself"),
            std::string::npos)
      << error;
  EXPECT_EQ(tree_->Size(), 5);  // unchanged
}

// Answers the confirmation with `button` and counts the questions.
struct Confirm : KelDlgBinding {
  explicit Confirm(const char* b) : button(b) {}
  void RunModal(KelDlgNotify* box) override { ++asked, box->Find(button)->Activate(); }
  const char* button;
  int asked = 0;
};

TEST_F(PSNWindowTest, SelectionOpensInTheNavigatorsViewerLevelByLevel) {
  TempDir log;
  setenv("MML_VIEWER_LOG", log.File("v").c_str(), 1);
  auto placed = [](int n) {
    return "option 1 new: E1 TOVRA_MODEL " + Coid(n) + " " + Compid(n) +
           " in E1 PART_LIST B000000000000005 B100000000000005 at A00000000000000" + std::to_string(n);
  };
  const std::string ordered = placed(2) + "\n" + placed(1) + "\n";  // M1 depends on M2
  // Ordered in both directions; refused; one object, unasked; in one request.
  const struct {
    const char *mode, *answer;
    int root, order, asked;
    std::vector<int> selected;
    std::string expected;
  } cases[] = {{"FALSE", "ConfirmYes", 1, 0, 1, {1, 2}, ordered},
               {"FALSE", "ConfirmYes", 2, 1, 1, {1, 2}, ordered},
               {"FALSE", "ConfirmNo", 1, 0, 1, {1, 2}, ""},
               {"FALSE", "ConfirmNo", 1, 0, 0, {2}, placed(2) + "\n"},
               {"TRUE", "ConfirmNo", 1, 0, 0, {1, 2}, placed(1) + "; " + placed(2).substr(14) + "\n"}};
  for (const auto& c : cases) {
    unlink(log.File("v").c_str());
    module_.Configure("LINKTYPE E1 KELMMxyz MML_xyz\nKELZUMO.VIEWER.TOVRA_MODEL.COMMAND = " MML_SOURCE_DIR
                      "/scripts/site/mml-viewer.sh\nKELZUMO.VIEWER.TOVRA_MODEL.OPTION.1 = new\n"
                      "KELZUMO.QOR.INTEROP.TOVRAV5_NEW_OPEN_MODE = " +
                      std::string(c.mode) + "\n");
    KelLnkTools::StateForTesting().isV5Order = 1;
    tree_->Select({tree_->FindTree(Model(c.root), nullptr, false)});
    KelLnkWindowView* window = KelLnkWindowView::FromModel(psn_->OpenLinks(c.order));
    for (KelLnkObject* object : Drawn(window))
      for (int n : c.selected)
        if (object->Instance() == Model(n)) window->Select(object, 1, KelLnkMainWindow::SelectRepresentations);
    Confirm confirm(c.answer);
    KelApplication::Get().SetBinding(&confirm);
    window->Open();
    KelApplication::Get().SetBinding(nullptr);
    // The viewer runs on its own: wait for its lines, and a little more.
    for (int k = 0; k < 100 && ReadFileText(log.File("v")).size() < c.expected.size(); ++k) usleep(50000);
    usleep(200000);
    EXPECT_EQ(ReadFileText(log.File("v")), c.expected) << c.mode << " " << c.answer << " M" << c.root;
    EXPECT_EQ(confirm.asked, c.asked) << c.mode << " M" << c.root;
    EXPECT_EQ(window->GetStatusText(), c.expected.empty() ? "Open cancelled." : "Objects sent to the viewer.");
    delete window;
  }
  unsetenv("MML_VIEWER_LOG");
}

}  // namespace
