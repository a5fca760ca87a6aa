// The batch worker end to end with the real converter and writers: trace
// lines, "%n%" over successes only, file times, subfolders, the running
// flag and the pause gate, a mixed folder of good and hostile files, and
// no temporary file left anywhere.
#include "engine/run/conversion_worker.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <map>
#include <set>
#include <thread>

#include "engine/run/convert_file.h"
#include "engine/run/naming.h"
#include "engine/writers/write_output.h"
#include "pipeline_test_support.h"

namespace lumafold {
namespace {

using namespace pipeline_testing;

class WorkerTest : public ::testing::Test {
 protected:
  WorkerTest() : tmpdir_("TMPDIR", (scratch_ / "tmp")) {
    fs::create_directories(scratch_ / "tmp");
    fs::create_directories(scratch_ / "in");
    fs::create_directories(scratch_ / "out");
    context_.settings.resetToDefaults(SettingsMode::CommandLine);
    useFormat("jpg");
    context_.job.outputFolder = scratch_ / "out/";
    context_.job.commandLineMode = true;
    context_.job.consoleMode = "DEBUG";
    context_.job.trace = [this](const std::string& line) { lines_.push_back(line); };
    context_.job.reset();
  }

  void useFormat(const std::string& key) {
    context_.settings.output.format = key;
    ASSERT_TRUE(PrepareJobForOutput(context_.job, context_.settings, context_.formats));
  }

  std::string input(const std::string& name, const std::string& from) {
    const std::string path = scratch_ / ("in/" + name);
    fs::create_directories(fs::path(path).parent_path());
    fs::copy_file(from, path, fs::copy_options::overwrite_existing);
    return path;
  }

  void run() {
    context_.progress.zero();
    context_.progress.running = true;
    EXPECT_EQ(ConversionWorker(context_), 0);
  }

  std::string out(const std::string& name) const { return scratch_ / ("out/" + name); }

  // Width and height of an output read back by FreeImage; 0x0 when missing.
  static std::pair<unsigned, unsigned> SizeOf(const std::string& path) {
    const FREE_IMAGE_FORMAT format = FreeImage_GetFileType(path.c_str(), 0);
    ImageHandle image(format == FIF_UNKNOWN ? nullptr : FreeImage_Load(format, path.c_str(), 0));
    if (!image) return {0, 0};
    return {FreeImage_GetWidth(image.get()), FreeImage_GetHeight(image.get())};
  }

  static timespec ModificationTime(const std::string& path) {
    struct stat info {};
    ::stat(path.c_str(), &info);
    return info.st_mtim;
  }

