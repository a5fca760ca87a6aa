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
//   - form 2 (second bit set): the Huffman-coded rows alone on a small
//     64x32 level, for many inputs a second: a byte of table count, a byte
//     of table length, the tables, then the coded rows.
#include <cstddef>
#include <cstdint>
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
  pcd::detail::YccPlanes planes;
  planes.width = 64;
  planes.height = 32;
  planes.luma.assign(64 * 32, 128);
  planes.chroma1.assign(32 * 16, 156);
  planes.chroma2.assign(32 * 16, 137);
  const std::span<const std::uint8_t> rows(data + 2 + tableBytes, size - 2 - tableBytes);
  const pcd::detail::ResidualStream stream = pcd::detail::ApplyResiduals(rows, tables, planes);
  FUZZ_CHECK(stream.endByte <= rows.size());
  FUZZ_CHECK(stream.endMarkByte <= rows.size());
  FUZZ_CHECK(!stream.complete || stream.lumaComplete);
  FUZZ_CHECK(stream.complete || !stream.problem.empty() || !stream.lumaComplete);
  FUZZ_CHECK(planes.luma.size() == 64 * 32 && planes.chroma1.size() == 32 * 16);
  return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::uint8_t form = data[0];
  if (form & 2) return FuzzRows(data + 1, size - 1);
  pcd::Request request;
  request.highest = static_cast<pcd::Level>((form >> 2) % 5);
  request.rendering = static_cast<pcd::Rendering>(((form >> 4) & 3) % 3);
  request.spareCore = (form & 0x80) != 0;
  ++data;
  --size;

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
      for (float v : picture.rgbFloat) FUZZ_CHECK(v >= 0.0f && v < 100.0f);
      break;
  }
  // A level below the one asked for is explained, unless the header itself
  // declares no more.
  if (picture.level < request.highest && picture.level >= pcd::Level::Base &&
      ((file[0x0E02] >> 2) & 3) > static_cast<int>(picture.level) - 2)
    FUZZ_CHECK(!picture.note.empty());
  return 0;
}
