// The object data manager: one query per fact per object, keys compared byte
// for byte, statements built safely, latest revisions and identification
// values, and the `mml object info` command that shows them.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include "base/kel_id.h"
#include "base/mml_constants.h"
#include "host/kel_dm_session.h"
#include "host/profile/kel_dm_profile.h"
#include "linkdb/kel_lnk_data_manager.h"
#include "linkdb/kel_lnk_whole_table.h"
#include "support/product.h"

namespace {

using DM = KelLnkDataManager;

const char kCoidA[] = "0102030405060708";
const char kCompidA[] = "1112131415161718";
const char kCoidB[] = "2122232425262728";

KelId Id(const char* hex) { return KelId::FromHexOrZero(hex); }

// Every test starts from empty caches and no profile.
class DataManagerCacheTest : public ::testing::Test {
 protected:
  void SetUp() override {
    DM::Uncache();
    DM::ClearStructure();
  }
  void TearDown() override { DM::Uncache(); }
};

TEST_F(DataManagerCacheTest, IndicesStayStableUntilUncache) {
  std::vector<int> indices;
  for (int i = 0; i < 300; ++i) {
    KelId id = CoidOf(i);
    indices.push_back(DM::LocateObject("E1", "PART_LIST", id, id, 1));
  }
  for (int i = 0; i < 300; ++i) {
    KelId id = CoidOf(i);
    EXPECT_EQ(indices[static_cast<size_t>(i)], DM::LocateObject("E1", "PART_LIST", id, id, 0));
  }
  KelDMInstance instance(kMmlKelcon, "E1", "PART_LIST", CoidOf(7), CoidOf(7));
  EXPECT_EQ(indices[7], DM::LocateObject(instance, 0));
  // Names of the same length and last character (one hash) stay apart.
  const int other = DM::LocateObject("E1", "PART_XIST", CoidOf(7), CoidOf(7), 1);
  EXPECT_NE(indices[7], other);
  EXPECT_NE(other, DM::LocateObject("F1", "PART_XIST", CoidOf(7), CoidOf(7), 1));
  DM::Uncache();
  EXPECT_EQ(0, DM::ObjectCount());
  EXPECT_EQ(-1, DM::LocateObject(instance, 0));
  EXPECT_EQ(0, DM::LocateObject(instance, 1));
}

TEST_F(DataManagerCacheTest, AttributesAreKeptPerObjectUntilUncache) {
  DM::SetObjectAttribute("E1", "TOVRA_MODEL", Id(kCoidA), Id(kCompidA), "MIGR", "DONE");
  DM::SetObjectAttribute("E1", "TOVRA_MODEL", Id(kCoidA), Id(kCompidA), "OTHER", "x");
  DM::SetObjectAttribute("E1", "TOVRA_MODEL", Id(kCoidA), Id(kCompidA), "MIGR", "AGAIN");
  EXPECT_EQ("AGAIN", DM::GetObjectAttribute("E1", "TOVRA_MODEL", Id(kCoidA), Id(kCompidA), "MIGR"));
  EXPECT_EQ("x", DM::GetObjectAttribute("E1", "TOVRA_MODEL", Id(kCoidA).AsDouble(), Id(kCompidA).AsDouble(), "OTHER"));
  EXPECT_EQ("", DM::GetObjectAttribute("E1", "TOVRA_MODEL", Id(kCoidA), Id(kCompidA), "NEVER"));
  // Another object does not see them, and asking creates no entry.
  EXPECT_EQ("", DM::GetObjectAttribute("E1", "TOVRA_MODEL", Id(kCoidB), Id(kCompidA), "MIGR"));
  EXPECT_EQ(1, DM::ObjectCount());
  // Forgetting the database facts of one object keeps its attributes.
  DM::UncacheInstance(DM::GetObjectInstance("E1", "TOVRA_MODEL", Id(kCoidA), Id(kCompidA)));
  EXPECT_EQ("AGAIN", DM::GetObjectAttribute("E1", "TOVRA_MODEL", Id(kCoidA), Id(kCompidA), "MIGR"));
  DM::Uncache();
  EXPECT_EQ("", DM::GetObjectAttribute("E1", "TOVRA_MODEL", Id(kCoidA), Id(kCompidA), "MIGR"));
}

TEST_F(DataManagerCacheTest, StructureListAnswersMembershipIgnoringTrailingBlanksOfTables) {
  KelDMInstance a(kMmlKelcon, "E1", "TOVRA_MODEL", Id(kCoidA), Id(kCompidA));
  KelDMInstance aPadded(kMmlKelcon, "E1", "TOVRA_MODEL  ", Id(kCoidA), Id(kCompidA));
  KelDMInstance b(kMmlKelcon, "E1", "TOVRA_MODEL", Id(kCoidB), Id(kCompidA));
  EXPECT_EQ(0, DM::IsInStructure(a));
  DM::AddToStructure(a);
  EXPECT_EQ(1, DM::IsInStructure(aPadded));
  EXPECT_EQ(0, DM::IsInStructure(b));
  ASSERT_EQ(1u, DM::GetStructure().size());
  // The structure list is not a cache: Uncache keeps it.
  DM::Uncache();
  EXPECT_EQ(1, DM::IsInStructure(a));
  DM::ClearStructure();
  EXPECT_EQ(0, DM::IsInStructure(a));
  EXPECT_TRUE(DM::GetStructure().empty());
}

// ---- On the database ----

class DataManagerTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    db().Init({"E1:objects,entities"});
  }
  void TearDown() override {
    if (KelDMSession::Main() != nullptr) KelDMSession::Main()->SetStatementObserver(nullptr);
    EngineTest::TearDown();
  }
  void UseProfile(const std::string& text) { module_.UseProfile(text); }
  uint64_t Statements() { return KelDMSession::Main()->StatementCount(); }
  // Records the statements run from now on (as the connection runs them: the
  // closing ";" is dropped).
  std::vector<std::string>& Record() {
    recorded_.clear();
    KelDMSession::Main()->SetStatementObserver([this](std::string_view sql) { recorded_.emplace_back(sql); });
    return recorded_;
  }

  std::vector<std::string> recorded_;
  ModuleStateGuard module_;
};

