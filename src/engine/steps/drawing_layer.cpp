#include "engine/steps/drawing_layer.h"

#include "engine/steps/drawing_libraries.h"

#include <FreeImage.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace lumafold {

SurfaceHandle CreateTransparentSurface(int width, int height) {
  if (width <= 0 || height <= 0 || !DrawingLibrariesLoaded()) return nullptr;
  SurfaceHandle surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height));
  // Cairo hands back an error object rather than null; it must still be
  // destroyed, which the handle does.
  if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) return nullptr;
  return surface;  // new image surfaces are zero-filled: fully transparent
}

DrawingContext DrawOn(cairo_surface_t* surface) {
  if (!surface) return nullptr;
  DrawingContext context(cairo_create(surface));
  if (cairo_status(context.get()) != CAIRO_STATUS_SUCCESS) return nullptr;
  return context;
}

void SetSourceColour(cairo_t* context, RgbColour colour, double alpha) {
  cairo_set_source_rgba(context, colour.red / 255.0, colour.green / 255.0, colour.blue / 255.0,
                        alpha);
}

double OpacityFraction(int opacity) { return std::clamp(opacity, 0, 255) / 255.0; }

ImageHandle SurfaceToImage(cairo_surface_t* surface) {
  if (!surface || cairo_image_surface_get_format(surface) != CAIRO_FORMAT_ARGB32) return nullptr;
  cairo_surface_flush(surface);
  const int width = cairo_image_surface_get_width(surface);
  const int height = cairo_image_surface_get_height(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  const unsigned char* data = cairo_image_surface_get_data(surface);
  if (!data) return nullptr;
  ImageHandle image(FreeImage_Allocate(width, height, 32, FI_RGBA_RED_MASK, FI_RGBA_GREEN_MASK,
                                       FI_RGBA_BLUE_MASK));
  if (!image) return nullptr;
  for (int y = 0; y < height; ++y) {
    // Cairo's rows run top-down, FreeImage's bottom-up.
    const auto* source = reinterpret_cast<const std::uint32_t*>(data + y * stride);
    BYTE* target = FreeImage_GetScanLine(image.get(), height - 1 - y);
    for (int x = 0; x < width; ++x, target += 4) {
      const std::uint32_t pixel = source[x];
      const unsigned alpha = pixel >> 24;
      unsigned red = (pixel >> 16) & 0xFF;
      unsigned green = (pixel >> 8) & 0xFF;
      unsigned blue = pixel & 0xFF;
      if (alpha == 0) {
        red = green = blue = 0;
      } else if (alpha < 255) {
        red = std::min(255u, (red * 255 + alpha / 2) / alpha);
        green = std::min(255u, (green * 255 + alpha / 2) / alpha);
        blue = std::min(255u, (blue * 255 + alpha / 2) / alpha);
      }
      target[FI_RGBA_RED] = static_cast<BYTE>(red);
      target[FI_RGBA_GREEN] = static_cast<BYTE>(green);
      target[FI_RGBA_BLUE] = static_cast<BYTE>(blue);
      target[FI_RGBA_ALPHA] = static_cast<BYTE>(alpha);
    }
  }
  return image;
}

SurfaceHandle ImageToSurface(FIBITMAP* bitmap32) {
  if (!bitmap32 || FreeImage_GetImageType(bitmap32) != FIT_BITMAP ||
      FreeImage_GetBPP(bitmap32) != 32)
    return nullptr;
  const int width = static_cast<int>(FreeImage_GetWidth(bitmap32));
  const int height = static_cast<int>(FreeImage_GetHeight(bitmap32));
  SurfaceHandle surface = CreateTransparentSurface(width, height);
  if (!surface) return nullptr;
  unsigned char* data = cairo_image_surface_get_data(surface.get());
  const int stride = cairo_image_surface_get_stride(surface.get());
  for (int y = 0; y < height; ++y) {
    const BYTE* source = FreeImage_GetScanLine(bitmap32, height - 1 - y);
    auto* target = reinterpret_cast<std::uint32_t*>(data + y * stride);
    for (int x = 0; x < width; ++x, source += 4) {
      const unsigned alpha = source[FI_RGBA_ALPHA];
      const unsigned red = (source[FI_RGBA_RED] * alpha + 127) / 255;
      const unsigned green = (source[FI_RGBA_GREEN] * alpha + 127) / 255;
      const unsigned blue = (source[FI_RGBA_BLUE] * alpha + 127) / 255;
      target[x] = (alpha << 24) | (red << 16) | (green << 8) | blue;
    }
  }
  cairo_surface_mark_dirty(surface.get());
  return surface;
}

std::mutex& TextRenderingLock() {
  static std::mutex lock;
  return lock;
}

}  // namespace lumafold
