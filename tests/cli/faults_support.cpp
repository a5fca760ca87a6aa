#include "faults_support.h"

#include <fcntl.h>
#include <grp.h>
#include <linux/fs.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "run_binary.h"

namespace lumafold::testing {

namespace fs = std::filesystem;

namespace {

constexpr uid_t kNobody = 65534;

std::string Quoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

std::string ShellOutput(const std::string& command) {
  const char* path = std::getenv("PATH");
  const RunResult run =
      Run("/bin/sh", {"-c", command}, "/", {{"PATH", path ? path : "/usr/bin:/bin"}}, 120);
  return run.status == 0 ? run.out : std::string();
}

}  // namespace

FaultScratch::FaultScratch() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/lumafold-faults-XXXXXX";
  if (!::mkdtemp(pattern.data())) return;
  path_ = pattern;
  // Reachable by the unprivileged user of the read-only cases.
  ::chmod(path_.c_str(), 0755);
  for (const std::string& folder : {home(), tmp(), in(), out()}) fs::create_directories(folder);
}

FaultScratch::~FaultScratch() {
  if (path_.empty()) return;
  std::error_code ignored;
  // A read-only case may leave folders without write permission.
  for (const auto& entry : fs::recursive_directory_iterator(path_, ignored))
    if (entry.is_directory(ignored)) fs::permissions(entry.path(), fs::perms::owner_all, ignored);
  fs::remove_all(path_, ignored);
}

std::map<std::string, std::string> FaultScratch::environment() const {
  auto environment = IsolatedEnvironment(home());
  environment["TMPDIR"] = tmp();
  return environment;
}

void HandToUnprivileged(const std::string& path) {
  std::error_code ignored;
  if (::lchown(path.c_str(), UnprivilegedUid(), UnprivilegedGid()) != 0) return;
  if (!fs::is_directory(fs::symlink_status(path, ignored))) return;
  for (const auto& entry : fs::recursive_directory_iterator(path, ignored))
    (void)::lchown(entry.path().c_str(), UnprivilegedUid(), UnprivilegedGid());
}

namespace {

// Whether every folder on the way to `path` lets others through and the
// file itself lets them in (`bits`: S_IROTH, S_IXOTH).
bool ReachableByOthers(const std::string& path, mode_t bits) {
  std::error_code error;
  const fs::path full = fs::canonical(path, error);
  if (error) return false;
  struct stat info {};
  fs::path walked = "/";
  for (const auto& part : full.relative_path()) {
    if (::stat(walked.c_str(), &info) != 0 || (info.st_mode & S_IXOTH) == 0) return false;
    walked /= part;
  }
  return ::stat(full.c_str(), &info) == 0 && (info.st_mode & bits) == bits;
}

// The leak suppressions file the sanitizer build reads, if one is named.
std::string SuppressionsFile(const std::map<std::string, std::string>& environment) {
  const auto found = environment.find("LSAN_OPTIONS");
  if (found == environment.end()) return {};
  const std::size_t at = found->second.find("suppressions=");
  if (at == std::string::npos) return {};
  const std::string rest = found->second.substr(at + 13);
  return rest.substr(0, rest.find(':'));
}

bool SetImmutable(const std::string& folder, bool on) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  int flags = 0;
  bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
  if (ok) {
    flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
    ok = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
  }
  ::close(fd);
  return ok;
}

}  // namespace

ReadOnlyFolder::ReadOnlyFolder(const FaultScratch& scratch, const std::string& folder,
                               FaultOptions& options)
    : folder_(folder) {
  if (::geteuid() != 0) {
    if (::chmod(folder.c_str(), 0555) == 0) way_ = "mode";
    return;
  }
  const std::string suppressions = SuppressionsFile(options.environment);
  if (ReachableByOthers(LumafoldBinary(), S_IROTH | S_IXOTH) &&
      (suppressions.empty() || ReachableByOthers(suppressions, S_IROTH))) {
    HandToUnprivileged(scratch.path());
    if (::chmod(folder.c_str(), 0555) == 0) {
      options.unprivileged = true;
      way_ = "unprivileged user";
    }
    return;
  }
  if (SetImmutable(folder, true)) way_ = "immutable";
}

ReadOnlyFolder::~ReadOnlyFolder() {
  if (way_ == "immutable") SetImmutable(folder_, false);
}

uid_t UnprivilegedUid() { return ::geteuid() == 0 ? kNobody : ::geteuid(); }
gid_t UnprivilegedGid() { return ::geteuid() == 0 ? kNobody : ::getegid(); }

