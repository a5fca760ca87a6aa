// Owning handle for FreeImage bitmaps, so that a step returning early never
// leaks the image it was given or made.
#pragma once

#include <FreeImage.h>

#include <memory>

namespace lumafold {

struct FreeImageUnloader {
  void operator()(FIBITMAP* bitmap) const noexcept {
    if (bitmap) FreeImage_Unload(bitmap);
  }
};

using ImageHandle = std::unique_ptr<FIBITMAP, FreeImageUnloader>;

inline ImageHandle AdoptImage(FIBITMAP* bitmap) { return ImageHandle(bitmap); }

// Replaces `image` by `made` when the library call produced a new bitmap;
// keeps the old one when it returned null, as a step that cannot do its work
// passes the image on.
inline ImageHandle ReplaceIfMade(ImageHandle image, FIBITMAP* made) {
  if (!made) return image;
  return ImageHandle(made);
}

}  // namespace lumafold
