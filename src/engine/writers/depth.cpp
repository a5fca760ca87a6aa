// Bit-depth conversion before saving: brings the image to the depth its
// output format is written at. Each conversion makes a new bitmap and the
// previous one is released at once, so at most two images exist.
#include <array>
#include <cmath>
#include <string_view>

#include "engine/writers/write_output.h"

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

// 8-bit code values that FreeImage's own 16-bit conversion would shift
// (white 255 becoming 65280) are scaled by 257 so that 255 is 65535.
// An image that is already 16 bits per channel is passed on as it is.
ImageHandle ToSixteenPerChannel(ImageHandle image) {
  const FREE_IMAGE_TYPE type = FreeImage_GetImageType(image.get());
  if (type == FIT_RGB16) return image;
  if (type != FIT_BITMAP) return ImageHandle(FreeImage_ConvertToRGB16(image.get()));
  if (FreeImage_GetBPP(image.get()) != 24 && FreeImage_GetBPP(image.get()) != 32) {
    image = ImageHandle(FreeImage_ConvertTo24Bits(image.get()));
    if (!image) return image;
  }
  const unsigned width = FreeImage_GetWidth(image.get());
  const unsigned height = FreeImage_GetHeight(image.get());
  const unsigned step = FreeImage_GetBPP(image.get()) / 8;
  ImageHandle wide(
      FreeImage_AllocateT(FIT_RGB16, static_cast<int>(width), static_cast<int>(height)));
  if (!wide) return wide;
  for (unsigned y = 0; y < height; ++y) {
    const BYTE* from = FreeImage_GetScanLine(image.get(), static_cast<int>(y));
    auto* to = reinterpret_cast<FIRGB16*>(FreeImage_GetScanLine(wide.get(), static_cast<int>(y)));
    for (unsigned x = 0; x < width; ++x, from += step) {
      to[x].red = static_cast<WORD>(from[FI_RGBA_RED] * 257);
      to[x].green = static_cast<WORD>(from[FI_RGBA_GREEN] * 257);
      to[x].blue = static_cast<WORD>(from[FI_RGBA_BLUE] * 257);
    }
  }
  FreeImage_SetDotsPerMeterX(wide.get(), FreeImage_GetDotsPerMeterX(image.get()));
  FreeImage_SetDotsPerMeterY(wide.get(), FreeImage_GetDotsPerMeterY(image.get()));
  return wide;
}

// The sRGB transfer function undone: code value (0..1) to linear light.
float LinearLight(double encoded) {
  return static_cast<float>(encoded <= 0.04045 ? encoded / 12.92
                                               : std::pow((encoded + 0.055) / 1.055, 2.4));
}

// The floating-point formats (EXR, HDR, PFM, float TIFF and JPEG XR) hold
// linear light, so sRGB code values are decoded rather than divided by the
// largest code (which would show mid-grey 128 as about 187). An image that
// is already floating point holds linear light and is passed on as it is.
ImageHandle ToLinearFloat(ImageHandle image) {
  const FREE_IMAGE_TYPE type = FreeImage_GetImageType(image.get());
  if (type == FIT_RGBF) return image;
  const bool sixteen = type == FIT_RGB16 || type == FIT_RGBA16;
  if (type != FIT_BITMAP && !sixteen) return ImageHandle(FreeImage_ConvertToRGBF(image.get()));
  if (!sixteen && FreeImage_GetBPP(image.get()) != 24 && FreeImage_GetBPP(image.get()) != 32) {
    image = ImageHandle(FreeImage_ConvertTo24Bits(image.get()));
    if (!image) return image;
  }
  static const std::array<float, 256> kFromEight = [] {
    std::array<float, 256> table{};
    for (int code = 0; code < 256; ++code) table[code] = LinearLight(code / 255.0);
    return table;
  }();
  const unsigned width = FreeImage_GetWidth(image.get());
  const unsigned height = FreeImage_GetHeight(image.get());
  ImageHandle linear(
      FreeImage_AllocateT(FIT_RGBF, static_cast<int>(width), static_cast<int>(height)));
  if (!linear) return linear;
  const unsigned step = FreeImage_GetBPP(image.get()) / (sixteen ? 16 : 8);
  for (unsigned y = 0; y < height; ++y) {
    auto* to = reinterpret_cast<FIRGBF*>(FreeImage_GetScanLine(linear.get(), static_cast<int>(y)));
    if (sixteen) {
      const auto* from =
          reinterpret_cast<const WORD*>(FreeImage_GetScanLine(image.get(), static_cast<int>(y)));
      for (unsigned x = 0; x < width; ++x, from += step) {
        to[x].red = LinearLight(from[0] / 65535.0);
        to[x].green = LinearLight(from[1] / 65535.0);
        to[x].blue = LinearLight(from[2] / 65535.0);
      }
    } else {
      const BYTE* from = FreeImage_GetScanLine(image.get(), static_cast<int>(y));
      for (unsigned x = 0; x < width; ++x, from += step) {
        to[x].red = kFromEight[from[FI_RGBA_RED]];
        to[x].green = kFromEight[from[FI_RGBA_GREEN]];
        to[x].blue = kFromEight[from[FI_RGBA_BLUE]];
      }
    }
  }
  FreeImage_SetDotsPerMeterX(linear.get(), FreeImage_GetDotsPerMeterX(image.get()));
  FreeImage_SetDotsPerMeterY(linear.get(), FreeImage_GetDotsPerMeterY(image.get()));
  return linear;
}

}  // namespace

// Some TIFF compressions are defined for one kind of pixel only: the CCITT
// fax codes for bilevel pictures, LogLuv for floating-point light, and JPEG
// (as FreeImage writes it) for 8-bit RGB. Given other pixels, FreeImage
// quietly writes LZW or Group 4 instead, so the pixels are brought to what
// the chosen compression codes (which also wins over CMYK, which the front
// ends refuse with those compressions). CMYK needs four inks: 8 bits each, or 16
// bits each from a 16-bit or floating-point picture (48 here; the writer
// adds the fourth channel).
bool TiffCompressionTakesCmyk(std::int32_t compression) {
  return compression == 0 || (compression >= 3 && compression <= 6);
}

std::int32_t TiffDepthFor(std::int32_t saveFlags, std::int32_t depth) {
  if (saveFlags & (TIFF_CCITTFAX3 | TIFF_CCITTFAX4)) return 1;
  if (saveFlags & TIFF_LOGLUV) return 96;
  if (saveFlags & TIFF_JPEG) return 24;
  if (saveFlags & TIFF_CMYK) return depth >= 48 ? 48 : 32;
  return depth;
}

std::int32_t AutomaticDepth(const std::vector<std::int32_t>& acceptedDepths,
                            std::int32_t sourceDepth) {
  for (std::int32_t depth : acceptedDepths) {
    if (depth >= sourceDepth) return depth;
  }
  return acceptedDepths.empty() ? 0 : acceptedDepths.back();
}

std::int32_t EffectiveTargetDepth(const ConversionJob& job, const FileConversion& file) {
  const std::int32_t depth = job.automaticDepth
                                 ? AutomaticDepth(job.outputBitDepths, file.sourceBitDepth)
                                 : job.targetBitDepth;
  if (job.outputExtension != "tiff") return depth;
  return TiffDepthFor(job.saveFlags, depth);
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
      return ToLinearFloat(std::move(image));
    case 48:
      return ToSixteenPerChannel(std::move(image));
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
