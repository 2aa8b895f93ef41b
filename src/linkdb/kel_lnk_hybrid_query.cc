// The children and parents queries over the model-to-model link tables and
// the entity tables, and the ordering of their answers.
#include <algorithm>
#include <numeric>
#include "base/kel_text.h"
#include "base/mml_constants.h"

#include "foundation/kel_lnk_tools.h"
#include "foundation/zor_trace.h"
#include "host/db/host_sql.h"
#include "host/db/kel_db_cursor.h"
#include "host/kel_psn_trace.h"
#include "linkdb/kel_lnk_api.h"
#include "linkdb/kel_lnk_data_manager.h"
#include "linkdb/kel_lnk_hybrid_manager.h"
#include "linkdb/kel_lnk_hybrid_read_ahead.h"
#include "linkdb/kel_lnk_query_context.h"

namespace {

KelListValKelUnicodeString StrippedList(const KelListValKelUnicodeString& list) {
  KelListValKelUnicodeString out;
  out.reserve(list.size());
  for (const auto& name : list) out.push_back(StripBlanks(name));
  return out;
}

// The "$TYPE LIKE 'KELMM...'" condition: every type, or the window's.
KelUnicodeString TypeCondition(KelLnkQueryContext* window) {
  KelUnicodeString pattern = "%";
  if (KelLnkHybridManager::_LinkType != 0 && window) pattern = window->GetLinktype();
  return "$TYPE LIKE 'KELMM" + EscapeSqlText(pattern) + "'";
}

KelId IdOf(const KelDbCursor& cursor, int column) { return KelId::FromHexOrZero(cursor.GetHexaValue(column)); }

// The entity UUID text: ENTITY_ID_1 then ENTITY_ID_2, in hexadecimal.
KelUnicodeString UuidText(const KelDbBinary& id1, const KelDbBinary& id2) { return id1.Hex() + id2.Hex(); }

}  // namespace

void KelLnkHybridManager::GetChildren(const Entity& e, int& count, Link*** links, Entity*** entities,
                                      KelLnkQueryContext* window) {
  MML_TRACE("KelLnkHybridManager::GetChildren");
  KelListValKelUnicodeString relation = KelLnkAPI::ComputeRelationEnvironments(1, 0);
  const bool isRelation = std::find(relation.begin(), relation.end(), e.caenv) != relation.end();
  Connection();
  const int i = LocateEntity(e, 1);

  if (MarkRead(i, true)) {
    // The rows come from a set read shared with the objects reached before.
    const bool readUses = _EntityToEntity == 1 && _pConn;
    std::vector<KelLnkExtChildRow> extRows;
    std::vector<KelLnkEntityUseRow> useRows;
    KelListValKelUnicodeString owners;
    if (readUses) owners = StrippedList(KelLnkAPI::ComputeRelationEnvironments(2, 0));
    if ((isRelation || readUses) && _pConn)
      KelLnkHybridReadAhead::TakeChildRows(i, e, isRelation, readUses, _pConn, TypeCondition(window), relation, owners,
                                           &extRows, &useRows);

    ZorTrace::Output(" -> MDL TO MDL begin", 0);
    if (isRelation && _pConn) {
      KelPSNTrace timing("Temps consomme MDL: ", 40, 0);
      for (const KelLnkExtChildRow& row : extRows) {
        const size_t dot = row.compname.find('.');
        if (dot == KelUnicodeString::npos) continue;  // no object to address
        const KelUnicodeString childEnv = row.compname.substr(0, dot);
        const KelUnicodeString childTable = KelLnkTools::RightTrim(row.compname.substr(dot + 1));
        if (!FilterModel(KelDMInstance(kMmlKelcon, childEnv, childTable, row.coidRef, row.compidRef))) continue;
        const int c = LocateEntity(Entity(childEnv, childTable, row.coidRef, row.compidRef), 1);
        KelLnkHybridReadAhead::Waiting(c);
        const KelUnicodeString childTs = GetEntityTS(c);
        Link link(i, c, e.caenv, "$EXT", e.coid, e.compid, row.type, ZeroTimestampFraction(row.timestamp), row.status);
        LocateAndUpdateLink(link, childTs, -1, KelUnicodeString());
      }
      ZorTrace::Output(" <- MDL TO MDL end", 0);
    }

    if (readUses) {
      ZorTrace::Output(" -> ENTITY TO ENTITY begin", 0);
      KelPSNTrace timing("Temps consomme ENT: ", 40, 0);
      for (const KelLnkEntityUseRow& use : useRows) {
        const KelUnicodeString linkTs = ZeroTimestampFraction(use.timestamp);
        const KelUnicodeString uuid = UuidText(use.id1, use.id2);
        bool found = false;
        for (const KelUnicodeString& env : owners) {
          for (const KelLnkEntityOwnerRow& owner : KelLnkHybridReadAhead::Owners(_pConn, env, use)) {
            const KelUnicodeString entityTs = ZeroTimestampFraction(owner.timestamp);
            if (!FilterModel(KelDMInstance(kMmlKelcon, env, owner.table, owner.coid, owner.compid))) continue;
            found = true;
            const int c = LocateEntity(Entity(env, owner.table, owner.coid, owner.compid), 1);
            KelLnkHybridReadAhead::Waiting(c);
            Link link(i, c, e.caenv, "MML_LINK", e.coid, e.compid, use.type, linkTs, use.status);
            LocateAndUpdateLink(link, entityTs, -1, KelUnicodeString());
            SetEntityUuid(uuid, c);
          }
        }
        if (!found) {
          // No accepted owner: the link still shows, to a placeholder child
          // that carries the entity's UUID.
          const KelId nullId = KelId::FromHexOrZero(kMmlNullIdHex);
          const int c = LocateEntity(Entity(e.caenv, e.kelab, nullId, nullId), 1);
          Link link(i, c, e.caenv, "MML_LINK", e.coid, e.compid, use.type, linkTs, use.status);
          const int k = LocateAndUpdateLink(link, KelUnicodeString(), -1, KelUnicodeString());
          SetLinkUuid(uuid, k);
        }
      }
      ZorTrace::Output(" <- ENTITY TO ENTITY end", 0);
    }

    if (_MMLV5 == 1) GetChildrenMML_V5(e, i, window);
  }

  Collect(LocateEntity(e, 0), true, count, links, entities);
}

