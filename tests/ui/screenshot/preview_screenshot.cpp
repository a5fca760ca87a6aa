// Saves a picture of the main window's before/after preview: one scan
// selected, a solid frame and a text watermark set, the after-picture
// worked out under the original:
//   ui_preview_screenshot OUTPUT.png FILE...
// Run it under a display (xvfb-run) so the picture is what a desktop shows.
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QTimer>
#include <QTreeWidget>
#include <cstdio>

#include "engine/app_context.h"
#include "ui/after_preview.h"
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
  lumafold::ConversionSettings& settings = context->settings;
  settings.resetToDefaults(lumafold::SettingsMode::Window);
  settings.output.format = "jpg";
  settings.window.width = 1000;
  settings.window.height = 720;
  lumafold::FrameSettings& frame = settings.frame;
  frame.doFrame = 1;
  frame.solidLeft = frame.solidRight = frame.solidTop = frame.solidBottom = 36;
  frame.solidLeftColor = frame.solidRightColor = "1F3A5F";
  frame.solidTopColor = frame.solidBottomColor = "C8A951";
  lumafold::WatermarkSettings& watermark = settings.watermark;
  watermark.doWatermark = 1;
  watermark.text = "Lumafold";
  watermark.font = "Arial";
  watermark.fontSize = 64;
  watermark.fontStyle = 1;
  watermark.textAntialiasing = 1;
  watermark.textPadding = 10;
  watermark.backOpacity = 110;
  watermark.textBoundary = 1;
  watermark.textPosition = 8;
  watermark.textXOffset = watermark.textYOffset = 16;
  lumafold::ui::MainWindow window(*context);
  window.open();
  for (int i = 2; i < argc; ++i) window.inputList().addFile(argv[i]);
  QTreeWidget* list = window.inputListView();
  list->setCurrentItem(list->topLevelItem(0));
  window.setStatusText(window.text("General", "Ready"));
  int status = 1;
  QElapsedTimer waited;
  waited.start();
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    lumafold::ui::PictureLoader& loader = window.pictures()->loader();
    bool ready = window.afterPreview()->pictureLabel()->isVisible();
    for (int i = 0; i < list->topLevelItemCount() && ready; ++i)
      ready = loader.state(list->topLevelItem(i)->text(0)) !=
              lumafold::ui::PictureLoader::State::Unknown;
    if (!ready && waited.elapsed() < 20000) return;
    poll.stop();
    QTimer::singleShot(300, [&] {
      status = ready && window.grab().save(argv[1]) ? 0 : 1;
      application.quit();
    });
  });
  poll.start(100);
  application.exec();
  return status;
}
