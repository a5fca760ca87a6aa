// One window at a time: the lock file, its place, and what a second window
// says; command-line batches take no guard and run beside it.
#include "app/instance_guard.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <thread>

#include "run_program.h"

namespace lumafold {
namespace {

using testing::ProgramOptions;
using testing::ProgramPath;
using testing::ProgramRun;
using testing::RunProgram;
using testing::TempFolder;

constexpr const char* kLockName = "Quorvane Lumafold 2.6.lock";
constexpr const char* kSocketName = "Quorvane Lumafold 2.6.socket";

// Binds a Unix socket at `path` and closes it: the file a window that
// crashed leaves behind. With `keepListening`, true when something
// accepts connections there.
bool SocketAt(const std::string& path, bool keepListening = false) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const bool ok = keepListening
                      ? connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0
                      : bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  close(fd);
  return ok;
}

// Sets or removes an environment variable for one test and restores it.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, std::optional<std::string> value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value) {
      setenv(name, value->c_str(), 1);
    } else {
      unsetenv(name);
    }
  }
  ~ScopedEnv() {
    if (old_) {
      setenv(name_, old_->c_str(), 1);
    } else {
      unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

// Holds the lock the way another running copy would.
class HeldLock {
 public:
  explicit HeldLock(const std::string& path) {
    fd_ = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd_ >= 0 && flock(fd_, LOCK_EX | LOCK_NB) != 0) {
      close(fd_);
      fd_ = -1;
    }
  }
  ~HeldLock() {
    if (fd_ >= 0) close(fd_);
  }
  bool held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

TEST(InstanceGuardPath, RuntimeFolderFirst) {
  ScopedEnv runtime("XDG_RUNTIME_DIR", "/run/user/4242");
  EXPECT_EQ(InstanceGuardPath(), std::string("/run/user/4242/") + kLockName);
  ScopedEnv runtimeSlash("XDG_RUNTIME_DIR", "/run/user/4242/");
  EXPECT_EQ(InstanceGuardPath(), std::string("/run/user/4242/") + kLockName);
}

TEST(InstanceGuardPath, SettingsFolderWhenNoRuntimeFolder) {
  const TempFolder folder;
  ScopedEnv runtime("XDG_RUNTIME_DIR", std::nullopt);
  ScopedEnv config("XDG_CONFIG_HOME", folder.path());
  const std::string settingsFolder = folder.path() + "/Quorvane/lumafold";
  EXPECT_EQ(InstanceGuardPath(), settingsFolder + "/" + kLockName);
  // The folder exists afterwards, private to the user.
  struct stat info {};
  ASSERT_EQ(stat(settingsFolder.c_str(), &info), 0);
  EXPECT_TRUE(S_ISDIR(info.st_mode));
  EXPECT_EQ(info.st_mode & 0777, 0700u);
}

TEST(InstanceGuardPath, RelativeRuntimeFolderIsIgnored) {
  const TempFolder folder;
  ScopedEnv runtime("XDG_RUNTIME_DIR", "relative/run");
  ScopedEnv config("XDG_CONFIG_HOME", folder.path());
  EXPECT_EQ(InstanceGuardPath(), folder.path() + "/Quorvane/lumafold/" + kLockName);
}

TEST(InstanceGuardPath, HomeConfigWhenNothingElseIsSet) {
  const TempFolder folder;
  ScopedEnv runtime("XDG_RUNTIME_DIR", std::nullopt);
  ScopedEnv config("XDG_CONFIG_HOME", std::nullopt);
  ScopedEnv home("HOME", folder.path());
  EXPECT_EQ(InstanceGuardPath(), folder.path() + "/.config/Quorvane/lumafold/" + kLockName);
}

TEST(InstanceGuard, SecondHolderIsRefusedUntilTheFirstReleases) {
  const TempFolder folder;
  const std::string path = folder.path() + "/" + kLockName;
  InstanceGuard first;
  InstanceGuard second;
  EXPECT_EQ(first.Acquire(path), InstanceGuard::Outcome::kAcquired);
  EXPECT_TRUE(first.held());
  EXPECT_EQ(second.Acquire(path), InstanceGuard::Outcome::kHeldElsewhere);
  EXPECT_FALSE(second.held());
  first.Release();
  EXPECT_EQ(second.Acquire(path), InstanceGuard::Outcome::kAcquired);
}

TEST(InstanceGuard, EndsWithItsOwner) {
  const TempFolder folder;
  const std::string path = folder.path() + "/" + kLockName;
  {
    InstanceGuard scoped;
    ASSERT_EQ(scoped.Acquire(path), InstanceGuard::Outcome::kAcquired);
    EXPECT_FALSE(HeldLock(path).held());
  }
  EXPECT_TRUE(HeldLock(path).held());
}

TEST(InstanceGuard, UnopenableLockFileIsReportedNotTakenForAnotherCopy) {
  InstanceGuard guard;
  EXPECT_EQ(guard.Acquire("/nonexistent-folder/lock"), InstanceGuard::Outcome::kUnavailable);
  EXPECT_FALSE(guard.held());
}

TEST(InstanceGuard, LockFileIsNotInheritedByChildren) {
  const TempFolder folder;
  const std::string path = folder.path() + "/" + kLockName;
  InstanceGuard guard;
  ASSERT_EQ(guard.Acquire(path), InstanceGuard::Outcome::kAcquired);
  // A child that outlived this copy (the external decoder) must not keep the
  // guard: count the child's open descriptors on the lock file.
  const ProgramRun run = RunProgram("/bin/ls", {"-l", "/proc/self/fd/"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out.find(kLockName), std::string::npos) << run.out;
}

class SecondCopy : public ::testing::Test {
 protected:
  ProgramOptions Options() const {
    ProgramOptions options;
    options.environment["XDG_RUNTIME_DIR"] = folder_.path();
    options.environment["XDG_CONFIG_HOME"] = folder_.path() + "/config";
    options.environment["QT_QPA_PLATFORM"] = "offscreen";
    options.timeLimitSeconds = 20;
    return options;
  }
  std::string LockPath() const { return folder_.path() + "/" + kLockName; }

  TempFolder folder_;
};

TEST_F(SecondCopy, BatchesRunWhileTheWindowHoldsTheGuard) {
  const HeldLock other(LockPath());
  ASSERT_TRUE(other.held());
  // Each batch gets as far as its own checks: the missing input is what it
  // reports, not the window.
  for (const std::vector<std::string>& parameters :
       std::vector<std::vector<std::string>>{{"-q", "-i", "/nonexistent/example.pcd"},
                                             {"-q", "--input=/nonexistent/x.pcd", "-c", "jpg"},
                                             {"-q", "/nonexistent/y.pcd"}}) {
    const ProgramRun run = RunProgram(ProgramPath(), parameters, Options());
    EXPECT_EQ(run.status, 1) << parameters[1];
    EXPECT_TRUE(run.err.starts_with("Error: Invalid input file\n")) << run.err;
    EXPECT_EQ(run.out, "") << parameters[1];
  }
}

TEST_F(SecondCopy, WindowStartPrintsThatTheProgramRuns) {
  const HeldLock other(LockPath());
  ASSERT_TRUE(other.held());
  // No parameters, and parameters that name no input, both mean the window.
  for (const std::vector<std::string>& parameters :
       std::vector<std::vector<std::string>>{{}, {"-o", "/tmp/converted"}, {"--jpg-quality=90"}}) {
    const ProgramRun run = RunProgram(ProgramPath(), parameters, Options());
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "Quorvane Lumafold is already running.\n");
    EXPECT_EQ(run.out, "");
  }
}

TEST_F(SecondCopy, HelpAndVersionStillWork) {
  const HeldLock other(LockPath());
  ASSERT_TRUE(other.held());
  const ProgramRun version = RunProgram(ProgramPath(), {"-v"}, Options());
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "2.6\n");
  const ProgramRun help = RunProgram(ProgramPath(), {"-h"}, Options());
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.err, "");
  EXPECT_NE(help.out.find("Usage: lumafold -i <filename> [options]"), std::string::npos);
}

