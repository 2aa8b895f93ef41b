#include "ui/kel_lnk_boxes.h"

#include <algorithm>
#include <vector>

#include "ui/kel_lnk_main_window.h"

namespace {

std::string Text(KelLnkMainWindow* window, const char* key, const char* defaultText) {
  return window != nullptr ? window->GetResource(key, defaultText) : std::string(defaultText);
}

std::vector<KelLnkErrorBox*>& ErrorBoxes() {
  static std::vector<KelLnkErrorBox*> boxes;
  return boxes;
}

}  // namespace

KelLnkErrorBox::KelLnkErrorBox(KelLnkMainWindow* window, const std::string& text, unsigned long style)
    : KelDlgNotify(nullptr, "Error", style), window_(window) {
  ErrorBoxes().push_back(this);
  SetTitle(Text(window, "ErrorBox.Title", "Error"));
  SetOKTitle(Text(window, "ErrorBox.OK", "OK"));
  SetText(text);
  okId_ = AddAnalyseNotificationCB(
      this, KelNotification::OK, [this](KelCommand* s, KelNotification n, void* d) { CBOK(s, n, d); }, nullptr, this);
  SetVisibility(true);
}

KelLnkErrorBox::~KelLnkErrorBox() {
  SetVisibility(false);
  auto& boxes = ErrorBoxes();
  boxes.erase(std::remove(boxes.begin(), boxes.end(), this), boxes.end());
}

void KelLnkErrorBox::CBOK(KelCommand*, KelNotification, void*) {
  SetVisibility(false);
  RemoveAnalyseNotificationCB(okId_);
  okId_ = 0;
}

void KelLnkErrorBox::DeleteBoxesOf(const KelLnkMainWindow* window) {
  std::vector<KelLnkErrorBox*> doomed;
  for (KelLnkErrorBox* box : ErrorBoxes()) {
    if (box->window_ == window) doomed.push_back(box);
  }
  for (KelLnkErrorBox* box : doomed) delete box;
}

int KelLnkErrorBox::Count() { return static_cast<int>(ErrorBoxes().size()); }

KelLnkInformationBox::KelLnkInformationBox(KelLnkMainWindow* window, const std::string& text) {
  notify_ = new KelDlgNotify(nullptr, "Information", kStyle);
  notify_->SetTitle(Text(window, "InformationBox.Title", "Information"));
  notify_->SetText(text);
  notify_->SetFather(this);
  closeId_ = AddAnalyseNotificationCB(
      notify_, KelNotification::Close, [this](KelCommand* s, KelNotification n, void* d) { CBClose(s, n, d); }, nullptr,
      this);
  okId_ = AddAnalyseNotificationCB(
      notify_, KelNotification::OK, [this](KelCommand* s, KelNotification n, void* d) { CBOK(s, n, d); }, nullptr,
      this);
  notify_->SetVisibility(true);
}

KelLnkInformationBox::~KelLnkInformationBox() {
  notify_->SetVisibility(false);
  RemoveAnalyseNotificationCB(okId_);
  RemoveAnalyseNotificationCB(closeId_);
  notify_->SetFather(nullptr);
  notify_->RequestDelayedDestruction();
}

void KelLnkInformationBox::CBOK(KelCommand*, KelNotification, void*) { RequestDelayedDestruction(); }
void KelLnkInformationBox::CBClose(KelCommand*, KelNotification, void*) { RequestDelayedDestruction(); }

KelLnkMessageBox::KelLnkMessageBox(KelLnkMainWindow* window, const std::string& text) {
  auto* notify = new KelDlgNotify(nullptr, "Message", kStyle);
  notify->DisplayBlocked(text, Text(window, "MessageBox.Title", "Message"));
  notify->RequestDelayedDestruction();
}
