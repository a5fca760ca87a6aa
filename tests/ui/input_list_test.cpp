// The input list: the add-file rule through the window, drops, the input
// chooser, import and export of list files, copy, delete and select all.
#include "ui/input_list.h"

#include <QClipboard>
#include <QComboBox>
#include <QDropEvent>
#include <QHeaderView>
#include <QMimeData>
#include <QProgressBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QUrl>
#include <cstdlib>
#include <filesystem>

#include "settings/profile_file.h"
#include "ui/commands.h"
#include "ui_test_support.h"

namespace lumafold::test {
namespace {

using namespace lumafold::ui;

class InputListTest : public WindowTest {
 protected:
  QStringList Listed() { return window_->inputList().texts(); }

  // Sends a real drop of file URLs (text/uri-list) to the window.
  void Drop(const QStringList& paths) {
    QMimeData data;
    QList<QUrl> urls;
    for (const QString& p : paths) urls << QUrl::fromLocalFile(p);
    data.setUrls(urls);
    const QPoint at = window_->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window_.get(), &enter);
    ASSERT_TRUE(enter.isAccepted());
    EXPECT_EQ(enter.dropAction(), Qt::CopyAction);
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window_.get(), &drop);
  }

  // A tree of inputs below `root`: three accepted files, one refused
  // extension, one empty file.
  void MakeTree(const std::string& root) {
    MakeInput(root + "/a.pcd");
    MakeInput(root + "/sub/b.pcd");
    MakeInput(root + "/sub/deeper/c.PCD");
    MakeInput(root + "/photo.jpg");
    WriteFile(root + "/empty.pcd", "");
  }

  std::string RelativeOf(const std::string& path) {
    for (const InputEntry& e : context_->inputs.ordered())
      if (e.path == path) return e.relativeSubfolder;
    return "<absent>";
  }
};

TEST_F(InputListTest, SameFileTwiceKeepsOneEntryButOtherLetterCaseIsAnother) {
  MainWindow& window = Open();
  const std::string lower = MakeInput(files_ / "pic.pcd");
  const std::string upper = MakeInput(files_ / "PIC.pcd");
  prompts_.filesToOpen = {QString::fromStdString(lower), QString::fromStdString(lower),
                          QString::fromStdString(upper)};
  window.dispatch(kCommandAddFiles);
  Drop({QString::fromStdString(lower)});
  EXPECT_EQ(Listed(), (QStringList{QString::fromStdString(lower), QString::fromStdString(upper)}));
  EXPECT_EQ(context_->inputs.size(), 2u);
  // The requester got the registry's filter and the catalog title.
  ASSERT_EQ(prompts_.requests.size(), 1u);
  EXPECT_EQ(prompts_.requests[0].title, "Select Input Files");
  EXPECT_EQ(prompts_.requests[0].filter,
            "All Supported Files (*.pcd *.pcd1 *.pcds *.ppcd *.iso *.cue *.bin *.img);;"
            "Photo CD disc images (*.iso *.cue *.bin *.img);;"
            "Kodak PhotoCD File (*.pcd *.pcd1 *.pcds *.ppcd);;All Files (*)");
  EXPECT_EQ(context_->job.inputPath, upper);  // the last one chosen
}

// A dropped disc image (made by genisoimage) adds its pictures, not itself.
TEST_F(InputListTest, DroppedDiscImageAddsItsPictures) {
  MainWindow& window = Open();
  const std::string tree = files_ / "disc-tree";
  std::filesystem::create_directories(tree + "/PHOTO_CD/IMAGES");
  for (const char* name : {"IMG0001.PCD", "IMG0002.PCD"})
    std::filesystem::copy_file(SamplesFolder() + "kodim01.pcd", tree + "/PHOTO_CD/IMAGES/" + name);
  const std::string image = files_ / "disc.iso";
  const std::string make = "genisoimage -quiet -iso-level 1 -o '" + image + "' '" + tree + "' 2>/dev/null";
  ASSERT_EQ(std::system(make.c_str()), 0);
  Drop({QString::fromStdString(image)});
  EXPECT_EQ(Listed(), (QStringList{QString::fromStdString(image + "/PHOTO_CD/IMAGES/IMG0001.PCD"),
                                   QString::fromStdString(image + "/PHOTO_CD/IMAGES/IMG0002.PCD")}))
      << window.outputFolderText().toStdString();
  EXPECT_EQ(RelativeOf(image + "/PHOTO_CD/IMAGES/IMG0002.PCD"), "disc/PHOTO_CD/IMAGES/");
}

