// Real disc images (genisoimage, raw sectors made from its output) through
// the lumafold binary: each gives the names and bytes that converting the
// files of the same disc as a mounted tree gives.
#include <gtest/gtest.h>

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

// Relative path -> bytes of every file below `folder`.
std::map<std::string, std::string> FilesBelow(const fs::path& folder) {
  std::map<std::string, std::string> files;
  if (!fs::exists(folder)) return files;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    if (!entry.is_regular_file()) continue;
    std::ifstream in(entry.path(), std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    files[fs::relative(entry.path(), folder).string()] = bytes.str();
  }
  return files;
}

std::vector<std::string> Names(const std::map<std::string, std::string>& files) {
  std::vector<std::string> names;
  for (const auto& [name, bytes] : files) names.push_back(name);
  return names;
}

class DiscImagesTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    scratch_ = new testing::ScratchFolder("lumafold-discs");
    images_ = scratch_->path() + "/images";
    const RunResult made = testing::Run(
        "/bin/bash",
        {std::string(LUMAFOLD_CLI_CASES) + "/../data/make-disc-images.sh",
         testing::SamplesFolder(), images_},
        scratch_->path(), testing::IsolatedEnvironment(scratch_->path()));
    ASSERT_EQ(made.status, 0) << made.err;
  }
  static void TearDownTestSuite() {
    delete scratch_;
    scratch_ = nullptr;
  }

  RunResult Convert(const std::vector<std::string>& inputs, const std::string& out,
                    std::vector<std::string> options = {}) {
    fs::create_directories(out);
    std::vector<std::string> arguments;
    for (const std::string& input : inputs) arguments.insert(arguments.end(), {"-i", input});
    arguments.insert(arguments.end(), {"-o", out, "-c", "jpg", "-q"});
    arguments.insert(arguments.end(), options.begin(), options.end());
    return testing::Run(testing::LumafoldBinary(), arguments, scratch_->path(),
                        testing::IsolatedEnvironment(scratch_->path()));
  }

  static testing::ScratchFolder* scratch_;
  static std::string images_;
};

testing::ScratchFolder* DiscImagesTest::scratch_ = nullptr;
std::string DiscImagesTest::images_;

