// Loading the host profile for the mml program.
#include <cstdlib>
#include <string>

#include "apps/mml/mml_app.h"
#include "host/profile/kel_dm_context.h"
#include "host/profile/kel_dm_profile.h"

void MmlLoadProfile(const MmlGlobals& globals, bool required) {
  KelDMContext::SetOptions(globals.env, globals.user);
  std::string path = globals.profile;
  if (path.empty()) {
    if (const char* fromEnv = std::getenv("MML_PROFILE")) path = fromEnv;
  }
  if (path.empty()) {
    if (required) MmlFail("no profile given: use --profile FILE or set MML_PROFILE");
    KelDMProfile::SetCurrent(nullptr);
    return;
  }
  std::string error;
  std::unique_ptr<KelDMProfile> profile = KelDMProfile::Load(path, &error);
  if (!profile) MmlFail(error);
  KelDMProfile::SetCurrent(std::move(profile));
}
