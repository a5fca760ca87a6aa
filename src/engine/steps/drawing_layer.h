// The drawing layer of the frame and watermark steps: Cairo image surfaces
// (premultiplied ARGB) and their hand-over to FreeImage as 32-bit bitmaps
// with straight alpha, which is what FreeImage_Composite expects.
#pragma once

#include <cairo.h>

#include <memory>
#include <mutex>

#include "engine/colour.h"
#include "engine/image.h"

namespace lumafold {

struct CairoSurfaceReleaser {
  void operator()(cairo_surface_t* surface) const noexcept { cairo_surface_destroy(surface); }
};
struct CairoContextReleaser {
  void operator()(cairo_t* context) const noexcept { cairo_destroy(context); }
};
using SurfaceHandle = std::unique_ptr<cairo_surface_t, CairoSurfaceReleaser>;
using DrawingContext = std::unique_ptr<cairo_t, CairoContextReleaser>;

// A fully transparent 32-bit surface; null when it cannot be created (size
// beyond Cairo's limits, no memory).
SurfaceHandle CreateTransparentSurface(int width, int height);

// A drawing context on the surface; null when Cairo refuses one.
DrawingContext DrawOn(cairo_surface_t* surface);

void SetSourceColour(cairo_t* context, RgbColour colour, double alpha = 1.0);

// Opacity settings run from 0 to 255; values outside are held at the ends.
double OpacityFraction(int opacity);

// The surface as a top-down-correct FreeImage 32-bit bitmap, un-premultiplied.
ImageHandle SurfaceToImage(cairo_surface_t* surface);

// A 32-bit FreeImage bitmap (straight alpha) as a Cairo surface.
SurfaceHandle ImageToSurface(FIBITMAP* bitmap32);

// Fontconfig's configuration and Pango's font maps are process-wide caches
// that are not safe to enter from several file workers at once; every text
// measurement, text drawing and font lookup holds this lock. Cairo's own
// image surfaces and paths are per-surface and need no lock.
std::mutex& TextRenderingLock();

}  // namespace lumafold
