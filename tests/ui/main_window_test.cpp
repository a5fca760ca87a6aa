// The main window: commands from menu, tool bar and shortcut, the list-focus
// rule, the resize rule, New, the boxes and the list pop-up.
#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSet>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>

#include "ui/commands.h"
#include "ui/input_list.h"
#include "ui/list_pictures.h"
#include "ui_test_support.h"

namespace lumafold::test {
namespace {

using namespace lumafold::ui;

class MainWindowTest : public WindowTest {
 protected:
  // Closes whatever modal dialog a command opens (the input chooser, the
  // converter search, About, the preferences).
  [[nodiscard]] std::unique_ptr<QTimer> CloseModalDialogs() {
    return WatchModal([] {
      if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
        dialog->reject();
      return false;
    });
  }
  void AddInputs(int n) {
    for (int i = 0; i < n; ++i)
      window_->inputList().addFile(
          MakeInput(files_ / std::string("p").append(std::to_string(i)).append(".pcd")));
  }
};

TEST_F(MainWindowTest, MenuEntriesCarryTextIconAcceleratorAndSendTheirNumber) {
  MainWindow& window = Open();
  auto closer = CloseModalDialogs();
  int entries = 0;
  for (const CommandEntry& entry : CommandTable()) {
    QAction* action = window.menuAction(entry.number);
    if (entry.menuKey.empty()) {
      EXPECT_EQ(action, nullptr) << entry.number;
      continue;
    }
    ASSERT_NE(action, nullptr) << entry.number;
    ++entries;
    QString expected = window.text("Menu", entry.menuKey);
    if (!entry.accelerator.empty()) expected += "\t" + QString::fromUtf8(entry.accelerator.data());
    // The catalog text as written, with one Alt mnemonic added.
    EXPECT_EQ(QString(action->text()).remove('&'), expected);
    EXPECT_EQ(action->text().count('&'), 1) << action->text().toStdString();
    EXPECT_FALSE(action->icon().isNull()) << entry.number;
    if (entry.number == kCommandExit) continue;  // closes the window; below
    dispatched_.clear();
    action->trigger();
    ASSERT_FALSE(dispatched_.empty()) << entry.number;
    EXPECT_EQ(dispatched_.front(), entry.number);
  }
  EXPECT_EQ(entries, 18);  // command 8 lives in tool bar 3 only

  // The menu bar: File, Edit, Converter, Help with separators where drawn.
  const QList<QAction*> menus = window.menuBar()->actions();
  ASSERT_EQ(menus.size(), 4);
  EXPECT_EQ(menus[0]->text(), "&File");
  EXPECT_EQ(menus[1]->text(), "&Edit");
  EXPECT_EQ(menus[2]->text(), "&Converter");
  EXPECT_EQ(menus[3]->text(), "&Help");
  // Within each menu no two entries share their Alt letter.
  for (QAction* title : menus) {
    QSet<QChar> letters;
    for (QAction* action : title->menu()->actions()) {
      if (action->isSeparator()) continue;
      const QString text = action->text();
      const qsizetype at = text.indexOf('&');
      ASSERT_GE(at, 0) << text.toStdString();
      EXPECT_FALSE(letters.contains(text[at + 1].toLower())) << text.toStdString();
      letters.insert(text[at + 1].toLower());
    }
  }
  const QList<QAction*> file = menus[0]->menu()->actions();
  ASSERT_EQ(file.size(), 9);
  EXPECT_TRUE(file[1]->isSeparator());
  EXPECT_EQ(file[8]->data().toInt(), kCommandExit);

  window.menuAction(kCommandExit)->trigger();
  EXPECT_FALSE(window.isVisible());
}

TEST_F(MainWindowTest, ToolBarButtonsSendTheirNumbersWithMenuTooltips) {
  MainWindow& window = Open();
  auto closer = CloseModalDialogs();
  QToolBar* bar = window.mainToolBar();
  std::vector<int> clicked;
  for (int command : MainToolBarLayout()) {
    if (command == kSeparator) continue;
    QAction* action = window.toolBarAction(command);
    ASSERT_NE(action, nullptr) << command;
    EXPECT_EQ(action->toolTip(), window.text("Menu", FindCommand(command)->menuKey));
    QWidget* button = bar->widgetForAction(action);
    ASSERT_NE(button, nullptr);
    dispatched_.clear();
    QTest::mouseClick(button, Qt::LeftButton);
    ASSERT_FALSE(dispatched_.empty()) << command;
    clicked.push_back(dispatched_.front());
  }
  EXPECT_EQ(clicked, (std::vector<int>{0, 4, 7, 17, 14, 18, 21, 22, 23}));
  EXPECT_EQ(bar->actions().size(), 12);  // with the three separators

  dispatched_.clear();
  QTest::mouseClick(window.folderToolBar(), Qt::LeftButton);
  QTest::mouseClick(window.formatToolBar(), Qt::LeftButton);
  QTest::mouseClick(window.convertButton(), Qt::LeftButton);
  EXPECT_EQ(dispatched_, (std::vector<int>{7, 8, 14}));
  EXPECT_EQ(window.folderToolBar()->toolTip(), "Select Output Folder...");
  EXPECT_EQ(window.formatToolBar()->toolTip(), "Options...");
}

TEST_F(MainWindowTest, ShortcutsSendTheirNumbers) {
  MainWindow& window = Open();
  window.inputListView()->setFocus();
  const std::pair<QKeyCombination, int> keys[] = {
      {Qt::CTRL | Qt::Key_N, kCommandNew},
      {Qt::Key_F5, kCommandConvert},
      {Qt::Key_F1, kCommandManual},
      {Qt::CTRL | Qt::Key_C, kCommandCopy},
      {Qt::CTRL | Qt::Key_Delete, kCommandDelete},
      {Qt::CTRL | Qt::Key_A, kCommandSelectAll},
  };
  for (const auto& [key, command] : keys) {
    dispatched_.clear();
    QTest::keyClick(&window, key.key(), key.keyboardModifiers());
    EXPECT_EQ(dispatched_, std::vector<int>{command}) << command;
  }
  // F5 with an empty list went as far as the first check of a run.
  ASSERT_EQ(prompts_.messages.size(), 1u);
  EXPECT_EQ(prompts_.messages[0].title, "Warning");

  dispatched_.clear();
  QTest::keyClick(&window, Qt::Key_X, Qt::AltModifier);
  EXPECT_EQ(dispatched_, std::vector<int>{kCommandExit});
  EXPECT_FALSE(window.isVisible());
}

TEST_F(MainWindowTest, ListCommandsActOnlyWhileTheListHasTheFocus) {
  MainWindow& window = Open();
  AddInputs(3);
  QTreeWidget* list = window.inputListView();
  ASSERT_EQ(list->topLevelItemCount(), 3);

  window.outputFormatBox()->setFocus();
  QTest::keyClick(&window, Qt::Key_A, Qt::ControlModifier);
  EXPECT_TRUE(list->selectedItems().isEmpty());
  list->topLevelItem(1)->setSelected(true);
  QTest::keyClick(&window, Qt::Key_Delete, Qt::ControlModifier);
  EXPECT_EQ(list->topLevelItemCount(), 3);
  window.menuAction(kCommandDelete)->trigger();
  EXPECT_EQ(list->topLevelItemCount(), 3);
  EXPECT_EQ(context_->inputs.size(), 3u);

  list->setFocus();
  QTest::keyClick(&window, Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(list->selectedItems().size(), 3);
  QTest::keyClick(&window, Qt::Key_Delete, Qt::ControlModifier);
  EXPECT_EQ(list->topLevelItemCount(), 0);
  EXPECT_EQ(context_->inputs.size(), 0u);
}

// The rule's numbers for a window of W x H with the measured bar heights.
void ExpectLayout(MainWindow& window, int w, int h) {
  window.resize(w, h);
  QCoreApplication::processEvents();
  ASSERT_EQ(window.width(), w);
  ASSERT_EQ(window.height(), h);
  const LayoutMetrics& m = window.metrics();
  const int a = h - m.menuHeight - m.toolBarHeight - m.statusBarHeight;
  // The right column: 100 at the least width, a fifth of the window beyond.
  const int side = std::max(100, (w - 10) / 5);
  const int left = w - 30 - side;
  EXPECT_EQ(window.container()->geometry(), QRect(0, m.toolBarHeight, w, a - 10));
  EXPECT_EQ(window.inputListView()->geometry(), QRect(10, 10, left, a - 109));
  EXPECT_EQ(window.inputListView()->columnWidth(0), left - 30);
  EXPECT_EQ(window.folderLabel()->geometry(), QRect(10, a - 94, 380, 20));
  EXPECT_EQ(window.outputFolderBox()->geometry(), QRect(10, a - 79, left, 21));
  EXPECT_EQ(window.folderToolBar()->geometry(), QRect(left + 16, a - 80, 24, 24));
  EXPECT_EQ(window.formatLabel()->geometry(), QRect(10, a - 54, 380, 20));
  EXPECT_EQ(window.outputFormatBox()->geometry(), QRect(10, a - 39, left, 21));
  EXPECT_EQ(window.formatToolBar()->geometry(), QRect(left + 16, a - 40, 24, 24));
  EXPECT_EQ(window.convertButton()->geometry(), QRect(w - 10 - side, 10, side, 100));
  // The measured heights are the ones the window really gives its bars, so
  // the container ends 10 pixels above the status bar.
  EXPECT_EQ(window.menuBar()->height(), m.menuHeight);
  EXPECT_EQ(window.statusBar()->height(), m.statusBarHeight);
  EXPECT_EQ(window.mainToolBar()->height(), m.toolBarHeight);
  const QPoint bottom = window.container()->mapTo(&window, QPoint(0, window.container()->height()));
  EXPECT_EQ(bottom.y() + 10, window.statusBar()->y());
}

TEST_F(MainWindowTest, ResizeRuleAtMinimumAndLargerSizes) {
  MainWindow& window = Open();
  ExpectLayout(window, 510, 330);
  // At the minimum width the rule gives back the creation places.
  EXPECT_EQ(window.inputListView()->width(), 380);
  EXPECT_EQ(window.folderToolBar()->x(), 396);
  EXPECT_EQ(window.convertButton()->x(), 400);
  EXPECT_EQ(window.inputListView()->columnWidth(0), 350);
  ExpectLayout(window, 900, 600);
  // The picture under the button, at 3:2, grows with the window; its
  // facts (up to three lines where the column is narrow) fit under it.
  const QLabel* picture = window.pictures()->previewImage();
  const QLabel* facts = window.pictures()->previewFacts();
  ExpectLayout(window, 510, 330);
  const QRect least = picture->geometry();
  EXPECT_GE(least.height(), 40);
  EXPECT_EQ(least.width(), 76);
  EXPECT_GE(facts->height(), 3 * facts->fontMetrics().height());
  EXPECT_LE(facts->geometry().bottom(), window.outputFormatBox()->geometry().bottom());
  ExpectLayout(window, 1200, 800);
  const QRect large = picture->geometry();
  EXPECT_EQ(large.right(), 1200 - 11);
  EXPECT_EQ(large.height(), large.width() * 2 / 3);
  EXPECT_GT(large.height(), 2 * least.height());
  EXPECT_GE(facts->height(), 2 * facts->fontMetrics().height());

  window.resize(300, 200);
  QCoreApplication::processEvents();
  EXPECT_EQ(window.width(), 510);
  EXPECT_EQ(window.height(), 330);
}

TEST_F(MainWindowTest, LargeIconSizeMovesTheControlsDownByTheToolBarHeight) {
  context_->settings.interface.uiSize = 0;
  MainWindow& small = Open();
  const int smallBar = small.metrics().toolBarHeight;
  const int smallTop = small.container()->mapTo(&small, QPoint(0, 0)).y();
  EXPECT_EQ(small.mainToolBar()->iconSize(), QSize(16, 16));

  context_->settings.interface.uiSize = 3;
  MainWindow& large = Open();
  EXPECT_EQ(large.mainToolBar()->iconSize(), QSize(48, 48));
  const int largeBar = large.metrics().toolBarHeight;
  EXPECT_GE(largeBar, 48);
  const int largeTop = large.container()->mapTo(&large, QPoint(0, 0)).y();
  EXPECT_EQ(largeTop - smallTop, largeBar - smallBar);
  ExpectLayout(large, 510, 330);
  // The tool-bar pictures are drawn at the bar's size.
  const QImage icon = large.images().toolBarIcons.at("Convert");
  EXPECT_EQ(icon.size(), QSize(48, 48));
}

TEST_F(MainWindowTest, NewEmptiesTheListAndTheInputSet) {
  MainWindow& window = Open();
  AddInputs(3);
  window.setStatusText("something else");
  window.outputFormatBox()->setFocus();
  ASSERT_EQ(context_->inputs.size(), 3u);
  ASSERT_FALSE(window.outputFolderText().isEmpty());
  context_->job.sequenceNumber = 9;

  window.dispatch(kCommandNew);
  EXPECT_EQ(window.inputListView()->topLevelItemCount(), 0);
  EXPECT_EQ(context_->inputs.size(), 0u);
  EXPECT_EQ(window.statusText(), "Ready");
  // The output folder is the user's and stays.
  EXPECT_EQ(window.outputFolderText().toStdString(), files_.path() + "/");
  EXPECT_EQ(context_->job.outputFolder, files_.path() + "/");
  EXPECT_TRUE(context_->job.inputFolder.empty());
  EXPECT_EQ(context_->job.sequenceNumber, 1);
  EXPECT_EQ(window.focusWidget(), window.inputListView());
  // The recent folders stay in the box for the next choice.
  EXPECT_EQ(window.outputFolderBox()->count(), 1);
}

TEST_F(MainWindowTest, WindowStartsWithTitleListColumnAndEmptyFolderItem) {
  MainWindow& window = Open();
  EXPECT_EQ(window.windowTitle(), "Quorvane Lumafold 2.6");
  EXPECT_EQ(window.inputListView()->headerItem()->text(0), "Filename");
  EXPECT_EQ(window.folderLabel()->text(), "Output Folder:");
  EXPECT_EQ(window.formatLabel()->text(), "Output Format:");
  EXPECT_EQ(window.statusText(), "Ready");
  ASSERT_EQ(window.outputFolderBox()->count(), 1);
  EXPECT_TRUE(window.outputFolderBox()->itemText(0).isEmpty());
  EXPECT_TRUE(context_->job.outputFolder.empty());
  EXPECT_EQ(window.minimumSize(), QSize(510, 330));
  EXPECT_EQ(window.pos(), QPoint(context_->settings.window.x, context_->settings.window.y));
}

TEST_F(MainWindowTest, FormatBoxListsEveryFormatAndStoresTheChoice) {
  MainWindow& window = Open();
  QComboBox* box = window.outputFormatBox();
  ASSERT_EQ(box->count(), 23);
  EXPECT_EQ(box->itemText(0), "BMP (Windows or OS/2 Bitmap)");
  EXPECT_EQ(box->currentText(), "JPG (JPEG File Format)");
  EXPECT_EQ(box->currentData().toInt(), 9);
  EXPECT_FALSE(box->itemIcon(0).isNull());

  box->setCurrentIndex(15);  // the user picks PNG
  EXPECT_EQ(context_->settings.output.format, "png");

  // Without descriptions (the preferences' own box) only the keys show; an
  // unknown "Format" selects the first item.
  context_->settings.output.format = "nope";
  QComboBox plain;
  MainWindow::FillOutputFormatBox(&plain, *context_, window.images(), false);
  EXPECT_EQ(plain.itemText(19), "TIFF");
  EXPECT_EQ(plain.currentIndex(), 0);
}

TEST_F(MainWindowTest, FolderBoxShowsRecentFoldersAndFollowsTheUser) {
  context_->settings.file.recentOutFolders = " /a/ \t\t/b/\t/c/\t/d/\t/e/\t/f/";
  context_->settings.advanced.outFoldersNumber = 5;
  MainWindow& window = Open();
  QComboBox* box = window.outputFolderBox();
  // Empty fields are skipped and only "Out Folders Number" fields are read.
  ASSERT_EQ(box->count(), 4);
  EXPECT_EQ(box->itemText(0), "/a/");
  EXPECT_EQ(box->itemText(3), "/d/");
  EXPECT_FALSE(box->itemIcon(0).isNull());
  // The most recent folder is shown at start-up, and New keeps the shown
  // one, also a typed one.
  EXPECT_EQ(box->currentText(), "/a/");
  EXPECT_EQ(context_->job.outputFolder, "/a/");

  box->setCurrentIndex(2);  // the user picks one
  EXPECT_EQ(context_->job.outputFolder, "/c/");
  window.dispatch(kCommandNew);
  EXPECT_EQ(box->currentText(), "/c/");
  QTest::keyClicks(box->lineEdit(), "typed");
  EXPECT_EQ(context_->job.outputFolder, "/c/typed");
  window.dispatch(kCommandNew);
  EXPECT_EQ(context_->job.outputFolder, "/c/typed");
  EXPECT_EQ(box->currentText(), "/c/typed");
  EXPECT_EQ(box->count(), 4);  // typing records nothing

  box->setCurrentIndex(2);
  window.refreshOutputFolderBox();
  EXPECT_EQ(box->currentText(), "/c/");
  context_->job.outputFolder = "/elsewhere/";
  window.refreshOutputFolderBox();
  EXPECT_EQ(box->currentIndex(), 0);
}

TEST_F(MainWindowTest, DoubleClickOnTheListOpensTheChooser) {
  MainWindow& window = Open();
  AddInputs(2);
  QTreeWidget* list = window.inputListView();
  bool chooserSeen = false;
  auto watcher2 = WatchModal([&] {
    auto* chooser = FindWindow<QDialog>("window7");
    if (!chooser) return false;
    chooserSeen =
        chooser->windowTitle() == "Add Input Files..." && chooser->size() == QSize(270, 160);
    QTest::keyClick(chooser, Qt::Key_Escape);
    return true;
  });
  dispatched_.clear();
  const QRect row = list->visualItemRect(list->topLevelItem(1));
  // A real double-click starts with a press the view remembers.
  QTest::mousePress(list->viewport(), Qt::LeftButton, {}, row.center());
  QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, row.center());
  QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, row.center());
  EXPECT_EQ(dispatched_, std::vector<int>{kCommandInputChooser});
  EXPECT_TRUE(chooserSeen);
  EXPECT_TRUE(prompts_.requests.empty());  // Escape picked nothing
}

TEST_F(MainWindowTest, ListPopupNeedsASelection) {
  MainWindow& window = Open();
  AddInputs(2);
  QTreeWidget* list = window.inputListView();
  emit list->customContextMenuRequested(QPoint(5, 5));
  EXPECT_FALSE(window.listPopupMenu()->isVisible());

  list->topLevelItem(0)->setSelected(true);
  emit list->customContextMenuRequested(QPoint(5, 5));
  EXPECT_TRUE(window.listPopupMenu()->isVisible());
  const QList<QAction*> popup = window.listPopupMenu()->actions();
  ASSERT_EQ(popup.size(), 4);
  EXPECT_EQ(popup[0]->text(), "&Copy\tCtrl+C");
  EXPECT_TRUE(popup[2]->isSeparator());
  EXPECT_EQ(popup[3]->text(), "&Select All\tCtrl+A");
  window.listPopupMenu()->hide();
}

}  // namespace
}  // namespace lumafold::test

