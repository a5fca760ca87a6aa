#include "engine/writers/devil_guard.h"

#include <IL/il.h>
#include <IL/ilu.h>

namespace lumafold {
namespace {

// The one lock for DevIL's global state; it belongs to the library's state,
// not to any run, so it lives as long as the library does.
std::mutex& DevilMutex() {
  static std::mutex mutex;
  return mutex;
}

// Guarded by DevilMutex().
bool initialised = false;

void InitialiseLocked() {
  if (initialised) return;
  ilInit();
  iluInit();
  initialised = true;
}

}  // namespace

DevilGuard::DevilGuard() : lock_(DevilMutex()) { InitialiseLocked(); }

void InitialiseDevil() { DevilGuard guard; }

void ShutDownDevil() {
  std::lock_guard<std::mutex> lock(DevilMutex());
  if (!initialised) return;
  ilShutDown();
  initialised = false;
}

}  // namespace lumafold
