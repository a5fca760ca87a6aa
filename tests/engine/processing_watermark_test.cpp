// The watermark step: text and picture layers, placement, cropping, and the
// font check both front ends run before a text-watermark run.
#include <gtest/gtest.h>
#include <pango/pangocairo.h>
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "engine/steps/font_loader.h"
#include "processing_test_support.h"

namespace lumafold {
namespace {

using namespace lumafold::testing;

struct Box {
  int left = -1, top = -1, right = -1, bottom = -1;  // inclusive; -1 when empty
  int width() const { return left < 0 ? 0 : right - left + 1; }
  int height() const { return top < 0 ? 0 : bottom - top + 1; }
};

// The bounding box of the pixels for which `counts` holds.
template <typename Predicate>
Box BoxWhere(FIBITMAP* image, Predicate counts) {
  Box box;
  for (unsigned y = 0; y < FreeImage_GetHeight(image); ++y)
    for (unsigned x = 0; x < FreeImage_GetWidth(image); ++x) {
      if (!counts(PixelAt(image, x, y))) continue;
      const int ix = static_cast<int>(x), iy = static_cast<int>(y);
      if (box.left < 0 || ix < box.left) box.left = ix;
      if (box.top < 0 || iy < box.top) box.top = iy;
      box.right = std::max(box.right, ix);
      box.bottom = std::max(box.bottom, iy);
    }
  return box;
}

// The bounding box of the pixels that differ from `background`.
Box ChangedArea(FIBITMAP* image, Rgb background, int tolerance = 0) {
  return BoxWhere(image, [&](Rgb pixel) { return !Near(pixel, background, tolerance); });
}

Box AreaOf(FIBITMAP* image, Rgb colour, int tolerance = 0) {
  return BoxWhere(image, [&](Rgb pixel) { return Near(pixel, colour, tolerance); });
}

class ScratchFolder {
 public:
  ScratchFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "lumafold-wm-XXXXXX").string();
    if (mkdtemp(pattern.data())) path_ = pattern;
  }
  ~ScratchFolder() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  std::string file(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

// A picture of width x height: left half `left`, right half `right`.
std::string WritePicture(const ScratchFolder& folder, const std::string& name,
                         FREE_IMAGE_FORMAT format, int width, int height, Rgb left, Rgb right,
                         int bitsPerPixel = 24, int alpha = 255) {
  ImageHandle picture(FreeImage_Allocate(width, height, bitsPerPixel));
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      SetPixel(picture.get(), x, y, x < width / 2 ? left : right, alpha);
  const std::string path = folder.file(name);
  EXPECT_TRUE(FreeImage_Save(format, picture.get(), path.c_str(), 0));
  return path;
}

class WatermarkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WatermarkSettings& w = watermark();
    w.font = "Liberation Sans";
    w.fontSize = 14;
    w.fontColor = "FFFFFF";
    w.backColor = "000000";
    w.backOpacity = 255;
    w.textOpacity = 255;
    w.textPadding = 0;
    w.textAntialiasing = 0;
    w.textPosition = 0;
    w.textXOffset = 0;
    w.textYOffset = 0;
    w.imagePosition = 0;
    w.imageXOffset = 0;
    w.imageYOffset = 0;
  }
  WatermarkSettings& watermark() { return bench.settings.watermark; }

  void Text(const std::string& text) {
    watermark().doWatermark = 1;
    watermark().text = text;
  }
  void Picture(const std::string& path, int position, int xOffset, int yOffset) {
    watermark().doWatermark = 2;
    watermark().image = path;
    watermark().imagePosition = static_cast<std::int8_t>(position);
    watermark().imageXOffset = xOffset;
    watermark().imageYOffset = yOffset;
  }
  ImageHandle Stamped(int width, int height, Rgb colour = {0, 0, 255}, int bitsPerPixel = 24) {
    return DrawWatermark(SolidImage(width, height, colour, bitsPerPixel), bench.context());
  }
  // The black box of a text watermark at the top-left corner of a blue image.
  Box TextBox(const std::string& text) {
    Text(text);
    ImageHandle image = Stamped(400, 200);
    return ChangedArea(image.get(), kBlue);
  }

  StepBench bench;
  ScratchFolder folder;
};

