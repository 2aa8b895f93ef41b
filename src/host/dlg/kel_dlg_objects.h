// The dialog objects of the toolkit: documents (windows), dialogs, notify
// boxes, menus and their items, lists, labels, frames, buttons and the
// status bar. Each is built from (parent, identifier, style); the parent owns
// its children and deletes them with itself. An object has a title, a help
// text, a sensitivity, a visibility and an integer state (check and radio
// items, buttons: 0 off, 1 on).
//
// The user's actions are methods too (Activate, Close, PressButton,
// SelectRow, EditText): a toolkit binding calls them when a widget is used,
// a test calls them to act as the user. Each publishes the notification its
// object promises (push items and buttons Activate; check and radio items
// Modify; windows Close; dialog buttons OK, Cancel, Apply).
//
//   auto* bar = new KelDlgBarMenu(document, "Menu", 0);
//   auto* graph = new KelDlgSubMenu(bar, "MenuGraph", 0);
//   auto* refresh = new KelDlgPushItem(graph, "ItemGraphRefresh", 0);
//   document->Find("ItemGraphRefresh")->Activate();
#pragma once

#include <string>
#include <vector>

#include "host/dlg/kel_command.h"

class KelDlgObject : public KelCommand {
 public:
  enum class Kind {
    Document,
    Dialog,
    Notify,
    BarMenu,
    SubMenu,
    PushItem,
    CheckItem,
    RadioItem,
    SeparatorItem,
    MultiList,
    Label,
    Frame,
    StatusBar,
    PushButton,
    RadioButton,
    Editor,
    GraphViewer,
  };

  KelDlgObject(KelDlgObject* parent, std::string identifier, unsigned long style, Kind kind);
  ~KelDlgObject() override;

  Kind GetKind() const { return kind_; }
  const std::string& GetIdentifier() const { return identifier_; }
  unsigned long GetStyle() const { return style_; }
  KelDlgObject* GetParent() const { return parent_; }
  const std::vector<KelDlgObject*>& GetChildren() const { return children_; }
  // The top-level object (document, dialog or box) holding this one.
  KelDlgObject* GetTop();
  // The first object named `identifier` here or below, depth first.
  KelDlgObject* Find(const std::string& identifier);
  bool IsTopLevel() const { return parent_ == nullptr; }

  // The top-level objects alive, in the order they were built.
  static const std::vector<KelDlgObject*>& TopLevels();
  // The window that opened this top-level box and answers for it, or null
  // (the box then frees itself when the user closes it). A window deletes the
  // boxes it owns when it goes (DeleteOwnedBy).
  void SetOwner(const KelCommand* owner) { owner_ = owner; }
  const KelCommand* GetOwner() const { return owner_; }
  // Deletes the top-level objects `owner` owns that are still alive, the
  // last opened first.
  static void DeleteOwnedBy(const KelCommand* owner);

  void SetTitle(const std::string& title);
  const std::string& GetTitle() const { return title_; }
  void SetHelp(const std::string& help);
  const std::string& GetHelp() const { return help_; }
  void SetSensitivity(bool sensitive);
  bool GetSensitivity() const { return sensitive_; }
  void SetVisibility(bool visible);
  bool GetVisibility() const { return visible_; }
  // Setting a radio item or radio button on sets the other radios of its
  // group off (the group: its siblings up to the nearest separators). No
  // notification: only the user's actions notify.
  void SetState(int state);
  int GetState() const { return state_; }

  // Place in the parent's grid (dialogs), and whether a row or column of
  // this object's own grid stretches.
  void SetGridConstraints(int row, int column) {
    gridRow_ = row;
    gridColumn_ = column;
  }
  int GetGridRow() const { return gridRow_; }
  int GetGridColumn() const { return gridColumn_; }
  void SetRowStretch(int row, int stretch);
  void SetColumnStretch(int column, int stretch);
  int GetRowStretch(int row) const;
  int GetColumnStretch(int column) const;

  // ---- The user's actions ----

  // The user chooses the object: push items and buttons notify Activate;
  // a check item toggles and notifies Modify; a radio item or button turns
  // on, its group's others turn off, and each that changed notifies Modify
  // (the one turned on last, and also when it was on already). Nothing for
  // an insensitive object or other kinds.
  void Activate();
  // The user closes the window: Close.
  void Close() { Notify(KelNotification::Close); }

 protected:
  // Tells the binding that the object changed.
  void Changed();
  // The radios of this object's group, itself included.
  std::vector<KelDlgObject*> RadioGroup();

 private:
  KelDlgObject* parent_;
  std::string identifier_;
  unsigned long style_;
  Kind kind_;
  const KelCommand* owner_ = nullptr;
  std::vector<KelDlgObject*> children_;
  std::string title_;
  std::string help_;
  bool sensitive_ = true;
  bool visible_ = true;
  int state_ = 0;
  int gridRow_ = 0;
  int gridColumn_ = 0;
  std::vector<std::pair<int, int>> rowStretch_;
  std::vector<std::pair<int, int>> columnStretch_;
};

// A document window: menu bar, frames, status bar. Constructed hidden.
class KelDlgDocument : public KelDlgObject {
 public:
  KelDlgDocument(KelDlgObject* parent, const std::string& identifier, unsigned long style)
      : KelDlgObject(parent, identifier, style, Kind::Document) {
    SetVisibility(false);
  }
};