TEST_P(DataManagerTest, EachFactIsReadOnceUntilTheCacheIsCleared) {
  UseProfile("IDENTIFICATION E1.TOVRA_MODEL C_ID C_REVISION\n");
  db().Exec(
      "INSERT INTO $VS_E1.TOVRA_MODEL ($COID, $COMPID, C_ID, C_REVISION, C_LASTMOD) VALUES "
      "(X'0102030405060708', X'1112131415161718', 'BRACKET', 'B', '2024-05-06 07:08:09.123456');"
      "INSERT INTO $VS_E1.$LOCK ($COID, $COMPID, $LOCKTYPE, C_RESPONSIBLE) VALUES "
      "(X'0102030405060708', X'1112131415161718', 'D', 'smith');");
  auto askAll = [] {
    EXPECT_EQ(1, DM::DoesObjectExist("E1", "TOVRA_MODEL", Id(kCoidA), Id(kCompidA)));
    EXPECT_EQ("2024-05-06 07:08:09.000000", DM::GetObjectTimestamp("E1", "TOVRA_MODEL", Id(kCoidA), Id(kCompidA)));
    EXPECT_EQ("BRACKET ** B", DM::GetObjectName("E1", "TOVRA_MODEL", Id(kCoidA), Id(kCompidA)));
    EXPECT_EQ(std::vector<std::string>{"LOCK D smith"},
              DM::GetObjectLockS("E1", "TOVRA_MODEL", Id(kCoidA), Id(kCompidA)));
    EXPECT_EQ((std::vector<std::string>{"BRACKET", "B"}),
              DM::GetObjectIdentificators("E1", "TOVRA_MODEL", Id(kCoidA), Id(kCompidA), -1));
    EXPECT_EQ(1, DM::IsObjectLatest("E1", "TOVRA_MODEL", Id(kCoidA), Id(kCompidA)));
  };
  uint64_t before = Statements();
  askAll();
  uint64_t firstRound = Statements() - before;
  EXPECT_GT(firstRound, 0u);
  EXPECT_LE(firstRound, 7u);  // existence, timestamp, name, locks, identificators, family

  before = Statements();
  askAll();
  EXPECT_EQ(0u, Statements() - before) << "a cached fact was read again";

  DM::Uncache();
  before = Statements();
  askAll();
  EXPECT_EQ(firstRound, Statements() - before);
}

