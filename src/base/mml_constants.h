// The constant names shared by all database code of the module: connection,
// tables, columns, object types, processes whose access is checked, SQL
// fragments, link technology prefixes and condition names.
//
// One copy of each string exists in the program (defined in mml_constants.cc
// and built before any other static object of the program, so that static
// tables elsewhere may use them). The values never change at run time.
//
// Statements are built by plain concatenation of the fragments, one blank
// around each keyword:
//   kMmlSqlSelect + kMmlSqlStar + kMmlSqlFrom + HostTableNameAfterPrefix(env, table)
//     + kMmlSqlWhere + kMmlColCoid + kMmlSqlEqHex + coidHex + kMmlSqlQuote
//     + kMmlSqlAnd + kMmlColCompid + kMmlSqlEqHex + compidHex + kMmlSqlQuote + kMmlSqlEnd
// gives "SELECT * FROM $VS_E1.PART_LIST WHERE $COID=X'...' AND $COMPID=X'...';".
// Names of environments and tables enter statement text only through
// HostTableNameAfterPrefix (host/db/host_sql.h); text values only through
// QuoteSqlText or EscapeSqlText. The helpers of foundation/mml_sql.h do that.
#pragma once

#include "base/kel_id.h"
#include "base/kel_types.h"

// ---- Database connection and tables ----
extern const KelUnicodeString kMmlKelcon;     // "KELCON": the main connection's name
extern const KelUnicodeString kMmlExt;        // "$EXT": link table of an environment
extern const KelUnicodeString kMmlMmlLink;    // "MML_LINK": links between entities
extern const KelUnicodeString kMmlMmlEntity;  // "MML_ENTITY": entities
extern const KelUnicodeString kMmlQorEntity;  // "QOR_ENTITY": V5 entities
extern const KelUnicodeString kMmlQorLink;    // "QOR_LINK": V5 links
extern const KelUnicodeString kMmlQorTs;      // "QOR_TS": V5 timestamps

// ---- Object types (tables and node types) ----
extern const KelUnicodeString kMmlTovraModel;   // "TOVRA_MODEL": CAD models
extern const KelUnicodeString kMmlPartList;     // "PART_LIST": parts
extern const KelUnicodeString kMmlDocument;     // "DOCUMENT": documents
extern const KelUnicodeString kMmlDoc;          // "DOC": short type of a document when opened
extern const KelUnicodeString kMmlCheckInArg;   // "D": argument of the check-in
extern const KelUnicodeString kMmlCheckOutArg;  // "INSTANCE": argument of the check-out

// ---- Access checks: domain, object class, processes ----
extern const KelUnicodeString kMmlAccessDomainQor;              // "QOR"
extern const KelUnicodeString kMmlAccessClassBom;               // "BOM"
extern const KelUnicodeString kMmlProcChangeModelUuid;          // "ChangeModelUUID"
extern const KelUnicodeString kMmlProcOpenRepresentation;       // "OpenRepresentation"
extern const KelUnicodeString kMmlProcOverwriteRepresentation;  // "OverwriteRepresentation"
extern const KelUnicodeString kMmlProcOpenPart;                 // "OpenPart"
extern const KelUnicodeString kMmlProcReplication;              // "Replication"
extern const KelUnicodeString kMmlProcInsertQueue;              // "InsertQueue"

// ---- Columns of the object tables and of the "$EXT" link tables ----
extern const KelUnicodeString kMmlColCoid;            // "$COID"
extern const KelUnicodeString kMmlColCompid;          // "$COMPID"
extern const KelUnicodeString kMmlColCompnameFather;  // "$COMPNAME_FATHER": father's table
extern const KelUnicodeString kMmlColCompidFather;    // "$COMPID_FATHER": father's compid
extern const KelUnicodeString kMmlColCompidRef;       // "$COMPID_REF": referenced compid
extern const KelUnicodeString kMmlColCoidRef;         // "$COID_REF": referenced coid
extern const KelUnicodeString kMmlColCompname;        // "$COMPNAME": referenced "<env>.<table>"
extern const KelUnicodeString kMmlColType;            // "$TYPE": link type
extern const KelUnicodeString kMmlColLock;            // "$LOCK"
extern const KelUnicodeString kMmlColLocktype;        // "$LOCKTYPE"
extern const KelUnicodeString kMmlColResponsible;     // "C_RESPONSIBLE"
extern const KelUnicodeString kMmlColMmlTs;           // "C_MML_TS": date recorded with a link
extern const KelUnicodeString kMmlColMmlStatus;       // "KELMML_STATUS": "TOK" or "UPD"
extern const KelUnicodeString kMmlColLastmod;         // "C_LASTMOD"

// ---- Columns of "MML_ENTITY" and "MML_LINK" ----
extern const KelUnicodeString kMmlColObjectKelab;   // "OBJECT_KELAB"
extern const KelUnicodeString kMmlColObjectCoid;    // "OBJECT_COID"
extern const KelUnicodeString kMmlColObjectCompid;  // "OBJECT_COMPID"
extern const KelUnicodeString kMmlColEntityId1;     // "ENTITY_ID_1"
extern const KelUnicodeString kMmlColEntityId2;     // "ENTITY_ID_2"
extern const KelUnicodeString kMmlColEntityKey;     // "ENTITY_KEY"
extern const KelUnicodeString kMmlColTs;            // "TS"
extern const KelUnicodeString kMmlColEntityType;    // "TYPE"
extern const KelUnicodeString kMmlColStatus;        // "STATUS"

