// One consistent view of the database for a run of reads.
//
// While the object lives, every statement of the connection reads the same
// state of the database, whatever other sessions commit meanwhile, and the
// engine does not begin and end a transaction for each statement. The
// snapshot only reads: it is rolled back when the object goes. A connection
// already inside a transaction is left as it is.
#pragma once

#include "host/db/kel_db_connection.h"

class KelDbReadSnapshot {
 public:
  explicit KelDbReadSnapshot(KelDbConnection* connection) {
    if (connection && !connection->InTransaction() && connection->Begin() == 0) connection_ = connection;
  }
  ~KelDbReadSnapshot() {
    if (connection_) connection_->Rollback();
  }
  KelDbReadSnapshot(const KelDbReadSnapshot&) = delete;
  KelDbReadSnapshot& operator=(const KelDbReadSnapshot&) = delete;

 private:
  KelDbConnection* connection_ = nullptr;
};
