// The host security manager: who works (the current person), for which
// organisation (that of the current role), and which processes the profile's
// access rules grant.
//
// The person is the current user (--user, MML_USER, else the login name).
// The organisation is the profile key KELZUMO.QOR.SECURITY.ORGANISATION,
// empty when the profile does not set it.
#pragma once

#include "base/kel_types.h"

class KelDMSecurityManager {
 public:
  KelUnicodeString GetCurrentPersonName() const;
  KelUnicodeString GetCurrentRoleOrganisationName() const;
  // How many access rules grant (domain, cls, process) to the current user:
  // 1 when the first matching rule allows it, 0 when it refuses or no rule
  // matches.
  int GetGrantCount(const KelUnicodeString& domain, const KelUnicodeString& cls, const KelUnicodeString& process) const;
};

// The security manager, null without a loaded profile.
const KelDMSecurityManager* GetSecurityManager();
