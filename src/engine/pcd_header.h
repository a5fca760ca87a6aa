// Reads what a Photo CD Image Pac says about itself before any decoder sees
// it: the signature, the highest resolution stored, whether the file really
// holds that resolution, and the orientation.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace lumafold {

// Resolution levels of an Image Pac; the sub-image index of ImageMagick's
// Photo CD reader for a level is 3 + level.
enum class PhotoCdLevel : int { Base = 0, FourBase = 1, SixteenBase = 2 };

struct PhotoCdHeader {
  PhotoCdLevel declaredLevel = PhotoCdLevel::Base;  // what the attribute byte claims
  PhotoCdLevel usableLevel = PhotoCdLevel::Base;    // highest level wholly inside the file
  int rotation = 0;  // quarter turns: 0 none, 1 90 ccw, 2 180, 3 90 cw
  std::uint16_t fourBaseStopSector = 0;
  std::uint16_t sixteenBaseStopSector = 0;
  std::uint8_t firstSectorOrientationByte = 0;  // byte 0x48, read by FreeImage
  std::uint64_t fileSize = 0;
};

enum class PhotoCdHeaderStatus {
  Ok,
  Unreadable,  // cannot be opened or read
  NotPhotoCd,  // no "PCD_IPI" signature
  TooShort,    // shorter than the Base image
};

struct PhotoCdHeaderResult {
  PhotoCdHeaderStatus status = PhotoCdHeaderStatus::Unreadable;
  PhotoCdHeader header;
  bool ok() const { return status == PhotoCdHeaderStatus::Ok; }
};

inline constexpr std::uint64_t kPhotoCdSectorSize = 2048;
// Base/16, Base/4 and Base end at sector 384 in every Image Pac.
inline constexpr std::uint64_t kPhotoCdBaseEnd = 384 * kPhotoCdSectorSize;

PhotoCdHeaderResult ReadPhotoCdHeader(const std::string& path);
// The same from an open file (read with pread, the offset is left alone).
PhotoCdHeaderResult ReadPhotoCdHeader(int fd);

// Sub-image index of the highest level the file holds (3, 4 or 5).
inline int HighestIndex(const PhotoCdHeader& header) {
  return 3 + static_cast<int>(header.usableLevel);
}

// Width and height (landscape) that ImageMagick writes for a sub-image index;
// nullopt for an index outside 0..5.
struct PixelSize {
  int width = 0;
  int height = 0;
};
std::optional<PixelSize> SizeOfIndex(int index);

}  // namespace lumafold
