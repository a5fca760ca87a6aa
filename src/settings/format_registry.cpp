#include "settings/format_registry.h"

#include <algorithm>
#include <map>
#include <span>

#include "settings/format_choices.h"
#include "settings/string_catalog.h"
#include "settings/text_utils.h"

namespace lumafold {

namespace {

struct OutputRow {
  const char* key;
  const char* description;
  std::int32_t number;
  const char* depths;
  bool devil;
};

// FreeImage FREE_IMAGE_FORMAT numbers; psd, dds and pcx carry DevIL's
// IL_PSD (0x439), IL_DDS (0x437) and IL_PCX (0x428) because FreeImage
// cannot write them.
constexpr OutputRow kOutputs[] = {
    {"bmp", "Windows or OS/2 Bitmap", 0, "1,4,8,16,24,32", false},
    {"dds", "DirectDraw Surface", 0x437, "32", true},
    {"exr", "ILM OpenEXR", 29, "96", false},
    {"gif", "Graphics Interchange Format", 25, "8", false},
    {"hdr", "High Dynamic Range Image", 26, "96", false},
    {"ico", "Windows Icon", 1, "1,4,8,16,24,32", false},
    {"j2k", "JPEG-2000 Codestream", 30, "8,24,32,48", false},
    {"jng", "JPEG Network Graphics", 3, "24,32", false},
    {"jp2", "JPEG-2000 File Format", 31, "8,24,32,48", false},
    {"jpg", "JPEG File Format", 2, "8,24", false},
    {"jxr", "JPEG XR Image Format", 36, "1,8,16,24,32,48,96", false},
    {"pbm", "Portable Bitmap", 7, "1", false},
    {"pcx", "ZSoft Paintbrush", 0x428, "24", true},
    {"pfm", "Portable Floatmap", 32, "96", false},
    {"pgm", "Portable Greymap", 11, "8", false},
    {"png", "Portable Network Graphics", 13, "1,4,8,24,32,48", false},
    {"ppm", "Portable Pixelmap", 14, "24,48", false},
    {"psd", "Adobe Photoshop", 0x439, "32", true},
    {"tga", "Truevision Targa", 17, "8,16,24,32", false},
    {"tiff", "Tagged Image File Format", 18, "1,4,8,24,32,48,96", false},
    {"wbmp", "Wireless Bitmap", 19, "1", false},
    {"webp", "Google WebP Image Format", 35, "24,32", false},
    {"xpm", "X11 Pixmap Format", 23, "24", false},
};

// One dictionary group: the extensions share the canonical key and, unless
// a later group of the same key says otherwise, the description.
struct InputGroup {
  const char* canonical;
  const char* description;
  std::vector<const char*> extensions;
};

const std::vector<InputGroup>& InputGroups() {
  static const std::vector<InputGroup> groups = {
      {"bmp", "Windows or OS/2 Bitmap", {"bmp", "rle", "dib"}},
      {"dds", "DirectDraw Surface File", {"dds"}},
      {"emf", "Enhanced Metafile Format", {"emf", "emz"}},
      {"gif", "GIF File", {"gif"}},
      {"hdr", "High Dynamic Range File", {"hdr", "hdri"}},
      {"ico", "Windows Icon", {"ico"}},
      {"jpg", "JPEG File", {"jpg", "jpeg", "jpe", "jif"}},
      {"pcd", "Kodak PhotoCD File", {"pcd", "pcd1", "pcds", "ppcd"}},
      {"pcx", "ZSoft Paintbrush File", {"pcx"}},
      {"pic", "Macintosh PICT", {"pic", "pict", "pct"}},
      {"png", "Portable Network Graphics", {"png"}},
      {"psd", "Adobe Photoshop File", {"psd"}},
      {"tga", "Truevision Targa", {"tga", "targa"}},
      {"tiff", "Tagged Image File Format", {"tiff", "tif"}},
      {"wmf", "Windows Metafile Format", {"wmf", "wmz"}},
      {"wmf", "Aldus Placeable Metafile", {"apm"}},
      {"raw", "Camera RAW Image", {"raw", "raw1", "raw2"}},
      {"raw", "Hasselblad Camera RAW Image", {"3fr"}},
      {"raw", "Sony Camera RAW Image", {"arw", "sr2", "srf"}},
      {"raw", "Casio Camera RAW Image", {"bay"}},
      {"raw", "NuCore RAW Image", {"bmq"}},
      {"raw", "Phase One Camera RAW Image", {"cap", "iiq", "eip"}},
      {"raw", "Phantom RAW Image", {"cine"}},
      {"raw", "Canon Camera RAW Image", {"cr2", "crw"}},
      {"raw", "Capture Shop RAW Image", {"cs1"}},
      {"raw", "Kodak Camera RAW Image", {"dc2", "dcr", "drf", "dsc", "k25", "kc2", "kdc", "dcs"}},
      {"raw", "Adobe Digital Negative Image", {"dng"}},
      {"raw", "Epson Camera RAW Image", {"erf"}},
      {"raw", "Imacon Camera RAW Image", {"fff"}},
      {"raw", "Sinar RAW Image", {"ia", "sti"}},
      {"raw", "Minolta Camera RAW Image", {"mdc", "mrw"}},
      {"raw", "Mamiya Camera RAW Image", {"mef", "mos"}},
      {"raw", "Nikon Camera RAW Image", {"nef", "nrw"}},
      {"raw", "Olympus Camera RAW Image", {"orf"}},
      {"raw", "Pentax Camera RAW Image", {"pef", "ptx"}},
      {"raw", "Logitech Camera RAW Image", {"pxn"}},
      {"raw", "Apple Quicktake Camera RAW Image", {"qtk"}},
      {"raw", "Fuji Camera RAW Image", {"raf"}},
      {"raw", "Digital Foto Maker RAW Image", {"rdc"}},
      {"raw", "Panasonic Camera RAW Image", {"rw2"}},
      {"raw", "Rawzor Camera RAW Image", {"rwz"}},
      {"raw", "Sigma Camera RAW Image", {"x3f"}},
      {"raw", "ARRI RAW Image", {"ari"}},
      {"raw", "RED RAW Image", {"r3d"}},
      {"raw", "Leica Camera RAW Image", {"rwl"}},
  };
  return groups;
}

struct Keyword {
  const char* name;
  int value;
};

// The per-format lists come from their own table; the keyword lists below
// are those of settings that apply to every format.
constexpr Keyword kRotationType[] = {{"SIMPLE", 0}, {"ADVANCED", 1}};
constexpr Keyword kSizeUnit[] = {{"PIXELS", 0}, {"PERCENT", 1}};
constexpr Keyword kResizeType[] = {{"ALLIMAGES", 0}, {"LARGEIMAGES", 1}};
constexpr Keyword kResizeAlgorithm[] = {{"BOX", 0},     {"BILINEAR", 1},   {"BSPLINE", 2},
                                        {"BICUBIC", 3}, {"CATMULLROM", 4}, {"LANCZOS", 5}};
constexpr Keyword kFontStyle[] = {{"REGULAR", 0}, {"BOLD", 1}, {"ITALIC", 2}, {"BOLDITALIC", 3}};
// The misspelling is the accepted keyword; "STRIKEOUT" and "STRIKETHROUGH"
// are not.
constexpr Keyword kFontEffect[] = {{"NONE", 0}, {"UNDERLINE", 1}, {"STRIKETHROUGHT", 2}};
constexpr Keyword kTextAlignment[] = {{"LEFT", 0}, {"CENTER", 1}, {"RIGHT", 2}};
constexpr Keyword kBoundary[] = {{"IMAGE", 0}, {"FRAME", 1}};
constexpr Keyword kPosition[] = {{"TOPLEFT", 0},    {"TOPCENTER", 1},    {"TOPRIGHT", 2},
                                 {"MIDDLELEFT", 3}, {"MIDDLECENTER", 4}, {"MIDDLERIGHT", 5},
                                 {"BOTTOMLEFT", 6}, {"BOTTOMCENTER", 7}, {"BOTTOMRIGHT", 8}};
constexpr Keyword kSizeMode[] = {{"FIXED", 0}};
constexpr Keyword kFileTimestamp[] = {{"CURRENT", 0}, {"ORIGINAL", 1}, {"CUSTOM", 2}};
constexpr Keyword kFrameType[] = {{"NONE", 0}, {"SOLID", 1}};
constexpr Keyword kWatermarkType[] = {{"NONE", 0}, {"TEXT", 1}, {"IMAGE", 2}};
constexpr Keyword kPcdDecoder[] = {{"BUILTIN", 0}, {"EXTERNAL", 1}};
constexpr Keyword kMetadata[] = {{"STRIP", 0}, {"KEEP", 1}};
constexpr Keyword kPcdHighlights[] = {{"ROLLOFF", 0}, {"KEEP", 1}};

// The keywords of one set across every format that has it, each once at
// its first list's number: "RLE" and "ZIP" both read as 1, and a number
// without a format names the first list's keyword.
std::span<const Keyword> PerFormatKeywords(KeywordSet set) {
  static const std::map<KeywordSet, std::vector<Keyword>> merged = [] {
    std::map<KeywordSet, std::vector<Keyword>> lists;
    for (const FormatChoiceList& list : FormatChoiceLists()) {
      std::vector<Keyword>& keywords = lists[list.set];
      for (std::size_t i = 0; i < list.choices.size(); ++i) {
        const std::string_view name = list.choices[i].keyword;
        if (std::none_of(keywords.begin(), keywords.end(),
                         [&](const Keyword& k) { return name == k.name; }))
          keywords.push_back({list.choices[i].keyword, static_cast<int>(i)});
      }
    }
    return lists;
  }();
  const auto found = merged.find(set);
  if (found == merged.end()) return {};
  return found->second;
}

std::span<const Keyword> KeywordsOf(KeywordSet set) {
  switch (set) {
    case KeywordSet::DdsLoadAs:
    case KeywordSet::RawLoadAs:
    case KeywordSet::FrameLoading:
    case KeywordSet::ToneMapping:
    case KeywordSet::Compression:
    case KeywordSet::BmpColorTable:
    case KeywordSet::TiffColorModel:
    case KeywordSet::JpgChroma:
    case KeywordSet::JpgSaveAs:
      return PerFormatKeywords(set);
    case KeywordSet::RotationType:
      return kRotationType;
    case KeywordSet::SizeUnit:
      return kSizeUnit;
    case KeywordSet::ResizeType:
      return kResizeType;
    case KeywordSet::ResizeAlgorithm:
      return kResizeAlgorithm;
    case KeywordSet::FontStyle:
      return kFontStyle;
    case KeywordSet::FontEffect:
      return kFontEffect;
    case KeywordSet::TextAlignment:
      return kTextAlignment;
    case KeywordSet::Boundary:
      return kBoundary;
    case KeywordSet::Position:
      return kPosition;
    case KeywordSet::SizeMode:
      return kSizeMode;
    case KeywordSet::FileTimestamp:
      return kFileTimestamp;
    case KeywordSet::FrameType:
      return kFrameType;
    case KeywordSet::WatermarkType:
      return kWatermarkType;
    case KeywordSet::PcdDecoder:
      return kPcdDecoder;
    case KeywordSet::Metadata:
      return kMetadata;
    case KeywordSet::PcdHighlights:
      return kPcdHighlights;
  }
  return {};
}

std::vector<int> ParseDepths(std::string_view text) {
  std::vector<int> depths;
  int value = 0;
  bool any = false;
  for (char ch : text) {
    if (ch == ',') {
      if (any) depths.push_back(value);
      value = 0, any = false;
    } else {
      value = value * 10 + (ch - '0');
      any = true;
    }
  }
  if (any) depths.push_back(value);
  return depths;
}

}  // namespace

FormatRegistry::FormatRegistry() {
  activeInputs_ = {"pcd"};
  for (const OutputRow& row : kOutputs) {
    outputOrder_.emplace_back(row.key);
    outputs_.push_back(OutputFormat{row.number, row.key, row.description, ParseDepths(row.depths),
                                    row.depths, row.devil});
  }
  for (const InputGroup& group : InputGroups()) {
    for (const char* ext : group.extensions) {
      inputs_.push_back(InputEntry{ext, InputType{group.canonical, group.description}});
      inputOrder_.emplace_back(ext);
    }
  }
}

const OutputFormat* FormatRegistry::outputFormat(std::string_view key) const {
  for (const OutputFormat& format : outputs_)
    if (format.extension == key) return &format;
  return nullptr;
}

const std::vector<std::string>& FormatRegistry::outputOrder() const { return outputOrder_; }

int FormatRegistry::automaticDepth(std::string_view key, int sourceDepth) const {
  const OutputFormat* format = outputFormat(key);
  if (format == nullptr || format->bitDepths.empty()) return 0;
  for (int depth : format->bitDepths)
    if (depth >= sourceDepth) return depth;
  return format->bitDepths.back();
}

std::vector<std::string> FormatRegistry::bitDepthChoices(std::string_view key,
                                                         const std::string& autoText) const {
  std::vector<std::string> choices{autoText};
  if (const OutputFormat* format = outputFormat(key))
    for (int depth : format->bitDepths) choices.push_back(std::to_string(depth));
  return choices;
}

const std::vector<std::string>& FormatRegistry::activeInputFormats() const { return activeInputs_; }

const InputType* FormatRegistry::inputType(std::string_view ext) const {
  for (const InputEntry& entry : inputs_)
    if (entry.extension == ext) return &entry.type;
  return nullptr;
}

const std::vector<std::string>& FormatRegistry::inputDictionaryOrder() const { return inputOrder_; }

std::vector<std::string> FormatRegistry::acceptedInputExtensions() const {
  std::vector<std::string> accepted;
  for (const std::string& active : activeInputs_)
    for (const InputEntry& entry : inputs_)
      if (entry.type.canonical == active) accepted.push_back(entry.extension);
  return accepted;
}

bool FormatRegistry::isAcceptedInput(std::string_view path) const {
  const std::size_t slash = path.rfind('/');
  const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
  const std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) return false;
  const std::string ext = ToLowerAscii(name.substr(dot + 1));
  if (ext.empty()) return false;
  const std::vector<std::string> accepted = acceptedInputExtensions();
  return std::find(accepted.begin(), accepted.end(), ext) != accepted.end();
}

