// The window as a user on a Linux desktop meets it: one entry per output
// folder, paths cut in the middle, a double click on the empty list, labels
// that fit a larger font, menus with Alt letters, drops offered as a move,
// and a theme described in Latin-1.
#include <QAbstractItemModel>
#include <QApplication>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QTreeWidget>
#include <QUrl>

#include "settings/profile_file.h"
#include "themes_test_support.h"
#include "ui/commands.h"
#include "ui/conversion_run.h"
#include "ui/input_list.h"
#include "ui/preferences_dialog.h"
#include "ui/system_dialogs.h"
#include "ui/themes.h"
#include "ui_test_support.h"

namespace lumafold::test {
namespace {

using namespace lumafold::ui;

class WindowFaultsTest : public WindowTest {};

TEST_F(WindowFaultsTest, ChosenFolderAndConvertedFolderAreOneRecentEntry) {
  Open();
  fs::create_directories(files_ / "out");
  // The chooser answers without the final "/", Convert adds it.
  prompts_.folderToChoose = QString::fromStdString(files_ / "out");
  window_->dispatch(kCommandOutputFolder);
  window_->inputList().addFile(MakeInput(files_ / "in.pcd"));
  auto okWhenDone = WatchModal([] {
    auto* dialog = FindWindow<QDialog>("window3");
    auto* ok = dialog ? dialog->findChild<QPushButton*>("control340") : nullptr;
    if (!ok || !ok->isEnabled()) return false;
    ok->click();
    return true;
  });
  window_->dispatch(kCommandConvert);
  EXPECT_EQ(context_->settings.file.recentOutFolders, (files_ / "out/"));
  QComboBox* box = window_->outputFolderBox();
  int entries = 0;
  for (int i = 0; i < box->count(); ++i)
    if (SameOutputFolder(box->itemText(i).toStdString(), files_ / "out")) ++entries;
  EXPECT_EQ(entries, 1);
  EXPECT_TRUE(SameOutputFolder(box->currentText().toStdString(), files_ / "out"));
}

TEST_F(WindowFaultsTest, LongPathsFitTheLabelByTheFontAndRowsKeepThemWhole) {
  const QString path =
      "/home/someone/Pictures/Scans from the 1996 holiday in Brittany/Film 12 - beach and "
      "harbour/Kodak Photo CD/IMAGES/IMG0012 Photo CD.pcd";
  for (const int pointSize : {8, 11, 16}) {
    QFont font;
    font.setPointSize(pointSize);
    const QFontMetrics metrics(font);
    const QString shown = FitPathToWidth(path, metrics, 280);
    EXPECT_LE(metrics.horizontalAdvance(shown), 280) << pointSize;
    // Both ends stay readable: the start of the folder and the name up to
    // its extension ("...Photo CD.pc" was the old fault).
    EXPECT_TRUE(shown.startsWith("/home/")) << shown.toStdString();
    EXPECT_TRUE(shown.endsWith("CD.pcd")) << shown.toStdString();
    EXPECT_TRUE(shown.contains("...")) << shown.toStdString();
    // No shorter cut than needed: one more character would not fit.
    const int kept = static_cast<int>(shown.size());
    EXPECT_GT(metrics.horizontalAdvance(ShortenText(path, kept + 2)), 280) << pointSize;
  }
  QFont font;
  EXPECT_EQ(FitPathToWidth("/short.pcd", QFontMetrics(font), 280), "/short.pcd");

  Open();
  const std::string file = files_ / "a rather long folder name for scans/of the summer/IMG0001.pcd";
  window_->inputList().addFile(MakeInput(file));
  QTreeWidget* list = window_->inputListView();
  EXPECT_EQ(list->textElideMode(), Qt::ElideMiddle);
  const QModelIndex row = list->model()->index(0, 0);
  EXPECT_EQ(row.data(Qt::ToolTipRole).toString().toStdString(), file);
  EXPECT_EQ(row.data(Qt::DisplayRole).toString().toStdString(), file);
}

TEST_F(WindowFaultsTest, DoubleClickOnTheEmptyListOpensTheInputChooser) {
  Open();
  ASSERT_EQ(window_->inputList().count(), 0);
  auto closer = WatchModal([] {
    if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
      dialog->reject();
      return true;
    }
    return false;
  });
  QWidget* viewport = window_->inputListView()->viewport();
  QTest::mouseDClick(viewport, Qt::LeftButton, Qt::NoModifier, QPoint(20, 20));
  ASSERT_FALSE(dispatched_.empty());
  EXPECT_EQ(dispatched_.back(), kCommandInputChooser);
  // A right button double click is no such request.
  dispatched_.clear();
  QTest::mouseDClick(viewport, Qt::RightButton, Qt::NoModifier, QPoint(20, 20));
  EXPECT_TRUE(dispatched_.empty());
}

// Every row label shows its whole text in the font it has.
void ExpectLabelsFit(QWidget* root, const char* where) {
  for (QLabel* label : root->findChildren<QLabel*>()) {
    if (label->text().isEmpty() || label->wordWrap() || !label->pixmap().isNull()) continue;
    const QFontMetrics metrics = label->fontMetrics();
    EXPECT_LE(metrics.horizontalAdvance(label->text()), label->contentsRect().width())
        << where << ": \"" << label->text().toStdString() << "\"";
  }
}

TEST_F(WindowFaultsTest, LabelsGrowForALargerFontAndKeepTheDescribedMinimum) {
  const QFont original = QApplication::font();
  // What QT_FONT_DPI=132 does to a 9-point desktop font, and more.
  QFont large = original;
  large.setPointSizeF(original.pointSizeF() * 132.0 / 96.0 + 1);
  QApplication::setFont(large);
  Open();
  ExpectLabelsFit(window_.get(), "main window");
  const ThemeTable themes;
  const SystemDialogs dialogs;
  PreferencesEnvironment environment{*context_, themes, window_->prompts(), dialogs, QIcon(), {}};
  {
    PreferencesDialog dialog(environment, PreferencesPane::General, window_.get());
    ExpectLabelsFit(&dialog, "preferences");
    // Controls still start right of their labels, inside the dialog.
    for (QLabel* label : dialog.findChildren<QLabel*>()) {
      if (label->objectName() == "header") continue;
      EXPECT_LE(label->geometry().right(), dialog.width()) << label->text().toStdString();
    }
    EXPECT_GT(dialog.width(), 600);
  }
  QApplication::setFont(original);
  // At the ordinary font the described geometry stands.
  PreferencesDialog dialog(environment, PreferencesPane::General, window_.get());
  EXPECT_EQ(dialog.width(), 600);
  EXPECT_EQ(dialog.height(), 350);
}

// A drop offered by the source with the given actions.
bool DropAccepted(MainWindow& window, Qt::DropActions actions, const QString& path) {
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(path)});
  QDragEnterEvent enter(QPoint(50, 50), actions, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&window, &enter);
  if (!enter.isAccepted()) return false;
  EXPECT_EQ(enter.dropAction(), Qt::CopyAction);
  QDropEvent drop(QPointF(50, 50), actions, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&window, &drop);
  if (drop.isAccepted()) {
    EXPECT_EQ(drop.dropAction(), Qt::CopyAction);
  }
  return drop.isAccepted();
}

