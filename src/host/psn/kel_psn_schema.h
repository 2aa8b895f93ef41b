// The product-structure tables of an environment (docs/schema.md, "Product
// structure"): which part is used inside which part, under which instance
// identifier, and which representations (models) each part has.
//
//   PSN_INSTANCE  one row per use of a part inside an assembly: the
//                 assembly ($COID_FATHER, $COMPID_FATHER, a PART_LIST row of
//                 the same environment), the instance identifier $OID and
//                 the part used ($COMPNAME_CHILD "<env>.PART_LIST",
//                 $COID_CHILD, $COMPID_CHILD)
//   PSN_REP       one row per representation of a part
//
// A product instance (KelZumoInstance) is the top part and the $OID values
// read from the top down; the V5 table QOR_LINK names it the same way
// ($COMPNAME_PTD_ROOT, $COID_PTD_ROOT and $OID_PTD, 16 hexadecimal digits per
// identifier).
#pragma once

#include <string>
#include <vector>

#include "host/db/kel_db_connection.h"
#include "host/kel_dm_schema.h"

inline constexpr char kPsnInstanceTable[] = "PSN_INSTANCE";
inline constexpr char kPsnRepTable[] = "PSN_REP";

// The two tables, as the schema creates them (kind "psn").
const std::vector<KelDMTableSpec>& KelPSNTableSpecs();
