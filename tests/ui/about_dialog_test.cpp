#include "ui/about_dialog.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "prefs_test_support.h"
#include "settings/string_catalog.h"
#include "ui/converter_search_dialog.h"
#include "ui/uninstall_prompt.h"
#include "ui/web_links.h"

namespace lumafold::ui {
namespace {

using test::RecordingDialogs;

TEST(CleanExtensionTest, LowerCutThenStripped) {
  EXPECT_EQ(CleanExtension(".JPG"), "jpg");
  EXPECT_EQ(CleanExtension("tif-f"), "tiff");
  // Cut to 12 characters before the points go: "a.b.c.d.e.f." keeps six letters.
  EXPECT_EQ(CleanExtension("a.b.c.d.e.f.g.h.i.j"), "abcdef");
  EXPECT_EQ(CleanExtension(QString::fromUtf8("éàü")), "");
  EXPECT_EQ(CleanExtension(QString::fromUtf8("Mp3é")), "mp3");
  EXPECT_EQ(CleanExtension("  "), "");
}

TEST(WebLinksTest, MailAndSearchAddresses) {
  EXPECT_EQ(FeedbackMailLink(),
            "mailto:support@quorvane.com?subject=Quorvane Lumafold 2.6 Feedback");
  EXPECT_EQ(SupportMailLink(), "mailto:support@quorvane.com");
  EXPECT_TRUE(ConverterSearchAddress("pcd", "jpg").endsWith("/find/pcd-jpg/"));
  EXPECT_TRUE(ManualPath().endsWith("/lumafold.html"));
}

class HelpDialogTest : public ::testing::Test {
 protected:
  StringCatalog catalog_;
  RecordingDialogs recorder_;
  SystemDialogs dialogs_ = recorder_.system();
  std::vector<QString> warnings_;
};

TEST_F(HelpDialogTest, AboutBoxShowsTitleNoticeAndLinks) {
  AboutDialog about(catalog_, dialogs_);
  about.show();
  EXPECT_EQ(about.size(), QSize(360, 240));
  EXPECT_EQ(about.windowTitle(), "About...");
  auto* title = about.findChild<QLabel*>("control360");
  ASSERT_NE(title, nullptr);
  EXPECT_EQ(title->text(), "Quorvane Lumafold 2.6");
  EXPECT_EQ(title->geometry(), QRect(20, 50, 320, 20));
  EXPECT_EQ(about.findChild<QLabel*>("control363")->text(), "Web:");
  EXPECT_EQ(about.findChild<QLabel*>("control364")->text(), "E-mail:");
  EXPECT_EQ(about.findChild<QLabel*>("control358")->pixmap().size(), QSize(360, 40));
  EXPECT_EQ(about.webLink()->palette().color(QPalette::WindowText), QColor(0, 0, 255));
  EXPECT_EQ(about.findChild<QPushButton*>("control370")->geometry(), QRect(140, 200, 80, 25));

  QTest::mouseClick(about.webLink(), Qt::LeftButton);
  QTest::mouseClick(about.mailLink(), Qt::LeftButton);
  EXPECT_EQ(recorder_.opened,
            (std::vector<std::string>{"http://www.quorvane.com/", "mailto:support@quorvane.com"}));
  EXPECT_TRUE(about.isVisible());
}

TEST_F(HelpDialogTest, EscapeReturnAndOkCloseTheAboutBox) {
  for (int key : {int(Qt::Key_Escape), int(Qt::Key_Return)}) {
    AboutDialog about(catalog_, dialogs_);
    about.show();
    QTest::keyClick(&about, static_cast<Qt::Key>(key));
    EXPECT_FALSE(about.isVisible()) << key;
  }
  AboutDialog about(catalog_, dialogs_);
  about.show();
  about.findChild<QPushButton*>("control370")->click();
  EXPECT_FALSE(about.isVisible());
  EXPECT_TRUE(recorder_.opened.empty());
}

TEST_F(HelpDialogTest, ReturnInTheSearchDialogOpensTheCleanedPage) {
  ConverterSearchDialog search(catalog_, dialogs_,
                               [this](const QString& t) { warnings_.push_back(t); });
  search.show();
  EXPECT_EQ(search.size(), QSize(370, 60));
  EXPECT_EQ(search.windowTitle(), "Find a File Converter");
  QTest::keyClicks(search.fromField(), "PCD");
  QTest::keyClicks(search.toField(), "Jpg");
  QTest::keyClick(search.toField(), Qt::Key_Return);
  ASSERT_EQ(recorder_.opened.size(), 1u);
  EXPECT_TRUE(QString::fromStdString(recorder_.opened[0]).endsWith("/find/pcd-jpg/"));
  EXPECT_EQ(search.searchedFrom(), "pcd");
  EXPECT_FALSE(search.isVisible());
  EXPECT_EQ(search.result(), QDialog::Accepted);
  EXPECT_TRUE(warnings_.empty());
}

TEST_F(HelpDialogTest, EmptyExtensionsWarnAndKeepTheDialogOpen) {
  ConverterSearchDialog search(catalog_, dialogs_,
                               [this](const QString& t) { warnings_.push_back(t); });
  search.show();
  QTest::keyClicks(search.fromField(), "...");
  QTest::keyClicks(search.toField(), "jpg");
  QTest::keyClick(search.fromField(), Qt::Key_Return);
  EXPECT_EQ(warnings_, std::vector<QString>{"Please, fill all required fields and try again!"});
  EXPECT_TRUE(search.isVisible());
  EXPECT_EQ(search.fromField()->text(), "...");
  EXPECT_TRUE(recorder_.opened.empty());

  QTest::keyClick(&search, Qt::Key_Escape);
  EXPECT_FALSE(search.isVisible());
  EXPECT_TRUE(recorder_.opened.empty());
}

TEST_F(HelpDialogTest, UninstallPromptOpensThePageOnlyWhenChecked) {
  {
    UninstallPrompt prompt(catalog_, dialogs_);
    prompt.show();
    EXPECT_EQ(prompt.size(), QSize(300, 100));
    EXPECT_EQ(prompt.windowTitle(), "Uninstall");
    EXPECT_EQ(prompt.fullUninstall()->text(), "Full Uninstall - Visit Uninstall Center");
    EXPECT_EQ(prompt.fullUninstall()->geometry(), QRect(30, 20, 250, 20));
    EXPECT_TRUE(prompt.fullUninstall()->isChecked());
    EXPECT_EQ(prompt.nextButton()->geometry(), QRect(200, 60, 80, 25));
    bool finished = false;
    QObject::connect(&prompt, &UninstallPrompt::finished, [&] { finished = true; });
    prompt.nextButton()->click();
    EXPECT_TRUE(finished);
    EXPECT_FALSE(prompt.isVisible());
    ASSERT_EQ(recorder_.opened.size(), 1u);
    EXPECT_EQ(recorder_.opened[0], UninstallPageAddress().toStdString());
  }
  {
    UninstallPrompt prompt(catalog_, dialogs_);
    prompt.show();
    QTest::mouseClick(prompt.fullUninstall(), Qt::LeftButton);
    EXPECT_FALSE(prompt.fullUninstall()->isChecked());
    EXPECT_TRUE(prompt.isVisible());  // the box only toggles
    prompt.nextButton()->click();
    EXPECT_FALSE(prompt.isVisible());
  }
  {
    UninstallPrompt prompt(catalog_, dialogs_);
    prompt.show();
    bool finished = false;
    QObject::connect(&prompt, &UninstallPrompt::finished, [&] { finished = true; });
    prompt.close();
    EXPECT_TRUE(finished);
  }
  EXPECT_EQ(recorder_.opened.size(), 1u);
}

TEST(UninstallEntryTest, RunReturnsWhenThePromptEnds) {
  AppContext context;
  // Untick the box first so that nothing reaches the real browser.
  QTimer::singleShot(50, [] {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* prompt = qobject_cast<UninstallPrompt*>(w); prompt && prompt->isVisible()) {
        prompt->fullUninstall()->setChecked(false);
        prompt->nextButton()->click();
      }
  });
  char name[] = "lumafold";
  char* argv[] = {name, nullptr};
  EXPECT_EQ(RunUninstallPrompt(context, 1, argv), 0);
}

}  // namespace
}  // namespace lumafold::ui
