// The host profile: reading the file, the declarative services over it, the
// current user and environment, the declared link types and identification
// tables, and the access rules.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "host/db/kel_dm_ier_message.h"
#include "host/kel_dm_instance.h"
#include "host/kel_dm_tovra.h"
#include "host/profile/kel_dm_context.h"
#include "host/profile/kel_dm_profile.h"
#include "host/profile/kel_dm_zumo_cmd.h"
#include "host/profile/kel_psn_profile.h"
#include "support/test_database.h"

namespace {

// Sets or unsets an environment variable for one test and puts it back.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    Set(value);
  }
  ~ScopedEnv() { Set(old_ ? old_->c_str() : nullptr); }

 private:
  void Set(const char* value) { value ? setenv(name_.c_str(), value, 1) : unsetenv(name_.c_str()); }
  std::string name_;
  std::optional<std::string> old_;
};

std::string ParseError(const std::string& text) {
  std::string error;
  auto profile = KelDMProfile::Parse(text, "site.profile", &error);
  EXPECT_EQ(profile, nullptr) << "the profile was accepted";
  return error;
}

class ProfileTest : public ::testing::Test {
 protected:
  void SetUp() override { KelDMContext::SetOptions("", ""); }
  void TearDown() override {
    KelDMProfile::SetCurrent(nullptr);
    KelDMContext::SetOptions("", "");
  }
  void Use(const std::string& text) {
    std::string error;
    auto profile = KelDMProfile::Parse(text, "site.profile", &error);
    ASSERT_NE(profile, nullptr) << error;
    KelDMProfile::SetCurrent(std::move(profile));
  }
};

TEST_F(ProfileTest, ReadsKeysOfEveryKindThroughTheDeclarativeServices) {
  Use("# site profile\n"
      "\n"
      "KELZUMO.QOR.MML.FORCE_RECACHE = TRUE\n"
      "KELZUMO.QOR.MML.LINK.TYPE=FALSE   # trailing comment\n"
      "KELZUMO.QOR.MML.FILTER.MATURITY.MIN_INDEX = -12\r\n"
      "  KELZUMO.QOR.MML.SYNCHRONISE.SCRIPT =  /opt/site/sync#1.sh  \n"
      "WINDOW.WIDTH = 800\n"
      "EMPTY.TEXT =\n");
  int value = 7;
  EXPECT_EQ(KelDMTovra::GetLogicalDec("KELZUMO.QOR.MML.FORCE_RECACHE"), 1);
  EXPECT_EQ(KelDMTovra::GetLogicalDec("KELZUMO.QOR.MML.LINK.TYPE", value), 0);
  EXPECT_EQ(value, 0);
  EXPECT_EQ(KelDMTovra::GetIntegerDec("KELZUMO.QOR.MML.FILTER.MATURITY.MIN_INDEX", value), 0);
  EXPECT_EQ(value, -12);

  std::string text = "untouched";
  EXPECT_EQ(KelDMTovra::GetStringDec("KELZUMO.QOR.MML.SYNCHRONISE.SCRIPT", text), 0);
  EXPECT_EQ(text, "/opt/site/sync#1.sh");  // '#' inside a word is not a comment
  EXPECT_EQ(KelDMTovra::GetStringDec("EMPTY.TEXT", text), 0);
  EXPECT_EQ(text, "");
  EXPECT_EQ(KelDMTovra::GetSetting("WINDOW", "WIDTH"), "800");
  EXPECT_EQ(KelDMTovra::GetSetting("WINDOW", "HEIGHT"), "");

  // A text key read as another kind is refused, the value left alone.
  value = 5;
  EXPECT_EQ(KelDMTovra::GetIntegerDec("EMPTY.TEXT", value), kel_ier::kDeclarativeBadValue);
  EXPECT_EQ(KelDMTovra::GetLogicalDec("WINDOW.WIDTH", value), kel_ier::kDeclarativeBadValue);
  EXPECT_EQ(value, 5);
  EXPECT_EQ(KelDMTovra::GetLogicalDec("WINDOW.WIDTH"), 0);
}

