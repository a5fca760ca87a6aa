// The preferences, Help and update doors of the real main window.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QToolBar>
#include <cstdlib>

#include "../net/loopback_server.h"
#include "prefs_test_support.h"
#include "settings/product.h"
#include "ui/about_dialog.h"
#include "ui/builtin_images.h"
#include "ui/commands.h"
#include "ui/converter_search_dialog.h"
#include "ui/dialogs.h"
#include "ui/theme_refresh.h"
#include "ui/window_face.h"
#include "ui_test_support.h"

namespace lumafold::ui {
namespace {

using test::Png;
using test::RecordingDialogs;
using test::ScratchFolder;
using test::WriteZip;

class DoorsTest : public test::WindowTest {
 protected:
  MainWindow& OpenWithRecorder() {
    MainWindow& window = Open();
    InstallSystemDialogs(window, recorder_.system());
    return window;
  }
  RecordingDialogs recorder_;
};

// Runs `act` on the modal dialog of type T once it is up.
template <typename T>
void OnModal(std::function<void(T&)> act) {
  test::WhileModal([act] {
    auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
    if (dialog == nullptr) return false;
    act(*dialog);
    return true;
  });
}

TEST_F(DoorsTest, PreferencesOpenOnGeneralFromTheMenuAndOnOutputFromTheFormatButton) {
  MainWindow& window = OpenWithRecorder();
  std::vector<PreferencesPane> seen;
  auto record = [&seen](PreferencesDialog& d) {
    seen.push_back(d.currentPage());
    d.reject();
  };
  OnModal<PreferencesDialog>(record);
  window.dispatch(kCommandPreferences);
  OnModal<PreferencesDialog>(record);
  window.dispatch(kCommandOutputFormat);
  EXPECT_EQ(seen,
            (std::vector<PreferencesPane>{PreferencesPane::General, PreferencesPane::Output}));
  EXPECT_TRUE(window.isEnabled());
}

TEST_F(DoorsTest, OkStoresSelectsTheOutputFormatAndWritesTheFile) {
  MainWindow& window = OpenWithRecorder();
  OnModal<PreferencesDialog>([](PreferencesDialog& d) {
    auto* format = d.findChild<QComboBox*>("Output/Format");
    format->setCurrentIndex(format->findText("TIFF"));
    d.pressOk();
  });
  window.dispatch(kCommandOutputFormat);
  EXPECT_EQ(context_->settings.output.format, "tiff");
  EXPECT_EQ(window.outputFormatBox()->currentText(), "TIFF (Tagged Image File Format)");
  EXPECT_NE(test::ReadFile(context_->settings.settingsFilePath).find("Format = tiff"),
            std::string::npos);
}

TEST_F(DoorsTest, IconSizeAloneRebuildsTheToolBarWithoutReloadingTheTheme) {
  MainWindow& window = OpenWithRecorder();
  QImage marker(16, 16, QImage::Format_ARGB32);
  marker.fill(QColor(1, 2, 3));
  window.images().menuIcons["New"] = marker;
  window.images().buttons["Convert"] = marker;
  QToolBar* toolBarBefore = window.mainToolBar();
  QAction* menuEntryBefore = window.menuAction(kCommandNew);

  OnModal<PreferencesDialog>([](PreferencesDialog& d) {
    d.findChild<QComboBox*>("Interface/UI Size")->setCurrentIndex(4);
    d.pressOk();
  });
  window.dispatch(kCommandPreferences);

  EXPECT_NE(window.mainToolBar(), toolBarBefore);
  EXPECT_EQ(window.mainToolBar()->iconSize(), QSize(64, 64));
  EXPECT_EQ(window.menuAction(kCommandNew), menuEntryBefore);
  EXPECT_EQ(window.images().menuIcons.at("New").pixelColor(0, 0), QColor(1, 2, 3));
  EXPECT_EQ(window.images().buttons.at("Convert").pixelColor(0, 0), QColor(1, 2, 3));
  EXPECT_EQ(window.images().toolBarIcons.at("New").size(), QSize(64, 64));
  // The controls moved down below the taller tool bar.
  EXPECT_EQ(window.container()->y(), window.metrics().toolBarHeight);
}

TEST_F(DoorsTest, ThemeChangeReloadsEverySetFromTheNewArchive) {
  ScratchFolder gfx("doors-gfx");
  ASSERT_TRUE(WriteZip(gfx.path() + "flat.zip",
                       {{"theme.cfg", "[Theme]\r\nName=Flat\r\n[Icons]\r\nNew=new\r\n"},
                        {"new_16.png", Png(16, QColor(10, 20, 30))},
                        {"new_32.png", Png(32, QColor(40, 50, 60))}}));
  MainWindow& window = OpenWithRecorder();
  QImage marker(16, 16, QImage::Format_ARGB32);
  marker.fill(QColor(1, 2, 3));
  window.images().menuIcons["Exit"] = marker;  // from the previous theme
  QAction* menuEntryBefore = window.menuAction(kCommandNew);

  context_->settings.interface.uiTheme = "flat";
  context_->settings.interface.uiSize = 2;
  RefreshWindowAfterPreferences(window, ThemeRefresh::ThemeChanged, {gfx.path()});
  EXPECT_NE(window.menuAction(kCommandNew), menuEntryBefore);
  EXPECT_EQ(window.images().menuIcons.at("New").pixelColor(0, 0), QColor(10, 20, 30));
  EXPECT_EQ(window.images().toolBarIcons.at("New").pixelColor(0, 0), QColor(40, 50, 60));
  // What the new theme lacks is the built-in picture again.
  EXPECT_EQ(window.images().menuIcons.at("Exit"), BuiltInImage("Exit", 16));
}

TEST_F(DoorsTest, VanishedThemeFallsBackAndTheNameReachesTheSettingsFile) {
  ScratchFolder gfx("doors-fallback");
  ASSERT_TRUE(WriteZip(gfx.path() + "zeta.zip", {{"theme.cfg", "[Theme]\r\nName=Z\r\n"}}));
  ASSERT_TRUE(WriteZip(gfx.path() + "alpha.zip", {{"theme.cfg", "[Theme]\r\nName=A\r\n"}}));
  context_->settings.interface.uiTheme = "gone";
  ThemeImages images;
  ApplyTheme(*context_, images, {gfx.path()}, kThemeAllSets);
  EXPECT_EQ(context_->settings.interface.uiTheme, "alpha");
  MainWindow& window = Open();
  window.close();
  ASSERT_TRUE(QuitWindowFace(*context_, window));
  EXPECT_NE(test::ReadFile(context_->settings.settingsFilePath).find("UI Theme = alpha\r\n"),
            std::string::npos);
}

TEST_F(DoorsTest, AboutBoxClosesOnEscapeAndGivesTheWindowBack) {
  MainWindow& window = OpenWithRecorder();
  bool shown = false;
  OnModal<AboutDialog>([&shown](AboutDialog& about) {
    shown = about.isVisible();
    QTest::keyClick(&about, Qt::Key_Escape);
  });
  window.dispatch(kCommandAbout);
  EXPECT_TRUE(shown);
  EXPECT_TRUE(window.isEnabled());
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(DoorsTest, ConverterSearchWarnsThroughTheWindowsMessageBox) {
  MainWindow& window = OpenWithRecorder();
  OnModal<ConverterSearchDialog>([](ConverterSearchDialog& search) {
    search.search();  // both empty: warns, stays
    search.fromField()->setText("Tif-F");
    search.toField()->setText(".PNG");
    search.search();
  });
  window.dispatch(kCommandConverterSearch);
  ASSERT_EQ(prompts_.messages.size(), 1u);
  EXPECT_EQ(prompts_.messages[0].title, "Warning");
  EXPECT_EQ(prompts_.messages[0].text, "Please, fill all required fields and try again!");
  ASSERT_EQ(recorder_.opened.size(), 1u);
  EXPECT_TRUE(QString::fromStdString(recorder_.opened[0]).endsWith("/find/tiff-png/"));
}

TEST_F(DoorsTest, ManualFeedbackAndHomepageGoToTheDesktop) {
  MainWindow& window = OpenWithRecorder();
  window.dispatch(kCommandManual);
  window.dispatch(kCommandFeedback);
  window.dispatch(kCommandHomepage);
  ASSERT_EQ(recorder_.opened.size(), 3u);
  EXPECT_TRUE(QString::fromStdString(recorder_.opened[0]).endsWith("/lumafold.html"));
  EXPECT_EQ(recorder_.opened[1],
            "mailto:support@quorvane.com?subject=" + TitleLine() + " Feedback");
  EXPECT_EQ(recorder_.opened[2], "http://www.quorvane.com/lumafold/");
}

TEST_F(DoorsTest, HelpActionsSayWhenNothingCanOpenThem) {
  MainWindow& window = Open();
  // The desktop's real opener, with a PATH that holds no xdg-open.
  InstallSystemDialogs(window, StandardSystemDialogs());
  const std::string savedPath = std::getenv("PATH") ? std::getenv("PATH") : "";
  setenv("PATH", files_.path().c_str(), 1);
  window.dispatch(kCommandManual);
  window.dispatch(kCommandHomepage);
  // An xdg-open that finds nothing to hand the target to (its status 3),
  // as on a desktop without a browser; it notes what it was given.
  const std::string given = files_ / "given";
  test::WriteFile(files_ / "xdg-open", "#!/bin/sh\necho \"$1\" >> '" + given + "'\nexit 3\n");
  std::filesystem::permissions(files_ / "xdg-open", std::filesystem::perms::owner_all);
  window.dispatch(kCommandFeedback);
  setenv("PATH", savedPath.c_str(), 1);
  ASSERT_EQ(prompts_.messages.size(), 3u);
  EXPECT_TRUE(prompts_.messages[0].text.contains("lumafold.html"))
      << prompts_.messages[0].text.toStdString();
  EXPECT_TRUE(prompts_.messages[1].text.contains("http://www.quorvane.com/lumafold/"));
  EXPECT_TRUE(prompts_.messages[1].text.contains("xdg-open"));
  EXPECT_TRUE(prompts_.messages[2].text.contains("mailto:")) << prompts_.messages[2].text.toStdString();
  EXPECT_TRUE(test::ReadFile(given).starts_with("mailto:")) << test::ReadFile(given);
}

class UpdateDoorTest : public DoorsTest {
 protected:
  void point(const test::LoopbackServer& server) {
    setenv("LUMAFOLD_UPDATE_URL", server.url().c_str(), 1);
  }
  void TearDown() override {
    setenv("LUMAFOLD_UPDATE_URL", "http://127.0.0.1:9/lumafold.dat", 1);
    DoorsTest::TearDown();
  }
};

TEST_F(UpdateDoorTest, CheckNowReportsInTheWindowsBoxes) {
  MainWindow& window = OpenWithRecorder();
  test::LoopbackServer current({{"HTTP/1.0 200 OK\r\n\r\n260"}});
  point(current);
  window.dispatch(kCommandCheckUpdates);
  test::LoopbackServer newer({{"HTTP/1.0 200 OK\r\n\r\n261"}});
  point(newer);
  recorder_.answer = true;
  window.dispatch(kCommandCheckUpdates);
  setenv("LUMAFOLD_UPDATE_URL",
         ("http://127.0.0.1:" + std::to_string(test::LoopbackServer::ClosedPort()) + "/x").c_str(),
         1);
  window.dispatch(kCommandCheckUpdates);

  EXPECT_EQ(recorder_.notices,
            (std::vector<std::string>{
                "info|No Update|There is no update of Quorvane Lumafold yet. You're using the "
                "most recent version.",
                "error|Error|Internet connection problems!"}));
  EXPECT_EQ(recorder_.asked,
            std::vector<std::string>{"New Update|A new version of Quorvane Lumafold is "
                                     "available! Are you ready to download it right now?"});
  EXPECT_EQ(
      recorder_.opened,
      std::vector<std::string>{"http://127.0.0.1:" + std::to_string(newer.port()) + "/lumafold/"});
  EXPECT_NE(current.request().find("User-Agent: Quorvane Lumafold 2.6\r\n"), std::string::npos);
  // "Check now" leaves the date alone.
  EXPECT_EQ(context_->settings.general.updateDate, window.context().settings.general.updateDate);
}

TEST_F(UpdateDoorTest, AutomaticCheckAsksWhenDueAndMovesTheDate) {
  MainWindow& window = OpenWithRecorder();
  context_->settings.general.updateRange = 2;
  const std::time_t fixedNow = 1796788786;
  context_->settings.clock = [fixedNow] { return fixedNow; };
  context_->settings.general.updateDate = LocalDate(fixedNow) - 31 * 24 * 3600;
  test::LoopbackServer server({{"HTTP/1.0 200 OK\r\n\r\n260"}});
  point(server);
  recorder_.answer = true;
  RunAutomaticUpdateCheck(window);
  EXPECT_EQ(recorder_.asked,
            std::vector<std::string>{"Check for Updates|Do you want to check for updates?"});
  ASSERT_EQ(recorder_.notices.size(), 1u);
  EXPECT_EQ(recorder_.notices[0].substr(0, 15), "info|No Update|");
  EXPECT_EQ(context_->settings.general.updateDate, LocalDate(fixedNow));

  // Not due again: nothing is asked.
  RunAutomaticUpdateCheck(window);
  EXPECT_EQ(recorder_.asked.size(), 1u);
}

}  // namespace
}  // namespace lumafold::ui
