#include "ui/kel_lnk_print.h"

namespace {
bool sPrintStarted = false;
bool sCaptureStarted = false;
KelPrintCaptureDialog* spCaptureDialog = nullptr;
}  // namespace

void KelLnkPrint::StartPrint() {
  if (sPrintStarted) return;
  KelPrinterManager::Begin();
  sPrintStarted = true;
}

void KelLnkPrint::EndPrint() {
  if (!sPrintStarted) return;
  KelPrinterManager::End();
  sPrintStarted = false;
}

KelLnkPrint::KelLnkPrint(KelDlgDocument*, KelGraphViewer* viewer, int mode) {
  if (mode == 1) {
    StartPrint();
    dialog_ = new KelPrinterManagerDialog(nullptr, "PrinterManager", 0);
  } else if (mode == 2) {
    image_ = std::make_unique<KelPrintViewerImage>(viewer);
    StartPrint();
    dialog_ = new KelPrintDialog(nullptr, "PrintWindow", kStyle, image_.get());
    printDialog_ = true;
  }
  if (dialog_ != nullptr) dialog_->SetVisibility(true);
}

KelLnkPrint::~KelLnkPrint() {
  if (printDialog_) EndPrint();
  delete dialog_;
  image_.reset();
}

void KelLnkCapture::StartCapture() {
  if (!sCaptureStarted) {
    KelPrintAlbumManager::Begin();
    sCaptureStarted = true;
  }
  KelLnkPrint::StartPrint();
}

void KelLnkCapture::EndCapture() {
  if (!sCaptureStarted) return;
  KelPrintAlbumManager::End();
  sCaptureStarted = false;
}

KelPrintCaptureDialog* KelLnkCapture::GetCaptureDialog() { return spCaptureDialog; }

KelLnkCapture::KelLnkCapture(KelDlgDocument*, KelGraphViewer* viewer, int mode) {
  StartCapture();
  if (mode == 0) {
    if (KelPrintCaptureDialog::GetNInstance() == 0 || spCaptureDialog == nullptr) {
      spCaptureDialog = new KelPrintCaptureDialog(nullptr, "CaptureWindow", kStyle, viewer);
    }
    spCaptureDialog->SetViewer(viewer);
    spCaptureDialog->SetVisibility(true);
  } else {
    album_ = new KelPrintAlbumDialog(nullptr, "AlbumWindow", kStyle);
    album_->SetVisibility(true);
  }
}

KelLnkCapture::~KelLnkCapture() {
  if (spCaptureDialog != nullptr && KelPrintCaptureDialog::GetNInstance() > 0) {
    spCaptureDialog->SetViewer(nullptr);
    spCaptureDialog->SetVisibility(false);
    spCaptureDialog->RequestDelayedDestruction();
  }
  spCaptureDialog = nullptr;
  delete album_;
}
