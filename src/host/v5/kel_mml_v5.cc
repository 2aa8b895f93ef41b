#include "host/v5/kel_mml_v5.h"
#include "base/kel_text.h"

#include <algorithm>
#include <iterator>
#include <unordered_map>

#include "host/db/kel_db_cursor.h"
#include "host/db/kel_dm_ier_message.h"

namespace {

const char* const kProductEnv = "PRODUCT";

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

// The current timestamp of an element, from QOR_TS; empty when unknown.
class StampReader {
 public:
  explicit StampReader(KelDbConnection* connection) : connection_(connection) {}
  KelUnicodeString Get(const KelUnicodeString& uid) {
    auto it = known_.find(uid);
    if (it != known_.end()) return it->second;
    KelUnicodeString stamp;
    KelDbCursor cursor(connection_, kProductEnv, "QOR_TS");
    cursor.SetWhereClause("$UID_PTD=?");
    cursor.SetWhereColumn("$UID_PTD", uid);
    cursor.SetOutputColumn("$TIMESTAMP_PTD", KelDbType::kTimestamp);
    if (cursor.Open(1) == 0 && cursor.Fetch()) stamp = ZeroTimestampFraction(cursor.GetText(1));
    cursor.Close();
    known_.emplace(uid, stamp);
    return stamp;
  }

 private:
  KelDbConnection* connection_;
  std::unordered_map<KelUnicodeString, KelUnicodeString> known_;
};

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

  KelDbCursor cursor(connection_, kProductEnv, "QOR_ENTITY");
  cursor.SetWhereClause("UBIT IS NULL AND $COMPNAME=? AND $COID=? AND $COMPID=?");
  cursor.SetWhereColumn("$COMPNAME", Compname(instance));
  cursor.SetWhereColumn("$COID", KelDbBinary(instance.Coid()));
  cursor.SetWhereColumn("$COMPID", KelDbBinary(instance.Compid()));
  cursor.SetOutputColumn("$UID");
  cursor.SetOutputColumn("$OWNER_UID");
  int rc = cursor.Open(10);
  if (rc != 0) return rc;
  std::vector<std::pair<KelUnicodeString, KelUnicodeString>> rows;
  while (cursor.Fetch()) rows.emplace_back(cursor.GetText(1), cursor.GetText(2));
  cursor.Close();
  std::sort(rows.begin(), rows.end());

