#include "host/v5/kel_mml_v5.h"
#include "base/kel_text.h"

#include <algorithm>
#include <unordered_map>

#include "host/db/kel_dm_ier_message.h"
#include "host/kel_dm_v5_rows.h"

namespace {

KelUnicodeString Compname(const KelDMInstance& instance) {
  return StripBlanks(instance.GetEnvironment()) + "." + StripBlanks(instance.GetTable());
}

// Splits "<env>.<table>" at its first ".".
void SplitCompname(const KelUnicodeString& text, KelUnicodeString* environment, KelUnicodeString* table) {
  size_t dot = text.find('.');
  if (dot == KelUnicodeString::npos) {
    *environment = StripBlanks(text);
    table->clear();
    return;
  }
  *environment = StripBlanks(text.substr(0, dot));
  *table = StripBlanks(text.substr(dot + 1));
}

// The current timestamp of an element; empty when unknown.
KelUnicodeString StampOf(const KelDMV5Rows::StampsByUid& stamps, const KelUnicodeString& uid) {
  auto it = stamps.find(uid);
  return it == stamps.end() ? KelUnicodeString() : it->second;
}

constexpr int kColumns = 17;

}  // namespace

KelUnicodeString KelMMLV5::FormatObjectName(const KelUnicodeString& environment, const KelUnicodeString& table) {
  KelUnicodeString env = StripBlanks(environment);
  if (env.size() < 8) env.append(8 - env.size(), ' ');
  return env + "." + StripBlanks(table);
}

void KelMMLV5::ParseObjectName(const KelUnicodeString& text, KelUnicodeString* environment, KelUnicodeString* table) {
  size_t dot = text.find('.');
  if (dot != KelUnicodeString::npos) {
    *environment = StripBlanks(text.substr(0, dot));
    *table = StripBlanks(text.substr(dot + 1));
    return;
  }
  *environment = StripBlanks(text.substr(0, 8));
  *table = text.size() > 9 ? StripBlanks(text.substr(9)) : KelUnicodeString();
}

int KelMMLV5::GetObjects(KelListValKelDMInstance& objects, KelListValKelDMInstance& products,
                         KelListValKelUnicodeString& uids, KelRawColldouble& path,
                         KelListValKelUnicodeString& ownerUids, KelListValKelUnicodeString& stamps,
                         KelListValKelUnicodeString& compnames, const KelDMInstance& instance,
                         const KelZumoInstance* zumo) {
  objects.clear();
  products.clear();
  uids.clear();
  path.clear();
  ownerUids.clear();
  stamps.clear();
  compnames.clear();
  if (!connection_) return kel_ier::kDbNoConnection;

  std::vector<KelDMV5Element> elements;
  const int rc = KelDMV5Rows::ElementsOf(connection_, Compname(instance), KelDbBinary(instance.Coid()),
                                         KelDbBinary(instance.Compid()), &elements);
  if (rc != 0) return rc;
  std::vector<std::pair<KelUnicodeString, KelUnicodeString>> rows;
  std::vector<KelUnicodeString> published;
  for (const KelDMV5Element& element : elements) {
    rows.emplace_back(element.uid, element.ownerUid);
    published.push_back(element.uid);
  }
  std::sort(rows.begin(), rows.end());
  KelDMV5Rows::StampsByUid current;
  KelDMV5Rows::Stamps(connection_, published, &current);  // an element without a date has none

  objects.push_back(instance);
  if (zumo) {
    if (!zumo->GetBase().IsEmpty()) products.push_back(zumo->GetBase());
    for (const KelId& id : zumo->GetPath()) path.push_back(id.AsDouble());
  }
  for (const auto& [uid, owner] : rows) {
    uids.push_back(uid);
    ownerUids.push_back(owner);
    stamps.push_back(StampOf(current, uid));
  }
  compnames.push_back(Compname(instance));
  return kel_ier::kOk;
}

int KelMMLV5::PurgeList(const KelQorNode* node, KelListValKelDMInstance&, KelListValKelDMInstance& products,
                        KelListValKelUnicodeString& uids, KelRawCollint& flags) {
  KelDMInstance product;
  if (KelPSNSdai::Convert(node, product) != 0) return kel_ier::kInstanceNotFound;
  // Instance links name the top part of the product they live in.
  if (!node->GetProduct().IsEmpty()) product = node->GetProduct();
  products.assign(1, product);
  flags.assign(uids.size(), 1);
  return kel_ier::kOk;
}

