// Runs the built lumafold binary the way a user's shell would: an argument
// vector, a working directory, a scrubbed environment (no display, private
// runtime and config folders), standard input from /dev/null, and standard
// output and error captured separately.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace lumafold::testing {

struct RunResult {
  int status = -1;  // exit status, or -1 when killed or not started
  std::string out;
  std::string err;
};

// The binary under test (LUMAFOLD_TEST_BIN, set by ctest).
std::string LumafoldBinary();

// The repository's samples folder.
std::string SamplesFolder();

// The environment for a run whose private folders live below `home`: HOME,
// XDG_CONFIG_HOME and XDG_RUNTIME_DIR point there (so parallel runs never
// share the instance guard), and DISPLAY, WAYLAND_DISPLAY and
// QT_QPA_PLATFORM are removed: the command line must not need a display.
std::map<std::string, std::string> IsolatedEnvironment(const std::string& home);

// Runs `program` with `arguments` (argv[1..]) in `workingDirectory`; kills
// it after `timeoutSeconds`.
RunResult Run(const std::string& program, const std::vector<std::string>& arguments,
              const std::string& workingDirectory,
              const std::map<std::string, std::string>& environment, int timeoutSeconds = 300);

// A fresh folder below $TMPDIR (default /tmp), removed by the destructor.
class ScratchFolder {
 public:
  explicit ScratchFolder(const std::string& prefix = "lumafold-cli");
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace lumafold::testing
