// The host process services: commands run as real child processes without a
// shell, and their completion events reach the caller only when it asks.
#include "host/process/kel_xco_process.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "host/db/kel_dm_ier_message.h"
#include "support/test_database.h"

namespace {

int gEndCount = 0;
void CountEnd() { ++gEndCount; }

std::vector<std::string> gOrder;
void EndA() { gOrder.push_back("A"); }
void EndB() { gOrder.push_back("B"); }

bool Exists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

// Waits until the event descriptor is readable (a command has ended).
bool WaitReadable(int fd, int ms) {
  pollfd p{fd, POLLIN, 0};
  return poll(&p, 1, ms) == 1;
}

class ProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Nothing left over from another test.
    while (xconext(nullptr, 5000) == 0) {
    }
    gEndCount = 0;
    gOrder.clear();
  }
};

TEST_F(ProcessTest, RefusesWhatCannotRunAndStartsNothing) {
  int status = -1;
  EXPECT_EQ(xcoopr("", CountEnd, &status), kel_ier::kProcessNoEvent);
  EXPECT_EQ(status, kel_ier::kProcessNoEvent);

  ASSERT_EQ(xcoopr("END_OF_TEST", CountEnd, &status), 0);
  EXPECT_EQ(status, 0);

  xcoexe("otherhost", "/bin/true", {"/bin/true"}, -1, -1, "        ", "END_OF_TEST", &status);
  EXPECT_EQ(status, kel_ier::kProcessUnknownHost);
  xcoexe("$LOCAL", "/bin/true", {"/bin/true"}, -1, -1, "        ", "NEVER_REGISTERED", &status);
  EXPECT_EQ(status, kel_ier::kProcessNoEvent);
  xcoexe("$LOCAL", "/no/such/program", {"/no/such/program"}, -1, -1, "        ", "END_OF_TEST", &status);
  EXPECT_EQ(status, kel_ier::kProcessStartFailed);
  xcoexe("$LOCAL", "", {}, -1, -1, "        ", "END_OF_TEST", &status);
  EXPECT_EQ(status, kel_ier::kProcessStartFailed);

  EXPECT_EQ(KelXcoRunningCount(), 0);
  // Nothing runs and nothing is pending: the wait answers at once.
  EXPECT_EQ(xconext(), kel_ier::kProcessNoEvent);
  EXPECT_EQ(gEndCount, 0);
}

TEST_F(ProcessTest, WaitDeliversTheEventWithTheExitCode) {
  int status = -1;
  ASSERT_EQ(xcoopr("END_OF_TEST", CountEnd, &status), 0);
  xcoexe("$LOCAL", "/bin/sh", {"/bin/sh", "-c", "exit 3"}, -1, -1, "        ", "END_OF_TEST", &status);
  ASSERT_EQ(status, 0);
  EXPECT_EQ(KelXcoRunningCount(), 1);

  KelXcoEvent event;
  ASSERT_EQ(xconext(&event), 0);
  EXPECT_EQ(event.name, "END_OF_TEST");
  EXPECT_EQ(event.exitCode, 3);
  EXPECT_GT(event.pid, 0);
  EXPECT_EQ(gEndCount, 1);
  EXPECT_EQ(KelXcoRunningCount(), 0);
  // The event is delivered once only.
  EXPECT_EQ(xconext(), kel_ier::kProcessNoEvent);
  EXPECT_EQ(gEndCount, 1);

  // A command killed by a signal reports 128 + the signal number.
  xcoexe("$LOCAL", "/bin/sh", {"/bin/sh", "-c", "kill -9 $$"}, -1, -1, "        ", "END_OF_TEST", &status);
  ASSERT_EQ(status, 0);
  ASSERT_EQ(xconext(&event), 0);
  EXPECT_EQ(event.exitCode, 128 + 9);
}

