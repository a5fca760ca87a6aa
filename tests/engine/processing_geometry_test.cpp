// Rotation, resize and flip steps on synthetic images.
#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>

#include "processing_test_support.h"

namespace lumafold {
namespace {

using namespace lumafold::testing;

struct Size {
  unsigned width;
  unsigned height;
  bool operator==(const Size&) const = default;
  friend std::ostream& operator<<(std::ostream& out, const Size& size) {
    return out << size.width << " x " << size.height;
  }
};

Size SizeOf(const ImageHandle& image) {
  return {FreeImage_GetWidth(image.get()), FreeImage_GetHeight(image.get())};
}

class ResizeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    bench.settings.transform.doImageResize = 1;
    bench.settings.transform.imageResizeAlgorithm = 0;  // box keeps big images quick
  }
  void Pixels(std::int32_t width, std::int32_t height) {
    bench.settings.transform.imageWidth = width;
    bench.settings.transform.imageHeight = height;
    bench.settings.transform.imageWidthUnit = 0;
    bench.settings.transform.imageHeightUnit = 0;
  }
  void Percent(std::int32_t width, std::int32_t height) {
    Pixels(width, height);
    bench.settings.transform.imageWidthUnit = 1;
    bench.settings.transform.imageHeightUnit = 1;
  }
  Size Resized(int width, int height) {
    ImageHandle image = SolidImage(width, height, {10, 20, 30});
    image = ResizeImage(std::move(image), bench.context());
    return SizeOf(image);
  }
  StepBench bench;
};

TEST_F(ResizeTest, KeepAspectUsesTheWidthTargetForLandscapeAndTheHeightForPortrait) {
  bench.settings.transform.keepAspectRatio = 1;
  Pixels(1024, 1024);
  EXPECT_EQ(Resized(3072, 2048), (Size{1024, 683}));  // 1024 / 1.5 = 682.67
  EXPECT_EQ(bench.file.workingWidth, 1024);
  EXPECT_EQ(bench.file.workingHeight, 683);

  EXPECT_EQ(Resized(2048, 3072), (Size{683, 1024}));

  // Square images count as landscape: only the width target is used.
  Pixels(300, 50);
  EXPECT_EQ(Resized(600, 600), (Size{300, 300}));
}

TEST_F(ResizeTest, PercentTargetsRoundHalvesToEven) {
  bench.settings.transform.keepAspectRatio = 0;
  Percent(50, 50);
  EXPECT_EQ(Resized(767, 511), (Size{384, 256}));  // 383.5 and 255.5
  // 384.5 and 256.5: rounding half up would give 385 x 257
  EXPECT_EQ(Resized(769, 513), (Size{384, 256}));
  // Mixed units: width in percent, height in pixels.
  bench.settings.transform.imageHeightUnit = 0;
  bench.settings.transform.imageHeight = 90;
  EXPECT_EQ(Resized(200, 100), (Size{100, 90}));
}

TEST_F(ResizeTest, LargeImagesOnlyLeavesImagesSmallerInBothDirections) {
  bench.settings.transform.imageResizeType = 1;
  bench.settings.transform.keepAspectRatio = 0;
  Pixels(1024, 768);
  ImageHandle small = SolidImage(768, 512, {1, 2, 3});
  FIBITMAP* before = small.get();
  small = ResizeImage(std::move(small), bench.context());
  EXPECT_EQ(small.get(), before);
  EXPECT_EQ(SizeOf(small).width, 768u);

  EXPECT_EQ(Resized(1200, 500), (Size{1024, 768}));  // smaller in one direction only

  bench.settings.transform.keepAspectRatio = 1;
  EXPECT_EQ(Resized(1200, 500), (Size{1024, 427}));  // 1024 / 2.4 = 426.67

  // All images (type 0) enlarges small ones too.
  bench.settings.transform.imageResizeType = 0;
  bench.settings.transform.keepAspectRatio = 0;
  EXPECT_EQ(Resized(768, 512), (Size{1024, 768}));
}

