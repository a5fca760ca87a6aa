#include "engine/run/run_leftovers.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>
#include <set>

#include "engine/run/child_process.h"
#include "engine/run/run_folder.h"

namespace lumafold {

namespace {

struct Records {
  std::mutex lock;
  std::multiset<std::string> paths;
  bool closed = false;
};

Records& TheRecords() {
  // Never destroyed: a worker may still finish a file while the process
  // exits.
  static Records* records = new Records;
  return *records;
}

}  // namespace

bool ClaimTrackedFile(const std::string& path) {
  Records& records = TheRecords();
  std::lock_guard<std::mutex> hold(records.lock);
  if (records.closed) {
    errno = EINTR;
    return false;
  }
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  ::close(fd);
  records.paths.insert(path);
  return true;
}

void TrackLeftover(const std::string& path) {
  Records& records = TheRecords();
  std::lock_guard<std::mutex> hold(records.lock);
  records.paths.insert(path);
}

void ForgetLeftover(const std::string& path) {
  Records& records = TheRecords();
  std::lock_guard<std::mutex> hold(records.lock);
  const auto found = records.paths.find(path);
  if (found != records.paths.end()) records.paths.erase(found);
}

void RemoveLeftoversForExit() {
  // The converters first, so that none writes into a folder being removed.
  StopChildren();
  Records& records = TheRecords();
  records.lock.lock();
  records.closed = true;
  // A file or a whole run folder; links are removed, never followed.
  for (const std::string& path : records.paths) RemoveTree(path);
  // The lock stays taken: nothing may claim a name before the exit.
}

}  // namespace lumafold
