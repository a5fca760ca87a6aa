#include "settings/settings_keys.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <set>
#include <string>

namespace lumafold {
namespace {

const void* Address(const SettingKey& key, ConversionSettings& settings) {
  return std::visit([](auto* p) -> const void* { return p; }, key.field(settings));
}

TEST(SettingsKeyTable, EveryKeyOnceWithItsOwnField) {
  ConversionSettings settings;
  std::set<std::string> names;
  std::set<const void*> fields;
  for (const SettingKey& key : SettingsKeys()) {
    EXPECT_TRUE(names.insert(std::string(key.section) + "/" + key.key).second) << key.key;
    EXPECT_TRUE(fields.insert(Address(key, settings)).second) << key.key;
  }
  // 132 keys of the settings file plus "Jobs", "PCD Decoder", "PCD
  // Highlights", "Show Thumbnails" and "Keep Metadata".
  EXPECT_EQ(SettingsKeys().size(), 137u);
}

TEST(SettingsKeyTable, SectionsAreContiguousAndInWrittenOrder) {
  std::size_t sectionIndex = 0;
  const auto sections = SettingsSections();
  ASSERT_EQ(sections.size(), 12u);
  for (const SettingKey& key : SettingsKeys()) {
    while (sectionIndex < sections.size() && std::string(sections[sectionIndex]) != key.section)
      ++sectionIndex;
    ASSERT_LT(sectionIndex, sections.size()) << key.section << "/" << key.key << " out of order";
  }
}

TEST(SettingsKeyTable, TypesMatchTheFields) {
  ConversionSettings settings;
  for (const SettingKey& key : SettingsKeys()) {
    const SettingField field = key.field(settings);
    switch (key.type) {
      case SettingType::Int32:
      case SettingType::Date:
        EXPECT_TRUE(std::holds_alternative<std::int32_t*>(field)) << key.key;
        break;
      case SettingType::Int8:
        EXPECT_TRUE(std::holds_alternative<std::int8_t*>(field)) << key.key;
        break;
      case SettingType::Float:
        EXPECT_TRUE(std::holds_alternative<float*>(field)) << key.key;
        break;
      case SettingType::String:
      case SettingType::Colour:
        EXPECT_TRUE(std::holds_alternative<std::string*>(field)) << key.key;
        break;
    }
  }
}

TEST(SettingsKeyTable, FallbacksAgreeWithBuiltInDefaultsExceptWhereTheyDiffer) {
  ConversionSettings builtIn;
  builtIn.resetToDefaults(SettingsMode::Window, ScreenSize{1920, 1080});
  ConversionSettings fallback = builtIn;
  for (const SettingKey& key : SettingsKeys())
    StoreSettingFallback(key, fallback, builtIn.general.updateDate);

  const std::set<std::string> differing = {"General/CFG", "Window/X", "Window/Y"};
  for (const SettingKey& key : SettingsKeys()) {
    const std::string name = std::string(key.section) + "/" + key.key;
    if (differing.count(name) != 0) continue;
    EXPECT_EQ(FormatSettingValue(key, fallback), FormatSettingValue(key, builtIn)) << name;
  }
  EXPECT_EQ(fallback.general.cfg, 0);
  EXPECT_EQ(builtIn.general.cfg, 17);
  EXPECT_EQ(fallback.window.x, 100);
  EXPECT_EQ(fallback.window.y, 100);
  EXPECT_EQ(builtIn.window.x, (1920 - 510) / 2);
  EXPECT_EQ(fallback.watermark.backOpacity, 1);
  EXPECT_EQ(fallback.advanced.customTimestamp, builtIn.general.updateDate);

  // The command-line defaults differ only in "Keep Aspect Ratio".
  ConversionSettings commandLine;
  commandLine.resetToDefaults(SettingsMode::CommandLine, ScreenSize{1920, 1080});
  commandLine.general.updateDate = builtIn.general.updateDate;
  commandLine.advanced.customTimestamp = builtIn.advanced.customTimestamp;
  for (const SettingKey& key : SettingsKeys()) {
    if (std::string(key.key) == "Keep Aspect Ratio") {
      EXPECT_EQ(FormatSettingValue(key, commandLine), "0");
      EXPECT_EQ(FormatSettingValue(key, builtIn), "1");
    } else {
      EXPECT_EQ(FormatSettingValue(key, commandLine), FormatSettingValue(key, builtIn)) << key.key;
    }
  }
}

TEST(SettingsKeyTable, FindIgnoresCaseAndTellsSameNamedKeysApart) {
  const SettingKey* transform = FindSettingKey("transform", "IMAGE ROTATION");
  const SettingKey* watermark = FindSettingKey("Watermark", "image rotation");
  ASSERT_NE(transform, nullptr);
  ASSERT_NE(watermark, nullptr);
  ConversionSettings settings;
  StoreSettingValue(*transform, settings, "90");
  StoreSettingValue(*watermark, settings, "45");
  EXPECT_EQ(settings.transform.imageRotation, 90);
  EXPECT_EQ(settings.watermark.imageRotation, 45);
  EXPECT_EQ(FindSettingKey("Output", "Image Rotation"), nullptr);
  EXPECT_EQ(FindSettingKey("Advanced", "Jobs")->type, SettingType::Int32);
  EXPECT_EQ(FindSettingKey("Output", "TIFF Compression")->keywords, KeywordSet::Compression);
  EXPECT_EQ(FindSettingKey("Input", "PCD Decoder")->keywords, KeywordSet::PcdDecoder);
  EXPECT_EQ(FindSettingKey("Input", "PCD Highlights")->keywords, KeywordSet::PcdHighlights);
  EXPECT_STREQ(FindSettingKey("Output", "JPG Quality")->format, "jpg");
  EXPECT_EQ(FindSettingKey("Output", "Format")->format, nullptr);
}

TEST(SettingsValueText, IntegersAreTheLeadingDecimalNumber) {
  EXPECT_EQ(LeadingInteger("42"), 42);
  EXPECT_EQ(LeadingInteger("42px"), 42);
  EXPECT_EQ(LeadingInteger("-100"), -100);
  EXPECT_EQ(LeadingInteger("+7"), 7);
  EXPECT_EQ(LeadingInteger("abc"), 0);
  EXPECT_EQ(LeadingInteger(""), 0);
  EXPECT_EQ(LeadingInteger("-"), 0);
  EXPECT_EQ(LeadingInteger("2.9"), 2);
  EXPECT_EQ(LeadingInteger("99999999999999999999999"), std::numeric_limits<std::int32_t>::max());
  EXPECT_EQ(LeadingInteger("-2147483648"), std::numeric_limits<std::int32_t>::min());
  EXPECT_EQ(LeadingInteger("-99999999999999999999999"), std::numeric_limits<std::int32_t>::min());

  ConversionSettings settings;
  StoreSettingValue(*FindSettingKey("Advanced", "Out Folders Number"), settings, "300");
  EXPECT_EQ(settings.advanced.outFoldersNumber, 44);  // 300 stored into eight bits
}

TEST(SettingsValueText, GammaReadsDecimalsAndTheThreeWords) {
  EXPECT_EQ(ParseFloatValue("2.5"), 2.5f);
  EXPECT_EQ(ParseFloatValue("0.01"), 0.01f);
  EXPECT_EQ(ParseFloatValue("+1.5"), 1.5f);
  EXPECT_EQ(ParseFloatValue("3"), 3.0f);
  EXPECT_EQ(ParseFloatValue("+Infinity"), std::numeric_limits<float>::infinity());
  EXPECT_EQ(ParseFloatValue("-Infinity"), -std::numeric_limits<float>::infinity());
  EXPECT_TRUE(std::isnan(*ParseFloatValue("NaN")));
  EXPECT_EQ(ParseFloatValue("gamma"), std::nullopt);

  EXPECT_EQ(FormatFloatValue(1.0f), "1.000000");
  EXPECT_EQ(FormatFloatValue(2.5f), "2.500000");
  EXPECT_EQ(FormatFloatValue(-0.25f), "-0.250000");
  EXPECT_EQ(FormatFloatValue(std::numeric_limits<float>::infinity()), "+Infinity");
  EXPECT_EQ(FormatFloatValue(-std::numeric_limits<float>::infinity()), "-Infinity");
  EXPECT_EQ(FormatFloatValue(std::numeric_limits<float>::quiet_NaN()), "NaN");
  EXPECT_EQ(FormatFloatValue(std::numeric_limits<float>::max()).substr(0, 6), "340282");

  ConversionSettings settings;
  settings.adjustment.imageGamma = 3.0f;
  StoreSettingValue(*FindSettingKey("Adjustment", "Image Gamma"), settings, "bright");
  EXPECT_EQ(settings.adjustment.imageGamma, 1.0f);  // unreadable text: the fallback
}

TEST(SettingsValueText, ColoursAndMaskAreTrimmedOtherTextIsNot) {
  ConversionSettings settings;
  StoreSettingValue(*FindSettingKey("Frame", "Solid Top Color"), settings, "FF8000   ");
  StoreSettingValue(*FindSettingKey("Advanced", "Filename Mask"), settings, "%filename%.%ext%  ");
  StoreSettingValue(*FindSettingKey("Watermark", "Text"), settings, "(c) 2024  ");
  EXPECT_EQ(settings.frame.solidTopColor, "FF8000");
  EXPECT_EQ(settings.advanced.filenameMask, "%filename%.%ext%");
  EXPECT_EQ(settings.watermark.text, "(c) 2024  ");
}

}  // namespace
}  // namespace lumafold