// A dialog window with its OK, Cancel and Apply buttons. Constructed hidden.
class KelDlgDialog : public KelDlgObject {
 public:
  KelDlgDialog(KelDlgObject* parent, const std::string& identifier, unsigned long style, Kind kind = Kind::Dialog)
      : KelDlgObject(parent, identifier, style, kind) {
    SetVisibility(false);
  }
  void SetOKTitle(const std::string& title);
  const std::string& GetOKTitle() const { return okTitle_; }
  void SetCancelTitle(const std::string& title);
  const std::string& GetCancelTitle() const { return cancelTitle_; }
  // The user presses OK, Cancel or Apply.
  void PressButton(KelNotification button) { Notify(button); }

 private:
  std::string okTitle_ = "OK";
  std::string cancelTitle_ = "Cancel";
};

// A message box: a text and an OK button.
class KelDlgNotify : public KelDlgDialog {
 public:
  KelDlgNotify(KelDlgObject* parent, const std::string& identifier, unsigned long style)
      : KelDlgDialog(parent, identifier, style, Kind::Notify) {}
  void SetText(const std::string& text);
  const std::string& GetText() const { return text_; }
  // Shows the box with `text` and `title` and returns once the user closed
  // it (the binding runs it modally); the box is hidden again on return.
  void DisplayBlocked(const std::string& text, const std::string& title);

 private:
  std::string text_;
};

class KelDlgBarMenu : public KelDlgObject {
 public:
  KelDlgBarMenu(KelDlgObject* parent, const std::string& identifier, unsigned long style)
      : KelDlgObject(parent, identifier, style, Kind::BarMenu) {}
};

class KelDlgSubMenu : public KelDlgObject {
 public:
  KelDlgSubMenu(KelDlgObject* parent, const std::string& identifier, unsigned long style)
      : KelDlgObject(parent, identifier, style, Kind::SubMenu) {}
};

class KelDlgPushItem : public KelDlgObject {
 public:
  KelDlgPushItem(KelDlgObject* parent, const std::string& identifier, unsigned long style)
      : KelDlgObject(parent, identifier, style, Kind::PushItem) {}
};

class KelDlgCheckItem : public KelDlgObject {
 public:
  KelDlgCheckItem(KelDlgObject* parent, const std::string& identifier, unsigned long style)
      : KelDlgObject(parent, identifier, style, Kind::CheckItem) {}
};

class KelDlgRadioItem : public KelDlgObject {
 public:
  KelDlgRadioItem(KelDlgObject* parent, const std::string& identifier, unsigned long style)
      : KelDlgObject(parent, identifier, style, Kind::RadioItem) {}
};

class KelDlgSeparatorItem : public KelDlgObject {
 public:
  KelDlgSeparatorItem(KelDlgObject* parent, const std::string& identifier, unsigned long style)
      : KelDlgObject(parent, identifier, style, Kind::SeparatorItem) {}
};

class KelDlgLabel : public KelDlgObject {
 public:
  KelDlgLabel(KelDlgObject* parent, const std::string& identifier, unsigned long style)
      : KelDlgObject(parent, identifier, style, Kind::Label) {}
};

class KelDlgFrame : public KelDlgObject {
 public:
  KelDlgFrame(KelDlgObject* parent, const std::string& identifier, unsigned long style)
      : KelDlgObject(parent, identifier, style, Kind::Frame) {}
};

// The status bar: its title is the text shown.
class KelDlgStatusBar : public KelDlgObject {
 public:
  KelDlgStatusBar(KelDlgObject* parent, const std::string& identifier, unsigned long style)
      : KelDlgObject(parent, identifier, style, Kind::StatusBar) {}
};

class KelDlgPushButton : public KelDlgObject {
 public:
  KelDlgPushButton(KelDlgObject* parent, const std::string& identifier, unsigned long style)
      : KelDlgObject(parent, identifier, style, Kind::PushButton) {}
};

class KelDlgRadioButton : public KelDlgObject {
 public:
  KelDlgRadioButton(KelDlgObject* parent, const std::string& identifier, unsigned long style)
      : KelDlgObject(parent, identifier, style, Kind::RadioButton) {}
};

// A one-line text field; the user's edit notifies Modify.
class KelDlgEditor : public KelDlgObject {
 public:
  KelDlgEditor(KelDlgObject* parent, const std::string& identifier, unsigned long style)
      : KelDlgObject(parent, identifier, style, Kind::Editor) {}
  void SetText(const std::string& text);
  const std::string& GetText() const { return text_; }
  void EditText(const std::string& text);

 private:
  std::string text_;
};

// A list of rows of text cells under column titles. Rows and columns are
// numbered from 0.
class KelDlgMultiList : public KelDlgObject {
 public:
  KelDlgMultiList(KelDlgObject* parent, const std::string& identifier, unsigned long style)
      : KelDlgObject(parent, identifier, style, Kind::MultiList) {}
  void SetColumnTitle(int column, const std::string& title);
  const std::vector<std::string>& GetColumnTitles() const { return columns_; }
  // Widths in characters.
  void SetVisibleTextWidth(int width) { visibleWidth_ = width; }
  int GetVisibleTextWidth() const { return visibleWidth_; }
  void SetColumnWidth(int width) { columnWidth_ = width; }
  int GetColumnWidth() const { return columnWidth_; }

  // Sets a cell, growing the list as needed.
  void SetCell(int row, int column, const std::string& text);
  std::string GetCell(int row, int column) const;
  int GetRowCount() const { return static_cast<int>(rows_.size()); }
  void ClearRows();
  // The selected rows, ascending.
  const std::vector<int>& GetSelectedRows() const { return selected_; }
  void SetSelectedRows(std::vector<int> rows);
  // The user selects rows: Modify.
  void SelectRows(std::vector<int> rows);

 private:
  std::vector<std::string> columns_;
  std::vector<std::vector<std::string>> rows_;
  std::vector<int> selected_;
  int visibleWidth_ = 20;
  int columnWidth_ = 20;
};
