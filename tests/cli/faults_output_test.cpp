// Faults on the output side of a batch: a folder that cannot be written, a
// folder that disappears while the batch runs, a disk that fills up, and
// output names that try to leave the output folder. In every case the batch
// ends normally with the right status, and nothing partial is left behind
// (no temporary file in the output folder, nothing in $TMPDIR).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "faults_support.h"

namespace lumafold {
namespace {

namespace fs = std::filesystem;
using testing::FaultOptions;
using testing::FaultRun;
using testing::FaultScratch;
using testing::FolderNames;
using testing::ReadText;
using testing::RunLumafoldUnder;
using testing::TraceOutcomes;
using testing::WriteText;

using Names = std::vector<std::string>;

std::string Dump(const FaultRun& run) { return "stdout:\n" + run.out + "stderr:\n" + run.err; }

FaultOptions OptionsFor(const FaultScratch& scratch) {
  FaultOptions options;
  options.environment = scratch.environment();
  return options;
}

void ExpectEveryFile(const FaultRun& run, std::size_t count, const std::string& outcome) {
  const auto traced = TraceOutcomes(run.out);
  EXPECT_EQ(traced.size(), count) << Dump(run);
  for (const auto& [path, file] : traced) EXPECT_EQ(file.outcome, outcome) << path;
}

TEST(OutputFaults, ReadOnlyOutputFolderFailsEveryFileAndLeavesNothing) {
  FaultScratch scratch;
  testing::CopySample("kodim01.pcd", scratch.in());
  testing::CopySample("kodim13-4base.pcd", scratch.in());
  FaultOptions options = OptionsFor(scratch);
  const testing::ReadOnlyFolder readOnly(scratch, scratch.out(), options);
  if (readOnly.way().empty()) GTEST_SKIP() << "no way to make a folder read-only for root here";

  const FaultRun run = RunLumafoldUnder(
      {"-i", scratch.in() + "/", "-o", scratch.out() + "/", "-c", "png", "-d", "-q"}, options);

  EXPECT_EQ(run.status, 1) << "read-only by " << readOnly.way() << "\n" << Dump(run);
  EXPECT_EQ(run.signal, 0);
  ExpectEveryFile(run, 2, "Not OK");
  EXPECT_NE(run.out.find("Conversion stopped"), std::string::npos) << Dump(run);
  EXPECT_EQ(FolderNames(scratch.out()), Names{});
  EXPECT_EQ(FolderNames(scratch.tmp()), Names{});
}

TEST(OutputFaults, OutputFolderRemovedDuringTheRunFailsTheRestWithoutRecreatingIt) {
  FaultScratch scratch;
  for (const char* name : {"kodim01.pcd", "kodim03.pcd", "kodim19.pcd"})
    testing::CopySample(name, scratch.in());
  // The decoder of the first file removes the output folder, then decodes.
  const std::string standIn = scratch.path() + "/remove-output.sh";
  testing::WriteScript(standIn, "rm -rf '" + scratch.out() + "'\nexec convert \"$@\"\n");
  FaultOptions options = OptionsFor(scratch);
  options.environment["LUMAFOLD_CONVERT"] = standIn;

  const FaultRun run = RunLumafoldUnder({"--pcd-decoder=external", "-i", scratch.in() + "/", "-o",
                                         scratch.out() + "/", "-c", "jpg", "-d", "-q"},
                                        options);

  EXPECT_EQ(run.status, 1) << Dump(run);
  ExpectEveryFile(run, 3, "Not OK");
  EXPECT_FALSE(fs::exists(scratch.out()));
  EXPECT_EQ(FolderNames(scratch.tmp()), Names{});
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

// Each writer family: FreeImage, the exact colour table BMP, DevIL, jxrlib.
TEST_P(FullDisk, FailsTheFileAndKeepsTheExistingOutputWhole) {
  const FullDiskCase& param = GetParam();
  FaultScratch scratch;
  testing::CopySample("kodim01.pcd", scratch.in());
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

INSTANTIATE_TEST_SUITE_P(Writers, FullDisk,
                         ::testing::Values(FullDiskCase{"FreeImageBmp", "bmp", {}},
                                           FullDiskCase{"FreeImagePng", "png", {}},
                                           FullDiskCase{"ExactColourTableBmp",
                                                        "bmp",
                                                        {"--bmp-bpp=8", "--bmp-color-table=exact"}},
                                           FullDiskCase{"DevilPsd", "psd", {}},
                                           FullDiskCase{"DevilDds", "dds", {}},
                                           FullDiskCase{"JxrLib", "jxr", {}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(OutputFaults, FullDiskForTheIntermediateFileStillGivesAnUndamagedPicture) {
  // The external decoder's intermediate file does not fit, the JPEG output
  // does: the file falls back to FreeImage's loader rather than to a
  // cut-off intermediate file.
  FaultScratch scratch;
  testing::CopySample("kodim01.pcd", scratch.in());
  FaultOptions limited = OptionsFor(scratch);
  limited.fileSizeLimit = kRoomForJpeg;
  const FaultRun run =
      RunLumafoldUnder({"--pcd-decoder=external", "-i", scratch.in() + "/kodim01.pcd", "-o",
                        scratch.out() + "/", "-c", "jpg", "-d", "-q"},
                       limited);
  ASSERT_EQ(run.status, 0) << Dump(run);
  ExpectEveryFile(run, 1, "OK");

  // The same file through FreeImage's loader alone, without a limit.
  FaultScratch reference;
  FaultOptions builtIn = OptionsFor(reference);
  builtIn.environment["LUMAFOLD_CONVERT"] = reference.path() + "/no-such-converter";
  const FaultRun plain =
      RunLumafoldUnder({"--pcd-decoder=external", "-i", scratch.in() + "/kodim01.pcd", "-o",
                        reference.out() + "/", "-c", "jpg", "-q"},
                       builtIn);
  ASSERT_EQ(plain.status, 0) << Dump(plain);

  EXPECT_EQ(
      testing::DifferentPixels(scratch.out() + "/kodim01.jpg", reference.out() + "/kodim01.jpg"),
      0);
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
  testing::CopySample("kodim01.pcd", scratch.in());
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
  testing::CopySample("kodim01.pcd", scratch.in());
  fs::create_directory(scratch.out() + "/by-roll");
  const FaultRun run =
      RunLumafoldUnder({"-i", scratch.in() + "/kodim01.pcd", "-o", scratch.out() + "/", "-c", "jpg",
                        "-d", "-q", "--filename-mask=by-roll/./%filename[u]%.%ext%"},
                       OptionsFor(scratch));
  EXPECT_EQ(run.status, 0) << Dump(run);
  ExpectEveryFile(run, 1, "OK");
  EXPECT_EQ(FolderNames(scratch.out() + "/by-roll"), Names{"KODIM01.jpg"});
  EXPECT_EQ(testing::IdentifySize(scratch.out() + "/by-roll/KODIM01.jpg"), "768 512");
}

TEST(EscapingNames, AnInputNamedLikeTheParentFolderCannotClimbThroughTheMask) {
  // "...pcd" has the name ".." once its extension is gone.
  FaultScratch scratch;
  testing::CopySample("kodim01.pcd", scratch.in(), "...pcd");
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
    testing::CopySample("kodim01.pcd", scratch.in());
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

// The image libraries' warnings (here libtiff's about the legacy Deflate
// code) are the trace's business: in the debug trace of their file, never
// on standard error.
TEST(OutputFaults, LibraryWarningsReachTheTraceNotTheTerminal) {
  FaultScratch scratch;
  testing::CopySample("kodim13-4base.pcd", scratch.in());
  const std::vector<std::string> arguments = {"-i", scratch.in() + "/", "-o", scratch.out() + "/",
                                              "-c", "tiff", "--tiff-compression=deflate"};
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
