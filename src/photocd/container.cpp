// The Image Pac container as the decoder sees it: the header (parsed in
// header.cpp) and the three plain levels. Base/16, Base/4 and Base lie at
// fixed sectors, each row pair stored as luma row, luma row, chroma1 half
// row, chroma2 half row.
#include <algorithm>
#include <cstring>

#include "photocd/internal.h"

namespace lumafold::pcd::detail {

namespace {

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

bool ReadContainer(std::span<const std::uint8_t> file, Container& container, std::string& error) {
  switch (ParseAttributes(file, container)) {
    case HeaderStatus::Ok:
      return true;
    case HeaderStatus::TooShort:
      error = "the Photo CD file ends inside its header";
      return false;
    default:
      error = "not a Photo CD Image Pac (no PCD_IPI signature)";
      return false;
  }
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
