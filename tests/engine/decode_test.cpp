// The external chain ("PCD Decoder" 1): decoding with the real ImageMagick
// `convert` (through a logging wrapper that counts its runs) and with
// stand-in converters; FreeImage's loader as fallback; orientation from
// both; nothing left in the run folder.
#include "engine/steps/decode.h"

#include <cstring>
#include <regex>

#include "engine/run/child_process.h"
#include "engine/run/run_folder.h"
#include "pipeline_test_support.h"

namespace lumafold {
namespace {

using namespace pipeline_testing;

class DecodeTest : public ::testing::Test {
 protected:
  DecodeTest() : tmpdir_("TMPDIR", scratch_.path()) { options_.external = true; }

  // A converter that logs each requested index and its arguments, then
  // runs `body` (the real convert by default).
  void useConverter(const std::string& body = "exec \"$REAL\" \"$@\"") {
    const std::string script = scratch_ / "convert-stand-in";
    MakeExecutable(script, StandInScript(log(), "printf '%s\\n' \"$*\" >> '" + (scratch_ / "args") +
                                                    "'\n" + body));
    options_.converter = script;
  }

  void noConverter() { options_.converter = scratch_ / "no-such-convert"; }

  DecodedImage decode(const std::string& path) {
    FileConversion file;
    file.inputPath = path;
    file.runFolder = runFolder_->path();
    file.fileNumber = ++files_;
    DecodedImage decoded = DecodePhotoCd(file, options_);
    lastBitDepth_ = file.sourceBitDepth;
    EXPECT_TRUE(ListTree(runFolder_->path()).empty()) << "the decoder left files behind";
    return decoded;
  }

  // Indices requested since the last call.
  std::vector<std::string> runs() {
    auto lines = ReadLines(log());
    ::unlink(log().c_str());
    return lines;
  }

  std::string log() const { return scratch_ / "runs.log"; }

