// Saves a picture of the main window with a few files listed:
//   ui_screenshot OUTPUT.png FILE...
// Run it under a display (xvfb-run) so the picture is what a desktop shows.
#include <QApplication>
#include <QPixmap>
#include <QTimer>
#include <QTreeWidget>
#include <cstdio>

#include "engine/app_context.h"
#include "ui/input_list.h"
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
  context->settings.window.width = 640;
  context->settings.window.height = 400;
  lumafold::ui::MainWindow window(*context);
  window.open();
  for (int i = 2; i < argc; ++i) window.inputList().addFile(argv[i]);
  window.inputListView()->topLevelItem(0)->setSelected(true);
  window.setStatusText(window.text("General", "Ready"));
  int status = 1;
  QTimer::singleShot(500, [&] {
    status = window.grab().save(argv[1]) ? 0 : 1;
    application.quit();
  });
  application.exec();
  return status;
}
