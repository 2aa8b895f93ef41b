#include "host/kel_dm_lnk_tools.h"
#include "base/kel_text.h"

#include <algorithm>
#include <set>

#include "host/db/host_sql.h"
#include "host/db/kel_dm_ier_message.h"
#include "host/kel_dm_link_rows.h"
#include "host/kel_dm_session.h"

namespace {

// The environments of the catalogue, by the tables they hold; recomputed when
// the session or the catalogue changes.
struct EnvironmentCatalogue {
  uint64_t generation = 0;
  uint64_t catalogueVersion = 0;
  bool valid = false;
  std::vector<std::string> withExt;       // kind 1
  std::vector<std::string> withEntities;  // kind 2
};

const EnvironmentCatalogue& Catalogue() {
  static EnvironmentCatalogue cat;
  KelDbConnection* conn = KelDMSession::Main();
  if (!conn) {
    cat = EnvironmentCatalogue();
    return cat;
  }
  if (cat.valid && cat.generation == KelDMSession::Generation() && cat.catalogueVersion == conn->CatalogueVersion())
    return cat;
  cat = EnvironmentCatalogue();
  std::vector<std::string> tables;
  if (conn->ListTables(&tables) == 0) {
    std::set<std::string> ext, entity, link;
    for (const std::string& t : tables) {
      size_t dot = t.rfind('.');
      if (dot == std::string::npos || dot == 0) continue;
      std::string env = t.substr(0, dot);
      std::string name = t.substr(dot + 1);
      if (name == "$EXT") ext.insert(env);
      if (name == "MML_ENTITY") entity.insert(env);
      if (name == "MML_LINK") link.insert(env);
    }
    cat.withExt.assign(ext.begin(), ext.end());
    for (const auto& e : entity)
      if (link.count(e)) cat.withEntities.push_back(e);
    cat.valid = true;
  }
  cat.generation = KelDMSession::Generation();
  cat.catalogueVersion = conn->CatalogueVersion();
  return cat;
}

bool Contains(const std::vector<std::string>& list, const std::string& name) {
  return std::find(list.begin(), list.end(), name) != list.end();
}

std::vector<KelDbValue> ObjectBinds(const KelDMInstance& i) {
  return {KelDbValue::Text(RightTrimBlanks(i.GetTable())), KelDbValue::Id(i.Coid()), KelDbValue::Id(i.Compid())};
}

}  // namespace

const KelListValKelUnicodeString& KelDMLnkTools::RelationEnvironments(int kind) {
  static const KelListValKelUnicodeString none;
  const EnvironmentCatalogue& cat = Catalogue();
  return kind == 1 ? cat.withExt : kind == 2 ? cat.withEntities : none;
}

KelListValKelUnicodeString KelDMLnkTools::ComputeRelationEnvironments(int kind,
                                                                      const KelListValKelUnicodeString* filter) {
  const KelListValKelUnicodeString* source = &RelationEnvironments(kind);
  KelListValKelUnicodeString out;
  std::vector<std::string> allowed;
  if (filter)
    for (const auto& f : *filter) allowed.push_back(StripBlanks(f));
  for (const auto& env : *source)
    if (!filter || Contains(allowed, env)) out.push_back(env);
  return out;
}

KelDbConnection* KelDMLnkTools::GetConnection() { return KelDMSession::Main(); }

int KelDMLnkTools::DeleteLinks(const KelDMInstance& instance) {
  KelDbConnection* conn = KelDMSession::Main();
  if (!conn) return kel_ier::kDbNoConnection;
  int rc = conn->Begin();
  if (rc != 0) return rc;
  for (const auto& env : ComputeRelationEnvironments(1, nullptr)) {
    rc = conn->Execute("DELETE FROM " + QuoteHostTableName(env, "$EXT") + " WHERE " + KelDMLinkRows::kExtHolderWhere,
                       ObjectBinds(instance), nullptr);
    if (rc != 0) {
      conn->Rollback();
      return rc;
    }
  }
  return conn->Commit();
}

int KelDMLnkTools::DeleteEntities(const KelDMInstance& instance) {
  KelDbConnection* conn = KelDMSession::Main();
  if (!conn) return kel_ier::kDbNoConnection;
  const std::string env = StripBlanks(instance.GetEnvironment());
  if (!Contains(ComputeRelationEnvironments(2, nullptr), env)) return 0;
  int rc = conn->Begin();
  if (rc != 0) return rc;
  for (const KelDMEntitySide side : {KelDMEntitySide::kOwned, KelDMEntitySide::kUsed}) {
    rc = conn->Execute("DELETE FROM " + QuoteHostTableName(env, KelDMLinkRows::TableOf(side)) + " WHERE " +
                           KelDMLinkRows::kEntityObjectWhere,
                       ObjectBinds(instance), nullptr);
    if (rc != 0) {
      conn->Rollback();
      return rc;
    }
  }
  return conn->Commit();
}

namespace {

// The first link or entity row that points to the object, described as
// "<env> <table> <coid> <compid>" of its holder; empty when none.
int FirstPointer(const KelDMInstance& instance, std::string* pointer) {
  pointer->clear();
  KelDbConnection* conn = KelDMSession::Main();
  if (!conn) return 0;
  auto describe = [&](const std::string& env, const KelUnicodeString& table, const KelId& coid, const KelId& compid) {
    *pointer = env + " " + RightTrimBlanks(table) + " " + coid.Hex() + " " + compid.Hex();
    return 1;
  };
  const std::string target = StripBlanks(instance.GetEnvironment()) + "." + RightTrimBlanks(instance.GetTable());
  std::vector<KelDMExtRow> links;
  for (const auto& env : KelDMLnkTools::ComputeRelationEnvironments(1, nullptr)) {
    KelDMLinkRows::ExtTo(conn, env, instance.Coid(), instance.Compid(), KelUnicodeString(), &links);
    for (const KelDMExtRow& row : links)
      if (row.compname == target) return describe(env, row.fatherTable, row.coid, row.compidFather);
  }
  const std::string env = StripBlanks(instance.GetEnvironment());
  const auto entityEnvs = KelDMLnkTools::ComputeRelationEnvironments(2, nullptr);
  if (!Contains(entityEnvs, env)) return 0;
  std::vector<KelDMEntityRow> entities;
  if (KelDMLinkRows::EntitiesOf(conn, env, KelDMEntitySide::kOwned, RightTrimBlanks(instance.GetTable()),
                                instance.Coid(), instance.Compid(), true, &entities) != 0)
    return 0;
  std::vector<KelDMEntityRow> users;
  for (const KelDMEntityRow& e : entities) {
    for (const auto& user : entityEnvs) {
      KelDMLinkRows::Holders(conn, user, KelDMEntitySide::kUsed, e.ids, &users);
      if (!users.empty()) return describe(user, users[0].table, users[0].coid, users[0].compid);
    }
  }
  return 0;
}

}  // namespace

int KelDMLnkTools::IsPointedModel(const KelDMInstance& instance) {
  std::string pointer;
  return FirstPointer(instance, &pointer);
}

int KelDMLnkTools::IsPointedPart(const KelDMInstance& instance, KelUnicodeString& pointer) {
  return FirstPointer(instance, &pointer);
}
