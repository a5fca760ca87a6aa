// FreeImage stores rows bottom-up (scan line 0 is the picture's last row),
// so the decoder is given the last scan line as its top row and a negative
// row stride. A 24-bit FIT_BITMAP pixel is laid out by the FI_RGBA_* indices
// (blue first on little-endian machines); FIRGB16 and FIRGBF are always red,
// green, blue.
#include "engine/steps/pcd_image.h"

#include <cstddef>
#include <cstdint>
#include <system_error>
#include <thread>

namespace lumafold {

namespace {

FIBITMAP* AllocateFor(pcd::Rendering rendering, int width, int height) {
  switch (rendering) {
    case pcd::Rendering::Display8:
      return FreeImage_Allocate(width, height, 24);
    case pcd::Rendering::Display16:
      return FreeImage_AllocateT(FIT_RGB16, width, height);
    case pcd::Rendering::LinearFloat:
      return FreeImage_AllocateT(FIT_RGBF, width, height);
  }
  return nullptr;
}

std::size_t ValueSize(pcd::Rendering rendering) {
  switch (rendering) {
    case pcd::Rendering::Display8:
      return 1;
    case pcd::Rendering::Display16:
      return 2;
    case pcd::Rendering::LinearFloat:
      return 4;
  }
  return 1;
}


template <typename DecodeInto>
pcd::Result DecodeToBitmap(DecodeInto decode, pcd::Request request, ImageHandle& image) {
  // A 16Base bitmap is 19 to 75 MB of fresh memory, which FreeImage zeroes
  // page by page; that alone took a fifth of a whole conversion. With a
  // core to spare, a large one is therefore allocated on another thread
  // while the levels are decoded, and used when the picture comes out at
  // the size the header promised (a damaged level makes it smaller: then
  // it is dropped). Files converted side by side keep the cores busy and
  // reuse the memory of the file before, so they allocate in place.
  struct Early {
    ImageHandle bitmap;
    int width = 0;
    int height = 0;
    pcd::Rendering rendering = pcd::Rendering::Display8;
    std::jthread thread;  // last: joined before the bitmap goes
  } early;
  if (request.spareCore)
    request.expect = [&early](int width, int height, pcd::Rendering rendering) {
      constexpr long kWorthAThread = 1536L * 1024L;
      if (static_cast<long>(width) * height < kWorthAThread) return;
      early.width = width;
      early.height = height;
      early.rendering = rendering;
      try {
        early.thread = std::jthread([&early] {
          early.bitmap.reset(AllocateFor(early.rendering, early.width, early.height));
        });
      } catch (const std::system_error&) {
        // No thread to be had: the bitmap is allocated when it is needed.
      }
    };
  ImageHandle target;
  request.destination = [&early, &target](int width, int height, pcd::Rendering rendering) {
    if (early.thread.joinable()) early.thread.join();
    if (early.bitmap && early.width == width && early.height == height &&
        early.rendering == rendering)
      target = std::move(early.bitmap);
    else
      target.reset(AllocateFor(rendering, width, height));
    early.bitmap.reset();
    pcd::Destination destination;
    if (!target) return destination;
    // The top row is FreeImage's last scan line; a pitch is always a whole
    // number of values (it is a multiple of four bytes).
    destination.origin = FreeImage_GetScanLine(target.get(), height - 1);
    destination.rowStride =
        -static_cast<std::ptrdiff_t>(FreeImage_GetPitch(target.get()) / ValueSize(rendering));
    if (rendering == pcd::Rendering::Display8) {
      destination.red = FI_RGBA_RED;
      destination.green = FI_RGBA_GREEN;
      destination.blue = FI_RGBA_BLUE;
    }
    return destination;
  };
  pcd::Result result = decode(request);
  if (result.ok) image = std::move(target);
  return result;
}

}  // namespace

pcd::Result DecodeFileToBitmap(const std::string& path, pcd::Request request, ImageHandle& image) {
  return DecodeToBitmap([&](const pcd::Request& r) { return pcd::DecodeFile(path, r); },
                        std::move(request), image);
}

pcd::Result DecodeBytesToBitmap(std::span<const std::uint8_t> bytes, pcd::Request request,
                                ImageHandle& image) {
  return DecodeToBitmap([&](const pcd::Request& r) { return pcd::DecodeBytes(bytes, r); },
                        std::move(request), image);
}

}  // namespace lumafold
