// Closes whatever is open when a quit is requested from outside, so that
// every loop ends and the settings file is still written.
#include "ui/orderly_quit.h"

#include <QApplication>
#include <QDialog>
#include <QMenu>
#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace lumafold::ui {

namespace {

// Short enough that a dialog opened by the code after a closed one (the
// update question's Yes opens the browser and a notice) is gone within a
// blink; long enough to cost nothing while the worker finishes its file.
constexpr int kSweepMilliseconds = 50;

bool requested = false;
int workerLoops = 0;
QPointer<QTimer> sweeper;
std::function<void()> endMainLoop;

void Sweep() {
  // A dialog's exec() returns only when control is back in its own loop, so
  // each pass closes what is on screen now; what the unwinding code opens
  // next is closed by the next pass.
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (!widget->isVisible() || widget->property(kEndsWithItsWorker).toBool()) continue;
    if (auto* dialog = qobject_cast<QDialog*>(widget)) {
      // done() rather than reject(): a message box without an Escape
      // button refuses reject and close, and the question box reads "No"
      // from a box that was not answered.
      dialog->done(QDialog::Rejected);
    } else if (qobject_cast<QMenu*>(widget)) {
      widget->close();
    }
  }
  // Ending every loop now would also end a progress loop whose worker is
  // still on its file; that loop ends itself, and the next pass ends the
  // main loop.
  if (workerLoops == 0 && endMainLoop) endMainLoop();
}

}  // namespace

bool QuitRequested() { return requested; }

void RequestQuit() {
  requested = true;
  if (sweeper) return;
  sweeper = new QTimer(QCoreApplication::instance());
  QObject::connect(sweeper, &QTimer::timeout, sweeper, &Sweep);
  sweeper->start(kSweepMilliseconds);
  Sweep();
}

void SetMainLoopEnder(std::function<void()> ender) { endMainLoop = std::move(ender); }

void ResetQuitRequest() {
  requested = false;
  delete sweeper;
}

WorkerLoopScope::WorkerLoopScope() { ++workerLoops; }
WorkerLoopScope::~WorkerLoopScope() { --workerLoops; }

bool WorkerLoopRunning() { return workerLoops > 0; }

}  // namespace lumafold::ui
