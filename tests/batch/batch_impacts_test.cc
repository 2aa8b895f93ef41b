// Batch impact analysis: the input file and its errors, the passes of each
// request, warnings against real errors, and the output files compared byte
// for byte.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <sstream>
#include <string>

#include "batch/kel_lnk_batch.h"
#include "batch_fixture.h"
#include "host/kel_psn_trace.h"

namespace {

using namespace batch_test;

class BatchImpactsTest : public BatchDatabaseTest {
 protected:
  // Runs the driver in this process and returns what its traces said.
  std::string RunTraced(const std::string& input, int request, KelQorError& error) {
    std::ostringstream trace;
    KelPSNTrace::SetOutput(&trace);
    KelPSNTrace::SetActiveLevel(17);
    KelLnkBatch batch(input);
    batch.GetImpacts(error, request);
    KelPSNTrace::SetActiveLevel(-1);
    KelPSNTrace::SetOutput(nullptr);
    return trace.str();
  }
};

// ---- The input file ----

TEST_P(BatchImpactsTest, AMalformedInputIsRefusedBeforeAnythingRuns) {
  struct Case {
    std::string text;
    int ier;
    std::string longMessage;
  };
  const std::string group = ModelLines(1);
  const std::string line71(71, 'E');
  const Case cases[] = {
      {"", 2, "Invalid format for the input file : check it (the file is empty: it names no root)"},
      {group + "E1\nTOVRA_MODEL\n", 2, "Invalid format for the input file : check it"},
      {group.substr(0, group.size() - 1), 2,
       "Invalid format for the input file : check it (line 4: the last line does not end with a newline)"},
      {"E1\n\n" + group.substr(3), 2, "Invalid format for the input file : check it (line 2: empty line)"},
      {line71 + "E\nTOVRA_MODEL\n" + CoidHex(1) + "\n" + CompidHex(1) + "\n", 2,
       "Invalid format for the input file : check it (line 1: longer than 71 characters)"},
      {"E1\nTOVRA_MODEL\nC0000000000001\n" + CompidHex(1) + "\n", 2,
       "Invalid format for the input file : check it (line 3: the coid \"C0000000000001\" is not sixteen "
       "hexadecimal digits)"},
      {group + "E1\nTOVRA_MODEL\n" + CoidHex(2) + "\nD00000000000000Z\n", 2,
       "Invalid format for the input file : check it (line 8: the compid \"D00000000000000Z\" is not sixteen "
       "hexadecimal digits)"},
  };
  for (const Case& c : cases) {
    std::string path = work_.File("bad");
    WriteFileText(path, c.text);
    KelQorError error;
    std::string trace = RunTraced(path, 0, error);
    EXPECT_EQ(error.Ier(), c.ier) << c.text;
    EXPECT_EQ(error.ShortMsg(), "Input File Error");
    EXPECT_EQ(error.LongMsg(), c.longMessage);
    EXPECT_EQ(error.Severity(), 3);
    EXPECT_EQ(trace.find("Initialization step"), std::string::npos) << c.text;
    EXPECT_FALSE(FileExists(path + ".ImpactedBy"));
  }

  // A line of exactly 71 characters is accepted: the root is simply unknown.
  AddModel(1, "A");
  std::string path = work_.File("long");
  WriteFileText(path, line71 + "\nTOVRA_MODEL\n" + CoidHex(1) + "\n" + CompidHex(1) + "\n");
  KelQorError error;
  RunTraced(path, 0, error);
  EXPECT_EQ(error.Ier(), 0) << error.LongMsg();
}

TEST_P(BatchImpactsTest, AMissingFileOrAnUnknownRequestIsRefused) {
  KelQorError error;
  std::string missing = work_.File("absent");
  // An unknown request is refused before the file is even looked at.
  RunTraced(missing, 3, error);
  EXPECT_EQ(error.Ier(), 1);
  EXPECT_EQ(error.ShortMsg(), "Input Impact Error");
  EXPECT_EQ(error.LongMsg(), "Unknown input request for impact: must 0(BY),1(ON) or 2(BOTH)");
  EXPECT_EQ(error.Severity(), 3);
  RunTraced(missing, -1, error);
  EXPECT_EQ(error.ShortMsg(), "Input Impact Error");

  RunTraced(missing, 0, error);
  EXPECT_EQ(error.Ier(), 1);
  EXPECT_EQ(error.ShortMsg(), "Input File Error");
  EXPECT_EQ(error.LongMsg(), "The input file cannot be opened");

  KelLnkBatch twoRoots(Input({1, 2}));
  EXPECT_EQ(twoRoots.GetEnvForBatch(), "E1");
  EXPECT_EQ(KelLnkBatch(missing).GetEnvForBatch(), "");
}

// ---- The walk and the output file ----

TEST_P(BatchImpactsTest, EveryReachableObjectIsListedOnceInDiscoveryOrder) {
  // A diamond A->B, A->C, B->D, C->D, a second link of another type A->B,
  // and a loop D->A back to the root.
  AddModels("ABCD");
  AddLink(1, 2, "SOL");
  AddLink(1, 2, "DRW");
  AddLink(1, 3);
  AddLink(2, 4);
  AddLink(3, 4);
  AddLink(4, 1);
  std::string input = Input({1});
  KelQorError error;
  RunTraced(input, 0, error);
  EXPECT_EQ(error.Ier(), 0) << error.LongMsg();
  EXPECT_EQ(ReadFileText(input + ".ImpactedBy"), "3\n" + ModelLines(2) + ModelLines(4) + ModelLines(3));
  EXPECT_FALSE(FileExists(input + ".ImpactsOn"));

  // "Impacts on" D: B and C point to D, A to both.
  std::string fromD = Input({4}, "fromD");
  RunTraced(fromD, 1, error);
  EXPECT_EQ(error.Ier(), 0) << error.LongMsg();
  EXPECT_EQ(ReadFileText(fromD + ".ImpactsOn"), "3\n" + ModelLines(2) + ModelLines(1) + ModelLines(3));
  EXPECT_FALSE(FileExists(fromD + ".ImpactedBy"));
}

TEST_P(BatchImpactsTest, AnAlreadyVisitedChildDoesNotEndTheObjectsOtherLinks) {
  // A's links in order: B, C, D. B reaches C first; when A's own link to C is
  // met, C is known, and D must still be found through A's last link.
  AddModels("ABCD");
  AddLink(1, 2);
  AddLink(1, 3);
  AddLink(1, 4);
  AddLink(2, 3);
  std::string input = Input({1});
  KelQorError error;
  RunTraced(input, 0, error);
  EXPECT_EQ(error.Ier(), 0);
  EXPECT_EQ(ReadFileText(input + ".ImpactedBy"), "3\n" + ModelLines(2) + ModelLines(3) + ModelLines(4));
}

TEST_P(BatchImpactsTest, ARootWithoutImpactsIsAWarningAndWritesNoFile) {
  AddModels("AB");
  AddLink(2, 1);
  std::string input = Input({1});
  // An output file of an earlier run is left alone.
  WriteFileText(input + ".ImpactedBy", "earlier\n");

  KelLnkObject root(Model(1));
  KelLnkTools::Initialise();
  KelLnkHybridManager::CacheDeclarations();
  KelLnkObjectBatch::BatchStartImpacts(root, input, 0);
  KelQorError fetched;
  KelLnkObjectBatch::GetBatchError(fetched);
  EXPECT_EQ(fetched.Ier(), -1);
  EXPECT_EQ(fetched.ShortMsg(), "No Impacts");
  EXPECT_EQ(fetched.LongMsg(), "The root model has no impacts");
  EXPECT_EQ(fetched.Severity(), -1);
  EXPECT_EQ(ReadFileText(input + ".ImpactedBy"), "earlier\n");

  // Through the program: request 2 warns in the first pass, still runs the
  // second, and ends with status 0.
  MmlRun run = Mml({"impacts", input, "2"});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out,
            " An error occurs during the Impacted By processing \nNo Impacts\nThe root model has no impacts\n");
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(ReadFileText(input + ".ImpactsOn"), "1\n" + ModelLines(2));
}

