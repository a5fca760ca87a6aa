// Every output format, written from a decoded image at its automatic depth
// and read back by a reader that is not the writer: ImageMagick's identify
// (JPEG XR through jxrlib's own decoder, which ImageMagick delegates to),
// with FreeImage reporting the bit depth the file loads at.
#include <string>
#include <thread>
#include <vector>

#include "output_test_support.h"

namespace lumafold {
namespace {
using namespace output_testing;

struct Expected {
  const char* key;
  const char* coder;         // ImageMagick coder used to read the file back
  int channelDepth;          // identify's %z; 0 when ImageMagick reports its own working depth
  const char* type;          // identify's %[type]
  unsigned loadedDepth;      // FreeImage_GetBPP of the file loaded back
  FREE_IMAGE_FORMAT readAs;  // FIF_UNKNOWN: FreeImage cannot read the format
};

// A 24-bit source, each format at its automatic depth (the first accepted
// depth not below 24, else the largest): 32 for DDS and PSD, 96 for the
// floating-point formats, 8 for GIF and PGM, 1 for PBM and WBMP.
const std::vector<Expected>& Formats() {
  static const std::vector<Expected> formats = {
      {"bmp", "bmp", 8, "TrueColor", 24, FIF_BMP},
      {"dds", "dds", 8, "TrueColor", 32, FIF_DDS},
      // FreeImage stores EXR as half floats; ImageMagick reads them at 16 bits.
      {"exr", "exr", 16, "TrueColorAlpha", 96, FIF_EXR},
      {"gif", "gif", 8, "Palette", 8, FIF_GIF},
      {"hdr", "hdr", 16, "TrueColor", 96, FIF_HDR},
      {"ico", "ico", 8, "TrueColorAlpha", 24, FIF_ICO},
      {"j2k", "j2k", 8, "TrueColor", 24, FIF_J2K},
      {"jng", "jng", 0, "TrueColor", 24, FIF_JNG},
      {"jp2", "jp2", 8, "TrueColor", 24, FIF_JP2},
      {"jpg", "jpeg", 8, "TrueColor", 24, FIF_JPEG},
      // FreeImage cannot load JPEG XR here at all (see jxr_encoder.h).
      {"jxr", "jxr", 8, "TrueColor", 0, FIF_UNKNOWN},
      {"pbm", "pbm", 1, "Bilevel", 1, FIF_PBM},
      {"pcx", "pcx", 8, "TrueColor", 24, FIF_PCX},
      {"pfm", "pfm", 32, "TrueColor", 96, FIF_PFM},
      {"pgm", "pgm", 8, "Grayscale", 8, FIF_PGM},
      {"png", "png", 8, "TrueColor", 24, FIF_PNG},
      {"ppm", "ppm", 8, "TrueColor", 24, FIF_PPM},
      {"psd", "psd", 8, "TrueColor", 32, FIF_PSD},
      {"tga", "tga", 8, "TrueColor", 24, FIF_TARGA},
      {"tiff", "tiff", 8, "TrueColor", 24, FIF_TIFF},
      {"wbmp", "wbmp", 0, "Bilevel", 1, FIF_WBMP},
      {"webp", "webp", 8, "TrueColor", 24, FIF_WEBP},
      {"xpm", "xpm", 8, "TrueColor", 24, FIF_XPM},
  };
  return formats;
}

void WriteAndReadBack(ImageHandle source, const std::string& label, const ScratchFolder& folder) {
  for (const Expected& format : Formats()) {
    SCOPED_TRACE(label + " as " + format.key);
    OutputCase output;
    ASSERT_TRUE(output.prepare(format.key));
    ImageHandle image(FreeImage_Clone(source.get()));
    // The pipeline's icon step makes large pictures 128 x 128 before this
    // point; smaller ones keep their own size and shape.
    if (std::string(format.key) == "ico" && FreeImage_GetWidth(image.get()) > 128) {
      image.reset(FreeImage_Rescale(image.get(), 128, 128, FILTER_BICUBIC));
    }
    const unsigned width = FreeImage_GetWidth(image.get());
    const unsigned height = FreeImage_GetHeight(image.get());
    const std::string path = folder.path() + label + "." + format.key;
    ASSERT_TRUE(output.convertAndWrite(std::move(image), path));

    const Identified read = Identify(format.coder, path);
    ASSERT_TRUE(read.read) << "identify could not read " << path;
    EXPECT_EQ(read.width, static_cast<int>(width)) << Describe(read);
    EXPECT_EQ(read.height, static_cast<int>(height)) << Describe(read);
    if (format.channelDepth) {
      EXPECT_EQ(read.depth, format.channelDepth) << Describe(read);
    }
    EXPECT_EQ(read.type, format.type) << Describe(read);

    if (format.readAs == FIF_UNKNOWN) continue;
    ImageHandle loaded(FreeImage_Load(format.readAs, path.c_str(), 0));
    ASSERT_TRUE(loaded) << "FreeImage could not load " << path;
    EXPECT_EQ(FreeImage_GetBPP(loaded.get()), format.loadedDepth);
  }
  // Nothing but the 23 outputs: no temporary file stayed behind.
  EXPECT_EQ(folder.entries().size(), Formats().size());
}

TEST(OutputFormats, EveryFormatFromSyntheticImage) {
  ScratchFolder folder;
  WriteAndReadBack(GradientImage(64, 48), "synthetic", folder);
}

TEST(OutputFormats, EveryFormatFromDecodedPhotoCdSample) {
  ImageHandle sample = LoadSampleTga();
  ASSERT_TRUE(sample) << SampleTgaPath();
  ASSERT_EQ(FreeImage_GetBPP(sample.get()), 24u);
  ScratchFolder folder;
  WriteAndReadBack(std::move(sample), "kodim23", folder);
}

// The DevIL formats take rows bottom-up; the wrong row order would not show
// in size or depth, only in the picture.
TEST(OutputFormats, DevilFormatsKeepTopAtTheTop) {
  ScratchFolder folder;
  for (const char* key : {"psd", "pcx", "dds", "jxr"}) {
    SCOPED_TRACE(key);
    const std::string path = WriteAs(folder, "bands." + std::string(key), GradientImage(64, 48));
    ASSERT_FALSE(path.empty());
    const std::string pixels = RunCapture("convert -quiet '" + std::string(key) + ":" + path +
                                          "[0]' -format '%[pixel:p{32,1}] %[pixel:p{32,46}]' "
                                          "info: 2>/dev/null");
    EXPECT_EQ(pixels, "srgb(255,0,0) srgb(0,0,255)");
  }
}

// An icon entry holds the picture at its own size and shape, from a few
// pixels up to 256 (stored as 0 in the directory).
TEST(OutputFormats, IconsOfAnySizeUpTo256) {
  ScratchFolder folder;
  for (const auto& [width, height] : {std::pair{100, 60}, {10, 6}, {2, 3}, {256, 256}, {256, 3}}) {
    SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height));
    const std::string path = WriteAs(folder, "icon.ico", GradientImage(width, height));
    ASSERT_FALSE(path.empty());
    const Identified read = Identify("ico", path);
    EXPECT_EQ(read.width, width) << Describe(read);
    EXPECT_EQ(read.height, height) << Describe(read);
  }
  EXPECT_EQ(WriteAs(folder, "large.ico", GradientImage(257, 16)), "");
}

