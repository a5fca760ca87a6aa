// The desktop face: loads the settings file, opens the main window and runs
// the event loop; writes the settings file at exit.
#pragma once

#include "engine/app_context.h"

namespace lumafold {

// Returns the process exit status (0 when the window closed normally).
int RunWindow(AppContext& context, int argc, char** argv);

}  // namespace lumafold
