// Timestamps packed in 8 bytes: every text comes back as given, as itself or
// as its pooled copy, and values compare as their texts do, whether packed as
// digits or kept apart.
#include "linkdb/kel_lnk_packed_timestamp.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/kel_text_pool.h"

namespace {

const std::vector<std::string> kTexts = {
    "",
    "2024-02-01 08:00:00.000000",
    "2024-02-01 08:00:00.000001",  // a fraction: kept apart
    "2024-02-01 08:00:01.000000",
    "1999-12-31 23:59:59.000000",
    "0",
    "2024-02-01",
    "not a date at all, and longer than the normal form",
};

TEST(PackedTimestampTest, GivesBackEachTextAndComparesAsTheTextsDo) {
  for (const std::string& a : kTexts) {
    const KelLnkPackedTimestamp pa(a);
    EXPECT_EQ(pa.str(), a);
    EXPECT_EQ(pa.empty(), a.empty());
    EXPECT_EQ(pa.Pooled(), KelPooledText(a)) << a;
    for (const std::string& b : kTexts) {
      const KelLnkPackedTimestamp pb(b);
      EXPECT_EQ(pa == pb, a == b) << a << " / " << b;
      EXPECT_EQ(pa < pb, a < b) << a << " / " << b;
    }
  }
  // The same other text met again is the same value.
  EXPECT_EQ(KelLnkPackedTimestamp("2024-02-01"), KelLnkPackedTimestamp(std::string("2024-") + "02-01"));
}

TEST(PackedTimestampTest, ZeroesTheFractionAsLinksCompareDates) {
  EXPECT_EQ(KelLnkPackedTimestamp("2024-02-01 08:00:00.123456").FractionZeroed().str(), "2024-02-01 08:00:00.000000");
  EXPECT_EQ(KelLnkPackedTimestamp("2024-02-01 08:00:00.123456").FractionZeroed(),
            KelLnkPackedTimestamp("2024-02-01 08:00:00.000000"));
  EXPECT_EQ(KelLnkPackedTimestamp("2024-02-01 08:00:00.000000").FractionZeroed().str(), "2024-02-01 08:00:00.000000");
  EXPECT_EQ(KelLnkPackedTimestamp("").FractionZeroed().str(), "");
  EXPECT_EQ(KelLnkPackedTimestamp("abc").FractionZeroed().str(), "abc");  // shorter than a fraction: as it stands
}

}  // namespace
