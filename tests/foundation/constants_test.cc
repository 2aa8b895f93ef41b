// Statement text built from the shared fragments, and the shared names being
// usable from other static objects.
#include <gtest/gtest.h>

#include <string>

#include "base/kel_id.h"
#include "base/mml_constants.h"
#include "foundation/mml_sql.h"

namespace {

// Built while the program starts, like the static tables of other files: the
// shared names must already hold their values.
const std::string kBuiltAtStart = kMmlSqlSelect + kMmlSqlStar + kMmlSqlFrom + "E1" + kMmlSqlDot + kMmlExt;

TEST(MmlConstantsTest, NamesAreReadyForOtherStaticObjects) { EXPECT_EQ("SELECT * FROM $VS_E1.$EXT", kBuiltAtStart); }

TEST(MmlConstantsTest, StatementHasOneBlankAroundEachKeyword) {
  const KelId coid = KelId::FromHexOrZero("0102030405060708");
  const KelId compid = KelId::FromHexOrZero("A1B2C3D4E5F60718");
  EXPECT_EQ("SELECT * FROM $VS_E1.PART_LIST WHERE $COID=X'0102030405060708' AND $COMPID=X'A1B2C3D4E5F60718';",
            MmlSqlSelectFrom(kMmlSqlStar, "E1", kMmlPartList) + kMmlSqlWhere +
                MmlSqlIdentityCondition(kMmlColCoid, coid, kMmlColCompid, compid) + kMmlSqlEnd);
  EXPECT_EQ("SELECT C_ID,C_REVISION FROM $VS_E1.$EXT",
            MmlSqlSelectFrom(MmlSqlColumnList({"C_ID", "C_REVISION"}), "E1", kMmlExt));
  EXPECT_EQ("", MmlSqlColumnList({}));
}

TEST(MmlConstantsTest, IdentifiersAndTextsBecomeLiterals) {
  // The null identifier keeps its sixteen digits.
  EXPECT_EQ("$COID_REF=X'3030303030303030'", MmlSqlHexEquals(kMmlColCoidRef, KelId::Null()));
  EXPECT_EQ(kMmlNullIdHex, KelId::Null().Hex());
  EXPECT_EQ("$TYPE='KELMMSOL'", MmlSqlTextEquals(kMmlColType, "KELMMSOL"));
  // A quote in a value cannot end the literal.
  EXPECT_EQ("C_ID='O''Brien'' OR ''1''=''1'", MmlSqlTextEquals("C_ID", "O'Brien' OR '1'='1"));
}

TEST(MmlConstantsTest, TableNamesWithOtherCharactersAreQuoted) {
  EXPECT_EQ("SELECT * FROM $VS_\"E1.A'B; DROP\"", MmlSqlSelectFrom(kMmlSqlStar, "E1", "A'B; DROP"));
  EXPECT_EQ("SELECT * FROM $VS_\"E1.A\"\"B\"", MmlSqlSelectFrom(kMmlSqlStar, "E1", "A\"B"));
}

}  // namespace
