#include "engine/run/preview_conversion.h"

#include <FreeImage.h>

#include <cmath>
#include <cstring>

#include "engine/image.h"
#include "engine/run/convert_file.h"
#include "engine/steps/pipeline_steps.h"
#include "engine/writers/write_output.h"

namespace lumafold {

namespace {

constexpr int kUnitPixels = 0;

// A length that was there stays at least one pixel, so a thin frame does
// not vanish from the small picture.
std::int32_t Scaled(std::int32_t length, double scale) {
  const auto scaled = static_cast<std::int32_t>(std::lround(length * scale));
  if (length > 0 && scaled < 1) return 1;
  if (length < 0 && scaled > -1) return -1;
  return scaled;
}

ImageHandle ToBitmap(const RgbPicture& picture) {
  ImageHandle bitmap(FreeImage_Allocate(picture.width, picture.height, 24, FI_RGBA_RED_MASK,
                                        FI_RGBA_GREEN_MASK, FI_RGBA_BLUE_MASK));
  if (!bitmap) return bitmap;
  const std::size_t rowBytes = static_cast<std::size_t>(picture.width) * 3;
  for (int y = 0; y < picture.height; ++y) {
    // FreeImage keeps the bottom row first.
    BYTE* out = FreeImage_GetScanLine(bitmap.get(), picture.height - 1 - y);
    const std::uint8_t* in = picture.rgb.data() + static_cast<std::size_t>(y) * rowBytes;
    for (int x = 0; x < picture.width; ++x, in += 3, out += 3) {
      out[FI_RGBA_RED] = in[0];
      out[FI_RGBA_GREEN] = in[1];
      out[FI_RGBA_BLUE] = in[2];
    }
  }
  return bitmap;
}

RgbPicture FromBitmap(FIBITMAP* bitmap) {
  RgbPicture picture;
  if (!bitmap || FreeImage_GetImageType(bitmap) != FIT_BITMAP || FreeImage_GetBPP(bitmap) != 24)
    return picture;
  picture.width = static_cast<int>(FreeImage_GetWidth(bitmap));
  picture.height = static_cast<int>(FreeImage_GetHeight(bitmap));
  picture.rgb.resize(static_cast<std::size_t>(picture.width) * picture.height * 3);
  std::uint8_t* out = picture.rgb.data();
  for (int y = 0; y < picture.height; ++y) {
    const BYTE* in = FreeImage_GetScanLine(bitmap, picture.height - 1 - y);
    for (int x = 0; x < picture.width; ++x, in += 3, out += 3) {
      out[0] = in[FI_RGBA_RED];
      out[1] = in[FI_RGBA_GREEN];
      out[2] = in[FI_RGBA_BLUE];
    }
  }
  return picture;
}

}  // namespace

ConversionSettings ScaledForPreview(ConversionSettings settings, double scale) {
  TransformSettings& transform = settings.transform;
  if (transform.imageWidthUnit == kUnitPixels)
    transform.imageWidth = Scaled(transform.imageWidth, scale);
  if (transform.imageHeightUnit == kUnitPixels)
    transform.imageHeight = Scaled(transform.imageHeight, scale);
  FrameSettings& frame = settings.frame;
  for (std::int32_t* width : {&frame.solidLeft, &frame.solidRight, &frame.solidTop,
                              &frame.solidBottom})
    *width = Scaled(*width, scale);
  WatermarkSettings& watermark = settings.watermark;
  for (std::int32_t* offset : {&watermark.textXOffset, &watermark.textYOffset,
                               &watermark.imageXOffset, &watermark.imageYOffset})
    *offset = Scaled(*offset, scale);
  return settings;
}

RgbPicture PreviewConversion(const RgbPicture& picture, const std::string& inputPath,
                             const ConversionSettings& settings, const ConversionJob& job,
                             double scale) {
  if (!picture.valid() || !(scale > 0.0)) return {};
  const ConversionSettings scaled = ScaledForPreview(settings, scale);
  ConversionJob previewJob = job;
  // The watermark's text and picture are drawn at their output size and
  // then shrunk with the picture, so glyphs keep their shapes.
  previewJob.layerScale = scale;
  FileConversion file;
  file.inputPath = inputPath;
  file.sourceBitDepth = 24;
  file.workingWidth = picture.width;
  file.workingHeight = picture.height;
  const StepContext context{scaled, previewJob, file};

  ImageHandle image = ToBitmap(picture);
  // The order of ConvertFile.
  image = RotateImage(std::move(image), context);
  image = ResizeImage(std::move(image), context);
  if (!image) return {};
  // A watermark's %width% and %height% name the written size, not this one.
  file.workingWidth = static_cast<std::int32_t>(
      std::lround(FreeImage_GetWidth(image.get()) / scale));
  file.workingHeight = static_cast<std::int32_t>(
      std::lround(FreeImage_GetHeight(image.get()) / scale));
  image = ApplyPictureSteps(std::move(image), context);
  if (!image) return {};
  // Depths above 24 bits look the same on screen; fewer bits (a palette,
  // grey, black and white) are what the file will hold, so they are shown.
  const std::int32_t target = EffectiveTargetDepth(previewJob, file);
  if (target > 0 && target < 24) {
    image = ConvertDepth(std::move(image), context);
    if (!image) return {};
  }
  if (FreeImage_GetImageType(image.get()) != FIT_BITMAP || FreeImage_GetBPP(image.get()) != 24)
    image = ReplaceIfMade(std::move(image), FreeImage_ConvertTo24Bits(image.get()));
  return FromBitmap(image.get());
}

}  // namespace lumafold
