// The same mixed batch through the lumafold binary with --jobs=1 and
// --jobs=4: every output file, name by name and byte by byte, the whole
// standard output (trace lines included), the exit status and, where asked
// for, the file times must be the same.
//
// Every format is compared by its bytes: none of the writers embeds a time
// stamp (all 23 formats give the same bytes from runs seconds apart, which
// the comparison of two runs here would show otherwise).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "run_binary.h"

namespace lumafold {
namespace {

namespace fs = std::filesystem;
using testing::RunResult;

std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

std::string Source(const std::string& relative) {
  return std::string(LUMAFOLD_SOURCE_DIR) + "/" + relative;
}

struct Tree {
  std::map<std::string, std::string> bytes;
  std::map<std::string, std::int64_t> times;
  std::vector<std::string> folders;
};

Tree ReadTree(const fs::path& folder) {
  Tree tree;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    const std::string name = fs::relative(entry.path(), folder).string();
    if (entry.is_directory()) {
      tree.folders.push_back(name);
      continue;
    }
    tree.bytes[name] = ReadBytes(entry.path());
    struct stat info {};
    ::stat(entry.path().c_str(), &info);
    tree.times[name] = info.st_mtim.tv_sec * 1000000000LL + info.st_mtim.tv_nsec;
  }
  std::sort(tree.folders.begin(), tree.folders.end());
  return tree;
}

struct Case {
  const char* name;
  std::vector<std::string> options;
  bool compareTimes = false;
};

class JobsSameOutputs : public ::testing::TestWithParam<Case> {
 protected:
  JobsSameOutputs() {
    const fs::path in = root() / "in";
    // Good files (Base, portrait, 4Base, a cut 16Base file that decodes at
    // its 4Base level, a rotated one), two of the same name in different
    // folders, and files that are no Photo CD image or too short.
    const std::vector<std::pair<std::string, std::string>> files = {
        {"kodim01.pcd", "samples/kodim01.pcd"},
        {"kodim19.pcd", "samples/kodim19.pcd"},
        {"kodim13-4base.pcd", "samples/kodim13-4base.pcd"},
        {"kodim23.pcd", "samples/kodim23.pcd"},
        {"roll2/kodim23.pcd", "samples/kodim03.pcd"},
        {"roll2/day1/cut.pcd", "tests/data/hostile/files/truncated-16base.pcd"},
        {"roll2/day1/turned.pcd", "tests/data/decoder/rotate-180.pcd"},
        {"random.pcd", "tests/data/hostile/files/random-bytes.pcd"},
        {"roll2/svg.pcd", "tests/data/hostile/files/svg-external.pcd"},
        {"short.pcd", "tests/data/hostile/files/truncated-base.pcd"},
        {"roll2/day1/png.pcd", "tests/data/hostile/files/png-renamed.pcd"},
        {"-awkward [1] %n% 'q'.pcd", "samples/kodim23.pcd"},
    };
    for (const auto& [name, from] : files) {
      fs::create_directories((in / name).parent_path());
      fs::copy_file(Source(from), in / name);
    }
    fs::create_directories(root() / "tmp");
  }

  fs::path root() const { return scratch_.path(); }

  // Runs the batch into out/ and moves the outputs to out-JOBS/.
  RunResult convert(int jobs) {
    const fs::path out = root() / "out";
    fs::create_directories(out);
    std::vector<std::string> arguments = {"-i", (root() / "in").string() + "/",
                                          "-o", out.string() + "/",
                                          "-d", "--jobs=" + std::to_string(jobs)};
    arguments.insert(arguments.end(), GetParam().options.begin(), GetParam().options.end());
    auto environment = testing::IsolatedEnvironment((root() / "home").string());
    environment["TMPDIR"] = (root() / "tmp").string();
    environment["LUMAFOLD_RANDOM_SEED"] = "1996";
    RunResult result =
        testing::Run(testing::LumafoldBinary(), arguments, root().string(), environment);
    fs::rename(out, root() / ("out-" + std::to_string(jobs)));
    return result;
  }

  testing::ScratchFolder scratch_{"lumafold-jobs"};
};

TEST_P(JobsSameOutputs, FourWorkersGiveWhatOneGives) {
  const RunResult one = convert(1);
  const RunResult four = convert(4);
  EXPECT_EQ(one.status, 2) << one.out << one.err;  // some files fail
  EXPECT_EQ(four.status, one.status);
  EXPECT_EQ(four.out, one.out);
  EXPECT_EQ(four.err, one.err);

  const Tree a = ReadTree(root() / "out-1");
  const Tree b = ReadTree(root() / "out-4");
  EXPECT_FALSE(a.bytes.empty());
  EXPECT_EQ(b.folders, a.folders);
  ASSERT_EQ(b.bytes.size(), a.bytes.size());
  for (const auto& [name, bytes] : a.bytes) {
    const auto found = b.bytes.find(name);
    ASSERT_NE(found, b.bytes.end()) << name << " is missing with --jobs=4";
    EXPECT_TRUE(found->second == bytes) << name << " differs";
  }
  if (GetParam().compareTimes) {
    EXPECT_EQ(b.times, a.times);
  }
  EXPECT_TRUE(fs::is_empty(root() / "tmp")) << "run folders are removed";
}

// Formats from each writer: FreeImage (jpg, png, tiff, gif, webp, j2k,
// exr), the exact colour table BMP, DevIL (psd, dds with mipmaps, pcx) and
// jxrlib; masks with and without %n% and %rnd%, with and without the
// subfolders; a mask that gives every file the same name.
INSTANTIATE_TEST_SUITE_P(
    Formats, JobsSameOutputs,
    ::testing::Values(
        Case{"jpg", {"-c", "jpg", "--file-timestamp=original"}, true},
        Case{"png", {"-c", "png", "--filename-mask=%n%_%filename%.%ext%"}},
        Case{"tiff", {"-c", "tiff", "--no-subfolders"}},
        Case{"psd", {"-c", "psd", "--filename-mask=%rnd%-%n%.%ext%", "--no-subfolders"}},
        Case{"dds", {"-c", "dds", "--filename-mask=%filename%_%N%.%ext%"}},
        Case{"pcx", {"-c", "pcx", "--filename-mask=%width%x%height%-%rnd%.%ext%"}},
        Case{"bmp", {"-c", "bmp", "--bmp-bpp=8", "--bmp-color-table=exact", "--no-subfolders"}},
        Case{"gif",
             {"-c", "gif", "--filename-mask=same.%ext%", "--no-subfolders",
              "--file-timestamp=original"},
             true},
        Case{"webp", {"-c", "webp", "--filename-mask=%n%.%ext%", "--width=384", "--height=256"}},
        Case{"jxr", {"-c", "jxr", "--filename-mask=%filename[u]%-%n%.%ext%"}},
        Case{"j2k", {"-c", "j2k", "--greyscale"}},
        Case{"exr", {"-c", "exr", "--width=640", "--height=480", "--no-subfolders"}}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace lumafold
