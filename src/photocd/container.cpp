// The Image Pac container: the signature, the attribute byte and the three
// plain levels. The Image Pac information starts at 0x800 with "PCD_IPI";
// the first image component attribute record at 0x0E00 holds the attribute
// byte (bits 0-1 rotation, bits 2-3 highest level) and the 4Base and 16Base
// stop sectors. Base/16, Base/4 and Base follow at fixed sectors, each row
// pair stored as luma row, luma row, chroma1 half row, chroma2 half row.
#include <algorithm>
#include <cstring>

#include "photocd/internal.h"

namespace lumafold::pcd::detail {

namespace {

constexpr std::size_t kSignatureOffset = 0x800;
constexpr char kSignature[] = "PCD_IPI";
constexpr std::size_t kAttributeOffset = 0x0E02;

std::uint32_t BigEndian16(const std::uint8_t* p) {
  return static_cast<std::uint32_t>((p[0] << 8) | p[1]);
}

// First sector of each plain level's pixel rows (the sector before each is
// the level's own ICA sector).
std::size_t FirstSectorOf(Level level) {
  switch (level) {
    case Level::Base16:
      return 4;
    case Level::Base4:
      return 23;
    default:
      return 96;
  }
}

}  // namespace

LevelSize SizeOf(Level level) {
  switch (level) {
    case Level::Base16:
      return {192, 128};
    case Level::Base4:
      return {384, 256};
    case Level::Base:
      return {768, 512};
    case Level::FourBase:
      return {1536, 1024};
    case Level::SixteenBase:
      return {3072, 2048};
  }
  return {768, 512};
}

bool ReadContainer(std::span<const std::uint8_t> file, Container& container, std::string& error) {
  if (file.size() < kSignatureOffset + sizeof kSignature - 1 ||
      std::memcmp(file.data() + kSignatureOffset, kSignature, sizeof kSignature - 1) != 0) {
    error = "not a Photo CD Image Pac (no PCD_IPI signature)";
    return false;
  }
  if (file.size() < kAttributeOffset + 5) {
    error = "the Photo CD file ends inside its header";
    return false;
  }
  const std::uint8_t attribute = file[kAttributeOffset];
  container.rotation = attribute & 3;
  // Level code 3 is not defined; it is read as the largest one, which the
  // stop sectors and the data then confirm or refute.
  const int levelCode = std::min((attribute >> 2) & 3, 2);
  container.declared = static_cast<Level>(static_cast<int>(Level::Base) + levelCode);
  container.fourBaseStop = BigEndian16(file.data() + kAttributeOffset + 1);
  container.sixteenBaseStop = BigEndian16(file.data() + kAttributeOffset + 3);
  return true;
}

bool ReadPlainLevel(std::span<const std::uint8_t> file, Level level, YccPlanes& planes) {
  const LevelSize size = SizeOf(level);
  const std::size_t half = static_cast<std::size_t>(size.width) / 2;
  const std::size_t pairBytes = 3 * static_cast<std::size_t>(size.width);
  const std::size_t first = FirstSectorOf(level) * kSectorSize;
  const std::size_t pairs = static_cast<std::size_t>(size.height) / 2;
  if (file.size() < first + pairs * pairBytes) return false;

  planes.width = size.width;
  planes.height = size.height;
  SizeBuffer(planes.luma, static_cast<std::size_t>(size.width) * size.height);
  SizeBuffer(planes.chroma1, half * pairs);
  SizeBuffer(planes.chroma2, half * pairs);
  const std::uint8_t* row = file.data() + first;
  for (std::size_t pair = 0; pair < pairs; ++pair, row += pairBytes) {
    std::memcpy(&planes.luma[2 * pair * size.width], row, 2 * static_cast<std::size_t>(size.width));
    std::memcpy(&planes.chroma1[pair * half], row + 2 * size.width, half);
    std::memcpy(&planes.chroma2[pair * half], row + 2 * size.width + half, half);
  }
  return true;
}

}  // namespace lumafold::pcd::detail
