// The contextual menu reaches the synchronisation, the link maintenance and
// the viewers; the example viewer, run as a real process, records what it
// opened.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>

#include "ui/kel_lnk_synchronise_dialog.h"
#include "ui/window_fixture.h"

namespace {

// Picks the second viewer of the choice panel, as the user would.
struct SecondViewer : KelDlgBinding {
  void RunModal(KelDlgNotify* box) override { box->Find("Viewer2")->Activate(); }
};

class MenuOperationsTest : public WindowFixture {
 protected:
  std::string ProfileKeys() const override {
    return "LINKTYPE E1 KELMMabc MML_abc\nACCESS * * * * ALLOW\nKELZUMO.QOR.MML.SYNCHRONISE.TYPE.xyz = BATCH\n"
           "KELZUMO.VIEWER.TOVRA_MODEL.COMMAND = " MML_SOURCE_DIR
           "/scripts/site/mml-viewer.sh\n"
           "KELZUMO.VIEWER.TOVRA_MODEL.OPTION.1 = read\nKELZUMO.VIEWER.TOVRA_MODEL.2.NAME = Writer\n"
           "KELZUMO.VIEWER.TOVRA_MODEL.2.COMMAND = " MML_SOURCE_DIR
           "/scripts/site/mml-viewer.sh\n"
           "KELZUMO.VIEWER.TOVRA_MODEL.2.OPTION.1 = write\n";
  }
  std::string Value(const std::string& sql) {
    const auto rows = db_->Rows(sql);
    return rows.empty() ? "(none)" : rows[0][0];
  }
  // The last line of the viewer's log once it holds `count` lines.
  std::string Viewed(int count) {
    std::string text;
    for (int k = 0; k < 100 && std::count(text.begin(), text.end(), '\n') < count; ++k) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      if (access(log_.File("v").c_str(), R_OK) == 0) text = ReadFileText(log_.File("v"));
    }
    return text.substr(text.rfind('\n', text.size() - 2) + 1);
  }
  static std::string Words(int n) { return "E1 TOVRA_MODEL " + Coid(n) + " " + Compid(n); }
  TempDir log_;
};

TEST_F(MenuOperationsTest, ItemsRunTheirOperations) {
  setenv("MML_VIEWER_LOG", log_.File("v").c_str(), 1);
  KelLnkWindowServices::InstallForWindows();
  // M1 -> M2 is out of step; M2 has a later revision M5.
  db_->Exec("UPDATE $VS_E1.$EXT SET C_MML_TS = '2024-01-01 00:00:00.000000';");
  db_->Exec("UPDATE $VS_E1.TOVRA_MODEL SET C_LASTMOD = '2025-01-01 00:00:00', C_FAMILY = 'F2' WHERE C_ID = 'M2';");
  Product(*db_).Model(5, "M2", "2025-02-01 00:00:00.000000", "2", "'F2'", 2);
  KelLnkWindowView* window = Open(Model(1), 0);

  RightClick(window, Object(Coid(1)))->Find("ItemSynchroniseObjectFull")->Activate();
  EXPECT_EQ(1, KelLnkSynchroniseDialog::Count());
  const std::string ext = "FROM $VS_E1.$EXT WHERE $COID_REF = X'";
  const struct {
    int child;
    const char* item;  // for the type submenu, the title of the new type
    std::string query, expected;
  } cases[] = {
      {4, "ItemUpissue", "SELECT KELMML_STATUS " + ext + Coid(4) + "'", "UPD"},
      {4, "ItemAccept", "SELECT KELMML_STATUS " + ext + Coid(4) + "'", "TOK"},
      {3, "MML_abc", "SELECT $TYPE " + ext + Coid(3) + "'", "KELMMabc"},
      {2, "ItemSetSynchronisedLink", "SELECT SUBSTR(C_LASTMOD, 1, 4) FROM $VS_E1.TOVRA_MODEL WHERE C_ID = 'M1'",
       "2025"},
      {4, "ItemDelete", "SELECT $TYPE " + ext + Coid(4) + "'", "(none)"},
  };
  for (const auto& c : cases) {
    KelDlgObject* menu = RightClick(window, LinkTo(Coid(c.child)));
    KelDlgObject* item = menu->Find(c.item);
    for (KelDlgObject* typed : menu->Find("MenuLinktype")->GetChildren())
      if (typed->GetTitle() == c.item) item = typed;
    item->Notify(KelNotification::Activate);  // the callback, whatever the sensitivity
    EXPECT_EQ(c.expected, Value(c.query)) << c.item;
  }

  // Two models of one table open in one call, in the viewer the user picks;
  // the latest version of M2 (M5) opens in the table's first viewer.
  for (int n : {2, 3}) {
    window->GetNavigatorController()->GetRootInstance()->Walk([&](KelNavigInstance* i) {
      auto* node = dynamic_cast<KelLnkNode*>(i->GetReference().get());
      if (node && Object(Coid(n))(node)) window->GetViewer()->UserSelect(i->GetGraphNode(), true);
    });
  }
  SecondViewer chooser;
  KelApplication::Get().SetBinding(&chooser);
  RightClick(window, Object(Coid(2)))->Find("ItemOpenObjectSelected")->Activate();
  KelApplication::Get().SetBinding(nullptr);
  EXPECT_EQ("option 1 write: " + Words(2) + "; " + Words(3) + "\n", Viewed(1));
  EXPECT_EQ("Objects sent to the viewer.", window->GetStatusText());
  RightClick(window, Object(Coid(2)))->Find("ItemOpenObjectLatest")->Activate();
  EXPECT_EQ("option 1 read: " + Words(5) + "\n", Viewed(2));
  delete window;

  // A part has no viewer.
  db_->Exec("INSERT INTO $VS_E1.PART_LIST ($COID, $COMPID, C_ID, C_REVISION) VALUES (X'" + Coid(7) + "', X'" +
            Compid(7) + "', 'P1', '1');");
  window = Open(KelDMInstance(kMmlKelcon, "E1", "PART_LIST", Coid(7), Compid(7)), 0);
  RightClick(window, Object(Coid(7)))->Find("ItemOpenObjectThis")->Activate();
  EXPECT_EQ("No viewer exists for this object.", window->GetLastErrorText());
  delete window;
  KelLnkUserServices::Install(nullptr);
  unsetenv("MML_VIEWER_LOG");
}

}  // namespace
