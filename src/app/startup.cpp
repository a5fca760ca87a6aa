#include "app/startup.h"

#include <cstdio>
#include <memory>

#include "engine/app_context.h"

namespace lumafold {

int RunLumafold(int argc, char** argv) {
  auto context = std::make_unique<AppContext>();
  if (argc > 1) {
    std::printf("lumafold: the command-line face is not built yet\n");
    return 1;
  }
  (void)argv;
  std::printf("lumafold: the window face is not built yet\n");
  return 1;
}

}  // namespace lumafold
