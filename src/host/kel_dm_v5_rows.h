// The rows of the V5 product tables of the "PRODUCT" environment, read one
// way for every reader of the module (the V5 link service and the older V5
// queries of the link database):
//   QOR_ENTITY  the elements that objects publish, each with a UID
//   QOR_TS      the current timestamp of each element
//   QOR_LINK    one row per link from an object (the father) to an element
// (docs/v5-tables.md). Each kind of row has one column list and one decoder;
// the reads by UID take a whole set of UIDs at once (one statement per
// kHostSqlSetReadMax UIDs). Statements are in host notation; a read returns 0
// or the code of the statement that failed (its rows are then not given).
#pragma once

#include <unordered_map>
#include <vector>

#include "base/kel_types.h"
#include "host/db/kel_db_connection.h"
#include "host/db/kel_db_value.h"

// A QOR_ENTITY row: an element and the object that publishes it.
struct KelDMV5Element {
  KelUnicodeString uid;       // $UID
  KelUnicodeString ownerUid;  // $OWNER_UID: the object-level element
  KelUnicodeString compname;  // $COMPNAME: "<env>.<table>" of the object
  KelDbBinary coid;           // $COID of the object, as read
  KelDbBinary compid;         // $COMPID of the object, as read
};

// A QOR_LINK row: a link from its father to an element. Identifiers as read
// (empty when NULL); timestamps normalised (see ZeroTimestampFraction), empty
// when NULL.
struct KelDMV5Link {
  KelUnicodeString type;             // $TYPE
  KelUnicodeString oidPath;          // $OID_PTD without blanks: the instance path, empty for a reference
  KelDbBinary compid;                // $COMPID: the link row
  KelDbBinary compidFather;          // $COMPID_FATHER
  KelDbBinary coid;                  // $COID: the father's coid
  KelUnicodeString compnamePtdRef;   // $COMPNAME_PTD_REF: the pointed object as recorded
  KelDbBinary coidPtdRef;            // $COID_PTD_REF
  KelDbBinary compidPtdRef;          // $COMPID_PTD_REF
  KelUnicodeString uidPtd;           // $UID_PTD: the pointed element
  KelUnicodeString timestampPtd;     // $TIMESTAMP_PTD: the element's date recorded with the link
  KelUnicodeString compnameFather;   // $COMPNAME_FATHER: "<env>.<table>" of the father
  KelUnicodeString linkTimestamp;    // C_MML_TS
  KelUnicodeString compnamePtdRoot;  // $COMPNAME_PTD_ROOT: the top part of an instance's product
  KelDbBinary coidPtdRoot;           // $COID_PTD_ROOT
};

class KelDMV5Rows {
 public:
  // Elements by UID, current timestamps by UID.
  using ElementsByUid = std::unordered_map<KelUnicodeString, KelDMV5Element>;
  using StampsByUid = std::unordered_map<KelUnicodeString, KelUnicodeString>;

  // ---- QOR_ENTITY (live rows only) ----

  // The elements the object publishes (`compname` "<env>.<table>"), in the
  // engine's order.
  static int ElementsOf(KelDbConnection* connection, const KelUnicodeString& compname, const KelDbBinary& coid,
                        const KelDbBinary& compid, std::vector<KelDMV5Element>* rows);
  // The elements whose $UID is one of `uids`.
  static int ElementsWithUids(KelDbConnection* connection, const std::vector<KelUnicodeString>& uids,
                              ElementsByUid* elements);
  // The elements whose $OWNER_UID is one of `owners`, in $UID order (one
  // statement).
  static int ElementsOwnedBy(KelDbConnection* connection, const std::vector<KelUnicodeString>& owners,
                             std::vector<KelDMV5Element>* rows);

  // ---- QOR_TS ----

  // The current timestamps of the elements of `uids` (normalised; an
  // element without a row or with a NULL date has none).
  static int Stamps(KelDbConnection* connection, const std::vector<KelUnicodeString>& uids, StampsByUid* stamps);

  // ---- QOR_LINK (live rows only, in $COMPID order) ----

  // The links the object holds ($COMPNAME_FATHER `compname`, $COID `coid`,
  // $COMPID_FATHER `compid`).
  static int LinksFrom(KelDbConnection* connection, const KelUnicodeString& compname, const KelDbBinary& coid,
                       const KelDbBinary& compid, std::vector<KelDMV5Link>* rows);
  // The links that point to one of the elements of `uids` (one statement).
  static int LinksTo(KelDbConnection* connection, const std::vector<KelUnicodeString>& uids,
                     std::vector<KelDMV5Link>* rows);
};
