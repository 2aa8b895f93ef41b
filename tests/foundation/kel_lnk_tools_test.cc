// The module's settings: reading the profile keys, the link-type table and
// its translations, the scripts and synchronise types, the debug switches and
// the re-check of the relation environments.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "foundation/kel_lnk_tools.h"
#include "host/profile/kel_dm_context.h"
#include "host/profile/kel_dm_profile.h"
#include "support/test_database.h"

namespace {

const char* const kDebugVariables[] = {"MML_DEBUG_CUSTOM", "MML_DEBUG_EXPAND", "MML_DEBUG_SELECT", "MML_DEBUG_MMLV5",
                                       "MML_PERFO"};

// Clean settings, profile, context and debug variables around each test.
class SettingsState {
 public:
  SettingsState() {
    Clean();
    KelDMContext::SetOptions("ENV1", "");
  }
  ~SettingsState() { Clean(); }

 private:
  static void Clean() {
    for (const char* variable : kDebugVariables) unsetenv(variable);
    KelLnkTools::ResetState();
    KelDMProfile::SetCurrent(nullptr);
    KelDMContext::SetOptions("", "");
  }
};

void UseProfile(const std::string& text) {
  std::string error;
  auto profile = KelDMProfile::Parse(text, "test.profile", &error);
  ASSERT_NE(profile, nullptr) << error;
  KelDMProfile::SetCurrent(std::move(profile));
}

class LnkToolsTest : public ::testing::Test {
 protected:
  SettingsState state_;
};

// ---- Declarative keys ----

TEST_F(LnkToolsTest, NothingIsReadBeforeInitialiseNorTwiceForTheSameEnvironment) {
  UseProfile("LINKTYPE ENV1 KELMMSOL MML_SOL\n");
  EXPECT_TRUE(KelLnkTools::GetLinktypes().empty());
  KelLnkTools::Initialise();
  EXPECT_EQ(KelLnkTools::GetLinktypes(), (KelListValKelUnicodeString{"SOL"}));
  UseProfile("KELZUMO.QOR.MML.FORCE_RECACHE = TRUE\nLINKTYPE ENV1 KELMMDRW MML_DRW\n");
  setenv("MML_PERFO", "", 1);
  KelLnkTools::Initialise();
  EXPECT_EQ(KelLnkTools::IsForceRecache(), 0);
  EXPECT_EQ(KelLnkTools::DbgPerfo(), 0);
  EXPECT_EQ(KelLnkTools::GetLinktypes(), (KelListValKelUnicodeString{"SOL"}));
}

TEST_F(LnkToolsTest, DependentKeysAreReadOnlyUnderTheirSwitch) {
  UseProfile(
      "KELZUMO.QOR.MML.FILTER.MATURITY = FALSE\n"
      "KELZUMO.QOR.MML.FILTER.MATURITY.MIN_INDEX = 4\n"
      "KELZUMO.QOR.MML.FILTER.MATURITY.NULL_ALLOWED = TRUE\n"
      "KELZUMO.QOR.MML.TOVRA_V5 = FALSE\n"
      "KELZUMO.QOR.MML.TOVRA_V5_RELEASE_VALIDITY = TRUE\n"
      "KELZUMO.QOR.MML.TOVRA_V5_OPEN_ORDER = TRUE\n"
      "KELZUMO.QOR.MML.TOVRA_V5_NEW_CODE_MML = TRUE\n"
      "KELZUMO.QOR.MML.TOVRA_V5_SOLVE_IN_MML = TRUE\n");
  KelLnkTools::Initialise();
  EXPECT_EQ((std::vector<int>{KelLnkTools::IsFilterMaturity(), KelLnkTools::GetFilterMaturityMin(),
                              KelLnkTools::IsFilterMaturityNullOK(), KelLnkTools::IsTOVRAV5True(),
                              KelLnkTools::IsReleaseValid(), KelLnkTools::IsOrderedOpen(), KelLnkTools::IsV5NewCode()}),
            std::vector<int>(7, 0));
  EXPECT_EQ(KelLnkTools::SolveV5InGraph(), 0);
}

TEST_F(LnkToolsTest, FlagsAndSwitchesSurviveAReinitialisationForAnotherEnvironment) {
  UseProfile(
      "KELZUMO.QOR.MML.FORCE_RECACHE = TRUE\n"
      "KELZUMO.QOR.MML.FILTER.MATURITY = TRUE\n"
      "KELZUMO.QOR.MML.FILTER.MATURITY.MIN_INDEX = 7\n"
      "KELZUMO.QOR.MML.IMPACTED_ON_SYNC = TRUE\n"
      "LINKTYPE ENV1 KELMMSOL MML_SOL\n"
      "LINKTYPE ENV2 KELMMDRW MML_DRW\n");
  setenv("MML_DEBUG_CUSTOM", "0", 1);  // set at all: on
  KelLnkTools::Initialise();
  ASSERT_EQ(KelLnkTools::IsForceRecache(), 1);
  ASSERT_EQ(KelLnkTools::DbgCustom(), 1);

  UseProfile(
      "KELZUMO.QOR.MML.FORCE_RECACHE = FALSE\n"
      "KELZUMO.QOR.MML.FILTER.MATURITY = FALSE\n"
      "KELZUMO.QOR.MML.FILTER.MATURITY.MIN_INDEX = 1\n"
      "KELZUMO.QOR.MML.IMPACTED_ON_SYNC = FALSE\n"
      "LINKTYPE ENV1 KELMMSOL MML_SOL\n"
      "LINKTYPE ENV2 KELMMDRW MML_DRW\n");
  unsetenv("MML_DEBUG_CUSTOM");
  KelDMContext::SetOptions("ENV2", "");
  KelLnkTools::Initialise();
  EXPECT_EQ(KelLnkTools::IsForceRecache(), 1);
  EXPECT_EQ(KelLnkTools::IsFilterMaturity(), 1);
  EXPECT_EQ(KelLnkTools::GetFilterMaturityMin(), 1) << "read again under the raised maturity switch";
  EXPECT_EQ(KelLnkTools::DbgCustom(), 1);
  EXPECT_EQ(KelLnkTools::IsImpactsOnSupported(), 0) << "taken as read";
  EXPECT_EQ(KelLnkTools::GetLinktypes(), (KelListValKelUnicodeString{"DRW"})) << "the table is rebuilt";
}

// ---- Link-type table ----

const char kDeclaredLinkTypes[] =
    "LINKTYPE ENV1 KELMMSOL MML_SOL\n"
    "LINKTYPE ENV1 KELMM MML_a\n"         // type too short
    "LINKTYPE ENV1 KELMMab MML_\n"        // name too short
    "LINKTYPE ENV1 KELMMxyz OTHER_xyz\n"  // name without MML_
    "LINKTYPE ENV1 kelmmFEM MML_FEM\n"    // prefixes are case-sensitive
    "LINKTYPE ENV1 KELV5PRT MML_V5_PRT\n"
    "LINKTYPE ENV1 KELV5CNC MML_V5_Connection\n"
    "LINKTYPE ENV1 KELV5X MML_V5_\n"    // V5 name too short
    "LINKTYPE ENV1 KELV5 MML_V5_abc\n"  // V5 type too short
    "LINKTYPE ENV1 KELV5KIN MML_KIN\n"  // V5 name without MML_V5_
    "LINKTYPE ENV1 KELMMDRW MML_DRW\n"
    "LINKTYPE ENV2 KELMMNC MML_NC\n";

TEST_F(LnkToolsTest, DeclaredPairsBecomeLinkTypesByTheirPrefixesAndV5OnesUnderTheV5Switch) {
  for (bool v5 : {false, true}) {
    KelLnkTools::ResetState();
    KelDMContext::SetOptions("ENV1", "");
    UseProfile(std::string(kDeclaredLinkTypes) + (v5 ? "KELZUMO.QOR.MML.TOVRA_V5 = TRUE\n" : ""));
    KelLnkTools::Initialise();
    if (v5) {
      EXPECT_EQ(KelLnkTools::GetLinknames(),
                (KelListValKelUnicodeString{"MML_SOL", "MML_V5_PRT", "MML_V5_Connection", "MML_DRW"}));
      EXPECT_EQ(KelLnkTools::GetConnexionStr(), "Connection");
    } else {
      EXPECT_EQ(KelLnkTools::GetLinktypes(), (KelListValKelUnicodeString{"SOL", "DRW"}));
      EXPECT_EQ(KelLnkTools::GetLinknames(), (KelListValKelUnicodeString{"MML_SOL", "MML_DRW"}));
      EXPECT_EQ(KelLnkTools::GetConnexionStr(), "");
    }
  }
}

TEST_F(LnkToolsTest, TranslationsBetweenTypesNamesAndLabels) {
  UseProfile("LINKTYPE ENV1 KELMMSOL MML_SOL\nLINKTYPE ENV1 KELMMDRW MML_DRW\n");
  KelLnkTools::Initialise();
  const std::vector<std::pair<const char*, const char*>>
      names = {{"SOL", "MML_SOL"}, {"abc", "KELMMabc"}},
      labels = {{"SOL", "KELMMSOL"}, {"KELPart", "V5_KELPart"}, {"KE", "KELMMKE"}, {"%", "KELMM_%"}},
      back = {{"KELMMabc", "abc"}, {"V5_abc", "abc"}, {"abc", "abc"}, {"KELMM", ""}};
  for (const auto& [type, name] : names) EXPECT_EQ(KelLnkTools::LinktypeToLinkname(type), name);
  for (const auto& [type, label] : labels) EXPECT_EQ(KelLnkTools::LinktypeToLinklabel(type), label);
  for (const auto& [label, type] : back) EXPECT_EQ(KelLnkTools::LinklabelToLinktype(label), type);

  KelLnkTools::ResetLinkName("Solid", "MML_SOL");
  KelLnkTools::ResetLinkName("Other", "MML_NONE");
  EXPECT_EQ(KelLnkTools::GetLinknames(), (KelListValKelUnicodeString{"Solid", "MML_DRW"}));
}

// ---- Scripts and synchronise types ----

TEST_F(LnkToolsTest, ScriptsAreExpandedAndEmptiedWhenUnreadable) {
  TempDir dir;
  WriteFileText(dir.File("sync.sh"), "#!/bin/sh\n");
  setenv("MML_TEST_SITE_DIR", dir.Path().c_str(), 1);
  UseProfile(
      "KELZUMO.QOR.MML.SYNCHRONISE.SCRIPT = ${MML_TEST_SITE_DIR}/sync.sh\n"
      "KELZUMO.QOR.MML.MIGRATE.SCRIPT = $MML_TEST_SITE_DIR/migrate.sh\n");
  KelLnkTools::Initialise();
  EXPECT_EQ(KelLnkTools::GetSynchroniseScript(), dir.File("sync.sh"));
  EXPECT_EQ(KelLnkTools::GetMigrationScript(), "") << "a missing file gives no script";

  KelLnkTools::ResetState();
  KelDMContext::SetOptions("ENV1", "");
  UseProfile("KELZUMO.QOR.MML.MIGRATE.SCRIPT = $MML_TEST_SITE_DIR\n");
  KelLnkTools::Initialise();
  EXPECT_EQ(KelLnkTools::GetMigrationScript(), "") << "a directory is not a script";
  unsetenv("MML_TEST_SITE_DIR");
}

TEST_F(LnkToolsTest, SynchroniseTypesFollowTheLinkTypes) {
  UseProfile(
      "LINKTYPE ENV1 KELMMSOL MML_SOL\n"
      "LINKTYPE ENV1 KELMMDRW MML_DRW\n"
      "KELZUMO.QOR.MML.SYNCHRONISE.TYPE.SOL = BATCH\n"
      "KELZUMO.QOR.MML.SYNCHRONISE.TYPE.FEM = BATCH\n");
  KelLnkTools::Initialise();
  EXPECT_EQ(KelLnkTools::GetSynchroniseTypes(), (KelListValKelUnicodeString{"BATCH", "TOVRA"}));

  testing::internal::CaptureStdout();
  EXPECT_EQ(KelLnkTools::GetSynchroniseType("SOL"), "BATCH");
  EXPECT_EQ(KelLnkTools::GetSynchroniseType("DRW"), "TOVRA");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");

  testing::internal::CaptureStdout();
  EXPECT_EQ(KelLnkTools::GetSynchroniseType("FEM"), "TOVRA");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "WARNING : MML type FEM not declared in the profile.\n");
}

