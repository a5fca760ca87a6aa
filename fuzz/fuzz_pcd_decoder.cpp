// The whole built-in Photo CD decoder on arbitrary Image Pacs.
//
// Input: a first byte choosing the form, the level asked for, the rendering
// and (top bit) whether a second thread shares the work, then
//   - form 0 (low bit clear): the file itself;
//   - form 1: the attribute byte, the 4Base and 16Base stop sectors (two
//     big-endian 16-bit values), then the file from sector 384 on. Sectors
//     0-383 are a fixed, sound Image Pac head with grey plain levels, so the
//     fuzzer spends its effort on the Huffman-coded levels instead of on
//     hundreds of kilobytes of plain pixels;
//   - form 2 (second bit set, first clear): the Huffman-coded rows alone on
//     a small 64x32 level built on a 32x16 one, the way the decoder builds
//     4Base and 16Base (rows that cannot be decoded rebuilt from the level
//     below), for many inputs a second: a byte of table count, a byte of
//     table length, the tables, then the coded rows;
//   - form 3 (both bits set): a whole sound 4Base file, the fixed head with
//     a fixed 4Base level of 1024 coded rows, with the input written into
//     the coded rows: two bytes of offset (in units of 4 bytes), a byte whose
//     low bit cuts the file right after the input, then the bytes. A few
//     kilobytes reach resynchronisation, rebuilt rows and files cut short
//     at a real level's size.
#include <cstddef>
#include <cstdint>
#include <algorithm>
#include <cstring>
#include <vector>

#include "photocd/photocd.h"
#include "photocd/internal.h"
#include "fuzz_support.h"

using namespace lumafold;

