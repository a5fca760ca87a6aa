// The whole built-in Photo CD decoder on arbitrary Image Pacs.
//
// Input: a first byte choosing the form, the level asked for and the
// rendering, then
//   - form 0 (low bit clear): the file itself;
//   - form 1: the attribute byte, the 4Base and 16Base stop sectors (two
//     big-endian 16-bit values), then the file from sector 384 on. Sectors
//     0-383 are a fixed, sound Image Pac head with grey plain levels, so the
//     fuzzer spends its effort on the Huffman-coded levels instead of on
//     hundreds of kilobytes of plain pixels.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/pcd_decoder.h"
#include "fuzz_support.h"

using namespace lumafold;

namespace {

constexpr std::size_t kSector = 2048;
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

pcd::Level SizeLevel(int width, int height) {
  const int longer = width > height ? width : height;
  switch (longer) {
    case 192:
      return pcd::Level::Base16;
    case 384:
      return pcd::Level::Base4;
    case 768:
      return pcd::Level::Base;
    case 1536:
      return pcd::Level::FourBase;
    default:
      return pcd::Level::SixteenBase;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::uint8_t form = data[0];
  pcd::Request request;
  request.highest = static_cast<pcd::Level>((form >> 1) % 5);
  request.rendering = static_cast<pcd::Rendering>((form >> 4) % 3);
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
