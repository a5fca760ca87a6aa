#include "settings/conversion_settings.h"

#include <ctime>

namespace lumafold {

namespace {

struct BppField {
  const char* key;
  std::int32_t OutputSettings::*field;
};

constexpr BppField kBppFields[] = {
    {"bmp", &OutputSettings::bmpBpp},   {"dds", &OutputSettings::ddsBpp},
    {"exr", &OutputSettings::exrBpp},   {"gif", &OutputSettings::gifBpp},
    {"hdr", &OutputSettings::hdrBpp},   {"ico", &OutputSettings::icoBpp},
    {"j2k", &OutputSettings::j2kBpp},   {"jng", &OutputSettings::jngBpp},
    {"jp2", &OutputSettings::jp2Bpp},   {"jpg", &OutputSettings::jpgBpp},
    {"jxr", &OutputSettings::jxrBpp},   {"pbm", &OutputSettings::pbmBpp},
    {"pcx", &OutputSettings::pcxBpp},   {"pfm", &OutputSettings::pfmBpp},
    {"pgm", &OutputSettings::pgmBpp},   {"png", &OutputSettings::pngBpp},
    {"ppm", &OutputSettings::ppmBpp},   {"psd", &OutputSettings::psdBpp},
    {"tga", &OutputSettings::tgaBpp},   {"tiff", &OutputSettings::tiffBpp},
    {"wbmp", &OutputSettings::wbmpBpp}, {"webp", &OutputSettings::webpBpp},
    {"xpm", &OutputSettings::xpmBpp},
};

}  // namespace

std::int32_t* OutputSettings::bppFor(const std::string& key) {
  for (const auto& f : kBppFields)
    if (key == f.key) return &(this->*f.field);
  return nullptr;
}

const std::int32_t* OutputSettings::bppFor(const std::string& key) const {
  return const_cast<OutputSettings*>(this)->bppFor(key);
}

SettingsDate localNow() {
  // The file counts seconds since 1970 in local time, so shift UTC by the
  // zone offset that applies now.
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return static_cast<SettingsDate>(now + local.tm_gmtoff);
}

void ConversionSettings::resetToDefaults(SettingsMode mode, ScreenSize screen) {
  std::string path = settingsFilePath;
  *this = ConversionSettings{};
  settingsFilePath = path;

  const SettingsDate now = localNow();
  general.updateDate = now;
  advanced.customTimestamp = now;
  window.x = screen.width > 510 ? (screen.width - 510) / 2 : 100;
  window.y = screen.height > 330 ? (screen.height - 330) / 2 : 100;
  transform.keepAspectRatio = mode == SettingsMode::Window ? 1 : 0;
}

void ConversionSettings::updateColorCorrection() {
  adjustment.doImageColorCorrection =
      (adjustment.imageBrightness != 0 || adjustment.imageContrast != 0 ||
       adjustment.imageGamma != 1.0f || adjustment.imageInvert == 1)
          ? 1
          : 0;
}

}  // namespace lumafold
