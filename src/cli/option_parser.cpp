// The option table and the value readers behind the command line's option
// language.
#include "cli/option_parser.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>

#include "settings/profile_file.h"
#include "settings/text_utils.h"

namespace lumafold {

namespace {

enum class Kind { Number, Real, Keyword, Text, JoinedText, Flag };

struct TakenValue {
  std::string text;
  std::int32_t number = 0;
  float real = 0.0f;
};

using Apply = void (*)(ConversionSettings&, const TakenValue&);

struct ConversionOption {
  std::string_view name;
  Kind kind;
  KeywordSet keywords;  // only for Kind::Keyword
  Apply apply;
};

constexpr KeywordSet kNoKeywords = KeywordSet::DdsLoadAs;

// Every conversion option, long form only. Assigning the int32 value to an
// int8 field keeps its low byte, as the field's width dictates.
const ConversionOption kConversionOptions[] = {
    // Input: stored and shown, although Photo CD decoding reads only the
    // choice of decoder and of its highlight rendering.
    {"--DDS-LOAD-AS", Kind::Keyword, KeywordSet::DdsLoadAs,
     [](auto& s, auto& v) { s.input.ddsLoadAs = v.number; }},
    {"--GIF-FRAME-LOADING", Kind::Keyword, KeywordSet::FrameLoading,
     [](auto& s, auto& v) { s.input.gifFrameLoading = v.number; }},
    {"--ICO-FRAME-LOADING", Kind::Keyword, KeywordSet::FrameLoading,
     [](auto& s, auto& v) { s.input.icoFrameLoading = v.number; }},
    {"--PCD-DECODER", Kind::Keyword, KeywordSet::PcdDecoder,
     [](auto& s, auto& v) { s.input.pcdDecoder = v.number; }},
    {"--PCD-HIGHLIGHTS", Kind::Keyword, KeywordSet::PcdHighlights,
     [](auto& s, auto& v) { s.input.pcdHighlights = v.number; }},
    {"--RAW-LOAD-AS", Kind::Keyword, KeywordSet::RawLoadAs,
     [](auto& s, auto& v) { s.input.rawLoadAs = v.number; }},
    {"--RAW-HEADER-SIZE", Kind::Number, kNoKeywords,
     [](auto& s, auto& v) { s.input.rawHeaderSize = v.number; }},
    {"--RAW-WIDTH", Kind::Number, kNoKeywords,
     [](auto& s, auto& v) { s.input.rawImageWidth = v.number; }},
    {"--RAW-HEIGHT", Kind::Number, kNoKeywords,
     [](auto& s, auto& v) { s.input.rawImageHeight = v.number; }},
    {"--RAW-TONE-MAPPING", Kind::Keyword, KeywordSet::ToneMapping,
     [](auto& s, auto& v) { s.input.rawToneMapping = v.number; }},
    {"--TIFF-FRAME-LOADING", Kind::Keyword, KeywordSet::FrameLoading,
     [](auto& s, auto& v) { s.input.tiffFrameLoading = v.number; }},

    // Output
    {"--METADATA", Kind::Keyword, KeywordSet::Metadata,
     [](auto& s, auto& v) { s.output.keepMetadata = static_cast<std::int8_t>(v.number); }},
    {"--BMP-BPP", Kind::Number, kNoKeywords, [](auto& s, auto& v) { s.output.bmpBpp = v.number; }},
    {"--BMP-COMPRESSION", Kind::Keyword, KeywordSet::Compression,
     [](auto& s, auto& v) { s.output.bmpCompression = v.number; }},
    {"--BMP-COLOR-TABLE", Kind::Keyword, KeywordSet::BmpColorTable,
     [](auto& s, auto& v) { s.output.bmpColorTable = v.number; }},
    {"--DDS-BPP", Kind::Number, kNoKeywords, [](auto& s, auto& v) { s.output.ddsBpp = v.number; }},
    {"--EXR-BPP", Kind::Number, kNoKeywords, [](auto& s, auto& v) { s.output.exrBpp = v.number; }},
    {"--EXR-COMPRESSION", Kind::Keyword, KeywordSet::Compression,
     [](auto& s, auto& v) { s.output.exrCompression = v.number; }},
    {"--GIF-BPP", Kind::Number, kNoKeywords, [](auto& s, auto& v) { s.output.gifBpp = v.number; }},
    {"--HDR-BPP", Kind::Number, kNoKeywords, [](auto& s, auto& v) { s.output.hdrBpp = v.number; }},
    {"--ICO-BPP", Kind::Number, kNoKeywords, [](auto& s, auto& v) { s.output.icoBpp = v.number; }},
    {"--J2K-BPP", Kind::Number, kNoKeywords, [](auto& s, auto& v) { s.output.j2kBpp = v.number; }},
    {"--JNG-BPP", Kind::Number, kNoKeywords, [](auto& s, auto& v) { s.output.jngBpp = v.number; }},
    {"--JP2-BPP", Kind::Number, kNoKeywords, [](auto& s, auto& v) { s.output.jp2Bpp = v.number; }},
    {"--JPG-BPP", Kind::Number, kNoKeywords, [](auto& s, auto& v) { s.output.jpgBpp = v.number; }},
    {"--JPG-QUALITY", Kind::Number, kNoKeywords,
     [](auto& s, auto& v) { s.output.jpgQuality = v.number; }},
    {"--JPG-CHROMA", Kind::Keyword, KeywordSet::JpgChroma,
     [](auto& s, auto& v) { s.output.jpgChroma = v.number; }},
    {"--JPG-SAVE-AS", Kind::Keyword, KeywordSet::JpgSaveAs,
     [](auto& s, auto& v) { s.output.jpgSaveAs = v.number; }},
    {"--JXR-BPP", Kind::Number, kNoKeywords, [](auto& s, auto& v) { s.output.jxrBpp = v.number; }},
    {"--PBM-BPP", Kind::Number, kNoKeywords, [](auto& s, auto& v) { s.output.pbmBpp = v.number; }},
    {"--PCX-BPP", Kind::Number, kNoKeywords, [](auto& s, auto& v) { s.output.pcxBpp = v.number; }},
    {"--PFM-BPP", Kind::Number, kNoKeywords, [](auto& s, auto& v) { s.output.pfmBpp = v.number; }},
    {"--PGM-BPP", Kind::Number, kNoKeywords, [](auto& s, auto& v) { s.output.pgmBpp = v.number; }},
    {"--PNG-BPP", Kind::Number, kNoKeywords, [](auto& s, auto& v) { s.output.pngBpp = v.number; }},
    {"--PNG-COMPRESSION", Kind::Keyword, KeywordSet::Compression,
     [](auto& s, auto& v) { s.output.pngCompression = v.number; }},
    {"--PNG-INTERLACED", Kind::Flag, kNoKeywords,
     [](auto& s, auto&) { s.output.pngInterlaced = 1; }},
    {"--PPM-BPP", Kind::Number, kNoKeywords, [](auto& s, auto& v) { s.output.ppmBpp = v.number; }},
    {"--PSD-BPP", Kind::Number, kNoKeywords, [](auto& s, auto& v) { s.output.psdBpp = v.number; }},
    {"--TGA-BPP", Kind::Number, kNoKeywords, [](auto& s, auto& v) { s.output.tgaBpp = v.number; }},
    {"--TGA-COMPRESSION", Kind::Keyword, KeywordSet::Compression,
     [](auto& s, auto& v) { s.output.tgaCompression = v.number; }},
    {"--TIFF-BPP", Kind::Number, kNoKeywords,
     [](auto& s, auto& v) { s.output.tiffBpp = v.number; }},
    {"--TIFF-COMPRESSION", Kind::Keyword, KeywordSet::Compression,
     [](auto& s, auto& v) { s.output.tiffCompression = v.number; }},
    {"--TIFF-COLOR-MODEL", Kind::Keyword, KeywordSet::TiffColorModel,
     [](auto& s, auto& v) { s.output.tiffColorModel = v.number; }},
    {"--WBMP-BPP", Kind::Number, kNoKeywords,
     [](auto& s, auto& v) { s.output.wbmpBpp = v.number; }},
    {"--WEBP-BPP", Kind::Number, kNoKeywords,
     [](auto& s, auto& v) { s.output.webpBpp = v.number; }},
    {"--XPM-BPP", Kind::Number, kNoKeywords, [](auto& s, auto& v) { s.output.xpmBpp = v.number; }},

    // Transform
    {"--ROTATION-TYPE", Kind::Keyword, KeywordSet::RotationType,
     [](auto& s, auto& v) { s.transform.imageRotationType = v.number; }},
    {"--ROTATION", Kind::Number, kNoKeywords,
     [](auto& s, auto& v) {
       s.transform.doImageRotation = 1;
       s.transform.imageRotation = v.number;
     }},
    {"--ROTATION-BACK-COLOR", Kind::JoinedText, kNoKeywords,
     [](auto& s, auto& v) { s.transform.imageRotationBackColor = v.text; }},
    {"--WIDTH", Kind::Number, kNoKeywords,
     [](auto& s, auto& v) {
       s.transform.doImageResize = 1;
       s.transform.imageWidth = v.number;
     }},
    {"--WIDTH-UNIT", Kind::Keyword, KeywordSet::SizeUnit,
     [](auto& s, auto& v) { s.transform.imageWidthUnit = v.number; }},
    {"--HEIGHT", Kind::Number, kNoKeywords,
     [](auto& s, auto& v) {
       s.transform.doImageResize = 1;
       s.transform.imageHeight = v.number;
     }},
    {"--HEIGHT-UNIT", Kind::Keyword, KeywordSet::SizeUnit,
     [](auto& s, auto& v) { s.transform.imageHeightUnit = v.number; }},
    {"--KEEP-ASPECT-RATIO", Kind::Flag, kNoKeywords,
     [](auto& s, auto&) { s.transform.keepAspectRatio = 1; }},
    {"--RESIZE-TYPE", Kind::Keyword, KeywordSet::ResizeType,
     [](auto& s, auto& v) { s.transform.imageResizeType = v.number; }},
    {"--RESIZE-ALGORITHM", Kind::Keyword, KeywordSet::ResizeAlgorithm,
     [](auto& s, auto& v) { s.transform.imageResizeAlgorithm = v.number; }},
    {"--FLIP-HORIZONTAL", Kind::Flag, kNoKeywords,
     [](auto& s, auto&) { s.transform.doImageFlipHorizontal = 1; }},
    {"--FLIP-VERTICAL", Kind::Flag, kNoKeywords,
     [](auto& s, auto&) { s.transform.doImageFlipVertical = 1; }},

    // Adjustment: each colour option switches correction on by itself, even
    // for a neutral value, so that the batch range-checks what was given.
    {"--BRIGHTNESS", Kind::Number, kNoKeywords,
     [](auto& s, auto& v) {
       s.adjustment.doImageColorCorrection = 1;
       s.adjustment.imageBrightness = v.number;
     }},
    {"--CONTRAST", Kind::Number, kNoKeywords,
     [](auto& s, auto& v) {
       s.adjustment.doImageColorCorrection = 1;
       s.adjustment.imageContrast = v.number;
     }},
    {"--GAMMA", Kind::Real, kNoKeywords,
     [](auto& s, auto& v) {
       s.adjustment.doImageColorCorrection = 1;
       s.adjustment.imageGamma = v.real;
     }},
    {"--INVERT", Kind::Flag, kNoKeywords,
     [](auto& s, auto&) {
       s.adjustment.doImageColorCorrection = 1;
       s.adjustment.imageInvert = 1;
     }},
    {"--GREYSCALE", Kind::Flag, kNoKeywords,
     [](auto& s, auto&) { s.adjustment.doImageGreyscale = 1; }},
    {"--THRESHOLD", Kind::Number, kNoKeywords,
     [](auto& s, auto& v) {
       s.adjustment.doImageThreshold = 1;
       s.adjustment.imageThreshold = v.number;
     }},

    // Frame
    {"--FR-SOLID-LEFT", Kind::Number, kNoKeywords,
     [](auto& s, auto& v) {
       s.frame.doFrame = 1;
       s.frame.solidLeft = v.number;
     }},
    {"--FR-SOLID-RIGHT", Kind::Number, kNoKeywords,
     [](auto& s, auto& v) {
       s.frame.doFrame = 1;
       s.frame.solidRight = v.number;
     }},
    {"--FR-SOLID-TOP", Kind::Number, kNoKeywords,
     [](auto& s, auto& v) {
       s.frame.doFrame = 1;
       s.frame.solidTop = v.number;
     }},
    {"--FR-SOLID-BOTTOM", Kind::Number, kNoKeywords,
     [](auto& s, auto& v) {
       s.frame.doFrame = 1;
       s.frame.solidBottom = v.number;
     }},
    {"--FR-SOLID-LEFT-COLOR", Kind::JoinedText, kNoKeywords,
     [](auto& s, auto& v) { s.frame.solidLeftColor = v.text; }},
    {"--FR-SOLID-RIGHT-COLOR", Kind::JoinedText, kNoKeywords,
     [](auto& s, auto& v) { s.frame.solidRightColor = v.text; }},
    {"--FR-SOLID-TOP-COLOR", Kind::JoinedText, kNoKeywords,
     [](auto& s, auto& v) { s.frame.solidTopColor = v.text; }},
    {"--FR-SOLID-BOTTOM-COLOR", Kind::JoinedText, kNoKeywords,
     [](auto& s, auto& v) { s.frame.solidBottomColor = v.text; }},
    {"--FR-SOLID-OPACITY", Kind::Number, kNoKeywords,
     [](auto& s, auto& v) { s.frame.solidOpacity = v.number; }},

    // Watermark: --wm-text and --wm-image both choose the mode, so the later
    // of the two wins.
    {"--WM-TEXT", Kind::JoinedText, kNoKeywords,
     [](auto& s, auto& v) {
       s.watermark.doWatermark = 1;
       s.watermark.text = v.text;
     }},
    {"--WM-FONT", Kind::JoinedText, kNoKeywords,
     [](auto& s, auto& v) { s.watermark.font = v.text; }},
    {"--WM-FONT-SIZE", Kind::Number, kNoKeywords,
     [](auto& s, auto& v) { s.watermark.fontSize = v.number; }},
    {"--WM-FONT-LEADING", Kind::Number, kNoKeywords,
     [](auto& s, auto& v) { s.watermark.fontLeading = v.number; }},
    {"--WM-FONT-COLOR", Kind::JoinedText, kNoKeywords,
     [](auto& s, auto& v) { s.watermark.fontColor = v.text; }},
    {"--WM-FONT-STYLE", Kind::Keyword, KeywordSet::FontStyle,
     [](auto& s, auto& v) { s.watermark.fontStyle = v.number; }},
    {"--WM-FONT-EFFECT", Kind::Keyword, KeywordSet::FontEffect,
     [](auto& s, auto& v) { s.watermark.fontEffect = v.number; }},
    {"--WM-TEXT-ANTIALIASING", Kind::Flag, kNoKeywords,
     [](auto& s, auto&) { s.watermark.textAntialiasing = 1; }},
    {"--WM-TEXT-ALIGNMENT", Kind::Keyword, KeywordSet::TextAlignment,
     [](auto& s, auto& v) { s.watermark.textAlignment = v.number; }},
    {"--WM-TEXT-PADDING", Kind::Number, kNoKeywords,
     [](auto& s, auto& v) { s.watermark.textPadding = v.number; }},
    {"--WM-TEXT-OPACITY", Kind::Number, kNoKeywords,
     [](auto& s, auto& v) { s.watermark.textOpacity = v.number; }},
    {"--WM-BACK-COLOR", Kind::JoinedText, kNoKeywords,
     [](auto& s, auto& v) { s.watermark.backColor = v.text; }},
    {"--WM-BACK-OPACITY", Kind::Number, kNoKeywords,
     [](auto& s, auto& v) { s.watermark.backOpacity = v.number; }},
    {"--WM-TEXT-BOUNDARY", Kind::Keyword, KeywordSet::Boundary,
     [](auto& s, auto& v) { s.watermark.textBoundary = v.number; }},
    {"--WM-TEXT-POSITION", Kind::Keyword, KeywordSet::Position,
     [](auto& s, auto& v) { s.watermark.textPosition = v.number; }},
    {"--WM-TEXT-X-OFFSET", Kind::Number, kNoKeywords,
     [](auto& s, auto& v) { s.watermark.textXOffset = v.number; }},
    {"--WM-TEXT-Y-OFFSET", Kind::Number, kNoKeywords,
     [](auto& s, auto& v) { s.watermark.textYOffset = v.number; }},
    {"--WM-TEXT-ROTATION", Kind::Number, kNoKeywords,
     [](auto& s, auto& v) { s.watermark.textRotation = v.number; }},
    {"--WM-TEXT-SIZE", Kind::Keyword, KeywordSet::SizeMode,
     [](auto& s, auto& v) { s.watermark.textSize = v.number; }},
    {"--WM-IMAGE", Kind::JoinedText, kNoKeywords,
     [](auto& s, auto& v) {
       s.watermark.doWatermark = 2;
       s.watermark.image = v.text;
     }},
    {"--WM-IMAGE-GREYSCALE", Kind::Flag, kNoKeywords,
     [](auto& s, auto&) { s.watermark.imageGreyscale = 1; }},
    {"--WM-IMAGE-OPACITY", Kind::Number, kNoKeywords,
     [](auto& s, auto& v) { s.watermark.imageOpacity = v.number; }},
    {"--WM-IMAGE-BOUNDARY", Kind::Keyword, KeywordSet::Boundary,
     [](auto& s, auto& v) { s.watermark.imageBoundary = v.number; }},
    {"--WM-IMAGE-POSITION", Kind::Keyword, KeywordSet::Position,
     [](auto& s, auto& v) { s.watermark.imagePosition = v.number; }},
    {"--WM-IMAGE-X-OFFSET", Kind::Number, kNoKeywords,
     [](auto& s, auto& v) { s.watermark.imageXOffset = v.number; }},
    {"--WM-IMAGE-Y-OFFSET", Kind::Number, kNoKeywords,
     [](auto& s, auto& v) { s.watermark.imageYOffset = v.number; }},
    {"--WM-IMAGE-ROTATION", Kind::Number, kNoKeywords,
     [](auto& s, auto& v) { s.watermark.imageRotation = v.number; }},
    {"--WM-IMAGE-SIZE", Kind::Keyword, KeywordSet::SizeMode,
     [](auto& s, auto& v) { s.watermark.imageSize = v.number; }},

    // Advanced
    {"--FILENAME-MASK", Kind::JoinedText, kNoKeywords,
     [](auto& s, auto& v) { s.advanced.filenameMask = v.text; }},
    {"--FILE-TIMESTAMP", Kind::Keyword, KeywordSet::FileTimestamp,
     [](auto& s, auto& v) { s.advanced.fileTimestamp = v.number; }},
    {"--FILE-TIMESTAMP-CUSTOM", Kind::Number, kNoKeywords,
     [](auto& s, auto& v) { s.advanced.customTimestamp = v.number; }},
    {"--NO-SUBFOLDERS", Kind::Flag, kNoKeywords,
     [](auto& s, auto&) { s.advanced.keepSubfolders = 0; }},
    // Number of files converted at once; 0 picks one per online core.
    {"--JOBS", Kind::Number, kNoKeywords, [](auto& s, auto& v) { s.advanced.jobs = v.number; }},
};

// The frame opacity option is spelt differently inside a profile file.
constexpr std::string_view kFrameOpacityOption = "--FR-SOLID-OPACITY";
constexpr std::string_view kProfileFrameOpacityKey = "--WM-SOLID-OPACITY";
constexpr std::string_view kFilenameMaskOption = "--FILENAME-MASK";

const ConversionOption* FindConversionOption(std::string_view key, bool inProfile) {
  if (inProfile) {
    if (key == kFrameOpacityOption) return nullptr;
    if (key == kProfileFrameOpacityKey) key = kFrameOpacityOption;
  }
  for (const auto& option : kConversionOptions)
    if (option.name == key) return &option;
  return nullptr;
}

void EraseQuotes(std::string& text) { std::erase(text, '"'); }

// A value that opens a double quote without closing it continues in the
// following parameters: the quotes survived a split at its spaces. A lone
// quote opens too, as in --wm-text=" followed by the words. A value that
// does not begin with a quote keeps the quotes inside it: on Linux the shell
// has already removed the user's quoting, so those belong to the name (a
// folder called Photos "2019").
void JoinQuoted(const std::vector<std::string>& parameters, std::size_t& i, std::string& value) {
  if (value.empty() || value.front() != '"') return;
  const bool closes = value.size() > 1 && value.back() == '"';
  if (!closes) {
    while (i + 1 < parameters.size()) {
      ++i;
      value += ' ';
      value += OptionValue(parameters[i]);
      if (value.size() > 1 && value.back() == '"') break;
    }
  }
  EraseQuotes(value);
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// How far ReadNumber and ReadReal read: the end of what they took, and
// whether any digit was among it.
struct Scanned {
  std::size_t end = 0;
  bool digits = false;
};

std::size_t SkipSign(std::string_view text, std::size_t k) {
  while (k < text.size() && IsBlank(text[k])) ++k;
  if (k < text.size() && (text[k] == '-' || text[k] == '+')) ++k;
  return k;
}

Scanned ScanNumber(std::string_view text) {
  std::size_t k = SkipSign(text, 0);
  unsigned base = 10;
  if (k < text.size() && (text[k] == '$' || text[k] == '%')) base = text[k++] == '$' ? 16 : 2;
  Scanned scanned;
  for (; k < text.size(); ++k) {
    const char c = text[k] >= 'A' && text[k] <= 'F' ? static_cast<char>(text[k] + 32) : text[k];
    unsigned digit;
    if (c >= '0' && c <= '9')
      digit = static_cast<unsigned>(c - '0');
    else if (c >= 'a' && c <= 'f')
      digit = static_cast<unsigned>(c - 'a' + 10);
    else
      break;
    if (digit >= base) break;
    scanned.digits = true;
  }
  scanned.end = k;
  return scanned;
}

Scanned ScanReal(std::string_view text) {
  std::size_t k = SkipSign(text, 0);
  Scanned scanned;
  for (; k < text.size() && text[k] >= '0' && text[k] <= '9'; ++k) scanned.digits = true;
  if (k < text.size() && text[k] == '.')
    for (++k; k < text.size() && text[k] >= '0' && text[k] <= '9'; ++k) scanned.digits = true;
  scanned.end = k;
  return scanned;
}

// What a number read from `text` leaves unsaid: "" when the whole text was
// the number, else the warning's reason.
std::string NumberProblem(std::string_view text, Scanned scanned, const std::string& readAs) {
  std::string_view rest = text.substr(scanned.end);
  while (!rest.empty() && IsBlank(rest.back())) rest.remove_suffix(1);
  if (!scanned.digits) return "not a number, read as " + readAs;
  if (!rest.empty()) return "read as " + readAs + " (the number ends before \"" + std::string(rest) + "\")";
  return "";
}

bool IsColour(std::string_view text) {
  if (text.starts_with('#')) text.remove_prefix(1);
  return text.size() == 6 && std::all_of(text.begin(), text.end(), [](char c) {
           return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
         });
}

std::string ShortReal(float value) {
  char text[64];
  const auto result = std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}

// `where` names the profile file a value came from, empty on the command
// line. The option's own (lower-case) name and the text are what the user
// wrote, so every warning can be found in the script or profile.
void ApplyConversionOption(AppContext& context, const ConversionOption& option, std::string text,
                           ParseOutcome* outcome = nullptr, const std::string& where = {}) {
  TakenValue value;
  std::string problem;
  switch (option.kind) {
    case Kind::Number:
      value.number = ReadNumber(text);
      problem = NumberProblem(text, ScanNumber(text), std::to_string(value.number));
      break;
    case Kind::Real:
      value.real = ReadReal(text);
      problem = NumberProblem(text, ScanReal(text), ShortReal(value.real));
      break;
    case Kind::Keyword: {
      const std::optional<int> number = context.formats.keywordValue(option.keywords, TrimSpaces(text));
      value.number = number.value_or(0);
      if (!number) {
        // The compression list is shared by every format, each taking a
        // part of it; naming the whole list would offer what it refuses.
        if (option.keywords == KeywordSet::Compression) {
          const std::string setting =
              std::string(option.name.substr(2, option.name.find('-', 2) - 2)) + " Compression";
          problem = "not a compression keyword; " +
                    context.formats.keywordName(option.keywords, 0, setting) + " is used";
        } else {
          std::string list;
          for (const std::string& name : context.formats.keywordNames(option.keywords))
            list += (list.empty() ? "" : ", ") + ToLowerAscii(name);
          problem = "not one of " + list + "; " +
                    context.formats.keywordName(option.keywords, 0) + " is used";
        }
      }
      break;
    }
    case Kind::Text:
    case Kind::JoinedText:
      if (option.name.ends_with("-COLOR") && !IsColour(text))
        problem = "not a colour (RRGGBB or #RRGGBB), black is used";
      break;
    case Kind::Flag:
      break;
  }
  if (outcome) {
    const std::string name = ToLowerAscii(std::string(option.name));
    outcome->given[name] = text;
    if (!problem.empty())
      outcome->warnings.push_back((where.empty() ? std::string() : where + ": ") + name + "=" +
                                  text + ": " + problem);
  }
  value.text = std::move(text);
  option.apply(context.settings, value);
}

// Why a profile file could not be opened, as the system says it (0 when it
// opens: it is then not a readable key file).
int ProfileOpenError(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno;
  struct stat info {};
  const bool folder = ::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode);
  ::close(fd);
  return folder ? EISDIR : 0;
}

}  // namespace

std::string OptionKey(std::string_view parameter) {
  const std::string_view text = TrimSpaces(parameter);
  if (text.empty() || text.front() != '-') return {};
  std::string_view key = text;
  if (text.starts_with("--")) key = text.substr(0, text.find('='));
  return ToUpperAscii(key);
}

std::string OptionValue(std::string_view parameter) {
  const std::string_view text = TrimSpaces(parameter);
  if (text.starts_with("--")) {
    const std::size_t equals = text.find('=', 2);
    if (equals != std::string_view::npos) return std::string(text.substr(equals + 1));
  }
  return std::string(text);
}

std::int32_t ReadNumber(std::string_view text) {
  std::size_t k = 0;
  while (k < text.size() && IsBlank(text[k])) ++k;
  bool negative = false;
  if (k < text.size() && (text[k] == '-' || text[k] == '+')) negative = text[k++] == '-';
  unsigned base = 10;
  if (k < text.size() && text[k] == '$') {
    base = 16;
    ++k;
  } else if (k < text.size() && text[k] == '%') {
    base = 2;
    ++k;
  }
  // Read in 64 bits and held at the 32-bit ends: --threshold=99999999999
  // means "as much as possible", never a wrapped negative number.
  constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
  std::int64_t result = 0;
  for (; k < text.size(); ++k) {
    const char c = text[k];
    unsigned digit;
    if (c >= '0' && c <= '9')
      digit = static_cast<unsigned>(c - '0');
    else if (c >= 'a' && c <= 'f')
      digit = static_cast<unsigned>(c - 'a' + 10);
    else if (c >= 'A' && c <= 'F')
      digit = static_cast<unsigned>(c - 'A' + 10);
    else
      break;
    if (digit >= base) break;
    result = std::min<std::int64_t>(result * base + digit, kLimit);
  }
  if (negative) return static_cast<std::int32_t>(-result);
  return static_cast<std::int32_t>(std::min<std::int64_t>(result, kLimit - 1));
}

float ReadReal(std::string_view text) {
  std::size_t k = 0;
  while (k < text.size() && IsBlank(text[k])) ++k;
  bool negative = false;
  if (k < text.size() && (text[k] == '-' || text[k] == '+')) negative = text[k++] == '-';
  std::string digits;
  bool anyDigit = false;
  for (; k < text.size() && text[k] >= '0' && text[k] <= '9'; ++k, anyDigit = true)
    digits += text[k];
  if (k < text.size() && text[k] == '.') {
    digits += text[k++];
    for (; k < text.size() && text[k] >= '0' && text[k] <= '9'; ++k, anyDigit = true)
      digits += text[k];
  }
  if (!anyDigit) return 0.0f;
  // from_chars ignores the locale, so "9.99" reads the same under any
  // LC_NUMERIC the desktop libraries may have set.
  float value = 0.0f;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value,
                                            std::chars_format::fixed);
  (void)end;
  if (error == std::errc::result_out_of_range) value = std::numeric_limits<float>::infinity();
  return negative ? -value : value;
}

