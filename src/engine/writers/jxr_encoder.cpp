#include "engine/writers/jxr_encoder.h"

#include <cstdio>
#include <cstring>

// jxrlib last, after every standard header: its annotation macros (__in,
// __out, ...) and min/max would break the standard library's own headers.
// FreeImage.h must not come before it either (see the header).
#include <JXRGlue.h>
#undef min
#undef max

namespace lumafold {
namespace {

const PKPixelFormatGUID& FormatOf(JxrPixelLayout layout) {
  switch (layout) {
    case JxrPixelLayout::BlackWhite:
      return GUID_PKPixelFormatBlackWhite;
    case JxrPixelLayout::Gray8:
      return GUID_PKPixelFormat8bppGray;
    case JxrPixelLayout::Rgb555:
      return GUID_PKPixelFormat16bppRGB555;
    case JxrPixelLayout::Rgb565:
      return GUID_PKPixelFormat16bppRGB565;
    case JxrPixelLayout::Bgr24:
      return GUID_PKPixelFormat24bppBGR;
    case JxrPixelLayout::Bgra32:
      return GUID_PKPixelFormat32bppBGRA;
    case JxrPixelLayout::Rgb48:
      return GUID_PKPixelFormat48bppRGB;
    case JxrPixelLayout::RgbFloat96:
      return GUID_PKPixelFormat96bppRGBFloat;
  }
  return GUID_PKPixelFormat24bppBGR;
}

// Releases every jxrlib object on every exit path; once initialised with
// the stream, the encoder owns and closes it.
struct JxrSession {
  PKFactory* factory = nullptr;
  PKCodecFactory* codecs = nullptr;
  PKImageEncode* encoder = nullptr;
  WMPStream* stream = nullptr;

  ~JxrSession() {
    if (encoder) encoder->Release(&encoder);
    if (stream) stream->Close(&stream);
    if (codecs) codecs->Release(&codecs);
    if (factory) factory->Release(&factory);
  }
};

// jxrlib drops the errors of its file writes and of the final close, so a
// full disk would give a cut-off file reported as written. The stream's
// close checks the stream's error flag and the flush itself and remembers a
// failure for the encode running on this thread.
bool& FileWriteFailed() {
  thread_local bool failed = false;
  return failed;
}

ERR CloseRememberingErrors(WMPStream** stream) {
  FILE* file = (*stream)->state.file.pFile;
  if (std::fflush(file) != 0 || std::ferror(file)) FileWriteFailed() = true;
  const ERR result = CloseWS_File(stream);
  if (Failed(result)) FileWriteFailed() = true;
  return result;
}

}  // namespace

bool EncodeJpegXrLossless(const std::string& path, JxrPixelLayout layout, unsigned width,
                          unsigned height, unsigned char* rows, unsigned stride, float dotsPerInchX,
                          float dotsPerInchY) {
  if (width == 0 || height == 0 || !rows) return false;
  JxrSession session;
  if (Failed(PKCreateFactory(&session.factory, PK_SDK_VERSION)) ||
      Failed(session.factory->CreateStreamFromFilename(&session.stream, path.c_str(), "wb")) ||
      Failed(PKCreateCodecFactory(&session.codecs, WMP_SDK_VERSION)) ||
      Failed(session.codecs->CreateCodec(&IID_PKImageWmpEncode,
                                         reinterpret_cast<void**>(&session.encoder)))) {
    return false;
  }
  session.stream->Close = CloseRememberingErrors;
  FileWriteFailed() = false;
  CWMIStrCodecParam parameters;
  std::memset(&parameters, 0, sizeof parameters);
  parameters.cfColorFormat = YUV_444;
  parameters.bdBitDepth = BD_LONG;
  parameters.bfBitstreamFormat = SPATIAL;
  parameters.olOverlap = OL_ONE;
  parameters.sbSubband = SB_ALL;
  // Alpha goes into a plane of its own, like the colour losslessly.
  parameters.uAlphaMode = layout == JxrPixelLayout::Bgra32 ? 2 : 0;
  parameters.uiDefaultQPIndex = 1;  // quantiser 1: lossless
  parameters.uiDefaultQPIndexAlpha = 1;

  PKImageEncode* encoder = session.encoder;
  if (Failed(encoder->Initialize(encoder, session.stream, &parameters, sizeof parameters))) {
    return false;
  }
  session.stream = nullptr;
  const bool written =
      !Failed(encoder->SetPixelFormat(encoder, FormatOf(layout))) &&
      !Failed(encoder->SetSize(encoder, static_cast<I32>(width), static_cast<I32>(height))) &&
      !Failed(encoder->SetResolution(encoder, dotsPerInchX, dotsPerInchY)) &&
      !Failed(encoder->WritePixels(encoder, height, rows, stride));
  // Releasing the encoder writes the file's tail and closes it.
  const bool closed = !Failed(session.encoder->Release(&session.encoder));
  session.encoder = nullptr;
  return written && closed && !FileWriteFailed();
}

}  // namespace lumafold
