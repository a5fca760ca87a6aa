// Shared helpers for the processing-step tests: synthetic FreeImage images,
// top-down pixel access and a step context over fresh settings.
#pragma once

#include <FreeImage.h>

#include <cstdint>
#include <cstdlib>

#include "engine/run/conversion_job.h"
#include "engine/image.h"
#include "engine/steps/pipeline_steps.h"
#include "settings/conversion_settings.h"

namespace lumafold::testing {

struct Rgb {
  int red = 0;
  int green = 0;
  int blue = 0;
};

inline constexpr Rgb kWhite{255, 255, 255};
inline constexpr Rgb kBlack{0, 0, 0};
inline constexpr Rgb kRed{255, 0, 0};
inline constexpr Rgb kGreen{0, 255, 0};
inline constexpr Rgb kBlue{0, 0, 255};

// FreeImage stores rows bottom-up; the tests speak of y from the top.
// Palettised images answer through their palette.
inline Rgb PixelAt(FIBITMAP* bitmap, unsigned x, unsigned yFromTop) {
  const unsigned y = FreeImage_GetHeight(bitmap) - 1 - yFromTop;
  RGBQUAD quad{};
  if (FreeImage_GetBPP(bitmap) <= 8) {
    BYTE index = 0;
    FreeImage_GetPixelIndex(bitmap, x, y, &index);
    quad = FreeImage_GetPalette(bitmap)[index];
  } else {
    FreeImage_GetPixelColor(bitmap, x, y, &quad);
  }
  return {quad.rgbRed, quad.rgbGreen, quad.rgbBlue};
}

inline int AlphaAt(FIBITMAP* bitmap, unsigned x, unsigned yFromTop) {
  RGBQUAD quad{};
  FreeImage_GetPixelColor(bitmap, x, FreeImage_GetHeight(bitmap) - 1 - yFromTop, &quad);
  return quad.rgbReserved;
}

inline void SetPixel(FIBITMAP* bitmap, unsigned x, unsigned yFromTop, Rgb colour, int alpha = 255) {
  RGBQUAD quad{};
  quad.rgbRed = static_cast<BYTE>(colour.red);
  quad.rgbGreen = static_cast<BYTE>(colour.green);
  quad.rgbBlue = static_cast<BYTE>(colour.blue);
  quad.rgbReserved = static_cast<BYTE>(alpha);
  FreeImage_SetPixelColor(bitmap, x, FreeImage_GetHeight(bitmap) - 1 - yFromTop, &quad);
}

inline ImageHandle SolidImage(int width, int height, Rgb colour, int bitsPerPixel = 24) {
  ImageHandle image(FreeImage_Allocate(width, height, bitsPerPixel));
  RGBQUAD quad{};
  quad.rgbRed = static_cast<BYTE>(colour.red);
  quad.rgbGreen = static_cast<BYTE>(colour.green);
  quad.rgbBlue = static_cast<BYTE>(colour.blue);
  quad.rgbReserved = 255;
  FreeImage_FillBackground(image.get(), &quad, 0);
  return image;
}

// Every pixel a different, deterministic colour, so filters and flips show.
inline ImageHandle PatternImage(int width, int height) {
  ImageHandle image(FreeImage_Allocate(width, height, 24));
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      SetPixel(image.get(), x, y, {(x * 37 + y * 11) & 255, (x * 5 + y * 71) & 255, (x * y) & 255});
  return image;
}

inline bool Near(Rgb actual, Rgb expected, int tolerance) {
  return std::abs(actual.red - expected.red) <= tolerance &&
         std::abs(actual.green - expected.green) <= tolerance &&
         std::abs(actual.blue - expected.blue) <= tolerance;
}

inline bool SamePixels(FIBITMAP* a, FIBITMAP* b) {
  if (FreeImage_GetWidth(a) != FreeImage_GetWidth(b) ||
      FreeImage_GetHeight(a) != FreeImage_GetHeight(b) ||
      FreeImage_GetBPP(a) != FreeImage_GetBPP(b))
    return false;
  for (unsigned y = 0; y < FreeImage_GetHeight(a); ++y)
    for (unsigned x = 0; x < FreeImage_GetWidth(a); ++x) {
      const Rgb pa = PixelAt(a, x, y);
      const Rgb pb = PixelAt(b, x, y);
      if (pa.red != pb.red || pa.green != pb.green || pa.blue != pb.blue) return false;
    }
  return true;
}

inline ImageHandle Clone(FIBITMAP* bitmap) { return ImageHandle(FreeImage_Clone(bitmap)); }

// Settings, job and per-file record for one step call.
struct StepBench {
  ConversionSettings settings;
  ConversionJob job;
  FileConversion file;

  StepContext context() { return StepContext{settings, job, file}; }
};

}  // namespace lumafold::testing