TEST_F(InputListTest, RefusedFilesAreSkippedSilently) {
  MainWindow& window = Open();
  WriteFile(files_ / "empty.pcd", "");
  MakeInput(files_ / "photo.jpg");
  prompts_.filesToOpen = {QString::fromStdString(files_ / "empty.pcd"),
                          QString::fromStdString(files_ / "photo.jpg"),
                          QString::fromStdString(files_ / "missing.pcd")};
  window.dispatch(kCommandAddFiles);
  EXPECT_TRUE(Listed().isEmpty());
  EXPECT_TRUE(prompts_.messages.empty());
  EXPECT_TRUE(window.outputFolderText().isEmpty());
}

TEST_F(InputListTest, FirstFileFillsAnEmptyOutputFolderWithoutRecordingIt) {
  MainWindow& window = Open();
  ASSERT_TRUE(window.outputFolderText().isEmpty());
  const std::string first = MakeInput(files_ / "one/first.pcd");
  const std::string second = MakeInput(files_ / "two/second.pcd");
  window.inputList().addFile(first);
  window.inputList().addFile(second);
  EXPECT_EQ(window.outputFolderText().toStdString(), files_ / "one/");
  EXPECT_EQ(context_->job.outputFolder, files_ / "one/");
  // Only folders the user chose push others out of the history.
  EXPECT_EQ(context_->settings.file.recentOutFolders, "");

  // A chosen folder shown already stays.
  window.dispatch(kCommandNew);
  context_->settings.file.recentOutFolders = "/old/";
  window.refreshOutputFolderBox();
  window.inputList().addFile(first);
  EXPECT_EQ(window.outputFolderText(), "/old/");
}

TEST_F(InputListTest, DroppedFolderAddsItsTreeWithRelativeSubfolders) {
  MainWindow& window = Open();
  const std::string root = files_ / "cd";
  MakeTree(root);
  std::vector<int> barMaximum;
  auto watcher1 = WatchModal([&] {
    if (auto* dialog = FindWindow<QDialog>("window2")) {
      barMaximum.push_back(dialog->findChild<QProgressBar*>("control336")->maximum());
      EXPECT_EQ(dialog->windowTitle(), "Importing");
      return true;
    }
    return false;
  });
  Drop({QString::fromStdString(root)});
  EXPECT_EQ(Listed().size(), 3);
  EXPECT_EQ(RelativeOf(root + "/a.pcd"), "");
  EXPECT_EQ(RelativeOf(root + "/sub/b.pcd"), "sub/");
  EXPECT_EQ(RelativeOf(root + "/sub/deeper/c.PCD"), "sub/deeper/");
  EXPECT_EQ(context_->job.inputFolder, root + "/");
  EXPECT_EQ(window.statusText(), "Import complete, new files added: 3");
  // The first file's output folder is the dropped folder itself.
  EXPECT_EQ(context_->job.outputFolder, root + "/");
  // a.pcd, sub, photo.jpg, empty.pcd directly in the folder.
  EXPECT_EQ(barMaximum, std::vector<int>{4});

  // A file dropped later below that folder keeps its subfolder.
  const std::string later = MakeInput(root + "/sub/later.pcd");
  Drop({QString::fromStdString(later)});
  EXPECT_EQ(RelativeOf(later), "sub/");
}

TEST_F(InputListTest, TwoFoldersInOneDropCountTogether) {
  MainWindow& window = Open();
  MakeTree(files_ / "first");
  MakeInput(files_ / "second/x.pcd");
  Drop({QString::fromStdString(files_ / "first"), QString::fromStdString(files_ / "second")});
  EXPECT_EQ(Listed().size(), 4);
  EXPECT_EQ(window.statusText(), "Import complete, new files added: 4");
}

TEST_F(InputListTest, ChooserButtonRunsAddFilesAndAddFolder) {
  MainWindow& window = Open();
  const std::string file = MakeInput(files_ / "chosen.pcd");
  prompts_.filesToOpen = {QString::fromStdString(file)};
  auto watcher2 = WatchModal([&] {
    auto* chooser = FindWindow<QDialog>("window7");
    if (!chooser) return false;
    QTest::mouseClick(chooser->findChild<QToolButton*>("control353"), Qt::LeftButton);
    return true;
  });
  window.dispatch(kCommandInputChooser);
  EXPECT_EQ(Listed(), QStringList{QString::fromStdString(file)});

  MakeTree(files_ / "tree");
  prompts_.folderToChoose = QString::fromStdString(files_ / "tree");
  auto watcher3 = WatchModal([&] {
    auto* chooser = FindWindow<QDialog>("window7");
    if (!chooser) return false;
    QTest::mouseClick(chooser->findChild<QToolButton*>("control355"), Qt::LeftButton);
    return true;
  });
  window.dispatch(kCommandInputChooser);
  EXPECT_EQ(Listed().size(), 4);
  EXPECT_EQ(prompts_.requests.back().title, "Select Input Folder");
  EXPECT_EQ(context_->job.inputFolder, files_ / "tree/");
  EXPECT_EQ(window.statusText(), "Import complete, new files added: 3");
}

