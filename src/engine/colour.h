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

// Any text that is not exactly six hexadecimal digits gives black.
RgbColour ParseColour(const std::string& text);

}  // namespace lumafold
