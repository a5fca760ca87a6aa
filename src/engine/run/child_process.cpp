// Child-process runner over posix_spawn. The child gets a process group of
// its own so that a time-out also ends whatever it started (a stand-in
// script's children, ImageMagick's delegates).
#include "engine/run/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <mutex>
#include <set>
#include <string>

extern char** environ;

namespace lumafold {

namespace {

// The children running now, so that an interrupt can end them.
struct RunningChildren {
  std::mutex lock;
  std::set<pid_t> groups;  // each child leads a process group of its own
  std::atomic<bool> stopped{false};
};

RunningChildren& Running() {
  static RunningChildren* running = new RunningChildren;  // outlives every worker
  return *running;
}

// Registers a started child; kills it at once when a stop came first.
void Register(pid_t pid) {
  RunningChildren& running = Running();
  std::lock_guard<std::mutex> hold(running.lock);
  running.groups.insert(pid);
  if (running.stopped.load()) {
    ::kill(-pid, SIGKILL);
    ::kill(pid, SIGKILL);
  }
}

void Unregister(pid_t pid) {
  RunningChildren& running = Running();
  std::lock_guard<std::mutex> hold(running.lock);
  running.groups.erase(pid);
}

class SpawnSetup {
 public:
  SpawnSetup() {
    posix_spawn_file_actions_init(&actions_);
    posix_spawnattr_init(&attributes_);
  }
  ~SpawnSetup() {
    posix_spawn_file_actions_destroy(&actions_);
    posix_spawnattr_destroy(&attributes_);
  }
  SpawnSetup(const SpawnSetup&) = delete;
  SpawnSetup& operator=(const SpawnSetup&) = delete;

  bool prepare(const ChildOptions& options, int errorFd) {
    if (posix_spawn_file_actions_addopen(&actions_, 0, "/dev/null", O_RDONLY, 0) != 0) return false;
    if (posix_spawn_file_actions_addopen(&actions_, 1, "/dev/null", O_WRONLY, 0) != 0) return false;
    if (errorFd >= 0 ? posix_spawn_file_actions_adddup2(&actions_, errorFd, 2) != 0
                     : posix_spawn_file_actions_adddup2(&actions_, 1, 2) != 0)
      return false;
    // dup2 onto another number clears close-on-exec for the child's copy.
    if (options.inheritedFd >= 0 &&
        posix_spawn_file_actions_adddup2(&actions_, options.inheritedFd, kChildInheritedFd) != 0)
      return false;
    if (!options.workingDirectory.empty() &&
        posix_spawn_file_actions_addchdir_np(&actions_, options.workingDirectory.c_str()) != 0)
      return false;

    // The worker thread may run with signals blocked or ignored by the
    // front end; the converter must start with the defaults.
    sigset_t none;
    sigemptyset(&none);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigaddset(&defaults, SIGINT);
    sigaddset(&defaults, SIGTERM);
    sigaddset(&defaults, SIGHUP);
    sigaddset(&defaults, SIGCHLD);
    posix_spawnattr_setsigmask(&attributes_, &none);
    posix_spawnattr_setsigdefault(&attributes_, &defaults);
    posix_spawnattr_setpgroup(&attributes_, 0);
    return posix_spawnattr_setflags(&attributes_, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF |
                                                      POSIX_SPAWN_SETPGROUP) == 0;
  }

  posix_spawn_file_actions_t* actions() { return &actions_; }
  posix_spawnattr_t* attributes() { return &attributes_; }

 private:
  posix_spawn_file_actions_t actions_;
  posix_spawnattr_t attributes_;
};

ChildResult Reaped(int status) {
  ChildResult result;
  if (WIFEXITED(status)) {
    result.status = ChildStatus::Exited;
    result.exitCode = WEXITSTATUS(status);
  } else {
    result.status = ChildStatus::Signalled;
  }
  return result;
}

bool ReapIfDone(pid_t pid, ChildResult& result, bool wait) {
  int status = 0;
  for (;;) {
    const pid_t got = ::waitpid(pid, &status, wait ? 0 : WNOHANG);
    if (got == pid) {
      result = Reaped(status);
      return true;
    }
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      // Someone else reaped it (a SIGCHLD handler set to SIG_IGN does);
      // the child is gone either way.
      result.status = ChildStatus::Signalled;
      return true;
    }
    return false;
  }
}

std::chrono::milliseconds Remaining(std::chrono::steady_clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
      deadline - std::chrono::steady_clock::now());
  return left.count() > 0 ? left : std::chrono::milliseconds(0);
}

