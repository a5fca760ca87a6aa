// The option language: key and value splitting, value readers, the parse
// errors, the fields each option sets, quote joining and profile files.
#include "cli/option_parser.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>

namespace lumafold {
namespace {

namespace fs = std::filesystem;

class OptionParserTest : public ::testing::Test {
 protected:
  void SetUp() override {
    context_ = std::make_unique<AppContext>();
    context_->settings.resetToDefaults(SettingsMode::CommandLine);
  }

  ParseOutcome Parse(const std::vector<std::string>& parameters) {
    return ParseOptions(*context_, parameters);
  }

  ConversionSettings& settings() { return context_->settings; }
  ConversionJob& job() { return context_->job; }

  // A file in a folder of its own, removed with the test.
  std::string WriteFile(const std::string& name, const std::string& text) {
    if (folder_.empty()) {
      char pattern[] = "/tmp/lumafold-parser-XXXXXX";
      folder_ = mkdtemp(pattern);
    }
    const std::string path = folder_ + "/" + name;
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }

  void TearDown() override {
    if (!folder_.empty()) fs::remove_all(folder_);
  }

  std::unique_ptr<AppContext> context_;
  std::string folder_;
};

TEST(OptionKeyAndValue, SplitAsTheLanguageDefines) {
  EXPECT_EQ(OptionKey("  --jpg-quality=95 "), "--JPG-QUALITY");
  EXPECT_EQ(OptionKey("--Help=x"), "--HELP");
  EXPECT_EQ(OptionKey("--flip-vertical"), "--FLIP-VERTICAL");
  // A single dash keeps the whole text, "=" included.
  EXPECT_EQ(OptionKey("-i=/tmp/x/"), "-I=/TMP/X/");
  EXPECT_EQ(OptionKey("photo.pcd"), "");
  EXPECT_EQ(OptionKey("   "), "");

  EXPECT_EQ(OptionValue("--filename-mask=a=b"), "a=b");
  EXPECT_EQ(OptionValue(" --jpg-quality "), "--jpg-quality");
  EXPECT_EQ(OptionValue("-i"), "-i");
  EXPECT_EQ(OptionValue("  /tmp/My Photos/  "), "/tmp/My Photos/");
  EXPECT_EQ(OptionValue("--wm-text=CaSe"), "CaSe");
  EXPECT_EQ(OptionValue("--x="), "");
}

TEST(ReadNumber, DecimalHexBinaryAndGarbage) {
  EXPECT_EQ(ReadNumber("95"), 95);
  EXPECT_EQ(ReadNumber(" \t-20"), -20);
  EXPECT_EQ(ReadNumber("+7"), 7);
  EXPECT_EQ(ReadNumber("$FF"), 255);
  EXPECT_EQ(ReadNumber("$ff"), 255);
  EXPECT_EQ(ReadNumber("-$10"), -16);
  EXPECT_EQ(ReadNumber("%101"), 5);
  EXPECT_EQ(ReadNumber("%102"), 2);  // stops at the first non-binary digit
  EXPECT_EQ(ReadNumber("12abc"), 12);
  EXPECT_EQ(ReadNumber("1f"), 1);  // hexadecimal digits only after "$"
  EXPECT_EQ(ReadNumber("abc"), 0);
  EXPECT_EQ(ReadNumber("$"), 0);
  EXPECT_EQ(ReadNumber(""), 0);
  EXPECT_EQ(ReadNumber("2147483647"), 2147483647);
  EXPECT_EQ(ReadNumber("-2147483648"), -2147483647 - 1);
  // Too large for the field: held at its end, never wrapped round.
  EXPECT_EQ(ReadNumber("4294967297"), 2147483647);
  EXPECT_EQ(ReadNumber("2147483648"), 2147483647);
  EXPECT_EQ(ReadNumber("99999999999999999999999"), 2147483647);
  EXPECT_EQ(ReadNumber("-99999999999"), -2147483647 - 1);
  EXPECT_EQ(ReadNumber("$FFFFFFFFFF"), 2147483647);
}

TEST(ReadReal, DecimalNotationOnly) {
  EXPECT_EQ(ReadReal("9.99"), 9.99f);
  EXPECT_EQ(ReadReal("10"), 10.0f);
  EXPECT_EQ(ReadReal("-1.5"), -1.5f);
  EXPECT_EQ(ReadReal(".5"), 0.5f);
  EXPECT_EQ(ReadReal("2."), 2.0f);
  EXPECT_EQ(ReadReal(" 0.01x"), 0.01f);
  EXPECT_EQ(ReadReal("1e5"), 1.0f);
  EXPECT_EQ(ReadReal("abc"), 0.0f);
  EXPECT_EQ(ReadReal("nan"), 0.0f);
  EXPECT_EQ(ReadReal("inf"), 0.0f);
  EXPECT_EQ(ReadReal("."), 0.0f);
}

TEST_F(OptionParserTest, MissingOrDashedValuesStopWithIncorrectNumberOfParameters) {
  const std::vector<std::vector<std::string>> cases = {
      {"-i"},                                 // last parameter: no value
      {"-i", "/tmp/x/", "-o", "-q"},          // value begins with "-"
      {"-i", "/tmp/x/", "--output", "/out"},  // long form without "="
      {"--input="},                           // empty long value
      {"-c", ""},                             // empty short value
      {"-i", "/tmp/x/", "--jpg-quality", "95"},
      {"-i", "/tmp/x/", "--jpg-quality="},
      {"-i", "/tmp/x/", "--wm-text=--x"},
      {"--profile="},
  };
  for (const auto& parameters : cases) {
    SetUp();
    EXPECT_EQ(Parse(parameters).error, kIncorrectParameterCount) << parameters.back();
  }
}

TEST_F(OptionParserTest, ParsingStopsAtTheFirstError) {
  ParseOutcome outcome = Parse({"-p", "-o", "-q", "--jpg-quality=50"});
  EXPECT_EQ(outcome.error, kIncorrectParameterCount);
  EXPECT_TRUE(outcome.pause);
  EXPECT_FALSE(outcome.quiet);
  EXPECT_EQ(settings().output.jpgQuality, 95);

  SetUp();
  outcome = Parse({"-o", "-q", "-p"});
  EXPECT_FALSE(outcome.pause);  // never reached

  // -i switches the mode on as soon as its key matches, value or not.
  SetUp();
  EXPECT_EQ(Parse({"-i"}).error, kIncorrectParameterCount);
  EXPECT_TRUE(job().commandLineMode);
}

TEST_F(OptionParserTest, InputOutputConversionAndModeOptions) {
  const ParseOutcome outcome = Parse({"stray", "-i", "/tmp/in/", "-O", "/tmp/out", "-c", "JPG",
                                      "-d", "--Quiet", "--pause", "-h", "--no-such-option=1"});
  EXPECT_EQ(outcome.error, "");
  EXPECT_TRUE(outcome.quiet);
  EXPECT_TRUE(outcome.pause);
  EXPECT_TRUE(job().commandLineMode);
  EXPECT_EQ(job().inputFolder, "/tmp/in/");
  EXPECT_EQ(job().outputFolder, "/tmp/out");
  EXPECT_EQ(job().outputExtension, "JPG");  // the batch rejects it, not the parser
  EXPECT_EQ(job().consoleMode, "DEBUG");
  // A bare parameter is one more input; unknown options are collected for
  // their warning, -h in second place among them.
  EXPECT_EQ(outcome.inputs, (std::vector<std::string>{"stray", "/tmp/in/"}));
  EXPECT_EQ(outcome.unknownOptions, (std::vector<std::string>{"-h", "--no-such-option=1"}));

  SetUp();
  EXPECT_EQ(Parse({"--input=/a b/c.pcd", "--output=/o", "--conversion=\"png\""}).error, "");
  EXPECT_EQ(job().inputFolder, "/a b/c.pcd");
  EXPECT_EQ(job().outputExtension, "png");

  // A single-dash parameter with "=" is its own key and matches nothing.
  SetUp();
  EXPECT_EQ(Parse({"-i=/tmp/x/"}).error, "");
  EXPECT_FALSE(job().commandLineMode);
  EXPECT_EQ(job().inputFolder, "");

  // The short form's value is the next parameter's own value.
  SetUp();
  EXPECT_EQ(Parse({"-o", "--jpg-quality=7"}).error, "");
  EXPECT_EQ(job().outputFolder, "7");
}

TEST_F(OptionParserTest, BareParametersAreInputsAndOptionValuesAreNot) {
  const ParseOutcome outcome = Parse({"-o", "out", "a.pcd", "--wm-text=\"two", "words\"", "b.pcd",
                                      "-c", "png", "  ", "-i", "dir/", "--profile", "c.pcd"});
  EXPECT_EQ(outcome.error, kIncorrectParameterCount);  // --profile without "="
  EXPECT_EQ(outcome.inputs, (std::vector<std::string>{"a.pcd", "b.pcd", "dir/"}));
  EXPECT_EQ(settings().watermark.text, "two words");
  EXPECT_EQ(job().outputFolder, "out");
  EXPECT_TRUE(job().commandLineMode);

  // A bare parameter alone runs a batch, as -i does.
  SetUp();
  EXPECT_EQ(Parse({"--jpg-quality=80", "photo.pcd"}).inputs,
            (std::vector<std::string>{"photo.pcd"}));
  EXPECT_TRUE(job().commandLineMode);
}

TEST_F(OptionParserTest, ParseErrorsNameTheParameterAndWhy) {
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"-i"}, "-i: a value must follow it"},
      {{"-o", "-q"}, "-o: its value \"-q\" begins with \"-\""},
      {{"--output", "/tmp"}, "--output: the value is written after \"=\", as in --output=VALUE"},
      {{"--jpg-quality", "95"},
       "--jpg-quality: the value is written after \"=\", as in --jpg-quality=VALUE"},
      {{"--width="}, "--width=: a value must follow \"=\""},
      {{"--profile=/nonexistent/p.ini"}, "/nonexistent/p.ini: No such file or directory"},
      {{"--profile=/"}, "/: Is a directory"},
  };
  for (const auto& [parameters, detail] : cases) {
    SetUp();
    EXPECT_EQ(Parse(parameters).errorDetail, detail) << parameters.front();
  }
}

