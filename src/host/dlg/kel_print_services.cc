#include "host/dlg/kel_print_services.h"

namespace {

struct PrintState {
  bool printerBegun = false;
  bool albumBegun = false;
  std::string printer;
  KelGraphRenderer* renderer = nullptr;
  int captureDialogs = 0;
};

PrintState& State() {
  static PrintState state;
  return state;
}

const char kNoRenderer[] = "no drawing toolkit in this program";

// The rows of the capture and album dialogs: a file label and editor, two
// buttons, a status line. Identifiers are `prefix` followed by "FileLabel",
// "File", "Write", `second` and "Status".
struct FileDialogRows {
  KelDlgEditor* file;
  KelDlgPushButton* write;
  KelDlgPushButton* second;
  KelDlgLabel* status;
};

FileDialogRows BuildFileDialogRows(KelDlgDialog* dialog, const std::string& prefix, const char* fileTitle,
                                   const char* writeTitle, const std::string& second, const char* secondTitle) {
  auto* label = new KelDlgLabel(dialog, prefix + "FileLabel", 0);
  label->SetTitle(fileTitle);
  FileDialogRows rows{};
  rows.file = new KelDlgEditor(dialog, prefix + "File", 0);
  rows.file->SetGridConstraints(0, 1);
  rows.write = new KelDlgPushButton(dialog, prefix + "Write", 0);
  rows.write->SetTitle(writeTitle);
  rows.write->SetGridConstraints(1, 0);
  rows.second = new KelDlgPushButton(dialog, prefix + second, 0);
  rows.second->SetTitle(secondTitle);
  rows.second->SetGridConstraints(1, 1);
  rows.status = new KelDlgLabel(dialog, prefix + "Status", 0);
  rows.status->SetGridConstraints(2, 0);
  return rows;
}

}  // namespace

void KelPrinterManager::Begin(const std::string&) { State().printerBegun = true; }
void KelPrinterManager::End() { State().printerBegun = false; }
bool KelPrinterManager::IsBegun() { return State().printerBegun; }
void KelPrinterManager::SetCurrentPrinter(const std::string& printer) { State().printer = printer; }
const std::string& KelPrinterManager::GetCurrentPrinter() { return State().printer; }
KelGraphRenderer* KelPrinterManager::Renderer() { return State().renderer; }
void KelPrinterManager::SetRenderer(KelGraphRenderer* renderer) { State().renderer = renderer; }

void KelPrintAlbumManager::Begin(const std::string&) { State().albumBegun = true; }
void KelPrintAlbumManager::End() {
  State().albumBegun = false;
  if (KelGraphRenderer* renderer = KelPrinterManager::Renderer()) renderer->ClearAlbum();
}
bool KelPrintAlbumManager::IsBegun() { return State().albumBegun; }

KelPrinterManagerDialog::KelPrinterManagerDialog(KelDlgObject* parent, const std::string& identifier,
                                                 unsigned long style)
    : KelDlgDialog(parent, identifier, style) {
  SetTitle("Printers");
  list_ = new KelDlgMultiList(this, "Printers", 0);
  list_->SetColumnTitle(0, "Printer");
  list_->SetCell(0, 0, "(default printer)");
  if (KelGraphRenderer* renderer = KelPrinterManager::Renderer()) {
    int row = 1;
    for (const std::string& printer : renderer->Printers()) list_->SetCell(row++, 0, printer);
  }
  AddAnalyseNotificationCB(
      this, KelNotification::OK,
      [this](KelCommand*, KelNotification, void*) {
        const auto& rows = list_->GetSelectedRows();
        if (!rows.empty()) KelPrinterManager::SetCurrentPrinter(rows[0] == 0 ? "" : list_->GetCell(rows[0], 0));
        SetVisibility(false);
      },
      nullptr, this);
  AddAnalyseNotificationCB(
      this, KelNotification::Cancel, [this](KelCommand*, KelNotification, void*) { SetVisibility(false); }, nullptr,
      this);
}

KelPrintDialog::KelPrintDialog(KelDlgObject* parent, const std::string& identifier, unsigned long style,
                               KelPrintViewerImage* image)
    : KelDlgDialog(parent, identifier, style), image_(image) {
  SetTitle("Print graph");
  SetOKTitle("Print");
  auto* label = new KelDlgLabel(this, "PrintFileLabel", 0);
  label->SetTitle("PDF file (empty: the printer):");
  file_ = new KelDlgEditor(this, "PrintFile", 0);
  file_->SetGridConstraints(0, 1);
  label_ = new KelDlgLabel(this, "PrintStatus", 0);
  label_->SetGridConstraints(1, 0);
  AddAnalyseNotificationCB(
      this, KelNotification::OK,
      [this](KelCommand*, KelNotification, void*) {
        KelGraphRenderer* renderer = KelPrinterManager::Renderer();
        std::string error = kNoRenderer;
        const bool ok =
            renderer != nullptr && image_ != nullptr &&
            renderer->Print(image_->GetViewer(), KelPrinterManager::GetCurrentPrinter(), file_->GetText(), &error);
        status_ = ok ? "Printed." : "Not printed: " + error;
        label_->SetTitle(status_);
      },
      nullptr, this);
  AddAnalyseNotificationCB(
      this, KelNotification::Cancel, [this](KelCommand*, KelNotification, void*) { SetVisibility(false); }, nullptr,
      this);
}

