// The print services of the toolkit: the printer manager and the album
// manager (begun once, ended once per process), the viewer image that print
// and capture work on, and their dialogs:
//   "PrinterManager"  chooses the printer used by the print dialog;
//   "PrintWindow"     prints the viewer image (to a printer or a PDF file);
//   "CaptureWindow"   writes the image to a PNG, SVG or PDF file, or adds
//                     it as a page of the album; one per process;
//   "AlbumWindow"     writes the album's pages into one multi-page PDF.
// The pictures themselves are made by the toolkit binding's renderer.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "host/dlg/kel_dlg_objects.h"
#include "host/dlg/kel_graph_viewer.h"

// What only a drawing toolkit can do. Errors come back as text.
class KelGraphRenderer {
 public:
  virtual ~KelGraphRenderer() = default;
  // Writes the viewer's whole graph to `path`; the format follows the
  // extension (.png, .svg, .pdf).
  virtual bool Capture(KelGraphViewer* viewer, const std::string& path, std::string* error) = 0;
  // Keeps the viewer's current picture as the next album page.
  virtual bool AddAlbumPage(KelGraphViewer* viewer, std::string* error) = 0;
  virtual int AlbumPageCount() const = 0;
  // Writes every album page, one per page, into the PDF file `path`.
  virtual bool WriteAlbum(const std::string& path, std::string* error) = 0;
  virtual void ClearAlbum() = 0;
  // Prints the viewer's graph on `printer` (empty: the default printer),
  // or into the PDF file `file` when it is not empty.
  virtual bool Print(KelGraphViewer* viewer, const std::string& printer, const std::string& file,
                     std::string* error) = 0;
  // The printers known to the system.
  virtual std::vector<std::string> Printers() const = 0;
};

class KelPrinterManager {
 public:
  static void Begin(const std::string& name = "");
  static void End();
  static bool IsBegun();
  // The printer the print dialog uses (empty: the default one).
  static void SetCurrentPrinter(const std::string& printer);
  static const std::string& GetCurrentPrinter();
  // The renderer in use (null without a drawing toolkit).
  static KelGraphRenderer* Renderer();
  static void SetRenderer(KelGraphRenderer* renderer);
};

class KelPrintAlbumManager {
 public:
  static void Begin(const std::string& name = "");
  static void End();
  static bool IsBegun();
};

// The image of a viewer that print and capture work on.
class KelPrintViewerImage {
 public:
  explicit KelPrintViewerImage(KelGraphViewer* viewer) : viewer_(viewer) {}
  KelGraphViewer* GetViewer() const { return viewer_; }

 private:
  KelGraphViewer* viewer_;
};

// Lists the printers ("Printers"); OK takes the selected one.
class KelPrinterManagerDialog : public KelDlgDialog {
 public:
  KelPrinterManagerDialog(KelDlgObject* parent, const std::string& identifier, unsigned long style);
  KelDlgMultiList* GetList() const { return list_; }

 private:
  KelDlgMultiList* list_;
};

// Prints an image: the editor "PrintFile" names a PDF file to print into
// (empty: the printer); OK prints, the status goes to the label "PrintStatus".
class KelPrintDialog : public KelDlgDialog {
 public:
  KelPrintDialog(KelDlgObject* parent, const std::string& identifier, unsigned long style, KelPrintViewerImage* image);
  KelDlgEditor* GetFileEditor() const { return file_; }
  // The last outcome ("" before the first print).
  const std::string& GetStatus() const { return status_; }

 private:
  KelPrintViewerImage* image_;
  KelDlgEditor* file_;
  KelDlgLabel* label_;
  std::string status_;
};

// Captures the viewer: the editor "CaptureFile" names the file, the button
// "CaptureWrite" writes it, "CaptureAddToAlbum" adds an album page.
class KelPrintCaptureDialog : public KelDlgDialog {
 public:
  KelPrintCaptureDialog(KelDlgObject* parent, const std::string& identifier, unsigned long style,
                        KelGraphViewer* viewer);
  ~KelPrintCaptureDialog() override;
  // Capture dialogs alive in the process.
  static int GetNInstance();
  void SetViewer(KelGraphViewer* viewer) { viewer_ = viewer; }
  KelGraphViewer* GetViewer() const { return viewer_; }
  KelDlgEditor* GetFileEditor() const { return file_; }
  const std::string& GetStatus() const { return status_; }

 private:
  void Report(bool ok, const std::string& what, const std::string& error);

  KelGraphViewer* viewer_;
  KelDlgEditor* file_;
  KelDlgLabel* label_;
  std::string status_;
};

// Writes the album: the editor "AlbumFile" names the PDF; the button
// "AlbumWrite" writes it, "AlbumClear" empties the album.
class KelPrintAlbumDialog : public KelDlgDialog {
 public:
  KelPrintAlbumDialog(KelDlgObject* parent, const std::string& identifier, unsigned long style);
  KelDlgEditor* GetFileEditor() const { return file_; }
  const std::string& GetStatus() const { return status_; }

 private:
  KelDlgEditor* file_;
  KelDlgLabel* label_;
  std::string status_;
};
