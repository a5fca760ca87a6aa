// A console that goes away while the batch runs (`lumafold -d ... | head`):
// the lines are lost, the conversions are not, and the run cleans up after
// itself instead of dying of SIGPIPE between a file and its clean-up.
#include <gtest/gtest.h>

#include "faults_support.h"

namespace lumafold {
namespace {

using namespace lumafold::testing;

TEST(ConsoleFaults, AClosedStandardOutputNeitherStopsTheBatchNorLeavesFilesBehind) {
  FaultScratch scratch;
  CopySamples(kThreeSamples, scratch.in());
  FaultOptions options = OptionsFor(scratch);
  options.closedStdout = true;

  const FaultRun run = RunLumafoldUnder(
      {"-i", scratch.in() + "/", "-o", scratch.out() + "/", "-c", "jpg", "-d"}, options);

  EXPECT_EQ(run.signal, 0) << run.err;
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(FolderNames(scratch.out()), (Names{"kodim01.jpg", "kodim03.jpg", "kodim19.jpg"}));
  EXPECT_EQ(FolderNames(scratch.tmp()), Names{});
}

}  // namespace
}  // namespace lumafold
