// Small products for tests, written into a TestDatabase the way an
// administrator would, and the module's state around a test.
//
//   ModuleStateGuard module;                // windows closed, everything reset at the end
//   Product p(db());                        // environment E1
//   p.Model(1, "A", "2024-02-01 00:00:00.000000").Model(2, "B").Link(1, 2);
//   module.Configure("KELZUMO.QOR.MML.ENTITY_TO_ENTITY = TRUE\n");
//
// Object n of an environment has coid C0..0n and compid D0..0n; entity e has
// the identifiers A0..0e and B0..01, key B0..02.
#pragma once

#include <string>

#include "host/kel_dm_instance.h"
#include "support/test_database.h"

std::string CoidHex(int n);
std::string CompidHex(int n);
KelId CoidOf(int n);
// Model n of TOVRA_MODEL in `env`.
KelDMInstance Model(int n, const std::string& env = "E1");

inline constexpr char kDefaultDate[] = "2024-01-01 00:00:00.000000";
inline constexpr char kNullHex[] = "3030303030303030";

class Product {
 public:
  explicit Product(TestDatabase& db, std::string env = "E1") : db_(db), env_(std::move(env)) {}

  // Model n named `name` of `date`; `family` is an SQL literal.
  Product& Model(int n, const std::string& name, const std::string& date = kDefaultDate,
                 const std::string& revision = "1", const std::string& family = "NULL", int rank = 1);
  // A "$EXT" row held by model `father` pointing to model `child` of
  // `childEnv` (child 0: the null identifier); `ts` empty leaves C_MML_TS NULL.
  Product& Link(int father, int child, const std::string& type = "KELMMxyz", const std::string& ts = "",
                const std::string& status = "TOK", const std::string& childEnv = "");
  // Entity e published by model `owner`.
  Product& Entity(int owner, int e, const std::string& ts);
  // Model `user` uses entity e through a link of `type`.
  Product& Use(int user, int e, const std::string& type, const std::string& ts);

 private:
  TestDatabase& db_;
  std::string env_;
};

// Rows in host notation for fixtures that choose their own identifiers (16
// hexadecimal digits), tables and timestamps (null: NULL). An object's coid
// and compid are the same; an entity uses one value for its three ids.
namespace product_rows {
// Identifiers of objects and of entities.
inline constexpr char kA[] = "0000000000000A01", kA2[] = "0000000000000A02", kA3[] = "0000000000000A03",
                      kB[] = "0000000000000B01", kC[] = "0000000000000C01", kD[] = "0000000000000D01",
                      kX[] = "00000000000E0001", kY[] = "00000000000E0002", kZ[] = "00000000000E0003";
// An object row named "obj".
std::string ObjectRow(const std::string& env, const std::string& table, const char* id, const char* lastmod);
// A "$EXT" row `rowId` of `env`: father (fatherTable, father) references
// `ref` of `compname` ("<env>.<table>").
std::string ExtRow(const std::string& env, const std::string& rowId, const std::string& fatherTable, const char* father,
                   const std::string& compname, const char* ref, const std::string& type, const char* ts);
// `owner` of `table` publishes `entity`; `ubit` null leaves UBIT NULL.
std::string EntityRow(const std::string& env, const std::string& table, const char* owner, const char* entity,
                      const char* ts, const char* ubit = nullptr);
// `user` of `table` uses `entity` through a link of `type`.
std::string UseRow(const std::string& env, const std::string& table, const char* user, const char* entity,
                   const std::string& type, const char* ts, const char* ubit = nullptr);

// V5 rows of environment PRODUCT, where object n of E1.TOVRA_MODEL has coid
// HexId(n) and compid HexId(0x100 + n).
std::string HexId(int n);
// Link row `row` of `father` to element `uid`, recorded as pointing to object
// `ref` with the element date `stamp`; `path` and `root` (hexadecimal, of a
// PART_LIST) name a product instance.
std::string QorLink(int row, int father, const std::string& type, const std::string& uid, int ref,
                    const std::string& stamp, const std::string& path = "", const std::string& root = "");
// Element `uid` of object n, owned by element `owner`.
std::string QorEntity(const std::string& uid, const std::string& owner, int object);
std::string QorTs(const std::string& uid, const std::string& stamp);
}  // namespace product_rows

// Loads profiles into the module and, when it goes, closes the windows left
// open, empties every cache and forgets every setting, profile, window setting
// and resource directory.
class ModuleStateGuard {
 public:
  ModuleStateGuard();
  ~ModuleStateGuard();
  ModuleStateGuard(const ModuleStateGuard&) = delete;
  ModuleStateGuard& operator=(const ModuleStateGuard&) = delete;

  // Makes "ENVIRONMENT = E1", the identification of models and `keys` the
  // current profile, takes the settings again and empties the caches.
  void Configure(const std::string& keys = "");
  // Makes `text` the current profile and takes the settings again.
  void ConfigureProfile(const std::string& text);
  // Makes `text` the current profile as it stands, settings not yet taken.
  void UseProfile(const std::string& text);
  // Forgets everything read from the database.
  static void Refresh();
  // Points the resource catalogue at a directory holding `catalogue`.
  void UseResources(const std::string& catalogue);
  // Closes every graph window and product-structure navigator still open
  // (with the boxes they own) and deletes what waits for the idle time.
  static void CloseWindows();

 private:
  TempDir resources_;
};