// The tree converted as a folder input holding it is the reference; the
// image must give the same files below out/<image name>/.
TEST_F(DiscImagesTest, EachImageGivesTheOutputsOfItsExtractedFiles) {
  struct Case {
    std::string image;      // in the images folder
    std::string extracted;  // its tree below extracted/
    int status;
    std::vector<std::string> failed;  // pictures named as not converted
  };
  const std::vector<Case> cases = {
      {"one.iso", "one", 0, {}},
      {"two.iso", "two", 0, {}},  // the second session's IMG0004-0005 as well
      {"mode1.cue", "mode1", 0, {}},
      {"mode2.cue", "mode2", 0, {}},
      {"mode2.bin", "mode2", 0, {}},  // the sheet beside it is found
      {"cut.iso", "cut", 2, {"IMG0003.PCD"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.image);
    const std::string root = scratch_->path() + "/" + c.image;
    const std::string tree = root + "-tree";
    fs::create_directories(tree);
    fs::copy(images_ + "/extracted/" + c.extracted, tree + "/" + c.extracted,
             fs::copy_options::recursive);
    const RunResult fromTree = Convert({tree}, root + "/from-tree");
    ASSERT_EQ(fromTree.status, 0) << fromTree.err;
    const RunResult fromImage = Convert({images_ + "/" + c.image}, root + "/from-image");
    EXPECT_EQ(fromImage.status, c.status) << fromImage.err;

    std::map<std::string, std::string> expected = FilesBelow(root + "/from-tree/" + c.extracted);
    for (const std::string& picture : c.failed) {
      const std::string output = "PHOTO_CD/IMAGES/" + picture.substr(0, picture.find('.')) + ".jpg";
      ASSERT_EQ(expected.erase(output), 1u) << output;
      EXPECT_NE(fromImage.err.find("Not converted: " + images_ + "/" + c.image +
                                   "/PHOTO_CD/IMAGES/" + picture + ": "),
                std::string::npos)
          << fromImage.err;
    }
    const std::string stem = c.image.substr(0, c.image.rfind('.'));
    const auto actual = FilesBelow(root + "/from-image/" + stem);
    EXPECT_EQ(Names(actual), Names(expected));
    EXPECT_TRUE(actual == expected) << "the bytes differ";
    EXPECT_GE(actual.size(), 2u);
  }
}

// A mounted disc: the pictures convert, the disc's own files are no inputs
// (not counted, not failed) and are named in the trace; mounted without
// Rock Ridge, the names carry ";1" and give the same outputs.
TEST_F(DiscImagesTest, DiscTreeCountsOnlyItsPictures) {
  const std::string versioned = scratch_->path() + "/versioned/one";
  fs::create_directories(versioned);
  fs::copy(images_ + "/extracted/one", versioned, fs::copy_options::recursive);
  for (const auto& entry : fs::recursive_directory_iterator(versioned))
    if (entry.is_regular_file()) fs::rename(entry.path(), entry.path().string() + ";1");
  for (const std::string& tree : {images_ + "/extracted/one", versioned}) {
    SCOPED_TRACE(tree);
    const std::string out = tree + "-out";
    const RunResult run = Convert({tree}, out, {"-d"});
    EXPECT_EQ(run.status, 0) << run.err;
    // Exit 0 says every file counted converted; these are all there is.
    EXPECT_EQ(Names(FilesBelow(out)),
              (std::vector<std::string>{"PHOTO_CD/IMAGES/IMG0001.jpg",
                                        "PHOTO_CD/IMAGES/IMG0002.jpg",
                                        "PHOTO_CD/IMAGES/IMG0003.jpg"}));
    const std::string suffix = tree == versioned ? ";1" : "";
    for (const char* own : {"PHOTO_CD/INFO.PCD", "PHOTO_CD/OVERVIEW.PCD", "PHOTO_CD/PLAYLIST.PCD",
                            "CDI/CDI_VCD.APP"})
      EXPECT_NE(run.out.find("Skipped: " + tree + "/" + own + suffix), std::string::npos) << own;
    EXPECT_EQ(run.err, "");
  }
}

// The disc's description: counts from the volume, the serial number from
// INFO.PCD, and its creation time (zero there) left out as not sound.
TEST_F(DiscImagesTest, InfoDescribesImagesAndTrees) {
  const RunResult run =
      testing::Run(testing::LumafoldBinary(),
                   {"--info", images_ + "/two.iso", images_ + "/extracted/one"},
                   scratch_->path(), testing::IsolatedEnvironment(scratch_->path()));
  EXPECT_EQ(run.status, 0) << run.err;
  const auto line = [](std::string label, const std::string& value) {
    label.resize(28, ' ');
    return label + ": " + value + "\n";
  };
  const std::string two = line("Disc", "two") + line("Sessions", "2") + line("Pictures", "5");
  const std::string one = line("Disc", "one") + line("Sessions", "not given") + line("Pictures", "3");
  for (const std::string& expected :
       {two, one, line("Serial Number", "SER-0042"), line("Disc Created", "not given")})
    EXPECT_NE(run.out.find(expected), std::string::npos) << expected << "\n" << run.out;
  const RunResult bad = testing::Run(testing::LumafoldBinary(), {"--info", scratch_->path()},
                                     scratch_->path(), testing::IsolatedEnvironment(scratch_->path()));
  EXPECT_EQ(bad.status, 2);
  EXPECT_NE(bad.err.find("holds no PHOTO_CD folder"), std::string::npos) << bad.err;
}

// Two discs that both hold IMG0001..IMG0003 flattened into one folder.
TEST_F(DiscImagesTest, ShoeboxOfDiscsFlattenedByDiscName) {
  const std::string out = scratch_->path() + "/shoebox-out";
  const RunResult run = Convert({images_ + "/one.iso", images_ + "/two.iso"}, out,
                                {"--no-subfolders", "--filename-mask=%disc%_%filename%.%ext%"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");  // no output written twice
  EXPECT_EQ(Names(FilesBelow(out)),
            (std::vector<std::string>{"one_IMG0001.jpg", "one_IMG0002.jpg", "one_IMG0003.jpg",
                                      "two_IMG0001.jpg", "two_IMG0002.jpg", "two_IMG0003.jpg",
                                      "two_IMG0004.jpg", "two_IMG0005.jpg"}));
  const std::string byFolder = scratch_->path() + "/folder-out";
  const RunResult folder = Convert({images_ + "/one.iso"}, byFolder,
                                   {"--no-subfolders", "--filename-mask=%folder%-%filename%.%ext%"});
  EXPECT_EQ(folder.status, 0) << folder.err;
  EXPECT_EQ(Names(FilesBelow(byFolder)),
            (std::vector<std::string>{"IMAGES-IMG0001.jpg", "IMAGES-IMG0002.jpg",
                                      "IMAGES-IMG0003.jpg"}));
}

// An image without a readable volume fails loudly, never lists nothing.
TEST_F(DiscImagesTest, UnreadableImageFailsByName) {
  const std::string junk = scratch_->path() + "/junk.iso";
  {
    std::ofstream file(junk, std::ios::binary);
    file << std::string(40000, 'x');
  }
  const RunResult run = Convert({junk, images_ + "/one.iso"}, scratch_->path() + "/junk-out");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("Not converted: " + junk + ": the disc image cannot be read"),
            std::string::npos)
      << run.err;
}

TEST_F(DiscImagesTest, ContactSheetOfEightPictures) {
  const std::string out = scratch_->path() + "/sheet-out";
  const RunResult run = Convert({images_ + "/eight.iso"}, out, {"--contact-sheet", "--width=64",
                                                                "--height=64"});
  EXPECT_EQ(run.status, 0) << run.err;
  const std::string sheet = out + "/eight/contact-sheet.jpg";
  // Read back by an independent reader: six columns, two rows of cells.
  const RunResult size = testing::Run(
      "/usr/bin/python3",
      {"-c", "import sys; from PIL import Image; i = Image.open(sys.argv[1]); "
             "print(i.format, i.size[0], i.size[1])",
       sheet},
      scratch_->path(), testing::IsolatedEnvironment(scratch_->path()));
  EXPECT_EQ(size.out, "JPEG 1264 532\n") << size.err;
}

}  // namespace
}  // namespace lumafold