namespace lumafold::test {
namespace {

TEST_F(MainWindowTest, KeyboardReturnDeleteAndTabFollowTheLayout) {
  MainWindow& window = Open();
  // Return presses the focused button, and on the list the Convert button.
  for (QWidget* target : {static_cast<QWidget*>(window.convertButton()),
                          static_cast<QWidget*>(window.inputListView())}) {
    dispatched_.clear();
    target->setFocus();
    QTest::keyClick(target, Qt::Key_Return);
    EXPECT_EQ(dispatched_, std::vector<int>{kCommandConvert});
  }
  EXPECT_EQ(prompts_.messages.size(), 2u);  // "No input file(s) found" twice

  // Tab goes down the window as the controls are laid out.
  window.inputListView()->setFocus();
  std::vector<QWidget*> visited;
  for (int i = 0; i < 5; ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QWidget* focused = QApplication::focusWidget();
    visited.push_back(focused == window.outputFolderBox()->lineEdit() ? window.outputFolderBox()
                                                                      : focused);
  }
  EXPECT_EQ(visited, (std::vector<QWidget*>{window.outputFolderBox(), window.folderToolBar(),
                                             window.outputFormatBox(), window.formatToolBar(),
                                             window.convertButton()}));

  // Delete removes the selected rows of the focused list.
  AddInputs(3);
  QTreeWidget* list = window.inputListView();
  list->setFocus();
  list->setCurrentItem(list->topLevelItem(1));
  QTest::keyClick(list, Qt::Key_Delete);
  EXPECT_EQ(list->topLevelItemCount(), 2);
  EXPECT_EQ(context_->inputs.size(), 2u);
}

}  // namespace
}  // namespace lumafold::test

namespace lumafold::test {
namespace {

TEST_F(MainWindowTest, SavedPlaceIsFittedIntoTheScreen) {
  // Saved at a 1.5 scale factor on a larger screen: 1499x1049 far right.
  context_->settings.window.width = 1499;
  context_->settings.window.height = 1049;
  context_->settings.window.x = 4000;
  context_->settings.window.y = 3000;
  MainWindow& window = Open();
  const QRect screen = window.screen()->availableGeometry();
  EXPECT_TRUE(screen.contains(window.pos()));
  EXPECT_LE(window.width(), screen.width());
  EXPECT_LE(window.height(), screen.height());

  const QSize minimum(510, 330);
  EXPECT_EQ(FitIntoScreen({1500, 900, 1499, 1049}, {0, 0, 1280, 800}, minimum),
            QRect(0, 0, 1280, 800));
  EXPECT_EQ(FitIntoScreen({-50, 700, 600, 400}, {0, 0, 1280, 800}, minimum),
            QRect(0, 400, 600, 400));
  EXPECT_EQ(FitIntoScreen({100, 100, 510, 330}, {0, 0, 1280, 800}, minimum),
            QRect(100, 100, 510, 330));
}

}  // namespace
}  // namespace lumafold::test
