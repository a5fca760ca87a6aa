// JPEG XR from a FreeImage bitmap: picks the jxrlib pixel layout that
// matches the bitmap's memory and hands its rows over top-down. Debian's
// FreeImage cannot write this format itself (see jxr_encoder.h).
#include "engine/writers/jxr_encoder.h"
#include "engine/writers/write_output.h"

namespace lumafold {
namespace {

// jxrlib takes rows top-down while FreeImage keeps them bottom-up; the
// bitmap is turned in place for the write and back afterwards, which costs
// no second copy of the pixels.
class TopDownRows {
 public:
  explicit TopDownRows(FIBITMAP* image) : image_(image) { FreeImage_FlipVertical(image_); }
  ~TopDownRows() { FreeImage_FlipVertical(image_); }
  TopDownRows(const TopDownRows&) = delete;
  TopDownRows& operator=(const TopDownRows&) = delete;

 private:
  FIBITMAP* image_;
};

// The layout matching the bitmap's memory, or false when the bitmap has to
// be brought to 24 bits first (a colour palette, an unusual type).
bool LayoutOf(FIBITMAP* image, JxrPixelLayout& layout) {
  switch (FreeImage_GetImageType(image)) {
    case FIT_RGB16:
      layout = JxrPixelLayout::Rgb48;
      return true;
    case FIT_RGBF:
      layout = JxrPixelLayout::RgbFloat96;
      return true;
    case FIT_BITMAP:
      break;
    default:
      return false;
  }
  switch (FreeImage_GetBPP(image)) {
    case 1:
      // A set bit is white to jxrlib, as in the black-first palette that
      // FreeImage's dithering makes.
      layout = JxrPixelLayout::BlackWhite;
      return FreeImage_GetColorType(image) == FIC_MINISBLACK;
    case 8:
      layout = JxrPixelLayout::Gray8;
      return FreeImage_GetColorType(image) == FIC_MINISBLACK;
    case 16:
      layout = FreeImage_GetGreenMask(image) == FI16_565_GREEN_MASK ? JxrPixelLayout::Rgb565
                                                                    : JxrPixelLayout::Rgb555;
      return true;
    case 24:
      layout = JxrPixelLayout::Bgr24;
      return true;
    case 32:
      layout = JxrPixelLayout::Bgra32;
      return true;
    default:
      return false;
  }
}

float DotsPerInch(unsigned dotsPerMetre) {
  return dotsPerMetre ? static_cast<float>(dotsPerMetre * 0.0254) : 72.0f;
}

bool Encode(FIBITMAP* image, JxrPixelLayout layout, const std::string& path) {
  TopDownRows rows(image);
  return EncodeJpegXrLossless(path, layout, FreeImage_GetWidth(image), FreeImage_GetHeight(image),
                              FreeImage_GetBits(image), FreeImage_GetPitch(image),
                              DotsPerInch(FreeImage_GetDotsPerMeterX(image)),
                              DotsPerInch(FreeImage_GetDotsPerMeterY(image)));
}

}  // namespace

bool WriteJpegXr(FIBITMAP* image, const std::string& path) {
  if (!image || FreeImage_GetWidth(image) == 0 || FreeImage_GetHeight(image) == 0) return false;
  JxrPixelLayout layout;
  if (LayoutOf(image, layout)) return Encode(image, layout, path);
  ImageHandle trueColour(FreeImage_ConvertTo24Bits(image));
  return trueColour && Encode(trueColour.get(), JxrPixelLayout::Bgr24, path);
}

}  // namespace lumafold
