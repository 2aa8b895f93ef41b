// A small linked database and a profile for the graph window's tests:
// models M1 -> M2 -> M3 and M1 -> M4, links of type "KELMMxyz".
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "base/mml_constants.h"
#include "foundation/kel_lnk_tools.h"
#include "graph/kel_lnk_object.h"
#include "host/dlg/kel_command.h"
#include "host/dlg/kel_setting_repository.h"
#include "host/kel_lnk_resources.h"
#include "host/profile/kel_dm_profile.h"
#include "linkdb/kel_lnk_data_manager.h"
#include "linkdb/kel_lnk_hybrid_manager.h"
#include "support/test_database.h"

class WindowFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    db_ = std::make_unique<TestDatabase>(Engine());
    db_->Init({"E1:objects,links"});
    for (int n = 1; n <= 4; ++n) {
      db_->Exec(
          "INSERT INTO $VS_E1.TOVRA_MODEL ($COID, $COMPID, C_ID, C_REVISION, C_LASTMOD, C_REVISION_RANK) "
          "VALUES (X'" +
          Coid(n) + "', X'" + Compid(n) + "', 'M" + std::to_string(n) + "', '1', '2024-01-01 00:00:00.000000', 1);");
    }
    Link(1, 2);
    Link(2, 3);
    Link(1, 4);
    setenv("MML_CONFIG_DIR", config_.Path().c_str(), 1);
    KelSettingRepository::ForgetAll();
    setenv("MML_RESOURCES", resources_.Path().c_str(), 1);
    WriteFileText(resources_.File("KelLnkResource"), "MainWindow.Menu.Graph.Refresh.Title = Rafraichir\n");
    KelLnkResourceCatalogue::Reload();
    std::string error;
    auto profile = KelDMProfile::Parse(
        "ENVIRONMENT = E1\nIDENTIFICATION E1.TOVRA_MODEL C_ID C_REVISION\nLINKTYPE E1 KELMMxyz MML_xyz\n" +
            ProfileKeys(),
        "w.profile", &error);
    ASSERT_TRUE(profile != nullptr) << error;
    KelDMProfile::SetCurrent(std::move(profile));
    KelLnkTools::ResetForTesting();
    KelLnkTools::Initialise();
    KelLnkHybridManager::ResetForTest();
    KelLnkHybridManager::CacheDeclarations();
  }

  void TearDown() override {
    KelApplication::Get().RunIdle();
    KelLnkObject::Clean();
    KelLnkDataManager::Uncache();
    KelLnkHybridManager::Uncache();
    KelLnkTools::ResetForTesting();
    KelDMProfile::SetCurrent(nullptr);
    KelSettingRepository::ForgetAll();
    unsetenv("MML_CONFIG_DIR");
    unsetenv("MML_RESOURCES");
    KelLnkResourceCatalogue::Reload();
    db_.reset();
  }

  virtual std::string ProfileKeys() const { return ""; }
  virtual TestEngine Engine() const { return TestEngine::kSqlite; }

  static std::string Coid(int n) { return "C00000000000000" + std::to_string(n); }
  static std::string Compid(int n) { return "D00000000000000" + std::to_string(n); }
  static KelDMInstance Model(int n) { return KelDMInstance(kMmlKelcon, "E1", "TOVRA_MODEL", Coid(n), Compid(n)); }

  void Link(int father, int child) {
    db_->Exec(
        "INSERT INTO $VS_E1.$EXT ($COID, $COMPID, $COMPNAME_FATHER, $COMPID_FATHER, $COMPNAME, $COID_REF, "
        "$COMPID_REF, $TYPE, KELMML_STATUS) VALUES (X'" +
        Coid(father) + "', X'E00000000000000" + std::to_string(++links_) + "', 'TOVRA_MODEL', X'" + Compid(father) +
        "', 'E1.TOVRA_MODEL', X'" + Coid(child) + "', X'" + Compid(child) + "', 'KELMMxyz', 'TOK');");
  }

  std::unique_ptr<TestDatabase> db_;
  TempDir config_;
  TempDir resources_;
  int links_ = 0;
};