namespace {

constexpr std::size_t kSector = pcd::kSectorSize;
constexpr std::size_t kHeadSectors = 384;

const std::vector<std::uint8_t>& Head() {
  static const std::vector<std::uint8_t> head = [] {
    std::vector<std::uint8_t> bytes(kHeadSectors * kSector, 0);
    std::memset(bytes.data(), 0xFF, 32);
    std::memcpy(bytes.data() + 0x800, "PCD_IPI", 7);
    bytes[0x0E09] = 1;
    // Base/16, Base/4 and Base: luma ramps, neutral chroma (156, 137).
    const struct {
      std::size_t sector;
      int width, height;
    } levels[] = {{4, 192, 128}, {23, 384, 256}, {96, 768, 512}};
    for (const auto& level : levels) {
      std::uint8_t* row = bytes.data() + level.sector * kSector;
      for (int pair = 0; pair < level.height / 2; ++pair) {
        for (int x = 0; x < 2 * level.width; ++x) *row++ = static_cast<std::uint8_t>(x + pair);
        std::memset(row, 156, level.width / 2);
        std::memset(row + level.width / 2, 137, level.width / 2);
        row += level.width;
      }
    }
    return bytes;
  }();
  return head;
}

// The level whose stored size has this longer side (the picture may be upright).
pcd::Level SizeLevel(int width, int height) {
  const int longer = width > height ? width : height;
  for (int level = 0; level < static_cast<int>(pcd::Level::SixteenBase); ++level)
    if (pcd::SizeOf(static_cast<pcd::Level>(level)).width == longer)
      return static_cast<pcd::Level>(level);
  return pcd::Level::SixteenBase;
}

// A 4Base level whose every difference is 0: a two-code table ("0" is 0,
// "10" is +1), 1024 rows of a sync, a header and 1536 one-bit codes (197
// bytes each), the end mark, zero to the end of the sector.
constexpr std::size_t kFourBaseTable = 388;
constexpr std::size_t kFourBaseData = 389;
constexpr std::size_t kRowBytes = 197;

const std::vector<std::uint8_t>& SoundFourBase() {
  static const std::vector<std::uint8_t> file = [] {
    std::vector<std::uint8_t> bytes = Head();
    bytes.resize(kFourBaseData * kSector, 0);
    const std::uint8_t table[] = {1, 0, 0x00, 0x00, 0, 1, 0x80, 0x00, 1};
    std::memcpy(&bytes[kFourBaseTable * kSector], table, sizeof table);
    for (int row = 0; row <= 1024; ++row) {
      const std::uint8_t sync[] = {0xFF, 0xFF, 0xFE, static_cast<std::uint8_t>(row >> 7),
                                   static_cast<std::uint8_t>(row << 1)};
      bytes.insert(bytes.end(), sync, sync + sizeof sync);
      if (row < 1024) bytes.resize(bytes.size() + kRowBytes - sizeof sync, 0);
    }
    bytes.resize((bytes.size() + kSector - 1) / kSector * kSector, 0);
    const std::size_t stop = bytes.size() / kSector;
    bytes[0x0E02] = 1 << 2;  // 4Base, upright
    bytes[0x0E03] = static_cast<std::uint8_t>(stop >> 8);
    bytes[0x0E04] = static_cast<std::uint8_t>(stop);
    return bytes;
  }();
  return file;
}

int FuzzRows(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const int count = data[0] % 3 + 1;
  const std::size_t tableBytes = data[1] < size - 2 ? data[1] : size - 2;
  std::string error;
  const auto tables = pcd::detail::ReadHuffmanTables(std::span(data + 2, tableBytes), count, error);
  if (tables.empty()) {
    FUZZ_CHECK(!error.empty());
    return 0;
  }
  FUZZ_CHECK(static_cast<int>(tables.size()) == count);
  // The level below: a luma ramp, chroma from the table bytes.
  pcd::detail::YccPlanes lower;
  lower.width = 32;
  lower.height = 16;
  lower.luma.resize(32 * 16);
  for (std::size_t i = 0; i < lower.luma.size(); ++i)
    lower.luma[i] = static_cast<std::uint8_t>(i * 7);
  lower.chroma1.assign(16 * 8, static_cast<std::uint8_t>(156 + count));
  lower.chroma2.assign(16 * 8, 137);
  const std::span<const std::uint8_t> rows(data + 2 + tableBytes, size - 2 - tableBytes);
  pcd::detail::YccPlanes planes;
  pcd::detail::LostRows lost;
  const pcd::detail::ResidualStream stream =
      pcd::detail::BuildOnLower(rows, tables, lower, planes, lost, false);
  // Read on two cores, the rows are what one core reads, or the split says
  // it cannot vouch for them.
  {
    pcd::detail::YccPlanes split = pcd::detail::Doubled(lower, false);
    pcd::detail::YccPlanes alone = pcd::detail::Doubled(lower, false);
    pcd::detail::ResidualStream twoCores;
    const pcd::detail::ResidualStream oneCore = pcd::detail::ApplyResiduals(rows, tables, alone);
    if (pcd::detail::ApplyResidualsOnTwoCores(rows, tables, split, twoCores, 0) ==
        pcd::detail::TwoCores::Done) {
      FUZZ_CHECK(split.luma == alone.luma && split.chroma1 == alone.chroma1 &&
                 split.chroma2 == alone.chroma2);
      FUZZ_CHECK(twoCores.luma == oneCore.luma && twoCores.chroma == oneCore.chroma);
      FUZZ_CHECK(twoCores.problem == oneCore.problem && twoCores.complete == oneCore.complete);
      FUZZ_CHECK(twoCores.endByte == oneCore.endByte &&
                 twoCores.endMarkByte == oneCore.endMarkByte && twoCores.ranOut == oneCore.ranOut);
    }
  }
  FUZZ_CHECK(stream.endByte <= rows.size());
  FUZZ_CHECK(stream.endMarkByte <= rows.size());
  FUZZ_CHECK(!stream.complete || stream.lumaComplete);
  FUZZ_CHECK(stream.complete || !stream.problem.empty());
  FUZZ_CHECK(stream.complete == !lost.any() || !stream.chromaInStream);
  FUZZ_CHECK(planes.width == 64 && planes.height == 32);
  FUZZ_CHECK(planes.luma.size() == 64 * 32 && planes.chroma1.size() == 32 * 16);
  // Every row that was not decoded soundly is the level below doubled.
  const pcd::detail::YccPlanes doubled = pcd::detail::Doubled(lower, false);
  int named = 0;
  for (const pcd::RowRange& range : lost.luma) {
    FUZZ_CHECK(range.first >= 0 && range.first <= range.last && range.last < 32);
    named += range.last - range.first + 1;
    for (int y = range.first; y <= range.last; ++y)
      FUZZ_CHECK(std::memcmp(&planes.luma[y * 64], &doubled.luma[y * 64], 64) == 0);
  }
  FUZZ_CHECK(named == 32 - stream.soundLumaRows);
  return 0;
}

int FuzzFourBase(const std::uint8_t* data, std::size_t size, const pcd::Request& request) {
  if (size < 3) return 0;
  std::vector<std::uint8_t> file = SoundFourBase();
  const std::size_t rows = 1024 * kRowBytes;
  const std::size_t at =
      kFourBaseData * kSector + (static_cast<std::size_t>(data[0] << 8 | data[1]) * 4) % rows;
  const bool cut = data[2] & 1;
  const std::size_t patch = std::min(size - 3, file.size() - at);
  std::memcpy(&file[at], data + 3, patch);
  if (cut) file.resize(at + patch);
  const pcd::Result result = pcd::DecodeBytes(file, request);
  FUZZ_CHECK(result.ok);  // Base is whole whatever happens to 4Base
  const pcd::Picture& picture = result.picture;
  if (request.highest < pcd::Level::FourBase) return 0;
  FUZZ_CHECK(picture.damage.size() <= 1);
  if (picture.level == pcd::Level::FourBase) {
    FUZZ_CHECK(picture.width == 1536 && picture.height == 1024);
    for (const pcd::LevelDamage& damage : picture.damage) {
      FUZZ_CHECK(damage.level == pcd::Level::FourBase && !damage.rows.empty());
      FUZZ_CHECK(damage.rows.back().last < 1024 && damage.colourRows.empty());
      FUZZ_CHECK(!picture.note.empty());
    }
  } else {
    FUZZ_CHECK(picture.level == pcd::Level::Base && !picture.note.empty());
  }
  return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::uint8_t form = data[0];
  if ((form & 3) == 2) return FuzzRows(data + 1, size - 1);
  pcd::Request request;
  request.highest = static_cast<pcd::Level>((form >> 2) % 5);
  request.rendering = static_cast<pcd::Rendering>(((form >> 4) & 3) % 3);
  request.highlights = (form & 0x40) ? pcd::Highlights::Keep : pcd::Highlights::RollOff;
  request.spareCore = (form & 0x80) != 0;
  ++data;
  --size;
  if ((form & 3) == 3) return FuzzFourBase(data, size, request);

  std::vector<std::uint8_t> file;
  if ((form & 1) == 0) {
    file.assign(data, data + size);
  } else {
    if (size < 5) return 0;
    file = Head();
    file[0x0E02] = data[0];
    std::memcpy(&file[0x0E03], data + 1, 4);
    file.insert(file.end(), data + 5, data + size);
  }

  const pcd::Result result = pcd::DecodeBytes(file, request);
  if (!result.ok) {
    FUZZ_CHECK(!result.error.empty());
    FUZZ_CHECK(result.picture.rgb8.empty() && result.picture.rgb16.empty() &&
               result.picture.rgbFloat.empty());
    return 0;
  }
  const pcd::Picture& picture = result.picture;
  FUZZ_CHECK(result.error.empty());
  FUZZ_CHECK(picture.level <= request.highest);
  FUZZ_CHECK(SizeLevel(picture.width, picture.height) == picture.level);
  FUZZ_CHECK(picture.width * 2 == picture.height * 3 || picture.height * 2 == picture.width * 3);
  const std::size_t values = static_cast<std::size_t>(picture.width) * picture.height * 3;
  switch (request.rendering) {
    case pcd::Rendering::Display8:
      FUZZ_CHECK(picture.rgb8.size() == values);
      break;
    case pcd::Rendering::Display16:
      FUZZ_CHECK(picture.rgb16.size() == values);
      break;
    case pcd::Rendering::LinearFloat:
      FUZZ_CHECK(picture.rgbFloat.size() == values);
      // Out-of-gamut colour keeps its negative values.
      for (float v : picture.rgbFloat) FUZZ_CHECK(v > -100.0f && v < 100.0f);
      break;
  }
  // A level below the one asked for is explained, unless the header itself
  // declares no more.
  if (picture.level < request.highest && picture.level >= pcd::Level::Base &&
      ((file[0x0E02] >> 2) & 3) > static_cast<int>(picture.level) - 2)
    FUZZ_CHECK(!picture.note.empty());
  return 0;
}
