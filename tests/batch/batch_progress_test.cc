// Progress of batch runs: shown only where asked, counted by the active
// reporter only, closed with the final counts.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "batch/kel_lnk_batch_progress.h"

namespace {

std::string Contents(std::FILE* file) {
  std::fflush(file);
  std::rewind(file);
  std::string text;
  int c;
  while ((c = std::fgetc(file)) != EOF) text.push_back(static_cast<char>(c));
  return text;
}

TEST(BatchProgress, ShowsFinalCountsOnlyWhenAskedAndCountsForTheActiveReporter) {
  std::FILE* shown = std::tmpfile();
  std::FILE* hidden = std::tmpfile();
  ASSERT_TRUE(shown && hidden);
  {
    KelLnkBatchProgress outer(2, shown, true);
    {
      KelLnkBatchProgress inner(1, hidden, false);
      KelLnkBatchProgress::ObjectReached();
      inner.RootDone();
      EXPECT_EQ(inner.Objects(), 1);
    }
    // The inner run is over: objects count for the outer one again.
    for (int k = 0; k < 300; ++k) KelLnkBatchProgress::ObjectReached();
    outer.RootDone();
    outer.RootDone();
    EXPECT_EQ(outer.Objects(), 300);
  }
  KelLnkBatchProgress::ObjectReached();  // no reporter: nothing happens

  const std::string text = Contents(shown);
  ASSERT_FALSE(text.empty());
  EXPECT_EQ(text.back(), '\n');
  EXPECT_NE(text.rfind("\rmml: roots done 2/2, objects reached 300\n"), std::string::npos) << text;
  EXPECT_EQ(Contents(hidden), "");
  std::fclose(shown);
  std::fclose(hidden);
}

}  // namespace
