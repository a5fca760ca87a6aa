// The add-file rule and the import workers that fill the input set, and the
// command line's reading of -i texts and relative paths.
#include "engine/run/input_import.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "cli/batch_run.h"
#include "run_binary.h"

namespace lumafold {
namespace {

namespace fs = std::filesystem;

class InputImportTest : public ::testing::Test {
 protected:
  void SetUp() override { context_ = std::make_unique<AppContext>(); }

  std::string Path(const std::string& relative) const { return scratch_.path() + "/" + relative; }

  std::string File(const std::string& relative, const std::string& content = "pcd bytes") const {
    const std::string path = Path(relative);
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << content;
    return path;
  }

  std::vector<std::string> Paths() const {
    std::vector<std::string> paths;
    for (const auto& entry : context_->inputs.ordered()) paths.push_back(entry.path);
    std::sort(paths.begin(), paths.end());
    return paths;
  }

  std::string SubfolderOf(const std::string& path) const {
    for (const auto& entry : context_->inputs.ordered())
      if (entry.path == path) return entry.relativeSubfolder;
    return "<absent>";
  }

  void StartWorker() {
    context_->progress.processedCount = 0;
    context_->progress.convertedCount = 0;
    context_->progress.running = true;
  }

  testing::ScratchFolder scratch_{"lumafold-import"};
  std::unique_ptr<AppContext> context_;
};

TEST(RelativeSubfolder, OnlyBelowTheBase) {
  EXPECT_EQ(RelativeSubfolder("/images/2019/a.pcd", "/images/"), "2019/");
  EXPECT_EQ(RelativeSubfolder("/images/a.pcd", "/images/"), "");
  EXPECT_EQ(RelativeSubfolder("/images/a.pcd", ""), "");
  EXPECT_EQ(RelativeSubfolder("/other/a.pcd", "/images/"), "");
  // The base's text further down the path is not the base.
  EXPECT_EQ(RelativeSubfolder("/a/b/a/c.pcd", "/a/"), "b/a/");
  EXPECT_EQ(RelativeSubfolder("/x/a/c.pcd", "/a/"), "");
}

TEST_F(InputImportTest, AddFileTakesNonEmptyPhotoCdFilesOnce) {
  context_->job.inputFolder = Path("");
  const std::string good = File("sub/PICTURE.PCD");
  const std::string alias = File("b.pcd1");
  EXPECT_TRUE(AddInputFile(*context_, good));
  EXPECT_FALSE(AddInputFile(*context_, good));  // already in the set
  EXPECT_TRUE(AddInputFile(*context_, alias));
  EXPECT_FALSE(AddInputFile(*context_, File("c.jpg")));
  EXPECT_FALSE(AddInputFile(*context_, File("empty.pcd", "")));
  EXPECT_FALSE(AddInputFile(*context_, Path("missing.pcd")));
  fs::create_directories(Path("folder.pcd"));
  EXPECT_FALSE(AddInputFile(*context_, Path("folder.pcd")));
  EXPECT_EQ(Paths(), (std::vector<std::string>{alias, good}));
  EXPECT_EQ(SubfolderOf(good), "sub/");
  EXPECT_EQ(SubfolderOf(alias), "");

  // The same path in another letter case is another file.
  const std::string lower = File("sub/picture.pcd");
  EXPECT_TRUE(AddInputFile(*context_, lower));
  EXPECT_EQ(context_->inputs.size(), 3u);
}

TEST_F(InputImportTest, AddedFilesAreReportedToTheSink) {
  std::vector<std::string> shown;
  const AddedFileSink sink = [&](const std::string& path) { shown.push_back(path); };
  const std::string a = File("a.pcd");
  AddInputFile(*context_, a, sink);
  AddInputFile(*context_, a, sink);
  AddInputFile(*context_, File("x.png"), sink);
  EXPECT_EQ(shown, std::vector<std::string>{a});
}

TEST_F(InputImportTest, FolderImportWalksTheTreeAndCountsTopLevelEntries) {
  File("in/a.pcd");
  File("in/notes.txt");
  File("in/sub/b.pcd");
  File("in/sub/deeper/c.pcd");
  File("in/sub/deeper/d.jpg");
  fs::create_directories(Path("in/empty"));
  context_->job.inputFolder = Path("in/");
  StartWorker();
  FolderImport(*context_);
  EXPECT_EQ(context_->progress.processedCount, 4);  // a.pcd, notes.txt, sub, empty
  EXPECT_EQ(context_->progress.convertedCount, 3);
  EXPECT_EQ(SubfolderOf(Path("in/a.pcd")), "");
  EXPECT_EQ(SubfolderOf(Path("in/sub/b.pcd")), "sub/");
  EXPECT_EQ(SubfolderOf(Path("in/sub/deeper/c.pcd")), "sub/deeper/");
}

TEST_F(InputImportTest, FolderImportAddsToTheCountItFinds) {
  File("in/a.pcd");
  context_->job.inputFolder = Path("in/");
  StartWorker();
  context_->progress.convertedCount = 2;  // a drop of two folders counts both
  FolderImport(*context_);
  EXPECT_EQ(context_->progress.convertedCount, 3);
}

TEST_F(InputImportTest, FolderImportStopsBetweenEntriesWhenNotRunning) {
  File("in/a.pcd");
  File("in/b.pcd");
  context_->job.inputFolder = Path("in/");
  StartWorker();
  context_->progress.running = false;
  FolderImport(*context_);
  EXPECT_EQ(context_->progress.processedCount, 0);
  EXPECT_EQ(context_->inputs.size(), 0u);
}

TEST_F(InputImportTest, LinksBackToAParentDoNotLoop) {
  File("in/a.pcd");
  File("in/sub/b.pcd");
  fs::create_directory_symlink(Path("in"), Path("in/sub/loop"));
  fs::create_directory_symlink(Path("in/sub"), Path("in/again"));
  context_->job.inputFolder = Path("in/");
  StartWorker();
  FolderImport(*context_);
  // Each real folder is walked once, through whichever name came first.
  EXPECT_EQ(context_->progress.convertedCount, 2);
  EXPECT_EQ(context_->inputs.size(), 2u);
}

TEST_F(InputImportTest, ListFileWithBomCrLfBlanksMissingPathsAndFolders) {
  const std::string a = File("in/a.pcd");
  const std::string spaced = File("My Phötos 'q' \"d\"/b c.pcd");
  const std::string inFolder = File("folder/sub/c.pcd");
  File("folder/d.txt");
  const std::string list =
      File("list.txt", "\xEF\xBB\xBF" + a + "\r\n\r\n   \r\n  " + spaced + "  \r\n" +
                           Path("missing.pcd") + "\n" + a + "\n" + Path("folder") + "\r\n" +
                           Path("folder/d.txt") + "\n" + a);
  context_->job.inputPath = list;
  StartWorker();
  ListFileImport(*context_);
  EXPECT_EQ(Paths(), (std::vector<std::string>{spaced, inFolder, a}));
  // Existing lines only: a, the spaced file, a, the folder, d.txt, a.
  EXPECT_EQ(context_->progress.processedCount, 6);
  EXPECT_EQ(context_->progress.convertedCount, 3);
  // A list sets no input folder, so nothing has a subfolder.
  EXPECT_EQ(SubfolderOf(inFolder), "");
}

TEST_F(InputImportTest, UnreadableListAddsNothing) {
  context_->job.inputPath = Path("none.txt");
  StartWorker();
  ListFileImport(*context_);
  EXPECT_EQ(context_->progress.convertedCount, 0);
  EXPECT_EQ(context_->progress.processedCount, 0);
}

TEST(InputText, FileOrFolderByTheExtension) {
  EXPECT_TRUE(HasFileExtension("/tmp/example.pcd"));
  EXPECT_TRUE(HasFileExtension("example.pcd"));
  EXPECT_TRUE(HasFileExtension("/tmp/list.TXT"));
  EXPECT_FALSE(HasFileExtension("/tmp/images"));
  EXPECT_FALSE(HasFileExtension("/tmp/images/"));
  EXPECT_FALSE(HasFileExtension("/tmp/images.d/"));       // a "/" follows the dot
  EXPECT_FALSE(HasFileExtension("/tmp/my.photos 2019"));  // a space follows it
  EXPECT_FALSE(HasFileExtension("/tmp/.hidden"));         // the dot follows a "/"
  EXPECT_FALSE(HasFileExtension(".pcd"));                 // the dot begins the text
  EXPECT_FALSE(HasFileExtension("../images"));
  EXPECT_FALSE(HasFileExtension(".."));
  EXPECT_FALSE(HasFileExtension("name."));
}

TEST(InputText, RelativePathsResolveAgainstTheCurrentDirectory) {
  testing::ScratchFolder scratch("lumafold-cwd");
  const fs::path previous = fs::current_path();
  fs::current_path(scratch.path());
  const std::string cwd = fs::current_path().string();
  EXPECT_EQ(ResolveAgainstCurrentDirectory("images/"), cwd + "/images/");
  EXPECT_EQ(ResolveAgainstCurrentDirectory("./images"), cwd + "/images");
  EXPECT_EQ(ResolveAgainstCurrentDirectory("../images/"), cwd + "/../images/");
  EXPECT_EQ(ResolveAgainstCurrentDirectory(""), cwd + "/");
  EXPECT_EQ(ResolveAgainstCurrentDirectory("."), cwd + "/");
  EXPECT_EQ(ResolveAgainstCurrentDirectory("/abs/x.pcd"), "/abs/x.pcd");
  fs::current_path(previous);
}

TEST(Banner, NoticeLineWritesTheCopyrightSignAsText) {
  const std::string notice = NoticeLine();
  EXPECT_EQ(notice.find("©"), std::string::npos);
  EXPECT_NE(notice.find("(c)"), std::string::npos);
  EXPECT_EQ(notice.find('\n'), std::string::npos);
}

}  // namespace
}  // namespace lumafold
