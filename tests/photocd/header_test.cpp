// The Photo CD header reader: declared and usable level, rotation, and
// refusal of files that are not whole Image Pacs.
#include "photocd/photocd.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <span>

#include <gtest/gtest.h>

#include "support/test_files.h"

namespace lumafold {
namespace {

using namespace test_files;

// An Image Pac header with the given attribute byte and stop sectors,
// padded (sparsely) to `size` bytes.
std::string SyntheticPac(const Scratch& scratch, const std::string& name, unsigned char attribute,
                         unsigned fourBaseStop, unsigned sixteenBaseStop, off_t size) {
  std::string bytes(0x0E10, '\0');
  bytes.replace(0x800, 7, "PCD_IPI");
  bytes[0x0E02] = static_cast<char>(attribute);
  bytes[0x0E03] = static_cast<char>(fourBaseStop >> 8);
  bytes[0x0E04] = static_cast<char>(fourBaseStop & 0xFF);
  bytes[0x0E05] = static_cast<char>(sixteenBaseStop >> 8);
  bytes[0x0E06] = static_cast<char>(sixteenBaseStop & 0xFF);
  const std::string path = scratch / name;
  WriteFile(path, bytes);
  EXPECT_EQ(::truncate(path.c_str(), size), 0);
  return path;
}

TEST(PhotoCdHeader, SamplesDeclareAndHoldTheirLevels) {
  const auto sixteen = ReadPhotoCdHeader(Sample("kodim05-16base.pcd"));
  ASSERT_TRUE(sixteen.ok());
  EXPECT_EQ(sixteen.header.declared, pcd::Level::SixteenBase);
  EXPECT_EQ(sixteen.header.whole, pcd::Level::SixteenBase);
  EXPECT_EQ(HighestIndex(sixteen.header), 5);
  EXPECT_EQ(sixteen.header.rotation, 0);
  EXPECT_EQ(sixteen.header.firstSectorOrientationByte & 0x3F, 8);

  const auto four = ReadPhotoCdHeader(Sample("kodim13-4base.pcd"));
  ASSERT_TRUE(four.ok());
  EXPECT_EQ(four.header.whole, pcd::Level::FourBase);
  EXPECT_EQ(HighestIndex(four.header), 4);

  const auto portrait = ReadPhotoCdHeader(Sample("kodim19.pcd"));
  ASSERT_TRUE(portrait.ok());
  EXPECT_EQ(portrait.header.whole, pcd::Level::Base);
  EXPECT_EQ(HighestIndex(portrait.header), 3);
  EXPECT_EQ(portrait.header.rotation, 1);

  EXPECT_EQ(ReadPhotoCdHeader(DecoderData("rotate-180.pcd")).header.rotation, 2);
  EXPECT_EQ(ReadPhotoCdHeader(DecoderData("rotate-270.pcd")).header.rotation, 3);
}

TEST(PhotoCdHeader, TruncatedFilesFallToTheHighestWholeLevel) {
  const auto cutIn16Base = ReadPhotoCdHeader(Hostile("truncated-16base.pcd"));
  ASSERT_TRUE(cutIn16Base.ok());
  EXPECT_EQ(cutIn16Base.header.declared, pcd::Level::SixteenBase);
  EXPECT_EQ(cutIn16Base.header.whole, pcd::Level::FourBase);

  const auto cutIn4Base = ReadPhotoCdHeader(DecoderData("truncated-16base.pcd"));
  ASSERT_TRUE(cutIn4Base.ok());
  EXPECT_EQ(cutIn4Base.header.whole, pcd::Level::Base);

  Scratch scratch;
  const off_t sector = 2048;
  // 16Base stop 1466 = the file's length in sectors; one sector short loses 16Base.
  EXPECT_EQ(ReadPhotoCdHeader(SyntheticPac(scratch, "whole", 0x08, 602, 1466, 1466 * sector))
                .header.whole,
            pcd::Level::SixteenBase);
  EXPECT_EQ(ReadPhotoCdHeader(SyntheticPac(scratch, "short", 0x08, 602, 1466, 1465 * sector))
                .header.whole,
            pcd::Level::FourBase);
  EXPECT_EQ(ReadPhotoCdHeader(SyntheticPac(scratch, "short4", 0x08, 602, 1466, 601 * sector))
                .header.whole,
            pcd::Level::Base);
  // Base needs 786,432 bytes.
  EXPECT_EQ(ReadPhotoCdHeader(SyntheticPac(scratch, "base", 0x00, 0, 0, 786432)).status,
            PhotoCdHeaderStatus::Ok);
  EXPECT_EQ(ReadPhotoCdHeader(SyntheticPac(scratch, "nobase", 0x00, 0, 0, 786431)).status,
            PhotoCdHeaderStatus::TooShort);
}

TEST(PhotoCdHeader, LevelAndRotationBitsAndImplausibleStopSectors) {
  Scratch scratch;
  const off_t big = 3000 * 2048;
  // Level 3 is undefined and counts as 16Base; bits 0-1 are the rotation.
  const auto undefined = ReadPhotoCdHeader(SyntheticPac(scratch, "l3", 0x0F, 602, 1466, big));
  ASSERT_TRUE(undefined.ok());
  EXPECT_EQ(undefined.header.declared, pcd::Level::SixteenBase);
  EXPECT_EQ(undefined.header.whole, pcd::Level::SixteenBase);
  EXPECT_EQ(undefined.header.rotation, 3);
  // A 4Base that claims no stop sector, or one inside Base, is not there.
  EXPECT_EQ(ReadPhotoCdHeader(SyntheticPac(scratch, "zero", 0x04, 0, 0, big)).header.whole,
            pcd::Level::Base);
  EXPECT_EQ(
      ReadPhotoCdHeader(SyntheticPac(scratch, "inside", 0x04, 300, 0, big)).header.whole,
      pcd::Level::Base);
  // A 16Base stop before the 4Base stop: 4Base only.
  EXPECT_EQ(
      ReadPhotoCdHeader(SyntheticPac(scratch, "backwards", 0x08, 602, 500, big)).header.whole,
      pcd::Level::FourBase);
  // Base declared: stop sectors are not looked at.
  EXPECT_EQ(
      ReadPhotoCdHeader(SyntheticPac(scratch, "basedecl", 0x01, 602, 1466, big)).header.whole,
      pcd::Level::Base);
}

TEST(PhotoCdHeader, RefusesWhatIsNotAWholeImagePac) {
  for (const char* name :
       {"empty.pcd", "png-renamed.pcd", "svg-external.pcd", "mvg-drawing.pcd", "postscript.pcd",
        "random-bytes.pcd", "no-signature.pcd", "one-sector.pcd"}) {
    EXPECT_EQ(ReadPhotoCdHeader(Hostile(name)).status, PhotoCdHeaderStatus::NotPhotoCd) << name;
  }
  EXPECT_EQ(ReadPhotoCdHeader(Hostile("truncated-base.pcd")).status, PhotoCdHeaderStatus::TooShort);
  EXPECT_EQ(ReadPhotoCdHeader(Hostile("truncated-in-header.pcd")).status,
            PhotoCdHeaderStatus::TooShort);

  Scratch scratch;
  EXPECT_EQ(ReadPhotoCdHeader(scratch / "missing.pcd").status, PhotoCdHeaderStatus::Unreadable);
  EXPECT_EQ(ReadPhotoCdHeader(scratch.path()).status, PhotoCdHeaderStatus::Unreadable);
  // A FIFO named like a Photo CD file must not hang the batch.
  const std::string fifo = scratch / "fifo.pcd";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(ReadPhotoCdHeader(fifo).status, PhotoCdHeaderStatus::Unreadable);
}


// Every information field as text, "-" when the file does not give it.
std::string Shown(const std::optional<int>& value) {
  return value ? std::to_string(*value) : "-";
}
std::string Shown(const std::optional<std::int64_t>& value) {
  return value ? std::to_string(*value) : "-";
}
std::string Shown(const std::optional<pcd::Version>& value) {
  return value ? std::to_string(value->major) + "." + std::to_string(value->minor) : "-";
}
std::string Shown(const std::string& value) { return value.empty() ? "-" : value; }

std::vector<std::pair<std::string, std::string>> Fields(const pcd::Information& i) {
  return {{"specification", Shown(i.specificationVersion)},
          {"software", Shown(i.softwareRelease)},
          {"magnification", Shown(i.magnification)},
          {"scanned", Shown(i.scanningTime)},
          {"modified", Shown(i.modificationTime)},
          {"medium", Shown(i.medium)},
          {"product", Shown(i.productType)},
          {"vendor", Shown(i.scannerVendor)},
          {"scanner", Shown(i.scannerProduct)},
          {"firmware", Shown(i.scannerFirmware)},
          {"firmware date", Shown(i.scannerFirmwareDate)},
          {"serial", Shown(i.scannerSerial)},
          {"pixel size", Shown(i.pixelSize)},
          {"workstation", Shown(i.workstation)},
          {"character set", Shown(i.characterSet)},
          {"photofinisher", Shown(i.photofinisher)},
          {"scene balance", i.sceneBalance ? "yes" : "no"},
          {"revision", Shown(i.sceneBalanceRevision)},
          {"command", Shown(i.sceneBalanceCommand)},
          {"film term", Shown(i.filmTermNumber)},
          {"copyright", Shown(i.copyrightStatus)},
          {"rights file", Shown(i.rightsFile)}};
}

TEST(PhotoCdHeader, InformationFieldsOfRealAndFilledHeaders) {
  Scratch scratch;
  const std::string filled = scratch / "filled.pcd";
  ASSERT_EQ(std::system(("/usr/bin/python3 " + SourcePath("tests/data/information/fill-header.py") +
                         " " + Sample("kodim13-4base.pcd") + " " + filled)
                            .c_str()),
            0);
  struct Case {
    std::string path;
    std::vector<std::string> expected;  // in the order of Fields()
  } cases[] = {
      // A lab disc's header with every field (facts sheet layout); the
      // photofinisher's name is ISO 8859-1 and comes out as UTF-8.
      {filled,
       {"2.1", "3.5", "150", "992597400", "992685600", "0", "080/11 SPD 0100", "KODAK /4220",
        "FilmScanner 2000", "2.13", "03/14/00", "SN-004711", "1148", "Eastman Kodak", "4",
        "Fotolabor M\xC3\xBCller, 030 1234567", "yes", "6.7", "0", "72", "1", "RIGHTS.USE"}},
      // Kodak's sampler disc: times, pixel size and rights; placeholders
      // ("X.YY", "MM/DD/YY") and FF-filled fields are not values.
      {Sample("couple-on-beach.pcd"),
       {"0.6", "-", "100", "692375999", "692375999", "-", "-", "-", "-", "-", "-", "-", "1172",
        "-", "1", "-", "no", "-", "-", "-", "1", "RIGHTS.USE"}},
      // ImageMagick's writer leaves zeros: no times, no strings.
      {Sample("kodim01.pcd"),
       {"6.0", "0.0", "-", "-", "-", "0", "-", "-", "-", "-", "-", "-", "-", "-", "-", "-", "no",
        "-", "-", "-", "-", "-"}},
  };
  for (const Case& c : cases) {
    const auto read = pcd::ReadHeader(c.path);
    ASSERT_TRUE(read.ok()) << c.path;
    const auto fields = Fields(read.header.information);
    ASSERT_EQ(fields.size(), c.expected.size());
    for (std::size_t i = 0; i < fields.size(); ++i)
      EXPECT_EQ(fields[i].second, c.expected[i]) << c.path << ": " << fields[i].first;
  }
  // The same header from bytes in memory (a picture inside a disc image);
  // control bytes at a field's ends are dropped like its padding.
  std::string bytes = ReadFile(filled);
  bytes.replace(0x816, 20, std::string("\x01 Slide scan\x7F\x02") + std::string(6, '\0'));
  const auto parsed = pcd::ParseHeader(
      std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), 4096), bytes.size());
  ASSERT_TRUE(parsed.ok());
  EXPECT_EQ(parsed.header.information.productType, "Slide scan");
  EXPECT_EQ(parsed.header.whole, pcd::ReadHeader(filled).header.whole);
  EXPECT_STREQ(pcd::FilmName(72), "Kodak Gold 100 Gen 2");
  EXPECT_EQ(pcd::FilmName(71), nullptr);
}

TEST(PhotoCdHeader, AttributeByteCarriesExtensionAndCompressionClass) {
  Scratch scratch;
  // 0x78: class 4 (bits 5-6 = 3), extension (bit 4), 16Base (bits 2-3 = 2).
  const auto read = ReadPhotoCdHeader(SyntheticPac(scratch, "pro", 0x78, 602, 1466, 1466 * 2048));
  ASSERT_TRUE(read.ok());
  EXPECT_EQ(read.header.compressionClass, 4);
  EXPECT_TRUE(read.header.extension);
  EXPECT_EQ(read.header.whole, pcd::Level::SixteenBase);
  const auto plain = ReadPhotoCdHeader(Sample("couple-on-beach.pcd"));
  EXPECT_EQ(plain.header.compressionClass, 1);
  EXPECT_FALSE(plain.header.extension);
}

}  // namespace
}  // namespace lumafold
