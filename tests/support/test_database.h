// Throwaway databases for tests, on SQLite and on the PostgreSQL server that
// the test run starts (tests/support/pg_server.sh).
//
//   class LinkQueryTest : public EngineTest {};
//   TEST_P(LinkQueryTest, FindsChildren) {
//     db().Init({"E1:objects,links"});
//     db().Exec("INSERT INTO $VS_E1.TOVRA_MODEL ($COID, $COMPID, C_ID) VALUES (X'...', X'...', 'A');");
//     ...
//   }
//   MML_INSTANTIATE_ENGINES(LinkQueryTest);
#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

#include "host/db/kel_db_connection.h"

enum class TestEngine { kSqlite, kPostgres };
std::string TestEngineName(TestEngine engine);

class TestDatabase {
 public:
  // A fresh, empty database; the host session is opened on it.
  explicit TestDatabase(TestEngine engine);
  // Closes the session and removes the database.
  ~TestDatabase();

  TestEngine Engine() const { return engine_; }
  const std::string& Url() const { return url_; }
  KelDbConnection* Main() const;

  // Creates environments, each "ENV:KIND,KIND" (see KelDMSchema).
  void Init(const std::vector<std::string>& specs);
  // Runs a script of statements in host notation; a failing statement fails
  // the test and rolls the whole script back.
  void Exec(const std::string& script);
  // Runs one select in host notation and returns its rows as texts
  // (identifiers in hexadecimal).
  std::vector<std::vector<std::string>> Rows(const std::string& sql);

 private:
  TestEngine engine_;
  std::string url_;
  std::string sqlitePath_;
  std::string pgSchema_;
};

// A test run once on each engine; db() is fresh for every test.
class EngineTest : public ::testing::TestWithParam<TestEngine> {
 protected:
  void SetUp() override { db_ = std::make_unique<TestDatabase>(GetParam()); }
  void TearDown() override { db_.reset(); }
  TestDatabase& db() { return *db_; }

 private:
  std::unique_ptr<TestDatabase> db_;
};

#define MML_INSTANTIATE_ENGINES(Suite)                                               \
  INSTANTIATE_TEST_SUITE_P(                                                          \
      Engines, Suite, ::testing::Values(TestEngine::kSqlite, TestEngine::kPostgres), \
      [](const ::testing::TestParamInfo<TestEngine>& info) { return TestEngineName(info.param); })

// For behaviours above the database layer, which the engine does not change.
#define MML_INSTANTIATE_SQLITE(Suite)                         \
  INSTANTIATE_TEST_SUITE_P(                                   \
      Engines, Suite, ::testing::Values(TestEngine::kSqlite), \
      [](const ::testing::TestParamInfo<TestEngine>& info) { return TestEngineName(info.param); })

// Starts the mml program with `args` without waiting for it; `env` entries
// ("NAME=value") are added to this process's environment for it. Standard
// input, output and error are the files named.
pid_t StartMml(const std::vector<std::string>& args, const std::vector<std::string>& env = {},
               const std::string& in = "/dev/null", const std::string& out = "/dev/null",
               const std::string& err = "/dev/null");
// Waits for a program started by StartMml: its exit status, -1 when a signal
// ended it.
int WaitMml(pid_t pid);

// Runs the mml program with `args` (and `input` on its standard input).
struct MmlRun {
  int exitCode = -1;
  std::string out;
  std::string err;
};
MmlRun RunMml(const std::vector<std::string>& args, const std::string& input = "",
              const std::vector<std::string>& env = {});

// A fresh temporary directory, removed with the object.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::string& Path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

std::string ReadFileText(const std::string& path);
void WriteFileText(const std::string& path, const std::string& text);
