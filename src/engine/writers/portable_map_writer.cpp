// The portable maps are written here rather than by FreeImage. FreeImage
// writes a 1-bit image's indices as they are, while in PBM a set bit is
// black: the engine's dithered pictures (index 0 black) came out as
// negatives. It writes PFM rows top to bottom, while the format stores them
// bottom to top, so readers showed the picture upside down. And its PPM and
// PGM writers hand the stream one byte at a time, which made writing a
// 16Base picture take three times as long as decoding it.
#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cstring>
#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define LUMAFOLD_SHUFFLE_AT_RUN_TIME 1
#endif
#include <string>
#include <vector>

#include "engine/writers/write_output.h"

namespace lumafold {
namespace {

unsigned Brightness(const RGBQUAD& colour) {
  return 77u * colour.rgbRed + 150u * colour.rgbGreen + 29u * colour.rgbBlue;
}

void PutText(std::vector<unsigned char>& out, const std::string& text) {
  out.insert(out.end(), text.begin(), text.end());
}

// Collects rows and hands them to the file in large pieces, so that a
// picture never needs a second whole copy in memory. Any failed write or
// close fails the file.
class ChunkedFile {
 public:
  explicit ChunkedFile(const std::string& path)
      : fd_(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666)), ok_(fd_ >= 0) {
  }
  ChunkedFile(const ChunkedFile&) = delete;
  ChunkedFile& operator=(const ChunkedFile&) = delete;
  ~ChunkedFile() {
    if (fd_ >= 0) ::close(fd_);
  }

  void Put(const unsigned char* data, std::size_t size) {
    if (size > 0) std::memcpy(Extend(size), data, size);
  }
  void Put(const std::string& text) {
    Put(reinterpret_cast<const unsigned char*>(text.data()), text.size());
  }
  // Room for `size` more bytes at the end, to be filled before the next call.
  // The buffer is filled once, when it grows, not for every chunk.
  unsigned char* Extend(std::size_t size) {
    if (used_ + size > kChunk && used_ > 0) Flush();
    if (used_ + size > buffer_.size()) buffer_.resize(used_ + size);
    unsigned char* room = buffer_.data() + used_;
    used_ += size;
    return room;
  }

  bool Finish() {
    Flush();
    const int fd = fd_;
    fd_ = -1;
    // A full disk may only show at close on network file systems.
    if (fd >= 0 && ::close(fd) != 0) ok_ = false;
    return ok_;
  }

 private:
  static constexpr std::size_t kChunk = 1 << 20;

  void Flush() {
    if (ok_) ok_ = WriteAll(fd_, buffer_.data(), used_);
    used_ = 0;
  }

  int fd_;
  bool ok_;
  std::vector<unsigned char> buffer_;
  std::size_t used_ = 0;
};

// FreeImage's blue, green, red into the file's red, green, blue.
void SwapRedBlueScalar(const BYTE* from, unsigned char* to, unsigned width) {
  for (unsigned x = 0; x < width; ++x, from += 3) {
    *to++ = from[FI_RGBA_RED];
    *to++ = from[FI_RGBA_GREEN];
    *to++ = from[FI_RGBA_BLUE];
  }
}

#ifdef LUMAFOLD_SHUFFLE_AT_RUN_TIME
// Five pixels per byte shuffle; SSSE3 is beyond the x86-64 baseline, so it
// is used only where the processor has it.
__attribute__((target("ssse3"))) void SwapRedBlueShuffle(const BYTE* from, unsigned char* to,
                                                         unsigned width) {
  static_assert(FI_RGBA_RED == 2 && FI_RGBA_BLUE == 0, "the shuffle assumes B, G, R in memory");
  const __m128i order = _mm_setr_epi8(2, 1, 0, 5, 4, 3, 8, 7, 6, 11, 10, 9, 14, 13, 12, 15);
  unsigned x = 0;
  // Each step reads 16 bytes and writes 16, of which the last is the next
  // step's first: both stay inside the row while six pixels remain.
  for (; x + 6 <= width; x += 5, from += 15, to += 15) {
    const __m128i pixels = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(to), _mm_shuffle_epi8(pixels, order));
  }
  SwapRedBlueScalar(from, to, width - x);
}
#endif

void SwapRedBlue(const BYTE* from, unsigned char* to, unsigned width) {
#ifdef LUMAFOLD_SHUFFLE_AT_RUN_TIME
  static const bool shuffle = __builtin_cpu_supports("ssse3");
  if (shuffle) return SwapRedBlueShuffle(from, to, width);
#endif
  SwapRedBlueScalar(from, to, width);
}

}  // namespace

