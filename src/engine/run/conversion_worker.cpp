// The batch procedure. Each file gets a FileConversion of its own; the
// settings, the input set and the job's run fields are only read, and the
// job's numbers advance after each success.
//
// With several file workers, the workers take the files in input-set order
// and convert them side by side, while this thread finishes them in the
// same order: it moves each output into place (held_output.h), prints the
// file's trace lines together, advances the numbers and sets the file time.
// Everything that depends on the order is therefore done by one thread, as
// with a single worker.
#include "engine/run/conversion_worker.h"

#include <fcntl.h>
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <system_error>
#include <thread>
#include <unordered_map>

#include "engine/run/convert_file.h"
#include "engine/run/file_kind.h"
#include "engine/run/held_output.h"
#include "engine/run/naming.h"
#include "engine/run/run_folder.h"

namespace lumafold {

namespace {

// Each worker may hold two full pictures and run one ImageMagick process
// (about 250 MB for a 16Base file); beyond this the machine only thrashes.
constexpr long kMostWorkers = 64;

// Creates the output folder's copy of the input's subfolder level by level;
// a level that cannot be made shows up as a failed save. Two workers making
// the same level at once is harmless: the loser's mkdir fails with EEXIST.
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

// Whether a text uses a token whose value follows the input-set order. The
// mask is lower-cased before its tokens are replaced, and watermark tokens
// are found regardless of case, so case does not matter here either.
bool HoldsOrderedToken(const std::string& text) {
  std::string lower = text;
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; });
  return lower.find("%n%") != std::string::npos || lower.find("%rnd%") != std::string::npos;
}

std::shared_ptr<const InputIdentities> IdentitiesOf(const std::vector<InputEntry>& entries) {
  auto identities = std::make_shared<InputIdentities>();
  for (const InputEntry& entry : entries) {
    identities->paths.insert(entry.path);
    struct stat info {};
    // A picture inside a disc image: the image itself is never replaced.
    const std::string& onDisk = entry.disc ? entry.disc->imagePath : entry.path;
    if (::stat(onDisk.c_str(), &info) == 0)
      identities->files.emplace(
          std::make_pair(std::uint64_t{info.st_dev}, std::uint64_t{info.st_ino}), entry.path);
  }
  return identities;
}

// Every file needs the same few large buffers (the file's bytes, the
// PhotoYCC planes, the bitmap: 40 to 100 MB at 16Base). By default the C
// library maps each of them afresh and unmaps it when freed, so every file
// pays for tens of thousands of page faults and, with several workers, for
// each unmapping interrupting the other cores; a batch on two cores burned
// 40 % more processor time than on one. For the run, freed memory stays in
// the process for the next file, and goes back to the system when the run
// ends (the window lives on after it).
// The output folder opened once for the length of a run; every output goes
// through "/proc/self/fd/N/", which names the folder opened, so a folder
// that is replaced meanwhile (renamed, or swapped for a symbolic link to
// somewhere else) is not written through. Without /proc the paths are
// used as they are.
class HeldOutputFolder {
 public:
  explicit HeldOutputFolder(ConversionJob& job) : job_(job) {
    job_.writeFolder.clear();
    if (job_.outputFolder.empty()) return;
    fd_ = ::open(job_.outputFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd_ < 0) return;
    const std::string through = "/proc/self/fd/" + std::to_string(fd_) + "/";
    struct stat named {}, opened {};
    if (::stat(through.c_str(), &named) == 0 && ::fstat(fd_, &opened) == 0 &&
        named.st_dev == opened.st_dev && named.st_ino == opened.st_ino)
      job_.writeFolder = through;
  }
  ~HeldOutputFolder() {
    job_.writeFolder.clear();
    if (fd_ >= 0) ::close(fd_);
  }
  HeldOutputFolder(const HeldOutputFolder&) = delete;
  HeldOutputFolder& operator=(const HeldOutputFolder&) = delete;

 private:
  ConversionJob& job_;
  int fd_ = -1;
};

