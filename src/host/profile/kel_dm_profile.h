// The host profile: the administrator's declarative file (docs/profile.md).
//
// A profile is a text file of lines:
//   # comment                                   (also after a blank on any line)
//   KEY = VALUE                                 a declarative key
//   LINKTYPE <environment> <type> <name>        a declared link type
//   IDENTIFICATION <environment>.<table> <column> ...
//   ACCESS <user|*> <domain|*> <class|*> <process|*> ALLOW|DENY
//
// Keys of the module's known kinds are checked when the profile is read: the
// logical "KELZUMO.QOR.MML.*" keys must be TRUE or FALSE and
// "KELZUMO.QOR.MML.FILTER.MATURITY.MIN_INDEX" an integer. Any fault stops the
// load with one message "<file>:<line>: <what is wrong>".
//
// One profile is current for the whole process (SetCurrent); the host
// declarative services (KelDMTovra::GetLogicalDec, ...) read it.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "host/profile/kel_psn_profile.h"

// A declared link type of an environment.
struct KelDMProfileLinkType {
  std::string type;  // declared type, e.g. "KELMMSOL"
  std::string name;  // declared name, e.g. "MML_SOL"
};

// One access rule; "*" in a field matches every value.
struct KelDMAccessRule {
  std::string user;
  std::string domain;
  std::string cls;
  std::string process;
  bool allow = false;
  int line = 0;  // line of the profile that declared it
};

// Which kind of value a key must hold.
enum class KelDMKeyKind { kText, kLogical, kInteger };

class KelDMProfile {
 public:
  // Reads the profile file at `path`. On failure returns null and sets
  // *error to "<path>:<line>: <reason>" (line 0 when the file cannot be read).
  static std::unique_ptr<KelDMProfile> Load(const std::string& path, std::string* error);
  // Reads profile text; `fileName` is the name used in error messages.
  static std::unique_ptr<KelDMProfile> Parse(const std::string& text, const std::string& fileName, std::string* error);

  // The kind the module expects of `key` (text for keys it does not know).
  static KelDMKeyKind KindOfKey(const std::string& key);

  // The value of `key`, or null when the profile does not set it.
  const std::string* Find(const std::string& key) const;
  // Declared link types of `environment`, in declaration order.
  std::vector<KelDMProfileLinkType> LinkTypes(const std::string& environment) const;
  // Identification tables of `environment` (table names without the
  // environment), in declaration order.
  std::vector<KelPSNProfileTable> IdentificationTables(const std::string& environment) const;
  // Access rules in declaration order.
  const std::vector<KelDMAccessRule>& AccessRules() const { return access_; }
  // The file the profile was read from.
  const std::string& FileName() const { return fileName_; }

  // ---- The process-wide current profile ----

  // Null when no profile is loaded.
  static const KelDMProfile* Current();
  // Makes `profile` current (null unloads).
  static void SetCurrent(std::unique_ptr<KelDMProfile> profile);

 private:
  struct LinkTypeLine {
    std::string environment;
    KelDMProfileLinkType linkType;
  };
  struct IdentificationLine {
    std::string environment;
    KelPSNProfileTable table;
  };

  std::string fileName_;
  std::map<std::string, std::string> keys_;
  std::vector<LinkTypeLine> linkTypes_;
  std::vector<IdentificationLine> identification_;
  std::vector<KelDMAccessRule> access_;
};
