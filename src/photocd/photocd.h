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
// (signature, levels stored and really held, orientation, the information
// header) before any decoder sees it; the decoder itself, the external
// decoder chain, `--info` and the outputs' metadata all read it.
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

// --- The Image Pac header -----------------------------------------------------
// One parser for everything an Image Pac says about itself before any pixel
// is decoded: the decoder, the external decoder chain, the window's file
// facts, `--info` and the metadata of the outputs all read it here.
namespace lumafold::pcd {

inline constexpr std::size_t kSectorSize = 2048;
// Base/16, Base/4 and Base end at sector 384 in every Image Pac.
inline constexpr std::uint64_t kBaseEnd = 384 * kSectorSize;
// The information header and the first image component attribute record.
inline constexpr std::size_t kHeaderBytes = 0x0E0A;

// Luma size of a level as stored (landscape); chroma is half of it each way.
struct LevelSize {
  int width = 0;
  int height = 0;
};
LevelSize SizeOf(Level level);
// "Base/16", "Base/4", "Base", "4Base", "16Base".
const char* LevelName(Level level);

// The first image component attribute record (0xE00).
struct Attributes {
  Level declared = Level::Base;       // highest level the attribute byte claims
  int rotation = 0;                   // quarter turns the picture is stored clockwise
  bool extension = false;             // a 64Base extension file exists (Pro discs)
  int compressionClass = 1;           // 1 to 4
  std::uint32_t fourBaseStop = 0;     // first sector after the 4Base data
  std::uint32_t sixteenBaseStop = 0;  // first sector after the 16Base data
  int interleave = 0;                 // 1 = picture only
};

enum class HeaderStatus {
  Ok,
  Unreadable,  // cannot be opened or read, or not a regular file
  NotPhotoCd,  // no "PCD_IPI" signature
  TooShort,    // ends inside the header (or, for a file, before Base ends)
};

// Signature and attributes from the first bytes of an Image Pac.
HeaderStatus ParseAttributes(std::span<const std::uint8_t> head, Attributes& attributes);

// The highest level wholly inside a file of `fileSize` bytes: a level counts
// when its stop sector lies beyond the level below it and inside the file.
Level WholeLevel(const Attributes& attributes, std::uint64_t fileSize);

// The Image Pac information (0x800): every field is empty when the file
// does not give it (FF bytes, zero times, blank or placeholder strings).
struct Version {
  int major = 0;
  int minor = 0;
};
struct Information {
  std::optional<Version> specificationVersion;
  std::optional<Version> softwareRelease;
  std::optional<int> magnification;  // in hundredths: 100 = 1.00
  std::optional<std::int64_t> scanningTime;      // seconds since 1970-01-01 00:00 UTC
  std::optional<std::int64_t> modificationTime;  // the same
  std::optional<int> medium;                     // 0 to 8, see MediumName
  std::string productType;                       // film or product code
  std::string scannerVendor;
  std::string scannerProduct;
  std::string scannerFirmware;
  std::string scannerFirmwareDate;
  std::string scannerSerial;
  std::optional<int> pixelSize;  // scanner pixel size in hundredths of a micrometre
  std::string workstation;
  std::optional<int> characterSet;  // of the photofinisher's name, 1 to 6
  std::string photofinisher;        // UTF-8
  bool sceneBalance = false;        // the "SBA" block is present
  std::optional<Version> sceneBalanceRevision;
  std::optional<int> sceneBalanceCommand;  // 0 to 3, see SceneBalanceName
  std::optional<int> filmTermNumber;
  std::optional<int> copyrightStatus;  // 1 = restrictions apply, see the rights file
  std::string rightsFile;
};
// Every string is UTF-8, trimmed; `head` may end anywhere.
Information ParseInformation(std::span<const std::uint8_t> head);

// Names for the coded fields; nullptr for a code without one.
const char* MediumName(int medium);
const char* SceneBalanceName(int command);
const char* CompressionClassName(int compressionClass);
// The common films by their film term number.
const char* FilmName(int filmTermNumber);

// A file's header: its attributes, the level it really holds, the information.
struct Header : Attributes {
  Level whole = Level::Base;  // highest level wholly inside the file
  std::uint8_t firstSectorOrientationByte = 0;  // byte 0x48, read by FreeImage
  std::uint64_t fileSize = 0;
  Information information;
};

struct HeaderResult {
  HeaderStatus status = HeaderStatus::Unreadable;
  Header header;
  bool ok() const { return status == HeaderStatus::Ok; }
};

// Reads a file's header (4 KB). A folder, FIFO or device is Unreadable at
// once (never blocks).
HeaderResult ReadHeader(const std::string& path);
// The same from an open file (read with pread, the offset is left alone).
HeaderResult ReadHeader(int fd);
// The same from a file's first bytes already in memory (a picture read out
// of a disc image); `fileSize` is the whole file's.
HeaderResult ParseHeader(std::span<const std::uint8_t> start, std::uint64_t fileSize);

// The sub-image index of ImageMagick's Photo CD reader for a level (Base 3,
// 4Base 4, 16Base 5), and the landscape size of an index (0 to 5).
inline int ImageMagickIndex(Level level) { return 1 + static_cast<int>(level); }
std::optional<LevelSize> SizeOfIndex(int index);

}  // namespace lumafold::pcd

// The names the engine and the window know the header by.
namespace lumafold {

using PhotoCdHeader = pcd::Header;
using PhotoCdHeaderStatus = pcd::HeaderStatus;
using PhotoCdHeaderResult = pcd::HeaderResult;
using PixelSize = pcd::LevelSize;
using pcd::SizeOfIndex;

inline PhotoCdHeaderResult ReadPhotoCdHeader(const std::string& path) {
  return pcd::ReadHeader(path);
}
inline PhotoCdHeaderResult ReadPhotoCdHeader(int fd) { return pcd::ReadHeader(fd); }

// Sub-image index of the highest level the file holds (3, 4 or 5).
inline int HighestIndex(const pcd::Header& header) { return pcd::ImageMagickIndex(header.whole); }

}  // namespace lumafold
