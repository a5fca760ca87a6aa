// Decoding a Photo CD file at the largest resolution it really holds, upright.
//
// The program's own decoder (the default) reads the file in the process: no
// child process, no intermediate file, and 8-bit, 16-bit or linear-light
// pixels as the output needs them.
//
// The external chain: ImageMagick's `convert` writes the picture to an
// intermediate BMP file in the run folder, which FreeImage loads; FreeImage's
// own Photo CD loader (Base resolution only) is the fallback.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "engine/image.h"
#include "photocd/photocd.h"
#include "engine/steps/pipeline_steps.h"

namespace lumafold {

enum class DecodeSource { None, PhotoCdDecoder, ExternalConverter, FreeImageLoader };

struct DecoderOptions {
  // "PCD Decoder" 1: the external chain instead of the program's own decoder.
  bool external = false;
  // What the program's own decoder gives (the external chain is 8-bit).
  pcd::Rendering rendering = pcd::Rendering::Display8;
  // "PCD Highlights": what its 8- and 16-bit renderings make of the range
  // above reference white.
  pcd::Highlights highlights = pcd::Highlights::RollOff;
  // Own decoder: whether a core is free to ready the bitmap while the file
  // is decoded (no other file is converted beside this one).
  bool spareCore = false;

  std::string converter = "convert";  // LUMAFOLD_CONVERT replaces it
  // LUMAFOLD_CONVERT_TIMEOUT (whole seconds) replaces it
  std::chrono::milliseconds timeLimit = std::chrono::seconds(120);

  static DecoderOptions FromEnvironment();
};

struct DecodedImage {
  ImageHandle image;  // empty when nothing could be decoded
  DecodeSource source = DecodeSource::None;
  int index = -1;         // sub-image index (3 Base, 4 4Base, 5 16Base) decoded
  int converterRuns = 0;  // how often the converter was started
  std::string refusal;    // external chain: why the file reached no decoder
  std::string failure;    // own decoder: why the file could not be decoded
  // Own decoder: why a level the file declares was not used (damaged or cut
  // short), or which rows were rebuilt from a lower level; empty for a
  // sound file. `damage` holds the rebuilt rows per level.
  std::string note;
  std::vector<pcd::LevelDamage> damage;
  // Own decoder: less than the file declares (rows rebuilt, a lower level).
  bool degraded = false;
  // Own decoder: the rendering it gave, for the output's colour profile.
  pcd::Rendering rendering = pcd::Rendering::Display8;
  pcd::Highlights highlights = pcd::Highlights::RollOff;
  // Why the external converter gave nothing when FreeImage's Base loader
  // was used instead (source FreeImageLoader) or tried in vain.
  std::string fallbackReason;
  // An interrupt ended the converter: nothing was decoded on purpose.
  bool stopped = false;
  // External chain: the converter failed yet left the picture taken (a
  // real 16Base scan: "corrupt image", and its 16Base colour is missing).
  std::string converterComplaint;
};

// Decodes file.inputPath with the decoder the options choose. Sets
// file.sourceBitDepth, and file.intermediatePath for the external chain,
// whose intermediate BMP and input link are gone when this returns,
// whatever happened.
DecodedImage DecodePhotoCd(FileConversion& file, const DecoderOptions& options);

// What the program's own decoder should give for this file's output: 16-bit
// values for a 48-bit output depth, linear light for 96 bits, 8 bits
// otherwise; 8 bits as well when a step that works in 8 bits is switched on.
pcd::Rendering RenderingForOutput(const StepContext& context);

// The resolution check after decoding: an image whose long side is more than
// 1.6 times its short side, with a short side of exactly 512, 1024 or 2048,
// has the wrong shape for its resolution; the index to decode again (3, 4
// or 5), or nullopt when the image is fine.
std::optional<int> RedecodeIndexFor(unsigned width, unsigned height);

}  // namespace lumafold