TEST_F(WatermarkTest, AnchorsFollowThePositionTableWithOffsets) {
  const std::string picture = WritePicture(folder, "layer.bmp", FIF_BMP, 200, 40, kRed, kRed);
  struct Case {
    int position;
    int x, y;  // expected top-left for offsets 10, 10 on 800 x 600
  };
  const Case cases[] = {{0, 10, 10},   {1, 300, 10}, {2, 590, 10},  {3, 10, 280},  {4, 300, 280},
                        {5, 590, 280}, {6, 10, 550}, {7, 300, 550}, {8, 590, 550}, {9, 0, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.position);
    Picture(picture, c.position, 10, 10);
    ImageHandle image = Stamped(800, 600, kWhite);
    const Box red = AreaOf(image.get(), kRed);
    EXPECT_EQ(red.left, c.x);
    EXPECT_EQ(red.top, c.y);
    EXPECT_EQ(red.width(), 200);
    EXPECT_EQ(red.height(), 40);
  }
  // Centred axes take no offset at all.
  Picture(picture, 4, 77, -33);
  ImageHandle centred = Stamped(800, 600, kWhite);
  EXPECT_EQ(AreaOf(centred.get(), kRed).left, 300);
  EXPECT_EQ(AreaOf(centred.get(), kRed).top, 280);
  // Halves truncate: (801 - 200) / 2 = 300.
  ImageHandle odd = Stamped(801, 601, kWhite);
  EXPECT_EQ(AreaOf(odd.get(), kRed).left, 300);
  EXPECT_EQ(AreaOf(odd.get(), kRed).top, 280);
}

TEST_F(WatermarkTest, FrameBoundaryPlacesInsideTheFrame) {
  const std::string picture = WritePicture(folder, "layer.bmp", FIF_BMP, 200, 40, kRed, kRed);
  FrameSettings& frame = bench.settings.frame;
  frame.doFrame = 1;
  frame.solidLeft = frame.solidRight = frame.solidTop = frame.solidBottom = 20;
  watermark().imageBoundary = 1;
  Picture(picture, 0, 10, 10);
  ImageHandle inside = Stamped(800, 600, kWhite);
  EXPECT_EQ(AreaOf(inside.get(), kRed).left, 30);
  EXPECT_EQ(AreaOf(inside.get(), kRed).top, 30);

  Picture(picture, 8, 10, 10);  // 760 x 560 area shifted by (20, 20)
  ImageHandle corner = Stamped(800, 600, kWhite);
  EXPECT_EQ(AreaOf(corner.get(), kRed).left, 20 + 760 - 200 - 10);
  EXPECT_EQ(AreaOf(corner.get(), kRed).top, 20 + 560 - 40 - 10);

  // Boundary "image", or no frame: the whole image is the area.
  watermark().imageBoundary = 0;
  Picture(picture, 0, 10, 10);
  ImageHandle whole = Stamped(800, 600, kWhite);
  EXPECT_EQ(AreaOf(whole.get(), kRed).left, 10);
  watermark().imageBoundary = 1;
  frame.doFrame = 0;
  ImageHandle unframed = Stamped(800, 600, kWhite);
  EXPECT_EQ(AreaOf(unframed.get(), kRed).left, 10);
}

// The run's checks accept any picture file, so the step draws every format
// the image library reads, not only the PNG, BMP and JPEG the dialog
// offers: a palette GIF, a TIFF and a Targa written by another program.
TEST_F(WatermarkTest, GifTiffAndTargaPicturesAreDrawn) {
  const std::string bmp = WritePicture(folder, "layer.bmp", FIF_BMP, 60, 40, kRed, kRed);
  for (const std::string format : {"gif", "tiff", "tga"}) {
    SCOPED_TRACE(format);
    const std::string path = folder.file("layer." + format);
    ASSERT_EQ(std::system(("convert 'bmp:" + bmp + "' '" + format + ":" + path + "'").c_str()), 0);
    Picture(path, 0, 10, 10);
    ImageHandle image = Stamped(200, 100, kWhite);
    const Box red = AreaOf(image.get(), kRed);
    EXPECT_EQ(red.left, 10);
    EXPECT_EQ(red.top, 10);
    EXPECT_EQ(red.width(), 60);
    EXPECT_EQ(red.height(), 40);
  }
}

