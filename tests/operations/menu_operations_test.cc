// The contextual menu reaches the synchronisation, the link maintenance and
// the viewers: each item changes the database (or opens what it promises),
// and the example viewer, run as a real process, records what it opened.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "ui/kel_lnk_boxes.h"
#include "ui/kel_lnk_synchronise_dialog.h"
#include "ui/window_fixture.h"

namespace {

class MenuOperationsTest : public WindowFixture {
 protected:
  std::string ProfileKeys() const override {
    return "LINKTYPE E1 KELMMabc MML_abc\nACCESS * * * * ALLOW\nKELZUMO.QOR.MML.SYNCHRONISE.TYPE.xyz = BATCH\n"
           "KELZUMO.VIEWER.TOVRA_MODEL.COMMAND = " MML_SOURCE_DIR
           "/scripts/site/mml-viewer.sh\n"
           "KELZUMO.VIEWER.TOVRA_MODEL.OPTION.1 = read\n";
  }
  void SetUp() override {
    WindowFixture::SetUp();
    setenv("MML_VIEWER_LOG", log_.File("viewer.log").c_str(), 1);
    KelLnkWindowServices::InstallForWindows();
    // M1 -> M2 is out of step (M2 changed after the link was stamped); M4 -> M3 too.
    Link(4, 3);
    db_->Exec("UPDATE $VS_E1.$EXT SET C_MML_TS = '2024-01-01 00:00:00.000000';");
    db_->Exec("UPDATE $VS_E1.TOVRA_MODEL SET C_LASTMOD = '2025-01-01 00:00:00.000000' WHERE C_ID = 'M2';");
  }
  void TearDown() override {
    KelLnkUserServices::Install(nullptr);
    unsetenv("MML_VIEWER_LOG");
    WindowFixture::TearDown();
  }
  std::string Row(const std::string& column, int father, int child) {
    const auto rows = db_->Rows("SELECT " + column + " FROM $VS_E1.$EXT WHERE $COID = X'" + Coid(father) +
                                "' AND $COID_REF = X'" + Coid(child) + "';");
    return rows.empty() ? "(none)" : rows[0][0];
  }
  // The lines the viewer wrote, once it wrote `count` of them (or gave up).
  std::string ViewerLog(size_t count) {
    std::string text;
    for (int k = 0; k < 100; ++k) {
      if (access(log_.File("viewer.log").c_str(), R_OK) == 0) text = ReadFileText(log_.File("viewer.log"));
      if (static_cast<size_t>(std::count(text.begin(), text.end(), '\n')) >= count) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return text;
  }
  static std::string Words(int n) { return "E1 TOVRA_MODEL " + Coid(n) + " " + Compid(n); }
  TempDir log_;
};

TEST_F(MenuOperationsTest, EachItemRunsItsOperation) {
  KelLnkWindowView* window = Open(Model(1), 0);
  struct Case {
    std::function<bool(KelLnkNode*)> node;
    std::string item;  // the item; for the type submenu, the title of the new type
    std::function<std::string()> outcome;
    std::string expected;
  };
  const int boxes = KelLnkErrorBox::Count();
  const Case cases[] = {
      {Object(Coid(1)), "ItemSynchroniseObjectFull", [] { return std::to_string(KelLnkSynchroniseDialog::Count()); },
       "1"},
      // No script is declared: the link's synchronisation says so.
      {LinkTo(Coid(2)), "ItemSynchroniseLink", [&] { return std::to_string(KelLnkErrorBox::Count() - boxes); }, "1"},
      {LinkTo(Coid(4)), "ItemUpissue", [&] { return Row("KELMML_STATUS", 1, 4); }, "UPD"},
      {LinkTo(Coid(4)), "ItemAccept", [&] { return Row("KELMML_STATUS", 1, 4); }, "TOK"},
      {LinkTo(Coid(2)), "MML_abc", [&] { return Row("$TYPE", 1, 2); }, "KELMMabc"},
      {LinkTo(Coid(2)), "ItemSetSynchronisedLink",
       [&] { return db_->Rows("SELECT C_LASTMOD FROM $VS_E1.TOVRA_MODEL WHERE C_ID = 'M1';")[0][0].substr(0, 4); },
       "2025"},
      {[](KelLnkNode* n) {
         return LinkTo(Coid(3))(n) && static_cast<KelLnkLink*>(n)->GetParent()->GetInstance().GetXCoid() == Coid(4);
       },
       "ItemDelete", [&] { return Row("$TYPE", 4, 3); }, "(none)"},
  };
  for (const Case& c : cases) {
    KelDlgObject* menu = RightClick(window, c.node);
    ASSERT_NE(nullptr, menu) << c.item;
    KelDlgObject* item = menu->Find(c.item);
    if (item == nullptr) {
      for (KelDlgObject* typed : menu->Find("MenuLinktype")->GetChildren())
        if (typed->GetTitle() == c.item) item = typed;
    }
    ASSERT_NE(nullptr, item) << c.item;
    item->Notify(KelNotification::Activate);  // the callback, whatever the sensitivity
    EXPECT_EQ(c.expected, c.outcome()) << c.item;
  }
  delete window;
}

TEST_F(MenuOperationsTest, OpenSendsTheObjectsToTheViewer) {
  // M2 has a later revision, M5.
  db_->Exec("UPDATE $VS_E1.TOVRA_MODEL SET C_FAMILY = 'F2' WHERE C_ID = 'M2';");
  Product(*db_).Model(5, "M2", "2025-02-01 00:00:00.000000", "2", "'F2'", 2);
  db_->Exec("INSERT INTO $VS_E1.PART_LIST ($COID, $COMPID, C_ID, C_REVISION) VALUES (X'" + Coid(7) + "', X'" +
            Compid(7) + "', 'P1', '1');");
  KelLnkWindowView* window = Open(Model(1), 0);

  // Two models of one table together, in one call.
  KelGraphViewer* viewer = window->GetViewer();
  for (int n : {2, 3}) {
    window->GetNavigatorController()->GetRootInstance()->Walk([&](KelNavigInstance* i) {
      auto* node = dynamic_cast<KelLnkNode*>(i->GetReference().get());
      if (node && Object(Coid(n))(node) && i->IsDrawn()) viewer->UserSelect(i->GetGraphNode(), true);
    });
  }
  RightClick(window, Object(Coid(2)))->Find("ItemOpenObjectSelected")->Activate();
  EXPECT_EQ("option 1 read: " + Words(2) + "; " + Words(3) + "\n", ViewerLog(1));
  EXPECT_EQ("Objects sent to the viewer.", window->GetStatusText());

  // The latest version of M2 is M5.
  RightClick(window, Object(Coid(2)))->Find("ItemOpenObjectLatest")->Activate();
  const std::string log = ViewerLog(2);
  EXPECT_EQ("option 1 read: " + Words(5) + "\n", log.substr(log.find('\n') + 1));

  // A part has no viewer.
  KelLnkWindowView* part = Open(KelDMInstance(kMmlKelcon, "E1", "PART_LIST", Coid(7), Compid(7)), 0);
  RightClick(part, Object(Coid(7)))->Find("ItemOpenObjectThis")->Activate();
  EXPECT_EQ("No viewer exists for this object.", part->GetLastErrorText());
  delete part;
  delete window;
}

}  // namespace