  Scratch scratch_;
  EnvOverride tmpdir_;
  AppContext context_;
  std::vector<std::string> lines_;
};

using Strings = std::vector<std::string>;

TEST_F(WorkerTest, TraceLinesAndCountsForAGoodAndABadFile) {
  const std::string good = input("kodim23.pcd", Sample("kodim23.pcd"));
  const std::string bad = input("empty.pcd", Hostile("empty.pcd"));
  context_.inputs.add(good, "");
  context_.inputs.add(bad, "");
  run();

  Strings expected;
  for (const auto& entry : context_.inputs.ordered()) {
    expected.push_back("Processing: " + entry.path);
    if (entry.path == good) {
      expected.push_back("Saving As: " + out("kodim23.jpg"));
      expected.push_back("OK");
    } else {
      expected.push_back("Saving As: ");
      expected.push_back("Reason: ");  // the decoder's own words follow
      expected.push_back("Not OK");
    }
  }
  ASSERT_EQ(lines_.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    if (expected[i] == "Reason: ") {
      EXPECT_EQ(lines_[i].rfind("Reason: ", 0), 0u) << lines_[i];
      EXPECT_GT(lines_[i].size(), expected[i].size() + 5) << lines_[i];
    } else {
      EXPECT_EQ(lines_[i], expected[i]);
    }
  }
  EXPECT_EQ(SizeOf(out("kodim23.jpg")), std::make_pair(768u, 512u));
  EXPECT_EQ(context_.progress.processedCount, 2);
  EXPECT_EQ(context_.progress.convertedCount, 1);
  EXPECT_TRUE(context_.progress.finished);
  EXPECT_EQ(context_.job.sequenceNumber, 2);
}

TEST_F(WorkerTest, LumafoldConvertNamesTheConverterAndEachFileIsDecodedOnce) {
  const std::string log = scratch_ / "runs.log";
  const std::string wrapper = scratch_ / "convert-wrapper";
  MakeExecutable(wrapper, StandInScript(log, "exec \"$REAL\" \"$@\""));
  EnvOverride converter("LUMAFOLD_CONVERT", wrapper);
  context_.settings.input.pcdDecoder = 1;
  context_.settings.advanced.jobs = 1;  // the log in input-set order
  const std::string sixteen = input("kodim05-16base.pcd", Sample("kodim05-16base.pcd"));
  const std::string four = input("kodim13-4base.pcd", Sample("kodim13-4base.pcd"));
  context_.inputs.add(sixteen, "");
  context_.inputs.add(four, "");
  run();

  Strings expected;
  for (const auto& entry : context_.inputs.ordered())
    expected.push_back(entry.path == sixteen ? "5" : "4");
  EXPECT_EQ(ReadLines(log), expected);
  EXPECT_EQ(SizeOf(out("kodim05-16base.jpg")), std::make_pair(3072u, 2048u));
  EXPECT_EQ(SizeOf(out("kodim13-4base.jpg")), std::make_pair(1536u, 1024u));
}

TEST_F(WorkerTest, WithoutARunFolderFreeImagesLoaderStillConverts) {
  EnvOverride unusable("TMPDIR", scratch_ / "no-such-folder");
  context_.settings.input.pcdDecoder = 1;
  context_.inputs.add(input("kodim05-16base.pcd", Sample("kodim05-16base.pcd")), "");
  run();
  EXPECT_EQ(lines_.back(), "OK");
  EXPECT_EQ(SizeOf(out("kodim05-16base.jpg")), std::make_pair(768u, 512u));
}

TEST_F(WorkerTest, TheBuiltInDecoderNeedsNoRunFolderAndStartsNoConverter) {
  EnvOverride unusable("TMPDIR", scratch_ / "no-such-folder");
  const std::string log = scratch_ / "runs.log";
  const std::string wrapper = scratch_ / "convert-wrapper";
  MakeExecutable(wrapper, StandInScript(log, "exec \"$REAL\" \"$@\""));
  EnvOverride converter("LUMAFOLD_CONVERT", wrapper);
  context_.inputs.add(input("kodim05-16base.pcd", Sample("kodim05-16base.pcd")), "");
  run();
  EXPECT_EQ(lines_.back(), "OK");
  EXPECT_EQ(SizeOf(out("kodim05-16base.jpg")), std::make_pair(3072u, 2048u));
  EXPECT_FALSE(fs::exists(log)) << "the converter ran";
}

TEST_F(WorkerTest, NoTraceOutsideDebugMode) {
  context_.job.consoleMode = "";
  context_.inputs.add(input("kodim23.pcd", Sample("kodim23.pcd")), "");
  run();
  EXPECT_TRUE(lines_.empty());
  EXPECT_EQ(context_.progress.convertedCount, 1);
}

TEST_F(WorkerTest, SequenceNumberCountsOnlySuccessfulFiles) {
  context_.settings.advanced.filenameMask = "%n%_%filename%.%ext%";
  for (int i = 0; i < 4; ++i) {
    context_.inputs.add(input("good" + std::to_string(i) + ".pcd", Sample("kodim23.pcd")), "");
    context_.inputs.add(input("bad" + std::to_string(i) + ".pcd", Hostile("random-bytes.pcd")), "");
  }
  run();

  // In visiting order, the good files take 00001, 00002, ... with no gaps.
  Strings expected;
  int number = 0;
  for (const auto& entry : context_.inputs.ordered()) {
    const std::string stem = fs::path(entry.path).stem().string();
    if (stem.rfind("good", 0) == 0) {
      char prefix[16];
      std::snprintf(prefix, sizeof prefix, "%05d", ++number);
      expected.push_back(std::string(prefix) + "_" + stem + ".jpg");
    }
  }
  Strings written = ListTree(scratch_ / "out");
  std::sort(written.begin(), written.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(written, expected);
  EXPECT_EQ(context_.job.sequenceNumber, 5);
  EXPECT_EQ(context_.progress.convertedCount, 4);
}

TEST_F(WorkerTest, FileTimestampTakesTheListedInputsTimeOrTheCustomOne) {
  const std::string path = input("kodim13-4base.pcd", Sample("kodim13-4base.pcd"));
  const timespec old[2] = {{978307200, 0}, {978307200, 123456789}};  // 2001-01-01
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), old, 0), 0);
  context_.inputs.add(path, "");

