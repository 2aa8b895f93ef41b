// Synchronisation analysis: the plan of one object, of everything below an
// object, the reverse links, the loop check and the order of synchronisation.
#include "operations/kel_lnk_synchronise.h"

#include <algorithm>
#include <deque>
#include <memory>
#include <string>
#include <unordered_set>

#include "base/mml_constants.h"
#include "foundation/kel_lnk_tools.h"
#include "graph/kel_lnk_graph_window.h"
#include "graph/kel_lnk_link.h"
#include "graph/kel_lnk_object.h"
#include "graph/kel_lnk_user_services.h"
#include "host/db/host_sql.h"
#include "host/kel_dm_select.h"
#include "host/kel_psn_trace.h"
#include "linkdb/kel_lnk_data_manager.h"

namespace {

const char kLoopKey[] = "Object.LoopFound.Message";
const char kLoopText[] = "Cannot perform this operation :\nThere are loops in the graph.";

KelLnkLink* AsLink(const KelBaseUnknown_var& handle) { return dynamic_cast<KelLnkLink*>(handle.get()); }

bool IsStale(int condition) {
  return condition == KelLnkLink::BADDATE || condition == KelLnkLink::UP_BADDATE || condition == KelLnkLink::UP_GOOD;
}

std::string InstanceKeyText(const KelDMInstance& i) {
  return i.GetEnvironment() + '\x1f' + KelLnkTools::RightTrim(i.GetTable()) + '\x1f' + i.GetXCoid() + i.GetXCompid();
}

KelUnicodeString Resource(KelLnkGraphWindow* window, const char* key, const char* text) {
  return window ? window->GetResource(key, text) : KelUnicodeString(text);
}

void SetMark(const KelDMInstance& i, const char* value) {
  KelLnkDataManager::SetObjectAttribute(i.GetEnvironment(), KelLnkTools::RightTrim(i.GetTable()), i.Coid(), i.Compid(),
                                        "SYNC", value);
}

bool IsMarked(const KelDMInstance& i) {
  return KelLnkDataManager::GetObjectAttribute(i.GetEnvironment(), KelLnkTools::RightTrim(i.GetTable()), i.Coid(),
                                               i.Compid(), "SYNC") == "DONE";
}

int WindowOrder(const KelLnkObject& object) { return object.GetMainWindow() ? object.GetMainWindow()->GetOrder() : 0; }

}  // namespace

void KelLnkSynchronise::AnalyseSynchronise(KelLnkObject& object, Plan& units) {
  MML_TRACE("KelLnkObject::AnalyseSynchronise");
  KelListValKelBaseUnknown_var links = object.GetLnkChildren(0);
  KelListValKelUnicodeString types;
  std::unordered_set<std::string> seen;
  for (const KelBaseUnknown_var& handle : links) {
    KelLnkLink* link = AsLink(handle);
    if (link && IsStale(link->GetCondition(0)) && seen.insert(link->GetLinktype()).second)
      types.push_back(link->GetLinktype());
  }
  for (const KelUnicodeString& type : types) {
    Unit unit{std::make_unique<KelLnkObject>(object), type, {}, {}};
    for (const KelBaseUnknown_var& handle : links) {
      KelLnkLink* link = AsLink(handle);
      if (!link || link->GetLinktype() != type) continue;
      if (type != "DRW" && !IsStale(link->GetCondition(0))) continue;
      unit.links.push_back(handle);
      KelLnkObject* child = link->GetChild();
      unit.reason += (unit.reason.empty() ? "" : ", ") + (child ? child->GetName() : KelUnicodeString(kMmlUnknownName));
    }
    units.push_back(std::move(unit));
  }
}

