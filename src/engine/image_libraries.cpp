#include "engine/image_libraries.h"

#include <FreeImage.h>
#include <tiffio.h>

#include <cstdarg>
#include <cstdio>
#include <mutex>

#include "engine/writers/devil_guard.h"
#include "engine/writers/metadata.h"

namespace lumafold {
namespace {

thread_local std::vector<std::string>* collected = nullptr;

void FromFreeImage(FREE_IMAGE_FORMAT format, const char* message) {
  const char* name = format == FIF_UNKNOWN ? nullptr : FreeImage_GetFormatFromFIF(format);
  ReportLibraryMessage(name ? name : "FreeImage", message);
}

void FromLibtiff(const char* module, const char* format, va_list arguments) {
  char text[512];
  std::vsnprintf(text, sizeof text, format, arguments);
  const std::string where = module && *module ? std::string(module) + ": " : std::string();
  ReportLibraryMessage("TIFF", (where + text).c_str());
}

// libtiff prints its warnings and errors to standard error unless told
// otherwise, and Debian's FreeImage leaves it at that; FreeImage's own
// messages go nowhere without a handler.
void InstallMessageHandlers() {
  static std::once_flag installed;
  std::call_once(installed, [] {
    FreeImage_SetOutputMessage(FromFreeImage);
    TIFFSetWarningHandler(FromLibtiff);
    TIFFSetErrorHandler(FromLibtiff);
    InitMetadataLibrary();
  });
}

}  // namespace

// DevIL's set-up goes through the same lock as every other DevIL call.
void InitImageLibraries() {
  InstallMessageHandlers();
  InitialiseDevil();
}

void ShutdownImageLibraries() { ShutDownDevil(); }

void ReportLibraryMessage(const std::string& library, const std::string& message) {
  if (collected) collected->push_back(library + ": " + message);
}

LibraryMessages::LibraryMessages(std::vector<std::string>& into) : previous_(collected) {
  InstallMessageHandlers();
  collected = &into;
}

LibraryMessages::~LibraryMessages() { collected = previous_; }

}  // namespace lumafold