TEST_F(OptionParserTest, ValuesAreStoredUncheckedInTheFieldsWidth) {
  EXPECT_EQ(
      Parse({"--jpg-quality=abc", "--brightness=-20", "--gamma=10", "--jpg-bpp=$10", "--width=800",
             "--png-interlaced=0", "--wm-text-size=SCALE", "--rotation-type=$101"})
          .error,
      "");
  EXPECT_EQ(settings().output.jpgQuality, 0);
  EXPECT_EQ(settings().adjustment.imageBrightness, -20);
  EXPECT_EQ(settings().adjustment.doImageColorCorrection, 1);
  EXPECT_EQ(settings().adjustment.imageGamma, 10.0f);
  EXPECT_EQ(settings().output.jpgBpp, 16);
  EXPECT_EQ(settings().transform.doImageResize, 1);
  EXPECT_EQ(settings().transform.imageWidth, 800);
  EXPECT_EQ(settings().transform.imageHeight, 0);
  EXPECT_EQ(settings().output.pngInterlaced, 1);  // a flag ignores its value
  EXPECT_EQ(settings().watermark.textSize, 0);
  EXPECT_EQ(settings().transform.imageRotationType, 0);  // not a keyword

  SetUp();
  // A neutral value still switches correction on, so that the range check runs.
  EXPECT_EQ(Parse({"--contrast=0"}).error, "");
  EXPECT_EQ(settings().adjustment.doImageColorCorrection, 1);

  // A keyword option does not read numbers.
  SetUp();
  EXPECT_EQ(Parse({"--wm-text-position=topright", "--resize-algorithm=1"}).error, "");
  EXPECT_EQ(settings().watermark.textPosition, 2);
  EXPECT_EQ(settings().transform.imageResizeAlgorithm, 0);
}

