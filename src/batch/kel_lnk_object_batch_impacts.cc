// Batch impacts: the windowless walk below a root that lists, once each,
// every object the root impacts or is impacted by, and the output file.
#include <cstdint>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "base/kel_object_key.h"
#include "batch/kel_lnk_batch_progress.h"
#include "batch/kel_lnk_object_batch.h"
#include "foundation/kel_lnk_tools.h"
#include "graph/kel_lnk_link.h"
#include "graph/kel_lnk_object.h"
#include "host/db/host_sql.h"
#include "host/db/kel_db_connection.h"
#include "host/kel_psn_trace.h"
#include "operations/kel_lnk_site_files.h"
#include "operations/kel_lnk_synchro_unit.h"

namespace {

// Numbers the (environment, table) pairs met by one walk.
class InstanceKeys {
 public:
  PackedObjectKey Of(const KelDMInstance& instance) {
    return numbers_.Pack(instance.GetEnvironment(), KelLnkTools::RightTrim(instance.GetTable()), instance.Coid(),
                         instance.Compid());
  }

 private:
  KelTableNumbers numbers_;
};

// The records of a walk, merged per (object, child) as AddToList does, but
// found through an index instead of a scan of the whole list.
class RecordIndex {
 public:
  RecordIndex(KelListPtrKelLnkSynchroUnit& units, InstanceKeys& keys) : units_(units), keys_(keys) {
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
  PairKey Key(const KelDMInstance& parent, const KelDMInstance& child) { return {keys_.Of(parent), keys_.Of(child)}; }
  KelListPtrKelLnkSynchroUnit& units_;
  InstanceKeys& keys_;
  std::unordered_map<PairKey, KelLnkSynchroUnit*, PairKeyHash> byPair_;
};

// One object being walked: its child links (the handles keep the child
// objects alive) and the next link to look at.
struct WalkFrame {
  KelLnkObject* object;
  KelListValKelBaseUnknown_var links;
  size_t next = 0;
};

// Depth first from `object`, in the batch order's direction: every object
// reached for the first time gets one record (the object it was reached from,
// itself, the link's type) and is walked before the next link. An object
// already visited is not recorded again, and the walk goes on with the
// remaining links of the object it was met from, so that objects reachable
// only through those links are still listed. Every link is followed,
// whatever its condition; loops end at the repeated object. `reached` gets
// (the object it was reached from, the object, the link) for each record.
//
// The caller's list of visited objects, when given, grows with the walk;
// without one, the walk keeps only their keys.
template <class Reached>
void WalkImpacts(KelLnkObject* object, KelListValKelDMInstance* visited, InstanceKeys& keys, Reached&& reached) {
  std::unordered_set<PackedObjectKey, PackedObjectKeyHash> seen;
  if (visited)
    for (const KelDMInstance& instance : *visited) seen.insert(keys.Of(instance));

  if (!object || !seen.insert(keys.Of(object->Instance())).second) return;
  if (visited) visited->push_back(object->Instance());

  std::vector<WalkFrame> stack;
  stack.push_back(WalkFrame{object, object->GetChildren()});
  while (!stack.empty()) {
    WalkFrame& frame = stack.back();
    if (frame.next >= frame.links.size()) {
      stack.pop_back();
      continue;
    }
    auto* link = dynamic_cast<KelLnkLink*>(frame.links[frame.next++].get());
    if (!link) continue;
    KelLnkObject* child = link->GetChild();
    if (!child) continue;
    const KelDMInstance& childInstance = child->Instance();
    if (!seen.insert(keys.Of(childInstance)).second) continue;
    if (visited) visited->push_back(childInstance);
    KelLnkBatchProgress::ObjectReached();
    reached(frame.object->Instance(), childInstance, *link);
    KelListValKelBaseUnknown_var childLinks = child->GetChildren();
    stack.push_back(WalkFrame{child, std::move(childLinks)});
  }
}

// The four lines of an object in an impact file.
void AppendImpactLines(std::string& text, const KelDMInstance& object) {
  text += object.GetEnvironment() + "\n" + KelLnkTools::RightTrim(object.GetTable()) + "\n" + object.GetXCoid() + "\n" +
          object.GetXCompid() + "\n";
}

// Writes the impact file of the walk named `name` (the count, then the
// objects' lines); a failure is left in the batch error.
void WriteImpactFile(const KelUnicodeString& name, int count, const std::string& text) {
  const std::string fileName = name + (KelLnkObject::BatchOrder() ? ".ImpactsOn" : ".ImpactedBy");
  // The file replaces the previous one whole, and only once fully written.
  KelLnkSiteFileWriter file;
  if (!file.Open(fileName)) {
    KelLnkObject::BatchError().Set(1, "Error in Batch Impacts", "Unable to open the file: " + fileName, 3);
    return;
  }
  // Two writes: no second copy of a long list.
  if (!file.Write(std::to_string(count) + "\n") || !file.Write(text)) {
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
  // Each object is reached once: its lines go straight to the file's text,
  // without a record per edge.
  std::string text;
  int count = 0;
  {
    MML_TRACE("KelLnkObject::GetStructure");
    InstanceKeys keys;
    WalkImpacts(&root, nullptr, keys, [&](const KelDMInstance&, const KelDMInstance& child, KelLnkLink&) {
      AppendImpactLines(text, child);
      ++count;
    });
  }
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
    WriteImpactFile(name, count, text);
  }
}

void KelLnkObjectBatch::GetImpactStructure(KelLnkObject* object, KelListPtrKelLnkSynchroUnit& units,
                                           KelListValKelDMInstance* visited) {
  MML_TRACE("KelLnkObject::GetStructure");
  InstanceKeys keys;
  RecordIndex records(units, keys);
  WalkImpacts(object, visited, keys, [&](const KelDMInstance& parent, const KelDMInstance& child, KelLnkLink& link) {
    records.Add(parent, child, link.GetLinktype());
  });
}

void KelLnkObjectBatch::DoBatchImpacts(KelListPtrKelLnkSynchroUnit& units, const KelUnicodeString& name) {
  MML_TRACE("KelLnkObject::DoBatchImpacts");
  std::string text;
  int count = 0;
  for (KelLnkSynchroUnit* unit : units) {
    AppendImpactLines(text, unit->GetChild());
    ++count;
    delete unit;
  }
  units.clear();
  WriteImpactFile(name, count, text);
}
