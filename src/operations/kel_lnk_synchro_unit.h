// One edge of the link graph as seen from a root: the object a link leaves
// (parent), the object it reaches (child), and the types of the links between
// them with, for each type, whether that link is in step.
//
// Lists of units are KelListPtrKelLnkSynchroUnit; a list owns its units
// (delete them with DeleteAll). The synchronisation order and the batch walks
// build such lists with AddToList, which keeps one unit per (parent, child).
#pragma once

#include <vector>

#include "base/kel_types.h"
#include "host/kel_dm_instance.h"

class KelLnkSynchroUnit;
using KelListPtrKelLnkSynchroUnit = std::vector<KelLnkSynchroUnit*>;

class KelLnkSynchroUnit {
 public:
  KelLnkSynchroUnit() = default;
  // A unit with one link type (and its good flag).
  KelLnkSynchroUnit(const KelDMInstance& parent, const KelDMInstance& child, const KelUnicodeString& linkType,
                    int goodFlag);
  // A unit without link types.
  KelLnkSynchroUnit(const KelDMInstance& parent, const KelDMInstance& child);

  const KelDMInstance& GetParent() const { return parent_; }
  const KelDMInstance& GetChild() const { return child_; }
  // Types of the links between parent and child, without repeats, in the
  // order they were added.
  const KelListValKelUnicodeString& GetLinkTypes() const { return linkTypes_; }
  // One flag per link type, same order: 1 when that link is GOOD, else 0.
  const KelRawCollint& GetGoodFlags() const { return goodFlags_; }

  // Adds a link type with its flag unless the type is already there.
  void AddLinkType(const KelUnicodeString& linkType, int goodFlag);

  // ---- List operations ----

  // When a unit with the same parent and child is in `list`, adds the first
  // link type of `unit` to it (unless already there) and deletes `unit`;
  // otherwise appends `unit`. The list takes ownership in both cases.
  static void AddToList(KelListPtrKelLnkSynchroUnit& list, KelLnkSynchroUnit* unit);
  // Appends the parent of every unit whose child is `instance`. Returns the
  // size of `out`.
  static int GetParentList(KelListValKelDMInstance& out, const KelListPtrKelLnkSynchroUnit& list,
                           const KelDMInstance& instance);
  // Appends the child of every unit whose parent is `instance`. Returns the
  // size of `out`.
  static int GetChildList(KelListValKelDMInstance& out, const KelListPtrKelLnkSynchroUnit& list,
                          const KelDMInstance& instance);
  // Appends every distinct parent of the list, in list order (parents already
  // in `out` are not added again). Returns the size of `out`.
  static int GetParentList(KelListValKelDMInstance& out, const KelListPtrKelLnkSynchroUnit& list);
  // Deletes every unit whose parent is `instance`.
  static void RemoveWhereParent(KelListPtrKelLnkSynchroUnit& list, const KelDMInstance& instance);
  // Appends, depth first, every object reachable from `instance` through the
  // units, each once; `instance` itself is never listed.
  static void GetChildTree(KelListValKelDMInstance& out, const KelListPtrKelLnkSynchroUnit& list,
                           const KelDMInstance& instance);
  // For each instance I of `instances` in order and each object D of
  // GetChildTree(I) in order: when D is also in `instances`, appends a new
  // unit (I, D) without link types to `out`.
  static void GetSimpleList(KelListPtrKelLnkSynchroUnit& out, const KelListPtrKelLnkSynchroUnit& list,
                            const KelListValKelDMInstance& instances);
  // Debug print of every unit on the standard output: parent name, child
  // name, then each link type with its flag.
  static void DisplayList(const KelListPtrKelLnkSynchroUnit& list);
  // Deletes every unit and empties the list.
  static void DeleteAll(KelListPtrKelLnkSynchroUnit& list);

 private:
  KelDMInstance parent_;
  KelDMInstance child_;
  KelListValKelUnicodeString linkTypes_;
  KelRawCollint goodFlags_;
};
