// One input file's trip: decode, the processing steps in their fixed order,
// the bit-depth conversion, the output name and the write.
#pragma once

#include "engine/steps/pipeline_steps.h"

namespace lumafold {

// Converts context.file.inputPath; true when the output file was written.
// Reads the settings and the job only, so several files may be converted at
// once, each with its own FileConversion.
bool ConvertFile(const StepContext& context);

// The steps after the working size is known, in their order: flips,
// colour, greyscale, threshold, frame and watermark (shared with the
// window's preview of a conversion).
ImageHandle ApplyPictureSteps(ImageHandle image, const StepContext& context);

}  // namespace lumafold
