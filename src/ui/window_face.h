// The desktop face: loads the settings file, opens the main window and runs
// the event loop; writes the settings file at exit.
#pragma once

#include <string>
#include <vector>

#include "engine/app_context.h"

namespace lumafold {

namespace ui {
class MainWindow;

// Start-up inside a running QApplication: the screen-size provider, the
// settings file, the catalog, the theme, the window. False when the window
// could not be opened (the quit path still runs).
bool StartWindowFace(AppContext& context, MainWindow& window);

// The quit path: the window placement into the settings, the recent output
// folders cleared unless kept, the settings file written. False when the
// file could not be written.
bool QuitWindowFace(AppContext& context, const MainWindow& window);
}  // namespace ui

// Returns the process exit status (0 when the window closed normally).
// `files` (files and folders, as on the command line) go into the input list
// as if dropped on the window once it is open. With a `handOverSocket` (the
// instance guard is held), later window starts hand their files over there.
int RunWindow(AppContext& context, int argc, char** argv,
              const std::vector<std::string>& files = {},
              const std::string& handOverSocket = {});

}  // namespace lumafold
