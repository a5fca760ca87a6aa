// PSD, DDS and PCX through DevIL: the FreeImage bitmap is exported as raw
// bottom-up BGR or BGRA rows without padding, handed to one DevIL image and
// saved with the DevIL type number.
#include <IL/il.h>
#include <IL/ilu.h>

#include <cstddef>
#include <cstdio>
#include <limits>
#include <memory>
#include <new>

#include "engine/writers/devil_guard.h"
#include "engine/writers/write_output.h"

namespace lumafold {
namespace {

// DevIL reports failures on an error stack that outlives the call; drain it
// so one file's failure does not linger into the next file's checks.
void ClearDevilErrors() {
  while (ilGetError() != IL_NO_ERROR) {
  }
}

// DevIL's own file writer ignores the result of fwrite() and fclose(): on a
// full disk ilSave() reports success for a cut-off file, which would then
// replace the user's existing output. These procedures write through stdio
// too but remember a failure. DevIL is used under its lock only, so one
// flag serves every save.
bool& DevilWriteFailed() {
  static bool failed = false;
  return failed;
}
FILE* AsFile(ILHANDLE handle) { return static_cast<FILE*>(handle); }
ILHANDLE ILAPIENTRY OpenForWriting(ILconst_string path) {
  FILE* file = std::fopen(path, "wbe");
  if (!file) DevilWriteFailed() = true;
  return file;
}
void ILAPIENTRY CloseWritten(ILHANDLE handle) {
  if (std::fclose(AsFile(handle)) != 0) DevilWriteFailed() = true;
}
ILint ILAPIENTRY PutByte(ILubyte byte, ILHANDLE handle) {
  const int put = std::fputc(byte, AsFile(handle));
  if (put == EOF) DevilWriteFailed() = true;
  return put;
}
ILint ILAPIENTRY SeekForWriting(ILHANDLE handle, ILint offset, ILint origin) {
  return std::fseek(AsFile(handle), offset, origin);
}
ILint ILAPIENTRY TellWritten(ILHANDLE handle) {
  return static_cast<ILint>(std::ftell(AsFile(handle)));
}
ILint ILAPIENTRY WriteBytes(const void* data, ILuint size, ILuint count, ILHANDLE handle) {
  const std::size_t written = std::fwrite(data, size, count, AsFile(handle));
  if (written != count) DevilWriteFailed() = true;
  return static_cast<ILint>(written);
}

struct DevilImage {
  ILuint name = 0;
  DevilImage() { ilGenImages(1, &name); }
  ~DevilImage() { ilDeleteImages(1, &name); }
  DevilImage(const DevilImage&) = delete;
  DevilImage& operator=(const DevilImage&) = delete;
};

}  // namespace

bool WriteWithDevil(ImageHandle& image, std::int32_t devilType, bool buildMipmaps,
                    const std::string& path) {
  if (!image) return false;
  // The raw export copies rows at the image's own depth; anything but 24 or
  // 32 bits (a hand-edited "PCX BPP" 8, say) would leave most of a 3-byte
  // per pixel buffer unwritten, and that memory would end up in the file.
  const unsigned depth = FreeImage_GetBPP(image.get());
  if (FreeImage_GetImageType(image.get()) != FIT_BITMAP || (depth != 24 && depth != 32)) {
    image = ImageHandle(FreeImage_ConvertTo24Bits(image.get()));
    if (!image) return false;
  }
  const bool alpha = FreeImage_GetBPP(image.get()) == 32;
  const unsigned channels = alpha ? 4 : 3;
  const unsigned width = FreeImage_GetWidth(image.get());
  const unsigned height = FreeImage_GetHeight(image.get());
  if (width == 0 || height == 0) return false;
  const std::size_t pitch = static_cast<std::size_t>(width) * channels;
  if (pitch > std::numeric_limits<int>::max() ||
      height > std::numeric_limits<std::size_t>::max() / pitch) {
    return false;
  }
  std::unique_ptr<BYTE[]> pixels(new (std::nothrow) BYTE[pitch * height]);
  if (!pixels) return false;
  FreeImage_ConvertToRawBits(pixels.get(), image.get(), static_cast<int>(pitch),
                             FreeImage_GetBPP(image.get()), FI_RGBA_RED_MASK, FI_RGBA_GREEN_MASK,
                             FI_RGBA_BLUE_MASK, FALSE);
  // The pixels now live in the buffer; DevIL makes its own copy next, so the
  // bitmap goes first to keep two copies at most.
  image.reset();

  DevilGuard guard;
  ClearDevilErrors();
  ilEnable(IL_FILE_OVERWRITE);
  DevilImage devilImage;
  ilBindImage(devilImage.name);
  const ILint devilDepth = ilGetInteger(IL_IMAGE_DEPTH);
  bool ok =
      ilTexImage(width, height, devilDepth > 0 ? devilDepth : 1, static_cast<ILubyte>(channels),
                 alpha ? IL_BGRA : IL_BGR, IL_UNSIGNED_BYTE, pixels.get()) == IL_TRUE;
  pixels.reset();
  if (ok && buildMipmaps) ok = iluBuildMipmaps() == IL_TRUE;
  if (ok) {
    DevilWriteFailed() = false;
    ilSetWrite(OpenForWriting, CloseWritten, PutByte, SeekForWriting, TellWritten, WriteBytes);
    ok = ilSave(static_cast<ILenum>(devilType), path.c_str()) == IL_TRUE && !DevilWriteFailed();
    ilResetWrite();
  }
  ClearDevilErrors();
  return ok;
}

}  // namespace lumafold