TEST_F(InputListTest, DeletingTheLastEntrySelectsTheNewLastOne) {
  MainWindow& window = Open();
  for (const char* name : {"a.pcd", "b.pcd", "c.pcd", "d.pcd"})
    window.inputList().addFile(MakeInput(files_ / name));
  QTreeWidget* list = window.inputListView();
  list->setFocus();
  list->topLevelItem(3)->setSelected(true);
  window.dispatch(kCommandDelete);
  ASSERT_EQ(list->topLevelItemCount(), 3);
  EXPECT_EQ(list->selectedItems(), QList<QTreeWidgetItem*>{list->topLevelItem(2)});
  EXPECT_FALSE(context_->inputs.contains(files_ / "d.pcd"));

  // From the middle, the entry that moved up into the place is selected.
  list->clearSelection();
  list->topLevelItem(0)->setSelected(true);
  list->topLevelItem(1)->setSelected(true);
  window.dispatch(kCommandDelete);
  ASSERT_EQ(list->topLevelItemCount(), 1);
  EXPECT_TRUE(list->topLevelItem(0)->isSelected());
  EXPECT_EQ(list->topLevelItem(0)->text(0).toStdString(), files_ / "c.pcd");
  EXPECT_EQ(context_->inputs.size(), 1u);
}

TEST_F(InputListTest, CopyPutsSelectedPathsWithoutAFinalLineBreak) {
  MainWindow& window = Open();
  for (const char* name : {"a.pcd", "b.pcd", "c.pcd", "d.pcd"})
    window.inputList().addFile(MakeInput(files_ / name));
  QTreeWidget* list = window.inputListView();
  list->setFocus();
  QGuiApplication::clipboard()->setText("before");
  window.dispatch(kCommandCopy);  // nothing selected: clipboard unchanged
  EXPECT_EQ(QGuiApplication::clipboard()->text(), "before");

  for (int i : {0, 1, 3}) list->topLevelItem(i)->setSelected(true);
  window.dispatch(kCommandCopy);
  const QString expected = QString::fromStdString((files_ / "a.pcd") + "\n" + (files_ / "b.pcd") +
                                                  "\n" + (files_ / "d.pcd"));
  EXPECT_EQ(QGuiApplication::clipboard()->text(), expected);

  window.dispatch(kCommandSelectAll);
  EXPECT_EQ(list->selectedItems().size(), 4);
}

TEST_F(InputListTest, ExportThenImportReproducesTheList) {
  MainWindow& window = Open();
  QStringList added;
  for (const char* name : {"z.pcd", "a b.pcd", "ü.pcd", "m/n.pcd"}) {
    const std::string path = MakeInput(files_ / name);
    window.inputList().addFile(path);
    added << QString::fromStdString(path);
  }
  ASSERT_EQ(Listed(), added);
  prompts_.fileToSave = QString::fromStdString(files_ / "saved");
  window.dispatch(kCommandExportList);
  // No extension: ".txt" is added.
  const std::string written = ReadFile(files_ / "saved.txt");
  // Plain UTF-8 and LF, so that `while read` loops find every file.
  std::string expected;
  for (const QString& path : added) expected += path.toStdString() + "\n";
  EXPECT_EQ(written, expected);
  EXPECT_EQ(window.statusText(), "Export complete, entries saved: 4");
  EXPECT_EQ(prompts_.requests.back().title, "Export Input Files");
  EXPECT_EQ(prompts_.requests.back().filter, "Text Files (*.txt *.lst);;All Files (*)");
  EXPECT_EQ(context_->job.inputPath, files_ / "saved.txt");

  window.dispatch(kCommandNew);
  ASSERT_TRUE(Listed().isEmpty());
  prompts_.fileToOpen = QString::fromStdString(files_ / "saved.txt");
  window.dispatch(kCommandImportList);
  EXPECT_EQ(Listed(), added);
  EXPECT_EQ(context_->inputs.size(), 4u);
  EXPECT_EQ(window.statusText(), "Import complete, new files added: 4");
  EXPECT_EQ(prompts_.requests.back().title, "Import Input Files From A List");
  // New forgot the last list file; the import remembers it, and the next
  // requester starts beside it.
  EXPECT_EQ(prompts_.requests.back().start, "list.txt");
  prompts_.fileToSave.clear();
  window.dispatch(kCommandExportList);
  EXPECT_EQ(prompts_.requests.back().start.toStdString(), files_ / "list.txt");
}

