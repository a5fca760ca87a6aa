// Runs an external program from an argument vector, never through a shell,
// with standard input from /dev/null, its output discarded (its error output
// kept when asked) and a time limit.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

namespace lumafold {

enum class ChildStatus {
  Exited,      // ran to its end; exitCode holds its status
  Signalled,   // ended by a signal it did not ask for
  TimedOut,    // killed after the time limit
  NotStarted,  // could not be started (missing program, no permission)
  Stopped,     // killed by StopChildren, or not started after it
};

struct ChildResult {
  ChildStatus status = ChildStatus::NotStarted;
  int exitCode = -1;
  // The start of what it wrote to standard error (ChildOptions::keepErrors).
  std::string errors;
  bool finished() const { return status == ChildStatus::Exited; }
};

struct ChildOptions {
  std::string workingDirectory;  // empty: the caller's
  std::chrono::milliseconds timeLimit = std::chrono::seconds(120);
  // An open file the child gets as its descriptor 3 (kChildInheritedFd);
  // -1 for none.
  int inheritedFd = -1;
  // Keep the first kKeptErrorBytes of the child's standard error.
  bool keepErrors = false;
};

inline constexpr std::size_t kKeptErrorBytes = 4096;

inline constexpr int kChildInheritedFd = 3;

// argv[0] is looked up on PATH unless it holds a "/". The child and anything
// it starts are killed when the time limit passes.
ChildResult RunChild(const std::vector<std::string>& argv, const ChildOptions& options);

// An interrupt of the whole program: kills the process group of every
// child running now, at once, and lets RunChild start no new one (it
// returns ChildStatus::Stopped) until AllowChildren. Safe from any thread.
void StopChildren();
void AllowChildren();
bool ChildrenStopped();

}  // namespace lumafold
