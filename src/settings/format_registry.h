// Built-in table of input and output formats and the keyword sets of the
// enumerated settings. Filled once, read-only afterwards.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lumafold {

class StringCatalog;

struct OutputFormat {
  // FreeImage format number for the save call; for psd, dds and pcx the
  // DevIL image type instead (see `devil`).
  std::int32_t number;
  std::string extension;       // same as the key
  std::string description;     // name shown to the user
  std::vector<int> bitDepths;  // ascending
  std::string bitDepthsText;   // "1,4,8,16,24,32"
  bool devil;                  // written through DevIL rather than FreeImage
};

struct InputType {
  std::string canonical;
  std::string description;
};

// Keyword lists of the enumerated settings, in the order the command line
// numbers them (1 DdsLoadAs .. 20 FileTimestamp). FrameType ("Do Frame")
// and WatermarkType ("Do Watermark") exist for printing settings back.
enum class KeywordSet {
  DdsLoadAs,
  RawLoadAs,
  FrameLoading,
  ToneMapping,
  Compression,
  BmpColorTable,
  TiffColorModel,
  JpgChroma,
  JpgSaveAs,
  RotationType,
  SizeUnit,
  ResizeType,
  ResizeAlgorithm,
  FontStyle,
  FontEffect,
  TextAlignment,
  Boundary,
  Position,
  SizeMode,
  FileTimestamp,
  FrameType,
  WatermarkType,
  PcdDecoder,
  Metadata,
  PcdHighlights,
};

// Looks up a catalog text by group and key.
using CatalogText = std::function<std::string(std::string_view group, std::string_view key)>;

class FormatRegistry {
 public:
  FormatRegistry();

  // Output formats. Keys are exact and case-sensitive (lower-case).
  const OutputFormat* outputFormat(std::string_view key) const;  // nullptr when unknown
  const std::vector<std::string>& outputOrder() const;           // the 23 keys

  // First allowed depth not below sourceDepth, else the largest one;
  // 0 for an unknown key.
  int automaticDepth(std::string_view key, int sourceDepth) const;

  // The bit-depth choice list of the preferences: autoText first, then
  // every allowed depth of the key as decimal text.
  std::vector<std::string> bitDepthChoices(std::string_view key, const std::string& autoText) const;

  // Input side. Only the active formats take part in acceptance and the
  // file dialog filter; the dictionary names every known extension.
  const std::vector<std::string>& activeInputFormats() const;    // {"pcd"}
  const InputType* inputType(std::string_view ext) const;        // exact key
  const std::vector<std::string>& inputDictionaryOrder() const;  // every extension
  std::vector<std::string> acceptedInputExtensions() const;      // pcd, pcd1, pcds, ppcd
  // The extension of the path's file name (after the last dot), ASCII
  // lower-cased, is an accepted input extension.
  bool isAcceptedInput(std::string_view path) const;

  // The input file dialog filter "All Supported Files|*.pcd;...|...|All
  // Files (*.*)|*.*", with the two catalog texts of group "Dialog".
  std::string inputFilter(const CatalogText& text) const;
  std::string inputFilter(const StringCatalog& catalog) const;

  // Keyword -> number, comparing upper-cased. A keyword outside the set
  // gives nullopt; the command line turns that into 0 as it documents.
  // The compression set is one list across all formats ("RLE" and "ZIP"
  // are both 1); FrameType and WatermarkType are accepted here too.
  std::optional<int> keywordValue(KeywordSet set, std::string_view keyword) const;

  // Number -> keyword; "" when the number has no keyword. For Compression
  // the settingKey ("BMP Compression", "TGA Compression", "EXR
  // Compression", "PNG Compression", "TIFF Compression") picks the subset
  // the number belongs to; without one, the first match of the list.
  std::string keywordName(KeywordSet set, int value, std::string_view settingKey = {}) const;

  // Every keyword of a list, in list order (upper case, as stored).
  std::vector<std::string> keywordNames(KeywordSet set) const;

 private:
  struct InputEntry {
    std::string extension;
    InputType type;
  };

  std::vector<std::string> activeInputs_;
  std::vector<std::string> outputOrder_;
  std::vector<OutputFormat> outputs_;  // in outputOrder_ order
  std::vector<InputEntry> inputs_;     // dictionary order
  std::vector<std::string> inputOrder_;
};

}  // namespace lumafold
