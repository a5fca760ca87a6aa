// The hostile corpus (tests/data/hostile/files, see its README) converted
// in one batch with good samples: the good and the damaged-but-decodable
// files convert at the level they really hold, the others fail with
// "Not OK", nothing crashes, and no temporary file remains. ImageMagick is
// only ever asked for its Photo CD coder: a vector drawing, an SVG or a
// PostScript file with a reference to a probe file never gets that file
// opened (watched with inotify).
#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "faults_support.h"

namespace lumafold {
namespace {

namespace fs = std::filesystem;
using namespace lumafold::testing;

// Where the corpus's SVG, MVG and PostScript files point.
constexpr const char* kProbeFolder = "/tmp/lumafold-hostile-probe";
constexpr const char* kProbe = "/tmp/lumafold-hostile-probe/probe.png";

std::string HostileFolder() { return std::string(LUMAFOLD_SOURCE_DIR) + "/tests/data/hostile"; }

// Counts every open or read of one file while it lives.
class FileWatch {
 public:
  explicit FileWatch(const std::string& path) : fd_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
    if (fd_ >= 0) watch_ = ::inotify_add_watch(fd_, path.c_str(), IN_OPEN | IN_ACCESS);
  }
  ~FileWatch() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileWatch(const FileWatch&) = delete;
  FileWatch& operator=(const FileWatch&) = delete;
  bool watching() const { return watch_ >= 0; }

  int events() const {
    alignas(inotify_event) char buffer[4096];
    int count = 0;
    for (;;) {
      const ssize_t got = ::read(fd_, buffer, sizeof buffer);
      if (got <= 0) return count;
      for (char* p = buffer; p < buffer + got;) {
        const auto* event = reinterpret_cast<const inotify_event*>(p);
        if (event->mask & (IN_OPEN | IN_ACCESS)) ++count;
        p += sizeof(inotify_event) + event->len;
      }
    }
  }

