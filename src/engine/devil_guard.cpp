#include "engine/devil_guard.h"

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

// Called with the lock held.
void InitialiseOnce() {
  static bool initialised = false;
  if (initialised) return;
  ilInit();
  iluInit();
  initialised = true;
}

}  // namespace

DevilGuard::DevilGuard() : lock_(DevilMutex()) { InitialiseOnce(); }

void InitialiseDevil() { DevilGuard guard; }

}  // namespace lumafold
