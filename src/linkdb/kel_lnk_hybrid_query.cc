// The children and parents queries over the model-to-model link tables and
// the entity tables, and the ordering of their answers.
#include <algorithm>
#include <array>
#include <numeric>
#include <optional>
#include "base/kel_text.h"
#include "base/mml_constants.h"

#include "foundation/kel_lnk_tools.h"
#include "foundation/zor_trace.h"
#include "host/db/host_sql.h"
#include "host/kel_dm_lnk_tools.h"
#include "host/kel_psn_trace.h"
#include "linkdb/kel_lnk_api.h"
#include "linkdb/kel_lnk_data_manager.h"
#include "linkdb/kel_lnk_hybrid_manager.h"
#include "linkdb/kel_lnk_hybrid_read_ahead.h"
#include "linkdb/kel_lnk_query_context.h"

namespace {

using Names = KelLnkHybridManager::Names;

KelListValKelUnicodeString StrippedList(const KelListValKelUnicodeString& list) {
  KelListValKelUnicodeString out;
  out.reserve(list.size());
  for (const auto& name : list) out.push_back(StripBlanks(name));
  return out;
}

// The relation environments of a kind (KelDMLnkTools), blanks stripped; the
// stripped copy is made again only when the catalogue's list changes, as a
// walk asks for it once per object and direction.
const KelListValKelUnicodeString& StrippedEnvironments(int kind) {
  struct Kept {
    KelListValKelUnicodeString source;
    KelListValKelUnicodeString stripped;
  };
  static std::array<Kept, 2> kept;
  const KelListValKelUnicodeString& source = KelDMLnkTools::RelationEnvironments(kind);
  Kept& k = kept[kind == 1 ? 0 : 1];
  if (k.source != source) {
    k.source = source;
    k.stripped = StrippedList(source);
  }
  return k.stripped;
}

// The "$TYPE LIKE 'KELMM...'" condition: every type, or the window's. Made
// again only when the pattern changes: a walk asks for it at every object.
const KelUnicodeString& TypeCondition(KelLnkQueryContext* window) {
  static const KelUnicodeString kEvery = "%";
  const KelUnicodeString& pattern =
      KelLnkHybridManager::LinkType() != 0 && window ? window->GetLinktype() : kEvery;
  static KelUnicodeString madeFor, condition;
  if (condition.empty() || madeFor != pattern) {
    madeFor = pattern;
    condition = "$TYPE LIKE 'KELMM" + EscapeSqlText(pattern) + "'";
  }
  return condition;
}

// The entity UUID text: ENTITY_ID_1 then ENTITY_ID_2, in hexadecimal.
KelUnicodeString UuidText(const KelDMEntityIds& ids) {
  KelUnicodeString text;
  text.reserve(ids.id1.Raw().size() * 2 + ids.id2.Raw().size() * 2);
  ids.id1.AppendHex(text);
  ids.id2.AppendHex(text);
  return text;
}

}  // namespace

void KelLnkHybridManager::GetChildren(const Entity& e, int& count, Link*** links, Entity*** entities,
                                      KelLnkQueryContext* window) {
  MML_TRACE("KelLnkHybridManager::GetChildren");
  Walk(e, true, count, links, entities, window);
}

void KelLnkHybridManager::GetParents(const Entity& e, int& count, Link*** links, Entity*** entities,
                                     KelLnkQueryContext* window) {
  MML_TRACE("KelLnkHybridManager::GetParents");
  Walk(e, false, count, links, entities, window);
}

void KelLnkHybridManager::AnswerLinks(int index, bool children, std::vector<int>& links, KelLnkQueryContext* window) {
  // A copy: the reading appends to the cache the record lives in. The
  // UUIDs, which the walk does not read, are left out.
  const Entity& cached = *GetEntity(index);
  Entity e(cached.CaenvNumber(), cached.KelabNumber(), cached.coid, cached.compid);
  e = cached;
  Ordered(Walk(e, children, window, index), children, links);
}

void KelLnkHybridManager::Walk(const Entity& e, bool children, int& count, Link*** links, Entity*** entities,
                               KelLnkQueryContext* window) {
  const int index = Walk(e, children, window);
  count = 0;
  *links = nullptr;
  *entities = nullptr;
  if (index < 0) return;
  std::vector<int> kept;
  Ordered(index, children, kept);
  count = static_cast<int>(kept.size());
  if (count == 0) return;
  *links = new Link*[count];
  *entities = new Entity*[count];
  for (int k = 0; k < count; ++k) {
    Link* link = GetLink(kept[k]);
    (*links)[k] = link;
    (*entities)[k] = GetEntity(children ? link->ChildIndex : link->FatherIndex);
  }
}