int KelMMLV5::GetImpacts(int impactType, int, const KelListValKelDMInstance&, const KelListValKelDMInstance& products,
                         const KelRawCollint& flags, const KelRawColldouble&, const KelListValKelUnicodeString& uids,
                         const KelListValKelUnicodeString&, const KelListValKelUnicodeString&,
                         const KelListValKelUnicodeString&, const KelDMInstance& instance, const KelZumoInstance*,
                         KelDMListResultLine& result) {
  result.Clear();
  for (int c = 1; c <= kColumns; ++c) result.Column(c);
  if (!connection_) return kel_ier::kDbNoConnection;

  // The candidates: the links the object holds, or those that point to one
  // of its elements (element by element, each element's links in $COMPID
  // order).
  std::vector<KelDMV5Link> read;
  std::vector<const KelDMV5Link*> candidates;
  if (impactType == kImpactChildren) {
    const int rc = KelDMV5Rows::LinksFrom(connection_, Compname(instance), KelDbBinary(instance.Coid()),
                                          KelDbBinary(instance.Compid()), &read);
    if (rc != 0) {
      result.Clear();
      return rc;
    }
    for (const KelDMV5Link& link : read) candidates.push_back(&link);
  } else {
    std::vector<KelUnicodeString> pointedUids;
    for (size_t k = 0; k < uids.size(); ++k) {
      if (k < flags.size() && flags[k] == 0) continue;
      pointedUids.push_back(uids[k]);
    }
    const int rc = KelDMV5Rows::LinksTo(connection_, pointedUids, &read);
    if (rc != 0) {
      result.Clear();
      return rc;
    }
    std::unordered_map<KelUnicodeString, std::vector<const KelDMV5Link*>> byElement;
    for (const KelDMV5Link& link : read) byElement[link.uidPtd].push_back(&link);
    for (const KelUnicodeString& uid : pointedUids) {
      auto it = byElement.find(uid);
      if (it != byElement.end()) candidates.insert(candidates.end(), it->second.begin(), it->second.end());
    }
  }

  // Instance rows keep to the products asked for.
  std::vector<const KelDMV5Link*> kept;
  std::vector<KelUnicodeString> pointed;
  for (const KelDMV5Link* link : candidates) {
    if (!link->oidPath.empty() && !products.empty()) {
      KelUnicodeString rootEnv, rootTable;
      SplitCompname(link->compnamePtdRoot, &rootEnv, &rootTable);
      const KelId rootCoid = link->coidPtdRoot.AsId();
      bool inProduct = false;
      for (const KelDMInstance& product : products) {
        if (StripBlanks(product.GetEnvironment()) == rootEnv && StripBlanks(product.GetTable()) == rootTable &&
            product.Coid() == rootCoid) {
          inProduct = true;
          break;
        }
      }
      if (!inProduct) continue;
    }
    kept.push_back(link);
    pointed.push_back(link->uidPtd);
  }
  KelDMV5Rows::StampsByUid current;
  KelDMV5Rows::Stamps(connection_, pointed, &current);  // an element without a date has none

  for (const KelDMV5Link* link : kept) {
    KelUnicodeString otherEnv, otherTable, otherCoid, otherCompid;
    if (impactType == kImpactChildren) {
      SplitCompname(link->compnamePtdRef, &otherEnv, &otherTable);
      otherCoid = link->coidPtdRef.Hex();
      otherCompid = link->compidPtdRef.Hex();
    } else {
      SplitCompname(link->compnameFather, &otherEnv, &otherTable);
      otherCoid = link->coid.Hex();
      otherCompid = link->compidFather.Hex();
    }
    const KelUnicodeString row[kColumns] = {link->type,
                                            impactType == kImpactChildren ? link->oidPath : KelUnicodeString(),
                                            link->compid.Hex(),
                                            link->compidFather.Hex(),
                                            FormatObjectName(otherEnv, otherTable),
                                            otherCoid,
                                            otherCompid,
                                            link->compnamePtdRef,
                                            KelUnicodeString(),
                                            link->coidPtdRef.Hex(),
                                            link->compidPtdRef.Hex(),
                                            link->uidPtd,
                                            link->timestampPtd,
                                            impactType == kImpactChildren ? "1" : "0",
                                            link->compnameFather,
                                            link->linkTimestamp,
                                            StampOf(current, link->uidPtd)};
    for (int c = 1; c <= kColumns; ++c) result.Column(c).push_back(row[c - 1]);
  }
  return kel_ier::kOk;
}

int KelMMLV5::ValidateImpacts(int, KelDMListResultLine& result, TmpId_* ids, const KelQorNode*, const KelQorNode*,
                              KelSdaiModel*, void*, void*, void*) {
  if (!connection_) return kel_ier::kDbNoConnection;
  const int rows = result.GetRowCount();
  const std::vector<KelUnicodeString> pointed(result.Column(12).begin(), result.Column(12).begin() + rows);
  KelDMV5Rows::ElementsByUid current;
  const int rc = KelDMV5Rows::ElementsWithUids(connection_, pointed, &current);
  if (rc != 0) return rc;
  for (int r = 0; r < rows; ++r) {
    TmpId_& id = ids[r];
    id = TmpId_();
    id.uid = result.Column(12)[r];
    id.path = result.Column(2)[r];

    const auto owner = current.find(id.uid);
    const bool found = owner != current.end();
    KelUnicodeString ownerEnv, ownerTable, ownerCoid, ownerCompid;
    if (found) {
      SplitCompname(owner->second.compname, &ownerEnv, &ownerTable);
      ownerCoid = owner->second.coid.Hex();
      ownerCompid = owner->second.compid.Hex();
    }

    if (!found) {
      result.Column(5)[r] = "KO";
      result.Column(9)[r] = "KO";
      continue;
    }
    const KelUnicodeString& recorded = result.Column(13)[r];
    const KelUnicodeString& current = result.Column(17)[r];
    result.Column(9)[r] = (!current.empty() && recorded == current) ? "OK" : "OLD";

    if (result.Column(14)[r] == "1") {
      id.environment = ownerEnv;
      id.table = ownerTable;
      id.coid = ownerCoid;
      id.compid = ownerCompid;
      KelUnicodeString refEnv, refTable;
      SplitCompname(result.Column(8)[r], &refEnv, &refTable);
      id.resolved = (refEnv == ownerEnv && refTable == ownerTable && result.Column(10)[r] == ownerCoid &&
                     result.Column(11)[r] == ownerCompid)
                        ? 1
                        : 0;
    } else {
      ParseObjectName(result.Column(5)[r], &id.environment, &id.table);
      id.coid = result.Column(6)[r];
      id.compid = result.Column(7)[r];
      id.resolved = 1;
    }
  }
  return kel_ier::kOk;
}