TEST_P(DataManagerTest, EntitiesAreLookedUpThroughTheirObjectColumns) {
  db().Exec(
      "INSERT INTO $VS_E1.MML_ENTITY (OBJECT_KELAB, OBJECT_COID, OBJECT_COMPID, ENTITY_ID_1, ENTITY_ID_2, "
      "ENTITY_KEY, TS) VALUES ('TOVRA_MODEL', X'0102030405060708', X'1112131415161718', X'0000000000000001', "
      "X'0000000000000002', X'0000000000000003', '2023-12-31 23:59:59.500000');");
  EXPECT_EQ(1, DM::DoesObjectExist("E1", "MML_ENTITY", Id(kCoidA), Id(kCompidA)));
  // A blank-padded table name is the same entity table.
  EXPECT_EQ(1, DM::DoesObjectExist("E1", "MML_ENTITY  ", Id(kCoidA), Id(kCompidA)));
  EXPECT_EQ("2023-12-31 23:59:59.000000", DM::GetObjectTimestamp("E1", "MML_ENTITY", Id(kCoidA), Id(kCompidA)));
}

TEST_P(DataManagerTest, IdentifiersThatLookAlikeAsDoublesAreDifferentObjects) {
  // Bytes of 0.0, of -0.0 and of a NaN, as stored identifiers.
  const KelId zero = KelId::FromDouble(0.0);
  const KelId minusZero = KelId::FromDouble(-0.0);
  const KelId nan = KelId::FromDouble(std::numeric_limits<double>::quiet_NaN());
  db().Exec("INSERT INTO $VS_E1.PART_LIST ($COID, $COMPID, C_ID, C_LASTMOD) VALUES (X'" + zero.Hex() + "', X'" +
            zero.Hex() +
            "', 'ZERO', '2020-01-01 00:00:00');"
            "INSERT INTO $VS_E1.PART_LIST ($COID, $COMPID, C_ID, C_LASTMOD) VALUES (X'" +
            nan.Hex() + "', X'" + nan.Hex() + "', 'NAN', '2021-01-01 00:00:00');");
  EXPECT_EQ(1, DM::DoesObjectExist("E1", "PART_LIST", zero, zero));
  EXPECT_EQ(0, DM::DoesObjectExist("E1", "PART_LIST", minusZero, zero));
  EXPECT_EQ(1, DM::DoesObjectExist("E1", "PART_LIST", nan.AsDouble(), nan.AsDouble()));
  EXPECT_EQ("NAN ** ", DM::GetObjectName("E1", "PART_LIST", nan, nan));
  EXPECT_EQ("(?)", DM::GetObjectName("E1", "PART_LIST", minusZero, zero));
}

TEST_P(DataManagerTest, AMissingObjectGetsTheNegativeAnswers) {
  EXPECT_EQ(0, DM::DoesObjectExist("E1", "DOCUMENT", Id(kCoidA), Id(kCompidA)));
  EXPECT_EQ("", DM::GetObjectTimestamp("E1", "DOCUMENT", Id(kCoidA), Id(kCompidA)));
  EXPECT_EQ("(?)", DM::GetObjectName("E1", "DOCUMENT", Id(kCoidA), Id(kCompidA)));
  EXPECT_EQ(std::vector<std::string>{"NO LOCK"}, DM::GetObjectLockS("E1", "DOCUMENT", Id(kCoidA), Id(kCompidA)));
  EXPECT_EQ(std::vector<std::string>{"(?)"},
            DM::GetObjectIdentificators("E1", "DOCUMENT", Id(kCoidA), Id(kCompidA), -1));
  // A missing object is its own latest revision.
  EXPECT_EQ(1, DM::IsObjectLatest("E1", "DOCUMENT", Id(kCoidA), Id(kCompidA)));
  KelDMInstance latest = DM::GetObjectLatestInstance("E1", "DOCUMENT", Id(kCoidA), Id(kCompidA));
  EXPECT_EQ(DM::GetObjectInstance("E1", "DOCUMENT", Id(kCoidA), Id(kCompidA)), latest);
  EXPECT_EQ(kMmlKelcon, latest.GetConnectionName());
}

