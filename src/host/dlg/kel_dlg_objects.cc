#include "host/dlg/kel_dlg_objects.h"

#include <algorithm>

namespace {

bool IsRadio(KelDlgObject::Kind kind) {
  return kind == KelDlgObject::Kind::RadioItem || kind == KelDlgObject::Kind::RadioButton;
}

int StretchOf(const std::vector<std::pair<int, int>>& table, int index) {
  for (const auto& [at, stretch] : table) {
    if (at == index) return stretch;
  }
  return 0;
}

void SetStretchIn(std::vector<std::pair<int, int>>& table, int index, int stretch) {
  for (auto& entry : table) {
    if (entry.first == index) {
      entry.second = stretch;
      return;
    }
  }
  table.emplace_back(index, stretch);
}

// The top-level objects alive. An ordinary static, so that what is still
// open when the process ends is not kept reachable from it (a leak checker
// sees it); an object deleted after it (by another static) finds it gone.
bool topLevelsGone = false;
struct TopLevelList {
  std::vector<KelDlgObject*> objects;
  ~TopLevelList() { topLevelsGone = true; }
};

std::vector<KelDlgObject*>* TopLevelObjects() {
  static TopLevelList list;
  return topLevelsGone ? nullptr : &list.objects;
}

}  // namespace

KelDlgObject::KelDlgObject(KelDlgObject* parent, std::string identifier, unsigned long style, Kind kind)
    : KelCommand(parent), parent_(parent), identifier_(std::move(identifier)), style_(style), kind_(kind) {
  if (parent_ != nullptr) {
    parent_->children_.push_back(this);
    parent_->Changed();
  } else if (auto* tops = TopLevelObjects()) {
    tops->push_back(this);
  }
}

KelDlgObject::~KelDlgObject() {
  KelApplication::Get().Binding().Destroyed(this);
  while (!children_.empty()) delete children_.back();  // each child unlinks itself
  auto* siblings = parent_ != nullptr ? &parent_->children_ : TopLevelObjects();
  if (siblings != nullptr) siblings->erase(std::remove(siblings->begin(), siblings->end(), this), siblings->end());
}

const std::vector<KelDlgObject*>& KelDlgObject::TopLevels() {
  static const auto* none = new std::vector<KelDlgObject*>();  // once the list is gone
  auto* tops = TopLevelObjects();
  return tops != nullptr ? *tops : *none;
}

void KelDlgObject::DeleteOwnedBy(const KelCommand* owner) {
  if (owner == nullptr) return;
  // A box's destructor may close others: look again after each deletion.
  for (;;) {
    const auto& objects = TopLevels();
    auto owned =
        std::find_if(objects.rbegin(), objects.rend(), [owner](KelDlgObject* o) { return o->owner_ == owner; });
    if (owned == objects.rend()) return;
    delete *owned;
  }
}

KelDlgObject* KelDlgObject::GetTop() {
  KelDlgObject* top = this;
  while (top->parent_ != nullptr) top = top->parent_;
  return top;
}

KelDlgObject* KelDlgObject::Find(const std::string& identifier) {
  if (identifier_ == identifier) return this;
  for (KelDlgObject* child : children_) {
    if (KelDlgObject* found = child->Find(identifier)) return found;
  }
  return nullptr;
}

void KelDlgObject::Changed() { KelApplication::Get().Binding().Changed(this); }

void KelDlgObject::SetTitle(const std::string& title) {
  title_ = title;
  Changed();
}

void KelDlgObject::SetHelp(const std::string& help) {
  help_ = help;
  Changed();
}

void KelDlgObject::SetSensitivity(bool sensitive) {
  sensitive_ = sensitive;
  Changed();
}

void KelDlgObject::SetVisibility(bool visible) {
  visible_ = visible;
  Changed();
}

std::vector<KelDlgObject*> KelDlgObject::RadioGroup() {
  if (parent_ == nullptr) return {this};
  const auto& siblings = parent_->children_;
  auto self = std::find(siblings.begin(), siblings.end(), this);
  auto first = self;
  while (first != siblings.begin() && (*(first - 1))->kind_ != Kind::SeparatorItem) --first;
  auto last = self;
  while (last != siblings.end() && (*last)->kind_ != Kind::SeparatorItem) ++last;
  std::vector<KelDlgObject*> group;
  for (auto it = first; it != last; ++it) {
    if (IsRadio((*it)->kind_)) group.push_back(*it);
  }
  return group;
}

