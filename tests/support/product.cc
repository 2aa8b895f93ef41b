#include "support/product.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "batch/kel_lnk_object_batch.h"
#include "batch/mml_module.h"
#include "foundation/kel_lnk_tools.h"
#include "graph/kel_lnk_object.h"
#include "host/kel_lnk_resources.h"
#include "host/profile/kel_dm_profile.h"
#include "linkdb/kel_lnk_data_manager.h"
#include "linkdb/kel_lnk_hybrid_manager.h"
#include "ui/kel_lnk_main_window.h"

namespace {

std::string Hex(const char* prefix, int n) {
  char buf[17];
  std::snprintf(buf, sizeof buf, "%s%014X", prefix, static_cast<unsigned>(n));
  return buf;
}

// Link rows are numbered across the whole run, so that any Product of a
// test adds rows of their own.
int linkRows = 0;

std::string TextOrNull(const std::string& text) { return text.empty() ? "NULL" : "'" + text + "'"; }

}  // namespace

std::string CoidHex(int n) { return Hex("C0", n); }
std::string CompidHex(int n) { return Hex("D0", n); }
KelId CoidOf(int n) { return KelId::FromHexOrZero(CoidHex(n)); }
KelId CompidOf(int n) { return KelId::FromHexOrZero(CompidHex(n)); }
KelDMInstance Model(int n, const std::string& env) {
  return KelDMInstance("KELCON", env, "TOVRA_MODEL", CoidHex(n), CompidHex(n));
}
std::string EntityUuid(int e) { return Hex("A0", e) + "B000000000000001"; }

Product& Product::Model(int n, const std::string& name, const std::string& date, const std::string& revision,
                        const std::string& family, int rank) {
  db_.Exec("INSERT INTO $VS_" + env_ +
           ".TOVRA_MODEL ($COID, $COMPID, C_ID, C_REVISION, C_LASTMOD, C_FAMILY, C_REVISION_RANK) VALUES (X'" +
           CoidHex(n) + "', X'" + CompidHex(n) + "', '" + name + "', '" + revision + "', '" + date + "', " + family +
           ", " + std::to_string(rank) + ");");
  return *this;
}

Product& Product::Link(int father, int child, const std::string& type, const std::string& ts, const std::string& status,
                       const std::string& childEnv) {
  const std::string coidRef = child ? CoidHex(child) : kNullHex;
  const std::string compidRef = child ? CompidHex(child) : kNullHex;
  db_.Exec("INSERT INTO $VS_" + env_ +
           ".$EXT ($COID, $COMPID, $COMPNAME_FATHER, $COMPID_FATHER, $COMPNAME, $COID_REF, $COMPID_REF, $TYPE, "
           "C_MML_TS, KELMML_STATUS) VALUES (X'" +
           CoidHex(father) + "', X'" + Hex("E0", ++linkRows) + "', 'TOVRA_MODEL', X'" + CompidHex(father) + "', '" +
           (childEnv.empty() ? env_ : childEnv) + ".TOVRA_MODEL', X'" + coidRef + "', X'" + compidRef + "', '" + type +
           "', " + TextOrNull(ts) + ", '" + status + "');");
  return *this;
}

Product& Product::Entity(int owner, int e, const std::string& ts) {
  db_.Exec("INSERT INTO $VS_" + env_ +
           ".MML_ENTITY (OBJECT_KELAB, OBJECT_COID, OBJECT_COMPID, ENTITY_ID_1, ENTITY_ID_2, ENTITY_KEY, TS, UBIT) "
           "VALUES ('TOVRA_MODEL', X'" +
           CoidHex(owner) + "', X'" + CompidHex(owner) + "', X'" + Hex("A0", e) +
           "', X'B000000000000001', X'B000000000000002', " + TextOrNull(ts) + ", NULL);");
  return *this;
}

Product& Product::Use(int user, int e, const std::string& type, const std::string& ts) {
  db_.Exec("INSERT INTO $VS_" + env_ +
           ".MML_LINK (OBJECT_KELAB, OBJECT_COID, OBJECT_COMPID, ENTITY_ID_1, ENTITY_ID_2, ENTITY_KEY, TS, TYPE, "
           "STATUS, UBIT) VALUES ('TOVRA_MODEL', X'" +
           CoidHex(user) + "', X'" + CompidHex(user) + "', X'" + Hex("A0", e) +
           "', X'B000000000000001', X'B000000000000002', " + TextOrNull(ts) + ", '" + type + "', 'TOK', NULL);");
  return *this;
}

ModuleStateGuard::ModuleStateGuard() { Refresh(); }

ModuleStateGuard::~ModuleStateGuard() {
  MmlModule::Reset();
  KelDMProfile::SetCurrent(nullptr);
  KelLnkMainWindow::ResetSettings();
  unsetenv("MML_RESOURCES");
  KelLnkResourceCatalogue::Reload();
}

void ModuleStateGuard::UseProfile(const std::string& text) {
  std::string error;
  auto profile = KelDMProfile::Parse(text, "test.profile", &error);
  ASSERT_TRUE(profile != nullptr) << error;
  KelDMProfile::SetCurrent(std::move(profile));
  KelLnkTools::ResetForTesting();
  KelLnkHybridManager::ResetForTest();
}

void ModuleStateGuard::Configure(const std::string& keys) {
  ConfigureProfile("ENVIRONMENT = E1\nIDENTIFICATION E1.TOVRA_MODEL C_ID C_REVISION\n" + keys);
}

void ModuleStateGuard::ConfigureProfile(const std::string& text) {
  UseProfile(text);
  KelLnkTools::Initialise();
  KelLnkHybridManager::CacheDeclarations();
  Refresh();
}

void ModuleStateGuard::Refresh() {
  KelLnkObject::Clean();
  KelLnkDataManager::Uncache();
  KelLnkHybridManager::Uncache();
}

void ModuleStateGuard::UseResources(const std::string& catalogue) {
  WriteFileText(resources_.File("KelLnkResource"), catalogue);
  setenv("MML_RESOURCES", resources_.Path().c_str(), 1);
  KelLnkResourceCatalogue::Reload();
}
