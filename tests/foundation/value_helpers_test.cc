// The text forms of identifiers and values used in SQL text and traces.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/kel_id.h"
#include "base/kel_text_pool.h"
#include "base/mml_constants.h"
#include "foundation/kel_lnk_tools.h"

namespace {

KelId Id(const char* hex) {
  KelId id;
  EXPECT_TRUE(KelId::FromHex(hex, &id)) << hex;
  return id;
}

TEST(ValueHelpersTest, HexadecimalTextFollowsTheIdentifierBytes) {
  EXPECT_EQ(KelLnkTools::DoubleToXString(Id("0102030405060708").AsDouble()), "0102030405060708");
  EXPECT_EQ(KelLnkTools::DoubleToXString(Id("FFFEA0000000007F").AsDouble()), "FFFEA0000000007F");
  EXPECT_EQ(KelLnkTools::DoubleToXString(KelId::Null().AsDouble()), "3030303030303030");
  // Bytes that read as a NaN or as -0.0 keep their identity.
  EXPECT_EQ(KelLnkTools::DoubleToXString(Id("FFF8000000000001").AsDouble()), "FFF8000000000001");
  EXPECT_EQ(KelLnkTools::DoubleToXString(Id("8000000000000000").AsDouble()), "8000000000000000");

  EXPECT_EQ(KelLnkTools::StringToXString("00000000"), "3030303030303030");
  EXPECT_EQ(KelLnkTools::StringToXString("ABCDEFGHIJ"), "4142434445464748") << "only the first 8 bytes count";
  const char withNul[8] = {'\0', 'A', '\0', '\xff', 'z', '\0', '\x01', '\x80'};
  EXPECT_EQ(KelLnkTools::StringToXString(withNul), "004100FF7A000180");
}

// Built while the program starts, like the static tables of other files: the
// shared names must already hold their values.
const std::string kBuiltAtStart = kMmlSqlSelect + kMmlSqlStar + kMmlSqlFrom + "E1" + kMmlSqlDot + kMmlExt;

TEST(ValueHelpersTest, SharedNamesAreReadyForOtherStaticObjects) {
  EXPECT_EQ("SELECT * FROM $VS_E1.$EXT", kBuiltAtStart);
}

// A pool keeps one copy of each value at one address, however it grows and
// however many values share a hash.
TEST(ValueHelpersTest, PooledValuesKeepOneAddressAsThePoolGrows) {
  struct FewHashes {
    size_t operator()(int value) const { return static_cast<size_t>(value % 7); }
  };
  using Pool = KelValuePool<int, FewHashes>;
  std::vector<const int*> first;
  for (int v = 0; v < 3000; ++v) first.push_back(Pool::Pooled(v));
  for (int v = 0; v < 3000; ++v) {
    ASSERT_EQ(Pool::Pooled(v), first[static_cast<size_t>(v)]);
    ASSERT_EQ(*first[static_cast<size_t>(v)], v);
  }
}

// A text asked for again from the same place is found without hashing: the
// place must not answer for the text it held before.
TEST(ValueHelpersTest, PooledTextFollowsTheCharactersNotThePlace) {
  char place[32] = "TOVRA_MODEL";
  const KelUnicodeString* model = KelPooledText(place);
  EXPECT_EQ(KelPooledText(place), model);
  EXPECT_EQ(KelPooledText(std::string("TOVRA_MODEL")), model) << "one copy whatever the place";
  place[0] = 'X';
  EXPECT_EQ(*KelPooledText(place), "XOVRA_MODEL");
  EXPECT_EQ(*KelPooledText(std::string_view(place, 5)), "XOVRA") << "a shorter text at the same place";
  EXPECT_EQ(KelPooledText("TOVRA_MODEL"), model);
}

}  // namespace
