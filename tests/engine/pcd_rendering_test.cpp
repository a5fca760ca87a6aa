// Which rendering the built-in decoder is asked for, and that the steps
// said to keep 16-bit and linear-light pixels do keep them up to the file.
#include <gtest/gtest.h>

#include <tuple>

#include "engine/steps/decode.h"
#include "engine/writers/write_output.h"
#include "pipeline_test_support.h"
#include "settings/format_registry.h"

namespace lumafold {
namespace {

using namespace pipeline_testing;
using pcd::Rendering;

class RenderingTest : public ::testing::Test {
 protected:
  RenderingTest() { settings_.resetToDefaults(SettingsMode::CommandLine); }

  // The rendering for `format` at `depth` bits (0 automatic).
  Rendering renderingFor(const std::string& format, std::int32_t depth) {
    settings_.output.format = format;
    *settings_.output.bppFor(format) = depth;
    EXPECT_TRUE(PrepareJobForOutput(job_, settings_, formats_));
    return RenderingForOutput(StepContext{settings_, job_, file_});
  }

  ConversionSettings settings_;
  ConversionJob job_;
  FileConversion file_;
  FormatRegistry formats_;
};

TEST_F(RenderingTest, DeepOutputsAskForSixteenBitsOrLinearLight) {
  EXPECT_EQ(renderingFor("jpg", 0), Rendering::Display8);
  // Automatic depth follows the 8-bit picture, except where a format has
  // nothing but 96 bits.
  EXPECT_EQ(renderingFor("png", 0), Rendering::Display8);
  EXPECT_EQ(renderingFor("tiff", 0), Rendering::Display8);
  EXPECT_EQ(renderingFor("exr", 0), Rendering::LinearFloat);
  EXPECT_EQ(renderingFor("hdr", 0), Rendering::LinearFloat);
  EXPECT_EQ(renderingFor("pfm", 0), Rendering::LinearFloat);
  for (const char* format : {"png", "ppm", "tiff", "j2k", "jp2", "jxr"})
    EXPECT_EQ(renderingFor(format, 48), Rendering::Display16) << format;
  for (const char* format : {"tiff", "jxr"})
    EXPECT_EQ(renderingFor(format, 96), Rendering::LinearFloat) << format;
  EXPECT_EQ(renderingFor("png", 24), Rendering::Display8);
}

TEST_F(RenderingTest, StepsThatWorkInEightBitsAskForEightBits) {
  struct Step {
    const char* name;
    void (*switchOn)(ConversionSettings&);
    Rendering expected;
  };
  const Step steps[] = {
      {"flip", [](auto& s) { s.transform.doImageFlipHorizontal = 1; }, Rendering::Display16},
      {"resize",
       [](auto& s) {
         s.transform.doImageResize = 1;
         s.transform.imageWidth = s.transform.imageHeight = 100;
       },
       Rendering::Display16},
      {"quarter turn",
       [](auto& s) {
         s.transform.doImageRotation = 1;
         s.transform.imageRotation = 270;
       },
       Rendering::Display16},
      {"rotation switched on at 0 degrees", [](auto& s) { s.transform.doImageRotation = 1; },
       Rendering::Display16},
      {"rotation by 45 degrees",
       [](auto& s) {
         s.transform.doImageRotation = 1;
         s.transform.imageRotation = 45;
       },
       Rendering::Display8},
      {"quarter turn about the centre",
       [](auto& s) {
         s.transform.doImageRotation = 1;
         s.transform.imageRotationType = 1;
         s.transform.imageRotation = 90;
       },
       Rendering::Display8},
      {"colour correction", [](auto& s) { s.adjustment.doImageColorCorrection = 1; },
       Rendering::Display8},
      {"greyscale", [](auto& s) { s.adjustment.doImageGreyscale = 1; }, Rendering::Display8},
      {"threshold", [](auto& s) { s.adjustment.doImageThreshold = 1; }, Rendering::Display8},
      {"frame", [](auto& s) { s.frame.doFrame = 1; }, Rendering::Display8},
      {"watermark", [](auto& s) { s.watermark.doWatermark = 2; }, Rendering::Display8},
  };
  for (const Step& step : steps) {
    settings_.resetToDefaults(SettingsMode::CommandLine);
    step.switchOn(settings_);
    EXPECT_EQ(renderingFor("png", 48), step.expected) << step.name;
    const Rendering deep =
        step.expected == Rendering::Display16 ? Rendering::LinearFloat : Rendering::Display8;
    EXPECT_EQ(renderingFor("exr", 0), deep) << step.name;
  }
}

TEST_F(RenderingTest, DeepPicturesKeepTheirTypeThroughTurnsResizeFlipsAndTheDepthStep) {
  settings_.transform.doImageRotation = 1;
  settings_.transform.imageRotation = 90;
  settings_.transform.doImageResize = 1;
  settings_.transform.imageWidth = 256;
  settings_.transform.imageHeight = 384;
  settings_.transform.imageResizeAlgorithm = 5;  // Lanczos overshoots at edges
  settings_.transform.doImageFlipVertical = 1;
  for (const auto& [format, depth, type] :
       {std::tuple{"png", 48, FIT_RGB16}, std::tuple{"pfm", 0, FIT_RGBF}}) {
    SCOPED_TRACE(format);
    const Rendering rendering = renderingFor(format, depth);
    DecoderOptions options;
    options.rendering = rendering;
    file_.inputPath = Sample("kodim23.pcd");
    DecodedImage decoded = DecodePhotoCd(file_, options);
    ASSERT_TRUE(decoded.image);
    EXPECT_EQ(decoded.source, DecodeSource::PhotoCdDecoder);
    EXPECT_TRUE(file_.intermediatePath.empty());
    const StepContext context{settings_, job_, file_};
    ImageHandle image = RotateImage(std::move(decoded.image), context);
    EXPECT_EQ(FreeImage_GetWidth(image.get()), 512u);
    image = ResizeImage(std::move(image), context);
    image = FlipImage(std::move(image), context);
    ASSERT_EQ(FreeImage_GetImageType(image.get()), type);
    EXPECT_EQ(FreeImage_GetWidth(image.get()), 256u);
    EXPECT_EQ(FreeImage_GetHeight(image.get()), 384u);
    if (type == FIT_RGBF) {
      for (unsigned y = 0; y < 384; ++y) {
        const auto* row = reinterpret_cast<const FIRGBF*>(FreeImage_GetScanLine(image.get(), y));
        for (unsigned x = 0; x < 256; ++x)
          ASSERT_TRUE(row[x].red >= 0 && row[x].green >= 0 && row[x].blue >= 0) << x << "," << y;
      }
    }
    FIBITMAP* before = image.get();
    image = ConvertDepth(std::move(image), context);
    EXPECT_EQ(image.get(), before) << "converted again";
  }
}

}  // namespace
}  // namespace lumafold
