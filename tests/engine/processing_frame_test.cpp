// The solid frame step: mitred sides over the image's edge, opacity, clamping.
#include <gtest/gtest.h>

#include "engine/steps/frame.h"
#include "processing_test_support.h"

namespace lumafold {
namespace {

using namespace lumafold::testing;

constexpr Rgb kYellow{255, 255, 0};

bool IsWhite(Rgb pixel) { return Near(pixel, kWhite, 0); }

class FrameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FrameSettings& frame = bench.settings.frame;
    frame.doFrame = 1;
    frame.solidTopColor = "FF0000";
    frame.solidLeftColor = "0000FF";
    frame.solidRightColor = "00FF00";
    frame.solidBottomColor = "FFFF00";
    frame.solidOpacity = 255;
    Widths(10, 10, 10, 10);
  }
  void Widths(int left, int right, int top, int bottom) {
    bench.settings.frame.solidLeft = left;
    bench.settings.frame.solidRight = right;
    bench.settings.frame.solidTop = top;
    bench.settings.frame.solidBottom = bottom;
  }
  ImageHandle Framed(int width, int height, int bitsPerPixel = 24) {
    return DrawFrame(SolidImage(width, height, kWhite, bitsPerPixel), bench.context());
  }
  StepBench bench;
};

TEST_F(FrameTest, CoversTheOuterPixelsAndKeepsTheSize) {
  ImageHandle image = Framed(100, 80);
  ASSERT_EQ(FreeImage_GetWidth(image.get()), 100u);
  ASSERT_EQ(FreeImage_GetHeight(image.get()), 80u);
  ASSERT_EQ(FreeImage_GetBPP(image.get()), 24u);
  int covered = 0, uncoveredBorder = 0, paintedInside = 0;
  for (unsigned y = 0; y < 80; ++y)
    for (unsigned x = 0; x < 100; ++x) {
      const bool border = x < 10 || x >= 90 || y < 10 || y >= 70;
      const bool white = IsWhite(PixelAt(image.get(), x, y));
      if (border && white) ++uncoveredBorder;
      if (border && !white) ++covered;
      if (!border && !white) ++paintedInside;
    }
  EXPECT_EQ(uncoveredBorder, 0);
  EXPECT_EQ(paintedInside, 0);
  EXPECT_EQ(covered, 100 * 80 - 80 * 60);
  EXPECT_TRUE(Near(PixelAt(image.get(), 50, 0), kRed, 0));
  EXPECT_TRUE(Near(PixelAt(image.get(), 50, 9), kRed, 0));
  EXPECT_TRUE(Near(PixelAt(image.get(), 0, 40), kBlue, 0));
  EXPECT_TRUE(Near(PixelAt(image.get(), 99, 40), kGreen, 0));
  EXPECT_TRUE(Near(PixelAt(image.get(), 50, 79), kYellow, 0));
}

TEST_F(FrameTest, CornersAreSplitAlongTheirDiagonals) {
  ImageHandle image = Framed(100, 80);
  // Top-left: red above the diagonal from (0, 0) to (10, 10), blue below.
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 10; ++x) {
      SCOPED_TRACE(::testing::Message() << x << "," << y);
      const Rgb pixel = PixelAt(image.get(), x, y);
      if (x > y + 1) {
        EXPECT_TRUE(Near(pixel, kRed, 0));
      } else if (y > x + 1) {
        EXPECT_TRUE(Near(pixel, kBlue, 0));
      }
      if (x == y) {  // on the diagonal: shared between the two sides
        EXPECT_GT(pixel.red, 40);
        EXPECT_GT(pixel.blue, 40);
        EXPECT_EQ(pixel.green, 0);
      }
    }
  // Bottom-right: green on the right of the diagonal, yellow below it.
  EXPECT_TRUE(Near(PixelAt(image.get(), 98, 72), kGreen, 0));
  EXPECT_TRUE(Near(PixelAt(image.get(), 92, 78), kYellow, 0));
}

TEST_F(FrameTest, OpacityLetsTheImageShowThrough) {
  bench.settings.frame.solidOpacity = 128;
  ImageHandle half = Framed(40, 40);
  EXPECT_TRUE(Near(PixelAt(half.get(), 20, 3), {255, 127, 127}, 2));
  EXPECT_TRUE(Near(PixelAt(half.get(), 3, 20), {127, 127, 255}, 2));
  EXPECT_TRUE(IsWhite(PixelAt(half.get(), 20, 20)));

  // Opacity 0 hides the border, but a 32-bit image has still become 24-bit.
  bench.settings.frame.solidOpacity = 0;
  ImageHandle invisible = Framed(40, 40, 32);
  EXPECT_EQ(FreeImage_GetBPP(invisible.get()), 24u);
  for (unsigned y = 0; y < 40; ++y)
    for (unsigned x = 0; x < 40; ++x) ASSERT_TRUE(IsWhite(PixelAt(invisible.get(), x, y)));
}