TEST_P(DataManagerTest, AFailingQueryIsAnsweredOnceAsNotExisting) {
  // Environment E9 has no tables: every statement fails.
  uint64_t before = Statements();
  EXPECT_EQ(0, DM::DoesObjectExist("E9", "TOVRA_MODEL", Id(kCoidA), Id(kCompidA)));
  EXPECT_EQ(0, DM::DoesObjectExist("E9", "TOVRA_MODEL", Id(kCoidA), Id(kCompidA)));
  EXPECT_EQ("", DM::GetObjectTimestamp("E9", "TOVRA_MODEL", Id(kCoidA), Id(kCompidA)));
  EXPECT_EQ("", DM::GetObjectTimestamp("E9", "TOVRA_MODEL", Id(kCoidA), Id(kCompidA)));
  EXPECT_EQ(std::vector<std::string>{"NO LOCK"}, DM::GetObjectLockS("E9", "TOVRA_MODEL", Id(kCoidA), Id(kCompidA)));
  EXPECT_LE(Statements() - before, 3u);
}

TEST_P(DataManagerTest, UncacheInstanceRereadsOneObjectAndKeepsItsIndex) {
  db().Exec(
      "INSERT INTO $VS_E1.TOVRA_MODEL ($COID, $COMPID, C_ID, C_LASTMOD) VALUES "
      "(X'0102030405060708', X'1112131415161718', 'A', '2024-01-01 00:00:00');");
  int index = DM::LocateObject("E1", "TOVRA_MODEL", Id(kCoidA), Id(kCompidA), 1);
  EXPECT_EQ(std::vector<std::string>{"NO LOCK"}, DM::GetObjectLockS("E1", "TOVRA_MODEL", Id(kCoidA), Id(kCompidA)));
  db().Exec(
      "INSERT INTO $VS_E1.$LOCK ($COID, $COMPID, $LOCKTYPE, C_RESPONSIBLE) VALUES "
      "(X'0102030405060708', X'1112131415161718', 'D', 'jones');"
      "INSERT INTO $VS_E1.$LOCK ($COID, $COMPID, $LOCKTYPE, C_RESPONSIBLE) VALUES "
      "(X'0102030405060708', X'1112131415161718', 'C', 'smith');");
  EXPECT_EQ(std::vector<std::string>{"NO LOCK"}, DM::GetObjectLockS("E1", "TOVRA_MODEL", Id(kCoidA), Id(kCompidA)));
  DM::UncacheInstance(DM::GetObjectInstance("E1", "TOVRA_MODEL", Id(kCoidA), Id(kCompidA)));
  EXPECT_EQ((std::vector<std::string>{"LOCK C smith", "LOCK D jones"}),
            DM::GetObjectLockS("E1", "TOVRA_MODEL", Id(kCoidA), Id(kCompidA)));
  EXPECT_EQ(index, DM::LocateObject("E1", "TOVRA_MODEL", Id(kCoidA), Id(kCompidA), 0));
}