// Waits for the child's end or the deadline. A pidfd lets poll() wake at the
// exact moment the child ends; without one, fall back to short naps.
bool WaitUntil(pid_t pid, std::chrono::steady_clock::time_point deadline, ChildResult& result) {
  // Through syscall(): glibc's pidfd_open wrapper lacks C linkage in C++.
  const int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
  if (pidfd >= 0) {
    for (;;) {
      pollfd entry{pidfd, POLLIN, 0};
      const int ready = ::poll(&entry, 1, static_cast<int>(Remaining(deadline).count()));
      if (ready < 0 && errno == EINTR) continue;
      ::close(pidfd);
      if (ready > 0) return ReapIfDone(pid, result, true);
      return ReapIfDone(pid, result, false);
    }
  }
  long napMicroseconds = 200;
  for (;;) {
    if (ReapIfDone(pid, result, false)) return true;
    if (Remaining(deadline).count() == 0) return false;
    timespec nap{0, napMicroseconds * 1000};
    ::nanosleep(&nap, nullptr);
    napMicroseconds = std::min(napMicroseconds * 2, 10000L);
  }
}

// An anonymous file in memory for the child's standard error: unlike a
// pipe it never blocks a child that writes more than anyone reads, and it
// leaves nothing on disk.
class ErrorCapture {
 public:
  explicit ErrorCapture(bool wanted)
      : fd_(wanted ? ::memfd_create("child-errors", MFD_CLOEXEC) : -1) {}
  ~ErrorCapture() {
    if (fd_ >= 0) ::close(fd_);
  }
  ErrorCapture(const ErrorCapture&) = delete;
  ErrorCapture& operator=(const ErrorCapture&) = delete;

  int fd() const { return fd_; }
  std::string text() const {
    if (fd_ < 0) return {};
    std::string text(kKeptErrorBytes, '\0');
    const ssize_t got = ::pread(fd_, text.data(), text.size(), 0);
    text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    return text;
  }

 private:
  int fd_;
};

}  // namespace

ChildResult RunChild(const std::vector<std::string>& argv, const ChildOptions& options) {
  ChildResult result;
  if (argv.empty() || argv.front().empty()) return result;

  std::vector<char*> arguments;
  arguments.reserve(argv.size() + 1);
  for (const auto& argument : argv) arguments.push_back(const_cast<char*>(argument.c_str()));
  arguments.push_back(nullptr);

  if (ChildrenStopped()) {
    result.status = ChildStatus::Stopped;
    return result;
  }
  ErrorCapture errors(options.keepErrors);
  SpawnSetup setup;
  if (!setup.prepare(options, errors.fd())) return result;
  pid_t pid = 0;
  if (posix_spawnp(&pid, arguments[0], setup.actions(), setup.attributes(), arguments.data(),
                   environ) != 0)
    return result;
  Register(pid);

  const auto deadline = std::chrono::steady_clock::now() + options.timeLimit;
  if (!WaitUntil(pid, deadline, result)) {
    ::kill(-pid, SIGKILL);
    ::kill(pid, SIGKILL);
    ReapIfDone(pid, result, true);
    result.status = ChildStatus::TimedOut;
    result.exitCode = -1;
  }
  Unregister(pid);
  result.errors = errors.text();
  // Whatever it wrote before the kill is not to be trusted.
  if (ChildrenStopped()) {
    result.status = ChildStatus::Stopped;
    result.exitCode = -1;
  }
  return result;
}

void StopChildren() {
  RunningChildren& running = Running();
  std::lock_guard<std::mutex> hold(running.lock);
  running.stopped.store(true);
  for (const pid_t pid : running.groups) {
    ::kill(-pid, SIGKILL);
    ::kill(pid, SIGKILL);
  }
}

void AllowChildren() { Running().stopped.store(false); }

bool ChildrenStopped() { return Running().stopped.load(); }

}  // namespace lumafold
