#include "engine/run/convert_file.h"

#include "engine/steps/decode.h"
#include "engine/run/held_output.h"
#include "engine/image_libraries.h"
#include "engine/run/naming.h"
#include "engine/writers/write_output.h"

namespace lumafold {

namespace {

constexpr unsigned kIconSide = 128;

void MeasureWorkingSize(const ImageHandle& image, FileConversion& file) {
  file.workingWidth = image ? static_cast<std::int32_t>(FreeImage_GetWidth(image.get())) : 0;
  file.workingHeight = image ? static_cast<std::int32_t>(FreeImage_GetHeight(image.get())) : 0;
}

// Windows icons hold at most 128x128 here; larger pictures are squeezed to
// exactly that (the aspect ratio is not kept).
ImageHandle LimitIconSize(ImageHandle image, const StepContext& context) {
  if (!image || context.job.outputExtension != "ico") return image;
  if (FreeImage_GetWidth(image.get()) <= kIconSide && FreeImage_GetHeight(image.get()) <= kIconSide)
    return image;
  FIBITMAP* scaled = FreeImage_Rescale(image.get(), kIconSide, kIconSide, FILTER_BICUBIC);
  return ReplaceIfMade(std::move(image), scaled);
}

}  // namespace

ImageHandle ApplyPictureSteps(ImageHandle image, const StepContext& context) {
  image = FlipImage(std::move(image), context);
  image = AdjustColours(std::move(image), context);
  image = ApplyGreyscale(std::move(image), context);
  image = ApplyThreshold(std::move(image), context);
  image = DrawFrame(std::move(image), context);
  return DrawWatermark(std::move(image), context);
}

bool ConvertFile(const StepContext& context) {
  FileConversion& file = context.file;
  file.outputPath.clear();
  file.writePath.clear();
  file.temporaryOutputPath.clear();
  file.failureReason.clear();
  file.converterComplaint.clear();
  file.heldPath.clear();
  file.decodeNote.clear();
  file.keepExistingOutput = false;
  file.keptBecause.clear();
  file.damaged = false;
  file.decodeDamage.clear();
  file.builtInDecode = false;
  file.targetBitDepth = 0;
  file.libraryMessages.clear();
  const LibraryMessages messages(file.libraryMessages);

  // Steps 1-6: decode at the largest resolution the file holds, with the
  // decoder "PCD Decoder" names.
  DecoderOptions decoder = DecoderOptions::FromEnvironment();
  decoder.external = context.settings.input.pcdDecoder == 1;
  decoder.rendering = RenderingForOutput(context);
  decoder.highlights = context.settings.input.pcdHighlights == 1 ? pcd::Highlights::Keep
                                                                 : pcd::Highlights::RollOff;
  decoder.spareCore = file.spareCore;
  DecodedImage decoded = DecodePhotoCd(file, decoder);
  file.decodedIndex = decoded.index;
  file.converterComplaint = decoded.converterComplaint;
  if (decoded.image) {
    file.decodedWidth = static_cast<std::int32_t>(FreeImage_GetWidth(decoded.image.get()));
    file.decodedHeight = static_cast<std::int32_t>(FreeImage_GetHeight(decoded.image.get()));
  }
  if (!decoded.image) {
    if (!decoded.failure.empty())
      file.failureReason = decoded.failure;
    else if (decoded.stopped)
      file.failureReason = "stopped: " + decoded.refusal;
    else if (!decoded.refusal.empty())
      file.failureReason = decoded.refusal;
    else
      file.failureReason = "no decoder could read it (" + decoded.fallbackReason + ")";
    return false;
  }
  if (decoded.source == DecodeSource::FreeImageLoader) {
    // Base only, and another rendering than the converter's: said aloud,
    // and never put in place of an output that may be the better picture.
    file.decodeNote = "decoded at Base by the fallback loader: " + decoded.fallbackReason;
    file.keepExistingOutput = true;
    file.keptBecause = "the fallback loader's Base picture does not replace it";
  } else if (decoded.source == DecodeSource::PhotoCdDecoder) {
    file.builtInDecode = true;
    file.decodedRendering = decoded.rendering;
    file.decodedHighlights = decoded.highlights;
    if (decoded.degraded) {
      // Rows rebuilt or a lower level: converted, said aloud, and never in
      // place of an output that may hold the whole picture.
      file.decodeNote = decoded.note;
      file.damaged = true;
      file.decodeDamage = std::move(decoded.damage);
      file.keepExistingOutput = true;
      file.keptBecause = file.decodeDamage.empty()
                             ? "the lower-level picture does not replace it"
                             : "the repaired picture does not replace it";
    }
  }
  ImageHandle image = std::move(decoded.image);

  // Steps 7-8: rotation and resize; the size after them is the working size.
  image = RotateImage(std::move(image), context);
  MeasureWorkingSize(image, file);
  image = ResizeImage(std::move(image), context);
  MeasureWorkingSize(image, file);

  // Step 9: the icon limit.
  image = LimitIconSize(std::move(image), context);
  MeasureWorkingSize(image, file);

  // Steps 10-13: flips, colour, greyscale, threshold, frame, watermark.
  image = ApplyPictureSteps(std::move(image), context);

  // Step 14: the bit depth of the output format.
  image = ConvertDepth(std::move(image), context);

  // Step 15: the output name; one that holds the file's number waits until
  // the files before it in the input set are done.
  if (file.placement != OutputPlacement::NamedInOrder &&
      (BuildOutputPaths(context) != OutputPathStatus::Ok || OutputReplacesAnInput(context)))
    return false;

  // Step 16: write, under a held name when several workers convert.
  if (file.placement == OutputPlacement::Direct) return WriteOutput(image, context);
  return WriteHeldOutput(image, context);
}

}  // namespace lumafold
