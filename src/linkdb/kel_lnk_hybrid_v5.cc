// V5 links: the objects linked to an object through the V5 product tables,
// merged into the caches as links of technology MML_LINK_KELV5.
#include <algorithm>
#include <cstdio>
#include <memory>
#include "base/kel_text.h"
#include "base/mml_constants.h"

#include "foundation/kel_lnk_tools.h"
#include "foundation/zor_trace.h"
#include "host/kel_dm_tovra.h"
#include "host/kel_dm_v5_rows.h"
#include "host/kel_psn_node.h"
#include "host/kel_psn_trace.h"
#include "host/v5/kel_mml_v5.h"
#include "linkdb/kel_lnk_hybrid_manager.h"
#include "linkdb/kel_lnk_query_context.h"

namespace {

bool HasContext(KelLnkQueryContext* window) { return window && window->HasPSNContext(); }

// The identifiers of an instance path: one per group of 16 hexadecimal digits.
KelRawColldouble ParsePath(const KelUnicodeString& text) {
  KelRawColldouble path;
  for (size_t p = 0; p + 16 <= text.size(); p += 16) path.push_back(KelDMTovra::HexaToDouble(text.substr(p, 16)));
  return path;
}

// The database instance of the window's root node, empty when there is none.
KelDMInstance RootInstance(KelLnkQueryContext* window) {
  KelDMInstance instance;
  if (window && window->GetPSNRootNode()) KelPSNSdai::Convert(window->GetPSNRootNode()->GetQorNode(0), instance);
  return instance;
}

// " Where Clause : " trace of the older V5 queries.
void PrintWhere(const KelUnicodeString& where) {
  if (KelLnkHybridManager::DbgMMLV5()) std::printf(" Where Clause : %s\n", where.c_str());
}

// "? ,? ,?" lists of the older queries: "(?" then ",?" per further element.
KelUnicodeString BindList(const KelUnicodeString& head, size_t n) {
  KelUnicodeString text = head;
  for (size_t k = 1; k < n; ++k) text += ",?";
  return text + ")";
}

// "<env>.<table>" of e, as the V5 tables name objects.
KelUnicodeString Compname(const KelLnkHybridManager::Entity& e) {
  return StripBlanks(e.caenv()) + "." + StripBlanks(e.kelab());
}

// The element's current timestamp into `stamp`, when it has one.
void SetStamp(const KelDMV5Rows::StampsByUid& stamps, const KelUnicodeString& uid, KelUnicodeString* stamp) {
  if (auto it = stamps.find(uid); it != stamps.end()) *stamp = it->second;
}

// The rows of an older V5 query as links of the expanded object e (index i):
// the other object is named by the columns `compnameColumn` ("env.table"),
// `coidColumn` and `compidColumn`; `eIsFather` orients the link.
void MergeOldV5Rows(const KelDMListResultLine& step, size_t n, const KelLnkHybridManager::Entity& e, int i,
                    KelLnkQueryContext* window, int compnameColumn, int coidColumn, int compidColumn, bool eIsFather) {
  using M = KelLnkHybridManager;
  for (size_t k = 0; k < n; ++k) {
    const KelUnicodeString compname = step.Column(compnameColumn)[k];
    const size_t dot = compname.find('.');
    if (dot == KelUnicodeString::npos) continue;  // element gone
    const KelUnicodeString env = StripBlanks(compname.substr(0, dot));
    const KelUnicodeString table = StripBlanks(compname.substr(dot + 1));
    const KelId coid = KelId::FromHexOrZero(step.Column(coidColumn)[k]);
    const KelId compid = KelId::FromHexOrZero(step.Column(compidColumn)[k]);
    if (env.empty() || !M::FilterModel(KelDMInstance(kMmlKelcon, env, table, coid, compid))) continue;
    int validity = -1;
    if (!step.Column(2)[k].empty() && M::ReleaseValidity() == 1) {
      validity = 0;
      KelRawColldouble path = ParsePath(step.Column(2)[k]);
      KelRawColldouble validityData;
      M::GetValidityOnLink(path, validityData, validity, window);
      ZorTrace::Output(" iValidite = " + std::to_string(validity), 0);
      ZorTrace::Output("        iValidite final = " + std::to_string(validity), 0);
    }
    const int o = M::LocateEntity(M::Entity(env, table, coid, compid), 1);
    M::Link link(eIsFather ? i : o, eIsFather ? o : i, M::V5Owner(), "QOR_LINK", e.coid, e.compid,
                 "V5_" + step.Column(1)[k], step.Column(13)[k], KelUnicodeString());
    M::LocateAndUpdateLink(link, step.Column(15)[k], validity, KelUnicodeString());
  }
}

}  // namespace

void KelLnkHybridManager::GetChildrenMML_V5(const Entity& e, int index, KelLnkQueryContext* window) {
  MML_TRACE("KelLnkHybridManager::GetChildrenMML_V5");
  if (NewMMLV5() == 1)
    MML_V5Objects(KelMMLV5::kImpactChildren, e, index, window);
  else
    OLD_GetChildrenMML_V5(e, index, window);
}

