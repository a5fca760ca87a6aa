// Photo CD decoding: the program's own decoder, or the external converter
// with FreeImage's loader as fallback.
//
// External chain: the header is read first. Debian's ImageMagick does not fail on a
// sub-image index the file lacks: it upsamples what it has, writes the
// intermediate file and exits 1. So the index loop starts at the highest
// level the file really holds, and an attempt counts only when the
// intermediate file has that index's size; the exit status says nothing (a
// valid 16Base file exits 1 with "corrupt image" while the image is right).
//
// The intermediate file is an uncompressed BMP: ImageMagick 6 writes a
// 3072x2048 picture as BMP in about 0.36 s and as TGA in about 0.60 s, and
// the TGA was half of a 16Base file's whole conversion time.
#include "engine/steps/decode.h"

#include "photocd/disc/disc_image.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string_view>
#include <vector>

#include "engine/run/child_process.h"
#include "photocd/photocd.h"
#include "engine/steps/pcd_image.h"
#include "engine/writers/write_output.h"

namespace lumafold {

namespace {

std::string FileNameOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A name ImageMagick cannot misread: it expands "%d", reads "[...]" as a
// frame range and "xxx:" as a coder, so only letters, digits, "_", "-" and
// "." are kept. The file number in front keeps the names unique and stops a
// leading "-" from looking like an option.
std::string PlainStem(const std::string& inputPath, std::int32_t fileNumber) {
  std::string stem = FileNameOf(inputPath);
  const auto dot = stem.find_last_of('.');
  if (dot != std::string::npos) stem.erase(dot);
  std::string plain = std::to_string(fileNumber) + "-";
  for (unsigned char c : stem) {
    if (plain.size() >= 72) break;
    const bool keep = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                      c == '_' || c == '-' || c == '.';
    plain.push_back(keep ? static_cast<char>(c) : '_');
  }
  return plain;
}

std::string AbsolutePath(const std::string& path) {
  if (!path.empty() && path.front() == '/') return path;
  std::array<char, 4096> cwd{};
  if (!::getcwd(cwd.data(), cwd.size())) return path;
  return std::string(cwd.data()) + "/" + path;
}

bool RegularFileSize(const std::string& path, std::uint64_t& size) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
  size = static_cast<std::uint64_t>(info.st_size);
  return true;
}

// The fields of a BMP header the decoder relies on.
struct BmpHeader {
  std::uint32_t pixelOffset = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;  // negative for rows stored top first
  std::uint16_t bitsPerPixel = 0;
  std::uint32_t compression = 0;  // 0: uncompressed (BI_RGB)
};

std::uint32_t Le32(const unsigned char* bytes) {
  return std::uint32_t(bytes[0]) | (std::uint32_t(bytes[1]) << 8) |
         (std::uint32_t(bytes[2]) << 16) | (std::uint32_t(bytes[3]) << 24);
}

// The file and information headers (14 + 40 bytes); nullopt for a file too
// short to hold them or without the "BM" mark.
std::optional<BmpHeader> ReadBmpHeader(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  std::array<unsigned char, 54> h{};
  const ssize_t got = ::read(fd, h.data(), h.size());
  ::close(fd);
  if (got != static_cast<ssize_t>(h.size()) || h[0] != 'B' || h[1] != 'M') return std::nullopt;
  BmpHeader header;
  header.pixelOffset = Le32(&h[10]);
  header.width = static_cast<std::int32_t>(Le32(&h[18]));
  header.height = static_cast<std::int32_t>(Le32(&h[22]));
  header.bitsPerPixel = static_cast<std::uint16_t>(h[28] | (h[29] << 8));
  header.compression = Le32(&h[30]);
  return header;
}

// Width and height from the BMP header, so that a file of the wrong size is
// rejected without loading 18 MB of pixels.
std::optional<PixelSize> BmpSize(const std::string& path) {
  const auto header = ReadBmpHeader(path);
  if (!header || header->width <= 0 || header->height == 0 ||
      header->height == std::numeric_limits<std::int32_t>::min())
    return std::nullopt;
  return PixelSize{header->width, std::abs(header->height)};
}

// Whether a BMP the converter wrote was cut off: an uncompressed file
// shorter than its header's rows, as a converter that crashed or ran out of
// disk space half-way leaves it. FreeImage would load it without a word,
// the missing rows as garbage. Run-length files (not what the converter
// writes) cannot be told cheaply and pass.
bool BmpIsCutOff(const std::string& path) {
  std::uint64_t fileSize = 0;
  if (!RegularFileSize(path, fileSize) || fileSize == 0) return false;
  const auto header = ReadBmpHeader(path);
  if (!header) return true;
  if (header->compression != 0) return false;
  // Rows are padded to whole 32-bit words.
  const std::uint64_t rowBytes =
      (std::uint64_t(std::max(header->width, 0)) * header->bitsPerPixel + 31) / 32 * 4;
  const std::uint64_t rows = static_cast<std::uint64_t>(std::abs(std::int64_t{header->height}));
  return fileSize < std::uint64_t{header->pixelOffset} + rowBytes * rows;
}

// ImageMagick's TGA writer stored a picture whose pixels are all grey as
// 8-bit grey; its BMP3 writer always writes 24 bits. The grey depth comes
// back here, so the source depth (and with it the automatic output depth)
// stays what it was. A colour picture stops the scan at its first colour
// pixel.
ImageHandle RestoreGreyDepth(ImageHandle image) {
  if (!image || FreeImage_GetBPP(image.get()) != 24) return image;
  const unsigned width = FreeImage_GetWidth(image.get());
  const unsigned height = FreeImage_GetHeight(image.get());
  for (unsigned y = 0; y < height; ++y) {
    const BYTE* pixel = FreeImage_GetScanLine(image.get(), y);
    for (unsigned x = 0; x < width; ++x, pixel += 3)
      if (pixel[0] != pixel[1] || pixel[1] != pixel[2]) return image;
  }
  FIBITMAP* grey = FreeImage_ConvertToGreyscale(image.get());
  return ReplaceIfMade(std::move(image), grey);
}

bool HasSizeOfIndex(unsigned width, unsigned height, int index) {
  const auto expected = SizeOfIndex(index);
  if (!expected) return false;
  const auto w = static_cast<unsigned>(expected->width);
  const auto h = static_cast<unsigned>(expected->height);
  return (width == w && height == h) || (width == h && height == w);
}

// Turns an image by 180 degrees without a second copy of its pixels.
void TurnHalfway(FIBITMAP* image) {
  FreeImage_FlipHorizontal(image);
  FreeImage_FlipVertical(image);
}

// Applies the header's rotation attribute (quarter turns counter-clockwise
// for 1, clockwise for 3), as a viewer of the Image Pac would show it.
ImageHandle ApplyRotationAttribute(ImageHandle image, int rotation) {
  switch (rotation) {
    case 1:
    case 3: {
      FIBITMAP* turned = FreeImage_Rotate(image.get(), rotation == 1 ? 90 : -90);
      return ReplaceIfMade(std::move(image), turned);
    }
    case 2:
      TurnHalfway(image.get());
      return image;
    default:
      return image;
  }
}

// ImageMagick's first error line without its program name, the quoted name
// of the private link and the source location ("convert: corrupt image
// `IMG0004.pcd' @ error/pcd.c/DecodeImage/347." gives "corrupt image"),
// with the exit status.
std::string ConverterComplaint(const std::string& errors, int exitCode) {
  std::string line = errors.substr(0, errors.find('\n'));
  if (const auto colon = line.find(": "); colon != std::string::npos && colon < 40)
    line.erase(0, colon + 2);
  for (const char* cut : {" @ ", " `", " '"})
    if (const auto at = line.find(cut); at != std::string::npos) line.erase(at);
  std::string printable;
  for (const char c : line)
    if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7f) printable += c;
  while (!printable.empty() && (printable.back() == ' ' || printable.back() == '.'))
    printable.pop_back();
  const std::string status = "exit status " + std::to_string(exitCode);
  return "ImageMagick reported: " + (printable.empty() ? status : printable + " (" + status + ")");
}