TEST_F(WatermarkTest, LayersWiderThanTheAreaAreCutAtItsEdge) {
  // Left half red, right half green: only the layer's left part may remain.
  const std::string picture = WritePicture(folder, "halves.bmp", FIF_BMP, 200, 40, kRed, kGreen);
  Picture(picture, 0, 700, 10);
  ImageHandle image = Stamped(800, 600, kWhite);
  const Box red = AreaOf(image.get(), kRed);
  EXPECT_EQ(red.left, 700);
  EXPECT_EQ(red.right, 799);
  EXPECT_EQ(AreaOf(image.get(), kGreen).width(), 0);

  // Inside a frame the cut is at the frame's inner edge.
  FrameSettings& frame = bench.settings.frame;
  frame.doFrame = 1;
  frame.solidLeft = frame.solidRight = frame.solidTop = frame.solidBottom = 20;
  frame.solidOpacity = 0;  // the frame itself stays invisible here
  watermark().imageBoundary = 1;
  Picture(picture, 0, 700, 10);
  ImageHandle framed = Stamped(800, 600, kWhite);
  EXPECT_EQ(AreaOf(framed.get(), kRed).left, 720);
  EXPECT_EQ(AreaOf(framed.get(), kRed).right, 779);

  // Taller than the area from its y offset: cut at the bottom.
  frame.doFrame = 0;
  Picture(picture, 6, 0, -20);  // bottom-left, 20 pixels below the edge
  ImageHandle low = Stamped(300, 100, kWhite);
  EXPECT_EQ(AreaOf(low.get(), kRed).top, 80);
  EXPECT_EQ(AreaOf(low.get(), kRed).bottom, 99);

  // An offset past the area leaves nothing to draw.
  Picture(picture, 0, 900, 10);
  ImageHandle beyond = Stamped(800, 600, kWhite);
  EXPECT_EQ(ChangedArea(beyond.get(), kWhite).width(), 0);
}

TEST_F(WatermarkTest, NegativeOffsetsKeepTheVisiblePart) {
  const std::string picture = WritePicture(folder, "halves.bmp", FIF_BMP, 200, 40, kRed, kGreen);
  Picture(picture, 0, -150, -10);
  ImageHandle image = Stamped(400, 300, kWhite);
  const Box green = AreaOf(image.get(), kGreen);
  EXPECT_EQ(green.left, 0);
  EXPECT_EQ(green.right, 49);
  EXPECT_EQ(green.top, 0);
  EXPECT_EQ(green.bottom, 29);
  EXPECT_EQ(AreaOf(image.get(), kRed).width(), 0);
}

TEST_F(WatermarkTest, PicturesKeepAlphaTakeOpacityAndTheGreyFilter) {
  const std::string opaque = WritePicture(folder, "opaque.bmp", FIF_BMP, 20, 10, kRed, kRed);
  Picture(opaque, 0, 0, 0);
  watermark().imageOpacity = 255;
  ImageHandle solid = Stamped(50, 50, kWhite);
  EXPECT_TRUE(Near(PixelAt(solid.get(), 5, 5), kRed, 0));  // no loss on the way

  // A picture without alpha is drawn on black: the opacity darkens it.
  watermark().imageOpacity = 128;
  ImageHandle darker = Stamped(50, 50, kWhite);
  EXPECT_TRUE(Near(PixelAt(darker.get(), 5, 5), {128, 0, 0}, 2));

  // With alpha the image shows through (254: FreeImage writes a wholly
  // opaque 32-bit picture as RGB).
  const std::string translucent =
      WritePicture(folder, "alpha.png", FIF_PNG, 20, 10, kRed, kRed, 32, 254);
  Picture(translucent, 0, 0, 0);
  ImageHandle blended = Stamped(50, 50, kWhite);
  EXPECT_TRUE(Near(PixelAt(blended.get(), 5, 5), {255, 127, 127}, 2));
  const std::string clear = WritePicture(folder, "clear.png", FIF_PNG, 20, 10, kRed, kRed, 32, 0);
  Picture(clear, 0, 0, 0);
  watermark().imageOpacity = 255;
  ImageHandle invisible = Stamped(50, 50, kWhite);
  EXPECT_TRUE(Near(PixelAt(invisible.get(), 5, 5), kWhite, 0));

  // Grey: (77 x 255) >> 8 = 76 for pure red; JPEG pictures load as well.
  watermark().imageGreyscale = 1;
  Picture(opaque, 0, 0, 0);
  ImageHandle grey = Stamped(50, 50, kWhite);
  EXPECT_TRUE(Near(PixelAt(grey.get(), 5, 5), {76, 76, 76}, 0));
  const std::string jpeg = WritePicture(folder, "green.jpg", FIF_JPEG, 32, 16, kGreen, kGreen);
  Picture(jpeg, 0, 0, 0);
  ImageHandle greyJpeg = Stamped(50, 50, kWhite);
  EXPECT_TRUE(Near(PixelAt(greyJpeg.get(), 8, 8), {149, 149, 149}, 4));
}

