// Faults on the input side of the external decoder (chosen with
// --pcd-decoder=external): a converter that hangs, one that crashes after
// writing its intermediate BMP (whole or half), and inputs that vanish between the import
// and their conversion. The stand-in converters are shell scripts that run
// the real ImageMagick `convert` around the fault.
#include <gtest/gtest.h>
#include <signal.h>

#include <cerrno>
#include <filesystem>
#include <sstream>

#include "faults_support.h"

namespace lumafold {
namespace {

namespace fs = std::filesystem;
using namespace lumafold::testing;

// The same input converted with FreeImage's loader alone (no converter
// can be started), as the reference for what a fallback must give.
std::string FreeImageReference(const FaultScratch& scratch, const std::string& input,
                               const std::string& extension) {
  const std::string folder = scratch.path() + "/reference";
  fs::create_directory(folder);
  FaultOptions options = WithConverter(scratch, scratch.path() + "/no-such-converter");
  options.environment["TMPDIR"] = folder;
  const FaultRun run = RunLumafoldUnder(
      {kExternalDecoder, "-i", input, "-o", folder + "/", "-c", extension, "-q"}, options);
  EXPECT_EQ(run.status, 0) << Dump(run);
  return folder + "/" + fs::path(input).stem().string() + "." + extension;
}

TEST(DecoderFaults, AHangingConverterIsKilledAtItsTimeLimitAndTheBatchGoesOn) {
  FaultScratch scratch;
  CopySample("kodim01.pcd", scratch.in());
  CopySample("kodim13-4base.pcd", scratch.in());
  // Records its process id, then never ends on its own.
  const std::string pids = scratch.path() + "/pids";
  const std::string standIn = scratch.path() + "/hang.sh";
  WriteScript(standIn, "echo $$ >> '" + pids + "'\nexec sleep 600\n");
  FaultOptions options = WithConverter(scratch, standIn);
  options.environment["LUMAFOLD_CONVERT_TIMEOUT"] = "2";

  const FaultRun run = RunLumafoldUnder({kExternalDecoder, "-i", scratch.in() + "/", "-o",
                                         scratch.out() + "/", "-c", "png", "-d", "-q"},
                                        options);

  // One converter run per file: once killed, the smaller sub-images are not
  // tried, and the file goes to FreeImage's loader.
  ASSERT_FALSE(run.timedOut) << Dump(run);
  EXPECT_LT(run.seconds, 2 * 2 + 20.0);
  std::istringstream started(ReadText(pids));
  int count = 0;
  for (pid_t pid; started >> pid; ++count)
    EXPECT_TRUE(::kill(pid, 0) != 0 && errno == ESRCH) << "converter " << pid << " still runs";
  EXPECT_EQ(count, 2);

  // What FreeImage's loader gives: the Base image, also of the 4Base file.
  EXPECT_EQ(run.status, 0) << Dump(run);
  const auto traced = TraceOutcomes(run.out);
  EXPECT_EQ(traced.size(), 2u) << Dump(run);
  for (const auto& [path, file] : traced) EXPECT_EQ(file.outcome, "OK") << path;
  EXPECT_EQ(IdentifySize(scratch.out() + "/kodim13-4base.png"), "768 512");
  EXPECT_EQ(DifferentPixels(scratch.out() + "/kodim01.png",
                            FreeImageReference(scratch, scratch.in() + "/kodim01.pcd", "png")),
            0);
  EXPECT_EQ(FolderNames(scratch.tmp()), Names{});
}

// The stand-in's last parameter is "bmp3:NAME", relative to its working folder.
constexpr const char* kLastParameter = "eval \"last=\\${$#}\"\nbmp=${last#bmp3:}\n";

TEST(DecoderFaults, AConverterThatCrashesHalfWayThroughItsBitmapGivesNoGarbage) {
  FaultScratch scratch;
  CopySample("kodim01.pcd", scratch.in());
  const std::string standIn = scratch.path() + "/crash-half-way.sh";
  WriteScript(standIn, std::string(kLastParameter) +
                           "convert \"$@\"\n"
                           "truncate -s 600000 \"$bmp\"\n"
                           "kill -SEGV $$\n");
  const FaultRun run = RunLumafoldUnder({kExternalDecoder, "-i", scratch.in() + "/kodim01.pcd",
                                         "-o", scratch.out() + "/", "-c", "png", "-d", "-q"},
                                        WithConverter(scratch, standIn));

  // The cut-off BMP is refused; the file comes from FreeImage's loader,
  // pixel for pixel, instead of from half a picture and garbage.
  EXPECT_EQ(run.status, 0) << Dump(run);
  EXPECT_EQ(DifferentPixels(scratch.out() + "/kodim01.png",
                            FreeImageReference(scratch, scratch.in() + "/kodim01.pcd", "png")),
            0);
  EXPECT_EQ(FolderNames(scratch.tmp()), Names{});
  EXPECT_EQ(FolderNames(scratch.out()), Names{"kodim01.png"});
}

TEST(DecoderFaults, AConverterThatCrashesAfterAWholeBitmapStillGivesTheFullResolution) {
  // The exit status says nothing about the picture (ImageMagick exits 1 for
  // good 16Base files); a whole BMP of the right size is used.
  FaultScratch scratch;
  CopySample("kodim13-4base.pcd", scratch.in());
  const std::string standIn = scratch.path() + "/crash-after.sh";
  WriteScript(standIn, "convert \"$@\"\nkill -SEGV $$\n");
  const FaultRun run =
      RunLumafoldUnder({kExternalDecoder, "-i", scratch.in() + "/kodim13-4base.pcd", "-o",
                        scratch.out() + "/", "-c", "png", "-d", "-q"},
                       WithConverter(scratch, standIn));
  EXPECT_EQ(run.status, 0) << Dump(run);
  EXPECT_EQ(IdentifySize(scratch.out() + "/kodim13-4base.png"), "1536 1024");
  EXPECT_EQ(FolderNames(scratch.tmp()), Names{});
}

TEST(DecoderFaults, InputsRemovedAfterTheImportFailOneByOneAndTheRestConverts) {
  FaultScratch scratch;
  CopySamples(kThreeSamples, scratch.in());
  // While the first file decodes, every input disappears (one file at a
  // time, so that no other file is in hand by then).
  const std::string standIn = scratch.path() + "/remove-inputs.sh";
  WriteScript(standIn,
              "convert \"$@\"; status=$?\nrm -f '" + scratch.in() + "'/*.pcd\nexit $status\n");
  const FaultRun run = RunLumafoldUnder({kExternalDecoder, "-i", scratch.in() + "/", "-o",
                                         scratch.out() + "/", "-c", "jpg", "-d", "--jobs=1"},
                                        WithConverter(scratch, standIn));

  EXPECT_EQ(run.status, 2) << Dump(run);
  const auto traced = TraceOutcomes(run.out);
  ASSERT_EQ(traced.size(), 3u) << Dump(run);
  std::vector<std::string> converted;
  for (const auto& [path, file] : traced)
    if (file.outcome == "OK") converted.push_back(fs::path(path).stem().string() + ".jpg");
  ASSERT_EQ(converted.size(), 1u) << Dump(run);
  EXPECT_EQ(FolderNames(scratch.out()), converted);
  EXPECT_NE(run.out.find("Files converted: 1 of 3"), std::string::npos) << Dump(run);
  EXPECT_EQ(FolderNames(scratch.tmp()), Names{});
}

// --- inputs that are no longer files ----------------------------------------

TEST(DecoderFaults, FifosFoldersAndDevicesInPlaceOfAnInputFailWithoutWaiting) {
  // Each kind of non-file under an input's name, swapped in after the
  // import by the converter run of the file before it (one at a time).
  for (const char* kind : {"fifo", "folder", "device"}) {
    SCOPED_TRACE(kind);
    FaultScratch scratch;
    CopySamples({"kodim01.pcd", "kodim03.pcd"}, scratch.in());
    const std::string swap = std::string(kind) == "fifo"     ? "mkfifo \"$f\""
                             : std::string(kind) == "folder" ? "mkdir \"$f\""
                                                             : "ln -s /dev/zero \"$f\"";
    // Only the first file's converter swaps; it swaps every other input
    // (its own is open as descriptor 3).
    const std::string standIn = scratch.path() + "/swap.sh";
    WriteScript(standIn,
                "case \"$4\" in pcd:1-*)\n"
                "  for f in '" +
                    scratch.in() +
                    "'/*.pcd; do\n"
                    "    cmp -s \"$f\" /proc/self/fd/3 && continue\n"
                    "    rm -f \"$f\"; " +
                    swap +
                    "\n"
                    "  done;;\nesac\nexec convert \"$@\"\n");
    const FaultRun run = RunLumafoldUnder({"-i", scratch.in() + "/", "-o", scratch.out() + "/",
                                           "-c", "png", kExternalDecoder, "-d", "-q", "--jobs=1"},
                                          WithConverter(scratch, standIn));
    ASSERT_FALSE(run.timedOut) << Dump(run);
    EXPECT_EQ(run.status, 2) << Dump(run);
    const auto traced = TraceOutcomes(run.out);
    ASSERT_EQ(traced.size(), 2u) << Dump(run);
    int failed = 0;
    for (const auto& [path, file] : traced) {
      if (file.outcome != "Not OK") continue;
      ++failed;
      EXPECT_EQ(file.reason, std::string("is a ") + (std::string(kind) == "fifo" ? "FIFO" : kind) +
                                 ", not a file")
          << path;
    }
    EXPECT_EQ(failed, 1) << Dump(run);
    EXPECT_EQ(FolderNames(scratch.out()).size(), 1u);
    EXPECT_EQ(FolderNames(scratch.tmp()), Names{});
  }
}

TEST(DecoderFaults, NoDecoderWaitsOnAFifoSwappedInWhileTheConverterStarts) {
  // The converter's input link leads to the descriptor the decoder checked,
  // never to whatever bears the name by the time the converter opens it.
  // ImageMagick's path policy refuses a link to a file that is gone, so the
  // file comes from the fallback loader, from the checked descriptor too.
  FaultScratch scratch;
  CopySample("kodim13-4base.pcd", scratch.in());
  const std::string input = scratch.in() + "/kodim13-4base.pcd";
  const std::string standIn = scratch.path() + "/swap-self.sh";
  WriteScript(standIn, "rm -f '" + input + "'; mkfifo '" + input + "'\nexec convert \"$@\"\n");
  FaultOptions options = WithConverter(scratch, standIn);
  options.timeoutSeconds = 60;
  const FaultRun run = RunLumafoldUnder(
      {"-i", input, "-o", scratch.out() + "/", "-c", "png", kExternalDecoder, "-d", "-q"}, options);
  ASSERT_FALSE(run.timedOut) << Dump(run);
  EXPECT_EQ(run.status, 0) << Dump(run);
  const std::string size = IdentifySize(scratch.out() + "/kodim13-4base.png");
  if (size == "768 512")
    EXPECT_NE(run.err.find(": decoded at Base by the fallback loader: "), std::string::npos);
  else
    EXPECT_EQ(size, "1536 1024");
  EXPECT_EQ(FolderNames(scratch.tmp()), Names{});
}

// --- the fallback loader ---------------------------------------------------

TEST(DecoderFaults, TheFallbackLoaderIsAnnouncedAndNeverReplacesAnExistingOutput) {
  FaultScratch scratch;
  CopySample("kodim13-4base.pcd", scratch.in());
  const std::string input = scratch.in() + "/kodim13-4base.pcd";
  const std::string output = scratch.out() + "/kodim13-4base.png";

  // No converter: the fallback loader gives the Base picture, and says so.
  FaultOptions missing = WithConverter(scratch, scratch.path() + "/no-such-converter");
  FaultRun run = RunLumafoldUnder(
      {"-i", input, "-o", scratch.out() + "/", "-c", "png", kExternalDecoder, "-d", "-q"}, missing);
  EXPECT_EQ(run.status, 0) << Dump(run);
  const std::string note = "decoded at Base by the fallback loader: the converter \"" +
                           scratch.path() + "/no-such-converter\" could not be started";
  EXPECT_NE(run.out.find("\n" + note + "\nSaving As: " + output + "\nOK\n"), std::string::npos)
      << Dump(run);
  EXPECT_EQ(run.err, input + ": " + note + "\n");
  EXPECT_EQ(IdentifySize(output), "768 512");

  // The real converter replaces that with the full picture...
  run = RunLumafoldUnder(
      {"-i", input, "-o", scratch.out() + "/", "-c", "png", kExternalDecoder, "-q"},
      OptionsFor(scratch));
  EXPECT_EQ(run.status, 0) << Dump(run);
  ASSERT_EQ(IdentifySize(output), "1536 1024");
  const std::string good = ReadText(output);

  // ...which a later fallback result (a converter that hangs) never replaces,
  // whether one file or several are converted at once.
  const std::string hang = scratch.path() + "/hang.sh";
  WriteScript(hang, "exec sleep 600\n");
  for (const char* jobs : {"--jobs=1", "--jobs=2"}) {
    SCOPED_TRACE(jobs);
    CopySample("kodim01.pcd", scratch.in());
    FaultOptions hanging = WithConverter(scratch, hang);
    hanging.environment["LUMAFOLD_CONVERT_TIMEOUT"] = "1";
    run = RunLumafoldUnder({"-i", scratch.in() + "/", "-o", scratch.out() + "/", "-c", "png",
                            kExternalDecoder, "-d", "-q", jobs},
                           hanging);
    EXPECT_EQ(run.status, 2) << Dump(run);
    const auto traced = TraceOutcomes(run.out);
    EXPECT_EQ(traced.at(input).outcome, "Not OK") << Dump(run);
    EXPECT_EQ(traced.at(input).reason, "the existing " + output +
                                           " is kept: the fallback loader's Base picture does not "
                                           "replace it");
    EXPECT_NE(run.err.find(input + ": decoded at Base by the fallback loader: the converter did "
                                   "not end within 1 s and was killed\n"),
              std::string::npos)
        << Dump(run);
    EXPECT_TRUE(ReadText(output) == good) << "the full picture was replaced";
    EXPECT_EQ(FolderNames(scratch.out()), (Names{"kodim01.png", "kodim13-4base.png"}));
    std::filesystem::remove(scratch.out() + "/kodim01.png");
  }
  EXPECT_EQ(FolderNames(scratch.tmp()), Names{});
}

TEST(DecoderFaults, AnUnusableTemporaryFolderIsAnErrorBeforeAnyFile) {
  FaultScratch scratch;
  CopySample("kodim01.pcd", scratch.in());
  const std::string file = scratch.path() + "/a-file";
  WriteText(file, "x");
  for (const std::string& tmpdir : {scratch.path() + "/missing", file}) {
    SCOPED_TRACE(tmpdir);
    FaultOptions options = OptionsFor(scratch);
    options.environment["TMPDIR"] = tmpdir;
    const FaultRun run =
        RunLumafoldUnder({"-i", scratch.in() + "/kodim01.pcd", "-o", scratch.out() + "/", "-c",
                          "png", kExternalDecoder, "-q"},
                         options);
    EXPECT_EQ(run.status, 1) << Dump(run);
    EXPECT_TRUE(run.err.starts_with("Error: Invalid temporary folder (TMPDIR): " + tmpdir + ": "))
        << Dump(run);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(FolderNames(scratch.out()), Names{});
  }
}

}  // namespace
}  // namespace lumafold
