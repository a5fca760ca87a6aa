// Output naming with a fixed clock: the mask tokens, letter case, the
// watermark expansion, the temporary name and the output path rules.
#include "engine/run/naming.h"

#include <time.h>
#include <unistd.h>

#include <regex>

#include "pipeline_test_support.h"

namespace lumafold {
namespace {

using namespace pipeline_testing;

std::time_t Utc(int year, int month, int day, int hour, int minute, int second) {
  std::tm fields{};
  fields.tm_year = year - 1900;
  fields.tm_mon = month - 1;
  fields.tm_mday = day;
  fields.tm_hour = hour;
  fields.tm_min = minute;
  fields.tm_sec = second;
  return timegm(&fields);
}

class NamingTest : public ::testing::Test {
 protected:
  NamingTest() : zone_("UTC0") {
    job_.outputExtension = "jpg";
    job_.outputFolder = "/out/";
    job_.clock = [this] { return now_; };
    settings_.advanced.keepSubfolders = 1;
  }
  std::string name(const std::string& mask, const std::string& input) {
    settings_.advanced.filenameMask = mask;
    file_.inputPath = input;
    return OutputFileName(StepContext{settings_, job_, file_});
  }
  std::string watermark(const std::string& text) {
    return ExpandWatermarkText(text, StepContext{settings_, job_, file_});
  }
  OutputPathStatus paths(const std::string& mask, const std::string& subfolder = "") {
    settings_.advanced.filenameMask = mask;
    file_.inputPath = "/in/IMG_0001.PCD";
    file_.relativeSubfolder = subfolder;
    return BuildOutputPaths(StepContext{settings_, job_, file_});
  }

