// The search for multi-contained UUIDs among the entities the link database
// cached: a UUID is multi-contained when the UUID lists of two or more
// entities hold it. A UUID repeated inside one entity's list is not, by
// itself.
//
// The search keeps the working data of the window's "Check UUID": the UUID
// lists (the first entity's as stored, later ones without duplicates) with
// their owners, the duplicated UUIDs in discovery order, one group of entity
// indices per duplicated UUID, and the concerned entity indices.
#pragma once

#include <vector>

#include "base/kel_types.h"
#include "linkdb/kel_lnk_hybrid_manager.h"

struct KelLnkUuidCheck {
  KelListValKelUnicodeString duplicated;  // the multi-contained UUIDs, in discovery order
  std::vector<std::vector<int>> groups;   // per duplicated UUID, the indices of the entities holding it
  std::vector<int> concerned;             // every index of a group, once, in discovery order
};

// Searches `count` entities (indices are positions in `entities`). With
// `trace`, every step prints its debug line on standard output, from
// " OK : au moins 1 entite trouvee !" to "desalloc Index ok".
KelLnkUuidCheck KelLnkFindMultiContainedUuids(KelLnkHybridManager::Entity* const* entities, int count, bool trace);

// The identificators (KelLnkDataManager::GetObjectIdentificators) of the
// entities of `group`, in group order, joined by blanks: the second column of
// a result row.
KelUnicodeString KelLnkUuidGroupIdentificators(KelLnkHybridManager::Entity* const* entities, int count,
                                               const std::vector<int>& group);
