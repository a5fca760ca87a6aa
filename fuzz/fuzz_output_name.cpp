// Output naming with a filename mask from outside (a profile file or the
// settings file of someone else): whatever the mask, the relative
// subfolder and the input's name, an output that is accepted lies inside
// the output folder, and its temporary file beside it.
//
// Input: mask, NUL, relative subfolder, NUL, input file name.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "engine/run/naming.h"
#include "fuzz_support.h"
#include "settings/conversion_settings.h"

using namespace lumafold;

namespace {

constexpr std::string_view kOutputFolder = "/nonexistent-lumafold-out/";

bool Inside(const std::string& path) {
  const std::string normal = std::filesystem::path(path).lexically_normal().string();
  return normal.size() > kOutputFolder.size() && normal.starts_with(kOutputFolder);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto pieces = fuzz::SplitAtNul({reinterpret_cast<const char*>(data), size});

  ConversionSettings settings;
  settings.resetToDefaults(SettingsMode::CommandLine);
  settings.advanced.filenameMask = pieces[0];
  settings.advanced.keepSubfolders = 1;
  ConversionJob job;
  job.outputFolder = std::string(kOutputFolder);
  job.outputExtension = "jpg";
  job.clock = [] { return std::time_t{1765000000}; };
  FileConversion file;
  file.relativeSubfolder = pieces.size() > 1 ? pieces[1] : "";
  file.inputPath = "/in/" + (pieces.size() > 2 ? pieces[2] : std::string("IMG_0001")) + ".pcd";
  file.workingWidth = 3072;
  file.workingHeight = 2048;

  const StepContext context{settings, job, file};
  const OutputPathStatus status = BuildOutputPaths(context);
  if (status != OutputPathStatus::Ok) {
    FUZZ_CHECK(file.outputPath.empty() && !file.failureReason.empty());
    return 0;
  }
  FUZZ_CHECK(Inside(file.outputPath));
  FUZZ_CHECK(Inside(file.temporaryOutputPath));
  const std::string folder = file.outputPath.substr(0, file.outputPath.rfind('/') + 1);
  FUZZ_CHECK(file.temporaryOutputPath.starts_with(folder));
  FUZZ_CHECK(file.temporaryOutputPath.find('/', folder.size()) == std::string::npos);

  (void)ExpandWatermarkText(pieces[0], context);
  return 0;
}