TEST_F(InputListTest, ExportAsksBeforeReplacingOnlyANonEmptyFile) {
  MainWindow& window = Open();
  window.dispatch(kCommandExportList);
  ASSERT_EQ(prompts_.messages.size(), 1u);
  EXPECT_EQ(prompts_.messages[0].text,
            "No input file(s) found. Please, add valid file(s) and try again!");
  EXPECT_TRUE(prompts_.requests.empty());

  window.inputList().addFile(MakeInput(files_ / "a.pcd"));
  WriteFile(files_ / "empty.txt", "");
  prompts_.fileToSave = QString::fromStdString(files_ / "empty.txt");
  window.dispatch(kCommandExportList);
  EXPECT_TRUE(prompts_.questions.empty());
  EXPECT_EQ(ReadFile(files_ / "empty.txt"), (files_ / "a.pcd") + "\n");

  WriteFile(files_ / "full.lst", "keep me");
  prompts_.fileToSave = QString::fromStdString(files_ / "full.lst");
  prompts_.answers = {false};
  window.dispatch(kCommandExportList);
  ASSERT_EQ(prompts_.questions.size(), 1u);
  EXPECT_EQ(prompts_.questions[0].text, "The file already exist. Do you want to overwrite it?");
  EXPECT_EQ(ReadFile(files_ / "full.lst"), "keep me");
}

TEST_F(InputListTest, ListImportSkipsBlankMissingAndCountsOnlyExistingLines) {
  MainWindow& window = Open();
  const std::string a = MakeInput(files_ / "in/a.pcd");
  MakeTree(files_ / "folder");
  const std::string list = "\xEF\xBB\xBF\r\n   " + a + "  \r\n\r\n" + (files_ / "missing.pcd") +
                           "\r\n" + (files_ / "folder") + "\r\n" + a + "\n";
  WriteFile(files_ / "list.txt", list);
  std::vector<int> bar;  // maximum, then value at the end
  auto watcher4 = WatchModal([&] {
    auto* dialog = FindWindow<QDialog>("window4");
    if (!dialog) return false;
    auto* progress = dialog->findChild<QProgressBar*>("control342");
    if (bar.empty()) bar.push_back(progress->maximum());
    if (window.statusText().startsWith("Import complete")) {
      bar.push_back(progress->value());
      return true;
    }
    return false;
  });
  prompts_.fileToOpen = QString::fromStdString(files_ / "list.txt");
  window.dispatch(kCommandImportList);
  EXPECT_EQ(Listed().size(), 4);  // a.pcd and the folder's three
  EXPECT_EQ(window.statusText(), "Import complete, new files added: 4");
  EXPECT_EQ(bar, (std::vector<int>{7, 7}));
}

TEST_F(InputListTest, ChosenOutputFolderGoesToTheHeadOfTheRecentFolders) {
  context_->settings.file.recentOutFolders = "/x/\t/y/";
  MainWindow& window = Open();
  fs::create_directories(files_ / "out");
  prompts_.folderToChoose = QString::fromStdString(files_ / "out");
  window.dispatch(kCommandOutputFolder);
  EXPECT_EQ(prompts_.requests.back().title, "Select Output Folder");
  EXPECT_EQ(window.outputFolderText().toStdString(), files_ / "out");
  EXPECT_EQ(context_->settings.file.recentOutFolders, (files_ / "out") + "\t/x/\t/y/");
  // A folder that does not exist changes nothing.
  prompts_.folderToChoose = QString::fromStdString(files_ / "nothing");
  window.dispatch(kCommandOutputFolder);
  EXPECT_EQ(context_->settings.file.recentOutFolders, (files_ / "out") + "\t/x/\t/y/");
  EXPECT_EQ(prompts_.requests.back().start.toStdString(), files_ / "out");
}

// The worker is held at its gate from the start, so the close request is
// sure to come while it is alive; the question's answer decides the rest.
class BreakTransferTest : public InputListTest {
 protected:
  void CloseWhenUp(const char* window) {
    watcher_ = WatchModal([window] {
      auto* dialog = FindWindow<QDialog>(window);
      if (!dialog) return false;
      dialog->close();
      return true;
    });
  }
  std::unique_ptr<QTimer> watcher_;
};

