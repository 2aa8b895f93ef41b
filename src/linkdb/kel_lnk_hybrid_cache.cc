// The records, the caches and their indexes, the settings snapshot, the
// connections and the V5 step report of the link database.
#include <algorithm>
#include <array>
#include <cinttypes>
#include <cstdio>
#include <deque>
#include <functional>
#include <string_view>
#include <unordered_set>

#include "base/kel_object_key.h"
#include "base/kel_position_index.h"
#include "foundation/kel_lnk_tools.h"
#include "host/kel_dm_lnk_tools.h"
#include "host/kel_dm_tovra.h"
#include "host/kel_psn_trace.h"
#include "linkdb/kel_lnk_data_manager.h"
#include "linkdb/kel_lnk_hybrid_manager.h"
#include "linkdb/kel_lnk_hybrid_read_ahead.h"

namespace {

// The longest chain of a father's links searched by a scan.
constexpr int kChainScan = 8;

size_t Mix(size_t seed, size_t value) { return seed ^ (value + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2)); }

// A link is indexed by its father, its child and the number of its type.
struct LinkKey {
  int father;
  int child;
  uint32_t type;
  friend bool operator==(const LinkKey&, const LinkKey&) = default;
};
struct LinkKeyHash {
  size_t operator()(const LinkKey& k) const {
    size_t h = std::hash<int>()(k.father);
    h = Mix(h, std::hash<int>()(k.child));
    return Mix(h, std::hash<uint32_t>()(k.type));
  }
};

struct IdPairHash {
  size_t operator()(const std::pair<KelId, KelId>& p) const { return Mix(KelIdHash()(p.first), KelIdHash()(p.second)); }
};

// An entity is indexed by its object (everything SameObject compares except
// the Zumo instance, which is compared among the entities of one object).
// The index holds the position of the object's first entity and finds it by
// the entity itself: no second copy of the names.
struct EntityTraits {
  static size_t Hash(const KelLnkHybridManager::Entity& e) {
    return Of(e.CaenvNumber(), e.KelabNumber(), e.coid, e.compid);
  }
  static size_t Of(uint32_t environment, uint32_t table, const KelId& coid, const KelId& compid) {
    const size_t h = Mix(KelIdHash()(coid), KelIdHash()(compid));
    return Mix(h, static_cast<size_t>(environment) << 32 | table);
  }
  static size_t HashOf(int position);
  static bool Equal(int position, const KelLnkHybridManager::Entity& e);
};
// A link is found by its own father, child and type.
struct LinkTraits {
  static size_t Hash(const LinkKey& k) { return LinkKeyHash()(k); }
  static size_t HashOf(int position);
  static bool Equal(int position, const LinkKey& k);
};

struct Caches {
  // Records live in deques: their addresses stay while the caches grow.
  std::deque<KelLnkHybridManager::Entity> entities;
  KelPositionIndex<EntityTraits> entityIndex;
  // The other entities of an object (other product instances), by the index
  // of its first one, in increasing index order.
  std::unordered_map<int, std::vector<int>> moreEntities;
  // The links of an entity as chains through the link cache, in increasing
  // index order: per entity the first and last link it holds (as father,
  // lane 0) and that point to it (as child, lane 1); per link the next one
  // of the same father and of the same child (-1 ends a chain).
  struct Chain {
    int first = -1;
    int last = -1;
    int count = 0;  // links in the chain
  };
  std::vector<std::array<Chain, 2>> chains;
  std::vector<std::array<int, 2>> nextLink;
  // Per entity: 1 once its children / parents were read from the database.
  std::vector<uint8_t> childrenRead;
  std::vector<uint8_t> parentsRead;
  // Per entity: its object's entry in the data manager's cache, -1 until
  // asked; void when the data manager's generation changes.
  std::vector<int32_t> factEntries;
  uint64_t factGeneration = 0;

  std::deque<KelLnkHybridManager::Link> links;
  // The links of the fathers with more than kChainScan of them: a shorter
  // chain is scanned instead (a father's links are few as a rule).
  KelPositionIndex<LinkTraits> linkIndex;

