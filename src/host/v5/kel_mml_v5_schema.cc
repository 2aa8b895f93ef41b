#include "host/v5/kel_mml_v5_schema.h"

const std::vector<KelDMTableSpec>& KelMMLV5TableSpecs() {
  static const std::vector<KelDMTableSpec> tables = {
      {"QOR_ENTITY",
       {{"$UID", "TEXT", true},
        {"$OWNER_UID", "TEXT", true},
        {"$COMPNAME", "TEXT", true},
        {"$COID", "ID", true},
        {"$COMPID", "ID", true},
        {"UBIT", "INTEGER", false}},
       {"$UID"},
       {{"$COID", "$COMPID"}, {"$OWNER_UID"}}},
      {"QOR_TS", {{"$UID_PTD", "TEXT", true}, {"$TIMESTAMP_PTD", "TIMESTAMP", false}}, {"$UID_PTD"}, {}},
      {"QOR_LINK",
       {{"$COID", "ID", true},
        {"$COMPID", "ID", true},
        {"$COMPNAME_FATHER", "TEXT", true},
        {"$COMPID_FATHER", "ID", true},
        {"$TYPE", "TEXT", true},
        {"$TYPE_FATHER", "TEXT", false},
        {"$UID_PTD", "TEXT", true},
        {"$OID_PTD", "TEXT", false},
        {"$COMPNAME_PTD_REF", "TEXT", false},
        {"$COID_PTD_REF", "ID", false},
        {"$COMPID_PTD_REF", "ID", false},
        {"$COMPNAME_PTD_ROOT", "TEXT", false},
        {"$COID_PTD_ROOT", "ID", false},
        {"$TIMESTAMP_PTD", "TIMESTAMP", false},
        {"$COMPID_AR", "ID", false},
        {"C_MML_TS", "TIMESTAMP", false},
        {"UBIT", "INTEGER", false}},
       {"$COMPID"},
       {{"$COID", "$COMPID_FATHER"}, {"$UID_PTD"}}},
  };
  return tables;
}

int KelMMLV5CreateTables(KelDbConnection* connection, const std::string& environment, std::string* error) {
  return KelDMSchema::CreateTables(connection, environment, KelMMLV5TableSpecs(), error);
}
