// The built-in Photo CD decoder: reads an Image Pac in the process, with no
// child process and no intermediate file, and gives the picture upright at
// the highest level the file really holds (or a lower one on request).
//
// The pixel buffers are plain interleaved R, G, B, top row first, so that the
// engine, the window's thumbnails and the fuzz target can use them without a
// toolkit. engine/pcd_image.h turns them into FreeImage bitmaps.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
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

struct Picture {
  int width = 0;   // upright: 2048x3072 for a portrait 16Base scan
  int height = 0;
  Rendering rendering = Rendering::Display8;
  Level level = Level::Base;  // the level actually decoded
  // Exactly one is filled, by `rendering`: width * height * 3 values; none
  // when the request gave a destination.
  std::vector<std::uint8_t> rgb8;
  std::vector<std::uint16_t> rgb16;
  std::vector<float> rgbFloat;
  // Why a higher level than `level` was not used although the header
  // declares it (cut short, damaged Huffman data); empty otherwise.
  std::string note;
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