// Once a table was read whole, its objects answer without a statement and an
// object it does not hold is known as absent; forgetting one object forgets
// the read, so that rows written since are seen.
TEST_P(DataManagerTest, TableReadWholeAnswersItsObjectsUntilOneIsForgotten) {
  struct RuleGuard {
    RuleGuard() { KelLnkWholeTableRule::Current() = KelLnkWholeTableRule{0, int64_t{1} << 30}; }
    ~RuleGuard() { KelLnkWholeTableRule::Current() = KelLnkWholeTableRule(); }
  } always;
  db().Exec(
      "INSERT INTO $VS_E1.TOVRA_MODEL ($COID, $COMPID, C_ID, C_REVISION, C_LASTMOD) VALUES "
      "(X'0102030405060708', X'1112131415161718', 'A', '1', '2024-01-01 00:00:00'),"
      "(X'2122232425262728', X'1112131415161718', 'B', '2', '2024-02-02 00:00:00'),"
      "(X'5152535455565758', X'1112131415161718', NULL, '3', '2024-05-05 00:00:00');");
  const KelId a = Id(kCoidA), b = Id(kCoidB), c = Id("3132333435363738"), compid = Id(kCompidA);
  DM::ReadFacts({DM::ObjectRef{"E1", "TOVRA_MODEL", a, compid}});
  const uint64_t before = Statements();
  EXPECT_EQ("B ** 2", DM::GetObjectName("E1", "TOVRA_MODEL", b, compid));
  EXPECT_EQ("(?)", DM::GetObjectName("E1", "TOVRA_MODEL", Id("5152535455565758"), compid));  // no C_ID
  EXPECT_EQ("2024-02-02 00:00:00.000000", DM::GetObjectTimestamp("E1", "TOVRA_MODEL", b, compid));
  EXPECT_EQ(0, DM::DoesObjectExist("E1", "TOVRA_MODEL", c, compid));
  EXPECT_EQ(before, Statements());

  // Rows written since: C, asked for before, and E, never asked for.
  db().Exec(
      "INSERT INTO $VS_E1.TOVRA_MODEL ($COID, $COMPID, C_ID, C_LASTMOD) VALUES "
      "(X'3132333435363738', X'1112131415161718', 'C', '2024-03-03 00:00:00'),"
      "(X'4142434445464748', X'1112131415161718', 'E', '2024-04-04 00:00:00');"
      "UPDATE $VS_E1.TOVRA_MODEL SET C_LASTMOD = '2025-01-01 00:00:00' WHERE C_ID = 'A';");
  const KelId e = Id("4142434445464748");
  DM::UncacheInstance(DM::GetObjectInstance("E1", "TOVRA_MODEL", a, compid));
  EXPECT_EQ("2025-01-01 00:00:00.000000", DM::GetObjectTimestamp("E1", "TOVRA_MODEL", a, compid));
  EXPECT_EQ(1, DM::DoesObjectExist("E1", "TOVRA_MODEL", e, compid));
  EXPECT_EQ(0, DM::DoesObjectExist("E1", "TOVRA_MODEL", c, compid));  // its own absence is still remembered
  DM::UncacheInstance(DM::GetObjectInstance("E1", "TOVRA_MODEL", c, compid));
  EXPECT_EQ(1, DM::DoesObjectExist("E1", "TOVRA_MODEL", c, compid));
}

