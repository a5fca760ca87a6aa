// The output of one file as the current settings would write it, worked out
// on a small decode for the window's before/after preview. The picture goes
// through the conversion's own steps, so what the preview shows is what a
// run writes, shrunk.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/run/conversion_job.h"
#include "settings/conversion_settings.h"

namespace lumafold {

// 8-bit RGB rows, top row first, no padding.
struct RgbPicture {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgb;
  bool valid() const {
    return width > 0 && height > 0 &&
           rgb.size() == static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3;
  }
};

// The settings with every length in output pixels (a resize target in
// pixels, the frame's widths, the watermark's offsets) multiplied by
// `scale`, the small picture's width over the full decode's. Percentages,
// angles, colours and opacities stay as they are.
ConversionSettings ScaledForPreview(ConversionSettings settings, double scale);

// `picture` (the upright small decode of `inputPath`) through rotation,
// resize, flips, colour, greyscale, threshold, frame, watermark and, where
// the output holds fewer than 24 bits, the output's bit depth; given back
// as 8-bit RGB for display. `job` carries the output format's fields
// (PrepareJobForOutput); `scale` as above. An invalid picture when the steps
// gave nothing.
RgbPicture PreviewConversion(const RgbPicture& picture, const std::string& inputPath,
                             const ConversionSettings& settings, const ConversionJob& job,
                             double scale);

}  // namespace lumafold