int KelLnkHybridManager::Walk(const Entity& e, bool children, KelLnkQueryContext* window, int known) {
  const KelLnkDirection direction = children ? KelLnkDirection::kChildren : KelLnkDirection::kParents;
  const KelListValKelUnicodeString& relation = StrippedEnvironments(1);
  const bool isRelation = std::find(relation.begin(), relation.end(), e.caenv()) != relation.end();
  Connection();
  const int i = known >= 0 ? known : LocateEntity(e, 1);

  if (MarkRead(i, children)) {
    // The rows come from a set read shared with the objects reached before.
    const bool readEntities = EntityToEntity() == 1 && LinkConnection();
    static const KelListValKelUnicodeString kNone;
    const KelListValKelUnicodeString& entityEnvs = readEntities ? StrippedEnvironments(2) : kNone;
    KelLnkNearRows near;
    if ((isRelation || readEntities) && LinkConnection())
      KelLnkHybridReadAhead::TakeRows(direction, e, i, isRelation, readEntities, LinkConnection(),
                                      TypeCondition(window), relation, entityEnvs, &near);

    // The far end of a link: its cache index once accepted by the model
    // filter, -1 when rejected; a new far end waits for the next set read.
    auto farEnd = [&](uint32_t env, uint32_t table, const KelId& coid, const KelId& compid) {
      if ((FilterRevision() != 0 || FilterMaturity() != 0) &&
          !FilterModel(KelDMInstance(kMmlKelcon, Names::Text(env), Names::Text(table), coid, compid)))
        return -1;
      const int n = LocateEntity(Entity(env, table, coid, compid), 1);
      KelLnkHybridReadAhead::Waiting(direction, n);
      return n;
    };
    // The child's timestamp text, its storage reused from link to link.
    std::string childTs;

    // A "$EXT" row links its holder (father) to the object it points to (child).
    const uint32_t extTable = Names::Number(kMmlExt);
    // Calls `f` with the far end a "$EXT" row names (the object it points
    // to, or its holder); -1 when it names no object.
    auto onFarEnd = [&](const KelLnkExtRecord& row, auto&& f) -> int {
      if (!children) return f(row.environment, row.fatherTable, row.coid, row.compidFather);
      const auto& [env, table] = KelLnkHybridReadAhead::PointedObject(row.compname);
      if (env == KelLnkHybridReadAhead::kNoObject) return -1;  // no object to address
      return f(env, table, row.coidRef, row.compidRef);
    };
    auto endOf = [&](const KelLnkExtRecord& row) { return onFarEnd(row, farEnd); };
    auto linkTo = [&](const KelLnkExtRecord& row, int n) {
      const int child = children ? n : i;
      KelLnkDataManager::AssignObjectTimestampAt(FactEntry(child), childTs);
      Link link(children ? i : n, child, row.environment, extTable, row.coid, row.compidFather, row.type,
                row.timestamp.FractionZeroed(), row.status);
      LocateAndUpdateLink(link, childTs, -1, KelUnicodeString());
    };
    auto addExtLink = [&](const KelLnkExtRecord& row) {
      if (const int n = endOf(row); n >= 0) linkTo(row, n);
    };

    ZorTrace::Output(" -> MDL TO MDL begin", 0);
    if (isRelation && LinkConnection()) {
      // The far ends' index slots are asked for at once: their memory reads
      // overlap instead of following one another.
      auto prefetch = [&](uint32_t env, uint32_t table, const KelId& coid, const KelId& compid) {
        PrefetchEntity(env, table, coid, compid);
        KelLnkHybridReadAhead::PrefetchWaiting(direction, env, table, coid, compid);
        KelLnkDataManager::PrefetchObject(Names::Text(env), Names::Text(table), coid, compid);
        return 0;
      };
      for (const KelLnkExtRecord& row : near.ext) onFarEnd(row, prefetch);
      if (children) {
        KelPSNTrace timing("Temps consomme MDL: ", 40, 0);
        // The far ends first, then the links to them, their link-index slots
        // and link chains asked for in between, so that those memory reads
        // overlap too.
        std::vector<int> ends(near.ext.size());
        for (size_t k = 0; k < ends.size(); ++k) ends[k] = endOf(near.ext[k]);
        for (size_t k = 0; k < ends.size(); ++k)
          if (ends[k] >= 0) PrefetchLink(i, ends[k], near.ext[k].type);
        for (size_t k = 0; k < ends.size(); ++k)
          if (ends[k] >= 0) linkTo(near.ext[k], ends[k]);
      } else {
        for (const KelUnicodeString& env : relation) {
          KelPSNTrace timing("Temps consomme MDL pour " + env + ": ", 40, 0);
          const uint32_t envNumber = Names::Number(env);
          for (const KelLnkExtRecord& row : near.ext)
            if (row.environment == envNumber) addExtLink(row);
        }
      }
      ZorTrace::Output(" <- MDL TO MDL end", 0);
    }

    if (readEntities) {
      // An entity link: the user's "MML_LINK" row (the link, and its holder)
      // to the owner's "MML_ENTITY" row (whose date the link must match).
      // Children go from the object's uses to the owners, parents from the
      // object's entities to their users.
      ZorTrace::Output(" -> ENTITY TO ENTITY begin", 0);
      KelPSNTrace timing("Temps consomme ENT: ", 40, 0);
      const uint32_t linkTable = Names::Number(kMmlMmlLink);
      // Where the far ends will be read is asked for at once: those memory
      // reads overlap.
      for (const KelLnkEntityRecord& nearRow : near.entities)
        for (const KelUnicodeString& env : entityEnvs)
          KelLnkHybridReadAhead::PrefetchHolders(FarSide(direction), env, nearRow.ids.Id1());
      std::vector<KelLnkEntityRecord> holders;  // of one entity in one environment, its storage reused
      for (const KelLnkEntityRecord& nearRow : near.entities) {
        const KelDMEntityIds ids = nearRow.ids.Ids();
        const KelUnicodeString uuid = UuidText(ids);
        bool found = false;
        for (const KelUnicodeString& env : entityEnvs) {
          std::optional<KelPSNTrace> envTiming;
          if (!children) envTiming.emplace("   Temps consomme ENT-LINK pour " + env + ": ", 40, 0);
          const uint32_t envNumber = Names::Number(env);
          KelLnkHybridReadAhead::Holders(FarSide(direction), LinkConnection(), env, ids, &holders);
          for (const KelLnkEntityRecord& farRow : holders) {
            const int n = farEnd(envNumber, farRow.table, farRow.coid, farRow.compid);
            if (n < 0) continue;
            found = true;
            const KelLnkEntityRecord& use = children ? nearRow : farRow;
            const KelLnkEntityRecord& entity = children ? farRow : nearRow;
            entity.timestamp.FractionZeroed().AssignTo(childTs);
            Link link(children ? i : n, children ? n : i, children ? e.CaenvNumber() : envNumber, linkTable,
                      children ? e.coid : use.coid, children ? e.compid : use.compid, use.type,
                      use.timestamp.FractionZeroed(), use.status);
            LocateAndUpdateLink(link, childTs, -1, KelUnicodeString());
            SetEntityUuid(uuid, n);
          }
        }
        if (children && !found) {
          // No accepted owner: the link still shows, to a placeholder child
          // that carries the entity's UUID.
          const int c = LocateEntity(Entity(e.CaenvNumber(), e.KelabNumber(), KelId::Null(), KelId::Null()), 1);
          Link link(i, c, e.CaenvNumber(), linkTable, e.coid, e.compid, nearRow.type,
                    nearRow.timestamp.FractionZeroed(), nearRow.status);
          const int k = LocateAndUpdateLink(link, KelUnicodeString(), -1, KelUnicodeString());
          SetLinkUuid(uuid, k);
        }
      }
      ZorTrace::Output(" <- ENTITY TO ENTITY end", 0);
    }

    if (MMLV5() == 1) {
      if (children)
        GetChildrenMML_V5(e, i, window);
      else
        GetParentsMML_V5(e, i, window);
    }
  }

  return i;
}

