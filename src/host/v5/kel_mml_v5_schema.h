// The V5 product tables QOR_ENTITY, QOR_TS and QOR_LINK (docs/v5-tables.md).
// The V5 link service reads them in the environment "PRODUCT".
#pragma once

#include <string>

#include <vector>

#include "host/db/kel_db_connection.h"
#include "host/kel_dm_schema.h"

// The three tables, as the schema creates them.
const std::vector<KelDMTableSpec>& KelMMLV5TableSpecs();

// Creates the three tables and their indexes in `environment`; tables that
// exist are left as they are. Runs inside the connection's open transaction
// when there is one, else in a transaction of its own (all or nothing).
// Returns 0 or a kel_ier code with the reason in *error (may be null).
int KelMMLV5CreateTables(KelDbConnection* connection, const std::string& environment, std::string* error);