TEST_F(ProfileTest, MissingKeysAndAMissingProfileAnswerMissing) {
  int value = 3;
  std::string text = "kept";
  EXPECT_EQ(KelDMTovra::GetLogicalDec("KELZUMO.QOR.MML.TOVRA_V5"), 0);
  EXPECT_EQ(KelDMTovra::GetLogicalDec("KELZUMO.QOR.MML.TOVRA_V5", value), kel_ier::kDeclarativeMissing);
  EXPECT_EQ(KelDMTovra::GetStringDec("ANY", text), kel_ier::kDeclarativeMissing);
  Use("OTHER = 1\n");
  EXPECT_EQ(KelDMTovra::GetIntegerDec("KELZUMO.QOR.MML.FILTER.MATURITY.MIN_INDEX", value),
            kel_ier::kDeclarativeMissing);
  EXPECT_EQ(value, 3);
  EXPECT_EQ(text, "kept");
}

TEST_F(ProfileTest, FaultyLinesAreRefusedWithFileAndLine) {
  const std::vector<std::pair<const char*, const char*>> cases = {
      {"A = 1\nthis line has no equals sign\n",
       "site.profile:2: cannot read \"this line has no equals sign\": expected KEY = VALUE, LINKTYPE, "
       "IDENTIFICATION or ACCESS"},
      {"# x\n\nKELZUMO.QOR.MML.TOVRA_V5 = true\n",
       "site.profile:3: KELZUMO.QOR.MML.TOVRA_V5 must be TRUE or FALSE, not \"true\""},
      {"KELZUMO.QOR.MML.FILTER.MATURITY.MIN_INDEX = 99999999999\n",
       "site.profile:1: KELZUMO.QOR.MML.FILTER.MATURITY.MIN_INDEX must be an integer between -2147483648 and "
       "2147483647, not 99999999999"},
      {"= TRUE\n", "site.profile:1: a key is missing before '='"},
      {"TWO WORDS = 1\n", "site.profile:1: the key \"TWO WORDS\" holds a blank"},
      {"A = 1\nB = 2\nA = 3\n", "site.profile:3: A is already set on line 1"},
      {"LINKTYPE ENV1 KELMMSOL\n", "site.profile:1: LINKTYPE needs <environment> <declared type> <declared name>"},
      {"IDENTIFICATION TOVRA_MODEL C_ID\n",
       "site.profile:1: IDENTIFICATION needs <environment>.<table> and at least one column"},
      {"ACCESS * QOR BOM OpenRepresentation allow\n",
       "site.profile:1: an ACCESS rule ends with ALLOW or DENY, not \"allow\""},
  };
  for (const auto& [text, message] : cases) EXPECT_EQ(ParseError(text), message);
}

TEST_F(ProfileTest, LoadNamesTheFileAndRefusesAnUnreadableOne) {
  TempDir dir;
  WriteFileText(dir.File("good.profile"), "ENVIRONMENT = ENV1\n");
  WriteFileText(dir.File("bad.profile"), "ENVIRONMENT = ENV1\nKELZUMO.QOR.MML.PERFO = 1\n");
  std::string error;
  auto good = KelDMProfile::Load(dir.File("good.profile"), &error);
  ASSERT_NE(good, nullptr) << error;
  EXPECT_EQ(*good->Find("ENVIRONMENT"), "ENV1");
  EXPECT_EQ(good->FileName(), dir.File("good.profile"));

  EXPECT_EQ(KelDMProfile::Load(dir.File("bad.profile"), &error), nullptr);
  EXPECT_EQ(error, dir.File("bad.profile") + ":2: KELZUMO.QOR.MML.PERFO must be TRUE or FALSE, not \"1\"");

  EXPECT_EQ(KelDMProfile::Load(dir.Path(), &error), nullptr) << "a directory is not a profile";
  EXPECT_EQ(error.rfind(dir.Path() + ": cannot read the profile", 0), 0u) << error;
}

