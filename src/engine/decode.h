// Decoding a Photo CD file: ImageMagick's `convert` writes the largest
// resolution the file really holds to an intermediate BMP file in the run
// folder, which FreeImage loads; FreeImage's own Photo CD loader (Base
// resolution only) is the fallback. Both paths give the picture in the
// orientation its header asks for.
#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "engine/image.h"
#include "engine/pipeline_steps.h"

namespace lumafold {

enum class DecodeSource { None, ExternalConverter, BuiltInDecoder };

struct DecoderOptions {
  std::string converter = "convert";  // LUMAFOLD_CONVERT replaces it
  // LUMAFOLD_CONVERT_TIMEOUT (whole seconds) replaces it
  std::chrono::milliseconds timeLimit = std::chrono::seconds(120);

  static DecoderOptions FromEnvironment();
};

struct DecodedImage {
  ImageHandle image;  // empty when nothing could be decoded
  DecodeSource source = DecodeSource::None;
  int index = -1;         // sub-image index of the accepted BMP
  int converterRuns = 0;  // how often the converter was started
  std::string refusal;    // why the file was refused before any decoder ran
  // Why the external converter gave nothing when FreeImage's Base loader
  // was used instead (source BuiltInDecoder) or tried in vain.
  std::string fallbackReason;
  // An interrupt ended the converter: nothing was decoded on purpose.
  bool stopped = false;
};

// Decodes file.inputPath. Sets file.intermediatePath and
// file.sourceBitDepth. The intermediate BMP and the input link are gone when
// this returns, whatever happened.
DecodedImage DecodePhotoCd(FileConversion& file, const DecoderOptions& options);
DecodedImage DecodePhotoCd(FileConversion& file);

// The resolution check after decoding: an image whose long side is more than
// 1.6 times its short side, with a short side of exactly 512, 1024 or 2048,
// has the wrong shape for its resolution; the index to decode again (3, 4
// or 5), or nullopt when the image is fine.
std::optional<int> RedecodeIndexFor(unsigned width, unsigned height);

}  // namespace lumafold
