// Watermark step: stamps a block of text or a picture onto the image. The
// watermark is rendered as a 32-bit layer with transparency, rotated,
// cropped to the placement area, put at one of nine anchor points with
// offsets, and alpha-composited over the 24-bit image.
#include <FreeImage.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/colour.h"
#include "engine/steps/drawing_layer.h"
#include "engine/steps/font_loader.h"
#include "engine/steps/frame.h"
#include "engine/image_ops.h"
#include "engine/run/naming.h"
#include "engine/steps/pipeline_steps.h"

namespace lumafold {

namespace {

constexpr int kNoWatermark = 0;
constexpr int kTextWatermark = 1;
constexpr int kPictureWatermark = 2;
constexpr int kAlignCentre = 1;
constexpr int kAlignRight = 2;
constexpr int kFrameBoundary = 1;
// Lines of a several-line text are never measured smaller than this.
constexpr int kMinimumLineSize = 10;
constexpr std::string_view kLineBreak = "%eol%";

struct GObjectReleaser {
  void operator()(gpointer object) const noexcept { g_object_unref(object); }
};
using LayoutHandle = std::unique_ptr<PangoLayout, GObjectReleaser>;

struct FontDescriptionReleaser {
  void operator()(PangoFontDescription* description) const noexcept {
    pango_font_description_free(description);
  }
};
using FontDescriptionHandle = std::unique_ptr<PangoFontDescription, FontDescriptionReleaser>;

struct PixelSize {
  int width = 0;
  int height = 0;
};

struct Point {
  int x = 0;
  int y = 0;
};

// --- Text -----------------------------------------------------------------

// One Pango layout on a Cairo context, set up with the watermark font, its
// effects and the rendering mode. Measuring and drawing use the same setup
// so that the box fits the glyphs drawn into it. Callers hold
// TextRenderingLock().
class TextSetter {
 public:
  TextSetter(cairo_t* context, const WatermarkFont& font, bool antialias) : context_(context) {
    layout_.reset(pango_cairo_create_layout(context));
    if (!layout_) return;
    cairo_font_options_t* options = cairo_font_options_create();
    // Grey antialiasing, never sub-pixel: the layer is composited over any
    // picture, where coloured fringes would show.
    cairo_font_options_set_antialias(options,
                                     antialias ? CAIRO_ANTIALIAS_GRAY : CAIRO_ANTIALIAS_NONE);
    pango_cairo_context_set_font_options(pango_layout_get_context(layout_.get()), options);
    cairo_font_options_destroy(options);
    pango_layout_context_changed(layout_.get());

    FontDescriptionHandle description(pango_font_description_new());
    pango_font_description_set_family(description.get(), font.family.c_str());
    // Points at Pango's 96 dots per inch, as the size has always meant.
    pango_font_description_set_size(description.get(), font.pointSize * PANGO_SCALE);
    pango_font_description_set_weight(description.get(),
                                      font.bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
    pango_font_description_set_style(description.get(),
                                     font.italic ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
    pango_layout_set_font_description(layout_.get(), description.get());

    PangoAttrList* attributes = pango_attr_list_new();
    if (font.underline)
      pango_attr_list_insert(attributes, pango_attr_underline_new(PANGO_UNDERLINE_SINGLE));
    if (font.strikeOut) pango_attr_list_insert(attributes, pango_attr_strikethrough_new(TRUE));
    pango_layout_set_attributes(layout_.get(), attributes);
    pango_attr_list_unref(attributes);
  }

  bool valid() const { return layout_ != nullptr; }

  // Plain text: a "%" or "<" is drawn as written, never taken as markup.
  PixelSize measure(const std::string& text) {
    pango_layout_set_text(layout_.get(), text.c_str(), static_cast<int>(text.size()));
    PixelSize size;
    pango_layout_get_pixel_size(layout_.get(), &size.width, &size.height);
    return size;
  }

  void draw(const std::string& text, Point at) {
    pango_layout_set_text(layout_.get(), text.c_str(), static_cast<int>(text.size()));
    cairo_move_to(context_, at.x, at.y);
    pango_cairo_show_layout(context_, layout_.get());
  }

 private:
  cairo_t* context_;
  LayoutHandle layout_;
};

std::string AsciiLower(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

// "%eol%" in any letter case splits the text; ASCII lower-casing keeps byte
// positions, so the lines are cut from the original text.
std::vector<std::string> SplitAtLineBreaks(const std::string& text) {
  const std::string lowered = AsciiLower(text);
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t found = lowered.find(kLineBreak); found != std::string::npos;
       found = lowered.find(kLineBreak, start)) {
    lines.push_back(text.substr(start, found - start));
    start = found + kLineBreak.size();
  }
  lines.push_back(text.substr(start));
  return lines;
}

struct TextBlock {
  std::vector<std::string> lines;  // one entry for a text without "%eol%"
  std::vector<PixelSize> lineSizes;
  int lineStep = 0;
  PixelSize size;
  bool severalLines() const { return lines.size() > 1; }
};

TextBlock ArrangeText(const std::string& text, TextSetter& setter, int leading) {
  TextBlock block;
  block.lines = SplitAtLineBreaks(text);
  if (!block.severalLines()) {
    block.size = setter.measure(text);
    block.lineSizes.push_back(block.size);
    return block;
  }
  int widest = kMinimumLineSize;
  int tallest = kMinimumLineSize;
  for (const std::string& line : block.lines) {
    const PixelSize size = setter.measure(line);
    block.lineSizes.push_back(size);
    widest = std::max(widest, size.width);
    tallest = std::max(tallest, size.height);
  }
  const int breaks = static_cast<int>(block.lines.size()) - 1;
  block.lineStep = tallest + leading;
  block.size = {widest, tallest + breaks * block.lineStep};
  return block;
}

std::vector<Point> LinePositions(const TextBlock& block, int boxWidth, int padding, int alignment) {
  if (!block.severalLines()) return {{padding, padding}};
  std::vector<Point> positions;
  for (std::size_t i = 0; i < block.lines.size(); ++i) {
    const int lineWidth = block.lineSizes[i].width;
    int x = padding;
    if (alignment == kAlignCentre)
      x = static_cast<int>(std::lround((boxWidth - lineWidth) / 2.0));
    else if (alignment == kAlignRight)
      x = boxWidth - lineWidth - padding;
    positions.push_back({x, padding + static_cast<int>(i) * block.lineStep});
  }
  return positions;
}

void DrawLines(TextSetter& setter, const TextBlock& block, const std::vector<Point>& positions) {
  for (std::size_t i = 0; i < block.lines.size(); ++i) setter.draw(block.lines[i], positions[i]);
}

// Plain rendering: the box in the back colour at "Back Opacity"; each line
// on a cell of its own measured size in the back colour at "Back Opacity"
// again, and its glyphs, never smoothed, in the font colour at "Text
// Opacity", each laid over what is below it.
SurfaceHandle PlainTextLayer(const WatermarkFont& font, const WatermarkSettings& watermark,
                             const TextBlock& block, PixelSize box) {
  SurfaceHandle layer = CreateTransparentSurface(box.width, box.height);
  SurfaceHandle glyphs = CreateTransparentSurface(box.width, box.height);
  DrawingContext drawing = DrawOn(layer.get());
  DrawingContext glyphDrawing = DrawOn(glyphs.get());
  if (!drawing || !glyphDrawing) return nullptr;

  const RgbColour back = ParseColour(watermark.backColor);
  const double backAlpha = OpacityFraction(watermark.backOpacity);
  SetSourceColour(drawing.get(), back, backAlpha);
  cairo_paint(drawing.get());

  TextSetter setter(glyphDrawing.get(), font, false);
  if (!setter.valid()) return nullptr;
  cairo_set_antialias(glyphDrawing.get(), CAIRO_ANTIALIAS_NONE);  // underline and strike-out bars
  cairo_set_source_rgba(glyphDrawing.get(), 0, 0, 0, 1);
  const std::vector<Point> positions =
      LinePositions(block, box.width, watermark.textPadding, watermark.textAlignment);
  DrawLines(setter, block, positions);

  cairo_set_antialias(drawing.get(), CAIRO_ANTIALIAS_NONE);
  SetSourceColour(drawing.get(), back, backAlpha);
  for (std::size_t i = 0; i < positions.size(); ++i)
    cairo_rectangle(drawing.get(), positions[i].x, positions[i].y, block.lineSizes[i].width,
                    block.lineSizes[i].height);
  cairo_fill(drawing.get());
  // The glyph surface is all or nothing per pixel, so as a mask it lays the
  // font colour on exactly the glyph pixels.
  SetSourceColour(drawing.get(), ParseColour(watermark.fontColor),
                  OpacityFraction(watermark.textOpacity));
  cairo_mask_surface(drawing.get(), glyphs.get(), 0, 0);
  return layer;
}

// Antialiased rendering: a back surface at full alpha and a text surface at
// full alpha, laid over a transparent layer at their own opacities.
SurfaceHandle AntialiasedTextLayer(const WatermarkFont& font, const WatermarkSettings& watermark,
                                   const TextBlock& block, PixelSize box) {
  SurfaceHandle back = CreateTransparentSurface(box.width, box.height);
  SurfaceHandle text = CreateTransparentSurface(box.width, box.height);
  SurfaceHandle layer = CreateTransparentSurface(box.width, box.height);
  DrawingContext backDrawing = DrawOn(back.get());
  DrawingContext textDrawing = DrawOn(text.get());
  DrawingContext drawing = DrawOn(layer.get());
  if (!backDrawing || !textDrawing || !drawing) return nullptr;

  SetSourceColour(backDrawing.get(), ParseColour(watermark.backColor));
  cairo_paint(backDrawing.get());

  TextSetter setter(textDrawing.get(), font, true);
  if (!setter.valid()) return nullptr;
  SetSourceColour(textDrawing.get(), ParseColour(watermark.fontColor));
  DrawLines(setter, block,
            LinePositions(block, box.width, watermark.textPadding, watermark.textAlignment));

  cairo_set_source_surface(drawing.get(), back.get(), 0, 0);
  cairo_paint_with_alpha(drawing.get(), OpacityFraction(watermark.backOpacity));
  cairo_set_source_surface(drawing.get(), text.get(), 0, 0);
  cairo_paint_with_alpha(drawing.get(), OpacityFraction(watermark.textOpacity));
  return layer;
}

ImageHandle TextLayer(const WatermarkFont& font, const std::string& text,
                      const WatermarkSettings& watermark) {
  std::lock_guard<std::mutex> guard(TextRenderingLock());
  const bool antialias = watermark.textAntialiasing != 0;
  SurfaceHandle scratch = CreateTransparentSurface(1, 1);
  DrawingContext measuring = DrawOn(scratch.get());
  if (!measuring) return nullptr;
  TextSetter measurer(measuring.get(), font, antialias);
  if (!measurer.valid()) return nullptr;
  const TextBlock block = ArrangeText(text, measurer, watermark.fontLeading);

  const std::int64_t boxWidth =
      std::int64_t{block.size.width} + 2 * std::int64_t{watermark.textPadding};
  const std::int64_t boxHeight =
      std::int64_t{block.size.height} + 2 * std::int64_t{watermark.textPadding};
  // Beyond Cairo's 32767-pixel limit (or empty) no surface can be made.
  if (boxWidth < 1 || boxHeight < 1 || boxWidth > 32767 || boxHeight > 32767) return nullptr;
  const PixelSize box{static_cast<int>(boxWidth), static_cast<int>(boxHeight)};

  SurfaceHandle layer = antialias ? AntialiasedTextLayer(font, watermark, block, box)
                                  : PlainTextLayer(font, watermark, block, box);
  return SurfaceToImage(layer.get());
}

// --- Picture --------------------------------------------------------------

// Any format FreeImage reads, recognised by content (a GIF or TIFF passes
// the run's checks as well as the PNG, BMP and JPEG files the preferences
// dialog offers). The first page of a multi-page file is the picture.
// Pictures of more than 8 bits per channel are brought to 8 bits here, as
// the drawing layer takes nothing else.
ImageHandle LoadPicture(const std::string& path) {
  if (path.empty()) return nullptr;
  FREE_IMAGE_FORMAT format = FreeImage_GetFileType(path.c_str(), 0);
  if (format == FIF_UNKNOWN) format = FreeImage_GetFIFFromFilename(path.c_str());
  if (format == FIF_UNKNOWN || !FreeImage_FIFSupportsReading(format)) return nullptr;
  ImageHandle picture(FreeImage_Load(format, path.c_str(), 0));
  if (!picture || FreeImage_GetWidth(picture.get()) == 0 || FreeImage_GetHeight(picture.get()) == 0)
    return nullptr;
  switch (FreeImage_GetImageType(picture.get())) {
    case FIT_BITMAP:
    case FIT_RGB16:
    case FIT_RGBA16:
      return picture;
    case FIT_RGBF:
    case FIT_RGBAF:
      return ImageHandle(FreeImage_ToneMapping(picture.get(), FITMO_DRAGO03, 0, 0));
    default:
      return ImageHandle(FreeImage_ConvertToStandardType(picture.get(), TRUE));
  }
}

void MakeGrey(FIBITMAP* bitmap32) {
  const unsigned width = FreeImage_GetWidth(bitmap32);
  for (unsigned y = 0; y < FreeImage_GetHeight(bitmap32); ++y) {
    BYTE* pixel = FreeImage_GetScanLine(bitmap32, y);
    for (unsigned x = 0; x < width; ++x, pixel += 4) {
      const auto grey = static_cast<BYTE>(
          (77 * pixel[FI_RGBA_RED] + 150 * pixel[FI_RGBA_GREEN] + 29 * pixel[FI_RGBA_BLUE]) >> 8);
      pixel[FI_RGBA_RED] = pixel[FI_RGBA_GREEN] = pixel[FI_RGBA_BLUE] = grey;
    }
  }
}

// A picture with alpha is drawn on a transparent layer, any other on an
// opaque black one; either at "Image Opacity".
ImageHandle PictureLayer(const WatermarkSettings& watermark) {
  ImageHandle picture = LoadPicture(watermark.image);
  if (!picture) return nullptr;
  const bool hasAlpha = FreeImage_GetBPP(picture.get()) == 32 ||
                        FreeImage_GetImageType(picture.get()) == FIT_RGBA16 ||
                        FreeImage_IsTransparent(picture.get());
  ImageHandle pixels(FreeImage_ConvertTo32Bits(picture.get()));
  if (!pixels) return nullptr;
  picture.reset();
  if (watermark.imageGreyscale) MakeGrey(pixels.get());

  SurfaceHandle source = ImageToSurface(pixels.get());
  if (!source) return nullptr;
  SurfaceHandle layer = CreateTransparentSurface(cairo_image_surface_get_width(source.get()),
                                                 cairo_image_surface_get_height(source.get()));
  DrawingContext drawing = DrawOn(layer.get());
  if (!drawing) return nullptr;
  if (!hasAlpha) {
    cairo_set_source_rgba(drawing.get(), 0, 0, 0, 1);
    cairo_paint(drawing.get());
  }
  cairo_set_source_surface(drawing.get(), source.get(), 0, 0);
  cairo_paint_with_alpha(drawing.get(), OpacityFraction(watermark.imageOpacity));
  return SurfaceToImage(layer.get());
}

// --- Placement --------------------------------------------------------------

struct Placement {
  int boundary = 0;
  int position = 0;
  std::int64_t xOffset = 0;
  std::int64_t yOffset = 0;
  int rotation = 0;
};

Placement PlacementFor(const WatermarkSettings& watermark) {
  if (watermark.doWatermark == kTextWatermark)
    return {watermark.textBoundary, watermark.textPosition, watermark.textXOffset,
            watermark.textYOffset, watermark.textRotation};
  return {watermark.imageBoundary, watermark.imagePosition, watermark.imageXOffset,
          watermark.imageYOffset, watermark.imageRotation};
}

// Anchor of a layer of lw x lh in an area of aw x ah; a centred axis takes
// no offset, halves truncate toward zero.
struct Anchor {
  std::int64_t x = 0;
  std::int64_t y = 0;
};

Anchor AnchorFor(const Placement& placement, std::int64_t aw, std::int64_t ah, std::int64_t lw,
                 std::int64_t lh) {
  const std::int64_t left = placement.xOffset;
  const std::int64_t centreX = (aw - lw) / 2;
  const std::int64_t right = aw - lw - placement.xOffset;
  const std::int64_t top = placement.yOffset;
  const std::int64_t middleY = (ah - lh) / 2;
  const std::int64_t bottom = ah - lh - placement.yOffset;
  switch (placement.position) {
    case 0:
      return {left, top};
    case 1:
      return {centreX, top};
    case 2:
      return {right, top};
    case 3:
      return {left, middleY};
    case 4:
      return {centreX, middleY};
    case 5:
      return {right, middleY};
    case 6:
      return {left, bottom};
    case 7:
      return {centreX, bottom};
    case 8:
      return {right, bottom};
    default:
      return {0, 0};
  }
}

// Lays the layer on a zeroed canvas of the image's size and composites it.
// A layer reaching past the canvas (negative offsets) keeps its visible
// part; FreeImage_Paste would refuse it whole.
ImageHandle CompositeAt(ImageHandle image, FIBITMAP* layer, std::int64_t x, std::int64_t y) {
  const std::int64_t width = FreeImage_GetWidth(image.get());
  const std::int64_t height = FreeImage_GetHeight(image.get());
  const std::int64_t layerWidth = FreeImage_GetWidth(layer);
  const std::int64_t layerHeight = FreeImage_GetHeight(layer);
  const std::int64_t left = std::max<std::int64_t>(x, 0);
  const std::int64_t top = std::max<std::int64_t>(y, 0);
  const std::int64_t right = std::min(x + layerWidth, width);
  const std::int64_t bottom = std::min(y + layerHeight, height);
  if (right <= left || bottom <= top) return image;

  ImageHandle visible;
  FIBITMAP* pasted = layer;
  if (left != x || top != y || right - x != layerWidth || bottom - y != layerHeight) {
    visible.reset(FreeImage_Copy(layer, static_cast<int>(left - x), static_cast<int>(top - y),
                                 static_cast<int>(right - x), static_cast<int>(bottom - y)));
    if (!visible) return image;
    pasted = visible.get();
  }
  ImageHandle canvas(FreeImage_AllocateT(FIT_BITMAP, static_cast<int>(width),
                                         static_cast<int>(height), FreeImage_GetBPP(layer)));
  if (!canvas) return image;
  // A blend factor above 255 copies; 255 itself would blend with the zeroed
  // canvas and take one level off every channel, alpha included.
  if (!FreeImage_Paste(canvas.get(), pasted, static_cast<int>(left), static_cast<int>(top), 256))
    return image;
  FIBITMAP* composite = FreeImage_Composite(canvas.get(), FALSE, nullptr, image.get());
  return ReplaceIfMade(std::move(image), composite);
}

ImageHandle BuildLayer(const StepContext& context) {
  const WatermarkSettings& watermark = context.settings.watermark;
  if (watermark.doWatermark == kTextWatermark) {
    std::shared_ptr<WatermarkFont> font = context.job.watermarkFont;
    if (!font) font = LoadWatermarkFont(watermark);
    if (!font) return nullptr;
    return TextLayer(*font, ExpandWatermarkText(watermark.text, context), watermark);
  }
  if (watermark.doWatermark == kPictureWatermark) return PictureLayer(watermark);
  return nullptr;
}

}  // namespace

ImageHandle DrawWatermark(ImageHandle image, const StepContext& context) {
  const WatermarkSettings& watermark = context.settings.watermark;
  if (!image || watermark.doWatermark == kNoWatermark) return image;
  image = EnsureTwentyFourBits(std::move(image));
  if (FreeImage_GetBPP(image.get()) != 24) return image;

  ImageHandle layer = BuildLayer(context);
  if (!layer) return image;
  if (context.job.layerScale > 0.0 && context.job.layerScale != 1.0) {
    const auto scaledWidth = static_cast<int>(
        std::lround(FreeImage_GetWidth(layer.get()) * context.job.layerScale));
    const auto scaledHeight = static_cast<int>(
        std::lround(FreeImage_GetHeight(layer.get()) * context.job.layerScale));
    if (scaledWidth < 1 || scaledHeight < 1) return image;
    layer = ReplaceIfMade(std::move(layer), FreeImage_Rescale(layer.get(), scaledWidth,
                                                              scaledHeight, FILTER_BILINEAR));
  }
  const Placement placement = PlacementFor(watermark);
  if (placement.rotation >= 1 && placement.rotation <= 359) {
    FIBITMAP* rotated = FreeImage_Rotate(layer.get(), placement.rotation, nullptr);
    if (!rotated) return image;
    layer.reset(rotated);
  }

  const int width = static_cast<int>(FreeImage_GetWidth(image.get()));
  const int height = static_cast<int>(FreeImage_GetHeight(image.get()));
  std::int64_t areaWidth = width;
  std::int64_t areaHeight = height;
  std::int64_t shiftX = 0;
  std::int64_t shiftY = 0;
  const FrameSettings& frame = context.settings.frame;
  if (frame.doFrame != 0 && placement.boundary == kFrameBoundary) {
    const FrameWidths widths = ClampedFrameWidths(frame, width, height);
    areaWidth = width - widths.left - widths.right;
    areaHeight = height - widths.top - widths.bottom;
    shiftX = widths.left;
    shiftY = widths.top;
  }

  std::int64_t layerWidth = FreeImage_GetWidth(layer.get());
  std::int64_t layerHeight = FreeImage_GetHeight(layer.get());
  const bool tooWide = layerWidth + placement.xOffset > areaWidth;
  const bool tooTall = layerHeight + placement.yOffset > areaHeight;
  if (tooWide || tooTall) {
    const std::int64_t keptWidth = tooWide ? areaWidth - placement.xOffset : layerWidth;
    const std::int64_t keptHeight = tooTall ? areaHeight - placement.yOffset : layerHeight;
    if (keptWidth < 1 || keptHeight < 1) return image;  // nothing of it fits
    FIBITMAP* cropped = FreeImage_Copy(layer.get(), 0, 0, static_cast<int>(keptWidth),
                                       static_cast<int>(keptHeight));
    if (!cropped) return image;
    layer.reset(cropped);
    layerWidth = keptWidth;
    layerHeight = keptHeight;
  }

  const Anchor anchor = AnchorFor(placement, areaWidth, areaHeight, layerWidth, layerHeight);
  return CompositeAt(std::move(image), layer.get(), anchor.x + shiftX, anchor.y + shiftY);
}

}  // namespace lumafold
