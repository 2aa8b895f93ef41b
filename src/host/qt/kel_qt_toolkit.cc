#include "host/qt/kel_qt_toolkit.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFrame>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QPicture>
#include <QPointer>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QRadioButton>
#include <QSocketNotifier>
#include <QStatusBar>
#include <QSvgGenerator>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <unordered_map>

#include "host/dlg/kel_dlg_objects.h"
#include "host/dlg/kel_graph_viewer.h"
#include "host/dlg/kel_print_services.h"
#include "host/process/kel_xco_process.h"
#include "host/qt/kel_qt_graph_view.h"

namespace {

using Kind = KelDlgObject::Kind;

QString Q(const std::string& text) { return QString::fromStdString(text); }

// Closing a toolkit window is the object's business: the widget only tells it.
class DocumentWindow : public QMainWindow {
 public:
  explicit DocumentWindow(KelDlgObject* object) : object_(object) {}
  void Forget() { object_ = nullptr; }

 protected:
  void closeEvent(QCloseEvent* event) override {
    event->ignore();
    if (object_ != nullptr) object_->Close();
  }

 private:
  KelDlgObject* object_;
};

class DialogWindow : public QDialog {
 public:
  explicit DialogWindow(KelDlgObject* object) : object_(object) {}
  void Forget() { object_ = nullptr; }
  QGridLayout* grid = nullptr;
  QVBoxLayout* outer = nullptr;
  QDialogButtonBox* buttons = nullptr;
  QLabel* text = nullptr;

 protected:
  void closeEvent(QCloseEvent* event) override {
    event->ignore();
    if (object_ != nullptr) object_->Close();
  }
  void reject() override {  // Escape
    if (object_ == nullptr) return QDialog::reject();
    static_cast<KelDlgDialog*>(object_)->PressButton(KelNotification::Cancel);
  }

 private:
  KelDlgObject* object_;
};

}  // namespace

struct KelQtToolkit::Impl : public KelDlgBinding, public KelGraphRenderer {
  std::unique_ptr<QApplication> app;
  std::unordered_map<KelDlgObject*, QPointer<QObject>> widgets;
  std::unordered_map<KelDlgObject*, QAction*> actions;  // items of menus
  bool idleQueued = false;
  bool busy = false;
  std::vector<QPicture> album;

  // ---- Building ----

