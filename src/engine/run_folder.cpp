#include "engine/run_folder.h"

#include <stdlib.h>

#include <filesystem>
#include <system_error>
#include <vector>

namespace lumafold {

RunFolder::RunFolder() {
  const char* base = std::getenv("TMPDIR");
  std::string folder = (base && *base) ? base : "/tmp";
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  std::string pattern = folder + "/lumafold-XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (::mkdtemp(buffer.data())) path_ = buffer.data();
}

RunFolder::~RunFolder() {
  if (valid()) RemoveTree(path_);
}

void RemoveTree(const std::string& path) {
  // std::filesystem::remove_all removes symbolic links themselves and never
  // what they point at.
  std::error_code ignored;
  std::filesystem::remove_all(path, ignored);
}

}  // namespace lumafold
