#include "settings/conversion_settings.h"

#include <ctime>
#include <utility>

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

SettingsDate LocalDate(std::time_t when) {
  // The file counts seconds since 1970 in local time, so shift UTC by the
  // zone offset that applies then.
  std::tm local{};
  localtime_r(&when, &local);
  return static_cast<SettingsDate>(when + local.tm_gmtoff);
}

SettingsDate ConversionSettings::now() const {
  return LocalDate(clock ? clock() : std::time(nullptr));
}

void ConversionSettings::resetToDefaults(SettingsMode mode, ScreenSize screen) {
  std::string path = std::move(settingsFilePath);
  std::function<std::time_t()> keptClock = std::move(clock);
  *this = ConversionSettings{};
  settingsFilePath = std::move(path);
  clock = std::move(keptClock);

  const SettingsDate today = now();
  general.updateDate = today;
  advanced.customTimestamp = today;
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