  QObject* Build(KelDlgObject* object) {
    if (auto it = widgets.find(object); it != widgets.end() && it->second) return it->second;
    KelDlgObject* parent = object->GetParent();
    QObject* parentWidget = parent ? Build(parent) : nullptr;
    QObject* made = nullptr;
    switch (object->GetKind()) {
      case Kind::Document: {
        auto* window = new DocumentWindow(object);
        auto* central = new QWidget(window);
        central->setLayout(new QVBoxLayout);
        central->layout()->setContentsMargins(2, 2, 2, 2);
        window->setCentralWidget(central);
        made = window;
        break;
      }
      case Kind::Dialog:
      case Kind::Notify: {
        auto* dialog = new DialogWindow(object);
        dialog->outer = new QVBoxLayout(dialog);
        if (object->GetKind() == Kind::Notify) {
          dialog->text = new QLabel(dialog);
          dialog->text->setObjectName("Text");
          dialog->text->setTextInteractionFlags(Qt::TextSelectableByMouse);
          dialog->outer->addWidget(dialog->text);
        }
        dialog->grid = new QGridLayout;
        dialog->outer->addLayout(dialog->grid);
        const bool notify = object->GetKind() == Kind::Notify;
        dialog->buttons = new QDialogButtonBox(
            notify ? QDialogButtonBox::Ok : QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
        dialog->outer->addWidget(dialog->buttons);
        auto* dlg = static_cast<KelDlgDialog*>(object);
        QObject::connect(dialog->buttons->button(QDialogButtonBox::Ok), &QPushButton::clicked, dialog,
                         [dlg] { dlg->PressButton(KelNotification::OK); });
        if (auto* cancel = dialog->buttons->button(QDialogButtonBox::Cancel)) {
          QObject::connect(cancel, &QPushButton::clicked, dialog, [dlg] { dlg->PressButton(KelNotification::Cancel); });
        }
        made = dialog;
        break;
      }
      case Kind::BarMenu: {
        auto* window = qobject_cast<QMainWindow*>(parentWidget);
        made = window ? window->menuBar() : nullptr;
        break;
      }
      case Kind::SubMenu: {
        auto* menu = new QMenu();
        if (auto* bar = qobject_cast<QMenuBar*>(parentWidget)) {
          menu->setParent(bar, menu->windowFlags());
          actions[object] = bar->addMenu(menu);
        } else if (auto* above = qobject_cast<QMenu*>(parentWidget)) {
          menu->setParent(above, menu->windowFlags());
          actions[object] = above->addMenu(menu);
        }
        made = menu;
        break;
      }
      case Kind::PushItem:
      case Kind::CheckItem:
      case Kind::RadioItem:
      case Kind::SeparatorItem: {
        auto* menu = qobject_cast<QMenu*>(parentWidget);
        if (menu == nullptr) break;
        QAction* action = object->GetKind() == Kind::SeparatorItem ? menu->addSeparator() : menu->addAction(QString());
        action->setCheckable(object->GetKind() == Kind::CheckItem || object->GetKind() == Kind::RadioItem);
        if (object->GetKind() != Kind::SeparatorItem) {
          QObject::connect(action, &QAction::triggered, action, [this, object] {
            object->Activate();
            if (widgets.count(object)) Update(object);  // the model keeps the state
          });
        }
        actions[object] = action;
        made = action;
        break;
      }
      case Kind::Frame: {
        auto* frame = new QFrame();
        frame->setFrameShape(QFrame::StyledPanel);
        frame->setLayout(new QVBoxLayout);
        frame->layout()->setContentsMargins(0, 0, 0, 0);
        Place(object, frame, parentWidget);
        made = frame;
        break;
      }
      case Kind::GraphViewer: {
        auto* view = new KelQtGraphView(static_cast<KelGraphViewer*>(object), nullptr);
        Place(object, view, parentWidget);
        made = view;
        break;
      }
      case Kind::StatusBar: {
        auto* window = qobject_cast<QMainWindow*>(parentWidget);
        made = window ? window->statusBar() : nullptr;
        break;
      }
      case Kind::Label: {
        auto* label = new QLabel();
        Place(object, label, parentWidget);
        made = label;
        break;
      }
      case Kind::PushButton: {
        auto* button = new QPushButton();
        QObject::connect(button, &QPushButton::clicked, button, [object] { object->Activate(); });
        Place(object, button, parentWidget);
        made = button;
        break;
      }
      case Kind::RadioButton: {
        auto* button = new QRadioButton();
        button->setAutoExclusive(false);
        QObject::connect(button, &QRadioButton::clicked, button, [this, object] {
          object->Activate();
          if (widgets.count(object)) Update(object);
        });
        Place(object, button, parentWidget);
        made = button;
        break;
      }
      case Kind::Editor: {
        auto* editor = new QLineEdit();
        QObject::connect(editor, &QLineEdit::textEdited, editor, [object](const QString& text) {
          static_cast<KelDlgEditor*>(object)->EditText(text.toStdString());
        });
        Place(object, editor, parentWidget);
        made = editor;
        break;
      }
      case Kind::MultiList: {
        auto* list = new QTreeWidget();
        list->setRootIsDecorated(false);
        list->setSelectionMode(QAbstractItemView::ExtendedSelection);
        QObject::connect(list, &QTreeWidget::itemSelectionChanged, list, [list, object] {
          std::vector<int> rows;
          for (QTreeWidgetItem* item : list->selectedItems()) rows.push_back(list->indexOfTopLevelItem(item));
          auto* model = static_cast<KelDlgMultiList*>(object);
          if (rows != model->GetSelectedRows()) model->SelectRows(rows);
        });
        Place(object, list, parentWidget);
        made = list;
        break;
      }
    }
    if (made == nullptr) return nullptr;
    made->setObjectName(Q(object->GetIdentifier()));
    widgets[object] = made;
    Update(object);
    for (KelDlgObject* child : object->GetChildren()) Build(child);
    // A menu of its own (a contextual menu) pops up where the pointer is.
    if (auto* menu = qobject_cast<QMenu*>(made); menu != nullptr && object->IsTopLevel() && object->GetVisibility()) {
      menu->popup(QCursor::pos());
    }
    return made;
  }

  // Puts a widget into its parent: a frame's or document's column, a
  // dialog's grid, or the status bar of a document for its buttons.
  void Place(KelDlgObject* object, QWidget* widget, QObject* parentWidget) {
    if (auto* dialog = dynamic_cast<DialogWindow*>(parentWidget)) {
      dialog->grid->addWidget(widget, object->GetGridRow(), object->GetGridColumn());
      KelDlgObject* parent = object->GetParent();
      dialog->grid->setRowStretch(object->GetGridRow(), parent->GetRowStretch(object->GetGridRow()));
      dialog->grid->setColumnStretch(object->GetGridColumn(), parent->GetColumnStretch(object->GetGridColumn()));
    } else if (auto* window = qobject_cast<QMainWindow*>(parentWidget)) {
      if (object->GetKind() == Kind::PushButton) {
        window->statusBar()->addPermanentWidget(widget);
      } else {
        window->centralWidget()->layout()->addWidget(widget);
      }
    } else if (auto* frame = qobject_cast<QWidget*>(parentWidget); frame && frame->layout()) {
      frame->layout()->addWidget(widget);
    }
  }

  // Copies the object's properties to its widget.
  void Update(KelDlgObject* object) {
    auto it = widgets.find(object);
    if (it == widgets.end() || !it->second) return;
    QObject* made = it->second;
    const QString title = Q(object->GetTitle());
    const QString help = Q(object->GetHelp());
    if (auto ai = actions.find(object); ai != actions.end() && object->GetKind() != Kind::SubMenu) {
      QAction* action = ai->second;
      action->setText(title);
      action->setStatusTip(help);
      action->setToolTip(help);
      action->setEnabled(object->GetSensitivity());
      action->setVisible(object->GetVisibility());
      if (action->isCheckable()) action->setChecked(object->GetState() != 0);
      return;
    }
    if (auto* menu = qobject_cast<QMenu*>(made)) {
      menu->setTitle(title);
      menu->setToolTip(help);
      menu->setEnabled(object->GetSensitivity());
      if (auto ai = actions.find(object); ai != actions.end()) ai->second->setVisible(object->GetVisibility());
      return;
    }
    if (auto* bar = qobject_cast<QStatusBar*>(made)) {
      bar->showMessage(title);
      return;
    }
    if (qobject_cast<QMenuBar*>(made)) return;
    auto* widget = qobject_cast<QWidget*>(made);
    if (widget == nullptr) return;
    widget->setEnabled(object->GetSensitivity());
    widget->setToolTip(help);
    switch (object->GetKind()) {
      case Kind::Document:
        widget->setWindowTitle(title);
        break;
      case Kind::Dialog:
      case Kind::Notify: {
        auto* dialog = static_cast<DialogWindow*>(widget);
        auto* model = static_cast<KelDlgDialog*>(object);
        dialog->setWindowTitle(title);
        dialog->buttons->button(QDialogButtonBox::Ok)->setText(Q(model->GetOKTitle()));
        if (auto* cancel = dialog->buttons->button(QDialogButtonBox::Cancel))
          cancel->setText(Q(model->GetCancelTitle()));
        if (dialog->text) dialog->text->setText(Q(static_cast<KelDlgNotify*>(object)->GetText()));
        break;
      }
      case Kind::Label:
        static_cast<QLabel*>(widget)->setText(title);
        break;
      case Kind::PushButton:
        static_cast<QPushButton*>(widget)->setText(title);
        break;
      case Kind::RadioButton:
        static_cast<QRadioButton*>(widget)->setText(title);
        static_cast<QRadioButton*>(widget)->setChecked(object->GetState() != 0);
        break;
      case Kind::Editor: {
        auto* editor = static_cast<QLineEdit*>(widget);
        const QString text = Q(static_cast<KelDlgEditor*>(object)->GetText());
        if (editor->text() != text) editor->setText(text);
        break;
      }
      case Kind::MultiList: {
        auto* list = static_cast<QTreeWidget*>(widget);
        auto* model = static_cast<KelDlgMultiList*>(object);
        const QSignalBlocker block(list);
        QStringList headers;
        for (const std::string& column : model->GetColumnTitles()) headers << Q(column);
        list->setColumnCount(std::max<int>(1, headers.size()));
        list->setHeaderLabels(headers);
        list->clear();
        for (int r = 0; r < model->GetRowCount(); ++r) {
          QStringList cells;
          for (int c = 0; c < list->columnCount(); ++c) cells << Q(model->GetCell(r, c));
          auto* item = new QTreeWidgetItem(list, cells);
          item->setSelected(std::find(model->GetSelectedRows().begin(), model->GetSelectedRows().end(), r) !=
                            model->GetSelectedRows().end());
        }
        list->setMinimumWidth(list->fontMetrics().averageCharWidth() * model->GetVisibleTextWidth());
        break;
      }
      case Kind::GraphViewer:
        static_cast<KelQtGraphView*>(widget)->Sync();
        break;
      default:
        break;
    }
    // Visibility last: showing a window lays its contents out.
    if (object->IsTopLevel()) {
      if (object->GetVisibility() && !widget->isVisible()) {
        widget->show();
        widget->raise();
      } else if (!object->GetVisibility() && widget->isVisible()) {
        widget->hide();
      }
    } else if (object->GetKind() != Kind::GraphViewer || !object->GetVisibility()) {
      widget->setVisible(object->GetVisibility());
    } else {
      widget->setVisible(true);
    }
  }

  // ---- KelDlgBinding ----

  void Changed(KelDlgObject* object) override {
    if (widgets.count(object)) {
      Update(object);
      for (KelDlgObject* child : object->GetChildren()) {
        if (!widgets.count(child)) Build(child);
      }
    } else if (object->IsTopLevel() && object->GetVisibility()) {
      Build(object);
    }
  }

  void Destroyed(KelDlgObject* object) override {
    auto it = widgets.find(object);
    if (it == widgets.end()) return;
    QPointer<QObject> made = it->second;
    widgets.erase(it);
    const bool parentGone = object->GetParent() == nullptr || !widgets.count(object->GetParent());
    QAction* action = nullptr;
    if (auto ai = actions.find(object); ai != actions.end()) {
      action = ai->second;
      actions.erase(ai);
    }
    if (!made) return;
    if (auto* doc = dynamic_cast<DocumentWindow*>(made.data())) doc->Forget();
    if (auto* dialog = dynamic_cast<DialogWindow*>(made.data())) dialog->Forget();
    if (auto* view = dynamic_cast<KelQtGraphView*>(made.data())) view->Forget();
    if (object->IsTopLevel()) {
      if (auto* widget = qobject_cast<QWidget*>(made)) widget->hide();
      made->deleteLater();
      if (object->GetKind() == Kind::Document && !AnyDocumentShown()) {
        // The last window went: the program ends, as when the user closes it.
        QTimer::singleShot(0, app.get(), [] { QCoreApplication::quit(); });
      }
    } else if (!parentGone) {
      if (action != nullptr && action != made.data()) action->deleteLater();
      if (!qobject_cast<QMenuBar*>(made) && !qobject_cast<QStatusBar*>(made)) made->deleteLater();
    }
  }

  bool AnyDocumentShown() const {
    for (const auto& [object, widget] : widgets) {
      if (widget && dynamic_cast<DocumentWindow*>(widget.data()) && static_cast<QWidget*>(widget.data())->isVisible()) {
        return true;
      }
    }
    return false;
  }

  void RunModal(KelDlgNotify* box) override {
    auto* dialog = dynamic_cast<QDialog*>(Build(box));
    if (dialog == nullptr) return;
    dialog->hide();
    dialog->exec();  // the box's own OK hides it, which ends the loop
  }

  void WakeIdle() override {
    if (idleQueued) return;
    idleQueued = true;
    QTimer::singleShot(0, app.get(), [this] { RunIdle(); });
  }

  void RunIdle() {
    idleQueued = false;
    KelApplication::Get().RunIdle();
    if (KelApplication::Get().HasIdleWork() && !idleQueued) {
      idleQueued = true;
      QTimer::singleShot(20, app.get(), [this] { RunIdle(); });
    }
  }

  void SetBusyCursor(bool on) override {
    if (!on || busy) return;
    busy = true;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QTimer::singleShot(0, app.get(), [this] {  // until the current work is done
      busy = false;
      QApplication::restoreOverrideCursor();
    });
  }

  void UpdateDisplay() override { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); }

