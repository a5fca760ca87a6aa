#include "app/instance_guard.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "settings/product.h"

namespace lumafold {
namespace {

std::string EnvironmentFolder(const char* name) {
  const char* value = std::getenv(name);
  // Relative values are invalid by the XDG rules and would make the guard
  // depend on the working folder.
  if (value == nullptr || value[0] != '/') return {};
  std::string folder = value;
  if (folder.back() != '/') folder += '/';
  return folder;
}

// Creates each missing folder of `folder` (which ends in "/") with mode 0700.
void MakeFolders(const std::string& folder) {
  for (std::size_t at = folder.find('/', 1); at != std::string::npos;
       at = folder.find('/', at + 1)) {
    ::mkdir(folder.substr(0, at).c_str(), 0700);
  }
}

}  // namespace

std::string InstanceGuardPath() {
  const std::string fileName = TitleLine() + ".lock";
  std::string folder = EnvironmentFolder("XDG_RUNTIME_DIR");
  if (!folder.empty()) return folder + fileName;
  folder = EnvironmentFolder("XDG_CONFIG_HOME");
  if (folder.empty()) {
    folder = EnvironmentFolder("HOME");
    if (folder.empty()) folder = "/tmp/";
    folder += ".config/";
  }
  folder += std::string(kMakerName) + "/lumafold/";
  MakeFolders(folder);
  return folder + fileName;
}

InstanceGuard::~InstanceGuard() { Release(); }

InstanceGuard::Outcome InstanceGuard::Acquire(const std::string& path) {
  Release();
  // Close-on-exec: the external decoder must not inherit the lock and keep it
  // alive after this copy has ended.
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return Outcome::kUnavailable;
  int rc;
  do {
    rc = ::flock(fd, LOCK_EX | LOCK_NB);
  } while (rc != 0 && errno == EINTR);
  if (rc != 0) {
    const bool busy = errno == EWOULDBLOCK;
    ::close(fd);
    return busy ? Outcome::kHeldElsewhere : Outcome::kUnavailable;
  }
  fd_ = fd;
  return Outcome::kAcquired;
}

void InstanceGuard::Release() {
  if (fd_ < 0) return;
  ::close(fd_);  // closing the last descriptor drops the lock
  fd_ = -1;
}

}  // namespace lumafold
