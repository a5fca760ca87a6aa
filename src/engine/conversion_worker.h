// The batch procedure: walks the input set in its visiting order, converts
// each file and publishes progress.
#pragma once

#include "engine/app_context.h"

namespace lumafold {

// Runs on its own thread; returns 0. Reads the settings, the job and the
// input set; writes the progress record and the job's numbers.
int ConversionWorker(AppContext& context);

}  // namespace lumafold