class ReusedLargeBuffers {
 public:
  ReusedLargeBuffers() {
    // 32 MB is the largest threshold the C library takes; a 16-bit 16Base
    // bitmap (38 MB) is still mapped on its own.
    ::mallopt(M_MMAP_THRESHOLD, 32 << 20);
    ::mallopt(M_TRIM_THRESHOLD, 1 << 30);
  }
  ~ReusedLargeBuffers() {
    // The library's starting values (it no longer adapts them once set).
    ::mallopt(M_MMAP_THRESHOLD, 128 << 10);
    ::mallopt(M_TRIM_THRESHOLD, 128 << 10);
    ::malloc_trim(0);
  }
  ReusedLargeBuffers(const ReusedLargeBuffers&) = delete;
  ReusedLargeBuffers& operator=(const ReusedLargeBuffers&) = delete;
};

class Batch {
 public:
  explicit Batch(AppContext& context)
      : settings_(context.settings),
        job_(context.job),
        progress_(context.progress),
        entries_(context.inputs.ordered()),
        tracing_(job_.commandLineMode && job_.consoleMode == "DEBUG"),
        // Only the external decoder writes files; the built-in one needs no
        // folder at all.
        runFolder_(settings_.input.pcdDecoder == 1 ? std::make_unique<RunFolder>() : nullptr) {}

  const std::string& WriteFolder() const {
    return job_.writeFolder.empty() ? job_.outputFolder : job_.writeFolder;
  }

  void run() {
    const ReusedLargeBuffers reuse;
    const HeldOutputFolder held(job_);
    job_.inputIdentities = IdentitiesOf(entries_);
    workers_ = FileWorkerCount(settings_, entries_.size());
    if (workers_ <= 1 || !runWorkers(workers_)) {
      workers_ = 1;
      runOneAtATime();
    }
    job_.inputIdentities.reset();
    reportOutputsWrittenTwice();
    std::lock_guard<std::mutex> guard(progress_.lock);
    progress_.convertedCount = converted_;
    progress_.damagedCount = damaged_;
    progress_.finished = true;
  }

 private:
  struct Finished {
    FileConversion file;
    bool ok = false;
  };

  // The pause gate, the running flag and the next file, under the progress
  // lock: while the front end holds the run paused no worker starts a file,
  // and once the flag is cleared the files in hand are the last ones.
  std::optional<std::size_t> claim() {
    std::unique_lock<std::mutex> held(progress_.lock);
    progress_.waitWhilePaused(held);
    if (!progress_.running.load() || next_ >= entries_.size()) return std::nullopt;
    const std::size_t index = next_++;
    progress_.processedCount = static_cast<std::int32_t>(index + 1);
    progress_.currentFile = entries_[index].path;
    progress_.filesInHand.push_back(entries_[index].path);
    return index;
  }

  FileConversion prepare(std::size_t index) const {
    const InputEntry& entry = entries_[index];
    FileConversion file;
    file.inputPath = entry.path;
    file.relativeSubfolder = entry.relativeSubfolder;
    file.discName = entry.discName;
    file.disc = entry.disc;
    if (runFolder_) file.runFolder = runFolder_->path();
    file.fileNumber = static_cast<std::int32_t>(index + 1);
    file.spareCore = SpareCoreBeside(settings_, workers_, index, entries_.size());
    if (settings_.advanced.keepSubfolders == 1)
      CreateSubfolders(WriteFolder(), entry.relativeSubfolder);
    sweep(settings_.advanced.keepSubfolders == 1 ? entry.relativeSubfolder : std::string());
    return file;
  }

  // The first time the run writes into a folder, the temporary files that
  // killed runs left there go.
  void sweep(const std::string& relativeSubfolder) const {
    std::string folder = WriteFolder();
    if (!folder.empty() && folder.back() != '/') folder += '/';
    folder += relativeSubfolder;
    {
      std::lock_guard<std::mutex> guard(sweptLock_);
      if (!swept_.insert(folder).second) return;
    }
    RemoveDeadRunsTemporaries(folder);
  }

  void outOfHand(const std::string& path) {
    std::lock_guard<std::mutex> guard(progress_.lock);
    auto& inHand = progress_.filesInHand;
    const auto found = std::find(inHand.begin(), inHand.end(), path);
    if (found != inHand.end()) inHand.erase(found);
  }

  bool TimedConvert(FileConversion& file) {
    const auto start = std::chrono::steady_clock::now();
    const bool ok = ConvertFile(StepContext{settings_, job_, file});
    file.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    outOfHand(file.inputPath);
    return ok;
  }

  void warn(const std::string& line) const {
    if (job_.warning) job_.warning(line);
  }

