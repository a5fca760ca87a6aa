// DevIL keeps its bound image, its modes and its error stack in process-wide
// state, so two threads calling it at once would work on each other's image.
// Every DevIL call of the program happens while a DevilGuard is alive.
#pragma once

#include <mutex>

namespace lumafold {

class DevilGuard {
 public:
  // Takes the DevIL lock; initialises DevIL and ILU on first use, so the
  // writer works whether or not start-up already did.
  DevilGuard();
  DevilGuard(const DevilGuard&) = delete;
  DevilGuard& operator=(const DevilGuard&) = delete;

 private:
  std::lock_guard<std::mutex> lock_;
};

// Start-up's one-time ilInit and iluInit, under the lock.
void InitialiseDevil();

// The exit path's ilShutDown, under the lock; a later guard initialises
// DevIL again.
void ShutDownDevil();

}  // namespace lumafold
