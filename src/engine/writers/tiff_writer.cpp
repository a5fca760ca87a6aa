// TIFF through FreeImage. With the CMYK colour model FreeImage only labels
// the file: it writes the bytes of a 32-bit image as they are (blue, green,
// red, alpha read as cyan, magenta, yellow, black, so an opaque picture is
// all black ink) and ignores the model at other depths. The pixels are
// turned into ink amounts here first: 8 bits per ink from 32-bit pictures,
// 16 bits per ink from 48-bit ones.
#include <algorithm>

#include "engine/writers/write_output.h"

namespace lumafold {
namespace {

// Uncalibrated separation: black takes what the three colours share, the
// inks the rest; a reader's plain inverse gives the RGB values back.
template <typename Sample>
void Separate(unsigned maximum, unsigned red, unsigned green, unsigned blue, Sample* inks) {
  const unsigned brightest = std::max({red, green, blue});
  const unsigned black = maximum - brightest;
  auto ink = [&](unsigned value) {
    return brightest == 0 ? 0u : ((brightest - value) * maximum + brightest / 2) / brightest;
  };
  inks[0] = static_cast<Sample>(ink(red));
  inks[1] = static_cast<Sample>(ink(green));
  inks[2] = static_cast<Sample>(ink(blue));
  inks[3] = static_cast<Sample>(black);
}

ImageHandle ToCmyk(FIBITMAP* image) {
  const unsigned width = FreeImage_GetWidth(image);
  const unsigned height = FreeImage_GetHeight(image);
  const bool sixteen =
      FreeImage_GetImageType(image) == FIT_RGB16 || FreeImage_GetImageType(image) == FIT_RGBA16;
  ImageHandle source;
  if (!sixteen && FreeImage_GetBPP(image) != 24 && FreeImage_GetBPP(image) != 32) {
    source.reset(FreeImage_ConvertTo24Bits(image));
    if (!source) return source;
    image = source.get();
  }
  // FreeImage writes the four samples of either type in memory order.
  ImageHandle inks(
      sixteen ? FreeImage_AllocateT(FIT_RGBA16, static_cast<int>(width), static_cast<int>(height))
              : FreeImage_Allocate(static_cast<int>(width), static_cast<int>(height), 32));
  if (!inks) return inks;
  const unsigned step = FreeImage_GetBPP(image) / (sixteen ? 16 : 8);
  for (unsigned y = 0; y < height; ++y) {
    if (sixteen) {
      const auto* from =
          reinterpret_cast<const WORD*>(FreeImage_GetScanLine(image, static_cast<int>(y)));
      auto* to = reinterpret_cast<WORD*>(FreeImage_GetScanLine(inks.get(), static_cast<int>(y)));
      for (unsigned x = 0; x < width; ++x, from += step, to += 4)
        Separate(65535, from[0], from[1], from[2], to);
    } else {
      const BYTE* from = FreeImage_GetScanLine(image, static_cast<int>(y));
      BYTE* to = FreeImage_GetScanLine(inks.get(), static_cast<int>(y));
      for (unsigned x = 0; x < width; ++x, from += step, to += 4)
        Separate(255, from[FI_RGBA_RED], from[FI_RGBA_GREEN], from[FI_RGBA_BLUE], to);
    }
  }
  FreeImage_SetDotsPerMeterX(inks.get(), FreeImage_GetDotsPerMeterX(image));
  FreeImage_SetDotsPerMeterY(inks.get(), FreeImage_GetDotsPerMeterY(image));
  return inks;
}

bool CanSeparate(FIBITMAP* image) {
  const FREE_IMAGE_TYPE type = FreeImage_GetImageType(image);
  return type == FIT_BITMAP || type == FIT_RGB16 || type == FIT_RGBA16;
}

}  // namespace

bool WriteTiff(FIBITMAP* image, std::int32_t saveFlags, const std::string& path) {
  if (!image) return false;
  // JPEG in FreeImage's TIFF writer is RGB only; given inks it would
  // quietly write LZW instead.
  if (!(saveFlags & TIFF_CMYK) || (saveFlags & TIFF_JPEG) || !CanSeparate(image) ||
      FreeImage_GetBPP(image) == 1)
    return SaveWithFreeImage(FIF_TIFF, image, path, saveFlags & ~TIFF_CMYK);
  ImageHandle inks = ToCmyk(image);
  return inks && SaveWithFreeImage(FIF_TIFF, inks.get(), path, saveFlags);
}

}  // namespace lumafold
