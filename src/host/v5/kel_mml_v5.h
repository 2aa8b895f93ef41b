// The V5 multi-model link service: which objects an object points to, or is
// pointed by, through the V5 product tables of the "PRODUCT" environment, and
// whether each of those links is in step.
//
// The tables (docs/v5-tables.md):
//   QOR_ENTITY  the elements that objects publish, each with a UID
//   QOR_TS      the current timestamp of each element
//   QOR_LINK    one row per link from an object (the father) to an element,
//               possibly to the element of an object placed in a product
//
// A query runs in four steps, each a call of this class:
//   1. GetObjects      describes the object: its published elements and, for
//                      an object inside a product, the product and the path;
//   2. PurgeList       (objects inside a product only) narrows the description
//                      to the product of a product-structure node;
//   3. GetImpacts      reads the candidate links into a result line;
//   4. ValidateImpacts checks each candidate against the current elements and
//                      fills one TmpId_ record per row.
//
// Result line of GetImpacts, one row per candidate link, columns numbered
// from 1 (identifiers as 16 upper-case hexadecimal digits, timestamps as
// "YYYY-MM-DD HH:MM:SS.000000", empty when unknown):
//    1 link type ($TYPE, for example "KELPart")
//    2 instance path of the pointed object ($OID_PTD), empty for a reference
//    3 identifier of the link row ($COMPID)
//    4 father's compid ($COMPID_FATHER)
//    5 the other object's environment and table: the environment padded with
//      blanks to 8 characters, ".", the table (an environment longer than 8
//      characters is written whole); ValidateImpacts writes "KO" for a row
//      whose element no longer exists
//    6, 7 the other object's coid and compid
//    8 pointed object as recorded with the link ($COMPNAME_PTD_REF)
//    9 status, written by ValidateImpacts: "OK" when the pointed element has
//      not changed since the link was synchronised, "OLD" when it has, "KO"
//      when it no longer exists
//   10, 11 pointed coid and compid as recorded ($COID_PTD_REF, $COMPID_PTD_REF)
//   12 pointed element's UID ($UID_PTD)
//   13 element timestamp recorded with the link ($TIMESTAMP_PTD)
//   14 impact type of the query: "1" children, "0" parents
//   15 father's environment and table ($COMPNAME_FATHER)
//   16 link timestamp (C_MML_TS)
//   17 current timestamp of the pointed element (QOR_TS)
// The other object is the pointed object for children (impact type 1) and
// the father for parents (impact type 0).
#pragma once

#include "base/kel_types.h"
#include "host/db/kel_db_connection.h"
#include "host/kel_dm_instance.h"
#include "host/kel_dm_select.h"
#include "host/kel_psn_node.h"
#include "host/kel_zumo_instance.h"

class KelMMLV5 {
 public:
  // What GetImpacts looks for.
  enum ImpactType { kImpactParents = 0, kImpactChildren = 1 };
  // Who asks: the link database (1), or the link database solving rows in a
  // product-structure graph (3).
  enum ClientType { kClientMML = 1, kClientMMLSolve = 3 };

  // What ValidateImpacts found for one row: where the pointed element lives
  // now (children) or the father (parents).
  struct TmpId_ {
    KelUnicodeString environment;  // solved environment
    KelUnicodeString table;        // solved table
    KelUnicodeString coid;         // solved coid, 16 hexadecimal digits
    KelUnicodeString compid;       // solved compid, 16 hexadecimal digits
    KelUnicodeString uid;          // the element's UID
    KelUnicodeString path;         // the row's instance path (column 2)
    // Non-zero when the row names the object where the element lives now;
    // 0 when the element moved to another object (the fields above name it)
    // or no longer exists (the fields above are empty).
    int resolved = 0;
  };

  // A service reading the tables of the "PRODUCT" environment through
  // `connection` (not owned; may be null, and every call then fails with
  // kel_ier::kDbNoConnection).
  explicit KelMMLV5(KelDbConnection* connection) : connection_(connection) {}

  // Describes `instance` (and, when not null, the product instance `zumo` it
  // is placed at) for the later steps:
  //   objects    the object itself
  //   products   the product whose instance rows apply: the base part of
  //              `zumo`, none without one (every product then applies)
  //   uids       UIDs of the live elements the object publishes, in UID order
  //   path       the instance path of `zumo` (identifiers in doubles)
  //   ownerUids  per element: the UID of the object-level element
  //   stamps     per element: its current timestamp
  //   compnames  the object's "<env>.<table>"
  // Returns 0 or a kel_ier code (the lists are then empty).
  int GetObjects(KelListValKelDMInstance& objects, KelListValKelDMInstance& products, KelListValKelUnicodeString& uids,
                 KelRawColldouble& path, KelListValKelUnicodeString& ownerUids, KelListValKelUnicodeString& stamps,
                 KelListValKelUnicodeString& compnames, const KelDMInstance& instance, const KelZumoInstance* zumo);

  // Narrows the description to the product of `node`: `products` becomes the
  // top part of the node's product (the node's database instance when the
  // node does not know its product), and `flags` one entry per element of `uids`,
  // 1 for the elements that take part. Returns 0, or kel_ier::kInstanceNotFound
  // (lists untouched) when node is null.
  int PurgeList(const KelQorNode* node, KelListValKelDMInstance& objects, KelListValKelDMInstance& products,
                KelListValKelUnicodeString& uids, KelRawCollint& flags);

  // Reads the candidate links into `result` (columns above). Children: the
  // live QOR_LINK rows whose father is the object. Parents: the live rows that
  // point to one of its elements (those whose flag is 0 left out; no flags
  // means all). Rows with an instance path keep only those whose root product
  // is in `products` when that list is not empty. Rows come in link-row
  // order. Returns 0 or a kel_ier code (result then empty).
  int GetImpacts(int impactType, int clientType, const KelListValKelDMInstance& objects,
                 const KelListValKelDMInstance& products, const KelRawCollint& flags, const KelRawColldouble& path,
                 const KelListValKelUnicodeString& uids, const KelListValKelUnicodeString& ownerUids,
                 const KelListValKelUnicodeString& stamps, const KelListValKelUnicodeString& compnames,
                 const KelDMInstance& instance, const KelZumoInstance* zumo, KelDMListResultLine& result);

  // Validates every row of `result`: writes columns 9 (and 5 for a vanished
  // element) and fills `ids`, an array of one TmpId_ per row. The nodes and
  // the model describe the caller's product-structure context (each may be
  // null); the three last pointers are reserved. Returns 0 or a kel_ier code.
  int ValidateImpacts(int clientType, KelDMListResultLine& result, TmpId_* ids, const KelQorNode* rootNode,
                      const KelQorNode* contextNode, KelSdaiModel* model, void* reserved1, void* reserved2,
                      void* reserved3);

  // Writes the environment and table in the form of column 5.
  static KelUnicodeString FormatObjectName(const KelUnicodeString& environment, const KelUnicodeString& table);
  // Reads column 5 back: the text before the first "." is the environment,
  // the rest the table, both without surrounding blanks. A text without "."
  // is read by position (environment in characters 0 to 7, table from
  // character 9 on).
  static void ParseObjectName(const KelUnicodeString& text, KelUnicodeString* environment, KelUnicodeString* table);

 private:
  KelDbConnection* connection_;
};
