// Bit-depth conversion before saving: brings the image to the depth its
// output format is written at. Each conversion makes a new bitmap and the
// previous one is released at once, so at most two images exist.
#include <string_view>

#include "engine/write_output.h"

namespace lumafold {
namespace {

// FreeImage's plain 8-bit conversion turns a true-colour image into
// greyscale; these formats take it that way, the others get a palette.
// PGM is among them: it has no palette, and FreeImage writes the indices of
// a quantized image as grey levels, which gives noise instead of a picture.
bool TakesGreyscaleEight(std::string_view key) {
  return key == "j2k" || key == "jp2" || key == "jpg" || key == "jxr" || key == "pgm";
}

// The 5-5-5 layout for the formats whose 16-bit pixels are defined that
// way (Targa, and icons, which Windows reads as 5-5-5); 5-6-5 elsewhere.
bool TakesFiveFiveFive(std::string_view key) { return key == "ico" || key == "tga"; }

ImageHandle ToPalette(ImageHandle image) {
  if (FreeImage_GetBPP(image.get()) != 24) {
    image = ImageHandle(FreeImage_ConvertTo24Bits(image.get()));
    if (!image) return image;
  }
  return ImageHandle(FreeImage_ColorQuantizeEx(image.get(), FIQ_WUQUANT, 256, 0, nullptr));
}

ImageHandle ToSixteen(ImageHandle image, std::string_view key) {
  if (FreeImage_GetBPP(image.get()) > 32) {
    image = ImageHandle(FreeImage_ConvertTo24Bits(image.get()));
    if (!image) return image;
  }
  return ImageHandle(TakesFiveFiveFive(key) ? FreeImage_ConvertTo16Bits555(image.get())
                                            : FreeImage_ConvertTo16Bits565(image.get()));
}

}  // namespace

std::int32_t AutomaticDepth(const std::vector<std::int32_t>& acceptedDepths,
                            std::int32_t sourceDepth) {
  for (std::int32_t depth : acceptedDepths) {
    if (depth >= sourceDepth) return depth;
  }
  return acceptedDepths.empty() ? 0 : acceptedDepths.back();
}

std::int32_t EffectiveTargetDepth(const ConversionJob& job, const FileConversion& file) {
  if (job.automaticDepth) return AutomaticDepth(job.outputBitDepths, file.sourceBitDepth);
  return job.targetBitDepth;
}

ImageHandle ConvertDepth(ImageHandle image, const StepContext& context) {
  const std::int32_t target = EffectiveTargetDepth(context.job, context.file);
  context.file.targetBitDepth = target;
  if (!image) return image;
  // The Photo CD decoder's 16-bit values and linear light already are what
  // 48- and 96-bit outputs hold; any conversion could only lose precision.
  const FREE_IMAGE_TYPE type = FreeImage_GetImageType(image.get());
  if ((target == 48 && type == FIT_RGB16) || (target == 96 && type == FIT_RGBF)) return image;
  if (static_cast<std::int32_t>(FreeImage_GetBPP(image.get())) == target) return image;

  FIBITMAP* current = image.get();
  const std::string_view key = context.job.outputExtension;
  switch (target) {
    case 96:
      return ImageHandle(FreeImage_ConvertToRGBF(current));
    case 48:
      return ImageHandle(FreeImage_ConvertToRGB16(current));
    case 32:
      return ImageHandle(FreeImage_ConvertTo32Bits(current));
    case 24:
      return ImageHandle(FreeImage_ConvertTo24Bits(current));
    case 16:
      return ToSixteen(std::move(image), key);
    case 8:
      if (TakesGreyscaleEight(key)) return ImageHandle(FreeImage_ConvertTo8Bits(current));
      return ToPalette(std::move(image));
    case 4:
      return ImageHandle(FreeImage_ConvertTo4Bits(current));
    case 1:
      return ImageHandle(FreeImage_Dither(current, FID_FS));
    default:
      // A depth no format accepts (a hand-edited settings file): no image,
      // so the file fails at saving rather than being written at a depth
      // nobody asked for.
      return ImageHandle();
  }
}

}  // namespace lumafold
