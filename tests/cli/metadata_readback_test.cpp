// The outputs' metadata and colour profiles, read back by programs that are
// not the writer: exiftool for EXIF, XMP and ICC tags, exrheader for EXR
// attributes, and Little CMS outside the program (Pillow's ImageCms,
// transicc) for what the profiles do to the pixels. Inputs: a real scan
// from Kodak's sampler disc and a make-pcd file whose information header
// has every field filled as a lab disc fills it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "run_binary.h"

namespace lumafold {
namespace {

namespace fs = std::filesystem;
using testing::RunResult;
using testing::ScratchFolder;

class MetadataReadBack : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(scratch_.path().empty());
    environment_ = testing::IsolatedEnvironment(scratch_.path());
    fs::create_directory(out_);
    const RunResult fill = Run("/usr/bin/python3", {Source("tests/data/information/fill-header.py"),
                                                    Sample("kodim13-4base.pcd"), lab_});
    ASSERT_EQ(fill.status, 0) << fill.err;
  }

  static std::string Source(const std::string& relative) {
    return std::string(LUMAFOLD_SOURCE_DIR) + "/" + relative;
  }
  static std::string Sample(const std::string& name) {
    return testing::SamplesFolder() + "/" + name;
  }
  RunResult Run(const std::string& program, const std::vector<std::string>& arguments) {
    return testing::Run(program, arguments, scratch_.path(), environment_);
  }
  // Converts `input` and returns the output's path (empty on failure).
  std::string Convert(const std::string& input, const std::string& format,
                      std::vector<std::string> options, const std::string& name) {
    std::vector<std::string> arguments = {"-q", "-i", input, "-o", out_, "-c", format,
                                          "--filename-mask=" + name + ".%ext%"};
    arguments.insert(arguments.end(), options.begin(), options.end());
    const RunResult run = Run(testing::LumafoldBinary(), arguments);
    EXPECT_EQ(run.status, 0) << run.err;
    const std::string path = out_ + "/" + name + "." + format;
    return fs::exists(path) ? path : std::string();
  }
  // exiftool's value of each GROUP:TAG, "" when the file has none.
  std::string Tags(const std::string& path) {
    return Run("/usr/bin/exiftool", {"-j", "-G1", "-n", path}).out;
  }
  static std::string Tag(const std::string& json, const std::string& name) {
    const std::string key = "\"" + name + "\": ";
    const std::size_t at = json.find(key);
    if (at == std::string::npos) return {};
    std::size_t from = at + key.size();
    if (json[from] == '"') return json.substr(from + 1, json.find("\",\n", from) - from - 1);
    return json.substr(from, json.find_first_of(",\n", from) - from);
  }

  ScratchFolder scratch_{"lumafold-metadata"};
  std::map<std::string, std::string> environment_;
  std::string out_ = scratch_.path() + "/out";
  std::string lab_ = scratch_.path() + "/lab.pcd";
};

constexpr const char* kSrgb = "sRGB built-in";
constexpr const char* kGrey = "Grey, sRGB tone curve";
constexpr const char* kLinear = "Linear light, sRGB/Rec. 709 primaries";

struct Output {
  const char* format;
  std::vector<std::string> options;
  const char* profile;  // ProfileDescription; nullptr: the format takes none here
};
const Output kOutputs[] = {
    {"jpg", {}, kSrgb},
    {"jpg", {"--jpg-bpp=8"}, kGrey},
    {"tiff", {}, kSrgb},
    {"tiff", {"--tiff-bpp=48"}, kSrgb},
    {"tiff", {"--tiff-bpp=96"}, kLinear},
    {"png", {}, kSrgb},
    {"png", {"--png-bpp=48"}, kSrgb},
    {"webp", {}, kSrgb},
    {"jp2", {}, kSrgb},
    {"psd", {}, nullptr},  // DevIL's PSD: exiv2 writes EXIF and XMP, no profile
};

TEST_F(MetadataReadBack, EveryFormatCarriesTheFilledHeaderAndItsProfile) {
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"IFD0:Make", "KODAK /4220"},
      {"IFD0:Model", "FilmScanner 2000"},
      {"ExifIFD:SerialNumber", "SN-004711"},
      {"ExifIFD:DateTimeOriginal", "2001:06:15 09:30:00"},
      {"ExifIFD:OffsetTimeOriginal", "+00:00"},
      {"ExifIFD:CreateDate", "2001:06:15 09:30:00"},
      {"ExifIFD:OffsetTimeDigitized", "+00:00"},
      {"IFD0:ModifyDate", "2001:06:16 10:00:00"},
      {"IFD0:Software", "Quorvane Lumafold 2.6"},
      {"IFD0:Copyright", "Restrictions apply, see RIGHTS.USE"},
      {"IFD0:Orientation", "1"},
      {"XMP-xmp:CreateDate", "2001:06:15 09:30:00+00:00"},
      {"XMP-xmpRights:Marked", "true"},
      {"XMP-lumafold:Medium", "colour negative"},
      {"XMP-lumafold:ProductType", "080/11 SPD 0100"},
      {"XMP-lumafold:Film", "Kodak Gold 100 Gen 2"},
      {"XMP-lumafold:FilmTermNumber", "72"},
      {"XMP-lumafold:Photofinisher", "Fotolabor M\xC3\xBCller, 030 1234567"},
      {"XMP-lumafold:SceneBalance", "neutral and colour balance on"},
      {"XMP-lumafold:RightsFile", "RIGHTS.USE"},
  };
  int number = 0;
  for (const Output& output : kOutputs) {
    const std::string name = "lab" + std::to_string(++number);
    const std::string path = Convert(lab_, output.format, output.options, name);
    ASSERT_FALSE(path.empty()) << name;
    const std::string json = Tags(path);
    for (const auto& [tag, value] : expected) EXPECT_EQ(Tag(json, tag), value) << path << " " << tag;
    EXPECT_NE(Tag(json, "IFD0:ImageDescription").find("film: Kodak Gold 100 Gen 2"),
              std::string::npos)
        << path;
    if (output.profile) {
      EXPECT_EQ(Tag(json, "ICC_Profile:ProfileDescription"), output.profile) << path;
    }
  }
}