// ---- Columns of the V5 link tables, and the literals compared with them ----
extern const KelUnicodeString kMmlColUidPtd;           // "$UID_PTD"
extern const KelUnicodeString kMmlColCoidPtdRef;       // "$COID_PTD_REF"
extern const KelUnicodeString kMmlColOidPtd;           // "$OID_PTD"
extern const KelUnicodeString kMmlColCompidPtdRef;     // "$COMPID_PTD_REF"
extern const KelUnicodeString kMmlColTypeFather;       // "$TYPE_FATHER"
extern const KelUnicodeString kMmlColCoidPtdRoot;      // "$COID_PTD_ROOT"
extern const KelUnicodeString kMmlColCompnamePtdRoot;  // "$COMPNAME_PTD_ROOT"
extern const KelUnicodeString kMmlColCompnamePtdRef;   // "$COMPNAME_PTD_REF"
extern const KelUnicodeString kMmlColTimestampPtd;     // "$TIMESTAMP_PTD"
extern const KelUnicodeString kMmlColOwnerUid;         // "$OWNER_UID"
extern const KelUnicodeString kMmlColCompidAr;         // "$COMPID_AR"
extern const KelUnicodeString kMmlV5Fea;               // "FEA"
extern const KelUnicodeString kMmlV5Zero;              // "0"
extern const KelUnicodeString kMmlV5One;               // "1"
extern const KelUnicodeString kMmlV5Two;               // "2"
extern const KelUnicodeString kMmlV5MinusOne;          // "-1"
extern const KelUnicodeString kMmlV5MinusTwo;          // "-2"

// ---- SQL fragments ----
extern const KelUnicodeString kMmlSqlSelect;     // "SELECT "
extern const KelUnicodeString kMmlSqlFrom;       // " FROM $VS_" (the table name follows directly)
extern const KelUnicodeString kMmlSqlWhere;      // " WHERE "
extern const KelUnicodeString kMmlSqlAnd;        // " AND "
extern const KelUnicodeString kMmlSqlEqHex;      // "=X'" then 16 hex digits and "'"
extern const KelUnicodeString kMmlSqlHex;        // "X'" starts a hexadecimal literal in a list
extern const KelUnicodeString kMmlSqlEqText;     // "='" then the (escaped) text and "'"
extern const KelUnicodeString kMmlSqlQuote;      // "'"
extern const KelUnicodeString kMmlSqlEnd;        // ";"
extern const KelUnicodeString kMmlSqlStar;       // "*"
extern const KelUnicodeString kMmlSqlComma;      // ","
extern const KelUnicodeString kMmlSqlCommaBind;  // ",?"
extern const KelUnicodeString kMmlSqlClose;      // ")"
extern const KelUnicodeString kMmlSqlDot;        // "."
extern const KelUnicodeString kMmlSqlPercent;    // "%"
extern const KelUnicodeString kMmlStatusUpd;     // "UPD": link status after an upissue or a paste

// ---- Special values ----
extern const KelUnicodeString kMmlUnknownName;  // "(?)": a name that cannot be read
extern const KelUnicodeString kMmlBlank;        // " "
extern const KelUnicodeString kMmlTsZeros;      // "000000": replaces a timestamp's last six characters
extern const KelUnicodeString kMmlNullIdHex;    // "3030303030303030": the null identifier
extern const KelUnicodeString kMmlZeroIdHex;    // "0000000000000000"
extern const KelUnicodeString kMmlEmpty;        // ""

// ---- Link technologies and prefixes ----
extern const KelUnicodeString kMmlKelv5;     // "KELV5": declared V5 link types
extern const KelUnicodeString kMmlKelmm;     // "KELMM": declared multi-model link types
extern const KelUnicodeString kMmlKel;       // "KEL": leading characters of V5 link types
extern const KelUnicodeString kMmlKelv5Cnc;  // "KELV5CNC": V5 connection links
extern const KelUnicodeString kMmlV5Prefix;  // "V5_": label prefix of V5 link types

// ---- Colour classes of link nodes, by link condition ----
extern const KelUnicodeString kMmlCondGood;       // "good"       GOOD
extern const KelUnicodeString kMmlCondGoodOld;    // "goodold"    GOODOLD
extern const KelUnicodeString kMmlCondBadDate;    // "baddate"    BADDATE
extern const KelUnicodeString kMmlCondBroken;     // "mmlstop"    BROKEN
extern const KelUnicodeString kMmlCondUnknown;    // "mmlunknown" UNKNOWN
extern const KelUnicodeString kMmlCondUpGood;     // "up_good"    UP_GOOD
extern const KelUnicodeString kMmlCondUpBadDate;  // "up_baddate" UP_BADDATE

// ---- Colour classes of object nodes: an R and an I variant of four classes ----
extern const KelUnicodeString kMmlObjGoodR;     // "goodR"
extern const KelUnicodeString kMmlObjBadDateR;  // "baddateR"
extern const KelUnicodeString kMmlObjBrokenR;   // "mmlstopR"
extern const KelUnicodeString kMmlObjUnknownR;  // "mmlunknownR"
extern const KelUnicodeString kMmlObjGoodI;     // "goodI"
extern const KelUnicodeString kMmlObjBrokenI;   // "mmlstopI"
extern const KelUnicodeString kMmlObjBadDateI;  // "baddateI"
extern const KelUnicodeString kMmlObjUnknownI;  // "mmlunknownI"