KelPrintCaptureDialog::KelPrintCaptureDialog(KelDlgObject* parent, const std::string& identifier, unsigned long style,
                                             KelGraphViewer* viewer)
    : KelDlgDialog(parent, identifier, style), viewer_(viewer) {
  ++State().captureDialogs;
  SetTitle("Capture graph");
  SetOKTitle("Close");
  const FileDialogRows rows =
      BuildFileDialogRows(this, "Capture", "File (.png, .svg or .pdf):", "Capture", "AddToAlbum", "Add to album");
  file_ = rows.file;
  label_ = rows.status;
  KelDlgPushButton* write = rows.write;
  KelDlgPushButton* album = rows.second;
  AddAnalyseNotificationCB(
      write, KelNotification::Activate,
      [this](KelCommand*, KelNotification, void*) {
        KelGraphRenderer* renderer = KelPrinterManager::Renderer();
        std::string error = kNoRenderer;
        const bool ok =
            renderer != nullptr && viewer_ != nullptr && renderer->Capture(viewer_, file_->GetText(), &error);
        Report(ok, "Written to " + file_->GetText() + ".", error);
      },
      nullptr, this);
  AddAnalyseNotificationCB(
      album, KelNotification::Activate,
      [this](KelCommand*, KelNotification, void*) {
        KelGraphRenderer* renderer = KelPrinterManager::Renderer();
        std::string error = kNoRenderer;
        const bool ok = renderer != nullptr && viewer_ != nullptr && renderer->AddAlbumPage(viewer_, &error);
        Report(ok, ok ? "Album: " + std::to_string(renderer->AlbumPageCount()) + " page(s)." : "", error);
      },
      nullptr, this);
  for (KelNotification close : {KelNotification::OK, KelNotification::Cancel, KelNotification::Close}) {
    AddAnalyseNotificationCB(
        this, close, [this](KelCommand*, KelNotification, void*) { SetVisibility(false); }, nullptr, this);
  }
}

KelPrintCaptureDialog::~KelPrintCaptureDialog() { --State().captureDialogs; }

int KelPrintCaptureDialog::GetNInstance() { return State().captureDialogs; }

void KelPrintCaptureDialog::Report(bool ok, const std::string& what, const std::string& error) {
  status_ = ok ? what : "Failed: " + error;
  label_->SetTitle(status_);
}

KelPrintAlbumDialog::KelPrintAlbumDialog(KelDlgObject* parent, const std::string& identifier, unsigned long style)
    : KelDlgDialog(parent, identifier, style) {
  SetTitle("Capture album");
  SetOKTitle("Close");
  const FileDialogRows rows = BuildFileDialogRows(this, "Album", "PDF file:", "Write album", "Clear", "Empty album");
  file_ = rows.file;
  label_ = rows.status;
  KelDlgPushButton* write = rows.write;
  KelDlgPushButton* clear = rows.second;
  AddAnalyseNotificationCB(
      write, KelNotification::Activate,
      [this](KelCommand*, KelNotification, void*) {
        KelGraphRenderer* renderer = KelPrinterManager::Renderer();
        std::string error = kNoRenderer;
        bool ok = false;
        if (renderer != nullptr) {
          const int pages = renderer->AlbumPageCount();
          ok = renderer->WriteAlbum(file_->GetText(), &error);
          if (ok) status_ = std::to_string(pages) + " page(s) written to " + file_->GetText() + ".";
        }
        if (!ok) status_ = "Failed: " + error;
        label_->SetTitle(status_);
      },
      nullptr, this);
  AddAnalyseNotificationCB(
      clear, KelNotification::Activate,
      [this](KelCommand*, KelNotification, void*) {
        if (KelGraphRenderer* renderer = KelPrinterManager::Renderer()) renderer->ClearAlbum();
        status_ = "Album emptied.";
        label_->SetTitle(status_);
      },
      nullptr, this);
  for (KelNotification close : {KelNotification::OK, KelNotification::Cancel, KelNotification::Close}) {
    AddAnalyseNotificationCB(
        this, close, [this](KelCommand*, KelNotification, void*) { SetVisibility(false); }, nullptr, this);
  }
}
