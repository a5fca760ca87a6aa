// Colours as the settings hold them (six hexadecimal digits RRGGBB) and
// the names the preferences' colour lists show for them.
#pragma once

#include <QColor>
#include <QIcon>
#include <QString>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace lumafold {
class StringCatalog;
}

namespace lumafold::ui {

struct NamedColour {
  std::string_view catalogKey;  // group "Preferences"
  std::string_view hex;         // upper case
};

// The nineteen colours that a colour list names.
std::span<const NamedColour> NamedColours();

// Six upper-case hex digits; any text that is not six hex digits is black.
std::string NormalizeHex(std::string_view text);

QColor ColourFromHex(std::string_view text);
std::string HexFromColour(const QColor& colour);

// The name of a colour: the catalog text of one of the nineteen, or the
// catalog text of "Color" followed by " #" and the six digits.
QString ColourName(const StringCatalog& catalog, std::string_view hex);

// The entries of a comma list ("Font Colors", "Fonts"), spaces trimmed,
// empty entries dropped.
std::vector<std::string> SplitCommaList(std::string_view list);

// A 16 x 16 swatch of the colour with a dark outline.
QIcon ColourSwatch(const QColor& colour, int size = 16);

}  // namespace lumafold::ui