TEST_F(OptionParserTest, KeywordsIgnoreCaseAndSpacesAndUnknownsStoreZero) {
  EXPECT_EQ(Parse({"--jpg-chroma=high", "--jpg-save-as= Progressive ", "--exr-compression=rle",
                   "--tiff-compression=LogLuv", "--wm-font-effect=strikethrought",
                   "--raw-tone-mapping=nonsense", "--file-timestamp=custom"})
                .error,
            "");
  EXPECT_EQ(settings().output.jpgChroma, 3);
  EXPECT_EQ(settings().output.jpgSaveAs, 3);
  EXPECT_EQ(settings().output.exrCompression, 1);  // one list for every compression
  EXPECT_EQ(settings().output.tiffCompression, 8);
  EXPECT_EQ(settings().watermark.fontEffect, 2);
  EXPECT_EQ(settings().input.rawToneMapping, 0);
  EXPECT_EQ(settings().advanced.fileTimestamp, 2);
}

TEST_F(OptionParserTest, TheLaterWatermarkOptionChoosesTheMode) {
  EXPECT_EQ(Parse({"--wm-text=Hello", "--wm-image=/tmp/logo.png"}).error, "");
  EXPECT_EQ(settings().watermark.doWatermark, 2);
  EXPECT_EQ(settings().watermark.text, "Hello");
  EXPECT_EQ(settings().watermark.image, "/tmp/logo.png");

  SetUp();
  EXPECT_EQ(Parse({"--wm-image=/tmp/logo.png", "--wm-text=Hello"}).error, "");
  EXPECT_EQ(settings().watermark.doWatermark, 1);
}

