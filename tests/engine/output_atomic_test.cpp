// Outputs are replaced only by a complete file: every writer writes a
// temporary file beside the output, which is renamed over it after
// success and removed after failure.
#include <sys/stat.h>
#include <unistd.h>

#include "output_test_support.h"

namespace lumafold {
namespace {
using namespace output_testing;

const char kOldContent[] = "the earlier output, to be kept or replaced whole";

std::string Existing(const ScratchFolder& folder, const std::string& name) {
  const std::string path = folder.path() + name;
  WriteText(path, kOldContent);
  return path;
}

std::string Content(const std::string& path) {
  const std::vector<unsigned char> bytes = ReadBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

TEST(OutputAtomic, SuccessReplacesExistingFileAndLeavesNoTemporary) {
  ScratchFolder folder;
  for (const char* key : {"png", "psd", "jxr"}) {
    SCOPED_TRACE(key);
    const std::string path = Existing(folder, std::string("picture.") + key);
    fs::permissions(path, fs::perms::owner_read);  // read-only files are replaced too
    OutputCase output;
    ASSERT_TRUE(output.prepare(key));
    output.file.temporaryOutputPath = folder.path() + "lumafoldtemp." + key;
    ASSERT_TRUE(output.convertAndWrite(GradientImage(32, 24), path));
    EXPECT_NE(Content(path), kOldContent);
    EXPECT_TRUE(Identify(key, path).read);
    EXPECT_FALSE(fs::exists(output.file.temporaryOutputPath));
  }
  EXPECT_EQ(folder.entries().size(), 3u);
}

// FreeImage opens the file before its GIF plugin refuses a 24-bit image, so
// a failing save leaves a stub behind: it must not be the output.
TEST(OutputAtomic, LibraryWriterFailureKeepsExistingFile) {
  ScratchFolder folder;
  const std::string path = Existing(folder, "picture.gif");
  OutputCase output;
  ASSERT_TRUE(output.prepare("gif"));
  ImageHandle trueColour = GradientImage(32, 24);  // not converted to 8 bits
  EXPECT_FALSE(output.write(trueColour, path));
  EXPECT_EQ(Content(path), kOldContent);
  EXPECT_EQ(folder.entries(), std::vector<std::string>{"picture.gif"});
}

TEST(OutputAtomic, ExactBmpWriterFailureKeepsExistingFile) {
  ScratchFolder folder;
  const std::string path = Existing(folder, "picture.bmp");
  OutputCase output;
  output.settings.output.bmpColorTable = 1;
  ASSERT_TRUE(output.prepare("bmp", 8));
  ImageHandle trueColour = GradientImage(32, 24);
  EXPECT_FALSE(output.write(trueColour, path));
  EXPECT_EQ(Content(path), kOldContent);
  EXPECT_EQ(folder.entries(), std::vector<std::string>{"picture.bmp"});
}

// Something already at the temporary name is neither written through nor
// removed; the writer takes another name and still succeeds.
TEST(OutputAtomic, OccupiedTemporaryNameIsLeftAlone) {
  ScratchFolder folder;
  const std::string path = Existing(folder, "picture.png");
  const std::string occupied = folder.path() + "lumafoldbusy.png";
  ASSERT_TRUE(fs::create_directory(occupied));
  WriteText(occupied + "/inside", "x");
  OutputCase output;
  ASSERT_TRUE(output.prepare("png"));
  output.file.temporaryOutputPath = occupied;
  ASSERT_TRUE(output.convertAndWrite(GradientImage(32, 24), path));
  EXPECT_TRUE(Identify("png", path).read);
  EXPECT_TRUE(fs::is_directory(occupied));
  EXPECT_EQ(Content(occupied + "/inside"), "x");
  EXPECT_EQ(folder.entries().size(), 2u);
}

// A directory under the output name cannot be replaced: the file fails
// instead of reporting success for a file that is not there.
TEST(OutputAtomic, FailedRenameFailsTheFileAndRemovesTemporary) {
  ScratchFolder folder;
  const std::string path = folder.path() + "picture.psd";
  ASSERT_TRUE(fs::create_directory(path));
  WriteText(path + "/inside", "x");
  OutputCase output;
  ASSERT_TRUE(output.prepare("psd"));
  EXPECT_FALSE(output.convertAndWrite(GradientImage(32, 24), path));
  EXPECT_EQ(Content(path + "/inside"), "x");
  EXPECT_EQ(folder.entries(), std::vector<std::string>{"picture.psd"});
}

// A temporary name in another folder might be on another file system,
// where the final rename is not atomic; the output's own folder is used.
TEST(OutputAtomic, TemporaryStaysInTheOutputFolder) {
  ScratchFolder outputs;
  ScratchFolder elsewhere;
  OutputCase output;
  ASSERT_TRUE(output.prepare("jpg"));
  output.file.temporaryOutputPath = elsewhere.path() + "lumafoldaway.jpg";
  ASSERT_TRUE(output.convertAndWrite(GradientImage(32, 24), outputs.path() + "picture.jpg"));
  EXPECT_TRUE(elsewhere.entries().empty());
  EXPECT_EQ(outputs.entries(), std::vector<std::string>{"picture.jpg"});
}

TEST(OutputAtomic, MissingFolderOrNameFails) {
  ScratchFolder folder;
  OutputCase output;
  ASSERT_TRUE(output.prepare("png"));
  ImageHandle image = GradientImage(8, 8);
  EXPECT_FALSE(output.write(image, folder.path() + "no/such/folder/picture.png"));
  EXPECT_FALSE(output.write(image, ""));
  EXPECT_FALSE(output.write(image, folder.path()));
  EXPECT_TRUE(folder.entries().empty());
}

TEST(OutputAtomic, ReadOnlyFolderKeepsExistingFile) {
  if (geteuid() == 0) GTEST_SKIP() << "root ignores folder permissions";
  ScratchFolder folder;
  const std::string path = Existing(folder, "picture.png");
  ASSERT_EQ(chmod(folder.path().c_str(), 0555), 0);
  OutputCase output;
  ASSERT_TRUE(output.prepare("png"));
  EXPECT_FALSE(output.convertAndWrite(GradientImage(8, 8), path));
  chmod(folder.path().c_str(), 0755);
  EXPECT_EQ(Content(path), kOldContent);
  EXPECT_EQ(folder.entries(), std::vector<std::string>{"picture.png"});
}

// The file gets the usual permissions for a new file, not the private mode
// a temporary file is often created with.
TEST(OutputAtomic, OutputHasOrdinaryPermissions) {
  ScratchFolder folder;
  const mode_t mask = umask(022);
  OutputCase output;
  ASSERT_TRUE(output.prepare("png"));
  const std::string path = folder.path() + "picture.png";
  const bool written = output.convertAndWrite(GradientImage(8, 8), path);
  umask(mask);
  ASSERT_TRUE(written);
  struct stat info {};
  ASSERT_EQ(stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0644u);
}

}  // namespace
}  // namespace lumafold
