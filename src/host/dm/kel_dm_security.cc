#include "host/dm/kel_dm_security.h"

#include "host/profile/kel_dm_context.h"
#include "host/profile/kel_dm_profile.h"

namespace {
bool Matches(const std::string& pattern, const std::string& value) { return pattern == "*" || pattern == value; }
}  // namespace

KelUnicodeString KelDMSecurityManager::GetCurrentPersonName() const { return KelDMContext::CurrentUser(); }

KelUnicodeString KelDMSecurityManager::GetCurrentRoleOrganisationName() const {
  const KelDMProfile* profile = KelDMProfile::Current();
  const std::string* value = profile ? profile->Find("KELZUMO.QOR.SECURITY.ORGANISATION") : nullptr;
  return value ? *value : KelUnicodeString();
}

int KelDMSecurityManager::GetGrantCount(const KelUnicodeString& domain, const KelUnicodeString& cls,
                                        const KelUnicodeString& process) const {
  const KelDMProfile* profile = KelDMProfile::Current();
  if (!profile) return 0;
  const std::string user = KelDMContext::CurrentUser();
  for (const KelDMAccessRule& rule : profile->AccessRules()) {
    if (Matches(rule.user, user) && Matches(rule.domain, domain) && Matches(rule.cls, cls) &&
        Matches(rule.process, process)) {
      return rule.allow ? 1 : 0;
    }
  }
  return 0;
}

const KelDMSecurityManager* GetSecurityManager() {
  static const KelDMSecurityManager manager;
  return KelDMProfile::Current() ? &manager : nullptr;
}