  // Model-filter verdicts in order of computation, and (coid, compid) ->
  // position in that list.
  KelRawCollint filterVerdicts;
  std::unordered_map<std::pair<KelId, KelId>, int, IdPairHash> filterIndex;
};

// The link database's part of the module state.
struct LinkDbState {
  Caches caches;
  int settingsTaken = 0;  // 1 from CacheDeclarations on
  KelDbConnection* linkConnection = nullptr;
  KelDbConnection* productConnection = nullptr;
  KelUnicodeString v5Owner;
  // The texts of KelLnkHybridManager::Names, and the number of each (keys
  // view the texts, whose addresses the deque keeps).
  std::deque<KelUnicodeString> names;
  std::unordered_map<std::string_view, uint32_t> nameNumbers;
};

LinkDbState& St() {
  static LinkDbState state;
  return state;
}

Caches& TheCaches() { return St().caches; }

size_t EntityTraits::HashOf(int position) { return Hash(TheCaches().entities[position]); }
bool EntityTraits::Equal(int position, const KelLnkHybridManager::Entity& e) {
  return TheCaches().entities[position].SameIdentity(e);
}
size_t LinkTraits::HashOf(int position) {
  const KelLnkHybridManager::Link& link = TheCaches().links[position];
  return Hash(LinkKey{link.FatherIndex, link.ChildIndex, link.TypeNumber()});
}
bool LinkTraits::Equal(int position, const LinkKey& k) {
  const KelLnkHybridManager::Link& link = TheCaches().links[position];
  return link.FatherIndex == k.father && link.ChildIndex == k.child && link.TypeNumber() == k.type;
}

int Flag(int value) { return St().settingsTaken && value ? 1 : 0; }

void PrintEntityLines(const KelLnkHybridManager::Entity& e) {
  std::printf("   coid   = %s \n", e.coid.Hex().c_str());
  std::printf("   compid = %s \n", e.compid.Hex().c_str());
  std::printf("   caenv  = %s \n", e.caenv().c_str());
  std::printf("   kelab  = %s \n", e.kelab().c_str());
  std::printf("   iPres  = %u \n", static_cast<unsigned>(e.iPres()));
  std::printf("   @Zumo  = %u \n", static_cast<unsigned>(reinterpret_cast<uintptr_t>(e.ZumoInstance())));
  std::printf("   p.Node = %u \n", static_cast<unsigned>(reinterpret_cast<uintptr_t>(e.Node())));
}

}  // namespace

// ---- Records ----

uint32_t KelLnkHybridManager::Names::Number(std::string_view text) {
  LinkDbState& state = St();
  auto it = state.nameNumbers.find(text);
  if (it != state.nameNumbers.end()) return it->second;
  const auto number = static_cast<uint32_t>(state.names.size());
  state.names.emplace_back(text);
  state.nameNumbers.emplace(state.names.back(), number);
  return number;
}

const KelUnicodeString& KelLnkHybridManager::Names::Text(uint32_t number) { return St().names[number]; }

KelLnkHybridManager::UuidList& KelLnkHybridManager::UuidList::operator=(const UuidList& other) {
  if (this != &other) Assign(other.List());
  return *this;
}

const KelListValKelUnicodeString& KelLnkHybridManager::UuidList::List() const {
  static const KelListValKelUnicodeString empty;
  return list_ ? *list_ : empty;
}

void KelLnkHybridManager::UuidList::Assign(const KelListValKelUnicodeString& list) {
  if (list.empty())
    list_.reset();
  else
    list_ = std::make_unique<KelListValKelUnicodeString>(list);
}

void KelLnkHybridManager::UuidList::Append(const KelUnicodeString& uuid) {
  if (!list_) list_ = std::make_unique<KelListValKelUnicodeString>();
  list_->push_back(uuid);
}

KelLnkHybridManager::Entity::Entity(std::string_view caenv_, std::string_view kelab_, const KelId& coid_,
                                    const KelId& compid_, const KelZumoInstance* zumo, KelPSNNode* node, int iPres_)
    : coid(coid_), compid(compid_), caenv_(Names::Number(caenv_)), kelab_(Names::Number(kelab_)) {
  SetZumoInstance(zumo);
  SetNode(node);
  SetIPres(iPres_);
}