TEST_F(WatermarkTest, LayerRotationTurnsIt) {
  const std::string picture = WritePicture(folder, "layer.bmp", FIF_BMP, 60, 20, kRed, kRed);
  Picture(picture, 0, 0, 0);
  watermark().imageRotation = 90;
  ImageHandle turned = Stamped(100, 100, kWhite);
  EXPECT_EQ(AreaOf(turned.get(), kRed).width(), 20);
  EXPECT_EQ(AreaOf(turned.get(), kRed).height(), 60);
  // The corners uncovered by an odd angle stay transparent.
  watermark().imageRotation = 45;
  ImageHandle tilted = Stamped(100, 100, kWhite);
  EXPECT_TRUE(Near(PixelAt(tilted.get(), 0, 0), kWhite, 0));
  EXPECT_GT(AreaOf(tilted.get(), kRed).width(), 50);
  for (int angle : {0, 360, -90}) {
    watermark().imageRotation = angle;
    ImageHandle straight = Stamped(100, 100, kWhite);
    EXPECT_EQ(AreaOf(straight.get(), kRed).width(), 60) << angle;
  }
}

TEST_F(WatermarkTest, UnusablePicturesLeaveTheImageAsStepOneMadeIt) {
  const std::string notAPicture = folder.file("notes.png");
  FILE* file = fopen(notAPicture.c_str(), "w");
  ASSERT_NE(file, nullptr);
  fputs("not a picture\n", file);
  fclose(file);
  for (const std::string& path : {folder.file("missing.png"), notAPicture, std::string()}) {
    SCOPED_TRACE(path);
    Picture(path, 0, 0, 0);
    ImageHandle image = PatternImage(30, 20);
    ImageHandle withAlpha(FreeImage_ConvertTo32Bits(image.get()));
    ImageHandle result = DrawWatermark(std::move(withAlpha), bench.context());
    EXPECT_EQ(FreeImage_GetBPP(result.get()), 24u);
    EXPECT_TRUE(SamePixels(result.get(), image.get()));
  }
  // Kind 0 passes the very same image on, even when it is 32-bit.
  watermark().doWatermark = 0;
  ImageHandle untouched = SolidImage(10, 10, kWhite, 32);
  FIBITMAP* before = untouched.get();
  untouched = DrawWatermark(std::move(untouched), bench.context());
  EXPECT_EQ(untouched.get(), before);
}

TEST_F(WatermarkTest, SeveralLinesGetTheMinimumLineBoxLeadingAndPadding) {
  const Box first = TextBox("Line 1");
  const Box second = TextBox("Second line");
  ASSERT_GT(first.height(), 10);
  const int lineHeight = std::max({first.height(), second.height(), 10});

  watermark().fontLeading = 4;
  watermark().textPadding = 5;
  const Box two = TextBox("Line 1%EOL%Second line");
  EXPECT_EQ(two.left, 0);
  EXPECT_EQ(two.height(), 2 * lineHeight + 4 + 10);
  EXPECT_EQ(two.width(), std::max(first.width(), second.width()) + 10);

  // One line is measured as it is; several get at least 10 pixels a line.
  watermark().fontSize = 4;
  watermark().fontLeading = 0;
  watermark().textPadding = 0;
  const Box tiny = TextBox(".");
  EXPECT_LT(tiny.height(), 10);
  EXPECT_LT(tiny.width(), 10);
  const Box tinyTwo = TextBox(".%eol%.");
  EXPECT_EQ(tinyTwo.height(), 20);
  EXPECT_EQ(tinyTwo.width(), 10);
}