TEST_F(SecondCopy, FilesGoToTheRunningWindowWhoseSocketReplacedAStaleOne) {
  const std::string socketPath = folder_.path() + "/" + kSocketName;
  ASSERT_TRUE(SocketAt(socketPath));
  ASSERT_EQ(system(("mkdir -p '" + folder_.path() + "/config/Quorvane/lumafold'").c_str()), 0);
  std::ofstream(folder_.path() + "/config/Quorvane/lumafold/config.ini")
      << "[General]\r\nUpdate Range = 5\r\n";
  for (const char* name : {"/a.pcd", "/b.pcd"}) {
    std::ifstream from(std::string(LUMAFOLD_SOURCE_DIR) + "/samples/kodim01.pcd", std::ios::binary);
    std::ofstream(folder_.path() + name, std::ios::binary) << from.rdbuf();
  }
  ProgramOptions window = Options();
  window.environment["LUMAFOLD_UPDATE_URL"] = "http://127.0.0.1:9/lumafold.dat";
  window.timeLimitSeconds = 40;
  ProgramRun withFiles, withoutFiles;
  bool answered = false;
  window.whileRunning = [&](int pid) {
    for (int i = 0; i < 300 && !answered; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      answered = SocketAt(socketPath, true);
    }
    withFiles = RunProgram(ProgramPath(), {"--window", folder_.path() + "/a.pcd",
                                           folder_.path() + "/b.pcd"}, Options());
    withoutFiles = RunProgram(ProgramPath(), {"--window"}, Options());
    kill(pid, SIGTERM);
  };
  const ProgramRun first = RunProgram(ProgramPath(), {}, window);
  ASSERT_TRUE(answered) << first.err;
  EXPECT_EQ(withFiles.status, 0) << withFiles.err;
  EXPECT_EQ(withFiles.err, "");
  EXPECT_EQ(withoutFiles.status, 1);
  EXPECT_EQ(withoutFiles.err, "Quorvane Lumafold is already running.\n");
  EXPECT_EQ(first.status, 0) << first.err;
  // The window took its socket away when it ended.
  EXPECT_NE(access(socketPath.c_str(), F_OK), 0);
}

TEST_F(SecondCopy, FilesForAWindowThatDoesNotAnswerAreRefusedAsToday) {
  const HeldLock other(LockPath());
  ASSERT_TRUE(other.held());
  ASSERT_TRUE(SocketAt(folder_.path() + "/" + kSocketName));
  const ProgramRun run = RunProgram(ProgramPath(), {"--window", "a.pcd"}, Options());
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err,
            "Quorvane Lumafold: the running window does not answer; the files were not handed "
            "to it.\nQuorvane Lumafold is already running.\n");
}

TEST_F(SecondCopy, SettingsFolderHoldsTheGuardWithoutARuntimeFolder) {
  ProgramOptions options = Options();
  options.environment["XDG_RUNTIME_DIR"] = std::nullopt;
  const std::string settingsFolder = folder_.path() + "/config/Quorvane/lumafold";
  ASSERT_EQ(system(("mkdir -p '" + settingsFolder + "'").c_str()), 0);
  const HeldLock other(settingsFolder + "/" + kLockName);
  ASSERT_TRUE(other.held());
  const ProgramRun run = RunProgram(ProgramPath(), {}, options);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "Quorvane Lumafold is already running.\n");
}

}  // namespace
}  // namespace lumafold
