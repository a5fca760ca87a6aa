// Process-wide set-up of the image libraries, done once at start-up before
// any image is touched.
#pragma once

namespace lumafold {

// Initialises DevIL and its utility library. Safe to call more than once and
// from any thread; only the first call does the work. FreeImage needs no call:
// its shared library initialises its plugins when it is loaded.
//
// File workers call FreeImage side by side. Its loaders, writers and pixel
// operations keep their state per call, but its plugin table and its one
// message handler are process-wide and unguarded: FreeImage_Initialise,
// FreeImage_DeInitialise, FreeImage_SetOutputMessage and the plugin
// registration calls must never run while a conversion runs (Lumafold calls
// none of them). DevIL keeps its bound image globally: every DevIL call goes
// through the lock of devil_guard.h.
void InitImageLibraries();

// Releases what DevIL holds; part of the exit path. Does nothing when
// InitImageLibraries was never called.
void ShutdownImageLibraries();

}  // namespace lumafold
