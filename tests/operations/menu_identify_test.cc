// The contextual menu of drawn nodes (right click) and the Tovra V4 identify
// against the example peer, run as a real process.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "graph/kel_lnk_custom_node.h"
#include "graph/kel_lnk_link.h"
#include "host/dlg/kel_dm_cmd_replicate.h"
#include "host/dm/kel_dm_clipboard.h"
#include "host/navigator/kel_navig_controller.h"
#include "host/profile/kel_dm_context.h"
#include "ui/kel_lnk_window_view.h"
#include "ui/window_fixture.h"

namespace {

class MenuTest : public WindowFixture {
 protected:
  std::string ProfileKeys() const override {
    return "LINKTYPE E1 KELMMabc MML_abc\nKELZUMO.QOR.MML.ENTITY_TO_ENTITY = TRUE\nACCESS * * * * ALLOW\n";
  }
  void SetUp() override {
    WindowFixture::SetUp();
    KelDMContext::SetOptions("", "carol");
    db_->Init({"E1:entities"});
    // P1 (a part) points to M1; M1 points to a model that no longer exists.
    db_->Exec("INSERT INTO $VS_E1.PART_LIST ($COID, $COMPID, C_ID, C_REVISION) VALUES (X'" + Coid(7) + "', X'" +
              Compid(7) + "', 'P1', '1');");
    db_->Exec(
        "INSERT INTO $VS_E1.$EXT ($COID, $COMPID, $COMPNAME_FATHER, $COMPID_FATHER, $COMPNAME, $COID_REF, "
        "$COMPID_REF, $TYPE) VALUES (X'" +
        Coid(7) + "', X'E000000000000007', 'PART_LIST', X'" + Compid(7) + "', 'E1.TOVRA_MODEL', X'" + Coid(1) +
        "', X'" + Compid(1) + "', 'KELMMxyz');");
    Link(1, 9);
    // M3 uses the entity M2 publishes.
    db_->Exec(
        "INSERT INTO $VS_E1.MML_ENTITY (OBJECT_KELAB, OBJECT_COID, OBJECT_COMPID, ENTITY_ID_1, ENTITY_ID_2, "
        "ENTITY_KEY, TS) VALUES ('TOVRA_MODEL', X'" +
        Coid(2) + "', X'" + Compid(2) +
        "', X'AAAA000000000001', X'BBBB000000000001', X'0000000000000001', '2024-01-01 00:00:00');");
    db_->Exec(
        "INSERT INTO $VS_E1.MML_LINK (OBJECT_KELAB, OBJECT_COID, OBJECT_COMPID, ENTITY_ID_1, ENTITY_ID_2, "
        "ENTITY_KEY, TS, TYPE) VALUES ('TOVRA_MODEL', X'" +
        Coid(3) + "', X'" + Compid(3) +
        "', X'AAAA000000000001', X'BBBB000000000001', X'0000000000000001', '2024-01-01 00:00:00', "
        "'KELMMxyz');");
  }
  void TearDown() override {
    KelDMClipboard::Get().Clear("");
    KelDMContext::SetOptions("", "");
    WindowFixture::TearDown();
  }
  static std::set<std::string> Ids(KelDlgObject* menu) {
    std::set<std::string> ids;
    for (KelDlgObject* child : menu->GetChildren()) ids.insert(child->GetIdentifier());
    return ids;
  }
};

TEST_F(MenuTest, EntriesAndTheirSensitivityFollowTheNode) {
  KelLnkWindowView* window = Open(KelDMInstance(kMmlKelcon, "E1", "PART_LIST", Coid(7), Compid(7)), 0);
  KelDlgObject* menu = RightClick(window, Object(Coid(7)));
  ASSERT_NE(nullptr, menu);
  for (const char* id : {"MenuSynchroniseObject", "ItemCopy", "MenuPaste", "ItemCreateAction", "MenuMML"}) {
    EXPECT_EQ(0u, Ids(menu).count(id)) << id;
  }
  EXPECT_EQ(1u, Ids(menu).count("ItemInformationObject"));

  // A model: Paste follows the clipboard.
  menu = RightClick(window, Object(Coid(1)));
  EXPECT_FALSE(menu->Find("MenuPaste")->GetSensitivity());
  KelDMClipboard::Get().Clear("QOR");
  KelDMClipboard::Get().Add(Model(4));
  menu = RightClick(window, Object(Coid(1)));
  EXPECT_TRUE(menu->Find("MenuPaste")->GetSensitivity());

  // The broken link offers every entry, each flagged item disabled; the type
  // submenu never offers the link's own type.
  menu = RightClick(window, LinkTo(Coid(9)));
  EXPECT_EQ((std::set<std::string>{"ItemSynchroniseLink", "ItemSetSynchronisedLink", "ItemUpissue", "ItemAccept",
                                   "MenuLinktype", "ItemDelete", "ItemInformationLink"}),
            Ids(menu));
  for (const char* id : {"ItemSynchroniseLink", "ItemSetSynchronisedLink", "ItemUpissue", "ItemAccept"}) {
    EXPECT_FALSE(menu->Find(id)->GetSensitivity()) << id;
  }
  for (KelDlgObject* item : menu->Find("MenuLinktype")->GetChildren()) {
    if (item->GetTitle() == "MML_xyz") {
      EXPECT_FALSE(item->GetSensitivity());
    }
  }
  EXPECT_TRUE(menu->Find("ItemInformationLink")->GetSensitivity());

  // In "impacts on" a link's Synchronise is always off.
  KelLnkWindowView* up = Open(Model(3), 1);
  menu = RightClick(up, [](KelLnkNode* n) { return n->GetNodetype() == 1; });
  ASSERT_NE(nullptr, menu);
  EXPECT_FALSE(menu->Find("ItemSynchroniseLink")->GetSensitivity());
}

TEST_F(MenuTest, CheckUuidHighlightsTheSharersAndReplicationQueuesThroughItsCommand) {
  db_->Init({"E1:replication"});
  // M4 republishes M2's entity: M3 points to both through one UUID.
  db_->Exec(
      "INSERT INTO $VS_E1.MML_ENTITY (OBJECT_KELAB, OBJECT_COID, OBJECT_COMPID, ENTITY_ID_1, ENTITY_ID_2, "
      "ENTITY_KEY, TS) VALUES ('TOVRA_MODEL', X'" +
      Coid(4) + "', X'" + Compid(4) +
      "', X'AAAA000000000001', X'BBBB000000000001', X'0000000000000001', '2024-01-01 00:00:00');");
  KelLnkWindowView* window = Open(Model(3), 0);
  window->Find("ItemGraphUuidCheck")->Activate();
  std::set<std::string> highlighted;
  for (KelNavigInstance* i : window->GetNavigatorController()->GetHSO().GetList()) {
    highlighted.insert(dynamic_cast<KelLnkNode*>(i->GetReference().get())->GetInstance().GetXCoid());
  }
  EXPECT_EQ((std::set<std::string>{Coid(2), Coid(4)}), highlighted);

  KelDlgObject* menu = RightClick(window, Object(Coid(2)));
  menu->Find("ItemReplicateAsynchronous")->Activate();
  KelDMCmdReplicate* command = KelDMCmdReplicate::Last();
  ASSERT_NE(nullptr, command);
  command->GetConfirmDialog()->PressButton(KelNotification::OK);
  EXPECT_EQ(0, command->GetResult());
  KelApplication::Get().RunIdle();
  EXPECT_EQ(nullptr, KelDMCmdReplicate::Last());
  EXPECT_EQ((std::vector<std::vector<std::string>>{{Coid(2), "carol"}}),
            db_->Rows("SELECT OBJECT_COID, REQUESTER FROM $VS_E1.QOR_REPLICATION_QUEUE"));
}

// The example peer, started on `socket` with `arguments`, stopped at the end.
class Peer {
 public:
  Peer(const std::string& socket, const std::vector<std::string>& arguments) {
    int out[2];
    if (pipe(out) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(out[1], 1);
      std::vector<std::string> words = {"python3", std::string(MML_SOURCE_DIR) + "/scripts/site/mml-v4-peer",
                                        "--socket", socket};
      words.insert(words.end(), arguments.begin(), arguments.end());
      std::vector<char*> argv;
      for (std::string& w : words) argv.push_back(w.data());
      argv.push_back(nullptr);
      execvp("python3", argv.data());
      _exit(127);
    }
    close(out[1]);
    char line[64] = {0};
    FILE* from = fdopen(out[0], "r");
    ready_ = from != nullptr && fgets(line, sizeof line, from) != nullptr && std::string(line) == "ready\n";
    if (from != nullptr) fclose(from);
  }
  ~Peer() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
  bool Ready() const { return ready_; }

