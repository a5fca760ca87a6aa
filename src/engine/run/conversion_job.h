// The run context, the input set and the progress record shared by the
// engine and both faces.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <ctime>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "photocd/photocd.h"

namespace lumafold {

struct WatermarkFont;  // font_loader.h

// Local date-time source for naming tokens and file times; tests fix it.
using Clock = std::function<std::time_t()>;
// Receives one trace line (without line end) in command-line debug mode.
using TraceSink = std::function<void(const std::string& line)>;
// Told about each file that failed, in input-set order, with the reason the
// engine recorded (empty when it recorded none).
using FailureSink = std::function<void(const std::string& inputPath, const std::string& reason)>;
// Told about each file the built-in decoder could give only in part (rows
// rebuilt from a lower level, or a lower level), in input-set order, with
// the note and the rebuilt rows per level; called whether or not its output
// was then put in place.
using DamageSink = std::function<void(const std::string& inputPath, const std::string& note,
                                      const std::vector<pcd::LevelDamage>& damage)>;

// How one file of a run ended, told to a front end in input-set order.
struct FileResult {
  std::string inputPath;
  std::string outputPath;  // where it was written; empty when it was not
  bool converted = false;
  std::string reason;  // why it failed
  // A picture written from less than the file promised (a damaged file
  // decoded at a lower level, the fallback loader's Base picture).
  std::string note;
  std::int32_t width = 0;  // the written picture's size
  std::int32_t height = 0;
  double seconds = 0;  // the conversion's own time
  // Rows of a level were rebuilt from the level below (else a note means a
  // lower level than the file declares).
  bool repaired = false;
  // The level decoded ("16Base"; empty when nothing was) and its size as
  // decoded, before rotation and resize.
  std::string level;
  std::int32_t decodedWidth = 0;
  std::int32_t decodedHeight = 0;
};
using FileResultSink = std::function<void(const FileResult& result)>;

// The files of a run's input set as the file system knows them, so that no
// output ever replaces one of them: by path, and by device and inode (hard
// links, symbolic links, another spelling of the path).
// The paths are views of the run's own list of inputs, which outlives them:
// a batch of thousands keeps each path once.
struct InputIdentities {
  std::set<std::string_view> paths;
  std::map<std::pair<std::uint64_t, std::uint64_t>, std::string_view> files;  // -> input path
};

// Run fields filled by a front end before the worker starts; read-only while
// it runs, except the sequence and random numbers which the worker advances.
struct ConversionJob {
  std::string outputFolder;  // ends with "/"
  // Set by the worker for the length of a run: the output folder as the
  // run opened it ("/proc/self/fd/N/"), through which every output is
  // written, so that a folder replaced meanwhile (by a symbolic link, say)
  // is not written through. Empty when the folder could not be opened so.
  std::string writeFolder;
  std::int32_t formatIdentifier = 0;
  std::string outputExtension;  // lower-case output key, e.g. "jpg"
  std::int32_t targetBitDepth = 0;
  // The output format's accepted depths, ascending, for the automatic depth.
  std::vector<std::int32_t> outputBitDepths;
  std::int32_t saveFlags = 0;
  bool automaticDepth = true;
  bool commandLineMode = false;
  std::string consoleMode;  // "DEBUG" turns on per-file trace lines
  // The folder named on the command line or last imported in the window,
  // ending with "/"; empty for a file input. Base of the relative subfolders.
  std::string inputFolder;
  std::string inputFormat;  // lower-case input key, "pcd"

  std::int32_t randomNumber = 1;    // "%rnd%", 1..99999
  std::int32_t sequenceNumber = 1;  // "%n%"

  // Fields of the last file converted, kept after the run.
  std::string inputPath;
  std::string relativeSubfolder;
  std::string outputPath;
  std::string temporaryOutputPath;
  std::int32_t sourceBitDepth = 0;
  std::int32_t outputWidth = 0;
  std::int32_t outputHeight = 0;

  // Loaded once before a text-watermark run by the front end's font check
  // and released after it.
  std::shared_ptr<WatermarkFont> watermarkFont;
  // The watermark's layer is drawn at this scale: below 1 for the window's
  // preview, whose small picture stands for the full output.
  double layerScale = 1.0;

