// The per-format choice lists. A stored value is a position in its list, so
// a new choice goes at the end of its list, never in between.
#include "settings/format_choices.h"

namespace lumafold {
namespace {

constexpr FormatChoice kCompressionRle[] = {{"NONE", "None"}, {"RLE", "RLE"}};
constexpr FormatChoice kBmpColorTable[] = {{"AUTO", "Auto"}, {"EXACT", "Exact"}};
constexpr FormatChoice kExrCompression[] = {
    {"NONE", "None"}, {"ZIP", "ZIP"}, {"PIZ", "PIZ"}, {"PXR24", "PXR24"}, {"B44", "B44"}};
constexpr FormatChoice kJpgChroma[] = {
    {"NONE", "None"}, {"LOW", "Low"}, {"MEDIUM", "Medium"}, {"HIGH", "High"}};
constexpr FormatChoice kJpgSaveAs[] = {{"STANDARD", "Baseline Standard"},
                                       {"SIMPLE", "Baseline Simple"},
                                       {"OPTIMIZED", "Baseline Optimized"},
                                       {"PROGRESSIVE", "Progressive"}};
constexpr FormatChoice kPngCompression[] = {
    {"NONE", "None"}, {"ZLIB1", "ZLIB1"}, {"ZLIB6", "ZLIB6"}, {"ZLIB9", "ZLIB9"}};
constexpr FormatChoice kTiffCompression[] = {
    {"NONE", "None"},         {"CCITTFAX3", "CCITTFAX3"}, {"CCITTFAX4", "CCITTFAX4"},
    {"PACKBITS", "PACKBITS"}, {"DEFLATE", "DEFLATE"},     {"ADOBEDEFLATE", "ADOBEDEFLATE"},
    {"LZW", "LZW"},           {"JPEG", "JPEG"},           {"LOGLUV", "LOGLUV"}};
// Lab is accepted from the command line and written like RGB; the dialog
// offers the two models that differ.
constexpr FormatChoice kTiffColorModel[] = {{"RGB", "RGB"}, {"CMYK", "CMYK"}, {"LAB", nullptr}};

constexpr FormatChoice kDdsLoadAs[] = {{"AUTO", "Auto"}, {"BGRA", "BGRA"}, {"RGBA", "RGBA"}};
constexpr FormatChoice kFrameLoading[] = {{"ALL", "All Frames"},
                                          {"FIRST", "First Frame"},
                                          {"MIDDLE", "Middle Frame"},
                                          {"LAST", "Last Frame"},
                                          {"RANDOM", "Random Frame"}};
constexpr FormatChoice kRawLoadAs[] = {{"AUTO", "Auto"}, {"8", "RGB8"},       {"16", "RGB16"},
                                       {"24", "RGB24"},  {"48HS", "RGB48HS"}, {"48", "RGB48"}};
constexpr FormatChoice kToneMapping[] = {{"NONE", "None"},
                                         {"LINEAR", "Linear"},
                                         {"AL", "Adaptive Logarithmic"},
                                         {"DRR", "DR Reduction"},
                                         {"GD", "Gradient Domain"}};

constexpr FormatChoiceList kLists[] = {
    {"bmp", true, KeywordSet::Compression, "Compression", kCompressionRle},
    {"bmp", true, KeywordSet::BmpColorTable, "Color Table", kBmpColorTable},
    {"exr", true, KeywordSet::Compression, "Compression", kExrCompression},
    {"jpg", true, KeywordSet::JpgChroma, "Chroma Subsampling", kJpgChroma},
    {"jpg", true, KeywordSet::JpgSaveAs, "Save As", kJpgSaveAs},
    {"png", true, KeywordSet::Compression, "Compression", kPngCompression},
    {"tga", true, KeywordSet::Compression, "Compression", kCompressionRle},
    {"tiff", true, KeywordSet::Compression, "Compression", kTiffCompression},
    {"tiff", true, KeywordSet::TiffColorModel, "Color Model", kTiffColorModel},
    {"dds", false, KeywordSet::DdsLoadAs, "Load As", kDdsLoadAs},
    {"gif", false, KeywordSet::FrameLoading, "Frame Loading", kFrameLoading},
    {"ico", false, KeywordSet::FrameLoading, "Frame Loading", kFrameLoading},
    {"tiff", false, KeywordSet::FrameLoading, "Frame Loading", kFrameLoading},
    {"raw", false, KeywordSet::RawLoadAs, "Load As", kRawLoadAs},
    {"raw", false, KeywordSet::ToneMapping, "Tone Mapping", kToneMapping},
};

}  // namespace

std::span<const FormatChoiceList> FormatChoiceLists() { return kLists; }

const FormatChoiceList* FindFormatChoices(std::string_view format, bool output, KeywordSet set) {
  for (const FormatChoiceList& list : kLists)
    if (list.format == format && list.output == output && list.set == set) return &list;
  return nullptr;
}

std::string_view FormatChoiceKeyword(std::string_view format, bool output, KeywordSet set,
                                     int value) {
  const FormatChoiceList* list = FindFormatChoices(format, output, set);
  if (!list || value < 0 || value >= static_cast<int>(list->choices.size())) return {};
  return list->choices[static_cast<std::size_t>(value)].keyword;
}

}  // namespace lumafold
