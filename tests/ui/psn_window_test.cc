// Graph windows opened from the product-structure navigator, without a
// screen: the filter, the PSN menu and its filter dialog, the selection
// mirrored into the product structure, the checks when nodes left it, the
// navigator closing first, and a cyclic structure refused.
#include <algorithm>

#include "host/db/kel_dm_ier_message.h"
#include "host/navigator/kel_navig_instance.h"
#include "ui/kel_dm_dlg_zumo_result.h"
#include "ui/kel_lnk_filter_dialog.h"
#include "ui/kel_lnk_window_view.h"
#include "ui/kel_psn_window.h"
#include "window_fixture.h"

namespace {

// Part P uses part Q (instance I1, represented by M1) and part R (instance
// I2, represented by M2). M1 points to M2 and M4; M4 is not in the product.
class PSNWindowTest : public WindowFixture {
 protected:
  void SetUp() override {
    WindowFixture::SetUp();
    db_->Init({"E1:psn"});
    for (const char* part : {"5", "6", "7"})
      db_->Exec(std::string("INSERT INTO $VS_E1.PART_LIST ($COID, $COMPID, C_ID) VALUES (X'B00000000000000") + part +
                "', X'B10000000000000" + part + "', 'P" + part + "');");
    Use("1", "6");
    Use("2", "7");
    Rep("6", 1);
    Rep("7", 2);
    std::string error;
    tree_ =
        KelPSNTree::Load(KelDMInstance(kMmlKelcon, "E1", "PART_LIST", "B000000000000005", "B100000000000005"), &error);
    ASSERT_TRUE(tree_) << error;
    tree_->OpenAll();
    panel_ = std::make_unique<KelDMDlgZUMOResult>();
    psn_ = new KelPSNWindow(panel_.get(), tree_);
  }
  void TearDown() override {
    tree_.reset();
    WindowFixture::TearDown();
  }
  void Use(const std::string& oid, const std::string& part) {
    db_->Exec(
        "INSERT INTO $VS_E1.PSN_INSTANCE ($OID, $COID_FATHER, $COMPID_FATHER, $COMPNAME_CHILD, $COID_CHILD, "
        "$COMPID_CHILD) VALUES (X'A00000000000000" +
        oid + "', X'B000000000000005', X'B100000000000005', 'E1.PART_LIST', X'B00000000000000" + part +
        "', X'B10000000000000" + part + "');");
  }
  void Rep(const std::string& part, int model) {
    db_->Exec(
        "INSERT INTO $VS_E1.PSN_REP ($COID_PART, $COMPID_PART, $COMPNAME_REP, $COID_REP, $COMPID_REP) VALUES "
        "(X'B00000000000000" +
        part + "', X'B10000000000000" + part + "', 'E1.TOVRA_MODEL', X'" + Coid(model) + "', X'" + Compid(model) +
        "');");
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

  std::shared_ptr<KelPSNTree> tree_;
  std::unique_ptr<KelDMDlgZUMOResult> panel_;
  KelPSNWindow* psn_ = nullptr;
};

TEST_F(PSNWindowTest, WindowShowsOnlyTheProductAndItsFilterDialogAddsNoDuplicates) {
  KelLnkWindowView* window = OpenOn(1);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(window->GetGraphSource(), 1);
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

}  // namespace
