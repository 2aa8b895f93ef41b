#include "host/psn/kel_psn_schema.h"

const std::vector<KelDMTableSpec>& KelPSNTableSpecs() {
  static const std::vector<KelDMTableSpec> tables = {
      {kPsnInstanceTable,
       {{"$OID", "ID", true},
        {"$COID_FATHER", "ID", true},
        {"$COMPID_FATHER", "ID", true},
        {"$COMPNAME_CHILD", "TEXT", true},
        {"$COID_CHILD", "ID", true},
        {"$COMPID_CHILD", "ID", true},
        {"C_NAME", "TEXT", false},
        {"C_RANK", "INTEGER", false},
        {"UBIT", "INTEGER", false}},
       {"$OID"},
       {{"$COID_FATHER", "$COMPID_FATHER"}, {"$COID_CHILD", "$COMPID_CHILD"}}},
      {kPsnRepTable,
       {{"$COID_PART", "ID", true},
        {"$COMPID_PART", "ID", true},
        {"$COMPNAME_REP", "TEXT", true},
        {"$COID_REP", "ID", true},
        {"$COMPID_REP", "ID", true},
        {"UBIT", "INTEGER", false}},
       {"$COID_PART", "$COMPID_PART", "$COMPNAME_REP", "$COID_REP", "$COMPID_REP"},
       {}},
  };
  return tables;
}