TEST_F(WindowFaultsTest, DropsAreTakenAsCopiesOnly) {
  Open();
  const QString file = QString::fromStdString(MakeInput(files_ / "dropped.pcd"));
  EXPECT_FALSE(DropAccepted(*window_, Qt::MoveAction, file));
  EXPECT_EQ(window_->inputList().count(), 0);
  EXPECT_TRUE(DropAccepted(*window_, Qt::CopyAction | Qt::MoveAction, file));
  EXPECT_EQ(window_->inputList().count(), 1);
}

TEST(ThemeTextTest, ThemeDescriptionsInLatin1AreReadAsLatin1) {
  ScratchFolder folder("themes-latin1");
  const std::string a = folder.path();
  // "Café Crème" in Latin-1 (E9, E8) and in UTF-8.
  ASSERT_TRUE(WriteZip(a + "latin.zip", {{"theme.cfg", "[Theme]\r\nName=Caf\xE9 Cr\xE8me\r\n"}}));
  ASSERT_TRUE(
      WriteZip(a + "utf8.zip", {{"theme.cfg", "[Theme]\r\nName=Caf\xC3\xA9 Cr\xC3\xA8me\r\n"}}));
  // UTF-8 cut by the 255-byte peek in the middle of a character is still
  // UTF-8: "é" begins at byte 254.
  const std::string padding = "[Theme]\r\nName=Long\r\n;" + std::string(233, 'x');
  ASSERT_EQ(padding.size(), 254u);
  ASSERT_TRUE(WriteZip(a + "cut.zip", {{"theme.cfg", padding + "\xC3\xA9\r\n"}}));
  const ThemeTable table = CollectThemes({a});
  EXPECT_EQ(table.at("latin").displayName, "Caf\xC3\xA9 Cr\xC3\xA8me");
  EXPECT_EQ(table.at("utf8").displayName, "Caf\xC3\xA9 Cr\xC3\xA8me");
  EXPECT_EQ(table.at("cut").displayName, "Long");
}

}  // namespace
}  // namespace lumafold::test
