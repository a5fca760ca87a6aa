// The command-line face: parses the parameters, expands the inputs and runs
// the console batch. Never starts Qt.
#pragma once

#include <string>
#include <vector>

#include "engine/app_context.h"

namespace lumafold {

// Returned by RunCommandLine when the parameters parsed cleanly but named no
// input (-i): start-up then opens the window as if no parameter was given.
inline constexpr int kContinueInWindow = -1;

// `args` are the parameters after the program name; start-up has already
// handled a first parameter of -U, -V/--VERSION or -H/-?/--HELP. Resets the
// settings to their command-line defaults and the job, parses, and runs the
// batch. Returns the process exit status (0 all converted, 1 error or nothing
// converted, 2 some failed) or kContinueInWindow.
int RunCommandLine(AppContext& context, const std::vector<std::string>& args);

}  // namespace lumafold