  // ---- KelGraphRenderer ----

  KelQtGraphView* ViewOf(KelGraphViewer* viewer) {
    auto it = widgets.find(viewer);
    return it == widgets.end() ? nullptr : dynamic_cast<KelQtGraphView*>(it->second.data());
  }

  bool Capture(KelGraphViewer* viewer, const std::string& path, std::string* error) override {
    KelQtGraphView* view = ViewOf(viewer);
    if (view == nullptr) return *error = "the graph is not shown", false;
    view->LayoutNow();
    const QString file = Q(path);
    const QRectF rect = view->GraphRect();
    if (file.endsWith(".png", Qt::CaseInsensitive)) {
      QImage image(rect.size().toSize(), QImage::Format_ARGB32);
      image.fill(Qt::white);
      QPainter painter(&image);
      painter.setRenderHint(QPainter::Antialiasing);
      view->RenderGraph(&painter, QRectF(QPointF(0, 0), rect.size()));
      painter.end();
      if (!image.save(file, "PNG")) return *error = "cannot write " + path, false;
      return true;
    }
    if (file.endsWith(".svg", Qt::CaseInsensitive)) {
      QSvgGenerator svg;
      svg.setFileName(file);
      svg.setSize(rect.size().toSize());
      svg.setViewBox(QRectF(QPointF(0, 0), rect.size()));
      svg.setTitle("MML graph");
      QPainter painter;
      if (!painter.begin(&svg)) return *error = "cannot write " + path, false;
      view->RenderGraph(&painter, QRectF(QPointF(0, 0), rect.size()));
      return painter.end() || (*error = "cannot write " + path, false);
    }
    if (file.endsWith(".pdf", Qt::CaseInsensitive)) {
      QPdfWriter pdf(file);
      pdf.setPageSize(QPageSize(QPageSize::A4));
      pdf.setPageOrientation(rect.width() > rect.height() ? QPageLayout::Landscape : QPageLayout::Portrait);
      QPainter painter;
      if (!painter.begin(&pdf)) return *error = "cannot write " + path, false;
      view->RenderGraph(&painter, QRectF(QPointF(0, 0), QSizeF(pdf.width(), pdf.height())));
      return painter.end() || (*error = "cannot write " + path, false);
    }
    *error = "unknown picture format of '" + path + "': use .png, .svg or .pdf";
    return false;
  }

