// The one record of every setting: program, window, interface, formats,
// transformation, adjustment, frame, watermark, naming and recent lists.
// Grouped by the settings file's sections; the key table that names each
// field for the file and the command line lives in settings_keys.h.
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <string>

namespace lumafold {

// Seconds since 1970-01-01 00:00:00, local time, as the settings file holds it.
using SettingsDate = std::int32_t;

enum class SettingsMode { Window, CommandLine };

struct GeneralSettings {
  std::int32_t cfg = 17;
  std::string language = "en";
  std::int32_t updateRange = 2;
  SettingsDate updateDate = 0;
  std::int8_t saveWindowPosition = 1;
};

struct WindowSettings {
  std::int8_t isMaximized = 0;
  std::int32_t x = 100;
  std::int32_t y = 100;
  std::int32_t width = 510;
  std::int32_t height = 330;
};

struct InterfaceSettings {
  std::string uiTheme = "handdrawn";
  std::int32_t uiSize = 2;
  std::int8_t showThumbnails = 1;  // pictures in the input list and the preview
};

struct InputSettings {
  std::string format = "pcd";
  std::int32_t ddsLoadAs = 0;
  std::int32_t gifFrameLoading = 0;
  std::int32_t icoFrameLoading = 0;
  std::int32_t tiffFrameLoading = 0;
  std::int32_t rawLoadAs = 0;
  std::int32_t rawHeaderSize = 0;
  std::int32_t rawImageWidth = 0;
  std::int32_t rawImageHeight = 0;
  std::int32_t rawToneMapping = 2;
  // Which decoder reads Photo CD files: 0 the program's own (in the
  // process), 1 the external converter with FreeImage's loader behind it.
  std::int32_t pcdDecoder = 0;
  // What the built-in decoder's 8- and 16-bit renderings make of the range
  // above reference white: 0 roll it off into the top codes, 1 keep it
  // (the brightest encodable value at the top code).
  std::int32_t pcdHighlights = 0;
};

struct OutputSettings {
  std::string format = "bmp";
  std::int32_t bmpBpp = 0;
  std::int32_t bmpCompression = 0;
  std::int32_t bmpColorTable = 0;
  std::int32_t ddsBpp = 0;
  std::int32_t exrBpp = 0;
  std::int32_t exrCompression = 0;
  std::int32_t gifBpp = 0;
  std::int32_t hdrBpp = 0;
  std::int32_t icoBpp = 0;
  std::int32_t j2kBpp = 0;
  std::int32_t jngBpp = 0;
  std::int32_t jp2Bpp = 0;
  std::int32_t jpgBpp = 0;
  std::int32_t jpgQuality = 95;
  std::int32_t jpgChroma = 0;
  std::int32_t jpgSaveAs = 0;
  std::int32_t jxrBpp = 0;
  std::int32_t pbmBpp = 0;
  std::int32_t pcxBpp = 0;
  std::int32_t pfmBpp = 0;
  std::int32_t pgmBpp = 0;
  std::int32_t pngBpp = 0;
  std::int32_t pngCompression = 0;
  std::int8_t pngInterlaced = 0;
  std::int32_t ppmBpp = 0;
  std::int32_t psdBpp = 0;
  std::int32_t tgaBpp = 0;
  std::int32_t tgaCompression = 0;
  std::int32_t tiffBpp = 0;
  std::int32_t tiffCompression = 0;
  std::int32_t tiffColorModel = 0;
  std::int32_t wbmpBpp = 0;
  std::int32_t webpBpp = 0;
  std::int32_t xpmBpp = 0;
  // 1: the outputs carry what the Image Pac says about the scan (times,
  // scanner, film, rights) as EXIF and XMP; 0: they carry none of it.
  std::int8_t keepMetadata = 1;

