#include "linkdb/kel_lnk_api.h"
#include "base/kel_object_key.h"
#include "base/kel_text.h"
#include "base/mml_constants.h"

#include <algorithm>
#include <exception>
#include <iostream>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "foundation/kel_lnk_tools.h"
#include "host/db/kel_db_cursor.h"
#include "host/kel_dm_lnk_tools.h"
#include "host/kel_dm_session.h"
#include "host/kel_psn_trace.h"

namespace {

// Entities fetched per round trip and link rows per round trip, as the host
// cursors are told.
constexpr int kEntityFetch = 100;
constexpr int kUserFetch = 10;
constexpr int kLinkFetch = 1;

// The object where clause of the entity tables.
const char kObjectWhere[] = "OBJECT_KELAB = ? AND OBJECT_COID = ? AND OBJECT_COMPID = ?";
const char kLiveObjectWhere[] = "OBJECT_KELAB = ? AND OBJECT_COID = ? AND OBJECT_COMPID = ? AND UBIT IS NULL";
const char kLiveEntityWhere[] = "UBIT IS NULL AND ENTITY_ID_1=? AND ENTITY_ID_2=? AND ENTITY_KEY=?";
const char kFatherWhere[] = "$COMPNAME_FATHER = ? AND $COID = ? AND $COMPID_FATHER = ?";
const char kReferenceWhere[] = "$COID_REF = ? AND $COMPID_REF = ?";

// Flag bits of GetLinksBetween.
constexpr int kUpToDate = 1;
constexpr int kEntityLink = 2;

// ---- The module connection ----

struct ModuleConnection {
  std::unique_ptr<KelDbConnection> connection;
  uint64_t generation = 0;  // session generation it was made under
};

ModuleConnection& TheModuleConnection() {
  static ModuleConnection* module = new ModuleConnection();  // lives until the process ends
  return *module;
}

KelDbConnection* ModuleDb() { return TheModuleConnection().connection.get(); }

// ---- Texts ----

KelListValKelUnicodeString StrippedEnvironments(int kind) {
  KelListValKelUnicodeString list = KelDMLnkTools::ComputeRelationEnvironments(kind, nullptr);
  for (auto& name : list) name = StripBlanks(name);
  return list;
}

bool Holds(const KelListValKelUnicodeString& list, const KelUnicodeString& name) {
  return std::find(list.begin(), list.end(), name) != list.end();
}

// ---- The answer of the object queries ----

// The objects found, each once, in order of discovery.
class ObjectList {
 public:
  void Add(const KelUnicodeString& environment, const KelUnicodeString& table, const KelUnicodeString& coidHex,
           const KelUnicodeString& compidHex) {
    ObjectKey key{StripBlanks(environment), RightTrimBlanks(table), KelId::FromHexOrZero(coidHex),
                  KelId::FromHexOrZero(compidHex)};
    if (!seen_.insert(key).second) return;
    objects_.push_back(ObjID{key.coid, key.compid, key.environment, key.table});
  }

  // A new array of the objects (null when there is none).
  ObjID* Release(int& count) const {
    count = static_cast<int>(objects_.size());
    if (objects_.empty()) return nullptr;
    ObjID* array = new ObjID[objects_.size()];
    std::copy(objects_.begin(), objects_.end(), array);
    return array;
  }

