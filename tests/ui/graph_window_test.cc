// The graph window driven without a screen: its settings, selection, boxes,
// print and capture tools, entry points and deletion.
#include <gtest/gtest.h>

#include <vector>

#include "foundation/kel_lnk_tools.h"
#include "tests/ui/window_fixture.h"
#include "ui/kel_dm_dlg_zumo_result.h"
#include "ui/kel_lnk_boxes.h"
#include "ui/kel_lnk_entry_points.h"
#include "ui/kel_lnk_print.h"
#include "ui/kel_lnk_window_view.h"

namespace {

using Window = KelLnkWindowView;

class GraphWindowTest : public WindowFixture {
 protected:
  Window* Open(int root = 1, int order = 0) {
    const KelDMInstance instance = Model(root);
    return new Window(nullptr, &instance, order, nullptr, nullptr, nullptr);
  }
  static int Setting(const char* name) {
    int value = -100;
    KelSettingRepository::GetRepository("KelLnkSetting").ReadSetting(name, value);
    return value;
  }
};

TEST_F(GraphWindowTest, SettingsComeFromTheRepositoryAndGoBackToIt) {
  KelSettingRepository& repo = KelSettingRepository::GetRepository("KelLnkSetting");
  repo.WriteSetting("Expand", 9);  // out of range: the default
  repo.WriteSetting("Link", 0);
  repo.WriteSetting("Type", 1);
  Window* first = Open();
  EXPECT_EQ("Rafraichir", first->Find("ItemGraphRefresh")->GetTitle());  // from the catalogue
  EXPECT_EQ(KelLnkMainWindow::One, first->GetExpand());
  EXPECT_EQ(1, first->Find("ItemGraphExpandOne")->GetState());
  EXPECT_EQ(1, first->Find("ItemGraphRepLnkStrait")->GetState());
  EXPECT_EQ(0, first->Find("ItemGraphRepLnkSquare")->GetState());
  EXPECT_EQ(1, first->Find("ItemGraphRepIndent")->GetState());
  EXPECT_TRUE(first->GetViewer()->IsIndented());
  EXPECT_FALSE(first->GetViewer()->HasSquareArcs());

  first->Find("ItemGraphExpandAll")->Activate();
  EXPECT_EQ(256, first->GetExpandDepth());
  EXPECT_EQ(2, first->GetNavigatorController()->GetDepth()) << "the objects open the deeper levels";
  first->Find("ItemGraphRepPacked")->Activate();
  first->Find("ItemGraphShowLocks")->Activate();
  EXPECT_EQ(3, Setting("Expand"));
  EXPECT_EQ(0, Setting("Zip"));
  EXPECT_EQ(1, Setting("ShowLock"));
  delete first;

  KelSettingRepository::ForgetAll();  // the next run reads the file again
  Window* second = Open();
  EXPECT_EQ(1, second->Find("ItemGraphExpandAll")->GetState());
  EXPECT_EQ(0, second->Find("ItemGraphExpandOne")->GetState());
  EXPECT_EQ(1, second->Find("ItemGraphRepPacked")->GetState());
  EXPECT_EQ(1, second->Find("ItemGraphShowLocks")->GetState());
  EXPECT_TRUE(second->GetViewer()->IsPacked());
  delete second;
}

TEST_F(GraphWindowTest, ExpandAllDrawsTheWholeGraphAndClicksChangeTheHighlightedSet) {
  KelSettingRepository::GetRepository("KelLnkSetting").WriteSetting("Filter", 0);
  KelSettingRepository::GetRepository("KelLnkSetting").WriteSetting("Expand", 3);
  Window* window = Open();
  // M1, its two links, M2 and M4, M2's link and M3.
  EXPECT_EQ(7u, window->GetViewer()->CollectNodes().size());
  const int refreshes = window->GetRefreshCount();
  window->Find("ItemLinkAll")->Activate();  // already the current type
  EXPECT_EQ(refreshes, window->GetRefreshCount());
  EXPECT_TRUE(window->ChooseLinktype("xyz"));
  EXPECT_EQ(refreshes + 1, window->GetRefreshCount());
  EXPECT_EQ("xyz", window->GetLinktype());
  EXPECT_EQ(0, window->Find("ItemLinkAll")->GetState());
  EXPECT_TRUE(window->ChooseLinktype("xyz"));
  EXPECT_EQ(refreshes + 1, window->GetRefreshCount());
  EXPECT_FALSE(window->ChooseLinktype("nope"));

  // Clicks and menus change the highlighted set.
  KelGraphViewer* viewer = window->GetViewer();
  const auto nodes = viewer->CollectNodes();
  KelHSO& hso = window->GetNavigatorController()->GetHSO();
  KelIGraphNode* m1 = nodes[0].node;
  KelIGraphNode* m2 = nodes[2].node;  // M1, link, M2, ...
  viewer->UserSelect(m2, false);
  EXPECT_EQ(1, hso.GetCount());
  EXPECT_TRUE(viewer->IsHighlighted(m2));
  viewer->UserSelect(m1, true);
  EXPECT_EQ(2, hso.GetCount());
  viewer->UserSelect(m1, true);  // Ctrl-click again takes it out
  EXPECT_EQ(1, hso.GetCount());
  viewer->UserSelect(m1, false);
  EXPECT_EQ(1, hso.GetCount());
  EXPECT_TRUE(viewer->IsHighlighted(m1));
  window->Find("ItemGraphSelectAll")->Activate();
  EXPECT_EQ(4, hso.GetCount()) << "the four objects, no link";
  window->Find("ItemGraphSelectNone")->Activate();
  EXPECT_EQ(0, hso.GetCount());
  delete window;
}

// Records what the modal loop saw, and closes the box as the user would.
class ModalRecorder : public KelDlgBinding {
 public:
  void RunModal(KelDlgNotify* box) override {
    visibleWhileModal = box->GetVisibility();
    text = box->GetText();
    title = box->GetTitle();
    box->PressButton(KelNotification::OK);
  }
  bool visibleWhileModal = false;
  std::string text, title;
};

TEST_F(GraphWindowTest, BoxesKeepTheirLifetimes) {
  Window* window = Open();
  auto* error = new KelLnkErrorBox(window, "It broke", KelLnkErrorBox::kStyle);
  EXPECT_TRUE(error->GetVisibility());
  EXPECT_EQ("Error", error->GetIdentifier());
  EXPECT_EQ("It broke", error->GetText());
  error->PressButton(KelNotification::OK);
  KelApplication::Get().RunIdle();
  EXPECT_EQ(1, KelLnkErrorBox::Count()) << "hidden, still allocated";
  EXPECT_FALSE(error->GetVisibility());

  auto* info = new KelLnkInformationBox(window, "Some facts");
  EXPECT_EQ("Information", info->GetIdentifier());
  info->PressButton(KelNotification::OK);
  EXPECT_EQ(1, KelApplication::Get().RunIdle());

  ModalRecorder recorder;
  KelApplication::Get().SetBinding(&recorder);
  KelLnkMessageBox(window, "Read me");
  KelApplication::Get().SetBinding(nullptr);
  EXPECT_TRUE(recorder.visibleWhileModal);
  EXPECT_EQ("Read me", recorder.text);
  EXPECT_EQ("Message", recorder.title);
  EXPECT_EQ(1, KelApplication::Get().PendingDestructions());

  delete window;  // takes its error boxes along
  EXPECT_EQ(0, KelLnkErrorBox::Count());
}

TEST_F(GraphWindowTest, ASecondCaptureRequestShowsTheSameDialog) {
  Window* window = Open();
  window->Find("ItemCaptureGraph")->Activate();
  KelPrintCaptureDialog* first = KelLnkCapture::GetCaptureDialog();
  ASSERT_NE(nullptr, first);
  first->SetVisibility(false);
  window->Find("ItemCaptureGraph")->Activate();
  EXPECT_EQ(first, KelLnkCapture::GetCaptureDialog());
  EXPECT_TRUE(first->GetVisibility());
  EXPECT_EQ(1, KelPrintCaptureDialog::GetNInstance());
  EXPECT_TRUE(KelPrinterManager::IsBegun());
  EXPECT_TRUE(KelPrintAlbumManager::IsBegun());
  // Without a drawing toolkit a capture says so instead of writing half a file.
  first->GetFileEditor()->EditText("/tmp/x.png");
  first->Find("CaptureWrite")->Activate();
  EXPECT_NE(std::string::npos, first->GetStatus().find("no drawing toolkit"));
  delete window;
  KelApplication::Get().RunIdle();
  EXPECT_EQ(0, KelPrintCaptureDialog::GetNInstance());
  EXPECT_EQ(nullptr, KelLnkCapture::GetCaptureDialog());
}

TEST_F(GraphWindowTest, EntryPointsOpenThroughAPanelAndDeleteAtIdle) {
  testing::internal::CaptureStdout();
  const KelDMInstance root = Model(1);
  EXPECT_EQ(nullptr, LaunchMMLWindow(nullptr, &root, 1, nullptr, nullptr, nullptr));
  EXPECT_EQ("QOR INTERNAL ERROR : no KelDMDlgResultPanel \navailable to launch a KelLnkMainWindow\n",
            testing::internal::GetCapturedStdout());

  auto* panel = new KelDMDlgZUMOResult();
  EXPECT_EQ((KelListValKelUnicodeString{"E1"}), KelLnkTools::GetListeFiltered());
  panel->GetFilterEditor()->EditText("M%");
  EXPECT_EQ(4, panel->Search());
  panel->GetObjectList()->SelectRows({1});
  panel->Find("OpenImpactsOn")->Activate();
  ASSERT_EQ(1, Window::Count());
  KelLnkMainWindow* model = LaunchMMLWindow(nullptr, &root, 0, nullptr, nullptr, nullptr);
  ASSERT_NE(nullptr, model);
  EXPECT_EQ(panel, model->GetZUMOPanel());
  EXPECT_EQ(2, Window::Count());

  DeleteMMLWindow(model);
  DeleteMMLWindow(model);
  EXPECT_EQ(2, Window::Count()) << "still there until the idle time";
  KelApplication::Get().RunIdle();
  EXPECT_EQ(1, Window::Count());
  EXPECT_EQ(0, CountCallbacks(&KelApplication::Get(), KelNotification::Idle));

  // Closed while its deletion waits: nothing is left to reach it.
  Window* other = Open(2);
  other->ForceDelete();
  other->Close();
  KelApplication::Get().RunIdle();
  KelApplication::Get().RunIdle();
  EXPECT_EQ(1, Window::Count());
  EXPECT_EQ(0, CountCallbacks(&KelApplication::Get(), KelNotification::Idle));
  EXPECT_EQ(1, CountCallbacks(&KelApplication::Get(), KelNotification::Removed));
  delete panel;
  KelApplication::Get().RunIdle();
}

}  // namespace