// The files one decode leaves in the run folder, removed on every path.
class DecoderFiles {
 public:
  DecoderFiles(std::string link, std::string bitmap)
      : link_(std::move(link)), bitmap_(std::move(bitmap)) {}
  ~DecoderFiles() {
    ::unlink(bitmap_.c_str());
    ::unlink(link_.c_str());
  }
  DecoderFiles(const DecoderFiles&) = delete;
  DecoderFiles& operator=(const DecoderFiles&) = delete;

 private:
  std::string link_;
  std::string bitmap_;
};

class ExternalDecoder {
 public:
  ExternalDecoder(const DecoderOptions& options, std::string folder, std::string linkName,
                  std::string bitmapName)
      : options_(options),
        folder_(std::move(folder)),
        linkName_(std::move(linkName)),
        bitmapName_(std::move(bitmapName)),
        bitmapPath_(folder_ + "/" + bitmapName_) {}

  const std::string& bitmapPath() const { return bitmapPath_; }
  int runs() const { return runs_; }
  // False once the converter could not be started or hung: the remaining
  // indices would fare no better.
  bool usable() const { return usable_; }
  // True once an interrupt ended the converter: the file is not to be
  // written at all, not even from the fallback loader.
  bool stopped() const { return stopped_; }
  // Why the last attempt gave no picture.
  const std::string& problem() const { return problem_; }
  // What the converter complained of when it failed and still left the
  // picture that was taken; empty when it ended well.
  const std::string& complaint() const { return complaint_; }
  // The input, open, for the child to read as its descriptor 3.
  void setInput(int fd) { inputFd_ = fd; }

