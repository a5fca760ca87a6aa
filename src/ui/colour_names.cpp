// The colour lists' names and the RRGGBB texts, both ways.
#include "ui/colour_names.h"

#include <QIcon>
#include <QPainter>
#include <QPixmap>
#include <cctype>

#include "settings/string_catalog.h"
#include "settings/text_utils.h"

namespace lumafold::ui {

namespace {

constexpr NamedColour kNamedColours[] = {
    {"Black", "000000"},  {"Silver", "C0C0C0"}, {"Gray", "808080"},   {"White", "FFFFFF"},
    {"Maroon", "800000"}, {"Red", "FF0000"},    {"Purple", "800080"}, {"Fuchsia", "FF00FF"},
    {"Green", "008000"},  {"Lime", "00FF00"},   {"Olive", "808000"},  {"Yellow", "FFFF00"},
    {"Navy", "000080"},   {"Blue", "0000FF"},   {"Teal", "008080"},   {"Aqua", "00FFFF"},
    {"Orange", "FF8000"}, {"Brown", "804000"},  {"Violet", "8000FF"},
};

}  // namespace

std::span<const NamedColour> NamedColours() { return kNamedColours; }

std::string NormalizeHex(std::string_view text) {
  if (text.size() != 6) return "000000";
  std::string hex;
  for (char c : text) {
    if (!std::isxdigit(static_cast<unsigned char>(c))) return "000000";
    hex += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  return hex;
}

QColor ColourFromHex(std::string_view text) {
  const std::string hex = NormalizeHex(text);
  return QColor::fromRgb(std::stoi(hex.substr(0, 2), nullptr, 16),
                         std::stoi(hex.substr(2, 2), nullptr, 16),
                         std::stoi(hex.substr(4, 2), nullptr, 16));
}

std::string HexFromColour(const QColor& colour) {
  return QString::asprintf("%02X%02X%02X", colour.red(), colour.green(), colour.blue())
      .toStdString();
}

QString ColourName(const StringCatalog& catalog, std::string_view hex) {
  const std::string normal = NormalizeHex(hex);
  for (const NamedColour& named : kNamedColours)
    if (named.hex == normal)
      return QString::fromStdString(catalog.text("Preferences", named.catalogKey));
  return QString::fromStdString(catalog.text("Preferences", "Color") + " #" + normal);
}

std::vector<std::string> SplitCommaList(std::string_view list) {
  std::vector<std::string> entries;
  std::size_t start = 0;
  while (start <= list.size()) {
    std::size_t comma = list.find(',', start);
    if (comma == std::string_view::npos) comma = list.size();
    std::string_view entry = TrimSpaces(list.substr(start, comma - start));
    if (!entry.empty()) entries.emplace_back(entry);
    start = comma + 1;
  }
  return entries;
}

QIcon ColourSwatch(const QColor& colour, int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(colour);
  QPainter painter(&pixmap);
  painter.setPen(QColor(64, 64, 64));
  painter.drawRect(0, 0, size - 1, size - 1);
  return QIcon(pixmap);
}

}  // namespace lumafold::ui
