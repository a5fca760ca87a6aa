// Frame step: paints a solid border of four independently coloured sides
// with mitred corners over the outer pixels of the image (the image keeps
// its size), at the frame's opacity.
#include "engine/steps/frame.h"

#include <FreeImage.h>

#include <algorithm>
#include <cstdint>

#include "engine/colour.h"
#include "engine/steps/drawing_layer.h"
#include "engine/image_ops.h"
#include "engine/steps/pipeline_steps.h"

namespace lumafold {

namespace {

constexpr int kNoFrame = 0;
constexpr int kSolidFrame = 1;

// Opposite sides a and b within `length`.
void FitPair(int& a, int& b, int length) {
  a = std::max(a, 0);
  b = std::max(b, 0);
  const std::int64_t sum = std::int64_t{a} + b;
  if (sum <= length) return;
  a = static_cast<int>(std::int64_t{a} * length / sum);
  b = length - a;
}

void FillPolygon(cairo_t* context, RgbColour colour, double x0, double y0, double x1, double y1,
                 double x2, double y2, double x3, double y3) {
  cairo_move_to(context, x0, y0);
  cairo_line_to(context, x1, y1);
  cairo_line_to(context, x2, y2);
  cairo_line_to(context, x3, y3);
  cairo_close_path(context);
  SetSourceColour(context, colour);
  cairo_fill(context);
}

void FillRectangle(cairo_t* context, RgbColour colour, int x, int y, int width, int height) {
  if (width <= 0 || height <= 0) return;
  cairo_rectangle(context, x, y, width, height);
  SetSourceColour(context, colour);
  cairo_fill(context);
}

// The corner rectangles go first: they fill whatever the antialiased
// diagonals of the two sides meeting there leave uncovered, so each corner
// ends up split along its diagonal.
void DrawSolidBorder(cairo_t* context, const FrameSettings& frame, FrameWidths widths, int w,
                     int h) {
  const RgbColour left = ParseColour(frame.solidLeftColor);
  const RgbColour right = ParseColour(frame.solidRightColor);
  const RgbColour top = ParseColour(frame.solidTopColor);
  const RgbColour bottom = ParseColour(frame.solidBottomColor);
  const int l = widths.left, r = widths.right, t = widths.top, b = widths.bottom;

  cairo_set_antialias(context, CAIRO_ANTIALIAS_DEFAULT);
  FillRectangle(context, top, 0, 0, l, t);
  FillRectangle(context, right, w - r, 0, r, t);
  FillRectangle(context, bottom, w - r, h - b, r, b);
  FillRectangle(context, left, 0, h - b, l, b);

  FillPolygon(context, top, 0, 0, w, 0, w - r, t, l, t);
  FillPolygon(context, right, w, 0, w, h, w - r, h - b, w - r, t);
  FillPolygon(context, bottom, w, h, 0, h, l, h - b, w - r, h - b);
  FillPolygon(context, left, 0, h, 0, 0, l, t, l, h - b);
}

}  // namespace

FrameWidths ClampedFrameWidths(const FrameSettings& frame, int width, int height) {
  FrameWidths widths{frame.solidLeft, frame.solidRight, frame.solidTop, frame.solidBottom};
  FitPair(widths.left, widths.right, std::max(width, 0));
  FitPair(widths.top, widths.bottom, std::max(height, 0));
  return widths;
}

ImageHandle DrawFrame(ImageHandle image, const StepContext& context) {
  const FrameSettings& frame = context.settings.frame;
  if (!image || frame.doFrame == kNoFrame) return image;
  // The composite is 24-bit; a 32-bit image loses its alpha channel here.
  image = EnsureTwentyFourBits(std::move(image));
  if (FreeImage_GetBPP(image.get()) != 24) return image;
  const int width = static_cast<int>(FreeImage_GetWidth(image.get()));
  const int height = static_cast<int>(FreeImage_GetHeight(image.get()));

  SurfaceHandle border = CreateTransparentSurface(width, height);
  SurfaceHandle layer = CreateTransparentSurface(width, height);
  if (!border || !layer) return image;
  if (frame.doFrame == kSolidFrame) {
    DrawingContext drawing = DrawOn(border.get());
    if (!drawing) return image;
    DrawSolidBorder(drawing.get(), frame, ClampedFrameWidths(frame, width, height), width, height);
  }
  // The opacity applies to the border as a whole, so the antialiased
  // diagonal pixels are not made doubly transparent.
  {
    DrawingContext drawing = DrawOn(layer.get());
    if (!drawing) return image;
    cairo_set_source_surface(drawing.get(), border.get(), 0, 0);
    cairo_paint_with_alpha(drawing.get(), OpacityFraction(frame.solidOpacity));
  }

  ImageHandle overlay = SurfaceToImage(layer.get());
  if (!overlay) return image;
  FIBITMAP* composite = FreeImage_Composite(overlay.get(), FALSE, nullptr, image.get());
  return ReplaceIfMade(std::move(image), composite);
}

}  // namespace lumafold
