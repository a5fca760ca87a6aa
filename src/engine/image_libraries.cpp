#include "engine/image_libraries.h"

#include <IL/il.h>
#include <IL/ilu.h>

#include <mutex>

namespace lumafold {
namespace {

std::mutex initLock;
bool initialised = false;

}  // namespace

void InitImageLibraries() {
  std::lock_guard<std::mutex> guard(initLock);
  if (initialised) return;
  ilInit();
  iluInit();
  initialised = true;
}

void ShutdownImageLibraries() {
  std::lock_guard<std::mutex> guard(initLock);
  if (!initialised) return;
  ilShutDown();
  initialised = false;
}

}  // namespace lumafold
