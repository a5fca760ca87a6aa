// Faults on the output side of a batch: a folder that cannot be written, a
// folder that disappears while the batch runs, a disk that fills up, and
// output names that try to leave the output folder. In every case the batch
// ends normally with the right status, and nothing partial is left behind
// (no temporary file in the output folder, nothing in $TMPDIR).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "faults_support.h"
#include "run_binary.h"

namespace lumafold {
namespace {

namespace fs = std::filesystem;
using namespace lumafold::testing;

void ExpectEveryFile(const FaultRun& run, std::size_t count, const std::string& outcome) {
  const auto traced = TraceOutcomes(run.out);
  EXPECT_EQ(traced.size(), count) << Dump(run);
  for (const auto& [path, file] : traced) EXPECT_EQ(file.outcome, outcome) << path;
}

TEST(OutputFaults, ReadOnlyOutputFolderFailsEveryFileAndLeavesNothing) {
  FaultScratch scratch;
  CopySample("kodim01.pcd", scratch.in());
  CopySample("kodim13-4base.pcd", scratch.in());
  FaultOptions options = OptionsFor(scratch);
  const ReadOnlyFolder readOnly(scratch, scratch.out(), options);
  if (readOnly.way().empty()) GTEST_SKIP() << "no way to make a folder read-only for root here";

  const FaultRun run = RunLumafoldUnder(
      {"-i", scratch.in() + "/", "-o", scratch.out() + "/", "-c", "png", "-d", "-q"}, options);

  EXPECT_EQ(run.status, 1) << "read-only by " << readOnly.way() << "\n" << Dump(run);
  EXPECT_EQ(run.signal, 0);
  ExpectEveryFile(run, 2, "Not OK");
  for (const auto& [path, file] : TraceOutcomes(run.out))
    EXPECT_TRUE(file.reason.starts_with("cannot create a file in " + scratch.out() + "/: "))
        << path << ": " << file.reason;
  EXPECT_NE(run.out.find("Conversion stopped"), std::string::npos) << Dump(run);
  EXPECT_EQ(FolderNames(scratch.out()), Names{});
  EXPECT_EQ(FolderNames(scratch.tmp()), Names{});
}

TEST(OutputFaults, OutputFolderRemovedDuringTheRunFailsTheRestWithoutRecreatingIt) {
  FaultScratch scratch;
  CopySamples(kThreeSamples, scratch.in());
  // The decoder of the first file removes the output folder, then decodes.
  const std::string standIn = scratch.path() + "/remove-output.sh";
  WriteScript(standIn, "rm -rf '" + scratch.out() + "'\nexec convert \"$@\"\n");
  FaultOptions options = WithConverter(scratch, standIn);

  const FaultRun run = RunLumafoldUnder({kExternalDecoder, "-i", scratch.in() + "/", "-o",
                                         scratch.out() + "/", "-c", "jpg", "-d", "-q"},
                                        options);

  EXPECT_EQ(run.status, 1) << Dump(run);
  ExpectEveryFile(run, 3, "Not OK");
  EXPECT_FALSE(fs::exists(scratch.out()));
  EXPECT_EQ(FolderNames(scratch.tmp()), Names{});
}

// The decoder of the first file moves the output folder away and puts a
// link to another folder in its place: the run keeps writing into the
// folder it opened, never through the link.
TEST(OutputFaults, OutputFolderSwappedForALinkDuringTheRunIsNotWrittenThrough) {
  FaultScratch scratch;
  CopySamples(kThreeSamples, scratch.in());
  const std::string moved = scratch.path() + "/moved", elsewhere = scratch.path() + "/elsewhere";
  fs::create_directory(elsewhere);
  const std::string standIn = scratch.path() + "/swap-output.sh";
  WriteScript(standIn, "if [ ! -L '" + scratch.out() + "' ]; then mv '" + scratch.out() + "' '" +
                           moved + "' && ln -s '" + elsewhere + "' '" + scratch.out() +
                           "'; fi\nexec convert \"$@\"\n");
  const FaultRun run = RunLumafoldUnder(
      // One converter at a time: two would race to swap the folder.
      {kExternalDecoder, "-i", scratch.in() + "/", "-o", scratch.out() + "/", "-c", "jpg", "-q",
       "--jobs=1"},
      WithConverter(scratch, standIn));
  EXPECT_EQ(run.status, 0) << Dump(run);
  EXPECT_EQ(FolderNames(moved).size(), 3u) << Dump(run);
  EXPECT_EQ(FolderNames(elsewhere), Names{});
}

// A file-size limit makes every write beyond it fail (EFBIG) as a full disk
// does. The Base image is 1,179,702 bytes as BMP, so the decoder's
// intermediate file never fits; the JPEG output (about 260 KB) fits under
// the larger limit, none of the outputs below fits under the smaller one.
constexpr long long kRoomForJpeg = 1000000;
constexpr long long kRoomForNothing = 200000;

struct FullDiskCase {
  const char* name;
  const char* extension;
  std::vector<std::string> options;
};

class FullDisk : public ::testing::TestWithParam<FullDiskCase> {};

// Each writer family: FreeImage, the exact colour table BMP, DevIL, jxrlib,
// and the portable pixmap written in pieces.
TEST_P(FullDisk, FailsTheFileAndKeepsTheExistingOutputWhole) {
  const FullDiskCase& param = GetParam();
  FaultScratch scratch;
  CopySample("kodim01.pcd", scratch.in());
  const std::string existing = scratch.out() + "/kodim01." + param.extension;
  const std::string precious = "the previous conversion, which must survive\n";
  WriteText(existing, precious);
  FaultOptions options = OptionsFor(scratch);
  options.fileSizeLimit = kRoomForNothing;

  std::vector<std::string> arguments = {
      "-i", scratch.in() + "/kodim01.pcd", "-o", scratch.out() + "/", "-c", param.extension, "-d",
      "-q"};
  arguments.insert(arguments.end(), param.options.begin(), param.options.end());
  const FaultRun run = RunLumafoldUnder(arguments, options);

  // Ended by its own exit, not by SIGXFSZ half-way through a write.
  EXPECT_EQ(run.signal, 0) << Dump(run);
  EXPECT_EQ(run.status, 1) << Dump(run);
  ExpectEveryFile(run, 1, "Not OK");
  EXPECT_EQ(ReadText(existing), precious);
  EXPECT_EQ(FolderNames(scratch.out()), Names{"kodim01." + std::string(param.extension)});
  EXPECT_EQ(FolderNames(scratch.tmp()), Names{});
}

INSTANTIATE_TEST_SUITE_P(
    Writers, FullDisk,
    ::testing::Values(
        FullDiskCase{"FreeImageBmp", "bmp", {}}, FullDiskCase{"FreeImagePng", "png", {}},
        FullDiskCase{"ExactColourTableBmp", "bmp", {"--bmp-bpp=8", "--bmp-color-table=exact"}},
        FullDiskCase{"DevilPsd", "psd", {}}, FullDiskCase{"DevilDds", "dds", {}},
        FullDiskCase{"JxrLib", "jxr", {}}, FullDiskCase{"OwnPixmapInPieces", "ppm", {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(OutputFaults, FullDiskForTheIntermediateFileStillGivesAnUndamagedPicture) {
  // The external decoder's intermediate file does not fit, the JPEG output
  // does: the file falls back to FreeImage's loader rather than to a
  // cut-off intermediate file.
  FaultScratch scratch;
  CopySample("kodim01.pcd", scratch.in());
  FaultOptions limited = OptionsFor(scratch);
  limited.fileSizeLimit = kRoomForJpeg;
  const FaultRun run = RunLumafoldUnder({kExternalDecoder, "-i", scratch.in() + "/kodim01.pcd",
                                         "-o", scratch.out() + "/", "-c", "jpg", "-d", "-q"},
                                        limited);
  ASSERT_EQ(run.status, 0) << Dump(run);
  ExpectEveryFile(run, 1, "OK");

  // The same file through FreeImage's loader alone, without a limit.
  FaultScratch reference;
  FaultOptions builtIn = WithConverter(reference, reference.path() + "/no-such-converter");
  const FaultRun plain = RunLumafoldUnder({kExternalDecoder, "-i", scratch.in() + "/kodim01.pcd",
                                           "-o", reference.out() + "/", "-c", "jpg", "-q"},
                                          builtIn);
  ASSERT_EQ(plain.status, 0) << Dump(plain);

  EXPECT_EQ(DifferentPixels(scratch.out() + "/kodim01.jpg", reference.out() + "/kodim01.jpg"), 0);
  EXPECT_EQ(FolderNames(scratch.tmp()), Names{});
}

// --- names that escape the output folder ----------------------------------

struct EscapeCase {
  const char* name;
  const char* mask;  // @HOME@ is the run's home folder
};

class EscapingNames : public ::testing::TestWithParam<EscapeCase> {};

TEST_P(EscapingNames, FailTheFileWithAReasonAndWriteNothingOutside) {
  FaultScratch scratch;
  CopySample("kodim01.pcd", scratch.in());
  const std::string bashrc = scratch.home() + "/.bashrc";
  const std::string shellSetup = "# the user's own shell set-up\n";
  WriteText(bashrc, shellSetup);
  std::string mask = GetParam().mask;
  if (const auto at = mask.find("@HOME@"); at != std::string::npos)
    mask.replace(at, 6, scratch.home());

  // A profile file from someone else: the mask is all it sets.
  const std::string profile = scratch.path() + "/received.profile";
  WriteText(profile, "[CLI]\r\n--filename-mask = " + mask + "\r\n");
  const FaultRun run =
      RunLumafoldUnder({"-i", scratch.in() + "/kodim01.pcd", "-o", scratch.out() + "/", "-c", "jpg",
                        "-d", "-q", "--profile=" + profile},
                       OptionsFor(scratch));

  EXPECT_EQ(run.status, 1) << Dump(run);
  const auto traced = TraceOutcomes(run.out);
  ASSERT_EQ(traced.size(), 1u) << Dump(run);
  EXPECT_EQ(traced.begin()->second.outcome, "Not OK");
  EXPECT_NE(traced.begin()->second.reason.find("leaves the output folder"), std::string::npos)
      << Dump(run);
  EXPECT_EQ(ReadText(bashrc), shellSetup);
  EXPECT_EQ(FolderNames(scratch.home()), (Names{".bashrc", ".run"}));
  EXPECT_EQ(FolderNames(scratch.out()), Names{});
  EXPECT_EQ(FolderNames(scratch.path()), (Names{"home", "in", "out", "received.profile", "tmp"}));
}

INSTANTIATE_TEST_SUITE_P(Masks, EscapingNames,
                         ::testing::Values(EscapeCase{"AbsoluteIntoHome", "@HOME@/.bashrc"},
                                           EscapeCase{"ClimbingIntoHome", "../home/.bashrc"},
                                           EscapeCase{"ClimbingThroughASubfolder",
                                                      "in/../../home/.bashrc"},
                                           EscapeCase{"ClimbingWithTokens", "../%filename%.%ext%"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(EscapingNames, ASlashIntoAnExistingSubfolderStillWorks) {
  FaultScratch scratch;
  CopySample("kodim01.pcd", scratch.in());
  fs::create_directory(scratch.out() + "/by-roll");
  const FaultRun run =
      RunLumafoldUnder({"-i", scratch.in() + "/kodim01.pcd", "-o", scratch.out() + "/", "-c", "jpg",
                        "-d", "-q", "--filename-mask=by-roll/./%filename[u]%.%ext%"},
                       OptionsFor(scratch));
  EXPECT_EQ(run.status, 0) << Dump(run);
  ExpectEveryFile(run, 1, "OK");
  EXPECT_EQ(FolderNames(scratch.out() + "/by-roll"), Names{"KODIM01.jpg"});
  EXPECT_EQ(IdentifySize(scratch.out() + "/by-roll/KODIM01.jpg"), "768 512");
}

TEST(EscapingNames, AnInputNamedLikeTheParentFolderCannotClimbThroughTheMask) {
  // "...pcd" has the name ".." once its extension is gone.
  FaultScratch scratch;
  CopySample("kodim01.pcd", scratch.in(), "...pcd");
  const FaultRun run =
      RunLumafoldUnder({"-i", scratch.in() + "/...pcd", "-o", scratch.out() + "/", "-c", "jpg",
                        "-d", "-q", "--filename-mask=%filename%/escaped.%ext%"},
                       OptionsFor(scratch));
  EXPECT_EQ(run.status, 1) << Dump(run);
  ExpectEveryFile(run, 1, "Not OK");
  EXPECT_FALSE(fs::exists(scratch.path() + "/escaped.jpg"));
  EXPECT_EQ(FolderNames(scratch.out()), Names{});
}

TEST(EscapingNames, AMaskThatNamesAFolderFailsWithAReason) {
  // "." and "by-roll/.." stay inside but name the output folder itself.
  for (const char* mask : {".", "by-roll/.."}) {
    FaultScratch scratch;
    CopySample("kodim01.pcd", scratch.in());
    fs::create_directory(scratch.out() + "/by-roll");
    const FaultRun run =
        RunLumafoldUnder({"-i", scratch.in() + "/kodim01.pcd", "-o", scratch.out() + "/", "-c",
                          "jpg", "-d", "-q", std::string("--filename-mask=") + mask},
                         OptionsFor(scratch));
    EXPECT_EQ(run.status, 1) << Dump(run);
    const auto traced = TraceOutcomes(run.out);
    ASSERT_EQ(traced.size(), 1u) << Dump(run);
    EXPECT_EQ(traced.begin()->second.outcome, "Not OK");
    EXPECT_NE(traced.begin()->second.reason.find("gives no file name"), std::string::npos)
        << mask << "\n"
        << Dump(run);
    EXPECT_EQ(FolderNames(scratch.out()), Names{"by-roll"});
    EXPECT_EQ(FolderNames(scratch.out() + "/by-roll"), Names{});
  }
}

// --- outputs that would destroy inputs --------------------------------------

std::string Bytes(const std::string& path) { return ReadText(path); }

class InputsAsOutputs : public ::testing::TestWithParam<int> {};  // --jobs

TEST_P(InputsAsOutputs, AMaskThatNamesTheInputsIsRefusedFileByFile) {
  FaultScratch scratch;
  CopySamples({"kodim01.pcd", "kodim03.pcd"}, scratch.in());
  const std::string original = Bytes(scratch.in() + "/kodim01.pcd");
  const std::string jobs = "--jobs=" + std::to_string(GetParam());
  // Every output onto its own input; then every output onto one input
  // that is converted after, or before, the other file.
  for (const char* mask : {"%filename%.pcd", "kodim03.pcd", "KODIM01.PCD"}) {
    SCOPED_TRACE(mask);
    const FaultRun run = RunLumafoldUnder({"-i", scratch.in() + "/", "-c", "jpg", "-d", "-q", jobs,
                                           std::string("--filename-mask=") + mask},
                                          OptionsFor(scratch));
    EXPECT_EQ(run.status, 1) << Dump(run);
    const auto traced = TraceOutcomes(run.out);
    ASSERT_EQ(traced.size(), 2u) << Dump(run);
    for (const auto& [path, file] : traced) {
      EXPECT_EQ(file.outcome, "Not OK") << path;
      EXPECT_NE(file.reason.find("is an input of this run"), std::string::npos) << file.reason;
    }
    EXPECT_EQ(FolderNames(scratch.in()), (Names{"kodim01.pcd", "kodim03.pcd"}));
    EXPECT_EQ(Bytes(scratch.in() + "/kodim01.pcd"), original);
    EXPECT_EQ(Bytes(scratch.in() + "/kodim03.pcd"), Bytes(SamplesFolder() + "/kodim03.pcd"));
  }
}

TEST_P(InputsAsOutputs, LinksToInputsUnderTheOutputNameAreRefusedAndTheRestConverts) {
  FaultScratch scratch;
  CopySamples(kThreeSamples, scratch.in());
  // The output names already taken by a hard link and a symbolic link to
  // inputs of the run.
  ASSERT_EQ(
      ::link((scratch.in() + "/kodim01.pcd").c_str(), (scratch.out() + "/kodim01.jpg").c_str()), 0);
  fs::create_symlink(scratch.in() + "/kodim03.pcd", scratch.out() + "/kodim03.jpg");
  const FaultRun run = RunLumafoldUnder({"-i", scratch.in() + "/", "-o", scratch.out() + "/", "-c",
                                         "jpg", "-d", "-q", "--jobs=" + std::to_string(GetParam())},
                                        OptionsFor(scratch));

  EXPECT_EQ(run.status, 2) << Dump(run);
  const auto traced = TraceOutcomes(run.out);
  ASSERT_EQ(traced.size(), 3u) << Dump(run);
  EXPECT_EQ(traced.at(scratch.in() + "/kodim19.pcd").outcome, "OK");
  for (const char* refused : {"kodim01.pcd", "kodim03.pcd"}) {
    const auto& file = traced.at(scratch.in() + "/" + refused);
    EXPECT_EQ(file.outcome, "Not OK") << refused;
    EXPECT_EQ(file.reason, "the output name is an input of this run, which is left untouched: " +
                               scratch.in() + "/" + refused);
  }
  EXPECT_EQ(Bytes(scratch.in() + "/kodim01.pcd"), Bytes(SamplesFolder() + "/kodim01.pcd"));
  EXPECT_EQ(Bytes(scratch.in() + "/kodim03.pcd"), Bytes(SamplesFolder() + "/kodim03.pcd"));
  EXPECT_TRUE(fs::is_symlink(scratch.out() + "/kodim03.jpg"));
  EXPECT_EQ(IdentifySize(scratch.out() + "/kodim19.jpg"), "512 768");  // portrait
  EXPECT_EQ(FolderNames(scratch.out()), (Names{"kodim01.jpg", "kodim03.jpg", "kodim19.jpg"}));
}

INSTANTIATE_TEST_SUITE_P(Workers, InputsAsOutputs, ::testing::Values(1, 2),
                         [](const auto& info) { return "Jobs" + std::to_string(info.param); });

TEST(OutputFaults, TwoInputsWithOneOutputNameAreReportedAndTheLastWins) {
  FaultScratch scratch;
  fs::create_directories(scratch.in() + "/roll1");
  fs::create_directories(scratch.in() + "/roll2");
  CopySample("kodim01.pcd", scratch.in() + "/roll1", "x.pcd");
  CopySample("kodim03.pcd", scratch.in() + "/roll2", "x.pcd");
  CopySample("kodim19.pcd", scratch.in() + "/roll2", "y.pcd");
  const FaultRun run = RunLumafoldUnder(
      {"-i", scratch.in() + "/", "-o", scratch.out() + "/", "-c", "png", "-d", "--no-subfolders"},
      OptionsFor(scratch));

  EXPECT_EQ(run.status, 0) << Dump(run);
  EXPECT_NE(run.out.find("Files converted: 3 of 3"), std::string::npos) << Dump(run);
  EXPECT_EQ(FolderNames(scratch.out()), (Names{"x.png", "y.png"}));
  // The trace order is the input-set order: the second x.pcd is the one kept.
  std::vector<std::string> order;
  std::istringstream lines(run.out);
  for (std::string line; std::getline(lines, line);)
    if (line.starts_with("Processing: ") && line.ends_with("/x.pcd"))
      order.push_back(line.substr(12));
  ASSERT_EQ(order.size(), 2u) << Dump(run);
  const std::string expected = scratch.out() + "/x.png written twice: from " + order[0] +
                               " and then " + order[1] + "; the last one is kept\n";
  EXPECT_EQ(run.err, expected);
  const std::string kept = order[1].find("roll1") != std::string::npos ? "kodim01" : "kodim03";
  FaultScratch reference;
  CopySample(kept + ".pcd", reference.in(), "x.pcd");
  FaultOptions alone = OptionsFor(reference);
  ASSERT_EQ(
      RunLumafoldUnder(
          {"-i", reference.in() + "/x.pcd", "-o", reference.out() + "/", "-c", "png", "-q"}, alone)
          .status,
      0);
  EXPECT_EQ(DifferentPixels(scratch.out() + "/x.png", reference.out() + "/x.png"), 0);
}

// --- every failure says why ------------------------------------------------

TEST(OutputFaults, EveryNotOkCarriesItsReason) {
  FaultScratch scratch;
  CopySample("kodim01.pcd", scratch.in());
  // Not a Photo CD file at all, though named like one.
  WriteText(scratch.in() + "/notes.pcd", std::string(4096, 'n'));
  const std::string longName(300, 'n');
  const FaultRun run =
      RunLumafoldUnder({"-i", scratch.in() + "/", "-o", scratch.out() + "/", "-c", "jpg", "-d",
                        "-q", "--filename-mask=%filename%-" + longName + ".%ext%"},
                       OptionsFor(scratch));
  EXPECT_EQ(run.status, 1) << Dump(run);
  const auto traced = TraceOutcomes(run.out);
  ASSERT_EQ(traced.size(), 2u) << Dump(run);
  // In the built-in decoder's words ("not a Photo CD Image Pac (...)").
  EXPECT_TRUE(traced.at(scratch.in() + "/notes.pcd").reason.starts_with("not a Photo CD"))
      << traced.at(scratch.in() + "/notes.pcd").reason;
  const std::string& tooLong = traced.at(scratch.in() + "/kodim01.pcd").reason;
  EXPECT_TRUE(tooLong.starts_with("cannot be put in place as " + scratch.out() + "/kodim01-nnn"))
      << tooLong;
  EXPECT_TRUE(tooLong.ends_with(": File name too long")) << tooLong;
  EXPECT_EQ(FolderNames(scratch.out()), Names{});
  EXPECT_EQ(FolderNames(scratch.tmp()), Names{});
}

// A folder tree deeper than PATH_MAX, made and removed relative to open
// folders (std::filesystem cannot reach its bottom by path).
class DeepTree {
 public:
  DeepTree(const std::string& top, int levels, const std::string& fileAtBottom) : top_(top) {
    int fd = ::open(top.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (int level = 0; level < levels && fd >= 0; ++level) {
      ::mkdirat(fd, kLevel.c_str(), 0755);
      const int next = ::openat(fd, kLevel.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
      ::close(fd);
      fd = next;
    }
    if (fd < 0) return;
    const int file = ::openat(fd, "deep.pcd", O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    ok_ = file >= 0 && ::write(file, fileAtBottom.data(), fileAtBottom.size()) ==
                           static_cast<ssize_t>(fileAtBottom.size());
    if (file >= 0) ::close(file);
    ::close(fd);
  }
  ~DeepTree() {
    const int fd = ::open(top_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) Remove(fd);
  }
  bool ok() const { return ok_; }

 private:
  static inline const std::string kLevel = std::string(200, 'd');
  // Removes the chain of kLevel folders below `fd` (and closes it).
  static void Remove(int fd) {
    const int next = ::openat(fd, kLevel.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (next >= 0) {
      Remove(next);
      ::unlinkat(fd, kLevel.c_str(), AT_REMOVEDIR);
    } else {
      ::unlinkat(fd, "deep.pcd", 0);
    }
    ::close(fd);
  }
  std::string top_;
  bool ok_ = false;
};

TEST(OutputFaults, AnInputPathBeyondTheSystemLimitIsReportedAtImport) {
  FaultScratch scratch;
  CopySample("kodim01.pcd", scratch.in());
  const DeepTree tree(scratch.in(), 24, Bytes(SamplesFolder() + "/kodim03.pcd"));
  ASSERT_TRUE(tree.ok());
  const FaultRun run =
      RunLumafoldUnder({"-i", scratch.in() + "/", "-o", scratch.out() + "/", "-c", "jpg", "-q"},
                       OptionsFor(scratch));
  EXPECT_EQ(run.status, 0) << Dump(run);
  EXPECT_EQ(FolderNames(scratch.out()), Names{"kodim01.jpg"});
  // One line for the first path that cannot be reached; the walk stops there.
  EXPECT_TRUE(run.err.starts_with(scratch.in() + "/ddd")) << run.err;
  EXPECT_TRUE(run.err.ends_with(": File name too long, skipped\n")) << run.err;
  EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
}

// The image libraries' warnings (here libtiff's about the legacy Deflate
// code) are the trace's business: in the debug trace of their file, never
// on standard error.
TEST(OutputFaults, LibraryWarningsReachTheTraceNotTheTerminal) {
  FaultScratch scratch;
  CopySample("kodim13-4base.pcd", scratch.in());
  const std::vector<std::string> arguments = {
      "-i",   scratch.in() + "/",          "-o", scratch.out() + "/", "-c",
      "tiff", "--tiff-compression=deflate"};
  const FaultRun quiet = RunLumafoldUnder(arguments, OptionsFor(scratch));
  EXPECT_EQ(quiet.status, 0) << Dump(quiet);
  EXPECT_EQ(quiet.err, "");
  EXPECT_EQ(quiet.out.find("Deflate codec"), std::string::npos) << Dump(quiet);

  std::vector<std::string> debug = arguments;
  debug.push_back("-d");
  const FaultRun traced = RunLumafoldUnder(debug, OptionsFor(scratch));
  EXPECT_EQ(traced.status, 0) << Dump(traced);
  EXPECT_EQ(traced.err, "");
  const std::size_t warning = traced.out.find("\nTIFF: ");
  const std::size_t saving = traced.out.find("\nSaving As: ");
  ASSERT_NE(warning, std::string::npos) << Dump(traced);
  EXPECT_LT(warning, saving) << Dump(traced);
  EXPECT_NE(traced.out.find("legacy Deflate codec", warning), std::string::npos) << Dump(traced);
}

}  // namespace
}  // namespace lumafold
