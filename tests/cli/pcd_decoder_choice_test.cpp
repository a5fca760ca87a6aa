// The choice of Photo CD decoder through the real binary: the built-in one
// (the default) starts no child and leaves nothing in $TMPDIR, carries its
// 16-bit values into a 48-bit PNG and linear light above white into a PFM;
// --pcd-decoder=external still goes through ImageMagick; a file the
// built-in decoder cannot read fails with a reason. Outputs are read back by
// ImageMagick or parsed here, never by FreeImage, which wrote them.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "faults_support.h"

namespace lumafold {
namespace {

namespace fs = std::filesystem;
using namespace lumafold::testing;

std::string Shell(const std::string& command) {
  std::string text;
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe)) text += buffer;
    ::pclose(pipe);
  }
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  return text;
}

// A converter stand-in that logs each start and runs the real convert.
std::string LoggingConverter(const FaultScratch& scratch) {
  const std::string script = scratch.path() + "/convert-logged";
  WriteScript(script,
              "echo \"$*\" >> '" + scratch.path() + "/convert.log'\n" + "exec convert \"$@\"\n");
  return script;
}

FaultOptions Options(const FaultScratch& scratch) {
  return WithConverter(scratch, LoggingConverter(scratch));
}

// Distinct values of the green channel, as ImageMagick reads the file at
// its own depth.
long DistinctGreens(const std::string& png) {
  const std::string count =
      Shell("convert 'png:" + png + "' -channel G -separate -format %k info: 2>/dev/null");
  return count.empty() ? -1 : std::stol(count);
}

struct FloatMap {
  int width = 0;
  int height = 0;
  std::vector<float> values;  // bottom row first, as PFM stores them
};

// A PFM file: "PF", width and height, a scale whose sign gives the byte
// order (negative: little-endian), then the rows as 32-bit floats.
FloatMap ReadPfm(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::string magic;
  FloatMap map;
  double scale = 0;
  file >> magic >> map.width >> map.height >> scale;
  file.get();
  if (magic != "PF" || map.width <= 0 || map.height <= 0 || scale >= 0) return {};
  map.values.resize(static_cast<std::size_t>(map.width) * map.height * 3);
  file.read(reinterpret_cast<char*>(map.values.data()),
            static_cast<std::streamsize>(map.values.size() * sizeof(float)));
  if (!file) return {};
  return map;
}

TEST(PcdDecoderChoice, BuiltInCarriesSixteenBitsIntoTheFileStartsNoChildAndLeavesNothing) {
  FaultScratch scratch;
  CopySample("couple-on-beach.pcd", scratch.in());
  const FaultRun run = RunLumafoldUnder({"-i", scratch.in() + "/", "-o", scratch.out() + "/", "-c",
                                         "png", "--png-bpp=48", "-d", "-q"},
                                        Options(scratch));
  ASSERT_EQ(run.status, 0) << Dump(run);
  EXPECT_NE(run.out.find("PCD Decoder: BUILTIN\n"), std::string::npos) << run.out;
  EXPECT_FALSE(fs::exists(scratch.path() + "/convert.log")) << "the converter ran";
  EXPECT_TRUE(FolderNames(scratch.tmp()).empty()) << "something was left in $TMPDIR";

  const std::string png = scratch.out() + "/couple-on-beach.png";
  EXPECT_EQ(Shell("identify -format '%w %h %z' 'png:" + png + "'"), "3072 2048 16");
  // An 8-bit picture widened to 16 bits has at most 256.
  EXPECT_GT(DistinctGreens(png), 1000);
}

TEST(PcdDecoderChoice, AStepThatWorksInEightBitsGivesTheEightBitRendering) {
  FaultScratch scratch;
  CopySample("kodim23.pcd", scratch.in(), "plain.pcd");
  CopySample("kodim23.pcd", scratch.in(), "brighter.pcd");
  FaultOptions options = Options(scratch);
  const FaultRun plain =
      RunLumafoldUnder({"-i", scratch.in() + "/plain.pcd", "-o", scratch.out() + "/", "-c", "png",
                        "--png-bpp=48", "--flip-vertical", "--rotation=90", "-q"},
                       options);
  ASSERT_EQ(plain.status, 0) << Dump(plain);
  const FaultRun brighter =
      RunLumafoldUnder({"-i", scratch.in() + "/brighter.pcd", "-o", scratch.out() + "/", "-c",
                        "png", "--png-bpp=48", "--brightness=1", "-q"},
                       options);
  ASSERT_EQ(brighter.status, 0) << Dump(brighter);

  // Flips and quarter turns keep the 16-bit values; colour correction works
  // on 8-bit channels, so its file holds 8-bit values however wide.
  EXPECT_EQ(IdentifySize(scratch.out() + "/plain.png"), "512 768");
  EXPECT_GT(DistinctGreens(scratch.out() + "/plain.png"), 256);
  EXPECT_LE(DistinctGreens(scratch.out() + "/brighter.png"), 256);
}

