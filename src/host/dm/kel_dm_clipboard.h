// The host's data-management clipboard: the database objects the user copied,
// numbered from 1, with the domain they were copied for ("QOR" for the MML
// navigator). One clipboard per process.
//
//   KelDMClipboard& clipboard = KelDMClipboard::Get();
//   clipboard.Clear("QOR");
//   clipboard.Add(instance);
//   for (int i = 1; i <= clipboard.GetNbObject(); ++i) use(clipboard.GetDMInstance(i));
#pragma once

#include "base/kel_types.h"
#include "host/kel_dm_instance.h"

class KelDMClipboard {
 public:
  static KelDMClipboard& Get();

  // Empties the clipboard and makes `domain` its domain.
  void Clear(const KelUnicodeString& domain);
  void Add(const KelDMInstance& instance);
  int GetNbObject() const { return static_cast<int>(objects_.size()); }
  // Whether at least one object on the clipboard is a database instance
  // (well-formed, with an environment and a table).
  bool IsDMInstanceAvailable() const;
  // Object i, from 1; an empty instance out of range.
  KelDMInstance GetDMInstance(int i) const;
  const KelUnicodeString& GetDomain() const { return domain_; }

 private:
  KelUnicodeString domain_;
  KelListValKelDMInstance objects_;
};
