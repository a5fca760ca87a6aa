#include "settings/settings_keys.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

#include "settings/text_utils.h"

namespace lumafold {

namespace {

constexpr SettingFallback Int(std::int32_t value) {
  return SettingFallback{value, 0.0f, "", false};
}
constexpr SettingFallback Real(float value) { return SettingFallback{0, value, "", false}; }
constexpr SettingFallback Text(const char* value) { return SettingFallback{0, 0.0f, value, false}; }
constexpr SettingFallback kNow{0, 0.0f, "", true};

using T = SettingType;
using K = KeywordSet;

#define LF_FIELD(path) [](ConversionSettings& s) -> SettingField { return &s.path; }
// A key written always.
#define LF_KEY(section, key, type, path, fallback) \
  { section, key, type, LF_FIELD(path), fallback, nullptr, false, std::nullopt }
#define LF_TRIMMED(section, key, type, path, fallback) \
  { section, key, type, LF_FIELD(path), fallback, nullptr, true, std::nullopt }
#define LF_ENUM(section, key, type, path, fallback, set) \
  { section, key, type, LF_FIELD(path), fallback, nullptr, false, set }
// A key of one input or output format.
#define LF_FORMAT(section, key, type, path, fallback, format) \
  { section, key, type, LF_FIELD(path), fallback, format, false, std::nullopt }
#define LF_FORMAT_ENUM(section, key, type, path, fallback, format, set) \
  { section, key, type, LF_FIELD(path), fallback, format, false, set }

constexpr const char* kSections[] = {"General",   "Window",    "Interface",  "Input",
                                     "Output",    "Transform", "Adjustment", "Frame",
                                     "Watermark", "Advanced",  "File",       "Privacy"};

constexpr SettingKey kKeys[] = {
    // A file without "CFG" predates the layout versions and counts as 0.
    LF_KEY("General", "CFG", T::Int32, general.cfg, Int(0)),
    LF_KEY("General", "Language", T::String, general.language, Text("en")),
    LF_KEY("General", "Update Range", T::Int32, general.updateRange, Int(2)),
    LF_KEY("General", "Update Date", T::Date, general.updateDate, kNow),
    LF_KEY("General", "Save Window Position", T::Int8, general.saveWindowPosition, Int(1)),

    LF_KEY("Window", "IsMaximized", T::Int8, window.isMaximized, Int(0)),
    LF_KEY("Window", "Width", T::Int32, window.width, Int(510)),
    LF_KEY("Window", "Height", T::Int32, window.height, Int(330)),
    LF_KEY("Window", "X", T::Int32, window.x, Int(100)),
    LF_KEY("Window", "Y", T::Int32, window.y, Int(100)),

    LF_KEY("Interface", "UI Theme", T::String, interface.uiTheme, Text("handdrawn")),
    LF_KEY("Interface", "UI Size", T::Int32, interface.uiSize, Int(2)),
    LF_KEY("Interface", "Show Thumbnails", T::Int8, interface.showThumbnails, Int(1)),

    LF_KEY("Input", "Format", T::String, input.format, Text("pcd")),
    LF_FORMAT_ENUM("Input", "DDS Load As", T::Int32, input.ddsLoadAs, Int(0), "dds", K::DdsLoadAs),
    LF_FORMAT_ENUM("Input", "GIF Frame Loading", T::Int32, input.gifFrameLoading, Int(0), "gif",
                   K::FrameLoading),
    LF_FORMAT_ENUM("Input", "ICO Frame Loading", T::Int32, input.icoFrameLoading, Int(0), "ico",
                   K::FrameLoading),
    LF_FORMAT_ENUM("Input", "PCD Decoder", T::Int32, input.pcdDecoder, Int(0), "pcd",
                   K::PcdDecoder),
    LF_FORMAT_ENUM("Input", "PCD Highlights", T::Int32, input.pcdHighlights, Int(0), "pcd",
                   K::PcdHighlights),
    LF_FORMAT_ENUM("Input", "RAW Load As", T::Int32, input.rawLoadAs, Int(0), "raw", K::RawLoadAs),
    LF_FORMAT("Input", "RAW Header Size", T::Int32, input.rawHeaderSize, Int(0), "raw"),
    LF_FORMAT("Input", "RAW Image Width", T::Int32, input.rawImageWidth, Int(0), "raw"),
    LF_FORMAT("Input", "RAW Image Height", T::Int32, input.rawImageHeight, Int(0), "raw"),
    LF_FORMAT_ENUM("Input", "RAW Tone Mapping", T::Int32, input.rawToneMapping, Int(2), "raw",
                   K::ToneMapping),
    LF_FORMAT_ENUM("Input", "TIFF Frame Loading", T::Int32, input.tiffFrameLoading, Int(0), "tiff",
                   K::FrameLoading),

    LF_KEY("Output", "Format", T::String, output.format, Text("bmp")),
    LF_FORMAT("Output", "BMP BPP", T::Int32, output.bmpBpp, Int(0), "bmp"),
    LF_FORMAT_ENUM("Output", "BMP Compression", T::Int32, output.bmpCompression, Int(0), "bmp",
                   K::Compression),
    LF_FORMAT_ENUM("Output", "BMP Color Table", T::Int32, output.bmpColorTable, Int(0), "bmp",
                   K::BmpColorTable),
    LF_FORMAT("Output", "DDS BPP", T::Int32, output.ddsBpp, Int(0), "dds"),
    LF_FORMAT("Output", "EXR BPP", T::Int32, output.exrBpp, Int(0), "exr"),
    LF_FORMAT_ENUM("Output", "EXR Compression", T::Int32, output.exrCompression, Int(0), "exr",
                   K::Compression),
    LF_FORMAT("Output", "GIF BPP", T::Int32, output.gifBpp, Int(0), "gif"),
    LF_FORMAT("Output", "HDR BPP", T::Int32, output.hdrBpp, Int(0), "hdr"),
    LF_FORMAT("Output", "ICO BPP", T::Int32, output.icoBpp, Int(0), "ico"),
    LF_FORMAT("Output", "J2K BPP", T::Int32, output.j2kBpp, Int(0), "j2k"),
    LF_FORMAT("Output", "JNG BPP", T::Int32, output.jngBpp, Int(0), "jng"),
    LF_FORMAT("Output", "JP2 BPP", T::Int32, output.jp2Bpp, Int(0), "jp2"),
    LF_FORMAT("Output", "JPG BPP", T::Int32, output.jpgBpp, Int(0), "jpg"),
    LF_FORMAT("Output", "JPG Quality", T::Int32, output.jpgQuality, Int(95), "jpg"),
    LF_FORMAT_ENUM("Output", "JPG Chroma", T::Int32, output.jpgChroma, Int(0), "jpg", K::JpgChroma),
    LF_FORMAT_ENUM("Output", "JPG Save As", T::Int32, output.jpgSaveAs, Int(0), "jpg",
                   K::JpgSaveAs),
    LF_FORMAT("Output", "JXR BPP", T::Int32, output.jxrBpp, Int(0), "jxr"),
    LF_FORMAT("Output", "PBM BPP", T::Int32, output.pbmBpp, Int(0), "pbm"),
    LF_FORMAT("Output", "PCX BPP", T::Int32, output.pcxBpp, Int(0), "pcx"),
    LF_FORMAT("Output", "PFM BPP", T::Int32, output.pfmBpp, Int(0), "pfm"),
    LF_FORMAT("Output", "PGM BPP", T::Int32, output.pgmBpp, Int(0), "pgm"),
    LF_FORMAT("Output", "PNG BPP", T::Int32, output.pngBpp, Int(0), "png"),
    LF_FORMAT_ENUM("Output", "PNG Compression", T::Int32, output.pngCompression, Int(0), "png",
                   K::Compression),
    LF_FORMAT("Output", "PNG Interlaced", T::Int8, output.pngInterlaced, Int(0), "png"),
    LF_FORMAT("Output", "PPM BPP", T::Int32, output.ppmBpp, Int(0), "ppm"),
    LF_FORMAT("Output", "PSD BPP", T::Int32, output.psdBpp, Int(0), "psd"),
    LF_FORMAT("Output", "TGA BPP", T::Int32, output.tgaBpp, Int(0), "tga"),
    LF_FORMAT_ENUM("Output", "TGA Compression", T::Int32, output.tgaCompression, Int(0), "tga",
                   K::Compression),
    LF_FORMAT("Output", "TIFF BPP", T::Int32, output.tiffBpp, Int(0), "tiff"),
    LF_FORMAT_ENUM("Output", "TIFF Compression", T::Int32, output.tiffCompression, Int(0), "tiff",
                   K::Compression),
    LF_FORMAT_ENUM("Output", "TIFF Color Model", T::Int32, output.tiffColorModel, Int(0), "tiff",
                   K::TiffColorModel),
    LF_FORMAT("Output", "WBMP BPP", T::Int32, output.wbmpBpp, Int(0), "wbmp"),
    LF_FORMAT("Output", "WEBP BPP", T::Int32, output.webpBpp, Int(0), "webp"),
    LF_FORMAT("Output", "XPM BPP", T::Int32, output.xpmBpp, Int(0), "xpm"),
    LF_ENUM("Output", "Keep Metadata", T::Int8, output.keepMetadata, Int(1), K::Metadata),

    LF_KEY("Transform", "Do Image Rotation", T::Int8, transform.doImageRotation, Int(0)),
    LF_ENUM("Transform", "Image Rotation Type", T::Int8, transform.imageRotationType, Int(0),
            K::RotationType),
    LF_KEY("Transform", "Image Rotation", T::Int32, transform.imageRotation, Int(0)),
    LF_TRIMMED("Transform", "Image Rotation Back Color", T::Colour,
               transform.imageRotationBackColor, Text("000000")),
    LF_KEY("Transform", "Do Image Resize", T::Int8, transform.doImageResize, Int(0)),
    LF_KEY("Transform", "Image Width", T::Int32, transform.imageWidth, Int(0)),
    LF_ENUM("Transform", "Image Width Unit", T::Int8, transform.imageWidthUnit, Int(0),
            K::SizeUnit),
    LF_KEY("Transform", "Image Height", T::Int32, transform.imageHeight, Int(0)),
    LF_ENUM("Transform", "Image Height Unit", T::Int8, transform.imageHeightUnit, Int(0),
            K::SizeUnit),
    LF_KEY("Transform", "Keep Aspect Ratio", T::Int8, transform.keepAspectRatio, Int(1)),
    LF_ENUM("Transform", "Image Resize Type", T::Int8, transform.imageResizeType, Int(0),
            K::ResizeType),
    LF_ENUM("Transform", "Image Resize Algorithm", T::Int8, transform.imageResizeAlgorithm, Int(3),
            K::ResizeAlgorithm),
    LF_KEY("Transform", "Do Image Flip Horizontal", T::Int8, transform.doImageFlipHorizontal,
           Int(0)),
    LF_KEY("Transform", "Do Image Flip Vertical", T::Int8, transform.doImageFlipVertical, Int(0)),

    LF_KEY("Adjustment", "Do Image Color Correction", T::Int8, adjustment.doImageColorCorrection,
           Int(0)),
    LF_KEY("Adjustment", "Image Brightness", T::Int32, adjustment.imageBrightness, Int(0)),
    LF_KEY("Adjustment", "Image Contrast", T::Int32, adjustment.imageContrast, Int(0)),
    LF_KEY("Adjustment", "Image Gamma", T::Float, adjustment.imageGamma, Real(1.0f)),
    LF_KEY("Adjustment", "Image Invert", T::Int8, adjustment.imageInvert, Int(0)),
    LF_KEY("Adjustment", "Do Image Greyscale", T::Int8, adjustment.doImageGreyscale, Int(0)),
    LF_KEY("Adjustment", "Do Image Threshold", T::Int8, adjustment.doImageThreshold, Int(0)),
    LF_KEY("Adjustment", "Image Threshold", T::Int32, adjustment.imageThreshold, Int(0)),

    LF_ENUM("Frame", "Do Frame", T::Int8, frame.doFrame, Int(0), K::FrameType),
    LF_KEY("Frame", "Solid Left", T::Int32, frame.solidLeft, Int(0)),
    LF_KEY("Frame", "Solid Right", T::Int32, frame.solidRight, Int(0)),
    LF_KEY("Frame", "Solid Top", T::Int32, frame.solidTop, Int(0)),
    LF_KEY("Frame", "Solid Bottom", T::Int32, frame.solidBottom, Int(0)),
    LF_TRIMMED("Frame", "Solid Left Color", T::Colour, frame.solidLeftColor, Text("000000")),
    LF_TRIMMED("Frame", "Solid Right Color", T::Colour, frame.solidRightColor, Text("000000")),
    LF_TRIMMED("Frame", "Solid Top Color", T::Colour, frame.solidTopColor, Text("000000")),
    LF_TRIMMED("Frame", "Solid Bottom Color", T::Colour, frame.solidBottomColor, Text("000000")),
    LF_KEY("Frame", "Solid Opacity", T::Int32, frame.solidOpacity, Int(255)),

    LF_ENUM("Watermark", "Do Watermark", T::Int8, watermark.doWatermark, Int(0), K::WatermarkType),
    LF_KEY("Watermark", "Text", T::String, watermark.text, Text(kDefaultWatermarkText)),
    LF_KEY("Watermark", "Fonts", T::String, watermark.fonts, Text("Arial,Tahoma,Verdana")),
    LF_KEY("Watermark", "Font", T::String, watermark.font, Text("Arial")),
    LF_KEY("Watermark", "Font Size", T::Int32, watermark.fontSize, Int(14)),
    LF_KEY("Watermark", "Font Leading", T::Int32, watermark.fontLeading, Int(0)),
    LF_KEY("Watermark", "Font Colors", T::String, watermark.fontColors, Text(kDefaultColorList)),
    LF_TRIMMED("Watermark", "Font Color", T::Colour, watermark.fontColor, Text("FFFFFF")),
    LF_ENUM("Watermark", "Font Style", T::Int8, watermark.fontStyle, Int(0), K::FontStyle),
    LF_ENUM("Watermark", "Font Effect", T::Int8, watermark.fontEffect, Int(0), K::FontEffect),
    LF_KEY("Watermark", "Text Antialiasing", T::Int8, watermark.textAntialiasing, Int(0)),
    LF_ENUM("Watermark", "Text Alignment", T::Int8, watermark.textAlignment, Int(0),
            K::TextAlignment),
    LF_KEY("Watermark", "Text Padding", T::Int32, watermark.textPadding, Int(0)),
    LF_KEY("Watermark", "Text Opacity", T::Int32, watermark.textOpacity, Int(255)),
    LF_KEY("Watermark", "Back Colors", T::String, watermark.backColors, Text(kDefaultColorList)),
    LF_TRIMMED("Watermark", "Back Color", T::Colour, watermark.backColor, Text("000000")),
    // The lowest opacity, not 0 and not 255.
    LF_KEY("Watermark", "Back Opacity", T::Int32, watermark.backOpacity, Int(1)),
    LF_ENUM("Watermark", "Text Boundary", T::Int8, watermark.textBoundary, Int(0), K::Boundary),
    LF_ENUM("Watermark", "Text Position", T::Int8, watermark.textPosition, Int(8), K::Position),
    LF_KEY("Watermark", "Text X Offset", T::Int32, watermark.textXOffset, Int(10)),
    LF_KEY("Watermark", "Text Y Offset", T::Int32, watermark.textYOffset, Int(10)),
    LF_KEY("Watermark", "Text Rotation", T::Int32, watermark.textRotation, Int(0)),
    LF_ENUM("Watermark", "Text Size", T::Int8, watermark.textSize, Int(0), K::SizeMode),
    LF_KEY("Watermark", "Text Scale", T::Int32, watermark.textScale, Int(10)),
    LF_KEY("Watermark", "Image", T::String, watermark.image, Text("")),
    LF_KEY("Watermark", "Image Greyscale", T::Int8, watermark.imageGreyscale, Int(0)),
    LF_KEY("Watermark", "Image Opacity", T::Int32, watermark.imageOpacity, Int(255)),
    LF_ENUM("Watermark", "Image Boundary", T::Int8, watermark.imageBoundary, Int(0), K::Boundary),
    LF_ENUM("Watermark", "Image Position", T::Int8, watermark.imagePosition, Int(8), K::Position),
    LF_KEY("Watermark", "Image X Offset", T::Int32, watermark.imageXOffset, Int(10)),
    LF_KEY("Watermark", "Image Y Offset", T::Int32, watermark.imageYOffset, Int(10)),
    // Same key text as the Transform key; the section tells them apart.
    LF_KEY("Watermark", "Image Rotation", T::Int32, watermark.imageRotation, Int(0)),
    LF_ENUM("Watermark", "Image Size", T::Int8, watermark.imageSize, Int(0), K::SizeMode),
    LF_KEY("Watermark", "Image Scale", T::Int32, watermark.imageScale, Int(10)),

    LF_TRIMMED("Advanced", "Filename Mask", T::String, advanced.filenameMask,
               Text("%filename%.%ext%")),
    LF_ENUM("Advanced", "File Timestamp", T::Int8, advanced.fileTimestamp, Int(0),
            K::FileTimestamp),
    LF_KEY("Advanced", "Custom Timestamp", T::Date, advanced.customTimestamp, kNow),
    LF_KEY("Advanced", "Out Folders History", T::Int8, advanced.outFoldersHistory, Int(1)),
    LF_KEY("Advanced", "Out Folders Number", T::Int8, advanced.outFoldersNumber, Int(5)),
    LF_KEY("Advanced", "Keep Subfolders", T::Int8, advanced.keepSubfolders, Int(1)),
    LF_KEY("Advanced", "Jobs", T::Int32, advanced.jobs, Int(0)),

    LF_KEY("File", "Recent Out Folders", T::String, file.recentOutFolders, Text("")),
    LF_KEY("File", "Recent Files", T::String, file.recentFiles, Text("")),

    LF_KEY("Privacy", "Clean Recent Files", T::Int8, privacy.cleanRecentFiles, Int(0)),
};

#undef LF_FIELD
#undef LF_KEY
#undef LF_TRIMMED
#undef LF_ENUM
#undef LF_FORMAT
#undef LF_FORMAT_ENUM

template <class... Ts>
struct Overloaded : Ts... {
  using Ts::operator()...;
};
template <class... Ts>
Overloaded(Ts...) -> Overloaded<Ts...>;

}  // namespace

ConstSettingField SettingKey::constField(const ConversionSettings& settings) const {
  // The accessors only take the field's address; nothing is written.
  const SettingField mutableField = field(const_cast<ConversionSettings&>(settings));
  return std::visit([](auto* p) -> ConstSettingField { return p; }, mutableField);
}

std::span<const SettingKey> SettingsKeys() { return kKeys; }

std::span<const char* const> SettingsSections() { return kSections; }

const SettingKey* FindSettingKey(std::string_view section, std::string_view key) {
  for (const SettingKey& entry : kKeys)
    if (EqualsIgnoreCase(entry.section, section) && EqualsIgnoreCase(entry.key, key)) return &entry;
  return nullptr;
}

std::int32_t LeadingInteger(std::string_view text) {
  std::size_t pos = 0;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) negative = text[pos++] == '-';
  // Saturate rather than overflow: a file can hold any number of digits.
  constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
  std::int64_t value = 0;
  for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos)
    value = std::min<std::int64_t>(value * 10 + (text[pos] - '0'), kLimit);
  if (negative) value = -value;
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(
      value, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

std::optional<float> ParseFloatValue(std::string_view text) {
  const std::string upper = ToUpperAscii(TrimBlanks(text));
  if (upper == "+INFINITY" || upper == "INFINITY") return std::numeric_limits<float>::infinity();
  if (upper == "-INFINITY") return -std::numeric_limits<float>::infinity();
  if (upper == "NAN") return std::numeric_limits<float>::quiet_NaN();
  std::string_view digits = upper;
  if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
  float value = 0.0f;
  // from_chars reads the point whatever the process locale says.
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value,
                                            std::chars_format::general);
  if (error != std::errc{} || end == digits.data()) return std::nullopt;
  return value;
}

