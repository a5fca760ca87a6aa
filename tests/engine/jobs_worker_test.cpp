// Several file workers against one: the same outputs byte for byte, the
// same names and numbers, trace lines, counts and file times; the pause gate
// and the running flag with several files in hand; how many workers a run
// gets.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <set>
#include <thread>

#include "engine/run/conversion_worker.h"
#include "engine/steps/font_loader.h"
#include "engine/writers/write_output.h"
#include "pipeline_test_support.h"

namespace lumafold {
namespace {

using namespace pipeline_testing;
using Strings = std::vector<std::string>;

// What a run leaves: the trace, every file in the output folder with its
// bytes and modification time, the counts and the job's numbers after it.
struct Outcome {
  Strings lines;
  std::map<std::string, std::string> bytes;
  std::map<std::string, std::int64_t> times;
  Strings folders;
  std::int32_t processed = 0;
  std::int32_t converted = 0;
  std::int32_t sequenceNumber = 0;
  std::int32_t randomNumber = 0;
  std::string lastOutput;
};

bool WaitFor(const std::function<bool()>& condition) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

class JobsTest : public ::testing::Test {
 protected:
  JobsTest() : tmpdir_("TMPDIR", scratch_ / "tmp") {
    fs::create_directories(scratch_ / "tmp");
    fs::create_directories(scratch_ / "in");
    fs::create_directories(out());
    context_.settings.resetToDefaults(SettingsMode::CommandLine);
    context_.settings.output.format = "jpg";
    EXPECT_TRUE(PrepareJobForOutput(context_.job, context_.settings, context_.formats));
    context_.job.outputFolder = out() + "/";
    context_.job.commandLineMode = true;
    context_.job.consoleMode = "DEBUG";
    context_.job.trace = [this](const std::string& line) { lines_.push_back(line); };
  }

  std::string out() const { return scratch_ / "out"; }

  void add(const std::string& name, const std::string& from, const std::string& subfolder = "") {
    const std::string path = scratch_ / ("in/" + subfolder + name);
    fs::create_directories(fs::path(path).parent_path());
    fs::copy_file(from, path, fs::copy_options::overwrite_existing);
    context_.inputs.add(path, subfolder);
  }

  // Good files, bad files, and two inputs of the same name in different
  // folders (their outputs collide when the subfolders are not kept).
  void addMixedBatch() {
    add("kodim01.pcd", Sample("kodim01.pcd"));
    add("kodim19.pcd", Sample("kodim19.pcd"));
    add("kodim13-4base.pcd", Sample("kodim13-4base.pcd"));
    add("kodim23.pcd", Sample("kodim23.pcd"));
    add("kodim23.pcd", Sample("kodim03.pcd"), "roll2/");
    add("cut.pcd", Hostile("truncated-16base.pcd"), "roll2/day1/");
    add("random.pcd", Hostile("random-bytes.pcd"));
    add("svg.pcd", Hostile("svg-external.pcd"), "roll2/");
    add("short.pcd", Hostile("truncated-base.pcd"));
    add("png.pcd", Hostile("png-renamed.pcd"), "roll2/day1/");
  }

  // A fresh output folder (with `prepare` run on it), the job's numbers
  // from a fixed seed, then the run with `jobs` workers.
  Outcome runWith(
      int jobs, const std::function<void()>& prepare = [] {}) {
    fs::remove_all(out());
    fs::create_directories(out());
    prepare();
    context_.settings.advanced.jobs = jobs;
    context_.job.sequenceNumber = 1;
    context_.job.randomEngine.seed(2024);
    context_.job.drawRandomNumber();
    lines_.clear();
    context_.progress.zero();
    context_.progress.running = true;
    EXPECT_EQ(ConversionWorker(context_), 0);

    Outcome outcome;
    outcome.lines = lines_;
    for (const auto& entry : fs::recursive_directory_iterator(out())) {
      const std::string name = fs::relative(entry.path(), out()).string();
      if (entry.is_directory()) {
        outcome.folders.push_back(name);
        continue;
      }
      outcome.bytes[name] = ReadFile(entry.path().string());
      struct stat info {};
      ::stat(entry.path().c_str(), &info);
      outcome.times[name] = info.st_mtim.tv_sec * 1000000000LL + info.st_mtim.tv_nsec;
    }
    std::sort(outcome.folders.begin(), outcome.folders.end());
    outcome.processed = context_.progress.processedCount;
    outcome.converted = context_.progress.convertedCount;
    outcome.sequenceNumber = context_.job.sequenceNumber;
    outcome.randomNumber = context_.job.randomNumber;
    outcome.lastOutput = context_.job.outputPath;
    return outcome;
  }