TEST_F(WatermarkTest, LinesAlignInsideTheBox) {
  watermark().textPadding = 6;
  watermark().backColor = "000000";
  watermark().fontColor = "FFFFFF";
  const std::string text = "WWWWWWWW%eol%ii";
  auto secondLineInk = [&](int alignment) {
    watermark().textAlignment = static_cast<std::int8_t>(alignment);
    Text(text);
    ImageHandle image = Stamped(400, 200);
    const Box box = ChangedArea(image.get(), kBlue);
    // White ink in the lower half of the box belongs to the second line.
    Box ink;
    for (int y = box.top + box.height() / 2; y <= box.bottom; ++y)
      for (int x = box.left; x <= box.right; ++x) {
        if (PixelAt(image.get(), x, y).red < 128) continue;
        if (ink.left < 0 || x < ink.left) ink.left = x;
        ink.right = std::max(ink.right, x);
      }
    return std::pair<Box, Box>(box, ink);
  };
  const auto [leftBox, leftInk] = secondLineInk(0);
  const auto [centreBox, centreInk] = secondLineInk(1);
  const auto [rightBox, rightInk] = secondLineInk(2);
  ASSERT_GT(leftInk.width(), 0);
  EXPECT_LE(std::abs(leftInk.left - 6), 3);
  const int centre = (centreInk.left + centreInk.right) / 2;
  EXPECT_LE(std::abs(centre - centreBox.width() / 2), 3);
  EXPECT_LE(std::abs(rightInk.right - (rightBox.width() - 1 - 6)), 3);
  EXPECT_EQ(leftBox.width(), rightBox.width());
}

TEST_F(WatermarkTest, PlainAndAntialiasedRenderingWithTheirOpacities) {
  Text("Watermark");
  watermark().textAntialiasing = 0;
  ImageHandle plain = Stamped(300, 100);
  const Box box = ChangedArea(plain.get(), kBlue);
  ASSERT_GT(box.width(), 20);
  int inBetween = 0, white = 0;
  for (int y = box.top; y <= box.bottom; ++y)
    for (int x = box.left; x <= box.right; ++x) {
      const Rgb pixel = PixelAt(plain.get(), x, y);
      if (Near(pixel, kWhite, 0))
        ++white;
      else if (!Near(pixel, kBlack, 0))
        ++inBetween;
    }
  EXPECT_GT(white, 20);
  EXPECT_EQ(inBetween, 0);

  watermark().textAntialiasing = 1;
  ImageHandle smooth = Stamped(300, 100);
  inBetween = 0;
  for (int y = box.top; y <= box.bottom; ++y)
    for (int x = box.left; x <= box.right; ++x) {
      const Rgb pixel = PixelAt(smooth.get(), x, y);
      if (!Near(pixel, kWhite, 0) && !Near(pixel, kBlack, 0)) ++inBetween;
    }
  EXPECT_GT(inBetween, 20);

  // Back opacity 0 with antialiasing: the text without its box, solid.
  watermark().backOpacity = 0;
  ImageHandle noBox = Stamped(300, 100);
  EXPECT_TRUE(Near(PixelAt(noBox.get(), box.left, box.top), kBlue, 0));
  EXPECT_GT(AreaOf(noBox.get(), kWhite).width(), 20);
  EXPECT_EQ(AreaOf(noBox.get(), kBlack).width(), 0);

  // Half the text opacity in plain rendering: half-way glyph pixels.
  watermark().textAntialiasing = 0;
  watermark().backOpacity = 255;
  watermark().textOpacity = 128;
  ImageHandle halfText = Stamped(300, 100);
  EXPECT_GT(AreaOf(halfText.get(), {128, 128, 128}, 2).width(), 20);
  EXPECT_EQ(AreaOf(halfText.get(), kWhite).width(), 0);

  // Half the back opacity: the padding shows the image at half strength;
  // the line's own cell is laid over the box once more.
  watermark().textOpacity = 255;
  watermark().backOpacity = 128;
  watermark().textPadding = 4;
  ImageHandle halfBack = Stamped(300, 100);
  EXPECT_TRUE(Near(PixelAt(halfBack.get(), 1, 1), {0, 0, 127}, 2));
  EXPECT_TRUE(Near(PixelAt(halfBack.get(), 4, 4), {0, 0, 63}, 2));
}

