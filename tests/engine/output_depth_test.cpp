// The bit-depth conversion before saving: the automatic depth per file,
// every explicit target, and the 16-bit layouts as they reach the file.
#include "output_test_support.h"

namespace lumafold {
namespace {
using namespace output_testing;

std::int32_t AutomaticFor(const std::string& key, std::int32_t source) {
  OutputCase output;
  EXPECT_TRUE(output.prepare(key));
  output.file.sourceBitDepth = source;
  return EffectiveTargetDepth(output.job, output.file);
}

TEST(OutputDepth, AutomaticDepthIsFirstAcceptedNotBelowSource) {
  EXPECT_EQ(AutomaticFor("jpg", 32), 24);
  EXPECT_EQ(AutomaticFor("tiff", 24), 24);
  EXPECT_EQ(AutomaticFor("gif", 1), 8);
  EXPECT_EQ(AutomaticFor("gif", 32), 8);
  EXPECT_EQ(AutomaticFor("png", 16), 24);
  EXPECT_EQ(AutomaticFor("bmp", 48), 32);  // every entry smaller: the largest
  EXPECT_EQ(AutomaticFor("exr", 24), 96);
  EXPECT_EQ(AutomaticFor("pbm", 24), 1);
}

// Each file gets its own automatic depth; the job stays as prepared.
TEST(OutputDepth, AutomaticDepthIsDecidedPerFile) {
  OutputCase output;
  ASSERT_TRUE(output.prepare("png"));
  output.file.sourceBitDepth = 8;
  ImageHandle grey =
      output.convert(ImageHandle(FreeImage_ConvertTo8Bits(GradientImage(8, 8).get())));
  EXPECT_EQ(output.file.targetBitDepth, 8);
  EXPECT_EQ(FreeImage_GetBPP(grey.get()), 8u);

  output.file.sourceBitDepth = 32;
  ImageHandle colour =
      output.convert(ImageHandle(FreeImage_ConvertTo32Bits(GradientImage(8, 8).get())));
  EXPECT_EQ(output.file.targetBitDepth, 32);
  EXPECT_EQ(FreeImage_GetBPP(colour.get()), 32u);
  EXPECT_EQ(output.job.targetBitDepth, 0);
  EXPECT_TRUE(output.job.automaticDepth);
}

// An 8-bit picture is grey in a JPEG and a palette in a PNG; a GIF, whose
// depth is chosen for the 24-bit source, is quantized to a full palette.
TEST(OutputDepth, EightBitLayoutPerFormat) {
  struct Case {
    const char* key;
    std::int32_t bpp;  // 0: automatic
    FREE_IMAGE_COLOR_TYPE type;
    unsigned colours;  // of the palette; 0: not checked
  };
  for (const Case& c : {Case{"gif", 0, FIC_PALETTE, 256}, Case{"jpg", 8, FIC_MINISBLACK, 0},
                        Case{"png", 8, FIC_PALETTE, 0}}) {
    SCOPED_TRACE(c.key);
    OutputCase output;
    ASSERT_TRUE(output.prepare(c.key, c.bpp));
    output.file.sourceBitDepth = 24;
    ImageHandle image = output.convert(LoadSampleTga());
    ASSERT_TRUE(image);
    EXPECT_EQ(FreeImage_GetBPP(image.get()), 8u);
    EXPECT_EQ(FreeImage_GetColorType(image.get()), c.type);
    if (c.colours) {
      EXPECT_EQ(FreeImage_GetColorsUsed(image.get()), c.colours);
    }
  }
}

// A quantized palette written as PGM would be its indices shown as grey
// levels; the greymap must look like the picture in grey.
TEST(OutputDepth, PgmHoldsTheGreyPictureNotPaletteIndices) {
  ScratchFolder folder;
  const std::string path = WriteAs(folder, "grey.pgm", LoadSampleTga());
  ASSERT_FALSE(path.empty());
  const std::string error =
      RunCapture("convert 'pgm:" + path + "' \\( 'tga:" + SampleTgaPath() +
                 "' -colorspace Gray \\) -metric RMSE -compare -format '%[distortion]' info:");
  EXPECT_LT(std::stod(error), 0.02) << error;
}

TEST(OutputDepth, EveryExplicitTarget) {
  struct Case {
    const char* key;
    std::int32_t depth;
    unsigned bpp;
    FREE_IMAGE_TYPE type;
  };
  const Case cases[] = {
      {"tiff", 96, 96, FIT_RGBF},  {"tiff", 48, 48, FIT_RGB16}, {"tiff", 32, 32, FIT_BITMAP},
      {"bmp", 24, 24, FIT_BITMAP}, {"bmp", 16, 16, FIT_BITMAP}, {"bmp", 8, 8, FIT_BITMAP},
      {"bmp", 4, 4, FIT_BITMAP},   {"bmp", 1, 1, FIT_BITMAP},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.key) + " " + std::to_string(c.depth));
    OutputCase output;
    ASSERT_TRUE(output.prepare(c.key, c.depth));
    ImageHandle image = output.convert(GradientImage(16, 16));
    ASSERT_TRUE(image);
    EXPECT_EQ(FreeImage_GetBPP(image.get()), c.bpp);
    EXPECT_EQ(FreeImage_GetImageType(image.get()), c.type);
  }
}

