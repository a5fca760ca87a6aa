// What only a terminal shows: the console title, the in-place progress line
// and the key wait of -p. The binary runs on a pseudo-terminal, as in an
// interactive shell; the other cases run it with pipes and files.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "cli/console.h"
#include "run_binary.h"

namespace lumafold {
namespace {

namespace fs = std::filesystem;
using testing::ScratchFolder;
using Clock = std::chrono::steady_clock;

// A lumafold process whose standard input, output and error are one
// pseudo-terminal.
class TerminalRun {
 public:
  TerminalRun(const std::vector<std::string>& arguments, const std::string& home) {
    std::vector<std::string> argvText{testing::LumafoldBinary()};
    argvText.insert(argvText.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& text : argvText) argv.push_back(text.data());
    argv.push_back(nullptr);
    std::vector<std::string> envText;
    for (const auto& [name, value] : testing::IsolatedEnvironment(home))
      envText.push_back(name + "=" + value);
    envText.push_back("TERM=xterm");
    std::vector<char*> envp;
    for (auto& text : envText) envp.push_back(text.data());
    envp.push_back(nullptr);

    winsize size{};
    size.ws_row = 24;
    size.ws_col = 80;
    pid_ = forkpty(&master_, nullptr, nullptr, &size);
    if (pid_ == 0) {
      if (chdir(home.c_str()) != 0) _exit(126);
      execve(argv[0], argv.data(), envp.data());
      _exit(127);
    }
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
  }

