#include "operations/kel_lnk_synchro_unit.h"

#include <cstdio>
#include <string>
#include <unordered_map>
#include <unordered_set>

namespace {

// A key equal for two instances exactly when operator== holds.
std::string InstanceKey(const KelDMInstance& instance) {
  const std::string& table = instance.GetTable();
  size_t n = table.size();
  while (n > 0 && table[n - 1] == ' ') --n;
  std::string key = instance.GetEnvironment();
  key += '\x1f';
  key.append(table, 0, n);
  key += '\x1f';
  key += instance.GetXCoid();
  key += instance.GetXCompid();
  return key;
}

bool Contains(const KelListValKelDMInstance& list, const KelDMInstance& instance) {
  for (const KelDMInstance& i : list)
    if (i == instance) return true;
  return false;
}

// Children of each parent, in list order, indexed by the parent's key.
using ChildIndex = std::unordered_map<std::string, std::vector<const KelDMInstance*>>;

ChildIndex IndexChildren(const KelListPtrKelLnkSynchroUnit& list) {
  ChildIndex index;
  for (const KelLnkSynchroUnit* unit : list) index[InstanceKey(unit->GetParent())].push_back(&unit->GetChild());
  return index;
}

void WalkChildTree(const ChildIndex& index, const KelDMInstance& from, std::unordered_set<std::string>& seen,
                   KelListValKelDMInstance& out) {
  auto it = index.find(InstanceKey(from));
  if (it == index.end()) return;
  for (const KelDMInstance* child : it->second) {
    if (!seen.insert(InstanceKey(*child)).second) continue;
    out.push_back(*child);
    WalkChildTree(index, *child, seen, out);
  }
}

void ChildTree(const ChildIndex& index, const KelDMInstance& instance, KelListValKelDMInstance& out) {
  std::unordered_set<std::string> seen;
  seen.insert(InstanceKey(instance));
  WalkChildTree(index, instance, seen, out);
}

}  // namespace

KelLnkSynchroUnit::KelLnkSynchroUnit(const KelDMInstance& parent, const KelDMInstance& child,
                                     const KelUnicodeString& linkType, int goodFlag)
    : parent_(parent), child_(child), linkTypes_{linkType}, goodFlags_{goodFlag} {}

KelLnkSynchroUnit::KelLnkSynchroUnit(const KelDMInstance& parent, const KelDMInstance& child)
    : parent_(parent), child_(child) {}

void KelLnkSynchroUnit::AddLinkType(const KelUnicodeString& linkType, int goodFlag) {
  for (const KelUnicodeString& t : linkTypes_)
    if (t == linkType) return;
  linkTypes_.push_back(linkType);
  goodFlags_.push_back(goodFlag);
}

void KelLnkSynchroUnit::AddToList(KelListPtrKelLnkSynchroUnit& list, KelLnkSynchroUnit* unit) {
  if (!unit) return;
  for (KelLnkSynchroUnit* existing : list) {
    if (existing == unit) return;
    if (existing->parent_ == unit->parent_ && existing->child_ == unit->child_) {
      if (!unit->linkTypes_.empty())
        existing->AddLinkType(unit->linkTypes_.front(), unit->goodFlags_.empty() ? 0 : unit->goodFlags_.front());
      delete unit;
      return;
    }
  }
  list.push_back(unit);
}

int KelLnkSynchroUnit::GetParentList(KelListValKelDMInstance& out, const KelListPtrKelLnkSynchroUnit& list,
                                     const KelDMInstance& instance) {
  for (const KelLnkSynchroUnit* unit : list)
    if (unit->child_ == instance) out.push_back(unit->parent_);
  return static_cast<int>(out.size());
}

int KelLnkSynchroUnit::GetChildList(KelListValKelDMInstance& out, const KelListPtrKelLnkSynchroUnit& list,
                                    const KelDMInstance& instance) {
  for (const KelLnkSynchroUnit* unit : list)
    if (unit->parent_ == instance) out.push_back(unit->child_);
  return static_cast<int>(out.size());
}

int KelLnkSynchroUnit::GetParentList(KelListValKelDMInstance& out, const KelListPtrKelLnkSynchroUnit& list) {
  std::unordered_set<std::string> seen;
  for (const KelDMInstance& i : out) seen.insert(InstanceKey(i));
  for (const KelLnkSynchroUnit* unit : list)
    if (seen.insert(InstanceKey(unit->parent_)).second) out.push_back(unit->parent_);
  return static_cast<int>(out.size());
}

void KelLnkSynchroUnit::RemoveWhereParent(KelListPtrKelLnkSynchroUnit& list, const KelDMInstance& instance) {
  size_t kept = 0;
  for (size_t i = 0; i < list.size(); ++i) {
    if (list[i]->parent_ == instance) {
      delete list[i];
    } else {
      list[kept++] = list[i];
    }
  }
  list.resize(kept);
}

void KelLnkSynchroUnit::GetChildTree(KelListValKelDMInstance& out, const KelListPtrKelLnkSynchroUnit& list,
                                     const KelDMInstance& instance) {
  ChildTree(IndexChildren(list), instance, out);
}

void KelLnkSynchroUnit::GetSimpleList(KelListPtrKelLnkSynchroUnit& out, const KelListPtrKelLnkSynchroUnit& list,
                                      const KelListValKelDMInstance& instances) {
  ChildIndex index = IndexChildren(list);
  for (const KelDMInstance& from : instances) {
    KelListValKelDMInstance tree;
    ChildTree(index, from, tree);
    for (const KelDMInstance& reached : tree)
      if (Contains(instances, reached)) out.push_back(new KelLnkSynchroUnit(from, reached));
  }
}

void KelLnkSynchroUnit::DisplayList(const KelListPtrKelLnkSynchroUnit& list) {
  for (const KelLnkSynchroUnit* unit : list) {
    std::printf("%s -> %s\n", unit->parent_.GetNameInstance(0, 1, " ** ", "$BOM_NAVIG").c_str(),
                unit->child_.GetNameInstance(0, 1, " ** ", "$BOM_NAVIG").c_str());
    for (size_t i = 0; i < unit->linkTypes_.size(); ++i)
      std::printf("    %s : %d\n", unit->linkTypes_[i].c_str(), i < unit->goodFlags_.size() ? unit->goodFlags_[i] : 0);
  }
  std::fflush(stdout);
}

void KelLnkSynchroUnit::DeleteAll(KelListPtrKelLnkSynchroUnit& list) {
  for (KelLnkSynchroUnit* unit : list) delete unit;
  list.clear();
}