// DDS goes out with its mipmap chain: 64x48 has levels down to 1x1.
TEST(OutputFormats, DdsCarriesMipmaps) {
  ScratchFolder folder;
  const std::vector<unsigned char> bytes =
      ReadBytes(WriteAs(folder, "chain.dds", GradientImage(64, 48)));
  ASSERT_GT(bytes.size(), 128u);
  ASSERT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "DDS ");
  EXPECT_EQ(Le32(bytes, 12), 48u);  // height
  EXPECT_EQ(Le32(bytes, 16), 64u);  // width
  EXPECT_EQ(Le32(bytes, 28), 7u);   // mipmap count: 64, 32, 16, 8, 4, 2, 1
}

// JPEG XR is written by our own jxrlib writer at every depth the format
// accepts; jxrlib's reference decoder reads each back (to TIFF, or to BMP
// for 5-6-5 pixels, which ImageMagick cannot take from its TIFF).
TEST(OutputFormats, JpegXrAtEveryAcceptedDepth) {
  struct Case {
    int depth;
    const char* decodedAs;
    int channelDepth;
    const char* type;
  };
  const Case cases[] = {
      {1, "tif", 1, "Bilevel"},     {8, "tif", 8, "Grayscale"},       {16, "bmp", 8, "TrueColor"},
      {24, "tif", 8, "TrueColor"},  {32, "tif", 8, "TrueColorAlpha"}, {48, "tif", 16, "TrueColor"},
      {96, "tif", 32, "TrueColor"},
  };
  ScratchFolder folder;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.depth);
    OutputCase output;
    ASSERT_TRUE(output.prepare("jxr", c.depth));
    const std::string path = folder.path() + "d" + std::to_string(c.depth) + ".jxr";
    const std::string decoded = path + "." + c.decodedAs;
    ASSERT_TRUE(output.convertAndWrite(GradientImage(64, 48), path));
    RunCapture("JxrDecApp -i '" + path + "' -o '" + decoded + "' >/dev/null 2>&1");
    const Identified read = Identify(c.decodedAs, decoded);
    ASSERT_TRUE(read.read);
    EXPECT_EQ(read.width, 64);
    EXPECT_EQ(read.height, 48);
    EXPECT_EQ(read.depth, c.channelDepth) << Describe(read);
    EXPECT_EQ(read.type, c.type) << Describe(read);
  }
}

