// Saves a picture of the main window with a few files listed, their
// thumbnails loaded and the first one selected for the preview:
//   ui_screenshot OUTPUT.png FILE...
// Run it under a display (xvfb-run) so the picture is what a desktop shows.
// LUMAFOLD_SHOT_SIZE=WxH starts it at that saved size instead of 720x480,
// and LUMAFOLD_SHOT_SCREEN=1 takes the whole screen, to show where the
// window was fitted.
#include <QApplication>
#include <QLabel>
#include <QPixmap>
#include <QScreen>
#include <cstdio>
#include <cstdlib>

#include "engine/app_context.h"
#include "ui/list_pictures.h"
#include "ui/main_window.h"
#include "window_shot.h"

int main(int argc, char** argv) {
  if (!lumafold::ui::ShotArguments(argc, argv)) return 2;
  QApplication application(argc, argv);
  auto context = lumafold::ui::ShotContext(720, 480);
  if (const char* size = std::getenv("LUMAFOLD_SHOT_SIZE")) {
    int width = 0, height = 0;
    if (std::sscanf(size, "%dx%d", &width, &height) == 2) {
      context->settings.window.width = width;
      context->settings.window.height = height;
    }
  }
  const bool wholeScreen = std::getenv("LUMAFOLD_SHOT_SCREEN") != nullptr;
  lumafold::ui::MainWindow window(*context);
  return lumafold::ui::ShootWhenReady(
      application, window, std::vector<std::string>(argv + 2, argv + argc), argv[1],
      [&] { return window.pictures()->previewFacts()->isVisible(); },
      [&] { return wholeScreen ? QGuiApplication::primaryScreen()->grabWindow(0) : window.grab(); },
      false);
}
