// Batch impacts: the windowless walk below a root that lists, once each,
// every object the root impacts or is impacted by, and the output file.
#include <algorithm>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/kel_object_key.h"
#include "base/kel_text.h"
#include "base/mml_constants.h"
#include "batch/kel_lnk_batch_progress.h"
#include "batch/kel_lnk_object_batch.h"
#include "foundation/kel_lnk_tools.h"
#include "graph/kel_lnk_link.h"
#include "graph/kel_lnk_object.h"
#include "host/db/host_sql.h"
#include "host/db/kel_db_connection.h"
#include "host/kel_psn_trace.h"
#include "linkdb/kel_lnk_hybrid_manager.h"
#include "operations/kel_lnk_site_files.h"
#include "operations/kel_lnk_synchro_unit.h"

namespace {

using Entity = KelLnkHybridManager::Entity;

// The instance an entity record stands for, as the navigator builds it.
KelDMInstance InstanceOf(int index) {
  const Entity& e = *KelLnkHybridManager::GetEntity(index);
  return KelDMInstance(kMmlKelcon, e.caenv(), e.kelab(), e.coid, e.compid);
}

// The objects of one walk, as entity-cache indices. The walk runs on the link
// database's answers directly: a batch run draws nothing, so it needs no
// navigator object per link. An object is one whatever the trailing blanks
// of its table name, as in the navigator, where a table is always trimmed.
class WalkedObjects {
 public:
  // The index of `instance`, cached if it was not.
  static int Locate(const KelDMInstance& instance, const KelZumoInstance* zumo) {
    return KelLnkHybridManager::LocateEntity(Entity(instance.GetEnvironment(),
                                                    KelLnkTools::RightTrim(instance.GetTable()), instance.Coid(),
                                                    instance.Compid(), zumo),
                                             1);
  }
  // Marks the object at `index` visited; false when it already was.
  bool Visit(int index) {
    // A marked index is one of a trimmed name: its record need not be read.
    if (static_cast<size_t>(index) < seen_.size() && seen_[index]) return false;
    const int object = Trimmed(index);
    if (static_cast<size_t>(object) >= seen_.size()) seen_.resize(std::max<size_t>(object + 1, 2 * seen_.size()), 0);
    if (seen_[object]) return false;
    seen_[object] = 1;
    return true;
  }

 private:
  // The index of the same object with its table name trimmed.
  static int Trimmed(int index) {
    const Entity& e = *KelLnkHybridManager::GetEntity(index);
    if (e.kelab().empty() || e.kelab().back() != ' ') return index;
    const Entity trimmed(e.caenv(), KelLnkTools::RightTrim(e.kelab()), e.coid, e.compid, e.ZumoInstance());
    return KelLnkHybridManager::LocateEntity(trimmed, 1);
  }
  std::vector<uint8_t> seen_;
};

// The records of a walk, merged per (object, child) as AddToList does, but
// found through an index instead of a scan of the whole list.
class RecordIndex {
 public:
  explicit RecordIndex(KelListPtrKelLnkSynchroUnit& units) : units_(units) {
    for (KelLnkSynchroUnit* unit : units) byPair_.emplace(Key(unit->GetParent(), unit->GetChild()), unit);
  }
  void Add(const KelDMInstance& parent, const KelDMInstance& child, const KelUnicodeString& type) {
    auto [it, inserted] = byPair_.emplace(Key(parent, child), nullptr);
    if (!inserted) {
      it->second->AddLinkType(type, 0);
      return;
    }
    it->second = new KelLnkSynchroUnit(parent, child, type, 0);
    units_.push_back(it->second);
  }

