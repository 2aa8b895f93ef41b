// The rows of the link tables, read one way for every reader of the module:
// the "$EXT" rows an object holds or that point to it, the "MML_ENTITY" rows
// of the entities an object owns and the "MML_LINK" rows of those it uses,
// and the owners or users of one entity.
//
// Each kind of row has one column list and one decoder; the object-wise reads
// (one statement for one object) and the set reads (one statement per
// kHostSqlSetReadMax identifiers, for the read-ahead of the link database)
// share them. Statements are in host notation; a statement that fails gives
// no row and its code.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "base/kel_id.h"
#include "base/kel_types.h"
#include "host/db/kel_db_connection.h"
#include "host/db/kel_db_value.h"

// A "$EXT" row: a link from its holder (the father) to the object it points to.
struct KelDMExtRow {
  KelUnicodeString environment;  // of the "$EXT" table the row was read from
  KelUnicodeString fatherTable;  // $COMPNAME_FATHER: the holder's table
  KelId coid;                    // $COID: the holder's coid
  KelId compidFather;            // $COMPID_FATHER: the holder's compid
  KelUnicodeString compname;     // $COMPNAME: "<env>.<table>" of the object pointed to
  KelId coidRef;                 // $COID_REF
  KelId compidRef;               // $COMPID_REF
  KelUnicodeString timestamp;    // C_MML_TS, normalised text, empty when NULL
  KelUnicodeString type;         // $TYPE
  KelUnicodeString status;       // KELMML_STATUS
};

// The three identifiers of an entity.
struct KelDMEntityIds {
  KelDbBinary id1;  // ENTITY_ID_1
  KelDbBinary id2;  // ENTITY_ID_2
  KelDbBinary key;  // ENTITY_KEY

  friend bool operator==(const KelDMEntityIds&, const KelDMEntityIds&) = default;
};

// Which table an entity row comes from.
enum class KelDMEntitySide {
  kOwned,  // "MML_ENTITY": the object owns (publishes) the entity
  kUsed,   // "MML_LINK": the object uses the entity (the link row)
};

// A row of "MML_ENTITY" or "MML_LINK": an object and one entity.
struct KelDMEntityRow {
  KelUnicodeString table;      // OBJECT_KELAB
  KelId coid;                  // OBJECT_COID
  KelId compid;                // OBJECT_COMPID
  KelDMEntityIds ids;          // binary values as read
  KelUnicodeString timestamp;  // TS, normalised text, empty when NULL
  KelUnicodeString type;       // TYPE ("MML_LINK" rows; empty otherwise)
  KelUnicodeString status;     // STATUS ("MML_LINK" rows; empty otherwise)
};

// The same rows read in place, for a whole-table pass: the texts are views
// into the engine's row, valid only during the sink's call.
struct KelDMExtRowView {
  std::string_view fatherTable;
  KelId coid;
  KelId compidFather;
  std::string_view compname;
  KelId coidRef;
  KelId compidRef;
  std::string_view timestamp;
  std::string_view type;
  std::string_view status;
};
struct KelDMEntityRowView {
  std::string_view table;
  KelId coid;
  KelId compid;
  std::string_view id1, id2, key;  // the binary values' bytes
  std::string_view timestamp;
  std::string_view type;    // "MML_LINK" rows; empty otherwise
  std::string_view status;  // "MML_LINK" rows; empty otherwise
};

class KelDMLinkRows {
 public:
  using ExtViewSink = std::function<void(const KelDMExtRowView&)>;
  using EntityViewSink = std::function<void(const KelDMEntityRowView&)>;

  // The where conditions naming an object: as the holder of "$EXT" rows, as
  // the object of "MML_ENTITY" / "MML_LINK" rows (markers: table, coid, compid).
  static const char kExtHolderWhere[];
  static const char kEntityObjectWhere[];

  // "MML_ENTITY" or "MML_LINK".
  static const KelUnicodeString& TableOf(KelDMEntitySide side);

  // ---- One object ----

  // The "$EXT" rows of `environment` held by the object (`table` as
  // $COMPNAME_FATHER, `coid`, `compid` as $COMPID_FATHER). `condition`, when
  // not empty, is a further where condition without markers.
  static int ExtFrom(KelDbConnection* connection, const KelUnicodeString& environment, const KelUnicodeString& table,
                     const KelId& coid, const KelId& compid, const KelUnicodeString& condition,
                     std::vector<KelDMExtRow>* rows);
  // The "$EXT" rows of `environment` that point to (coid, compid), whatever
  // the table their $COMPNAME names.
  static int ExtTo(KelDbConnection* connection, const KelUnicodeString& environment, const KelId& coid,
                   const KelId& compid, const KelUnicodeString& condition, std::vector<KelDMExtRow>* rows);
  // The rows of the side's table in `environment` that belong to the object;
  // only the live ones (UBIT NULL) when `liveOnly`.
  static int EntitiesOf(KelDbConnection* connection, const KelUnicodeString& environment, KelDMEntitySide side,
                        const KelUnicodeString& table, const KelId& coid, const KelId& compid, bool liveOnly,
                        std::vector<KelDMEntityRow>* rows);
  // The live rows of the side's table in `environment` that carry the entity:
  // its owners (kOwned) or its users (kUsed).
  static int Holders(KelDbConnection* connection, const KelUnicodeString& environment, KelDMEntitySide side,
                     const KelDMEntityIds& ids, std::vector<KelDMEntityRow>* rows);

  // ---- Sets of objects (rows handed over in place, in the engine's order) ----

  // The "$EXT" rows of `environment` whose $COID is one of `coids` (the
  // caller keeps those of the holders it asked for).
  static void ExtFromSet(KelDbConnection* connection, const KelUnicodeString& environment,
                         const KelUnicodeString& condition, const std::vector<KelId>& coids, const ExtViewSink& take);
  // The "$EXT" rows of `environment` whose $COID_REF is one of `coids`.
  static void ExtToSet(KelDbConnection* connection, const KelUnicodeString& environment,
                       const KelUnicodeString& condition, const std::vector<KelId>& coids, const ExtViewSink& take);
  // The live rows of the side's table whose OBJECT_COID is one of `coids`.
  static void EntitiesOfSet(KelDbConnection* connection, const KelUnicodeString& environment, KelDMEntitySide side,
                            const std::vector<KelId>& coids, const EntityViewSink& take);
  // The live rows of the side's table whose ENTITY_ID_1 is one of `ids`.
  static void HoldersSet(KelDbConnection* connection, const KelUnicodeString& environment, KelDMEntitySide side,
                         const std::vector<KelDbBinary>& ids, const EntityViewSink& take);

  // ---- Whole tables (one sequential pass, rows in the table's own order) ----
  //
  // Within one object (or one entity) the engine returns a table's rows in the
  // same order whether it scans the table or probes an index for that object:
  // the order in which the rows are stored. Each returns 0 or the failing
  // statement's code; rows handed over before a failure are to be dropped.

  // Every "$EXT" row of `environment` (that meets `condition` when not empty).
  static int ExtAll(KelDbConnection* connection, const KelUnicodeString& environment, const KelUnicodeString& condition,
                    const ExtViewSink& take);
  // Every live row of the side's table in `environment`.
  static int EntitiesAll(KelDbConnection* connection, const KelUnicodeString& environment, KelDMEntitySide side,
                         const EntityViewSink& take);
  // The number of rows of `environment`.`table`; -1 when it cannot be read.
  static int64_t RowCount(KelDbConnection* connection, const KelUnicodeString& environment,
                          const KelUnicodeString& table);
};
