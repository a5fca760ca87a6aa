// Small helpers shared by the fuzz targets: a private scratch folder for the
// parsers that only read files, and a check that stops the run with a
// readable message when an invariant breaks.
#pragma once

#include <fcntl.h>
#include <ftw.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace lumafold::fuzz {

// An invariant that must hold for every input; libFuzzer saves the input
// that broke it as a crash artifact.
#define FUZZ_CHECK(condition)                                                     \
  do {                                                                            \
    if (!(condition)) {                                                           \
      std::fprintf(stderr, "%s:%d: invariant failed: %s\n", __FILE__, __LINE__,   \
                   #condition);                                                   \
      std::abort();                                                               \
    }                                                                             \
  } while (0)

inline std::string& ScratchFolderPath() {
  static std::string path;
  return path;
}

inline void RemoveScratchFolder() {
  if (ScratchFolderPath().empty()) return;
  ::nftw(
      ScratchFolderPath().c_str(),
      [](const char* path, const struct stat*, int, struct FTW*) { return ::remove(path); }, 16,
      FTW_DEPTH | FTW_PHYS);
}

// One folder per process in memory (/dev/shm) when the machine has it, else
// under $TMPDIR; made on first use and removed at exit. The files in it are
// the target's own, rewritten for every input.
inline const std::string& ScratchFolder() {
  std::string& folder = ScratchFolderPath();
  if (folder.empty()) {
    const char* base = std::getenv("TMPDIR");
    std::string parent = base && *base ? base : "/tmp";
    if (::access("/dev/shm", W_OK | X_OK) == 0) parent = "/dev/shm";
    std::string pattern = parent + "/lumafold-fuzz-XXXXXX";
    if (!::mkdtemp(pattern.data())) std::abort();
    folder = pattern;
    std::atexit(RemoveScratchFolder);
  }
  return folder;
}

// Replaces `path` with exactly `data`. The file is overwritten in place and
// cut to length rather than opened with O_TRUNC: ext4 flushes a file that
// is truncated to zero and rewritten, which would make every input cost a
// disk write.
inline void WriteWholeFile(const std::string& path, const void* data, std::size_t size) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
  FUZZ_CHECK(fd >= 0);
  const auto* bytes = static_cast<const char*>(data);
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::pwrite(fd, bytes + done, size - done, static_cast<off_t>(done));
    FUZZ_CHECK(n > 0);
    done += static_cast<std::size_t>(n);
  }
  FUZZ_CHECK(::ftruncate(fd, static_cast<off_t>(size)) == 0);
  ::close(fd);
}

// The input cut at every NUL byte (an empty piece between two NULs stays).
inline std::vector<std::string> SplitAtNul(std::string_view data) {
  std::vector<std::string> pieces;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = data.find('\0', start);
    pieces.emplace_back(data.substr(start, end == std::string_view::npos ? end : end - start));
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  return pieces;
}

}  // namespace lumafold::fuzz
