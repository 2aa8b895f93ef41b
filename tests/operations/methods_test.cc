// The object operations of the graph window on both engines: paste of links,
// actions, change of UUIDs, check-in and check-out.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <memory>
#include <string>
#include <vector>

#include "host/db/kel_dm_ier_message.h"
#include "host/dlg/kel_qor_af_action_dialog.h"
#include "host/dm/kel_dm_action.h"
#include "host/dm/kel_dm_clipboard.h"
#include "host/profile/kel_dm_context.h"
#include "ui/kel_lnk_window_view.h"
#include "ui/window_fixture.h"

namespace {

using Rows = std::vector<std::vector<std::string>>;

class MethodsTest : public WindowFixture, public ::testing::WithParamInterface<TestEngine> {
 protected:
  TestEngine Engine() const override { return GetParam(); }
  std::string ProfileKeys() const override { return "ACCESS * * * * ALLOW\n"; }
  void SetUp() override {
    WindowFixture::SetUp();
    KelDMContext::SetOptions("", "carol");
    for (int n = 1; n <= 4; ++n) {
      const std::string d = std::to_string(n);
      db_->Exec("UPDATE $VS_E1.TOVRA_MODEL SET C_LASTMOD = '2025-05-0" + d +
                " 10:00:00', C_UUID = "
                "'01234567-89ab-cdef-0123-456789abcd0" +
                d + "' WHERE C_ID = 'M" + d + "';");
    }
  }
  void TearDown() override {
    KelDMClipboard::Get().Clear("");
    KelDMContext::SetOptions("", "");
    WindowFixture::TearDown();
  }
  KelLnkWindowView* Open(int root, int order = 0) {
    const KelDMInstance instance = Model(root);
    return new KelLnkWindowView(nullptr, &instance, order, nullptr, nullptr, nullptr);
  }
  Rows Pasted() {
    return db_->Rows("SELECT $COID, $COID_REF, C_MML_TS FROM $VS_E1.$EXT WHERE KELMML_STATUS = 'UPD' ORDER BY $COID");
  }
  static KelDMInstance Part() { return KelDMInstance(kMmlKelcon, "E1", "PART_LIST", Coid(1), "B000000000000001"); }
};
MML_INSTANTIATE_ENGINES(MethodsTest);

TEST_P(MethodsTest, PasteLinksInTheWindowsDirectionAlreadyInStep) {
  for (int order : {0, 1}) {
    KelLnkWindowView* window = Open(4, order);
    KelDMClipboard::Get().Clear("QOR");
    KelDMClipboard::Get().Add(Model(3));
    auto* object = static_cast<KelLnkObject*>(window->GetRootObject().get());
    EXPECT_EQ(0, object->Paste("xyz"));
    window->RequestDelayedDestruction();
    KelApplication::Get().RunIdle();
  }
  // Impacted by: M4 points to M3; impacts on: M3 points to M4. Both carry
  // the child's date, so they start up to date.
  EXPECT_EQ((Rows{{Coid(3), Coid(4), "2025-05-04 10:00:00.000000"}, {Coid(4), Coid(3), "2025-05-03 10:00:00.000000"}}),
            Pasted());
}

TEST_P(MethodsTest, AFailedPasteLeavesTheDatabaseAndTheClipboardAsTheyWere) {
  db_->Init({"E2:objects"});
  db_->Exec("INSERT INTO $VS_E2.TOVRA_MODEL ($COID, $COMPID, C_ID) VALUES (X'" + Coid(5) + "', X'" + Compid(5) +
            "', 'M5');");
  struct Case {
    KelDMInstance third;
    std::string message;
  } cases[] = {
      {Part(), "Objects on the clipboard are not models or documents."},
      // In "impacts on" the clipboard object is the father: E2 has no link table.
      {KelDMInstance(kMmlKelcon, "E2", "TOVRA_MODEL", Coid(5), Compid(5)), "QOR-100"},
  };
  for (const Case& c : cases) {
    KelLnkWindowView* window = Open(4, 1);
    KelDMClipboard::Get().Clear("QOR");
    for (const KelDMInstance& i : {Model(2), Model(3), c.third}) KelDMClipboard::Get().Add(i);
    EXPECT_NE(0, static_cast<KelLnkObject*>(window->GetRootObject().get())->Paste("xyz"));
    EXPECT_NE(std::string::npos, window->GetLastErrorText().find(c.message)) << window->GetLastErrorText();
    EXPECT_TRUE(Pasted().empty());
    EXPECT_EQ(3, KelDMClipboard::Get().GetNbObject());
    window->RequestDelayedDestruction();
    KelApplication::Get().RunIdle();
  }
}

TEST_P(MethodsTest, AnActionNamesThePartOnlyWhenTheObjectHasExactlyOne) {
  db_->Init({"E1:actions"});
  const std::vector<std::vector<std::string>> expected = {{"Model"}, {"Product", "Model"}, {"Model"}};
  for (size_t parts = 0; parts < expected.size(); ++parts) {
    if (parts > 0) {
      db_->Exec("INSERT INTO $VS_E1.PART_LIST ($COID, $COMPID, C_ID) VALUES (X'" + Coid(1) + "', X'B00000000000000" +
                std::to_string(parts) + "', 'P');");
    }
    KelLnkObject object(Model(1));
    object.CreateAction();
    KelQorAFActionDialog* dialog = KelQorAFActionDialog::Last();
    ASSERT_NE(nullptr, dialog);
    std::vector<std::string> kinds;
    for (const auto& o : dialog->GetAction().GetAffectedObjects()) kinds.push_back(o.kind);
    EXPECT_EQ(expected[parts], kinds);
    EXPECT_EQ("carol", dialog->GetAction().GetResponsiblePerson());
    dialog->PressButton(KelNotification::OK);
    EXPECT_TRUE(dialog->IsSaved());
    KelApplication::Get().RunIdle();
  }
  EXPECT_EQ((Rows{{"4"}}), db_->Rows("SELECT COUNT(*) FROM $VS_E1.QOR_ACTION_OBJECT"));
}

TEST_P(MethodsTest, ChangeUuidRenewsTheSelectedModelsOrNothing) {
  db_->Init({"E1:entities"});
  // M3 uses the entity M2 publishes under M2's UUID.
  db_->Exec(
      "INSERT INTO $VS_E1.MML_LINK (OBJECT_KELAB, OBJECT_COID, OBJECT_COMPID, ENTITY_ID_1, ENTITY_ID_2) VALUES "
      "('TOVRA_MODEL', X'" +
      Coid(3) + "', X'" + Compid(3) + "', X'0123456789ABCDEF', X'0123456789ABCD02');");
  KelLnkWindowView* window = Open(1);
  window->SetExpand(KelLnkMainWindow::All);
  window->Refresh(1);
  window->Select(nullptr, 1, KelLnkMainWindow::SelectRepresentations);
  db_->Exec("DELETE FROM $VS_E1.TOVRA_MODEL WHERE C_ID = 'M4'; DELETE FROM $VS_E1.$EXT WHERE $COID_REF = X'" + Coid(4) +
            "';");
  const Rows before = db_->Rows("SELECT C_UUID FROM $VS_E1.TOVRA_MODEL ORDER BY C_ID");
  EXPECT_EQ(kel_ier::kInstanceNotFound, window->ChangeUUID());
  EXPECT_EQ(before, db_->Rows("SELECT C_UUID FROM $VS_E1.TOVRA_MODEL ORDER BY C_ID"));
  EXPECT_EQ("ChangeUUID", KelDMAction::Last().action);

  window->Refresh(1);
  window->Select(nullptr, 1, KelLnkMainWindow::SelectRepresentations);
  EXPECT_EQ(0, window->ChangeUUID());
  const Rows after = db_->Rows("SELECT C_UUID FROM $VS_E1.TOVRA_MODEL ORDER BY C_ID");
  ASSERT_EQ(3u, after.size());
  for (size_t k = 0; k < after.size(); ++k) EXPECT_NE(before[k], after[k]);
  std::string m2 = after[1][0];
  m2.erase(std::remove(m2.begin(), m2.end(), '-'), m2.end());
  for (char& c : m2) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  EXPECT_EQ((Rows{{m2.substr(0, 16), m2.substr(16)}}),
            db_->Rows("SELECT ENTITY_ID_1, ENTITY_ID_2 FROM $VS_E1.MML_LINK"));

  window->Select(nullptr, 0, KelLnkMainWindow::SelectUndefined);
  EXPECT_EQ(1, window->ChangeUUID());
  EXPECT_EQ("No object selected", window->GetLastErrorText());
}

TEST_P(MethodsTest, CheckInNeedsTheUsersLockAndCheckOutOpensOnePanel) {
  db_->Exec("INSERT INTO $VS_E1.$LOCK ($COID, $COMPID, $LOCKTYPE, C_RESPONSIBLE) VALUES (X'" + Coid(1) + "', X'" +
            Compid(1) + "', 'D', 'bob');");
  const std::string locks = "SELECT $LOCKTYPE, C_RESPONSIBLE FROM $VS_E1.$LOCK ORDER BY C_RESPONSIBLE";
  KelLnkWindowView* window = Open(1);
  window->CheckIn(Model(1));
  EXPECT_EQ(kel_ier::kNotLockedByUser, KelDMAction::Last().code);
  EXPECT_NE(std::string::npos, KelDMAction::Last().message.find("M1 1 holds no lock of the user carol"));
  EXPECT_EQ((Rows{{"D", "bob"}}), db_->Rows(locks));

  // Bob's lock refuses the check-out; without it, one panel, whose OK locks.
  window->CheckOut(Model(1));
  EXPECT_EQ(nullptr, window->GetCheckOutPanel());
  db_->Exec("DELETE FROM $VS_E1.$LOCK;");
  window->CheckOut(Model(1));
  KelDMInsertPanel* panel = window->GetCheckOutPanel();
  ASSERT_NE(nullptr, panel);
  window->CheckOut(Model(2));
  EXPECT_EQ(panel, window->GetCheckOutPanel());
  panel->PressButton(KelNotification::OK);
  EXPECT_EQ(nullptr, window->GetCheckOutPanel());
  EXPECT_EQ((Rows{{"D", "carol"}}), db_->Rows(locks));
  window->CheckIn(Model(1));
  EXPECT_EQ(0, KelDMAction::Last().code);
  EXPECT_TRUE(db_->Rows(locks).empty());
}

}  // namespace
