// The table of every persisted setting: its section and key as the settings
// file spells them, its type, the field of ConversionSettings it fills and
// the fallback used when a settings file lacks the key. The settings file
// reader and writer and the command-line parser find settings here; no
// other code spells a key.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>

#include "settings/conversion_settings.h"
#include "settings/format_registry.h"

namespace lumafold {

enum class SettingType { Int32, Int8, Float, String, Colour, Date };

// Where a setting's value lives inside a ConversionSettings record.
using SettingField = std::variant<std::int32_t*, std::int8_t*, float*, std::string*>;
using ConstSettingField =
    std::variant<const std::int32_t*, const std::int8_t*, const float*, const std::string*>;

// What a missing key reads as.
struct SettingFallback {
  std::int32_t integer = 0;  // Int32, Int8 (Date: see `now`)
  float real = 0.0f;         // Float
  const char* text = "";     // String, Colour
  bool now = false;          // Date: the current local date-time
};

struct SettingKey {
  const char* section;  // "Transform"
  const char* key;      // "Image Width"
  SettingType type;
  SettingField (*field)(ConversionSettings&);
  SettingFallback fallback;
  // Input and Output keys that belong to one format ("jpg" for "JPG
  // Quality"); the writer emits them only for formats in that format list.
  // nullptr for keys written always.
  const char* format = nullptr;
  // Spaces at both ends are dropped when the value is read from a file
  // (colours, the filename mask).
  bool trimOnRead = false;
  // The keyword list of an enumerated setting, for parsing and printing.
  std::optional<KeywordSet> keywords = std::nullopt;

  ConstSettingField constField(const ConversionSettings& settings) const;
};

// Every key in the settings file's written order (Window keys as written:
// IsMaximized, Width, Height, X, Y).
std::span<const SettingKey> SettingsKeys();

// The names of the sections in written order.
std::span<const char* const> SettingsSections();

// Section and key compared without regard to letter case; nullptr when not
// in the table.
const SettingKey* FindSettingKey(std::string_view section, std::string_view key);

// A value as the settings file writes it: decimal integers, gamma with six
// decimals ("1.000000", "+Infinity", "-Infinity", "NaN"), text unchanged.
std::string FormatSettingValue(const SettingKey& key, const ConversionSettings& settings);

// Stores a value read from a file by the reading rules: integers are the
// leading decimal integer of the text (0 when there is none, clamped to the
// 32-bit range, then stored into the field's width); the float takes decimal
// notation or one of the three words and keeps its fallback for anything
// else; text is stored as it stands, or space-trimmed for trimOnRead keys.
void StoreSettingValue(const SettingKey& key, ConversionSettings& settings, std::string_view text);

// Stores the key's fallback (dates take `now`).
void StoreSettingFallback(const SettingKey& key, ConversionSettings& settings, SettingsDate now);

// Reading rules shared with other sectioned key files.
std::int32_t LeadingInteger(std::string_view text);
std::optional<float> ParseFloatValue(std::string_view text);
std::string FormatFloatValue(float value);

}  // namespace lumafold
