// Print and capture from the graph window (Print Tools menu).
//
// KelLnkPrint: mode 1 opens the printer manager "PrinterManager"; mode 2 the
// print dialog "PrintWindow" on an image of the viewer. The printer manager
// is begun once per process (StartPrint) and ended by EndPrint.
//
// KelLnkCapture: mode 0 shows the capture dialog "CaptureWindow" (PNG, SVG
// or PDF of the graph, or a page of the album), one per process: a second
// request shows the same dialog again, now on the asking window's viewer;
// mode 1 opens the album dialog "AlbumWindow", which writes the album's
// pages into one multi-page PDF. The album manager is begun once per
// process (StartCapture) and ended by EndCapture.
//
// The window that opened them owns them and deletes them when it goes.
#pragma once

#include <memory>

#include "host/dlg/kel_graph_viewer.h"
#include "host/dlg/kel_print_services.h"

class KelLnkPrint {
 public:
  static constexpr unsigned long kStyle = 0x40200;
  KelLnkPrint(KelDlgDocument* window, KelGraphViewer* viewer, int mode);
  ~KelLnkPrint();
  static void StartPrint();
  static void EndPrint();
  // The dialog opened (printer manager or print dialog).
  KelDlgDialog* GetDialog() const { return dialog_; }

 private:
  KelDlgDialog* dialog_ = nullptr;
  bool printDialog_ = false;
  std::unique_ptr<KelPrintViewerImage> image_;
};

class KelLnkCapture {
 public:
  static constexpr unsigned long kStyle = 0x40200;
  KelLnkCapture(KelDlgDocument* window, KelGraphViewer* viewer, int mode);
  ~KelLnkCapture();
  static void StartCapture();
  static void EndCapture();
  // The process's capture dialog, null when none.
  static KelPrintCaptureDialog* GetCaptureDialog();
  KelPrintAlbumDialog* GetAlbumDialog() const { return album_; }

 private:
  KelPrintAlbumDialog* album_ = nullptr;
};