  // Two inputs with one output name: the later one in the input set wins,
  // as always, but the user learns which outputs hold only one of them.
  void reportOutputsWrittenTwice() const {
    for (const std::string* outputKey : writtenOrder_) {
      const std::string& output = *outputKey;
      const std::vector<std::int32_t>& inputs = writers_.at(output);
      if (inputs.size() < 2) continue;
      std::string line =
          output + " written " +
          (inputs.size() == 2 ? std::string("twice") : std::to_string(inputs.size()) + " times") +
          ": from ";
      for (std::size_t i = 0; i < inputs.size(); ++i)
        line += (i == 0 ? "" : i + 1 == inputs.size() ? " and then " : ", ") +
                entries_[static_cast<std::size_t>(inputs[i] - 1)].path;
      warn(line + "; the last one is kept");
    }
  }

  void trace(const std::string& line) const {
    if (!tracing_) return;
    if (job_.trace)
      job_.trace(line);
    else
      PrintLine(line);
  }

  // The file's end in input-set order: its output in place, the rest of its
  // trace, the counts and numbers, the file time.
  void finish(FileConversion& file, bool ok) {
    if (file.placement != OutputPlacement::Direct) {
      file.sequenceNumber = job_.sequenceNumber;
      file.randomNumber = job_.randomNumber;
      if (ok)
        ok = PlaceHeldOutput(StepContext{settings_, job_, file});
      else
        DiscardHeldOutput(file);
    }

    job_.inputPath = file.inputPath;
    job_.relativeSubfolder = file.relativeSubfolder;
    job_.outputPath = file.outputPath;
    job_.temporaryOutputPath = file.temporaryOutputPath;
    job_.sourceBitDepth = file.sourceBitDepth;
    job_.outputWidth = file.workingWidth;
    job_.outputHeight = file.workingHeight;

    for (const std::string& message : file.libraryMessages) trace(message);
    if (!file.decodeNote.empty()) {
      trace(file.decodeNote);
      warn((file.damaged ? "Warning: " : "") + file.inputPath + ": " + file.decodeNote);
    }
    if (!file.converterComplaint.empty()) {
      trace(file.converterComplaint);
      warn("Warning: " + file.inputPath + ": " + file.converterComplaint);
    }
    if (file.damaged && job_.fileDamaged)
      job_.fileDamaged(file.inputPath, file.decodeNote, file.decodeDamage);
    trace("Saving As: " + file.outputPath);
    if (!ok && file.failureReason.empty()) file.failureReason = "the output could not be written";
    file.failureReason = ShownPath(job_, std::move(file.failureReason));
    if (!ok) trace("Reason: " + file.failureReason);
    trace(ok ? "OK" : "Not OK");
    if (!ok && job_.fileFailed) job_.fileFailed(file.inputPath, file.failureReason);
    if (job_.fileEnded) {
      FileResult result;
      result.inputPath = file.inputPath;
      result.converted = ok;
      if (ok) {
        result.outputPath = file.outputPath;
        result.width = file.workingWidth;
        result.height = file.workingHeight;
      } else {
        result.reason = file.failureReason;
      }
      result.note = file.decodeNote;
      result.seconds = file.seconds;
      result.repaired = file.damaged && !file.decodeDamage.empty();
      if (file.decodedIndex >= 1 && file.decodedIndex <= 5)
        result.level = pcd::LevelName(static_cast<pcd::Level>(file.decodedIndex - 1));
      result.decodedWidth = file.decodedWidth;
      result.decodedHeight = file.decodedHeight;
      job_.fileEnded(result);
    }
    {
      std::lock_guard<std::mutex> guard(progress_.lock);
      ++progress_.endedCount;
    }

    if (ok) {
      auto [written, first] = writers_.try_emplace(file.outputPath);
      if (first) writtenOrder_.push_back(&written->first);
      written->second.push_back(file.fileNumber);
      ++converted_;
      if (file.damaged) ++damaged_;
      job_.drawRandomNumber();
      ++job_.sequenceNumber;
      ApplyFileTimestamp(settings_, file.disc ? file.disc->imagePath : file.inputPath,
                         WriteTarget(file));
    }
  }

