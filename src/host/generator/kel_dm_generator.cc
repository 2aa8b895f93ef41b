#include "host/generator/kel_dm_generator.h"

#include <algorithm>
#include <cmath>

#include "host/db/host_sql.h"
#include "host/db/kel_dm_ier_message.h"
#include "host/kel_dm_schema.h"

namespace {

// splitmix64: small, fast, and the same on every machine and compiler.
class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed) {}
  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }
  // In [0, n).
  uint64_t Below(uint64_t n) { return n == 0 ? 0 : Next() % n; }
  // True with probability p.
  bool Chance(double p) { return static_cast<double>(Next() >> 11) * (1.0 / 9007199254740992.0) < p; }

 private:
  uint64_t state_;
};

KelId MakeId(uint8_t kind, uint64_t counter) {
  std::array<uint8_t, 8> b{};
  b[0] = kind;
  for (int i = 7; i >= 1; --i) {
    b[i] = static_cast<uint8_t>(counter & 0xFF);
    counter >>= 8;
  }
  return KelId(b);
}

std::string Timestamp(int64_t secondsFromBase) {
  // Base 2024-01-01 00:00:00; days of 86400 seconds, months of 28 days keep
  // the arithmetic simple and every date valid.
  int64_t s = secondsFromBase;
  int64_t day = s / 86400;
  int64_t rest = s % 86400;
  constexpr int64_t kDaysPerYear = int64_t{12} * 28;
  int64_t year = 2024 + day / kDaysPerYear;
  int64_t month = 1 + (day / 28) % 12;
  int64_t dom = 1 + day % 28;
  char buf[64];
  snprintf(buf, sizeof buf, "%04lld-%02lld-%02lld %02lld:%02lld:%02lld.000000", static_cast<long long>(year),
           static_cast<long long>(month), static_cast<long long>(dom), static_cast<long long>(rest / 3600),
           static_cast<long long>((rest / 60) % 60), static_cast<long long>(rest % 60));
  return buf;
}

struct Object {
  int env;
  const char* table;
  KelId coid, compid;
  KelId family;     // zero: none
  int rank;         // revision rank
  int64_t lastmod;  // seconds from the base date
  std::string name, revision;
};

// Rows of one table written by multi-row inserts of bound values.
class BatchInserter {
 public:
  BatchInserter(KelDbConnection* conn, std::string table, std::vector<std::string> columns)
      : conn_(conn), table_(std::move(table)), columns_(std::move(columns)) {}

  int Add(std::vector<KelDbValue> row) {
    for (auto& v : row) values_.push_back(std::move(v));
    if (++rows_ == kBatch) return Flush();
    return 0;
  }

  int Flush() {
    if (rows_ == 0) return 0;
    std::string sql = "INSERT INTO " + table_ + " (";
    for (size_t i = 0; i < columns_.size(); ++i) sql += (i ? ", " : "") + columns_[i];
    sql += ") VALUES ";
    std::string one = "(";
    for (size_t i = 0; i < columns_.size(); ++i) one += i ? ",?" : "?";
    one += ")";
    for (int r = 0; r < rows_; ++r) sql += (r ? "," : "") + one;
    int rc = conn_->Execute(sql, values_, nullptr);
    values_.clear();
    rows_ = 0;
    return rc;
  }

 private:
  static constexpr int kBatch = 200;
  KelDbConnection* conn_;
  std::string table_;
  std::vector<std::string> columns_;
  std::vector<KelDbValue> values_;
  int rows_ = 0;
};

std::string EnvName(int i) { return "GEN" + std::to_string(i + 1); }

const char* kLinkTypes[] = {"KELMMSOL", "KELMMDRW", "KELMMFEM", "KELMMKIN"};

}  // namespace

bool KelDMGenerator::Validate(const KelDMGeneratorOptions& o, std::string* error) {
  auto bad = [&](const std::string& why) {
    *error = why;
    return false;
  };
  if (o.objects < 1 || o.objects > 50'000'000) return bad("--objects must be between 1 and 50000000");
  if (o.fanout < 1 || o.fanout > 100) return bad("--fanout must be between 1 and 100");
  if (o.environments < 1 || o.environments > 50) return bad("--environments must be between 1 and 50");
  for (double p : {o.entityShare, o.staleShare, o.revisionShare, o.missingShare})
    if (!(p >= 0 && p <= 1)) return bad("shares must be between 0 and 1");
  return true;
}