ParseOutcome ParseOptions(AppContext& context, const std::vector<std::string>& parameters) {
  ParseOutcome outcome;
  const std::size_t count = parameters.size();
  // The parse error and the line that says which parameter caused it.
  const auto fail = [&](const char* error, std::string_view parameter, std::string_view why) {
    outcome.error = error;
    outcome.errorDetail = std::string(TrimSpaces(parameter)) + ": " + std::string(why);
    return outcome;
  };
  for (std::size_t i = 0; i < count; ++i) {
    const std::string key = OptionKey(parameters[i]);
    if (key.empty()) {
      // Not an option and no option's value: one more input, as if -i had
      // been given again (lumafold -i dir/*.pcd expands to several).
      std::string value = OptionValue(parameters[i]);
      if (value.empty()) continue;
      context.job.commandLineMode = true;
      outcome.inputs.push_back(std::move(value));
      continue;
    }

    // -i, -o and -c: the short form takes the next parameter as its value.
    const bool isInput = key == "-I" || key == "--INPUT";
    const bool isOutput = key == "-O" || key == "--OUTPUT";
    const bool isConversion = key == "-C" || key == "--CONVERSION";
    if (isInput || isOutput || isConversion) {
      if (isInput) context.job.commandLineMode = true;
      const std::size_t optionAt = i;
      if (!key.starts_with("--")) ++i;
      std::string value = i < count ? OptionValue(parameters[i]) : std::string();
      // "-i -" names standard input, as "-" does for most tools.
      if (value.empty() || (value.front() == '-' && !(isInput && value == "-"))) {
        if (key.starts_with("--") && parameters[optionAt].find('=') == std::string::npos)
          return fail(kIncorrectParameterCount, parameters[optionAt],
                      "the value is written after \"=\", as in " + ToLowerAscii(key) + "=VALUE");
        if (value.empty())
          return fail(kIncorrectParameterCount, parameters[optionAt], "a value must follow it");
        return fail(kIncorrectParameterCount, parameters[optionAt],
                    "its value \"" + value + "\" begins with \"-\"");
      }
      if (isConversion)
        EraseQuotes(value);
      else
        JoinQuoted(parameters, i, value);
      if (isInput) {
        context.job.inputFolder = value;
        outcome.inputs.push_back(value);
      }
      if (isOutput) context.job.outputFolder = value;
      if (isConversion) context.job.outputExtension = value;
      continue;
    }
    if (key == "-D" || key == "--DEBUG") {
      context.job.consoleMode = "DEBUG";
      continue;
    }
    if (key == "-Q" || key == "--QUIET") {
      outcome.quiet = true;
      continue;
    }
    if (key == "-P" || key == "--PAUSE") {
      outcome.pause = true;
      continue;
    }
    if (key == "--CONTACT-SHEET") {
      outcome.contactSheet = true;
      continue;
    }

    // Options of the run itself, for scripts; none of them is a setting.
    if (key == "--STRICT" || key == "--DRY-RUN" || key == "--SKIP-EXISTING" || key == "--NULL") {
      (key == "--STRICT"     ? outcome.strict
       : key == "--DRY-RUN" ? outcome.dryRun
       : key == "--NULL"    ? outcome.nullSeparated
                            : outcome.skipExisting) = true;
      continue;
    }
    const bool isReport = key == "--REPORT";
    if (isReport) {
      std::string value = OptionValue(parameters[i]);
      if (parameters[i].find('=') == std::string::npos || value.empty())
        return fail(kIncorrectParameterCount, parameters[i],
                    "the value is written after \"=\", as in --report=FILE");
      JoinQuoted(parameters, i, value);
      outcome.report = value;
      continue;
    }
    const bool isProfile = key == "--PROFILE";
    const bool isShard = key == "--SHARD";
    const ConversionOption* option =
        isProfile || isShard ? nullptr : FindConversionOption(key, false);
    if (!isProfile && !isShard && !option) {
      // Still skipped, so old scripts keep working, but no longer silently:
      // a misspelt option would otherwise fall back to a default unseen.
      outcome.unknownOptions.emplace_back(TrimSpaces(parameters[i]));
      continue;
    }
    if (option && option->kind == Kind::Flag) {
      option->apply(context.settings, TakenValue{});
      continue;
    }
    std::string value = OptionValue(parameters[i]);
    if (value.empty() || value.starts_with("--")) {
      if (value.starts_with("--"))
        return fail(kIncorrectParameterCount, parameters[i],
                    "the value is written after \"=\", as in " + ToLowerAscii(key) + "=VALUE");
      return fail(kIncorrectParameterCount, parameters[i], "a value must follow \"=\"");
    }
    if (isShard) {
      outcome.shard = value;
      continue;
    }
    if (isProfile) {
      JoinQuoted(parameters, i, value);
      if (!ApplyProfileFile(context, value, outcome)) {
        std::string why = "cannot be read";
        if (value.empty()) {
          why = "no file name";
        } else if (const int error = ProfileOpenError(value); error != 0) {
          why = std::strerror(error);
        }
        return fail(kInvalidProfileFile, value, why);
      }
      continue;
    }
    if (option->kind == Kind::JoinedText) JoinQuoted(parameters, i, value);
    ApplyConversionOption(context, *option, std::move(value), &outcome);
  }
  return outcome;
}