TEST(PcdDecoderChoice, NinetySixBitOutputsHoldLinearLightWithHighlightsAboveWhite) {
  FaultScratch scratch;
  CopySample("portrait-in-red.pcd", scratch.in());
  const FaultRun run = RunLumafoldUnder(
      {"-i", scratch.in() + "/", "-o", scratch.out() + "/", "-c", "pfm", "-q"}, Options(scratch));
  ASSERT_EQ(run.status, 0) << Dump(run);
  const FloatMap map = ReadPfm(scratch.out() + "/portrait-in-red.pfm");
  ASSERT_EQ(map.width, 2048);
  ASSERT_EQ(map.height, 3072);
  std::size_t aboveWhite = 0, negative = 0;
  double sum = 0;
  for (float v : map.values) {
    aboveWhite += v > 1.0f;
    negative += v < 0.0f;
    sum += v;
  }
  EXPECT_GT(aboveWhite, 1000u) << "highlights above the reference white are kept";
  EXPECT_EQ(negative, 0u);
  // Linear light: the mean sits well below the display values' mean.
  const double mean = sum / static_cast<double>(map.values.size());
  EXPECT_GT(mean, 0.02);
  EXPECT_LT(mean, 0.6);
}

TEST(PcdDecoderChoice, ExternalStillConvertsThroughImageMagick) {
  FaultScratch scratch;
  CopySample("kodim23.pcd", scratch.in());
  const FaultRun run = RunLumafoldUnder({"-i", scratch.in() + "/", "-o", scratch.out() + "/", "-c",
                                         "bmp", kExternalDecoder, "-d", "-q"},
                                        Options(scratch));
  ASSERT_EQ(run.status, 0) << Dump(run);
  EXPECT_NE(run.out.find("PCD Decoder: EXTERNAL\n"), std::string::npos) << run.out;
  const std::string log = ReadText(scratch.path() + "/convert.log");
  EXPECT_NE(log.find("pcd:"), std::string::npos) << log;
  EXPECT_NE(log.find("[3] bmp3:"), std::string::npos) << log;
  EXPECT_TRUE(FolderNames(scratch.tmp()).empty()) << "the run folder is gone";

  // The same pixels as ImageMagick's own reading of the Base image.
  const std::string reference = scratch.path() + "/reference.bmp";
  Shell("convert -quiet -colorspace sRGB 'pcd:" + scratch.in() +
        "/kodim23.pcd[3]' 'bmp3:" + reference + "'");
  EXPECT_EQ(DifferentPixels(scratch.out() + "/kodim23.bmp", reference), 0);
  EXPECT_EQ(run.err.find("ImageMagick reported"), std::string::npos) << run.err;
}

// ImageMagick fails every real 16Base scan ("corrupt image", exit status 1)
// yet leaves the picture without its 16Base colour, which is taken: said as
// a warning, and the run still ends well.
TEST(PcdDecoderChoice, ExternalSaysWhatImageMagickReportedOfAPictureItTookAnyway) {
  FaultScratch scratch;
  CopySample("couple-on-beach.pcd", scratch.in());
  const FaultRun run = RunLumafoldUnder(
      {"-i", scratch.in() + "/couple-on-beach.pcd", "-o", scratch.out() + "/", "-c", "jpg",
       kExternalDecoder, "-q"},
      Options(scratch));
  EXPECT_EQ(run.status, 0) << Dump(run);
  EXPECT_EQ(run.err, "Warning: " + scratch.in() +
                         "/couple-on-beach.pcd: ImageMagick reported: corrupt image (exit status 1)\n");
  EXPECT_EQ(Shell("identify -format %wx%h '" + scratch.out() + "/couple-on-beach.jpg'"), "3072x2048");
  EXPECT_TRUE(FolderNames(scratch.tmp()).empty());
}