  context_.settings.advanced.fileTimestamp = 1;
  run();
  const timespec copied = ModificationTime(out("kodim13-4base.jpg"));
  EXPECT_EQ(copied.tv_sec, 978307200);
  EXPECT_EQ(copied.tv_nsec, 123456789);
  EXPECT_EQ(SizeOf(out("kodim13-4base.jpg")), std::make_pair(1536u, 1024u));

  ZoneOverride zone("CET-1CEST,M3.5.0,M10.5.0/3");
  context_.settings.advanced.fileTimestamp = 2;
  context_.settings.advanced.customTimestamp = 1500000000;  // local seconds
  run();
  EXPECT_EQ(ModificationTime(out("kodim13-4base.jpg")).tv_sec, FromLocalSeconds(1500000000));
  EXPECT_EQ(FromLocalSeconds(1500000000), 1500000000 - 7200);

  context_.settings.advanced.fileTimestamp = 0;
  const std::time_t before = std::time(nullptr);
  run();
  EXPECT_GE(ModificationTime(out("kodim13-4base.jpg")).tv_sec, before);
}

TEST_F(WorkerTest, KeepSubfoldersCreatesTheInputsSubfolderLevelByLevel) {
  context_.inputs.add(input("roll1/day2/kodim23.pcd", Sample("kodim23.pcd")), "roll1/day2/");
  run();
  EXPECT_EQ(SizeOf(out("roll1/day2/kodim23.jpg")), std::make_pair(768u, 512u));

  context_.settings.advanced.keepSubfolders = 0;
  run();
  EXPECT_EQ(SizeOf(out("kodim23.jpg")), std::make_pair(768u, 512u));
}

TEST_F(WorkerTest, MaskIntoAnExistingSubfolderWorksAndOutOfTheFolderFails) {
  context_.inputs.add(input("kodim23.pcd", Sample("kodim23.pcd")), "");
  fs::create_directories(scratch_ / "out/sub");
  context_.settings.advanced.filenameMask = "sub/%filename%.%ext%";
  run();
  EXPECT_EQ(SizeOf(out("sub/kodim23.jpg")), std::make_pair(768u, 512u));

  lines_.clear();
  context_.settings.advanced.filenameMask = "../%filename%.%ext%";
  run();
  EXPECT_FALSE(fs::exists(scratch_ / "kodim23.jpg"));
  ASSERT_EQ(lines_.size(), 4u);
  EXPECT_EQ(lines_[2], "Reason: the output name leaves the output folder: \"../kodim23.jpg\"");
  EXPECT_EQ(lines_[3], "Not OK");
  EXPECT_EQ(context_.progress.convertedCount, 0);
}