  StampReader stampReader(connection_);
  objects.push_back(instance);
  if (zumo) {
    if (!zumo->GetBase().IsEmpty()) products.push_back(zumo->GetBase());
    for (const KelId& id : zumo->GetPath()) path.push_back(id.AsDouble());
  }
  for (const auto& [uid, owner] : rows) {
    uids.push_back(uid);
    ownerUids.push_back(owner);
    stamps.push_back(stampReader.Get(uid));
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

  // One query for the children; one per element for the parents.
  std::vector<KelUnicodeString> pointedUids;
  if (impactType == kImpactParents) {
    for (size_t k = 0; k < uids.size(); ++k) {
      if (k < flags.size() && flags[k] == 0) continue;
      pointedUids.push_back(uids[k]);
    }
  }
  StampReader stampReader(connection_);
  size_t queries = impactType == kImpactChildren ? 1 : pointedUids.size();
  for (size_t q = 0; q < queries; ++q) {
    KelDbCursor cursor(connection_, kProductEnv, "QOR_LINK");
    if (impactType == kImpactChildren) {
      cursor.SetWhereClause("UBIT IS NULL AND $COMPNAME_FATHER=? AND $COID=? AND $COMPID_FATHER=? ORDER BY $COMPID");
      cursor.SetWhereColumn("$COMPNAME_FATHER", Compname(instance));
      cursor.SetWhereColumn("$COID", KelDbBinary(instance.Coid()));
      cursor.SetWhereColumn("$COMPID_FATHER", KelDbBinary(instance.Compid()));
    } else {
      cursor.SetWhereClause("UBIT IS NULL AND $UID_PTD=? ORDER BY $COMPID");
      cursor.SetWhereColumn("$UID_PTD", pointedUids[q]);
    }
    const char* const outputs[] = {"$TYPE",
                                   "$OID_PTD",
                                   "$COMPID",
                                   "$COMPID_FATHER",
                                   "$COID",
                                   "$COMPNAME_PTD_REF",
                                   "$COID_PTD_REF",
                                   "$COMPID_PTD_REF",
                                   "$UID_PTD",
                                   "$TIMESTAMP_PTD",
                                   "$COMPNAME_FATHER",
                                   "C_MML_TS",
                                   "$COMPNAME_PTD_ROOT",
                                   "$COID_PTD_ROOT"};
    const KelDbType types[] = {KelDbType::kText,   KelDbType::kText,      KelDbType::kBinary, KelDbType::kBinary,
                               KelDbType::kBinary, KelDbType::kText,      KelDbType::kBinary, KelDbType::kBinary,
                               KelDbType::kText,   KelDbType::kTimestamp, KelDbType::kText,   KelDbType::kTimestamp,
                               KelDbType::kText,   KelDbType::kBinary};
    for (size_t i = 0; i < std::size(outputs); ++i) cursor.SetOutputColumn(outputs[i], types[i]);
    int rc = cursor.Open(10);
    if (rc != 0) {
      result.Clear();
      return rc;
    }
    while (cursor.Fetch()) {
      KelUnicodeString oidPath = StripBlanks(cursor.GetText(2));
      if (!oidPath.empty() && !products.empty()) {
        KelUnicodeString rootEnv, rootTable;
        SplitCompname(cursor.GetText(13), &rootEnv, &rootTable);
        KelId rootCoid = cursor.GetBinary(14).AsId();
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
      KelUnicodeString otherEnv, otherTable, otherCoid, otherCompid;
      if (impactType == kImpactChildren) {
        SplitCompname(cursor.GetText(6), &otherEnv, &otherTable);
        otherCoid = cursor.GetHexaValue(7);
        otherCompid = cursor.GetHexaValue(8);
      } else {
        SplitCompname(cursor.GetText(11), &otherEnv, &otherTable);
        otherCoid = cursor.GetHexaValue(5);
        otherCompid = cursor.GetHexaValue(4);
      }
      KelUnicodeString uid = cursor.GetText(9);
      const KelUnicodeString row[kColumns] = {cursor.GetText(1),
                                              impactType == kImpactChildren ? oidPath : KelUnicodeString(),
                                              cursor.GetHexaValue(3),
                                              cursor.GetHexaValue(4),
                                              FormatObjectName(otherEnv, otherTable),
                                              otherCoid,
                                              otherCompid,
                                              cursor.GetText(6),
                                              KelUnicodeString(),
                                              cursor.GetHexaValue(7),
                                              cursor.GetHexaValue(8),
                                              uid,
                                              ZeroTimestampFraction(cursor.GetText(10)),
                                              impactType == kImpactChildren ? "1" : "0",
                                              cursor.GetText(11),
                                              ZeroTimestampFraction(cursor.GetText(12)),
                                              stampReader.Get(uid)};
      for (int c = 1; c <= kColumns; ++c) result.Column(c).push_back(row[c - 1]);
    }
    cursor.Close();
  }
  return kel_ier::kOk;
}

int KelMMLV5::ValidateImpacts(int, KelDMListResultLine& result, TmpId_* ids, const KelQorNode*, const KelQorNode*,
                              KelSdaiModel*, void*, void*, void*) {
  if (!connection_) return kel_ier::kDbNoConnection;
  int rows = result.GetRowCount();
  for (int r = 0; r < rows; ++r) {
    TmpId_& id = ids[r];
    id = TmpId_();
    id.uid = result.Column(12)[r];
    id.path = result.Column(2)[r];

    KelDbCursor cursor(connection_, kProductEnv, "QOR_ENTITY");
    cursor.SetWhereClause("UBIT IS NULL AND $UID=?");
    cursor.SetWhereColumn("$UID", id.uid);
    cursor.SetOutputColumn("$COMPNAME");
    cursor.SetOutputColumn("$COID", KelDbType::kBinary);
    cursor.SetOutputColumn("$COMPID", KelDbType::kBinary);
    int rc = cursor.Open(1);
    if (rc != 0) return rc;
    bool found = cursor.Fetch() == 1;
    KelUnicodeString ownerEnv, ownerTable, ownerCoid, ownerCompid;
    if (found) {
      SplitCompname(cursor.GetText(1), &ownerEnv, &ownerTable);
      ownerCoid = cursor.GetHexaValue(2);
      ownerCompid = cursor.GetHexaValue(3);
    }
    cursor.Close();

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
