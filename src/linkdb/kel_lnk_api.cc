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
#include "host/kel_dm_link_rows.h"
#include "host/kel_dm_lnk_tools.h"
#include "host/kel_dm_session.h"
#include "host/kel_psn_trace.h"

namespace {

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
  void Add(const KelUnicodeString& environment, const KelUnicodeString& table, const KelId& coid, const KelId& compid) {
    ObjectKey key{StripBlanks(environment), RightTrimBlanks(table), coid, compid};
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

// ---- Reads ----

// A failing statement is traced and reads as no row.
bool Read(int rc, KelPSNTrace& trace) {
  if (rc != 0 && trace.LevelIsActive())
    trace.Write("SQL error " + std::to_string(rc) + ": " + (ModuleDb() ? ModuleDb()->LastError() : std::string()));
  return rc == 0;
}

// The live rows of the side's table in `environment` that belong to the object.
std::vector<KelDMEntityRow> LiveEntitiesOf(const KelUnicodeString& environment, KelDMEntitySide side,
                                           const ObjID& object, KelPSNTrace& trace) {
  std::vector<KelDMEntityRow> rows;
  Read(KelDMLinkRows::EntitiesOf(ModuleDb(), environment, side, StripBlanks(object.table), object.coid, object.compid,
                                 true, &rows),
       trace);
  return rows;
}

// Adds the objects of the live rows of the side's table, in every
// environment of `environments`, that carry one of `entities`.
void AddObjectsCarrying(const std::vector<KelDMEntityRow>& entities, const KelListValKelUnicodeString& environments,
                        KelDMEntitySide side, ObjectList& found, KelPSNTrace& trace) {
  std::vector<KelDMEntityRow> holders;
  for (const auto& entity : entities) {
    for (const auto& env : environments) {
      if (!Read(KelDMLinkRows::Holders(ModuleDb(), env, side, entity.ids, &holders), trace)) continue;
      for (const KelDMEntityRow& h : holders) found.Add(env, h.table, h.coid, h.compid);
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

namespace {

// The objects one step from `object`: with `impactedBy`, the users of its
// entities and the holders of the "$EXT" rows that point to it, wherever they
// are; else the owners of the entities it uses and the objects its "$EXT" rows
// point to.
ObjID* Neighbours(const ObjID& object, int& count, bool impactedBy, KelPSNTrace& trace) {
  ObjectList found;
  Connection();
  if (ModuleDb()) {
    const KelUnicodeString env = StripBlanks(object.environment);
    const KelListValKelUnicodeString entityEnvs = StrippedEnvironments(2);
    const KelListValKelUnicodeString linkEnvs = StrippedEnvironments(1);
    const KelDMEntitySide near = impactedBy ? KelDMEntitySide::kOwned : KelDMEntitySide::kUsed;
    const KelDMEntitySide far = impactedBy ? KelDMEntitySide::kUsed : KelDMEntitySide::kOwned;

    if (Holds(entityEnvs, env))
      AddObjectsCarrying(LiveEntitiesOf(env, near, object, trace), entityEnvs, far, found, trace);

    if (impactedBy) {
      std::vector<KelDMExtRow> rows;
      for (const auto& linkEnv : linkEnvs) {
        if (!Read(KelDMLinkRows::ExtTo(ModuleDb(), linkEnv, object.coid, object.compid, KelUnicodeString(), &rows),
                  trace))
          continue;
        for (const KelDMExtRow& row : rows) found.Add(linkEnv, row.fatherTable, row.coid, row.compidFather);
      }
    } else if (Holds(linkEnvs, env)) {
      // "$COMPNAME" is "<env>.<table>".
      std::vector<KelDMExtRow> rows;
      if (Read(KelDMLinkRows::ExtFrom(ModuleDb(), env, StripBlanks(object.table), object.coid, object.compid,
                                      KelUnicodeString(), &rows),
               trace)) {
        for (const KelDMExtRow& row : rows) {
          const size_t dot = row.compname.find('.');
          if (dot == KelUnicodeString::npos) {
            // Names no object: skipped rather than answered with an empty table.
            if (trace.LevelIsActive()) trace.Write("bad $COMPNAME '" + row.compname + "'");
            continue;
          }
          found.Add(row.compname.substr(0, dot), row.compname.substr(dot + 1), row.coidRef, row.compidRef);
        }
      }
    }
  }
  return found.Release(count);
}

}  // namespace

ObjID* KelLnkAPI::GetImpactedBy(const ObjID& object, int& count, int) {
  MML_TRACE("KelLnkAPI::GetImpactedBy");
  return Neighbours(object, count, true, mmlFunctionTrace);
}

ObjID* KelLnkAPI::GetImpactingOn(const ObjID& object, int& count) {
  MML_TRACE("KelLnkAPI::GetImpactingOn");
  return Neighbours(object, count, false, mmlFunctionTrace);
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
      auto idsKey = [](const KelDMEntityIds& ids) { return ids.id1.Hex() + "/" + ids.id2.Hex() + "/" + ids.key.Hex(); };
      for (const KelDMEntityRow& entity : LiveEntitiesOf(envB, KelDMEntitySide::kOwned, b, mmlFunctionTrace))
        entitiesOfB[idsKey(entity.ids)].push_back(ZeroTimestampFraction(entity.timestamp));

      if (!entitiesOfB.empty()) {
        for (const KelDMEntityRow& use : LiveEntitiesOf(envA, KelDMEntitySide::kUsed, a, mmlFunctionTrace)) {
          auto it = entitiesOfB.find(idsKey(use.ids));
          if (it == entitiesOfB.end()) continue;
          const KelUnicodeString ts = ZeroTimestampFraction(use.timestamp);
          for (const auto& entityTs : it->second) {
            foundTypes.push_back(use.type);
            foundFlags.push_back(kEntityLink | (SameTimestamp(ts, entityTs) ? kUpToDate : 0));
          }
        }
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
      if (Read(target.Open(1), mmlFunctionTrace) && target.Fetch()) lastmod = ZeroTimestampFraction(target.GetText(1));
      target.Close();

      std::vector<KelDMExtRow> rows;
      if (Read(KelDMLinkRows::ExtFrom(ModuleDb(), envA, StripBlanks(a.table), a.coid, a.compid, KelUnicodeString(),
                                      &rows),
               mmlFunctionTrace)) {
        for (const KelDMExtRow& row : rows) {
          if (row.coidRef != b.coid || row.compidRef != b.compid) continue;
          foundTypes.push_back(row.type);
          foundFlags.push_back(SameTimestamp(ZeroTimestampFraction(row.timestamp), lastmod) ? kUpToDate : 0);
        }
      }
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
  std::vector<KelDMEntityRow> rows;
  if (!Read(KelDMLinkRows::EntitiesOf(ModuleDb(), env, KelDMEntitySide::kOwned, StripBlanks(object.table), object.coid,
                                      object.compid, false, &rows),
            mmlFunctionTrace))
    return 0;
  return static_cast<int>(rows.size());
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
