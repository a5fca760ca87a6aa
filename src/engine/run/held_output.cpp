#include "engine/run/held_output.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include "engine/run/naming.h"
#include "engine/run/run_leftovers.h"
#include "engine/writers/write_output.h"

namespace lumafold {

namespace {

std::string FolderPart(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string HeldFolder(const StepContext& context) {
  const FileConversion& file = context.file;
  if (file.placement != OutputPlacement::NamedInOrder) return FolderPart(WriteTarget(file));
  std::string folder =
      context.job.writeFolder.empty() ? context.job.outputFolder : context.job.writeFolder;
  if (!folder.empty() && folder.back() != '/') folder += '/';
  if (context.settings.advanced.keepSubfolders == 1) folder += file.relativeSubfolder;
  return folder;
}

// Takes a name of the temporary-file shape exclusively, so that nothing
// already there (a user's file, a link, another worker's file) is touched.
std::string ClaimHeldName(const StepContext& context, const std::string& folder) {
  for (int attempt = 0; attempt < 16; ++attempt) {
    std::string name =
        folder + TemporaryFileName(CurrentTime(context.job), context.job.outputExtension);
    if (ClaimTrackedFile(name)) return name;
    if (errno != EEXIST) break;
  }
  return {};
}

}  // namespace

bool WriteHeldOutput(ImageHandle& image, const StepContext& context) {
  FileConversion& file = context.file;
  file.heldPath.clear();
  if (!image) return false;
  const std::string folder = HeldFolder(context);
  if (folder.empty()) return false;
  file.heldPath = ClaimHeldName(context, folder);
  if (file.heldPath.empty()) {
    file.failureReason = "cannot create a file in " + ShownPath(context.job, folder) + ": " +
                         std::strerror(errno);
    return false;
  }

  // The writer replaces the claimed empty file atomically, as it would
  // replace an existing output.
  std::string decided = std::exchange(file.outputPath, file.heldPath);
  std::string decidedWrite = std::exchange(file.writePath, file.heldPath);
  const bool written = WriteOutput(image, context);
  file.outputPath = std::move(decided);
  file.writePath = std::move(decidedWrite);
  if (!written) DiscardHeldOutput(file);
  return written;
}

bool PlaceHeldOutput(const StepContext& context) {
  FileConversion& file = context.file;
  if (file.heldPath.empty()) return false;
  if ((file.placement == OutputPlacement::NamedInOrder &&
       BuildOutputPaths(context) != OutputPathStatus::Ok) ||
      OutputReplacesAnInput(context)) {
    DiscardHeldOutput(file);
    return false;
  }
  // Within one file system (the held file sits in the output folder tree),
  // so an existing output is replaced whole or not at all.
  if (!MoveIntoPlace(file.heldPath, WriteTarget(file), file.keepExistingOutput, file.failureReason,
                     file.keptBecause)) {
    DiscardHeldOutput(file);
    return false;
  }
  ForgetLeftover(file.heldPath);
  file.heldPath.clear();
  return true;
}

void DiscardHeldOutput(FileConversion& file) {
  if (!file.heldPath.empty()) {
    ::unlink(file.heldPath.c_str());
    ForgetLeftover(file.heldPath);
  }
  file.heldPath.clear();
}

}  // namespace lumafold