int KelDMGenerator::Generate(KelDbConnection* conn, const KelDMGeneratorOptions& o, KelDMGeneratorReport* report,
                             std::string* error) {
  if (!Validate(o, error)) return kel_ier::kDbBadStatement;
  *report = KelDMGeneratorReport();
  Random rng(o.seed);

  // Object counts: older revisions come on top of the base objects.
  const int64_t older = static_cast<int64_t>(std::floor(o.objects * o.revisionShare / (1.0 + o.revisionShare)));
  const int64_t base = o.objects - older;
  const int64_t parts = base / 10;
  const int64_t documents = base / 10;
  const int64_t models = base - parts - documents;

  std::vector<Object> objects;
  objects.reserve(o.objects);
  uint64_t idCounter = 0;
  auto newObject = [&](int env, const char* table, uint8_t kind) {
    Object obj;
    obj.env = env;
    obj.table = table;
    ++idCounter;
    obj.coid = MakeId(kind, idCounter);
    obj.compid = MakeId(static_cast<uint8_t>(kind + 1), idCounter);
    obj.rank = 1;
    obj.lastmod = 10LL * 86400 + static_cast<int64_t>(rng.Below(300LL * 86400));
    char name[32];
    snprintf(name, sizeof name, "%c%09llu", table[0], static_cast<unsigned long long>(idCounter % 1000000000ULL));
    obj.name.assign(name);
    obj.revision.assign(1, 'A');
    objects.push_back(obj);
    return objects.size() - 1;
  };

  // Models in a fixed number of layers below one root, each layer twice as
  // large as the one above: the shape (share of leaves, links per model,
  // depth) stays the same whatever the size, as in a real product whose
  // structure is a few levels deep.
  constexpr int kLayers = 8;
  std::vector<std::vector<size_t>> layers;
  std::vector<int64_t> sizes(1, 1);
  {
    const int64_t below = models - 1;
    int64_t weightSum = 0;
    for (int k = 1; k < kLayers; ++k) weightSum += int64_t{1} << k;
    int64_t assigned = 0;
    for (int k = 1; k < kLayers; ++k) {
      int64_t n = k + 1 < kLayers ? below * (int64_t{1} << k) / weightSum : below - assigned;
      if (n > 0) sizes.push_back(n);
      assigned += n;
    }
  }
  for (int64_t n : sizes) {
    std::vector<size_t> layer;
    for (int64_t i = 0; i < n; ++i) {
      int env = layers.empty() ? 0 : static_cast<int>(rng.Below(o.environments));
      layer.push_back(newObject(env, "TOVRA_MODEL", 0x4D));
    }
    layers.push_back(std::move(layer));
  }
  std::vector<size_t> leaves;  // parts and documents
  for (int64_t i = 0; i < parts; ++i)
    leaves.push_back(newObject(static_cast<int>(rng.Below(o.environments)), "PART_LIST", 0x50));
  for (int64_t i = 0; i < documents; ++i)
    leaves.push_back(newObject(static_cast<int>(rng.Below(o.environments)), "DOCUMENT", 0x44));

  // Older revisions of some models: the current one gets rank 2 and a later date.
  std::vector<size_t> olderOf(objects.size(), SIZE_MAX);
  std::vector<size_t> candidates;  // every model but the root, drawn without repeats
  for (int64_t m = 1; m < models; ++m) candidates.push_back(static_cast<size_t>(m));
  const int64_t revised = std::min<int64_t>(older, static_cast<int64_t>(candidates.size()));
  for (int64_t i = 0; i < revised; ++i) {
    size_t pick = static_cast<size_t>(i) + static_cast<size_t>(rng.Below(candidates.size() - i));
    std::swap(candidates[i], candidates[pick]);
    size_t current = candidates[i];
    KelId family = MakeId(0x46, current + 1);
    objects[current].family = family;
    objects[current].rank = 2;
    objects[current].revision = "B";
    size_t old = newObject(objects[current].env, "TOVRA_MODEL", 0x4D);
    objects[old].family = family;
    objects[old].name = objects[current].name;
    objects[old].lastmod = objects[current].lastmod - 86400;
    olderOf.resize(objects.size(), SIZE_MAX);
    olderOf[current] = old;
    ++report->olderRevisions;
  }
  report->objects = static_cast<int64_t>(objects.size());
  report->models = models;
  report->parts = parts;
  report->documents = documents;

  // Links: every model below the root has a primary father in the layer above;
  // fathers get further links to random deeper models; parts and documents
  // hang below random models.
  struct Link {
    size_t father, child;
    bool missing;
  };
  std::vector<Link> links;
  for (size_t k = 1; k < layers.size(); ++k) {
    const auto& above = layers[k - 1];
    for (size_t j = 0; j < layers[k].size(); ++j) links.push_back({above[j % above.size()], layers[k][j], false});
  }
  for (size_t k = 0; k + 1 < layers.size(); ++k) {
    for (size_t father : layers[k]) {
      for (int extra = 1; extra < o.fanout; ++extra) {
        size_t deeper = k + 1 + static_cast<size_t>(rng.Below(layers.size() - k - 1));
        const auto& layer = layers[deeper];
        links.push_back({father, layer[rng.Below(layer.size())], false});
      }
    }
  }
  if (models > 1) {
    for (size_t leaf : leaves) links.push_back({1 + static_cast<size_t>(rng.Below(models - 1)), leaf, false});
  } else {
    for (size_t leaf : leaves) links.push_back({0, leaf, false});
  }

  // The environments are created in the transaction of their rows: a run
  // that fails or is interrupted leaves no empty table behind.
  int rc = conn->Begin();
  if (rc != 0) {
    *error = conn->LastError();
    return rc;
  }
  auto fail = [&](int code) {
    *error = conn->LastError();
    conn->Rollback();
    return code;
  };
  for (int e = 0; e < o.environments; ++e) {
    report->environments.push_back(EnvName(e));
    if ((rc = KelDMSchema::InitEnvironment(conn, EnvName(e), {"objects", "links", "entities", "psn"}, error)) != 0) {
      conn->Rollback();
      return rc;
    }
  }

  // Objects.
  {
    std::vector<std::vector<std::unique_ptr<BatchInserter>>> inserters(o.environments);
    const char* tables[] = {"TOVRA_MODEL", "PART_LIST", "DOCUMENT"};
    for (int e = 0; e < o.environments; ++e)
      for (const char* t : tables)
        inserters[e].push_back(std::make_unique<BatchInserter>(
            conn, QuoteHostTableName(EnvName(e), t),
            std::vector<std::string>{"$COID", "$COMPID", "C_ID", "C_REVISION", "C_FAMILY", "C_REVISION_RANK",
                                     "C_LASTMOD", "C_MATURITY", "C_UUID"}));
    for (const Object& obj : objects) {
      int t = obj.table[0] == 'T' ? 0 : obj.table[0] == 'P' ? 1 : 2;
      std::vector<KelDbValue> row{KelDbValue::Id(obj.coid),
                                  KelDbValue::Id(obj.compid),
                                  KelDbValue::Text(obj.name),
                                  KelDbValue::Text(obj.revision),
                                  obj.family.IsZero() ? KelDbValue() : KelDbValue::Id(obj.family),
                                  KelDbValue::Integer(obj.rank),
                                  KelDbValue::Text(Timestamp(obj.lastmod)),
                                  KelDbValue::Integer(static_cast<int64_t>(rng.Below(5))),
                                  KelDbValue::Text(obj.coid.Hex() + obj.compid.Hex())};
      if ((rc = inserters[obj.env][t]->Add(std::move(row))) != 0) return fail(rc);
    }
    for (auto& perEnv : inserters)
      for (auto& ins : perEnv)
        if ((rc = ins->Flush()) != 0) return fail(rc);
  }

  // Links and entities.
  {
    std::vector<std::unique_ptr<BatchInserter>> ext, mmlLink, mmlEntity;
    for (int e = 0; e < o.environments; ++e) {
      ext.push_back(std::make_unique<BatchInserter>(
          conn, QuoteHostTableName(EnvName(e), "$EXT"),
          std::vector<std::string>{"$COID", "$COMPID", "$COMPNAME_FATHER", "$COMPID_FATHER", "$COMPNAME", "$COID_REF",
                                   "$COMPID_REF", "$TYPE", "C_MML_TS", "KELMML_STATUS"}));
      mmlLink.push_back(std::make_unique<BatchInserter>(
          conn, QuoteHostTableName(EnvName(e), "MML_LINK"),
          std::vector<std::string>{"OBJECT_KELAB", "OBJECT_COID", "OBJECT_COMPID", "ENTITY_ID_1", "ENTITY_ID_2",
                                   "ENTITY_KEY", "TS", "TYPE", "STATUS"}));
      mmlEntity.push_back(
          std::make_unique<BatchInserter>(conn, QuoteHostTableName(EnvName(e), "MML_ENTITY"),
                                          std::vector<std::string>{"OBJECT_KELAB", "OBJECT_COID", "OBJECT_COMPID",
                                                                   "ENTITY_ID_1", "ENTITY_ID_2", "ENTITY_KEY", "TS"}));
    }
    uint64_t linkCounter = 0;
    for (const Link& l : links) {
      const Object& father = objects[l.father];
      size_t childIndex = l.child;
      // Now and then a link points to the older revision of its child.
      if (olderOf[childIndex] != SIZE_MAX && rng.Chance(0.2)) childIndex = olderOf[childIndex];
      const Object& child = objects[childIndex];
      const bool stale = rng.Chance(o.staleShare);
      const std::string ts = Timestamp(stale ? child.lastmod - 3600 : child.lastmod);
      const char* type = kLinkTypes[rng.Below(4)];
      ++linkCounter;
      const bool missing = rng.Chance(o.missingShare);
      const bool viaEntity = !missing && rng.Chance(o.entityShare);
      if (viaEntity) {
        KelId id1 = MakeId(0x31, linkCounter), id2 = MakeId(0x32, linkCounter), key = MakeId(0x4B, 1);
        if ((rc = mmlEntity[child.env]->Add({KelDbValue::Text(child.table), KelDbValue::Id(child.coid),
                                             KelDbValue::Id(child.compid), KelDbValue::Id(id1), KelDbValue::Id(id2),
                                             KelDbValue::Id(key), KelDbValue::Text(Timestamp(child.lastmod))})) != 0)
          return fail(rc);
        if ((rc = mmlLink[father.env]->Add({KelDbValue::Text(father.table), KelDbValue::Id(father.coid),
                                            KelDbValue::Id(father.compid), KelDbValue::Id(id1), KelDbValue::Id(id2),
                                            KelDbValue::Id(key), KelDbValue::Text(ts), KelDbValue::Text(type),
                                            KelDbValue::Text("TOK")})) != 0)
          return fail(rc);
        ++report->entities;
        ++report->entityLinks;
      } else {
        KelId refCoid = child.coid, refCompid = child.compid;
        if (missing) {
          refCoid = MakeId(0x58, linkCounter);
          refCompid = MakeId(0x59, linkCounter);
          ++report->missingLinks;
        }
        if ((rc = ext[father.env]->Add({KelDbValue::Id(father.coid), KelDbValue::Id(MakeId(0x4C, linkCounter)),
                                        KelDbValue::Text(father.table), KelDbValue::Id(father.compid),
                                        KelDbValue::Text(EnvName(child.env) + "." + child.table),
                                        KelDbValue::Id(refCoid), KelDbValue::Id(refCompid), KelDbValue::Text(type),
                                        KelDbValue::Text(ts), KelDbValue::Text("TOK")})) != 0)
          return fail(rc);
        ++report->extLinks;
      }
    }
    for (auto* group : {&ext, &mmlLink, &mmlEntity})
      for (auto& ins : *group)
        if ((rc = ins->Flush()) != 0) return fail(rc);
  }

  // A product in the first environment: its parts in a tree where every
  // assembly uses each of its two sub-parts twice (repeated instances), each
  // part represented by a model of the same environment.
  {
    std::vector<size_t> parts, models;
    for (size_t i = 0; i < objects.size(); ++i) {
      if (objects[i].env != 0) continue;
      if (objects[i].table[0] == 'P') parts.push_back(i);
      if (objects[i].table[0] == 'T' && objects[i].rank == 1) models.push_back(i);
    }
    if (parts.size() > 31) parts.resize(31);
    BatchInserter uses(conn, QuoteHostTableName(EnvName(0), "PSN_INSTANCE"),
                       {"$OID", "$COID_FATHER", "$COMPID_FATHER", "$COMPNAME_CHILD", "$COID_CHILD", "$COMPID_CHILD",
                        "C_NAME", "C_RANK"});
    BatchInserter reps(conn, QuoteHostTableName(EnvName(0), "PSN_REP"),
                       {"$COID_PART", "$COMPID_PART", "$COMPNAME_REP", "$COID_REP", "$COMPID_REP"});
    uint64_t oid = 0;
    for (size_t k = 0; k < parts.size(); ++k) {
      const Object& part = objects[parts[k]];
      if (!models.empty()) {
        const Object& model = objects[models[k % models.size()]];
        if ((rc = reps.Add({KelDbValue::Id(part.coid), KelDbValue::Id(part.compid),
                            KelDbValue::Text(EnvName(0) + ".TOVRA_MODEL"), KelDbValue::Id(model.coid),
                            KelDbValue::Id(model.compid)})) != 0)
          return fail(rc);
      }
      int rank = 0;
      for (size_t c = 2 * k + 1; c <= 2 * k + 2 && c < parts.size(); ++c) {
        const Object& child = objects[parts[c]];
        for (int copy = 1; copy <= 2; ++copy) {
          ++oid;
          if ((rc = uses.Add({KelDbValue::Id(MakeId(0x49, oid)), KelDbValue::Id(part.coid),
                              KelDbValue::Id(part.compid), KelDbValue::Text(EnvName(0) + ".PART_LIST"),
                              KelDbValue::Id(child.coid), KelDbValue::Id(child.compid),
                              KelDbValue::Text(child.name + "." + std::to_string(copy)),
                              KelDbValue::Integer(++rank)})) != 0)
            return fail(rc);
          ++report->psnInstances;
        }
      }
    }
    if ((rc = uses.Flush()) != 0 || (rc = reps.Flush()) != 0) return fail(rc);
    if (!parts.empty()) {
      report->productCoid = objects[parts[0]].coid.Hex();
      report->productCompid = objects[parts[0]].compid.Hex();
    }
  }

  if ((rc = conn->Commit()) != 0) {
    *error = conn->LastError();
    return rc;
  }
  const Object& root = objects[0];
  report->rootEnvironment = EnvName(root.env);
  report->rootTable = root.table;
  report->rootCoid = root.coid.Hex();
  report->rootCompid = root.compid.Hex();
  return 0;
}

