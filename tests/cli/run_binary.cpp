#include "run_binary.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace lumafold::testing {

namespace {

std::string ReadWhole(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

}  // namespace

std::string LumafoldBinary() {
  const char* binary = std::getenv("LUMAFOLD_TEST_BIN");
  if (binary && *binary) return binary;
  return std::string(LUMAFOLD_BINARY_DIR) + "/src/app/lumafold";
}

std::string SamplesFolder() { return std::string(LUMAFOLD_SOURCE_DIR) + "/samples"; }

std::map<std::string, std::string> IsolatedEnvironment(const std::string& home) {
  std::map<std::string, std::string> environment;
  for (char** entry = environ; *entry; ++entry) {
    const std::string text = *entry;
    const std::size_t equals = text.find('=');
    if (equals == std::string::npos) continue;
    environment[text.substr(0, equals)] = text.substr(equals + 1);
  }
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "LUMAFOLD_CONVERT"})
    environment.erase(name);
  std::filesystem::create_directories(home + "/.run");
  std::filesystem::permissions(home + "/.run", std::filesystem::perms::owner_all);
  environment["HOME"] = home;
  environment["XDG_CONFIG_HOME"] = home + "/.config";
  environment["XDG_RUNTIME_DIR"] = home + "/.run";
  return environment;
}

RunResult Run(const std::string& program, const std::vector<std::string>& arguments,
              const std::string& workingDirectory,
              const std::map<std::string, std::string>& environment, int timeoutSeconds) {
  RunResult result;
  ScratchFolder capture("lumafold-capture");
  const std::string outPath = capture.path() + "/out";
  const std::string errPath = capture.path() + "/err";

  // Everything the child needs is built before fork: only async-signal-safe
  // calls may follow it in a threaded test process.
  std::vector<std::string> argvText{program};
  argvText.insert(argvText.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (auto& text : argvText) argv.push_back(text.data());
  argv.push_back(nullptr);
  std::vector<std::string> envText;
  for (const auto& [name, value] : environment) envText.push_back(name + "=" + value);
  std::vector<char*> envp;
  for (auto& text : envText) envp.push_back(text.data());
  envp.push_back(nullptr);

  const int in = open("/dev/null", O_RDONLY | O_CLOEXEC);
  const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  const pid_t child = fork();
  if (child == 0) {
    if (chdir(workingDirectory.c_str()) != 0) _exit(126);
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    execve(argv[0], argv.data(), envp.data());
    _exit(127);
  }
  close(in);
  close(out);
  close(err);
  if (child < 0) return result;

  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
  int waitStatus = 0;
  while (waitpid(child, &waitStatus, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(child, SIGKILL);
      waitpid(child, &waitStatus, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  result.status = WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : -1;
  result.out = ReadWhole(outPath);
  result.err = ReadWhole(errPath);
  return result;
}

ScratchFolder::ScratchFolder(const std::string& prefix) {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/" + prefix + "-XXXXXX";
  if (mkdtemp(pattern.data())) path_ = pattern;
}

ScratchFolder::~ScratchFolder() {
  std::error_code ignored;
  if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
}

}  // namespace lumafold::testing
