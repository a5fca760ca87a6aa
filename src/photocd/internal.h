// The parts of the built-in Photo CD decoder, shared by its files and its
// tests: the container (where each level lies in an Image Pac), the
// Huffman-coded residual levels, the reconstruction of the PhotoYCC planes
// and their conversion to RGB.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <span>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "photocd/photocd.h"

namespace lumafold::pcd::detail {

// The sector size, LevelSize and SizeOf come with the header parser (photocd.h).
using pcd::kSectorSize;

// Leaves new elements uninitialised: the planes and the file's bytes are
// written whole right after they are sized, and zeroing tens of megabytes
// first costs as much as some decoding steps.
template <typename T>
struct UninitialisedAllocator : std::allocator<T> {
  template <typename U>
  struct rebind {
    using other = UninitialisedAllocator<U>;
  };
  UninitialisedAllocator() = default;
  template <typename U>
  UninitialisedAllocator(const UninitialisedAllocator<U>&) noexcept {}
  template <typename U>
  void construct(U* place) noexcept {
    ::new (static_cast<void*>(place)) U;
  }
  template <typename U, typename... Args>
  void construct(U* place, Args&&... args) {
    ::new (static_cast<void*>(place)) U(std::forward<Args>(args)...);
  }
};

using Bytes = std::vector<std::uint8_t, UninitialisedAllocator<std::uint8_t>>;

// Runs `work(begin, end)` over rows [0, rows): with `spareCore`, the lower
// half on a thread of its own beside this one. Every row is independent, so
// the result is the same either way; without a thread to be had the rows
// all run here.
template <typename Work>
void SplitRows(int rows, bool spareCore, Work&& work) {
  constexpr int kWorthAThread = 256;
  if (spareCore && rows >= kWorthAThread) {
    const int middle = rows / 2;
    try {
      std::jthread lower([&work, middle, rows] { work(middle, rows); });
      work(0, middle);
      return;
    } catch (const std::system_error&) {
    }
  }
  work(0, rows);
}

// Sizes `buffer` to `count` values. Large buffers are first offered to the
// kernel for huge pages: a 16Base decode touches some 40 MB of fresh memory,
// and with 4 KB pages the page faults cost about as much as the decoding.
template <typename T, typename Allocator>
void SizeBuffer(std::vector<T, Allocator>& buffer, std::size_t count);

// --- container ---------------------------------------------------------------

using Container = Attributes;

// The header parser's attributes; false with `error` set when the bytes are
// not an Image Pac.
bool ReadContainer(std::span<const std::uint8_t> file, Container& container, std::string& error);

// A level's luma and its two half-size chroma planes, 8-bit PhotoYCC.
struct YccPlanes {
  int width = 0;  // luma size; chroma is (width / 2) x (height / 2)
  int height = 0;
  // Every value is written when a plane is sized (copied from the file or
  // interpolated from the level below).
  Bytes luma;
  Bytes chroma1;
  Bytes chroma2;
};

// Base/16, Base/4 or Base, stored as plain rows; false when the file ends
// before the level does.
bool ReadPlainLevel(std::span<const std::uint8_t> file, Level level, YccPlanes& planes);

// --- Huffman-coded residual levels ------------------------------------------

// Up to five codes that the next `HuffmanTable::runBits` bits of the stream
// hold whole, in stream order: their differences, then how many there are
// and how many bits they take. Eight bytes, so that the differences can be
// stored to a row with one copy whatever their number (the bytes after them
// are overwritten by the codes that follow).
struct CodeRun {
  std::int8_t differences[5] = {};
  std::uint8_t count = 0;  // 0: the first code is longer than runBits, or none
  std::uint8_t length = 0;
  std::uint8_t unused = 0;
};
static_assert(sizeof(CodeRun) == 8);

// One code table: a lookup indexed by the next `bits` bits of the stream,
// and one indexed by fewer that gives several codes at a time.
struct HuffmanTable {
  int bits = 0;
  int shortest = 0;  // the shortest code's length
  // Per index: code length in the low 5 bits (0 = no such code), key above.
  std::vector<std::int16_t> lookup;
  int runBits = 0;  // at most 11: 16 KB of runs stay in the first-level cache
  std::vector<CodeRun> runs;
};

// Parses up to `count` tables back to back from `bytes`; an empty result
// with `error` set when the first one is unusable. A later table that is
// missing or too small to be real is replaced by the one before it.
std::vector<HuffmanTable> ReadHuffmanTables(std::span<const std::uint8_t> bytes, int count,
                                            std::string& error);

// What became of one row of a residual level.
enum class RowState : std::uint8_t {
  Missing,  // not in the stream: the row keeps the level below, untouched
  Sound,    // decoded whole and followed by the next row's sync
  Damaged,  // begun but not decoded soundly: may hold part of its differences
};

// Where a residual stream ended and what it held.
struct ResidualStream {
  bool complete = false;  // every luma row sound, and chroma rows all or none
  bool lumaComplete = false;
  bool chromaApplied = false;   // the chroma residual rows were all sound
  bool chromaInStream = false;  // some chroma row came, or the end mark never did
  bool ranOut = false;          // the data ended before the end mark
  int soundLumaRows = 0;
  std::size_t endMarkByte = 0;  // where the end mark starts (or where reading stopped)
  std::size_t endByte = 0;      // where reading stopped
  std::string problem;          // the first thing that went wrong; empty when complete
  std::vector<RowState> luma;   // per luma row
  // Chroma1 rows, then chroma2 rows, each half as many as luma rows.
  std::vector<RowState> chroma;
};

// Decodes the rows of a residual level from `data` (starting at its first
// sync) and adds them to `planes`, which hold the level below interpolated
// to this level's size. Chroma rows, when the level has them, go to the
// half-size chroma planes. After damage it goes on at the next row sync.
ResidualStream ApplyResiduals(std::span<const std::uint8_t> data,
                              const std::vector<HuffmanTable>& tables, YccPlanes& planes);

// The same on two cores: the stream is cut at a row sync near its middle and
// each part decoded on a core of its own. `Done` gives the one-core result,
// which it does when the first part ends exactly at the cut and neither part
// met a row that belongs to the other. `Undone` (damage, or rows out of the
// usual order) leaves some rows of `planes` with differences added: the
// caller starts again from the level below. `NotTried` leaves all as it was;
// so does data shorter than `worthAThread` bytes, which one core reads
// before a second one would be running (the fuzzer lowers it).
enum class TwoCores { NotTried, Done, Undone };
TwoCores ApplyResidualsOnTwoCores(std::span<const std::uint8_t> data,
                                  const std::vector<HuffmanTable>& tables, YccPlanes& planes,
                                  ResidualStream& stream, std::size_t worthAThread = 256u << 10);

// Rows of a residual level that were not decoded, as luma row ranges
// (inclusive): `luma` those whose luma detail is lost, `chromaOnly` those
// that lost only their colour detail.
struct LostRows {
  std::vector<RowRange> luma;
  std::vector<RowRange> chromaOnly;
  bool any() const { return !luma.empty() || !chromaOnly.empty(); }
};

// Builds a residual level on `lower`: `lower` doubled, the rows of `data`
// added, and every row that was not decoded soundly rebuilt from `lower`,
// so that the level is whole whatever the damage. `lost` says which rows.
ResidualStream BuildOnLower(std::span<const std::uint8_t> data,
                            const std::vector<HuffmanTable>& tables, const YccPlanes& lower,
                            YccPlanes& planes, LostRows& lost, bool spareCore);

// --- reconstruction ------------------------------------------------------------

// Doubles a plane the Image Pac way: even pixels copy, odd ones the rounded
// mean of two neighbours, centre ones of four; the last row and column repeat.
// Writes the target rows made from source rows [first, last).
void Interpolate2x(const std::uint8_t* source, int width, int height, std::uint8_t* target,
                   int first, int last);

// The level below doubled to this level's size: what a residual level holds
// before its differences are added.
YccPlanes Doubled(const YccPlanes& lower, bool spareCore);

// --- colour ----------------------------------------------------------------------

// The upright size of a picture stored `rotation` quarter turns clockwise.
LevelSize UprightSize(LevelSize stored, int rotation);

// Converts the planes to RGB turned upright (`rotation` quarter turns the
// picture is stored clockwise) into `destination`, which holds the upright
// size.
void ConvertToRgb(const YccPlanes& planes, int rotation, Rendering rendering,
                  Highlights highlights, const Destination& destination, bool spareCore = false);

// The same into the picture's own buffer, filling its size.
void ConvertToRgb(const YccPlanes& planes, int rotation, Rendering rendering,
                  Highlights highlights, Picture& picture, bool spareCore = false);

// The decode itself over a whole file (or its first sectors, for thumbnails).
Result Decode(std::span<const std::uint8_t> file, const Request& request);

}  // namespace lumafold::pcd::detail
