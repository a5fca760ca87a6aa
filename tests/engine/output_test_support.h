// Shared helpers for the output tests: a scratch folder, synthetic and
// sample images, a job prepared for one output format, and independent
// readers (ImageMagick's identify, FreeImage) for what was written.
#pragma once

#include <FreeImage.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "engine/run/conversion_job.h"
#include "engine/image.h"
#include "engine/steps/pipeline_steps.h"
#include "engine/writers/write_output.h"
#include "settings/conversion_settings.h"
#include "settings/format_registry.h"

namespace lumafold::output_testing {

namespace fs = std::filesystem;

// A private folder under $TMPDIR, removed with everything in it.
class ScratchFolder {
 public:
  ScratchFolder() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/lumafold-output-XXXXXX";
    if (mkdtemp(pattern.data())) path_ = pattern + "/";
  }
  ~ScratchFolder() {
    if (path_.empty()) return;
    std::error_code error;
    // A test may leave a folder read-only; make it writable to clean up.
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, error);
    fs::remove_all(path_, error);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::string& path() const { return path_; }  // ends with "/"

  std::vector<std::string> entries() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(path_)) {
      names.push_back(entry.path().filename().string());
    }
    return names;
  }

 private:
  std::string path_;
};

inline std::vector<unsigned char> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
}

inline void WriteText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

inline std::uint32_t Le32(const std::vector<unsigned char>& bytes, std::size_t at) {
  return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 |
         static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

inline std::uint16_t Le16(const std::vector<unsigned char>& bytes, std::size_t at) {
  return static_cast<std::uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

// 24-bit image whose colours vary across both axes, with a red band on the
// top rows and a blue band on the bottom rows so that orientation shows.
inline ImageHandle GradientImage(int width, int height) {
  ImageHandle image(FreeImage_Allocate(width, height, 24));
  for (int y = 0; y < height; ++y) {
    BYTE* row = FreeImage_GetScanLine(image.get(), height - 1 - y);  // y from the top
    for (int x = 0; x < width; ++x) {
      BYTE red = static_cast<BYTE>(x * 255 / (width - 1));
      BYTE green = static_cast<BYTE>(y * 255 / (height - 1));
      BYTE blue = static_cast<BYTE>((x + y) % 256);
      if (y < height / 8) red = 255, green = 0, blue = 0;
      if (y >= height - height / 8) red = 0, green = 0, blue = 255;
      row[x * 3 + FI_RGBA_RED] = red;
      row[x * 3 + FI_RGBA_GREEN] = green;
      row[x * 3 + FI_RGBA_BLUE] = blue;
    }
  }
  return image;
}

inline std::string SampleTgaPath() {
  return std::string(LUMAFOLD_SOURCE_DIR) + "/tests/data/output/kodim23-384x256.tga";
}

// The sample as the decoder hands it over: ImageMagick's TGA of a Photo CD
// image, loaded by FreeImage.
inline ImageHandle LoadSampleTga() {
  return ImageHandle(FreeImage_Load(FIF_TARGA, SampleTgaPath().c_str(), 0));
}

// Settings, job and per-file state for one output format, prepared the way
// the front ends prepare a run.
struct OutputCase {
  FormatRegistry formats;
  ConversionSettings settings;
  ConversionJob job;
  FileConversion file;

  OutputCase() { settings.resetToDefaults(SettingsMode::CommandLine); }

  bool prepare(const std::string& key, std::int32_t depth = 0) {
    settings.output.format = key;
    if (std::int32_t* bpp = settings.output.bppFor(key)) *bpp = depth;
    return PrepareJobForOutput(job, settings, formats);
  }

  StepContext context() { return StepContext{settings, job, file}; }

  ImageHandle convert(ImageHandle image) { return ConvertDepth(std::move(image), context()); }

  bool write(ImageHandle& image, const std::string& outputPath) {
    file.outputPath = outputPath;
    return WriteOutput(image, context());
  }

  // Decode-measure-convert-write, as the pipeline's last steps run.
  bool convertAndWrite(ImageHandle image, const std::string& outputPath) {
    file.sourceBitDepth = static_cast<std::int32_t>(FreeImage_GetBPP(image.get()));
    image = convert(std::move(image));
    return write(image, outputPath);
  }
};

// Writes `image` as the file `name` of `folder`, in the format its
// extension names at `depth` (0: automatic); the file's path, or "" when
// the format could not be prepared or the write failed.
inline std::string WriteAs(const ScratchFolder& folder, const std::string& name, ImageHandle image,
                           std::int32_t depth = 0) {
  OutputCase output;
  const std::string path = folder.path() + name;
  if (!output.prepare(name.substr(name.rfind('.') + 1), depth)) return "";
  return output.convertAndWrite(std::move(image), path) ? path : "";
}

// Standard output of a shell command line; the tests quote what they pass.
inline std::string RunCapture(const std::string& command) {
  std::string output;
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  if (!pipe) return output;
  std::array<char, 4096> buffer;
  std::size_t got;
  while ((got = fread(buffer.data(), 1, buffer.size(), pipe.get())) > 0) {
    output.append(buffer.data(), got);
  }
  return output;
}

// What ImageMagick makes of a file, read with an explicit coder so that it
// cannot guess from the name.
struct Identified {
  bool read = false;
  int width = 0;
  int height = 0;
  int depth = 0;       // bits per channel
  std::string type;    // TrueColor, TrueColorAlpha, Palette, Grayscale, Bilevel...
  std::string format;  // ImageMagick's coder name
};

inline Identified Identify(const std::string& coder, const std::string& path) {
  Identified result;
  std::istringstream line(RunCapture("identify -quiet -format '%m %w %h %z %[type]\\n' '" + coder +
                                     ":" + path + "[0]' 2>/dev/null"));
  if (line >> result.format >> result.width >> result.height >> result.depth >> result.type) {
    result.read = true;
  }
  return result;
}

inline std::string Describe(const Identified& id) {
  return id.format + " " + std::to_string(id.width) + "x" + std::to_string(id.height) + " depth " +
         std::to_string(id.depth) + " " + id.type;
}

}  // namespace lumafold::output_testing
