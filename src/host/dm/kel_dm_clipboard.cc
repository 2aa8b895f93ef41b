#include "host/dm/kel_dm_clipboard.h"

KelDMClipboard& KelDMClipboard::Get() {
  static KelDMClipboard clipboard;
  return clipboard;
}

void KelDMClipboard::Clear(const KelUnicodeString& domain) {
  domain_ = domain;
  objects_.clear();
}

void KelDMClipboard::Add(const KelDMInstance& instance) { objects_.push_back(instance); }

bool KelDMClipboard::IsDMInstanceAvailable() const {
  for (const KelDMInstance& object : objects_) {
    if (object.IsWellFormed() && !object.GetEnvironment().empty() && !object.GetTable().empty()) return true;
  }
  return false;
}

KelDMInstance KelDMClipboard::GetDMInstance(int i) const {
  if (i < 1 || i > GetNbObject()) return KelDMInstance();
  return objects_[static_cast<size_t>(i - 1)];
}