  bool AddAlbumPage(KelGraphViewer* viewer, std::string* error) override {
    KelQtGraphView* view = ViewOf(viewer);
    if (view == nullptr) return *error = "the graph is not shown", false;
    view->LayoutNow();
    QPicture picture;
    QPainter painter(&picture);
    view->RenderGraph(&painter, QRectF(QPointF(0, 0), view->GraphRect().size()));
    painter.end();
    album.push_back(picture);
    return true;
  }

  int AlbumPageCount() const override { return static_cast<int>(album.size()); }

  bool WriteAlbum(const std::string& path, std::string* error) override {
    if (album.empty()) return *error = "the album is empty", false;
    QPdfWriter pdf(Q(path));
    pdf.setPageSize(QPageSize(QPageSize::A4));
    pdf.setPageOrientation(QPageLayout::Landscape);
    QPainter painter;
    if (!painter.begin(&pdf)) return *error = "cannot write " + path, false;
    for (size_t i = 0; i < album.size(); ++i) {
      if (i > 0) pdf.newPage();
      const QRectF source = album[i].boundingRect();
      const double scale =
          std::min(pdf.width() / std::max(1.0, source.width()), pdf.height() / std::max(1.0, source.height()));
      painter.save();
      painter.scale(scale, scale);
      painter.translate(-source.topLeft());
      painter.drawPicture(0, 0, album[i]);
      painter.restore();
    }
    return painter.end() || (*error = "cannot write " + path, false);
  }

