// 32-bit PNG and WebP with their alpha channel. FreeImage's writers look at
// the pixels and leave the alpha channel out when every pixel is opaque, so
// a 32-bit choice gave the same file as 24 bits. PNG is written through
// libpng directly; for WebP the lossless stream always codes alpha and only
// its header's flag says whether it is used, which is set here.
#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

#include "engine/image_libraries.h"
#include "engine/writers/write_output.h"

namespace lumafold {
namespace {

void PngError(png_structp png, png_const_charp message) {
  ReportLibraryMessage("PNG", message);
  std::longjmp(png_jmpbuf(png), 1);
}

void PngWarning(png_structp, png_const_charp message) { ReportLibraryMessage("PNG", message); }

int ZlibLevel(std::int32_t saveFlags) {
  if (saveFlags & PNG_Z_NO_COMPRESSION) return 0;
  const int level = saveFlags & 0x0F;
  return level >= 1 && level <= 9 ? level : 6;
}

// Kept apart from anything with a destructor: libpng leaves by longjmp.
bool EncodePng(FILE* file, FIBITMAP* image, std::int32_t saveFlags, png_bytep* rows) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, PngError, PngWarning);
  if (!png) return false;
  png_infop info = png_create_info_struct(png);
  if (!info || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  const png_uint_32 width = FreeImage_GetWidth(image);
  const png_uint_32 height = FreeImage_GetHeight(image);
  png_init_io(png, file);
  png_set_compression_level(png, ZlibLevel(saveFlags));
  const int interlace = (saveFlags & PNG_INTERLACED) ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE;
  png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB_ALPHA, interlace,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_set_pHYs(png, info, FreeImage_GetDotsPerMeterX(image), FreeImage_GetDotsPerMeterY(image),
               PNG_RESOLUTION_METER);
  png_write_info(png, info);
  // FreeImage keeps blue, green, red, alpha in memory on this host.
  png_set_bgr(png);
  png_write_image(png, rows);
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return true;
}

std::uint32_t Le32(const unsigned char* at) {
  return at[0] | at[1] << 8 | at[2] << 16 | static_cast<std::uint32_t>(at[3]) << 24;
}

// Walks the RIFF chunks: the extended header's alpha flag and the lossless
// stream's alpha-is-used bit. False when there is no lossless stream.
bool MarkWebpAlpha(unsigned char* data, std::size_t size) {
  if (size < 12 || std::memcmp(data, "RIFF", 4) != 0 || std::memcmp(data + 8, "WEBP", 4) != 0)
    return false;
  bool marked = false;
  for (std::size_t at = 12; at + 8 <= size;) {
    const std::uint32_t length = Le32(data + at + 4);
    unsigned char* payload = data + at + 8;
    if (at + 8 + length > size) return false;
    if (std::memcmp(data + at, "VP8X", 4) == 0 && length >= 1) {
      payload[0] |= 0x10;
    } else if (std::memcmp(data + at, "VP8L", 4) == 0 && length >= 5 && payload[0] == 0x2F) {
      // After the signature byte: 14 bits width - 1, 14 bits height - 1,
      // then the alpha bit (bit 28 of the little-endian word).
      payload[4] |= 0x10;
      marked = true;
    }
    at += 8 + length + (length & 1);
  }
  return marked;
}

}  // namespace

bool WritePngWithAlpha(FIBITMAP* image, std::int32_t saveFlags, const std::string& path) {
  if (!image || FreeImage_GetBPP(image) != 32 || FreeImage_GetWidth(image) == 0) return false;
  const unsigned height = FreeImage_GetHeight(image);
  std::vector<png_bytep> rows(height);
  for (unsigned y = 0; y < height; ++y)
    rows[y] = FreeImage_GetScanLine(image, static_cast<int>(height - 1 - y));
  FILE* file = std::fopen(path.c_str(), "wbe");
  if (!file) return false;
  bool ok = EncodePng(file, image, saveFlags, rows.data());
  ok = std::fflush(file) == 0 && !std::ferror(file) && ok;
  return std::fclose(file) == 0 && ok;
}

bool WriteWebpWithAlpha(FIBITMAP* image, std::int32_t saveFlags, const std::string& path) {
  FIMEMORY* memory = FreeImage_OpenMemory();
  if (!memory) return false;
  BYTE* data = nullptr;
  DWORD size = 0;
  bool ok = FreeImage_SaveToMemory(FIF_WEBP, image, memory, saveFlags) &&
            FreeImage_AcquireMemory(memory, &data, &size) && MarkWebpAlpha(data, size) &&
            WriteWholeFile(path, data, size);
  FreeImage_CloseMemory(memory);
  return ok;
}

}  // namespace lumafold