void KelLnkHybridManager::GetParentsMML_V5(const Entity& e, int index, KelLnkQueryContext* window) {
  MML_TRACE("KelLnkHybridManager::GetParentsMML_V5");
  if (NewMMLV5() == 1)
    MML_V5Objects(KelMMLV5::kImpactParents, e, index, window);
  else
    OLD_GetParentsMML_V5(e, index, window);
}

void KelLnkHybridManager::MML_V5Objects(int impactType, const Entity& e, int i, KelLnkQueryContext* window) {
  MML_TRACE("KelLnkHybridManager::MML_V5Objects");
  KelMMLV5 service(ProductConnection());
  const bool context = HasContext(window);
  const KelZumoInstance* zumo = e.ZumoInstance();

  KelListValKelDMInstance objects, products;
  KelListValKelUnicodeString uids, ownerUids, stamps, compnames;
  KelRawColldouble path;
  KelRawCollint flags;
  KelDMInstance instance("", e.caenv(), e.kelab(), e.coid, e.compid);
  service.GetObjects(objects, products, uids, path, ownerUids, stamps, compnames, instance, zumo);

  // An object inside a product: narrow to the product of its node (the
  // node's father when the node shows a representation).
  const KelQorNode* purgeNode = nullptr;
  if (zumo && e.Node()) {
    const KelQorNode* node = e.Node()->GetQorNode(0);
    KelDMInstance nodeInstance;
    if (KelPSNSdai::Convert(node, nodeInstance) == 0 && nodeInstance.GetTable() != "PART_LIST") {
      KelPSNNode* father = e.Node()->GetFather();
      node = father ? father->GetQorNode(0) : nullptr;
    }
    if (node && service.PurgeList(node, objects, products, uids, flags) == 0) purgeNode = node;
  }

  KelDMListResultLine result;
  service.GetImpacts(impactType, KelMMLV5::kClientMML, objects, products, flags, path, uids, ownerUids, stamps,
                     compnames, instance, zumo, result);
  const int n = static_cast<int>(result.Column(1).size());
  if (n == 0) return;

  const int clientType = (SolveMMLV5() == 1 && context) ? KelMMLV5::kClientMMLSolve : KelMMLV5::kClientMML;
  const KelQorNode* rootQor = (context && window->GetPSNRootNode()) ? window->GetPSNRootNode()->GetQorNode(0) : nullptr;
  KelSdaiModel* model = (context && window->GetPSNGraph()) ? window->GetPSNGraph()->GetSdaiModel() : nullptr;
  std::unique_ptr<KelMMLV5::TmpId_[]> ids(new KelMMLV5::TmpId_[n]);
  service.ValidateImpacts(clientType, result, ids.get(), rootQor, purgeNode, model, nullptr, nullptr, nullptr);
  if (DbgMMLV5()) PrintMMLTrace(1, &result);

  for (int k = 1; k <= n; ++k) {
    const KelMMLV5::TmpId_& id = ids[k - 1];
    const KelUnicodeString column5 = result.Value(k, 5);
    if (column5 == "KO") continue;
    if (SolveMMLV5() == 0 && context && id.resolved == 0) continue;

    KelUnicodeString env, table;
    KelId coid, compid;
    if (SolveMMLV5() == 1 && context && id.resolved == 0) {
      env = StripBlanks(id.environment);
      table = StripBlanks(id.table);
      coid = KelId::FromHexOrZero(id.coid);
      compid = KelId::FromHexOrZero(id.compid);
    } else {
      KelMMLV5::ParseObjectName(column5, &env, &table);
      coid = KelId::FromHexOrZero(result.Value(k, 6));
      compid = KelId::FromHexOrZero(result.Value(k, 7));
    }
    if (env.empty()) continue;
    if (!FilterModel(KelDMInstance(kMmlKelcon, env, table, coid, compid))) continue;

    // An instance inside a product: placed from e's product, or from the
    // window's root product.
    std::unique_ptr<KelZumoInstance> placed;
    const KelUnicodeString pathText = result.Value(k, 2);
    if (!pathText.empty() && (context || zumo || impactType == KelMMLV5::kImpactChildren)) {
      KelDMInstance base;
      if (zumo)
        zumo->GetPart(0, base);
      else
        base = RootInstance(window);
      if (!base.IsEmpty()) {
        placed = std::make_unique<KelZumoInstance>(base, ParsePath(pathText));
        if (table != "PART_LIST") placed->SetRep(table, compid);
        if (!placed->IsFullyDefined() && placed->FullyDefine() != 0) {
          ZorTrace::Output(" Zut Zut Zut : encore rate ", 0);
          placed.reset();
        }
      }
    } else if (!pathText.empty()) {
      continue;
    }

    const int o = LocateEntity(Entity(env, table, coid, compid, placed.get()), 1);
    const int father = impactType == KelMMLV5::kImpactChildren ? i : o;
    const int child = impactType == KelMMLV5::kImpactChildren ? o : i;
    Link link(father, child, V5Owner(), "QOR_LINK", e.coid, e.compid, "V5_" + result.Value(k, 1), result.Value(k, 16),
              KelUnicodeString());
    LocateAndUpdateLink(link, result.Value(k, 17), -1, result.Value(k, 9));
  }
}

