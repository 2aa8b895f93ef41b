// Read-ahead of the children and parents queries: the link rows of many
// objects read in one statement per table, kept until the walk asks for each
// object.
//
// When the children (or parents) of an object are first asked for, its rows
// are read together with those of the objects waiting in that direction
// (reached but not read yet, the most recent first), then with those of the
// objects these rows lead to, level after level, up to a few thousand objects
// per set; the objects left over wait for the next set (Waiting). Each level
// takes one statement per table and per few hundred objects (one IN list of
// identifiers). The rows of each object are then taken (TakeRows) in the
// order the engine returns them for that object, so that the answers and the
// cache order are those of reading the objects one by one. The facts of the
// objects the rows lead to (timestamp, existence, name) are read in the same
// pass. A walk that reaches ten objects reads ten objects' rows, whatever the
// size of the tables.
//
// The rows of one object in one direction:
//   children: the "$EXT" rows of its environment that it holds, and its
//             "MML_LINK" rows (the entities it uses), whose owners are read
//             from "MML_ENTITY";
//   parents:  the "$EXT" rows of every link environment that point to it, and
//             its "MML_ENTITY" rows (the entities it owns), whose users are
//             read from "MML_LINK".
//
// Once a walk has asked a direction for a large share of a table (at least
// 500 identifiers and one in sixteen of its rows), that table is read in one
// sequential pass and the rest of the walk takes its rows from memory: the
// engine keeps an object's rows in the same order either way. A small walk
// never reads a whole table.
//
// The rows kept are those of one state of the database: UncacheDatabase
// forgets them with the caches, and so does a change of connection or of the
// link-type condition.
#pragma once

#include <vector>

#include "host/kel_dm_link_rows.h"
#include "linkdb/kel_lnk_hybrid_manager.h"

enum class KelLnkDirection { kChildren, kParents };

// The entity table whose rows an object has in one direction ("MML_LINK" for
// children, "MML_ENTITY" for parents), and the one that holds the far ends.
inline KelDMEntitySide NearSide(KelLnkDirection d) {
  return d == KelLnkDirection::kChildren ? KelDMEntitySide::kUsed : KelDMEntitySide::kOwned;
}
inline KelDMEntitySide FarSide(KelLnkDirection d) {
  return d == KelLnkDirection::kChildren ? KelDMEntitySide::kOwned : KelDMEntitySide::kUsed;
}

// The rows of one object in one direction.
struct KelLnkNearRows {
  std::vector<KelDMExtRow> ext;
  std::vector<KelDMEntityRow> entities;
};

class KelLnkHybridReadAhead {
 public:
  // The rows of the object `e` in direction `d`: its "$EXT" rows when
  // `readExt`, its entity rows when `readEntities`. Reads them, with those of
  // the waiting objects, when they are not here yet; each object's rows are
  // handed out once. `relationEnvironments` hold "$EXT", `entityEnvironments`
  // the entity tables (names without blanks).
  static void TakeRows(KelLnkDirection d, const KelLnkHybridManager::Entity& e, bool readExt, bool readEntities,
                       KelDbConnection* connection, const KelUnicodeString& typeCondition,
                       const KelListValKelUnicodeString& relationEnvironments,
                       const KelListValKelUnicodeString& entityEnvironments, KelLnkNearRows* rows);
  // The rows of the side's table in `environment` that carry the entity (its
  // owners or users); read with the set when they came from one.
  static std::vector<KelDMEntityRow> Holders(KelDMEntitySide side, KelDbConnection* connection,
                                             const KelUnicodeString& environment, const KelDMEntityIds& ids);
  // The object of entity `index` was reached in direction `d`: read its rows
  // with the next set.
  static void Waiting(KelLnkDirection d, int index);
  // Forgets every row and every waiting object.
  static void Forget();
};
