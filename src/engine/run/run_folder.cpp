#include "engine/run/run_folder.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string_view>
#include <system_error>
#include <vector>

#include "engine/run/run_leftovers.h"

namespace lumafold {

namespace {

constexpr std::string_view kPrefix = "lumafold-";

// A 16Base picture as the intermediate BMP (3072 x 2048 x 3 bytes and its
// header), with its input link: less room than that fails every such file.
constexpr unsigned long long kRoomForOnePicture = 3072ull * 2048ull * 3ull + 4096ull;

// The process id in "lumafold-PID-XXXXXX"; 0 for any other name.
pid_t OwnerOf(std::string_view name) {
  if (!name.starts_with(kPrefix)) return 0;
  name.remove_prefix(kPrefix.size());
  const std::size_t dash = name.find('-');
  if (dash == std::string_view::npos || dash == 0 || name.size() - dash - 1 != 6) return 0;
  long long pid = 0;
  for (char c : name.substr(0, dash)) {
    if (c < '0' || c > '9' || pid > 1'000'000'000) return 0;
    pid = pid * 10 + (c - '0');
  }
  return static_cast<pid_t>(pid);
}

bool ProcessIsGone(pid_t pid) { return ::kill(pid, 0) != 0 && errno == ESRCH; }

// The folder's lock is free only when no live run holds it, in this or
// any other pid namespace that shares the folder.
bool LockIsFree(int dirFd) {
  if (::flock(dirFd, LOCK_EX | LOCK_NB) != 0) return false;
  ::flock(dirFd, LOCK_UN);
  return true;
}

}  // namespace

std::string TemporaryFolderBase() {
  const char* base = std::getenv("TMPDIR");
  std::string folder = (base && *base) ? base : "/tmp";
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

std::string TemporaryFolderProblem() {
  const std::string base = TemporaryFolderBase();
  struct stat info {};
  if (::stat(base.c_str(), &info) != 0) return base + ": " + std::strerror(errno);
  if (!S_ISDIR(info.st_mode)) return base + ": " + std::strerror(ENOTDIR);
  if (::access(base.c_str(), W_OK | X_OK) != 0) return base + ": " + std::strerror(errno);
  struct statvfs room {};
  if (::statvfs(base.c_str(), &room) == 0) {
    const unsigned long long free = static_cast<unsigned long long>(room.f_bavail) * room.f_frsize;
    if (free < kRoomForOnePicture || (room.f_files != 0 && room.f_favail == 0))
      return base + ": " + std::strerror(ENOSPC);
  }
  return {};
}

void RemoveStaleRunFolders(const std::string& base) {
  DIR* folder = ::opendir(base.c_str());
  if (!folder) return;
  std::vector<std::string> stale;
  const uid_t me = ::geteuid();
  while (const dirent* entry = ::readdir(folder)) {
    const pid_t owner = OwnerOf(entry->d_name);
    if (owner <= 0 || owner == ::getpid() || !ProcessIsGone(owner)) continue;
    const std::string path = base + "/" + entry->d_name;
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat info {};
    if (::fstat(fd, &info) == 0 && info.st_uid == me && LockIsFree(fd)) stale.push_back(path);
    ::close(fd);
  }
  ::closedir(folder);
  for (const std::string& path : stale) RemoveTree(path);
}

RunFolder::RunFolder() {
  const std::string base = TemporaryFolderBase();
  RemoveStaleRunFolders(base);
  std::string pattern = base + "/" + std::string(kPrefix) + std::to_string(::getpid()) + "-XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (!::mkdtemp(buffer.data())) return;
  path_ = buffer.data();
  TrackLeftover(path_);
  lockFd_ = ::open(path_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (lockFd_ >= 0) ::flock(lockFd_, LOCK_EX | LOCK_NB);
}

RunFolder::~RunFolder() {
  if (valid()) {
    RemoveTree(path_);
    ForgetLeftover(path_);
  }
  if (lockFd_ >= 0) ::close(lockFd_);
}

void RemoveTree(const std::string& path) {
  // std::filesystem::remove_all removes symbolic links themselves and never
  // what they point at.
  std::error_code ignored;
  std::filesystem::remove_all(path, ignored);
}

}  // namespace lumafold
