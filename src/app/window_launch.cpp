#include "app/window_launch.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <vector>

#include "settings/product.h"

namespace lumafold {
namespace {

constexpr const char* kWindowProgramName = "lumafold-window";

std::string OwnFolder() {
  char path[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return {};
  const std::string exe(path, static_cast<std::size_t>(n));
  const std::size_t slash = exe.rfind('/');
  return slash == std::string::npos ? std::string() : exe.substr(0, slash + 1);
}

bool IsExecutableFile(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
         ::access(path.c_str(), X_OK) == 0;
}

}  // namespace

std::string FindWindowProgram() {
  const std::string folder = OwnFolder();
  if (folder.empty()) return {};
  // Beside the command in a build tree; bin/../libexec once installed, which
  // keeps the window's share/lumafold data one level up for both programs.
  for (const std::string& candidate :
       {folder + kWindowProgramName, folder + "../libexec/" + kWindowProgramName}) {
    if (IsExecutableFile(candidate)) return candidate;
  }
  return {};
}

int StartWindowProgram(const char* face, int argc, char** argv, const std::string& programName) {
  const std::string program = FindWindowProgram();
  if (program.empty()) {
#ifdef LUMAFOLD_HAVE_UI
    std::fprintf(stderr,
                 "%s: the window is not installed (Debian package lumafold-desktop); "
                 "the command line works without it, see %s --help\n",
                 std::string(kProductTitle).c_str(), programName.c_str());
#else
    std::fprintf(stderr, "%s: this build has no desktop face; see %s --help\n",
                 std::string(kProductTitle).c_str(), programName.c_str());
#endif
    return 1;
  }
  std::vector<char*> arguments;
  static char fallbackName[] = "lumafold";
  arguments.push_back(argc > 0 && argv[0] != nullptr ? argv[0] : fallbackName);
  arguments.push_back(const_cast<char*>(face));
  for (int i = 1; i < argc; ++i) arguments.push_back(argv[i]);
  arguments.push_back(nullptr);
  std::fflush(stdout);
  std::fflush(stderr);
  ::execv(program.c_str(), arguments.data());
  std::fprintf(stderr, "%s: cannot start %s: %s\n", std::string(kProductTitle).c_str(),
               program.c_str(), std::strerror(errno));
  return 1;
}

}  // namespace lumafold
