// The window as a desktop session meets it: ended by SIGTERM while the
// start-up question or the idle window is open, and started where no
// display can be reached. The real program runs on Qt's offscreen platform.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include "run_program.h"

namespace lumafold::testing {
namespace {

ProgramOptions OffscreenWindow(const TempFolder& folder) {
  ProgramOptions options;
  options.environment["XDG_RUNTIME_DIR"] = folder.path();
  options.environment["XDG_CONFIG_HOME"] = folder.path();
  options.environment["QT_QPA_PLATFORM"] = "offscreen";
  options.environment["DISPLAY"] = std::nullopt;
  options.environment["WAYLAND_DISPLAY"] = std::nullopt;
  // A refused connection: no real server is ever asked.
  options.environment["LUMAFOLD_UPDATE_URL"] = "http://127.0.0.1:9/lumafold.dat";
  options.timeLimitSeconds = 30;
  return options;
}

// Sends SIGTERM once the program had time to open its window; a hang after
// the signal shows as a run that reaches the time limit.
void TerminateAfterStart(ProgramOptions& options) {
  options.whileRunning = [](int pid) {
    std::this_thread::sleep_for(std::chrono::seconds(4));
    kill(pid, SIGTERM);
  };
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string ConfigPath(const TempFolder& folder) {
  return folder.path() + "/Quorvane/lumafold/config.ini";
}

TEST(WindowSignals, TermDuringTheStartUpQuestionClosesItAndWritesTheSettings) {
  // No settings file yet: the automatic update check is due, and its
  // question box is the first thing the window shows.
  const TempFolder folder;
  ProgramOptions options = OffscreenWindow(folder);
  TerminateAfterStart(options);
  const ProgramRun run = RunProgram(ProgramPath(), {}, options);
  ASSERT_FALSE(run.timedOut) << run.err;
  EXPECT_EQ(run.signal, 0);
  EXPECT_EQ(run.status, 0) << run.err;
  const std::string config = ReadText(ConfigPath(folder));
  ASSERT_FALSE(config.empty());
  // The question was closed (as No), so the check moved its date on.
  EXPECT_EQ(config.find("Update Date = 0\r\n"), std::string::npos);
  EXPECT_NE(config.find("Update Date = "), std::string::npos);
}

TEST(WindowSignals, TermOnTheIdleWindowRecordsItsPlacement) {
  const TempFolder folder;
  const std::string config = ConfigPath(folder);
  mkdir((folder.path() + "/Quorvane").c_str(), 0700);
  mkdir((folder.path() + "/Quorvane/lumafold").c_str(), 0700);
  // Never checks for updates; a window size the program did not choose,
  // and no "CFG" or "IsMaximized": only the program's own save writes them.
  const std::string given =
      "[General]\r\nUpdate Range = 5\r\nSave Window Position = 1\r\n"
      "[Window]\r\nWidth = 640\r\nHeight = 420\r\n";
  std::ofstream(config) << given;
  ProgramOptions options = OffscreenWindow(folder);
  TerminateAfterStart(options);
  const ProgramRun run = RunProgram(ProgramPath(), {}, options);
  ASSERT_FALSE(run.timedOut) << run.err;
  EXPECT_EQ(run.status, 0) << run.err;
  const std::string written = ReadText(config);
  EXPECT_NE(written.find("[General]\r\nCFG = 17\r\n"), std::string::npos) << written;
  // The window opened at the size the file gave and recorded that size.
  EXPECT_NE(written.find("[Window]\r\nIsMaximized = 0\r\nWidth = 640\r\nHeight = 420\r\n"),
            std::string::npos)
      << written;
}

TEST(WindowStart, AnUnreachableDisplayIsExplainedForTheWindowAndThePrompt) {
  const TempFolder folder;
  // A display number no X server of this machine serves.
  int unused = 97;
  while (access(("/tmp/.X11-unix/X" + std::to_string(unused)).c_str(), F_OK) == 0) ++unused;
  for (const std::vector<std::string>& parameters :
       std::vector<std::vector<std::string>>{{}, {"-u"}}) {
    for (const char* display : {"unset", "stale"}) {
      ProgramOptions options = OffscreenWindow(folder);
      options.environment["QT_QPA_PLATFORM"] = std::nullopt;
      if (std::string(display) == "stale")
        options.environment["DISPLAY"] = std::string(1, ':').append(std::to_string(unused));
      const std::string shown = (parameters.empty() ? "window" : "-u") + std::string(" ") + display;
      const ProgramRun run = RunProgram(ProgramPath(), parameters, options);
      EXPECT_FALSE(run.timedOut) << shown;
      EXPECT_EQ(run.signal, 0) << shown << ": " << run.err;
      EXPECT_EQ(run.status, 1) << shown << ": " << run.err;
      EXPECT_NE(run.err.find("no display to open the window on"), std::string::npos)
          << shown << ": " << run.err;
    }
  }
}

// The dynamic loader's own account (LD_DEBUG=libs names every library it
// initialises): a batch must not pay for, or need, the desktop stack, nor
// the drawing libraries when it draws nothing; a framed batch gets those,
// and the window program the desktop stack and the files it was given.
TEST(Faces, ABatchMapsNoQtLibraryAndTheWindowOpensWithItsFiles) {
  const TempFolder folder;
  const std::string pictures = folder.path() + "/my pictures";
  mkdir(pictures.c_str(), 0700);
  const std::string input = pictures + "/roll one.pcd";
  {
    std::ifstream from(std::string(LUMAFOLD_SOURCE_DIR) + "/samples/kodim01.pcd", std::ios::binary);
    std::ofstream(input, std::ios::binary) << from.rdbuf();
  }
  ProgramOptions batch;
  batch.environment["LD_DEBUG"] = "libs";
  batch.environment["XDG_RUNTIME_DIR"] = folder.path();
  batch.environment["XDG_CONFIG_HOME"] = folder.path();
  const ProgramRun converted =
      RunProgram(ProgramPath(), {"-i", input, "-o", pictures + "/", "-c", "ppm", "-q"}, batch);
  EXPECT_EQ(converted.status, 0) << converted.err;
  EXPECT_TRUE(access((pictures + "/roll one.ppm").c_str(), F_OK) == 0);
  EXPECT_NE(converted.err.find("calling init: "), std::string::npos) << "LD_DEBUG had no effect";
  EXPECT_NE(converted.err.find("libfreeimage"), std::string::npos);
  EXPECT_EQ(converted.err.find("libQt"), std::string::npos);
  EXPECT_EQ(converted.err.find("libcairo"), std::string::npos);
  EXPECT_EQ(converted.err.find("libpango"), std::string::npos);
  const ProgramRun framed = RunProgram(
      ProgramPath(),
      {"-i", input, "-o", folder.path() + "/", "-c", "ppm", "-q", "--fr-solid-left=8"}, batch);
  EXPECT_EQ(framed.status, 0) << framed.err;
  EXPECT_TRUE(access((folder.path() + "/roll one.ppm").c_str(), F_OK) == 0);
  EXPECT_NE(framed.err.find("libcairo.so.2"), std::string::npos);
  EXPECT_EQ(framed.err.find("libQt"), std::string::npos);

  const std::string config = ConfigPath(folder);
  mkdir((folder.path() + "/Quorvane").c_str(), 0700);
  mkdir((folder.path() + "/Quorvane/lumafold").c_str(), 0700);
  std::ofstream(config) << "[General]\r\nUpdate Range = 5\r\n";
  ProgramOptions window = OffscreenWindow(folder);
  window.environment["LD_DEBUG"] = "libs";
  // The hand-over to the window program is an exec: the same process then
  // runs lumafold-window with the files after "--window" (the window's own
  // tests show that dropped files are listed).
  std::string handedOver;
  std::string program;
  window.whileRunning = [&handedOver, &program](int pid) {
    std::this_thread::sleep_for(std::chrono::seconds(4));
    const std::string process = "/proc/" + std::to_string(pid);
    handedOver = ReadText(process + "/cmdline");
    char target[4096] = {};
    if (readlink((process + "/exe").c_str(), target, sizeof target - 1) > 0) program = target;
    kill(pid, SIGTERM);
  };
  const ProgramRun opened = RunProgram(ProgramPath(), {"--window", input}, window);
  ASSERT_FALSE(opened.timedOut);
  EXPECT_EQ(opened.status, 0);
  EXPECT_NE(opened.err.find("libQt6Widgets"), std::string::npos);
  std::replace(handedOver.begin(), handedOver.end(), '\0', '|');
  EXPECT_TRUE(program.ends_with("/lumafold-window")) << program;
  EXPECT_NE(handedOver.find("|--face=window|--window|" + input + "|"), std::string::npos)
      << handedOver;
  // A folder filled in from the first file is no choice of the user's and
  // stays out of the recent folders.
  EXPECT_NE(ReadText(config).find("Recent Out Folders = \r\n"), std::string::npos)
      << ReadText(config);
}

}  // namespace
}  // namespace lumafold::testing
