// FreeImage stores rows bottom-up (scan line 0 is the picture's last row),
// while the decoder gives the top row first. A 24-bit FIT_BITMAP pixel is
// laid out by the FI_RGBA_* indices (blue first on little-endian machines);
// FIRGB16 and FIRGBF are always red, green, blue.
#include "engine/pcd_image.h"

#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

namespace lumafold {

namespace {

bool HoldsWholePicture(std::size_t values, int width, int height) {
  if (width <= 0 || height <= 0) return false;
  const auto pixels = static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height);
  return pixels <= std::numeric_limits<std::size_t>::max() / 3 && values == pixels * 3;
}

template <class Value, class Store>
ImageHandle CopyRows(const std::vector<Value>& values, int width, int height, FIBITMAP* bitmap,
                     Store store) {
  ImageHandle image(bitmap);
  if (!image) return image;
  const std::size_t rowValues = static_cast<std::size_t>(width) * 3;
  for (int row = 0; row < height; ++row) {
    const Value* source = values.data() + static_cast<std::size_t>(row) * rowValues;
    BYTE* line = FreeImage_GetScanLine(image.get(), height - 1 - row);
    for (int x = 0; x < width; ++x, source += 3) store(line, x, source);
  }
  return image;
}

ImageHandle EightBitBitmap(const std::vector<std::uint8_t>& rgb, int width, int height) {
  return CopyRows(rgb, width, height, FreeImage_Allocate(width, height, 24),
                  [](BYTE* line, int x, const std::uint8_t* source) {
                    BYTE* pixel = line + static_cast<std::size_t>(x) * 3;
                    pixel[FI_RGBA_RED] = source[0];
                    pixel[FI_RGBA_GREEN] = source[1];
                    pixel[FI_RGBA_BLUE] = source[2];
                  });
}

ImageHandle SixteenBitBitmap(const std::vector<std::uint16_t>& rgb, int width, int height) {
  return CopyRows(rgb, width, height, FreeImage_AllocateT(FIT_RGB16, width, height),
                  [](BYTE* line, int x, const std::uint16_t* source) {
                    FIRGB16& pixel = reinterpret_cast<FIRGB16*>(line)[x];
                    pixel.red = source[0];
                    pixel.green = source[1];
                    pixel.blue = source[2];
                  });
}

ImageHandle FloatBitmap(const std::vector<float>& rgb, int width, int height) {
  return CopyRows(rgb, width, height, FreeImage_AllocateT(FIT_RGBF, width, height),
                  [](BYTE* line, int x, const float* source) {
                    FIRGBF& pixel = reinterpret_cast<FIRGBF*>(line)[x];
                    pixel.red = source[0];
                    pixel.green = source[1];
                    pixel.blue = source[2];
                  });
}

template <class Value>
void Release(std::vector<Value>& values) {
  std::vector<Value>().swap(values);
}

}  // namespace

ImageHandle PictureToBitmap(pcd::Picture&& picture) {
  const int width = picture.width;
  const int height = picture.height;
  ImageHandle image;
  switch (picture.rendering) {
    case pcd::Rendering::Display8:
      if (HoldsWholePicture(picture.rgb8.size(), width, height))
        image = EightBitBitmap(picture.rgb8, width, height);
      break;
    case pcd::Rendering::Display16:
      if (HoldsWholePicture(picture.rgb16.size(), width, height))
        image = SixteenBitBitmap(picture.rgb16, width, height);
      break;
    case pcd::Rendering::LinearFloat:
      if (HoldsWholePicture(picture.rgbFloat.size(), width, height))
        image = FloatBitmap(picture.rgbFloat, width, height);
      break;
  }
  Release(picture.rgb8);
  Release(picture.rgb16);
  Release(picture.rgbFloat);
  return image;
}

}  // namespace lumafold