TEST_F(WatermarkTest, StylesAndEffectsChangeTheGlyphs) {
  auto ink = [&](int style, int effect) {
    watermark().fontStyle = static_cast<std::int8_t>(style);
    watermark().fontEffect = static_cast<std::int8_t>(effect);
    Text("Styled text");
    ImageHandle image = Stamped(300, 100);
    int count = 0;
    for (unsigned y = 0; y < 100; ++y)
      for (unsigned x = 0; x < 300; ++x) count += PixelAt(image.get(), x, y).red > 128 ? 1 : 0;
    return count;
  };
  const int regular = ink(0, 0);
  ASSERT_GT(regular, 50);
  EXPECT_GT(ink(1, 0), regular);       // bold
  EXPECT_NE(ink(2, 0), regular);       // italic
  EXPECT_GT(ink(0, 1), regular + 20);  // underline
  EXPECT_GT(ink(0, 2), regular + 20);  // strike-out
}

TEST_F(WatermarkTest, SinglePercentSignIsDrawnAsWritten) {
  const Box withPercent = TextBox("100% sure");
  const Box withoutPercent = TextBox("100 sure");
  EXPECT_GT(withPercent.width(), withoutPercent.width());

  // The box is the size Pango gives the plain text in the chosen font.
  std::shared_ptr<WatermarkFont> font = LoadWatermarkFont(watermark());
  ASSERT_TRUE(font);
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1);
  cairo_t* context = cairo_create(surface);
  PangoLayout* layout = pango_cairo_create_layout(context);
  cairo_font_options_t* options = cairo_font_options_create();
  cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_NONE);
  pango_cairo_context_set_font_options(pango_layout_get_context(layout), options);
  pango_layout_context_changed(layout);
  PangoFontDescription* description = pango_font_description_from_string("Liberation Sans 14");
  pango_layout_set_font_description(layout, description);
  pango_layout_set_text(layout, "100% sure", -1);
  int width = 0, height = 0;
  pango_layout_get_pixel_size(layout, &width, &height);
  pango_font_description_free(description);
  cairo_font_options_destroy(options);
  g_object_unref(layout);
  cairo_destroy(context);
  cairo_surface_destroy(surface);
  EXPECT_EQ(withPercent.width(), width);
  EXPECT_EQ(withPercent.height(), height);
}

TEST_F(WatermarkTest, TheJobsFontIsUsedWhenLoaded) {
  watermark().fontSize = 10;
  const Box small = TextBox("Sized");
  WatermarkSettings bigger = watermark();
  bigger.fontSize = 30;
  bench.job.watermarkFont = LoadWatermarkFont(bigger);
  ASSERT_TRUE(bench.job.watermarkFont);
  const Box large = TextBox("Sized");
  EXPECT_GT(large.height(), 2 * small.height());

  // Without a usable font there is no text layer, only the 24-bit image.
  bench.job.watermarkFont.reset();
  watermark().font = "NoSuchFont";
  Text("Sized");
  ImageHandle image = Stamped(100, 50, kBlue, 32);
  EXPECT_EQ(FreeImage_GetBPP(image.get()), 24u);
  EXPECT_EQ(ChangedArea(image.get(), kBlue).width(), 0);
}

TEST_F(WatermarkTest, TextLayersCanBeDrawnFromSeveralWorkers) {
  Text("Parallel %eol%workers");
  watermark().textAntialiasing = 1;
  bench.job.watermarkFont = LoadWatermarkFont(watermark());
  ASSERT_TRUE(bench.job.watermarkFont);
  const ImageHandle reference = Stamped(200, 80);
  constexpr int kWorkers = 4;
  std::vector<ImageHandle> results(kWorkers * 5);
  std::vector<std::thread> workers;
  for (int worker = 0; worker < kWorkers; ++worker)
    workers.emplace_back([&, worker] {
      for (int round = 0; round < 5; ++round) {
        FileConversion file;
        StepContext context{bench.settings, bench.job, file};
        results[worker * 5 + round] = DrawWatermark(SolidImage(200, 80, kBlue), context);
      }
    });
  for (std::thread& worker : workers) worker.join();
  for (const ImageHandle& result : results) EXPECT_TRUE(SamePixels(result.get(), reference.get()));
}

