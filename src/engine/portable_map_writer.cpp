// PBM and PFM written here rather than by FreeImage. FreeImage writes a
// 1-bit image's indices as they are, while in PBM a set bit is black: the
// engine's dithered pictures (index 0 black) came out as negatives. And it
// writes PFM rows top to bottom, while the format stores them bottom to
// top, so readers showed the picture upside down.
#include <cstring>
#include <string>
#include <vector>

#include "engine/write_output.h"

namespace lumafold {
namespace {

unsigned Brightness(const RGBQUAD& colour) {
  return 77u * colour.rgbRed + 150u * colour.rgbGreen + 29u * colour.rgbBlue;
}

void PutText(std::vector<unsigned char>& out, const std::string& text) {
  out.insert(out.end(), text.begin(), text.end());
}

}  // namespace

bool WritePortableBitmap(FIBITMAP* image, const std::string& path) {
  if (!image) return false;
  ImageHandle dithered;
  if (FreeImage_GetImageType(image) != FIT_BITMAP || FreeImage_GetBPP(image) != 1) {
    ImageHandle grey(FreeImage_ConvertTo8Bits(image));
    if (grey) dithered.reset(FreeImage_Dither(grey.get(), FID_FS));
    image = dithered.get();
    if (!image) return false;
  }
  const unsigned width = FreeImage_GetWidth(image);
  const unsigned height = FreeImage_GetHeight(image);
  if (width == 0 || height == 0) return false;
  // The set bits stand for whichever palette entry is the darker one.
  const RGBQUAD* palette = FreeImage_GetPalette(image);
  const bool oneIsBlack = !palette || Brightness(palette[1]) <= Brightness(palette[0]);
  const std::size_t rowBytes = (width + 7) / 8;
  const unsigned spareBits = static_cast<unsigned>(rowBytes * 8 - width);
  const auto lastMask = static_cast<unsigned char>(0xFF << spareBits);

  std::vector<unsigned char> out;
  PutText(out, "P4\n" + std::to_string(width) + " " + std::to_string(height) + "\n");
  for (unsigned y = height; y-- > 0;) {  // top row first
    const BYTE* row = FreeImage_GetScanLine(image, static_cast<int>(y));
    for (std::size_t i = 0; i < rowBytes; ++i) {
      unsigned char bits = oneIsBlack ? row[i] : static_cast<unsigned char>(~row[i]);
      if (i + 1 == rowBytes) bits &= lastMask;
      out.push_back(bits);
    }
  }
  return WriteWholeFile(path, out.data(), out.size());
}

bool WritePortableFloatmap(FIBITMAP* image, const std::string& path) {
  if (!image) return false;
  ImageHandle converted;
  if (FreeImage_GetImageType(image) != FIT_RGBF) {
    converted.reset(FreeImage_ConvertToRGBF(image));
    image = converted.get();
    if (!image) return false;
  }
  const unsigned width = FreeImage_GetWidth(image);
  const unsigned height = FreeImage_GetHeight(image);
  if (width == 0 || height == 0) return false;
  // A negative scale says the floats are little-endian, as on this host.
  static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__);
  std::vector<unsigned char> out;
  PutText(out, "PF\n" + std::to_string(width) + " " + std::to_string(height) + "\n-1.0\n");
  const std::size_t rowBytes = static_cast<std::size_t>(width) * sizeof(FIRGBF);
  // FreeImage's scan line 0 is the bottom row, which PFM stores first.
  for (unsigned y = 0; y < height; ++y) {
    const BYTE* row = FreeImage_GetScanLine(image, static_cast<int>(y));
    out.insert(out.end(), row, row + rowBytes);
  }
  return WriteWholeFile(path, out.data(), out.size());
}

}  // namespace lumafold
