// The PostgreSQL engine, through libpq (loaded when the first connection opens).

#include <cstring>
#include <unordered_map>

#include "host/db/kel_db_connection.h"
#include "host/db/kel_dm_ier_message.h"
#include "host/db/pg_library.h"

namespace {

// Type oids of the values we convert.
constexpr Oid kBoolOid = 16;
constexpr Oid kByteaOid = 17;
constexpr Oid kInt8Oid = 20;
constexpr Oid kInt2Oid = 21;
constexpr Oid kInt4Oid = 23;
constexpr Oid kFloat4Oid = 700;
constexpr Oid kFloat8Oid = 701;
constexpr Oid kNumericOid = 1700;
constexpr Oid kTimestampOid = 1114;
constexpr Oid kTimestampTzOid = 1184;

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return 0;
}

KelDbBinary DecodeBytea(const PgLibrary* pq, const char* text, int length) {
  // Hex output format: "\x" followed by two digits per byte.
  if (length >= 2 && text[0] == '\\' && text[1] == 'x') {
    std::vector<uint8_t> bytes;
    bytes.reserve((length - 2) / 2);
    for (int i = 2; i + 1 < length; i += 2)
      bytes.push_back(static_cast<uint8_t>(HexValue(text[i]) * 16 + HexValue(text[i + 1])));
    return KelDbBinary(bytes.data(), bytes.size());
  }
  size_t size = 0;
  unsigned char* raw = pq->PQunescapeBytea(reinterpret_cast<const unsigned char*>(text), &size);
  KelDbBinary b(raw, size);
  pq->PQfreemem(raw);
  return b;
}

// Whether the SQLSTATE says the server itself failed: connection exception
// (08), insufficient resources (53), operator intervention (57: shut down,
// cancelled, timed out), system error (58), internal error (XX), lock not
// available (55P03).
bool IsServerFault(const char* state) {
  if (!state) return false;
  for (const char* cls : {"08", "53", "57", "58", "XX"})
    if (std::strncmp(state, cls, 2) == 0) return true;
  return std::strcmp(state, "55P03") == 0;
}

int CodeOfState(const char* state) {
  if (state && std::strncmp(state, "23", 2) == 0) return kel_ier::kDbConstraint;
  if (state && std::strncmp(state, "42", 2) == 0) return kel_ier::kDbBadStatement;
  if (state && std::strncmp(state, "08", 2) == 0) return kel_ier::kDbCannotOpen;
  return kel_ier::kDbExecution;
}

class PostgresConnection : public KelDbConnection {
 public:
  PostgresConnection(const std::string& name, const std::string& url) : KelDbConnection(name, url) {}
  ~PostgresConnection() override {
    if (conn_) pq_->PQfinish(conn_);
  }

  KelDbEngine Engine() const override { return KelDbEngine::kPostgres; }

  int ListTables(std::vector<std::string>* names) override {
    return ListFirstColumn(
        "SELECT tablename FROM pg_catalog.pg_tables WHERE schemaname = current_schema() ORDER BY tablename", names);
  }

 protected:
  int OpenImpl() override {
    if (!pq_) {
      std::string why;
      pq_ = PgLibraryLoad(&why);
      if (!pq_) {
        SetLastError("cannot reach the database server " + Url() + ": " + why);
        return kel_ier::kDbCannotOpen;
      }
    }
    if (conn_) pq_->PQfinish(conn_);
    prepared_.clear();
    conn_ = pq_->PQconnectdb(Url().c_str());
    if (!conn_ || pq_->PQstatus(conn_) != CONNECTION_OK) {
      std::string why = conn_ ? pq_->PQerrorMessage(conn_) : "out of memory";
      while (!why.empty() && (why.back() == '\n' || why.back() == ' ')) why.pop_back();
      for (char& c : why)
        if (c == '\n') c = ' ';
      SetLastError("cannot reach the database server " + KelDbMaskedUrl(Url()) + ": " + why);
      if (conn_) pq_->PQfinish(conn_);
      conn_ = nullptr;
      return kel_ier::kDbCannotOpen;
    }
    pq_->PQsetNoticeProcessor(
        conn_, [](void*, const char*) {}, nullptr);
    // A whole-table read starts at the table's first row: the rows of one
    // object then come in the order an index probe gives them (the order in
    // which they are stored), which sequential scans that join one already
    // running elsewhere would not keep.
    PGresult* r = pq_->PQexec(conn_,
                              "SET client_min_messages TO warning; SET datestyle TO ISO; "
                              "SET synchronize_seqscans TO off;");
    pq_->PQclear(r);
    return 0;
  }

  bool IsOpenImpl() const override { return conn_ != nullptr && pq_->PQstatus(conn_) == CONNECTION_OK; }

