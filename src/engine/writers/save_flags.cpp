// Save flags of the output formats and the job's format fields. The flag
// values are FreeImage's own; a setting value outside its list adds nothing.
#include <algorithm>
#include <initializer_list>
#include <string_view>
#include <utility>

#include "engine/writers/write_output.h"
#include "settings/format_choices.h"
#include "settings/format_registry.h"

namespace lumafold {
namespace {

// The FreeImage flag of the choice stored in `value`, found by its keyword
// in the settings' choice list, so these pairs may come in any order.
using FlagOf = std::initializer_list<std::pair<std::string_view, std::int32_t>>;
std::int32_t Flag(std::string_view format, KeywordSet set, std::int32_t value, FlagOf flags) {
  const std::string_view keyword = FormatChoiceKeyword(format, true, set, value);
  for (const auto& [name, flag] : flags)
    if (!keyword.empty() && name == keyword) return flag;
  return 0;
}

std::int32_t JpegFlags(const OutputSettings& output) {
  // The quality sits in the low seven bits; anything above 100 would spill
  // into FreeImage's named-quality bits (0x80 and up) and pick another
  // quality, so a stray settings value is held to the valid range.
  const std::int32_t quality = std::clamp<std::int32_t>(output.jpgQuality, 0, 100);
  const std::int32_t chroma = Flag("jpg", KeywordSet::JpgChroma, output.jpgChroma,
                                   {{"NONE", JPEG_SUBSAMPLING_444},
                                    {"LOW", JPEG_SUBSAMPLING_422},
                                    {"MEDIUM", JPEG_SUBSAMPLING_420},
                                    {"HIGH", JPEG_SUBSAMPLING_411}});
  const std::int32_t saveAs = Flag(
      "jpg", KeywordSet::JpgSaveAs, output.jpgSaveAs,
      {{"SIMPLE", JPEG_BASELINE}, {"OPTIMIZED", JPEG_OPTIMIZE}, {"PROGRESSIVE", JPEG_PROGRESSIVE}});
  return quality | chroma | saveAs;
}

}  // namespace

std::int32_t ComputeSaveFlags(const ConversionSettings& settings, std::string_view outputKey) {
  const OutputSettings& output = settings.output;
  constexpr KeywordSet kCompression = KeywordSet::Compression;
  if (outputKey == "bmp")
    return Flag("bmp", kCompression, output.bmpCompression, {{"RLE", BMP_SAVE_RLE}});
  if (outputKey == "exr") {
    return Flag("exr", kCompression, output.exrCompression,
                {{"NONE", EXR_NONE},
                 {"ZIP", EXR_ZIP},
                 {"PIZ", EXR_PIZ},
                 {"PXR24", EXR_PXR24},
                 {"B44", EXR_B44}});
  }
  if (outputKey == "jpg") return JpegFlags(output);
  if (outputKey == "jxr") return JXR_LOSSLESS;
  if (outputKey == "png") {
    std::int32_t flags = Flag("png", kCompression, output.pngCompression,
                              {{"NONE", PNG_Z_NO_COMPRESSION},
                               {"ZLIB1", PNG_Z_BEST_SPEED},
                               {"ZLIB6", PNG_Z_DEFAULT_COMPRESSION},
                               {"ZLIB9", PNG_Z_BEST_COMPRESSION}});
    if (output.pngInterlaced) flags |= PNG_INTERLACED;
    return flags;
  }
  if (outputKey == "tga")
    return Flag("tga", kCompression, output.tgaCompression, {{"RLE", TARGA_SAVE_RLE}});
  if (outputKey == "tiff") {
    std::int32_t flags = Flag("tiff", kCompression, output.tiffCompression,
                              {{"NONE", TIFF_NONE},
                               {"CCITTFAX3", TIFF_CCITTFAX3},
                               {"CCITTFAX4", TIFF_CCITTFAX4},
                               {"PACKBITS", TIFF_PACKBITS},
                               {"DEFLATE", TIFF_DEFLATE},
                               {"ADOBEDEFLATE", TIFF_ADOBE_DEFLATE},
                               {"LZW", TIFF_LZW},
                               {"JPEG", TIFF_JPEG},
                               {"LOGLUV", TIFF_LOGLUV}});
    // Only CMYK has a flag; Lab is written like RGB.
    flags |= Flag("tiff", KeywordSet::TiffColorModel, output.tiffColorModel, {{"CMYK", TIFF_CMYK}});
    return flags;
  }
  if (outputKey == "webp") return WEBP_LOSSLESS;
  return 0;
}

bool PrepareJobForOutput(ConversionJob& job, const ConversionSettings& settings,
                         const FormatRegistry& formats) {
  const std::string& key = settings.output.format;
  const OutputFormat* format = formats.outputFormat(key);
  if (!format) return false;
  const std::int32_t* depth = settings.output.bppFor(key);
  job.formatIdentifier = format->number;
  job.outputExtension = format->extension;
  job.outputBitDepths.assign(format->bitDepths.begin(), format->bitDepths.end());
  job.targetBitDepth = depth ? *depth : 0;
  job.automaticDepth = job.targetBitDepth == 0;
  job.saveFlags = ComputeSaveFlags(settings, key);
  return true;
}

}  // namespace lumafold
