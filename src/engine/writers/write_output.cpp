// The write step: picks the writer for the output format and lets it write
// a temporary file in the output's own folder, which replaces the output
// only once the writer reported success. rename() within one folder is
// atomic, so an existing output is either left whole or replaced whole.
#include "engine/writers/write_output.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <optional>
#include <string_view>

#include "engine/image_libraries.h"
#include "engine/run/naming.h"
#include "engine/run/run_leftovers.h"
#include "engine/writers/metadata.h"

namespace lumafold {
namespace {

std::string FolderPart(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// Creates the file exclusively, so whatever already sits under that name
// (another file, a directory, a link) is never written through or removed;
// recorded until it is moved into place or removed, so that an immediate
// exit does not leave it behind.
bool ClaimName(const std::string& path) { return ClaimTrackedFile(path); }

// The temporary file of one save; removed unless it was moved into place.
class TemporaryOutput {
 public:
  static std::optional<TemporaryOutput> Claim(const std::string& preferred,
                                              const std::string& outputPath,
                                              const std::string& extension) {
    const std::string folder = FolderPart(outputPath);
    // A name in another folder could lie on another file system, where the
    // final rename would not be atomic (or possible).
    if (!preferred.empty() && FolderPart(preferred) == folder && preferred != outputPath &&
        ClaimName(preferred)) {
      return TemporaryOutput(preferred);
    }
    for (int attempt = 0; attempt < 16; ++attempt) {
      std::string name = folder + TemporaryFileName(std::time(nullptr), extension);
      if (ClaimName(name)) return TemporaryOutput(std::move(name));
      if (errno != EEXIST) break;
    }
    return std::nullopt;
  }

  TemporaryOutput(TemporaryOutput&& other) noexcept : path_(std::move(other.path_)) {
    other.path_.clear();
  }
  TemporaryOutput& operator=(TemporaryOutput&&) = delete;
  ~TemporaryOutput() {
    if (path_.empty()) return;
    ::unlink(path_.c_str());
    ForgetLeftover(path_);
  }

  const std::string& path() const { return path_; }

  bool moveTo(const std::string& outputPath, bool keepExisting, std::string& reason,
              std::string_view keptBecause) {
    if (!MoveIntoPlace(path_, outputPath, keepExisting, reason, keptBecause)) return false;
    ForgetLeftover(path_);
    path_.clear();
    return true;
  }

 private:
  explicit TemporaryOutput(std::string path) : path_(std::move(path)) {}
  std::string path_;
};

bool IsDevilFormat(std::string_view key) { return key == "psd" || key == "dds" || key == "pcx"; }

unsigned ReadFromFile(void* buffer, unsigned size, unsigned count, fi_handle handle) {
  return static_cast<unsigned>(std::fread(buffer, size, count, static_cast<FILE*>(handle)));
}
unsigned WriteToFile(void* buffer, unsigned size, unsigned count, fi_handle handle) {
  return static_cast<unsigned>(std::fwrite(buffer, size, count, static_cast<FILE*>(handle)));
}
int SeekInFile(fi_handle handle, long offset, int origin) {
  return std::fseek(static_cast<FILE*>(handle), offset, origin);
}
long TellInFile(fi_handle handle) { return std::ftell(static_cast<FILE*>(handle)); }

// 72 dots per inch in FreeImage's unit: the intermediate file carries no
// resolution, and 0 would reach the outputs as a density of 0 x 0, which
// readers take as broken or as 1 dot per inch.
constexpr unsigned kDefaultDotsPerMetre = 2835;

void GiveResolution(FIBITMAP* image) {
  if (FreeImage_GetDotsPerMeterX(image) == 0 || FreeImage_GetDotsPerMeterY(image) == 0) {
    FreeImage_SetDotsPerMeterX(image, kDefaultDotsPerMetre);
    FreeImage_SetDotsPerMeterY(image, kDefaultDotsPerMetre);
  }
}

bool HasAlphaChannel(FIBITMAP* image) {
  return FreeImage_GetImageType(image) == FIT_BITMAP && FreeImage_GetBPP(image) == 32;
}

// What the pixels about to be written mean; taken before the writer runs,
// since the DevIL path releases the image.
PixelMeaning MeaningOf(FIBITMAP* image, const ConversionJob& job) {
  // CMYK inks and LogLuv's CIE colour are no sRGB numbers.
  if (job.outputExtension == "tiff" && (job.saveFlags & (TIFF_CMYK | TIFF_LOGLUV)) != 0)
    return PixelMeaning::None;
  switch (FreeImage_GetImageType(image)) {
    case FIT_RGBF:
    case FIT_RGBAF:
      return PixelMeaning::LinearFloat;
    case FIT_UINT16:
      return PixelMeaning::Grey;
    case FIT_RGB16:
    case FIT_RGBA16:
      return PixelMeaning::Srgb;
    case FIT_BITMAP:
      switch (FreeImage_GetColorType(image)) {
        case FIC_MINISBLACK:
          return PixelMeaning::Grey;
        case FIC_RGB:
        case FIC_RGBALPHA:
        case FIC_PALETTE:
          return PixelMeaning::Srgb;
        default:
          return PixelMeaning::None;
      }
    default:
      return PixelMeaning::None;
  }
}

// The scan's facts and the colour profile, into the finished temporary
// file. A file the library cannot tag keeps its picture; the trace says why.
void TagWrittenFile(const std::string& path, PixelMeaning meaning, const StepContext& context) {
  const std::string& key = context.job.outputExtension;
  if (!OutputTakesMetadata(key)) return;
  const bool keep = context.settings.output.keepMetadata != 0;
  pcd::HeaderResult header;
  if (keep && !context.file.disc) header = pcd::ReadHeader(context.file.inputPath);
  const pcd::Information* information = header.ok() ? &header.header.information : nullptr;
  if (keep && context.file.disc && context.file.discInformation)
    information = &*context.file.discInformation;
  std::string problem;
  if (!TagOutput(path, key, meaning, information, keep, problem))
    ReportLibraryMessage(key == "exr" ? "OpenEXR" : "exiv2",
                         "the metadata could not be written: " + problem);
}

bool WriteTo(ImageHandle& image, const StepContext& context, const std::string& path) {
  const ConversionJob& job = context.job;
  const std::string& key = job.outputExtension;
  GiveResolution(image.get());
  if (IsDevilFormat(key)) {
    return WriteWithDevil(image, job.formatIdentifier, key == "dds", path);
  }
  if (key == "jxr") return WriteJpegXr(image.get(), path);
  if (key == "bmp") {
    if (EffectiveTargetDepth(job, context.file) == 8 && context.settings.output.bmpColorTable == 1)
      return WriteExactColourTableBmp(image.get(), job.formatIdentifier, job.saveFlags, path);
    return WriteBmp(image.get(), job.saveFlags, path);
  }
  if (key == "ico") return WriteIcon(image.get(), path);
  if (key == "pbm") return WritePortableBitmap(image.get(), path);
  if (key == "pfm") return WritePortableFloatmap(image.get(), path);
  if (key == "ppm") return WritePortablePixmap(image.get(), path);
  if (key == "pgm") return WritePortableGreymap(image.get(), path);
  if (key == "tiff") return WriteTiff(image.get(), job.saveFlags, path);
  if (key == "png" && HasAlphaChannel(image.get()))
    return WritePngWithAlpha(image.get(), job.saveFlags, path);
  if (key == "webp" && HasAlphaChannel(image.get()))
    return WriteWebpWithAlpha(image.get(), job.saveFlags, path);
  return SaveWithFreeImage(static_cast<FREE_IMAGE_FORMAT>(job.formatIdentifier), image.get(), path,
                           job.saveFlags);
}

}  // namespace

// FreeImage_Save neither looks at the stream's error flag nor at fclose():
// on a full disk (or past a file-size limit) its writers report success for
// a cut-off file, which would then replace the user's existing output. So
// the stream is ours, and a failed write or close fails the save.
bool SaveWithFreeImage(FREE_IMAGE_FORMAT format, FIBITMAP* image, const std::string& path,
                       int flags) {
  FILE* file = std::fopen(path.c_str(), "w+be");
  if (!file) return false;
  FreeImageIO io{ReadFromFile, WriteToFile, SeekInFile, TellInFile};
  bool ok = FreeImage_SaveToHandle(format, image, &io, file, flags) == TRUE;
  ok = std::fflush(file) == 0 && !std::ferror(file) && ok;
  return std::fclose(file) == 0 && ok;
}

bool MoveIntoPlace(const std::string& from, const std::string& to, bool keepExisting,
                   std::string& reason, std::string_view keptBecause) {
  int result = 0;
  if (!keepExisting) {
    result = ::rename(from.c_str(), to.c_str());
  } else {
    result = ::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE);
    // File systems without RENAME_NOREPLACE: link() never replaces either.
    if (result != 0 && (errno == EINVAL || errno == ENOSYS)) {
      result = ::link(from.c_str(), to.c_str());
      if (result == 0) ::unlink(from.c_str());
    }
  }
  if (result == 0) return true;
  const int error = errno;
  if (keepExisting && error == EEXIST)
    reason = "the existing " + to + " is kept: " + std::string(keptBecause);
  else
    reason = "cannot be put in place as " + to + ": " + std::strerror(error);
  errno = error;
  return false;
}

bool WriteOutput(ImageHandle& image, const StepContext& context) {
  FileConversion& file = context.file;
  const std::string& outputPath = WriteTarget(file);
  if (!image) {
    file.failureReason = "the picture could not be processed (out of memory?)";
    return false;
  }
  if (outputPath.empty() || outputPath.back() == '/') {
    file.failureReason = "no output file name";
    return false;
  }
  const LibraryMessages messages(file.libraryMessages);

  std::optional<TemporaryOutput> temporary =
      TemporaryOutput::Claim(file.temporaryOutputPath, outputPath, context.job.outputExtension);
  if (!temporary) {
    file.failureReason =
        "cannot create a file in " + FolderPart(file.outputPath) + ": " + std::strerror(errno);
    return false;
  }
  errno = 0;
  const PixelMeaning meaning = MeaningOf(image.get(), context.job);
  if (!WriteTo(image, context, temporary->path())) {
    const int error = errno;
    file.failureReason = "the " + context.job.outputExtension + " writer failed";
    if (error != 0) file.failureReason += std::string(": ") + std::strerror(error);
    return false;
  }
  TagWrittenFile(temporary->path(), meaning, context);
  // A failed rename (the output name taken by a directory, say) is a failed
  // file: reporting success would point the user at a file that is not
  // there. The held file of several workers is replaced as planned; only
  // the final move keeps an existing output from a fallback picture.
  const bool keepExisting = file.keepExistingOutput && file.placement == OutputPlacement::Direct;
  return temporary->moveTo(outputPath, keepExisting, file.failureReason, file.keptBecause);
}

}  // namespace lumafold