void KelDlgObject::SetState(int state) {
  if (IsRadio(kind_) && state != 0) {
    for (KelDlgObject* other : RadioGroup()) {
      if (other != this && other->state_ != 0) {
        other->state_ = 0;
        other->Changed();
      }
    }
  }
  state_ = state;
  Changed();
}

void KelDlgObject::SetRowStretch(int row, int stretch) { SetStretchIn(rowStretch_, row, stretch); }
void KelDlgObject::SetColumnStretch(int column, int stretch) { SetStretchIn(columnStretch_, column, stretch); }
int KelDlgObject::GetRowStretch(int row) const { return StretchOf(rowStretch_, row); }
int KelDlgObject::GetColumnStretch(int column) const { return StretchOf(columnStretch_, column); }

void KelDlgObject::Activate() {
  if (!sensitive_) return;
  switch (kind_) {
    case Kind::PushItem:
    case Kind::PushButton:
      Notify(KelNotification::Activate);
      break;
    case Kind::CheckItem:
      SetState(state_ ? 0 : 1);
      Notify(KelNotification::Modify);
      break;
    case Kind::RadioItem:
    case Kind::RadioButton: {
      std::vector<KelDlgObject*> turnedOff;
      for (KelDlgObject* other : RadioGroup()) {
        if (other != this && other->state_ != 0) turnedOff.push_back(other);
      }
      SetState(1);
      for (KelDlgObject* other : turnedOff) other->Notify(KelNotification::Modify);
      Notify(KelNotification::Modify);
      break;
    }
    default:
      break;
  }
}

void KelDlgDialog::SetOKTitle(const std::string& title) {
  okTitle_ = title;
  Changed();
}

void KelDlgDialog::SetCancelTitle(const std::string& title) {
  cancelTitle_ = title;
  Changed();
}

void KelDlgNotify::SetText(const std::string& text) {
  text_ = text;
  Changed();
}

void KelDlgNotify::DisplayBlocked(const std::string& text, const std::string& title) {
  text_ = text;
  SetTitle(title);
  SetVisibility(true);
  KelApplication::Get().Binding().RunModal(this);
  SetVisibility(false);
}

void KelDlgEditor::SetText(const std::string& text) {
  text_ = text;
  Changed();
}

void KelDlgEditor::EditText(const std::string& text) {
  SetText(text);
  Notify(KelNotification::Modify);
}

void KelDlgMultiList::SetColumnTitle(int column, const std::string& title) {
  if (column < 0) return;
  if (static_cast<size_t>(column) >= columns_.size()) columns_.resize(column + 1);
  columns_[column] = title;
  Changed();
}

void KelDlgMultiList::SetCell(int row, int column, const std::string& text) {
  if (row < 0 || column < 0) return;
  if (static_cast<size_t>(row) >= rows_.size()) rows_.resize(row + 1);
  auto& cells = rows_[row];
  if (static_cast<size_t>(column) >= cells.size()) cells.resize(column + 1);
  cells[column] = text;
  Changed();
}

std::string KelDlgMultiList::GetCell(int row, int column) const {
  if (row < 0 || column < 0 || static_cast<size_t>(row) >= rows_.size()) return {};
  const auto& cells = rows_[row];
  return static_cast<size_t>(column) < cells.size() ? cells[column] : std::string();
}

void KelDlgMultiList::ClearRows() {
  rows_.clear();
  selected_.clear();
  Changed();
}

void KelDlgMultiList::SetSelectedRows(std::vector<int> rows) {
  std::sort(rows.begin(), rows.end());
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
  rows.erase(std::remove_if(rows.begin(), rows.end(), [this](int r) { return r < 0 || r >= GetRowCount(); }),
             rows.end());
  selected_ = std::move(rows);
  Changed();
}

void KelDlgMultiList::SelectRows(std::vector<int> rows) {
  SetSelectedRows(std::move(rows));
  Notify(KelNotification::Modify);
}
