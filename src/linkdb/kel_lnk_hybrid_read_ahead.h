// Read-ahead of the children queries: the link rows of many objects read in
// one statement per table, kept until the walk asks for each object.
//
// When the children of an object are first asked for, its rows are read
// together with those of the objects waiting (reached as children but not
// read yet, the most recent first), then with those of the objects these rows
// lead to, level after level, up to a few thousand objects per set; the
// objects left over wait for the next set (Waiting). Each level takes one
// statement per table and per few hundred objects (one IN list of
// identifiers). The rows of each object are then taken (TakeChildRows) in the
// order the engine returns them for that object, so that the answers and the
// cache order are those of reading the objects one by one. The facts of the
// objects the rows lead to (timestamp, existence, name) are read in the same
// pass. A walk that reaches ten objects reads ten objects' rows, whatever the
// size of the tables.
//
// The rows kept are those of one state of the database: UncacheDatabase
// forgets them with the caches, and so does a change of connection or of the
// link-type condition.
#pragma once

#include <vector>

#include "host/db/kel_db_value.h"
#include "linkdb/kel_lnk_hybrid_manager.h"

// A "$EXT" row held by the object: the object it points to and the link.
struct KelLnkExtChildRow {
  KelId coidRef;
  KelId compidRef;
  KelUnicodeString compname;   // "<env>.<table>" of the object pointed to
  KelUnicodeString timestamp;  // C_MML_TS as read (normalised text, empty when NULL)
  KelUnicodeString type;
  KelUnicodeString status;
};

// An "MML_LINK" row of the object: the entity it uses and the link.
struct KelLnkEntityUseRow {
  KelDbBinary id1, id2, key;
  KelUnicodeString timestamp;
  KelUnicodeString type;
  KelUnicodeString status;
};

// An "MML_ENTITY" row: the object that owns an entity.
struct KelLnkEntityOwnerRow {
  KelUnicodeString table;
  KelId coid;
  KelId compid;
  KelUnicodeString timestamp;
};

class KelLnkHybridReadAhead {
 public:
  // The rows of the object of entity `index` (equal to `e`): its "$EXT" rows
  // when `readExt`, its "MML_LINK" rows when `readUses`. Reads them, with
  // those of the waiting objects, when they are not here yet; each object's
  // rows are handed out once.
  static void TakeChildRows(int index, const KelLnkHybridManager::Entity& e, bool readExt, bool readUses,
                            KelDbConnection* connection, const KelUnicodeString& typeCondition,
                            const KelListValKelUnicodeString& relationEnvironments,
                            const KelListValKelUnicodeString& ownerEnvironments, std::vector<KelLnkExtChildRow>* ext,
                            std::vector<KelLnkEntityUseRow>* uses);
  // The owners, in `environment`, of the entity a use row names (read with
  // the use rows when they came from a set read).
  static const std::vector<KelLnkEntityOwnerRow>& Owners(KelDbConnection* connection,
                                                         const KelUnicodeString& environment,
                                                         const KelLnkEntityUseRow& use);
  // The object of entity `index` was reached as a child: read its rows with
  // the next set.
  static void Waiting(int index);
  // Forgets every row and every waiting object.
  static void Forget();
};