TEST_F(OptionParserTest, QuotedValuesJoinTheFollowingParameters) {
  EXPECT_EQ(Parse({"--wm-text=\"Hello", "World\"", "--jpg-quality=50"}).error, "");
  EXPECT_EQ(settings().watermark.text, "Hello World");
  EXPECT_EQ(settings().output.jpgQuality, 50);

  // Each joined parameter contributes its own value; a lone quote opens.
  SetUp();
  EXPECT_EQ(Parse({"--wm-text=\"", "one", "--x=two", "three\"", "--greyscale"}).error, "");
  EXPECT_EQ(settings().watermark.text, " one two three");
  EXPECT_EQ(settings().adjustment.doImageGreyscale, 1);

  // An unterminated quote takes everything to the end.
  SetUp();
  EXPECT_EQ(Parse({"--filename-mask=\"%filename%", "copy", "--greyscale"}).error, "");
  EXPECT_EQ(settings().advanced.filenameMask, "%filename% copy --greyscale");
  EXPECT_EQ(settings().adjustment.doImageGreyscale, 0);

  // A closed value loses its quotes and joins nothing.
  SetUp();
  EXPECT_EQ(Parse({"--wm-font=\"DejaVu Sans\"", "--greyscale"}).error, "");
  EXPECT_EQ(settings().watermark.font, "DejaVu Sans");
  EXPECT_EQ(settings().adjustment.doImageGreyscale, 1);

  // -i and -o join too; -c only loses its quotes.
  SetUp();
  EXPECT_EQ(Parse({"-i", "\"/tmp/My", "Photos/\"", "-c", "\"jpg", "x\""}).error, "");
  EXPECT_EQ(job().inputFolder, "/tmp/My Photos/");
  EXPECT_EQ(job().outputExtension, "jpg");

  // Quotes inside a value that does not begin with one are part of it.
  SetUp();
  EXPECT_EQ(Parse({"-i", "/tmp/Photos \"2019\"/", "--wm-text=say \"hi\""}).error, "");
  EXPECT_EQ(job().inputFolder, "/tmp/Photos \"2019\"/");
  EXPECT_EQ(settings().watermark.text, "say \"hi\"");

  // Numbers are never joined.
  SetUp();
  EXPECT_EQ(Parse({"--jpg-quality=\"80", "--greyscale"}).error, "");
  EXPECT_EQ(settings().output.jpgQuality, 0);
  EXPECT_EQ(settings().adjustment.doImageGreyscale, 1);
}

// One row per conversion option: the parameter and what it must have set.
struct OptionCase {
  const char* parameter;
  std::function<bool(const ConversionSettings&)> isSet;
};

