// Output encoding: the save flags of each output format, the bit-depth
// conversion just before saving, and the writers (FreeImage, DevIL for PSD,
// DDS and PCX, and the exact-colour-table 8-bit BMP writer). Every writer
// goes through a temporary file beside the output that is renamed into place
// only after the writer reported success, so a failed save never destroys or
// half-writes an existing file of the same name.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/run/conversion_job.h"
#include "engine/image.h"
#include "engine/steps/pipeline_steps.h"
#include "settings/conversion_settings.h"

namespace lumafold {

class FormatRegistry;

// FreeImage save flags for the output format `outputKey` from its settings;
// 0 for formats without options and for unknown keys.
std::int32_t ComputeSaveFlags(const ConversionSettings& settings, std::string_view outputKey);

// Fills the job's format identifier, output extension, accepted depths,
// target depth, automatic-depth flag and save flags from the settings'
// output format. False (job untouched) when the format is unknown.
bool PrepareJobForOutput(ConversionJob& job, const ConversionSettings& settings,
                         const FormatRegistry& formats);

// The first accepted depth not smaller than the source depth, else the
// largest; 0 when nothing is accepted.
std::int32_t AutomaticDepth(const std::vector<std::int32_t>& acceptedDepths,
                            std::int32_t sourceDepth);

// The depth this file is written at: the automatic depth for its source
// depth, or the job's explicit target depth.
std::int32_t EffectiveTargetDepth(const ConversionJob& job, const FileConversion& file);

// Whether "TIFF Compression" `compression` can carry the CMYK colour model:
// the CCITT fax codes are bilevel, LogLuv codes light as CIE colour, and
// FreeImage writes JPEG in TIFF only for RGB. The front ends refuse the other
// combinations before a run.
bool TiffCompressionTakesCmyk(std::int32_t compression);

// The depth a TIFF is written at for its save flags and the depth asked for:
// the one its compression and colour model can hold.
std::int32_t TiffDepthFor(std::int32_t saveFlags, std::int32_t depth);

// Brings the image to the file's target depth and records that depth in
// context.file.targetBitDepth. Returns the same handle when the depth already
// matches, and an empty handle when the target depth is not one this step
// knows or the library could not convert (the file then fails at saving).
ImageHandle ConvertDepth(ImageHandle image, const StepContext& context);

// Writes context.file.outputPath by the job's output extension. May release
// `image` early (the DevIL path does, once the pixels are handed over) so
// that no more than two copies of the pixels exist at a time.
bool WriteOutput(ImageHandle& image, const StepContext& context);

// Renames a finished file to `to` (within one file system). With
// `keepExisting` a file already at `to` is never replaced: the move fails
// with EEXIST, and `reason` says the existing file is kept and why
// (`keptBecause`). On failure sets `reason` and leaves `from` where it is.
bool MoveIntoPlace(const std::string& from, const std::string& to, bool keepExisting,
                   std::string& reason,
                   std::string_view keptBecause = "the fallback loader's Base picture does not "
                                                  "replace it");

// The writers themselves; each writes exactly `path` and leaves the naming
// and replacing to WriteOutput.

// FreeImage's writer through a stream of ours, so that a failed write or
// close fails the save.
bool SaveWithFreeImage(FREE_IMAGE_FORMAT format, FIBITMAP* image, const std::string& path,
                       int flags);

// Writes `size` bytes as the whole file; false when any write or the close
// failed.
bool WriteWholeFile(const std::string& path, const unsigned char* data, std::size_t size);
// All of `size` bytes to an open file, through short writes and signals.
bool WriteAll(int fd, const unsigned char* data, std::size_t size);

// BMP through FreeImage with the header sizes of a run-length file set to
// what was written (FreeImage leaves the uncompressed sizes there).
bool WriteBmp(FIBITMAP* image, std::int32_t saveFlags, const std::string& path);

// Windows icon of one entry at the picture's own size (up to 256 x 256, any
// shape) and depth (1, 4, 8, 16, 24 or 32 bits).
bool WriteIcon(FIBITMAP* image, const std::string& path);

// PBM with 1 meaning black, as the format defines it.
bool WritePortableBitmap(FIBITMAP* image, const std::string& path);

// Binary PPM (24 bits, or 48 bits with samples up to 65535) and PGM (8-bit
// grey), written in large pieces.
bool WritePortablePixmap(FIBITMAP* image, const std::string& path);
bool WritePortableGreymap(FIBITMAP* image, const std::string& path);

// PFM from a 96-bit floating-point image, rows bottom to top.
bool WritePortableFloatmap(FIBITMAP* image, const std::string& path);

// PNG and lossless WebP of a 32-bit image with its alpha channel, also when
// every pixel is opaque (FreeImage drops an opaque alpha channel).
bool WritePngWithAlpha(FIBITMAP* image, std::int32_t saveFlags, const std::string& path);
bool WriteWebpWithAlpha(FIBITMAP* image, std::int32_t saveFlags, const std::string& path);

// TIFF; with TIFF_CMYK in the flags the pixels are converted to CMYK inks.
bool WriteTiff(FIBITMAP* image, std::int32_t saveFlags, const std::string& path);

// 8-bit BMP whose colour table holds only the entries up to the highest
// index any pixel uses. False for an image that is not 8 bits per pixel.
bool WriteExactColourTableBmp(FIBITMAP* image, std::int32_t formatNumber, std::int32_t saveFlags,
                              const std::string& path);

// JPEG XR, lossless, through jxrlib (FreeImage's own plugin cannot write it
// on this platform).
bool WriteJpegXr(FIBITMAP* image, const std::string& path);

// PSD, DDS and PCX through DevIL from the image's raw BGR or BGRA rows;
// `buildMipmaps` adds the mipmap chain (DDS). Releases `image` once its
// pixels are copied out.
bool WriteWithDevil(ImageHandle& image, std::int32_t devilType, bool buildMipmaps,
                    const std::string& path);

}  // namespace lumafold
