#include "engine/steps/font_loader.h"

#include <fontconfig/fontconfig.h>

#include <mutex>
#include <vector>

#include "engine/steps/drawing_layer.h"
#include "engine/steps/drawing_libraries.h"

namespace lumafold {

namespace {

constexpr int kStyleBold = 1;
constexpr int kStyleItalic = 2;
constexpr int kStyleBoldItalic = 3;
constexpr int kEffectUnderline = 1;
constexpr int kEffectStrikeOut = 2;

struct PatternReleaser {
  void operator()(FcPattern* pattern) const noexcept { FcPatternDestroy(pattern); }
};
using Pattern = std::unique_ptr<FcPattern, PatternReleaser>;

const FcChar8* AsFc(const std::string& text) {
  return reinterpret_cast<const FcChar8*>(text.c_str());
}

// After substitution the pattern lists the asked family followed by the
// families fontconfig's rules bind to it. Metric aliases ("Arial" ->
// Arimo, Liberation Sans, ...) are bound strongly and come first; the
// generic fall-backs every name gets (DejaVu Sans, sans-serif, ...) are weak.
std::vector<std::string> StronglyBoundFamilies(FcPattern* pattern) {
  std::vector<std::string> families;
  FcValue value;
  FcValueBinding binding;
  for (int i = 0; FcPatternGetWithBinding(pattern, FC_FAMILY, i, &value, &binding) == FcResultMatch;
       ++i) {
    if (binding != FcValueBindingStrong || value.type != FcTypeString) break;
    families.emplace_back(reinterpret_cast<const char*>(value.u.s));
  }
  return families;
}

bool SameFamily(const FcChar8* a, const std::string& b) {
  return FcStrCmpIgnoreCase(a, AsFc(b)) == 0;
}

// The default "Fonts" list names three Windows faces. fontconfig's own
// metric aliases cover Arial (Liberation Sans) but leave Tahoma and Verdana
// to the weak generic fall-back, which the check above rightly refuses.
// These rules bind them strongly to the installed faces nearest in build:
// Verdana's wide, open letters to DejaVu Sans (drawn from the same model),
// Tahoma's narrower ones to Liberation Sans. A real Tahoma or Verdana, when
// installed, still comes first: <accept> puts the faces after the name.
constexpr char kFontAliases[] = R"(<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "urn:fontconfig:fonts.dtd">
<fontconfig>
  <alias binding="strong">
    <family>Tahoma</family>
    <accept><family>Liberation Sans</family><family>DejaVu Sans</family></accept>
  </alias>
  <alias binding="strong">
    <family>Verdana</family>
    <accept><family>DejaVu Sans</family><family>Liberation Sans</family></accept>
  </alias>
</fontconfig>
)";

}  // namespace

void InstallFontAliases() {
  if (!DrawingLibrariesLoaded()) return;
  static std::once_flag installed;
  std::call_once(installed, [] {
    std::lock_guard<std::mutex> guard(TextRenderingLock());
    FcConfigParseAndLoadFromMemory(FcConfigGetCurrent(),
                                   reinterpret_cast<const FcChar8*>(kFontAliases), FcTrue);
  });
}

std::shared_ptr<WatermarkFont> LoadWatermarkFont(const WatermarkSettings& watermark) {
  InstallFontAliases();
  if (watermark.font.empty() || watermark.fontSize < 1 || !DrawingLibrariesLoaded()) return nullptr;
  const bool bold = watermark.fontStyle == kStyleBold || watermark.fontStyle == kStyleBoldItalic;
  const bool italic =
      watermark.fontStyle == kStyleItalic || watermark.fontStyle == kStyleBoldItalic;

  std::lock_guard<std::mutex> guard(TextRenderingLock());
  // Built field by field rather than parsed, so that names holding "-" or
  // ":" are taken as family names and not as pattern syntax.
  Pattern pattern(FcPatternCreate());
  if (!pattern) return nullptr;
  FcPatternAddString(pattern.get(), FC_FAMILY, AsFc(watermark.font));
  FcPatternAddInteger(pattern.get(), FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
  FcPatternAddInteger(pattern.get(), FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  if (!FcConfigSubstitute(nullptr, pattern.get(), FcMatchPattern)) return nullptr;
  FcDefaultSubstitute(pattern.get());
  const std::vector<std::string> accepted = StronglyBoundFamilies(pattern.get());

  FcResult result = FcResultNoMatch;
  Pattern match(FcFontMatch(nullptr, pattern.get(), &result));
  if (!match || result != FcResultMatch) return nullptr;

  // A face can carry several family names (localised, condensed, ...).
  FcChar8* family = nullptr;
  const FcChar8* found = nullptr;
  for (int i = 0; !found && FcPatternGetString(match.get(), FC_FAMILY, i, &family) == FcResultMatch;
       ++i) {
    if (SameFamily(family, watermark.font)) found = family;
    for (const std::string& name : accepted)
      if (!found && SameFamily(family, name)) found = family;
  }
  if (!found) return nullptr;

  auto font = std::make_shared<WatermarkFont>();
  font->requestedFamily = watermark.font;
  font->family = reinterpret_cast<const char*>(found);
  FcChar8* file = nullptr;
  if (FcPatternGetString(match.get(), FC_FILE, 0, &file) == FcResultMatch)
    font->file = reinterpret_cast<const char*>(file);
  font->pointSize = watermark.fontSize;
  font->bold = bold;
  font->italic = italic;
  font->underline = watermark.fontEffect == kEffectUnderline;
  font->strikeOut = watermark.fontEffect == kEffectStrikeOut;
  return font;
}

}  // namespace lumafold
