// Access checks of processes on objects, decided by the ACCESS rules of the
// profile: the first rule that matches the current user, the domain, the class
// and the process decides; no matching rule refuses.
#include "host/db/kel_dm_ier_message.h"
#include "host/kel_dm_instance.h"
#include "host/profile/kel_dm_context.h"
#include "host/profile/kel_dm_profile.h"

namespace {
bool Matches(const std::string& pattern, const std::string& value) { return pattern == "*" || pattern == value; }
}  // namespace

int KelDMInstance::CheckDataAccess(const KelUnicodeString& domain, const KelUnicodeString& cls,
                                   const KelUnicodeString& process, int /*option*/) const {
  const KelDMProfile* profile = KelDMProfile::Current();
  if (!profile) return kel_ier::kAccessNoRule;
  const std::string user = KelDMContext::CurrentUser();
  for (const KelDMAccessRule& rule : profile->AccessRules()) {
    if (Matches(rule.user, user) && Matches(rule.domain, domain) && Matches(rule.cls, cls) &&
        Matches(rule.process, process)) {
      return rule.allow ? 0 : kel_ier::kAccessDenied;
    }
  }
  return kel_ier::kAccessNoRule;
}
