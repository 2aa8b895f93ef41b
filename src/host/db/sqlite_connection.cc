// The SQLite engine: a database file.
#include <sqlite3.h>

#include <unordered_map>

#include "host/db/kel_db_connection.h"
#include "host/db/kel_dm_ier_message.h"

namespace {

int CodeOf(int sqliteCode) {
  switch (sqliteCode & 0xFF) {
    case SQLITE_CONSTRAINT:
      return kel_ier::kDbConstraint;
    case SQLITE_CANTOPEN:
    case SQLITE_NOTADB:
      return kel_ier::kDbCannotOpen;
    default:
      return kel_ier::kDbExecution;
  }
}

// Whether the code says the engine itself failed rather than the statement:
// the file cannot be read or written, is damaged, the disk or memory is
// full, or a lock was not granted in time.
bool IsEngineFault(int sqliteCode) {
  switch (sqliteCode & 0xFF) {
    case SQLITE_IOERR:
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
    case SQLITE_NOMEM:
    case SQLITE_FULL:
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
    case SQLITE_CANTOPEN:
    case SQLITE_PROTOCOL:
    case SQLITE_READONLY:
      return true;
    default:
      return false;
  }
}

// CHR(n): the character of code n, so that identifiers can be rebuilt from
// their bytes in statement text on every engine.
void ChrFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
  int code = sqlite3_value_int(argv[0]);
  unsigned char byte = static_cast<unsigned char>(code & 0xFF);
  sqlite3_result_blob(ctx, &byte, 1, SQLITE_TRANSIENT);
}

class SqliteConnection : public KelDbConnection {
 public:
  SqliteConnection(const std::string& name, const std::string& path, bool create)
      : KelDbConnection(name, path), create_(create) {}
  ~SqliteConnection() override { CloseAll(); }

  KelDbEngine Engine() const override { return KelDbEngine::kSqlite; }

  int ListTables(std::vector<std::string>* names) override {
    return ListFirstColumn("SELECT name FROM sqlite_master WHERE type='table' ORDER BY name", names);
  }

 protected:
  int OpenImpl() override {
    CloseAll();
    // One connection serves one thread: no locking inside SQLite.
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | (create_ ? SQLITE_OPEN_CREATE : 0);
    int rc = sqlite3_open_v2(Url().c_str(), &db_, flags, nullptr);
    if (rc != SQLITE_OK) {
      SetLastError("cannot open the database file " + Url() + ": " + (db_ ? sqlite3_errmsg(db_) : "out of memory"));
      CloseAll();
      return kel_ier::kDbCannotOpen;
    }
    sqlite3_busy_timeout(db_, 10000);
    sqlite3_create_function(db_, "CHR", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, ChrFunction, nullptr, nullptr);
    // LIKE is case-sensitive on the server engine: make it so here too.
    // Pages are read into a bounded cache of 2 MB rather than mapped: a mapped
    // file counts whole in the resident memory of a long walk, and the
    // operating system caches the file either way (a cache of 8 MB saves no
    // time on a walk over 50,000 objects).
    char* err = nullptr;
    if (sqlite3_exec(db_,
                     "PRAGMA case_sensitive_like=ON; PRAGMA foreign_keys=ON; PRAGMA journal_mode=WAL; PRAGMA "
                     "synchronous=NORMAL; "
                     "PRAGMA mmap_size=0; PRAGMA cache_size=-2048;",
                     nullptr, nullptr, &err) != SQLITE_OK) {
      // The file is not a database, or cannot be written.
      SetLastError("cannot use the database file " + Url() + ": " + (err ? err : "unknown error"));
      sqlite3_free(err);
      CloseAll();
      return kel_ier::kDbCannotOpen;
    }
    return 0;
  }

  bool IsOpenImpl() const override { return db_ != nullptr; }

  int RunPrepared(const std::string& sql, const std::vector<KelDbValue>& binds, KelDbResult* result,
                  const KelDbRowSink* sink) override {
    sqlite3_stmt* stmt = nullptr;
    auto it = cache_.find(sql);
    if (it != cache_.end()) {
      stmt = it->second;
    } else {
      if (cache_.size() >= kPreparedCacheSize) {
        for (auto& [text, old] : cache_) sqlite3_finalize(old);
        cache_.clear();
      }
      const char* tail = nullptr;
      int rc = sqlite3_prepare_v2(db_, sql.c_str(), static_cast<int>(sql.size()), &stmt, &tail);
      if (rc != SQLITE_OK) {
        SetLastError(std::string(sqlite3_errmsg(db_)) + ": " + AbbreviateForMessage(sql));
        if (IsEngineFault(rc)) NoteEngineFault();
        return (rc & 0xFF) == SQLITE_ERROR ? kel_ier::kDbBadStatement : CodeOf(rc);
      }
      if (!stmt) {
        SetLastError("the statement is empty: " + AbbreviateForMessage(sql));
        return kel_ier::kDbBadStatement;
      }
      // The engine prepares one statement: a second one after it would be
      // dropped without a word.
      std::string_view rest(tail, static_cast<size_t>(sql.c_str() + sql.size() - tail));
      if (rest.find_first_not_of(" \t\r\n;") != std::string_view::npos) {
        sqlite3_finalize(stmt);
        SetLastError("more than one statement: " + AbbreviateForMessage(sql));
        return kel_ier::kDbBadStatement;
      }
      cache_.emplace(sql, stmt);
    }
    for (size_t i = 0; i < binds.size(); ++i) {
      const KelDbValue& v = binds[i];
      int idx = static_cast<int>(i + 1);
      switch (v.Type()) {
        case KelDbType::kNull:
          sqlite3_bind_null(stmt, idx);
          break;
        case KelDbType::kInteger:
          sqlite3_bind_int64(stmt, idx, v.AsInteger());
          break;
        case KelDbType::kReal:
          sqlite3_bind_double(stmt, idx, v.AsReal());
          break;
        // The values outlive the statement's run: the engine need not copy them.
        case KelDbType::kText:
        case KelDbType::kTimestamp: {
          const std::string_view text = v.Bytes();
          sqlite3_bind_text(stmt, idx, text.data(), static_cast<int>(text.size()), SQLITE_STATIC);
          break;
        }
        case KelDbType::kBinary: {
          const std::string_view bytes = v.Bytes();
          sqlite3_bind_blob(stmt, idx, bytes.data(), static_cast<int>(bytes.size()), SQLITE_STATIC);
          break;
        }
      }
    }
    int rc = Step(stmt, result, sink);
    sqlite3_reset(stmt);
    sqlite3_clear_bindings(stmt);
    return rc;
  }

