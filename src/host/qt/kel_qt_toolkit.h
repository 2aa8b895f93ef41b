// KelQtToolkit: the dialog toolkit on Qt 6 Widgets. It mirrors the toolkit's
// objects as widgets (a document as a main window, menus and items as menus
// and actions, dialogs and boxes as dialogs, the graph viewer as a graphics
// view laid out by Graphviz), each widget named after its object's
// identifier, and turns the user's actions on the widgets into the objects'
// user actions. It also runs the idle time and draws captures, prints and
// albums.
//
// One per process, made before any window is shown:
//   KelQtToolkit toolkit(argc, argv);
//   ... build documents ...
//   return toolkit.Exec();
// Without a screen, set QT_QPA_PLATFORM=offscreen.
#pragma once

#include <memory>
#include <string>

class KelDlgObject;
class KelGraphViewer;
class QWidget;

class KelQtToolkit {
 public:
  KelQtToolkit(int& argc, char** argv);
  ~KelQtToolkit();
  KelQtToolkit(const KelQtToolkit&) = delete;
  KelQtToolkit& operator=(const KelQtToolkit&) = delete;

  // Runs the event loop until the last window is gone or Quit.
  int Exec();
  void Quit();
  // Handles the pending events and one idle time.
  void ProcessEvents();

  // The widget of an object (null when not built, i.e. never shown).
  QWidget* WidgetOf(KelDlgObject* object) const;
  // Lays the viewer's graph out now instead of at the next event.
  void LayoutNow(KelGraphViewer* viewer);
  // The nodes the viewer's scene draws.
  int DrawnNodeCount(KelGraphViewer* viewer);
  // Writes a picture of the shown window `top` (PNG).
  bool Screenshot(KelDlgObject* top, const std::string& path, std::string* error);

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};
