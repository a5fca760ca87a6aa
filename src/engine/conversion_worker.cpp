// The batch procedure. Each file gets a FileConversion of its own; the
// settings, the input set and the job's run fields are only read, and the
// job's numbers advance after each success.
#include "engine/conversion_worker.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cstdio>

#include "engine/convert_file.h"
#include "engine/naming.h"
#include "engine/run_folder.h"

namespace lumafold {

namespace {

bool IsDirectory(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// Creates the output folder's copy of the input's subfolder level by level;
// a level that cannot be made shows up as a failed save.
void CreateSubfolders(const std::string& outputFolder, const std::string& relativeSubfolder) {
  std::string folder = outputFolder;
  if (!folder.empty() && folder.back() != '/') folder += '/';
  if (relativeSubfolder.empty() || IsDirectory(folder + relativeSubfolder)) return;
  std::size_t start = 0;
  while (start < relativeSubfolder.size()) {
    const std::size_t slash = relativeSubfolder.find('/', start);
    if (slash == std::string::npos) break;
    folder += relativeSubfolder.substr(start, slash - start + 1);
    if (!IsDirectory(folder)) ::mkdir(folder.c_str(), 0777);
    start = slash + 1;
  }
}

// "File Timestamp" 1 takes the input's time as listed (never the
// intermediate BMP's), 2 the "Custom Timestamp"; failures are ignored.
void ApplyFileTimestamp(const ConversionSettings& settings, const std::string& inputPath,
                        const std::string& outputPath) {
  timespec times[2];
  times[0].tv_sec = 0;
  times[0].tv_nsec = UTIME_OMIT;
  if (settings.advanced.fileTimestamp == 1) {
    struct stat input {};
    if (::stat(inputPath.c_str(), &input) != 0) return;
    times[1] = input.st_mtim;
  } else if (settings.advanced.fileTimestamp == 2) {
    times[1].tv_sec = FromLocalSeconds(settings.advanced.customTimestamp);
    times[1].tv_nsec = 0;
  } else {
    return;
  }
  ::utimensat(AT_FDCWD, outputPath.c_str(), times, 0);
}

void PrintLine(const std::string& line) {
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

}  // namespace

int ConversionWorker(AppContext& context) {
  ConversionJob& job = context.job;
  const ConversionSettings& settings = context.settings;
  RunProgress& progress = context.progress;

  const bool tracing = job.commandLineMode && job.consoleMode == "DEBUG";
  const auto trace = [&](const std::string& line) {
    if (!tracing) return;
    if (job.trace)
      job.trace(line);
    else
      PrintLine(line);
  };

  // Removed with everything in it when the run ends.
  RunFolder runFolder;
  const std::vector<InputEntry> entries = context.inputs.ordered();
  std::int32_t begun = 0;
  std::int32_t converted = 0;

  for (const InputEntry& entry : entries) {
    progress.waitWhilePaused();
    if (!progress.running.load()) break;

    ++begun;
    job.inputPath = entry.path;
    job.relativeSubfolder = entry.relativeSubfolder;
    {
      std::lock_guard<std::mutex> guard(progress.lock);
      progress.processedCount = begun;
      progress.currentFile = entry.path;
    }
    if (settings.advanced.keepSubfolders == 1)
      CreateSubfolders(job.outputFolder, entry.relativeSubfolder);

    FileConversion file;
    file.inputPath = entry.path;
    file.relativeSubfolder = entry.relativeSubfolder;
    file.sequenceNumber = job.sequenceNumber;
    file.randomNumber = job.randomNumber;
    file.runFolder = runFolder.path();
    file.fileNumber = begun;

    trace("Processing: " + entry.path);
    const bool ok = ConvertFile(StepContext{settings, job, file});

    job.outputPath = file.outputPath;
    job.temporaryOutputPath = file.temporaryOutputPath;
    job.sourceBitDepth = file.sourceBitDepth;
    job.outputWidth = file.workingWidth;
    job.outputHeight = file.workingHeight;

    trace("Saving As: " + file.outputPath);
    if (!ok && !file.failureReason.empty()) trace("Reason: " + file.failureReason);
    trace(ok ? "OK" : "Not OK");

    if (ok) {
      ++converted;
      job.drawRandomNumber();
      ++job.sequenceNumber;
      ApplyFileTimestamp(settings, entry.path, file.outputPath);
    }
  }

  {
    std::lock_guard<std::mutex> guard(progress.lock);
    progress.convertedCount = converted;
    progress.finished = true;
  }
  return 0;
}

}  // namespace lumafold
