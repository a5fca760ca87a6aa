// The exact-colour-table 8-bit BMP: the colour table holds only the
// entries up to the highest index used, and the headers agree with it.
#include "output_test_support.h"

namespace lumafold {
namespace {
using namespace output_testing;

// 8-bit palette image whose pixels use the indices 0 to 9 only; the rest
// of the 256-entry palette is filled too, so a writer that kept it would
// show.
ImageHandle TenColourImage(int width, int height) {
  ImageHandle image(FreeImage_Allocate(width, height, 8));
  RGBQUAD* palette = FreeImage_GetPalette(image.get());
  for (int i = 0; i < 256; ++i) {
    palette[i].rgbRed = static_cast<BYTE>(i * 25);
    palette[i].rgbGreen = static_cast<BYTE>(255 - i * 13);
    palette[i].rgbBlue = static_cast<BYTE>(i * 7);
  }
  for (int y = 0; y < height; ++y) {
    BYTE* row = FreeImage_GetScanLine(image.get(), y);
    for (int x = 0; x < width; ++x) row[x] = static_cast<BYTE>((x / 3 + y) % 10);
  }
  return image;
}

struct ExactBmp : OutputCase {
  explicit ExactBmp(int compression) {
    settings.output.bmpColorTable = 1;
    settings.output.bmpCompression = compression;
    prepare("bmp", 8);
  }
};

// Same picture pixel for pixel, read back by ImageMagick.
void ExpectSamePixels(const std::string& written, FIBITMAP* original, const ScratchFolder& folder) {
  const std::string reference = folder.path() + "reference.png";
  ASSERT_TRUE(FreeImage_Save(FIF_PNG, original, reference.c_str(), 0));
  EXPECT_EQ(
      RunCapture("compare -metric AE 'bmp:" + written + "' 'png:" + reference + "' null: 2>&1"),
      "0");
}

TEST(OutputExactBmp, TenEntryColourTable) {
  ScratchFolder folder;
  ExactBmp output(0);
  ImageHandle original = TenColourImage(30, 20);
  const std::string path = folder.path() + "ten.bmp";
  ASSERT_TRUE(output.convertAndWrite(ImageHandle(FreeImage_Clone(original.get())), path));

  const std::vector<unsigned char> bytes = ReadBytes(path);
  ASSERT_GE(bytes.size(), 94u);
  const std::uint32_t rowBytes = 32;  // 30 pixels padded to 4 bytes
  EXPECT_EQ(bytes[0], 'B');
  EXPECT_EQ(bytes[1], 'M');
  EXPECT_EQ(Le32(bytes, 2), bytes.size());  // file size field
  EXPECT_EQ(Le32(bytes, 10), 94u);          // pixel data offset 54 + 4 x 10
  EXPECT_EQ(Le32(bytes, 14), 40u);          // information header
  EXPECT_EQ(Le16(bytes, 28), 8);
  EXPECT_EQ(Le32(bytes, 30), 0u);             // no compression
  EXPECT_EQ(Le32(bytes, 34), rowBytes * 20);  // image size
  EXPECT_EQ(Le32(bytes, 46), 10u);            // colours used
  EXPECT_EQ(Le32(bytes, 50), 10u);            // important colours
  EXPECT_EQ(bytes.size(), 94u + rowBytes * 20);
  // The table is the image's first ten entries, blue-green-red-reserved.
  const RGBQUAD* palette = FreeImage_GetPalette(original.get());
  for (int i = 0; i < 10; ++i) {
    EXPECT_EQ(bytes[54 + 4 * i], palette[i].rgbBlue) << i;
    EXPECT_EQ(bytes[55 + 4 * i], palette[i].rgbGreen) << i;
    EXPECT_EQ(bytes[56 + 4 * i], palette[i].rgbRed) << i;
  }

  const Identified read = Identify("bmp", path);
  ASSERT_TRUE(read.read);
  EXPECT_EQ(read.width, 30);
  EXPECT_EQ(read.height, 20);
  EXPECT_EQ(read.type, "Palette");
  ExpectSamePixels(path, original.get(), folder);
}

TEST(OutputExactBmp, RunLengthEncodedPixels) {
  ScratchFolder folder;
  ExactBmp output(1);
  ImageHandle original = TenColourImage(30, 20);
  const std::string path = folder.path() + "rle.bmp";
  ASSERT_TRUE(output.convertAndWrite(ImageHandle(FreeImage_Clone(original.get())), path));

  const std::vector<unsigned char> bytes = ReadBytes(path);
  ASSERT_GE(bytes.size(), 94u);
  EXPECT_EQ(Le32(bytes, 2), bytes.size());
  EXPECT_EQ(Le32(bytes, 10), 94u);
  EXPECT_EQ(Le32(bytes, 30), 1u);  // BI_RLE8
  EXPECT_EQ(Le32(bytes, 34), bytes.size() - 94);
  EXPECT_EQ(Le32(bytes, 46), 10u);
  ExpectSamePixels(path, original.get(), folder);
}

// A true-colour picture quantized for the 8-bit BMP: the table ends at the
// highest index the quantizer used, and the headers follow it.
TEST(OutputExactBmp, QuantizedSampleHeadersAgree) {
  ScratchFolder folder;
  ExactBmp output(0);
  const std::string path = folder.path() + "sample.bmp";
  ASSERT_TRUE(output.convertAndWrite(LoadSampleTga(), path));
  const std::vector<unsigned char> bytes = ReadBytes(path);
  ASSERT_GE(bytes.size(), 54u);
  const std::uint32_t colours = Le32(bytes, 46);
  EXPECT_GE(colours, 2u);
  EXPECT_LE(colours, 256u);
  EXPECT_EQ(Le32(bytes, 10), 54 + 4 * colours);
  EXPECT_EQ(Le32(bytes, 2), bytes.size());
  EXPECT_EQ(bytes.size(), 54 + 4 * colours + 384u * 256u);
  const Identified read = Identify("bmp", path);
  ASSERT_TRUE(read.read);
  EXPECT_EQ(read.width, 384);
  EXPECT_EQ(read.height, 256);
}

// Without "BMP Color Table" the library's writer keeps its full table.
TEST(OutputExactBmp, OffWritesTheFullTable) {
  ScratchFolder folder;
  OutputCase output;
  output.settings.output.bmpColorTable = 0;
  ASSERT_TRUE(output.prepare("bmp", 8));
  const std::string path = folder.path() + "full.bmp";
  ASSERT_TRUE(output.convertAndWrite(TenColourImage(30, 20), path));
  const std::vector<unsigned char> bytes = ReadBytes(path);
  ASSERT_GE(bytes.size(), 54u);
  EXPECT_EQ(Le32(bytes, 10), 1078u);
}

TEST(OutputExactBmp, RefusesImagesThatAreNotEightBit) {
  ScratchFolder folder;
  const std::string path = folder.path() + "wrong.bmp";
  EXPECT_FALSE(WriteExactColourTableBmp(GradientImage(8, 8).get(), FIF_BMP, 0, path));
  EXPECT_FALSE(WriteExactColourTableBmp(nullptr, FIF_BMP, 0, path));
  EXPECT_TRUE(folder.entries().empty());
}

}  // namespace
}  // namespace lumafold
