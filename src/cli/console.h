// The text console of a command-line run: status and trace lines on standard
// output, "Error: " lines on standard error, the rewritten progress line and
// the key wait. Lines may come from the worker thread (trace) while the main
// thread draws progress, so every write goes through one lock.
#pragma once

#include <chrono>
#include <cstdio>
#include <mutex>
#include <string>
#include <string_view>

namespace lumafold {

// The progress line's text: a bar, the percentage of files done, "(k/N)"
// with the number of the file last begun, and once a file is done the
// files per second and the time left, then that file's name, e.g.
//   [########------------]  40% (6/12) 1.3 files/s, 0:05 left  pic0102.pcd
std::string ProgressLineText(int done, int begun, int total, double elapsedSeconds,
                             std::string_view fileName);

class Console {
 public:
  // `inputFd` is polled by WaitForKey.
  explicit Console(std::FILE* out = stdout, std::FILE* err = stderr, int inputFd = 0);
  ~Console();

  Console(const Console&) = delete;
  Console& operator=(const Console&) = delete;

  // Sets the terminal's title to the title line (only on a terminal).
  void SetTitle();

  // One line on standard output.
  void Line(std::string_view text);
  // "Error: " + text on standard error.
  void Error(std::string_view text);
  // One line on standard error as it stands (warnings, details). Never
  // suppressed by -q: it is not a status line.
  void Note(std::string_view text);

  // The in-place progress line (ProgressLineText) on standard error. Drawn
  // only when it is enabled and standard error is a terminal, so that pipes
  // and logs see exactly the documented lines.
  void EnableProgress(bool enabled);
  bool ProgressShown() const { return progressEnabled_; }
  void Progress(int done, int begun, int total, std::string_view fileName);
  void ClearProgress();

  // When standard input is a terminal: optionally prints the prompt, then
  // waits for one key that yields a character (raw mode, no echo). Returns
  // at once otherwise, so scripts never hang.
  void WaitForKey(bool withPrompt);

 private:
  void EraseProgressLocked();
  void DrawProgressLocked();

  std::FILE* out_;
  std::FILE* err_;
  int inputFd_;
  bool outIsTerminal_;
  bool errIsTerminal_;
  bool progressEnabled_ = false;
  std::string progressText_;  // what is on the line now, empty when cleared
  // When the line was first drawn, for the rate and the time left.
  std::chrono::steady_clock::time_point progressStart_{};
  bool progressStarted_ = false;
  std::mutex lock_;
};

}  // namespace lumafold
