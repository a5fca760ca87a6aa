// Small FreeImage helpers shared by the processing steps.
#pragma once

#include "engine/image.h"

namespace lumafold {

// The image converted to 24 bits per pixel; the old one is released. When
// the library cannot convert it, the image is passed on as it was.
inline ImageHandle ConvertedTo24Bits(ImageHandle image) {
  if (!image) return image;
  FIBITMAP* made = FreeImage_ConvertTo24Bits(image.get());
  return ReplaceIfMade(std::move(image), made);
}

// Converts unless the image already has 24 bits per pixel.
inline ImageHandle EnsureTwentyFourBits(ImageHandle image) {
  if (!image || FreeImage_GetBPP(image.get()) == 24) return image;
  return ConvertedTo24Bits(std::move(image));
}

}  // namespace lumafold