void KelLnkHybridManager::GetParents(const Entity& e, int& count, Link*** links, Entity*** entities,
                                     KelLnkQueryContext* window) {
  MML_TRACE("KelLnkHybridManager::GetParents");
  KelListValKelUnicodeString relation = KelLnkAPI::ComputeRelationEnvironments(1, 0);
  const bool isRelation = std::find(relation.begin(), relation.end(), e.caenv) != relation.end();
  Connection();
  const int i = LocateEntity(e, 1);

  if (MarkRead(i, false)) {
    ZorTrace::Output(" -> MDL TO MDL begin", 0);
    if (isRelation && _pConn) {
      for (const KelUnicodeString& env : StrippedList(relation)) {
        KelPSNTrace timing("Temps consomme MDL pour " + env + ": ", 40, 0);
        KelDbCursor cursor(_pConn, env, "$EXT");
        cursor.SetWhereClause(TypeCondition(window) + " AND $COID_REF=? AND $COMPID_REF=?");
        cursor.SetWhereColumn("$COID_REF", KelDbBinary(e.coid));
        cursor.SetWhereColumn("$COMPID_REF", KelDbBinary(e.compid));
        cursor.SetOutputColumn("$COMPID_FATHER", KelDbType::kBinary);
        cursor.SetOutputColumn("$COID", KelDbType::kBinary);
        cursor.SetOutputColumn("$COMPNAME");
        cursor.SetOutputColumn("$COMPNAME_FATHER");
        cursor.SetOutputColumn("C_MML_TS", KelDbType::kTimestamp);
        cursor.SetOutputColumn("$TYPE");
        cursor.SetOutputColumn("KELMML_STATUS");
        if (cursor.Open(10) == 0) {
          while (cursor.Fetch()) {
            const KelUnicodeString fatherTable = cursor.GetText(4);
            const KelId fatherCoid = IdOf(cursor, 2);
            const KelId fatherCompid = IdOf(cursor, 1);
            if (!FilterModel(KelDMInstance(kMmlKelcon, env, fatherTable, fatherCoid, fatherCompid))) continue;
            const int f = LocateEntity(Entity(env, fatherTable, fatherCoid, fatherCompid), 1);
            Link link(f, i, env, "$EXT", fatherCoid, fatherCompid, cursor.GetText(6),
                      ZeroTimestampFraction(cursor.GetText(5)), cursor.GetText(7));
            LocateAndUpdateLink(link, GetEntityTS(i), -1, KelUnicodeString());
          }
        }
        cursor.Close();
      }
      ZorTrace::Output(" <- MDL TO MDL end", 0);
    }

    if (_EntityToEntity == 1 && _pConn) {
      ZorTrace::Output(" -> ENTITY TO ENTITY begin", 0);
      const KelListValKelUnicodeString users = StrippedList(KelLnkAPI::ComputeRelationEnvironments(2, 0));
      KelPSNTrace timing("Temps consomme ENT: ", 40, 0);
      KelDbCursor published(_pConn, e.caenv, "MML_ENTITY");
      published.SetWhereClause("UBIT IS NULL AND OBJECT_KELAB=? AND OBJECT_COID=? AND OBJECT_COMPID=?");
      published.SetWhereColumn("OBJECT_KELAB", e.kelab);
      published.SetWhereColumn("OBJECT_COID", KelDbBinary(e.coid));
      published.SetWhereColumn("OBJECT_COMPID", KelDbBinary(e.compid));
      published.SetOutputColumn("ENTITY_ID_1", KelDbType::kBinary);
      published.SetOutputColumn("ENTITY_ID_2", KelDbType::kBinary);
      published.SetOutputColumn("ENTITY_KEY", KelDbType::kBinary);
      published.SetOutputColumn("TS", KelDbType::kTimestamp);
      if (published.Open(10) == 0) {
        while (published.Fetch()) {
          const KelDbBinary id1 = published.GetBinary(1);
          const KelDbBinary id2 = published.GetBinary(2);
          const KelDbBinary key = published.GetBinary(3);
          const KelUnicodeString entityTs = ZeroTimestampFraction(published.GetText(4));
          const KelUnicodeString uuid = UuidText(id1, id2);
          for (const KelUnicodeString& env : users) {
            KelPSNTrace envTiming("   Temps consomme ENT-LINK pour " + env + ": ", 40, 0);
            KelDbCursor use(_pConn, env, "MML_LINK");
            use.SetWhereClause("UBIT IS NULL AND ENTITY_ID_1=? AND ENTITY_ID_2=? AND ENTITY_KEY=?");
            use.SetWhereColumn("ENTITY_ID_1", id1);
            use.SetWhereColumn("ENTITY_ID_2", id2);
            use.SetWhereColumn("ENTITY_KEY", key);
            use.SetOutputColumn("OBJECT_KELAB");
            use.SetOutputColumn("OBJECT_COID", KelDbType::kBinary);
            use.SetOutputColumn("OBJECT_COMPID", KelDbType::kBinary);
            use.SetOutputColumn("TS", KelDbType::kTimestamp);
            use.SetOutputColumn("TYPE");
            use.SetOutputColumn("STATUS");
            if (use.Open(10) == 0) {
              while (use.Fetch()) {
                const KelUnicodeString table = use.GetText(1);
                const KelId coid = IdOf(use, 2);
                const KelId compid = IdOf(use, 3);
                if (!FilterModel(KelDMInstance(kMmlKelcon, env, table, coid, compid))) continue;
                const int p = LocateEntity(Entity(env, table, coid, compid), 1);
                // The link row is the user's "MML_LINK" row: record its holder.
                Link link(p, i, env, "MML_LINK", coid, compid, use.GetText(5), ZeroTimestampFraction(use.GetText(4)),
                          use.GetText(6));
                LocateAndUpdateLink(link, entityTs, -1, KelUnicodeString());
                SetEntityUuid(uuid, p);
              }
            }
            use.Close();
          }
        }
      }
      published.Close();
      ZorTrace::Output(" <- ENTITY TO ENTITY end", 0);
    }

    if (_MMLV5 == 1) GetParentsMML_V5(e, i, window);
  }

  Collect(LocateEntity(e, 0), false, count, links, entities);
}