void KelLnkSynchronise::PlanThisLevel(KelLnkObject& object, Plan& units, ReverseLinks& reverse) {
  MML_TRACE("KelLnkObject::Synchronise");
  if (WindowOrder(object) != 1) {
    AnalyseSynchronise(object, units);
    return;
  }
  for (const KelBaseUnknown_var& handle : object.GetLnkChildren(0)) {
    KelLnkLink* link = AsLink(handle);
    KelLnkObject* child = link ? link->GetChild() : nullptr;
    if (!child) continue;
    KelLnkObject copy(*child);
    KelListValKelBaseUnknown_var back = copy.GetLnkChildren(1);
    const size_t before = reverse.size();
    if (back.size() >= 2) {
      for (const KelBaseUnknown_var& rHandle : back) {
        KelLnkLink* r = AsLink(rHandle);
        KelLnkObject* far = r ? r->GetChild() : nullptr;
        if (!far || (far->Instance() == object.Instance() && r->GetLinktype() == link->GetLinktype())) continue;
        const int condition = r->GetCondition(1);
        if (condition != KelLnkLink::BADDATE && condition != KelLnkLink::UP_BADDATE && condition != KelLnkLink::BROKEN)
          continue;
        reverse.push_back({std::make_unique<KelLnkObject>(*far), std::make_unique<KelDMInstance>(child->Instance())});
      }
    }
    // Only a stale link is synchronised; BROKEN and UNKNOWN never are.
    if (reverse.size() == before && IsStale(link->GetCondition(0)))
      units.push_back(Unit{std::make_unique<KelLnkObject>(*child), link->GetLinktype(), {handle}, object.GetName()});
  }
}

void KelLnkSynchronise::Synchronise(KelLnkObject& object, int /*level*/) {
  MML_TRACE("KelLnkObject::Synchronise");
  KelLnkTools::Busy();
  KelLnkObject::SetRefreshAfterSync(0);
  Plan units;
  ReverseLinks reverse;
  PlanThisLevel(object, units, reverse);
  KelLnkGraphWindow* window = object.GetMainWindow();
  if (!reverse.empty()) {
    KelLnkUserServices::Current().ShowPlan(window, object, std::move(units), std::move(reverse));
  } else {
    DoSynchronise(window, std::move(units));
  }
  KelLnkUserServices::Current().Refresh(window, 1);
  KelLnkObject::SetRefreshAfterSync(0);
}

int KelLnkSynchronise::PlanFull(KelLnkObject& object, int reverse, Plan& units, ReverseLinks& reverseLinks) {
  KelListPtrKelLnkSynchroUnit edges;
  const int loop = GetTree(&object, edges, nullptr);
  KelLnkSynchroUnit::DeleteAll(edges);
  if (loop) return kPlanLoop;
  FullSynchroniseRecurse(object, reverse, 1, units, reverseLinks);
  // The marks only keep one walk from planning an object twice: a later plan
  // (after the user dismissed this one) walks everything again.
  std::unordered_set<std::string> keys;
  std::erase_if(units, [&keys](const Unit& unit) {
    return !keys.insert(InstanceKeyText(unit.object->Instance()) + '\x1e' + unit.linkType).second;
  });
  KelListPtrKelLnkSynchroUnit tree;
  KelListValKelDMInstance walked;
  walked.push_back(object.Instance());
  GetTree(&object, tree, nullptr);
  for (const KelLnkSynchroUnit* edge : tree) walked.push_back(edge->GetChild());
  KelLnkSynchroUnit::DeleteAll(tree);
  for (const KelDMInstance& instance : walked) SetMark(instance, "");
  return units.empty() ? kPlanEmpty : kPlanReady;
}

void KelLnkSynchronise::FullSynchronise(KelLnkObject& object, int reverse) {
  MML_TRACE("KelLnkObject::FullSynchronise");
  KelLnkTools::Busy();
  KelLnkObject::SetRefreshAfterSync(0);
  KelLnkGraphWindow* window = object.GetMainWindow();
  Plan units;
  ReverseLinks reverseLinks;
  const int outcome = PlanFull(object, reverse, units, reverseLinks);
  if (outcome == kPlanLoop) {
    KelLnkUserServices::Current().ErrorBox(window, Resource(window, kLoopKey, kLoopText));
    KelLnkObject::SetRefreshAfterSync(1);
  } else if (outcome == kPlanEmpty) {
    KelLnkUserServices::Current().ErrorBox(window,
                                           Resource(window, "Error.Synchro.Empty", "Nothing to synchronise..."));
    KelLnkObject::SetRefreshAfterSync(1);
  } else {
    KelLnkUserServices::Current().ShowPlan(window, object, std::move(units), std::move(reverseLinks));
  }
}

