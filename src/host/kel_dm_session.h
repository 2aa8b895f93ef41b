// The host's database session: which database the program works on, and the
// main connection "KELCON" through which objects are read and updated.
//
// The address comes from --db, else the environment variable MML_DB. Other
// connections (the query interface's, the V5 code's) are made on the same
// address.
#pragma once

#include <memory>
#include <string>

#include "host/db/kel_db_connection.h"

class KelDMSession {
 public:
  // Opens the session on `url` (a SQLite file path or a postgresql:// URL).
  // With `create` a missing SQLite file is created. Returns 0 or a kel_ier
  // code, with a one-line explanation in *error. Closes a session already open.
  static int Open(const std::string& url, bool create, std::string* error);
  // The address given by --db (may be empty), else MML_DB; empty when neither.
  static std::string ResolveUrl(const std::string& fromOption);
  static void Close();
  static bool IsOpen();
  static const std::string& Url();

  // The main connection, or null when no session is open. The same object
  // serves every session of the process: a pointer kept by the module stays
  // valid when the session is reopened on another database.
  static KelDbConnection* Main();
  // Counts the sessions opened so far; connections made on the session's
  // address compare it to notice that the database changed.
  static uint64_t Generation();
  // A new connection object on the session's address, not yet open.
  static std::unique_ptr<KelDbConnection> NewConnection(const std::string& name);
};

// The host's connection factory (used by the query interface).
class KelDbDatabase {
 public:
  // A new connection, owned by the caller and not yet open, on the database
  // that `database` names; an empty `database` means the session's. Null when
  // there is no address to use.
  static KelDbConnection* GetConnection(const std::string& database, const std::string& user,
                                        const std::string& password);
};

// The host persistency service: which database an environment lives in.
class KelIQorPersistency {
 public:
  // The database address of the environment (every environment lives in the
  // session's database).
  std::string GetDatabase(const std::string& environment) const;
};
using KelIQorPersistency_var = KelIQorPersistency*;
KelIQorPersistency_var GetPersistency();