TEST_F(ProfileTest, LinkTypesAndIdentificationTablesKeepDeclarationOrderPerEnvironment) {
  Use("LINKTYPE ENV1 KELMMSOL MML_SOL\n"
      "LINKTYPE ENV2 KELMMDRW MML_DRW\n"
      "LINKTYPE ENV1 KELMMDRW MML_DRW\n"
      "LINKTYPE = not a directive\n"
      "IDENTIFICATION ENV1.TOVRA_MODEL C_ID C_REVISION\n"
      "IDENTIFICATION ENV2.PART_LIST C_ID\n"
      "IDENTIFICATION ENV1.DOCUMENT C_UUID\n");
  KelListValKelUnicodeString types{"stale"}, names{"stale"};
  int count = -1;
  EXPECT_EQ(KelDMZUMOCmd("ENV1").GetProfile(types, names, count), 0);
  EXPECT_EQ(count, 2);
  EXPECT_EQ(types, (KelListValKelUnicodeString{"KELMMSOL", "KELMMDRW"}));
  EXPECT_EQ(names, (KelListValKelUnicodeString{"MML_SOL", "MML_DRW"}));
  EXPECT_EQ(KelDMZUMOCmd("ENV3").GetProfile(types, names, count), 0);
  EXPECT_EQ(count, 0);
  EXPECT_TRUE(types.empty() && names.empty());
  EXPECT_EQ(KelDMTovra::GetSetting("LINKTYPE", ""), "");
  std::string value;
  EXPECT_EQ(KelDMTovra::GetStringDec("LINKTYPE", value), 0);
  EXPECT_EQ(value, "not a directive");

  auto tables = KelPSNProfile::GetTables("ENV1", "$MML_GRAPH_NAVIG");
  ASSERT_EQ(tables.size(), 2u);
  EXPECT_EQ(tables[0].name, "TOVRA_MODEL");
  EXPECT_EQ(tables[0].columns, (std::vector<std::string>{"C_ID", "C_REVISION"}));
  EXPECT_EQ(tables[1].name, "DOCUMENT");
  EXPECT_TRUE(KelPSNProfile::GetTables("ENV1", "$BOM_NAVIG").empty());
  EXPECT_TRUE(KelPSNProfile::GetTables("ENV9", "$MML_GRAPH_NAVIG").empty());
}

TEST_F(ProfileTest, EnvironmentAndUserComeFromOptionThenVariableThenProfileOrLogin) {
  ScopedEnv env("MML_ENV", nullptr), user("MML_USER", nullptr);
  EXPECT_EQ(KelDMTovra::GetCurrentEnv(), "");
  EXPECT_FALSE(KelDMContext::CurrentUser().empty());  // the login name
  Use("ENVIRONMENT = FROM_PROFILE\n");
  EXPECT_EQ(KelDMTovra::GetCurrentEnv(), "FROM_PROFILE");
  setenv("MML_ENV", "FROM_VARIABLE", 1);
  setenv("MML_USER", "alice", 1);
  EXPECT_EQ(KelDMTovra::GetCurrentEnv(), "FROM_VARIABLE");
  EXPECT_EQ(KelDMContext::CurrentUser(), "alice");
  KelDMContext::SetOptions("FROM_OPTION", "bob");
  EXPECT_EQ(KelDMTovra::GetCurrentEnv(), "FROM_OPTION");
  EXPECT_EQ(KelDMContext::CurrentUser(), "bob");
}

