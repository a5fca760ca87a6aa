// The watermark font: checked and resolved through fontconfig once before a
// text-watermark run, then used by every file of the run.
#pragma once

#include <memory>
#include <string>

#include "settings/conversion_settings.h"

namespace lumafold {

// Plain data, so that file workers can share one font without sharing any
// library object: each drawing builds its own Pango description from it.
struct WatermarkFont {
  std::string requestedFamily;  // "Font" as set, e.g. "Arial"
  std::string family;           // the installed family, e.g. "Liberation Sans"
  std::string file;             // the face fontconfig chose
  int pointSize = 0;
  bool bold = false;
  bool italic = false;
  bool underline = false;
  bool strikeOut = false;
};

// The font of "Font", "Font Size", "Font Style" and "Font Effect", or null
// when it cannot be created: fontconfig must find a family of that name
// (letter case ignored) or one that its configuration offers as the name's
// metric substitute (Liberation Sans for "Arial"). A name that would only
// fall back to the default font is refused.
std::shared_ptr<WatermarkFont> LoadWatermarkFont(const WatermarkSettings& watermark);

// Adds the program's own family aliases (Tahoma, Verdana) to fontconfig's
// current configuration, once per process. LoadWatermarkFont calls it; the
// window calls it before Qt reads the font configuration, so that its font
// chooser resolves the names the same way.
void InstallFontAliases();

}  // namespace lumafold