  ~TerminalRun() {
    if (pid_ > 0 && !exited_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (master_ >= 0) close(master_);
  }

  // Collects output for `duration`; true when the process ended meanwhile.
  bool RunFor(Clock::duration duration) {
    const auto deadline = Clock::now() + duration;
    while (Clock::now() < deadline)
      if (Step()) return true;
    return false;
  }

  // Collects output until `text` shows, the process ends or `limit` passes;
  // true when the text showed.
  bool RunUntilShown(const std::string& text, Clock::duration limit) {
    const auto deadline = Clock::now() + limit;
    while (output_.find(text) == std::string::npos && Clock::now() < deadline && !Step()) {
    }
    return output_.find(text) != std::string::npos;
  }

  void Type(const std::string& keys) {
    ASSERT_EQ(write(master_, keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
  }

  const std::string& output() const { return output_; }
  int status() const { return status_; }

 private:
  // Reads what is there (waiting up to 20 ms for it) and notes the end of
  // the process; true once it has ended, with its last output read.
  bool Step() {
    Drain(20);
    int status = 0;
    if (!exited_ && waitpid(pid_, &status, WNOHANG) == pid_) {
      exited_ = true;
      status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    if (exited_) Drain(50);
    return exited_;
  }

  void Drain(int waitMs) {
    pollfd entry{master_, POLLIN, 0};
    if (poll(&entry, 1, waitMs) <= 0) return;
    char buffer[4096];
    for (ssize_t got; (got = read(master_, buffer, sizeof buffer)) > 0;)
      output_.append(buffer, got);
  }

  pid_t pid_ = -1;
  int master_ = -1;
  bool exited_ = false;
  int status_ = -1;
  std::string output_;
};

constexpr auto kLongEnough = std::chrono::seconds(120);
// How long a process that waits for a key is watched after its last output
// to see that it does not end on its own. A program that waits passes
// however busy the machine; one that does not wait would have to be slower
// than this to slip through.
constexpr auto kAWhile = std::chrono::milliseconds(700);

TEST(Terminal, ShowsTheTitleAndARewrittenProgressLineThenClearsIt) {
  ScratchFolder work("lumafold-tty");
  fs::create_directories(work.path() + "/in");
  fs::create_directories(work.path() + "/out");
  for (const char* name : {"a.pcd", "b.pcd", "c.pcd"})
    fs::copy_file(testing::SamplesFolder() + "/kodim05-16base.pcd", work.path() + "/in/" + name);

  TerminalRun run({"-i", work.path() + "/in/", "-o", work.path() + "/out/", "-c", "png"},
                  work.path());
  ASSERT_TRUE(run.RunFor(kLongEnough)) << run.output();
  EXPECT_EQ(run.status(), 0) << run.output();
  const std::string& out = run.output();
  EXPECT_EQ(out.find("\x1b]0;Quorvane Lumafold 2.6\a"), 0u) << out;

  // A bar, the percentage and (k/N) from the first redraw on; the rate and
  // the time left once a file is done.
  const std::size_t progress = out.find("\r\x1b[K[");
  ASSERT_NE(progress, std::string::npos) << out;
  EXPECT_NE(out.find("]   0% (", progress), std::string::npos) << out;
  EXPECT_NE(out.find("/3)", progress), std::string::npos) << out;
  EXPECT_NE(out.find(".pcd", progress), std::string::npos) << out;
  // "1.2 files/s, 0:03 left" or, for slow files, "12 s/file, 0:24 left".
  EXPECT_NE(out.find(" left  ", progress), std::string::npos) << out;
  EXPECT_NE(out.find("[#", progress), std::string::npos) << out;
  // The line is cleared before the summary is printed under it, and it is
  // redrawn in place until then: no line end in between.
  const std::size_t summary = out.find("Conversion complete");
  ASSERT_NE(summary, std::string::npos) << out;
  EXPECT_GT(out.find('\n', progress), summary) << out;
  EXPECT_LT(progress, summary);
  EXPECT_EQ(out.rfind("\r\x1b[K", summary), summary - 4) << out;
}

TEST(ProgressLine, BarPercentRateAndTimeLeft) {
  EXPECT_EQ(ProgressLineText(0, 1, 12, 0.4, "a.pcd"), "[--------------------]   0% (1/12)  a.pcd");
  EXPECT_EQ(ProgressLineText(5, 6, 12, 4.0, "pic.pcd"),
            "[########------------]  41% (6/12) 1.2 files/s, 0:06 left  pic.pcd");
  EXPECT_EQ(ProgressLineText(3, 4, 4, 0.5, "d.pcd"),
            "[###############-----]  75% (4/4) 6.0 files/s, 0:00 left  d.pcd");
  // Slow files: minutes and seconds.
  EXPECT_EQ(ProgressLineText(1, 2, 100, 90.0, "b.pcd"),
            "[--------------------]   1% (2/100) 90 s/file, 2:28:30 left  b.pcd");
}

TEST(Terminal, QuietShowsNoProgressLine) {
  ScratchFolder work("lumafold-tty");
  fs::create_directories(work.path() + "/in");
  fs::copy_file(testing::SamplesFolder() + "/kodim05-16base.pcd", work.path() + "/in/a.pcd");
  TerminalRun run({"-q", "-i", work.path() + "/in/"}, work.path());
  ASSERT_TRUE(run.RunFor(kLongEnough));
  EXPECT_EQ(run.status(), 0);
  EXPECT_EQ(run.output().find('('), std::string::npos) << run.output();
}

TEST(Terminal, PauseWaitsForAKeyAfterThePrompt) {
  ScratchFolder work("lumafold-tty");
  TerminalRun run({"-p", "-i", work.path() + "/missing.pcd"}, work.path());
  ASSERT_TRUE(run.RunUntilShown("Press any key to exit.", kLongEnough)) << run.output();
  EXPECT_NE(run.output().find("Error: Invalid input file"), std::string::npos) << run.output();
  EXPECT_FALSE(run.RunFor(kAWhile)) << "ended without a key:\n" << run.output();
  run.Type("x");
  ASSERT_TRUE(run.RunFor(kLongEnough));
  EXPECT_EQ(run.status(), 1);
}

TEST(Terminal, PauseBeforeAParseErrorWaitsWithoutAPrompt) {
  ScratchFolder work("lumafold-tty");
  TerminalRun run({"-p", "-i"}, work.path());
  ASSERT_TRUE(run.RunUntilShown("Error: Incorrect number of parameters", kLongEnough))
      << run.output();
  EXPECT_FALSE(run.RunFor(kAWhile)) << "ended without a key:\n" << run.output();
  EXPECT_EQ(run.output().find("Press any key"), std::string::npos) << run.output();
  run.Type(" ");
  ASSERT_TRUE(run.RunFor(kLongEnough));
  EXPECT_EQ(run.status(), 1);
}

TEST(Terminal, PauseAfterAParseErrorIsNeverReached) {
  ScratchFolder work("lumafold-tty");
  TerminalRun run({"-o", "-q", "-p"}, work.path());
  ASSERT_TRUE(run.RunFor(std::chrono::seconds(10))) << run.output();
  EXPECT_EQ(run.status(), 1);
  EXPECT_NE(run.output().find("Error: Incorrect number of parameters"), std::string::npos);
}

}  // namespace
}  // namespace lumafold
