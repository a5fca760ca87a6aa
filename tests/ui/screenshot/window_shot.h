// Shared by the window screenshot programs: lists the files, selects the
// first, waits until every row has its picture and `ready` holds (at most
// 20 s), then saves what `take` grabs to `output`.
#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QPixmap>
#include <QTimer>
#include <QTreeWidget>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/app_context.h"
#include "ui/input_list.h"
#include "ui/list_pictures.h"
#include "ui/main_window.h"

namespace lumafold::ui {

// The program's own settings for a window shot: defaults of the window
// mode, JPEG output, the window at `width` x `height`.
inline std::unique_ptr<AppContext> ShotContext(int width, int height) {
  auto context = std::make_unique<AppContext>();
  context->settings.resetToDefaults(SettingsMode::Window);
  context->settings.output.format = "jpg";
  context->settings.window.width = width;
  context->settings.window.height = height;
  return context;
}

// False, with the usage on standard error, unless an output and a file
// were given.
inline bool ShotArguments(int argc, char** argv) {
  if (argc >= 3) return true;
  std::fprintf(stderr, "usage: %s OUTPUT.png FILE...\n", argv[0]);
  return false;
}

// 0 when the picture was saved; with `readyRequired` also only when the
// wait ended with everything ready.
inline int ShootWhenReady(QApplication& application, MainWindow& window,
                          const std::vector<std::string>& files, const char* output,
                          const std::function<bool()>& ready,
                          const std::function<QPixmap()>& take, bool readyRequired) {
  window.open();
  for (const std::string& file : files) window.inputList().addFile(file);
  QTreeWidget* list = window.inputListView();
  list->setCurrentItem(list->topLevelItem(0));
  window.setStatusText(window.text("General", "Ready"));
  int status = 1;
  QElapsedTimer waited;
  waited.start();
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    PictureLoader& loader = window.pictures()->loader();
    bool done = ready();
    for (int i = 0; i < list->topLevelItemCount() && done; ++i)
      done = loader.state(list->topLevelItem(i)->text(0)) != PictureLoader::State::Unknown;
    if (!done && waited.elapsed() < 20000) return;
    poll.stop();
    // One more pass of the event loop so the icons are painted.
    QTimer::singleShot(300, [&, done] {
      status = (done || !readyRequired) && take().save(output) ? 0 : 1;
      application.quit();
    });
  });
  poll.start(100);
  application.exec();
  return status;
}

}  // namespace lumafold::ui
