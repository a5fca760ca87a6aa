// Ctrl-C during a batch: the files in hand end (those whose converter runs
// are not written), the rest are not begun, and nothing half-written or
// private stays behind.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "faults_support.h"
#include "run_binary.h"

namespace lumafold::testing {
namespace {

TEST(Interrupt, SigintStopsAfterTheFileInHandAndLeavesNothingBehind) {
  FaultScratch scratch;
  for (const char* sample : {"kodim01.pcd", "kodim03.pcd", "kodim19.pcd", "kodim23.pcd"})
    for (int copy = 0; copy < 3; ++copy)
      CopySample(sample, scratch.in(), std::to_string(copy) + "-" + sample);
  // A slow decoder keeps each file in hand long enough to interrupt one.
  const std::string slow = scratch.path() + "/slow-convert";
  WriteScript(slow, "sleep 0.4\nexec convert \"$@\"\n");

  auto environment = scratch.environment();
  environment["LUMAFOLD_CONVERT"] = slow;
  std::vector<std::string> envText;
  for (const auto& [key, value] : environment) envText.push_back(key + "=" + value);
  std::vector<char*> envp;
  for (auto& text : envText) envp.push_back(text.data());
  envp.push_back(nullptr);

  std::vector<std::string> argText{LumafoldBinary(),
                                   "-i",
                                   scratch.in() + "/",
                                   "-o",
                                   scratch.out() + "/",
                                   "-c",
                                   "png",
                                   "-q",
                                   "--pcd-decoder=external"};
  std::vector<char*> argv;
  for (auto& text : argText) argv.push_back(text.data());
  argv.push_back(nullptr);

  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const int devnull = ::open("/dev/null", O_RDWR);
    ::dup2(devnull, 0);
    ::dup2(devnull, 1);
    ::execve(argv[0], argv.data(), envp.data());
    ::_exit(127);
  }
  // Interrupted once a file is done, while others are in hand.
  ASSERT_TRUE(WaitUntil([&] { return !FolderNames(scratch.out()).empty(); }));
  ASSERT_EQ(::kill(child, SIGINT), 0);

  int status = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  pid_t done = 0;
  while ((done = ::waitpid(child, &status, WNOHANG)) == 0 &&
         std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  if (done == 0) {
    ::kill(child, SIGKILL);
    ::waitpid(child, &status, 0);
    FAIL() << "lumafold did not stop after SIGINT";
  }

  ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
  // Stopped, not ended: the status a shell gives a command ended by Ctrl-C.
  EXPECT_EQ(WEXITSTATUS(status), 130);
  const auto written = FolderNames(scratch.out());
  EXPECT_GE(written.size(), 1u);
  EXPECT_LT(written.size(), 12u);
  for (const auto& name : written) {
    EXPECT_EQ(name.substr(name.size() - 4), ".png") << name;
    EXPECT_NE(IdentifySize(scratch.out() + "/" + name), "") << name << " is not a whole picture";
  }
  EXPECT_TRUE(FolderNames(scratch.tmp()).empty()) << "the private run folder stayed behind";
}

}  // namespace
}  // namespace lumafold::testing
