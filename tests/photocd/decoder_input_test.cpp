// What the built-in Photo CD decoder makes of the files it meets: the four
// orientations at every level, files cut short, damaged Huffman data and
// tables, files that are no Image Pac, folders and FIFOs, and the cheap
// thumbnail entry.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "photocd/photocd.h"
#include "pcd_test_support.h"

namespace lumafold {
namespace {

using namespace pcd_testing;
using pcd::Level;

TEST(PcdDecoderInputTest, EveryOrientationComesOutUprightAtEveryLevel) {
  // Each file's reference is the upright picture the generator encoded; a
  // picture turned the wrong way scores around 10 dB against it.
  const Rgb portrait = ReadPicture(DecoderData("portrait-ref.png"));     // 512x768
  const Rgb landscape = ReadPicture(DecoderData("base-kodak-ref.png"));  // 768x512
  ASSERT_EQ(portrait.width, 512);
  ASSERT_EQ(landscape.width, 768);
  struct Case {
    const char* file;
    const Rgb& reference;
    Level highest;
  };
  const Case cases[] = {
      {"base-kodak.pcd", landscape, Level::Base},            // attribute 0
      {"portrait-90-4base.pcd", portrait, Level::FourBase},  // attribute 1
      {"landscape-180.pcd", landscape, Level::Base},         // attribute 2
      {"portrait-270.pcd", portrait, Level::Base},           // attribute 3
  };
  for (const Case& c : cases) {
    for (int level = static_cast<int>(c.highest); level >= 0; --level) {
      SCOPED_TRACE(std::string(c.file) + " level " + std::to_string(level));
      const pcd::Result result = Decode(DecoderData(c.file), static_cast<Level>(level));
      ASSERT_TRUE(result.ok) << result.error;
      ASSERT_EQ(static_cast<int>(result.picture.level), level);
      // Compare at the reference's size (768x512 or 512x768) or at the
      // picture's, whichever is smaller.
      const int scale = 1 << std::abs(level - static_cast<int>(Level::Base));
      const bool larger = level > static_cast<int>(Level::Base);
      const Rgb a = larger ? Shrink(result.picture, scale) : FromPicture(result.picture);
      const Rgb b = larger ? c.reference : Shrink(c.reference, scale);
      ASSERT_EQ(a.width, b.width);
      ASSERT_EQ(a.height, b.height);
      // Base/16 and Base/4 are small thumbnails resampled from the top.
      EXPECT_GE(Psnr(a, b), level >= static_cast<int>(Level::Base) ? 30 : 24);
    }
  }
}

// Picture rows (landscape files: the stored rows) that differ between two
// decodes of one size, outside the rows a damage list names; the colour
// step reads the chroma row below, so a row next to a damaged one may
// differ as well.
int RowsDifferingOutside(const pcd::Picture& a, const pcd::Picture& b,
                         const std::vector<pcd::LevelDamage>& damage) {
  const std::size_t row = static_cast<std::size_t>(a.width) * 3;
  int differing = 0;
  for (int y = 0; y < a.height; ++y) {
    bool named = false;
    for (const pcd::LevelDamage& level : damage) {
      const int scale = a.height / (level.level == Level::SixteenBase ? 2048 : 1024);
      for (const auto* ranges : {&level.rows, &level.colourRows})
        for (const pcd::RowRange& r : *ranges)
          named = named || (y >= r.first * scale - 2 && y <= (r.last + 1) * scale + 1);
    }
    if (!named && !std::equal(a.rgb8.begin() + y * row, a.rgb8.begin() + (y + 1) * row,
                              b.rgb8.begin() + y * row))
      ++differing;
  }
  return differing;
}

int RowsIn(const std::vector<pcd::RowRange>& ranges) {
  int rows = 0;
  for (const pcd::RowRange& r : ranges) rows += r.last - r.first + 1;
  return rows;
}

TEST(PcdDecoderInputTest, FilesCutShortKeepEveryRowTheyHold) {
  const std::vector<std::uint8_t> whole = ReadBytes(DecoderData("16base-kodak.pcd"));
  ASSERT_EQ(whole.size(), 2805760u);
  const pcd::Result clean = pcd::DecodeBytes(whole, {});
  ASSERT_TRUE(clean.ok);
  EXPECT_TRUE(clean.picture.damage.empty());
  EXPECT_EQ(clean.picture.note, "");
  struct Case {
    std::size_t length;
    Level level;
    bool lumaLost;    // rows of the top level lost their luma detail
    bool colourLost;  // rows of it lost only their colour detail
  };
  const Case cases[] = {
      {100000, Level::Base16, false, false},  // inside Base/4
      {700000, Level::Base4, false, false},   // inside Base
      {1000000, Level::FourBase, true, false},     // inside the 4Base data
      {1500000, Level::SixteenBase, true, true},   // inside the 16Base luma rows
      {2700000, Level::SixteenBase, false, true},  // inside the 16Base chroma rows
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.length);
    const pcd::Result cut = pcd::DecodeBytes(std::span(whole).first(c.length), {});
    ASSERT_TRUE(cut.ok) << cut.error;
    ASSERT_EQ(cut.picture.level, c.level);
    EXPECT_TRUE(cut.picture.degraded());
    pcd::Request request;
    request.highest = c.level;
    const pcd::Result reference = pcd::DecodeBytes(whole, request);
    ASSERT_TRUE(reference.ok);
    EXPECT_EQ(reference.picture.note, "") << "a level below the top needs no note";
    if (c.level <= Level::Base) {
      EXPECT_NE(cut.picture.note.find("cut short"), std::string::npos) << cut.picture.note;
      EXPECT_TRUE(cut.picture.damage.empty());
      EXPECT_TRUE(cut.picture.rgb8 == reference.picture.rgb8);
      continue;
    }
    // The level the file ends in, at full size, with the rows up to the
    // cut exactly as in the whole file and the rest from the level below.
    ASSERT_EQ(cut.picture.damage.size(), 1u);
    const pcd::LevelDamage& damage = cut.picture.damage[0];
    EXPECT_EQ(damage.level, c.level);
    EXPECT_TRUE(damage.cutShort);
    EXPECT_EQ(!damage.rows.empty(), c.lumaLost);
    EXPECT_EQ(!damage.colourRows.empty(), c.colourLost);
    const int height = c.level == Level::SixteenBase ? 2048 : 1024;
    const pcd::RowRange last = damage.colourRows.empty() || (!damage.rows.empty() &&
                                                             damage.rows.back().last == height - 1)
                                   ? damage.rows.back()
                                   : damage.colourRows.back();
    EXPECT_EQ(last.last, height - 1) << "the rows after the cut are the ones lost";
    EXPECT_EQ(RowsDifferingOutside(cut.picture, reference.picture, cut.picture.damage), 0);
    EXPECT_NE(cut.picture.note.find("cut off by the end of the file, rebuilt from"),
              std::string::npos)
        << cut.picture.note;
    EXPECT_GE(Psnr(FromPicture(cut.picture), FromPicture(reference.picture)), 30);
  }
  const pcd::Result header = pcd::DecodeBytes(std::span(whole).first(30000), {});
  EXPECT_FALSE(header.ok);
  EXPECT_NE(header.error.find("cut short"), std::string::npos) << header.error;
}

TEST(PcdDecoderInputTest, DamagedHuffmanDataCostsOnlyTheRowsItHits) {
  // 4096 bytes of garbage inside a level's coded rows: the level keeps its
  // size, every row outside the hit is the clean file's, and the note
  // names the rows.
  struct Case {
    const char* file;
    const char* clean;
    Level level;
    const char* named;
  };
  const Case cases[] = {
      {"damaged-huff4.pcd", "4base-kodak.pcd", Level::FourBase, ", rebuilt from Base"},
      {"damaged-huff16.pcd", "16base-kodak.pcd", Level::SixteenBase, ", rebuilt from 4Base"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    const pcd::Result damaged = Decode(DecoderData(c.file));
    const pcd::Result clean = Decode(DecoderData(c.clean));
    ASSERT_TRUE(damaged.ok) << damaged.error;
    ASSERT_TRUE(clean.ok);
    EXPECT_EQ(damaged.picture.level, c.level);
    ASSERT_EQ(damaged.picture.damage.size(), 1u);
    const pcd::LevelDamage& damage = damaged.picture.damage[0];
    EXPECT_EQ(damage.level, c.level);
    EXPECT_FALSE(damage.cutShort);
    // 4096 bytes hold about 5 rows of 16Base codes and 8 of 4Base.
    EXPECT_GE(RowsIn(damage.rows), 1);
    EXPECT_LE(RowsIn(damage.rows) + RowsIn(damage.colourRows), 16);
    const std::string& note = damaged.picture.note;
    EXPECT_EQ(note.rfind(std::string(c.level == Level::FourBase ? "4Base" : "16Base") + " row", 0),
              0u)
        << note;
    EXPECT_NE(note.find(" damaged" + std::string(c.named)), std::string::npos) << note;
    EXPECT_EQ(RowsDifferingOutside(damaged.picture, clean.picture, damaged.picture.damage), 0);
    EXPECT_GE(Psnr(FromPicture(damaged.picture), FromPicture(clean.picture)), 40);
  }

  // A damaged code table still costs its level.
  const struct {
    const char* file;
    const char* clean;
    Level level;
    const char* why;
  } tables[] = {
      {"damaged-table4.pcd", "4base-kodak.pcd", Level::Base, "4Base not used: its code table"},
      {"damaged-table16.pcd", "16base-kodak.pcd", Level::FourBase,
       "16Base not used: its code table"},
  };
  for (const auto& c : tables) {
    SCOPED_TRACE(c.file);
    const pcd::Result damaged = Decode(DecoderData(c.file));
    ASSERT_TRUE(damaged.ok) << damaged.error;
    EXPECT_EQ(damaged.picture.level, c.level);
    EXPECT_TRUE(damaged.picture.damage.empty());
    EXPECT_EQ(damaged.picture.note.rfind(c.why, 0), 0u) << damaged.picture.note;
    const pcd::Result clean = Decode(DecoderData(c.clean), c.level);
    ASSERT_TRUE(clean.ok);
    EXPECT_TRUE(damaged.picture.rgb8 == clean.picture.rgb8);
  }

  // Garbage where the 16Base code tables should be: the lowest, a middling
  // and the highest byte value at the first entry's code length.
  std::vector<std::uint8_t> bytes = ReadBytes(DecoderData("16base-kodak.pcd"));
  const std::size_t stop = static_cast<std::size_t>(bytes[0x0E03] << 8 | bytes[0x0E04]);
  for (int value : {0, 16, 255}) {
    bytes[(stop + 12) * 2048 + 1] = static_cast<std::uint8_t>(value);
    const pcd::Result result = pcd::DecodeBytes(bytes, {});
    ASSERT_TRUE(result.ok);
    EXPECT_GE(result.picture.level, Level::FourBase);
  }
}

TEST(PcdDecoderInputTest, WhatIsNoImagePacFailsWithAReason) {
  const pcd::Result unsigned_ = Decode(DecoderData("no-signature.pcd"));
  EXPECT_FALSE(unsigned_.ok);
  EXPECT_NE(unsigned_.error.find("PCD_IPI"), std::string::npos) << unsigned_.error;
  const pcd::Result png = Decode(DecoderData("base-kodak-ref.png"));
  EXPECT_FALSE(png.ok);
  EXPECT_FALSE(pcd::DecodeBytes({}, {}).ok);
  const pcd::Result missing = Decode(DecoderData("no-such-file.pcd"));
  EXPECT_FALSE(missing.ok);
  EXPECT_NE(missing.error.find("cannot open"), std::string::npos) << missing.error;
  for (const pcd::Result& failed : {unsigned_, png, missing}) {
    EXPECT_TRUE(failed.picture.rgb8.empty());
    EXPECT_FALSE(failed.error.empty());
  }
}

TEST(PcdDecoderInputTest, FoldersFifosAndDevicesAreRefusedWithoutBlocking) {
  const char* base = std::getenv("TMPDIR");
  std::string folder = std::string(base && *base ? base : "/tmp") + "/lumafold-pcd-XXXXXX";
  ASSERT_NE(mkdtemp(folder.data()), nullptr);
  const std::string fifo = folder + "/waiting.pcd";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  // Nobody writes to the FIFO: a decoder that opened it for a blocking read
  // would hang here.
  for (const std::string& path : {folder, fifo, std::string("/dev/zero")}) {
    SCOPED_TRACE(path);
    const pcd::Result file = Decode(path);
    EXPECT_FALSE(file.ok);
    EXPECT_EQ(file.error, "not a regular file");
    EXPECT_FALSE(pcd::DecodeThumbnail(path).ok);
  }
  std::filesystem::remove_all(folder);
}

TEST(PcdDecoderInputTest, ThumbnailsAreUprightAndNeedOnlyTheFirstSectors) {
  const pcd::Result small = pcd::DecodeThumbnail(DecoderData("16base-kodak.pcd"));
  ASSERT_TRUE(small.ok) << small.error;
  EXPECT_EQ(small.picture.level, Level::Base16);
  EXPECT_EQ(small.picture.width, 192);
  EXPECT_EQ(small.picture.height, 128);
  EXPECT_EQ(small.picture.note, "");
  EXPECT_TRUE(small.picture.rgb8 ==
              Decode(DecoderData("16base-kodak.pcd"), Level::Base16).picture.rgb8);

  const pcd::Result turned = pcd::DecodeThumbnail(DecoderData("portrait-270.pcd"), Level::Base);
  ASSERT_TRUE(turned.ok);
  EXPECT_EQ(turned.picture.width, 512);
  EXPECT_EQ(turned.picture.height, 768);
  EXPECT_GE(Psnr(FromPicture(turned.picture), ReadPicture(DecoderData("portrait-ref.png"))), 30);

  // A file cut right after Base/16 still gives its Base/16 thumbnail whole.
  const std::vector<std::uint8_t> bytes = ReadBytes(DecoderData("portrait-270.pcd"));
  const char* base = std::getenv("TMPDIR");
  std::string folder = std::string(base && *base ? base : "/tmp") + "/lumafold-pcd-XXXXXX";
  ASSERT_NE(mkdtemp(folder.data()), nullptr);
  const std::string cut = folder + "/cut.pcd";
  {
    std::ofstream out(cut, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), 22 * 2048);
  }
  const pcd::Result thumbnail = pcd::DecodeThumbnail(cut);
  ASSERT_TRUE(thumbnail.ok) << thumbnail.error;
  EXPECT_EQ(thumbnail.picture.width, 128);
  EXPECT_EQ(thumbnail.picture.height, 192);
  EXPECT_EQ(thumbnail.picture.note, "");
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace lumafold
