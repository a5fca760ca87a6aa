#include "engine/image_libraries.h"

#include "engine/devil_guard.h"

namespace lumafold {

// DevIL's set-up goes through the same lock as every other DevIL call.
void InitImageLibraries() { InitialiseDevil(); }

void ShutdownImageLibraries() { ShutDownDevil(); }

}  // namespace lumafold