void KelLnkHybridManager::OLD_GetChildrenMML_V5(const Entity& e, int i, KelLnkQueryContext* window) {
  MML_TRACE("KelLnkHybridManager::OLD_GetChildrenMML_V5");
  std::printf(" WARNING > Old code for MML V5 in Impacted By mode < WARNING \n");
  if (!ProductConnection()) return;

  // The V5 links that e holds.
  PrintWhere("$COID = ? AND $COMPID_FATHER = ?");
  std::vector<KelDMV5Link> links;
  KelDMV5Rows::LinksFrom(ProductConnection(), Compname(e), KelDbBinary(e.coid), KelDbBinary(e.compid), &links);
  KelDMListResultLine step;
  for (const KelDMV5Link& link : links) {
    step.Column(1).push_back(link.type);
    step.Column(2).push_back(link.oidPath);
    step.Column(12).push_back(link.uidPtd);
    step.Column(13).push_back(link.timestampPtd);
  }
  const size_t n = step.Column(1).size();
  for (int c = 1; c <= 17; ++c) step.Column(c).resize(n);
  if (DbgMMLV5()) PrintMMLTrace(1, &step);
  if (n == 0) return;

  // Where the pointed elements live now, and their current timestamps.
  KelDMV5Rows::ElementsByUid owners;
  KelDMV5Rows::StampsByUid stamps;
  KelDMV5Rows::ElementsWithUids(ProductConnection(), step.Column(12), &owners);
  KelDMV5Rows::Stamps(ProductConnection(), step.Column(12), &stamps);
  for (size_t k = 0; k < n; ++k) {
    PrintWhere(BindList("$UID_PTD IN (?", 1));
    const KelUnicodeString& uid = step.Column(12)[k];
    if (auto owner = owners.find(uid); owner != owners.end()) {
      step.Column(9)[k] = owner->second.compname;
      step.Column(10)[k] = owner->second.coid.Hex();
      step.Column(11)[k] = owner->second.compid.Hex();
    }
    SetStamp(stamps, uid, &step.Column(15)[k]);
  }
  if (DbgMMLV5()) PrintMMLTrace(2, &step);

  MergeOldV5Rows(step, n, e, i, window, 9, 10, 11, true);
}

void KelLnkHybridManager::OLD_GetParentsMML_V5(const Entity& e, int i, KelLnkQueryContext* window) {
  MML_TRACE("KelLnkHybridManager::OLD_GetParentsMML_V5");
  std::printf(" WARNING > Old code for MML V5 in Impacts On mode < WARNING \n");
  if (!ProductConnection()) return;

  // The object-level elements of e, then every element they own.
  std::vector<KelDMV5Element> elements;
  KelDMV5Rows::ElementsOf(ProductConnection(), Compname(e), KelDbBinary(e.coid), KelDbBinary(e.compid), &elements);
  KelListValKelUnicodeString owners;
  for (const KelDMV5Element& element : elements)
    if (std::find(owners.begin(), owners.end(), element.ownerUid) == owners.end()) owners.push_back(element.ownerUid);
  if (owners.empty()) return;
  PrintWhere(BindList("$OWNER_UID IN (?", owners.size()));
  KelDMV5Rows::ElementsOwnedBy(ProductConnection(), owners, &elements);
  KelListValKelUnicodeString uids;
  for (const KelDMV5Element& element : elements) uids.push_back(element.uid);
  if (uids.empty()) return;

  PrintWhere(BindList("$UID_PTD IN (?", uids.size()));
  std::vector<KelDMV5Link> links;
  KelDMV5Rows::LinksTo(ProductConnection(), uids, &links);
  KelDMListResultLine step;
  for (const KelDMV5Link& link : links) {
    step.Column(1).push_back(link.type);
    step.Column(2).push_back(link.oidPath);
    step.Column(5).push_back(link.compnameFather);
    step.Column(6).push_back(link.coid.Hex());
    step.Column(4).push_back(link.compidFather.Hex());
    step.Column(12).push_back(link.uidPtd);
    step.Column(13).push_back(link.timestampPtd);
  }
  const size_t n = step.Column(1).size();
  for (int c = 1; c <= 17; ++c) step.Column(c).resize(n);
  KelDMV5Rows::StampsByUid stamps;
  KelDMV5Rows::Stamps(ProductConnection(), step.Column(12), &stamps);
  for (size_t k = 0; k < n; ++k) SetStamp(stamps, step.Column(12)[k], &step.Column(15)[k]);
  if (DbgMMLV5()) PrintMMLTrace(1, &step);

  MergeOldV5Rows(step, n, e, i, window, 5, 6, 4, false);
}