FaultRun RunLumafoldUnder(const std::vector<std::string>& arguments, const FaultOptions& options) {
  FaultRun result;
  FaultScratch capture;
  const std::string outPath = capture.path() + "/stdout";
  const std::string errPath = capture.path() + "/stderr";

  const bool dropRoot = options.unprivileged && ::geteuid() == 0;

  std::vector<std::string> argvText{LumafoldBinary()};
  argvText.insert(argvText.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (auto& text : argvText) argv.push_back(text.data());
  argv.push_back(nullptr);
  std::vector<std::string> envText;
  for (const auto& [name, value] : options.environment) envText.push_back(name + "=" + value);
  std::vector<char*> envp;
  for (auto& text : envText) envp.push_back(text.data());
  envp.push_back(nullptr);
  const std::string directory =
      options.workingDirectory.empty() ? std::string("/") : options.workingDirectory;

  const int in = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (options.closedStdout) {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) return result;
    ::close(ends[0]);
    ::close(out);
    out = ends[1];
  }
  const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  const auto started = std::chrono::steady_clock::now();
  const pid_t child = ::fork();
  if (child == 0) {
    // Only async-signal-safe calls between fork and exec.
    if (options.fileSizeLimit >= 0) {
      const rlimit limit{static_cast<rlim_t>(options.fileSizeLimit),
                         static_cast<rlim_t>(options.fileSizeLimit)};
      if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(125);
    }
    if (dropRoot &&
        (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0))
      ::_exit(125);
    if (::chdir(directory.c_str()) != 0) ::_exit(126);
    ::dup2(in, 0);
    ::dup2(out, 1);
    ::dup2(err, 2);
    ::execve(argv[0], argv.data(), envp.data());
    ::_exit(127);
  }
  ::close(in);
  ::close(out);
  ::close(err);
  if (child < 0) return result;
  if (options.whileRunning) options.whileRunning(child);

  const auto deadline = started + std::chrono::seconds(options.timeoutSeconds);
  int waitStatus = 0;
  while (::waitpid(child, &waitStatus, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(child, SIGKILL);
      ::waitpid(child, &waitStatus, 0);
      result.timedOut = true;
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  result.seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  result.status = WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : -1;
  result.signal = WIFSIGNALED(waitStatus) ? WTERMSIG(waitStatus) : 0;
  result.out = ReadText(outPath);
  result.err = ReadText(errPath);
  return result;
}

std::string Dump(const FaultRun& run) { return "stdout:\n" + run.out + "stderr:\n" + run.err; }

FaultOptions OptionsFor(const FaultScratch& scratch) {
  FaultOptions options;
  options.environment = scratch.environment();
  return options;
}

FaultOptions WithConverter(const FaultScratch& scratch, const std::string& converter) {
  FaultOptions options = OptionsFor(scratch);
  options.environment["LUMAFOLD_CONVERT"] = converter;
  return options;
}

bool WaitUntil(const std::function<bool()>& ready, int seconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (!ready()) {
    if (std::chrono::steady_clock::now() > deadline) return ready();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

void WriteScript(const std::string& path, const std::string& body) {
  WriteText(path, "#!/bin/sh\n" + body);
  ::chmod(path.c_str(), 0755);
}

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << text;
}

std::string ReadText(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

Names FolderNames(const std::string& folder) {
  Names names;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(folder, error))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::string IdentifySize(const std::string& path) {
  // ImageMagick reads "[1]", "%" and "name:" in a file name as its own
  // syntax, so it gets a plain link to the file.
  FaultScratch plain;
  const std::string link = plain.path() + "/image" + fs::path(path).extension().string();
  if (::symlink(path.c_str(), link.c_str()) != 0) return {};
  return ShellOutput("identify -format '%w %h' " + Quoted(link) + " 2>/dev/null");
}

long long DifferentPixels(const std::string& a, const std::string& b) {
  // compare prints the count on standard error and exits 1 when they differ.
  const std::string text =
      ShellOutput("compare -metric AE " + Quoted(a) + " " + Quoted(b) + " null: 2>&1; true");
  if (text.empty() || !std::isdigit(static_cast<unsigned char>(text.front()))) return -1;
  return std::atoll(text.c_str());
}

std::map<std::string, TracedFile> TraceOutcomes(const std::string& out) {
  std::map<std::string, TracedFile> files;
  std::istringstream lines(out);
  std::string current;
  for (std::string line; std::getline(lines, line);) {
    if (line.starts_with("Processing: ")) {
      current = line.substr(12);
      files[current];
    } else if (!current.empty() && line.starts_with("Reason: ")) {
      files[current].reason = line.substr(8);
    } else if (!current.empty() && (line == "OK" || line == "Not OK")) {
      files[current].outcome = line;
      current.clear();
    }
  }
  return files;
}

void CopySample(const std::string& sample, const std::string& folder, const std::string& name) {
  fs::copy_file(SamplesFolder() + "/" + sample, folder + "/" + (name.empty() ? sample : name),
                fs::copy_options::overwrite_existing);
}

void CopySamples(const std::vector<std::string>& samples, const std::string& folder) {
  for (const std::string& sample : samples) CopySample(sample, folder);
}

}  // namespace lumafold::testing
