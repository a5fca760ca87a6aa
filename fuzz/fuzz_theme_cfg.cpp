// The in-memory theme.cfg reader on arbitrary archive text, looked up the
// way loading a theme does (every image name of every set), plus section
// and key names taken from the input itself.
//
// Input: the theme.cfg text, optionally followed by NUL, a section name,
// NUL and a key name.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "ui/themes.h"

using namespace lumafold;
using namespace lumafold::ui;

namespace {

void CheckValue(const std::string& value) {
  // The reader trims blanks and line ends and stops at a second "=".
  FUZZ_CHECK(value.find("\r\n") == std::string::npos);
  FUZZ_CHECK(value.find('=') == std::string::npos);
  if (!value.empty()) {
    FUZZ_CHECK(std::string_view(" \t\r\n").find(value.front()) == std::string_view::npos);
    FUZZ_CHECK(std::string_view(" \t\r\n").find(value.back()) == std::string_view::npos);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const auto pieces = fuzz::SplitAtNul(input);
  const std::string& text = pieces[0];

  CheckValue(ReadThemeKey(text, "Theme", "Name"));
  for (ThemeSet set : {kThemeButtons, kThemeMenuIcons, kThemeToolBarIcons}) {
    for (int uiSize = -1; uiSize <= 5; uiSize += 3) {
      const ThemeSetSpec plan = ThemeSetFor(set, uiSize);
      for (std::string_view name : plan.names) {
        const std::string value = ReadThemeKey(text, plan.section, name);
        CheckValue(value);
        const std::string entry = ThemeEntryName(value, plan.pixelSize);
        FUZZ_CHECK(entry.size() >= value.size());
      }
    }
  }
  if (pieces.size() >= 3) CheckValue(ReadThemeKey(text, pieces[1], pieces[2]));
  return 0;
}
