// Ending the window face on a request from outside the window: the session
// ending (SIGTERM at logout, `systemctl stop`, `kill`) or Ctrl+C in the
// terminal that started it. Whatever is open then - the start-up update
// question, the preferences, a message box, a conversion or an import - is
// wound down so that the quit path still records the window and writes the
// settings file.
#pragma once

#include <functional>

namespace lumafold::ui {

// True once a quit was requested. Progress loops read it: they stop their
// worker after the files in hand (as a Yes to the break question does) and
// end without waiting for OK; loops over many files stop between files.
bool QuitRequested();

// Sets the flag and, from then on every few milliseconds until the process
// ends, closes the dialogs that are open (as Cancel or No) and ends the
// event loops; while a progress loop waits for its worker only the dialogs
// above it are closed. Call it on the interface thread.
void RequestQuit();

// How the sweep ends the main event loop (the window face passes
// QCoreApplication::exit). Without one, only dialogs are closed: ending
// loops marks the thread so that every later event loop ends at once,
// which only the real quit may do.
void SetMainLoopEnder(std::function<void()> ender);

// Back to "not requested" and the sweeping stopped (tests that run several
// windows in one process).
void ResetQuitRequest();

// Marks a progress loop (conversion, import, export) for its lifetime: the
// loop ends itself once its worker has stopped, so the sweep leaves its
// dialog and its event loop alone.
class WorkerLoopScope {
 public:
  WorkerLoopScope();
  ~WorkerLoopScope();
  WorkerLoopScope(const WorkerLoopScope&) = delete;
  WorkerLoopScope& operator=(const WorkerLoopScope&) = delete;
};

// True while a progress loop lasts, from its dialog's opening to its closing
// (the progress record's running flag stays set after a run that ended).
bool WorkerLoopRunning();

// The property a progress dialog carries so that the sweep does not close it.
inline constexpr char kEndsWithItsWorker[] = "lumafoldEndsWithItsWorker";

}  // namespace lumafold::ui