  // The "<KEY> BPP" field of an output format key ("jpg" -> jpgBpp);
  // nullptr for a key that is not one of the 23 output formats.
  std::int32_t* bppFor(const std::string& key);
  const std::int32_t* bppFor(const std::string& key) const;
};

struct TransformSettings {
  std::int8_t doImageRotation = 0;
  std::int8_t imageRotationType = 0;  // 0 simple, 1 advanced
  std::int32_t imageRotation = 0;
  std::string imageRotationBackColor = "000000";
  std::int8_t doImageResize = 0;
  std::int32_t imageWidth = 0;
  std::int8_t imageWidthUnit = 0;  // 0 pixels, 1 percent
  std::int32_t imageHeight = 0;
  std::int8_t imageHeightUnit = 0;
  std::int8_t keepAspectRatio = 1;
  std::int8_t imageResizeType = 0;       // 0 all images, 1 large images
  std::int8_t imageResizeAlgorithm = 3;  // 0 box .. 5 lanczos
  std::int8_t doImageFlipHorizontal = 0;
  std::int8_t doImageFlipVertical = 0;
};

struct AdjustmentSettings {
  std::int8_t doImageColorCorrection = 0;  // derived, see updateColorCorrection()
  std::int32_t imageBrightness = 0;
  std::int32_t imageContrast = 0;
  float imageGamma = 1.0f;
  std::int8_t imageInvert = 0;
  std::int8_t doImageGreyscale = 0;
  std::int8_t doImageThreshold = 0;
  std::int32_t imageThreshold = 0;
};

struct FrameSettings {
  std::int8_t doFrame = 0;  // 0 none, 1 solid
  std::int32_t solidLeft = 0;
  std::int32_t solidRight = 0;
  std::int32_t solidTop = 0;
  std::int32_t solidBottom = 0;
  std::string solidLeftColor = "000000";
  std::string solidRightColor = "000000";
  std::string solidTopColor = "000000";
  std::string solidBottomColor = "000000";
  std::int32_t solidOpacity = 255;
};

inline constexpr const char* kDefaultWatermarkText = "Converted with Quorvane Lumafold";
inline constexpr const char* kDefaultColorList =
    "000000,FFFFFF,FF0000,FF8000,FFFF00,008000,00FFFF,0000FF,8000FF";

struct WatermarkSettings {
  std::int8_t doWatermark = 0;  // 0 none, 1 text, 2 image
  std::string text = kDefaultWatermarkText;
  std::string fonts = "Arial,Tahoma,Verdana";
  std::string font = "Arial";
  std::int32_t fontSize = 14;
  std::int32_t fontLeading = 0;
  std::string fontColors = kDefaultColorList;
  std::string fontColor = "FFFFFF";
  std::int8_t fontStyle = 0;   // 0 regular, 1 bold, 2 italic, 3 bold italic
  std::int8_t fontEffect = 0;  // 0 none, 1 underline, 2 strike-out
  std::int8_t textAntialiasing = 0;
  std::int8_t textAlignment = 0;  // 0 left, 1 center, 2 right
  std::int32_t textPadding = 0;
  std::int32_t textOpacity = 255;
  std::string backColors = kDefaultColorList;
  std::string backColor = "000000";
  std::int32_t backOpacity = 1;
  std::int8_t textBoundary = 0;  // 0 image, 1 frame
  std::int8_t textPosition = 8;  // 0 top-left .. 8 bottom-right
  std::int32_t textXOffset = 10;
  std::int32_t textYOffset = 10;
  std::int32_t textRotation = 0;
  std::int8_t textSize = 0;
  std::int32_t textScale = 10;
  std::string image;
  std::int8_t imageGreyscale = 0;
  std::int32_t imageOpacity = 255;
  std::int8_t imageBoundary = 0;
  std::int8_t imagePosition = 8;
  std::int32_t imageXOffset = 10;
  std::int32_t imageYOffset = 10;
  std::int32_t imageRotation = 0;
  std::int8_t imageSize = 0;
  std::int32_t imageScale = 10;
};

struct AdvancedSettings {
  std::string filenameMask = "%filename%.%ext%";
  std::int8_t fileTimestamp = 0;  // 0 current, 1 original, 2 custom
  SettingsDate customTimestamp = 0;
  std::int8_t outFoldersHistory = 1;  // 0 clean on exit, 1 keep
  std::int8_t outFoldersNumber = 5;
  std::int8_t keepSubfolders = 1;
  std::int32_t jobs = 0;  // file workers; 0 = one per online core
};

struct FileSettings {
  std::string recentOutFolders;  // TAB-separated, most recent first
  std::string recentFiles;
};

struct PrivacySettings {
  std::int8_t cleanRecentFiles = 0;
};

// Size of the primary desktop, used for the centred window default. The
// engine links no GUI toolkit, so the desktop face installs the provider.
struct ScreenSize {
  int width = 1024;
  int height = 768;
};

struct ConversionSettings {
  std::string settingsFilePath;  // not persisted
  // The one clock every "now" of the settings reads (the defaults, the
  // fallbacks of a settings file, the update check's date); empty: the
  // system's. Tests fix it, so that two loads cannot straddle a second.
  std::function<std::time_t()> clock;

  GeneralSettings general;
  WindowSettings window;
  InterfaceSettings interface;
  InputSettings input;
  OutputSettings output;
  TransformSettings transform;
  AdjustmentSettings adjustment;
  FrameSettings frame;
  WatermarkSettings watermark;
  AdvancedSettings advanced;
  FileSettings file;
  PrivacySettings privacy;

  // Every field to its built-in default. The mode only decides
  // "Keep Aspect Ratio"; "now" dates take the clock at this call.
  void resetToDefaults(SettingsMode mode, ScreenSize screen = ScreenSize{});

  // "Do Image Color Correction" follows brightness, contrast, gamma, invert.
  void updateColorCorrection();

  // `clock`'s time as a settings date (seconds since 1970 local time).
  SettingsDate now() const;
};

// `when` as seconds since 1970 local time.
SettingsDate LocalDate(std::time_t when);

}  // namespace lumafold
