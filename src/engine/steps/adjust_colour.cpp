// Tonal steps, always in this order: colour correction (brightness,
// contrast, gamma and inversion in one library call), greyscale, threshold.
#include <FreeImage.h>

#include "engine/image_ops.h"
#include "engine/steps/pipeline_steps.h"

namespace lumafold {

namespace {

// Greyscale and threshold read 1- to 32-bit bitmaps; 48- and 64-bit images
// from the 16-bit-per-channel decoder go through 24 bits first.
ImageHandle WithoutDeepChannels(ImageHandle image) {
  if (FreeImage_GetBPP(image.get()) > 32) return ConvertedTo24Bits(std::move(image));
  return image;
}

}  // namespace

ImageHandle AdjustColours(ImageHandle image, const StepContext& context) {
  const AdjustmentSettings& adjustment = context.settings.adjustment;
  if (!image || !adjustment.doImageColorCorrection) return image;
  const unsigned bitsPerPixel = FreeImage_GetBPP(image.get());
  if (bitsPerPixel < 8 || bitsPerPixel > 32) image = ConvertedTo24Bits(std::move(image));
  // In place; on failure (a depth the library does not adjust) the image
  // goes on as it is.
  FreeImage_AdjustColors(image.get(), static_cast<double>(adjustment.imageBrightness),
                         static_cast<double>(adjustment.imageContrast),
                         static_cast<double>(adjustment.imageGamma), adjustment.imageInvert != 0);
  return image;
}

ImageHandle ApplyGreyscale(ImageHandle image, const StepContext& context) {
  if (!image || !context.settings.adjustment.doImageGreyscale) return image;
  image = WithoutDeepChannels(std::move(image));
  FIBITMAP* grey = FreeImage_ConvertToGreyscale(image.get());
  return ReplaceIfMade(std::move(image), grey);
}

ImageHandle ApplyThreshold(ImageHandle image, const StepContext& context) {
  const AdjustmentSettings& adjustment = context.settings.adjustment;
  if (!image || !adjustment.doImageThreshold) return image;
  image = WithoutDeepChannels(std::move(image));
  // The level is handed over as one byte, as the setting has always been.
  const auto level = static_cast<BYTE>(adjustment.imageThreshold);
  FIBITMAP* blackAndWhite = FreeImage_Threshold(image.get(), level);
  return ReplaceIfMade(std::move(image), blackAndWhite);
}

}  // namespace lumafold