KelLnkHybridManager::Entity::Entity(std::string_view caenv_, std::string_view kelab_, double coid_, double compid_,
                                    const KelZumoInstance* zumo, KelPSNNode* node, int iPres_)
    : Entity(caenv_, kelab_, KelId::FromDouble(coid_), KelId::FromDouble(compid_), zumo, node, iPres_) {}

KelLnkHybridManager::Entity::Entity(const Entity& other)
    : coid(other.coid), compid(other.compid), caenv_(other.caenv_), kelab_(other.kelab_), uuids_(other.uuids_) {
  SetZumoInstance(other.ZumoInstance());
  SetNode(other.Node());
  SetIPres(other.iPres());
}

KelLnkHybridManager::Entity& KelLnkHybridManager::Entity::operator=(const Entity& other) {
  if (this == &other) return *this;
  caenv_ = other.caenv_;
  kelab_ = other.kelab_;
  coid = other.coid;
  compid = other.compid;
  rare_.reset();
  SetZumoInstance(other.ZumoInstance());
  SetNode(other.Node());
  SetIPres(other.iPres());
  return *this;
}

KelLnkHybridManager::Entity::Rare& KelLnkHybridManager::Entity::RareData() {
  if (!rare_) rare_ = std::make_unique<Rare>();
  return *rare_;
}

void KelLnkHybridManager::Entity::SetZumoInstance(const KelZumoInstance* zumo) {
  if (zumo)
    RareData().zumo = std::make_unique<KelZumoInstance>(*zumo);
  else if (rare_)
    rare_->zumo.reset();
}

void KelLnkHybridManager::Entity::SetNode(KelPSNNode* node) {
  if (node || rare_) RareData().node = node;
}

void KelLnkHybridManager::Entity::SetIPres(int iPres_) {
  if (iPres_ != 0 || rare_) RareData().iPres = iPres_;
}

bool KelLnkHybridManager::Entity::SameObject(const Entity& other) const {
  if (!SameIdentity(other)) return false;
  const KelZumoInstance* mine = ZumoInstance();
  const KelZumoInstance* theirs = other.ZumoInstance();
  if (!mine || !theirs) return !mine && !theirs;
  return *mine == *theirs;
}

KelLnkHybridManager::Link::Link(int fatherIndex, int childIndex, std::string_view env, std::string_view table,
                                const KelId& coid, const KelId& compid, std::string_view type,
                                std::string_view timestamp, std::string_view status)
    : FatherIndex(fatherIndex),
      ChildIndex(childIndex),
      Coid(coid),
      Compid(compid),
      Timestamp(timestamp),
      env_(Names::Number(env)),
      table_(Names::Number(table)),
      type_(Names::Number(type)),
      status_(Names::Number(status)) {}

// ---- Settings snapshot and connections ----

void KelLnkHybridManager::CacheDeclarations() {
  MML_TRACE("KelLnkHybridManager::CacheDeclarations");
  St().settingsTaken = 1;
}

int KelLnkHybridManager::FilterRevision() { return Flag(KelLnkTools::IsFilterRevision()); }
int KelLnkHybridManager::FilterMaturity() { return Flag(KelLnkTools::IsFilterMaturity()); }
int KelLnkHybridManager::FilterMaturityMin() { return FilterMaturity() ? KelLnkTools::GetFilterMaturityMin() : 0; }
int KelLnkHybridManager::FilterMaturityNullOK() {
  return FilterMaturity() ? Flag(KelLnkTools::IsFilterMaturityNullOK()) : 0;
}
int KelLnkHybridManager::EntityToEntity() { return Flag(KelLnkTools::IsEntityMode()); }
int KelLnkHybridManager::LinkTechno() { return Flag(KelLnkTools::IsComputeLinkTechno()); }
int KelLnkHybridManager::NoSortName() { return Flag(KelLnkTools::IsSortName()); }
int KelLnkHybridManager::LinkType() { return Flag(KelLnkTools::IsComputeLinkType()); }
int KelLnkHybridManager::MMLV5() { return Flag(KelLnkTools::IsTOVRAV5True()); }
int KelLnkHybridManager::ReleaseValidity() { return MMLV5() ? Flag(KelLnkTools::IsReleaseValid()) : 0; }
int KelLnkHybridManager::DbgMMLV5() { return MMLV5() ? Flag(KelLnkTools::DbgMMLV5()) : 0; }
int KelLnkHybridManager::NewMMLV5() { return MMLV5() ? Flag(KelLnkTools::IsV5NewCode()) : 0; }
int KelLnkHybridManager::SolveMMLV5() { return MMLV5() ? Flag(KelLnkTools::SolveV5InGraph()) : 0; }
int KelLnkHybridManager::DbgExpand() { return MMLV5() ? Flag(KelLnkTools::DbgExpand()) : 0; }

