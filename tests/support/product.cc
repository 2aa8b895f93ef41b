#include "support/product.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "batch/kel_lnk_object_batch.h"
#include "batch/mml_module.h"
#include "foundation/kel_lnk_tools.h"
#include "graph/kel_lnk_object.h"
#include "host/db/host_sql.h"
#include "host/dlg/kel_command.h"
#include "host/kel_lnk_resources.h"
#include "host/profile/kel_dm_profile.h"
#include "linkdb/kel_lnk_data_manager.h"
#include "linkdb/kel_lnk_hybrid_manager.h"
#include "ui/kel_lnk_main_window.h"
#include "ui/kel_lnk_window_view.h"
#include "ui/kel_psn_window.h"

namespace {

std::string Hex(const char* prefix, int n) {
  char buf[17];
  std::snprintf(buf, sizeof buf, "%s%014X", prefix, static_cast<unsigned>(n));
  return buf;
}

// Deletes the open windows of class Window, the last opened first.
template <class Window>
void CloseEvery() {
  for (;;) {
    const auto& open = KelDlgObject::TopLevels();
    auto last = std::find_if(open.rbegin(), open.rend(), [](KelDlgObject* o) { return dynamic_cast<Window*>(o); });
    if (last == open.rend()) return;
    delete *last;
  }
}

// Link rows are numbered across the whole run, so that any Product of a
// test adds rows of their own.
int linkRows = 0;

std::string TextOrNull(const std::string& text) { return text.empty() ? "NULL" : "'" + text + "'"; }

}  // namespace

std::string CoidHex(int n) { return Hex("C0", n); }
std::string CompidHex(int n) { return Hex("D0", n); }
KelId CoidOf(int n) { return KelId::FromHexOrZero(CoidHex(n)); }
KelDMInstance Model(int n, const std::string& env) {
  return KelDMInstance("KELCON", env, "TOVRA_MODEL", CoidHex(n), CompidHex(n));
}

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

namespace product_rows {

namespace {
std::string TextOrNull(const char* s) { return s ? QuoteSqlText(s) : "NULL"; }
}  // namespace

std::string ObjectRow(const std::string& env, const std::string& table, const char* id, const char* lastmod) {
  return "INSERT INTO $VS_" + env + "." + table + " ($COID, $COMPID, C_ID, C_LASTMOD) VALUES (X'" + id + "', X'" + id +
         "', 'obj', " + TextOrNull(lastmod) + ");";
}

std::string ExtRow(const std::string& env, const std::string& rowId, const std::string& fatherTable, const char* father,
                   const std::string& compname, const char* ref, const std::string& type, const char* ts) {
  return "INSERT INTO $VS_" + env +
         ".$EXT ($COID, $COMPID, $COMPNAME_FATHER, $COMPID_FATHER, $COMPNAME, $COID_REF, $COMPID_REF, $TYPE, "
         "C_MML_TS) VALUES (X'" +
         father + "', X'" + rowId + "', " + QuoteSqlText(fatherTable) + ", X'" + father + "', " +
         QuoteSqlText(compname) + ", X'" + ref + "', X'" + ref + "', " + QuoteSqlText(type) + ", " + TextOrNull(ts) +
         ");";
}

std::string EntityRow(const std::string& env, const std::string& table, const char* owner, const char* entity,
                      const char* ts, const char* ubit) {
  return "INSERT INTO $VS_" + env +
         ".MML_ENTITY (OBJECT_KELAB, OBJECT_COID, OBJECT_COMPID, ENTITY_ID_1, ENTITY_ID_2, ENTITY_KEY, TS, UBIT) "
         "VALUES (" +
         QuoteSqlText(table) + ", X'" + owner + "', X'" + owner + "', X'" + entity + "', X'" + entity + "', X'" +
         entity + "', " + TextOrNull(ts) + ", " + (ubit ? ubit : "NULL") + ");";
}

std::string UseRow(const std::string& env, const std::string& table, const char* user, const char* entity,
                   const std::string& type, const char* ts, const char* ubit) {
  return "INSERT INTO $VS_" + env +
         ".MML_LINK (OBJECT_KELAB, OBJECT_COID, OBJECT_COMPID, ENTITY_ID_1, ENTITY_ID_2, ENTITY_KEY, TS, TYPE, "
         "UBIT) VALUES (" +
         QuoteSqlText(table) + ", X'" + user + "', X'" + user + "', X'" + entity + "', X'" + entity + "', X'" + entity +
         "', " + TextOrNull(ts) + ", " + QuoteSqlText(type) + ", " + (ubit ? ubit : "NULL") + ");";
}

std::string HexId(int n) { return Hex("00", n); }

std::string QorLink(int row, int father, const std::string& type, const std::string& uid, int ref,
                    const std::string& stamp, const std::string& path, const std::string& root) {
  return "INSERT INTO $VS_PRODUCT.QOR_LINK ($COID, $COMPID, $COMPNAME_FATHER, $COMPID_FATHER, $TYPE, $UID_PTD, "
         "$OID_PTD, $COMPNAME_PTD_REF, $COID_PTD_REF, $COMPID_PTD_REF, $COMPNAME_PTD_ROOT, $COID_PTD_ROOT, "
         "$TIMESTAMP_PTD, C_MML_TS) VALUES (X'" +
         HexId(father) + "', X'" + HexId(0x7000 + row) + "', 'E1.TOVRA_MODEL', X'" + HexId(0x100 + father) + "', " +
         QuoteSqlText(type) + ", " + QuoteSqlText(uid) + ", " + (path.empty() ? "NULL" : QuoteSqlText(path)) +
         ", 'E1.TOVRA_MODEL', X'" + HexId(ref) + "', X'" + HexId(0x100 + ref) + "', " +
         (root.empty() ? "NULL, NULL" : "'E1.PART_LIST', X'" + root + "'") + ", " + QuoteSqlText(stamp) +
         ", '2024-05-05 05:05:05.555555');\n";
}

std::string QorEntity(const std::string& uid, const std::string& owner, int object) {
  return "INSERT INTO $VS_PRODUCT.QOR_ENTITY ($UID, $OWNER_UID, $COMPNAME, $COID, $COMPID) VALUES (" +
         QuoteSqlText(uid) + ", " + QuoteSqlText(owner) + ", 'E1.TOVRA_MODEL', X'" + HexId(object) + "', X'" +
         HexId(0x100 + object) + "');\n";
}

std::string QorTs(const std::string& uid, const std::string& stamp) {
  return "INSERT INTO $VS_PRODUCT.QOR_TS ($UID_PTD, $TIMESTAMP_PTD) VALUES (" + QuoteSqlText(uid) + ", " +
         QuoteSqlText(stamp) + ");\n";
}

}  // namespace product_rows

ModuleStateGuard::ModuleStateGuard() { Refresh(); }

ModuleStateGuard::~ModuleStateGuard() {
  CloseWindows();
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
  MmlModule::Reset();
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
  MmlModule::ClearCaches();
}

void ModuleStateGuard::CloseWindows() {
  // Graph windows first: a navigator that goes tells the graph windows opened
  // from it.
  CloseEvery<KelLnkWindowView>();
  CloseEvery<KelPSNWindow>();
  for (int k = 0; k < 8 && KelApplication::Get().PendingDestructions() > 0; ++k) KelApplication::Get().RunIdle();
}

void ModuleStateGuard::UseResources(const std::string& catalogue) {
  WriteFileText(resources_.File("KelLnkResource"), catalogue);
  setenv("MML_RESOURCES", resources_.Path().c_str(), 1);
  KelLnkResourceCatalogue::Reload();
}
