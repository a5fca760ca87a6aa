// Starts the built program the way a user or a script does and collects what
// it printed.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace lumafold::testing {

struct ProgramRun {
  int status = -1;        // exit status; -1 when it did not exit normally
  int signal = 0;         // the signal that ended it, 0 when it exited
  bool timedOut = false;  // killed after the time limit
  std::string out;
  std::string err;
};

struct ProgramOptions {
  // Variables to set (a value) or remove (nullopt) in the child's environment.
  std::map<std::string, std::optional<std::string>> environment;
  // Standard input is a pipe that stays open and silent for the whole run, so
  // a program that waits for input hangs until the time limit.
  bool silentOpenStdin = true;
  int timeLimitSeconds = 20;
  // Runs on a thread of its own once the program started (to signal it).
  std::function<void(int pid)> whileRunning;
};

// Path of the built program (LUMAFOLD_TEST_BIN).
std::string ProgramPath();

// Runs `program` with argv[0] = `program` and the given parameters.
ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& parameters,
                      const ProgramOptions& options = {});

// A fresh folder under $TMPDIR, removed with its contents by the destructor.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace lumafold::testing
