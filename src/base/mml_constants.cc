#include "base/mml_constants.h"

// Built before every other static object of the program (priority 101 is the
// first one available to programs), so static tables in other files may be
// initialised from these names.
#define MML_CONSTANT(name, value) \
  __attribute__((init_priority(101))) const KelUnicodeString name { value }

MML_CONSTANT(kMmlKelcon, "KELCON");
MML_CONSTANT(kMmlExt, "$EXT");
MML_CONSTANT(kMmlMmlLink, "MML_LINK");
MML_CONSTANT(kMmlMmlEntity, "MML_ENTITY");
MML_CONSTANT(kMmlQorEntity, "QOR_ENTITY");
MML_CONSTANT(kMmlQorLink, "QOR_LINK");
MML_CONSTANT(kMmlQorTs, "QOR_TS");

MML_CONSTANT(kMmlTovraModel, "TOVRA_MODEL");
MML_CONSTANT(kMmlPartList, "PART_LIST");
MML_CONSTANT(kMmlDocument, "DOCUMENT");
MML_CONSTANT(kMmlDoc, "DOC");
MML_CONSTANT(kMmlCheckInArg, "D");
MML_CONSTANT(kMmlCheckOutArg, "INSTANCE");

MML_CONSTANT(kMmlAccessDomainQor, "QOR");
MML_CONSTANT(kMmlAccessClassBom, "BOM");
MML_CONSTANT(kMmlProcChangeModelUuid, "ChangeModelUUID");
MML_CONSTANT(kMmlProcOpenRepresentation, "OpenRepresentation");
MML_CONSTANT(kMmlProcOverwriteRepresentation, "OverwriteRepresentation");
MML_CONSTANT(kMmlProcOpenPart, "OpenPart");
MML_CONSTANT(kMmlProcReplication, "Replication");
MML_CONSTANT(kMmlProcInsertQueue, "InsertQueue");

MML_CONSTANT(kMmlColCoid, "$COID");
MML_CONSTANT(kMmlColCompid, "$COMPID");
MML_CONSTANT(kMmlColCompnameFather, "$COMPNAME_FATHER");
MML_CONSTANT(kMmlColCompidFather, "$COMPID_FATHER");
MML_CONSTANT(kMmlColCompidRef, "$COMPID_REF");
MML_CONSTANT(kMmlColCoidRef, "$COID_REF");
MML_CONSTANT(kMmlColCompname, "$COMPNAME");
MML_CONSTANT(kMmlColType, "$TYPE");
MML_CONSTANT(kMmlColLock, "$LOCK");
MML_CONSTANT(kMmlColLocktype, "$LOCKTYPE");
MML_CONSTANT(kMmlColResponsible, "C_RESPONSIBLE");
MML_CONSTANT(kMmlColMmlTs, "C_MML_TS");
MML_CONSTANT(kMmlColMmlStatus, "KELMML_STATUS");
MML_CONSTANT(kMmlColLastmod, "C_LASTMOD");

MML_CONSTANT(kMmlColObjectKelab, "OBJECT_KELAB");
MML_CONSTANT(kMmlColObjectCoid, "OBJECT_COID");
MML_CONSTANT(kMmlColObjectCompid, "OBJECT_COMPID");
MML_CONSTANT(kMmlColEntityId1, "ENTITY_ID_1");
MML_CONSTANT(kMmlColEntityId2, "ENTITY_ID_2");
MML_CONSTANT(kMmlColEntityKey, "ENTITY_KEY");
MML_CONSTANT(kMmlColTs, "TS");
MML_CONSTANT(kMmlColEntityType, "TYPE");
MML_CONSTANT(kMmlColStatus, "STATUS");

