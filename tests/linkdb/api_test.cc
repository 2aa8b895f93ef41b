// The impact query interface: parents and children through entities and
// "$EXT" rows, each listed once; the links between two objects with their
// up-to-date flags under every reduction; entity counts; and a connection that
// follows the host session.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "base/kel_id.h"
#include "host/kel_dm_session.h"
#include "linkdb/kel_lnk_api.h"
#include "support/product.h"

namespace {

using namespace product_rows;

const char kOld[] = "2024-01-01 10:00:00";
const char kNew[] = "2024-03-01 12:30:05";

ObjID Obj(const std::string& env, const std::string& table, const char* coid, const char* compid = nullptr) {
  return ObjID{KelId::FromHexOrZero(coid), KelId::FromHexOrZero(compid ? compid : coid), env, table};
}

// "ENV TABLE COID COMPID" of each object of an answer, which is released.
std::vector<std::string> Describe(ObjID* objects, int count) {
  std::vector<std::string> out;
  for (int i = 0; i < count; ++i)
    out.push_back(objects[i].environment + " " + objects[i].table + " " + objects[i].coid.Hex() + " " +
                  objects[i].compid.Hex());
  delete[] objects;
  return out;
}

std::string D(const std::string& env, const std::string& table, const char* id) {
  return env + " " + table + " " + id + " " + id;
}

// The objects of an answer of `query`, which is released; none is a null array.
std::vector<std::string> Answer(ObjID* (*query)(const ObjID&, int&), const ObjID& o) {
  int count = -1;
  ObjID* objects = query(o, count);
  if (count == 0) {
    EXPECT_EQ(nullptr, objects);
  }
  return Describe(objects, count);
}
std::vector<std::string> ImpactedBy(const ObjID& o) {
  return Answer([](const ObjID& x, int& n) { return KelLnkAPI::GetImpactedBy(x, n); }, o);
}
std::vector<std::string> ImpactingOn(const ObjID& o) { return Answer(&KelLnkAPI::GetImpactingOn, o); }

using Links = std::vector<std::pair<std::string, int>>;

// GetLinksBetween in `mode`, starting from lists that hold junk (they must be
// replaced, not appended to).
Links Between(const ObjID& a, const ObjID& b, int mode) {
  KelListValKelUnicodeString types = {"junk"};
  KelRawCollint flags = {7, 7};
  EXPECT_EQ(-1, KelLnkAPI::GetLinksBetween(a, b, types, flags, mode));
  EXPECT_EQ(types.size(), flags.size());
  Links out;
  for (size_t i = 0; i < types.size() && i < flags.size(); ++i) out.emplace_back(types[i], flags[i]);
  return out;
}

Links Sorted(Links links) {
  std::sort(links.begin(), links.end());
  return links;
}

class KelLnkApiTest : public EngineTest {};

TEST_P(KelLnkApiTest, ImpactedByListsEntityUsersThenFathersEachOnce) {
  // E1 and E2 hold links and entities, E3 links only.
  db().Init({"E1:objects,links,entities", "E2:objects,links,entities", "E3:objects,links"});
  db().Exec(EntityRow("E1", "TOVRA_MODEL", kB, kX, kNew) +            // B's live entity X
            EntityRow("E1", "TOVRA_MODEL", kB, kY, kNew, "1") +       // B's dead entity Y
            UseRow("E2", "TOVRA_MODEL", kA2, kX, "KELSOL", kNew) +    // A2 uses X
            UseRow("E2", "TOVRA_MODEL", kC, kY, "KELSOL", kNew) +     // C uses the dead Y
            UseRow("E2", "PART_LIST", kD, kX, "KELSOL", kNew, "1") +  // D's use of X is dead
            // A1 holds two links to B; A2 also links to B through "$EXT" (its
            // father table padded with blanks); A3 in the links-only E3.
            ExtRow("E1", "00000000000000E1", "TOVRA_MODEL", kA, "E1.TOVRA_MODEL", kB, "KELMMSOL", kNew) +
            ExtRow("E1", "00000000000000E2", "TOVRA_MODEL", kA, "E1.TOVRA_MODEL", kB, "KELMMDRW", kNew) +
            ExtRow("E2", "00000000000000E3", "TOVRA_MODEL  ", kA2, "E1.TOVRA_MODEL", kB, "KELMMSOL", kNew) +
            ExtRow("E3", "00000000000000E4", "DOCUMENT", kA3, "E1.TOVRA_MODEL", kB, "KELMMSOL", kNew) +
            // A link to another object.
            ExtRow("E1", "00000000000000E5", "TOVRA_MODEL", kC, "E1.TOVRA_MODEL", kD, "KELMMSOL", kNew));

  const std::vector<std::string> expected = {D("E2", "TOVRA_MODEL", kA2), D("E1", "TOVRA_MODEL", kA),
                                             D("E3", "DOCUMENT", kA3)};
  EXPECT_EQ(expected, ImpactedBy(Obj("E1", "TOVRA_MODEL", kB)));
  // Blanks around the object's environment and table change nothing.
  EXPECT_EQ(expected, ImpactedBy(Obj(" E1 ", "TOVRA_MODEL  ", kB)));
  // Nothing points to A3.
  EXPECT_TRUE(ImpactedBy(Obj("E3", "DOCUMENT", kA3)).empty());
}

TEST_P(KelLnkApiTest, ImpactedByInALinksOnlyEnvironmentFindsFathersEverywhere) {
  db().Init({"E1:objects,links,entities", "E3:objects,links", "E4:objects"});
  db().Exec(ExtRow("E1", "00000000000000E1", "TOVRA_MODEL", kA, "E3.PART_LIST", kB, "KELMMSOL", kNew) +
            ExtRow("E3", "00000000000000E2", "PART_LIST", kC, "E3.PART_LIST", kB, "KELMMSOL", kNew));
  EXPECT_EQ((std::vector<std::string>{D("E1", "TOVRA_MODEL", kA), D("E3", "PART_LIST", kC)}),
            ImpactedBy(Obj("E3", "PART_LIST", kB)));
  // An environment with no link tables at all is reached the same way.
  EXPECT_EQ((std::vector<std::string>{D("E1", "TOVRA_MODEL", kA), D("E3", "PART_LIST", kC)}),
            ImpactedBy(Obj("E4", "PART_LIST", kB)));
}

TEST_P(KelLnkApiTest, ImpactingOnListsOwnersOfUsedEntitiesThenReferencedObjectsEachOnce) {
  db().Init({"E1:objects,links,entities", "E2:objects,links,entities", "E3:objects,links"});
  db().Exec(UseRow("E1", "TOVRA_MODEL", kA, kX, "KELSOL", kNew) +       // A uses X ...
            EntityRow("E2", "TOVRA_MODEL", kB, kX, kNew) +              // ... owned by B
            UseRow("E1", "TOVRA_MODEL", kA, kY, "KELSOL", kNew) +       // A uses Y ...
            EntityRow("E2", "PART_LIST", kC, kY, kNew, "1") +           // ... whose row is dead
            UseRow("E1", "TOVRA_MODEL", kA, kZ, "KELSOL", kNew, "1") +  // a dead use of Z ...
            EntityRow("E2", "DOCUMENT", kD, kZ, kNew) +                 // ... owned by D
            // "$EXT" rows of A: to B again (table padded), to D in E3, and
            // one whose referenced name has no environment.
            ExtRow("E1", "00000000000000E1", "TOVRA_MODEL", kA, "E2.TOVRA_MODEL  ", kB, "KELMMSOL", kNew) +
            ExtRow("E1", "00000000000000E2", "TOVRA_MODEL", kA, "E3.DOCUMENT", kD, "KELMMDRW", kNew) +
            ExtRow("E1", "00000000000000E3", "TOVRA_MODEL", kA, "DOCUMENT", kC, "KELMMDRW", kNew) +
            // A row in another environment with A's identity as father is
            // not A's: only the object's own environment holds its links.
            ExtRow("E2", "00000000000000E4", "TOVRA_MODEL", kA, "E2.PART_LIST", kC, "KELMMSOL", kNew));

  EXPECT_EQ((std::vector<std::string>{D("E2", "TOVRA_MODEL", kB), D("E3", "DOCUMENT", kD)}),
            ImpactingOn(Obj("E1", "TOVRA_MODEL", kA)));
}

TEST_P(KelLnkApiTest, ImpactingOnOutsideTheEntityEnvironmentsReadsOnlyModelLinks) {
  db().Init({"E1:objects,links,entities", "E3:objects,links", "E4:objects"});
  db().Exec(ExtRow("E3", "00000000000000E1", "TOVRA_MODEL", kA, "E1.PART_LIST", kB, "KELMMSOL", kNew) +
            // Entity rows that name A in E1 are not A's: A lives in E3.
            UseRow("E1", "TOVRA_MODEL", kA, kX, "KELSOL", kNew) + EntityRow("E1", "PART_LIST", kC, kX, kNew));
  EXPECT_EQ((std::vector<std::string>{D("E1", "PART_LIST", kB)}), ImpactingOn(Obj("E3", "TOVRA_MODEL", kA)));
  // No link table in E4: nothing.
  EXPECT_TRUE(ImpactingOn(Obj("E4", "TOVRA_MODEL", kA)).empty());
}

TEST_P(KelLnkApiTest, LinksBetweenFlagsAndReducesEntityAndModelLinks) {
  db().Init({"E1:objects,links,entities", "E2:objects,links,entities"});
  const char kNewLater[] = "2024-03-01 12:30:05.987654";  // same second as kNew
  db().Exec(ObjectRow("E2", "TOVRA_MODEL", kB, kNew) +
            // b's entities X and Y (and a dead Z); a's uses.
            EntityRow("E2", "TOVRA_MODEL", kB, kX, kNew) + EntityRow("E2", "TOVRA_MODEL", kB, kY, kNew) +
            EntityRow("E2", "TOVRA_MODEL", kB, kZ, kNew, "1") +
            UseRow("E1", "TOVRA_MODEL", kA, kX, "KELSOL", kNewLater) +  // up to date
            UseRow("E1", "TOVRA_MODEL", kA, kY, "KELDRW", kOld) +       // stale
            UseRow("E1", "TOVRA_MODEL", kA, kZ, "KELSOL", kOld) +       // entity is dead
            // a's "$EXT" rows: two of type KELMMSOL, one up to date, one not;
            // one KELMMDRW up to date; one to another object.
            ExtRow("E1", "00000000000000E1", "TOVRA_MODEL", kA, "E2.TOVRA_MODEL", kB, "KELMMSOL", kNewLater) +
            ExtRow("E1", "00000000000000E2", "TOVRA_MODEL", kA, "E2.TOVRA_MODEL", kB, "KELMMSOL", kOld) +
            ExtRow("E1", "00000000000000E3", "TOVRA_MODEL", kA, "E2.TOVRA_MODEL", kB, "KELMMDRW", kNew) +
            ExtRow("E1", "00000000000000E4", "TOVRA_MODEL", kA, "E2.TOVRA_MODEL", kC, "KELMMCAT", kNew));
  const ObjID a = Obj("E1", "TOVRA_MODEL", kA);
  const ObjID b = Obj("E2", "TOVRA_MODEL", kB);

  // Mode 1: every link with its own flag, entity links first.
  Links all = Between(a, b, 1);
  ASSERT_EQ(5u, all.size());
  EXPECT_EQ((Links{{"KELDRW", 2}, {"KELSOL", 3}}), Sorted(Links(all.begin(), all.begin() + 2)));
  EXPECT_EQ((Links{{"KELMMDRW", 1}, {"KELMMSOL", 0}, {"KELMMSOL", 1}}), Sorted(Links(all.begin() + 2, all.end())));

  // Mode 2: one entry per type; a type is up to date only when all its links
  // are, and the entity bit is dropped.
  EXPECT_EQ((Links{{"KELDRW", 0}, {"KELMMDRW", 1}, {"KELMMSOL", 0}, {"KELSOL", 1}}), Sorted(Between(a, b, 2)));

  // Mode 3: one entry, not up to date as soon as one link is stale.
  EXPECT_EQ((Links{{"", 0}}), Between(a, b, 3));
  // Mode 0 and unknown modes: nothing.
  EXPECT_TRUE(Between(a, b, 0).empty());
  EXPECT_TRUE(Between(a, b, 9).empty());

  // The other direction has no link: mode 3 says up to date, mode 1 nothing.
  EXPECT_EQ((Links{{"", 1}}), Between(b, a, 3));
  EXPECT_TRUE(Between(b, a, 1).empty());
  EXPECT_TRUE(Between(b, a, 2).empty());
}

TEST_P(KelLnkApiTest, LinksBetweenUpToDateOnlyWithBothTimestampsKnown) {
  db().Init({"E1:objects,links,entities", "E2:objects,links,entities", "E3:objects,links"});
  db().Exec(ObjectRow("E2", "TOVRA_MODEL", kB, nullptr) +  // no C_LASTMOD
            ObjectRow("E2", "TOVRA_MODEL", kC, kNew) + EntityRow("E2", "TOVRA_MODEL", kC, kX, nullptr) +  // no TS
            UseRow("E1", "TOVRA_MODEL", kA, kX, "KELSOL", nullptr) +
            ExtRow("E1", "00000000000000E1", "TOVRA_MODEL", kA, "E2.TOVRA_MODEL", kB, "KELMMSOL", nullptr) +
            ExtRow("E1", "00000000000000E2", "TOVRA_MODEL", kA, "E2.TOVRA_MODEL", kC, "KELMMSOL", nullptr) +
            // D does not exist.
            ExtRow("E1", "00000000000000E3", "TOVRA_MODEL", kA, "E2.TOVRA_MODEL", kD, "KELMMSOL", nullptr) +
            // From E3 (links only) to C: the "$EXT" row counts, entity tables are not read.
            ExtRow("E3", "00000000000000E4", "TOVRA_MODEL", kA, "E2.TOVRA_MODEL", kC, "KELMMDRW", kNew));
  const ObjID a = Obj("E1", "TOVRA_MODEL", kA);
  EXPECT_EQ((Links{{"KELMMSOL", 0}}), Between(a, Obj("E2", "TOVRA_MODEL", kB), 1));
  EXPECT_EQ((Links{{"KELSOL", 2}, {"KELMMSOL", 0}}), Between(a, Obj("E2", "TOVRA_MODEL", kC), 1));
  EXPECT_EQ((Links{{"KELMMSOL", 0}}), Between(a, Obj("E2", "TOVRA_MODEL", kD), 1));
  EXPECT_EQ((Links{{"", 0}}), Between(a, Obj("E2", "TOVRA_MODEL", kD), 3));
  EXPECT_EQ((Links{{"KELMMDRW", 1}}), Between(Obj("E3", "TOVRA_MODEL", kA), Obj("E2", "TOVRA_MODEL", kC), 1));
}

TEST_P(KelLnkApiTest, EntityCountCountsEveryRowOfTheObjectOnly) {
  db().Init({"E1:objects,links,entities", "E3:objects,links"});
  db().Exec(EntityRow("E1", "TOVRA_MODEL", kA, kX, kNew) + EntityRow("E1", "TOVRA_MODEL", kA, kY, kNew, "1") +
            EntityRow("E1", "TOVRA_MODEL", kA, kZ, kNew, "0") +
            EntityRow("E1", "PART_LIST", kA, kX, kNew) +    // same ids, other table
            EntityRow("E1", "TOVRA_MODEL", kB, kX, kNew) +  // other object
            UseRow("E1", "TOVRA_MODEL", kA, kX, "KELSOL", kNew));
  EXPECT_EQ(3, KelLnkAPI::GetEntityCount(Obj("E1", "TOVRA_MODEL", kA)));
  EXPECT_EQ(3, KelLnkAPI::GetEntityCount(Obj(" E1", "TOVRA_MODEL ", kA)));
  EXPECT_EQ(1, KelLnkAPI::GetEntityCount(Obj("E1", "PART_LIST", kA)));
  EXPECT_EQ(0, KelLnkAPI::GetEntityCount(Obj("E1", "DOCUMENT", kA)));
  // No entity tables: 0.
  EXPECT_EQ(0, KelLnkAPI::GetEntityCount(Obj("E3", "TOVRA_MODEL", kA)));
}

TEST_P(KelLnkApiTest, QuotesInTableNamesAndLinkTypesAreData) {
  db().Init({"E1:objects,links,entities", "E2:objects,links,entities"});
  const std::string odd = "TOVRA'MODEL";
  db().Exec(EntityRow("E1", odd, kB, kX, kNew) + EntityRow("E1", odd, kB, kY, kNew, "1") +
            UseRow("E2", "PART'LIST", kA, kX, "KEL'SOL", kNew) +
            ExtRow("E2", "00000000000000E1", "PART'LIST", kA, "E1." + odd, kB, "KELMM'DRW", kNew) +
            ExtRow("E2", "00000000000000E2", "DOC' OR ''='", kC, "E1." + odd, kB, "KELMMSOL", kNew));
  const ObjID b = Obj("E1", odd, kB);
  const ObjID a = Obj("E2", "PART'LIST", kA);
  EXPECT_EQ(2, KelLnkAPI::GetEntityCount(b));
  EXPECT_EQ((std::vector<std::string>{D("E2", "PART'LIST", kA), D("E2", "DOC' OR ''='", kC)}), ImpactedBy(b));
  EXPECT_EQ((std::vector<std::string>{D("E1", odd, kB)}), ImpactingOn(a));
  // b's table does not exist as a table: its modification time is unknown.
  EXPECT_EQ((Links{{"KEL'SOL", 3}, {"KELMM'DRW", 0}}), Between(a, b, 1));
  // A table name made to end the statement early matches nothing.
  EXPECT_EQ(0, KelLnkAPI::GetEntityCount(Obj("E1", "X' OR '1'='1", kB)));
  EXPECT_TRUE(ImpactingOn(Obj("E2", "X' OR '1'='1", kA)).empty());
}

TEST_P(KelLnkApiTest, ConnectionFollowsTheSessionToANewDatabase) {
  db().Init({"E1:objects,links,entities"});
  db().Exec(EntityRow("E1", "TOVRA_MODEL", kA, kX, kNew));
  ASSERT_EQ(1, KelLnkAPI::GetEntityCount(Obj("E1", "TOVRA_MODEL", kA)));
  {
    TestDatabase other(GetParam());
    other.Init({"E1:objects,links,entities"});
    other.Exec(EntityRow("E1", "TOVRA_MODEL", kA, kX, kNew) + EntityRow("E1", "TOVRA_MODEL", kA, kY, kNew));
    EXPECT_EQ(2, KelLnkAPI::GetEntityCount(Obj("E1", "TOVRA_MODEL", kA)));
  }
  // No session at all: nothing is found, and mode 3 still answers.
  ASSERT_FALSE(KelDMSession::IsOpen());
  int count = -1;
  EXPECT_EQ(nullptr, KelLnkAPI::GetImpactedBy(Obj("E1", "TOVRA_MODEL", kA), count));
  EXPECT_EQ(0, count);
  EXPECT_EQ(0, KelLnkAPI::GetEntityCount(Obj("E1", "TOVRA_MODEL", kA)));
  EXPECT_EQ((Links{{"", 1}}), Between(Obj("E1", "TOVRA_MODEL", kA), Obj("E1", "TOVRA_MODEL", kB), 3));
}

MML_INSTANTIATE_ENGINES(KelLnkApiTest);

TEST(KelLnkApiConnectionTest, UnreachableDatabaseIsReportedAndRetried) {
  TestDatabase db(TestEngine::kSqlite);
  db.Init({"E1:objects,links,entities"});
  // The session stays open on the file, but the file is gone: a new
  // connection to it cannot be made.
  ASSERT_EQ(0, std::remove(db.Url().c_str()));
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(0, KelLnkAPI::GetEntityCount(Obj("E1", "TOVRA_MODEL", kA)));
  int count = -1;
  EXPECT_EQ(nullptr, KelLnkAPI::GetImpactingOn(Obj("E1", "TOVRA_MODEL", kA), count));
  EXPECT_EQ(0, count);
  const std::string err = ::testing::internal::GetCapturedStderr();
  // Each call tried again and said so.
  size_t first = err.find("0x20003");
  ASSERT_NE(std::string::npos, first) << err;
  EXPECT_NE(std::string::npos, err.find("0x20003", first + 1)) << err;
}

}  // namespace