TEST(OutputDepth, MatchingDepthPassesTheSameImage) {
  OutputCase output;
  ASSERT_TRUE(output.prepare("png", 32));
  ImageHandle image(FreeImage_ConvertTo32Bits(GradientImage(8, 8).get()));
  FIBITMAP* before = image.get();
  image = output.convert(std::move(image));
  EXPECT_EQ(image.get(), before);
}

// From 48 bits the 16-bit conversions have no direct path; the image goes
// through 24 bits first.
TEST(OutputDepth, SixteenFromFortyEight) {
  OutputCase output;
  ASSERT_TRUE(output.prepare("tga", 16));
  ImageHandle wide(FreeImage_ConvertToRGB16(GradientImage(8, 8).get()));
  ImageHandle image = output.convert(std::move(wide));
  ASSERT_TRUE(image);
  EXPECT_EQ(FreeImage_GetBPP(image.get()), 16u);
  EXPECT_EQ(FreeImage_GetGreenMask(image.get()), static_cast<unsigned>(FI16_555_GREEN_MASK));
}

TEST(OutputDepth, UnsupportedTargetYieldsNoImageAndTheSaveFails) {
  ScratchFolder folder;
  OutputCase output;
  ASSERT_TRUE(output.prepare("png", 2));
  ImageHandle image = output.convert(GradientImage(8, 8));
  EXPECT_FALSE(image);
  EXPECT_FALSE(output.write(image, folder.path() + "two.png"));
  EXPECT_TRUE(folder.entries().empty());
}

// 16-bit Targa pixels are 5-5-5 by definition; BMP gets 5-6-5 with its
// bit-field masks in the file. (The Targa is checked in its bytes: this
// ImageMagick reads bottom-up Targa files upside down.)
TEST(OutputDepth, SixteenBitTgaIs555AndBmpIs565InTheFile) {
  ScratchFolder folder;
  const std::vector<unsigned char> tgaBytes =
      ReadBytes(WriteAs(folder, "sixteen.tga", GradientImage(64, 48), 16));
  ASSERT_GT(tgaBytes.size(), 18u);
  EXPECT_EQ(tgaBytes[2], 2);          // uncompressed true-colour
  EXPECT_EQ(tgaBytes[16], 16);        // bits per pixel
  ASSERT_EQ(tgaBytes[17] & 0x20, 0);  // rows stored bottom-up
  ASSERT_GE(tgaBytes.size(), 18u + 64 * 48 * 2);
  // Pure blue at the bottom is 0x001F in either layout; pure red at the top
  // is 0x7C00 in 5-5-5 and would be 0xF800 in 5-6-5.
  EXPECT_EQ(Le16(tgaBytes, 18), 0x001F);
  EXPECT_EQ(Le16(tgaBytes, 18 + 47 * 64 * 2), 0x7C00);

  const std::string bmpPath = WriteAs(folder, "sixteen.bmp", GradientImage(64, 48), 16);
  ASSERT_FALSE(bmpPath.empty());
  const std::vector<unsigned char> bmpBytes = ReadBytes(bmpPath);
  ASSERT_GT(bmpBytes.size(), 66u);
  EXPECT_EQ(Le16(bmpBytes, 28), 16);       // bits per pixel
  EXPECT_EQ(Le32(bmpBytes, 30), 3u);       // BI_BITFIELDS
  EXPECT_EQ(Le32(bmpBytes, 54), 0xF800u);  // red mask
  EXPECT_EQ(Le32(bmpBytes, 58), 0x07E0u);  // green mask
  EXPECT_EQ(Le32(bmpBytes, 62), 0x001Fu);  // blue mask

  EXPECT_EQ(RunCapture("convert 'bmp:" + bmpPath +
                       "' -format '%[pixel:p{32,1}] %[pixel:p{32,46}]' info: 2>/dev/null"),
            "srgb(255,0,0) srgb(0,0,255)");
}

TEST(OutputDepth, SixteenBitIconIs555) {
  OutputCase output;
  ASSERT_TRUE(output.prepare("ico", 16));
  ImageHandle image = output.convert(GradientImage(32, 32));
  ASSERT_TRUE(image);
  EXPECT_EQ(FreeImage_GetGreenMask(image.get()), static_cast<unsigned>(FI16_555_GREEN_MASK));
}

}  // namespace
}  // namespace lumafold

