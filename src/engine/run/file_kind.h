// What a path names, as both faces and the worker ask it of folder names.
#pragma once

#include <sys/stat.h>

#include <string>

namespace lumafold {

// A folder, or a link to one.
inline bool IsDirectory(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace lumafold
