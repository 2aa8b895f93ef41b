#include "host/kel_dm_session.h"
#include "base/mml_constants.h"

#include <cstdlib>

#include "host/db/kel_dm_ier_message.h"

// The main connection: one object for the life of the process, forwarding to
// the engine connection of the current session.
class KelDbSessionConnection : public KelDbConnection {
 public:
  KelDbSessionConnection() : KelDbConnection(kMmlKelcon, "") {}

  void Attach(std::unique_ptr<KelDbConnection> inner) {
    inner_ = std::move(inner);
    ResetState();
  }
  bool Attached() const { return inner_ != nullptr; }

  KelDbEngine Engine() const override { return inner_ ? inner_->Engine() : KelDbEngine::kSqlite; }
  int ListTables(std::vector<std::string>* names) override {
    if (!inner_) return kel_ier::kDbNoConnection;
    int rc = inner_->ListTables(names);
    if (rc) SetLastError(inner_->LastError());
    return rc;
  }

 protected:
  int OpenImpl() override {
    if (!inner_) {
      SetLastError("no database session is open");
      return kel_ier::kDbNoConnection;
    }
    int rc = inner_->TryOpen();
    if (rc) SetLastError(inner_->LastError());
    return rc;
  }
  bool IsOpenImpl() const override { return inner_ && inner_->IsOpen(); }
  int RunPrepared(const std::string& sql, const std::vector<KelDbValue>& binds, KelDbResult* result,
                  const KelDbRowSink* sink) override {
    int rc = inner_->RunPrepared(sql, binds, result, sink);
    if (rc) SetLastError(inner_->LastError());
    return rc;
  }
  int RunNative(const std::string& sql, KelDbResult* result) override {
    int rc = inner_->RunNative(sql, result);
    if (rc) SetLastError(inner_->LastError());
    return rc;
  }

 private:
  std::unique_ptr<KelDbConnection> inner_;
};

namespace {
struct Session {
  std::string url;
  KelDbSessionConnection main;
  uint64_t generation = 0;
};
Session& TheSession() {
  static Session* session = new Session();  // lives until the process ends
  return *session;
}
}  // namespace

int KelDMSession::Open(const std::string& url, bool create, std::string* error) {
  Close();
  auto conn = KelDbMakeConnection(kMmlKelcon, url, create);
  int rc = conn->TryOpen();
  if (rc != 0) {
    if (error) *error = conn->LastError();
    return rc;
  }
  Session& s = TheSession();
  s.url = url;
  s.main.Attach(std::move(conn));
  ++s.generation;
  return 0;
}

std::string KelDMSession::ResolveUrl(const std::string& fromOption) {
  if (!fromOption.empty()) return fromOption;
  const char* env = std::getenv("MML_DB");
  return env ? env : "";
}

void KelDMSession::Close() {
  Session& s = TheSession();
  if (s.main.Attached() && s.main.InTransaction()) s.main.Rollback();
  s.main.Attach(nullptr);
  s.url.clear();
}

bool KelDMSession::IsOpen() { return TheSession().main.Attached(); }

const std::string& KelDMSession::Url() { return TheSession().url; }

KelDbConnection* KelDMSession::Main() { return IsOpen() ? &TheSession().main : nullptr; }

uint64_t KelDMSession::Generation() { return TheSession().generation; }

std::unique_ptr<KelDbConnection> KelDMSession::NewConnection(const std::string& name) {
  if (!IsOpen()) return nullptr;
  return KelDbMakeConnection(name, TheSession().url, false);
}

KelDbConnection* KelDbDatabase::GetConnection(const std::string& database, const std::string&, const std::string&) {
  std::string url = database.empty() ? KelDMSession::Url() : database;
  if (url.empty()) return nullptr;
  return KelDbMakeConnection("PRODUCT", url, false).release();
}

std::string KelIQorPersistency::GetDatabase(const std::string&) const { return KelDMSession::Url(); }

KelIQorPersistency_var GetPersistency() {
  static KelIQorPersistency persistency;
  return &persistency;
}