TEST(PcdDecoderChoice, AFileTheBuiltInDecoderCannotReadFailsWithAReason) {
  FaultScratch scratch;
  WriteText(scratch.in() + "/letter.pcd", std::string(5000, 'x'));
  std::string cut;
  {
    std::ifstream sample(std::string(LUMAFOLD_SOURCE_DIR) + "/samples/kodim01.pcd",
                         std::ios::binary);
    cut.resize(2055);
    sample.read(cut.data(), static_cast<std::streamsize>(cut.size()));
  }
  WriteText(scratch.in() + "/cut.pcd", cut);
  const FaultRun run = RunLumafoldUnder(
      {"-i", scratch.in() + "/", "-o", scratch.out() + "/", "-d", "-q"}, Options(scratch));
  EXPECT_EQ(run.status, 1) << Dump(run);
  const auto traced = TraceOutcomes(run.out);
  ASSERT_EQ(traced.size(), 2u) << Dump(run);
  for (const auto& [path, file] : traced) {
    EXPECT_EQ(file.outcome, "Not OK") << path;
    EXPECT_FALSE(file.reason.empty()) << path;
  }
  EXPECT_TRUE(FolderNames(scratch.out()).empty());
  EXPECT_TRUE(FolderNames(scratch.tmp()).empty());
  EXPECT_FALSE(fs::exists(scratch.path() + "/convert.log")) << "the converter ran";
}

TEST(PcdDecoderChoice, DamagedFilesConvertWithTheirRowsNamedEndInStatusTwoAndKeepOldOutputs) {
  FaultScratch scratch;
  const std::string data = std::string(LUMAFOLD_SOURCE_DIR) + "/tests/data/decoder/";
  fs::copy_file(data + "damaged-huff16.pcd", scratch.in() + "/damaged.pcd");
  fs::copy_file(data + "truncated-16base.pcd", scratch.in() + "/cut.pcd");
  CopySample("kodim01.pcd", scratch.in(), "whole.pcd");
  const std::vector<std::string> arguments = {"-i", scratch.in() + "/", "-o", scratch.out() + "/",
                                              "-c", "ppm", "-d"};
  const FaultRun run = RunLumafoldUnder(arguments, Options(scratch));
  EXPECT_EQ(run.status, 2) << Dump(run);
  const auto traced = TraceOutcomes(run.out);
  ASSERT_EQ(traced.size(), 3u) << Dump(run);
  for (const auto& [path, file] : traced) EXPECT_EQ(file.outcome, "OK") << path;
  // A scratch in 16Base costs a few rows, not the level.
  EXPECT_EQ(Shell("identify -format '%w %h' '" + scratch.out() + "/damaged.ppm'"), "3072 2048");
  // Cut short inside 4Base: 4Base with the rows after the cut from Base.
  EXPECT_EQ(Shell("identify -format '%w %h' '" + scratch.out() + "/cut.ppm'"), "1536 1024");
  // The rows on standard error, once per damaged file, and in the trace;
  // nothing for the whole one.
  const std::string damaged = "Warning: " + scratch.in() + "/damaged.pcd: 16Base rows ";
  const std::size_t at = run.err.find(damaged);
  ASSERT_NE(at, std::string::npos) << Dump(run);
  const std::string line = run.err.substr(at, run.err.find('\n', at) - at);
  EXPECT_TRUE(line.ends_with(" damaged, rebuilt from 4Base")) << line;
  EXPECT_NE(run.err.find("Warning: " + scratch.in() + "/cut.pcd: 4Base rows "), std::string::npos)
      << Dump(run);
  EXPECT_NE(run.err.find("cut off by the end of the file, rebuilt from Base; 16Base not used"),
            std::string::npos)
      << Dump(run);
  EXPECT_EQ(run.err.find("whole.pcd"), std::string::npos) << Dump(run);
  EXPECT_NE(run.out.find("\n" + line.substr(line.find(": 16Base") + 2) + "\n"), std::string::npos)
      << Dump(run);

  // Run again: the repaired and the lower-level picture never replace the
  // outputs already there; the whole file's output is replaced as always.
  WriteText(scratch.out() + "/damaged.ppm", "earlier output");
  WriteText(scratch.out() + "/cut.ppm", "earlier output");
  const FaultRun again = RunLumafoldUnder(arguments, Options(scratch));
  EXPECT_EQ(again.status, 2) << Dump(again);
  EXPECT_EQ(ReadText(scratch.out() + "/damaged.ppm"), "earlier output");
  EXPECT_EQ(ReadText(scratch.out() + "/cut.ppm"), "earlier output");
  EXPECT_NE(again.err.find("Not converted: " + scratch.in() + "/damaged.pcd: the existing " +
                           scratch.out() + "/damaged.ppm is kept: the repaired picture does not "
                                           "replace it"),
            std::string::npos)
      << Dump(again);
  const auto outcomes = TraceOutcomes(again.out);
  EXPECT_EQ(outcomes.at(scratch.in() + "/whole.pcd").outcome, "OK") << Dump(again);
  EXPECT_EQ(outcomes.at(scratch.in() + "/cut.pcd").outcome, "Not OK") << Dump(again);
  std::size_t files = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(scratch.out())) ++files;
  EXPECT_EQ(files, 3u) << "no temporary file left behind";
}

}  // namespace
}  // namespace lumafold
