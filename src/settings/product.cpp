#include "settings/product.h"

namespace lumafold {

std::string VersionText(int versionNumber) {
  const std::string digits = std::to_string(versionNumber);
  // Each point goes in only where a digit follows it, so a one- or two-digit
  // number never ends in a bare point.
  std::string text;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i == 1 || i == 2) text += '.';
    text += digits[i];
  }
  if (text.back() == '0' && text.size() > 3) text.resize(3);
  return text;
}

std::string VersionText() { return VersionText(kVersionNumber); }

std::string TitleLine() { return std::string(kProductTitle) + " " + VersionText(); }

std::string ProgramNameFromPath(std::string_view path) {
  const std::size_t slash = path.find_last_of('/');
  std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
  const std::size_t dot = name.find_last_of('.');
  // A leading dot starts a hidden file's name, not an extension.
  if (dot != std::string_view::npos && dot > 0) name = name.substr(0, dot);
  if (name.empty()) return "lumafold";
  return std::string(name);
}

}  // namespace lumafold