TEST_F(WorkerTest, IconsAreLimitedTo128Pixels) {
  useFormat("ico");
  context_.inputs.add(input("kodim05-16base.pcd", Sample("kodim05-16base.pcd")), "");
  run();
  EXPECT_EQ(SizeOf(out("kodim05-16base.ico")), std::make_pair(128u, 128u));

  // A picture already inside the limit keeps its size.
  context_.settings.transform.doImageResize = 1;
  context_.settings.transform.keepAspectRatio = 0;
  context_.settings.transform.imageWidth = 100;
  context_.settings.transform.imageHeight = 100;
  lines_.clear();
  run();
  EXPECT_EQ(lines_.back(), "OK");
  EXPECT_EQ(SizeOf(out("kodim05-16base.ico")), std::make_pair(100u, 100u));
  // Not squeezed to a square either (FreeImage then refuses to write a
  // non-square icon, which fails the file).
  context_.settings.transform.imageHeight = 60;
  run();
  EXPECT_EQ(context_.job.outputWidth, 100);
  EXPECT_EQ(context_.job.outputHeight, 60);
}

TEST_F(WorkerTest, ClearingTheRunningFlagStopsAfterTheCurrentFile) {
  // One worker; jobs_worker_test.cpp covers several files in hand.
  context_.settings.advanced.jobs = 1;
  for (int i = 0; i < 5; ++i)
    context_.inputs.add(input("k" + std::to_string(i) + ".pcd", Sample("kodim23.pcd")), "");
  context_.job.trace = [this](const std::string& line) {
    lines_.push_back(line);
    if (line.rfind("Processing: ", 0) == 0) context_.progress.running = false;
  };
  run();
  EXPECT_EQ(context_.progress.processedCount, 1);
  EXPECT_EQ(context_.progress.convertedCount, 1);
  EXPECT_EQ(ListTree(scratch_ / "out").size(), 1u);
}

TEST_F(WorkerTest, PauseGateHoldsTheNextFile) {
  for (int i = 0; i < 3; ++i)
    context_.inputs.add(input("k" + std::to_string(i) + ".pcd", Sample("kodim23.pcd")), "");
  context_.progress.zero();
  context_.progress.running = true;
  context_.progress.pause();
  std::thread worker([this] { ConversionWorker(context_); });
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  {
    std::lock_guard<std::mutex> guard(context_.progress.lock);
    EXPECT_EQ(context_.progress.processedCount, 0);
  }
  context_.progress.resume();
  worker.join();
  EXPECT_EQ(context_.progress.processedCount, 3);
  EXPECT_EQ(context_.progress.convertedCount, 3);
}

