// Decoding straight into a FreeImage bitmap: the bitmap type per rendering,
// the top row at FreeImage's last scan line, the channels where FreeImage
// looks for them, every orientation turned upright exactly as the decoder's
// own buffer has it, and no bitmap when the file cannot be decoded.
#include "engine/steps/pcd_image.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "photocd/pcd_test_support.h"

namespace lumafold {
namespace {

using test_files::DecoderData;

// Value (x, y, channel c: 0 red, 1 green, 2 blue) of the upright picture as
// the bitmap holds it, on the scale of its own type.
double BitmapValue(FIBITMAP* image, int x, int y, int c) {
  const int height = static_cast<int>(FreeImage_GetHeight(image));
  const BYTE* line = FreeImage_GetScanLine(image, height - 1 - y);
  switch (FreeImage_GetImageType(image)) {
    case FIT_RGB16: {
      const FIRGB16& pixel = reinterpret_cast<const FIRGB16*>(line)[x];
      return c == 0 ? pixel.red : c == 1 ? pixel.green : pixel.blue;
    }
    case FIT_RGBF: {
      const FIRGBF& pixel = reinterpret_cast<const FIRGBF*>(line)[x];
      return c == 0 ? pixel.red : c == 1 ? pixel.green : pixel.blue;
    }
    default: {
      const BYTE* pixel = line + static_cast<std::size_t>(x) * 3;
      return pixel[c == 0 ? FI_RGBA_RED : c == 1 ? FI_RGBA_GREEN : FI_RGBA_BLUE];
    }
  }
}

double PictureValue(const pcd::Picture& picture, int x, int y, int c) {
  const std::size_t i = (static_cast<std::size_t>(y) * picture.width + x) * 3 + c;
  switch (picture.rendering) {
    case pcd::Rendering::Display16:
      return picture.rgb16[i];
    case pcd::Rendering::LinearFloat:
      return picture.rgbFloat[i];
    case pcd::Rendering::Display8:
      break;
  }
  return picture.rgb8[i];
}

TEST(DecodeFileToBitmap, HoldsTheDecodersPictureUprightInEveryRenderingAndOrientation) {
  struct Case {
    const char* file;
    int width;
    int height;
  };
  // Stored 0, 90, 180 and 270 degrees, one of them at 4Base (its bitmap is
  // readied on another thread while decoding, the Base ones are not worth
  // it); and a 16Base file cut short inside 4Base, so that the bitmap
  // readied for 16Base is not the one used.
  const Case cases[] = {{"base-kodak.pcd", 768, 512},
                        {"rotate-90.pcd", 1024, 1536},
                        {"rotate-180.pcd", 768, 512},
                        {"rotate-270.pcd", 512, 768},
                        {"truncated-16base.pcd", 1536, 1024}};
  struct Kind {
    pcd::Rendering rendering;
    FREE_IMAGE_TYPE type;
    unsigned bpp;
  };
  const Kind kinds[] = {{pcd::Rendering::Display8, FIT_BITMAP, 24},
                        {pcd::Rendering::Display16, FIT_RGB16, 48},
                        {pcd::Rendering::LinearFloat, FIT_RGBF, 96}};
  for (const Case& c : cases) {
    for (const Kind& kind : kinds) {
      SCOPED_TRACE(std::string(c.file) + " rendering " +
                   std::to_string(static_cast<int>(kind.rendering)));
      pcd::Request request;
      request.rendering = kind.rendering;
      const pcd::Result own = pcd::DecodeFile(DecoderData(c.file), request);
      ASSERT_TRUE(own.ok) << own.error;
      ImageHandle image;
      pcd::Request beside = request;
      beside.spareCore = true;
      const pcd::Result direct = DecodeFileToBitmap(DecoderData(c.file), beside, image);
      ASSERT_TRUE(direct.ok) << direct.error;
      ASSERT_TRUE(image);
      EXPECT_EQ(direct.picture.level, own.picture.level);
      EXPECT_TRUE(direct.picture.rgb8.empty() && direct.picture.rgb16.empty() &&
                  direct.picture.rgbFloat.empty())
          << "no second copy of the pixels";
      EXPECT_EQ(FreeImage_GetImageType(image.get()), kind.type);
      EXPECT_EQ(FreeImage_GetBPP(image.get()), kind.bpp);
      ASSERT_EQ(static_cast<int>(FreeImage_GetWidth(image.get())), c.width);
      ASSERT_EQ(static_cast<int>(FreeImage_GetHeight(image.get())), c.height);
      ASSERT_EQ(own.picture.width, c.width);
      ASSERT_EQ(own.picture.height, c.height);
      int differences = 0;
      for (int y = 0; y < c.height; ++y)
        for (int x = 0; x < c.width; ++x)
          for (int ch = 0; ch < 3; ++ch)
            if (BitmapValue(image.get(), x, y, ch) != PictureValue(own.picture, x, y, ch))
              ++differences;
      EXPECT_EQ(differences, 0);
    }
  }
}

// The spare core takes the lower half of the rows of the interpolation and
// colour steps: a real 16Base scan stored turned must come out the same to
// the last value.
TEST(DecodeWithASpareCore, GivesTheSamePictureAsOneThread) {
  using pcd_testing::ReadBytes;
  using test_files::Sample;
  const std::vector<std::uint8_t> bytes = ReadBytes(Sample("portrait-in-red.pcd"));
  ASSERT_FALSE(bytes.empty());
  pcd::Request request;
  request.rendering = pcd::Rendering::Display16;
  const pcd::Result alone = pcd::DecodeBytes(bytes, request);
  request.spareCore = true;
  const pcd::Result shared = pcd::DecodeBytes(bytes, request);
  ASSERT_TRUE(alone.ok && shared.ok) << alone.error << shared.error;
  EXPECT_EQ(shared.picture.level, pcd::Level::SixteenBase);
  EXPECT_EQ(shared.picture.width, 2048);
  EXPECT_EQ(shared.picture.height, 3072);
  EXPECT_TRUE(alone.picture.rgb16 == shared.picture.rgb16);
}

TEST(DecodeFileToBitmap, GivesNoBitmapWhenTheFileCannotBeDecoded) {
  for (const char* name : {"no-signature.pcd", "missing.pcd"}) {
    ImageHandle image;
    const pcd::Result result = DecodeFileToBitmap(DecoderData(name), pcd::Request{}, image);
    EXPECT_FALSE(result.ok) << name;
    EXPECT_FALSE(result.error.empty()) << name;
    EXPECT_FALSE(image) << name;
  }
  // A destination that cannot be had fails the decode instead of writing
  // anywhere.
  pcd::Request request;
  int asked = 0;
  request.destination = [&asked](int, int, pcd::Rendering) {
    ++asked;
    return pcd::Destination{};
  };
  const pcd::Result refused = pcd::DecodeFile(DecoderData("base-kodak.pcd"), request);
  EXPECT_EQ(asked, 1);
  EXPECT_FALSE(refused.ok);
  EXPECT_FALSE(refused.error.empty());
}

}  // namespace
}  // namespace lumafold