KelDbConnection* KelLnkHybridManager::LinkConnection() { return St().linkConnection; }
KelDbConnection* KelLnkHybridManager::ProductConnection() { return St().productConnection; }
const KelUnicodeString& KelLnkHybridManager::V5Owner() { return St().v5Owner; }
const KelRawCollint& KelLnkHybridManager::FilterVerdicts() { return TheCaches().filterVerdicts; }

void KelLnkHybridManager::Connection() {
  MML_TRACE("KelLnkHybridManager::Connection");
  // The host connections are those of the session: follow it when it was
  // reopened, so that no pointer outlives its connection.
  LinkDbState& state = St();
  state.linkConnection = KelDMLnkTools::GetConnection();
  if (MMLV5() == 1) {
    KelDbConnection* product = KelDMTovra::GetConnection("PRODUCT");
    if (state.productConnection == nullptr || state.productConnection != product) {
      state.productConnection = product;
      state.v5Owner = KelDMTovra::GetSetting("QORAdmin", "QOR_ADMINISTRATOR");
    }
  }
}

// ---- Caches ----

void KelLnkHybridManager::Uncache() {
  MML_TRACE("KelLnkHybridManager::Uncache");
  UncacheDatabase();
}

void KelLnkHybridManager::UncacheDatabase() {
  MML_TRACE("KelLnkHybridManager::UncacheDatabase");
  TheCaches() = Caches();
  KelLnkHybridReadAhead::Forget();
}

int KelLnkHybridManager::GetNbEntities() { return static_cast<int>(TheCaches().entities.size()); }

int KelLnkHybridManager::GetNbLinks() { return static_cast<int>(TheCaches().links.size()); }

void KelLnkHybridManager::GetStoredEntities(Entity*** entities) {
  MML_TRACE("KelLnkHybridManager::GetStoredEntities");
  auto& cached = TheCaches().entities;
  *entities = new Entity*[cached.size()];
  for (size_t k = 0; k < cached.size(); ++k) (*entities)[k] = &cached[k];
}

KelLnkHybridManager::Entity* KelLnkHybridManager::GetEntity(int index) { return &TheCaches().entities[index]; }

KelLnkHybridManager::Link* KelLnkHybridManager::GetLink(int index) { return &TheCaches().links[index]; }

int KelLnkHybridManager::LocateEntity(const Entity& e, int create) {
  Caches& caches = TheCaches();
  if (DbgExpand()) {
    std::printf("\n Locate Entity de : \n");
    PrintEntityLines(e);
    std::printf("   -> recherche sur %u entite(s)\n", static_cast<unsigned>(caches.entities.size()));
  }
  const int first = caches.entityIndex.Find(e);
  if (first >= 0) {
    // Same object and neither has a product instance: equal without a look
    // at the record.
    if (!DbgExpand() && !e.ZumoInstance() && !caches.entities[first].ZumoInstance()) return first;
    auto matches = [&](int index) {
      const Entity& cached = caches.entities[index];
      if (DbgExpand()) {
        std::printf("      entite numero %u\n", static_cast<unsigned>(index));
        PrintEntityLines(cached);
      }
      return cached.SameObject(e);
    };
    if (matches(first)) return first;
    auto more = caches.moreEntities.find(first);
    if (more != caches.moreEntities.end())
      for (int index : more->second)
        if (matches(index)) return index;
  }
  if (DbgExpand()) std::printf("   >> pas trouve <<\n");
  if (create == 0) return -1;

  int index = static_cast<int>(caches.entities.size());
  caches.entities.emplace_back(e);
  caches.entities.back().SetUuids({});
  if (first < 0)
    caches.entityIndex.Insert(index);
  else
    caches.moreEntities[first].push_back(index);
  caches.chains.emplace_back();
  caches.childrenRead.push_back(0);
  caches.parentsRead.push_back(0);
  if (DbgExpand()) std::printf("   >> Creation <<\n");
  return index;
}