bool ApplyProfileFile(AppContext& context, const std::string& path) {
  ParseOutcome unused;
  return ApplyProfileFile(context, path, unused);
}

bool ApplyProfileFile(AppContext& context, const std::string& path, ParseOutcome& outcome) {
  if (path.empty()) return false;
  const std::optional<ProfileFile> file = ProfileFile::Read(path);
  if (!file) return false;
  // NUL bytes, a cut or skipped lines: whatever was read of it may be a
  // small part of what the user meant.
  const ProfileFile::Section* section = file->section("CLI");
  if (!section) {
    outcome.warnings.push_back(path + (file->whole() ? ": no [CLI] section" : ": not a text file") +
                               "; nothing is applied");
    return true;
  }
  if (!file->whole())
    outcome.warnings.push_back(path + ": not all of it is text; only the lines read as keys apply");
  for (const ProfileFile::Entry& entry : section->entries) {
    const std::string key = ToUpperAscii(entry.key);
    const ConversionOption* option = FindConversionOption(key, true);
    if (!option) {
      // The natural way to write a key file drops the dashes; the profile
      // keeps its described spelling, so say how to write the key instead.
      const std::string lower = ToLowerAscii(entry.key);
      if (!key.starts_with("--") && FindConversionOption("--" + key, true))
        outcome.warnings.push_back(path + ": key " + entry.key +
                                   " is written with its leading --, as in --" + lower + "; ignored");
      else if (key == kFrameOpacityOption)
        outcome.warnings.push_back(path + ": key " + entry.key +
                                   " is written --wm-solid-opacity in a profile; ignored");
      else
        outcome.warnings.push_back(path + ": unknown key " + entry.key + " ignored");
      continue;
    }
    std::string value;
    if (option->name == kFilenameMaskOption) {
      value = entry.value;
      EraseQuotes(value);
    } else {
      value = std::string(TrimSpaces(entry.value));
    }
    ApplyConversionOption(context, *option, std::move(value), &outcome, path);
  }
  return true;
}

std::vector<ConversionOptionInfo> ConversionOptions() {
  std::vector<ConversionOptionInfo> options;
  for (const auto& option : kConversionOptions) {
    options.push_back(
        {option.name,
         option.kind == Kind::Keyword ? std::optional<KeywordSet>(option.keywords) : std::nullopt,
         option.kind != Kind::Flag});
  }
  return options;
}

}  // namespace lumafold
