#include "ui/window_face.h"

#include <cstdio>

namespace lumafold {

int RunWindow(AppContext&, int, char**) {
  std::printf("lumafold: the window face is not built yet\n");
  return 1;
}

}  // namespace lumafold
