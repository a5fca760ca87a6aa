// The batch procedure: walks the input set in its visiting order, converts
// each file and publishes progress.
#pragma once

#include <cstddef>

#include "engine/app_context.h"

namespace lumafold {

// Runs on its own thread; returns 0. Reads the settings, the job and the
// input set; writes the progress record and the job's numbers. Converts up
// to FileWorkerCount files at once; the outputs, their names and numbers,
// the counts and the trace lines are the same as with one file at a time.
int ConversionWorker(AppContext& context);

// How many files a run converts at once: "Jobs" (Advanced), 0 or less
// meaning one per online processor core, at most one per file; always one
// when the text watermark draws "%n%" or "%rnd%", whose values depend on
// the files before.
int FileWorkerCount(const ConversionSettings& settings, std::size_t files);

// Whether the file at `index` of `files` may use a core beside its own (to
// share its decoding): with the automatic worker count when a single worker
// leaves other cores idle, and, with several workers, for the last file,
// whose neighbours run out of files. "Jobs" set by hand bounds the cores a
// run keeps busy, so one worker asked for stays on one core.
bool SpareCoreBeside(const ConversionSettings& settings, int workers, std::size_t index,
                     std::size_t files);

}  // namespace lumafold