void KelLnkHybridManager::Ordered(int index, bool children, std::vector<int>& ordered) {
  MML_TRACE("KelLnkHybridManager::Collect");
  ordered.clear();
  if (index < 0) return;
  LinksOf(index, children, ordered);
  const int n = static_cast<int>(ordered.size());

  const bool tracing = ZorTrace::Active() != 0;
  if (NoSortName() == 1) {
    ZorTrace::Output("   _______ No sort _______ ", 0);
    if (tracing) {
      ZorTrace::Output("   sLinkC : " + std::to_string(GetNbLinks()), 0);
      ZorTrace::Output("   vLinkC : " + std::to_string(n), 0);
    }
  } else {
    if (tracing) {
      ZorTrace::Output("   sLinkC : " + std::to_string(GetNbLinks()), 0);
      ZorTrace::Output("   vLinkC : " + std::to_string(n), 0);
    }
    // A single far end needs no name: it is left to whoever asks for it.
    if (n >= 2) {
      // The names of all far ends in one read per table; the buffers serve
      // every object of a walk.
      static thread_local std::vector<int> farEnds;
      static thread_local std::vector<std::pair<std::string_view, int>> named;
      farEnds.resize(static_cast<size_t>(n));
      for (int k = 0; k < n; ++k) {
        const Link& link = *GetLink(ordered[k]);
        farEnds[k] = FactEntry(children ? link.ChildIndex : link.FatherIndex);
      }
      KelLnkDataManager::ReadFactsAt(farEnds);
      named.resize(static_cast<size_t>(n));
      for (int k = 0; k < n; ++k) named[k] = {KelLnkDataManager::GetObjectNameAt(farEnds[k]), ordered[k]};
      // Equal names keep the links' cache order, in which LinksOf lists them:
      // sorting on the link too needs no buffer, as a stable sort would.
      std::sort(named.begin(), named.end());
      for (int k = 0; k < n; ++k) ordered[k] = named[k].second;
    }
    if (tracing) ZorTrace::Output("   name size : " + std::to_string(n), 0);
  }
}
