// The host trace: levels switched by MML_TRACE_LEVEL, line layout and nesting.
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>

#include "host/kel_psn_trace.h"

namespace {

class PsnTraceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    KelPSNTrace::SetOutput(&out_);
    KelPSNTrace::SetActiveLevel(17);
  }
  void TearDown() override {
    KelPSNTrace::SetOutput(nullptr);
    unsetenv("MML_TRACE_LEVEL");
    KelPSNTrace::ReloadLevelFromEnvironment();
  }
  std::ostringstream out_;
};

TEST_F(PsnTraceTest, ActiveTraceFramesTheOperationAndIndentsItsLines) {
  {
    KelPSNTrace outer("KelLnkObject::Expand", 17, 0);
    outer.Write("begin");
    {
      MML_TRACE(std::string("KelLnkLink::GetCondition"));
      mmlFunctionTrace.Write("cond 2");
      mmlFunctionTrace.Stream() << "   composed";
      mmlFunctionTrace.Stream() << '\n';
      mmlFunctionTrace.Out();
    }
  }
  EXPECT_EQ(
      "> KelLnkObject::Expand\n"
      "   KelLnkObject::Expand begin\n"
      " > KelLnkLink::GetCondition\n"
      "    KelLnkLink::GetCondition cond 2\n"
      "   composed\n"
      " < KelLnkLink::GetCondition\n"
      "< KelLnkObject::Expand\n",
      out_.str());
}

TEST_F(PsnTraceTest, LevelComesFromTheEnvironment) {
  struct Case {
    const char* value;  // null: unset
    int level;
    bool active;
  } cases[] = {
      {nullptr, 0, false}, {"", 0, false},    {"17", 17, true}, {"17", 18, false},
      {"40", 17, true},    {"abc", 0, false}, {"-3", 0, false}, {"12x", 0, false},
  };
  for (const Case& c : cases) {
    if (c.value) {
      setenv("MML_TRACE_LEVEL", c.value, 1);
    } else {
      unsetenv("MML_TRACE_LEVEL");
    }
    KelPSNTrace::ReloadLevelFromEnvironment();
    EXPECT_EQ(c.active, KelPSNTrace::LevelIsActive(c.level)) << (c.value ? c.value : "(unset)") << " " << c.level;
  }
}

}  // namespace