void KelLnkHybridManager::PrefetchEntity(uint32_t environment, uint32_t table, const KelId& coid,
                                         const KelId& compid) {
  TheCaches().entityIndex.Prefetch(EntityTraits::Of(environment, table, coid, compid));
}

void KelLnkHybridManager::SetEntityUuid(const KelUnicodeString& uuid, int index) {
  TheCaches().entities[index].AddUuid(uuid);
}

void KelLnkHybridManager::SetLinkUuid(const KelUnicodeString& uuid, int index) {
  TheCaches().links[index].AddUuid(uuid);
}

int KelLnkHybridManager::FactEntry(int index) {
  Caches& caches = TheCaches();
  if (caches.factGeneration != KelLnkDataManager::Generation()) {
    caches.factEntries.clear();
    caches.factGeneration = KelLnkDataManager::Generation();
  }
  if (static_cast<size_t>(index) >= caches.factEntries.size())
    caches.factEntries.resize(std::max<size_t>(index + 1, caches.entities.size()), -1);
  int32_t& entry = caches.factEntries[static_cast<size_t>(index)];
  if (entry < 0) {
    const Entity& e = caches.entities[index];
    entry = KelLnkDataManager::LocateObject(e.caenv(), e.kelab(), e.coid, e.compid, 1);
  }
  return entry;
}

bool KelLnkHybridManager::MarkRead(int index, bool children) {
  auto& marks = children ? TheCaches().childrenRead : TheCaches().parentsRead;
  if (marks[index]) return false;
  marks[index] = 1;
  return true;
}

void KelLnkHybridManager::LinksOf(int index, bool asFather, std::vector<int>& out) {
  const Caches& caches = TheCaches();
  const int lane = asFather ? 0 : 1;
  out.reserve(out.size() + static_cast<size_t>(caches.chains[index][lane].count));
  for (int k = caches.chains[index][lane].first; k >= 0; k = caches.nextLink[k][lane]) out.push_back(k);
}

int KelLnkHybridManager::FindLink(int fatherIndex, int childIndex, uint32_t type) {
  const Caches& caches = TheCaches();
  const Caches::Chain& chain = caches.chains[fatherIndex][0];
  if (chain.count > kChainScan) return caches.linkIndex.Find(LinkKey{fatherIndex, childIndex, type});
  for (int k = chain.first; k >= 0; k = caches.nextLink[k][0]) {
    const Link& link = caches.links[k];
    if (link.ChildIndex == childIndex && link.TypeNumber() == type) return k;
  }
  return -1;
}

void KelLnkHybridManager::PrefetchLink(int fatherIndex, int childIndex, uint32_t type) {
  const Caches& caches = TheCaches();
  if (caches.chains[static_cast<size_t>(fatherIndex)][0].count > kChainScan)
    caches.linkIndex.Prefetch(LinkTraits::Hash(LinkKey{fatherIndex, childIndex, type}));
  const int last = caches.chains[static_cast<size_t>(childIndex)][1].last;
  if (last >= 0) __builtin_prefetch(&caches.nextLink[static_cast<size_t>(last)]);
  KelLnkDataManager::PrefetchAt(FactEntry(childIndex));
}

