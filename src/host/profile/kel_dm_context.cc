#include "host/profile/kel_dm_context.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

#include "host/profile/kel_dm_profile.h"

namespace {
std::string& OptionEnvironment() {
  static std::string value;
  return value;
}
std::string& OptionUser() {
  static std::string value;
  return value;
}
std::string Variable(const char* name) {
  const char* v = std::getenv(name);
  return v ? std::string(v) : std::string();
}
}  // namespace

void KelDMContext::SetOptions(const std::string& environment, const std::string& user) {
  OptionEnvironment() = environment;
  OptionUser() = user;
}

std::string KelDMContext::CurrentUser() {
  if (!OptionUser().empty()) return OptionUser();
  std::string user = Variable("MML_USER");
  if (!user.empty()) return user;
  // The login name: the account of the effective user, which holds also when
  // the program runs without a terminal (where getlogin fails).
  if (const passwd* pw = getpwuid(geteuid()); pw && pw->pw_name) return pw->pw_name;
  return Variable("LOGNAME");
}

std::string KelDMContext::CurrentEnvironment() {
  if (!OptionEnvironment().empty()) return OptionEnvironment();
  std::string env = Variable("MML_ENV");
  if (!env.empty()) return env;
  if (const KelDMProfile* profile = KelDMProfile::Current()) {
    if (const std::string* value = profile->Find("ENVIRONMENT")) return *value;
  }
  return {};
}
