// Every input kept for the fuzz targets (the seed corpus and each finding,
// once mended) runs again in the ordinary suite.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "fuzz/fuzz_targets.h"
#include "support/test_database.h"

namespace {

TEST(FuzzReplay, EveryKeptInputOfEveryTargetPasses) {
  const std::filesystem::path root = std::filesystem::path(MML_SOURCE_DIR) / "tests" / "fuzz";
  int inputs = 0;
  for (const MmlFuzzTargetEntry& target : MmlFuzzTargets()) {
    int own = 0;
    for (const char* kind : {"corpus", "crashes"}) {
      const std::filesystem::path dir = root / kind / target.name;
      if (!std::filesystem::is_directory(dir)) continue;
      for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        if (!entry.is_regular_file()) continue;
        const std::string data = ReadFileText(entry.path().string());
        SCOPED_TRACE(entry.path().string());
        EXPECT_EQ(0, target.run(reinterpret_cast<const uint8_t*>(data.data()), data.size()));
        ++own;
      }
    }
    EXPECT_GT(own, 0) << "no kept input for " << target.name;
    inputs += own;
  }
  RecordProperty("inputs", inputs);
}

}  // namespace