// ---- Relation environments ----

class LnkToolsEnvironmentTest : public EngineTest {
 protected:
  SettingsState state_;
};

TEST_P(LnkToolsEnvironmentTest, AReinitialisationChecksTheEnvironmentsOfTheResultPanel) {
  db().Init({"E1:objects,links", "E2:links", "E3:objects"});
  KelListValKelUnicodeString panel = {" E2 ", "E1"};
  KelLnkTools::SetResultPanelProvider([&panel] { return panel; });
  KelLnkTools::Initialise();
  EXPECT_EQ(KelLnkTools::GetRelationEnvironments(), (KelListValKelUnicodeString{"E1", "E2"}));
  EXPECT_EQ(KelLnkTools::IsEnvCheck(), 0) << "the first reading checks nothing";

  KelLnkTools::Initialise();
  EXPECT_EQ(KelLnkTools::IsEnvCheck(), 0) << "the same panel again";
  panel = {"E1", "E3"};
  KelLnkTools::Initialise();
  EXPECT_EQ(KelLnkTools::IsEnvCheck(), 1) << "E2 is missing from the panel";
  panel = {"E1", "E2"};
  KelLnkTools::Initialise();
  EXPECT_EQ(KelLnkTools::IsEnvCheck(), 1) << "once out of step, stays so";
  EXPECT_EQ(KelLnkTools::GetRelationEnvironments(), (KelListValKelUnicodeString{"E1", "E2"}));
}

TEST_P(LnkToolsEnvironmentTest, EntityEnvironmentsCountInEntityMode) {
  db().Init({"E1:objects,links", "E2:objects,entities"});
  UseProfile("KELZUMO.QOR.MML.ENTITY_TO_ENTITY = TRUE\n");
  KelListValKelUnicodeString panel = {"E1", "E2"};
  KelLnkTools::SetResultPanelProvider([&panel] { return panel; });
  KelLnkTools::Initialise();
  KelLnkTools::Initialise();
  EXPECT_EQ(KelLnkTools::IsEnvCheck(), 0);
  panel = {"E1", "E9"};
  KelLnkTools::Initialise();
  EXPECT_EQ(KelLnkTools::IsEnvCheck(), 1) << "the entity environment E2 is missing";
}

MML_INSTANTIATE_SQLITE(LnkToolsEnvironmentTest);

}  // namespace
