// Windows icons written here rather than by FreeImage, whose writer takes
// only squares from 16 to 256 pixels and writes 16-bit entries with a
// bit-field header but without its masks, which other readers refuse. An
// icon file is a small directory followed by one entry: a bottom-up device
// independent bitmap of twice the picture's height (the colour rows, then
// a 1-bit transparency mask, all clear here).
#include <cstring>
#include <vector>

#include "engine/writers/write_output.h"

namespace lumafold {
namespace {

constexpr unsigned kLargestSide = 256;
constexpr std::size_t kDirectorySize = 6;
constexpr std::size_t kEntrySize = 16;
constexpr std::size_t kInfoHeaderSize = 40;

void Put16(std::vector<unsigned char>& out, unsigned value) {
  out.push_back(static_cast<unsigned char>(value));
  out.push_back(static_cast<unsigned char>(value >> 8));
}

void Put32(std::vector<unsigned char>& out, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8)
    out.push_back(static_cast<unsigned char>(value >> shift));
}

// Rows of a device independent bitmap are padded to four bytes.
std::size_t RowBytes(unsigned width, unsigned bitsPerPixel) {
  return ((static_cast<std::size_t>(width) * bitsPerPixel + 31) / 32) * 4;
}

bool IconDepth(unsigned bpp) {
  return bpp == 1 || bpp == 4 || bpp == 8 || bpp == 16 || bpp == 24 || bpp == 32;
}

}  // namespace

bool WriteIcon(FIBITMAP* image, const std::string& path) {
  if (!image) return false;
  ImageHandle converted;
  // 16-bit icon pixels are 5-5-5 by definition (no masks in the entry).
  if (FreeImage_GetImageType(image) != FIT_BITMAP || !IconDepth(FreeImage_GetBPP(image))) {
    converted.reset(FreeImage_ConvertTo24Bits(image));
  } else if (FreeImage_GetBPP(image) == 16 &&
             FreeImage_GetGreenMask(image) != FI16_555_GREEN_MASK) {
    converted.reset(FreeImage_ConvertTo16Bits555(image));
  }
  if (converted) image = converted.get();
  if (!image) return false;

  const unsigned width = FreeImage_GetWidth(image);
  const unsigned height = FreeImage_GetHeight(image);
  const unsigned bpp = FreeImage_GetBPP(image);
  if (width == 0 || height == 0 || width > kLargestSide || height > kLargestSide) return false;
  const unsigned paletteEntries = bpp <= 8 ? 1u << bpp : 0;
  const std::size_t colourRow = RowBytes(width, bpp);
  const std::size_t maskRow = RowBytes(width, 1);
  const std::size_t entrySize =
      kInfoHeaderSize + 4 * paletteEntries + (colourRow + maskRow) * height;

  std::vector<unsigned char> out;
  out.reserve(kDirectorySize + kEntrySize + entrySize);
  Put16(out, 0);                                                    // reserved
  Put16(out, 1);                                                    // icon (2 would be a cursor)
  Put16(out, 1);                                                    // one entry
  out.push_back(static_cast<unsigned char>(width % kLargestSide));  // 0 stands for 256
  out.push_back(static_cast<unsigned char>(height % kLargestSide));
  out.push_back(static_cast<unsigned char>(paletteEntries % 256));  // 0 for 256 or none
  out.push_back(0);
  Put16(out, 1);  // planes
  Put16(out, bpp);
  Put32(out, static_cast<std::uint32_t>(entrySize));
  Put32(out, static_cast<std::uint32_t>(kDirectorySize + kEntrySize));

  Put32(out, kInfoHeaderSize);
  Put32(out, width);
  Put32(out, 2 * height);  // colour rows and mask rows
  Put16(out, 1);
  Put16(out, bpp);
  Put32(out, 0);  // uncompressed
  Put32(out, static_cast<std::uint32_t>((colourRow + maskRow) * height));
  Put32(out, 0);
  Put32(out, 0);
  Put32(out, 0);
  Put32(out, 0);

  if (paletteEntries) {
    const RGBQUAD* palette = FreeImage_GetPalette(image);
    const unsigned defined = FreeImage_GetColorsUsed(image);
    for (unsigned i = 0; i < paletteEntries; ++i) {
      const RGBQUAD colour = palette && i < defined ? palette[i] : RGBQUAD{0, 0, 0, 0};
      out.insert(out.end(), {colour.rgbBlue, colour.rgbGreen, colour.rgbRed, 0});
    }
  }
  // FreeImage keeps its rows bottom-up and padded to four bytes, as here.
  for (unsigned y = 0; y < height; ++y) {
    const BYTE* row = FreeImage_GetScanLine(image, static_cast<int>(y));
    out.insert(out.end(), row, row + colourRow);
  }
  out.resize(out.size() + maskRow * height, 0);  // every pixel shown
  return WriteWholeFile(path, out.data(), out.size());
}

}  // namespace lumafold
