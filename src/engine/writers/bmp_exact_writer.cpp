// BMP files encoded in memory first and finished by hand. FreeImage always
// writes all 256 palette entries of an 8-bit image, so the exact colour
// table writer rebuilds the file with only the entries up to the highest
// index any pixel uses. And for run-length pixels FreeImage leaves the
// uncompressed sizes in the headers (image size 0, a file size past the
// file's end), which careful readers refuse; both are set to what was
// written.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <new>

#include "engine/writers/write_output.h"

namespace lumafold {
namespace {

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::size_t kInfoHeaderSize = 40;
constexpr std::size_t kHeadersSize = kFileHeaderSize + kInfoHeaderSize;

// BMP header fields are little-endian regardless of the host.
std::uint32_t ReadLe32(const BYTE* at) {
  return static_cast<std::uint32_t>(at[0]) | static_cast<std::uint32_t>(at[1]) << 8 |
         static_cast<std::uint32_t>(at[2]) << 16 | static_cast<std::uint32_t>(at[3]) << 24;
}

void WriteLe32(BYTE* at, std::uint32_t value) {
  at[0] = static_cast<BYTE>(value);
  at[1] = static_cast<BYTE>(value >> 8);
  at[2] = static_cast<BYTE>(value >> 16);
  at[3] = static_cast<BYTE>(value >> 24);
}

unsigned HighestPaletteIndex(FIBITMAP* image) {
  const unsigned width = FreeImage_GetWidth(image);
  const unsigned height = FreeImage_GetHeight(image);
  unsigned highest = 0;
  for (unsigned y = 0; y < height && highest < 255; ++y) {
    const BYTE* row = FreeImage_GetScanLine(image, static_cast<int>(y));
    highest = std::max<unsigned>(highest, *std::max_element(row, row + width));
  }
  return highest;
}

struct MemoryStream {
  FIMEMORY* stream = FreeImage_OpenMemory();
  ~MemoryStream() {
    if (stream) FreeImage_CloseMemory(stream);
  }
};

}  // namespace

bool WriteAll(int fd, const unsigned char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t written = ::write(fd, data, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

bool WriteWholeFile(const std::string& path, const unsigned char* data, std::size_t size) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  bool ok = WriteAll(fd, data, size);
  // A full disk may only show at close on network file systems.
  if (::close(fd) != 0) ok = false;
  return ok;
}

bool WriteBmp(FIBITMAP* image, std::int32_t saveFlags, const std::string& path) {
  MemoryStream memory;
  if (!image || !memory.stream || !FreeImage_SaveToMemory(FIF_BMP, image, memory.stream, saveFlags))
    return false;
  BYTE* encoded = nullptr;
  DWORD encodedSize = 0;
  if (!FreeImage_AcquireMemory(memory.stream, &encoded, &encodedSize)) return false;
  if (encodedSize < kHeadersSize || encoded[0] != 'B' || encoded[1] != 'M') return false;
  const std::uint32_t pixelOffset = ReadLe32(encoded + 10);
  if (pixelOffset > encodedSize) return false;
  BYTE* info = encoded + kFileHeaderSize;
  constexpr std::uint32_t kRunLengthEight = 1;
  constexpr std::uint32_t kRunLengthFour = 2;
  const std::uint32_t compression = ReadLe32(info + 16);
  if (compression == kRunLengthEight || compression == kRunLengthFour) {
    WriteLe32(encoded + 2, encodedSize);
    WriteLe32(info + 20, encodedSize - pixelOffset);
  }
  return WriteWholeFile(path, encoded, encodedSize);
}

bool WriteExactColourTableBmp(FIBITMAP* image, std::int32_t formatNumber, std::int32_t saveFlags,
                              const std::string& path) {
  if (!image || FreeImage_GetBPP(image) != 8 || FreeImage_GetImageType(image) != FIT_BITMAP ||
      FreeImage_GetWidth(image) == 0) {
    return false;
  }
  MemoryStream memory;
  if (!memory.stream || !FreeImage_SaveToMemory(static_cast<FREE_IMAGE_FORMAT>(formatNumber), image,
                                                memory.stream, saveFlags)) {
    return false;
  }
  BYTE* encoded = nullptr;
  DWORD encodedSize = 0;
  if (!FreeImage_AcquireMemory(memory.stream, &encoded, &encodedSize)) return false;

  // Take the layout from what the encoder wrote rather than assuming it:
  // a 40-byte information header and a palette reaching up to the pixels.
  if (encodedSize < kHeadersSize || encoded[0] != 'B' || encoded[1] != 'M' ||
      ReadLe32(encoded + kFileHeaderSize) != kInfoHeaderSize) {
    return false;
  }
  const std::size_t pixelOffset = ReadLe32(encoded + 10);
  const std::size_t used = HighestPaletteIndex(image) + 1;
  if (pixelOffset > encodedSize || pixelOffset < kHeadersSize + 4 * used) return false;
  const std::size_t pixelBytes = encodedSize - pixelOffset;

  const std::size_t newOffset = kHeadersSize + 4 * used;
  const std::size_t fileSize = newOffset + pixelBytes;
  std::unique_ptr<BYTE[]> file(new (std::nothrow) BYTE[fileSize]);
  if (!file) return false;

  BYTE* out = file.get();
  std::memset(out, 0, kFileHeaderSize);
  out[0] = 'B';
  out[1] = 'M';
  WriteLe32(out + 2, static_cast<std::uint32_t>(fileSize));
  WriteLe32(out + 10, static_cast<std::uint32_t>(newOffset));

  BYTE* info = out + kFileHeaderSize;
  std::memcpy(info, encoded + kFileHeaderSize, kInfoHeaderSize);
  // The compression field stays as the encoder wrote it (0, or 1 for RLE8
  // when "BMP Compression" asked for it).
  WriteLe32(info + 20, static_cast<std::uint32_t>(pixelBytes));  // image size
  WriteLe32(info + 32, static_cast<std::uint32_t>(used));        // colours used
  WriteLe32(info + 36, static_cast<std::uint32_t>(used));        // important colours
  std::memcpy(out + kHeadersSize, encoded + kHeadersSize, 4 * used);
  std::memcpy(out + newOffset, encoded + pixelOffset, pixelBytes);

  return WriteWholeFile(path, out, fileSize);
}

}  // namespace lumafold