TEST_F(OptionParserTest, EveryConversionOptionSetsItsField) {
  const std::vector<OptionCase> cases = {
      {"--dds-load-as=rgba", [](auto& s) { return s.input.ddsLoadAs == 2; }},
      {"--gif-frame-loading=last", [](auto& s) { return s.input.gifFrameLoading == 3; }},
      {"--ico-frame-loading=random", [](auto& s) { return s.input.icoFrameLoading == 4; }},
      {"--pcd-decoder=external", [](auto& s) { return s.input.pcdDecoder == 1; }},
      {"--pcd-highlights=keep", [](auto& s) { return s.input.pcdHighlights == 1; }},
      {"--raw-load-as=48hs", [](auto& s) { return s.input.rawLoadAs == 4; }},
      {"--raw-header-size=7", [](auto& s) { return s.input.rawHeaderSize == 7; }},
      {"--raw-width=7", [](auto& s) { return s.input.rawImageWidth == 7; }},
      {"--raw-height=7", [](auto& s) { return s.input.rawImageHeight == 7; }},
      {"--raw-tone-mapping=gd", [](auto& s) { return s.input.rawToneMapping == 4; }},
      {"--tiff-frame-loading=middle", [](auto& s) { return s.input.tiffFrameLoading == 2; }},
      {"--bmp-bpp=7", [](auto& s) { return s.output.bmpBpp == 7; }},
      {"--bmp-compression=rle", [](auto& s) { return s.output.bmpCompression == 1; }},
      {"--bmp-color-table=exact", [](auto& s) { return s.output.bmpColorTable == 1; }},
      {"--dds-bpp=7", [](auto& s) { return s.output.ddsBpp == 7; }},
      {"--exr-bpp=7", [](auto& s) { return s.output.exrBpp == 7; }},
      {"--exr-compression=b44", [](auto& s) { return s.output.exrCompression == 4; }},
      {"--gif-bpp=7", [](auto& s) { return s.output.gifBpp == 7; }},
      {"--hdr-bpp=7", [](auto& s) { return s.output.hdrBpp == 7; }},
      {"--ico-bpp=7", [](auto& s) { return s.output.icoBpp == 7; }},
      {"--j2k-bpp=7", [](auto& s) { return s.output.j2kBpp == 7; }},
      {"--jng-bpp=7", [](auto& s) { return s.output.jngBpp == 7; }},
      {"--jp2-bpp=7", [](auto& s) { return s.output.jp2Bpp == 7; }},
      {"--jpg-bpp=7", [](auto& s) { return s.output.jpgBpp == 7; }},
      {"--jpg-quality=7", [](auto& s) { return s.output.jpgQuality == 7; }},
      {"--jpg-chroma=medium", [](auto& s) { return s.output.jpgChroma == 2; }},
      {"--jpg-save-as=optimized", [](auto& s) { return s.output.jpgSaveAs == 2; }},
      {"--jxr-bpp=7", [](auto& s) { return s.output.jxrBpp == 7; }},
      {"--pbm-bpp=7", [](auto& s) { return s.output.pbmBpp == 7; }},
      {"--pcx-bpp=7", [](auto& s) { return s.output.pcxBpp == 7; }},
      {"--pfm-bpp=7", [](auto& s) { return s.output.pfmBpp == 7; }},
      {"--pgm-bpp=7", [](auto& s) { return s.output.pgmBpp == 7; }},
      {"--png-bpp=7", [](auto& s) { return s.output.pngBpp == 7; }},
      {"--png-compression=zlib9", [](auto& s) { return s.output.pngCompression == 3; }},
      {"--png-interlaced", [](auto& s) { return s.output.pngInterlaced == 1; }},
      {"--ppm-bpp=7", [](auto& s) { return s.output.ppmBpp == 7; }},
      {"--psd-bpp=7", [](auto& s) { return s.output.psdBpp == 7; }},
      {"--tga-bpp=7", [](auto& s) { return s.output.tgaBpp == 7; }},
      {"--tga-compression=rle", [](auto& s) { return s.output.tgaCompression == 1; }},
      {"--tiff-bpp=7", [](auto& s) { return s.output.tiffBpp == 7; }},
      {"--tiff-compression=lzw", [](auto& s) { return s.output.tiffCompression == 6; }},
      {"--tiff-color-model=lab", [](auto& s) { return s.output.tiffColorModel == 2; }},
      {"--wbmp-bpp=7", [](auto& s) { return s.output.wbmpBpp == 7; }},
      {"--webp-bpp=7", [](auto& s) { return s.output.webpBpp == 7; }},
      {"--xpm-bpp=7", [](auto& s) { return s.output.xpmBpp == 7; }},
      {"--rotation-type=advanced", [](auto& s) { return s.transform.imageRotationType == 1; }},
      {"--rotation=7",
       [](auto& s) { return s.transform.doImageRotation == 1 && s.transform.imageRotation == 7; }},
      {"--rotation-back-color=FF8000",
       [](auto& s) { return s.transform.imageRotationBackColor == "FF8000"; }},
      {"--width=7",
       [](auto& s) { return s.transform.doImageResize == 1 && s.transform.imageWidth == 7; }},
      {"--width-unit=percent", [](auto& s) { return s.transform.imageWidthUnit == 1; }},
      {"--height=7",
       [](auto& s) { return s.transform.doImageResize == 1 && s.transform.imageHeight == 7; }},
      {"--height-unit=percent", [](auto& s) { return s.transform.imageHeightUnit == 1; }},
      {"--keep-aspect-ratio", [](auto& s) { return s.transform.keepAspectRatio == 1; }},
      {"--resize-type=largeimages", [](auto& s) { return s.transform.imageResizeType == 1; }},
      {"--resize-algorithm=lanczos", [](auto& s) { return s.transform.imageResizeAlgorithm == 5; }},
      {"--flip-horizontal", [](auto& s) { return s.transform.doImageFlipHorizontal == 1; }},
      {"--flip-vertical", [](auto& s) { return s.transform.doImageFlipVertical == 1; }},
      {"--brightness=7",
       [](auto& s) {
         return s.adjustment.doImageColorCorrection == 1 && s.adjustment.imageBrightness == 7;
       }},
      {"--contrast=7",
       [](auto& s) {
         return s.adjustment.doImageColorCorrection == 1 && s.adjustment.imageContrast == 7;
       }},
      {"--gamma=0.5",
       [](auto& s) {
         return s.adjustment.doImageColorCorrection == 1 && s.adjustment.imageGamma == 0.5f;
       }},
      {"--invert",
       [](auto& s) {
         return s.adjustment.doImageColorCorrection == 1 && s.adjustment.imageInvert == 1;
       }},
      {"--greyscale", [](auto& s) { return s.adjustment.doImageGreyscale == 1; }},
      {"--threshold=7",
       [](auto& s) {
         return s.adjustment.doImageThreshold == 1 && s.adjustment.imageThreshold == 7;
       }},
      {"--fr-solid-left=7", [](auto& s) { return s.frame.doFrame == 1 && s.frame.solidLeft == 7; }},
      {"--fr-solid-right=7",
       [](auto& s) { return s.frame.doFrame == 1 && s.frame.solidRight == 7; }},
      {"--fr-solid-top=7", [](auto& s) { return s.frame.doFrame == 1 && s.frame.solidTop == 7; }},
      {"--fr-solid-bottom=7",
       [](auto& s) { return s.frame.doFrame == 1 && s.frame.solidBottom == 7; }},
      {"--fr-solid-left-color=123456", [](auto& s) { return s.frame.solidLeftColor == "123456"; }},
      {"--fr-solid-right-color=123456",
       [](auto& s) { return s.frame.solidRightColor == "123456"; }},
      {"--fr-solid-top-color=123456", [](auto& s) { return s.frame.solidTopColor == "123456"; }},
      {"--fr-solid-bottom-color=123456",
       [](auto& s) { return s.frame.solidBottomColor == "123456"; }},
      {"--fr-solid-opacity=7", [](auto& s) { return s.frame.solidOpacity == 7; }},
      {"--wm-text=Hi",
       [](auto& s) { return s.watermark.doWatermark == 1 && s.watermark.text == "Hi"; }},
      {"--wm-font=Serif", [](auto& s) { return s.watermark.font == "Serif"; }},
      {"--wm-font-size=7", [](auto& s) { return s.watermark.fontSize == 7; }},
      {"--wm-font-leading=7", [](auto& s) { return s.watermark.fontLeading == 7; }},
      {"--wm-font-color=123456", [](auto& s) { return s.watermark.fontColor == "123456"; }},
      {"--wm-font-style=bolditalic", [](auto& s) { return s.watermark.fontStyle == 3; }},
      {"--wm-font-effect=underline", [](auto& s) { return s.watermark.fontEffect == 1; }},
      {"--wm-text-antialiasing", [](auto& s) { return s.watermark.textAntialiasing == 1; }},
      {"--wm-text-alignment=right", [](auto& s) { return s.watermark.textAlignment == 2; }},
      {"--wm-text-padding=7", [](auto& s) { return s.watermark.textPadding == 7; }},
      {"--wm-text-opacity=7", [](auto& s) { return s.watermark.textOpacity == 7; }},
      {"--wm-back-color=123456", [](auto& s) { return s.watermark.backColor == "123456"; }},
      {"--wm-back-opacity=7", [](auto& s) { return s.watermark.backOpacity == 7; }},
      {"--wm-text-boundary=frame", [](auto& s) { return s.watermark.textBoundary == 1; }},
      {"--wm-text-position=middlecenter", [](auto& s) { return s.watermark.textPosition == 4; }},
      {"--wm-text-x-offset=7", [](auto& s) { return s.watermark.textXOffset == 7; }},
      {"--wm-text-y-offset=7", [](auto& s) { return s.watermark.textYOffset == 7; }},
      {"--wm-text-rotation=7", [](auto& s) { return s.watermark.textRotation == 7; }},
      {"--wm-image=/x.png",
       [](auto& s) { return s.watermark.doWatermark == 2 && s.watermark.image == "/x.png"; }},
      {"--wm-image-greyscale", [](auto& s) { return s.watermark.imageGreyscale == 1; }},
      {"--wm-image-opacity=7", [](auto& s) { return s.watermark.imageOpacity == 7; }},
      {"--wm-image-boundary=frame", [](auto& s) { return s.watermark.imageBoundary == 1; }},
      {"--wm-image-position=topleft", [](auto& s) { return s.watermark.imagePosition == 0; }},
      {"--wm-image-x-offset=7", [](auto& s) { return s.watermark.imageXOffset == 7; }},
      {"--wm-image-y-offset=7", [](auto& s) { return s.watermark.imageYOffset == 7; }},
      {"--wm-image-rotation=7", [](auto& s) { return s.watermark.imageRotation == 7; }},
      {"--filename-mask=%n%", [](auto& s) { return s.advanced.filenameMask == "%n%"; }},
      {"--file-timestamp=original", [](auto& s) { return s.advanced.fileTimestamp == 1; }},
      {"--file-timestamp-custom=7", [](auto& s) { return s.advanced.customTimestamp == 7; }},
      {"--no-subfolders", [](auto& s) { return s.advanced.keepSubfolders == 0; }},
      {"--jobs=3", [](auto& s) { return s.advanced.jobs == 3; }},
  };
  for (const auto& row : cases) {
    SetUp();
    ASSERT_FALSE(row.isSet(settings())) << row.parameter << " holds the value already";
    EXPECT_EQ(Parse({row.parameter}).error, "") << row.parameter;
    EXPECT_TRUE(row.isSet(settings())) << row.parameter;
  }
  // The size modes have FIXED as their only keyword.
  SetUp();
  settings().watermark.textSize = 5;
  settings().watermark.imageSize = 5;
  Parse({"--wm-text-size=fixed", "--WM-IMAGE-SIZE=anything"});
  EXPECT_EQ(settings().watermark.textSize, 0);
  EXPECT_EQ(settings().watermark.imageSize, 0);

  // The decoder choice: any letter case; a word outside the list, such as
  // the hyphenated spelling, picks the built-in decoder (0) like every
  // other keyword list, and so does a profile key.
  SetUp();
  Parse({"--PCD-Decoder= EXTERNAL "});
  EXPECT_EQ(settings().input.pcdDecoder, 1);
  Parse({"--pcd-decoder=built-in"});
  EXPECT_EQ(settings().input.pcdDecoder, 0);
  const std::string profile = WriteFile("decoder.ini", "[CLI]\n--pcd-decoder = external\n");
  EXPECT_EQ(Parse({"--profile=" + profile}).error, "");
  EXPECT_EQ(settings().input.pcdDecoder, 1);
}

