// Saves pictures of a conversion run: the progress dialog with its Stop
// button and the files in hand, the dialog's totals at the end, and the
// main window's rows with their results:
//   ui_results_screenshot OUTPUT-FOLDER OUT-DIR FILE...
// Run it under a display (xvfb-run) by scripts/results-screenshots.sh.
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <cstdio>
#include <string>

#include "engine/app_context.h"
#include "ui/commands.h"
#include "ui/input_list.h"
#include "ui/main_window.h"

namespace {

QDialog* ProgressDialog() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->objectName() == "window3" && w->isVisible()) return qobject_cast<QDialog*>(w);
  return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: %s IMAGES-FOLDER OUT-DIR FILE...\n", argv[0]);
    return 2;
  }
  const QString images = argv[1];
  QApplication application(argc, argv);
  auto context = std::make_unique<lumafold::AppContext>();
  context->settings.resetToDefaults(lumafold::SettingsMode::Window);
  context->settings.output.format = "jpg";
  context->settings.advanced.jobs = 2;
  context->settings.general.updateRange = 5;
  context->settings.file.recentOutFolders = argv[2];
  context->settings.window.width = 720;
  context->settings.window.height = 480;
  lumafold::ui::Prompts prompts = lumafold::ui::StandardPrompts();
  // Go on past the question about outputs that replace each other.
  prompts.question = [](QWidget*, const QString&, const QString&) { return true; };
  lumafold::ui::MainWindow window(*context, prompts);
  window.open();
  for (int i = 3; i < argc; ++i) window.inputList().addFile(argv[i]);

  int status = 0;
  bool stopShot = false;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    QDialog* dialog = ProgressDialog();
    if (!dialog) return;
    auto* ok = dialog->findChild<QPushButton*>("control340");
    if (!stopShot && !ok->isEnabled() &&
        dialog->findChild<QLabel*>("inHand")->text().contains('\n')) {
      stopShot = true;
      if (!dialog->grab().save(images + "/progress-stop.png")) status = 1;
    }
    if (!ok->isEnabled()) return;
    poll.stop();
    if (!dialog->grab().save(images + "/results-dialog.png")) status = 1;
    ok->click();
  });
  poll.start(20);
  window.dispatch(lumafold::ui::kCommandConvert);
  QTreeWidget* list = window.inputListView();
  list->clearSelection();
  QTimer::singleShot(300, [&] {
    if (!window.grab().save(images + "/results-view.png")) status = 1;
    application.quit();
  });
  application.exec();
  return status;
}