  void runOneAtATime() {
    while (const auto index = claim()) {
      job_.inputPath = entries_[*index].path;
      job_.relativeSubfolder = entries_[*index].relativeSubfolder;
      FileConversion file = prepare(*index);
      file.sequenceNumber = job_.sequenceNumber;
      file.randomNumber = job_.randomNumber;
      trace("Processing: " + file.inputPath);
      const bool ok = TimedConvert(file);
      finish(file, ok);
    }
  }

  // The workers never touch the job's numbers: a mask with "%n%" or
  // "%rnd%" gets its name in finish(), and a watermark with them runs one
  // file at a time.
  void work(OutputPlacement placement) {
    while (const auto index = claim()) {
      FileConversion file = prepare(*index);
      file.placement = placement;
      const bool ok = TimedConvert(file);
      {
        std::lock_guard<std::mutex> guard(finishedLock_);
        finished_.insert_or_assign(*index, Finished{std::move(file), ok});
      }
      finishedChanged_.notify_all();
    }
    {
      std::lock_guard<std::mutex> guard(finishedLock_);
      --activeWorkers_;
    }
    finishedChanged_.notify_all();
  }

  // False when no worker thread could be started.
  bool runWorkers(int count) {
    const std::string& mask = settings_.advanced.filenameMask;
    const OutputPlacement placement =
        HoldsOrderedToken(mask) ? OutputPlacement::NamedInOrder : OutputPlacement::InOrder;
    finished_.clear();
    std::vector<std::thread> workers;
    activeWorkers_ = count;
    for (int i = 0; i < count; ++i) {
      try {
        workers.emplace_back([this, placement] { work(placement); });
      } catch (const std::system_error&) {
        std::lock_guard<std::mutex> guard(finishedLock_);
        activeWorkers_ -= count - i;
        break;
      }
    }
    if (workers.empty()) return false;

    for (std::size_t next = 0; next < entries_.size(); ++next) {
      std::unique_lock<std::mutex> held(finishedLock_);
      finishedChanged_.wait(held, [&] { return finished_.contains(next) || activeWorkers_ == 0; });
      // The workers claim files in order, so once they have all ended the
      // first file not done was never begun, nor any after it.
      const auto done = finished_.find(next);
      if (done == finished_.end()) break;
      Finished file = std::move(done->second);
      finished_.erase(done);
      held.unlock();
      trace("Processing: " + file.file.inputPath);
      finish(file.file, file.ok);
    }
    for (std::thread& worker : workers) worker.join();
    return true;
  }

  const ConversionSettings& settings_;
  ConversionJob& job_;
  RunProgress& progress_;
  const std::vector<InputEntry> entries_;
  const bool tracing_;
  // Removed with everything in it when the run ends.
  const std::unique_ptr<RunFolder> runFolder_;
  std::size_t next_ = 0;  // under the progress lock
  int workers_ = 1;
  std::int32_t converted_ = 0;
  std::int32_t damaged_ = 0;

  // Output path -> the inputs written there (file numbers), in input-set
  // order; the outputs in the order first written. Per file of a batch of
  // thousands, its output path is all that is kept.
  std::unordered_map<std::string, std::vector<std::int32_t>> writers_;
  std::vector<const std::string*> writtenOrder_;  // keys of writers_

  mutable std::mutex sweptLock_;
  mutable std::set<std::string> swept_;

  std::mutex finishedLock_;
  std::condition_variable finishedChanged_;
  // Files converted and not yet finished, by input-set position: a few at
  // a time, however long the batch.
  std::map<std::size_t, Finished> finished_;
  int activeWorkers_ = 0;
};

}  // namespace

int FileWorkerCount(const ConversionSettings& settings, std::size_t files) {
  if (files <= 1) return 1;
  const WatermarkSettings& watermark = settings.watermark;
  if (watermark.doWatermark == 1 && HoldsOrderedToken(watermark.text)) return 1;
  long count = settings.advanced.jobs;
  if (count <= 0) count = ::sysconf(_SC_NPROCESSORS_ONLN);
  count = std::clamp(count, 1L, kMostWorkers);
  return static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(count), files));
}

bool SpareCoreBeside(const ConversionSettings& settings, int workers, std::size_t index,
                     std::size_t files) {
  if (::sysconf(_SC_NPROCESSORS_ONLN) < 2) return false;
  if (workers <= 1) return settings.advanced.jobs <= 0;
  return index + 1 == files;
}

int ConversionWorker(AppContext& context) {
  Batch batch(context);
  batch.run();
  return 0;
}

}  // namespace lumafold