  Clock clock;             // empty: std::time
  TraceSink trace;         // empty: standard output
  FailureSink fileFailed;  // empty: nobody is told
  DamageSink fileDamaged;  // empty: nobody is told
  // Told how every file ended, converted or not (the window's rows, the
  // command line's report); empty: nobody is told.
  FileResultSink fileEnded;
  // Receives warnings about the run (a fallback decode, an output written
  // twice) in command-line mode; empty: none are given.
  TraceSink warning;
  // Told about each input that cannot even enter the set: a list file's
  // missing or unreadable entry, a file of an input extension that is
  // empty, not a regular file or a link to nothing, a folder that cannot be
  // listed. Empty: they are skipped unseen, as the window has them.
  FailureSink inputFailed;

  // Filled by the worker when a run starts.
  std::shared_ptr<const InputIdentities> inputIdentities;

  // Draws the "%rnd%" numbers, on one thread at a time (the worker's, in
  // input-set order), so that the sequence does not depend on how many
  // files are converted at once. LUMAFOLD_RANDOM_SEED (a decimal number)
  // fixes the seed, so that two runs can be compared.
  std::mt19937 randomEngine = NewRandomEngine();
  static std::mt19937 NewRandomEngine();

  // "New" and start-up: sequence 1, a fresh random number.
  void reset();
  void drawRandomNumber();
};

// A file as the file system knows it (device and inode), whatever the name
// it was reached by; all zero when unknown.
struct FileIdentity {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  bool known() const { return device != 0 || inode != 0; }
  auto operator<=>(const FileIdentity&) const = default;
};

// A picture inside a disc image, read into memory when it is converted.
struct DiscPicture {
  std::string imagePath;  // the .iso, .cue, .bin or .img file
  std::string entryPath;  // below the volume's root: "PHOTO_CD/IMAGES/IMG0001.PCD"
  std::uint32_t firstSector = 0;
  std::uint32_t size = 0;
  // Why the image gave no pictures: the image itself then stands in the
  // input set and fails with this reason, so a broken image is never a
  // silent nothing.
  std::string problem;
};

struct InputEntry {
  std::string path;               // full input path, UTF-8 (image path + "/" + entry for a disc picture)
  std::string relativeSubfolder;  // ends with "/" or empty
  std::int32_t present = 1;
  FileIdentity identity;
  // "%disc%": the image's name without extension, or the folder that holds
  // PHOTO_CD/; empty outside a disc.
  std::string discName;
  std::shared_ptr<const DiscPicture> disc;  // set for a picture inside an image
};

// The input files of a run keyed by path: 512 buckets, 65599 hash over the
// path's UTF-16 code units, new entries at the head of their chain. The
// visiting order (bucket ascending, chain from the head) is the conversion
// order and the "%n%" order.
class InputSet {
 public:
  static constexpr std::size_t kBuckets = 512;

  static std::uint32_t Hash(const std::string& utf8Path);

  // False when the path is already present (byte comparison), or when a
  // known identity is: one file named two ways (a link, "dir/../dir") goes
  // in once, under the name it was first offered by.
  bool add(const std::string& path, const std::string& relativeSubfolder,
           FileIdentity identity = {});
  // The same with every field of the entry (a disc picture, a disc name).
  bool add(InputEntry entry);
  bool contains(const std::string& path) const;
  bool remove(const std::string& path);
  void clear();
  std::size_t size() const { return count_; }

  // Entries in visiting order.
  std::vector<InputEntry> ordered() const;

 private:
  std::vector<std::vector<InputEntry>> buckets_ = std::vector<std::vector<InputEntry>>(kBuckets);
  std::size_t count_ = 0;
  std::set<FileIdentity> identities_;
};

// Shared with the progress display; everything but `running` under `lock`.
struct RunProgress {
  std::mutex lock;
  std::int32_t processedCount = 0;
  std::string currentFile;
  std::int32_t convertedCount = 0;
  // Of those, files converted from less than they declare (rows rebuilt,
  // a lower level): a run with any ends as one with failures.
  std::int32_t damagedCount = 0;
  // Files ended so far, converted or not (the progress line's rate).
  std::int32_t endedCount = 0;
  // The files the workers are converting now, in the order they began.
  std::vector<std::string> filesInHand;
  bool finished = false;
  // Written by the front end, read by the worker once per file.
  std::atomic<bool> running{false};

  void zero();

  // The pause gate: while paused (a front end asks whether to stop), the
  // worker waits before it starts its next file, so no file starts or ends.
  void pause();
  void resume();
  void waitWhilePaused();
  // The same with the progress lock already held: a worker that claims its
  // next file under the lock cannot slip past a pause() that has returned.
  void waitWhilePaused(std::unique_lock<std::mutex>& held);

 private:
  std::condition_variable pauseChanged_;
  bool paused_ = false;
};

}  // namespace lumafold