TEST_F(ProcessTest, ArgumentsReachTheProgramLiterallyWithTheEnvironment) {
  TempDir dir;
  int status = -1;
  ASSERT_EQ(xcoopr("END_OF_TEST", nullptr, &status), 0);
  // A shell would split this at the blank and at the ';'.
  std::string odd = dir.File("a b;c");
  xcoexe("$LOCAL", "/usr/bin/touch", {"touch", odd}, -1, -1, "        ", "END_OF_TEST", &status);
  ASSERT_EQ(status, 0);
  ASSERT_EQ(xconext(), 0);
  EXPECT_TRUE(Exists(odd));
  EXPECT_FALSE(Exists(dir.File("a")));

  // The child inherits the environment as it is when the command starts, and
  // an empty argument list means the command alone.
  setenv("MML_PROCESS_TEST_VALUE", "inherited", 1);
  std::string script = dir.File("script.sh");
  WriteFileText(script, "#!/bin/sh\nprintf '%s|%s' \"$MML_PROCESS_TEST_VALUE\" \"$#\" > \"" + dir.File("out") + "\"\n");
  chmod(script.c_str(), 0755);
  xcoexe("$LOCAL", script, {}, -1, -1, "        ", "END_OF_TEST", &status);
  unsetenv("MML_PROCESS_TEST_VALUE");
  ASSERT_EQ(status, 0);
  ASSERT_EQ(xconext(), 0);
  EXPECT_EQ(ReadFileText(dir.File("out")), "inherited|0");
}

TEST_F(ProcessTest, EventsWaitForThePollAndComeInStartOrder) {
  int status = -1;
  ASSERT_EQ(xcoopr("END_A", EndA, &status), 0);
  ASSERT_EQ(xcoopr("END_B", EndB, &status), 0);
  xcoexe("$LOCAL", "/bin/sh", {"/bin/sh", "-c", "sleep 0.2"}, -1, -1, "        ", "END_A", &status);
  ASSERT_EQ(status, 0);
  xcoexe("$LOCAL", "/bin/true", {"/bin/true"}, -1, -1, "        ", "END_B", &status);
  ASSERT_EQ(status, 0);

  int fd = KelXcoEventFd();
  ASSERT_GE(fd, 0);
  ASSERT_TRUE(WaitReadable(fd, 5000));
  // The ended command is known, but nothing is delivered behind our back.
  EXPECT_TRUE(gOrder.empty());
  EXPECT_EQ(KelXcoPollEvents(), 1);
  EXPECT_EQ(gOrder, std::vector<std::string>({"B"}));
  // A poll never blocks: A is still sleeping.
  EXPECT_EQ(KelXcoPollEvents(), 0);
  EXPECT_EQ(KelXcoRunningCount(), 1);

  // A bounded wait gives up while A still runs, then the plain wait gets it.
  EXPECT_EQ(xconext(nullptr, 10), kel_ier::kProcessNoEvent);
  ASSERT_EQ(xconext(), 0);
  EXPECT_EQ(gOrder, std::vector<std::string>({"B", "A"}));
  EXPECT_FALSE(WaitReadable(fd, 0));
}

void StartAnotherFromTheCallback() {
  ++gEndCount;
  if (gEndCount == 1) {
    int status = -1;
    xcoexe("$LOCAL", "/bin/true", {"/bin/true"}, -1, -1, "        ", "END_CHAIN", &status);
  }
}

TEST_F(ProcessTest, ACallbackMayStartTheNextCommand) {
  int status = -1;
  ASSERT_EQ(xcoopr("END_CHAIN", StartAnotherFromTheCallback, &status), 0);
  xcoexe("$LOCAL", "/bin/true", {"/bin/true"}, -1, -1, "        ", "END_CHAIN", &status);
  ASSERT_EQ(status, 0);
  ASSERT_EQ(xconext(), 0);
  EXPECT_EQ(gEndCount, 1);
  EXPECT_EQ(KelXcoRunningCount(), 1);
  ASSERT_EQ(xconext(), 0);
  EXPECT_EQ(gEndCount, 2);
}

}  // namespace
