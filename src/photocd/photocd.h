// The built-in Photo CD decoder, the one header its users include: reads an
// Image Pac in the process, with no child process and no intermediate file,
// and gives the picture upright at the highest level the file really holds
// (or a lower one on request).
//
// The pixel buffers are plain interleaved R, G, B, top row first, so that the
// engine, the window's thumbnails and the fuzz target can use them without a
// toolkit. engine/steps/pcd_image.h turns them into FreeImage bitmaps.
//
// Below the decoder, the header reader: what an Image Pac says about itself
// (signature, highest level stored and really held, orientation) before any
// decoder sees it; the external decoder chain picks its sub-image by it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace lumafold::pcd {

// Resolution levels of an Image Pac, smallest first.
enum class Level : int {
  Base16 = 0,       // 192x128
  Base4 = 1,        // 384x256
  Base = 2,         // 768x512
  FourBase = 3,     // 1536x1024
  SixteenBase = 4,  // 3072x2048
};

// How the decoded PhotoYCC values become RGB.
enum class Rendering {
  Display8,     // 8-bit display-referred sRGB (reference white = 255)
  Display16,    // the same rendering with 16-bit values (reference white = 65535)
  LinearFloat,  // linear light, reference white = 1.0, highlights kept above it
};

// What the display renderings (Display8, Display16) make of the range above
// reference white; linear light keeps all of it either way.
enum class Highlights {
  // Reference white just below the top code, brighter values rolled off
  // smoothly into the top of the range.
  RollOff,
  // R'G'B' as encoded, scaled so that the brightest value a Photo CD can
  // encode (kKeptHighlightsTop x reference white) is the top code:
  // reference white sits at 1 / kKeptHighlightsTop of the range. A file
  // written so needs a profile that says so.
  Keep,
};

// Luma code 255 over reference white (luma 182): R'G'B' = 1.402 at the top.
inline constexpr double kKeptHighlightsTop = 1.402;

// Rows first to last, inclusive, in the level's stored (landscape) rows.
struct RowRange {
  int first = 0;
  int last = 0;
  bool operator==(const RowRange&) const = default;
};

// Rows of a coded level (4Base, 16Base) that could not be decoded and were
// rebuilt from the level below; the picture keeps its size.
struct LevelDamage {
  Level level = Level::SixteenBase;
  std::vector<RowRange> rows;        // rows whose luma detail was lost
  std::vector<RowRange> colourRows;  // further rows that lost only their colour detail
  bool cutShort = false;             // the file ends inside the level
};

struct Picture {
  int width = 0;   // upright: 2048x3072 for a portrait 16Base scan
  int height = 0;
  Rendering rendering = Rendering::Display8;
  Highlights highlights = Highlights::RollOff;  // the rendering of the range above white
  Level level = Level::Base;  // the level actually decoded
  // Exactly one is filled, by `rendering`: width * height * 3 values; none
  // when the request gave a destination.
  std::vector<std::uint8_t> rgb8;
  std::vector<std::uint16_t> rgb16;
  std::vector<float> rgbFloat;
  // Rows rebuilt from a lower level, per coded level; empty for a sound file.
  std::vector<LevelDamage> damage;
  // Why a higher level than `level` was not used although the header
  // declares it (cut short, damaged Huffman data), and which rows were
  // rebuilt, for people ("16Base rows 1204-1209 damaged, rebuilt from
  // 4Base"); empty for a sound file.
  std::string note;
  // Less than the file declares: rows rebuilt, or a lower level.
  bool degraded() const { return !damage.empty() || !note.empty(); }
};

struct Result {
  bool ok = false;
  Picture picture;
  std::string error;  // why nothing could be decoded; empty when ok
};

// Pixel memory owned by the caller, so that the picture is written straight
// into it (a 16Base picture is 18 to 75 MB; a copy costs time and memory).
// Values are std::uint8_t for Display8, std::uint16_t for Display16 and
// float for LinearFloat.
struct Destination {
  void* origin = nullptr;        // the upright picture's top-left pixel
  std::ptrdiff_t rowStride = 0;  // values from one row to the next one down; may be negative
  // Where each channel sits among a pixel's three values.
  int red = 0;
  int green = 1;
  int blue = 2;
};

struct Request {
  // The highest level to decode; the file may hold less, then its highest
  // sound level is given.
  Level highest = Level::SixteenBase;
  Rendering rendering = Rendering::Display8;
  Highlights highlights = Highlights::RollOff;
  // When set, called once as soon as the header is read, with the upright
  // size the picture has if every level the file declares is sound, so that
  // the caller can ready its memory while the levels are decoded.
  std::function<void(int width, int height, Rendering rendering)> expect;
  // When set, called once with the upright size when the picture is about
  // to be written; an origin of null fails the decode.
  std::function<Destination(int width, int height, Rendering rendering)> destination;
  // A second core is free: the interpolation and colour steps share their
  // rows with a thread of its own. The picture is the same either way.
  bool spareCore = false;
};

// Decodes a file. A folder, FIFO or device fails at once (never blocks).
Result DecodeFile(const std::string& path, const Request& request);
// Decodes an Image Pac held in memory (tests and the fuzz target).
Result DecodeBytes(std::span<const std::uint8_t> bytes, const Request& request);

// The cheap entry for list thumbnails and previews: Base/16 (192x128) or
// Base (768x512), 8-bit, upright; reads only the sectors it needs.
Result DecodeThumbnail(const std::string& path, Level level = Level::Base16);

}  // namespace lumafold::pcd

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