  // One converter run for `index`; the loaded image when the BMP it wrote
  // has the size of that index. The BMP is removed either way.
  ImageHandle attempt(int index) {
    ::unlink(bitmapPath_.c_str());
    complaint_.clear();
    // The child works inside the run folder on the plain names, so the
    // folder's own path (TMPDIR may hold any character) never reaches
    // ImageMagick's file-name parser. The explicit "pcd:" and "bmp3:"
    // coders keep ImageMagick from choosing one by the file's content.
    const std::vector<std::string> argv = {options_.converter,
                                           "-quiet",
                                           "-colorspace",
                                           "sRGB",
                                           "pcd:" + linkName_ + "[" + std::to_string(index) + "]",
                                           "bmp3:" + bitmapName_};
    ChildOptions child;
    child.workingDirectory = folder_;
    child.timeLimit = options_.timeLimit;
    child.inheritedFd = inputFd_;
    child.keepErrors = true;
    const ChildResult result = RunChild(argv, child);
    if (result.status == ChildStatus::Stopped) {
      usable_ = false;
      stopped_ = true;
      problem_ = "the converter was ended by an interrupt";
      ::unlink(bitmapPath_.c_str());
      return nullptr;
    }
    if (result.status == ChildStatus::NotStarted) {
      usable_ = false;
      problem_ = "the converter \"" + options_.converter + "\" could not be started";
      return nullptr;
    }
    ++runs_;
    if (result.status == ChildStatus::TimedOut) {
      usable_ = false;
      problem_ = "the converter did not end within " +
                 std::to_string(options_.timeLimit.count() / 1000) + " s and was killed";
      ::unlink(bitmapPath_.c_str());
      return nullptr;
    }
    // The smaller sub-images would be cut off the same way, or come out as
    // thumbnails that fit the little space left.
    if (BmpIsCutOff(bitmapPath_)) {
      usable_ = false;
      problem_ = "the converter's picture was cut off (is the temporary folder full?)";
      ::unlink(bitmapPath_.c_str());
      return nullptr;
    }
    ImageHandle image = load(index);
    ::unlink(bitmapPath_.c_str());
    if (!image) {
      problem_ = result.status == ChildStatus::Signalled
                     ? "the converter crashed without a whole picture"
                     : "the converter gave no picture of the expected size (exit status " +
                           std::to_string(result.exitCode) + ")";
    } else if (result.status == ChildStatus::Exited && result.exitCode != 0) {
      complaint_ = ConverterComplaint(result.errors, result.exitCode);
    }
    return RestoreGreyDepth(std::move(image));
  }

 private:
  ImageHandle load(int index) const {
    std::uint64_t bytes = 0;
    if (!RegularFileSize(bitmapPath_, bytes) || bytes == 0) return nullptr;
    const auto size = BmpSize(bitmapPath_);
    if (!size || !HasSizeOfIndex(static_cast<unsigned>(size->width),
                                 static_cast<unsigned>(size->height), index))
      return nullptr;
    ImageHandle image(FreeImage_Load(FIF_BMP, bitmapPath_.c_str(), 0));
    if (!image ||
        !HasSizeOfIndex(FreeImage_GetWidth(image.get()), FreeImage_GetHeight(image.get()), index))
      return nullptr;
    return image;
  }