TEST(WatermarkFontTest, CreatableFontsAreFoundOrMetricSubstitutes) {
  WatermarkSettings settings;
  settings.fontSize = 14;
  settings.font = "NoSuchFont";
  EXPECT_FALSE(LoadWatermarkFont(settings));

  settings.font = "Arial";
  std::shared_ptr<WatermarkFont> arial = LoadWatermarkFont(settings);
  ASSERT_TRUE(arial);
  EXPECT_EQ(arial->family, "Liberation Sans");
  EXPECT_EQ(arial->requestedFamily, "Arial");
  EXPECT_EQ(arial->pointSize, 14);

  settings.font = "liberation SANS";
  ASSERT_TRUE(LoadWatermarkFont(settings));
  EXPECT_EQ(LoadWatermarkFont(settings)->family, "Liberation Sans");

  settings.font = "DejaVu Sans";
  EXPECT_TRUE(LoadWatermarkFont(settings));

  // Generic names and empty names only reach the default font.
  for (const char* refused : {"", "sans-serif", "Tahoma:bold", "NoSuchFont-Bold"}) {
    settings.font = refused;
    EXPECT_FALSE(LoadWatermarkFont(settings)) << '"' << refused << '"';
  }
  settings.font = "Arial";
  settings.fontSize = 0;
  EXPECT_FALSE(LoadWatermarkFont(settings));
}

TEST(WatermarkFontTest, EveryDefaultFontIsAcceptedWithAnInstalledFace) {
  // The default "Fonts" list names Windows faces that a stock Debian lacks;
  // each resolves to a face the install script installs, in every style.
  WatermarkSettings settings;
  settings.fontSize = 14;
  for (const std::string& name :
       {std::string("Arial"), std::string("Tahoma"), std::string("Verdana")}) {
    ASSERT_NE(WatermarkSettings{}.fonts.find(name), std::string::npos);
    for (std::int8_t style = 0; style <= 3; ++style) {
      settings.font = name;
      settings.fontStyle = style;
      const std::shared_ptr<WatermarkFont> font = LoadWatermarkFont(settings);
      ASSERT_TRUE(font) << name << " style " << int(style);
      EXPECT_TRUE(font->family == "Liberation Sans" || font->family == "DejaVu Sans" ||
                  font->family == name)
          << name << " -> " << font->family;
      EXPECT_TRUE(std::filesystem::is_regular_file(font->file)) << font->file;
    }
  }
  // Verdana's wide letters and Tahoma's narrower ones get different faces.
  settings.fontStyle = 0;
  settings.font = "Verdana";
  const std::string verdana = LoadWatermarkFont(settings)->family;
  settings.font = "Tahoma";
  EXPECT_NE(LoadWatermarkFont(settings)->family, verdana);
  // The aliases name whole families only: the rest stays refused.
  for (const char* refused : {"NoSuchFont", "Tahoma Bold", "Verdanas"}) {
    settings.font = refused;
    EXPECT_FALSE(LoadWatermarkFont(settings)) << refused;
  }
}

TEST(WatermarkFontTest, StyleAndEffectPickTheFace) {
  WatermarkSettings settings;
  settings.font = "Arial";
  settings.fontSize = 12;
  settings.fontStyle = 3;
  settings.fontEffect = 2;
  std::shared_ptr<WatermarkFont> font = LoadWatermarkFont(settings);
  ASSERT_TRUE(font);
  EXPECT_TRUE(font->bold);
  EXPECT_TRUE(font->italic);
  EXPECT_FALSE(font->underline);
  EXPECT_TRUE(font->strikeOut);
  EXPECT_NE(font->file.find("BoldItalic"), std::string::npos) << font->file;
  settings.fontStyle = 1;
  settings.fontEffect = 1;
  font = LoadWatermarkFont(settings);
  ASSERT_TRUE(font);
  EXPECT_TRUE(font->bold);
  EXPECT_FALSE(font->italic);
  EXPECT_TRUE(font->underline);
  EXPECT_NE(font->file.find("Bold"), std::string::npos);
  EXPECT_EQ(font->file.find("Italic"), std::string::npos);
}

}  // namespace
}  // namespace lumafold
