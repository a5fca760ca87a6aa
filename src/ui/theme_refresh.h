// Putting a theme onto the main window: at start-up over the built-in
// pictures, and again after the preferences changed the theme (all three
// image sets, menus, tool bar, buttons) or only the icon size (the tool
// bar alone).
#pragma once

#include <string>
#include <vector>

#include "engine/app_context.h"
#include "ui/themes.h"

namespace lumafold::ui {

class MainWindow;

// Collects the themes of `folders` and loads the sets of "UI Theme" over
// `images`; falls back to the first known theme as LoadTheme does.
ThemeTable ApplyTheme(AppContext& context, ThemeImages& images,
                      const std::vector<std::string>& folders, int sets);

// Step 5 of the preferences' OK and Defaults, with the theme folders.
void RefreshWindowAfterPreferences(MainWindow& window, ThemeRefresh refresh,
                                   const std::vector<std::string>& folders);

// The installed theme folders: gfx/ beside the program, then
// ../share/lumafold/gfx/.
std::vector<std::string> InstalledThemeFolders();

}  // namespace lumafold::ui