bool WritePortablePixmap(FIBITMAP* image, const std::string& path) {
  if (!image) return false;
  ImageHandle converted;
  const FREE_IMAGE_TYPE type = FreeImage_GetImageType(image);
  const bool wide = type == FIT_RGB16 || type == FIT_RGBA16;
  if (!wide && !(type == FIT_BITMAP && FreeImage_GetBPP(image) == 24)) {
    converted.reset(FreeImage_ConvertTo24Bits(image));
    image = converted.get();
    if (!image) return false;
  }
  const unsigned width = FreeImage_GetWidth(image);
  const unsigned height = FreeImage_GetHeight(image);
  if (width == 0 || height == 0) return false;
  ChunkedFile file(path);
  file.Put("P6\n" + std::to_string(width) + " " + std::to_string(height) + "\n" +
           (wide ? "65535" : "255") + "\n");
  const unsigned samplesPerPixel = type == FIT_RGBA16 ? 4 : 3;
  const std::size_t rowBytes = static_cast<std::size_t>(width) * 3 * (wide ? 2 : 1);
  for (unsigned y = height; y-- > 0;) {  // top row first
    const BYTE* row = FreeImage_GetScanLine(image, static_cast<int>(y));
    unsigned char* to = file.Extend(rowBytes);
    if (wide) {
      // Samples in red, green, blue order in memory; the file wants each
      // one big-endian.
      const auto* samples = reinterpret_cast<const WORD*>(row);
      for (unsigned x = 0; x < width; ++x, samples += samplesPerPixel) {
        for (unsigned c = 0; c < 3; ++c) {
          *to++ = static_cast<unsigned char>(samples[c] >> 8);
          *to++ = static_cast<unsigned char>(samples[c] & 0xFF);
        }
      }
    } else {
      SwapRedBlue(row, to, width);
    }
  }
  return file.Finish();
}

bool WritePortableGreymap(FIBITMAP* image, const std::string& path) {
  if (!image) return false;
  ImageHandle converted;
  if (FreeImage_GetImageType(image) != FIT_BITMAP || FreeImage_GetBPP(image) != 8) {
    converted.reset(FreeImage_ConvertToGreyscale(image));
    image = converted.get();
    if (!image) return false;
  }
  const unsigned width = FreeImage_GetWidth(image);
  const unsigned height = FreeImage_GetHeight(image);
  if (width == 0 || height == 0) return false;
  // The depth step gives a grey palette, but any other palette is looked up
  // rather than its indices written as grey levels.
  const RGBQUAD* palette = FreeImage_GetPalette(image);
  std::array<unsigned char, 256> level{};
  for (unsigned i = 0; i < 256; ++i) {
    level[i] = palette ? static_cast<unsigned char>((Brightness(palette[i]) + 128) >> 8)
                       : static_cast<unsigned char>(i);
  }
  ChunkedFile file(path);
  file.Put("P5\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n");
  std::vector<unsigned char> out(width);
  for (unsigned y = height; y-- > 0;) {
    const BYTE* row = FreeImage_GetScanLine(image, static_cast<int>(y));
    for (unsigned x = 0; x < width; ++x) out[x] = level[row[x]];
    file.Put(out.data(), out.size());
  }
  return file.Finish();
}

bool WritePortableBitmap(FIBITMAP* image, const std::string& path) {
  if (!image) return false;
  ImageHandle dithered;
  if (FreeImage_GetImageType(image) != FIT_BITMAP || FreeImage_GetBPP(image) != 1) {
    ImageHandle grey(FreeImage_ConvertTo8Bits(image));
    if (grey) dithered.reset(FreeImage_Dither(grey.get(), FID_FS));
    image = dithered.get();
    if (!image) return false;
  }
  const unsigned width = FreeImage_GetWidth(image);
  const unsigned height = FreeImage_GetHeight(image);
  if (width == 0 || height == 0) return false;
  // The set bits stand for whichever palette entry is the darker one.
  const RGBQUAD* palette = FreeImage_GetPalette(image);
  const bool oneIsBlack = !palette || Brightness(palette[1]) <= Brightness(palette[0]);
  const std::size_t rowBytes = (width + 7) / 8;
  const unsigned spareBits = static_cast<unsigned>(rowBytes * 8 - width);
  const auto lastMask = static_cast<unsigned char>(0xFF << spareBits);

  std::vector<unsigned char> out;
  PutText(out, "P4\n" + std::to_string(width) + " " + std::to_string(height) + "\n");
  for (unsigned y = height; y-- > 0;) {  // top row first
    const BYTE* row = FreeImage_GetScanLine(image, static_cast<int>(y));
    for (std::size_t i = 0; i < rowBytes; ++i) {
      unsigned char bits = oneIsBlack ? row[i] : static_cast<unsigned char>(~row[i]);
      if (i + 1 == rowBytes) bits &= lastMask;
      out.push_back(bits);
    }
  }
  return WriteWholeFile(path, out.data(), out.size());
}

bool WritePortableFloatmap(FIBITMAP* image, const std::string& path) {
  if (!image) return false;
  ImageHandle converted;
  if (FreeImage_GetImageType(image) != FIT_RGBF) {
    converted.reset(FreeImage_ConvertToRGBF(image));
    image = converted.get();
    if (!image) return false;
  }
  const unsigned width = FreeImage_GetWidth(image);
  const unsigned height = FreeImage_GetHeight(image);
  if (width == 0 || height == 0) return false;
  // A negative scale says the floats are little-endian, as on this host.
  static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__);
  std::vector<unsigned char> out;
  PutText(out, "PF\n" + std::to_string(width) + " " + std::to_string(height) + "\n-1.0\n");
  const std::size_t rowBytes = static_cast<std::size_t>(width) * sizeof(FIRGBF);
  // FreeImage's scan line 0 is the bottom row, which PFM stores first.
  for (unsigned y = 0; y < height; ++y) {
    const BYTE* row = FreeImage_GetScanLine(image, static_cast<int>(y));
    out.insert(out.end(), row, row + rowBytes);
  }
  return WriteWholeFile(path, out.data(), out.size());
}

}  // namespace lumafold
