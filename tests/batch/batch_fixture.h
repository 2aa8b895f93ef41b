// Small product databases for the batch tests: models of environment E1,
// model-to-model links between them, a profile, and input files of roots.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "batch/kel_lnk_object_batch.h"
#include "foundation/kel_lnk_tools.h"
#include "graph/kel_lnk_object.h"
#include "host/profile/kel_dm_profile.h"
#include "linkdb/kel_lnk_data_manager.h"
#include "linkdb/kel_lnk_hybrid_manager.h"
#include "support/test_database.h"

namespace batch_test {

// Model n of E1 has coid C0..0n and compid D0..0n.
inline std::string CoidHex(int n) {
  char buf[17];
  std::snprintf(buf, sizeof buf, "C0%014X", static_cast<unsigned>(n));
  return buf;
}
inline std::string CompidHex(int n) {
  char buf[17];
  std::snprintf(buf, sizeof buf, "D0%014X", static_cast<unsigned>(n));
  return buf;
}
inline const char* kNullHex = "3030303030303030";

// The four lines naming model n, in input-file and output-file form.
inline std::string ModelLines(int n) { return "E1\nTOVRA_MODEL\n" + CoidHex(n) + "\n" + CompidHex(n) + "\n"; }

class BatchDatabaseTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    db().Init({"E1:objects,links"});
    setenv("MML_TMPDIR", files_.Path().c_str(), 1);
    UseProfile("");
  }

  void TearDown() override {
    KelLnkObject::Clean();
    KelLnkObjectBatch::BatchOrder(0);
    KelLnkDataManager::Uncache();
    KelLnkHybridManager::Uncache();
    KelLnkTools::ResetForTesting();
    KelLnkHybridManager::ResetForTest();
    KelDMProfile::SetCurrent(nullptr);
    unsetenv("MML_TMPDIR");
    EngineTest::TearDown();
  }

  // The profile text shared by the in-process runs and the mml runs.
  std::string ProfileText(const std::string& extra) const {
    return "ENVIRONMENT = E1\n"
           "IDENTIFICATION E1.TOVRA_MODEL C_ID C_REVISION\n"
           "LINKTYPE E1 KELMMSOL MML_SOL\n"
           "LINKTYPE E1 KELMMDRW MML_DRW\n" +
           extra;
  }

  // Makes `extra` (profile lines) current in this process and writes the
  // whole profile to profilePath_ for mml runs.
  void UseProfile(const std::string& extra) {
    std::string text = ProfileText(extra);
    WriteFileText(profilePath_, text);
    std::string error;
    auto profile = KelDMProfile::Parse(text, profilePath_, &error);
    ASSERT_TRUE(profile != nullptr) << error;
    KelDMProfile::SetCurrent(std::move(profile));
    KelLnkTools::ResetForTesting();
    KelLnkHybridManager::ResetForTest();
  }

  void AddModel(int n, const std::string& name, const std::string& date = "2024-01-01 00:00:00.000000") {
    db().Exec(
        "INSERT INTO $VS_E1.TOVRA_MODEL ($COID, $COMPID, C_ID, C_REVISION, C_LASTMOD, C_REVISION_RANK) "
        "VALUES (X'" +
        CoidHex(n) + "', X'" + CompidHex(n) + "', '" + name + "', '1', '" + date + "', 1);");
  }

  // A link row held by model `father`, pointing to model `child` (child 0:
  // the null identifier), of `type` ("SOL", stored as "KELMMSOL").
  void AddLink(int father, int child, const std::string& type = "SOL") {
    char rowId[17];
    std::snprintf(rowId, sizeof rowId, "E0%014X", static_cast<unsigned>(++rows_));
    std::string coidRef = child ? CoidHex(child) : kNullHex;
    std::string compidRef = child ? CompidHex(child) : kNullHex;
    db().Exec(
        "INSERT INTO $VS_E1.$EXT ($COID, $COMPID, $COMPNAME_FATHER, $COMPID_FATHER, $COMPNAME, $COID_REF, "
        "$COMPID_REF, $TYPE, C_MML_TS, KELMML_STATUS) VALUES (X'" +
        CoidHex(father) + "', X'" + std::string(rowId) + "', 'TOVRA_MODEL', X'" + CompidHex(father) +
        "', 'E1.TOVRA_MODEL', X'" + coidRef + "', X'" + compidRef + "', 'KELMM" + type +
        "', '2024-01-01 00:00:00.000000', 'TOK');");
  }

  // Writes an input file naming the models `roots` and returns its path.
  std::string Input(const std::vector<int>& roots, const std::string& name = "roots") {
    std::string text;
    for (int n : roots) text += ModelLines(n);
    std::string path = work_.File(name);
    WriteFileText(path, text);
    return path;
  }

  MmlRun Mml(const std::vector<std::string>& args, const std::vector<std::string>& env = {}) {
    std::vector<std::string> full = {"--db", db().Url(), "--profile", profilePath_};
    full.insert(full.end(), args.begin(), args.end());
    std::vector<std::string> fullEnv = {"MML_TMPDIR=" + files_.Path()};
    fullEnv.insert(fullEnv.end(), env.begin(), env.end());
    return RunMml(full, "", fullEnv);
  }

  static bool FileExists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

  TempDir work_;   // input and output files
  TempDir files_;  // MML_TMPDIR: command and error files
  std::string profilePath_ = work_.File("site.profile");
  int rows_ = 0;
};

}  // namespace batch_test
