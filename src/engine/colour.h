// Colour texts of the settings: six hexadecimal digits RRGGBB.
#pragma once

#include <cstdint>
#include <string>

namespace lumafold {

struct RgbColour {
  std::uint8_t red = 0;
  std::uint8_t green = 0;
  std::uint8_t blue = 0;

  bool operator==(const RgbColour&) const = default;
};

// Six hexadecimal digits, with or without a leading "#"; any other text
// gives black.
RgbColour ParseColour(const std::string& text);

}  // namespace lumafold
