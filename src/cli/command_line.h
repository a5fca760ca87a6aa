// The command-line face: parses the parameters, expands the inputs and runs
// the console batch. Never starts Qt.
#pragma once

#include <string>
#include <vector>

#include "engine/app_context.h"

namespace lumafold {

// `args` are the parameters after the program name. Returns the process
// exit status (0 all converted, 1 error or nothing converted, 2 some failed).
int RunCommandLine(AppContext& context, const std::vector<std::string>& args);

}  // namespace lumafold
