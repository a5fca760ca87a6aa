// Save flags per output format and the job fields a front end prepares
// before a run. The numbers are FreeImage's save flag values.
#include "output_test_support.h"

namespace lumafold {
namespace {
using namespace output_testing;

ConversionSettings Defaults() {
  ConversionSettings settings;
  settings.resetToDefaults(SettingsMode::CommandLine);
  return settings;
}

TEST(OutputSaveFlags, JpegQualityChromaAndSaveAs) {
  ConversionSettings settings = Defaults();
  settings.output.jpgQuality = 95;
  settings.output.jpgChroma = 0;
  settings.output.jpgSaveAs = 3;
  EXPECT_EQ(ComputeSaveFlags(settings, "jpg"), 73823);  // 95 + 4:4:4 + progressive

  const int chroma[] = {0x10000, 0x8000, 0x4000, 0x1000};
  const int saveAs[] = {0, 0x40000, 0x20000, 0x2000};
  for (int c = 0; c < 4; ++c) {
    for (int s = 0; s < 4; ++s) {
      settings.output.jpgQuality = 80;
      settings.output.jpgChroma = c;
      settings.output.jpgSaveAs = s;
      EXPECT_EQ(ComputeSaveFlags(settings, "jpg"), 80 | chroma[c] | saveAs[s]) << c << " " << s;
    }
  }
}

// A quality above 100 would otherwise reach FreeImage's named-quality bits
// (0x80 upwards) and pick some other quality.
TEST(OutputSaveFlags, JpegQualityOutOfRangeIsHeldToRange) {
  ConversionSettings settings = Defaults();
  settings.output.jpgChroma = 5;  // not a chroma value: adds nothing
  settings.output.jpgSaveAs = 0;
  settings.output.jpgQuality = 500;
  EXPECT_EQ(ComputeSaveFlags(settings, "jpg"), 100);
  settings.output.jpgQuality = -3;
  EXPECT_EQ(ComputeSaveFlags(settings, "jpg"), 0);
}

TEST(OutputSaveFlags, PngCompressionAndInterlace) {
  ConversionSettings settings = Defaults();
  const int levels[] = {256, 1, 6, 9};
  for (int level = 0; level < 4; ++level) {
    settings.output.pngCompression = level;
    settings.output.pngInterlaced = 0;
    EXPECT_EQ(ComputeSaveFlags(settings, "png"), levels[level]);
    settings.output.pngInterlaced = 1;
    EXPECT_EQ(ComputeSaveFlags(settings, "png"), levels[level] | 512);
  }
  settings.output.pngCompression = 0;
  settings.output.pngInterlaced = 1;
  EXPECT_EQ(ComputeSaveFlags(settings, "png"), 768);
}

TEST(OutputSaveFlags, TiffCompressionAndColourModel) {
  ConversionSettings settings = Defaults();
  const int compression[] = {2048, 4096, 8192, 256, 512, 1024, 16384, 32768, 65536};
  for (int c = 0; c < 9; ++c) {
    settings.output.tiffCompression = c;
    settings.output.tiffColorModel = 0;
    EXPECT_EQ(ComputeSaveFlags(settings, "tiff"), compression[c]);
    settings.output.tiffColorModel = 2;  // Lab has no flag of its own
    EXPECT_EQ(ComputeSaveFlags(settings, "tiff"), compression[c]);
  }
  settings.output.tiffCompression = 6;
  settings.output.tiffColorModel = 1;
  EXPECT_EQ(ComputeSaveFlags(settings, "tiff"), 16385);
}

TEST(OutputSaveFlags, BmpTgaExrAndFixedFlags) {
  ConversionSettings settings = Defaults();
  settings.output.bmpCompression = 1;
  settings.output.tgaCompression = 1;
  EXPECT_EQ(ComputeSaveFlags(settings, "bmp"), 1);
  EXPECT_EQ(ComputeSaveFlags(settings, "tga"), 2);
  settings.output.bmpCompression = 0;
  settings.output.tgaCompression = 0;
  EXPECT_EQ(ComputeSaveFlags(settings, "bmp"), 0);
  EXPECT_EQ(ComputeSaveFlags(settings, "tga"), 0);

  const int exr[] = {2, 4, 8, 16, 32};
  for (int c = 0; c < 5; ++c) {
    settings.output.exrCompression = c;
    EXPECT_EQ(ComputeSaveFlags(settings, "exr"), exr[c]);
  }
  settings.output.exrCompression = 7;
  EXPECT_EQ(ComputeSaveFlags(settings, "exr"), 0);

  EXPECT_EQ(ComputeSaveFlags(settings, "jxr"), 100);
  EXPECT_EQ(ComputeSaveFlags(settings, "webp"), 256);
  for (const char* key : {"dds", "gif", "hdr", "ico", "j2k", "jng", "jp2", "pbm", "pcx", "pfm",
                          "pgm", "ppm", "psd", "wbmp", "xpm", "nosuch"}) {
    EXPECT_EQ(ComputeSaveFlags(settings, key), 0) << key;
  }
}

TEST(OutputJobPreparation, FillsFormatFieldsFromSettings) {
  OutputCase output;
  output.settings.output.jpgQuality = 90;
  ASSERT_TRUE(output.prepare("jpg", 8));
  EXPECT_EQ(output.job.formatIdentifier, FIF_JPEG);
  EXPECT_EQ(output.job.outputExtension, "jpg");
  EXPECT_EQ(output.job.targetBitDepth, 8);
  EXPECT_FALSE(output.job.automaticDepth);
  EXPECT_EQ(output.job.outputBitDepths, (std::vector<std::int32_t>{8, 24}));
  EXPECT_EQ(output.job.saveFlags, ComputeSaveFlags(output.settings, "jpg"));

  ASSERT_TRUE(output.prepare("psd"));
  EXPECT_EQ(output.job.formatIdentifier, 0x439);  // DevIL's PSD type
  EXPECT_TRUE(output.job.automaticDepth);
  EXPECT_EQ(output.job.targetBitDepth, 0);
}

TEST(OutputJobPreparation, UnknownFormatLeavesJobAlone) {
  OutputCase output;
  ASSERT_TRUE(output.prepare("png"));
  output.settings.output.format = "jpeg";
  EXPECT_FALSE(PrepareJobForOutput(output.job, output.settings, output.formats));
  EXPECT_EQ(output.job.outputExtension, "png");
  EXPECT_EQ(output.job.formatIdentifier, FIF_PNG);
}

}  // namespace
}  // namespace lumafold