std::string FormatRegistry::inputFilter(const CatalogText& text) const {
  std::string allPatterns;
  // Descriptions keep the order in which they first appear.
  std::vector<std::pair<std::string, std::string>> byDescription;
  for (const std::string& ext : acceptedInputExtensions()) {
    const InputType* type = inputType(ext);
    const std::string pattern = "*." + ext;
    allPatterns += pattern + ";";
    auto entry = std::find_if(byDescription.begin(), byDescription.end(),
                              [&](const auto& e) { return e.first == type->description; });
    if (entry != byDescription.end())
      entry->second += ";" + pattern;
    else
      byDescription.emplace_back(type->description, pattern);
  }
  if (!allPatterns.empty()) allPatterns.pop_back();

  std::string filter = text("Dialog", "All Supported Files") + "|" + allPatterns + "|";
  for (const auto& [description, patterns] : byDescription)
    filter += description + "|" + patterns + "|";
  filter += text("Dialog", "All Files") + " (*.*)|*.*";
  return filter;
}

std::string FormatRegistry::inputFilter(const StringCatalog& catalog) const {
  return inputFilter([&catalog](std::string_view group, std::string_view key) {
    return catalog.text(group, key);
  });
}

std::optional<int> FormatRegistry::keywordValue(KeywordSet set, std::string_view keyword) const {
  const std::string upper = ToUpperAscii(keyword);
  for (const Keyword& entry : KeywordsOf(set))
    if (upper == entry.name) return entry.value;
  return std::nullopt;
}

std::string FormatRegistry::keywordName(KeywordSet set, int value,
                                        std::string_view settingKey) const {
  // "TIFF Compression" names the list of the tiff output format.
  if (!settingKey.empty()) {
    const std::string format = ToLowerAscii(settingKey.substr(0, settingKey.find(' ')));
    const FormatChoiceList* list = FindFormatChoices(format, true, set);
    if (!list) list = FindFormatChoices(format, false, set);
    if (list) return std::string(FormatChoiceKeyword(format, list->output, set, value));
  }
  for (const Keyword& entry : KeywordsOf(set))
    if (entry.value == value) return entry.name;
  return {};
}

std::vector<std::string> FormatRegistry::keywordNames(KeywordSet set) const {
  std::vector<std::string> names;
  for (const Keyword& entry : KeywordsOf(set)) names.emplace_back(entry.name);
  return names;
}

}  // namespace lumafold
