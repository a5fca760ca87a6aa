// The command line's disc work beside the batch: the disc's description
// (--info) and the contact sheets after a run (--contact-sheet).
#pragma once

#include <string>
#include <vector>

#include "cli/console.h"
#include "engine/app_context.h"

namespace lumafold {

// --info DISC...: what each disc image or disc folder says about itself.
// 0 when every one could be read, 1 otherwise.
int PrintDiscInfo(const std::vector<std::string>& paths);

// Writes the run's contact sheets, naming each with -d and each failure on
// standard error.
void WriteDiscContactSheets(const AppContext& context, Console& console);

}  // namespace lumafold
