// Outputs of several workers, put in place in input-set order.
//
// Workers finish their files in any order, but the outcome must be the one
// of a single worker: of two files with the same output name the later one
// in the input set wins, and "%n%" and "%rnd%" count the successful files in
// that order. So a worker writes its output under a held name in the
// output folder, and the batch moves the files into place one after another
// in input-set order, deciding names that hold a number only then.
#pragma once

#include "engine/image.h"
#include "engine/steps/pipeline_steps.h"

namespace lumafold {

// Writes the image under a fresh held name beside where the output goes
// (the folder of file.outputPath; for OutputPlacement::NamedInOrder, whose
// name is not known yet, the output folder with the relative subfolder when
// "Keep Subfolders" is on). Sets file.heldPath on success; on failure
// nothing of the file is left behind.
bool WriteHeldOutput(ImageHandle& image, const StepContext& context);

// Moves the held file to its output path, first building that path from the
// mask for OutputPlacement::NamedInOrder (with the file's sequence and
// random numbers as they are now). False, and the held file removed, when
// the name cannot be used or the move fails.
bool PlaceHeldOutput(const StepContext& context);

// Removes the held file, if any.
void DiscardHeldOutput(FileConversion& file);

}  // namespace lumafold
