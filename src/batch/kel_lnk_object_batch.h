// KelLnkObjectBatch: the batch walks over windowless graph objects, impact
// analysis and migration. The batch driver (KelLnkBatch) builds one root
// object per input entry and runs one of the two walks from it; the outcome
// is left in the class-wide batch error.
//
// Direction: the batch order, 0 "impacted by" (from an object to the objects
// it points to), 1 "impacts on" (from an object to the objects that point to
// it); windowless objects follow it in GetChildren.
#pragma once

#include <vector>

#include "base/kel_types.h"
#include "graph/kel_lnk_object.h"
#include "host/kel_dm_instance.h"
#include "host/kel_qor_error.h"

// Edge records of the walks (operations/kel_lnk_synchro_unit.h).
class KelLnkSynchroUnit;
using KelListPtrKelLnkSynchroUnit = std::vector<KelLnkSynchroUnit*>;

class KelLnkObjectBatch {
 public:
  using SynchroniseUnit = KelLnkObject::SynchroniseUnit;

  // ---- Class-wide ----

  // Sets the batch order.
  static void BatchOrder(int order);
  // A copy of the error of the last batch operation (0 when it succeeded;
  // severity -1 for a warning such as "No Impacts").
  static void GetBatchError(KelQorError& error);

  // ---- Impacts (kel_lnk_object_batch_impacts.cc) ----

  // Lists every object `root` impacts (order 1) or is impacted by (order 0),
  // once each, into "<name>.ImpactsOn" or "<name>.ImpactedBy".
  static void BatchStartImpacts(KelLnkObject& root, const KelUnicodeString& name, int order);
  // Depth first from `object`: one record per object reached for the first
  // time (the object it was reached from, itself, the link type). `visited`
  // (may be null) lists the objects already reached and grows.
  static void GetImpactStructure(KelLnkObject* object, KelListPtrKelLnkSynchroUnit& units,
                                 KelListValKelDMInstance* visited);
  // Writes the output file from the records, and releases them.
  static void DoBatchImpacts(KelListPtrKelLnkSynchroUnit& units, const KelUnicodeString& name);

  // ---- Migration (kel_lnk_object_batch_migration.cc) ----

  // Plans the migration of the objects below `root` and launches the site
  // script on the plan; EndOfMigrationBatch reads its result.
  static void BatchStartMigration(KelLnkObject& root);
  // The plan: refused (batch error) when the graph below `root` has a loop.
  static void BuildListUnit(KelLnkObject& root, std::vector<SynchroniseUnit>& units);
  static void BatchFullStructure(KelLnkObject& root, std::vector<SynchroniseUnit>& units);
  // The units of one object: one per link type of its links.
  static void BatchAnalyse(KelLnkObject& object, std::vector<SynchroniseUnit>& units);
  // Checks, writes the command files and launches the script.
  static void DoBatchMigr(const std::vector<SynchroniseUnit>& units);
  // Records the edges below `object`; 1 when a loop is found, else 0.
  static int GetBatchTree(KelLnkObject* object, KelListPtrKelLnkSynchroUnit& units, KelListValKelDMInstance* path);
  // After the script's end: reads its error file into the batch error.
  static void EndOfMigrationBatch();
};
