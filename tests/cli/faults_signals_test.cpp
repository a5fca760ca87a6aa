// Signals during a batch: Ctrl-C, SIGTERM and a closed terminal (SIGHUP)
// stop it after the files in hand, with a hanging converter killed at once;
// a second signal ends it at once; only SIGKILL leaves a run folder, which
// the next run in the same $TMPDIR removes.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <system_error>

#include "faults_support.h"

namespace lumafold {
namespace {

namespace fs = std::filesystem;
using namespace lumafold::testing;

std::vector<pid_t> RecordedPids(const std::string& file) {
  std::istringstream text(ReadText(file));
  std::vector<pid_t> pids;
  for (pid_t pid; text >> pid;) pids.push_back(pid);
  return pids;
}

// Ended: no such process, or a zombie that its new parent has not reaped
// yet (a killed converter of a process that has exited).
bool Gone(pid_t pid) {
  if (::kill(pid, 0) != 0 && errno == ESRCH) return true;
  const std::string stat = ReadText("/proc/" + std::to_string(pid) + "/stat");
  const std::size_t end = stat.rfind(')');
  return end != std::string::npos && end + 2 < stat.size() && stat[end + 2] == 'Z';
}

bool GoneSoon(pid_t pid) {
  return WaitUntil([pid] { return Gone(pid); }, 10);
}

// A converter that records its process id and never ends on its own, for
// the files whose link name starts with `numbers` (their place in the
// input set); the others are decoded by the real converter.
FaultOptions WithHangingConverter(const FaultScratch& scratch, const std::string& pids,
                                  const std::string& numbers = "*") {
  const std::string standIn = scratch.path() + "/hang.sh";
  WriteScript(standIn, "case \"$4\" in pcd:" + numbers + ")\n  echo $$ >> '" + pids +
                           "'\n  exec sleep 600;;\nesac\nexec convert \"$@\"\n");
  FaultOptions options = WithConverter(scratch, standIn);
  // Without the stop the converter would hang for its 120 s time limit.
  options.timeoutSeconds = 90;
  return options;
}

class StopSignal : public ::testing::TestWithParam<int> {};

TEST_P(StopSignal, KillsTheHangingConverterAtOnceAndStopsWithNothingLeft) {
  const int signal = GetParam();
  FaultScratch scratch;
  CopySamples(kThreeSamples, scratch.in());
  const std::string pids = scratch.path() + "/pids";
  FaultOptions options = WithHangingConverter(scratch, pids);
  options.whileRunning = [&](pid_t lumafold) {
    ASSERT_TRUE(WaitUntil([&] { return !RecordedPids(pids).empty(); }));
    ::kill(lumafold, signal);
  };
  const FaultRun run = RunLumafoldUnder(
      {"-i", scratch.in() + "/", "-o", scratch.out() + "/", "-c", "png", kExternalDecoder, "-d"},
      options);

  ASSERT_FALSE(run.timedOut) << "the converter was not stopped\n" << Dump(run);
  EXPECT_EQ(run.signal, 0);
  EXPECT_EQ(run.status, 128 + signal) << Dump(run);
  EXPECT_NE(run.out.find("\nConversion stopped\n"), std::string::npos) << Dump(run);
  EXPECT_EQ(run.out.find("Conversion complete"), std::string::npos) << Dump(run);
  // The files in hand are not written from a killed converter, nor from the
  // fallback loader; the others were never begun.
  const auto traced = TraceOutcomes(run.out);
  EXPECT_FALSE(traced.empty()) << Dump(run);
  EXPECT_LT(traced.size(), 3u) << Dump(run);
  for (const auto& [path, file] : traced) {
    EXPECT_EQ(file.outcome, "Not OK") << path;
    EXPECT_TRUE(file.reason.starts_with("stopped: ")) << file.reason;
  }
  EXPECT_EQ(FolderNames(scratch.out()), Names{});
  EXPECT_EQ(FolderNames(scratch.tmp()), Names{});
  for (const pid_t pid : RecordedPids(pids)) EXPECT_TRUE(GoneSoon(pid)) << "converter " << pid;
}

INSTANTIATE_TEST_SUITE_P(Signals, StopSignal, ::testing::Values(SIGINT, SIGTERM, SIGHUP),
                         [](const auto& info) { return std::string(sigabbrev_np(info.param)); });

// Whether every thread of the process is in the stopped state ("T").
bool EveryThreadStopped(pid_t pid) {
  const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
  std::error_code error;
  int seen = 0;
  for (const auto& task : std::filesystem::directory_iterator(tasks, error)) {
    std::ifstream stat(task.path() / "stat");
    std::string line;
    if (!std::getline(stat, line)) return false;
    // "pid (command) state ...": the command may hold spaces and brackets.
    const std::size_t close = line.rfind(')');
    if (close == std::string::npos || close + 2 >= line.size()) return false;
    const char state = line[close + 2];
    if (state != 'T' && state != 't') return false;
    ++seen;
  }
  return !error && seen > 0;
}

TEST(SignalFaults, ASecondSignalEndsAtOnceAndStillRemovesWhatTheRunMade) {
  FaultScratch scratch;
  CopySamples({"kodim01.pcd", "kodim03.pcd"}, scratch.in());
  const std::string pids = scratch.path() + "/pids";
  // The first file hangs; the second converts and its output waits, under
  // a temporary name in the output folder, for the first to be done.
  FaultOptions options = WithHangingConverter(scratch, pids, "1-*");
  const auto heldOutput = [&] {
    for (const std::string& name : FolderNames(scratch.out()))
      if (name.starts_with(".lumafold-")) return true;
    return false;
  };
  bool held = false;
  bool runFolder = false;
  options.whileRunning = [&](pid_t lumafold) {
    ASSERT_TRUE(WaitUntil([&] { return !RecordedPids(pids).empty() && heldOutput(); }));
    held = true;
    runFolder = !FolderNames(scratch.tmp()).empty();
    // Both arrive before the program runs on: it reads SIGINT first (the
    // lower number) and SIGTERM as the second signal. SIGSTOP takes effect
    // only once every thread has been stopped; until then the program's
    // signal watcher could take SIGTERM alone on a busy machine.
    ::kill(lumafold, SIGSTOP);
    ASSERT_TRUE(WaitUntil([&] { return EveryThreadStopped(lumafold); }));
    ::kill(lumafold, SIGTERM);
    ::kill(lumafold, SIGINT);
    ::kill(lumafold, SIGCONT);
  };
  const FaultRun run = RunLumafoldUnder({"-i", scratch.in() + "/", "-o", scratch.out() + "/", "-c",
                                         "png", kExternalDecoder, "-d", "--jobs=2"},
                                        options);

  ASSERT_FALSE(run.timedOut) << Dump(run);
  ASSERT_TRUE(held);
  EXPECT_TRUE(runFolder);
  EXPECT_EQ(run.status, 128 + SIGTERM) << Dump(run);
  EXPECT_EQ(run.out.find("Conversion stopped"), std::string::npos) << "not an immediate exit";
  EXPECT_EQ(FolderNames(scratch.out()), Names{});
  EXPECT_EQ(FolderNames(scratch.tmp()), Names{});
  for (const pid_t pid : RecordedPids(pids)) EXPECT_TRUE(GoneSoon(pid)) << "converter " << pid;
}

TEST(SignalFaults, OnlySigkillLeavesARunFolderAndTheNextRunRemovesIt) {
  FaultScratch scratch;
  CopySample("kodim01.pcd", scratch.in());
  const std::string pids = scratch.path() + "/pids";
  FaultOptions options = WithHangingConverter(scratch, pids);
  pid_t killedPid = 0;
  options.whileRunning = [&](pid_t lumafold) {
    killedPid = lumafold;
    ASSERT_TRUE(WaitUntil([&] { return !RecordedPids(pids).empty(); }));
    ::kill(lumafold, SIGKILL);
  };
  const FaultRun killed = RunLumafoldUnder({"-i", scratch.in() + "/kodim01.pcd", "-o",
                                            scratch.out() + "/", "-c", "png", kExternalDecoder},
                                           options);
  EXPECT_EQ(killed.signal, SIGKILL);
  // The orphaned converter is not ours to stop any more; the test ends it.
  for (const pid_t pid : RecordedPids(pids)) ::kill(pid, SIGKILL);
  const Names left = FolderNames(scratch.tmp());
  ASSERT_EQ(left.size(), 1u);
  EXPECT_TRUE(left.front().starts_with("lumafold-" + std::to_string(killedPid) + "-"))
      << left.front();

  // Folders the next run must leave alone: one of a live process (this
  // test), and names of another shape.
  const std::string live = scratch.tmp() + "/lumafold-" + std::to_string(::getpid()) + "-AbCdEf";
  const std::string otherShape = scratch.tmp() + "/lumafold-notarun";
  fs::create_directory(live);
  fs::create_directory(otherShape);

  const FaultRun next = RunLumafoldUnder({"-i", scratch.in() + "/kodim01.pcd", "-o",
                                          scratch.out() + "/", "-c", "png", kExternalDecoder, "-q"},
                                         OptionsFor(scratch));
  EXPECT_EQ(next.status, 0) << Dump(next);
  EXPECT_EQ(FolderNames(scratch.tmp()),
            (Names{fs::path(live).filename().string(), fs::path(otherShape).filename().string()}));
  EXPECT_EQ(FolderNames(scratch.out()), Names{"kodim01.png"});
}

// A held output left by kill -9 has a hidden name that no image glob takes;
// the next run into that folder removes it, and only it: not the files of
// a live run, nor those another host may be writing into a shared folder.
TEST(SignalFaults, SigkillLeavesAHiddenOutputThatTheNextRunIntoTheFolderRemoves) {
  FaultScratch scratch;
  CopySamples({"kodim01.pcd", "kodim03.pcd"}, scratch.in());
  const std::string pids = scratch.path() + "/pids";
  FaultOptions options = WithHangingConverter(scratch, pids, "1-*");
  pid_t killedPid = 0;
  options.whileRunning = [&](pid_t lumafold) {
    killedPid = lumafold;
    ASSERT_TRUE(WaitUntil([&] { return !FolderNames(scratch.out()).empty(); }));
    ::kill(lumafold, SIGKILL);
  };
  const FaultRun killed = RunLumafoldUnder({"-i", scratch.in() + "/", "-o", scratch.out() + "/",
                                            "-c", "png", kExternalDecoder, "--jobs=2"},
                                           options);
  EXPECT_EQ(killed.signal, SIGKILL);
  for (const pid_t pid : RecordedPids(pids)) ::kill(pid, SIGKILL);
  const Names left = FolderNames(scratch.out());
  // The held output, and the writer's own file if the kill came mid-write.
  ASSERT_FALSE(left.empty());
  const std::string prefix = ".lumafold-";
  const std::string host =
      left.front().substr(prefix.size(), left.front().find('-', prefix.size()) - prefix.size());
  for (const std::string& leftover : left)
    EXPECT_TRUE(leftover.starts_with(prefix + host + "-" + std::to_string(killedPid) + "-") &&
                leftover.ends_with(".png.part"))
        << leftover;

  const Names kept = {prefix + host + "-" + std::to_string(::getpid()) + "-abcdefghijklmno.png.part",
                      prefix + "elsewhere" + host + "-" + std::to_string(killedPid) + "-abcdefghij.png.part"};
  for (const std::string& name : kept) WriteText(scratch.out() + "/" + name, "x");
  const FaultRun next = RunLumafoldUnder(
      {"-i", scratch.in() + "/kodim01.pcd", "-o", scratch.out() + "/", "-c", "png", "-q"},
      OptionsFor(scratch));
  EXPECT_EQ(next.status, 0) << Dump(next);
  Names expected = kept;
  expected.push_back("kodim01.png");
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(FolderNames(scratch.out()), expected);
}

}  // namespace
}  // namespace lumafold