TEST_F(OptionParserTest, ProfileAppliesItsCliSectionAtItsPosition) {
  const std::string profile = WriteFile("my profile.ini",
                                        "\xEF\xBB\xBF; a comment\r\n"
                                        "[Other]\r\n"
                                        "--jpg-bpp = 8\r\n"
                                        "[cli]\r\n"
                                        "  --JPG-Quality = 80 \r\n"
                                        "--wm-solid-opacity = 100\r\n"
                                        "--fr-solid-opacity = 50\r\n"
                                        "-c = png\r\n"
                                        "--conversion = png\r\n"
                                        "-d = 1\r\n"
                                        "--png-interlaced = 0\r\n"
                                        "--wm-text =   \"two words\"  \r\n"
                                        "--filename-mask = \"%filename% copy\".%ext%  \r\n"
                                        "--jpg-chroma = low\r\n"
                                        "--unknown = 1\r\n");
  const ParseOutcome outcome =
      Parse({"--jpg-quality=70", "--jpg-chroma=high", "--profile=\"" + folder_ + "/my",
             "profile.ini\"", "--jpg-chroma=medium"});
  EXPECT_EQ(outcome.error, "");
  EXPECT_EQ(settings().output.jpgQuality, 80);    // the profile overwrote the earlier option
  EXPECT_EQ(settings().output.jpgChroma, 2);      // the later option overwrote the profile
  EXPECT_EQ(settings().frame.solidOpacity, 100);  // the profile's own key name
  EXPECT_EQ(settings().output.pngInterlaced, 1);
  EXPECT_EQ(settings().output.jpgBpp, 0);  // other sections are not read
  EXPECT_EQ(job().outputExtension, "");    // -c is not recognised in a profile
  EXPECT_EQ(job().consoleMode, "");
  EXPECT_EQ(settings().watermark.text, "\"two words\"");  // no quote rule but the mask's
  EXPECT_EQ(settings().advanced.filenameMask, "%filename% copy.%ext%  ");
  (void)profile;
}