  const DecoderOptions& options_;
  std::string folder_;
  std::string linkName_;
  std::string bitmapName_;
  std::string bitmapPath_;
  int runs_ = 0;
  bool usable_ = true;
  bool stopped_ = false;
  std::string problem_;
  std::string complaint_;
  int inputFd_ = -1;
};

unsigned ReadFromStream(void* buffer, unsigned size, unsigned count, fi_handle handle) {
  return static_cast<unsigned>(std::fread(buffer, size, count, static_cast<FILE*>(handle)));
}
int SeekInStream(fi_handle handle, long offset, int origin) {
  return std::fseek(static_cast<FILE*>(handle), offset, origin);
}
long TellInStream(fi_handle handle) { return std::ftell(static_cast<FILE*>(handle)); }

// The input opened once for every decoder of this file. O_NONBLOCK makes
// a FIFO or a device fail at once instead of waiting for a writer; only a
// regular file is taken.
class InputFile {
 public:
  explicit InputFile(const std::string& path) {
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd_ < 0) {
      problem_ = std::string("cannot be opened: ") + std::strerror(errno);
      return;
    }
    struct stat info {};
    if (::fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode)) {
      problem_ = S_ISDIR(info.st_mode)    ? "is a folder, not a file"
                 : S_ISFIFO(info.st_mode) ? "is a FIFO, not a file"
                 : S_ISSOCK(info.st_mode) ? "is a socket, not a file"
                                          : "is a device, not a file";
      ::close(fd_);
      fd_ = -1;
      return;
    }
    // Regular files ignore O_NONBLOCK; cleared all the same for FreeImage.
    ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
  }
  ~InputFile() {
    if (fd_ >= 0) ::close(fd_);
  }
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  int fd() const { return fd_; }
  const std::string& problem() const { return problem_; }

 private:
  int fd_ = -1;
  std::string problem_;
};

// What the converter's input link points at: the checked descriptor as the
// child sees it (it gets the file as its descriptor 3), so that a file
// swapped for a FIFO after the check is never opened by ImageMagick. On a
// system without /proc the link points at the path as before.
std::string LinkTargetFor(const std::string& inputPath) {
  static const bool procMounted = ::access("/proc/self/fd", X_OK) == 0;
  if (!procMounted) return AbsolutePath(inputPath);
  return "/proc/self/fd/" + std::to_string(kChildInheritedFd);
}

// FreeImage's Photo CD loader reads the Base image at fixed offsets from any
// file, so it is only handed files with the signature and a whole Base
// image. It stores the rows bottom-up unless byte 0x48 of the first sector,
// masked to its low 6 bits, is 8, and it never applies the rotation
// attribute; both are undone here so that it agrees with the converter.
ImageHandle DecodeWithFreeImage(const InputFile& input, const PhotoCdHeader& header) {
  // From the descriptor that was checked to be a regular file: the path
  // may name a FIFO by now, which FreeImage's fopen would wait on forever.
  const int copy = ::fcntl(input.fd(), F_DUPFD_CLOEXEC, 0);
  if (copy < 0) return nullptr;
  FILE* stream = ::fdopen(copy, "rb");
  if (!stream) {
    ::close(copy);
    return nullptr;
  }
  std::rewind(stream);
  FreeImageIO io{ReadFromStream, nullptr, SeekInStream, TellInStream};
  ImageHandle image(FreeImage_LoadFromHandle(FIF_PCD, &io, stream, 0));
  std::fclose(stream);
  if (!image) return image;
  if ((header.firstSectorOrientationByte & 0x3F) != 8) FreeImage_FlipVertical(image.get());
  return ApplyRotationAttribute(std::move(image), header.rotation);
}

const char* RefusalReason(PhotoCdHeaderStatus status) {
  switch (status) {
    case PhotoCdHeaderStatus::Unreadable:
      return "cannot be read as a file";
    case PhotoCdHeaderStatus::NotPhotoCd:
      return "not a Photo CD image";
    case PhotoCdHeaderStatus::TooShort:
      return "truncated: shorter than the Base image";
    case PhotoCdHeaderStatus::Ok:
      break;
  }
  return "";
}

}  // namespace

DecoderOptions DecoderOptions::FromEnvironment() {
  DecoderOptions options;
  const char* converter = std::getenv("LUMAFOLD_CONVERT");
  if (converter && *converter) options.converter = converter;
  // Tests shorten the limit to see a hanging converter killed.
  if (const char* limit = std::getenv("LUMAFOLD_CONVERT_TIMEOUT")) {
    const long seconds = std::strtol(limit, nullptr, 10);
    if (seconds > 0) options.timeLimit = std::chrono::seconds(seconds);
  }
  return options;
}

