#include "engine/colour.h"

#include <string_view>

namespace lumafold {

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

RgbColour ParseColour(const std::string& input) {
  // "#RRGGBB" is how every other tool writes a colour; the settings' own
  // form has no "#", and both mean the same.
  const std::string_view text =
      input.starts_with('#') ? std::string_view(input).substr(1) : std::string_view(input);
  if (text.size() != 6) return {};
  int digits[6];
  for (int i = 0; i < 6; ++i) {
    digits[i] = HexDigit(text[i]);
    if (digits[i] < 0) return {};
  }
  return {static_cast<std::uint8_t>(digits[0] * 16 + digits[1]),
          static_cast<std::uint8_t>(digits[2] * 16 + digits[3]),
          static_cast<std::uint8_t>(digits[4] * 16 + digits[5])};
}

}  // namespace lumafold
