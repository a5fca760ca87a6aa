// A reader of the few SVG elements the icon sources use, painting with
// QPainter.
#include "ui/svg_painter.h"

#include <QColor>
#include <QFont>
#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <QRegularExpression>
#include <QTransform>
#include <QXmlStreamReader>
#include <algorithm>
#include <vector>

namespace lumafold::ui {

namespace {

struct Style {
  QColor fill = Qt::black;
  QColor stroke = Qt::transparent;
  double strokeWidth = 1.0;
  Qt::PenCapStyle cap = Qt::FlatCap;
  Qt::PenJoinStyle join = Qt::MiterJoin;
  double opacity = 1.0;
  double fillOpacity = 1.0;
  double strokeOpacity = 1.0;
};

QColor ParseColor(const QString& text) {
  const QString t = text.trimmed();
  if (t.isEmpty() || t == "none" || t == "transparent") return Qt::transparent;
  QColor c = QColor::fromString(t);
  return c.isValid() ? c : QColor(Qt::black);
}

void ApplyProperty(Style& style, const QString& name, const QString& value) {
  if (name == "fill")
    style.fill = ParseColor(value);
  else if (name == "stroke")
    style.stroke = ParseColor(value);
  else if (name == "stroke-width")
    style.strokeWidth = value.toDouble();
  else if (name == "opacity")
    style.opacity *= value.toDouble();
  else if (name == "fill-opacity")
    style.fillOpacity = value.toDouble();
  else if (name == "stroke-opacity")
    style.strokeOpacity = value.toDouble();
  else if (name == "stroke-linecap")
    style.cap = value == "round" ? Qt::RoundCap : value == "square" ? Qt::SquareCap : Qt::FlatCap;
  else if (name == "stroke-linejoin")
    style.join = value == "round"   ? Qt::RoundJoin
                 : value == "bevel" ? Qt::BevelJoin
                                    : Qt::MiterJoin;
}

Style ReadStyle(const QXmlStreamAttributes& attributes, Style style) {
  static const char* const kNames[] = {"fill",           "stroke",         "stroke-width",
                                       "opacity",        "fill-opacity",   "stroke-opacity",
                                       "stroke-linecap", "stroke-linejoin"};
  for (const char* name : kNames)
    if (attributes.hasAttribute(name))
      ApplyProperty(style, name, attributes.value(name).toString());
  const QString css = attributes.value("style").toString();
  for (const QString& item : css.split(';', Qt::SkipEmptyParts)) {
    const int colon = item.indexOf(':');
    if (colon > 0) ApplyProperty(style, item.left(colon).trimmed(), item.mid(colon + 1).trimmed());
  }
  return style;
}

std::vector<double> Numbers(const QString& text) {
  static const QRegularExpression kNumber(R"([-+]?(?:\d+\.?\d*|\.\d+)(?:[eE][-+]?\d+)?)");
  std::vector<double> out;
  for (auto it = kNumber.globalMatch(text); it.hasNext();)
    out.push_back(it.next().captured().toDouble());
  return out;
}

QTransform ParseTransform(const QString& text) {
  static const QRegularExpression kItem(R"((translate|scale|rotate)\s*\(([^)]*)\))");
  QTransform result;
  for (auto it = kItem.globalMatch(text); it.hasNext();) {
    const auto match = it.next();
    const std::vector<double> v = Numbers(match.captured(2));
    QTransform step;
    if (match.captured(1) == "translate" && !v.empty()) {
      step.translate(v[0], v.size() > 1 ? v[1] : 0.0);
    } else if (match.captured(1) == "scale" && !v.empty()) {
      step.scale(v[0], v.size() > 1 ? v[1] : v[0]);
    } else if (match.captured(1) == "rotate" && !v.empty()) {
      if (v.size() >= 3) step.translate(v[1], v[2]);
      step.rotate(v[0]);
      if (v.size() >= 3) step.translate(-v[1], -v[2]);
    }
    // SVG lists transforms outermost first: each new one applies before
    // the ones already collected.
    result = step * result;
  }
  return result;
}

// Path data: commands and their arguments, repeated arguments allowed.
QPainterPath ParsePathData(const QString& d) {
  static const QRegularExpression kToken(
      R"([MmLlHhVvCcSsQqTtZz]|[-+]?(?:\d+\.?\d*|\.\d+)(?:[eE][-+]?\d+)?)");
  QPainterPath path;
  QChar command;
  std::vector<double> args;
  QPointF current, start, lastControl;
  QChar lastCommand;

  auto run = [&](QChar c, const std::vector<double>& a) {
    const bool rel = c.isLower();
    const QChar u = c.toUpper();
    auto pt = [&](double x, double y) { return rel ? current + QPointF(x, y) : QPointF(x, y); };
    if (u == 'M') {
      current = pt(a[0], a[1]);
      start = current;
      path.moveTo(current);
    } else if (u == 'L') {
      current = pt(a[0], a[1]);
      path.lineTo(current);
    } else if (u == 'H') {
      current.setX(rel ? current.x() + a[0] : a[0]);
      path.lineTo(current);
    } else if (u == 'V') {
      current.setY(rel ? current.y() + a[0] : a[0]);
      path.lineTo(current);
    } else if (u == 'C') {
      const QPointF c1 = pt(a[0], a[1]), c2 = pt(a[2], a[3]), end = pt(a[4], a[5]);
      path.cubicTo(c1, c2, end);
      lastControl = c2;
      current = end;
    } else if (u == 'S') {
      const QChar lu = lastCommand.toUpper();
      const QPointF c1 = (lu == 'C' || lu == 'S') ? 2 * current - lastControl : current;
      const QPointF c2 = pt(a[0], a[1]), end = pt(a[2], a[3]);
      path.cubicTo(c1, c2, end);
      lastControl = c2;
      current = end;
    } else if (u == 'Q') {
      const QPointF c1 = pt(a[0], a[1]), end = pt(a[2], a[3]);
      path.quadTo(c1, end);
      lastControl = c1;
      current = end;
    } else if (u == 'T') {
      const QChar lu = lastCommand.toUpper();
      const QPointF c1 = (lu == 'Q' || lu == 'T') ? 2 * current - lastControl : current;
      const QPointF end = pt(a[0], a[1]);
      path.quadTo(c1, end);
      lastControl = c1;
      current = end;
    } else if (u == 'Z') {
      path.closeSubpath();
      current = start;
    }
    lastCommand = c;
  };

  auto arity = [](QChar c) {
    switch (c.toUpper().unicode()) {
      case 'M':
      case 'L':
      case 'T':
        return 2;
      case 'H':
      case 'V':
        return 1;
      case 'C':
        return 6;
      case 'S':
      case 'Q':
        return 4;
      default:
        return 0;
    }
  };

  auto flush = [&]() {
    if (command.isNull()) return;
    const std::size_t n = static_cast<std::size_t>(arity(command));
    if (n == 0) {
      run(command, {});
      return;
    }
    for (std::size_t i = 0; i + n <= args.size(); i += n) {
      run(command, std::vector<double>(args.begin() + i, args.begin() + i + n));
      // Extra coordinate pairs after a moveto are linetos.
      if (command == 'M')
        command = 'L';
      else if (command == 'm')
        command = 'l';
    }
  };

  for (auto it = kToken.globalMatch(d); it.hasNext();) {
    const QString token = it.next().captured();
    if (token[0].isLetter()) {
      flush();
      command = token[0];
      args.clear();
    } else {
      args.push_back(token.toDouble());
    }
  }
  flush();
  return path;
}

double Attr(const QXmlStreamAttributes& a, const char* name) { return a.value(name).toDouble(); }

QPainterPath ShapePath(const QStringView tag, const QXmlStreamAttributes& a, bool& closed) {
  QPainterPath path;
  closed = true;
  if (tag == u"path") {
    path = ParsePathData(a.value("d").toString());
  } else if (tag == u"rect") {
    const double rx = a.hasAttribute("rx") ? Attr(a, "rx") : Attr(a, "ry");
    const double ry = a.hasAttribute("ry") ? Attr(a, "ry") : rx;
    path.addRoundedRect(Attr(a, "x"), Attr(a, "y"), Attr(a, "width"), Attr(a, "height"), rx, ry);
  } else if (tag == u"circle") {
    const double r = Attr(a, "r");
    path.addEllipse(QPointF(Attr(a, "cx"), Attr(a, "cy")), r, r);
  } else if (tag == u"ellipse") {
    path.addEllipse(QPointF(Attr(a, "cx"), Attr(a, "cy")), Attr(a, "rx"), Attr(a, "ry"));
  } else if (tag == u"line") {
    path.moveTo(Attr(a, "x1"), Attr(a, "y1"));
    path.lineTo(Attr(a, "x2"), Attr(a, "y2"));
    closed = false;
  } else if (tag == u"polyline" || tag == u"polygon") {
    const std::vector<double> v = Numbers(a.value("points").toString());
    for (std::size_t i = 0; i + 1 < v.size(); i += 2) {
      if (i == 0)
        path.moveTo(v[0], v[1]);
      else
        path.lineTo(v[i], v[i + 1]);
    }
    if (tag == u"polygon")
      path.closeSubpath();
    else
      closed = false;
  }
  return path;
}

}  // namespace

QImage RenderSvg(const QByteArray& svg, QSize size) {
  QXmlStreamReader xml(svg);
  QImage image(size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);

  std::vector<std::pair<Style, QTransform>> stack;
  bool sawRoot = false;
  while (!xml.atEnd()) {
    const auto token = xml.readNext();
    if (token == QXmlStreamReader::EndElement) {
      if (!stack.empty()) stack.pop_back();
      continue;
    }
    if (token != QXmlStreamReader::StartElement) continue;
    const QXmlStreamAttributes a = xml.attributes();
    const QStringView tag = xml.name();
    if (!sawRoot) {
      if (tag != u"svg") return {};
      sawRoot = true;
      std::vector<double> box = Numbers(a.value("viewBox").toString());
      if (box.size() != 4) box = {0, 0, Attr(a, "width"), Attr(a, "height")};
      QTransform base;
      if (box[2] > 0 && box[3] > 0) {
        base.scale(size.width() / box[2], size.height() / box[3]);
        base.translate(-box[0], -box[1]);
      }
      stack.push_back({ReadStyle(a, Style{}), base});
      continue;
    }
    const auto& [parentStyle, parentTransform] = stack.back();
    const Style style = ReadStyle(a, parentStyle);
    const QTransform transform = ParseTransform(a.value("transform").toString()) * parentTransform;
    if (tag == u"text") {
      // readElementText consumes the end tag, so the text pushes no style.
      QFont font(a.value("font-family").toString());
      font.setPixelSize(std::max(1, static_cast<int>(Attr(a, "font-size"))));
      font.setBold(a.value("font-weight") == u"bold");
      const QPointF at(Attr(a, "x"), Attr(a, "y"));
      const QString text = xml.readElementText(QXmlStreamReader::IncludeChildElements);
      QColor fill = style.fill;
      fill.setAlphaF(fill.alphaF() * style.fillOpacity * style.opacity);
      painter.setTransform(transform);
      painter.setFont(font);
      painter.setPen(fill);
      painter.drawText(at, text);
      continue;
    }
    stack.push_back({style, transform});

    bool closed = true;
    const QPainterPath path = ShapePath(tag, a, closed);
    if (path.isEmpty()) continue;
    painter.setTransform(transform);
    if (closed && style.fill.alpha() > 0) {
      QColor fill = style.fill;
      fill.setAlphaF(fill.alphaF() * style.fillOpacity * style.opacity);
      painter.fillPath(path, fill);
    }
    if (style.stroke.alpha() > 0 && style.strokeWidth > 0) {
      QColor stroke = style.stroke;
      stroke.setAlphaF(stroke.alphaF() * style.strokeOpacity * style.opacity);
      QPen pen(stroke, style.strokeWidth, Qt::SolidLine, style.cap, style.join);
      painter.strokePath(path, pen);
    }
  }
  if (xml.hasError() || !sawRoot) return {};
  painter.end();
  return image;
}

}  // namespace lumafold::ui