TEST_F(BreakTransferTest, YesBreaksTheFolderImportNoLetsItFinish) {
  MainWindow& window = Open();
  MakeTree(files_ / "tree");
  prompts_.folderToChoose = QString::fromStdString(files_ / "tree");
  prompts_.answers = {true};
  context_->progress.pause();
  CloseWhenUp("window2");
  window.dispatch(kCommandAddFolder);
  ASSERT_EQ(prompts_.questions.size(), 1u);
  EXPECT_EQ(prompts_.questions[0].text, "Do you want to break the import?");
  EXPECT_EQ(window.statusText(), "Import stopped");
  EXPECT_TRUE(Listed().isEmpty());
  EXPECT_EQ(context_->inputs.size(), 0u);

  prompts_.answers = {false};
  context_->progress.pause();
  CloseWhenUp("window2");
  window.dispatch(kCommandAddFolder);
  EXPECT_EQ(prompts_.questions.size(), 2u);
  EXPECT_EQ(window.statusText(), "Import complete, new files added: 3");
  EXPECT_EQ(Listed().size(), 3);
}

TEST_F(BreakTransferTest, YesBreaksTheListImportAndTheExport) {
  MainWindow& window = Open();
  const std::string a = MakeInput(files_ / "a.pcd");
  WriteFile(files_ / "list.txt", a + "\n");
  prompts_.fileToOpen = QString::fromStdString(files_ / "list.txt");
  prompts_.answers = {true};
  context_->progress.pause();
  CloseWhenUp("window4");
  window.dispatch(kCommandImportList);
  EXPECT_EQ(window.statusText(), "Import stopped");
  EXPECT_TRUE(Listed().isEmpty());

  window.inputList().addFile(a);
  prompts_.fileToSave = QString::fromStdString(files_ / "out.txt");
  prompts_.answers = {true};
  context_->progress.pause();
  CloseWhenUp("window5");
  window.dispatch(kCommandExportList);
  ASSERT_EQ(prompts_.questions.size(), 2u);
  EXPECT_EQ(prompts_.questions[1].text, "Do you want to break the export?");
  EXPECT_EQ(window.statusText(), "Export stopped");
  EXPECT_EQ(ReadFile(files_ / "out.txt"), "");
}

TEST(InputListHelpers, FolderPartAndLineFeedCount) {
  EXPECT_EQ(ui::FolderPart("/a/b/c.pcd"), "/a/b/");
  EXPECT_EQ(ui::FolderPart("c.pcd"), "");
  EXPECT_EQ(ui::WithFinalSlash("/a"), "/a/");
  EXPECT_EQ(ui::WithFinalSlash("/a/"), "/a/");
  TempFolder folder;
  // Across the 64 KiB block boundary.
  std::string text(70000, 'x');
  for (std::size_t i = 0; i < text.size(); i += 1000) text[i] = '\n';
  WriteFile(folder / "lines.txt", text);
  EXPECT_EQ(ui::CountLineFeeds(folder / "lines.txt"), 70);
  EXPECT_EQ(ui::CountLineFeeds(folder / "missing.txt"), 0);
}

}  // namespace
}  // namespace lumafold::test

namespace lumafold::test {
namespace {

TEST_F(InputListTest, FolderRowsComeInNaturalOrderAndTheHeaderSortsThem) {
  MainWindow& window = Open();
  QStringList expected;
  for (const char* name : {"roll1/IMG0002.pcd", "roll1/IMG0010.pcd", "roll2/img0001.pcd",
                           "roll10/IMG0001.pcd"})
    expected << QString::fromStdString(MakeInput(files_ / (std::string("scans/") + name)));
  window.dropPaths({QString::fromStdString(files_ / "scans")});
  EXPECT_EQ(Listed(), expected) << Listed().join(' ').toStdString();

  // A file added alone goes last; a click on Filename sorts by name, the
  // next one the other way.
  expected.prepend(QString::fromStdString(MakeInput(files_ / "a.pcd")));
  window.inputList().addFile(expected.front().toStdString());
  QHeaderView* header = window.inputListView()->header();
  const QPoint filename(header->sectionViewportPosition(0) + 5, header->height() / 2);
  QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, filename);
  EXPECT_EQ(Listed(), expected);
  QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, filename);
  EXPECT_EQ(Listed(), QStringList(expected.rbegin(), expected.rend()));
}

}  // namespace
}  // namespace lumafold::test