  int RunNative(const std::string& sql, KelDbResult* result) override {
    // Several statements may follow one another (schema creation).
    const char* tail = sql.c_str();
    const char* end = sql.c_str() + sql.size();
    while (tail < end) {
      sqlite3_stmt* stmt = nullptr;
      const char* next = nullptr;
      int rc = sqlite3_prepare_v2(db_, tail, static_cast<int>(end - tail), &stmt, &next);
      if (rc != SQLITE_OK) {
        SetLastError(std::string(sqlite3_errmsg(db_)) + ": " + AbbreviateForMessage(sql));
        if (IsEngineFault(rc)) NoteEngineFault();
        return (rc & 0xFF) == SQLITE_ERROR ? kel_ier::kDbBadStatement : CodeOf(rc);
      }
      if (!stmt) break;  // only blanks or comments remain
      int stepped = Step(stmt, result, nullptr);
      sqlite3_finalize(stmt);
      if (stepped != 0) return stepped;
      tail = next;
    }
    return 0;
  }

 private:
  // Runs the statement to its end; each row goes to `sink` when given,
  // else to `result` (may be null).
  int Step(sqlite3_stmt* stmt, KelDbResult* result, const KelDbRowSink* sink) {
    int columns = sqlite3_column_count(stmt);
    if (result && columns > 0 && result->columns.empty()) {
      for (int c = 0; c < columns; ++c) {
        result->columns.push_back(sqlite3_column_name(stmt, c));
        result->types.push_back(KelDbType::kNull);
      }
    }
    // Whether each column is declared TIMESTAMP: asked once per statement.
    std::vector<uint8_t> timestamp(static_cast<size_t>(columns), 0);
    for (int c = 0; c < columns; ++c) {
      const char* decl = sqlite3_column_decltype(stmt, c);
      timestamp[static_cast<size_t>(c)] = decl && sqlite3_stricmp(decl, "TIMESTAMP") == 0;
    }
    KelDbRow row;
    while (true) {
      int rc = sqlite3_step(stmt);
      if (rc == SQLITE_DONE) break;
      if (rc != SQLITE_ROW) {
        SetLastError(sqlite3_errmsg(db_));
        if (IsEngineFault(rc)) NoteEngineFault();
        return CodeOf(rc);
      }
      if (!result && !sink) continue;
      row.Start(columns);
      for (int c = 0; c < columns; ++c) {
        // One look-up of the cell, then its type and bytes from the value
        // itself: each column_* call of the engine looks the cell up again.
        sqlite3_value* value = sqlite3_column_value(stmt, c);
        switch (sqlite3_value_type(value)) {
          case SQLITE_NULL:
            break;
          case SQLITE_INTEGER:
            row.SetInteger(c, sqlite3_value_int64(value));
            break;
          case SQLITE_FLOAT:
            row.SetReal(c, sqlite3_value_double(value));
            break;
          case SQLITE_BLOB: {
            const char* p = static_cast<const char*>(sqlite3_value_blob(value));
            const auto size = static_cast<size_t>(sqlite3_value_bytes(value));
            row.SetBytes(c, KelDbType::kBinary, p ? std::string_view(p, size) : std::string_view());
            break;
          }
          default: {
            // The text first, then its length: asking for the text may convert the value.
            const char* p = reinterpret_cast<const char*>(sqlite3_value_text(value));
            const std::string_view text(p ? p : "", static_cast<size_t>(sqlite3_value_bytes(value)));
            if (!timestamp[static_cast<size_t>(c)]) {
              row.SetBytes(c, KelDbType::kText, text);
            } else if (IsNormalTimestampText(text)) {
              row.SetBytes(c, KelDbType::kTimestamp, text);
            } else {
              std::string& full = row.Scratch(c);
              NormaliseTimestampText(text, full);
              row.SetBytes(c, KelDbType::kTimestamp, full);
            }
          }
        }
      }
      if (sink)
        (*sink)(row);
      else
        AppendRow(row, result);
    }
    if (result) result->changes = sqlite3_changes(db_);
    return 0;
  }

  void CloseAll() {
    for (auto& [sql, stmt] : cache_) sqlite3_finalize(stmt);
    cache_.clear();
    if (db_) sqlite3_close_v2(db_);
    db_ = nullptr;
  }

  bool create_;
  sqlite3* db_ = nullptr;
  std::unordered_map<std::string, sqlite3_stmt*> cache_;
};

}  // namespace

std::unique_ptr<KelDbConnection> KelDbMakeSqliteConnection(const std::string& name, const std::string& path,
                                                           bool create) {
  return std::make_unique<SqliteConnection>(name, path, create);
}
