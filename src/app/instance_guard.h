// One running copy at a time: an exclusive advisory lock on a file named after
// the title line. The kernel drops the lock when the process ends, however it
// ends, so a crashed copy never blocks the next one.
#pragma once

#include <string>

namespace lumafold {

// Where the lock file lives: $XDG_RUNTIME_DIR, or the settings folder
// ($XDG_CONFIG_HOME or ~/.config, then Quorvane/lumafold) when that is unset.
std::string InstanceGuardPath();

class InstanceGuard {
 public:
  enum class Outcome {
    kAcquired,       // this copy holds the guard
    kHeldElsewhere,  // another copy runs
    kUnavailable,    // the lock file cannot be opened; run unguarded
  };

  InstanceGuard() = default;
  ~InstanceGuard();
  InstanceGuard(const InstanceGuard&) = delete;
  InstanceGuard& operator=(const InstanceGuard&) = delete;

  // Tries once, without waiting.
  Outcome Acquire(const std::string& path);
  void Release();
  bool held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

}  // namespace lumafold
