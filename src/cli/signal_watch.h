// Stopping a console batch: the signals that end it, read on a thread of
// their own, and the wait for a worker thread with the progress line.
#pragma once

#include <signal.h>

#include <atomic>
#include <functional>
#include <thread>

#include "cli/console.h"
#include "engine/app_context.h"

namespace lumafold {

// Ctrl-C, a polite kill and a closed terminal (SIGHUP) stop the batch
// after the files in hand: the converters running now are killed with
// their process groups (a file whose converter was killed is not written),
// no new file starts, and the run ends normally, leaving nothing behind. A
// second signal ends the process at once, after removing the run folders
// and temporary outputs.
//
// The signals are blocked in every thread of the batch and read from a
// signalfd by a watcher thread of its own, so that both reactions run as
// ordinary code rather than in a signal handler.
class SignalWatch {
 public:
  explicit SignalWatch(RunProgress& progress);
  ~SignalWatch();
  SignalWatch(const SignalWatch&) = delete;
  SignalWatch& operator=(const SignalWatch&) = delete;

  // The first signal received, 0 when none came.
  int stopSignal() const { return stopSignal_.load(); }

 private:
  void watch();

  RunProgress& progress_;
  sigset_t signals_{};
  sigset_t previous_{};
  bool blocked_ = false;
  int signalFd_ = -1;
  int endFd_ = -1;
  std::atomic<int> stopSignal_{0};
  std::thread watcher_;
};

// Runs `work` on a thread of its own and waits for it. While a conversion
// runs, the progress line shows the file in hand.
void RunOnWorkerThread(AppContext& context, Console& console, bool showProgress,
                       const std::function<void()>& work);

}  // namespace lumafold
