#include "operations/kel_lnk_uuid_check.h"

#include <iostream>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "linkdb/kel_lnk_data_manager.h"

KelLnkUuidCheck KelLnkFindMultiContainedUuids(KelLnkHybridManager::Entity* const* entities, int count, bool trace) {
  KelLnkUuidCheck check;
  if (count <= 0) return check;
  if (trace) std::cout << " OK : au moins 1 entite trouvee !\n";
  // The UUID lists seen so far, indexed: each UUID maps to the owner of the
  // first list that holds it (the only hit that counts).
  std::unordered_map<KelUnicodeString, int> firstOwner;
  std::unordered_map<KelUnicodeString, size_t> groupOf;
  int lists = 0;
  for (int i = 0; i < count; ++i) {
    const KelListValKelUnicodeString& uuids = entities[i]->Uuids();
    if (uuids.empty()) continue;
    ++lists;
    if (trace) std::cout << " Liste uid " << lists << " : entite " << i << "\n";
    if (lists == 1) {
      for (const KelUnicodeString& u : uuids) firstOwner.emplace(u, i);
      continue;
    }
    // The entity's list without duplicates, walked from the last to the first.
    std::unordered_set<KelUnicodeString> seen;
    KelListValKelUnicodeString copy;
    for (const KelUnicodeString& u : uuids) {
      if (seen.insert(u).second) copy.push_back(u);
    }
    for (auto u = copy.rbegin(); u != copy.rend(); ++u) {
      auto owner = firstOwner.find(*u);
      if (owner == firstOwner.end()) continue;
      auto group = groupOf.find(*u);
      if (group == groupOf.end()) {
        groupOf.emplace(*u, check.duplicated.size());
        check.duplicated.push_back(*u);
        check.groups.push_back({owner->second, i});
        check.concerned.push_back(owner->second);
        check.concerned.push_back(i);
        if (trace) std::cout << " Uid duplique : " << *u << " entites " << owner->second << " " << i << "\n";
      } else {
        check.groups[group->second].push_back(i);
        check.concerned.push_back(i);
        if (trace) std::cout << " Uid deja duplique : " << *u << " entite " << i << "\n";
      }
    }
    for (const KelUnicodeString& u : copy) firstOwner.emplace(u, i);
  }
  firstOwner.clear();
  if (trace) std::cout << "desalloc Liste uid ok\n";
  std::unordered_set<int> kept;
  std::vector<int> unique;
  for (int index : check.concerned) {
    if (kept.insert(index).second) unique.push_back(index);
  }
  check.concerned = std::move(unique);
  if (trace) std::cout << "desalloc Index ok\n" << std::flush;
  return check;
}

KelUnicodeString KelLnkUuidGroupIdentificators(KelLnkHybridManager::Entity* const* entities, int count,
                                               const std::vector<int>& group) {
  KelUnicodeString text;
  for (int index : group) {
    if (index < 0 || index >= count) continue;
    const KelLnkHybridManager::Entity& entity = *entities[index];
    for (const KelUnicodeString& value :
         KelLnkDataManager::GetObjectIdentificators(entity.caenv(), entity.kelab(), entity.coid, entity.compid, -1)) {
      if (!text.empty()) text += " ";
      text += value;
    }
  }
  return text;
}