int KelLnkHybridManager::AppendLink(Link&& added) {
  Caches& caches = TheCaches();
  int index = static_cast<int>(caches.links.size());
  const Link& link = caches.links.emplace_back(std::move(added));
  caches.nextLink.push_back({-1, -1});
  for (int lane : {0, 1}) {
    Caches::Chain& chain = caches.chains[lane == 0 ? link.FatherIndex : link.ChildIndex][lane];
    if (chain.last >= 0)
      caches.nextLink[chain.last][lane] = index;
    else
      chain.first = index;
    chain.last = index;
    ++chain.count;
  }
  // A father whose chain grows past a scan has all its links indexed.
  const Caches::Chain& fathers = caches.chains[link.FatherIndex][0];
  if (fathers.count == kChainScan + 1) {
    for (int k = fathers.first; k >= 0; k = caches.nextLink[k][0]) caches.linkIndex.Insert(k);
  } else if (fathers.count > kChainScan) {
    caches.linkIndex.Insert(index);
  }
  return index;
}

int KelLnkHybridManager::FindFilterVerdict(const KelId& coid, const KelId& compid) {
  const auto& index = TheCaches().filterIndex;
  auto it = index.find({coid, compid});
  return it == index.end() ? -1 : TheCaches().filterVerdicts[it->second];
}

void KelLnkHybridManager::AppendFilterVerdict(const KelId& coid, const KelId& compid, int verdict) {
  Caches& caches = TheCaches();
  caches.filterIndex.emplace(std::make_pair(coid, compid), static_cast<int>(caches.filterVerdicts.size()));
  caches.filterVerdicts.push_back(verdict);
}

// ---- Tests ----

void KelLnkHybridManager::SetDeclarationsForTest(const Declarations& d) {
  KelLnkTools::State& tools = KelLnkTools::StateForTesting();
  tools.filterRevision = d.filterRevision;
  tools.filterMaturity = d.filterMaturity;
  tools.filterMaturityMin = d.filterMaturityMin;
  tools.filterMaturityNullOK = d.filterMaturityNullOK;
  tools.entityToEntity = d.entityToEntity;
  tools.linkDCTechno = d.linkTechno;
  tools.objectSortName = d.noSortName;
  tools.linkType = d.linkType;
  tools.iloveV5 = d.mmlV5;
  tools.isValid = d.releaseValidity;
  tools.dbgMMLV5 = d.dbgMMLV5;
  tools.isV5NewCode = d.newMMLV5;
  tools.solveV5 = d.solveMMLV5;
  tools.dbgExpand = d.dbgExpand;
  St().settingsTaken = 1;
}

void KelLnkHybridManager::ResetState() {
  UncacheDatabase();
  St() = LinkDbState();
}

// ---- V5 step report ----

void PrintMMLTrace(int step, const KelDMListResultLine* result) {
  static const char* const kLines[17] = {
      "\t1  - Type            = '%s'\n", "\t2  - Coid            = '%s'\n", "\t3  - Compid          = '%s'\n",
      "\t4  - Compid Father   = '%s'\n", "\t5  - CompName Father = '%s'\n", "\t6  - CompName Root   = '%s'\n",
      "\t7  - Coid Root       = '%s'\n", "\t8  - Oid Root        = '%s'\n", "\t9  - CompName Ref    = '%s'\n",
      "\t10 - Coid Ref        = '%s'\n", "\t11 - Compid Ref      = '%s'\n", "\t12 - Uid             = '%s'\n",
      "\t13 - Timestamp       = '%s'\n", "\t14 - Link Created    = '%s'\n", "\t15 - Timestamp Ptd   = '%s'\n",
      "\t16 - IsToAdd         = '%s'\n", "\t17 - CompidQorLink   = '%s'\n"};
  std::printf("\n\n****************** Step number %u for Impacting Elements *****************\n",
              static_cast<unsigned>(step));
  int rows = result ? static_cast<int>(result->Column(1).size()) : 0;
  for (int r = 1; r <= rows; ++r) {
    for (int c = 1; c <= 17; ++c) std::printf(kLines[c - 1], result->Value(r, c).c_str());
    if (r < rows) std::printf("                     **********************\n");
  }
  std::printf("**************************************************************************\n\n\n");
}
