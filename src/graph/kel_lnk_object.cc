// KelLnkObject: construction, identity, database facts, child links and the
// class-wide members. Conditions are in kel_lnk_object_conditions.cc, texts
// and drawing in kel_lnk_object_texts.cc.
#include "graph/kel_lnk_object.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <iostream>
#include <memory>
#include <unordered_map>
#include <utility>

#include "base/kel_text_pool.h"
#include "base/mml_constants.h"
#include "foundation/kel_lnk_tools.h"
#include "graph/kel_lnk_graph_window.h"
#include "graph/kel_lnk_link.h"
#include "host/kel_psn_node.h"
#include "host/kel_psn_trace.h"
#include "host/kel_zumo_instance.h"
#include "linkdb/kel_lnk_data_manager.h"
#include "linkdb/kel_lnk_hybrid_manager.h"

namespace {

// The graph objects' part of the module state.
struct GraphState {
  KelLnkModalDialogForSync* modalDialogForSync = nullptr;
  KelLnkGraphWindow* mainWindowForSync = nullptr;
  int refreshAfterSync = 1;
  int scriptStatus = 0;
  KelQorError batchError;
  int batchOrder = 0;
  int dbgExpand = std::getenv("MML_DEBUG_EXPAND") != nullptr ? 1 : 0;
  int dbgCustom = std::getenv("MML_DEBUG_CUSTOM") != nullptr ? 1 : 0;
};

GraphState& St() {
  static GraphState state;
  return state;
}

}  // namespace

KelLnkModalDialogForSync* KelLnkObject::ModalDialogForSync() { return St().modalDialogForSync; }
void KelLnkObject::SetModalDialogForSync(KelLnkModalDialogForSync* dialog) { St().modalDialogForSync = dialog; }
KelLnkGraphWindow* KelLnkObject::MainWindowForSync() { return St().mainWindowForSync; }
void KelLnkObject::SetMainWindowForSync(KelLnkGraphWindow* window) { St().mainWindowForSync = window; }
int KelLnkObject::RefreshAfterSync() { return St().refreshAfterSync; }
void KelLnkObject::SetRefreshAfterSync(int refresh) { St().refreshAfterSync = refresh; }
int KelLnkObject::ScriptStatus() { return St().scriptStatus; }
void KelLnkObject::SetScriptStatus(int status) { St().scriptStatus = status; }
KelQorError& KelLnkObject::BatchError() { return St().batchError; }
int KelLnkObject::BatchOrder() { return St().batchOrder; }
void KelLnkObject::SetBatchOrder(int order) { St().batchOrder = order; }
int KelLnkObject::DbgExpand() { return St().dbgExpand; }
int KelLnkObject::DbgCustom() { return St().dbgCustom; }
void KelLnkObject::SetDbgExpandForTesting(int on) { St().dbgExpand = on; }
void KelLnkObject::ResetState() { St() = GraphState(); }