void KelLnkSynchronise::FullSynchroniseRecurse(KelLnkObject& object, int reverse, int root, Plan& units,
                                               ReverseLinks& reverseLinks) {
  MML_TRACE("KelLnkObject::FullSynchroniseRecurse");
  KelListValKelBaseUnknown_var links = object.GetLnkChildren(0);
  for (const KelBaseUnknown_var& handle : links) {
    KelLnkLink* link = AsLink(handle);
    KelLnkObject* child = link ? link->GetChild() : nullptr;
    if (child && !IsMarked(child->Instance())) FullSynchroniseRecurse(*child, reverse, 0, units, reverseLinks);
  }
  if (!links.empty()) AnalyseSynchronise(object, units);
  const KelDMInstance& self = object.Instance();
  SetMark(self, "DONE");
  if (!reverse || root) return;

  KelLnkGraphWindow* window = object.GetMainWindow();
  const KelUnicodeString linktype = window ? window->GetLinktype() : KelUnicodeString("%");
  KelLnkLink* parentLink = object.GetParentLink();
  KelLnkObject* parentObject = parentLink ? parentLink->GetParent() : nullptr;
  for (const KelUnicodeString& env : KelLnkTools::GetRelationEnvironments()) {
    const KelUnicodeString label = KelLnkTools::LinktypeToLinklabel(linktype);
    const KelUnicodeString sql =
        "SELECT $COID, $COMPNAME_FATHER, $COMPID_FATHER FROM $VS_" + HostTableNameAfterPrefix(env, "$EXT") +
        " WHERE $COMPNAME = '" + EscapeSqlText(self.GetEnvironment() + "." + KelLnkTools::RightTrim(self.GetTable())) +
        "' AND $COID_REF = X'" + self.GetXCoid() + "' AND $COMPID_REF = X'" + self.GetXCompid() + "' AND $TYPE " +
        (linktype == "%" ? "LIKE '" : "='") + EscapeSqlText(label) + "';";
    int rc = 0;
    KelDMSelect select(sql, rc);
    if (rc != 0) continue;  // an environment without a link table
    KelDMListResultLine rows;
    select.GetSelectResult(rows);
    for (int r = 1; r <= rows.GetRowCount(); ++r) {
      KelDMInstance found(self.GetConnectionName(), env, rows.Value(r, 2), rows.Value(r, 1), rows.Value(r, 3));
      if (parentObject && found == parentObject->Instance()) continue;
      reverseLinks.push_back({std::make_unique<KelLnkObject>(object), std::make_unique<KelDMInstance>(found)});
    }
  }
}

int KelLnkSynchronise::GetTree(KelLnkObject* object, KelListPtrKelLnkSynchroUnit& units,
                               KelListValKelDMInstance* path) {
  MML_TRACE("KelLnkObject::GetTree");
  if (!object) return 0;
  KelListValKelDMInstance ownPath;
  if (!path) path = &ownPath;
  // Objects whose edges are all recorded without a loop: reached again by
  // another path, they cannot close a loop.
  std::unordered_set<std::string> checked;
  std::unordered_set<std::string> onPath;
  for (const KelDMInstance& i : *path) onPath.insert(InstanceKeyText(i));
  struct Walk {
    std::unordered_set<std::string>& checked;
    std::unordered_set<std::string>& onPath;
    KelListPtrKelLnkSynchroUnit& units;
    KelListValKelDMInstance& path;
    int Visit(KelLnkObject* o) {
      const std::string key = InstanceKeyText(o->Instance());
      if (onPath.count(key)) return 1;
      if (checked.count(key)) return 0;
      path.push_back(o->Instance());
      onPath.insert(key);
      for (const KelBaseUnknown_var& handle : o->GetChildren()) {
        KelLnkLink* link = AsLink(handle);
        KelLnkObject* child = link ? link->GetChild() : nullptr;
        if (!child) continue;
        const int condition = link->GetCondition(0);
        if (condition != KelLnkLink::GOOD && condition != KelLnkLink::BADDATE && condition != KelLnkLink::UP_BADDATE)
          continue;
        KelLnkSynchroUnit::AddToList(units, new KelLnkSynchroUnit(o->Instance(), child->Instance(), link->GetLinktype(),
                                                                  condition == KelLnkLink::GOOD ? 1 : 0));
        if (Visit(child)) return 1;
      }
      path.pop_back();
      onPath.erase(key);
      checked.insert(key);
      return 0;
    }
  } walk{checked, onPath, units, *path};
  const size_t size = path->size();
  const int loop = walk.Visit(object);
  path->resize(size);
  return loop;
}

