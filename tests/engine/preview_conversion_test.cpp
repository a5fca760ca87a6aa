// The window's after-picture: a real sample's small decode through the
// conversion's steps at half the output's scale.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <set>
#include <tuple>

#include "engine/run/preview_conversion.h"
#include "engine/writers/write_output.h"
#include "photocd/photocd.h"
#include "settings/format_registry.h"
#include "support/test_files.h"

namespace lumafold {
namespace {

using Pixel = std::tuple<int, int, int>;

Pixel At(const RgbPicture& picture, int x, int y) {
  const std::uint8_t* p =
      picture.rgb.data() + (static_cast<std::size_t>(y) * picture.width + x) * 3;
  return {p[0], p[1], p[2]};
}

RgbPicture SmallDecode(const std::string& path) {
  const pcd::Result result = pcd::DecodeThumbnail(path, pcd::Level::Base);
  RgbPicture picture;
  if (!result.ok) return picture;
  picture.width = result.picture.width;
  picture.height = result.picture.height;
  picture.rgb = result.picture.rgb8;
  return picture;
}

TEST(PreviewConversion, SettingsShowInTheSmallPictureAsARunWritesThem) {
  const std::string path = test_files::Sample("kodim01.pcd");
  const RgbPicture before = SmallDecode(path);
  ASSERT_TRUE(before.valid());
  // The small decode stands for an output twice its size.
  constexpr double kScale = 0.5;
  FormatRegistry formats;
  const auto convert = [&](const std::function<void(ConversionSettings&)>& change) {
    ConversionSettings settings;
    settings.resetToDefaults(SettingsMode::Window);
    settings.output.format = "png";
    change(settings);
    ConversionJob job;
    EXPECT_TRUE(PrepareJobForOutput(job, settings, formats));
    return PreviewConversion(before, path, settings, job, kScale);
  };
  const RgbPicture plain = convert([](ConversionSettings&) {});
  ASSERT_TRUE(plain.valid());
  EXPECT_EQ(plain.rgb, before.rgb);

  struct Case {
    const char* name;
    std::function<void(ConversionSettings&)> change;
    std::function<void(const RgbPicture&)> check;
  };
  const auto sameSize = [&](const RgbPicture& after) {
    EXPECT_EQ(std::pair(after.width, after.height), std::pair(plain.width, plain.height));
  };
  const Case cases[] = {
      {"greyscale", [](auto& s) { s.adjustment.doImageGreyscale = 1; },
       [&](const RgbPicture& after) {
         sameSize(after);
         EXPECT_NE(after.rgb, plain.rgb);
         int coloured = 0;
         for (int y = 0; y < after.height; ++y)
           for (int x = 0; x < after.width; ++x) {
             const auto [r, g, b] = At(after, x, y);
             coloured += r != g || g != b;
           }
         EXPECT_EQ(coloured, 0);
       }},
      {"quarter turn",
       [](auto& s) {
         s.transform.doImageRotation = 1;
         s.transform.imageRotation = 90;
       },
       [&](const RgbPicture& after) {
         EXPECT_EQ(std::pair(after.width, after.height), std::pair(plain.height, plain.width));
         // Every pixel is the plain picture's, a quarter turn round (either way).
         int counter = 0, clockwise = 0;
         for (int y = 0; y < after.height; ++y)
           for (int x = 0; x < after.width; ++x) {
             counter += At(after, x, y) == At(plain, plain.width - 1 - y, x);
             clockwise += At(after, x, y) == At(plain, y, plain.height - 1 - x);
           }
         EXPECT_EQ(std::max(counter, clockwise), after.width * after.height);
       }},
      {"frame of 20 output pixels",
       [](auto& s) {
         s.frame.doFrame = 1;
         s.frame.solidLeft = s.frame.solidRight = s.frame.solidTop = s.frame.solidBottom = 20;
         s.frame.solidLeftColor = s.frame.solidRightColor = "FF0000";
         s.frame.solidTopColor = s.frame.solidBottomColor = "FF0000";
       },
       [&](const RgbPicture& after) {
         sameSize(after);
         // 10 pixels at this scale, then the picture itself.
         const int mid = after.height / 2;
         for (const auto& [x, y] : {std::pair(0, mid), std::pair(9, mid),
                                    std::pair(after.width - 10, mid), std::pair(mid, 9),
                                    std::pair(mid, after.height - 10)})
           EXPECT_EQ(At(after, x, y), Pixel(255, 0, 0)) << x << "," << y;
         for (const auto& [x, y] : {std::pair(10, mid), std::pair(after.width - 11, mid),
                                    std::pair(mid, 10), std::pair(mid, after.height - 11)})
           EXPECT_EQ(At(after, x, y), At(plain, x, y)) << x << "," << y;
       }},
      {"one-bit output", [](auto& s) { s.output.format = "wbmp"; },
       [&](const RgbPicture& after) {
         sameSize(after);
         std::set<Pixel> values;
         for (int y = 0; y < after.height; ++y)
           for (int x = 0; x < after.width; ++x) values.insert(At(after, x, y));
         EXPECT_EQ(values, (std::set<Pixel>{{0, 0, 0}, {255, 255, 255}}));
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const RgbPicture after = convert(c.change);
    ASSERT_TRUE(after.valid());
    c.check(after);
  }
}

}  // namespace
}  // namespace lumafold
