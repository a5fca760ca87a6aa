// Start and end of the window face: the settings file in, the window's run,
// the settings file out, and the signals that end it in order.
#include "ui/window_face.h"

#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <QScreen>
#include <QSocketNotifier>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "engine/steps/font_loader.h"
#include "settings/profile_file.h"
#include "ui/dialogs.h"
#include "ui/display_probe.h"
#include "ui/hand_over.h"
#include "ui/input_list.h"
#include "ui/main_window.h"
#include "ui/orderly_quit.h"

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
  // Before the first widget asks Qt for a font, so that Qt and the
  // watermark resolve "Tahoma" and "Verdana" alike. After the settings
  // file: reading fontconfig's cache is the slow part of start-up.
  InstallFontAliases();
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

namespace {

// A desktop session that ends sends SIGTERM (and a terminal Ctrl+C sends
// SIGINT); both end the event loop like a close request, so the quit path
// still writes the settings file instead of losing the session's changes.
int quitPipe[2] = {-1, -1};

void WriteQuitByte(int) {
  const char byte = 1;
  [[maybe_unused]] const ssize_t ignored = write(quitPipe[1], &byte, 1);
}

void CatchQuitSignals() {
  if (pipe2(quitPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  struct sigaction action {};
  action.sa_handler = WriteQuitByte;
  sigemptyset(&action.sa_mask);
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
}

// The notifier is level-triggered: the byte is read, or it fires for good.
void TakeQuitByte() {
  char bytes[16];
  while (read(quitPipe[0], bytes, sizeof bytes) > 0) {
  }
}

}  // namespace

int RunWindow(AppContext& context, int argc, char** argv, const std::vector<std::string>& files,
              const std::string& handOverSocket) {
  // Qt aborts the process when its platform cannot reach the display (no
  // DISPLAY, or a stale one from an ended ssh -X session); a user deserves a
  // sentence and a status instead.
  if (!ui::DisplayReachable()) return ui::ReportNoDisplay(context.programName);
  CatchQuitSignals();
  QApplication application(argc, argv);
  std::unique_ptr<QSocketNotifier> quitNotifier;
  if (quitPipe[0] >= 0) {
    quitNotifier = std::make_unique<QSocketNotifier>(quitPipe[0], QSocketNotifier::Read);
    QObject::connect(quitNotifier.get(), &QSocketNotifier::activated, &application, [] {
      TakeQuitByte();
      ui::RequestQuit();
    });
  }
  ui::SetMainLoopEnder([] { QCoreApplication::exit(0); });
  ui::MainWindow window(context);
  // Listening from the start, so that a start soon after this one finds the
  // socket; what it hands over waits until the window is shown.
  std::unique_ptr<ui::HandOverServer> handOver;
  if (!handOverSocket.empty())
    handOver = std::make_unique<ui::HandOverServer>(
        handOverSocket, [&window](const QStringList& paths) { window.openHandedOver(paths); });
  if (ui::StartWindowFace(context, window)) {
    if (!files.empty()) {
      QStringList paths;
      for (const std::string& file : files)
        paths << QString::fromStdString(std::filesystem::absolute(file).string());
      window.inputList().dropPaths(paths);
    }
    ui::RunAutomaticUpdateCheck(window);
    // A quit that came while the start-up question was open has already
    // ended every loop there was; a new one would wait for good.
    if (!ui::QuitRequested()) application.exec();
  }
  handOver.reset();
  ui::QuitWindowFace(context, window);
  return 0;
}

}  // namespace lumafold
