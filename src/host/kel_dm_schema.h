// The host schema: the tables of an environment, created on either engine.
// docs/schema.md describes every table and column for administrators.
#pragma once

#include <string>
#include <vector>

#include "host/db/kel_db_connection.h"

// One column of an environment table. Types: "ID" (8-byte identifier),
// "TEXT", "INTEGER" and "TIMESTAMP"; each engine stores them its own way.
struct KelDMColumnSpec {
  std::string name;
  std::string type;
  bool notNull = false;
};

// One table of an environment, with its primary key and indexes.
struct KelDMTableSpec {
  std::string name;
  std::vector<KelDMColumnSpec> columns;
  std::vector<std::string> primaryKey;
  std::vector<std::vector<std::string>> indexes;
};

class KelDMSchema {
 public:
  // The kinds of tables an environment can hold:
  //   "objects"   TOVRA_MODEL, PART_LIST, DOCUMENT and the lock table $LOCK
  //   "links"     the model-to-model link table $EXT
  //   "entities"  MML_ENTITY and MML_LINK
  //   "v5"        QOR_ENTITY, QOR_LINK and QOR_TS (the product tables)
  //   "psn"       PSN_INSTANCE and PSN_REP (the product structure)
  //   "actions"   QOR_ACTION and QOR_ACTION_OBJECT (change-management actions)
  //   "replication" QOR_REPLICATION_QUEUE (objects waiting for replication)
  static const std::vector<std::string>& Kinds();

  // Parses "ENV:KIND,KIND" into its environment and kinds. Returns false with
  // a one-line reason when the environment name or a kind is not valid.
  static bool ParseEnvironmentSpec(const std::string& spec, std::string* environment, std::vector<std::string>* kinds,
                                   std::string* error);

  // An environment name: letters, digits and '_', starting with a letter,
  // at most 32 characters.
  static bool IsValidEnvironmentName(const std::string& name);

  // Creates the tables (and their indexes) of the given kinds in `environment`;
  // tables that exist are left as they are. One transaction: all or nothing.
  // Returns 0 or a kel_ier code with the reason in *error.
  static int InitEnvironment(KelDbConnection* connection, const std::string& environment,
                             const std::vector<std::string>& kinds, std::string* error);

  // Creates `tables` (and their indexes) in `environment`, leaving those that
  // exist as they are. Runs in the connection's open transaction when there
  // is one, else in one of its own (all or nothing). Returns 0 or a kel_ier
  // code with the reason in *error.
  static int CreateTables(KelDbConnection* connection, const std::string& environment,
                          const std::vector<KelDMTableSpec>& tables, std::string* error);
};
