// A walk that reads whole tables answers exactly as one that reads a few
// hundred identifiers at a time: the same links in the same order, and the
// same names, dates and existence of the objects reached, in both
// directions, on a generated product.
#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <string>
#include <unordered_set>
#include <vector>

#include "host/generator/kel_dm_generator.h"
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

TEST_P(WholeTableTest, AnswersDoNotDependOnWhenTablesAreReadWhole) {
  KelDMGeneratorOptions options;
  options.objects = 600;
  options.seed = 5;
  options.missingShare = 0.02;
  KelDMGeneratorReport report;
  std::string error;
  ASSERT_EQ(0, KelDMGenerator::Generate(db().Main(), options, &report, &error)) << error;
  HM::Declarations d;
  d.entityToEntity = 1;
  HM::SetDeclarationsForTest(d);
  const HM::Entity root(report.rootEnvironment, report.rootTable, KelId::FromHexOrZero(report.rootCoid),
                        KelId::FromHexOrZero(report.rootCompid));

  struct Rule {
    const char* name;
    size_t minKeys;
    int64_t share;
  };
  const Rule probes{"never whole", SIZE_MAX, 8};
  const Rule rules[] = {{"always whole", 0, int64_t{1} << 30}, {"whole midway", 40, 8}};
  // Children from the root, then parents from every object it reaches.
  std::vector<HM::Entity> reached;
  auto walk = [&](const Rule& rule, bool children) {
    KelLnkWholeTableRule::Current() = KelLnkWholeTableRule{rule.minKeys, rule.share};
    HM::UncacheDatabase();
    KelLnkDataManager::Uncache();
    return children ? Walk(true, {root}) : Walk(false, reached);
  };
  KelLnkWholeTableRule::Current() = KelLnkWholeTableRule{probes.minKeys, probes.share};
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

MML_INSTANTIATE_ENGINES(WholeTableTest);

}  // namespace