TEST_F(WorkerTest, AFolderOfFiftyMixedFilesLeavesNoTemporaryFile) {
  // Good files with the size each must come out at: the highest level that
  // holds a sound row (a scratched 4Base and a file cut inside 4Base or
  // 16Base keep their level with the lost rows rebuilt, a bad code table
  // gives the level below, a file cut inside Base gives Base/4).
  std::map<std::string, std::pair<unsigned, unsigned>> good;
  const std::vector<std::pair<std::string, std::pair<unsigned, unsigned>>> goodSources = {
      {Sample("kodim01.pcd"), {768, 512}},
      {Sample("kodim19.pcd"), {512, 768}},
      {Sample("kodim13-4base.pcd"), {1536, 1024}},
      {DecoderData("rotate-180.pcd"), {768, 512}},
      {DecoderData("rotate-270.pcd"), {512, 768}},
      {Hostile("truncated-16base.pcd"), {3072, 2048}},
      {DecoderData("truncated-16base.pcd"), {1536, 1024}},
      {Hostile("garbage-huffman-4base.pcd"), {1536, 1024}},
      {Hostile("bad-table-4base.pcd"), {768, 512}},
      {Hostile("truncated-base.pcd"), {384, 256}},
  };
  const Strings awkward = {"-dash",       "sp ace",     "quo'te",       "dq\"uote",
                           "br[1]",       "st*ar",      "que?stion",    "per%cent",
                           "co:lon",      "%n%",        "\xC3\xA4rger", "tab\there",
                           "back\\slash", "semi;colon", "$(x)",         "new\nline"};
  int n = 0;
  for (const auto& [source, size] : goodSources) {
    const std::string name = "good" + std::to_string(n++) + ".pcd";
    good[input(name, source)] = size;
  }
  for (const auto& stem : awkward) good[input(stem + ".pcd", Sample("kodim23.pcd"))] = {768, 512};
  good[input(
      fs::path(Hostile("-awkward name 'single' \"double\" [1] * ? % : .pcd")).filename().string(),
      Hostile("-awkward name 'single' \"double\" [1] * ? % : .pcd"))] = {768, 512};

  std::set<std::string> bad;
  for (const char* name :
       {"empty.pcd", "png-renamed.pcd", "svg-external.pcd", "mvg-drawing.pcd", "postscript.pcd",
        "random-bytes.pcd", "no-signature.pcd", "one-sector.pcd", "truncated-in-header.pcd"})
    bad.insert(input(std::string("bad-") + name, Hostile(name)));
  // More damage: Image Pacs cut at odd places below Base (before the
  // header ends, before Base/16 is whole, after it, one byte short of
  // Base), and junk.
  const std::string base = ReadFile(Sample("kodim03.pcd"));
  for (std::size_t cut : {1u, 2047u, 2055u, 3591u, 100000u, 786431u}) {
    const std::string path = scratch_ / ("in/cut" + std::to_string(cut) + ".pcd");
    WriteFile(path, base.substr(0, cut));
    if (cut == 100000u)
      good[path] = {192, 128};
    else if (cut == 786431u)
      good[path] = {384, 256};
    else
      bad.insert(path);
  }
  // Junk behind the signature holds plain levels of noise as far as it
  // reaches; junk without it is no Image Pac.
  std::set<std::string> signedJunk;
  std::string noise(900000, '\0');
  std::uint32_t x = 12345;
  for (auto& c : noise) c = static_cast<char>((x = x * 1103515245u + 12345u) >> 24);
  for (int i = 0; good.size() + bad.size() + signedJunk.size() < 50; ++i) {
    const std::string path = scratch_ / ("in/noise" + std::to_string(i) + ".pcd");
    // Some carry the signature, so only the length and the decoders' own
    // checks stand between them and a picture.
    std::string bytes = noise.substr(0, 1000 + 50000 * i);
    if (i % 2 == 1 && bytes.size() > 0x810) bytes.replace(0x800, 7, "PCD_IPI");
    WriteFile(path, bytes);
    (i % 2 == 1 ? signedJunk : bad).insert(path);
  }
  ASSERT_EQ(good.size() + bad.size() + signedJunk.size(), 50u);
  for (const auto& [path, size] : good) context_.inputs.add(path, "");
  for (const auto& path : bad) context_.inputs.add(path, "");
  for (const auto& path : signedJunk) context_.inputs.add(path, "");

  run();

  EXPECT_EQ(context_.progress.processedCount, 50);
  for (const auto& [path, size] : good) {
    SCOPED_TRACE(path);
    EXPECT_EQ(SizeOf(out(fs::path(path).stem().string() + ".jpg")), size);
  }
  for (const auto& path : bad)
    EXPECT_FALSE(fs::exists(out(fs::path(path).stem().string() + ".jpg"))) << path;
  std::size_t junkPictures = 0;
  for (const auto& path : signedJunk) {
    const auto size = SizeOf(out(fs::path(path).stem().string() + ".jpg"));
    if (size == std::make_pair(0u, 0u)) continue;
    ++junkPictures;
    EXPECT_TRUE(size == std::make_pair(192u, 128u) || size == std::make_pair(384u, 256u) ||
                size == std::make_pair(768u, 512u))
        << path << ": a level's size, at most as much as the junk holds";
  }
  EXPECT_EQ(context_.progress.convertedCount,
            static_cast<std::int32_t>(good.size() + junkPictures));
  EXPECT_EQ(ListTree(scratch_ / "out").size(), good.size() + junkPictures)
      << "only the outputs are in the output folder";
  EXPECT_TRUE(ListTree(scratch_ / "tmp").empty()) << "the run folder is gone";
}

}  // namespace
}  // namespace lumafold
