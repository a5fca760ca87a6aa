#include "ui/window_face.h"

#include <QApplication>
#include <QScreen>

#include "settings/profile_file.h"
#include "ui/dialogs.h"
#include "ui/main_window.h"

namespace lumafold {

namespace ui {

bool StartWindowFace(AppContext& context, MainWindow& window) {
  context.screenSize = [] {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return ScreenSize{};
    return ScreenSize{screen->size().width(), screen->size().height()};
  };
  if (context.settings.settingsFilePath.empty())
    context.settings.settingsFilePath = DefaultSettingsFilePath();
  LoadSettingsFile(context.settings, context.settings.settingsFilePath, context.screenSize());
  context.catalog.Build();
  // The built-in pictures are in place; the theme's go over them.
  ApplyStartupTheme(context, window.images());
  return window.open();
}

bool QuitWindowFace(AppContext& context, const MainWindow& window) {
  WindowState state;
  if (window.isMaximized()) {
    state.placement = WindowPlacement::Maximized;
  } else if (window.isMinimized()) {
    state.placement = WindowPlacement::Minimized;
  } else {
    state.placement = WindowPlacement::Normal;
    state.x = window.x();
    state.y = window.y();
    state.width = window.width();
    state.height = window.height();
  }
  ApplyExitSequence(context.settings, state);
  return SaveSettingsFile(context.settings, context.formats, context.settings.settingsFilePath);
}

}  // namespace ui

int RunWindow(AppContext& context, int argc, char** argv) {
  QApplication application(argc, argv);
  ui::MainWindow window(context);
  if (ui::StartWindowFace(context, window)) {
    ui::RunAutomaticUpdateCheck(window);
    application.exec();
  }
  ui::QuitWindowFace(context, window);
  return 0;
}

}  // namespace lumafold