std::string FormatFloatValue(float value) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value > 0 ? "+Infinity" : "-Infinity";
  char buffer[64];
  // Six decimals of the largest float fit easily; snprintf under the
  // default "C" numeric locale writes a point.
  std::snprintf(buffer, sizeof buffer, "%.6f", static_cast<double>(value));
  return buffer;
}

std::string FormatSettingValue(const SettingKey& key, const ConversionSettings& settings) {
  return std::visit(Overloaded{
                        [](const std::int32_t* v) { return std::to_string(*v); },
                        [](const std::int8_t* v) { return std::to_string(int{*v}); },
                        [](const float* v) { return FormatFloatValue(*v); },
                        [](const std::string* v) { return *v; },
                    },
                    key.constField(settings));
}

void StoreSettingValue(const SettingKey& key, ConversionSettings& settings, std::string_view text) {
  std::visit(Overloaded{
                 [&](std::int32_t* v) { *v = LeadingInteger(text); },
                 // Stored into the field's width, as the file has always been read.
                 [&](std::int8_t* v) { *v = static_cast<std::int8_t>(LeadingInteger(text)); },
                 [&](float* v) { *v = ParseFloatValue(text).value_or(key.fallback.real); },
                 [&](std::string* v) { *v = key.trimOnRead ? TrimSpaces(text) : text; },
             },
             key.field(settings));
}

void StoreSettingFallback(const SettingKey& key, ConversionSettings& settings, SettingsDate now) {
  std::visit(Overloaded{
                 [&](std::int32_t* v) { *v = key.fallback.now ? now : key.fallback.integer; },
                 [&](std::int8_t* v) { *v = static_cast<std::int8_t>(key.fallback.integer); },
                 [&](float* v) { *v = key.fallback.real; },
                 [&](std::string* v) { *v = key.fallback.text; },
             },
             key.field(settings));
}

}  // namespace lumafold