  void ClearAlbum() override { album.clear(); }

  bool Print(KelGraphViewer* viewer, const std::string& printerName, const std::string& file,
             std::string* error) override {
    KelQtGraphView* view = ViewOf(viewer);
    if (view == nullptr) return *error = "the graph is not shown", false;
    QPrinter printer(QPrinter::HighResolution);
    if (!file.empty()) {
      printer.setOutputFormat(QPrinter::PdfFormat);
      printer.setOutputFileName(Q(file));
    } else if (!printerName.empty()) {
      printer.setPrinterName(Q(printerName));
    }
    if (!printer.isValid()) return *error = "no printer", false;
    QPainter painter;
    if (!painter.begin(&printer)) return *error = "the printer cannot print", false;
    view->RenderGraph(&painter, printer.pageRect(QPrinter::DevicePixel));
    return painter.end() || (*error = "printing failed", false);
  }

  std::vector<std::string> Printers() const override {
    std::vector<std::string> names;
    for (const QString& name : QPrinterInfo::availablePrinterNames()) names.push_back(name.toStdString());
    return names;
  }
};

KelQtToolkit::KelQtToolkit(int& argc, char** argv) : impl_(std::make_unique<Impl>()) {
  impl_->app = std::make_unique<QApplication>(argc, argv);
  impl_->app->setQuitOnLastWindowClosed(true);
  KelApplication::Get().SetBinding(impl_.get());
  KelPrinterManager::SetRenderer(impl_.get());
  // The end of a command started through the process services (a site
  // script) is delivered in the event loop.
  if (int fd = KelXcoEventFd(); fd >= 0) {
    auto* notifier = new QSocketNotifier(fd, QSocketNotifier::Read, impl_->app.get());
    QObject::connect(notifier, &QSocketNotifier::activated, [] { KelXcoPollEvents(); });
  }
}

