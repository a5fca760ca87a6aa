#include "cli/command_line.h"

#include <cstdio>

namespace lumafold {

int RunCommandLine(AppContext&, const std::vector<std::string>&) {
  std::printf("lumafold: the command-line face is not built yet\n");
  return 1;
}

}  // namespace lumafold
