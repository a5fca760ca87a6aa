// Colour correction, greyscale and threshold steps, and the colour-text rule.
#include <gtest/gtest.h>

#include "engine/colour.h"
#include "processing_test_support.h"

namespace lumafold {
namespace {

using testing::PixelAt;
using testing::StepBench;

TEST(ColourTextTest, SixHexDigitsOrBlack) {
  EXPECT_EQ(ParseColour("FF0000"), (RgbColour{255, 0, 0}));
  EXPECT_EQ(ParseColour("00ff80"), (RgbColour{0, 255, 128}));
  EXPECT_EQ(ParseColour("123456"), (RgbColour{0x12, 0x34, 0x56}));
  for (const char* black : {"F00", "", "FF00000", "GG0000", " FF000", "FF 000", "0xFF00"})
    EXPECT_EQ(ParseColour(black), (RgbColour{0, 0, 0})) << '"' << black << '"';
}

class ColourStepTest : public ::testing::Test {
 protected:
  AdjustmentSettings& adjustment() { return bench.settings.adjustment; }
  StepBench bench;
};

TEST_F(ColourStepTest, DeepImagesAreMade24BitBeforeTheCorrection) {
  adjustment().doImageColorCorrection = 1;
  adjustment().imageInvert = 1;
  ImageHandle deep(FreeImage_AllocateT(FIT_RGB16, 8, 4));
  auto* row = reinterpret_cast<FIRGB16*>(FreeImage_GetScanLine(deep.get(), 0));
  row[0] = FIRGB16{0xFFFF, 0x0000, 0x8080};  // bottom row, first pixel
  deep = AdjustColours(std::move(deep), bench.context());
  ASSERT_EQ(FreeImage_GetBPP(deep.get()), 24u);
  const testing::Rgb inverted = PixelAt(deep.get(), 0, 3);
  EXPECT_EQ(inverted.red, 0);
  EXPECT_EQ(inverted.green, 255);
  EXPECT_EQ(inverted.blue, 255 - 0x80);
}

TEST_F(ColourStepTest, NeutralValuesLeaveThePixelsAlone) {
  adjustment().doImageColorCorrection = 1;
  adjustment().imageBrightness = 0;
  adjustment().imageContrast = 0;
  adjustment().imageGamma = 1.0f;
  adjustment().imageInvert = 0;
  const ImageHandle original = testing::PatternImage(40, 30);
  ImageHandle adjusted = AdjustColours(testing::Clone(original.get()), bench.context());
  EXPECT_TRUE(testing::SamePixels(adjusted.get(), original.get()));
}

TEST_F(ColourStepTest, BrightnessContrastGammaAndInversionReachTheLibrary) {
  adjustment().doImageColorCorrection = 1;
  adjustment().imageBrightness = 50;
  ImageHandle brighter = AdjustColours(testing::SolidImage(4, 4, {100, 100, 100}), bench.context());
  EXPECT_GT(PixelAt(brighter.get(), 0, 0).red, 130);

  adjustment().imageBrightness = 0;
  adjustment().imageContrast = 50;
  ImageHandle contrasted = AdjustColours(testing::SolidImage(4, 4, {60, 60, 60}), bench.context());
  EXPECT_LT(PixelAt(contrasted.get(), 0, 0).red, 50);

  adjustment().imageContrast = 0;
  adjustment().imageGamma = 2.0f;
  ImageHandle lighter = AdjustColours(testing::SolidImage(4, 4, {64, 64, 64}), bench.context());
  EXPECT_GT(PixelAt(lighter.get(), 0, 0).red, 100);

  adjustment().imageGamma = 1.0f;
  adjustment().imageInvert = 1;
  ImageHandle inverted = AdjustColours(testing::SolidImage(4, 4, {10, 20, 30}), bench.context());
  EXPECT_EQ(PixelAt(inverted.get(), 0, 0).red, 245);
  EXPECT_EQ(PixelAt(inverted.get(), 0, 0).blue, 225);

  adjustment().doImageColorCorrection = 0;
  ImageHandle off = AdjustColours(testing::SolidImage(4, 4, {10, 20, 30}), bench.context());
  EXPECT_EQ(PixelAt(off.get(), 0, 0).red, 10);
}

TEST_F(ColourStepTest, OneBitImagesAreWidenedBeforeTheCorrection) {
  adjustment().doImageColorCorrection = 1;
  adjustment().imageInvert = 1;
  ImageHandle bilevel(FreeImage_Threshold(testing::SolidImage(8, 8, {255, 255, 255}).get(), 128));
  ASSERT_EQ(FreeImage_GetBPP(bilevel.get()), 1u);
  bilevel = AdjustColours(std::move(bilevel), bench.context());
  EXPECT_EQ(FreeImage_GetBPP(bilevel.get()), 24u);
  EXPECT_EQ(PixelAt(bilevel.get(), 3, 3).red, 0);
}

TEST_F(ColourStepTest, GreyscaleGivesEightBitsAndKeepsTheRecordedSourceDepth) {
  adjustment().doImageGreyscale = 1;
  bench.file.sourceBitDepth = 24;
  ImageHandle grey = ApplyGreyscale(testing::SolidImage(6, 6, {200, 40, 40}), bench.context());
  EXPECT_EQ(FreeImage_GetBPP(grey.get()), 8u);
  EXPECT_EQ(FreeImage_GetColorType(grey.get()), FIC_MINISBLACK);
  // The automatic output depth is decided later from the depth at load.
  EXPECT_EQ(bench.file.sourceBitDepth, 24);

  ImageHandle deepGrey =
      ApplyGreyscale(ImageHandle(FreeImage_AllocateT(FIT_RGB16, 6, 6)), bench.context());
  EXPECT_EQ(FreeImage_GetBPP(deepGrey.get()), 8u);

  adjustment().doImageGreyscale = 0;
  ImageHandle colour = ApplyGreyscale(testing::SolidImage(6, 6, {200, 40, 40}), bench.context());
  EXPECT_EQ(FreeImage_GetBPP(colour.get()), 24u);
}

TEST_F(ColourStepTest, ThresholdGivesOneBitSplitAtTheLevel) {
  adjustment().doImageThreshold = 1;
  adjustment().imageThreshold = 128;
  ImageHandle image = testing::SolidImage(2, 1, {0, 0, 0});
  testing::SetPixel(image.get(), 0, 0, {250, 240, 230});  // bright
  testing::SetPixel(image.get(), 1, 0, {90, 20, 10});     // dark colour
  image = ApplyThreshold(std::move(image), bench.context());
  ASSERT_EQ(FreeImage_GetBPP(image.get()), 1u);
  EXPECT_EQ(PixelAt(image.get(), 0, 0).red, 255);
  EXPECT_EQ(PixelAt(image.get(), 1, 0).red, 0);

  // The level goes over as one byte: 384 is level 128.
  adjustment().imageThreshold = 384;
  ImageHandle wrapped = testing::SolidImage(1, 1, {140, 140, 140});
  wrapped = ApplyThreshold(std::move(wrapped), bench.context());
  EXPECT_EQ(PixelAt(wrapped.get(), 0, 0).red, 255);

  adjustment().imageThreshold = 128;
  ImageHandle deep =
      ApplyThreshold(ImageHandle(FreeImage_AllocateT(FIT_RGB16, 4, 4)), bench.context());
  EXPECT_EQ(FreeImage_GetBPP(deep.get()), 1u);
}

}  // namespace
}  // namespace lumafold
