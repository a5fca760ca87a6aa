// Finds the installed data folders relative to the running executable.
#include "ui/install_paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>

namespace lumafold::ui {

std::string ProgramFolder() {
  char path[PATH_MAX];
  ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return {};
  std::string exe(path, static_cast<std::size_t>(n));
  std::size_t slash = exe.rfind('/');
  return slash == std::string::npos ? std::string() : exe.substr(0, slash + 1);
}

std::vector<std::string> DataFolders(const std::string& programFolder, const std::string& sub) {
  return {programFolder + sub, programFolder + "../share/lumafold/" + sub};
}

std::string FindDataFile(const std::string& name) {
  for (const std::string& folder : DataFolders(ProgramFolder(), "")) {
    struct stat info {};
    const std::string path = folder + name;
    if (::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) return path;
  }
  return {};
}

}  // namespace lumafold::ui
