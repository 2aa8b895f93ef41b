#include "host/profile/kel_dm_zumo_cmd.h"

#include "host/profile/kel_dm_profile.h"

int KelDMZUMOCmd::GetProfile(KelListValKelUnicodeString& types, KelListValKelUnicodeString& names, int& count) const {
  types.clear();
  names.clear();
  if (const KelDMProfile* profile = KelDMProfile::Current()) {
    for (const auto& declared : profile->LinkTypes(environment_)) {
      types.push_back(declared.type);
      names.push_back(declared.name);
    }
  }
  count = static_cast<int>(types.size());
  return 0;
}
