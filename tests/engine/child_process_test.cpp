// The child-process runner: arguments reach the program untouched, standard
// input is empty, the working folder is set, the time limit kills.
#include "engine/run/child_process.h"

#include <chrono>
#include <thread>

#include "pipeline_test_support.h"

namespace lumafold {
namespace {

using namespace pipeline_testing;

TEST(ChildProcess, ArgumentsArriveVerbatimWithoutAShell) {
  Scratch scratch;
  const std::string script = scratch / "args.sh";
  MakeExecutable(script, "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$OUT\"\n");
  EnvOverride out("OUT", scratch / "args.txt");
  const std::vector<std::string> tricky = {
      "-quiet", "a b", "'single'", "\"double\"",     "[1]",       "*",
      "?",      "%d",  "x:y",      "$(touch pwned)", "; rm -rf /"};
  std::vector<std::string> argv = {script};
  argv.insert(argv.end(), tricky.begin(), tricky.end());
  const ChildResult result = RunChild(argv, ChildOptions{});
  ASSERT_EQ(result.status, ChildStatus::Exited);
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(ReadLines(scratch / "args.txt"), tricky);
  EXPECT_FALSE(fs::exists("pwned"));
}

TEST(ChildProcess, EmptyStandardInputWorkingFolderAndExitStatus) {
  Scratch scratch;
  const std::string script = scratch / "probe.sh";
  // `cat` would block forever on a terminal or pipe left open.
  MakeExecutable(script,
                 "#!/bin/sh\npwd > where.txt\ncat > stdin.txt\necho noise\necho err >&2\nexit 3\n");
  ChildOptions options;
  options.workingDirectory = scratch.path();
  const ChildResult result = RunChild({script}, options);
  ASSERT_EQ(result.status, ChildStatus::Exited);
  EXPECT_EQ(result.exitCode, 3);
  EXPECT_EQ(ReadLines(scratch / "where.txt"),
            std::vector<std::string>{fs::canonical(scratch.path())});
  EXPECT_EQ(ReadFile(scratch / "stdin.txt"), "");
}

TEST(ChildProcess, MissingProgramIsNotStarted) {
  EXPECT_EQ(RunChild({"/nonexistent/convert"}, ChildOptions{}).status, ChildStatus::NotStarted);
  EXPECT_EQ(RunChild({"lumafold-no-such-program-anywhere"}, ChildOptions{}).status,
            ChildStatus::NotStarted);
  EXPECT_EQ(RunChild({}, ChildOptions{}).status, ChildStatus::NotStarted);
}

TEST(ChildProcess, TimeLimitKillsTheChildAndWhatItStarted) {
  Scratch scratch;
  const std::string script = scratch / "hang.sh";
  // The grandchild would write its mark after 3 s unless it is killed too.
  MakeExecutable(script,
                 "#!/bin/sh\n(sleep 3; touch '" + (scratch / "survived") + "') &\nsleep 30\n");
  ChildOptions options;
  options.timeLimit = std::chrono::milliseconds(300);
  const auto start = std::chrono::steady_clock::now();
  const ChildResult result = RunChild({script}, options);
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(result.status, ChildStatus::TimedOut);
  EXPECT_LT(took, std::chrono::seconds(3));
  std::this_thread::sleep_for(std::chrono::milliseconds(3300));
  EXPECT_FALSE(fs::exists(scratch / "survived"));
}

TEST(ChildProcess, StopEndsTheRunningChildWithItsGroupAndStartsNoOther) {
  Scratch scratch;
  const std::string script = scratch / "hang.sh";
  // Records that it runs, leaves a grandchild that would mark its survival,
  // and would hang far beyond the test.
  MakeExecutable(script, "#!/bin/sh\n(sleep 2; touch '" + (scratch / "survived") + "') &\ntouch '" +
                             (scratch / "started") + "'\nexec sleep 600\n");
  ChildResult result;
  std::thread runner([&] { result = RunChild({script}, ChildOptions{}); });
  while (!fs::exists(scratch / "started"))
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  StopChildren();
  runner.join();
  EXPECT_EQ(result.status, ChildStatus::Stopped);
  EXPECT_TRUE(ChildrenStopped());

  // Nothing starts while stopped: the script would leave its mark.
  fs::remove(scratch / "started");
  EXPECT_EQ(RunChild({script}, ChildOptions{}).status, ChildStatus::Stopped);
  EXPECT_FALSE(fs::exists(scratch / "started"));

  AllowChildren();
  EXPECT_FALSE(ChildrenStopped());
  const ChildResult after = RunChild({"/bin/true"}, ChildOptions{});
  EXPECT_EQ(after.status, ChildStatus::Exited);
  std::this_thread::sleep_for(std::chrono::milliseconds(2300));
  EXPECT_FALSE(fs::exists(scratch / "survived"));
}

}  // namespace
}  // namespace lumafold