int KelLnkSynchronise::ComputeOrder(KelLnkObject& object, KelListValKelDMInstance& objects, KelRawCollint& levels) {
  MML_TRACE("KelLnkObject::GetOrder");
  KelListPtrKelLnkSynchroUnit edges;
  if (GetTree(&object, edges, nullptr)) {
    KelLnkSynchroUnit::DeleteAll(edges);
    return 1;
  }
  const KelDMInstance& self = object.Instance();
  KelListValKelDMInstance candidates;
  for (const KelLnkSynchroUnit* edge : edges) {
    if (!(edge->GetParent() == self)) continue;
    const KelRawCollint& flags = edge->GetGoodFlags();
    if (std::find(flags.begin(), flags.end(), 0) != flags.end()) candidates.push_back(edge->GetChild());
  }
  KelListValKelDMInstance all = candidates;
  all.push_back(self);
  KelListPtrKelLnkSynchroUnit simple;
  KelLnkSynchroUnit::GetSimpleList(simple, edges, all);
  KelLnkSynchroUnit::DeleteAll(edges);

  std::deque<KelDMInstance> queue{self};
  int level = 1;
  while (!queue.empty()) {
    KelLnkSynchroUnit::RemoveWhereParent(simple, queue.front());
    bool moved = false;
    for (size_t i = candidates.size(); i-- > 0;) {
      KelListValKelDMInstance parents;
      if (KelLnkSynchroUnit::GetParentList(parents, simple, candidates[i]) != 0) continue;
      objects.push_back(candidates[i]);
      levels.push_back(level);
      queue.push_back(candidates[i]);
      candidates.erase(candidates.begin() + static_cast<std::ptrdiff_t>(i));
      moved = true;
    }
    if (moved) ++level;
    queue.pop_front();
  }
  KelLnkSynchroUnit::DeleteAll(simple);
  return 0;
}

void KelLnkSynchronise::GetOrder(KelLnkObject& object) {
  KelLnkTools::Busy();
  KelLnkGraphWindow* window = object.GetMainWindow();
  KelListValKelDMInstance objects;
  KelRawCollint levels;
  if (ComputeOrder(object, objects, levels)) {
    KelLnkUserServices::Current().ErrorBox(window, Resource(window, kLoopKey, kLoopText));
    return;
  }
  KelLnkUserServices::Current().ShowOrder(window, objects, levels);
}

std::vector<std::string> KelLnkSynchronise::PlanRow(int number, const Unit& unit) {
  return {std::to_string(number), unit.object ? unit.object->GetName() : KelUnicodeString(),
          KelLnkTools::LinktypeToLinkname(unit.linkType) + " (" + KelLnkTools::GetSynchroniseType(unit.linkType) + ")",
          unit.reason};
}

std::vector<std::string> KelLnkSynchronise::ReverseRow(const KelLnkObject::ReverseLink& link) {
  return {link.object ? link.object->GetName() : KelUnicodeString(),
          link.instance ? KelLnkDataManager::GetInstanceName(*link.instance) : KelUnicodeString()};
}

// The dialog hands its plan and reverse links over: taken by value.
void KelLnkSynchronise::Confirm(KelLnkGraphWindow* window, Plan units,
                                ReverseLinks reverseLinks) {  // NOLINT(performance-unnecessary-value-param)
  KelLnkTools::Busy();
  DoSynchronise(window, std::move(units));
  std::unordered_set<std::string> opened;
  for (const KelLnkObject::ReverseLink& link : reverseLinks) {
    if (link.instance && opened.insert(InstanceKeyText(*link.instance)).second)
      KelLnkUserServices::Current().OpenWindow(*link.instance, 0);
  }
}
