// The impact query interface offered to other modules: which objects an
// object impacts or is impacted by, which links join two objects, how many
// entities an object publishes, and deletion of an object's links.
//
// It reads the link tables directly through its own connection, without the
// caches or the settings of the link database. Arrays returned are owned by
// the caller (delete[]).
#pragma once

#include "foundation/kel_types.h"
#include "host/kel_dm_instance.h"

class KelLnkAPI {
 public:
  // The objects that point to `object` (its parents): the objects impacted by it.
  static ObjID* GetImpactedBy(const ObjID& object, int& count, int unused = 0);
  // The objects that `object` points to (its children): the objects impacting on it.
  static ObjID* GetImpactingOn(const ObjID& object, int& count);
  // The links by which `a` points to `b`: one type and one flag per link
  // (bit 0 up to date, bit 1 entity link), reduced by `mode` (1 all, 2 one per
  // type, 3 one overall, other: none). Returns -1.
  static int GetLinksBetween(const ObjID& a, const ObjID& b, KelListValKelUnicodeString& types,
                             KelRawCollint& flags, int mode);
  // Number of entity rows of the object, whatever their UBIT.
  static int GetEntityCount(const ObjID& object);
  static void DeleteLinks(const ObjID& object);
  static void DeleteEntities(const ObjID& object);
  static int IsPointedModel(const ObjID& object);
  static int IsPointedPart(const ObjID& object, KelUnicodeString& text);
  // Environments holding "$EXT" (kind 1) or the entity tables (kind 2); with
  // `filtered` non-zero only those of the host's first result panel.
  static KelListValKelUnicodeString ComputeRelationEnvironments(int kind, int filtered);
};
