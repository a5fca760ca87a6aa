// The built-in Photo CD decoder's picture as a FreeImage bitmap of the
// matching type: 8-bit display values in a 24-bit bitmap, 16-bit ones in
// FIT_RGB16 and linear light in FIT_RGBF, so that the pipeline and the
// writers keep the decoder's precision.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "engine/image.h"
#include "photocd/photocd.h"

namespace lumafold {

// Decodes a file straight into a bitmap of the rendering's type (no second
// copy of the pixels); `image` is set when the result is ok. With the
// request's `spareCore`, a large bitmap is also allocated on another thread
// while the file is decoded.
pcd::Result DecodeFileToBitmap(const std::string& path, pcd::Request request, ImageHandle& image);
// The same for an Image Pac held in memory (a picture read from a disc image).
pcd::Result DecodeBytesToBitmap(std::span<const std::uint8_t> bytes, pcd::Request request,
                                ImageHandle& image);

}  // namespace lumafold
