// Start and quit of the desktop face: the settings file read at start and
// written at exit with the window's placement.
#include "ui/window_face.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QComboBox>
#include <chrono>
#include <thread>

#include "settings/profile_file.h"
#include "ui_test_support.h"

namespace lumafold::test {
namespace {

using namespace lumafold::ui;

// A saved placement in one line ("normal 700x450 at 60,90"), so that a
// check names every field and a failure shows them side by side.
std::string Placement(const WindowSettings& window) {
  return std::string(window.isMaximized ? "maximized " : "normal ") + std::to_string(window.width) +
         "x" + std::to_string(window.height) + " at " + std::to_string(window.x) + "," +
         std::to_string(window.y);
}

class WindowFaceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(home_.path().empty());
    setenv("XDG_CONFIG_HOME", home_.path().c_str(), 1);
  }

  // A settings file as an earlier run left it.
  std::string SavedFile(std::int8_t maximized, std::int8_t keepHistory) {
    AppContext context;
    context.settings.resetToDefaults(SettingsMode::Window);
    context.settings.window = {maximized, 60, 90, 700, 450};
    context.settings.general.updateRange = 5;
    context.settings.output.format = "png";
    context.settings.advanced.outFoldersHistory = keepHistory;
    context.settings.file.recentOutFolders = "/kept/";
    const std::string path = DefaultSettingsFilePath();
    EXPECT_TRUE(SaveSettingsFile(context.settings, context.formats, path));
    return path;
  }

  // Starts the face on the saved file, lets `use` act on the window, quits,
  // and reads the file written at exit.
  ConversionSettings StartUseQuit(const std::function<void(MainWindow&)>& use) {
    AppContext context;
    PromptLog log;
    MainWindow window(context, RecordingPrompts(log));
    EXPECT_TRUE(StartWindowFace(context, window));
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
    use(window);
    QCoreApplication::processEvents();
    window.close();
    EXPECT_TRUE(QuitWindowFace(context, window));
    AppContext reread;
    EXPECT_TRUE(LoadSettingsFile(reread.settings, DefaultSettingsFilePath()));
    return reread.settings;
  }

  TempFolder home_;
};

TEST_F(WindowFaceTest, NormalWindowOpensAtTheSavedPlaceAndSavesItsNewGeometry) {
  SavedFile(0, 1);
  const ConversionSettings after = StartUseQuit([](MainWindow& window) {
    EXPECT_EQ(window.size(), QSize(700, 450));
    EXPECT_EQ(window.pos(), QPoint(60, 90));
    EXPECT_FALSE(window.isMaximized());
    EXPECT_EQ(window.outputFormatBox()->currentText(), "PNG (Portable Network Graphics)");
    window.resize(820, 520);
    window.move(30, 40);
    window.outputFormatBox()->setCurrentIndex(9);  // JPG
  });
  EXPECT_EQ(Placement(after.window), "normal 820x520 at 30,40");
  EXPECT_EQ(after.output.format, "jpg");
  EXPECT_EQ(after.file.recentOutFolders, "/kept/");
}

TEST_F(WindowFaceTest, MaximizedWindowOpensMaximizedAndKeepsTheNormalGeometry) {
  SavedFile(1, 1);
  ConversionSettings after =
      StartUseQuit([](MainWindow& window) { EXPECT_TRUE(window.isMaximized()); });
  EXPECT_EQ(after.window.isMaximized, 1);
  EXPECT_EQ(after.window.width, 700);
  EXPECT_EQ(after.window.height, 450);
  EXPECT_EQ(after.window.x, 60);

  // Un-maximized before quitting: the size current at quit is saved.
  after = StartUseQuit([](MainWindow& window) {
    ASSERT_TRUE(window.isMaximized());
    window.showNormal();
    QCoreApplication::processEvents();
    window.resize(640, 400);
    window.move(10, 20);
  });
  EXPECT_EQ(Placement(after.window), "normal 640x400 at 10,20");
}

TEST_F(WindowFaceTest, MinimizedWindowKeepsTheSavedGeometry) {
  SavedFile(0, 1);
  const ConversionSettings after = StartUseQuit([](MainWindow& window) {
    window.resize(900, 600);
    window.showMinimized();
    QCoreApplication::processEvents();
    EXPECT_TRUE(window.isMinimized());
  });
  EXPECT_EQ(Placement(after.window), "normal 700x450 at 60,90");
}

TEST_F(WindowFaceTest, HistoryZeroClearsTheRecentFoldersAtExit) {
  SavedFile(0, 0);
  const ConversionSettings after = StartUseQuit(
      [](MainWindow& window) { EXPECT_EQ(window.outputFolderBox()->itemText(0), "/kept/"); });
  EXPECT_EQ(after.file.recentOutFolders, "");
}

TEST_F(WindowFaceTest, MissingFileStartsFromDefaultsAndIsWrittenAtExit) {
  ASSERT_FALSE(fs::exists(DefaultSettingsFilePath()));
  const ConversionSettings after =
      StartUseQuit([](MainWindow& window) { EXPECT_EQ(window.size(), QSize(510, 330)); });
  EXPECT_TRUE(fs::exists(DefaultSettingsFilePath()));
  EXPECT_EQ(after.window.width, 510);
  EXPECT_EQ(after.general.cfg, 17);
}

}  // namespace
}  // namespace lumafold::test

namespace lumafold::test {
namespace {

// The real program in window mode: started without parameters it opens
// the window on the settings file; ended by the session (SIGTERM) it
// still takes the quit path and writes the file.
TEST(WindowProgram, SessionEndStillWritesTheSettingsFile) {
  const char* program = std::getenv("LUMAFOLD_TEST_BIN");
  if (program == nullptr || !fs::exists(program)) GTEST_SKIP() << "lumafold is not built";
  TempFolder home;
  const std::string settingsPath = home / "Quorvane/lumafold/config.ini";
  {
    AppContext context;
    context.settings.resetToDefaults(SettingsMode::Window);
    context.settings.window = {0, 50, 60, 640, 420};
    context.settings.general.updateRange = 5;
    context.settings.file.recentOutFolders = "/from/the/last/run/";
    fs::create_directories(home / "Quorvane/lumafold");
    ASSERT_TRUE(SaveSettingsFile(context.settings, context.formats, settingsPath));
  }
  const std::string before = ReadFile(settingsPath);

  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    setenv("XDG_CONFIG_HOME", home.path().c_str(), 1);
    setenv("XDG_RUNTIME_DIR", home.path().c_str(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("LUMAFOLD_UPDATE_URL", "http://127.0.0.1:9/lumafold.dat", 1);
    execl(program, program, static_cast<char*>(nullptr));
    _exit(127);
  }
  // The lock file appears once the program runs; the window follows soon.
  const std::string lock = home / "Quorvane Lumafold 2.6.lock";
  for (int i = 0; i < 600 && !fs::exists(lock); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  // Mark the old file, so that only a new write can remove the mark.
  fs::rename(settingsPath, settingsPath + ".old");
  ASSERT_EQ(kill(child, SIGTERM), 0);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << "ended by a signal";
  EXPECT_EQ(WEXITSTATUS(status), 0);
  ASSERT_TRUE(fs::exists(settingsPath));
  // Nothing changed in the window, so the file is written as it was read.
  EXPECT_EQ(ReadFile(settingsPath), before);
}

}  // namespace
}  // namespace lumafold::test
