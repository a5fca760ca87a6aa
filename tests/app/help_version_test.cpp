// Help and version as a script sees them: the real program, its exact
// output, its exit status.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "run_program.h"

namespace lumafold {
namespace {

using testing::ProgramOptions;
using testing::ProgramPath;
using testing::ProgramRun;
using testing::RunProgram;
using testing::TempFolder;

std::string GoldenHelp() {
  std::ifstream in(std::string(LUMAFOLD_SOURCE_DIR) + "/tests/cli/help/expected.txt",
                   std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Help and version must not depend on, or wait for, another running copy.
ProgramOptions Isolated(const TempFolder& folder) {
  ProgramOptions options;
  options.environment["XDG_RUNTIME_DIR"] = folder.path();
  options.environment["XDG_CONFIG_HOME"] = folder.path();
  return options;
}

TEST(HelpRun, EverySpellingPrintsTheSameFortyTwoLines) {
  const TempFolder folder;
  const std::string golden = GoldenHelp();
  ASSERT_EQ(std::count(golden.begin(), golden.end(), '\n'), 42);
  for (const std::vector<std::string>& parameters :
       std::vector<std::vector<std::string>>{{"--HeLp"},
                                             {"-?"},
                                             {"--help=x"},
                                             {"-h"},
                                             {"-H"},
                                             {"--help"},
                                             {"  -h  "},
                                             {"-h", "-i", "/nonexistent/x.pcd"},
                                             {"--help", "-p"}}) {
    const ProgramRun run = RunProgram(ProgramPath(), parameters, Isolated(folder));
    EXPECT_EQ(run.status, 0) << parameters[0];
    EXPECT_EQ(run.out, golden) << parameters[0];
    EXPECT_EQ(run.err, "") << parameters[0];
  }
}

TEST(HelpRun, NearMissesAreNotHelp) {
  // "-help" is a single-dash key "-HELP", and "--h" is no option of the
  // help: neither prints the help text. With an input named, this is a
  // batch run, never a window: the banner, then the missing input refused.
  const TempFolder folder;
  const std::string batch =
      "Quorvane Lumafold 2.6\nCopyright (c) Quorvane. Kodak Photo CD batch converter.\n"
      "www.quorvane.com\n \nPreparing...\n";
  for (const char* parameter : {"-help", "--h", "-h=1", "h"}) {
    const ProgramRun run =
        RunProgram(ProgramPath(), {parameter, "-i", "/nonexistent/x.pcd"}, Isolated(folder));
    EXPECT_EQ(run.status, 1) << parameter;
    EXPECT_EQ(run.out, batch) << parameter;
    EXPECT_NE(run.err.find("Error: Invalid input"), std::string::npos) << parameter << run.err;
  }
}

TEST(HelpRun, RenamedProgramNamesItselfInTheUsageLine) {
  const TempFolder folder;
  const std::string copy = folder.path() + "/convert2.exe";
  std::filesystem::copy_file(ProgramPath(), copy);
  std::filesystem::permissions(copy, std::filesystem::perms::owner_all);
  const ProgramRun run = RunProgram(copy, {"-h"}, Isolated(folder));
  EXPECT_EQ(run.status, 0);
  std::string expected = GoldenHelp();
  for (std::size_t at = expected.find("lumafold"); at != std::string::npos;
       at = expected.find("lumafold", at)) {
    expected.replace(at, 8, "convert2");
  }
  EXPECT_EQ(run.out, expected);
  std::istringstream lines(run.out);
  std::string line;
  std::getline(lines, line);
  std::getline(lines, line);
  EXPECT_EQ(line, "Usage: convert2 -i <filename> [options]");

  // A link started under another name is named by that name.
  const std::string link = folder.path() + "/lf";
  std::filesystem::create_symlink(ProgramPath(), link);
  const ProgramRun viaLink = RunProgram(link, {"-?"}, Isolated(folder));
  EXPECT_NE(viaLink.out.find("\nUsage: lf -i <filename> [options]\n"), std::string::npos);
}

TEST(VersionRun, PrintsTheVersionAlone) {
  const TempFolder folder;
  for (const char* parameter : {"-v", "-V", "--version", "--VeRsIoN", "--version=1"}) {
    const ProgramRun run = RunProgram(ProgramPath(), {parameter}, Isolated(folder));
    EXPECT_EQ(run.status, 0) << parameter;
    EXPECT_EQ(run.out, "2.6\n") << parameter;
    EXPECT_EQ(run.err, "") << parameter;
  }
}

TEST(VersionRun, PauseIsIgnoredAndNothingWaitsForInput) {
  // Standard input is an open pipe that never delivers a byte: a program that
  // waited for a key would hang here until the time limit.
  const TempFolder folder;
  ProgramOptions options = Isolated(folder);
  options.timeLimitSeconds = 10;
  for (const std::vector<std::string>& parameters :
       std::vector<std::vector<std::string>>{{"-v", "-p"}, {"-v", "--pause"}, {"-h", "-p"}}) {
    const ProgramRun run = RunProgram(ProgramPath(), parameters, options);
    EXPECT_FALSE(run.timedOut) << parameters[0];
    EXPECT_EQ(run.status, 0) << parameters[0];
    EXPECT_EQ(run.out.find("Press any key"), std::string::npos);
  }
  const ProgramRun run = RunProgram(ProgramPath(), {"-v", "-p"}, options);
  EXPECT_EQ(run.out, "2.6\n");
}

}  // namespace
}  // namespace lumafold

namespace lumafold::testing {
namespace {

TEST(WindowStart, WithoutADisplayExplainsInsteadOfAborting) {
  const TempFolder folder;
  ProgramOptions options = Isolated(folder);
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
    options.environment[name] = std::nullopt;
  const ProgramRun run = RunProgram(ProgramPath(), {}, options);
  EXPECT_FALSE(run.timedOut);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("no display"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("-i"), std::string::npos) << run.err;
}

}  // namespace
}  // namespace lumafold::testing
