// The decoder's pictures as FreeImage bitmaps: the type per rendering, the
// top row at FreeImage's last scan line, the channels where FreeImage looks
// for them, and no bitmap from a buffer of the wrong size.
#include "engine/pcd_image.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace lumafold {
namespace {

// A 3x2 picture whose every value is distinct: pixel (x, y) channel c holds
// base + 10 * (3 * y + x) + c.
template <class Value>
std::vector<Value> Numbered(Value base, Value step) {
  std::vector<Value> values;
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x)
      for (int c = 0; c < 3; ++c)
        values.push_back(
            static_cast<Value>(base + step * static_cast<Value>(10 * (3 * y + x) + c)));
  return values;
}

pcd::Picture Picture(pcd::Rendering rendering) {
  pcd::Picture picture;
  picture.width = 3;
  picture.height = 2;
  picture.rendering = rendering;
  return picture;
}

TEST(PictureToBitmap, EightBitsBecomeA24BitBitmapWithRowsBottomUp) {
  pcd::Picture picture = Picture(pcd::Rendering::Display8);
  picture.rgb8 = Numbered<std::uint8_t>(1, 1);
  const ImageHandle image = PictureToBitmap(std::move(picture));
  ASSERT_TRUE(image);
  EXPECT_EQ(FreeImage_GetImageType(image.get()), FIT_BITMAP);
  EXPECT_EQ(FreeImage_GetBPP(image.get()), 24u);
  ASSERT_EQ(FreeImage_GetWidth(image.get()), 3u);
  ASSERT_EQ(FreeImage_GetHeight(image.get()), 2u);
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 3; ++x) {
      RGBQUAD colour{};
      // FreeImage counts y from the bottom.
      ASSERT_TRUE(FreeImage_GetPixelColor(image.get(), x, 1 - y, &colour));
      const int first = 1 + 10 * (3 * y + x);
      EXPECT_EQ(colour.rgbRed, first) << x << "," << y;
      EXPECT_EQ(colour.rgbGreen, first + 1) << x << "," << y;
      EXPECT_EQ(colour.rgbBlue, first + 2) << x << "," << y;
    }
  }
  EXPECT_TRUE(picture.rgb8.empty()) << "the picture's buffer is released";
}

TEST(PictureToBitmap, SixteenBitsAndLinearLightKeepTheirValues) {
  pcd::Picture deep = Picture(pcd::Rendering::Display16);
  deep.rgb16 = Numbered<std::uint16_t>(300, 1000);
  const ImageHandle sixteen = PictureToBitmap(std::move(deep));
  ASSERT_TRUE(sixteen);
  EXPECT_EQ(FreeImage_GetImageType(sixteen.get()), FIT_RGB16);
  EXPECT_EQ(FreeImage_GetBPP(sixteen.get()), 48u);
  // Top row, last pixel: at the top scan line.
  const auto* top = reinterpret_cast<const FIRGB16*>(FreeImage_GetScanLine(sixteen.get(), 1));
  EXPECT_EQ(top[2].red, 300 + 1000 * 20);
  EXPECT_EQ(top[2].green, 300 + 1000 * 21);
  EXPECT_EQ(top[2].blue, 300 + 1000 * 22);
  const auto* bottom = reinterpret_cast<const FIRGB16*>(FreeImage_GetScanLine(sixteen.get(), 0));
  EXPECT_EQ(bottom[0].red, 300 + 1000 * 30);

  pcd::Picture light = Picture(pcd::Rendering::LinearFloat);
  light.rgbFloat = Numbered<float>(0.5f, 0.05f);
  const ImageHandle linear = PictureToBitmap(std::move(light));
  ASSERT_TRUE(linear);
  EXPECT_EQ(FreeImage_GetImageType(linear.get()), FIT_RGBF);
  const auto* row = reinterpret_cast<const FIRGBF*>(FreeImage_GetScanLine(linear.get(), 0));
  // Bottom row, last pixel: 0.5 + 0.05 * 50..52, highlights above 1.0 kept.
  EXPECT_FLOAT_EQ(row[2].red, 3.0f);
  EXPECT_FLOAT_EQ(row[2].green, 3.05f);
  EXPECT_FLOAT_EQ(row[2].blue, 3.1f);
}

TEST(PictureToBitmap, BuffersThatDoNotMatchTheSizeGiveNoBitmap) {
  pcd::Picture short8 = Picture(pcd::Rendering::Display8);
  short8.rgb8.assign(3 * 2 * 3 - 1, 0);
  EXPECT_FALSE(PictureToBitmap(std::move(short8)));

  // Filled for another rendering than the one it names.
  pcd::Picture wrongBuffer = Picture(pcd::Rendering::Display16);
  wrongBuffer.rgb8.assign(3 * 2 * 3, 0);
  EXPECT_FALSE(PictureToBitmap(std::move(wrongBuffer)));

  pcd::Picture empty = Picture(pcd::Rendering::LinearFloat);
  empty.width = 0;
  EXPECT_FALSE(PictureToBitmap(std::move(empty)));

  // A size whose product overflows is refused before any allocation.
  pcd::Picture huge = Picture(pcd::Rendering::Display8);
  huge.width = 1 << 30;
  huge.height = 1 << 30;
  huge.rgb8.assign(18, 0);
  EXPECT_FALSE(PictureToBitmap(std::move(huge)));
}

}  // namespace
}  // namespace lumafold
