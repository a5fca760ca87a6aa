// Saves a picture of the main window with a few files listed, their
// thumbnails loaded and the first one selected for the preview:
//   ui_screenshot OUTPUT.png FILE...
// Run it under a display (xvfb-run) so the picture is what a desktop shows.
// LUMAFOLD_SHOT_SIZE=WxH starts it at that saved size instead of 720x480,
// and LUMAFOLD_SHOT_SCREEN=1 takes the whole screen, to show where the
// window was fitted.
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <QTreeWidget>
#include <cstdio>
#include <cstdlib>

#include "engine/app_context.h"
#include "ui/input_list.h"
#include "ui/list_pictures.h"
#include "ui/main_window.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s OUTPUT.png FILE...\n", argv[0]);
    return 2;
  }
  QApplication application(argc, argv);
  auto context = std::make_unique<lumafold::AppContext>();
  context->settings.resetToDefaults(lumafold::SettingsMode::Window);
  context->settings.output.format = "jpg";
  context->settings.window.width = 720;
  context->settings.window.height = 480;
  if (const char* size = std::getenv("LUMAFOLD_SHOT_SIZE")) {
    int width = 0, height = 0;
    if (std::sscanf(size, "%dx%d", &width, &height) == 2) {
      context->settings.window.width = width;
      context->settings.window.height = height;
    }
  }
  const bool wholeScreen = std::getenv("LUMAFOLD_SHOT_SCREEN") != nullptr;
  lumafold::ui::MainWindow window(*context);
  window.open();
  for (int i = 2; i < argc; ++i) window.inputList().addFile(argv[i]);
  QTreeWidget* list = window.inputListView();
  list->setCurrentItem(list->topLevelItem(0));
  window.setStatusText(window.text("General", "Ready"));
  // Waits until every row in view has its picture and the preview is up.
  int status = 1;
  QElapsedTimer waited;
  waited.start();
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    lumafold::ui::PictureLoader& loader = window.pictures()->loader();
    bool ready = window.pictures()->previewFacts()->isVisible();
    for (int i = 0; i < list->topLevelItemCount() && ready; ++i)
      ready = loader.state(list->topLevelItem(i)->text(0)) !=
              lumafold::ui::PictureLoader::State::Unknown;
    if (!ready && waited.elapsed() < 20000) return;
    poll.stop();
    // One more pass of the event loop so the icons are painted.
    QTimer::singleShot(300, [&] {
      const QPixmap shot =
          wholeScreen ? QGuiApplication::primaryScreen()->grabWindow(0) : window.grab();
      status = shot.save(argv[1]) ? 0 : 1;
      application.quit();
    });
  });
  poll.start(100);
  application.exec();
  return status;
}
