// The dialog toolkit without a screen: callbacks per notification, radio
// groups, delayed destruction, boxes owned by a window and the persistent
// settings.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "host/dlg/kel_dlg_objects.h"
#include "host/dlg/kel_setting_repository.h"
#include "support/test_database.h"

namespace {

TEST(DlgToolkitTest, ItemsNotifyTheirOwnNotificationAndRadiosStayWithinTheirSeparators) {
  auto* doc = new KelDlgDocument(nullptr, "Doc", 0);
  auto* menu = new KelDlgSubMenu(new KelDlgBarMenu(doc, "Menu", 0), "MenuGraph", 0);
  auto* push = new KelDlgPushItem(menu, "Push", 0);
  auto* check = new KelDlgCheckItem(menu, "Check", 0);
  auto* a = new KelDlgRadioItem(menu, "A", 0);
  auto* b = new KelDlgRadioItem(menu, "B", 0);
  new KelDlgSeparatorItem(menu, "Sep", 0);
  auto* c = new KelDlgRadioItem(menu, "C", 0);
  std::vector<std::string> seen;
  for (KelDlgObject* item : std::vector<KelDlgObject*>{push, check, a, b, c}) {
    for (KelNotification n : {KelNotification::Activate, KelNotification::Modify}) {
      AddAnalyseNotificationCB(
          item, n,
          [&seen, n](KelCommand* sender, KelNotification got, void* data) {
            EXPECT_EQ(n, got);
            auto* object = static_cast<KelDlgObject*>(sender);
            seen.push_back(object->GetIdentifier() + (n == KelNotification::Activate ? ":activate:" : ":modify:") +
                           std::to_string(object->GetState()) + ":" + std::to_string(reinterpret_cast<intptr_t>(data)));
          },
          reinterpret_cast<void*>(7));
    }
  }
  a->SetState(1);
  c->SetState(1);
  doc->Find("Push")->Activate();
  doc->Find("Check")->Activate();
  doc->Find("B")->Activate();  // A goes off, C (behind the separator) stays on
  EXPECT_EQ((std::vector<std::string>{"Push:activate:0:7", "Check:modify:1:7", "A:modify:0:7", "B:modify:1:7"}), seen);
  EXPECT_EQ(1, c->GetState());
  seen.clear();
  push->SetSensitivity(false);
  push->Activate();
  EXPECT_TRUE(seen.empty()) << "an insensitive item does nothing";
  delete doc;
  EXPECT_EQ(0, CountCallbacks(push, KelNotification::Activate));
}

TEST(DlgToolkitTest, DestructionWaitsForIdleAndCallbacksNeverReachAGoneReceiver) {
  auto* sender = new KelDlgPushButton(nullptr, "Button", 0);
  auto* receiver = new KelCommand();
  int calls = 0;
  AddAnalyseNotificationCB(
      sender, KelNotification::Activate, [&calls](KelCommand*, KelNotification, void*) { ++calls; }, nullptr, receiver);
  // A callback that asks for its own sender's destruction while it runs.
  AddAnalyseNotificationCB(sender, KelNotification::Activate,
                           [](KelCommand* s, KelNotification, void*) { s->RequestDelayedDestruction(); });
  sender->Activate();
  EXPECT_EQ(1, calls);
  EXPECT_EQ(1, KelApplication::Get().PendingDestructions());
  delete receiver;  // its callbacks go with it
  EXPECT_EQ(1, CountCallbacks(sender, KelNotification::Activate));
  sender->RequestDelayedDestruction();  // asked twice, deleted once
  EXPECT_EQ(1, KelApplication::Get().RunIdle());
  EXPECT_EQ(0, KelApplication::Get().PendingDestructions());

  // A box goes with the window that owns it, even while its own deletion waits.
  KelDlgDocument window(nullptr, "Window", 0);
  auto* box = new KelDlgNotify(nullptr, "Box", 0);
  box->SetOwner(&window);
  box->RequestDelayedDestruction();
  KelDlgObject::DeleteOwnedBy(&window);
  EXPECT_EQ(0, KelApplication::Get().PendingDestructions());
}

TEST(DlgToolkitTest, SettingsSurviveARestartAndIgnoreDamagedLines) {
  TempDir dir;
  setenv("MML_CONFIG_DIR", dir.Path().c_str(), 1);
  KelSettingRepository::ForgetAll();
  EXPECT_TRUE(KelSettingRepository::GetRepository("Test").WriteSetting("Zip", -1));
  KelSettingRepository::ForgetAll();  // as a new process
  int value = 0;
  EXPECT_TRUE(KelSettingRepository::GetRepository("Test").ReadSetting("Zip", value));
  EXPECT_EQ(-1, value);

  WriteFileText(dir.File("Damaged.settings"), "A = 1\nB = x\nno equal sign\nC = 99999999999\n = 4\nD=2");
  KelSettingRepository& damaged = KelSettingRepository::GetRepository("Damaged");
  value = -7;
  EXPECT_TRUE(damaged.ReadSetting("A", value) && value == 1);
  EXPECT_TRUE(damaged.ReadSetting("D", value) && value == 2);
  EXPECT_FALSE(damaged.ReadSetting("B", value));
  EXPECT_FALSE(damaged.ReadSetting("C", value));
  KelSettingRepository::ForgetAll();
  unsetenv("MML_CONFIG_DIR");
}

}  // namespace
