// Every output format at every depth it accepts, and each of its options,
// written from one small picture with known colours and a marked corner,
// then read back by programs that are not the writer: ImageMagick (one
// batch for all files), jxrlib's own decoder for JPEG XR, PIL for the 16-bit
// icon entries that ImageMagick takes for a 65536-colour palette, exiftool
// and exrheader for header fields. Checked: size, orientation, polarity,
// colour, channels and depth, and that an option changed the file.
#include <cmath>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "engine/image_libraries.h"
#include "engine/writers/metadata.h"
#include "photocd/photocd.h"
#include "output_test_support.h"

namespace lumafold {
namespace {
using namespace output_testing;

constexpr int kWidth = 64;
constexpr int kHeight = 48;

struct Rgb {
  double red, green, blue;
};

// Mid-grey picture with a 16 x 12 block in each corner: white at the top
// left (the marked corner), red at the top right, blue at the bottom left,
// black at the bottom right. A flip, a turn or a negative moves or swaps
// the blocks.
struct Spot {
  const char* name;
  int left, top;  // of an area well inside the block, 12 x 8
  Rgb colour;     // sRGB code values
};
const Spot kSpots[] = {
    {"top left", 2, 2, {255, 255, 255}}, {"top right", 50, 2, {255, 0, 0}},
    {"bottom left", 2, 38, {0, 0, 255}}, {"bottom right", 50, 38, {0, 0, 0}},
    {"centre", 26, 20, {128, 128, 128}},
};

ImageHandle MarkedPicture() {
  ImageHandle image(FreeImage_Allocate(kWidth, kHeight, 24));
  for (int y = 0; y < kHeight; ++y) {
    BYTE* row = FreeImage_GetScanLine(image.get(), kHeight - 1 - y);
    for (int x = 0; x < kWidth; ++x) {
      const bool left = x < 16, right = x >= kWidth - 16, top = y < 12, bottom = y >= kHeight - 12;
      Rgb c{128, 128, 128};
      if (left && top) c = {255, 255, 255};
      if (right && top) c = {255, 0, 0};
      if (left && bottom) c = {0, 0, 255};
      if (right && bottom) c = {0, 0, 0};
      row[3 * x + FI_RGBA_RED] = static_cast<BYTE>(c.red);
      row[3 * x + FI_RGBA_GREEN] = static_cast<BYTE>(c.green);
      row[3 * x + FI_RGBA_BLUE] = static_cast<BYTE>(c.blue);
    }
  }
  return image;
}

// How the picture is expected to come back.
enum class Look {
  Colour,   // sRGB code values
  Grey,     // the luma of the colours
  Bilevel,  // dithered: block averages near the luma, white and black exact
  Linear,   // linear light (mid-grey 128 is 0.216)
  Cmyk,     // ink amounts
};

using Options = void (*)(OutputSettings&);
void Plain(OutputSettings&) {}

struct Case {
  const char* key;
  int depth;
  const char* option;  // "" for the plain case of this key and depth
  Options set;
  Look look;
  const char* channels;  // ImageMagick's %[channels]: "gray", "srgb", "srgba", "cmyk"...
  int bitsPerChannel;    // ImageMagick's %z; 0 when the reader's own
  // What a header reader reports for the option ("" for none): the field
  // and its expected value, e.g. "compression=RLE".
  const char* header;
  // An option the format has no use for, which leaves the file as it was.
  bool sameAsPlain = false;
};

#define OPT(body) [](OutputSettings& o) { body; }

const std::vector<Case>& Cases() {
  static const std::vector<Case> cases = {
      {"bmp", 1, "", Plain, Look::Bilevel, "srgb", 1, ""},
      {"bmp", 4, "", Plain, Look::Grey, "srgb", 4, ""},
      {"bmp", 8, "", Plain, Look::Colour, "srgb", 8, ""},
      {"bmp", 8, "rle", OPT(o.bmpCompression = 1), Look::Colour, "srgb", 8, "compression=RLE"},
      {"bmp", 8, "exact", OPT(o.bmpColorTable = 1), Look::Colour, "srgb", 8, ""},
      {"bmp", 8, "exact rle", OPT(o.bmpColorTable = 1; o.bmpCompression = 1), Look::Colour, "srgb",
       8, "compression=RLE"},
      {"bmp", 16, "", Plain, Look::Colour, "srgb", 8, ""},
      {"bmp", 24, "", Plain, Look::Colour, "srgb", 8, ""},
      {"bmp", 32, "", Plain, Look::Colour, "srgba", 8, ""},
      // DevIL compresses to DXT1, whose 1-bit alpha is left out when opaque.
      {"dds", 32, "", Plain, Look::Colour, "srgb", 8, ""},
      {"exr", 96, "", Plain, Look::Linear, "rgba", 16, "exr=none"},
      {"exr", 96, "zip", OPT(o.exrCompression = 1), Look::Linear, "rgba", 16, "exr=zip"},
      {"exr", 96, "piz", OPT(o.exrCompression = 2), Look::Linear, "rgba", 16, "exr=piz"},
      {"exr", 96, "pxr24", OPT(o.exrCompression = 3), Look::Linear, "rgba", 16, "exr=pxr24"},
      {"exr", 96, "b44", OPT(o.exrCompression = 4), Look::Linear, "rgba", 16, "exr=b44"},
      {"gif", 8, "", Plain, Look::Colour, "srgb", 8, ""},
      {"hdr", 96, "", Plain, Look::Linear, "rgb", 16, ""},
      {"ico", 1, "", Plain, Look::Bilevel, "srgba", 1, ""},
      {"ico", 4, "", Plain, Look::Grey, "srgba", 4, ""},
      {"ico", 8, "", Plain, Look::Colour, "srgba", 8, ""},
      {"ico", 16, "", Plain, Look::Colour, "srgba", 0, ""},  // read by PIL
      {"ico", 24, "", Plain, Look::Colour, "srgba", 8, ""},
      {"ico", 32, "", Plain, Look::Colour, "srgba", 8, ""},
      {"j2k", 8, "", Plain, Look::Grey, "gray", 8, ""},
      {"j2k", 24, "", Plain, Look::Colour, "srgb", 8, ""},
      {"j2k", 32, "", Plain, Look::Colour, "srgba", 8, ""},
      {"j2k", 48, "", Plain, Look::Colour, "srgb", 16, ""},
      {"jng", 24, "", Plain, Look::Colour, "srgb", 0, ""},
      // FreeImage's JNG writer, like its PNG one, leaves an opaque alpha
      // channel out; unlike PNG the engine has no writer of its own for it.
      {"jng", 32, "", Plain, Look::Colour, "srgb", 0, ""},
      {"jp2", 8, "", Plain, Look::Grey, "gray", 8, ""},
      {"jp2", 24, "", Plain, Look::Colour, "srgb", 8, ""},
      {"jp2", 32, "", Plain, Look::Colour, "srgba", 8, ""},
      {"jp2", 48, "", Plain, Look::Colour, "srgb", 16, ""},
      {"jpg", 8, "", Plain, Look::Grey, "gray", 8, ""},
      {"jpg", 24, "", Plain, Look::Colour, "srgb", 8, "sampling=1x1,1x1,1x1"},
      {"jpg", 24, "4:2:2", OPT(o.jpgChroma = 1), Look::Colour, "srgb", 8, "sampling=2x1,1x1,1x1"},
      {"jpg", 24, "4:2:0", OPT(o.jpgChroma = 2), Look::Colour, "srgb", 8, "sampling=2x2,1x1,1x1"},
      {"jpg", 24, "4:1:1", OPT(o.jpgChroma = 3), Look::Colour, "srgb", 8, "sampling=4x1,1x1,1x1"},
      {"jpg", 24, "baseline", OPT(o.jpgSaveAs = 1), Look::Colour, "srgb", 8, ""},
      {"jpg", 24, "optimized", OPT(o.jpgSaveAs = 2), Look::Colour, "srgb", 8, ""},
      {"jpg", 24, "progressive", OPT(o.jpgSaveAs = 3), Look::Colour, "srgb", 8, "interlace=JPEG"},
      {"jpg", 24, "quality 50", OPT(o.jpgQuality = 50), Look::Colour, "srgb", 8, "quality=50"},
      {"jxr", 1, "", Plain, Look::Bilevel, "gray", 1, ""},
      {"jxr", 8, "", Plain, Look::Grey, "gray", 8, ""},
      {"jxr", 16, "", Plain, Look::Colour, "srgb", 8, ""},
      {"jxr", 24, "", Plain, Look::Colour, "srgb", 8, ""},
      {"jxr", 32, "", Plain, Look::Colour, "srgba", 8, ""},
      {"jxr", 48, "", Plain, Look::Colour, "srgb", 16, ""},
      {"jxr", 96, "", Plain, Look::Linear, "srgb", 32, ""},
      {"pbm", 1, "", Plain, Look::Bilevel, "gray", 1, ""},
      {"pcx", 24, "", Plain, Look::Colour, "srgb", 8, ""},
      {"pfm", 96, "", Plain, Look::Linear, "srgb", 32, ""},
      {"pgm", 8, "", Plain, Look::Grey, "gray", 8, ""},
      {"png", 1, "", Plain, Look::Bilevel, "gray", 1, ""},
      {"png", 4, "", Plain, Look::Grey, "srgb", 4, ""},
      {"png", 8, "", Plain, Look::Colour, "srgb", 8, ""},
      {"png", 24, "", Plain, Look::Colour, "srgb", 8, ""},
      {"png", 24, "zlib 6", OPT(o.pngCompression = 2), Look::Colour, "srgb", 8, ""},
      {"png", 24, "zlib 1", OPT(o.pngCompression = 1), Look::Colour, "srgb", 8, ""},
      {"png", 24, "zlib 9", OPT(o.pngCompression = 3), Look::Colour, "srgb", 8, ""},
      {"png", 24, "interlaced", OPT(o.pngInterlaced = 1), Look::Colour, "srgb", 8, "interlace=PNG"},
      {"png", 32, "", Plain, Look::Colour, "srgba", 8, ""},
      {"png", 32, "interlaced", OPT(o.pngInterlaced = 1), Look::Colour, "srgba", 8,
       "interlace=PNG"},
      {"png", 48, "", Plain, Look::Colour, "srgb", 16, ""},
      {"ppm", 24, "", Plain, Look::Colour, "srgb", 8, ""},
      {"ppm", 48, "", Plain, Look::Colour, "srgb", 16, ""},
      {"psd", 32, "", Plain, Look::Colour, "srgba", 8, ""},
      {"tga", 8, "", Plain, Look::Colour, "srgb", 8, ""},
      {"tga", 16, "", Plain, Look::Colour, "srgb", 5, ""},
      {"tga", 24, "", Plain, Look::Colour, "srgb", 8, ""},
      {"tga", 24, "rle", OPT(o.tgaCompression = 1), Look::Colour, "srgb", 8, "compression=RLE"},
      {"tga", 32, "", Plain, Look::Colour, "srgba", 8, ""},
      {"tiff", 1, "", Plain, Look::Bilevel, "gray", 1, "tiff=Uncompressed"},
      {"tiff", 4, "", Plain, Look::Grey, "srgb", 4, ""},
      {"tiff", 8, "", Plain, Look::Colour, "srgb", 8, ""},
      {"tiff", 24, "", Plain, Look::Colour, "srgb", 8, "tiff=Uncompressed"},
      {"tiff", 32, "", Plain, Look::Colour, "srgba", 8, ""},
      {"tiff", 48, "", Plain, Look::Colour, "srgb", 16, ""},
      {"tiff", 96, "", Plain, Look::Linear, "srgb", 32, ""},
      {"tiff", 1, "ccitt fax 3", OPT(o.tiffCompression = 1), Look::Bilevel, "gray", 1,
       "tiff=T4/Group 3 Fax"},
      {"tiff", 1, "ccitt fax 4", OPT(o.tiffCompression = 2), Look::Bilevel, "gray", 1,
       "tiff=T6/Group 4 Fax"},
      // The fax codes are bilevel: a colour picture is dithered for them.
      {"tiff", 24, "ccitt fax 4", OPT(o.tiffCompression = 2), Look::Bilevel, "gray", 1,
       "tiff=T6/Group 4 Fax"},
      {"tiff", 24, "packbits", OPT(o.tiffCompression = 3), Look::Colour, "srgb", 8,
       "tiff=PackBits"},
      {"tiff", 24, "deflate", OPT(o.tiffCompression = 4), Look::Colour, "srgb", 8, "tiff=Deflate"},
      {"tiff", 24, "adobe deflate", OPT(o.tiffCompression = 5), Look::Colour, "srgb", 8,
       "tiff=Adobe Deflate"},
      {"tiff", 24, "lzw", OPT(o.tiffCompression = 6), Look::Colour, "srgb", 8, "tiff=LZW"},
      {"tiff", 24, "jpeg", OPT(o.tiffCompression = 7), Look::Colour, "srgb", 8, "tiff=JPEG"},
      // JPEG in TIFF codes 8-bit RGB; alpha and 16 bits are left out.
      {"tiff", 32, "jpeg", OPT(o.tiffCompression = 7), Look::Colour, "srgb", 8, "tiff=JPEG"},
      {"tiff", 48, "jpeg", OPT(o.tiffCompression = 7), Look::Colour, "srgb", 8, "tiff=JPEG"},
      // LogLuv codes light: the picture goes through linear floats.
      {"tiff", 24, "logluv", OPT(o.tiffCompression = 8), Look::Colour, "srgb", 16, "tiff=SGILog"},
      {"tiff", 1, "logluv", OPT(o.tiffCompression = 8), Look::Colour, "srgb", 16, "tiff=SGILog"},
      {"tiff", 96, "logluv", OPT(o.tiffCompression = 8), Look::Colour, "srgb", 16, "tiff=SGILog"},
      {"tiff", 32, "lzw", OPT(o.tiffCompression = 6), Look::Colour, "srgba", 8, "tiff=LZW"},
      {"tiff", 48, "deflate", OPT(o.tiffCompression = 4), Look::Colour, "srgb", 16, "tiff=Deflate"},
      {"tiff", 96, "lzw", OPT(o.tiffCompression = 6), Look::Linear, "srgb", 32, "tiff=LZW"},
      {"tiff", 24, "cmyk", OPT(o.tiffColorModel = 1), Look::Cmyk, "cmyk", 8, "photometric=CMYK"},
      {"tiff", 32, "cmyk", OPT(o.tiffColorModel = 1), Look::Cmyk, "cmyk", 8, "photometric=CMYK"},
      {"tiff", 8, "cmyk", OPT(o.tiffColorModel = 1), Look::Cmyk, "cmyk", 8, "photometric=CMYK"},
      {"tiff", 48, "cmyk", OPT(o.tiffColorModel = 1), Look::Cmyk, "cmyk", 16, "photometric=CMYK"},
      {"tiff", 32, "cmyk lzw", OPT(o.tiffColorModel = 1; o.tiffCompression = 6), Look::Cmyk, "cmyk",
       8, "tiff=LZW"},
      // Lab is written like RGB.
      {"tiff", 24, "lab", OPT(o.tiffColorModel = 2), Look::Colour, "srgb", 8, "photometric=RGB",
       true},
      {"wbmp", 1, "", Plain, Look::Bilevel, "srgb", 0, ""},
      {"webp", 24, "", Plain, Look::Colour, "srgb", 8, ""},
      {"webp", 32, "", Plain, Look::Colour, "srgba", 8, ""},
      {"xpm", 24, "", Plain, Look::Colour, "srgb", 8, ""},
  };
  return cases;
}

std::string Label(const Case& c) {
  return std::string(c.key) + " " + std::to_string(c.depth) + (*c.option ? " " : "") + c.option;
}

std::string Quoted(const std::string& text) {
  std::string quoted = "'";
  quoted += text;
  quoted += '\'';
  return quoted;
}

// Pixels as ImageMagick hands them over in a PAM file, as fractions.
struct ReadPicture {
  int width = 0, height = 0, channels = 0;
  std::string tupleType;
  std::vector<double> samples;

