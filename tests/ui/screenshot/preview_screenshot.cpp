// Saves a picture of the main window's before/after preview: one scan
// selected, a solid frame and a text watermark set, the after-picture
// worked out under the original:
//   ui_preview_screenshot OUTPUT.png FILE...
// Run it under a display (xvfb-run) so the picture is what a desktop shows.
#include <QApplication>
#include <QLabel>
#include <cstdio>

#include "engine/app_context.h"
#include "ui/after_preview.h"
#include "ui/main_window.h"
#include "window_shot.h"

int main(int argc, char** argv) {
  if (!lumafold::ui::ShotArguments(argc, argv)) return 2;
  QApplication application(argc, argv);
  auto context = lumafold::ui::ShotContext(1000, 720);
  lumafold::ConversionSettings& settings = context->settings;
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
  return lumafold::ui::ShootWhenReady(
      application, window, std::vector<std::string>(argv + 2, argv + argc), argv[1],
      [&] { return window.afterPreview()->pictureLabel()->isVisible(); },
      [&] { return window.grab(); }, true);
}