namespace {

// The one-entry cache of child links, shared by GetLnkChildren and
// GetChildren. The links name their parent object, so an entry answers only
// the object that computed it (`owner`, a serial number never reused).
struct ChildLinkCache {
  int valid = 0;
  int direction = 0;
  unsigned long owner = 0;
  KelDMInstance instance;
  KelZumoInstance* zumo = nullptr;
  KelListValKelBaseUnknown_var all;
  KelListValKelBaseUnknown_var drawn;
};

// Never destroyed: at exit its links would release objects whose destructors
// look at the cache while it is being torn down.
ChildLinkCache& Cache() {
  static ChildLinkCache* cache = new ChildLinkCache;
  return *cache;
}

// Drops the cached lists. They are moved out first: releasing them may
// destroy objects whose destructors look at the cache again.
void ReleaseCache() {
  ChildLinkCache& cache = Cache();
  cache.valid = 0;
  cache.owner = 0;
  KelListValKelBaseUnknown_var all = std::move(cache.all);
  KelListValKelBaseUnknown_var drawn = std::move(cache.drawn);
  cache.all.clear();
  cache.drawn.clear();
}

unsigned long NextSerial() {
  static unsigned long serial = 0;
  return ++serial;
}

// The pooled link type of a pooled link label: the labels are few, and the
// pooled copies never change, so each is worked out once.
const KelUnicodeString* PooledLinktype(const KelUnicodeString* label) {
  static std::unordered_map<const KelUnicodeString*, const KelUnicodeString*> types;
  auto [it, inserted] = types.try_emplace(label, nullptr);
  if (inserted) it->second = KelPooledText(KelLnkTools::LinklabelToLinktype(*label));
  return it->second;
}

bool StartsWith(const KelUnicodeString& text, const KelUnicodeString& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

// Whether a link of `label` passes the window's link type.
bool MatchesWindowLinktype(const KelUnicodeString& label, const KelUnicodeString& linktype) {
  if (linktype == "%") return true;
  if (StartsWith(label, kMmlV5Prefix) && label.substr(kMmlV5Prefix.size()) == linktype) return true;
  return label == kMmlKelmm + linktype;
}

// Attaches the entity of a child to the window's product-structure graph;
// 0 when the child is to be left out of the graph. The child must be shown
// by a node opened in the graph; the entity then
// takes that node and its product instance.
int AttachToProductStructure(KelLnkGraphWindow* window, KelLnkHybridManager::Entity* entity) {
  MML_TRACE("KelLnkObject::SetNode");
  KelPSNGraph* graph = window->GetPSNGraph();
  KelPSNNode* root = graph != nullptr ? graph->GetRootNode() : nullptr;
  if (graph == nullptr || root == nullptr) {
    mmlFunctionTrace.Write(" Pas de root : etrange => pas glop");
    return 0;
  }
  const KelDMInstance wanted(kMmlKelcon, entity->caenv(), KelLnkTools::RightTrim(entity->kelab()), entity->coid,
                             entity->compid);
  KelPSNNode* found = graph->FindTree(wanted, root, true);
  if (found == nullptr) {
    mmlFunctionTrace.Write(" Pas present dans le PSN => pas glop");
    return 0;
  }
  KelZumoInstance placed;
  if (graph->GetZumoInstance(found, placed) != 0) {
    mmlFunctionTrace.Write(" Erreur SetNode => pas glop");
    return 0;
  }
  KelZumoInstance* zumo = &placed;
  KelPSNNode* node = nullptr;
  KelPSNError error;
  if (KelLnkObject::SetNode(zumo, graph, node, &error) != 0 || node == nullptr) {
    mmlFunctionTrace.Write(" Erreur SetNode => pas glop");
    return 0;
  }
  // A representation hangs below the node of its part.
  entity->SetNode(placed.HasRep() ? found : node);
  entity->SetZumoInstance(&placed);
  return 1;
}

}  // namespace

namespace {

// Instances equal in every field. The names are pooled (KelDMInstance keeps
// one copy of each): the same text is the same address.
struct SameInstance {
  bool operator()(const KelDMInstance& a, const KelDMInstance& b) const {
    return &a.GetConnectionName() == &b.GetConnectionName() && &a.GetEnvironment() == &b.GetEnvironment() &&
           &a.GetTable() == &b.GetTable() && a.Coid() == b.Coid() && a.Compid() == b.Compid() &&
           a.IsWellFormed() == b.IsWellFormed();
  }
};

// Spreads every bit of `x` over the whole word (the finaliser of MurmurHash3).
uint64_t Mix(uint64_t x) {
  x ^= x >> 33;
  x *= 0xff51afd7ed558ccdULL;
  x ^= x >> 33;
  x *= 0xc4ceb9fe1a85ec53ULL;
  return x ^ (x >> 33);
}

// Identifiers differ mostly in their last bytes, which a plain read puts in
// the high bits of the word: every part is mixed, so that the pool's slots
// spread evenly.
struct InstanceHash {
  size_t operator()(const KelDMInstance& instance) const {
    uint64_t coid = 0;
    uint64_t compid = 0;
    std::memcpy(&coid, instance.Coid().Bytes().data(), sizeof coid);
    std::memcpy(&compid, instance.Compid().Bytes().data(), sizeof compid);
    const auto names = reinterpret_cast<uintptr_t>(&instance.GetTable()) ^
                       (reinterpret_cast<uintptr_t>(&instance.GetEnvironment()) << 1);
    return Mix(coid ^ Mix(compid ^ Mix(names)));
  }
};

}  // namespace

const KelDMInstance* KelLnkPooledInstance(const KelDMInstance& instance) {
  return KelValuePool<KelDMInstance, InstanceHash, SameInstance>::Pooled(instance);
}

const KelDMInstance* KelLnkEmptyInstance() {
  static const KelDMInstance* const empty = KelLnkPooledInstance(KelDMInstance());
  return empty;
}

// ---- Construction ----

KelLnkObject::KelLnkObject(KelLnkGraphWindow* window, const KelDMInstance& instance, KelZumoInstance* zumo,
                           KelPSNNode* psn, const int& solved)
    : window_(window), serial_(NextSerial()) {
  MML_TRACE("KelLnkObject::KelLnkObject");
  SetInstance(instance);
  if (zumo) {
    auto* own = new KelZumoInstance(*zumo);
    if (KelLnkTools::RightTrim(instance_->GetTable()) != kMmlPartList) {
      own->SetRep(instance_->GetTable(), instance_->Compid());
    }
    SetZumoInstance(own);
  }
  SetPSNNode(psn);
  expandable_ = solved ? kExpandSolved : kExpandOnce;
}

KelLnkObject::KelLnkObject(const KelDMInstance& instance) : serial_(NextSerial()) {
  MML_TRACE("KelLnkObject::KelLnkObject");
  SetInstance(instance);
  expandable_ = kExpandOnce;
}

KelLnkObject::KelLnkObject(const KelLnkObject& other)
    : KelLnkNode(other),
      conditionCached_(other.conditionCached_),
      impactOnConditionCached_(other.impactOnConditionCached_),
      condition_(other.condition_),
      impactOnCondition_(other.impactOnCondition_),
      level_(other.level_),
      window_(other.window_),
      parentLink_(other.parentLink_),
      serial_(NextSerial()) {
  MML_TRACE("KelLnkObject::KelLnkObject");
  instance_ = other.instance_;
  SetZumoInstance(other.GetZumoInstance() ? new KelZumoInstance(*other.GetZumoInstance()) : nullptr);
  SetPSNNode(other.GetPSNNode());
  expandable_ = other.expandable_;
}

KelLnkObject& KelLnkObject::operator=(const KelLnkObject& other) {
  MML_TRACE("KelLnkObject::operator=");
  if (this == &other) return *this;
  KelLnkNode::operator=(other);
  instance_ = other.instance_;
  // Each object owns one product instance: sharing the other's pointer would
  // have both destructors delete it.
  KelZumoInstance* zumo = other.GetZumoInstance() ? new KelZumoInstance(*other.GetZumoInstance()) : nullptr;
  delete GetZumoInstance();
  SetZumoInstance(zumo);
  SetPSNNode(other.GetPSNNode());
  expandable_ = other.expandable_;
  window_ = other.window_;
  parentLink_ = other.parentLink_;
  conditionCached_ = other.conditionCached_;
  impactOnConditionCached_ = other.impactOnConditionCached_;
  condition_ = other.condition_;
  impactOnCondition_ = other.impactOnCondition_;
  level_ = other.level_;
  // The cache of child links answers the object that computed it only.
  if (Cache().owner == serial_) ReleaseCache();
  return *this;
}

KelLnkObject::~KelLnkObject() {
  MML_TRACE("KelLnkObject::~KelLnkObject");
  conditionCached_ = false;
  impactOnConditionCached_ = false;
  if (Cache().owner == serial_) ReleaseCache();
  delete GetZumoInstance();
  SetZumoInstance(nullptr);
}

bool KelLnkObject::operator==(const KelLnkObject* other) const {
  MML_TRACE("KelLnkObject::operator==");
  if (other == nullptr) return false;
  if (!(*instance_ == *other->instance_)) return false;
  if (GetPSNNode() != other->GetPSNNode()) return false;
  KelZumoInstance* zumo = GetZumoInstance();
  KelZumoInstance* otherZumo = other->GetZumoInstance();
  if (zumo == nullptr && otherZumo == nullptr) return true;
  if (zumo == nullptr || otherZumo == nullptr) return false;
  return *zumo == *otherZumo;
}

KelBaseUnknown_var KelLnkObjectBindInterface(KelLnkGraphWindow* window, const KelDMInstance& instance,
                                             KelZumoInstance* zumo, KelPSNNode* psn, const int& solved,
                                             const char* interfaceName) {
  MML_TRACE("KelLnkObjectBindInterface");
  (void)interfaceName;
  return std::make_shared<KelLnkObject>(window, instance, zumo, psn, solved);
}

std::ostream& operator<<(std::ostream& out, KelLnkObject& object) {
  out << "[KelLnkObject: Address : " << static_cast<const void*>(&object) << " ID ----> ";
  for (const KelUnicodeString& text : object.GetIdentificators()) out << text << " ";
  out << "]";
  return out;
}

int KelLnkObject::GetParentTechno() const {
  MML_TRACE("KelLnkObject::GetParentTechno");
  return parentLink_ ? parentLink_->GetTechno() : -1;
}

// ---- Database facts ----

int KelLnkObject::Exists() const {
  MML_TRACE("KelLnkObject::Exists");
  return KelLnkDataManager::DoesObjectExist(instance_->GetEnvironment(), KelLnkTools::RightTrim(instance_->GetTable()),
                                            instance_->Coid(), instance_->Compid());
}

int KelLnkObject::IsLatest() const {
  MML_TRACE("KelLnkObject::IsLatest");
  return KelLnkDataManager::IsObjectLatest(instance_->GetEnvironment(), KelLnkTools::RightTrim(instance_->GetTable()),
                                           instance_->Coid(), instance_->Compid());
}

KelUnicodeString KelLnkObject::GetName() const {
  MML_TRACE("KelLnkObject::GetName");
  return KelLnkDataManager::GetObjectName(instance_->GetEnvironment(), KelLnkTools::RightTrim(instance_->GetTable()),
                                          instance_->Coid(), instance_->Compid());
}

KelUnicodeString KelLnkObject::GetDate() const {
  MML_TRACE("KelLnkObject::GetDate");
  return KelLnkDataManager::GetObjectTimestamp(instance_->GetEnvironment(),
                                               KelLnkTools::RightTrim(instance_->GetTable()), instance_->Coid(),
                                               instance_->Compid());
}

KelUnicodeString KelLnkObject::GetLatestDate() const {
  MML_TRACE("KelLnkObject::GetLatestDate");
  return KelLnkDataManager::GetObjectLatestTimestamp(instance_->GetEnvironment(),
                                                     KelLnkTools::RightTrim(instance_->GetTable()), instance_->Coid(),
                                                     instance_->Compid());
}

bool KelLnkObject::IsNull() const {
  const KelId& coid = instance_->Coid();
  const KelId& compid = instance_->Compid();
  return (coid.IsZero() && compid.IsZero()) || (coid.IsNullId() && compid.IsNullId());
}

// ---- Child links ----

void KelLnkObject::Clean() {
  MML_TRACE("KelLnkObject::Clean");
  ReleaseCache();
}

KelListValKelBaseUnknown_var KelLnkObject::GetLnkChildren(int reverse) {
  MML_TRACE("KelLnkObject::GetLnkChildren");
  int direction = window_ ? window_->GetOrder() : 0;
  if (reverse) direction = direction ? 0 : 1;
  return ComputeLinks(direction, false);
}

KelListValKelBaseUnknown_var KelLnkObject::GetChildren() {
  MML_TRACE("KelLnkObject::GetChildren");
  int direction = window_ ? window_->GetOrder() : (BatchOrder() ? 1 : 0);
  return ComputeLinks(direction, true);
}

KelListValKelBaseUnknown_var KelLnkObject::ComputeLinks(int direction, bool drawn) {
  // Replacing the cached lists may release the last handle on this object
  // (a child reached through links that only the cache still held).
  const KelBaseUnknown_var self = weak_from_this().lock();
  ChildLinkCache& cache = Cache();
  if (cache.valid && cache.owner == serial_ && cache.direction == direction && cache.instance == *instance_ &&
      cache.zumo == GetZumoInstance()) {
    if (DbgExpand()) std::cout << "\tQuick Search \n" << std::flush;
    return drawn ? cache.drawn : cache.all;
  }

  KelLnkHybridManager::Entity entity(instance_->GetEnvironment(), KelLnkTools::RightTrim(instance_->GetTable()),
                                     instance_->Coid(), instance_->Compid(), GetZumoInstance(), GetPSNNode(), 0);
  int count = 0;
  KelLnkHybridManager::Link** links = nullptr;
  KelLnkHybridManager::Entity** entities = nullptr;
  if (direction == 0) {
    KelLnkHybridManager::GetChildren(entity, count, &links, &entities, window_);
  } else {
    KelLnkHybridManager::GetParents(entity, count, &links, &entities, window_);
  }

  KelLnkObject* grandParent = parentLink_ ? parentLink_->GetParent() : nullptr;
  level_ = grandParent ? grandParent->GetLevel() + 1 : 0;
  const KelUnicodeString connexion = KelLnkTools::GetConnexionStr();

  KelListValKelBaseUnknown_var all;
  KelListValKelBaseUnknown_var shown;
  for (int k = 0; k < count; ++k) {
    KelLnkHybridManager::Link* link = links[k];
    KelLnkHybridManager::Entity* far = entities[k];
    if (window_ && window_->HasPSNContext() && AttachToProductStructure(window_, far) == 0) continue;
    if (window_ && !MatchesWindowLinktype(link->Type(), window_->GetLinktype())) continue;
    const bool v5 = link->Techno == MML_LINK_KELV5 || StartsWith(link->Type(), kMmlV5Prefix);
    if (window_ && KelLnkTools::IsComputeLinkTechno() && !v5 && link->Techno != MML_LINK_BOTH) {
      if (window_->GetFilter() == KelLnkGraphWindow::FilterRestricted) continue;
      if (window_->GetFilter() == KelLnkGraphWindow::FilterRestrictedWithLate &&
          !KelLnkDataManager::IsObjectLatest(far->caenv(), far->kelab(), far->coid, far->compid)) {
        continue;
      }
    }
    KelDMInstance childInstance(kMmlKelcon, far->caenv(), far->kelab(), far->coid, far->compid);
    KelBaseUnknown_var child = KelLnkObjectBindInterface(window_, childInstance, far->ZumoInstance(), far->Node(),
                                                         far->iPres(), "KelINavigateObject");
    KelDMInstance linkInstance(kMmlKelcon, link->Env(), link->Table(), link->Coid, link->Compid);
    const KelUnicodeString* pooledLinktype = PooledLinktype(KelPooledText(link->Type()));
    const KelUnicodeString& linktype = *pooledLinktype;
    KelBaseUnknown_var node =
        KelLnkLinkBindInterface(window_, linkInstance, this, KelPooledString::FromPooled(pooledLinktype),
                                KelPooledString::FromPooled(link->Timestamp.Pooled()), link->Status(), link->UpToDate,
                                link->Techno, link->Uuids(), child, "KelINavigateObject");
    // A connection is never walked back to the object it came from.
    if (!connexion.empty() && linktype == connexion && grandParent &&
        *static_cast<KelLnkObject*>(child.get()) == grandParent) {
      continue;
    }
    all.push_back(node);
    if (expandable_ == kExpandOnce || expandable_ == kExpandSameInOtherBranch) shown.push_back(node);
  }
  delete[] links;
  delete[] entities;

  ReleaseCache();
  cache.valid = 1;
  cache.owner = serial_;
  cache.direction = direction;
  cache.instance = *instance_;
  cache.zumo = GetZumoInstance();
  cache.all = all;
  cache.drawn = shown;
  return drawn ? shown : all;
}

int KelLnkObject::FindNodeInBranch(KelLnkNode& node, int& counter) {
  MML_TRACE("KelLnkObject::FindNodeInBranch");
  --counter;
  if (counter <= 0) return 0;
  if (node.GetNodetype() == 0 && node.Instance() == *instance_) return 1;
  for (const KelBaseUnknown_var& handle : GetLnkChildren(0)) {
    if (handle->FindNodeInBranch(node, counter)) return 1;
  }
  return 0;
}