  double at(int x, int y, int channel) const {
    return samples[(static_cast<std::size_t>(y) * width + x) * channels + channel];
  }
  // The mean of each channel over a 12 x 8 area.
  std::vector<double> mean(int left, int top) const {
    std::vector<double> sums(channels, 0.0);
    for (int y = top; y < top + 8; ++y)
      for (int x = left; x < left + 12; ++x)
        for (int c = 0; c < channels; ++c) sums[c] += at(x, y, c);
    for (double& sum : sums) sum /= 96.0;
    return sums;
  }
};

bool ReadPam(const std::string& path, ReadPicture& picture) {
  const std::vector<unsigned char> bytes = ReadBytes(path);
  const std::string text(bytes.begin(), bytes.end());
  const std::size_t end = text.find("ENDHDR\n");
  if (text.rfind("P7\n", 0) != 0 || end == std::string::npos) return false;
  std::istringstream header(text.substr(3, end - 3));
  std::string field;
  double maximum = 0;
  while (header >> field) {
    if (field == "WIDTH") header >> picture.width;
    if (field == "HEIGHT") header >> picture.height;
    if (field == "DEPTH") header >> picture.channels;
    if (field == "MAXVAL") header >> maximum;
    if (field == "TUPLTYPE") header >> picture.tupleType;
  }
  const std::size_t count =
      static_cast<std::size_t>(picture.width) * picture.height * picture.channels;
  const std::size_t start = end + 7;
  // Samples are big-endian, as wide as the largest value needs.
  const std::size_t width = maximum < 256 ? 1 : maximum < 65536 ? 2 : 4;
  if (maximum <= 0 || bytes.size() < start + width * count) return false;
  picture.samples.resize(count);
  for (std::size_t i = 0; i < count; ++i) {
    double value = 0;
    for (std::size_t b = 0; b < width; ++b) value = value * 256 + bytes[start + width * i + b];
    picture.samples[i] = value / maximum;
  }
  return true;
}

// FreeImage makes grey with the Rec. 709 weights.
double Luma(const Rgb& c) { return 0.2126 * c.red + 0.7152 * c.green + 0.0722 * c.blue; }

double LinearLight(double code) {
  const double v = code / 255.0;
  return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
}

// Compares one area with what the look expects; empty when it matches.
std::string CheckSpot(const ReadPicture& picture, const Spot& spot, Look look, double tolerance) {
  const std::vector<double> m = picture.mean(spot.left, spot.top);
  std::ostringstream problem;
  auto report = [&](const std::string& expected) {
    problem << spot.name << ": expected " << expected << ", read";
    for (double v : m) problem << " " << v;
  };
  const Rgb& c = spot.colour;
  const bool grey = picture.channels <= 2;
  const double r = m[0], g = grey ? m[0] : m[1], b = grey ? m[0] : m[2];
  switch (look) {
    case Look::Colour:
      if (std::abs(r * 255 - c.red) > tolerance || std::abs(g * 255 - c.green) > tolerance ||
          std::abs(b * 255 - c.blue) > tolerance)
        report("sRGB " + std::to_string(c.red) + "," + std::to_string(c.green) + "," +
               std::to_string(c.blue));
      break;
    case Look::Grey:
      if (std::abs(r * 255 - Luma(c)) > tolerance) report("grey " + std::to_string(Luma(c)));
      break;
    case Look::Bilevel: {
      // White and black stay pure; the rest is dithered to about its luma.
      const double tolerance = Luma(c) == 0 || Luma(c) == 255 ? 1 : 60;
      if (std::abs(r * 255 - Luma(c)) > tolerance) report("about " + std::to_string(Luma(c)));
      break;
    }
    case Look::Linear:
      if (std::abs(r - LinearLight(c.red)) > 0.01 || std::abs(g - LinearLight(c.green)) > 0.01 ||
          std::abs(b - LinearLight(c.blue)) > 0.01)
        report("linear " + std::to_string(LinearLight(c.red)) + "," +
               std::to_string(LinearLight(c.green)) + "," + std::to_string(LinearLight(c.blue)));
      break;
    case Look::Cmyk: {
      // Plain separation: black is what is missing from the brightest.
      const double brightest = std::max({c.red, c.green, c.blue}) / 255;
      const double k = 1 - brightest;
      auto ink = [&](double v) { return brightest == 0 ? 0 : (brightest - v / 255) / brightest; };
      const double expected[4] = {ink(c.red), ink(c.green), ink(c.blue), k};
      if (picture.channels != 4) break;
      for (int i = 0; i < 4; ++i)
        if (std::abs(m[i] - expected[i]) > 0.02) {
          report("inks " + std::to_string(expected[0]) + "," + std::to_string(expected[1]) + "," +
                 std::to_string(expected[2]) + "," + std::to_string(expected[3]));
          break;
        }
      break;
    }
  }
  return problem.str();
}

// PIL for what ImageMagick misreads: this ImageMagick reads bottom-up Targa
// files upside down, takes 16-bit icon entries for a 65536-colour palette
// and a Photoshop file's alpha channel for an extra channel.
bool ReadByPil(const Case& c) {
  const std::string key = c.key;
  return key == "tga" || key == "psd" || (key == "ico" && c.depth == 16);
}

// Pairs of (file, PAM to write), one PIL process for all.
void ConvertWithPil(const std::vector<std::string>& pairs) {
  const std::string script =
      "import sys\n"
      "from PIL import Image\n"
      "for src, dst in zip(sys.argv[1::2], sys.argv[2::2]):\n"
      "    im = Image.open(src).convert(\"RGBA\")\n"
      "    head = b\"P7\\nWIDTH %d\\nHEIGHT %d\\nDEPTH 4\\nMAXVAL 255\\n\" % im.size\n"
      "    alpha = Image.open(src).mode in (\"RGBA\", \"LA\", \"PA\")\n"
      "    head += b\"TUPLTYPE RGB_ALPHA\\nENDHDR\\n\" if alpha else b\"TUPLTYPE "
      "RGB\\nENDHDR\\n\"\n"
      "    open(dst, \"wb\").write(head + im.tobytes())\n";
  std::string command = "/usr/bin/python3 -c ";
  command += Quoted(script);
  for (const std::string& path : pairs) {
    command += ' ';
    command += Quoted(path);
  }
  RunCapture(command + " 2>&1");
}

// One line per file from a batch reader: file name, then fields.
std::map<std::string, std::string> LinesByName(const std::string& output) {
  std::map<std::string, std::string> lines;
  std::istringstream in(output);
  std::string line;
  while (std::getline(in, line)) {
    const std::size_t bar = line.find('|');
    if (bar != std::string::npos) lines[line.substr(0, bar)] = line.substr(bar + 1);
  }
  return lines;
}

// Field `index` of a line of fields separated by "|" or by tabs.
std::string Field(const std::string& fields, int index) {
  std::istringstream in(fields);
  const char separator = fields.find('\t') != std::string::npos ? '\t' : '|';
  std::string field;
  for (int i = 0; i <= index; ++i)
    if (!std::getline(in, field, separator)) return "";
  return field;
}

TEST(OutputReadBack, EveryFormatDepthAndOption) {
  ScratchFolder folder;
  const std::vector<Case>& cases = Cases();
  std::vector<std::string> written(cases.size());
  std::vector<std::string> readable(cases.size());  // what ImageMagick reads
  std::string magick = "convert -quiet";
  std::string identify =
      "identify -quiet -format "
      "'%i|%z|%C|%[interlace]|%Q|%[jpeg:sampling-factor]|%[channels]|%x|%U\\n'";
  std::string exif =
      "exiftool -q -q -T -FileName -Compression -PhotometricInterpretation -BitDepth";
  std::vector<std::string> throughPil;
  std::string exr = "exrheader";

  for (std::size_t i = 0; i < cases.size(); ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE(Label(c));
    OutputCase output;
    c.set(output.settings.output);
    ASSERT_TRUE(output.prepare(c.key, c.depth));
    const std::string stem = "case" + std::to_string(i);
    written[i] = folder.path() + stem + "." + c.key;
    ASSERT_TRUE(output.convertAndWrite(MarkedPicture(), written[i]));

    std::string coder = c.key;
    readable[i] = written[i];
    if (std::string(c.key) == "jxr") {
      // jxrlib's decoder writes 5-6-5 pixels only as BMP.
      const char* as = c.depth == 16 ? ".bmp" : ".tif";
      readable[i] = written[i] + as;
      coder = c.depth == 16 ? "bmp" : "tiff";
      RunCapture("JxrDecApp -i " + Quoted(written[i]) + " -o " + Quoted(readable[i]) +
                 " >/dev/null 2>&1");
    }
    const std::string pam = folder.path() + stem + ".pam";
    const std::string source = Quoted(coder + ":" + readable[i] + "[0]");
    if (ReadByPil(c)) {
      throughPil.insert(throughPil.end(), {written[i], pam});
    } else {
      magick += " " + source + " -write " + Quoted("pam:" + pam) + " +delete";
    }
    const bool sixteenBitIcon = std::string(c.key) == "ico" && c.depth == 16;
    if (!sixteenBitIcon) identify += " " + source;
    if (std::string(c.key) == "tiff" || std::string(c.key) == "png") {
      exif += " " + Quoted(written[i]);
    }
    if (std::string(c.key) == "exr") exr += " " + Quoted(written[i]);
  }
  const std::string magickErrors = RunCapture(magick + " xc:none null: 2>&1");
  ConvertWithPil(throughPil);
  const std::map<std::string, std::string> identified =
      LinesByName(RunCapture(identify + " 2>/dev/null"));
  std::map<std::string, std::string> tiffHeaders;
  {
    std::istringstream in(RunCapture(exif + " 2>/dev/null"));
    std::string name, rest;
    while (std::getline(in, name, '\t') && std::getline(in, rest)) tiffHeaders[name] = rest;
  }
  std::vector<std::string> exrCompressions;
  {
    std::istringstream in(RunCapture(exr + " 2>/dev/null"));
    std::string line;
    while (std::getline(in, line)) {
      const std::size_t at = line.find("compression (type compression): ");
      if (at != std::string::npos) {
        std::string value = line.substr(at + 32);
        exrCompressions.push_back(value.substr(0, value.find(',')));
      }
    }
  }

  std::map<std::string, std::size_t> plainCase;  // "key depth" -> index
  std::size_t exrIndex = 0;
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE(Label(c) + " (" + written[i] + ")");
    const std::string stem = "case" + std::to_string(i);
    ReadPicture picture;
    if (!ReadPam(folder.path() + stem + ".pam", picture)) {
      ADD_FAILURE() << "not read back: " << magickErrors;
      continue;
    }
    EXPECT_EQ(picture.width, kWidth);
    EXPECT_EQ(picture.height, kHeight);
    if (picture.width != kWidth || picture.height != kHeight) continue;
    // JPEG 2000 is written at FreeImage's default rate of 16:1, which on a
    // picture this small smears the blocks noticeably.
    const std::string key = c.key;
    const double tolerance = key == "j2k" || key == "jp2" ? 64 : 20;
    for (const Spot& spot : kSpots) {
      const std::string problem = CheckSpot(picture, spot, c.look, tolerance);
      EXPECT_TRUE(problem.empty()) << problem;
    }
    if (c.look == Look::Cmyk) {
      EXPECT_EQ(picture.tupleType, "CMYK");
    }
    // A stored alpha channel is opaque.
    if (picture.tupleType == "RGB_ALPHA" || picture.tupleType == "GRAYSCALE_ALPHA") {
      EXPECT_GT(picture.mean(26, 20)[picture.channels - 1], 0.99);
    }

    const auto found = identified.find(readable[i]);
    const std::string fields = found == identified.end() ? "" : found->second;
    const std::string tiff = tiffHeaders[fs::path(written[i]).filename().string()];
    // ImageMagick gives palette PNG files 8 bits; the header says what is stored.
    const std::string depth = std::string(c.key) == "png" ? Field(tiff, 2) : Field(fields, 0);
    if (c.bitsPerChannel) {
      EXPECT_EQ(depth, std::to_string(c.bitsPerChannel));
    }
    if (ReadByPil(c)) {
      EXPECT_EQ(picture.tupleType == "RGB_ALPHA" ? "srgba" : "srgb", std::string(c.channels));
    } else {
      EXPECT_EQ(Field(fields, 5), c.channels);
    }

    // A resolution of 72 dots per inch where the file states its unit (the
    // decoded picture has none, which must not reach the file as 0).
    if (Field(fields, 7) == "PixelsPerInch" || Field(fields, 7) == "PixelsPerCentimeter") {
      const double perUnit = std::atof(Field(fields, 6).c_str());
      const double dpi = Field(fields, 7) == "PixelsPerInch" ? perUnit : perUnit * 2.54;
      EXPECT_NEAR(dpi, 72, 0.1) << fields;
    } else if ((key == "bmp" || key == "jpg" || key == "png" || key == "tiff" || key == "pcx") &&
               std::string(c.option) != "baseline") {  // baseline JPEG goes without markers
      ADD_FAILURE() << "no resolution: " << fields;
    }
    // White is the largest code at 16 bits per channel (255 * 257, not 255 << 8).
    if (c.bitsPerChannel == 16 && c.look == Look::Colour && tolerance == 20 &&
        std::string(c.option) != "logluv") {
      EXPECT_EQ(picture.mean(2, 2)[0], 1.0);
    }

    const std::string header = c.header;
    const std::size_t equals = header.find('=');
    const std::string name = header.substr(0, equals);
    const std::string value = equals == std::string::npos ? "" : header.substr(equals + 1);
    if (name == "compression") {
      EXPECT_EQ(Field(fields, 1), value);
    }
    if (name == "interlace") {
      EXPECT_EQ(Field(fields, 2), value);
    }
    if (name == "quality") {
      EXPECT_EQ(Field(fields, 3), value);
    }
    if (name == "sampling") {
      EXPECT_EQ(Field(fields, 4), value);
    }
    if (name == "tiff") {
      EXPECT_EQ(Field(tiff, 0), value) << tiff;
    }
    if (name == "photometric") {
      EXPECT_EQ(Field(tiff, 1), value) << tiff;
    }
    if (std::string(c.key) == "exr") {
      ASSERT_LT(exrIndex, exrCompressions.size());
      EXPECT_EQ("exr=" + exrCompressions[exrIndex++], header);
    }

    // An option changes the file it is set for.
    const std::string plainKey = std::string(c.key) + " " + std::to_string(c.depth);
    if (!*c.option) {
      plainCase[plainKey] = i;
    } else if (plainCase.count(plainKey)) {
      const bool same = ReadBytes(written[i]) == ReadBytes(written[plainCase[plainKey]]);
      EXPECT_EQ(same, c.sameAsPlain) << "compared with " << plainKey;
    }
  }
}

// Workers tag their files side by side; every file keeps its XMP packet
// (exiv2 dropped it now and then when another thread made one meanwhile).
TEST(MetadataThreads, EveryFileTaggedFromSeveralThreadsKeepsItsXmp) {
  InitImageLibraries();  // the program's own XMP namespace
  pcd::Information scan;
  scan.medium = 3;
  scan.photofinisher = "LAB";
  ScratchFolder folder;
  const std::string plain = folder.path() + "plain.jpg";
  ImageHandle image = MarkedPicture();
  ASSERT_TRUE(FreeImage_Save(FIF_JPEG, image.get(), plain.c_str(), 0));
  const std::vector<unsigned char> bytes = ReadBytes(plain);
  constexpr int kThreads = 4, kFiles = 40;
  std::vector<std::thread> threads;
  std::vector<std::string> problems(kThreads);
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([&, t] {
      for (int i = 0; i < kFiles; ++i) {
        const std::string path = folder.path() + std::to_string(t) + "-" + std::to_string(i) + ".jpg";
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                    static_cast<std::streamsize>(bytes.size()));
        std::string problem;
        if (!TagOutput(path, "jpg", PixelMeaning::Srgb, &scan, true, problem))
          problems[t] += path + ": " + problem + "\n";
      }
    });
  for (auto& thread : threads) thread.join();
  for (const auto& problem : problems) EXPECT_EQ(problem, "");
  int withoutXmp = 0;
  for (int t = 0; t < kThreads; ++t)
    for (int i = 0; i < kFiles; ++i) {
      const auto tagged = ReadBytes(folder.path() + std::to_string(t) + "-" + std::to_string(i) + ".jpg");
      const std::string text(tagged.begin(), tagged.end());
      withoutXmp += text.find("xmp:CreatorTool=\"Quorvane Lumafold") == std::string::npos;
    }
  EXPECT_EQ(withoutXmp, 0) << "of " << kThreads * kFiles;
}

}  // namespace
}  // namespace lumafold