 private:
  std::vector<ObjID> objects_;
  std::unordered_set<ObjectKey, ObjectKeyHash> seen_;
};

// ---- Cursors ----

// Binds the object's table, coid and compid to the three markers of an
// object where clause.
void BindObject(KelDbCursor& cursor, const KelUnicodeString& tableColumn, const KelUnicodeString& coidColumn,
                const KelUnicodeString& compidColumn, const ObjID& object) {
  cursor.SetWhereColumn(tableColumn, StripBlanks(object.table));
  cursor.SetWhereColumn(coidColumn, KelDbBinary(object.coid));
  cursor.SetWhereColumn(compidColumn, KelDbBinary(object.compid));
}

// Opens the cursor; a failing statement is traced and reads as no row.
bool OpenCursor(KelDbCursor& cursor, int fetchSize, KelPSNTrace& trace) {
  const int rc = cursor.Open(fetchSize);
  if (rc != 0 && trace.LevelIsActive()) trace.Write("SQL error " + std::to_string(rc) + ": " + cursor.LastError());
  return rc == 0;
}

// The three identifiers of one entity.
struct EntityIds {
  KelDbBinary id1;
  KelDbBinary id2;
  KelDbBinary key;
};

// The live entities of `table` ("MML_ENTITY" or "MML_LINK") in `environment`
// that belong to the object.
std::vector<EntityIds> LiveEntitiesOf(const KelUnicodeString& environment, const KelUnicodeString& table,
                                      const ObjID& object, KelPSNTrace& trace) {
  std::vector<EntityIds> out;
  KelDbCursor cursor(ModuleDb(), environment, table);
  cursor.SetWhereClause(kLiveObjectWhere);
  BindObject(cursor, "OBJECT_KELAB", "OBJECT_COID", "OBJECT_COMPID", object);
  cursor.SetOutputColumn("ENTITY_ID_1", KelDbType::kBinary);
  cursor.SetOutputColumn("ENTITY_ID_2", KelDbType::kBinary);
  cursor.SetOutputColumn("ENTITY_KEY", KelDbType::kBinary);
  if (OpenCursor(cursor, kEntityFetch, trace))
    while (cursor.Fetch()) out.push_back({cursor.GetBinary(1), cursor.GetBinary(2), cursor.GetBinary(3)});
  cursor.Close();
  return out;
}

// Adds the objects of the live rows of `table` in every environment of
// `environments` that carry one of `entities`.
void AddObjectsCarrying(const std::vector<EntityIds>& entities, const KelListValKelUnicodeString& environments,
                        const KelUnicodeString& table, ObjectList& found, KelPSNTrace& trace) {
  for (const auto& entity : entities) {
    for (const auto& env : environments) {
      KelDbCursor cursor(ModuleDb(), env, table);
      cursor.SetWhereClause(kLiveEntityWhere);
      cursor.SetWhereColumn("ENTITY_ID_1", entity.id1);
      cursor.SetWhereColumn("ENTITY_ID_2", entity.id2);
      cursor.SetWhereColumn("ENTITY_KEY", entity.key);
      cursor.SetOutputColumn("OBJECT_KELAB");
      cursor.SetOutputColumn("OBJECT_COID", KelDbType::kBinary);
      cursor.SetOutputColumn("OBJECT_COMPID", KelDbType::kBinary);
      if (OpenCursor(cursor, kUserFetch, trace))
        while (cursor.Fetch()) found.Add(env, cursor.GetText(1), cursor.GetHexaValue(2), cursor.GetHexaValue(3));
      cursor.Close();
    }
  }
}

// Whether a link's timestamp says it is up to date with its target's. An
// unknown timestamp on either side (NULL column, missing target) is not.
bool SameTimestamp(const KelUnicodeString& link, const KelUnicodeString& target) {
  return !link.empty() && !target.empty() && link == target;
}

// The query interface's error path: one line on standard error; the caller
// gets an empty answer.
void ReportConnectionFailure(int code, const char* text) {
  if (code == KelDbInternalError::kCannotConnect)
    std::cerr << "KelLnkAPI: cannot connect to the database (0x20003): " << text << std::endl;
  else
    std::cerr << "KelLnkAPI: the database connection failed: " << text << std::endl;
}

KelDMInstance HostInstance(const ObjID& object) {
  return KelDMInstance(kMmlKelcon, object.environment, object.table, object.coid, object.compid);
}

}  // namespace

void Connection() {
  MML_TRACE("Connection");
  ModuleConnection& module = TheModuleConnection();
  // A connection made for another session reads another database: drop it.
  if (module.connection && (!KelDMSession::IsOpen() || module.generation != KelDMSession::Generation()))
    module.connection.reset();
  if (module.connection) return;

  const uint64_t generation = KelDMSession::Generation();
  std::unique_ptr<KelDbConnection> connection;
  try {
    KelIQorPersistency_var persistency = GetPersistency();
    const std::string database = persistency ? persistency->GetDatabase("PRODUCT") : std::string();
    connection.reset(KelDbDatabase::GetConnection(database, "", ""));
    if (connection) connection->Open(nullptr);
  } catch (const KelDbInternalError& error) {
    ReportConnectionFailure(error.Code(), error.what());
    return;
  } catch (const std::exception& error) {
    ReportConnectionFailure(0, error.what());
    return;
  } catch (...) {
    ReportConnectionFailure(0, "unknown failure");
    return;
  }
  if (!connection) return;
  module.connection = std::move(connection);
  module.generation = generation;
}