std::optional<int> RedecodeIndexFor(unsigned width, unsigned height) {
  const unsigned longSide = std::max(width, height);
  const unsigned shortSide = std::min(width, height);
  if (shortSide == 0) return std::nullopt;
  const float ratio = static_cast<float>(longSide) / static_cast<float>(shortSide);
  if (!(ratio > 1.6f)) return std::nullopt;
  switch (shortSide) {
    case 512:
      return 3;
    case 1024:
      return 4;
    case 2048:
      return 5;
    default:
      return std::nullopt;
  }
}

namespace {

// The program's own decoder: the whole file in the process, nothing written.
DecodedImage DecodeInProcess(FileConversion& file, const DecoderOptions& options) {
  const pcd::Rendering rendering = options.rendering;
  DecodedImage decoded;
  pcd::Request request;
  request.rendering = rendering;
  request.highlights = options.highlights;
  request.spareCore = options.spareCore;
  pcd::Result result;
  try {
    if (file.disc) {
      // A picture inside a disc image: its sectors into memory (an Image
      // Pac is at most about 6 MB), decoded from there.
      if (!file.disc->problem.empty()) {
        decoded.failure = file.disc->problem;
        return decoded;
      }
      std::vector<std::uint8_t> bytes;
      std::string error;
      const disc::DiscFile entry{file.disc->entryPath, file.disc->firstSector, file.disc->size};
      if (!disc::ReadDiscFile(file.disc->imagePath, entry, bytes, error)) {
        decoded.failure = "cannot be read from the disc image: " + error;
        return decoded;
      }
      // The output's tags cannot read the header from a path later.
      const pcd::HeaderResult header = pcd::ParseHeader(bytes, bytes.size());
      if (header.ok()) file.discInformation = header.header.information;
      result = DecodeBytesToBitmap(bytes, request, decoded.image);
    } else {
      result = DecodeFileToBitmap(file.inputPath, request, decoded.image);
    }
  } catch (const std::bad_alloc&) {
    decoded.failure = "not enough memory to decode the picture";
    return decoded;
  }
  if (!result.ok) {
    decoded.failure = result.error.empty() ? "cannot be decoded" : result.error;
    return decoded;
  }
  // Levels count from Base/16; the converter's sub-image index from 1.
  decoded.index = static_cast<int>(result.picture.level) + 1;
  decoded.degraded = result.picture.degraded();
  decoded.note = std::move(result.picture.note);
  decoded.damage = std::move(result.picture.damage);
  decoded.rendering = result.picture.rendering;
  decoded.highlights = result.picture.highlights;
  // Like the external chain's, so that the automatic output depth of a grey
  // picture does not depend on the decoder.
  if (rendering == pcd::Rendering::Display8)
    decoded.image = RestoreGreyDepth(std::move(decoded.image));
  decoded.source = DecodeSource::PhotoCdDecoder;
  return decoded;
}

DecodedImage DecodeExternally(FileConversion& file, const DecoderOptions& options) {
  DecodedImage decoded;
  const InputFile input(file.inputPath);
  if (input.fd() < 0) {
    decoded.refusal = input.problem();
    return decoded;
  }
  const PhotoCdHeaderResult header = ReadPhotoCdHeader(input.fd());
  if (!header.ok()) {
    decoded.refusal = RefusalReason(header.status);
    return decoded;
  }

  std::string fallbackReason = "the private run folder could not be made in the temporary folder";
  if (!file.runFolder.empty()) {
    const std::string stem = PlainStem(file.inputPath, file.fileNumber);
    const std::string linkName = stem + ".pcd";
    const std::string linkPath = file.runFolder + "/" + linkName;
    ExternalDecoder external(options, file.runFolder, linkName, stem + ".bmp");
    file.intermediatePath = external.bitmapPath();
    DecoderFiles cleanup(linkPath, external.bitmapPath());
    ::unlink(linkPath.c_str());
    external.setInput(input.fd());

    if (::symlink(LinkTargetFor(file.inputPath).c_str(), linkPath.c_str()) != 0) {
      fallbackReason =
          std::string("the converter's input link could not be made: ") + std::strerror(errno);
    } else {
      for (int index = HighestIndex(header.header); index >= 0 && external.usable(); --index) {
        decoded.image = external.attempt(index);
        if (decoded.image) {
          decoded.index = index;
          break;
        }
      }
      // ImageMagick turns attribute 1 and 3 itself but ignores 2.
      if (decoded.image && header.header.rotation == 2) TurnHalfway(decoded.image.get());

      if (decoded.image) {
        const auto again = RedecodeIndexFor(FreeImage_GetWidth(decoded.image.get()),
                                            FreeImage_GetHeight(decoded.image.get()));
        if (again) {
          decoded.image.reset();
          decoded.image = external.usable() ? external.attempt(*again) : nullptr;
          decoded.index = decoded.image ? *again : -1;
          if (decoded.image && header.header.rotation == 2) TurnHalfway(decoded.image.get());
        }
      }
    }
    decoded.converterRuns = external.runs();
    if (decoded.image) decoded.converterComplaint = external.complaint();
    if (!external.problem().empty()) fallbackReason = external.problem();
    if (external.stopped()) {
      decoded.image.reset();
      decoded.stopped = true;
      decoded.refusal = external.problem();
      return decoded;
    }
  }

  if (decoded.image) {
    decoded.source = DecodeSource::ExternalConverter;
  } else {
    decoded.image = DecodeWithFreeImage(input, header.header);
    if (decoded.image) decoded.source = DecodeSource::FreeImageLoader;
    decoded.fallbackReason = fallbackReason;
  }

  return decoded;
}

}  // namespace