 private:
  using PairKey = std::pair<PackedObjectKey, PackedObjectKey>;
  struct PairKeyHash {
    size_t operator()(const PairKey& k) const {
      return PackedObjectKeyHash()(k.first) * 1000003u ^ PackedObjectKeyHash()(k.second);
    }
  };
  PackedObjectKey Of(const KelDMInstance& instance) {
    return numbers_.Pack(instance.GetEnvironment(), KelLnkTools::RightTrim(instance.GetTable()), instance.Coid(),
                         instance.Compid());
  }
  PairKey Key(const KelDMInstance& parent, const KelDMInstance& child) { return {Of(parent), Of(child)}; }
  KelListPtrKelLnkSynchroUnit& units_;
  KelTableNumbers numbers_;
  std::unordered_map<PairKey, KelLnkSynchroUnit*, PairKeyHash> byPair_;
};

// One object being walked: its links in answer order, each with the object
// at its far end (taken while the link records are fresh in memory), and the
// next to look at.
struct WalkFrame {
  int object;
  std::vector<int> links;
  std::vector<int> ends;
  size_t next = 0;
};

// Depth first from `root`, in the batch order's direction: every object
// reached for the first time gets one record (the object it was reached from,
// itself, the link) and is walked before the next link. An object already
// visited is not recorded again, and the walk goes on with the remaining
// links of the object it was met from, so that objects reachable only
// through those links are still listed. Every link is followed, whatever its
// condition; loops end at the repeated object. `reached` gets the cache
// indices (the object it was reached from, the object, the link) of each
// record.
//
// The caller's list of visited objects, when given, grows with the walk.
template <class Reached>
void WalkImpacts(KelLnkObject* root, KelListValKelDMInstance* visited, Reached&& reached) {
  if (!root) return;
  const bool children = !KelLnkObject::BatchOrder();
  WalkedObjects objects;
  if (visited)
    for (const KelDMInstance& instance : *visited) objects.Visit(WalkedObjects::Locate(instance, nullptr));

  const int first = WalkedObjects::Locate(root->Instance(), root->GetZumoInstance());
  if (!objects.Visit(first)) return;
  if (visited) visited->push_back(root->Instance());

  // The frames below `depth` are the walk's; those above keep the storage of
  // their lists of links for the next objects walked at that depth.
  std::vector<WalkFrame> stack;
  size_t depth = 0;
  auto enter = [&](int object) {
    if (depth == stack.size()) stack.emplace_back();
    WalkFrame& frame = stack[depth++];
    frame.object = object;
    frame.next = 0;
    KelLnkHybridManager::AnswerLinks(object, children, frame.links, nullptr);
    frame.ends.clear();
    for (const int link : frame.links) {
      const KelLnkHybridManager::Link& record = *KelLnkHybridManager::GetLink(link);
      frame.ends.push_back(children ? record.ChildIndex : record.FatherIndex);
    }
  };
  enter(first);
  while (depth > 0) {
    WalkFrame& frame = stack[depth - 1];
    if (frame.next >= frame.links.size()) {
      --depth;
      continue;
    }
    const int link = frame.links[frame.next];
    const int child = frame.ends[frame.next++];
    if (!objects.Visit(child)) continue;
    if (visited) visited->push_back(InstanceOf(child));
    KelLnkBatchProgress::ObjectReached();
    reached(frame.object, child, link);
    enter(child);  // `frame` is not used past this point
  }
}

// The four lines of an object in an impact file.
void AppendImpactLines(std::string& text, std::string_view environment, std::string_view table, const KelId& coid,
                       const KelId& compid) {
  text += environment;
  text += '\n';
  text += RightTrimmedBlanks(table);
  text += '\n';
  coid.AppendHex(text);
  text += '\n';
  compid.AppendHex(text);
  text += '\n';
}
void AppendImpactLines(std::string& text, const KelDMInstance& object) {
  AppendImpactLines(text, object.GetEnvironment(), object.GetTable(), object.Coid(), object.Compid());
}
void AppendImpactLines(std::string& text, int entity) {
  const Entity& e = *KelLnkHybridManager::GetEntity(entity);
  AppendImpactLines(text, e.caenv(), e.kelab(), e.coid, e.compid);
}

// Writes the impact file of the walk named `name`: the count, then the lines
// `lines(k, text)` appends for each object k. The text is written a megabyte
// at a time, so that a long list is never held whole. A failure is left in
// the batch error.
template <typename Lines>
void WriteImpactFile(const KelUnicodeString& name, int count, Lines&& lines) {
  const std::string fileName = name + (KelLnkObject::BatchOrder() ? ".ImpactsOn" : ".ImpactedBy");
  // The file replaces the previous one whole, and only once fully written.
  KelLnkSiteFileWriter file;
  if (!file.Open(fileName)) {
    KelLnkObject::BatchError().Set(1, "Error in Batch Impacts", "Unable to open the file: " + fileName, 3);
    return;
  }
  constexpr size_t kPiece = size_t{1} << 20;
  std::string text;
  text.reserve(kPiece + 4096);
  text = std::to_string(count) + "\n";
  bool written = true;
  for (int k = 0; k < count && written; ++k) {
    lines(k, text);
    if (text.size() < kPiece) continue;
    written = file.Write(text);
    text.clear();
  }
  if (!written || !file.Write(text)) {
    KelLnkObject::BatchError().Set(1, "Error in Batch Impacts",
                                   "An error occurred writing the output file: " + fileName, 3);
    return;  // the partial file is dropped; the previous file stays
  }
  if (!file.Close())
    KelLnkObject::BatchError().Set(1, "Error in Batch Impacts", "Impossible to close the file: " + fileName, 3);
}

}  // namespace