TEST_F(FrameTest, ZeroWidthSideDrawsNoBand) {
  Widths(0, 10, 10, 10);
  ImageHandle image = Framed(60, 50);
  for (unsigned y = 11; y < 39; ++y) EXPECT_TRUE(IsWhite(PixelAt(image.get(), 0, y))) << y;
  EXPECT_TRUE(Near(PixelAt(image.get(), 0, 2), kRed, 0));  // the top band reaches the edge

  Widths(-7, 10, 10, 10);  // a negative width counts as none
  ImageHandle negative = Framed(60, 50);
  for (unsigned y = 11; y < 39; ++y) EXPECT_TRUE(IsWhite(PixelAt(negative.get(), 0, y))) << y;
}

TEST_F(FrameTest, WidthsBeyondTheImageAreClampedInsideIt) {
  FrameWidths fitted = ClampedFrameWidths(bench.settings.frame, 20, 20);
  EXPECT_EQ(fitted.left, 10);
  EXPECT_EQ(fitted.top, 10);

  bench.settings.frame.solidLeft = 30;
  bench.settings.frame.solidRight = 10;
  bench.settings.frame.solidTop = 1000;
  bench.settings.frame.solidBottom = 1000;
  fitted = ClampedFrameWidths(bench.settings.frame, 20, 16);
  EXPECT_EQ(fitted.left, 15);  // 3 : 1 of 20
  EXPECT_EQ(fitted.right, 5);
  EXPECT_EQ(fitted.top, 8);
  EXPECT_EQ(fitted.bottom, 8);

  // Drawn: every pixel belongs to the frame, nothing of the image is left,
  // and the sides keep their share.
  Widths(1000, 1000, 1000, 1000);
  ImageHandle image = Framed(50, 40);
  ASSERT_EQ(FreeImage_GetWidth(image.get()), 50u);
  ASSERT_EQ(FreeImage_GetHeight(image.get()), 40u);
  for (unsigned y = 0; y < 40; ++y)
    for (unsigned x = 0; x < 50; ++x) ASSERT_FALSE(IsWhite(PixelAt(image.get(), x, y)));
  EXPECT_TRUE(Near(PixelAt(image.get(), 25, 1), kRed, 0));
  EXPECT_TRUE(Near(PixelAt(image.get(), 1, 20), kBlue, 0));
  EXPECT_TRUE(Near(PixelAt(image.get(), 48, 20), kGreen, 0));
  EXPECT_TRUE(Near(PixelAt(image.get(), 25, 38), kYellow, 0));

  Widths(30, 10, 0, 0);
  ImageHandle lopsided = Framed(20, 10);
  EXPECT_TRUE(Near(PixelAt(lopsided.get(), 14, 5), kBlue, 0));
  EXPECT_TRUE(Near(PixelAt(lopsided.get(), 15, 5), kGreen, 0));
}

TEST_F(FrameTest, OnlyTheSolidKindDraws) {
  bench.settings.frame.doFrame = 0;
  ImageHandle untouched = SolidImage(30, 30, kWhite, 32);
  FIBITMAP* before = untouched.get();
  untouched = DrawFrame(std::move(untouched), bench.context());
  EXPECT_EQ(untouched.get(), before);
  EXPECT_EQ(FreeImage_GetBPP(untouched.get()), 32u);

  // An unknown kind draws nothing but the image is made 24-bit all the same.
  bench.settings.frame.doFrame = 2;
  ImageHandle unknown = Framed(30, 30, 8);
  EXPECT_EQ(FreeImage_GetBPP(unknown.get()), 24u);
  EXPECT_TRUE(IsWhite(PixelAt(unknown.get(), 0, 0)));
}

TEST_F(FrameTest, ColourTextsOfAnotherLengthPaintBlack) {
  bench.settings.frame.solidTopColor = "F00";
  ImageHandle image = Framed(40, 40);
  EXPECT_TRUE(Near(PixelAt(image.get(), 20, 2), {0, 0, 0}, 0));
}

}  // namespace
}  // namespace lumafold