TEST_F(MetadataReadBack, RealScanKeepsItsTimesAndRightsAndStripLeavesOnlyTheProfile) {
  for (const char* format : {"jpg", "tiff", "png", "webp", "jp2", "psd"}) {
    const std::string path = Convert(Sample("couple-on-beach.pcd"), format, {}, "scan");
    ASSERT_FALSE(path.empty()) << format;
    const std::string json = Tags(path);
    EXPECT_EQ(Tag(json, "ExifIFD:DateTimeOriginal"), "1991:12:10 14:39:59") << format;
    EXPECT_EQ(Tag(json, "IFD0:Copyright"), "Restrictions apply, see RIGHTS.USE") << format;
    EXPECT_EQ(Tag(json, "XMP-lumafold:ScannerPixelSize"), "11.72") << format;
    // The sampler disc names no scanner: no empty Make is made up.
    EXPECT_EQ(Tag(json, "IFD0:Make"), "") << format;
  }
  const std::string stripped =
      Convert(Sample("couple-on-beach.pcd"), "jpg", {"--metadata=strip"}, "stripped");
  const std::string json = Tags(stripped);
  EXPECT_EQ(Tag(json, "ExifIFD:DateTimeOriginal"), "");
  EXPECT_EQ(Tag(json, "IFD0:Software"), "");
  EXPECT_EQ(Tag(json, "XMP-x:XMPToolkit"), "");
  EXPECT_EQ(Tag(json, "ICC_Profile:ProfileDescription"), kSrgb);
}

TEST_F(MetadataReadBack, ExrHeaderHoldsChromaticitiesAndTheScanFacts) {
  const std::string lab = Convert(lab_, "exr", {}, "lab");
  const std::string stripped = Convert(lab_, "exr", {"--metadata=strip"}, "stripped");
  const std::string header = Run("/usr/bin/exrheader", {lab}).out;
  const std::string bare = Run("/usr/bin/exrheader", {stripped}).out;
  for (const char* line :
       {"capDate (type string): \"2001:06:15 09:30:00\"", "utcOffset (type float): 0",
        "owner (type string): \"Restrictions apply, see RIGHTS.USE\"",
        "software (type string): \"Quorvane Lumafold 2.6\"",
        "film (type string): \"Kodak Gold 100 Gen 2 (film term number 72)\"",
        "scannerMake (type string): \"KODAK /4220\""})
    EXPECT_NE(header.find(line), std::string::npos) << line << "\n" << header;
  EXPECT_EQ(bare.find("capDate"), std::string::npos) << bare;
  for (const std::string* text : {&header, &bare}) {
    EXPECT_NE(text->find("red   (0.64 0.33)"), std::string::npos) << *text;
    EXPECT_NE(text->find("white (0.3127 0.329)"), std::string::npos) << *text;
  }
}

TEST_F(MetadataReadBack, ProfilesGiveTheSameValuesUnderColourManagement) {
  const std::string check = Source("tests/cli/colour_check.py");
  // sRGB and grey files come out of their own profile unchanged.
  for (const auto& [format, option] : std::vector<std::pair<std::string, std::string>>{
           {"tiff", "--tiff-bpp=24"}, {"png", "--png-bpp=24"}, {"webp", "--webp-bpp=24"},
           {"jpg", "--jpg-bpp=8"}}) {
    const std::string path = Convert(Sample("couple-on-beach.pcd"), format, {option}, "managed");
    const RunResult run = Run("/usr/bin/python3", {check, "embedded", path});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_LE(std::stod(run.out), 1.0) << path;
  }
  // Linear light through the float TIFF's profile gives the sRGB picture
  // (in 8-bit code values; the 48-bit PNG is read at 8 bits).
  const std::string floats = Convert(lab_, "tiff", {"--tiff-bpp=96"}, "float");
  const std::string light = Convert(lab_, "pfm", {}, "light");
  const std::string display = Convert(lab_, "png", {"--png-bpp=48"}, "display");
  const std::string profile = scratch_.path() + "/linear.icc";
  const RunResult extract = Run("/bin/sh", {"-c", "exiftool -b -ICC_Profile \"$0\" > \"$1\"",
                                            floats, profile});
  ASSERT_EQ(extract.status, 0) << extract.err;
  const RunResult run = Run("/usr/bin/python3", {check, "linear", light, display, profile});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_LE(std::stod(run.out), 1.5);
}

}  // namespace
}  // namespace lumafold
