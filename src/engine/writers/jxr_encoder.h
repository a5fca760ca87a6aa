// Lossless JPEG XR encoding through jxrlib, kept apart from FreeImage on
// purpose: FreeImage.h defines _WINDOWS_, and jxrlib's guiddef.h then
// declares a 24-byte GUID on 64-bit Linux while the library was built with
// a 16-byte one, so every pixel format handed across a call arrives as
// garbage. (Debian's FreeImage plugin includes them in exactly that order;
// its JPEG XR saves fail with "Invalid instruction".) This header and its
// source therefore never see FreeImage.h.
#pragma once

#include <string>

namespace lumafold {

enum class JxrPixelLayout {
  BlackWhite,  // 1 bit, set bit white
  Gray8,
  Rgb555,
  Rgb565,
  Bgr24,
  Bgra32,
  Rgb48,       // 16 bits per channel
  RgbFloat96,  // 32-bit float per channel
};

// Encodes `height` top-down rows of `stride` bytes to `path`.
bool EncodeJpegXrLossless(const std::string& path, JxrPixelLayout layout, unsigned width,
                          unsigned height, unsigned char* rows, unsigned stride, float dotsPerInchX,
                          float dotsPerInchY);

}  // namespace lumafold