  static void ExpectSame(const Outcome& one, const Outcome& four, bool compareTimes) {
    EXPECT_EQ(four.lines, one.lines);
    EXPECT_EQ(four.folders, one.folders);
    ASSERT_EQ(four.bytes.size(), one.bytes.size());
    for (const auto& [name, bytes] : one.bytes) {
      const auto found = four.bytes.find(name);
      ASSERT_NE(found, four.bytes.end()) << name;
      EXPECT_TRUE(found->second == bytes) << name << " differs";
    }
    if (compareTimes) {
      EXPECT_EQ(four.times, one.times);
    }
    EXPECT_EQ(four.processed, one.processed);
    EXPECT_EQ(four.converted, one.converted);
    EXPECT_EQ(four.sequenceNumber, one.sequenceNumber);
    EXPECT_EQ(four.randomNumber, one.randomNumber);
    EXPECT_EQ(four.lastOutput, one.lastOutput);
  }

  // A converter that logs each start and waits for the file "release"
  // before it runs the real one, so a test can hold files in hand; the
  // external decoder is chosen so that it runs.
  void useHeldConverter() {
    context_.settings.input.pcdDecoder = 1;
    const std::string script = scratch_ / "held-convert";
    MakeExecutable(script, StandInScript(startLog(), "while [ ! -e '" + (scratch_ / "release") +
                                                         "' ]; do sleep 0.05; done\n"
                                                         "exec \"$REAL\" \"$@\""));
    converter_.emplace("LUMAFOLD_CONVERT", script);
  }
  void release() { WriteFile(scratch_ / "release", ""); }
  // A failed wait must still end the worker: a joinable thread left behind
  // would abort the whole test program.
  void stopAndJoin(std::thread& worker) {
    context_.progress.running = false;
    release();
    context_.progress.resume();
    worker.join();
  }
  // `count` copies of one file behind the held converter, and a run with
  // four workers on a thread of its own.
  std::thread startHeldRun(int count) {
    useHeldConverter();
    for (int i = 0; i < count; ++i)
      add("kodim" + std::to_string(i) + ".pcd", Sample("kodim23.pcd"));
    context_.settings.advanced.jobs = 4;
    context_.progress.zero();
    context_.progress.running = true;
    return std::thread([this] { ConversionWorker(context_); });
  }
  // Whether each of the four workers got a file in hand; the run is ended
  // when they did not.
  bool fourFilesInHand(std::thread& worker) {
    if (WaitFor([this] { return starts() == 4; })) return true;
    stopAndJoin(worker);
    return false;
  }
  std::size_t starts() const { return ReadLines(startLog()).size(); }
  std::string startLog() const { return scratch_ / "starts.log"; }

  std::int32_t processed() {
    std::lock_guard<std::mutex> guard(context_.progress.lock);
    return context_.progress.processedCount;
  }

  std::size_t outputsIn(const std::string& folder) const {
    std::size_t count = 0;
    for (const auto& name : ListTree(folder))
      if (name.rfind("kodim", 0) == 0) ++count;
    return count;
  }