TEST_F(ResizeTest, NothingToDoPassesTheSameImageOn) {
  struct Case {
    const char* what;
    std::int32_t width, height;
    std::int8_t widthUnit, heightUnit;
    bool switchedOn;
  };
  const Case cases[] = {
      {"switch off", 50, 50, 0, 0, false},     {"zero width", 0, 50, 0, 0, true},
      {"negative height", 50, -5, 0, 0, true}, {"unknown unit", 50, 50, 2, 0, true},
      {"same size", 120, 80, 0, 0, true},      {"100 percent", 100, 100, 1, 1, true},
      {"zero percent", 0, 100, 1, 1, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    bench.settings.transform.doImageResize = c.switchedOn ? 1 : 0;
    bench.settings.transform.keepAspectRatio = 0;
    bench.settings.transform.imageWidth = c.width;
    bench.settings.transform.imageHeight = c.height;
    bench.settings.transform.imageWidthUnit = c.widthUnit;
    bench.settings.transform.imageHeightUnit = c.heightUnit;
    ImageHandle image = SolidImage(120, 80, {1, 2, 3});
    FIBITMAP* before = image.get();
    image = ResizeImage(std::move(image), bench.context());
    EXPECT_EQ(image.get(), before);
  }
}

TEST_F(ResizeTest, KeepAspectNeverProducesAnEmptyImage) {
  bench.settings.transform.keepAspectRatio = 1;
  Pixels(10, 10);
  EXPECT_EQ(Resized(4000, 2), (Size{4000, 2}));  // 10 / 2000 rounds to 0 rows
}

class RotateTest : public ::testing::Test {
 protected:
  void SetUp() override { bench.settings.transform.doImageRotation = 1; }
  void Rotation(int type, int angle, const char* back = "000000") {
    bench.settings.transform.imageRotationType = static_cast<std::int8_t>(type);
    bench.settings.transform.imageRotation = angle;
    bench.settings.transform.imageRotationBackColor = back;
  }
  StepBench bench;
};

TEST_F(RotateTest, SimpleRotationGrowsTheCanvasAndAdvancedKeepsIt) {
  Rotation(0, 90);
  ImageHandle simple = RotateImage(SolidImage(3072, 2048, {9, 9, 9}), bench.context());
  EXPECT_EQ(SizeOf(simple).width, 2048u);
  EXPECT_EQ(SizeOf(simple).height, 3072u);
  EXPECT_EQ(bench.file.workingWidth, 2048);
  EXPECT_EQ(bench.file.workingHeight, 3072);

  Rotation(1, 45);
  ImageHandle advanced = RotateImage(SolidImage(3072, 2048, {9, 9, 9}), bench.context());
  EXPECT_EQ(SizeOf(advanced).width, 3072u);
  EXPECT_EQ(SizeOf(advanced).height, 2048u);
}

TEST_F(RotateTest, PositiveAnglesTurnCounterClockwise) {
  Rotation(0, 90);
  ImageHandle image = SolidImage(4, 2, {0, 0, 0});
  SetPixel(image.get(), 3, 0, {255, 255, 255});  // top-right corner
  image = RotateImage(std::move(image), bench.context());
  ASSERT_EQ(SizeOf(image).width, 2u);
  // Counter-clockwise by 90 degrees: the top-right corner becomes the top-left.
  EXPECT_EQ(PixelAt(image.get(), 0, 0).red, 255);
  EXPECT_EQ(PixelAt(image.get(), 1, 3).red, 0);
}

TEST_F(RotateTest, AnglesOutsideOneTo359ChangeNothingNotEvenTheDepth) {
  for (int angle : {0, 360, -90, 720}) {
    SCOPED_TRACE(angle);
    Rotation(0, angle);
    ImageHandle image = SolidImage(30, 20, {50, 50, 50}, 8);
    FIBITMAP* before = image.get();
    image = RotateImage(std::move(image), bench.context());
    EXPECT_EQ(image.get(), before);
    EXPECT_EQ(FreeImage_GetBPP(image.get()), 8u);
  }
}

TEST_F(RotateTest, BackColourFillsTheGrownCorners) {
  struct Case {
    const char* back;
    Rgb expected;
  };
  for (const Case& c :
       {Case{"FF0000", {255, 0, 0}}, Case{"F00", {0, 0, 0}}, Case{"00ff80", {0, 255, 128}}}) {
    SCOPED_TRACE(c.back);
    Rotation(0, 45, c.back);
    ImageHandle image = RotateImage(SolidImage(100, 100, {0, 0, 255}), bench.context());
    ASSERT_GT(SizeOf(image).width, 100u);
    EXPECT_TRUE(Near(PixelAt(image.get(), 0, 0), c.expected, 0));
    // The middle is still the image.
    const Size size = SizeOf(image);
    EXPECT_TRUE(Near(PixelAt(image.get(), size.width / 2, size.height / 2), {0, 0, 255}, 2));
  }
}

TEST_F(RotateTest, ShallowAndDeepImagesAreRotatedAs24BitExceptDeepQuarterTurns) {
  Rotation(0, 90);
  ImageHandle grey = RotateImage(SolidImage(30, 20, {80, 80, 80}, 8), bench.context());
  EXPECT_EQ(FreeImage_GetBPP(grey.get()), 24u);
  EXPECT_EQ(SizeOf(grey).width, 20u);

  // A quarter turn fills no corner, so 16-bit and float pixels keep their
  // precision; any other angle goes through 24 bits.
  ImageHandle deep(FreeImage_AllocateT(FIT_RGB16, 30, 20));
  deep = RotateImage(std::move(deep), bench.context());
  EXPECT_EQ(FreeImage_GetImageType(deep.get()), FIT_RGB16);
  EXPECT_EQ(SizeOf(deep).width, 20u);
  ImageHandle light(FreeImage_AllocateT(FIT_RGBF, 30, 20));
  light = RotateImage(std::move(light), bench.context());
  EXPECT_EQ(FreeImage_GetImageType(light.get()), FIT_RGBF);
  EXPECT_EQ(SizeOf(light).width, 20u);
  Rotation(0, 45);
  deep = RotateImage(std::move(deep), bench.context());
  EXPECT_EQ(FreeImage_GetBPP(deep.get()), 24u);
  Rotation(0, 90);

  // 32-bit images keep their alpha channel through the rotation.
  ImageHandle withAlpha = RotateImage(SolidImage(30, 20, {1, 2, 3}, 32), bench.context());
  EXPECT_EQ(FreeImage_GetBPP(withAlpha.get()), 32u);

  // An unknown rotation type does no rotation, but the depth rule has run.
  Rotation(7, 90);
  ImageHandle unknown = RotateImage(SolidImage(30, 20, {80, 80, 80}, 8), bench.context());
  EXPECT_EQ(FreeImage_GetBPP(unknown.get()), 24u);
  EXPECT_EQ(SizeOf(unknown).width, 30u);
}

// A 3x2 picture, red at the top left and green at the bottom right: where
// each combination of flips puts them, flipped in place.
TEST(FlipTest, HorizontalThenVerticalInPlace) {
  struct Case {
    std::int8_t horizontal, vertical;
    unsigned redX, redY, greenX, greenY;
  };
  for (const Case& c : {Case{1, 0, 2, 0, 0, 1}, Case{0, 1, 0, 1, 2, 0}, Case{1, 1, 2, 1, 0, 0},
                        Case{0, 0, 0, 0, 2, 1}}) {
    SCOPED_TRACE(std::to_string(c.horizontal) + " " + std::to_string(c.vertical));
    StepBench bench;
    bench.settings.transform.doImageFlipHorizontal = c.horizontal;
    bench.settings.transform.doImageFlipVertical = c.vertical;
    ImageHandle image = SolidImage(3, 2, {0, 0, 0});
    SetPixel(image.get(), 0, 0, {255, 0, 0});
    SetPixel(image.get(), 2, 1, {0, 255, 0});
    FIBITMAP* before = image.get();
    image = FlipImage(std::move(image), bench.context());
    EXPECT_EQ(image.get(), before);
    EXPECT_EQ(PixelAt(image.get(), c.redX, c.redY).red, 255);
    EXPECT_EQ(PixelAt(image.get(), c.greenX, c.greenY).green, 255);
  }
}

}  // namespace
}  // namespace lumafold
