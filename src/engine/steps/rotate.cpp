// Rotation step: turns the image by whole degrees, either growing the canvas
// and filling the uncovered corners with the back colour, or about the
// centre keeping the canvas and cutting the corners that leave it.
#include <FreeImage.h>

#include "engine/colour.h"
#include "engine/image_ops.h"
#include "engine/steps/pipeline_steps.h"

namespace lumafold {

namespace {

constexpr int kSimpleRotation = 0;
constexpr int kAdvancedRotation = 1;

FIBITMAP* RotateSimple(FIBITMAP* bitmap, int angle, const std::string& backColourText) {
  const RgbColour back = ParseColour(backColourText);
  RGBQUAD fill{};
  fill.rgbBlue = back.blue;
  fill.rgbGreen = back.green;
  fill.rgbRed = back.red;
  fill.rgbReserved = 0;
  return FreeImage_Rotate(bitmap, angle, &fill);
}

FIBITMAP* RotateAboutCentre(FIBITMAP* bitmap, int angle) {
  const double centreX = FreeImage_GetWidth(bitmap) / 2.0;
  const double centreY = FreeImage_GetHeight(bitmap) / 2.0;
  return FreeImage_RotateEx(bitmap, angle, 0.0, 0.0, centreX, centreY, FALSE);
}

}  // namespace

ImageHandle RotateImage(ImageHandle image, const StepContext& context) {
  const TransformSettings& transform = context.settings.transform;
  if (!image || !transform.doImageRotation) return image;
  const int angle = transform.imageRotation;
  if (angle < 1 || angle > 359) return image;

  // A quarter turn of the Photo CD decoder's 16-bit or linear-light picture
  // fills no corner, so it needs no back colour (whose type would have to
  // match the pixels) and keeps the precision.
  const FREE_IMAGE_TYPE type = FreeImage_GetImageType(image.get());
  if ((type == FIT_RGB16 || type == FIT_RGBF) && transform.imageRotationType == kSimpleRotation &&
      angle % 90 == 0) {
    image = ReplaceIfMade(std::move(image), FreeImage_Rotate(image.get(), angle, nullptr));
    context.file.workingWidth = static_cast<std::int32_t>(FreeImage_GetWidth(image.get()));
    context.file.workingHeight = static_cast<std::int32_t>(FreeImage_GetHeight(image.get()));
    return image;
  }
  // The library rotates 1-, 8-, 24- and 32-bit images; 16-bit and deep
  // images go through 24 bits, palettised ones too so the back colour is a
  // real colour rather than a palette index.
  const unsigned bitsPerPixel = FreeImage_GetBPP(image.get());
  if (bitsPerPixel <= 16 || bitsPerPixel > 32) image = ConvertedTo24Bits(std::move(image));

  FIBITMAP* rotated = nullptr;
  if (transform.imageRotationType == kSimpleRotation) {
    rotated = RotateSimple(image.get(), angle, transform.imageRotationBackColor);
  } else if (transform.imageRotationType == kAdvancedRotation) {
    rotated = RotateAboutCentre(image.get(), angle);
  } else {
    return image;
  }
  image = ReplaceIfMade(std::move(image), rotated);
  context.file.workingWidth = static_cast<std::int32_t>(FreeImage_GetWidth(image.get()));
  context.file.workingHeight = static_cast<std::int32_t>(FreeImage_GetHeight(image.get()));
  return image;
}

}  // namespace lumafold
