// The module trace: object counters per class, the indented call trace and
// its exact output bytes.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "foundation/zor_trace.h"

namespace {

class ZorTraceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ZorTrace::ResetState();
    ZorTrace::SetOutputForTesting(&out_, true);
  }
  void TearDown() override {
    ZorTrace::ResetState();
    ZorTrace::SetOutputForTesting(nullptr, false);
  }
  std::ostringstream out_;
};

TEST_F(ZorTraceTest, CountsObjectsPerClassInOrderOfFirstAppearance) {
  int* link = ZorTrace::Construct("KelLnkLink", nullptr);
  ZorTrace::Construct("KelLnkObject", nullptr);
  ZorTrace::Construct("KelLnkLink", nullptr);
  ZorTrace::Destruct("KelLnkObject", nullptr);
  // A class first seen by its destructor starts below zero.
  int* arc = ZorTrace::Destruct("KelLnkArc", nullptr);
  EXPECT_EQ(2, *link);
  EXPECT_EQ(-1, *arc);
  EXPECT_EQ(3, ZorTrace::ClassCount());
  ZorTrace::Objects();
  EXPECT_EQ(
      "Objects:\n"
      "  KelLnkLink: 2\n"
      "  KelLnkObject: 0\n"
      "  KelLnkArc: -1\n",
      out_.str());
}

TEST_F(ZorTraceTest, CounterAddressesSurviveManyNewClasses) {
  int* first = ZorTrace::Construct("First", nullptr);
  for (int i = 0; i < 1000; ++i) ZorTrace::Construct(("Class" + std::to_string(i)).c_str(), nullptr);
  EXPECT_EQ(first, ZorTrace::Construct("First", nullptr));
  EXPECT_EQ(2, *first);
  EXPECT_EQ(1001, ZorTrace::ClassCount());
  EXPECT_EQ("Class999", ZorTrace::Classes().back());
}

TEST_F(ZorTraceTest, NestedCallsWriteEntryAndExitLines) {
  {
    ZorTrace outer;
    outer.FunctionTrace("KelLnkObject", "Expand", 0);
    EXPECT_EQ(1, ZorTrace::Indent());
    {
      ZorTrace inner;
      inner.FunctionTrace("KelLnkLink", "GetCondition", 0);
      // A second call on the same object does nothing.
      inner.FunctionTrace("KelLnkLink", "Other", 0);
      ZorTrace::Output("working", 0);
    }
    ZorTrace once;  // at depth one: a single line
    once.FunctionTrace("KelLnkTools", "Initialise", 1);
  }
  EXPECT_EQ(0, ZorTrace::Indent());
  EXPECT_EQ(
      "> KelLnkObject::Expand\n"
      "  > KelLnkLink::GetCondition\n"
      "    working\n"
      "  < KelLnkLink::GetCondition\n"
      "  - KelLnkTools::Initialise -\n"
      "< KelLnkObject::Expand\n",
      out_.str());
}

TEST_F(ZorTraceTest, InactiveTraceWritesNothingButStillCounts) {
  ZorTrace::SetOutputForTesting(&out_, false);
  int* counter = ZorTrace::Construct("KelLnkObject", nullptr);
  {
    ZorTrace t;
    t.FunctionTrace("KelLnkObject", "Expand", 0);
    EXPECT_EQ(1, ZorTrace::Indent());
    ZorTrace::Output("hidden", 0);
    ZorTrace::Objects();
  }
  EXPECT_EQ(1, *counter);
  EXPECT_EQ("", out_.str());
}

}  // namespace
