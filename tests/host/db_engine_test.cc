// The database layer gives the same answers on SQLite and PostgreSQL.
#include <gtest/gtest.h>

#include "host/db/kel_db_cursor.h"
#include "host/db/kel_dm_ier_message.h"
#include "host/kel_dm_lnk_tools.h"
#include "host/kel_dm_schema.h"
#include "host/kel_dm_select.h"
#include "host/kel_dm_session.h"
#include "support/test_database.h"

namespace {

const char* kA = "0000000000000A01";
const char* kB = "0000000000000B01";

class DbEngineTest : public EngineTest {};

// Rows read in place give what the value path gives, column by column:
// NULLs, numbers, a long text, identifiers of odd lengths and bytes, and
// timestamps brought to their full form.
TEST_P(DbEngineTest, RowsReadInPlaceMatchTheValuePath) {
  db().Init({"E1:objects"});
  const std::string longText(5000, 'x');
  db().Exec(
      "INSERT INTO $VS_E1.TOVRA_MODEL ($COID, $COMPID, C_ID, C_FAMILY, C_REVISION_RANK, C_LASTMOD, C_MATURITY) "
      "VALUES (X'0000000000000A01', X'00FF', '" +
      longText +
      "', X'0000000000000000', -7, '2024-05-06 07:08:09', NULL);"
      "INSERT INTO $VS_E1.TOVRA_MODEL ($COID, $COMPID, C_ID, C_FAMILY, C_LASTMOD) VALUES "
      "(X'0000000000000A02', X'27223B0A5C000001', 'it''s', NULL, '2024-05-06 07:08:09.1234567');");
  const std::string sql =
      "SELECT $COID, $COMPID, C_ID, C_FAMILY, C_REVISION_RANK, C_LASTMOD, C_MATURITY, C_UUID "
      "FROM $VS_E1.TOVRA_MODEL ORDER BY $COID";
  KelDbConnection* connection = KelDMSession::Main();
  KelDbResult values;
  ASSERT_EQ(0, connection->Execute(sql, {}, &values));
  ASSERT_EQ(2u, values.rows.size());
  size_t r = 0;
  ASSERT_EQ(0, connection->ExecuteRows(sql, {}, [&](const KelDbRow& row) {
    ASSERT_LT(r, values.rows.size());
    const auto& expected = values.rows[r++];
    ASSERT_EQ(static_cast<int>(expected.size()), row.Size());
    for (int c = 0; c < row.Size(); ++c) {
      EXPECT_EQ(expected[c].Type(), row.Type(c)) << "row " << r << " column " << c;
      EXPECT_EQ(expected[c].AsText(), row.Text(c)) << "row " << r << " column " << c;
      EXPECT_EQ(expected[c].AsBinary().Raw(), row.Bytes(c)) << "row " << r << " column " << c;
    }
  }));
  EXPECT_EQ(2u, r);
  EXPECT_EQ(longText, values.rows[0][2].AsText());
  EXPECT_EQ("27223B0A5C000001", values.rows[1][1].AsText());
  // A statement that fails hands over no row.
  EXPECT_NE(0, connection->ExecuteRows("SELECT C_ID FROM $VS_E1.NO_SUCH_TABLE", {},
                                       [&](const KelDbRow&) { ADD_FAILURE() << "a row of a failed statement"; }));
}

TEST_P(DbEngineTest, LikeIsCaseSensitiveOnEveryEngine) {
  db().Init({"E1:links"});
  db().Exec(
      "INSERT INTO $VS_E1.$EXT ($COID, $COMPID, $TYPE) VALUES (X'0000000000000001', X'0000000000000001', "
      "'KELMMSOL');"
      "INSERT INTO $VS_E1.$EXT ($COID, $COMPID, $TYPE) VALUES (X'0000000000000001', X'0000000000000002', "
      "'kelmmsol');");
  EXPECT_EQ(1u, db().Rows("SELECT $TYPE FROM $VS_E1.$EXT WHERE $TYPE LIKE 'KELMM%'").size());
}

TEST_P(DbEngineTest, CursorBindsIdentifiersAndTextsInMarkerOrder) {
  db().Init({"E1:links"});
  db().Exec(
      "INSERT INTO $VS_E1.$EXT ($COID, $COMPID, $COMPNAME_FATHER, $COMPID_FATHER, $COMPNAME, $COID_REF, "
      "$COMPID_REF, $TYPE, C_MML_TS, KELMML_STATUS) VALUES (X'0000000000000A01', X'00000000000000E1', "
      "'TOVRA_MODEL', X'0000000000000A01', 'E1.TOVRA_MODEL', X'0000000000000B01', X'0000000000000B01', "
      "'KELMMSOL', '2024-01-01 00:00:00', 'TOK');");
  KelDbCursor c(KelDMSession::Main(), "E1", "$EXT");
  c.SetWhereClause("$TYPE LIKE 'KELMM%' AND $COMPNAME_FATHER=? AND $COID=? AND $COMPID_FATHER=?");
  c.SetWhereColumn("$COMPNAME_FATHER", std::string("TOVRA_MODEL"));
  c.SetWhereColumn("$COID", KelDbBinary(KelId::FromHexOrZero(kA)));
  c.SetWhereColumn("$COMPID_FATHER", KelDbBinary(KelId::FromHexOrZero(kA)));
  c.SetOutputColumn("$COMPID_REF", KelDbType::kBinary);
  c.SetOutputColumn("$COMPNAME");
  c.SetOutputColumn("C_MML_TS", KelDbType::kTimestamp);
  ASSERT_EQ(0, c.Open(10)) << c.LastError();
  EXPECT_EQ(1, c.GetNumberOfRows());
  ASSERT_EQ(1, c.Fetch());
  EXPECT_EQ(kB, c.GetHexaValue(1));
  EXPECT_EQ("E1.TOVRA_MODEL", c.GetText(2));
  EXPECT_EQ("2024-01-01 00:00:00.000000", c.GetText(3));
  EXPECT_EQ(0, c.Fetch());
  c.Close();

  // Without output columns the cursor counts.
  KelDbCursor count(KelDMSession::Main(), "E1", "$EXT");
  count.SetWhereClause("$COID_REF=?");
  count.SetWhereColumn("$COID_REF", KelDbBinary(KelId::FromHexOrZero(kB)));
  ASSERT_EQ(0, count.Open(1));
  EXPECT_EQ(1, count.GetNumberOfRows());
}

TEST_P(DbEngineTest, FailedStatementReportsAnErrorAndTheTransactionRollsBackWhole) {
  db().Init({"E1:objects"});
  KelDbConnection* conn = KelDMSession::Main();
  ASSERT_EQ(0, conn->Begin());
  ASSERT_EQ(0, conn->Execute("INSERT INTO $VS_E1.TOVRA_MODEL ($COID, $COMPID, C_ID) VALUES (X'0000000000000A01', "
                             "X'0000000000000A01', 'first')",
                             {}, nullptr));
  int rc = conn->Execute(
      "INSERT INTO $VS_E1.TOVRA_MODEL ($COID, $COMPID, C_ID) VALUES (X'0000000000000A01', "
      "X'0000000000000A01', 'duplicate')",
      {}, nullptr);
  EXPECT_EQ(kel_ier::kDbConstraint, rc);
  EXPECT_FALSE(conn->LastError().empty());
  ASSERT_EQ(0, conn->Rollback());
  EXPECT_TRUE(db().Rows("SELECT C_ID FROM $VS_E1.TOVRA_MODEL").empty());

  EXPECT_EQ(kel_ier::kDbBadStatement, conn->Execute("SELECT nonsense FROM $VS_E1.NO_SUCH_TABLE", {}, nullptr));
  EXPECT_EQ(kel_ier::kDbBadStatement, conn->Execute("SELECT C_ID FROM $VS_E1.TOVRA_MODEL WHERE C_ID=?", {}, nullptr));
}

TEST_P(DbEngineTest, SelectAndUpdateThroughTheDataManagerCommitOrRollBack) {
  db().Init({"E1:links"});
  db().Exec(
      "INSERT INTO $VS_E1.$EXT ($COID, $COMPID, $TYPE, KELMML_STATUS) VALUES (X'0000000000000A01', "
      "X'00000000000000E1', 'KELMMSOL', 'TOK');");
  KelDMUpdate update("E1", "$EXT", "$COID=X'0000000000000A01' AND $COMPID=X'00000000000000E1'");
  update.SetSetClause({"KELMML_STATUS", "$TYPE"}, {"UPD", "KELMMDRW"});
  ASSERT_EQ(0, update.Update());
  EXPECT_EQ(1, update.RowsChanged());
  ASSERT_EQ(0, KelDMZUMO::RollBack(1));
  int rc = -1;
  KelDMSelect unchanged("SELECT $TYPE, KELMML_STATUS FROM $VS_E1.$EXT;", rc, -1);
  ASSERT_EQ(0, rc);
  KelDMListResultLine line;
  unchanged.GetSelectResult(line);
  EXPECT_EQ("KELMMSOL", line.Value(1, 1));
  EXPECT_EQ("TOK", line.Value(1, 2));

  ASSERT_EQ(0, update.Update());
  ASSERT_EQ(0, KelDMZUMO::Commit(1, 1));
  KelDMSelect changed("SELECT $TYPE, KELMML_STATUS FROM $VS_E1.$EXT", rc, -1);
  ASSERT_EQ(1, changed.GetSelectCount());
  changed.GetSelectResult(line);
  EXPECT_EQ("KELMMDRW", line.Value(1, 1));
  EXPECT_EQ("UPD", line.Value(1, 2));
}

TEST_P(DbEngineTest, EnvironmentsAreListedByTheTablesTheyHold) {
  db().Init({"ZETA:objects,links", "ALPHA:objects,links,entities", "MID:entities", "OBJ:objects"});
  EXPECT_EQ((KelListValKelUnicodeString{"ALPHA", "ZETA"}), KelDMLnkTools::ComputeRelationEnvironments(1, nullptr));
  EXPECT_EQ((KelListValKelUnicodeString{"ALPHA", "MID"}), KelDMLnkTools::ComputeRelationEnvironments(2, nullptr));
  KelListValKelUnicodeString filter{" ZETA ", "MID"};
  EXPECT_EQ((KelListValKelUnicodeString{"ZETA"}), KelDMLnkTools::ComputeRelationEnvironments(1, &filter));
  EXPECT_TRUE(KelDMLnkTools::ComputeRelationEnvironments(3, nullptr).empty());
}

TEST_P(DbEngineTest, DeletingAndPointerQuestionsCoverEveryLinkEnvironment) {
  db().Init({"E1:objects,links,entities", "E2:objects,links,entities"});
  // E2's model A points to E1's model B through $EXT; E1's model C uses an entity of B.
  db().Exec(
      "INSERT INTO $VS_E2.$EXT ($COID, $COMPID, $COMPNAME_FATHER, $COMPID_FATHER, $COMPNAME, $COID_REF, "
      "$COMPID_REF, $TYPE) VALUES (X'0000000000000A01', X'00000000000000E1', 'TOVRA_MODEL', X'0000000000000A01', "
      "'E1.TOVRA_MODEL', X'0000000000000B01', X'0000000000000B01', 'KELMMSOL');"
      "INSERT INTO $VS_E1.MML_ENTITY (OBJECT_KELAB, OBJECT_COID, OBJECT_COMPID, ENTITY_ID_1, ENTITY_ID_2, "
      "ENTITY_KEY) VALUES ('TOVRA_MODEL', X'0000000000000B01', X'0000000000000B01', X'1111111111111111', "
      "X'2222222222222222', X'0000000000000001');"
      "INSERT INTO $VS_E1.MML_LINK (OBJECT_KELAB, OBJECT_COID, OBJECT_COMPID, ENTITY_ID_1, ENTITY_ID_2, "
      "ENTITY_KEY, TYPE) VALUES ('TOVRA_MODEL', X'0000000000000C01', X'0000000000000C01', X'1111111111111111', "
      "X'2222222222222222', X'0000000000000001', 'KELMMSOL');");
  KelDMInstance a("KELCON", "E2", "TOVRA_MODEL", "0000000000000A01", "0000000000000A01");
  KelDMInstance b("KELCON", "E1", "TOVRA_MODEL", kB, kB);
  KelDMInstance c("KELCON", "E1", "TOVRA_MODEL", "0000000000000C01", "0000000000000C01");
  std::string pointer;
  EXPECT_EQ(1, KelDMLnkTools::IsPointedModel(b));
  EXPECT_EQ(1, KelDMLnkTools::IsPointedPart(b, pointer));
  EXPECT_EQ("E2 TOVRA_MODEL 0000000000000A01 0000000000000A01", pointer);
  EXPECT_EQ(0, KelDMLnkTools::IsPointedModel(a));

  ASSERT_EQ(0, KelDMLnkTools::DeleteLinks(a));
  EXPECT_TRUE(db().Rows("SELECT $TYPE FROM $VS_E2.$EXT").empty());
  // Still pointed through the entity that C uses.
  EXPECT_EQ(1, KelDMLnkTools::IsPointedPart(b, pointer));
  EXPECT_EQ("E1 TOVRA_MODEL 0000000000000C01 0000000000000C01", pointer);
  ASSERT_EQ(0, KelDMLnkTools::DeleteEntities(c));
  EXPECT_EQ(0, KelDMLnkTools::IsPointedPart(b, pointer));
  EXPECT_EQ("", pointer);
  EXPECT_EQ(1u, db().Rows("SELECT OBJECT_KELAB FROM $VS_E1.MML_ENTITY").size());
}

MML_INSTANTIATE_ENGINES(DbEngineTest);

TEST(DbSessionTest, MissingSqliteFileAndUnreachableServerAreClearErrors) {
  std::string error;
  EXPECT_EQ(kel_ier::kDbCannotOpen, KelDMSession::Open("/nonexistent/dir/x.db", false, &error));
  EXPECT_NE(std::string::npos, error.find("/nonexistent/dir/x.db"));
  EXPECT_FALSE(KelDMSession::IsOpen());
  TempDir dir;
  EXPECT_EQ(kel_ier::kDbCannotOpen, KelDMSession::Open(dir.File("missing.db"), false, &error));
  EXPECT_EQ(kel_ier::kDbCannotOpen,
            KelDMSession::Open("postgresql:///x?host=" + dir.Path() + "&port=1&connect_timeout=2", false, &error));
  EXPECT_NE(std::string::npos, error.find("cannot reach"));
  WriteFileText(dir.File("garbage.db"), std::string(4096, 'x'));
  EXPECT_EQ(kel_ier::kDbCannotOpen, KelDMSession::Open(dir.File("garbage.db"), false, &error));
}

}  // namespace