  ZoneOverride zone_;
  std::time_t now_ = Utc(2026, 12, 6, 23, 5, 9);
  ConversionSettings settings_;
  ConversionJob job_;
  FileConversion file_;
};

TEST_F(NamingTest, ExamplesOfTheMaskTokens) {
  EXPECT_EQ(name("%filename%.%ext%", "/in/IMG_0001.PCD"), "IMG_0001.jpg");
  EXPECT_EQ(name("Scan_%N%_%filename[l]%.%EXT[U]%", "/in/IMG_0001.PCD"), "scan_00001_img_0001.JPG");
  EXPECT_EQ(name("%filename[t]%.%ext%", "/in/mY PiCture.pcd"), "My picture.jpg");
  EXPECT_EQ(name("%yyyy%-%mm%-%dd%_%hh%%ii%%ss%.%ext%", "/in/x.pcd"), "2026-12-06_230509.jpg");
  EXPECT_EQ(name("%filename%.%ext%", "/in/a.b.pcd"), "a.b.jpg");
  EXPECT_EQ(name("%filename%", "/in/a.b.pcd"), "a.b");
  EXPECT_EQ(name("", "/in/Roll 1.pcd"), "Roll 1.jpg");
  EXPECT_EQ(name("%FILENAME[U]%-%ext[t]%.%ext%", "/in/Roll 1.pcd"), "ROLL 1-Jpg.jpg");
}

TEST_F(NamingTest, NumbersAndImageTokens) {
  file_.sequenceNumber = 7;
  file_.randomNumber = 4321;
  file_.workingWidth = 3072;
  file_.workingHeight = 2048;
  file_.targetBitDepth = 24;
  EXPECT_EQ(name("%n%_%rnd%_%width%x%height%_%bpp%.%ext%", "/in/x.pcd"),
            "00007_04321_3072x2048_24.jpg");
  // A longer number keeps its first five characters.
  file_.sequenceNumber = 123456;
  EXPECT_EQ(name("%n%", "/in/x.pcd"), "12345");
  // Before the depth step has run, %bpp% is the depth the file will get.
  file_.targetBitDepth = 0;
  file_.sourceBitDepth = 24;
  job_.automaticDepth = false;
  job_.targetBitDepth = 8;
  EXPECT_EQ(name("%bpp%", "/in/x.pcd"), "8");
}

TEST_F(NamingTest, LetterCaseIsUnicodeAwareAndTokenTextIsNotExpandedAgain) {
  EXPECT_EQ(name("%filename[u]%", "/in/\xC3\xA4rger \xC3\xBC.pcd"), "\xC3\x84RGER \xC3\x9C");
  EXPECT_EQ(name("%filename[t]%", "/in/\xC3\x84RGER.pcd"), "\xC3\x84rger");
  EXPECT_EQ(name("\xC3\x84\xC3\x96_%filename%", "/in/X.pcd"), "\xC3\xA4\xC3\xB6_X");
  // Bytes that are not UTF-8 pass through.
  EXPECT_EQ(name("%filename[u]%", "/in/a\xFF.pcd"), "A\xFF");
  // A file named after a token keeps its name.
  EXPECT_EQ(name("%filename%.%ext%", "/in/%n%_%ext%.pcd"), "%n%_%ext%.jpg");
}

TEST_F(NamingTest, WatermarkTextKeepsItsCase) {
  EXPECT_EQ(watermark("Taken %DD%.%MM%.%YYYY%"), "Taken 06.12.2026");
  EXPECT_EQ(watermark("100% sure"), "100% sure");
  EXPECT_EQ(watermark("No tokens"), "No tokens");
  file_.inputPath = "/in/IMG_0001.PCD";
  EXPECT_EQ(watermark("Frame %FileName% at %hh%:%ii% - 50% off %"),
            "Frame IMG_0001 at 23:05 - 50% off %");
}

TEST_F(NamingTest, EachClockTokenReadsTheClock) {
  int reads = 0;
  job_.clock = [&] { return now_ + (reads++); };
  EXPECT_EQ(name("%ss%%ss%-%ss%", "/in/x.pcd"), "0910-11");
}

TEST_F(NamingTest, TemporaryNameIsHiddenAndNamesItsHostAndProcess) {
  const std::string temporary = TemporaryFileName(Utc(2001, 9, 9, 1, 46, 40), "psd");  // 1000000000
  const std::string pid = std::to_string(::getpid());
  EXPECT_TRUE(std::regex_match(
      temporary, std::regex("\\.lumafold-[A-Za-z0-9]+-" + pid + "-baaaaaaaaa[a-z]{5}\\.psd\\.part")))
      << temporary;
  EXPECT_NE(TemporaryFileName(now_, "psd"), TemporaryFileName(now_, "psd"));
  EXPECT_EQ(TemporaryFileOwner(temporary), ::getpid());
  const std::string host = temporary.substr(10, temporary.find('-', 10) - 10);
  for (const std::string& other :
       {"lumafold-" + host + "-" + pid + "-abc.psd.part", ".lumafold-" + host + "-" + pid + "-abc.psd",
        ".lumafold-x" + host + "-" + pid + "-abc.psd.part", ".lumafold-" + host + "--abc.psd.part",
        ".lumafold-" + host + "-12a-abc.psd.part", ".lumafold-" + host + "-99999999999-abc.psd.part"})
    EXPECT_EQ(TemporaryFileOwner(other), 0) << other;
}

TEST_F(NamingTest, OutputPathWithAndWithoutSubfoldersAndTheTemporaryBesideIt) {
  ASSERT_EQ(paths("%filename%.%ext%", "roll1/day2/"), OutputPathStatus::Ok);
  EXPECT_EQ(file_.outputPath, "/out/roll1/day2/IMG_0001.jpg");
  EXPECT_TRUE(std::regex_match(file_.temporaryOutputPath,
                               std::regex("/out/roll1/day2/\\.lumafold-[A-Za-z0-9]+-[0-9]+-[a-j]+[a-z]{5}\\.jpg\\.part")))
      << file_.temporaryOutputPath;

  settings_.advanced.keepSubfolders = 0;
  ASSERT_EQ(paths("%filename%.%ext%", "roll1/"), OutputPathStatus::Ok);
  EXPECT_EQ(file_.outputPath, "/out/IMG_0001.jpg");

  job_.outputFolder = "/out";  // tolerated without the final "/"
  ASSERT_EQ(paths("sub/%filename%.%ext%"), OutputPathStatus::Ok);
  EXPECT_EQ(file_.outputPath, "/out/sub/IMG_0001.jpg");
  EXPECT_EQ(file_.temporaryOutputPath.rfind("/out/sub/.lumafold-", 0), 0u);
}

TEST_F(NamingTest, NamesThatLeaveTheOutputFolderAreRefused) {
  for (const char* mask : {"../%filename%.%ext%", "/etc/%filename%", "a/../../x.%ext%", "./../x"}) {
    SCOPED_TRACE(mask);
    EXPECT_EQ(paths(mask), OutputPathStatus::EscapesOutputFolder);
    EXPECT_EQ(file_.outputPath, "");
    EXPECT_NE(file_.failureReason.find("leaves the output folder"), std::string::npos);
  }
  EXPECT_EQ(paths("%filename%.%ext%", "../"), OutputPathStatus::EscapesOutputFolder);
  EXPECT_EQ(paths("sub/"), OutputPathStatus::NoFileName);
  EXPECT_EQ(paths("a/../%filename%.%ext%"), OutputPathStatus::Ok);
  EXPECT_EQ(file_.outputPath, "/out/a/../IMG_0001.jpg");
  EXPECT_EQ(paths("..%filename%.%ext%"), OutputPathStatus::Ok);  // a name, not a parent
}

TEST(LocalSeconds, SettingsDatesFollowTheLocalZone) {
  ZoneOverride zone("CET-1CEST,M3.5.0,M10.5.0/3");
  const std::time_t winter = Utc(2026, 1, 15, 12, 0, 0);
  const std::time_t summer = Utc(2026, 7, 15, 12, 0, 0);
  EXPECT_EQ(FromLocalSeconds(winter), winter - 3600);
  EXPECT_EQ(FromLocalSeconds(summer), summer - 7200);
}

}  // namespace
}  // namespace lumafold