void KelLnkObjectBatch::BatchOrder(int order) { KelLnkObject::SetBatchOrder(order); }

void KelLnkObjectBatch::GetBatchError(KelQorError& error) {
  error.Set(KelLnkObject::BatchError().Ier(), KelLnkObject::BatchError().ShortMsg(),
            KelLnkObject::BatchError().LongMsg(), KelLnkObject::BatchError().Severity());
}

void KelLnkObjectBatch::BatchStartImpacts(KelLnkObject& root, const KelUnicodeString& name, int order) {
  MML_TRACE("KelLnkObject::BatchStartImpacts");
  BatchOrder(order);
  KelLnkObject::BatchError().Ok();
  // Each object is reached once: the walk keeps its cache index, without a
  // record per edge, and its lines are written from it.
  std::vector<int> reached;
  {
    MML_TRACE("KelLnkObject::GetStructure");
    WalkImpacts(&root, nullptr, [&](int, int child, int) { reached.push_back(child); });
  }
  const int count = static_cast<int>(reached.size());
  // Queries that failed were skipped on the way; when the engine itself
  // failed, the walk is incomplete and no file is written.
  if (KelDbEngineFaultCount() > 0) {
    KelLnkObject::BatchError().Set(
        1, "Database failure",
        "The database failed during the walk, no file was written: " + AbbreviateForMessage(KelDbFirstEngineFault()),
        3);
    return;
  }
  if (count == 0) {
    KelLnkObject::BatchError().Set(-1, "No Impacts", "The root model has no impacts", -1);
    return;
  }
  {
    MML_TRACE("KelLnkObject::DoBatchImpacts");
    WriteImpactFile(name, count, [&](int k, std::string& text) { AppendImpactLines(text, reached[k]); });
  }
}

void KelLnkObjectBatch::GetImpactStructure(KelLnkObject* object, KelListPtrKelLnkSynchroUnit& units,
                                           KelListValKelDMInstance* visited) {
  MML_TRACE("KelLnkObject::GetStructure");
  if (!object) return;
  RecordIndex records(units);
  const int root = WalkedObjects::Locate(object->Instance(), object->GetZumoInstance());
  WalkImpacts(object, visited, [&](int parent, int child, int link) {
    records.Add(parent == root ? object->Instance() : InstanceOf(parent), InstanceOf(child),
                KelLnkTools::LinklabelToLinktype(KelLnkHybridManager::GetLink(link)->Type()));
  });
}

void KelLnkObjectBatch::DoBatchImpacts(KelListPtrKelLnkSynchroUnit& units, const KelUnicodeString& name) {
  MML_TRACE("KelLnkObject::DoBatchImpacts");
  WriteImpactFile(name, static_cast<int>(units.size()),
                  [&](int k, std::string& text) { AppendImpactLines(text, units[k]->GetChild()); });
  for (KelLnkSynchroUnit* unit : units) delete unit;
  units.clear();
}
