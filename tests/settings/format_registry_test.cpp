#include "settings/format_registry.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "settings/string_catalog.h"

namespace lumafold {
namespace {

TEST(FormatRegistryOutputs, TwentyThreeFormatsInOfferedOrder) {
  FormatRegistry registry;
  const std::vector<std::string> expected = {
      "bmp", "dds", "exr", "gif", "hdr", "ico", "j2k", "jng",  "jp2",  "jpg",  "jxr", "pbm",
      "pcx", "pfm", "pgm", "png", "ppm", "psd", "tga", "tiff", "wbmp", "webp", "xpm"};
  EXPECT_EQ(registry.outputOrder(), expected);
  for (const std::string& key : registry.outputOrder()) {
    const OutputFormat* format = registry.outputFormat(key);
    ASSERT_NE(format, nullptr) << key;
    EXPECT_EQ(format->extension, key);
    // The text and the parsed list must describe the same depths, ascending.
    std::string joined;
    for (std::size_t i = 0; i < format->bitDepths.size(); ++i) {
      if (i > 0) {
        joined += ",";
        EXPECT_LT(format->bitDepths[i - 1], format->bitDepths[i]) << key;
      }
      joined += std::to_string(format->bitDepths[i]);
    }
    EXPECT_EQ(joined, format->bitDepthsText) << key;
  }
}

TEST(FormatRegistryOutputs, RecordsCarryLibraryNumbersAndWriters) {
  FormatRegistry registry;
  struct Row {
    const char* key;
    int number;
    const char* depths;
    bool devil;
    const char* description;
  };
  const Row rows[] = {
      {"bmp", 0, "1,4,8,16,24,32", false, "Windows or OS/2 Bitmap"},
      {"dds", 0x437, "32", true, "DirectDraw Surface"},
      {"jpg", 2, "8,24", false, "JPEG File Format"},
      {"jxr", 36, "1,8,16,24,32,48,96", false, "JPEG XR Image Format"},
      {"pcx", 0x428, "24", true, "ZSoft Paintbrush"},
      {"png", 13, "1,4,8,24,32,48", false, "Portable Network Graphics"},
      {"psd", 0x439, "32", true, "Adobe Photoshop"},
      {"tiff", 18, "1,4,8,24,32,48,96", false, "Tagged Image File Format"},
      {"webp", 35, "24,32", false, "Google WebP Image Format"},
      {"xpm", 23, "24", false, "X11 Pixmap Format"},
  };
  for (const Row& row : rows) {
    const OutputFormat* format = registry.outputFormat(row.key);
    ASSERT_NE(format, nullptr) << row.key;
    EXPECT_EQ(format->number, row.number) << row.key;
    EXPECT_EQ(format->bitDepthsText, row.depths) << row.key;
    EXPECT_EQ(format->devil, row.devil) << row.key;
    EXPECT_EQ(format->description, row.description) << row.key;
  }
  // Lookups are exact: callers lower-case first.
  EXPECT_EQ(registry.outputFormat("JPG"), nullptr);
  EXPECT_EQ(registry.outputFormat("jpeg"), nullptr);
  EXPECT_EQ(registry.outputFormat(""), nullptr);
}

TEST(FormatRegistryOutputs, AutomaticDepthTakesFirstDepthNotBelowSource) {
  FormatRegistry registry;
  EXPECT_EQ(registry.automaticDepth("jpg", 32), 24);
  EXPECT_EQ(registry.automaticDepth("tiff", 24), 24);
  EXPECT_EQ(registry.automaticDepth("gif", 1), 8);
  EXPECT_EQ(registry.automaticDepth("gif", 24), 8);
  EXPECT_EQ(registry.automaticDepth("gif", 96), 8);
  EXPECT_EQ(registry.automaticDepth("png", 16), 24);
  EXPECT_EQ(registry.automaticDepth("bmp", 48), 32);
  EXPECT_EQ(registry.automaticDepth("bmp", 1), 1);
  EXPECT_EQ(registry.automaticDepth("tiff", 33), 48);
  EXPECT_EQ(registry.automaticDepth("nope", 24), 0);
}

TEST(FormatRegistryOutputs, BitDepthChoicesStartWithAutomatic) {
  FormatRegistry registry;
  EXPECT_EQ(registry.bitDepthChoices("jpg", "Auto"), (std::vector<std::string>{"Auto", "8", "24"}));
  EXPECT_EQ(registry.bitDepthChoices("pbm", "Auto"), (std::vector<std::string>{"Auto", "1"}));
}

TEST(FormatRegistryInputs, OnlyPhotoCdExtensionsAreAccepted) {
  FormatRegistry registry;
  EXPECT_EQ(registry.acceptedInputExtensions(),
            (std::vector<std::string>{"pcd", "pcd1", "pcds", "ppcd"}));
  EXPECT_TRUE(registry.isAcceptedInput("PICTURE.PCD"));
  EXPECT_TRUE(registry.isAcceptedInput("/photos/photo.pcd1"));
  EXPECT_TRUE(registry.isAcceptedInput("/photos/img.PpCd"));
  EXPECT_TRUE(registry.isAcceptedInput("/a.b/c.pcds"));
  // jpg is in the dictionary but not an active input format.
  EXPECT_NE(registry.inputType("jpg"), nullptr);
  EXPECT_FALSE(registry.isAcceptedInput("photo.jpg"));
  EXPECT_FALSE(registry.isAcceptedInput("/photos.pcd/readme"));
  EXPECT_FALSE(registry.isAcceptedInput("pcd"));
  EXPECT_FALSE(registry.isAcceptedInput("photo.pcd."));
  EXPECT_FALSE(registry.isAcceptedInput("photo.pcd.tga"));
  EXPECT_FALSE(registry.isAcceptedInput(""));
}

TEST(FormatRegistryInputs, DictionaryHoldsAliasesAndCameraGroups) {
  FormatRegistry registry;
  struct Row {
    const char* ext;
    const char* canonical;
    const char* description;
  };
  const Row rows[] = {
      {"dib", "bmp", "Windows or OS/2 Bitmap"},  {"jif", "jpg", "JPEG File"},
      {"ppcd", "pcd", "Kodak PhotoCD File"},     {"tif", "tiff", "Tagged Image File Format"},
      {"wmz", "wmf", "Windows Metafile Format"}, {"apm", "wmf", "Aldus Placeable Metafile"},
      {"raw2", "raw", "Camera RAW Image"},       {"srf", "raw", "Sony Camera RAW Image"},
      {"dcs", "raw", "Kodak Camera RAW Image"},  {"sti", "raw", "Sinar RAW Image"},
      {"rwl", "raw", "Leica Camera RAW Image"},
  };
  for (const Row& row : rows) {
    const InputType* type = registry.inputType(row.ext);
    ASSERT_NE(type, nullptr) << row.ext;
    EXPECT_EQ(type->canonical, row.canonical) << row.ext;
    EXPECT_EQ(type->description, row.description) << row.ext;
  }
  EXPECT_EQ(registry.inputType("PCD"), nullptr);
  EXPECT_EQ(registry.inputType("xyz"), nullptr);
  EXPECT_EQ(registry.inputDictionaryOrder().front(), "bmp");
  EXPECT_EQ(registry.inputDictionaryOrder().back(), "rwl");
}

TEST(FormatRegistryInputs, FileDialogFilterGroupsPatternsByDescription) {
  FormatRegistry registry;
  StringCatalog catalog;
  EXPECT_EQ(registry.inputFilter(catalog),
            "All Supported Files|*.pcd;*.pcd1;*.pcds;*.ppcd|"
            "Kodak PhotoCD File|*.pcd;*.pcd1;*.pcds;*.ppcd|"
            "All Files (*.*)|*.*");
  // The two frame texts come from the catalog, not from the registry.
  const std::string filter = registry.inputFilter([](std::string_view group, std::string_view key) {
    return std::string(group) + ":" + std::string(key);
  });
  EXPECT_EQ(filter,
            "Dialog:All Supported Files|*.pcd;*.pcd1;*.pcds;*.ppcd|"
            "Kodak PhotoCD File|*.pcd;*.pcd1;*.pcds;*.ppcd|"
            "Dialog:All Files (*.*)|*.*");
}

// A keyword of a set and the value it stands for (kNone: no value).
constexpr std::optional<int> kNone = std::nullopt;
struct KeywordCase {
  KeywordSet set;
  std::string_view keyword;
  std::optional<int> value;
};
void ExpectKeywordValues(std::initializer_list<KeywordCase> cases) {
  const FormatRegistry registry;
  for (const KeywordCase& c : cases)
    EXPECT_EQ(registry.keywordValue(c.set, c.keyword), c.value) << c.keyword;
}

TEST(FormatRegistryKeywords, LookupIgnoresCaseAndRejectsOthers) {
  ExpectKeywordValues({{KeywordSet::DdsLoadAs, "rgba", 2},
                       {KeywordSet::RawLoadAs, "48HS", 4},
                       {KeywordSet::RawLoadAs, "48hs", 4},
                       {KeywordSet::RawLoadAs, "48", 5},
                       {KeywordSet::FrameLoading, "Random", 4},
                       {KeywordSet::ToneMapping, "drr", 3},
                       {KeywordSet::Position, "bottomcenter", 7},
                       {KeywordSet::ResizeAlgorithm, "Lanczos", 5},
                       {KeywordSet::FileTimestamp, "custom", 2},
                       {KeywordSet::SizeMode, "fixed", 0},
                       {KeywordSet::FontEffect, "STRIKETHROUGHT", 2},
                       {KeywordSet::FontEffect, "strikethrought", 2},
                       {KeywordSet::FontEffect, "STRIKETHROUGH", kNone},
                       {KeywordSet::FontEffect, "STRIKEOUT", kNone},
                       {KeywordSet::PcdDecoder, "builtin", 0},
                       {KeywordSet::PcdDecoder, "External", 1},
                       {KeywordSet::PcdDecoder, "built-in", kNone},
                       {KeywordSet::PcdHighlights, "RollOff", 0},
                       {KeywordSet::PcdHighlights, "keep", 1},
                       {KeywordSet::PcdHighlights, "roll-off", kNone},
                       // Keywords belong to their own set only.
                       {KeywordSet::JpgChroma, "RLE", kNone},
                       {KeywordSet::Boundary, "", kNone},
                       {KeywordSet::Boundary, " FRAME", kNone}});
}

TEST(FormatRegistryKeywords, CompressionIsOneListWhoseNumbersOverlap) {
  const FormatRegistry registry;
  const std::pair<std::string_view, std::optional<int>> compressions[] = {
      {"none", 0},  {"RLE", 1},          {"ZIP", 1},    {"b44", 4},
      {"ZLIB9", 3}, {"AdobeDeflate", 5}, {"LOGLUV", 8}, {"ZLIB", kNone}};
  for (const auto& [keyword, value] : compressions)
    EXPECT_EQ(registry.keywordValue(KeywordSet::Compression, keyword), value) << keyword;
}

TEST(FormatRegistryKeywords, ReverseLookupAnswersWithinTheSettingsSubset) {
  FormatRegistry registry;
  EXPECT_EQ(registry.keywordName(KeywordSet::Compression, 1, "BMP Compression"), "RLE");
  EXPECT_EQ(registry.keywordName(KeywordSet::Compression, 1, "TGA Compression"), "RLE");
  EXPECT_EQ(registry.keywordName(KeywordSet::Compression, 1, "EXR Compression"), "ZIP");
  EXPECT_EQ(registry.keywordName(KeywordSet::Compression, 4, "EXR Compression"), "B44");
  EXPECT_EQ(registry.keywordName(KeywordSet::Compression, 2, "PNG Compression"), "ZLIB6");
  EXPECT_EQ(registry.keywordName(KeywordSet::Compression, 1, "TIFF Compression"), "CCITTFAX3");
  EXPECT_EQ(registry.keywordName(KeywordSet::Compression, 8, "TIFF Compression"), "LOGLUV");
  for (const char* key : {"BMP Compression", "TGA Compression", "EXR Compression",
                          "PNG Compression", "TIFF Compression"})
    EXPECT_EQ(registry.keywordName(KeywordSet::Compression, 0, key), "NONE") << key;
  // A number outside the format's own subset has no keyword.
  EXPECT_EQ(registry.keywordName(KeywordSet::Compression, 2, "BMP Compression"), "");
  EXPECT_EQ(registry.keywordName(KeywordSet::Compression, 4, "PNG Compression"), "");

  EXPECT_EQ(registry.keywordName(KeywordSet::FrameType, 1), "SOLID");
  EXPECT_EQ(registry.keywordName(KeywordSet::WatermarkType, 2), "IMAGE");
  EXPECT_EQ(registry.keywordName(KeywordSet::RawLoadAs, 1), "8");
  EXPECT_EQ(registry.keywordName(KeywordSet::PcdDecoder, 1), "EXTERNAL");
  EXPECT_EQ(registry.keywordName(KeywordSet::FontEffect, 2), "STRIKETHROUGHT");
  EXPECT_EQ(registry.keywordName(KeywordSet::Position, 8), "BOTTOMRIGHT");
  EXPECT_EQ(registry.keywordName(KeywordSet::Position, 9), "");
  EXPECT_EQ(registry.keywordName(KeywordSet::JpgSaveAs, -1), "");
}

TEST(FormatRegistryKeywords, EveryNameReadsBackToItsNumber) {
  FormatRegistry registry;
  for (int s = 0; s <= static_cast<int>(KeywordSet::PcdHighlights); ++s) {
    const auto set = static_cast<KeywordSet>(s);
    if (set == KeywordSet::Compression) continue;  // overlapping numbers, tested above
    for (int value = 0; value < 10; ++value) {
      const std::string name = registry.keywordName(set, value);
      if (name.empty()) continue;
      EXPECT_EQ(registry.keywordValue(set, name), value) << s << " " << name;
    }
    EXPECT_EQ(registry.keywordName(set, 0).empty(), false) << s;
  }
}

}  // namespace
}  // namespace lumafold