TEST_P(DataManagerTest, IdentificationValuesComeFromTheProfileFields) {
  UseProfile(
      "IDENTIFICATION E1.PART_LIST C_ID C_REVISION C_UUID\n"
      "IDENTIFICATION E1.DOCUMENT C_ID;DELETE\n");
  db().Exec(
      "INSERT INTO $VS_E1.PART_LIST ($COID, $COMPID, C_ID, C_REVISION, C_UUID) VALUES "
      "(X'0102030405060708', X'1112131415161718', '  WING-PANEL ', 'AB', 'U-123456');"
      "INSERT INTO $VS_E1.DOCUMENT ($COID, $COMPID, C_ID) VALUES (X'0102030405060708', X'1112131415161718', 'D');"
      "INSERT INTO $VS_E1.TOVRA_MODEL ($COID, $COMPID, C_ID) VALUES (X'0102030405060708', X'1112131415161718', 'M');");
  EXPECT_EQ((std::vector<std::string>{"C_ID", "C_REVISION", "C_UUID"}), DM::GetIdentificatorFields("E1", "PART_LIST"));
  EXPECT_TRUE(DM::GetIdentificatorFields("E1", "TOVRA_MODEL").empty());

  EXPECT_EQ((std::vector<std::string>{"WING-PANEL", "AB", "U-123456"}),
            DM::GetObjectIdentificators("E1", "PART_LIST", Id(kCoidA), Id(kCompidA), -1));
  EXPECT_EQ((std::vector<std::string>{"WING", "AB", "U-12"}),
            DM::GetObjectIdentificators("E1", "PART_LIST", Id(kCoidA), Id(kCompidA), 4));
  // No fields declared for the table: "(?)".
  EXPECT_EQ(std::vector<std::string>{"(?)"},
            DM::GetObjectIdentificators("E1", "TOVRA_MODEL", Id(kCoidA), Id(kCompidA), -1));
  // A declared field that is not a plain column name never reaches a statement.
  auto& sql = Record();
  EXPECT_EQ(std::vector<std::string>{"(?)"},
            DM::GetObjectIdentificators("E1", "DOCUMENT", Id(kCoidA), Id(kCompidA), -1));
  EXPECT_TRUE(sql.empty());
  EXPECT_EQ(1u, db().Rows("SELECT C_ID FROM $VS_E1.DOCUMENT").size());
}

MML_INSTANTIATE_ENGINES(DataManagerTest);

// ---- mml object info ----

class ObjectInfoCommandTest : public EngineTest {};

TEST_P(ObjectInfoCommandTest, PrintsOneFactPerLine) {
  db().Init({"E1:objects"});
  db().Exec(
      "INSERT INTO $VS_E1.TOVRA_MODEL ($COID, $COMPID, C_ID, C_REVISION, C_FAMILY, C_REVISION_RANK, C_LASTMOD) "
      "VALUES (X'0102030405060708', X'1112131415161718', 'BRACKET', 'A', X'00000000000000FF', 1, "
      "'2024-05-06 07:08:09.123456');"
      "INSERT INTO $VS_E1.TOVRA_MODEL ($COID, $COMPID, C_ID, C_REVISION, C_FAMILY, C_REVISION_RANK, C_LASTMOD) "
      "VALUES (X'0102030405060708', X'1112131415161719', 'BRACKET', 'B', X'00000000000000FF', 2, "
      "'2025-01-01 00:00:00');"
      "INSERT INTO $VS_E1.$LOCK ($COID, $COMPID, $LOCKTYPE, C_RESPONSIBLE) VALUES "
      "(X'0102030405060708', X'1112131415161718', 'D', 'smith');");
  TempDir dir;
  WriteFileText(dir.File("site.profile"), "IDENTIFICATION E1.TOVRA_MODEL C_ID C_REVISION\n");
  MmlRun run = RunMml({"--db", db().Url(), "--profile", dir.File("site.profile"), "object", "info", "E1", "TOVRA_MODEL",
                       "0102030405060708", "1112131415161718"});
  EXPECT_EQ(0, run.exitCode) << run.err;
  EXPECT_EQ(
      "exists: YES\n"
      "name: BRACKET ** A\n"
      "timestamp: 2024-05-06 07:08:09.000000\n"
      "lock: LOCK D smith\n"
      "identificators: BRACKET A\n"
      "latest: NO\n"
      "latest instance: E1 TOVRA_MODEL 0102030405060708 1112131415161719\n"
      "latest timestamp: 2025-01-01 00:00:00.000000\n",
      run.out);
}

TEST_P(ObjectInfoCommandTest, RejectsAnIdentifierThatIsNotSixteenHexDigits) {
  db().Init({"E1:objects"});
  MmlRun run =
      RunMml({"--db", db().Url(), "object", "info", "E1", "TOVRA_MODEL", "010203040506070G", "1112131415161718"});
  EXPECT_NE(0, run.exitCode);
  EXPECT_EQ("", run.out);
  EXPECT_EQ("mml: invalid COID '010203040506070G': expected sixteen hexadecimal digits\n", run.err);
}

MML_INSTANTIATE_SQLITE(ObjectInfoCommandTest);

}  // namespace
