// Save flags of the output formats and the job's format fields. The flag
// values are FreeImage's own; a setting value outside its list adds nothing.
#include <algorithm>

#include "engine/writers/write_output.h"
#include "settings/format_registry.h"

namespace lumafold {
namespace {

std::int32_t Pick(std::int32_t value, std::initializer_list<std::int32_t> flags) {
  if (value < 0 || value >= static_cast<std::int32_t>(flags.size())) return 0;
  return *(flags.begin() + value);
}

std::int32_t JpegFlags(const OutputSettings& output) {
  // The quality sits in the low seven bits; anything above 100 would spill
  // into FreeImage's named-quality bits (0x80 and up) and pick another
  // quality, so a stray settings value is held to the valid range.
  const std::int32_t quality = std::clamp<std::int32_t>(output.jpgQuality, 0, 100);
  const std::int32_t chroma = Pick(output.jpgChroma, {JPEG_SUBSAMPLING_444, JPEG_SUBSAMPLING_422,
                                                      JPEG_SUBSAMPLING_420, JPEG_SUBSAMPLING_411});
  const std::int32_t saveAs =
      Pick(output.jpgSaveAs, {0, JPEG_BASELINE, JPEG_OPTIMIZE, JPEG_PROGRESSIVE});
  return quality | chroma | saveAs;
}

}  // namespace

std::int32_t ComputeSaveFlags(const ConversionSettings& settings, std::string_view outputKey) {
  const OutputSettings& output = settings.output;
  if (outputKey == "bmp") return Pick(output.bmpCompression, {0, BMP_SAVE_RLE});
  if (outputKey == "exr") {
    return Pick(output.exrCompression, {EXR_NONE, EXR_ZIP, EXR_PIZ, EXR_PXR24, EXR_B44});
  }
  if (outputKey == "jpg") return JpegFlags(output);
  if (outputKey == "jxr") return JXR_LOSSLESS;
  if (outputKey == "png") {
    std::int32_t flags =
        Pick(output.pngCompression, {PNG_Z_NO_COMPRESSION, PNG_Z_BEST_SPEED,
                                     PNG_Z_DEFAULT_COMPRESSION, PNG_Z_BEST_COMPRESSION});
    if (output.pngInterlaced) flags |= PNG_INTERLACED;
    return flags;
  }
  if (outputKey == "tga") return Pick(output.tgaCompression, {0, TARGA_SAVE_RLE});
  if (outputKey == "tiff") {
    std::int32_t flags = Pick(output.tiffCompression,
                              {TIFF_NONE, TIFF_CCITTFAX3, TIFF_CCITTFAX4, TIFF_PACKBITS,
                               TIFF_DEFLATE, TIFF_ADOBE_DEFLATE, TIFF_LZW, TIFF_JPEG, TIFF_LOGLUV});
    // Only CMYK has a flag; Lab (2) is written like RGB.
    if (output.tiffColorModel == 1) flags |= TIFF_CMYK;
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
