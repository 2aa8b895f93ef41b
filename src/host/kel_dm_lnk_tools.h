// Host link tools: which environments hold link tables, and the deletion and
// pointer questions about an object's link rows.
#pragma once

#include "base/kel_types.h"
#include "host/db/kel_db_connection.h"
#include "host/kel_dm_instance.h"

class KelDMLnkTools {
 public:
  // Kind 1: environments that hold "$EXT"; kind 2: those that hold both
  // "MML_ENTITY" and "MML_LINK"; any other kind: none. Names in alphabetical
  // order. With `filter`, only the environments that it lists (blanks around
  // its names ignored). Read from the database catalogue of the session and
  // kept until the catalogue changes through this process.
  static KelListValKelUnicodeString ComputeRelationEnvironments(int kind, const KelListValKelUnicodeString* filter);
  // The unfiltered list, without a copy; valid until the next call.
  static const KelListValKelUnicodeString& RelationEnvironments(int kind);

  // The connection of the link queries: the session's main connection.
  static KelDbConnection* GetConnection();

  // Deletes the link rows the object holds ("$EXT" rows whose father it is, in
  // every link environment). One transaction. Returns 0 or a kel_ier code.
  static int DeleteLinks(const KelDMInstance& instance);
  // Deletes the object's entity rows: the "MML_ENTITY" rows it owns and the
  // "MML_LINK" rows it holds, in its environment. One transaction. Returns 0
  // or a kel_ier code.
  static int DeleteEntities(const KelDMInstance& instance);
  // 1 when a "$EXT" row of any link environment points to the object, or an
  // "MML_LINK" row of any entity environment uses one of its entities; else 0.
  static int IsPointedModel(const KelDMInstance& instance);
  // The same question for a part. `pointer` receives the first object found
  // pointing to it as "<env> <table> <coid> <compid>", empty when none.
  static int IsPointedPart(const KelDMInstance& instance, KelUnicodeString& pointer);
};
