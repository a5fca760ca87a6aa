// Resize step: rescales to a target in pixels or percent of the current
// size, optionally keeping the aspect ratio and optionally only shrinking.
#include <FreeImage.h>

#include <cmath>
#include <cstdint>
#include <limits>

#include "engine/steps/pipeline_steps.h"

namespace lumafold {

namespace {

constexpr int kUnitPixels = 0;
constexpr int kUnitPercent = 1;
constexpr int kResizeLargeImagesOnly = 1;

std::int32_t Saturated(double value) {
  if (!(value > 0.0)) return 0;  // also NaN
  if (value >= static_cast<double>(std::numeric_limits<std::int32_t>::max()))
    return std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(value);
}

// Percent targets round half to even (383.5 -> 384, 255.5 -> 256).
std::int32_t TargetLength(std::int32_t value, int unit, unsigned current) {
  if (unit == kUnitPixels) return value;
  if (unit == kUnitPercent) return Saturated(std::nearbyint(value / 100.0 * current));
  return 0;
}

FREE_IMAGE_FILTER FilterFor(int algorithm) {
  switch (algorithm) {
    case 0:
      return FILTER_BOX;
    case 1:
      return FILTER_BILINEAR;
    case 2:
      return FILTER_BSPLINE;
    case 3:
      return FILTER_BICUBIC;
    case 4:
      return FILTER_CATMULLROM;
    case 5:
      return FILTER_LANCZOS3;
    default:
      return FILTER_BICUBIC;
  }
}

// The ratio and the quotient are single precision on purpose: 3072 x 2048
// to a width of 1024 must give 683, as the product always has.
std::int32_t ScaledLength(std::int32_t target, unsigned longer, unsigned shorter) {
  const float ratio = static_cast<float>(longer) / static_cast<float>(shorter);
  return Saturated(std::round(static_cast<float>(target) / ratio));
}

// The sharper filters overshoot at edges. FreeImage clamps integer pixels,
// but leaves linear-light ones below zero, which no light is and which the
// HDR and PFM readers take differently.
void ClampNegativeLight(FIBITMAP* image) {
  if (!image || FreeImage_GetImageType(image) != FIT_RGBF) return;
  const unsigned width = FreeImage_GetWidth(image);
  for (unsigned y = 0; y < FreeImage_GetHeight(image); ++y) {
    auto* pixel = reinterpret_cast<FIRGBF*>(FreeImage_GetScanLine(image, y));
    for (unsigned x = 0; x < width; ++x, ++pixel) {
      if (pixel->red < 0.0f) pixel->red = 0.0f;
      if (pixel->green < 0.0f) pixel->green = 0.0f;
      if (pixel->blue < 0.0f) pixel->blue = 0.0f;
    }
  }
}

}  // namespace

ImageHandle ResizeImage(ImageHandle image, const StepContext& context) {
  const TransformSettings& transform = context.settings.transform;
  if (!image || !transform.doImageResize) return image;

  const unsigned width = FreeImage_GetWidth(image.get());
  const unsigned height = FreeImage_GetHeight(image.get());
  if (width == 0 || height == 0) return image;
  const std::int32_t targetWidth =
      TargetLength(transform.imageWidth, transform.imageWidthUnit, width);
  const std::int32_t targetHeight =
      TargetLength(transform.imageHeight, transform.imageHeightUnit, height);
  if (targetWidth <= 0 || targetHeight <= 0) return image;
  if (static_cast<unsigned>(targetWidth) == width && static_cast<unsigned>(targetHeight) == height)
    return image;
  if (transform.imageResizeType == kResizeLargeImagesOnly &&
      width < static_cast<unsigned>(targetWidth) && height < static_cast<unsigned>(targetHeight))
    return image;

  std::int32_t newWidth = targetWidth;
  std::int32_t newHeight = targetHeight;
  if (transform.keepAspectRatio) {
    if (width >= height) {
      newWidth = targetWidth;
      newHeight = ScaledLength(targetWidth, width, height);
    } else {
      newHeight = targetHeight;
      newWidth = ScaledLength(targetHeight, height, width);
    }
  }
  // A very long, thin image can round one side down to nothing.
  if (newWidth < 1 || newHeight < 1) return image;

  FIBITMAP* scaled = FreeImage_Rescale(image.get(), newWidth, newHeight,
                                       FilterFor(transform.imageResizeAlgorithm));
  ClampNegativeLight(scaled);
  image = ReplaceIfMade(std::move(image), scaled);
  context.file.workingWidth = static_cast<std::int32_t>(FreeImage_GetWidth(image.get()));
  context.file.workingHeight = static_cast<std::int32_t>(FreeImage_GetHeight(image.get()));
  return image;
}

}  // namespace lumafold
