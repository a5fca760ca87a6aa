// The signal watch and the worker-thread wait of a console batch. Kept
// apart from the batch itself because it is the one part that runs beside
// the worker: a thread reading a signalfd, and the poll that draws the
// progress line while the worker converts.
#include "cli/signal_watch.h"

#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <future>
#include <mutex>
#include <string>
#include <system_error>

#include "cli/batch_run.h"
#include "engine/run/child_process.h"
#include "engine/run/run_leftovers.h"

namespace lumafold {

namespace {

std::string FileNamePart(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

SignalWatch::SignalWatch(RunProgress& progress) : progress_(progress) {
  AllowChildren();
  sigemptyset(&signals_);
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&signals_, signal);
  if (::pthread_sigmask(SIG_BLOCK, &signals_, &previous_) != 0) return;
  blocked_ = true;
  signalFd_ = ::signalfd(-1, &signals_, SFD_CLOEXEC);
  endFd_ = ::eventfd(0, EFD_CLOEXEC);
  if (signalFd_ >= 0 && endFd_ >= 0) {
    try {
      watcher_ = std::thread([this] { watch(); });
    } catch (const std::system_error&) {
    }
  }
  // Without a watcher the signals keep their old effect rather than none.
  if (!watcher_.joinable()) {
    ::pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
    blocked_ = false;
  }
}
SignalWatch::~SignalWatch() {
  if (watcher_.joinable()) {
    const std::uint64_t one = 1;
    while (::write(endFd_, &one, sizeof one) < 0 && errno == EINTR) {
    }
    watcher_.join();
  }
  if (signalFd_ >= 0) ::close(signalFd_);
  if (endFd_ >= 0) ::close(endFd_);
  if (blocked_) ::pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
}

void SignalWatch::watch() {
  for (;;) {
    pollfd watched[2] = {{signalFd_, POLLIN, 0}, {endFd_, POLLIN, 0}};
    if (::poll(watched, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (watched[1].revents != 0) return;
    signalfd_siginfo info{};
    if (::read(signalFd_, &info, sizeof info) != static_cast<ssize_t>(sizeof info)) continue;
    const int signal = static_cast<int>(info.ssi_signo);
    int none = 0;
    if (stopSignal_.compare_exchange_strong(none, signal)) {
      // No file starts after this one, then the converters end: a
      // worker freed by the kill must find the run already stopped.
      progress_.running = false;
      StopChildren();
      continue;
    }
    RemoveLeftoversForExit();
    ::_exit(ExitStatusForSignal(signal));
  }
}

void RunOnWorkerThread(AppContext& context, Console& console, bool showProgress,
                       const std::function<void()>& work) {
  {
    std::lock_guard<std::mutex> hold(context.progress.lock);
    context.progress.processedCount = 0;
    context.progress.currentFile.clear();
    context.progress.convertedCount = 0;
    context.progress.endedCount = 0;
  }
  context.progress.running = true;
  std::promise<void> finished;
  std::future<void> done = finished.get_future();
  std::thread worker([&] {
    work();
    finished.set_value();
  });
  const int total = static_cast<int>(context.inputs.size());
  while (done.wait_for(std::chrono::milliseconds(100)) != std::future_status::ready) {
    if (showProgress) {
      int begun = 0;
      int ended = 0;
      std::string current;
      {
        std::lock_guard<std::mutex> hold(context.progress.lock);
        begun = context.progress.processedCount;
        ended = context.progress.endedCount;
        current = context.progress.currentFile;
      }
      if (begun > 0) console.Progress(ended, begun, total, FileNamePart(current));
    }
  }
  if (showProgress) console.ClearProgress();
  worker.join();
}

}  // namespace lumafold