ObjID* KelLnkAPI::GetImpactedBy(const ObjID& object, int& count, int) {
  MML_TRACE("KelLnkAPI::GetImpactedBy");
  ObjectList found;
  Connection();
  if (ModuleDb()) {
    const KelUnicodeString env = StripBlanks(object.environment);
    const KelListValKelUnicodeString entityEnvs = StrippedEnvironments(2);
    const KelListValKelUnicodeString linkEnvs = StrippedEnvironments(1);

    // Models that use one of the object's entities.
    if (Holds(entityEnvs, env))
      AddObjectsCarrying(LiveEntitiesOf(env, "MML_ENTITY", object, mmlFunctionTrace), entityEnvs, "MML_LINK", found,
                         mmlFunctionTrace);

    // Fathers of the link rows that reference the object, wherever they are.
    for (const auto& linkEnv : linkEnvs) {
      KelDbCursor cursor(ModuleDb(), linkEnv, "$EXT");
      cursor.SetWhereClause(kReferenceWhere);
      cursor.SetWhereColumn("$COID_REF", KelDbBinary(object.coid));
      cursor.SetWhereColumn("$COMPID_REF", KelDbBinary(object.compid));
      cursor.SetOutputColumn("$COMPNAME_FATHER");
      cursor.SetOutputColumn("$COID", KelDbType::kBinary);
      cursor.SetOutputColumn("$COMPID_FATHER", KelDbType::kBinary);
      if (OpenCursor(cursor, kLinkFetch, mmlFunctionTrace))
        while (cursor.Fetch()) found.Add(linkEnv, cursor.GetText(1), cursor.GetHexaValue(2), cursor.GetHexaValue(3));
      cursor.Close();
    }
  }
  return found.Release(count);
}

ObjID* KelLnkAPI::GetImpactingOn(const ObjID& object, int& count) {
  MML_TRACE("KelLnkAPI::GetImpactingOn");
  ObjectList found;
  Connection();
  if (ModuleDb()) {
    const KelUnicodeString env = StripBlanks(object.environment);
    const KelListValKelUnicodeString entityEnvs = StrippedEnvironments(2);
    const KelListValKelUnicodeString linkEnvs = StrippedEnvironments(1);

    // Owners of the entities the object uses.
    if (Holds(entityEnvs, env))
      AddObjectsCarrying(LiveEntitiesOf(env, "MML_LINK", object, mmlFunctionTrace), entityEnvs, "MML_ENTITY", found,
                         mmlFunctionTrace);

    // Objects the object's link rows reference ("$COMPNAME" is "<env>.<table>").
    if (Holds(linkEnvs, env)) {
      KelDbCursor cursor(ModuleDb(), env, "$EXT");
      cursor.SetWhereClause(kFatherWhere);
      BindObject(cursor, "$COMPNAME_FATHER", "$COID", "$COMPID_FATHER", object);
      cursor.SetOutputColumn("$COMPNAME");
      cursor.SetOutputColumn("$COID_REF", KelDbType::kBinary);
      cursor.SetOutputColumn("$COMPID_REF", KelDbType::kBinary);
      if (OpenCursor(cursor, kLinkFetch, mmlFunctionTrace)) {
        while (cursor.Fetch()) {
          const KelUnicodeString compname = cursor.GetText(1);
          const size_t dot = compname.find('.');
          if (dot == KelUnicodeString::npos) {
            // Names no object: skipped rather than answered with an empty table.
            if (mmlFunctionTrace.LevelIsActive()) mmlFunctionTrace.Write("bad $COMPNAME '" + compname + "'");
            continue;
          }
          found.Add(compname.substr(0, dot), compname.substr(dot + 1), cursor.GetHexaValue(2), cursor.GetHexaValue(3));
        }
      }
      cursor.Close();
    }
  }
  return found.Release(count);
}