TEST_P(BatchImpactsTest, AnOutputFileThatCannotBeWrittenIsARealErrorThatStopsTheRun) {
  AddModels("AB");
  AddLink(1, 2);
  AddLink(2, 1);
  std::string input = Input({1, 2});
  // A directory stands where the file should go.
  ASSERT_EQ(mkdir((input + ".ImpactedBy").c_str(), 0755), 0);
  KelQorError error;
  std::string trace = RunTraced(input, 2, error);
  EXPECT_EQ(error.Ier(), 1);
  EXPECT_EQ(error.ShortMsg(), "Error in Batch Impacts");
  EXPECT_EQ(error.LongMsg(), "Impossible to close the file: " + input + ".ImpactedBy");
  EXPECT_EQ(error.Severity(), 3);
  // No second pass, no second root.
  EXPECT_FALSE(FileExists(input + ".ImpactsOn"));
  EXPECT_EQ(trace.find("Root number : 5"), std::string::npos);
  EXPECT_NE(trace.find(" Error : before end : uncache"), std::string::npos);

  MmlRun run = Mml({"impacts", input, "0"});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err, "mml: error 1: Error in Batch Impacts: Impossible to close the file: " + input +
                         ".ImpactedBy (severity 3)\n");
}

MML_INSTANTIATE_ENGINES(BatchImpactsTest);

}  // namespace
