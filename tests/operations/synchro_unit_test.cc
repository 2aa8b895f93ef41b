// Edge lists of the link graph: merging of links between the same two
// objects, the parent and child queries, and the reachability walks that the
// synchronisation order is computed from.
#include "operations/kel_lnk_synchro_unit.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Objects A..F with distinct identifiers.
KelDMInstance O(char c) {
  std::string hex = "000000000000000" + std::string(1, c);  // 'A'..'F' are hexadecimal digits
  return KelDMInstance("KELCON", "E1", "TOVRA_MODEL", hex, hex);
}

std::vector<std::string> Names(const KelListValKelDMInstance& list) {
  std::vector<std::string> out;
  for (const KelDMInstance& i : list) out.push_back(i.GetXCoid().substr(15));
  return out;
}

class SynchroUnitList : public ::testing::Test {
 protected:
  ~SynchroUnitList() override { KelLnkSynchroUnit::DeleteAll(list_); }
  // Edges "AB AC ...", each of type SOL and not good.
  void Edges(const std::string& pairs) {
    for (size_t i = 0; i + 1 < pairs.size(); i += 3) Edge(pairs[i], pairs[i + 1]);
  }
  void Edge(char from, char to, const std::string& type = "SOL", int good = 0) {
    KelLnkSynchroUnit::AddToList(list_, new KelLnkSynchroUnit(O(from), O(to), type, good));
  }
  KelListPtrKelLnkSynchroUnit list_;
};

TEST_F(SynchroUnitList, LinksBetweenTheSameTwoObjectsMergeIntoOneUnit) {
  Edge('A', 'B', "SOL", 1);
  Edge('A', 'B', "DRW", 0);
  Edge('A', 'B', "SOL", 0);  // type already there: its flag does not change
  Edge('B', 'A', "SOL", 0);  // the other direction is another edge
  // The table's trailing blanks do not make another object.
  KelLnkSynchroUnit::AddToList(
      list_,
      new KelLnkSynchroUnit(
          O('A'), KelDMInstance("KELCON", "E1", "TOVRA_MODEL   ", "000000000000000B", "000000000000000B"), "FEM", 1));

  ASSERT_EQ(list_.size(), 2u);
  EXPECT_EQ(list_[0]->GetLinkTypes(), (KelListValKelUnicodeString{"SOL", "DRW", "FEM"}));
  EXPECT_EQ(list_[0]->GetGoodFlags(), (KelRawCollint{1, 0, 1}));
  EXPECT_EQ(list_[1]->GetParent(), O('B'));
  EXPECT_EQ(list_[1]->GetChild(), O('A'));
}

TEST_F(SynchroUnitList, ParentAndChildQueriesAppendToWhatIsThere) {
  Edges("AB AC BC CD");

  KelListValKelDMInstance out{O('F')};
  EXPECT_EQ(KelLnkSynchroUnit::GetParentList(out, list_, O('C')), 3);
  EXPECT_EQ(Names(out), (std::vector<std::string>{"F", "A", "B"}));

  out.clear();
  EXPECT_EQ(KelLnkSynchroUnit::GetChildList(out, list_, O('A')), 2);
  EXPECT_EQ(Names(out), (std::vector<std::string>{"B", "C"}));

  out.clear();
  EXPECT_EQ(KelLnkSynchroUnit::GetParentList(out, list_), 3);
  EXPECT_EQ(Names(out), (std::vector<std::string>{"A", "B", "C"}));

  KelLnkSynchroUnit::RemoveWhereParent(list_, O('A'));
  ASSERT_EQ(list_.size(), 2u);
  EXPECT_EQ(list_[0]->GetParent(), O('B'));
  EXPECT_EQ(list_[1]->GetParent(), O('C'));
}

TEST_F(SynchroUnitList, ChildTreeIsDepthFirstAndListsEachObjectOnce) {
  // Diamond A->B, A->C, B->D, C->D, then D->E and a loop E->A.
  Edges("AB AC BD CD DE EA");

  KelListValKelDMInstance tree;
  KelLnkSynchroUnit::GetChildTree(tree, list_, O('A'));
  EXPECT_EQ(Names(tree), (std::vector<std::string>{"B", "D", "E", "C"}));

  tree.clear();
  KelLnkSynchroUnit::GetChildTree(tree, list_, O('F'));
  EXPECT_TRUE(tree.empty());
}

TEST_F(SynchroUnitList, SimpleListPairsEveryCandidateWithTheCandidatesItReaches) {
  // A reaches B and C directly; C is also reachable from B; D is no candidate.
  Edges("AB AC BD DC");

  KelListPtrKelLnkSynchroUnit simple;
  KelLnkSynchroUnit::GetSimpleList(simple, list_, {O('B'), O('C'), O('A')});
  std::vector<std::string> pairs;
  for (const KelLnkSynchroUnit* u : simple) {
    pairs.push_back(u->GetParent().GetXCoid().substr(15) + u->GetChild().GetXCoid().substr(15));
    EXPECT_TRUE(u->GetLinkTypes().empty());
    EXPECT_TRUE(u->GetGoodFlags().empty());
  }
  EXPECT_EQ(pairs, (std::vector<std::string>{"BC", "AB", "AC"}));
  KelLnkSynchroUnit::DeleteAll(simple);
  EXPECT_TRUE(simple.empty());
}

}  // namespace