void KelLnkHybridManager::Collect(int index, bool children, int& count, Link*** links, Entity*** entities) {
  MML_TRACE("KelLnkHybridManager::Collect");
  count = 0;
  *links = nullptr;
  *entities = nullptr;
  if (index < 0) return;
  const std::vector<int>& kept = LinksOf(index, children);
  const int n = static_cast<int>(kept.size());
  std::vector<int> order(n);
  std::iota(order.begin(), order.end(), 0);
  auto farEnd = [&](int k) {
    const Link& link = *GetLink(kept[k]);
    return children ? link.ChildIndex : link.FatherIndex;
  };

  if (_NoSortName == 1) {
    ZorTrace::Output("   _______ No sort _______ ", 0);
    ZorTrace::Output("   sLinkC : " + std::to_string(GetNbLinks()), 0);
    ZorTrace::Output("   vLinkC : " + std::to_string(n), 0);
  } else {
    ZorTrace::Output("   sLinkC : " + std::to_string(GetNbLinks()), 0);
    ZorTrace::Output("   vLinkC : " + std::to_string(n), 0);
    // The names of all far ends in one read per table.
    std::vector<KelLnkDataManager::ObjectRef> farEnds;
    farEnds.reserve(n);
    for (int k = 0; k < n; ++k) {
      const Entity& far = *GetEntity(farEnd(k));
      farEnds.push_back(KelLnkDataManager::ObjectRef{far.caenv, far.kelab, far.coid, far.compid});
    }
    KelLnkDataManager::ReadFacts(farEnds);
    std::vector<KelUnicodeString> names;
    names.reserve(n);
    for (int k = 0; k < n; ++k) {
      const Entity& far = *GetEntity(farEnd(k));
      names.push_back(KelLnkDataManager::GetObjectName(far.caenv, far.kelab, far.coid, far.compid));
    }
    ZorTrace::Output("   name size : " + std::to_string(names.size()), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return names[a] < names[b]; });
  }

  count = n;
  if (n == 0) return;
  *links = new Link*[n];
  *entities = new Entity*[n];
  for (int k = 0; k < n; ++k) {
    (*links)[k] = GetLink(kept[order[k]]);
    (*entities)[k] = GetEntity(farEnd(order[k]));
  }
}