int KelLnkAPI::GetLinksBetween(const ObjID& a, const ObjID& b, KelListValKelUnicodeString& types, KelRawCollint& flags,
                               int mode) {
  MML_TRACE("KelLnkAPI::GetLinksBetween");
  KelListValKelUnicodeString foundTypes;
  KelRawCollint foundFlags;
  Connection();
  if (ModuleDb()) {
    const KelUnicodeString envA = StripBlanks(a.environment);
    const KelUnicodeString envB = StripBlanks(b.environment);

    // Entity links: a's live uses of b's live entities.
    const KelListValKelUnicodeString entityEnvs = StrippedEnvironments(2);
    if (Holds(entityEnvs, envA) && Holds(entityEnvs, envB)) {
      // b's entities by their three identifiers (hexadecimal), with their timestamps.
      std::unordered_map<std::string, std::vector<KelUnicodeString>> entitiesOfB;
      KelDbCursor entities(ModuleDb(), envB, "MML_ENTITY");
      entities.SetWhereClause(kLiveObjectWhere);
      BindObject(entities, "OBJECT_KELAB", "OBJECT_COID", "OBJECT_COMPID", b);
      entities.SetOutputColumn("ENTITY_ID_1", KelDbType::kBinary);
      entities.SetOutputColumn("ENTITY_ID_2", KelDbType::kBinary);
      entities.SetOutputColumn("ENTITY_KEY", KelDbType::kBinary);
      entities.SetOutputColumn("TS", KelDbType::kTimestamp);
      if (OpenCursor(entities, kEntityFetch, mmlFunctionTrace))
        while (entities.Fetch())
          entitiesOfB[entities.GetHexaValue(1) + "/" + entities.GetHexaValue(2) + "/" + entities.GetHexaValue(3)]
              .push_back(ZeroTimestampFraction(entities.GetText(4)));
      entities.Close();

      if (!entitiesOfB.empty()) {
        KelDbCursor uses(ModuleDb(), envA, "MML_LINK");
        uses.SetWhereClause(kLiveObjectWhere);
        BindObject(uses, "OBJECT_KELAB", "OBJECT_COID", "OBJECT_COMPID", a);
        uses.SetOutputColumn("ENTITY_ID_1", KelDbType::kBinary);
        uses.SetOutputColumn("ENTITY_ID_2", KelDbType::kBinary);
        uses.SetOutputColumn("ENTITY_KEY", KelDbType::kBinary);
        uses.SetOutputColumn("TS", KelDbType::kTimestamp);
        uses.SetOutputColumn("TYPE");
        if (OpenCursor(uses, kEntityFetch, mmlFunctionTrace)) {
          while (uses.Fetch()) {
            auto it = entitiesOfB.find(uses.GetHexaValue(1) + "/" + uses.GetHexaValue(2) + "/" + uses.GetHexaValue(3));
            if (it == entitiesOfB.end()) continue;
            const KelUnicodeString ts = ZeroTimestampFraction(uses.GetText(4));
            for (const auto& entityTs : it->second) {
              foundTypes.push_back(uses.GetText(5));
              foundFlags.push_back(kEntityLink | (SameTimestamp(ts, entityTs) ? kUpToDate : 0));
            }
          }
        }
        uses.Close();
      }
    }

    // Model-to-model links: a's "$EXT" rows that reference b.
    if (Holds(StrippedEnvironments(1), envA)) {
      KelUnicodeString lastmod;
      KelDbCursor target(ModuleDb(), envB, StripBlanks(b.table));
      target.SetWhereClause("$COID = ? AND $COMPID = ?");
      target.SetWhereColumn("$COID", KelDbBinary(b.coid));
      target.SetWhereColumn("$COMPID", KelDbBinary(b.compid));
      target.SetOutputColumn("C_LASTMOD", KelDbType::kTimestamp);
      if (OpenCursor(target, kLinkFetch, mmlFunctionTrace) && target.Fetch())
        lastmod = ZeroTimestampFraction(target.GetText(1));
      target.Close();

      KelDbCursor rows(ModuleDb(), envA, "$EXT");
      rows.SetWhereClause(kFatherWhere);
      BindObject(rows, "$COMPNAME_FATHER", "$COID", "$COMPID_FATHER", a);
      rows.SetOutputColumn("C_MML_TS", KelDbType::kTimestamp);
      rows.SetOutputColumn("$COID_REF", KelDbType::kBinary);
      rows.SetOutputColumn("$COMPID_REF", KelDbType::kBinary);
      rows.SetOutputColumn("$TYPE");
      if (OpenCursor(rows, kLinkFetch, mmlFunctionTrace)) {
        while (rows.Fetch()) {
          if (rows.GetBinary(2).AsId() != b.coid || rows.GetBinary(3).AsId() != b.compid) continue;
          foundTypes.push_back(rows.GetText(4));
          foundFlags.push_back(SameTimestamp(ZeroTimestampFraction(rows.GetText(1)), lastmod) ? kUpToDate : 0);
        }
      }
      rows.Close();
    }
  }

  KelListValKelUnicodeString outTypes;
  KelRawCollint outFlags;
  switch (mode) {
    case 1:
      outTypes = std::move(foundTypes);
      outFlags = std::move(foundFlags);
      break;
    case 2: {
      std::unordered_map<KelUnicodeString, size_t> position;  // type -> entry
      for (size_t i = 0; i < foundTypes.size(); ++i) {
        const int upToDate = foundFlags[i] & kUpToDate;
        auto [it, inserted] = position.emplace(foundTypes[i], outTypes.size());
        if (inserted) {
          outTypes.push_back(foundTypes[i]);
          outFlags.push_back(upToDate);
        } else if (!upToDate) {
          outFlags[it->second] = 0;
        }
      }
      break;
    }
    case 3: {
      const bool all = std::all_of(foundFlags.begin(), foundFlags.end(), [](int f) { return (f & kUpToDate) != 0; });
      outTypes.push_back(KelUnicodeString());
      outFlags.push_back(all ? 1 : 0);
      break;
    }
    default:
      break;
  }
  types = std::move(outTypes);
  flags = std::move(outFlags);
  return -1;
}

