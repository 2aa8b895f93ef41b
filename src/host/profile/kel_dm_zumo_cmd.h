// The host's declared link types of an environment (LINKTYPE lines of the
// profile).
#pragma once

#include "base/kel_types.h"

class KelDMZUMOCmd {
 public:
  explicit KelDMZUMOCmd(const KelUnicodeString& environment) : environment_(environment) {}

  // The declared types and names of the environment as two parallel lists in
  // declaration order, and their count. An environment without declarations,
  // or no profile loaded, gives empty lists and 0. Returns 0.
  int GetProfile(KelListValKelUnicodeString& types, KelListValKelUnicodeString& names, int& count) const;

 private:
  KelUnicodeString environment_;
};
