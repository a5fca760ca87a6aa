// The owner of every process-wide record. Start-up creates one; tests create
// a fresh one per case instead of sharing globals.
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
