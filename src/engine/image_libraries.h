// Process-wide set-up of the image libraries, done once at start-up before
// any image is touched.
#pragma once

namespace lumafold {

// Initialises DevIL and its utility library. Safe to call more than once and
// from any thread; only the first call does the work. FreeImage needs no call:
// its shared library initialises its plugins when it is loaded.
void InitImageLibraries();

// Releases what DevIL holds; part of the exit path. Does nothing when
// InitImageLibraries was never called.
void ShutdownImageLibraries();

}  // namespace lumafold