DecodedImage DecodePhotoCd(FileConversion& file, const DecoderOptions& options) {
  file.intermediatePath.clear();
  file.sourceBitDepth = 0;
  // The external chain needs a file of its own on disk; a picture inside a
  // disc image is never copied out, so the built-in decoder reads it.
  DecodedImage decoded = options.external && !file.disc ? DecodeExternally(file, options)
                                                        : DecodeInProcess(file, options);
  if (decoded.image && (FreeImage_GetWidth(decoded.image.get()) == 0 ||
                        FreeImage_GetHeight(decoded.image.get()) == 0)) {
    decoded.image.reset();
    decoded.source = DecodeSource::None;
  }
  if (decoded.image)
    file.sourceBitDepth = static_cast<std::int32_t>(FreeImage_GetBPP(decoded.image.get()));
  return decoded;
}

// Which steps keep the decoder's 16-bit or linear-light pixels:
// - flips (in place, any pixel type), resizing (FreeImage rescales FIT_RGB16
//   and FIT_RGBF) and simple rotation by a quarter turn (no background to
//   fill, FreeImage turns those types losslessly);
// - not rotation by other angles or about the centre, colour correction,
//   greyscale and threshold: FreeImage does them on 8-bit channels only;
// - not the frame and the watermark: they are composited as 8-bit layers.
// With any of the latter switched on the picture is decoded in 8 bits at
// once, which is the same rendering rounded rather than a 16-bit picture
// cut down by FreeImage (which drops the low byte, and cannot bring linear
// light to 8 bits at all).
pcd::Rendering RenderingForOutput(const StepContext& context) {
  const ConversionSettings& settings = context.settings;
  const TransformSettings& transform = settings.transform;
  const int angle = transform.imageRotation;
  const bool rotates = transform.doImageRotation != 0 && angle >= 1 && angle <= 359;
  const bool quarterTurn =
      transform.imageRotationType == 0 && (angle == 90 || angle == 180 || angle == 270);
  const bool eightBitStep =
      (rotates && !quarterTurn) || settings.adjustment.doImageColorCorrection != 0 ||
      settings.adjustment.doImageGreyscale != 0 || settings.adjustment.doImageThreshold != 0 ||
      settings.frame.doFrame != 0 || settings.watermark.doWatermark != 0;
  if (eightBitStep) return pcd::Rendering::Display8;
  // The depth the 8-bit picture would be written at: an automatic depth
  // goes deep only for formats that have nothing else (exr, hdr, pfm).
  const ConversionJob& job = context.job;
  const std::int32_t depth =
      job.automaticDepth ? AutomaticDepth(job.outputBitDepths, 24) : job.targetBitDepth;
  if (depth == 48) return pcd::Rendering::Display16;
  if (depth == 96) return pcd::Rendering::LinearFloat;
  return pcd::Rendering::Display8;
}

}  // namespace lumafold