TEST_F(ProfileTest, ExpandPathReplacesVariablesAndTheHomeDirectory) {
  ScopedEnv home("HOME", "/home/site");
  ScopedEnv dir("MML_SITE_DIR", "/opt/site");
  ScopedEnv unset("MML_SITE_UNSET", nullptr);
  const std::vector<std::pair<const char*, const char*>> cases = {
      {"${MML_SITE_DIR}_old/sync.sh", "/opt/site_old/sync.sh"},
      {"$MML_SITE_DIR_old/x", "/x"},  // the longest name is taken
      {"~/bin/sync.sh", "/home/site/bin/sync.sh"},
      {"/a/~/b", "/a/~/b"},
      {"~other/b", "~other/b"},
      {"/a/$MML_SITE_UNSET/b", "/a//b"},
      {"/cost$/1$", "/cost$/1$"},
      {"/a/${MML_SITE_DIR", "/a/${MML_SITE_DIR"},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(KelDMTools::ExpandPath(in), out) << in;
}

TEST_F(ProfileTest, TheFirstMatchingAccessRuleDecides) {
  KelDMInstance object("KELCON", "ENV1", "TOVRA_MODEL", "0000000000000001", "0000000000000002");
  EXPECT_EQ(object.CheckDataAccess("QOR", "BOM", "OpenRepresentation", 1), kel_ier::kAccessNoRule) << "no profile";
  Use("ACCESS bob QOR BOM OpenRepresentation DENY\n"
      "ACCESS * QOR BOM OpenRepresentation ALLOW\n"
      "ACCESS * QOR * ChangeModelUUID DENY\n"
      "ACCESS alice * * * ALLOW\n"
      "ACCESS carol QOR BOM * ALLOW\n");
  auto check = [&](const char* user, const char* process) {
    KelDMContext::SetOptions("", user);
    return object.CheckDataAccess("QOR", "BOM", process, 1);
  };
  EXPECT_EQ(check("bob", "OpenRepresentation"), kel_ier::kAccessDenied);
  EXPECT_EQ(check("alice", "OpenRepresentation"), 0);
  EXPECT_EQ(check("dave", "OpenRepresentation"), 0);
  EXPECT_EQ(check("alice", "ChangeModelUUID"), kel_ier::kAccessDenied) << "an earlier rule wins";
  EXPECT_EQ(check("alice", "OverwriteRepresentation"), 0);
  EXPECT_EQ(check("carol", "OverwriteRepresentation"), 0);
  EXPECT_EQ(check("dave", "OverwriteRepresentation"), kel_ier::kAccessNoRule);
  KelDMContext::SetOptions("", "dave");
  EXPECT_EQ(object.CheckDataAccess("QOR", "PART", "OpenRepresentation", 1), kel_ier::kAccessNoRule);
  EXPECT_EQ(object.CheckDataAccess("qor", "BOM", "OpenRepresentation", 1), kel_ier::kAccessNoRule)
      << "names are compared exactly";
}

// ---- The mml program ----

class ProfileCommandEngineTest : public EngineTest {};

TEST_P(ProfileCommandEngineTest, LinktypesAndReportPrintTheSettingsOfTheEnvironment) {
  db().Init({"ENV1:objects,links"});
  TempDir dir;
  const std::string profile = dir.File("site.profile");
  WriteFileText(profile,
                "ENVIRONMENT = ENV2\n"
                "KELZUMO.QOR.MML.TOVRA_V5 = TRUE\n"
                "KELZUMO.QOR.MML.SYNCHRONISE.TYPE.SOL = BATCH\n"
                "LINKTYPE ENV1 KELMMSOL MML_SOL\n"
                "LINKTYPE ENV1 KELV5CNC MML_V5_Connection\n"
                "LINKTYPE ENV1 KELMM MML_X\n"
                "LINKTYPE ENV2 KELMMDRW MML_DRW\n");
  MmlRun run = RunMml({"profile", "linktypes", "--profile", profile, "--db", db().Url(), "--env", "ENV1"});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out,
            "SOL\tMML_SOL\tKELMMSOL\tBATCH\n"
            "Connection\tMML_V5_Connection\tKELMMConnection\tTOVRA\n");
  EXPECT_EQ(run.err, "");

  run = RunMml({"profile", "report", "--profile", profile, "--db", db().Url()});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out.rfind("Declarative information:\n"
                          "  \"KELZUMO.QOR.MML.FILTER.BEST_REVISION\"        = \"FALSE\"\n",
                          0),
            0u)
      << run.out;
  EXPECT_NE(run.out.find("  \"KELZUMO.QOR.MML.TOVRA_V5\"                    = \"TRUE\"\n"), std::string::npos);
}

TEST_P(ProfileCommandEngineTest, LinktypesNeedsAnEnvironment) {
  TempDir dir;
  WriteFileText(dir.File("site.profile"), "LINKTYPE ENV1 KELMMSOL MML_SOL\n");
  MmlRun run =
      RunMml({"profile", "linktypes", "--profile", dir.File("site.profile"), "--db", db().Url()}, "", {"MML_ENV="});
  EXPECT_NE(run.exitCode, 0);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "mml: no current environment: use --env, set MML_ENV or the profile key ENVIRONMENT\n");
}

MML_INSTANTIATE_SQLITE(ProfileCommandEngineTest);

}  // namespace