  int RunPrepared(const std::string& sql, const std::vector<KelDbValue>& binds, KelDbResult* result,
                  const KelDbRowSink* sink) override {
    auto it = prepared_.find(sql);
    if (it == prepared_.end()) {
      if (prepared_.size() >= kPreparedCacheSize) {
        pq_->PQclear(pq_->PQexec(conn_, "DEALLOCATE ALL"));
        prepared_.clear();
      }
      std::string name = std::to_string(prepared_.size() + 1);
      name.insert(name.begin(), 's');
      PGresult* r = pq_->PQprepare(conn_, name.c_str(), sql.c_str(), 0, nullptr);
      if (pq_->PQresultStatus(r) != PGRES_COMMAND_OK) {
        int code = Fail(r, sql);
        return code;
      }
      pq_->PQclear(r);
      it = prepared_.emplace(sql, name).first;
    }
    std::vector<std::string> storage(binds.size());
    std::vector<const char*> values(binds.size());
    std::vector<int> lengths(binds.size());
    std::vector<int> formats(binds.size());
    for (size_t i = 0; i < binds.size(); ++i) {
      const KelDbValue& v = binds[i];
      if (v.IsNull()) {
        values[i] = nullptr;
        continue;
      }
      if (v.Type() == KelDbType::kBinary) {
        storage[i] = v.AsBinary().Raw();
        formats[i] = 1;
      } else {
        storage[i] = v.AsText();
        formats[i] = 0;
      }
      values[i] = storage[i].data();
      lengths[i] = static_cast<int>(storage[i].size());
    }
    PGresult* r = pq_->PQexecPrepared(conn_, it->second.c_str(), static_cast<int>(binds.size()), values.data(),
                                      lengths.data(), formats.data(), 0);
    return Collect(r, sql, result, sink);
  }

  int RunNative(const std::string& sql, KelDbResult* result) override {
    PGresult* r = pq_->PQexec(conn_, sql.c_str());
    return Collect(r, sql, result, nullptr);
  }

 private:
  int Fail(PGresult* r, const std::string& sql) {
    const char* state = r ? pq_->PQresultErrorField(r, PG_DIAG_SQLSTATE) : nullptr;
    std::string why = r ? pq_->PQresultErrorMessage(r) : pq_->PQerrorMessage(conn_);
    while (!why.empty() && (why.back() == '\n' || why.back() == ' ')) why.pop_back();
    for (char& c : why)
      if (c == '\n') c = ' ';
    if (why.empty() && r && pq_->PQresultStatus(r) == PGRES_EMPTY_QUERY) why = "the statement is empty";
    if (why.empty()) why = r ? pq_->PQresStatus(pq_->PQresultStatus(r)) : "no answer from the server";
    SetLastError(why + ": " + AbbreviateForMessage(sql));
    int code = CodeOfState(state);
    const bool lost = pq_->PQstatus(conn_) != CONNECTION_OK;
    if (lost) code = kel_ier::kDbCannotOpen;
    if (lost || !r || IsServerFault(state)) NoteEngineFault();
    if (r) pq_->PQclear(r);
    return code;
  }

  // Hands each row of the answer to `sink` when given, else to `result`
  // (may be null), and frees the answer.
  int Collect(PGresult* r, const std::string& sql, KelDbResult* result, const KelDbRowSink* sink) {
    ExecStatusType status = pq_->PQresultStatus(r);
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) return Fail(r, sql);
    if (result || sink) {
      int columns = pq_->PQnfields(r);
      int rows = pq_->PQntuples(r);
      std::vector<Oid> oids(columns);
      for (int c = 0; c < columns; ++c) oids[c] = pq_->PQftype(r, c);
      if (result) {
        result->columns.clear();
        result->types.clear();
        for (int c = 0; c < columns; ++c) {
          result->columns.push_back(pq_->PQfname(r, c));
          result->types.push_back(KelDbType::kNull);
        }
        result->rows.reserve(rows);
      }
      KelDbRow row;
      for (int i = 0; i < rows; ++i) {
        row.Start(columns);
        for (int c = 0; c < columns; ++c) {
          if (pq_->PQgetisnull(r, i, c)) continue;
          const char* text = pq_->PQgetvalue(r, i, c);
          int length = pq_->PQgetlength(r, i, c);
          switch (oids[c]) {
            case kByteaOid: {
              std::string& bytes = row.Scratch(c);
              bytes = DecodeBytea(pq_, text, length).Raw();
              row.SetBytes(c, KelDbType::kBinary, bytes);
              break;
            }
            case kInt2Oid:
            case kInt4Oid:
            case kInt8Oid:
              row.SetInteger(c, std::strtoll(text, nullptr, 10));
              break;
            case kFloat4Oid:
            case kFloat8Oid:
            case kNumericOid:
              row.SetReal(c, std::strtod(text, nullptr));
              break;
            case kBoolOid:
              row.SetInteger(c, text[0] == 't' ? 1 : 0);
              break;
            case kTimestampOid:
            case kTimestampTzOid: {
              std::string& full = row.Scratch(c);
              NormaliseTimestampText(std::string_view(text, static_cast<size_t>(length)), full);
              row.SetBytes(c, KelDbType::kTimestamp, full);
              break;
            }
            default:
              row.SetBytes(c, KelDbType::kText, std::string_view(text, static_cast<size_t>(length)));
          }
        }
        if (sink)
          (*sink)(row);
        else
          AppendRow(row, result);
      }
      if (result) {
        const char* tuples = pq_->PQcmdTuples(r);
        result->changes = (tuples && *tuples) ? std::strtoll(tuples, nullptr, 10) : 0;
      }
    }
    pq_->PQclear(r);
    return 0;
  }

  const PgLibrary* pq_ = nullptr;  // set by the first OpenImpl; never null while conn_ is not
  PGconn* conn_ = nullptr;
  std::unordered_map<std::string, std::string> prepared_;
};

}  // namespace

std::unique_ptr<KelDbConnection> KelDbMakePostgresConnection(const std::string& name, const std::string& url) {
  return std::make_unique<PostgresConnection>(name, url);
}
