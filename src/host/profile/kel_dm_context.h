// Who runs the program and in which environment.
//
// The current user is --user, else the environment variable MML_USER, else
// the login name. The current environment is --env, else MML_ENV, else the
// profile key ENVIRONMENT. The mml program hands its options over with
// SetOptions before any command works.
#pragma once

#include <string>

class KelDMContext {
 public:
  // The values of --env and --user (empty when not given).
  static void SetOptions(const std::string& environment, const std::string& user);
  // Empty when none of the sources gives a user.
  static std::string CurrentUser();
  // Empty when none of the sources gives an environment.
  static std::string CurrentEnvironment();
};
