#include "ui/kel_lnk_boxes.h"

#include <algorithm>

#include "ui/kel_lnk_main_window.h"
#include "ui/kel_lnk_window_view.h"

namespace {

std::string Text(KelLnkMainWindow* window, const char* key, const char* defaultText) {
  return window != nullptr ? window->GetResource(key, defaultText) : std::string(defaultText);
}

}  // namespace

KelLnkErrorBox::KelLnkErrorBox(KelLnkMainWindow* window, const std::string& text, unsigned long style)
    : KelDlgNotify(nullptr, "Error", style) {
  SetOwner(KelLnkWindowView::FromModel(window));
  SetTitle(Text(window, "ErrorBox.Title", "Error"));
  SetOKTitle(Text(window, "ErrorBox.OK", "OK"));
  SetText(text);
  okId_ = AddAnalyseNotificationCB(
      this, KelNotification::OK, [this](KelCommand* s, KelNotification n, void* d) { CBOK(s, n, d); }, nullptr, this);
  SetVisibility(true);
}

KelLnkErrorBox::~KelLnkErrorBox() { SetVisibility(false); }

void KelLnkErrorBox::CBOK(KelCommand*, KelNotification, void*) {
  SetVisibility(false);
  RemoveAnalyseNotificationCB(okId_);
  okId_ = 0;
}

int KelLnkErrorBox::Count() {
  const auto& objects = KelDlgObject::TopLevels();
  return static_cast<int>(std::count_if(objects.begin(), objects.end(),
                                        [](KelDlgObject* o) { return dynamic_cast<KelLnkErrorBox*>(o) != nullptr; }));
}

KelLnkInformationBox::KelLnkInformationBox(KelLnkMainWindow* window, const std::string& text)
    : KelDlgNotify(nullptr, "Information", kStyle) {
  SetOwner(KelLnkWindowView::FromModel(window));
  SetTitle(Text(window, "InformationBox.Title", "Information"));
  SetText(text);
  for (KelNotification n : {KelNotification::OK, KelNotification::Close}) {
    AddAnalyseNotificationCB(
        this, n, [this](KelCommand* s, KelNotification what, void* d) { CBClose(s, what, d); }, nullptr, this);
  }
  SetVisibility(true);
}

void KelLnkInformationBox::CBClose(KelCommand*, KelNotification, void*) {
  SetVisibility(false);
  RequestDelayedDestruction();
}

KelLnkMessageBox::KelLnkMessageBox(KelLnkMainWindow* window, const std::string& text) {
  auto* notify = new KelDlgNotify(nullptr, "Message", kStyle);
  notify->DisplayBlocked(text, Text(window, "MessageBox.Title", "Message"));
  notify->RequestDelayedDestruction();
}