// Lossless means lossless: the 24-bit sample comes back pixel for pixel.
TEST(OutputFormats, JpegXrIsLossless) {
  ScratchFolder folder;
  const std::string path = WriteAs(folder, "sample.jxr", LoadSampleTga());
  ASSERT_FALSE(path.empty());
  const std::string differing =
      RunCapture("compare -metric AE 'jxr:" + path + "' 'tga:" + SampleTgaPath() + "' null: 2>&1");
  EXPECT_EQ(differing, "0");
}

// DevIL works on one process-wide bound image; parallel workers must not
// see each other's. Each thread writes its own size and must get it back.
TEST(OutputFormats, DevilWritesFromSeveralThreads) {
  ScratchFolder folder;
  std::vector<std::thread> workers;
  std::vector<int> written(4, 0);
  for (int t = 0; t < 4; ++t) {
    workers.emplace_back([&, t] {
      for (int round = 0; round < 4; ++round) {
        for (const char* key : {"psd", "dds", "pcx"}) {
          OutputCase output;
          if (!output.prepare(key)) return;
          const std::string path = folder.path() + "t" + std::to_string(t) + "." + key;
          if (output.convertAndWrite(GradientImage(200 + 8 * t, 120 + 8 * t), path)) ++written[t];
        }
      }
    });
  }
  for (std::thread& worker : workers) worker.join();
  for (int t = 0; t < 4; ++t) {
    EXPECT_EQ(written[t], 12) << t;
    for (const char* key : {"psd", "dds", "pcx"}) {
      const Identified read = Identify(key, folder.path() + "t" + std::to_string(t) + "." + key);
      EXPECT_EQ(read.width, 200 + 8 * t) << key << t;
      EXPECT_EQ(read.height, 120 + 8 * t) << key << t;
    }
  }
}

}  // namespace
}  // namespace lumafold
