// Draws the "Flat" theme: white glyphs on coloured rounded squares, made
// from plain shapes (no fonts, no source pictures) so every run gives the
// same archive. Each icon is drawn in a 64-unit square and scaled to each
// tool-bar size; the three large buttons get their own entries.
//
//   make_flat_theme OUTPUT.zip
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <cmath>
#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "ui/tools/theme_archive_writer.h"

namespace {

using lumafold::tools::Lower;
using lumafold::tools::Png;

constexpr int kIconSizes[] = {16, 24, 32, 48, 64};
constexpr const char* kThemeName = "Flat";
constexpr double kPi = 3.14159265358979323846;

const QColor kBlue(0x2D, 0x7D, 0xD2);
const QColor kGreen(0x3B, 0xB2, 0x73);
const QColor kOrange(0xF1, 0x8F, 0x01);
const QColor kRed(0xD7, 0x26, 0x3D);
const QColor kPurple(0x7B, 0x4E, 0xA3);
const QColor kTeal(0x1B, 0x99, 0x8B);
const QColor kSlate(0x5C, 0x6B, 0x73);
const QColor kWhite(0xFF, 0xFF, 0xFF);

// A glyph draws in white (and in `back` for cut-outs) on the 64-unit tile.
using Glyph = std::function<void(QPainter&, const QColor& back)>;

QPen Stroke(const QColor& colour, double width) {
  QPen pen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
  return pen;
}

// A closed outline filled with `colour`, without an edge.
void FillOutline(QPainter& p, const QPolygonF& corners, const QColor& colour) {
  QPainterPath outline;
  outline.addPolygon(corners);
  outline.closeSubpath();
  p.setPen(Qt::NoPen);
  p.setBrush(colour);
  p.drawPath(outline);
}

void Folder(QPainter& p) {
  FillOutline(p, {{10, 20}, {26, 20}, {30, 25}, {54, 25}, {54, 50}, {10, 50}}, kWhite);
}

void Page(QPainter& p, double x, double y, double w, double h, const QColor& back) {
  FillOutline(p, {{x, y}, {x + w - 9, y}, {x + w, y + 9}, {x + w, y + h}, {x, y + h}}, kWhite);
  FillOutline(p, {{x + w - 9, y}, {x + w - 9, y + 9}, {x + w, y + 9}}, back.lighter(160));
}

void Arrow(QPainter& p, QPointF from, QPointF to, const QColor& colour, double width) {
  p.setPen(Stroke(colour, width));
  p.drawLine(from, to);
  const double angle = std::atan2(to.y() - from.y(), to.x() - from.x());
  const double head = width * 2.2;
  for (double side : {-1.0, 1.0}) {
    const double a = angle + kPi - side * kPi / 4;
    p.drawLine(to, to + QPointF(std::cos(a) * head, std::sin(a) * head));
  }
}

void Tray(QPainter& p) {
  p.setPen(Stroke(kWhite, 6));
  p.setBrush(Qt::NoBrush);
  QPainterPath tray;
  tray.moveTo(12, 36);
  tray.lineTo(12, 52);
  tray.lineTo(52, 52);
  tray.lineTo(52, 36);
  p.drawPath(tray);
}

void Star(QPainter& p, QPointF centre, double outer, const QColor& colour) {
  QPolygonF star;
  for (int i = 0; i < 10; ++i) {
    const double r = i % 2 == 0 ? outer : outer * 0.45;
    const double a = -kPi / 2 + i * kPi / 5;
    star << centre + QPointF(std::cos(a) * r, std::sin(a) * r);
  }
  FillOutline(p, star, colour);
}

void Disc(QPainter& p) {
  p.setPen(Qt::NoPen);
  p.setBrush(kWhite);
  p.drawEllipse(QPointF(32, 32), 21, 21);
}

struct Icon {
  const char* name;
  QColor colour;
  Glyph glyph;
};

std::vector<Icon> Icons() {
  return {
      {"New", kBlue, [](QPainter& p, const QColor& b) { Page(p, 17, 11, 30, 42, b); }},
      {"Add", kGreen,
       [](QPainter& p, const QColor&) {
         p.setPen(Stroke(kWhite, 8));
         p.drawLine(QPointF(32, 15), QPointF(32, 49));
         p.drawLine(QPointF(15, 32), QPointF(49, 32));
       }},
      {"InFiles", kBlue,
       [](QPainter& p, const QColor& b) {
         Page(p, 24, 9, 26, 36, b);
         Page(p, 14, 19, 26, 36, b);
       }},
      {"InFolder", kOrange, [](QPainter& p, const QColor&) { Folder(p); }},
      {"OutFolder", kOrange,
       [](QPainter& p, const QColor& b) {
         Folder(p);
         Arrow(p, QPointF(24, 44), QPointF(42, 31), b, 5);
       }},
      {"OutFormat", kPurple,
       [](QPainter& p, const QColor&) {
         p.setPen(Stroke(kWhite, 5));
         for (int i = 0; i < 3; ++i) p.drawLine(QPointF(13, 18 + i * 14), QPointF(51, 18 + i * 14));
         p.setPen(Qt::NoPen);
         p.setBrush(kWhite);
         const double knobs[] = {22, 40, 30};
         for (int i = 0; i < 3; ++i) p.drawEllipse(QPointF(knobs[i], 18 + i * 14), 6, 6);
       }},
      {"FavFolder", kOrange,
       [](QPainter& p, const QColor& b) {
         Folder(p);
         Star(p, QPointF(32, 38), 10, b);
       }},
      {"ImportFiles", kTeal,
       [](QPainter& p, const QColor&) {
         Tray(p);
         Arrow(p, QPointF(32, 10), QPointF(32, 40), kWhite, 6);
       }},
      {"ExportFiles", kTeal,
       [](QPainter& p, const QColor&) {
         Tray(p);
         Arrow(p, QPointF(32, 42), QPointF(32, 12), kWhite, 6);
       }},
      {"Exit", kRed,
       [](QPainter& p, const QColor&) {
         p.setPen(Stroke(kWhite, 6));
         p.setBrush(Qt::NoBrush);
         p.drawArc(QRectF(14, 16, 36, 36), 55 * 16, -290 * 16);
         p.drawLine(QPointF(32, 11), QPointF(32, 32));
       }},
      {"Copy", kBlue,
       [](QPainter& p, const QColor& b) {
         p.setPen(Qt::NoPen);
         p.setBrush(kWhite);
         p.drawRoundedRect(QRectF(22, 10, 28, 32), 4, 4);
         p.setPen(Stroke(b, 4));
         p.drawRoundedRect(QRectF(13, 21, 28, 32), 4, 4);
         p.setPen(Qt::NoPen);
         p.drawRoundedRect(QRectF(15, 23, 24, 28), 3, 3);
       }},
      {"Delete", kRed,
       [](QPainter& p, const QColor&) {
         p.setPen(Stroke(kWhite, 8));
         p.drawLine(QPointF(19, 19), QPointF(45, 45));
         p.drawLine(QPointF(45, 19), QPointF(19, 45));
       }},
      {"SelectAll", kSlate,
       [](QPainter& p, const QColor&) {
         QPen dashed = Stroke(kWhite, 4);
         dashed.setDashPattern({2, 2});
         p.setPen(dashed);
         p.setBrush(Qt::NoBrush);
         p.drawRect(QRectF(12, 12, 40, 40));
         p.setPen(Stroke(kWhite, 6));
         p.drawPolyline(QPolygonF({QPointF(21, 33), QPointF(29, 41), QPointF(44, 23)}));
       }},
      {"Convert", kGreen,
       [](QPainter& p, const QColor&) {
         FillOutline(p, {{10, 25}, {34, 25}, {34, 13}, {55, 32}, {34, 51}, {34, 39}, {10, 39}},
                     kWhite);
       }},
      {"Error", kRed,
       [](QPainter& p, const QColor& b) {
         Disc(p);
         p.setBrush(b);
         p.drawRoundedRect(QRectF(28.5, 18, 7, 18), 3, 3);
         p.drawEllipse(QPointF(32, 43), 4, 4);
       }},
      {"Preferences", kSlate,
       [](QPainter& p, const QColor& b) {
         p.setPen(Qt::NoPen);
         p.setBrush(kWhite);
         p.save();
         p.translate(32, 32);
         for (int i = 0; i < 8; ++i) {
           p.drawRoundedRect(QRectF(-5, -23, 10, 12), 2, 2);
           p.rotate(45);
         }
         p.restore();
         p.drawEllipse(QPointF(32, 32), 15, 15);
         p.setBrush(b);
         p.drawEllipse(QPointF(32, 32), 6, 6);
       }},
      {"CustomConverter", kPurple,
       [](QPainter& p, const QColor&) {
         p.setPen(Stroke(kWhite, 6));
         p.setBrush(Qt::NoBrush);
         p.drawEllipse(QPointF(27, 27), 13, 13);
         p.setPen(Stroke(kWhite, 8));
         p.drawLine(QPointF(37, 37), QPointF(50, 50));
       }},
      {"Help", kBlue,
       [](QPainter& p, const QColor&) {
         p.setPen(Stroke(kWhite, 7));
         p.setBrush(Qt::NoBrush);
         QPainterPath hook;
         hook.moveTo(21, 23);
         hook.cubicTo(21, 9, 43, 9, 43, 22);
         hook.cubicTo(43, 31, 32, 31, 32, 40);
         p.drawPath(hook);
         p.setPen(Qt::NoPen);
         p.setBrush(kWhite);
         p.drawEllipse(QPointF(32, 51), 4.5, 4.5);
       }},
      {"Email", kTeal,
       [](QPainter& p, const QColor& b) {
         p.setPen(Qt::NoPen);
         p.setBrush(kWhite);
         p.drawRoundedRect(QRectF(10, 17, 44, 30), 4, 4);
         p.setPen(Stroke(b, 4));
         p.drawPolyline(QPolygonF({QPointF(13, 20), QPointF(32, 35), QPointF(51, 20)}));
       }},
      {"Web", kBlue,
       [](QPainter& p, const QColor&) {
         p.setPen(Stroke(kWhite, 4));
         p.setBrush(Qt::NoBrush);
         p.drawEllipse(QPointF(32, 32), 21, 21);
         p.drawEllipse(QPointF(32, 32), 9, 21);
         p.drawLine(QPointF(11, 32), QPointF(53, 32));
         p.drawLine(QPointF(15, 21), QPointF(49, 21));
         p.drawLine(QPointF(15, 43), QPointF(49, 43));
       }},
      {"Updates", kGreen,
       [](QPainter& p, const QColor&) {
         Arrow(p, QPointF(32, 10), QPointF(32, 40), kWhite, 6);
         p.setPen(Stroke(kWhite, 6));
         p.drawLine(QPointF(14, 52), QPointF(50, 52));
       }},
      {"About", kSlate,
       [](QPainter& p, const QColor& b) {
         Disc(p);
         p.setBrush(b);
         p.drawEllipse(QPointF(32, 21), 4, 4);
         p.drawRoundedRect(QRectF(28.5, 28, 7, 18), 3, 3);
       }},
  };
}

QImage Draw(const Icon& icon, int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size / 64.0, size / 64.0);
  p.setPen(Qt::NoPen);
  p.setBrush(icon.colour);
  p.drawRoundedRect(QRectF(2, 2, 60, 60), 12, 12);
  icon.glyph(p, icon.colour);
  p.end();
  return image.convertToFormat(QImage::Format_ARGB32);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT.zip\n", argv[0]);
    return 2;
  }
  std::map<std::string, std::string> entries;
  // theme.cfg lines are CR LF, as the theme reader expects.
  std::string cfg = std::string("[Theme]\r\nName=") + kThemeName + "\r\n[Buttons]\r\n";
  const std::pair<const char*, int> buttons[] = {
      {"Convert", 64}, {"InFiles", 48}, {"InFolder", 48}};
  const std::vector<Icon> icons = Icons();
  for (const auto& [name, size] : buttons) {
    for (const Icon& icon : icons)
      if (std::string(icon.name) == name) {
        const std::string entry = "button_" + Lower(name) + ".png";
        entries[entry] = Png(Draw(icon, size));
        cfg += std::string(name) + "=" + entry + "\r\n";
      }
  }
  cfg += "[Icons]\r\n";
  for (const Icon& icon : icons) {
    cfg += std::string(icon.name) + "=" + Lower(icon.name) + "\r\n";
    for (int size : kIconSizes)
      entries[Lower(icon.name) + "_" + std::to_string(size) + ".png"] = Png(Draw(icon, size));
  }
  entries["theme.cfg"] = cfg;
  // The map writes the entries in name order.
  if (!lumafold::tools::WriteArchive(argv[1], {entries.begin(), entries.end()})) {
    std::fprintf(stderr, "cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
