#include "run_program.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <thread>

extern char** environ;

namespace lumafold::testing {

std::string ProgramPath() {
  const char* path = std::getenv("LUMAFOLD_TEST_BIN");
  return path != nullptr ? path : std::string(LUMAFOLD_BINARY_DIR) + "/src/app/lumafold";
}

ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& parameters,
                      const ProgramOptions& options) {
  ProgramRun run;
  int outPipe[2], errPipe[2], inPipe[2];
  if (pipe2(outPipe, O_CLOEXEC) != 0 || pipe2(errPipe, O_CLOEXEC) != 0 ||
      pipe2(inPipe, O_CLOEXEC) != 0) {
    return run;
  }

  std::vector<std::string> environment;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string entry = *e;
    const std::string name = entry.substr(0, entry.find('='));
    if (options.environment.count(name) == 0) environment.push_back(entry);
  }
  for (const auto& [name, value] : options.environment) {
    if (value) environment.push_back(name + "=" + *value);
  }
  std::vector<char*> envp;
  for (std::string& entry : environment) envp.push_back(entry.data());
  envp.push_back(nullptr);
  std::vector<std::string> args = {program};
  args.insert(args.end(), parameters.begin(), parameters.end());
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);

  const pid_t pid = fork();
  if (pid == 0) {
    if (options.silentOpenStdin) {
      dup2(inPipe[0], 0);
    } else {
      const int null = open("/dev/null", O_RDONLY);
      dup2(null, 0);
    }
    dup2(outPipe[1], 1);
    dup2(errPipe[1], 2);
    execve(program.c_str(), argv.data(), envp.data());
    _exit(127);
  }
  close(outPipe[1]);
  close(errPipe[1]);
  close(inPipe[0]);
  if (pid < 0) {
    close(outPipe[0]);
    close(errPipe[0]);
    close(inPipe[1]);
    return run;
  }

  std::thread companion;
  if (options.whileRunning) companion = std::thread(options.whileRunning, static_cast<int>(pid));

  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::seconds(options.timeLimitSeconds);
  pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
  std::string* sinks[2] = {&run.out, &run.err};
  int openCount = 2;
  while (openCount > 0) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      run.timedOut = true;
      kill(pid, SIGKILL);
      break;
    }
    if (poll(fds, 2, static_cast<int>(left.count())) < 0) break;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buffer[4096];
      const ssize_t got = read(fds[i].fd, buffer, sizeof buffer);
      if (got > 0) {
        sinks[i]->append(buffer, static_cast<std::size_t>(got));
      } else {
        close(fds[i].fd);
        fds[i].fd = -1;
        --openCount;
      }
    }
  }
  for (pollfd& fd : fds) {
    if (fd.fd >= 0) close(fd.fd);
  }
  close(inPipe[1]);
  int status = 0;
  waitpid(pid, &status, 0);
  if (companion.joinable()) companion.join();
  if (WIFEXITED(status) && !run.timedOut) run.status = WEXITSTATUS(status);
  if (WIFSIGNALED(status) && !run.timedOut) run.signal = WTERMSIG(status);
  return run;
}

TempFolder::TempFolder() {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern =
      std::string(tmp != nullptr && tmp[0] != '\0' ? tmp : "/tmp") + "/lumafold-app-test-XXXXXX";
  if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
}

TempFolder::~TempFolder() {
  if (path_.empty()) return;
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

}  // namespace lumafold::testing
