// The graph window's three boxes. Every text goes through the window's
// resource texts (KelLnkMainWindow::GetResource) with its English default;
// without a window the default is used.
//
//   KelLnkErrorBox     "Error", not modal; OK only hides it: the box stays
//                      allocated.
//   KelLnkInformationBox  "Information", not modal; OK or close destroys it
//                      at the next idle time.
//   KelLnkMessageBox   "Message", modal: the constructor returns once the
//                      user closed the box, which is then destroyed.
//
// The first two belong to the graph window on screen that opened them (their
// owner), which deletes those still alive when it goes.
#pragma once

#include "host/dlg/kel_dlg_objects.h"

class KelLnkMainWindow;

class KelLnkErrorBox : public KelDlgNotify {
 public:
  static constexpr unsigned long kStyle = 0x10100200;
  KelLnkErrorBox(KelLnkMainWindow* window, const std::string& text, unsigned long style);
  ~KelLnkErrorBox() override;
  void CBOK(KelCommand* sender, KelNotification notification, void* data);
  // Error boxes alive.
  static int Count();

 private:
  int okId_ = 0;
};

class KelLnkInformationBox : public KelDlgNotify {
 public:
  static constexpr unsigned long kStyle = 67371008;
  KelLnkInformationBox(KelLnkMainWindow* window, const std::string& text);
  void CBClose(KelCommand* sender, KelNotification notification, void* data);
};

class KelLnkMessageBox {
 public:
  static constexpr unsigned long kStyle = 268697600;
  KelLnkMessageBox(KelLnkMainWindow* window, const std::string& text);
};
