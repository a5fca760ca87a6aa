// Border widths of the solid frame as they are drawn, shared with the
// watermark's placement inside the frame.
#pragma once

#include "settings/conversion_settings.h"

namespace lumafold {

struct FrameWidths {
  int left = 0;
  int right = 0;
  int top = 0;
  int bottom = 0;
};

// The settings' widths held inside a width x height image: negative widths
// count as 0, and when two opposite sides together exceed the image they
// are shrunk in proportion so that they meet exactly. The mitre paths then
// never get a negative length and nothing is drawn outside the image.
FrameWidths ClampedFrameWidths(const FrameSettings& frame, int width, int height);

}  // namespace lumafold
