// Small product databases for the batch tests: models of environment E1,
// model-to-model links between them, a profile, and input files of roots.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "batch/kel_lnk_object_batch.h"
#include "foundation/kel_lnk_tools.h"
#include "graph/kel_lnk_object.h"
#include "linkdb/kel_lnk_data_manager.h"
#include "linkdb/kel_lnk_hybrid_manager.h"
#include "support/product.h"

namespace batch_test {

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
    WriteFileText(profilePath_, ProfileText(extra));
    module_.UseProfile(ProfileText(extra));
  }

  void AddModel(int n, const std::string& name, const std::string& date = kDefaultDate) {
    Product(db()).Model(n, name, date);
  }

  // Models 1, 2, ... named by the letters of `names`.
  void AddModels(const std::string& names) {
    for (size_t i = 0; i < names.size(); ++i) AddModel(static_cast<int>(i) + 1, std::string(1, names[i]));
  }

  // A link row held by model `father`, pointing to model `child` (child 0:
  // the null identifier), of `type` ("SOL", stored as "KELMMSOL").
  void AddLink(int father, int child, const std::string& type = "SOL") {
    Product(db()).Link(father, child, "KELMM" + type, kDefaultDate, "TOK", "");
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
  ModuleStateGuard module_;
};

}  // namespace batch_test