namespace lumafold {
namespace {
using namespace output_testing;

ImageHandle Grey(unsigned level, int bpp = 24) {
  ImageHandle image(FreeImage_Allocate(4, 4, bpp));
  for (unsigned y = 0; y < 4; ++y) {
    BYTE* row = FreeImage_GetScanLine(image.get(), static_cast<int>(y));
    for (unsigned i = 0; i < 4 * static_cast<unsigned>(bpp) / 8; ++i)
      row[i] = static_cast<BYTE>(level);
  }
  return image;
}

// 16 bits per channel: 8-bit codes scaled by 257, so white is 65535 (a
// shift by 8 would leave it at 65280) and mid-grey 128 is 32896.
TEST(OutputDepth, FortyEightScalesEightBitCodesBy257) {
  for (const auto& [level, expected] : {std::pair{255u, 65535}, {128u, 32896}, {0u, 0}}) {
    for (int bpp : {24, 32}) {
      OutputCase output;
      ASSERT_TRUE(output.prepare("png", 48));
      ImageHandle wide = output.convert(Grey(level, bpp));
      ASSERT_TRUE(wide);
      ASSERT_EQ(FreeImage_GetImageType(wide.get()), FIT_RGB16);
      const auto* pixel = reinterpret_cast<const FIRGB16*>(FreeImage_GetScanLine(wide.get(), 2));
      EXPECT_EQ(pixel[1].red, expected) << level;
      EXPECT_EQ(pixel[1].green, expected) << level;
      EXPECT_EQ(pixel[1].blue, expected) << level;
    }
  }
}

// The floating-point formats hold linear light: sRGB mid-grey 128 is
// 0.2158, not 128 / 255.
TEST(OutputDepth, NinetySixHoldsLinearLight) {
  const std::pair<unsigned, float> levels[] = {{255u, 1.0f}, {128u, 0.2158f}, {10u, 0.003035f}};
  for (const auto& [level, expected] : levels) {
    OutputCase output;
    ASSERT_TRUE(output.prepare("exr"));
    output.file.sourceBitDepth = 24;
    ImageHandle linear = output.convert(Grey(level));
    ASSERT_TRUE(linear);
    ASSERT_EQ(FreeImage_GetImageType(linear.get()), FIT_RGBF);
    const auto* pixel = reinterpret_cast<const FIRGBF*>(FreeImage_GetScanLine(linear.get(), 0));
    EXPECT_NEAR(pixel[3].red, expected, 0.0005) << level;
    EXPECT_NEAR(pixel[3].blue, expected, 0.0005) << level;
  }
  // From 16 bits per channel the same curve applies.
  OutputCase wide;
  ASSERT_TRUE(wide.prepare("tiff", 96));
  ImageHandle sixteen(FreeImage_AllocateT(FIT_RGB16, 2, 2));
  auto* in = reinterpret_cast<FIRGB16*>(FreeImage_GetScanLine(sixteen.get(), 0));
  in[0] = FIRGB16{32896, 65535, 0};
  ImageHandle linear = wide.convert(std::move(sixteen));
  ASSERT_TRUE(linear);
  const auto* out = reinterpret_cast<const FIRGBF*>(FreeImage_GetScanLine(linear.get(), 0));
  EXPECT_NEAR(out[0].red, 0.2158f, 0.0005);
  EXPECT_NEAR(out[0].green, 1.0f, 0.0005);
  EXPECT_EQ(out[0].blue, 0.0f);
}

// A picture already at 16 bits per channel or in floating point (the
// built-in decoder's) is passed on, not converted a second time.
TEST(OutputDepth, WideAndFloatPicturesAreNotConvertedTwice) {
  OutputCase fortyEight;
  ASSERT_TRUE(fortyEight.prepare("ppm", 48));
  ImageHandle wide(FreeImage_AllocateT(FIT_RGB16, 4, 4));
  FIBITMAP* before = wide.get();
  EXPECT_EQ(fortyEight.convert(std::move(wide)).get(), before);

  OutputCase ninetySix;
  ASSERT_TRUE(ninetySix.prepare("pfm"));
  ninetySix.file.sourceBitDepth = 96;
  ImageHandle light(FreeImage_AllocateT(FIT_RGBF, 4, 4));
  before = light.get();
  EXPECT_EQ(ninetySix.convert(std::move(light)).get(), before);
}

// TIFF compressions that code one kind of pixel get that kind: bilevel for
// the fax codes, floating point for LogLuv, 8-bit RGB for JPEG; CMYK needs
// four inks.
TEST(OutputDepth, TiffDepthFollowsCompressionAndColourModel) {
  struct Case {
    std::int32_t compression, model, asked, written;
  };
  const Case cases[] = {
      {1, 0, 24, 1},  {2, 0, 48, 1},  {2, 0, 0, 1},   {8, 0, 24, 96}, {8, 0, 1, 96},
      {7, 0, 32, 24}, {7, 0, 8, 24},  {6, 0, 8, 8},   {0, 1, 24, 32}, {0, 1, 8, 32},
      {0, 1, 48, 48}, {0, 2, 24, 24}, {4, 0, 96, 96},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.compression) + " " + std::to_string(c.model) + " " +
                 std::to_string(c.asked));
    OutputCase output;
    output.settings.output.tiffCompression = c.compression;
    output.settings.output.tiffColorModel = c.model;
    ASSERT_TRUE(output.prepare("tiff", c.asked));
    output.file.sourceBitDepth = 24;
    EXPECT_EQ(EffectiveTargetDepth(output.job, output.file), c.written);
  }
}

}  // namespace
}  // namespace lumafold
