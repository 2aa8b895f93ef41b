// A walk that reads whole tables answers exactly as one that reads a few
// hundred identifiers at a time: the same links in the same order, and the
// same names, dates and existence of the objects reached, in both
// directions, on a generated product.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <deque>
#include <functional>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include "host/db/host_sql.h"
#include "host/db/kel_db_connection.h"
#include "host/generator/kel_dm_generator.h"
#include "host/kel_dm_session.h"
#include "linkdb/hybrid_answer.h"
#include "linkdb/kel_lnk_data_manager.h"
#include "linkdb/kel_lnk_whole_table.h"
#include "support/product.h"

namespace {

using namespace hybrid_test;

class WholeTableTest : public EngineTest {
 protected:
  void TearDown() override {
    KelLnkWholeTableRule::Current() = KelLnkWholeTableRule();
    EngineTest::TearDown();
  }
  ModuleStateGuard module_;
};

std::string KeyText(const HM::Entity& e) {
  return e.caenv() + " " + e.kelab() + " " + e.coid.Hex() + " " + e.compid.Hex();
}

// Every answer met walking breadth first from `starts`, one line per link;
// `reached` gets the objects met.
std::string Walk(bool children, const std::vector<HM::Entity>& starts, std::vector<HM::Entity>* reached = nullptr) {
  std::string out;
  std::deque<HM::Entity> queue(starts.begin(), starts.end());
  std::unordered_set<std::string> seen;
  for (const HM::Entity& e : starts) seen.insert(KeyText(e));
  while (!queue.empty()) {
    Answer a = Ask(children, queue.front());
    queue.pop_front();
    for (size_t k = 0; k < a.links.size(); ++k) {
      const HM::Link& l = *a.links[k];
      const HM::Entity& end = *a.ends[k];
      const std::string key = KeyText(end);
      out += key + " | " + l.Type() + " " + l.Status() + " " + l.Timestamp.str() + " " +
             std::to_string(l.UpToDate) + " " + std::to_string(l.Techno) + " | " +
             KelLnkDataManager::GetObjectName(end.caenv(), end.kelab(), end.coid, end.compid) + " " +
             KelLnkDataManager::GetObjectTimestamp(end.caenv(), end.kelab(), end.coid, end.compid) + " " +
             std::to_string(KelLnkDataManager::DoesObjectExist(end.caenv(), end.kelab(), end.coid, end.compid)) + "\n";
      if (!seen.insert(key).second) continue;
      queue.push_back(end);
      if (reached) reached->push_back(end);
    }
  }
  return out;
}

// The columns of an entity table: those of "MML_ENTITY", then the type and
// state of a use.
std::vector<std::string> EntityColumns(const std::string& table) {
  std::vector<std::string> columns = {"OBJECT_KELAB", "OBJECT_COID", "OBJECT_COMPID", "ENTITY_ID_1", "ENTITY_ID_2",
                                      "ENTITY_KEY",   "TS"};
  if (table == "MML_LINK") columns.insert(columns.end(), {"TYPE", "STATUS"});
  return columns;
}

// Adds two copies of every fourth row of `table` in `env` (its `columns`), which
// `change(row, copy)` makes different (copy 0, then 1).
void CopyRows(const std::string& env, const std::string& table, const std::vector<std::string>& columns,
              const std::function<void(std::vector<KelDbValue>&, int)>& change) {
  KelDbConnection* c = KelDMSession::Main();
  std::string list;
  for (const std::string& column : columns) list += (list.empty() ? "" : ", ") + column;
  const std::string from = " $VS_" + env + "." + table;
  KelDbResult rows;
  ASSERT_EQ(0, c->Execute("SELECT " + list + " FROM" + from, {}, &rows)) << c->LastError();
  // A hundred rows a statement: a round trip per row makes a slow test on a
  // server.
  std::vector<KelDbValue> binds;
  std::string values;
  auto flush = [&] {
    if (values.empty()) return;
    ASSERT_EQ(0, c->Execute("INSERT INTO" + from + " (" + list + ") VALUES " + values, binds, nullptr))
        << c->LastError();
    binds.clear();
    values.clear();
  };
  ASSERT_EQ(0, c->Begin());
  for (int copy : {0, 1}) {
    for (size_t k = 0; k < rows.rows.size(); k += 4) {
      std::vector<KelDbValue> row = rows.rows[k];
      change(row, copy);
      values += (values.empty() ? "" : ",") + HostSqlMarkerList(row.size());
      binds.insert(binds.end(), row.begin(), row.end());
      if (binds.size() >= 100 * columns.size()) flush();
    }
  }
  flush();
  ASSERT_EQ(0, c->Commit());
}

TEST_P(WholeTableTest, AnswersDoNotDependOnWhenTablesAreReadWhole) {
  KelDMGeneratorOptions options;
  options.objects = 600;
  options.seed = 5;
  options.missingShare = 0.02;
  KelDMGeneratorReport report;
  std::string error;
  ASSERT_EQ(0, KelDMGenerator::Generate(db().Main(), options, &report, &error)) << error;
  // Rows of other objects with the same coid (another compid, another
  // table): an object's rows are only its own, however they are read.
  for (const std::string& env : report.environments) {
    const KelDbValue otherCompid = KelDbValue::Id(KelId::FromHexOrZero("00000000000000D7"));
    // Another table of objects, which holds no object of that coid.
    auto otherTable = [](const KelDbValue& table) {
      return KelDbValue::Text(table.AsText().rfind("TOVRA_MODEL", 0) == 0 ? "PART_LIST" : "TOVRA_MODEL");
    };
    const KelDbValue otherType = KelDbValue::Text("KELMMCOPY");
    // One row of each table far from every other key: the product's keys
    // bunch together in the images' directories.
    const KelDbValue farCoid = KelDbValue::Id(KelId::FromHexOrZero("FFFFFFFFFFFFFFF0"));
    CopyRows(env, "$EXT",
             {"$COID", "$COMPID", "$COMPNAME_FATHER", "$COMPID_FATHER", "$COID_REF", "$COMPID_REF", "$COMPNAME",
              "$TYPE", "C_MML_TS", "KELMML_STATUS"},
             [&, made = 0, far = true](std::vector<KelDbValue>& row, int copy) mutable {
               char id[17];
               std::snprintf(id, sizeof id, "00000000D%07X", ++made);
               row[1] = KelDbValue::Id(KelId::FromHexOrZero(id));  // the row's own, unique
               if (copy == 0) row[3] = row[5] = otherCompid;
               if (copy == 1) row[2] = otherTable(row[2]);
               if (copy == 1 && std::exchange(far, false)) row[0] = row[4] = farCoid;
               row[7] = otherType;
             });
    for (const char* table : {"MML_LINK", "MML_ENTITY"})
      CopyRows(env, table, EntityColumns(table), [&, far = true](std::vector<KelDbValue>& row, int copy) mutable {
        row[copy == 0 ? 2 : 0] = copy == 0 ? otherCompid : otherTable(row[0]);
        if (copy == 1 && std::exchange(far, false)) row[1] = row[3] = farCoid;
        // What the copy would change: the use's type, the entity's date.
        if (table == std::string("MML_LINK")) row[7] = otherType;
        row[6] = KelDbValue::Text("1999-01-01 00:00:00.000000");
      });
  }
  HM::Declarations d;
  d.entityToEntity = 1;
  HM::SetDeclarationsForTest(d);
  const HM::Entity root(report.rootEnvironment, report.rootTable, KelId::FromHexOrZero(report.rootCoid),
                        KelId::FromHexOrZero(report.rootCompid));

  struct Rule {
    const char* name;
    KelLnkWholeTableRule rule;
  };
  const Rule probes{"never whole", {SIZE_MAX, 8}};
  // Small sets leave most objects unread when the tables are read whole.
  const Rule rules[] = {
      {"always whole", {0, int64_t{1} << 30}}, {"whole midway", {40, 8}}, {"whole midway, small sets", {40, 8, 50}}};
  // Children from the root, then parents from every object it reaches.
  std::vector<HM::Entity> reached;
  auto walk = [&](const Rule& rule, bool children) {
    KelLnkWholeTableRule::Current() = rule.rule;
    HM::UncacheDatabase();
    KelLnkDataManager::Uncache();
    return children ? Walk(true, {root}) : Walk(false, reached);
  };
  KelLnkWholeTableRule::Current() = probes.rule;
  Walk(true, {root}, &reached);
  ASSERT_GT(reached.size(), 300u);
  for (bool children : {true, false}) {
    const std::string expected = walk(probes, children);
    for (const Rule& rule : rules) EXPECT_EQ(walk(rule, children), expected) << rule.name << " children=" << children;
  }

  // An object asked for again under another spelling of its table (trailing
  // blanks), once a whole-table read has handed its facts out, has the same.
  walk(rules[0], true);
  auto facts = [](const KelUnicodeString& table, const HM::Entity& e) {
    KelLnkDataManager::ReadFacts({KelLnkDataManager::ObjectRef{e.caenv(), table, e.coid, e.compid}});
    return KelLnkDataManager::GetObjectName(e.caenv(), table, e.coid, e.compid) + " " +
           KelLnkDataManager::GetObjectTimestamp(e.caenv(), table, e.coid, e.compid) + " " +
           std::to_string(KelLnkDataManager::DoesObjectExist(e.caenv(), table, e.coid, e.compid));
  };
  for (size_t k = 0; k < reached.size(); k += reached.size() / 7)
    EXPECT_EQ(facts(reached[k].kelab() + "  ", reached[k]), facts(reached[k].kelab(), reached[k])) << KeyText(reached[k]);
}

// Objects reached and not read yet hasten a table's pass, as the walk is
// bound to ask for them; they stop counting once read.
TEST(TableDemandTest, ObjectsWaitingCountUntilRead) {
  KelLnkWholeTableRule::Current() = KelLnkWholeTableRule{100, 10};
  int counted = 0;
  auto rows = [&] {
    ++counted;
    return int64_t{10000};
  };
  KelLnkTableDemand demand;
  EXPECT_FALSE(demand.Ask(50, 40, rows));  // a small walk stays below the floor
  EXPECT_EQ(0, counted);
  EXPECT_FALSE(demand.Ask(100, 800, rows));  // 150 asked, 800 waiting: under one in ten
  EXPECT_TRUE(demand.Ask(100, 750, rows));   // 250 asked, 750 waiting
  KelLnkTableDemand later;
  EXPECT_TRUE(later.Ask(10, 990, rows));  // few asked yet, but a large walk
  KelLnkTableDemand again;
  EXPECT_FALSE(again.Ask(150, 800, rows));
  EXPECT_FALSE(again.Ask(60, 0, rows));  // those waiting were not kept
  EXPECT_TRUE(again.Ask(790, 0, rows));
  EXPECT_EQ(3, counted);  // once per table
  KelLnkWholeTableRule::Current() = KelLnkWholeTableRule();
}

MML_INSTANTIATE_ENGINES(WholeTableTest);

}  // namespace