KelQtToolkit::~KelQtToolkit() {
  KelPrinterManager::SetRenderer(nullptr);
  KelApplication::Get().SetBinding(nullptr);
  // Widgets left go with the application; their objects are not told.
  for (auto& [object, widget] : impl_->widgets) {
    if (auto* doc = dynamic_cast<DocumentWindow*>(widget.data())) doc->Forget();
    if (auto* dialog = dynamic_cast<DialogWindow*>(widget.data())) dialog->Forget();
    if (auto* view = dynamic_cast<KelQtGraphView*>(widget.data())) view->Forget();
  }
  for (auto& [object, widget] : impl_->widgets) {
    if (object->IsTopLevel() && widget) delete widget.data();
  }
  impl_->widgets.clear();
}

int KelQtToolkit::Exec() { return impl_->app->exec(); }
void KelQtToolkit::Quit() { impl_->app->quit(); }

void KelQtToolkit::ProcessEvents() {
  QCoreApplication::processEvents();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  impl_->RunIdle();
  QCoreApplication::processEvents();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

QWidget* KelQtToolkit::WidgetOf(KelDlgObject* object) const {
  auto it = impl_->widgets.find(object);
  return it == impl_->widgets.end() ? nullptr : qobject_cast<QWidget*>(it->second.data());
}

void KelQtToolkit::LayoutNow(KelGraphViewer* viewer) {
  if (KelQtGraphView* view = impl_->ViewOf(viewer)) view->LayoutNow();
}

int KelQtToolkit::DrawnNodeCount(KelGraphViewer* viewer) {
  KelQtGraphView* view = impl_->ViewOf(viewer);
  return view ? view->DrawnNodeCount() : 0;
}

bool KelQtToolkit::Screenshot(KelDlgObject* top, const std::string& path, std::string* error) {
  QWidget* widget = WidgetOf(top);
  if (widget == nullptr) return *error = "the window is not shown", false;
  ProcessEvents();
  if (!widget->grab().save(Q(path), "PNG")) return *error = "cannot write " + path, false;
  return true;
}