TEST_F(OptionParserTest, TheFrameOpacityOptionNameIsNotAProfileKey) {
  const std::string profile = WriteFile("frame.ini", "[CLI]\n--fr-solid-opacity = 50\n");
  EXPECT_EQ(Parse({"--profile=" + profile}).error, "");
  EXPECT_EQ(settings().frame.solidOpacity, 255);
  // And the profile's name is not an option on the command line.
  EXPECT_EQ(Parse({"--wm-solid-opacity=50"}).error, "");
  EXPECT_EQ(settings().frame.solidOpacity, 255);
}

TEST_F(OptionParserTest, ProfilesThatCannotBeOpenedStopTheParse) {
  EXPECT_EQ(Parse({"--profile=/nonexistent/lumafold.ini", "-p"}).error, kInvalidProfileFile);
  SetUp();
  WriteFile("x", "");
  EXPECT_EQ(Parse({"--profile=" + folder_}).error, kInvalidProfileFile);  // a folder

  // An empty file, or one without a CLI section, changes nothing.
  SetUp();
  const std::string empty = WriteFile("empty.ini", "");
  const std::string other = WriteFile("other.ini", "[General]\nCFG = 3\n");
  EXPECT_EQ(Parse({"--profile=" + empty, "--profile=" + other, "--jpg-quality=9"}).error, "");
  EXPECT_EQ(settings().output.jpgQuality, 9);
}

TEST_F(OptionParserTest, RelativeProfilePathsResolveAgainstTheCurrentDirectory) {
  WriteFile("rel.ini", "[CLI]\n--jpg-quality=33\n");
  const fs::path previous = fs::current_path();
  fs::current_path(folder_);
  const ParseOutcome outcome = Parse({"--profile=rel.ini"});
  fs::current_path(previous);
  EXPECT_EQ(outcome.error, "");
  EXPECT_EQ(settings().output.jpgQuality, 33);
}

}  // namespace
}  // namespace lumafold