std::string KelDMGenerator::RootsFileText(const KelDMGeneratorReport& r) {
  return r.rootEnvironment + "\n" + r.rootTable + "\n" + r.rootCoid + "\n" + r.rootCompid + "\n";
}

std::string KelDMGenerator::ReachableCountQuery(const KelDMGeneratorReport& r) {
  // Every edge as (father "env.table", coid, compid) -> (child "env.table", coid, compid).
  std::string edges;
  for (const std::string& e : r.environments) {
    if (!edges.empty()) edges += " UNION ALL ";
    edges += "SELECT " + QuoteSqlText(e + ".") +
             " || $COMPNAME_FATHER, $COID, $COMPID_FATHER, $COMPNAME, $COID_REF, "
             "$COMPID_REF FROM " +
             QuoteHostTableName(e, "$EXT");
  }
  for (const std::string& user : r.environments) {
    for (const std::string& owner : r.environments) {
      edges += " UNION ALL SELECT " + QuoteSqlText(user + ".") +
               " || l.OBJECT_KELAB, l.OBJECT_COID, l.OBJECT_COMPID, " + QuoteSqlText(owner + ".") +
               " || o.OBJECT_KELAB, o.OBJECT_COID, o.OBJECT_COMPID FROM " + QuoteHostTableName(user, "MML_LINK") +
               " l JOIN " + QuoteHostTableName(owner, "MML_ENTITY") +
               " o ON o.ENTITY_ID_1 = l.ENTITY_ID_1 AND o.ENTITY_ID_2 = l.ENTITY_ID_2 AND o.ENTITY_KEY = "
               "l.ENTITY_KEY WHERE l.UBIT IS NULL AND o.UBIT IS NULL";
    }
  }
  return "WITH RECURSIVE edges(ft, fc, fp, ct, cc, cp) AS (" + edges + "), reach(t, c, p) AS (SELECT " +
         QuoteSqlText(r.rootEnvironment + "." + r.rootTable) + ", X'" + r.rootCoid + "', X'" + r.rootCompid +
         "' UNION SELECT ed.ct, ed.cc, ed.cp FROM reach r JOIN edges ed ON ed.ft = r.t AND ed.fc = r.c AND ed.fp = "
         "r.p) SELECT COUNT(*) - 1 FROM reach";
}