 private:
  pid_t pid_ = -1;
  bool ready_ = false;
};

TEST_F(MenuTest, IdentifyHighlightsTheParentsPointingToThePeersAnswer) {
  TempDir dir;
  const std::string socket = dir.File("v4.sock");
  setenv("MML_V4_SOCKET", socket.c_str(), 1);
  setenv("MML_V4_TIMEOUT_MS", "300", 1);
  KelLnkWindowView* window = Open(Model(3), 0);  // M3 points to M2 through the entity
  auto* m2 = [&] {
    KelLnkObject* found = nullptr;
    window->GetNavigatorController()->GetRootInstance()->Walk([&](KelNavigInstance* i) {
      auto* o = dynamic_cast<KelLnkObject*>(i->GetReference().get());
      if (found == nullptr && o != nullptr && o->GetInstance() == Model(2)) found = o;
    });
    return found;
  }();
  ASSERT_NE(nullptr, m2);
  struct Case {
    std::vector<std::string> peer;  // empty: no peer
    int highlighted;
    std::string error;   // expected in the error box
    std::string status;  // expected in the status bar
  } cases[] = {
      // M3, drawn as the root and again below M2 (M2 points back to it).
      {{"aaaa0000-0000-0001-bbbb-000000000001"}, 2, "", "2 model(s) point to"},
      {{"FFFFFFFF000000000000000000000000"}, 0, "", "no model of this graph points to FFFF"},
      {{"0000"}, 0, "QOR-4203", ""},  // not a UUID
      {{}, 0, "QOR-4201", ""},
      {{"x", "--silent"}, 0, "QOR-4202", ""},
      {{"x", "--garbage"}, 0, "QOR-4203", ""},
  };
  for (const Case& c : cases) {
    std::unique_ptr<Peer> peer;
    if (!c.peer.empty()) {
      peer = std::make_unique<Peer>(socket, c.peer);
      ASSERT_TRUE(peer->Ready());
    }
    window->ShowStatus("");
    const std::string errorBefore = window->GetLastErrorText();
    const int rc = m2->Identify(nullptr);
    EXPECT_EQ(c.error.empty(), rc == 0) << c.error;
    if (!c.error.empty()) {
      EXPECT_NE(std::string::npos, window->GetLastErrorText().find(c.error));
    } else {
      EXPECT_EQ(c.highlighted, window->GetNavigatorController()->GetHSO().GetCount());
      EXPECT_NE(std::string::npos, window->GetStatusText().find(c.status)) << window->GetStatusText();
    }
  }
  unsetenv("MML_V4_SOCKET");
  unsetenv("MML_V4_TIMEOUT_MS");
}

}  // namespace