int KelLnkAPI::GetEntityCount(const ObjID& object) {
  MML_TRACE("KelLnkAPI::GetEntityCount");
  Connection();
  if (!ModuleDb()) return 0;
  const KelUnicodeString env = StripBlanks(object.environment);
  if (!Holds(StrippedEnvironments(2), env)) return 0;
  KelDbCursor cursor(ModuleDb(), env, "MML_ENTITY");
  cursor.SetWhereClause(kObjectWhere);
  BindObject(cursor, "OBJECT_KELAB", "OBJECT_COID", "OBJECT_COMPID", object);
  int count = 0;
  if (OpenCursor(cursor, kEntityFetch, mmlFunctionTrace)) count = cursor.GetNumberOfRows();
  cursor.Close();
  return count;
}

int KelLnkAPI::DeleteLinks(const ObjID& object) {
  MML_TRACE("KelLnkAPI::DeleteLinks");
  return KelDMLnkTools::DeleteLinks(HostInstance(object));
}

int KelLnkAPI::DeleteEntities(const ObjID& object) {
  MML_TRACE("KelLnkAPI::DeleteEntities");
  return KelDMLnkTools::DeleteEntities(HostInstance(object));
}

int KelLnkAPI::IsPointedModel(const ObjID& object) {
  MML_TRACE("KelLnkAPI::IsPointedModel");
  return KelDMLnkTools::IsPointedModel(HostInstance(object));
}

int KelLnkAPI::IsPointedPart(const ObjID& object, KelUnicodeString& text) {
  MML_TRACE("KelLnkAPI::IsPointedPart");
  return KelDMLnkTools::IsPointedPart(HostInstance(object), text);
}

KelListValKelUnicodeString KelLnkAPI::ComputeRelationEnvironments(int kind, int filtered) {
  MML_TRACE("KelLnkAPI::ComputeRelationEnvironments");
  if (filtered == 0) return KelDMLnkTools::ComputeRelationEnvironments(kind, nullptr);
  const KelListValKelUnicodeString filter = KelLnkTools::GetListeFiltered();
  return KelDMLnkTools::ComputeRelationEnvironments(kind, &filter);
}