 private:
  int fd_;
  int watch_ = -1;
};

// An SVG with the external reference, padded into the shape of an Image Pac
// (the signature at 0x800, a whole Base image's length), so that it passes
// the header check and really reaches ImageMagick. Given without a coder
// prefix, ImageMagick reads it as the SVG it starts with and opens the
// probe; only the explicit "pcd:" keeps it a Photo CD.
void WriteSvgPolyglot(const std::string& path) {
  std::string svg = ReadText(HostileFolder() + "/files/svg-external.pcd");
  svg.erase(svg.rfind("</svg>"));
  // A plain path: this ImageMagick refuses "file://" references by policy,
  // but reads a plain one whenever its SVG coder runs.
  svg.replace(svg.find("file://"), 7, "");
  std::string data = svg + "<!--";
  data.resize(0x800, ' ');
  data += "PCD_IPI";
  const std::string tail = "--></svg>\n";
  data.resize(384 * 2048 + 2048 - tail.size(), ' ');
  WriteText(path, data + tail);
}

// The probe is shared by every copy of this test that runs at the same time
// (other build folders): made whole under a private name and linked into
// place only when missing, it is never replaced or opened by another copy.
void MakeProbe() {
  std::error_code ignored;
  fs::create_directories(kProbeFolder, ignored);
  if (fs::exists(kProbe)) return;
  const std::string own = std::string(kProbe) + "." + std::to_string(::getpid());
  WriteText(own, ReadText(HostileFolder() + "/files/png-renamed.pcd"));
  (void)::link(own.c_str(), kProbe);
  ::unlink(own.c_str());
}

struct Expected {
  const char* file;
  const char* outcome;  // "OK" or "Not OK"
  const char* size;     // of the output, when it converts
};

// What the README of the corpus says lumafold does with each file.
const Expected kExpected[] = {
    {"one-sector.pcd", "Not OK", nullptr},
    {"truncated-in-header.pcd", "Not OK", nullptr},
    {"truncated-base.pcd", "Not OK", nullptr},
    {"no-signature.pcd", "Not OK", nullptr},
    {"png-renamed.pcd", "Not OK", nullptr},
    {"svg-external.pcd", "Not OK", nullptr},
    {"mvg-drawing.pcd", "Not OK", nullptr},
    {"postscript.pcd", "Not OK", nullptr},
    {"random-bytes.pcd", "Not OK", nullptr},
    {"garbage-huffman-4base.pcd", "OK", "1536 1024"},
    {"garbage-huffman-16base.pcd", "OK", "3072 2048"},
    {"bad-table-4base.pcd", "OK", "1536 1024"},
    {"bad-table-16base.pcd", "OK", "3072 2048"},
    {"truncated-16base.pcd", "OK", "1536 1024"},
    {"-awkward name 'single' \"double\" [1] * ? % : .pcd", "OK", "768 512"},
    {"good-base.pcd", "OK", "768 512"},
    {"good-4base.pcd", "OK", "1536 1024"},
    {"svg-polyglot.pcd", "OK", "768 512"},
};

TEST(HostileBatch, GoodFilesConvertBadOnesFailAndNoOtherCoderEverRuns) {
  FaultScratch scratch;
  for (const auto& entry : fs::directory_iterator(HostileFolder() + "/files"))
    fs::copy_file(entry.path(), scratch.in() + "/" + entry.path().filename().string());
  CopySample("kodim01.pcd", scratch.in(), "good-base.pcd");
  CopySample("kodim13-4base.pcd", scratch.in(), "good-4base.pcd");
  WriteSvgPolyglot(scratch.in() + "/svg-polyglot.pcd");

  MakeProbe();
  const FileWatch probe(kProbe);
  ASSERT_TRUE(probe.watching());

  // Every converter call is logged, then handed to the real one.
  const std::string calls = scratch.path() + "/converter-calls";
  const std::string standIn = scratch.path() + "/record.sh";
  // One write per call, so that calls of workers running side by side do
  // not interleave in the log.
  WriteScript(standIn, "printf '%s\\n' \"$@\" '' >> '" + calls + "'\nexec convert \"$@\"\n");
  FaultOptions options = WithConverter(scratch, standIn);
  // The external decoder, whose converter must never see a file that is no
  // Image Pac.
  const FaultRun run = RunLumafoldUnder(
      {kExternalDecoder, "-i", scratch.in() + "/", "-o", scratch.out() + "/", "-c", "jpg", "-d"},
      options);

  EXPECT_EQ(run.signal, 0) << ReadText(calls);
  EXPECT_EQ(run.status, 2) << run.out << run.err;
  // Each file that fails is named once on standard error, with a reason.
  std::set<std::string> named;
  std::istringstream errorLines(run.err);
  for (std::string line; std::getline(errorLines, line);) {
    // A damaged 16Base file that ImageMagick fails but still gives a
    // picture of converts, with what it reported.
    if (line.starts_with("Warning: ") && line.find(": ImageMagick reported: ") != std::string::npos)
      continue;
    const std::string prefix = "Not converted: " + scratch.in() + "/";
    ASSERT_TRUE(line.starts_with(prefix)) << line;
    const std::size_t reason = line.find(".pcd: ", prefix.size());
    ASSERT_NE(reason, std::string::npos) << line;
    EXPECT_GT(line.size(), reason + 6) << line;
    EXPECT_TRUE(named.insert(line.substr(prefix.size(), reason + 4 - prefix.size())).second)
        << line;
  }
  std::set<std::string> failing;
  for (const Expected& expected : kExpected)
    if (std::string_view(expected.outcome) == "Not OK") failing.insert(expected.file);
  // The empty file fails at import, named as the others are.
  failing.insert("empty.pcd");
  EXPECT_EQ(named, failing);
  // It never enters the input set: only non-empty files do.
  EXPECT_NE(
      run.out.find("Import complete, new files added: " + std::to_string(std::size(kExpected))),
      std::string::npos)
      << run.out;

  const auto traced = TraceOutcomes(run.out);
  std::set<std::string> outputs;
  for (const Expected& expected : kExpected) {
    const auto found = traced.find(scratch.in() + "/" + expected.file);
    ASSERT_NE(found, traced.end()) << expected.file << " was not converted\n" << run.out;
    EXPECT_EQ(found->second.outcome, expected.outcome) << expected.file;
    if (expected.size == nullptr) continue;
    const std::string output = fs::path(expected.file).stem().string() + ".jpg";
    outputs.insert(output);
    EXPECT_EQ(IdentifySize(scratch.out() + "/" + output), expected.size) << output;
  }
  EXPECT_EQ(traced.size(), std::size(kExpected));
  EXPECT_EQ(FolderNames(scratch.out()), Names(outputs.begin(), outputs.end()));
  EXPECT_EQ(FolderNames(scratch.tmp()), Names{});

  EXPECT_EQ(probe.events(), 0) << "the probe file was opened";

  // Every call names its coders explicitly, with the run folder's plain
  // link names; the files that are no Image Pac never reach the converter.
  std::istringstream lines(ReadText(calls));
  int converterCalls = 0;
  std::vector<std::string> call;
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty()) {
      call.push_back(line);
      continue;
    }
    ++converterCalls;
    ASSERT_EQ(call.size(), 5u);
    EXPECT_EQ(call[0], "-quiet");
    EXPECT_TRUE(call[3].starts_with("pcd:")) << call[3];
    EXPECT_TRUE(call[4].starts_with("bmp3:")) << call[4];
    for (const std::string& argument : call)
      EXPECT_EQ(argument.find_first_of(" '\"*?%:"), argument.starts_with("pcd:") ? 3u
                                                    : argument.starts_with("bmp3:")
                                                        ? 4u
                                                        : std::string::npos)
          << argument;
    for (const char* refused : {"svg-external", "mvg-drawing", "postscript", "png-renamed",
                                "random-bytes", "no-signature", "truncated-base", "one-sector"})
      EXPECT_EQ(call[3].find(refused), std::string::npos) << call[3];
    call.clear();
  }
  EXPECT_GE(converterCalls, 9);
}

}  // namespace
}  // namespace lumafold
