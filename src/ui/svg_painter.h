// Draws the small SVG subset our own icon sources use, with QPainter: the
// Debian Qt packages put QtSvg in a separate module we do not depend on, and
// ImageMagick's internal SVG renderer fills open curves, so neither renders
// the built-in pictures well.
//
// Supported: <svg viewBox>, <g>, <path> (M L H V C S Q T Z, absolute and
// relative), <rect> (rx), <circle>, <ellipse>, <line>, <polyline>,
// <polygon>, <text> (x, y, font-family, font-size, font-weight); presentation attributes fill,
// stroke, stroke-width, stroke-linecap, stroke-linejoin, opacity, fill-opacity, stroke-opacity and
// the same inside style=""; transform with translate, scale and rotate.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>

namespace lumafold::ui {

// Renders the document scaled to `size` (its viewBox stretched to fit) on a
// transparent image; a null image when the text is not an SVG document.
QImage RenderSvg(const QByteArray& svg, QSize size);

}  // namespace lumafold::ui
