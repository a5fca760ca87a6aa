// The owner of every process-wide record. Start-up creates one; tests create
// a fresh one per case instead of sharing globals.
//
// A few things stay process-wide outside it, because what reaches them has
// no context to pass or because they belong to a library, not to us:
// - the children running now (run/child_process.cpp) and the temporary
//   files not yet in place (run/run_leftovers.cpp): the interrupt and exit
//   paths end and remove them from a signal's thread, and a worker may still
//   finish a file while the process exits, so both are never destroyed;
// - the window's quit pipe (ui/window_face.cpp): written by the signal
//   handler, which can reach nothing else;
// - DevIL's write-failure flag (writers/devil_writer.cpp): DevIL's file
//   callbacks take no argument of ours, and DevIL runs under its lock only;
// - whether /proc is mounted (steps/decode.cpp): a fact of the machine;
// - the C library's malloc thresholds, set for a run (run/conversion_worker
//   .cpp): the library offers no way to read them, so the run's end restores
//   its documented starting values rather than values found at the start.
#pragma once

#include <functional>
#include <string>

#include "engine/run/conversion_job.h"
#include "settings/conversion_settings.h"
#include "settings/format_registry.h"
#include "settings/string_catalog.h"

namespace lumafold {

struct AppContext {
  ConversionSettings settings;
  FormatRegistry formats;
  StringCatalog catalog;
  ConversionJob job;
  InputSet inputs;
  RunProgress progress;

  // Primary desktop size for the centred window default; the desktop face
  // installs the real one, the engine itself links no GUI toolkit.
  std::function<ScreenSize()> screenSize = [] { return ScreenSize{}; };

  // Program name as started (argv[0]'s file name), for help and messages.
  std::string programName = "lumafold";
};

}  // namespace lumafold
