// Translation of the host notation and the quoting helpers.
#include <gtest/gtest.h>

#include "host/db/host_sql.h"
#include "host/db/kel_db_value.h"

TEST(HostSqlTest, QuotingDoublesQuotesSoAValueCannotEndTheLiteral) {
  EXPECT_EQ("'KELMM'", QuoteSqlText("KELMM"));
  EXPECT_EQ("'O''Brien'' OR ''1''=''1'", QuoteSqlText("O'Brien' OR '1'='1"));
  EXPECT_EQ("a''b", EscapeSqlText("a'b"));
  EXPECT_EQ("''", QuoteSqlText(""));
}

TEST(HostSqlTest, TableNamesWithOtherCharactersAreQuoted) {
  EXPECT_EQ("$VS_E1.TOVRA_MODEL", QuoteHostTableName("E1", "TOVRA_MODEL"));
  EXPECT_EQ("$VS_E1.$EXT", QuoteHostTableName("E1", "$EXT"));
  EXPECT_EQ("$VS_\"E1.A'B; DROP\"", QuoteHostTableName("E1", "A'B; DROP"));
  EXPECT_EQ("$VS_\"E1.A\"\"B\"", QuoteHostTableName("E1", "A\"B"));
}

TEST(HostSqlTest, QuotedTableNameCannotChangeTheStatement) {
  std::string host =
      "SELECT * FROM " + QuoteHostTableName("E1", "T' OR 1=1; --") + " WHERE C_ID=" + QuoteSqlText("x' OR '1'='1");
  HostSqlTranslation t = TranslateHostSql(host, KelDbEngine::kSqlite);
  ASSERT_TRUE(t.ok);
  EXPECT_EQ("SELECT * FROM \"E1.T' OR 1=1; --\" WHERE C_ID='x'' OR ''1''=''1'", t.sql);
  // The script splitter keeps the whole statement together.
  EXPECT_EQ(1u, SplitHostScript(host + ";").size());
}

TEST(HostSqlTest, RejectsUnclosedLiteralsAndBadBinaries) {
  EXPECT_FALSE(TranslateHostSql("SELECT 'abc", KelDbEngine::kSqlite).ok);
  EXPECT_FALSE(TranslateHostSql("SELECT X'30G0'", KelDbEngine::kSqlite).ok);
  EXPECT_FALSE(TranslateHostSql("SELECT X'303'", KelDbEngine::kPostgres).ok);
  EXPECT_FALSE(TranslateHostSql("SELECT * FROM $VS_", KelDbEngine::kPostgres).ok);
}

TEST(HostSqlTest, SplitsScriptsAtSemicolonsOutsideLiteralsAndComments) {
  auto parts = SplitHostScript(
      "-- fill the table; with care\nINSERT INTO $VS_E1.T (C_ID) VALUES ('a;b');\n\n ;INSERT INTO $VS_E1.T (C_ID) "
      "VALUES ('c')");
  ASSERT_EQ(2u, parts.size());
  EXPECT_EQ("INSERT INTO $VS_E1.T (C_ID) VALUES ('a;b')", parts[0]);
  EXPECT_EQ("INSERT INTO $VS_E1.T (C_ID) VALUES ('c')", parts[1]);
}

TEST(HostSqlTest, BinaryLiteralsBecomeParametersSoStatementsShareOnePreparedForm) {
  HostSqlTranslation a = TranslateHostSql("SELECT C_ID FROM $VS_E1.T WHERE $COID=X'0000000000000A01' AND $COMPID=?",
                                          KelDbEngine::kPostgres);
  HostSqlTranslation b = TranslateHostSql("SELECT C_ID FROM $VS_E1.T WHERE $COID=X'00000000000000FF' AND $COMPID=?",
                                          KelDbEngine::kPostgres);
  ASSERT_TRUE(a.ok);
  EXPECT_EQ(a.sql, b.sql);
  EXPECT_EQ(1, a.markers);
  EXPECT_EQ((std::vector<int>{-1, 0}), a.slots);
  ASSERT_EQ(1u, a.literals.size());
  EXPECT_EQ(std::string("\x00\x00\x00\x00\x00\x00\x0A\x01", 8), a.literals[0]);
}

// A timestamp already in its full form is used as the engine gives it: the
// quick check takes exactly the texts of that form (each character tried
// out of place: a separator, a digit, a byte with the high bit), and those
// are texts the normalisation leaves as they are.
TEST(HostSqlTest, OnlyATimestampInItsFullFormIsTakenAsItIs) {
  const std::string full = "2024-05-06 07:08:09.123456";
  const std::string form = "DDDD-DD-DD DD:DD:DD.DDDDDD";
  EXPECT_TRUE(IsNormalTimestampText(full));
  for (const std::string& text :
       {full.substr(0, 25), full + "7", std::string("2024-05-06T07:08:09.123456"), std::string(26, '0'), std::string()})
    EXPECT_FALSE(IsNormalTimestampText(text)) << text;
  for (size_t at = 0; at < full.size(); ++at) {
    for (char c : {'/', ':', '.', ' ', '-', 'a', '0', '9', static_cast<char>('0' - 1), static_cast<char>('9' + 1),
                   static_cast<char>(0xB0), static_cast<char>(0xF9), '\0'}) {
      std::string text = full;
      text[at] = c;
      const bool fits = form[at] == 'D' ? c >= '0' && c <= '9' : c == form[at];
      EXPECT_EQ(fits, IsNormalTimestampText(text)) << text;
      std::string normalised;
      NormaliseTimestampText(text, normalised);
      if (fits) {
        EXPECT_EQ(text, normalised);
      }
    }
  }
}
