// The main window's doors to the dialogs and services of the other parts of
// the desktop face: preferences, file-converter search, About, manual, web
// links and the update check, and the theme applied at start-up. The main
// window only calls these; each lives in its own file beside its dialog.
#pragma once

#include "engine/app_context.h"
#include "ui/themes.h"

namespace lumafold::ui {

class MainWindow;

enum class PreferencesPage { General, Output };

// Command 17 opens the preferences on "General", command 8 on "Output".
// After OK or Defaults the dialog refreshes the window through
// MainWindow::settingsChanged().
void OpenPreferences(MainWindow& window, PreferencesPage page);
void OpenConverterSearch(MainWindow& window);  // command 16
void OpenManual(MainWindow& window);           // command 18
void SendFeedback(MainWindow& window);         // command 21
void VisitHomepage(MainWindow& window);        // command 22
void CheckForUpdatesNow(MainWindow& window);   // command 23
void ShowAbout(MainWindow& window);            // command 24

// Start-up, before the window is built: the active theme's pictures over
// the built-in ones already in `images` (all three sets).
void ApplyStartupTheme(AppContext& context, ThemeImages& images);

// Start-up, once the window is shown: the automatic update check.
void RunAutomaticUpdateCheck(MainWindow& window);

}  // namespace lumafold::ui
