#include "support/test_database.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "host/db/host_sql.h"
#include "host/kel_dm_schema.h"
#include "host/kel_dm_session.h"

extern char** environ;

namespace {

std::string PgServerUrl() {
  const char* dir = std::getenv("MML_TEST_PG_DIR");
  std::string path = std::string(dir ? dir : MML_TEST_PG_DIR) + "/url";
  std::ifstream in(path);
  std::string url;
  std::getline(in, url);
  return url;
}

std::string UniqueName(const char* prefix) {
  static std::atomic<int> counter{0};
  std::string name = prefix;
  name += std::to_string(getpid()) + "_";
  name += std::to_string(counter++);
  return name;
}

std::string MakeTempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "mmltest.XXXXXX").string();
  std::vector<char> buf(pattern.begin(), pattern.end());
  buf.push_back('\0');
  if (!mkdtemp(buf.data())) return std::string();
  return buf.data();
}

}  // namespace

std::string TestEngineName(TestEngine engine) { return engine == TestEngine::kSqlite ? "SQLite" : "PostgreSQL"; }

TestDatabase::TestDatabase(TestEngine engine) : engine_(engine) {
  KelDMSession::Close();
  // Engine faults provoked by an earlier test of the process are not this one's.
  KelDbClearEngineFaults();
  if (engine == TestEngine::kSqlite) {
    sqlitePath_ = MakeTempDir();
    url_ = sqlitePath_ + "/test.db";
  } else {
    std::string server = PgServerUrl();
    if (server.empty()) {
      ADD_FAILURE() << "no PostgreSQL test server: run tests through ctest, or start one with "
                       "tests/support/pg_server.sh start <build>/pgtest";
      return;
    }
    pgSchema_ = UniqueName("t");
    auto admin = KelDbMakeConnection("admin", server, false);
    if (admin->TryOpen() != 0 || admin->ExecuteNative("CREATE SCHEMA " + pgSchema_) != 0) {
      ADD_FAILURE() << "cannot create a test schema: " << admin->LastError();
      return;
    }
    url_ = server + "&options=-csearch_path%3D" + pgSchema_;
  }
  std::string error;
  if (KelDMSession::Open(url_, true, &error) != 0) ADD_FAILURE() << "cannot open the test database: " << error;
}

TestDatabase::~TestDatabase() {
  KelDMSession::Close();
  if (!sqlitePath_.empty()) {
    std::error_code ec;
    std::filesystem::remove_all(sqlitePath_, ec);
  }
  if (!pgSchema_.empty()) {
    auto admin = KelDbMakeConnection("admin", PgServerUrl(), false);
    if (admin->TryOpen() == 0) admin->ExecuteNative("DROP SCHEMA " + pgSchema_ + " CASCADE");
  }
}

KelDbConnection* TestDatabase::Main() const { return KelDMSession::Main(); }

void TestDatabase::Init(const std::vector<std::string>& specs) {
  for (const auto& spec : specs) {
    std::string env, error;
    std::vector<std::string> kinds;
    ASSERT_TRUE(KelDMSchema::ParseEnvironmentSpec(spec, &env, &kinds, &error)) << error;
    ASSERT_EQ(0, KelDMSchema::InitEnvironment(Main(), env, kinds, &error)) << error;
  }
}

void TestDatabase::Exec(const std::string& script) {
  KelDbConnection* conn = Main();
  ASSERT_NE(conn, nullptr);
  ASSERT_EQ(0, conn->Begin()) << conn->LastError();
  for (const auto& statement : SplitHostScript(script)) {
    int rc = conn->Execute(statement, {}, nullptr);
    if (rc != 0) {
      std::string why = conn->LastError();
      conn->Rollback();
      FAIL() << "statement failed (" << rc << "): " << why;
    }
  }
  ASSERT_EQ(0, conn->Commit()) << conn->LastError();
}

std::vector<std::vector<std::string>> TestDatabase::Rows(const std::string& sql) {
  std::vector<std::vector<std::string>> rows;
  KelDbResult r;
  int rc = Main()->Execute(sql, {}, &r);
  EXPECT_EQ(0, rc) << Main()->LastError();
  for (const auto& row : r.rows) {
    std::vector<std::string> texts;
    for (const auto& v : row) texts.push_back(v.AsText());
    rows.push_back(texts);
  }
  return rows;
}

pid_t StartMml(const std::vector<std::string>& args, const std::vector<std::string>& env, const std::string& in,
               const std::string& out, const std::string& err) {
  std::vector<std::string> all = {MML_BINARY}, vars;
  all.insert(all.end(), args.begin(), args.end());
  for (char** e = environ; *e; ++e) vars.push_back(*e);
  for (const auto& e : env) {
    const std::string name = e.substr(0, e.find('=') + 1);
    std::erase_if(vars, [&name](const std::string& v) { return v.rfind(name, 0) == 0; });
    vars.push_back(e);
  }
  std::vector<char*> argv, envp;
  for (auto& a : all) argv.push_back(a.data());
  for (auto& v : vars) envp.push_back(v.data());
  argv.push_back(nullptr);
  envp.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, in.c_str(), O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  pid_t pid = -1;
  EXPECT_EQ(0, posix_spawn(&pid, MML_BINARY, &actions, nullptr, argv.data(), envp.data()));
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

int WaitMml(pid_t pid) {
  int status = 0;
  if (waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

MmlRun RunMml(const std::vector<std::string>& args, const std::string& input, const std::vector<std::string>& env) {
  MmlRun run;
  TempDir dir;
  WriteFileText(dir.File("in"), input);
  run.exitCode = WaitMml(StartMml(args, env, dir.File("in"), dir.File("out"), dir.File("err")));
  run.out = ReadFileText(dir.File("out"));
  run.err = ReadFileText(dir.File("err"));
  return run;
}

TempDir::TempDir() : path_(MakeTempDir()) {}

TempDir::~TempDir() {
  std::error_code ec;
  if (!path_.empty()) std::filesystem::remove_all(path_, ec);
}

std::string ReadFileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void WriteFileText(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}