MML_CONSTANT(kMmlColUidPtd, "$UID_PTD");
MML_CONSTANT(kMmlColCoidPtdRef, "$COID_PTD_REF");
MML_CONSTANT(kMmlColOidPtd, "$OID_PTD");
MML_CONSTANT(kMmlColCompidPtdRef, "$COMPID_PTD_REF");
MML_CONSTANT(kMmlColTypeFather, "$TYPE_FATHER");
MML_CONSTANT(kMmlColCoidPtdRoot, "$COID_PTD_ROOT");
MML_CONSTANT(kMmlColCompnamePtdRoot, "$COMPNAME_PTD_ROOT");
MML_CONSTANT(kMmlColCompnamePtdRef, "$COMPNAME_PTD_REF");
MML_CONSTANT(kMmlColTimestampPtd, "$TIMESTAMP_PTD");
MML_CONSTANT(kMmlColOwnerUid, "$OWNER_UID");
MML_CONSTANT(kMmlColCompidAr, "$COMPID_AR");
MML_CONSTANT(kMmlV5Fea, "FEA");
MML_CONSTANT(kMmlV5Zero, "0");
MML_CONSTANT(kMmlV5One, "1");
MML_CONSTANT(kMmlV5Two, "2");
MML_CONSTANT(kMmlV5MinusOne, "-1");
MML_CONSTANT(kMmlV5MinusTwo, "-2");

MML_CONSTANT(kMmlSqlSelect, "SELECT ");
MML_CONSTANT(kMmlSqlFrom, " FROM $VS_");
MML_CONSTANT(kMmlSqlWhere, " WHERE ");
MML_CONSTANT(kMmlSqlAnd, " AND ");
MML_CONSTANT(kMmlSqlEqHex, "=X'");
MML_CONSTANT(kMmlSqlHex, "X'");
MML_CONSTANT(kMmlSqlEqText, "='");
MML_CONSTANT(kMmlSqlQuote, "'");
MML_CONSTANT(kMmlSqlEnd, ";");
MML_CONSTANT(kMmlSqlStar, "*");
MML_CONSTANT(kMmlSqlComma, ",");
MML_CONSTANT(kMmlSqlCommaBind, ",?");
MML_CONSTANT(kMmlSqlClose, ")");
MML_CONSTANT(kMmlSqlDot, ".");
MML_CONSTANT(kMmlSqlPercent, "%");
MML_CONSTANT(kMmlStatusUpd, "UPD");

MML_CONSTANT(kMmlUnknownName, "(?)");
MML_CONSTANT(kMmlBlank, " ");
MML_CONSTANT(kMmlTsZeros, "000000");
MML_CONSTANT(kMmlNullIdHex, "3030303030303030");
MML_CONSTANT(kMmlZeroIdHex, "0000000000000000");
MML_CONSTANT(kMmlEmpty, "");

MML_CONSTANT(kMmlKelv5, "KELV5");
MML_CONSTANT(kMmlKelmm, "KELMM");
MML_CONSTANT(kMmlKel, "KEL");
MML_CONSTANT(kMmlKelv5Cnc, "KELV5CNC");
MML_CONSTANT(kMmlV5Prefix, "V5_");

MML_CONSTANT(kMmlCondGood, "good");
MML_CONSTANT(kMmlCondGoodOld, "goodold");
MML_CONSTANT(kMmlCondBadDate, "baddate");
MML_CONSTANT(kMmlCondBroken, "mmlstop");
MML_CONSTANT(kMmlCondUnknown, "mmlunknown");
MML_CONSTANT(kMmlCondUpGood, "up_good");
MML_CONSTANT(kMmlCondUpBadDate, "up_baddate");

MML_CONSTANT(kMmlObjGoodR, "goodR");
MML_CONSTANT(kMmlObjBadDateR, "baddateR");
MML_CONSTANT(kMmlObjBrokenR, "mmlstopR");
MML_CONSTANT(kMmlObjUnknownR, "mmlunknownR");
MML_CONSTANT(kMmlObjGoodI, "goodI");
MML_CONSTANT(kMmlObjBrokenI, "mmlstopI");
MML_CONSTANT(kMmlObjBadDateI, "baddateI");
MML_CONSTANT(kMmlObjUnknownI, "mmlunknownI");

#undef MML_CONSTANT
