#include "host/profile/kel_psn_profile.h"

#include "host/profile/kel_dm_profile.h"

std::vector<KelPSNProfileTable> KelPSNProfile::GetTables(const std::string& environment,
                                                         const std::string& profileName) {
  // The product-structure navigator of this host knows one profile only.
  if (profileName != "$MML_GRAPH_NAVIG") return {};
  const KelDMProfile* profile = KelDMProfile::Current();
  if (!profile) return {};
  return profile->IdentificationTables(environment);
}
