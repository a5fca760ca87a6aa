// The console's writing side: one lock around every line, so that trace
// lines from the worker never split a progress line of the main thread.
#include "cli/console.h"

#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>

#include "cli/help_text.h"

namespace lumafold {

namespace {

constexpr std::string_view kEraseLine = "\r\x1b[K";

int TerminalColumns(std::FILE* stream) {
  winsize size{};
  if (ioctl(fileno(stream), TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  return 80;
}

// Keeps at most `columns` characters of UTF-8 text, cutting only between
// characters: a line longer than the terminal would wrap, and "\r" could then
// no longer rewrite it in place.
std::string FitColumns(std::string_view text, int columns) {
  std::string fitted;
  int shown = 0;
  for (char c : text) {
    const bool startsCharacter = (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    if (startsCharacter && ++shown > columns) break;
    fitted += c;
  }
  return fitted;
}

}  // namespace

std::string ProgressLineText(int doneCount, int begun, int total, double elapsedSeconds,
                             std::string_view fileName) {
  constexpr int kBarWidth = 20;
  const int done = std::clamp(doneCount, 0, std::max(total, 0));
  const int percent = total > 0 ? done * 100 / total : 0;
  const int filled = total > 0 ? done * kBarWidth / total : 0;
  std::string text = "[";
  text.append(static_cast<std::size_t>(filled), '#');
  text.append(static_cast<std::size_t>(kBarWidth - filled), '-');
  char numbers[96];
  std::snprintf(numbers, sizeof numbers, "] %3d%% (%d/%d)", percent, begun, total);
  text += numbers;
  // Before the first file is done there is no rate to tell.
  if (done > 0 && elapsedSeconds > 0.0) {
    const double rate = done / elapsedSeconds;
    // Files that take longer than ten seconds each read better per file.
    if (rate >= 0.1)
      std::snprintf(numbers, sizeof numbers, " %.1f files/s, ", rate);
    else
      std::snprintf(numbers, sizeof numbers, " %.0f s/file, ", 1.0 / rate);
    text += numbers;
    const long left = std::lround((total - done) / rate);
    if (left >= 3600)
      std::snprintf(numbers, sizeof numbers, "%ld:%02ld:%02ld left", left / 3600, left / 60 % 60,
                    left % 60);
    else
      std::snprintf(numbers, sizeof numbers, "%ld:%02ld left", left / 60, left % 60);
    text += numbers;
  }
  text += "  ";
  text += fileName;
  return text;
}

Console::Console(std::FILE* out, std::FILE* err, int inputFd)
    : out_(out),
      err_(err),
      inputFd_(inputFd),
      outIsTerminal_(isatty(fileno(out)) == 1),
      errIsTerminal_(isatty(fileno(err)) == 1) {}

Console::~Console() {
  ClearProgress();
  std::fflush(out_);
  std::fflush(err_);
}

void Console::SetTitle() {
  std::lock_guard<std::mutex> hold(lock_);
  SetConsoleTitle(out_);
}

void Console::Line(std::string_view text) {
  std::lock_guard<std::mutex> hold(lock_);
  // The progress line and the trace share one terminal when both streams
  // are on it: lift the progress line, print, and put it back below.
  const bool lift = !progressText_.empty() && outIsTerminal_;
  if (lift) EraseProgressLocked();
  std::fwrite(text.data(), 1, text.size(), out_);
  std::fputc('\n', out_);
  std::fflush(out_);
  if (lift) DrawProgressLocked();
}

void Console::Error(std::string_view text) {
  std::lock_guard<std::mutex> hold(lock_);
  const bool lift = !progressText_.empty();
  if (lift) EraseProgressLocked();
  std::fputs("Error: ", err_);
  std::fwrite(text.data(), 1, text.size(), err_);
  std::fputc('\n', err_);
  std::fflush(err_);
  if (lift) DrawProgressLocked();
}

void Console::Note(std::string_view text) {
  std::lock_guard<std::mutex> hold(lock_);
  const bool lift = !progressText_.empty();
  if (lift) EraseProgressLocked();
  std::fwrite(text.data(), 1, text.size(), err_);
  std::fputc('\n', err_);
  std::fflush(err_);
  if (lift) DrawProgressLocked();
}

void Console::EnableProgress(bool enabled) { progressEnabled_ = enabled && errIsTerminal_; }

void Console::Progress(int done, int begun, int total, std::string_view fileName) {
  if (!progressEnabled_) return;
  std::lock_guard<std::mutex> hold(lock_);
  const auto now = std::chrono::steady_clock::now();
  if (!progressStarted_) {
    progressStart_ = now;
    progressStarted_ = true;
  }
  const double elapsed = std::chrono::duration<double>(now - progressStart_).count();
  std::string text = FitColumns(ProgressLineText(done, begun, total, elapsed, fileName),
                                TerminalColumns(err_) - 1);
  if (text == progressText_) return;
  progressText_ = std::move(text);
  DrawProgressLocked();
}

void Console::ClearProgress() {
  std::lock_guard<std::mutex> hold(lock_);
  progressStarted_ = false;
  if (progressText_.empty()) return;
  EraseProgressLocked();
  progressText_.clear();
}

void Console::EraseProgressLocked() {
  std::fwrite(kEraseLine.data(), 1, kEraseLine.size(), err_);
  std::fflush(err_);
}

void Console::DrawProgressLocked() {
  std::fwrite(kEraseLine.data(), 1, kEraseLine.size(), err_);
  std::fwrite(progressText_.data(), 1, progressText_.size(), err_);
  std::fflush(err_);
}

void Console::WaitForKey(bool withPrompt) {
  if (isatty(inputFd_) != 1) return;
  if (withPrompt) Line("Press any key to exit.");
  termios saved{};
  if (tcgetattr(inputFd_, &saved) != 0) return;
  termios raw = saved;
  raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;
  tcsetattr(inputFd_, TCSANOW, &raw);
  // A key without a character (Shift alone) sends no byte, so the first
  // byte read is the first key that yields one.
  char key = 0;
  while (read(inputFd_, &key, 1) < 0 && errno == EINTR) {
  }
  // The rest of a multi-byte key (an arrow's escape sequence) is discarded
  // with it instead of reaching the shell.
  tcflush(inputFd_, TCIFLUSH);
  tcsetattr(inputFd_, TCSANOW, &saved);
}

}  // namespace lumafold