  Scratch scratch_;
  EnvOverride tmpdir_;
  std::unique_ptr<RunFolder> runFolder_ = std::make_unique<RunFolder>();
  DecoderOptions options_;
  int files_ = 0;
  std::int32_t lastBitDepth_ = 0;
};

using Strings = std::vector<std::string>;

void ExpectSize(const DecodedImage& decoded, unsigned width, unsigned height) {
  ASSERT_TRUE(decoded.image);
  EXPECT_EQ(FreeImage_GetWidth(decoded.image.get()), width);
  EXPECT_EQ(FreeImage_GetHeight(decoded.image.get()), height);
}

TEST_F(DecodeTest, RealConverterDecodesEachSampleOnceAtItsHighestLevel) {
  useConverter();
  const DecodedImage sixteen = decode(Sample("kodim05-16base.pcd"));
  ExpectSize(sixteen, 3072, 2048);
  EXPECT_EQ(sixteen.source, DecodeSource::ExternalConverter);
  EXPECT_EQ(sixteen.index, 5);
  EXPECT_EQ(lastBitDepth_, 24);
  EXPECT_EQ(runs(), Strings{"5"});

  ExpectSize(decode(Sample("kodim13-4base.pcd")), 1536, 1024);
  EXPECT_EQ(runs(), Strings{"4"});
  ExpectSize(decode(Sample("kodim23.pcd")), 768, 512);
  EXPECT_EQ(runs(), Strings{"3"});
  ExpectSize(decode(Sample("kodim19.pcd")), 512, 768);
  EXPECT_EQ(runs(), Strings{"3"});
}

TEST_F(DecodeTest, TruncatedFilesDecodeAtTheLevelThatIsWhole) {
  useConverter();
  // Cut inside 16Base: ImageMagick would upsample [5] and exit 1.
  const DecodedImage cutIn16 = decode(Hostile("truncated-16base.pcd"));
  ExpectSize(cutIn16, 1536, 1024);
  EXPECT_EQ(runs(), Strings{"4"});
  const DecodedImage cutIn4 = decode(DecoderData("truncated-16base.pcd"));
  ExpectSize(cutIn4, 768, 512);
  EXPECT_EQ(runs(), Strings{"3"});
}

// ImageMagick's own reading of an unrotated or 90-degree file, written as
// PNG: a reference whose row order no header flag can confuse.
ImageHandle ReferencePicture(const Scratch& scratch, const std::string& pcd) {
  const std::string png = scratch / "reference.png";
  const ChildResult made =
      RunChild({"convert", "pcd:" + pcd + "[3]", "png:" + png}, ChildOptions{});
  EXPECT_TRUE(made.finished());
  ImageHandle picture(FreeImage_Load(FIF_PNG, png.c_str(), 0));
  ::unlink(png.c_str());
  return picture;
}

TEST_F(DecodeTest, RotatedFilesAndThePortraitComeOutUpright) {
  const ImageHandle portrait = ReferencePicture(scratch_, Sample("kodim19.pcd"));
  const ImageHandle landscape = ReferencePicture(scratch_, Sample("kodim23.pcd"));
  ASSERT_TRUE(portrait && landscape);
  ASSERT_EQ(FreeImage_GetHeight(portrait.get()), 768u);

  useConverter();
  const DecodedImage plain = decode(Sample("kodim23.pcd"));
  const DecodedImage upright = decode(Sample("kodim19.pcd"));
  const DecodedImage r90 = decode(DecoderData("rotate-90.pcd"));
  ExpectSize(r90, 1024, 1536);
  const DecodedImage r180 = decode(DecoderData("rotate-180.pcd"));
  ExpectSize(r180, 768, 512);
  const DecodedImage r270 = decode(DecoderData("rotate-270.pcd"));
  ExpectSize(r270, 512, 768);
  EXPECT_EQ(runs(), (Strings{"3", "3", "4", "3", "3"}));

  EXPECT_GT(Correlation(plain.image.get(), landscape.get()), 0.97);
  EXPECT_GT(Correlation(upright.image.get(), portrait.get()), 0.97);
  EXPECT_GT(Correlation(r90.image.get(), portrait.get()), 0.9);
  EXPECT_GT(Correlation(r270.image.get(), portrait.get()), 0.9);
  EXPECT_GT(Correlation(r180.image.get(), landscape.get()), 0.9);

  // The measure tells a picture from itself upside down.
  ImageHandle flipped(FreeImage_Clone(plain.image.get()));
  FreeImage_FlipVertical(flipped.get());
  EXPECT_LT(Correlation(flipped.get(), landscape.get()), 0.5);
}

// The intermediate file used to be a TGA (ImageMagick writes BMP much
// faster): FreeImage's reading of ImageMagick's TGA of the same index.
ImageHandle ThroughTga(const Scratch& scratch, const std::string& pcd, int index) {
  const std::string tga = scratch / "reference.tga";
  const ChildResult made = RunChild(
      {"convert", "-quiet", "-colorspace", "sRGB", "pcd:" + pcd + "[" + std::to_string(index) + "]",
       "-orient", "TopLeft", "tga:" + tga},
      ChildOptions{});
  EXPECT_TRUE(made.finished());
  ImageHandle picture(FreeImage_Load(FIF_TARGA, tga.c_str(), 0));
  ::unlink(tga.c_str());
  return picture;
}

bool SamePixels(FIBITMAP* a, FIBITMAP* b) {
  if (!a || !b || FreeImage_GetWidth(a) != FreeImage_GetWidth(b) ||
      FreeImage_GetHeight(a) != FreeImage_GetHeight(b) ||
      FreeImage_GetBPP(a) != FreeImage_GetBPP(b))
    return false;
  const unsigned rowBytes = FreeImage_GetLine(a);
  for (unsigned y = 0; y < FreeImage_GetHeight(a); ++y)
    if (std::memcmp(FreeImage_GetScanLine(a, y), FreeImage_GetScanLine(b, y), rowBytes) != 0)
      return false;
  return true;
}

TEST_F(DecodeTest, TheBitmapIntermediateGivesWhatTheTgaGaveAndGreyStaysEightBitsWithEitherDecoder) {
  // A Photo CD file whose pixels are all grey: ImageMagick stored it in the
  // TGA as 8-bit grey, and the automatic output depth follows that.
  const std::string png = scratch_ / "grey.png";
  const std::string grey = scratch_ / "grey.pcd";
  ASSERT_TRUE(RunChild({"convert", "pcd:" + Sample("kodim23.pcd") + "[3]", "-colorspace", "gray",
                        "png:" + png},
                       ChildOptions{})
                  .finished());
  ASSERT_TRUE(RunChild({"convert", "png:" + png, "pcd:" + grey}, ChildOptions{}).finished());

  useConverter();
  const std::vector<std::pair<std::string, int>> files = {{Sample("kodim13-4base.pcd"), 4},
                                                          {Sample("kodim19.pcd"), 3},
                                                          {DecoderData("rotate-90.pcd"), 4},
                                                          {DecoderData("rotate-270.pcd"), 3},
                                                          {grey, 3}};
  for (const auto& [path, index] : files) {
    SCOPED_TRACE(path);
    const DecodedImage decoded = decode(path);
    ASSERT_TRUE(decoded.image);
    EXPECT_EQ(decoded.index, index);
    const ImageHandle before = ThroughTga(scratch_, path, index);
    ASSERT_TRUE(before);
    EXPECT_EQ(lastBitDepth_, static_cast<std::int32_t>(FreeImage_GetBPP(before.get())));
    EXPECT_TRUE(SamePixels(decoded.image.get(), before.get()));
  }
  EXPECT_EQ(lastBitDepth_, 8) << "the grey file";

  // The program's own decoder gives 24 bits; the grey file comes back to 8
  // there too, so that the automatic output depth (a one-channel JPEG) does
  // not depend on the decoder. A colour file stays 24.
  options_.external = false;
  for (const auto& [path, bpp] : std::vector<std::pair<std::string, unsigned>>{
           {grey, 8}, {Sample("kodim23.pcd"), 24}}) {
    SCOPED_TRACE(path);
    const DecodedImage own = decode(path);
    ASSERT_TRUE(own.image);
    EXPECT_EQ(own.source, DecodeSource::PhotoCdDecoder);
    EXPECT_EQ(FreeImage_GetBPP(own.image.get()), bpp);
    EXPECT_EQ(lastBitDepth_, static_cast<std::int32_t>(bpp));
  }
}

TEST_F(DecodeTest, FreeImageFallbackAgreesWithTheConverterOnOrientation) {
  useConverter();
  const Strings files = {Sample("kodim23.pcd"),        Sample("kodim19.pcd"),
                         Sample("kodim05-16base.pcd"), Sample("kodim13-4base.pcd"),
                         DecoderData("rotate-90.pcd"), DecoderData("rotate-180.pcd"),
                         DecoderData("rotate-270.pcd")};
  std::vector<DecodedImage> external;
  for (const auto& path : files) external.push_back(decode(path));
  runs();

  noConverter();
  for (std::size_t i = 0; i < files.size(); ++i) {
    SCOPED_TRACE(files[i]);
    const DecodedImage fallback = decode(files[i]);
    ASSERT_TRUE(fallback.image);
    EXPECT_EQ(fallback.source, DecodeSource::FreeImageLoader);
    const bool portrait =
        FreeImage_GetHeight(external[i].image.get()) > FreeImage_GetWidth(external[i].image.get());
    ExpectSize(fallback, portrait ? 512 : 768, portrait ? 768 : 512);
    EXPECT_GT(Correlation(fallback.image.get(), external[i].image.get()), 0.9);
  }
  EXPECT_TRUE(runs().empty()) << "the stand-in was not the converter any more";
}

TEST_F(DecodeTest, IndexLoopGoesDownFromTheHighestLevelThenFallsBack) {
  useConverter("exit 1");
  const DecodedImage sixteen = decode(Sample("kodim05-16base.pcd"));
  EXPECT_EQ(runs(), (Strings{"5", "4", "3", "2", "1", "0"}));
  ExpectSize(sixteen, 768, 512);
  EXPECT_EQ(sixteen.source, DecodeSource::FreeImageLoader);
  EXPECT_EQ(sixteen.converterRuns, 6);

  decode(Sample("kodim23.pcd"));
  EXPECT_EQ(runs(), (Strings{"3", "2", "1", "0"}));
}

TEST_F(DecodeTest, ResultsOfTheWrongSizeAreRejected) {
  // Upsampled beyond the index, empty, and the right size but for another
  // index: all rejected until [2] gives 384x256.
  useConverter(
      "case $index in\n"
      "  5) " +
      WriteBmpOfSize(6144, 4096) +
      " ;;\n"
      "  4) : > \"$out\" ;;\n"
      "  3) " +
      WriteBmpOfSize(384, 256) +
      " ;;\n"
      "  2) " +
      WriteBmpOfSize(256, 384) +
      "; exit 1 ;;\n"
      "esac\n");
  const DecodedImage decoded = decode(Sample("kodim05-16base.pcd"));
  EXPECT_EQ(runs(), (Strings{"5", "4", "3", "2"}));
  ExpectSize(decoded, 256, 384);  // either orientation counts; the exit status does not
  EXPECT_EQ(decoded.source, DecodeSource::ExternalConverter);
  EXPECT_EQ(decoded.index, 2);
}

TEST(ResolutionCheck, WrongShapesForTheirResolutionAreDecodedAgain) {
  EXPECT_EQ(RedecodeIndexFor(3072, 1024), 4);  // ratio 3.0, short side 1024
  EXPECT_EQ(RedecodeIndexFor(1024, 3072), 4);
  EXPECT_EQ(RedecodeIndexFor(820, 512), 3);  // 1.6015625 > 1.6
  EXPECT_EQ(RedecodeIndexFor(6144, 2048), 5);
  EXPECT_EQ(RedecodeIndexFor(3072, 2048), std::nullopt);  // 1.5
  EXPECT_EQ(RedecodeIndexFor(3276, 2048), std::nullopt);  // 1.5996 <= 1.6
  EXPECT_EQ(RedecodeIndexFor(819, 512), std::nullopt);
  EXPECT_EQ(RedecodeIndexFor(2000, 1000), std::nullopt);  // other short side
  EXPECT_EQ(RedecodeIndexFor(0, 0), std::nullopt);
}

TEST_F(DecodeTest, WrongShapedResultsEndAtTheIndexTheirShapeCallsFor) {
  // A damaged 4Base table makes ImageMagick give 3072x1024 for [5]; the
  // decoder must end up with the 4Base picture.
  useConverter(
      "case $index in\n"
      "  5) " +
      WriteBmpOfSize(3072, 1024) +
      " ;;\n"
      "  4) " +
      WriteBmpOfSize(1536, 1024) +
      " ;;\n"
      "  *) " +
      WriteBmpOfSize(768, 512) +
      " ;;\n"
      "esac\n");
  ExpectSize(decode(Sample("kodim05-16base.pcd")), 1536, 1024);
  EXPECT_EQ(runs(), (Strings{"5", "4"}));

  // 820x512 from [3] is no Base picture: the next lower index is asked.
  useConverter(
      "case $index in\n"
      "  3) " +
      WriteBmpOfSize(820, 512) +
      " ;;\n"
      "  *) " +
      WriteBmpOfSize(384, 256) +
      " ;;\n"
      "esac\n");
  ExpectSize(decode(Sample("kodim23.pcd")), 384, 256);
  EXPECT_EQ(runs(), (Strings{"3", "2"}));
}

TEST_F(DecodeTest, MissingOrHangingConverterFallsBackToFreeImage) {
  noConverter();
  const DecodedImage missing = decode(Sample("kodim05-16base.pcd"));
  ExpectSize(missing, 768, 512);
  EXPECT_EQ(missing.source, DecodeSource::FreeImageLoader);
  EXPECT_EQ(missing.converterRuns, 0);

  useConverter(WriteBmpOfSize(3072, 2048) + "\nsleep 30");
  options_.timeLimit = std::chrono::milliseconds(500);
  const DecodedImage hung = decode(Sample("kodim05-16base.pcd"));
  EXPECT_EQ(runs(), Strings{"5"}) << "a converter that hung once is not asked again";
  ExpectSize(hung, 768, 512);
  EXPECT_EQ(hung.source, DecodeSource::FreeImageLoader);
}

TEST_F(DecodeTest, FilesThatAreNotWholeImagePacsReachNoDecoder) {
  useConverter();
  for (const char* name : {"empty.pcd", "png-renamed.pcd", "svg-external.pcd", "mvg-drawing.pcd",
                           "postscript.pcd", "random-bytes.pcd", "no-signature.pcd",
                           "one-sector.pcd", "truncated-in-header.pcd", "truncated-base.pcd"}) {
    SCOPED_TRACE(name);
    const DecodedImage decoded = decode(Hostile(name));
    EXPECT_FALSE(decoded.image);
    EXPECT_EQ(decoded.source, DecodeSource::None);
    EXPECT_FALSE(decoded.refusal.empty());
  }
  EXPECT_TRUE(runs().empty()) << "neither ImageMagick nor FreeImage saw a hostile file";
}

TEST_F(DecodeTest, AwkwardNamesReachTheConverterAsPlainNames) {
  useConverter();
  const Strings names = {"-leading dash.pcd", "quote's \"double\".pcd",
                         "[1] * ? % : .pcd",  "%d%s.pcd",
                         "bmp3:x.pcd",        "space .pcd"};
  for (const auto& name : names) {
    const std::string path = scratch_ / name;
    fs::copy_file(Sample("kodim23.pcd"), path);
    SCOPED_TRACE(name);
    const DecodedImage decoded = decode(path);
    ExpectSize(decoded, 768, 512);
    EXPECT_EQ(decoded.source, DecodeSource::ExternalConverter);
  }
  EXPECT_EQ(runs().size(), names.size());
  const std::regex plain(
      R"(-quiet -colorspace sRGB pcd:[0-9]+-[A-Za-z0-9_.-]+\.pcd\[3\] bmp3:[0-9]+-[A-Za-z0-9_.-]+\.bmp)");
  for (const auto& line : ReadLines(scratch_ / "args"))
    EXPECT_TRUE(std::regex_match(line, plain)) << line;
}

TEST_F(DecodeTest, RunFolderIsPrivateAndRemovedWithItsContents) {
  std::string folder = runFolder_->path();
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder.rfind(scratch_.path() + "/lumafold-", 0), 0u) << folder;
  struct stat info {};
  ASSERT_EQ(::stat(folder.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);
  // A link in it is removed, not what it points at.
  const std::string target = scratch_ / "keep.pcd";
  WriteFile(target, "x");
  ASSERT_EQ(::symlink(target.c_str(), (folder + "/in.pcd").c_str()), 0);
  runFolder_.reset();
  EXPECT_FALSE(fs::exists(folder));
  EXPECT_TRUE(fs::exists(target));
}

}  // namespace
}  // namespace lumafold