  Scratch scratch_;
  EnvOverride tmpdir_;
  std::optional<EnvOverride> converter_;
  AppContext context_;
  Strings lines_;
};

TEST_F(JobsTest, MixedBatchComesOutTheSameWithFourWorkers) {
  addMixedBatch();
  struct Case {
    const char* mask;
    int keepSubfolders;
  };
  // Names of their own per file, numbered names (numbers count successes in
  // input-set order), random names, and one name for every file (the last
  // success in input-set order wins).
  for (const Case& c :
       {Case{"%filename%.%ext%", 1}, Case{"%filename%.%ext%", 0}, Case{"%n%_%filename%.%ext%", 1},
        Case{"%rnd%-%N%.%ext%", 0}, Case{"picture.%ext%", 0}}) {
    SCOPED_TRACE(c.mask + std::string(c.keepSubfolders ? " with subfolders" : ""));
    context_.settings.advanced.filenameMask = c.mask;
    context_.settings.advanced.keepSubfolders = static_cast<std::int8_t>(c.keepSubfolders);
    context_.settings.advanced.fileTimestamp = 1;
    const Outcome one = runWith(1);
    const Outcome four = runWith(4);
    // The file cut inside Base comes out at Base/4, the one cut inside
    // 16Base with rows rebuilt; with one name for every file, neither of
    // those pictures replaces the output of a file before it.
    // The visiting order follows the hash of each path, scratch folder
    // included, so whether a damaged picture is the first to be written
    // (and then counts, nothing being there to keep) changes from run to run.
    if (std::string(c.mask) == "picture.%ext%") {
      const std::set<std::string> fails = {"random.pcd", "svg.pcd", "png.pcd"};
      const std::set<std::string> damaged = {"cut.pcd", "short.pcd"};
      std::string firstWritten;
      for (const InputEntry& entry : context_.inputs.ordered()) {
        const std::string name = fs::path(entry.path).filename().string();
        if (fails.count(name)) continue;
        firstWritten = name;
        break;
      }
      EXPECT_EQ(one.converted, damaged.count(firstWritten) ? 6 : 5) << "first written: " << firstWritten;
    } else {
      EXPECT_EQ(one.converted, 7);
    }
    EXPECT_EQ(one.processed, 10);
    ExpectSame(one, four, true);
  }
}

TEST_F(JobsTest, FramesTextWatermarksAndEveryWriterFamilyAgreeWithFourWorkers) {
  // Cairo, Pango and fontconfig, DevIL and jxrlib from several threads at
  // once: the pictures must not notice.
  addMixedBatch();
  context_.settings.transform.doImageRotation = 1;
  context_.settings.transform.imageRotationType = 1;
  context_.settings.transform.imageRotation = 7;
  context_.settings.frame.doFrame = 1;
  context_.settings.frame.solidLeft = context_.settings.frame.solidTop = 12;
  context_.settings.frame.solidOpacity = 180;
  context_.settings.watermark.doWatermark = 1;
  context_.settings.watermark.text = "%filename[u]% %width%x%height%";
  context_.settings.watermark.textAntialiasing = 1;
  context_.settings.watermark.textRotation = 30;
  context_.job.watermarkFont = LoadWatermarkFont(context_.settings.watermark);
  ASSERT_TRUE(context_.job.watermarkFont);
  context_.settings.advanced.jobs = 4;
  ASSERT_EQ(FileWorkerCount(context_.settings, 10), 4) << "no number in the watermark text";
  context_.settings.advanced.filenameMask = "%filename%-%n%.%ext%";
  for (const char* format : {"psd", "dds", "jxr", "png"}) {
    SCOPED_TRACE(format);
    context_.settings.output.format = format;
    ASSERT_TRUE(PrepareJobForOutput(context_.job, context_.settings, context_.formats));
    const Outcome one = runWith(1);
    const Outcome four = runWith(4);
    EXPECT_EQ(one.converted, 7);
    ExpectSame(one, four, false);
  }
}

TEST_F(JobsTest, ANumberedNameThatCannotBeUsedFailsAndLeavesNoHeldFile) {
  addMixedBatch();
  context_.settings.advanced.filenameMask = "%n%.%ext%";
  context_.settings.advanced.keepSubfolders = 0;
  // A folder where the second success would go: that file and every later
  // one (which reuse the number) fail, in both runs alike.
  const auto blocked = [this] { fs::create_directories(out() + "/00002.jpg"); };
  const Outcome one = runWith(1, blocked);
  const Outcome four = runWith(4, blocked);
  EXPECT_EQ(one.converted, 1);
  ExpectSame(one, four, false);
  EXPECT_EQ(four.bytes.size(), 1u) << "only 00001.jpg; no held file is left";
  EXPECT_TRUE(ListTree(scratch_ / "tmp").empty());
}

// The output folder is opened once: replaced by a symbolic link to another
// folder after the first file, the rest of the run still goes into the
// folder it started with, and nothing through the link.
TEST_F(JobsTest, AnOutputFolderSwappedForALinkMidRunIsNotWrittenThrough) {
  for (const char* name : {"kodim01.pcd", "kodim19.pcd", "kodim23.pcd", "kodim03.pcd"})
    add(name, Sample(name));
  for (const auto& [mask, jobs] : {std::pair{"%filename%.%ext%", 1}, std::pair{"%n%_%filename%.%ext%", 4}}) {
    SCOPED_TRACE(mask);
    const fs::path moved = fs::path(out()).string() + "-moved", elsewhere = scratch_ / "elsewhere";
    fs::remove_all(moved);
    fs::remove_all(elsewhere);
    fs::create_directories(elsewhere);
    std::atomic<bool> swapped{false};
    context_.job.fileEnded = [&](const FileResult&) {
      if (swapped.exchange(true)) return;
      fs::rename(out(), moved);
      fs::create_directory_symlink(elsewhere, out());
    };
    context_.settings.advanced.filenameMask = mask;
    context_.settings.advanced.jobs = jobs;
    fs::remove_all(out());
    fs::create_directories(out());
    context_.progress.zero();
    context_.progress.running = true;
    EXPECT_EQ(ConversionWorker(context_), 0);
    context_.job.fileEnded = nullptr;
    ASSERT_TRUE(swapped);
    EXPECT_EQ(ListTree(moved.string()).size(), 4u);
    EXPECT_TRUE(ListTree(elsewhere.string()).empty());
    EXPECT_EQ(context_.progress.convertedCount, 4);
    fs::remove(out());
    fs::remove_all(moved);
  }
}

TEST_F(JobsTest, PauseGateHoldsEveryWorkerBeforeItsNextFile) {
  std::thread worker = startHeldRun(8);
  if (!fourFilesInHand(worker)) FAIL() << "four files in hand at once";
  context_.progress.pause();
  EXPECT_EQ(processed(), 4);
  release();
  // The files in hand end; no worker starts another while paused.
  EXPECT_TRUE(WaitFor([&] { return outputsIn(out()) == 4; }));
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  EXPECT_EQ(starts(), 4u);
  EXPECT_EQ(processed(), 4);
  EXPECT_EQ(outputsIn(out()), 4u);

  context_.progress.resume();
  worker.join();
  EXPECT_EQ(starts(), 8u);
  EXPECT_EQ(context_.progress.processedCount, 8);
  EXPECT_EQ(context_.progress.convertedCount, 8);
}

TEST_F(JobsTest, ClearingTheRunningFlagFinishesOnlyTheFilesInHand) {
  std::thread worker = startHeldRun(10);
  if (!fourFilesInHand(worker)) FAIL() << "four files in hand at once";
  context_.progress.running = false;
  release();
  worker.join();
  EXPECT_EQ(starts(), 4u);
  EXPECT_EQ(context_.progress.processedCount, 4);
  EXPECT_EQ(context_.progress.convertedCount, 4);
  EXPECT_TRUE(context_.progress.finished);
  EXPECT_EQ(outputsIn(out()), 4u);
  EXPECT_EQ(ListTree(out()).size(), 4u) << "nothing but the outputs";
  // The four files in hand are the first four of the input set.
  Strings begun;
  for (const std::string& line : lines_)
    if (line.rfind("Processing: ", 0) == 0) begun.push_back(line.substr(12));
  const auto entries = context_.inputs.ordered();
  ASSERT_EQ(begun.size(), 4u);
  for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(begun[i], entries[i].path);
}

TEST(FileWorkerCount, OnePerCoreByDefaultAtMostOnePerFileAndOneForNumberedWatermarks) {
  ConversionSettings settings;
  settings.resetToDefaults(SettingsMode::CommandLine);
  const int cores = static_cast<int>(::sysconf(_SC_NPROCESSORS_ONLN));
  ASSERT_GE(cores, 1);
  EXPECT_EQ(settings.advanced.jobs, 0);
  EXPECT_EQ(FileWorkerCount(settings, 1000), std::min(cores, 64));
  settings.advanced.jobs = -3;
  EXPECT_EQ(FileWorkerCount(settings, 1000), std::min(cores, 64));
  settings.advanced.jobs = 4;
  EXPECT_EQ(FileWorkerCount(settings, 1000), 4);
  EXPECT_EQ(FileWorkerCount(settings, 3), 3);
  EXPECT_EQ(FileWorkerCount(settings, 1), 1);
  settings.advanced.jobs = 1000;
  EXPECT_EQ(FileWorkerCount(settings, 1000), 64);

  // The numbers drawn on the picture depend on the files before it.
  settings.advanced.jobs = 4;
  settings.advanced.filenameMask = "%n%_%rnd%.%ext%";
  EXPECT_EQ(FileWorkerCount(settings, 10), 4) << "numbered names are put in order afterwards";
  settings.watermark.doWatermark = 1;
  settings.watermark.text = "Frame %N% of the roll";
  EXPECT_EQ(FileWorkerCount(settings, 10), 1);
  settings.watermark.text = "Lucky %Rnd%";
  EXPECT_EQ(FileWorkerCount(settings, 10), 1);
  settings.watermark.text = "%filename% %yyyy%";
  EXPECT_EQ(FileWorkerCount(settings, 10), 4);
  settings.watermark.text = "%n%";
  settings.watermark.doWatermark = 2;  // a picture watermark ignores the text
  EXPECT_EQ(FileWorkerCount(settings, 10), 4);
}

// A run asked to use N cores must not keep more busy: sharded runs side by
// side (one per core, --jobs=1) rely on it.
TEST(SpareCoreBeside, OnlyWhereACoreWouldOtherwiseIdle) {
  ConversionSettings settings;
  settings.resetToDefaults(SettingsMode::CommandLine);
  const bool several = ::sysconf(_SC_NPROCESSORS_ONLN) > 1;
  EXPECT_EQ(SpareCoreBeside(settings, 1, 0, 1), several) << "one file, automatic count";
  EXPECT_EQ(SpareCoreBeside(settings, 1, 4, 10), several) << "numbered watermark: one worker";
  EXPECT_FALSE(SpareCoreBeside(settings, 2, 0, 10));
  EXPECT_FALSE(SpareCoreBeside(settings, 2, 8, 10));
  EXPECT_EQ(SpareCoreBeside(settings, 2, 9, 10), several) << "the last file";
  settings.advanced.jobs = 1;
  EXPECT_FALSE(SpareCoreBeside(settings, 1, 0, 1));
  EXPECT_FALSE(SpareCoreBeside(settings, 1, 9, 10));
  settings.advanced.jobs = 2;
  EXPECT_EQ(SpareCoreBeside(settings, 2, 9, 10), several);
}

}  // namespace
}  // namespace lumafold
