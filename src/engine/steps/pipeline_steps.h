// One input file's working state and the processing steps of ConvertFile.
// Every step takes the current image and returns the image that replaces it
// (or the same one); a step that is switched off or cannot do its work
// passes the image on unchanged.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/run/conversion_job.h"
#include "engine/image.h"
#include "photocd/photocd.h"
#include "settings/conversion_settings.h"

namespace lumafold {

// Where the write step puts a file's output (held_output.h).
enum class OutputPlacement {
  Direct,        // under its name at once: one file at a time
  InOrder,       // named by its worker, moved into place in input-set order
  NamedInOrder,  // named and moved into place in input-set order ("%n%", "%rnd%")
};

// Per-file values, so that several files can be worked on at once while the
// run's shared fields stay read-only.
struct FileConversion {
  std::string inputPath;          // the input as listed in the input set
  std::string relativeSubfolder;  // from the input set entry
  std::string discName;           // "%disc%", from the input set entry
  // A picture inside a disc image: decoded from memory, never from a path.
  std::shared_ptr<const DiscPicture> disc;
  // That picture's scan facts, read from its bytes while it was decoded.
  std::optional<pcd::Information> discInformation;
  std::string intermediatePath;   // BMP written by the external decoder
  std::string outputPath;
  // outputPath as it is written: below the job's writeFolder when the run
  // holds the output folder open, else outputPath itself.
  std::string writePath;
  std::string temporaryOutputPath;
  std::int32_t sourceBitDepth = 0;  // bits per pixel as decoded
  std::int32_t targetBitDepth = 0;  // depth written, decided by ConvertDepth
  std::int32_t workingWidth = 0;    // after rotation and resize
  std::int32_t workingHeight = 0;
  std::int32_t sequenceNumber = 1;  // "%n%" for this file
  std::int32_t randomNumber = 1;    // "%rnd%" for this file
  // The run's private folder (no trailing "/"), empty when it could not be
  // made; and this file's place in the run, which keeps the names of its
  // decoder files apart from every other file's.
  std::string runFolder;
  std::int32_t fileNumber = 0;
  // A core beside this file's own is free to help it (SpareCoreBeside).
  bool spareCore = false;
  // Why the file failed, for the trace's "Reason: " line and the front
  // ends; set on every failure path.
  std::string failureReason;
  // Warnings and errors the image libraries gave while this file was
  // converted, as "LIBRARY: message", for the trace.
  std::vector<std::string> libraryMessages;
  OutputPlacement placement = OutputPlacement::Direct;
  // Set when FreeImage's Base loader stood in for the converter, or when the
  // built-in decoder rebuilt rows or fell back to a lower level: the note
  // for the trace and standard error, and the rule that such a picture
  // never replaces an output that is already there (`keptBecause` says why
  // in the failure reason).
  std::string decodeNote;
  // The external converter failed but left a picture, which was taken:
  // what it said, for a warning.
  std::string converterComplaint;
  bool keepExistingOutput = false;
  std::string keptBecause;
  // The built-in decoder gave less than the file declares: the run then
  // ends with the status of a batch with failures. `decodeDamage` holds
  // the rows rebuilt from a lower level, per level.
  bool damaged = false;
  std::vector<pcd::LevelDamage> decodeDamage;
  // The built-in decoder's rendering (`builtInDecode`), which the colour
  // profile of the output follows; the external chain gives 8-bit sRGB.
  bool builtInDecode = false;
  pcd::Rendering decodedRendering = pcd::Rendering::Display8;
  pcd::Highlights decodedHighlights = pcd::Highlights::RollOff;
  // The written output waiting to be moved into place; empty otherwise.
  std::string heldPath;
  double seconds = 0;  // how long ConvertFile took
  // What was decoded: the sub-image index (1 Base/16 to 5 16Base, -1 for
  // nothing) and the decoded picture's size before any step changed it.
  int decodedIndex = -1;
  std::int32_t decodedWidth = 0;
  std::int32_t decodedHeight = 0;
};

// Where the file's output is written: writePath, or outputPath for a file
// whose paths were set by hand.
inline const std::string& WriteTarget(const FileConversion& file) {
  return file.writePath.empty() ? file.outputPath : file.writePath;
}

struct StepContext {
  const ConversionSettings& settings;
  const ConversionJob& job;
  FileConversion& file;
};

ImageHandle RotateImage(ImageHandle image, const StepContext& context);
ImageHandle ResizeImage(ImageHandle image, const StepContext& context);
ImageHandle FlipImage(ImageHandle image, const StepContext& context);
ImageHandle AdjustColours(ImageHandle image, const StepContext& context);
ImageHandle ApplyGreyscale(ImageHandle image, const StepContext& context);
ImageHandle ApplyThreshold(ImageHandle image, const StepContext& context);
ImageHandle DrawFrame(ImageHandle image, const StepContext& context);
ImageHandle DrawWatermark(ImageHandle image, const StepContext& context);

}  // namespace lumafold
