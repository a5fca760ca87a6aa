// The command line's disc work beside the batch: the contact sheets after a
// run (--contact-sheet). A disc's description is one kind of --info block
// (cli/image_info.h).
#pragma once

#include <string>
#include <vector>

#include "cli/console.h"
#include "engine/app_context.h"

namespace lumafold {

// Writes the run's contact sheets, naming each with -d and each failure on
// standard error.
void WriteDiscContactSheets(const AppContext& context, Console& console);

}  // namespace lumafold
