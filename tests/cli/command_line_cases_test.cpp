// End-to-end cases of the command line, one folder each below tests/cli/:
//
//   args     the parameters, one per line (an empty line is an empty one)
//   setup    optional sh script run first in the scratch folder
//   cwd      optional folder below the scratch folder to run in
//   stdout   expected standard output, exactly (missing: empty)
//   stderr   expected standard error, exactly (missing: empty)
//   status   expected exit status (missing: 0)
//   check    optional sh script run afterwards; must exit 0
//
// In every file @WORK@ stands for the scratch folder and @SAMPLES@ for the
// repository's samples folder; the scripts get them as $WORK and $SAMPLES.
// The binary runs with the real ImageMagick `convert`, no display and
// standard input from /dev/null.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "run_binary.h"

namespace lumafold {
namespace {

namespace fs = std::filesystem;
using testing::RunResult;
using testing::ScratchFolder;

std::string ReadText(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

std::string Substitute(std::string text, const std::string& work) {
  const std::pair<std::string, std::string> placeholders[] = {
      {"@WORK@", work}, {"@SAMPLES@", testing::SamplesFolder()}};
  for (const auto& [name, value] : placeholders)
    for (std::size_t at; (at = text.find(name)) != std::string::npos;)
      text.replace(at, name.size(), value);
  return text;
}

std::vector<std::string> CaseNames() {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(LUMAFOLD_CLI_CASES))
    if (entry.is_directory() && fs::exists(entry.path() / "args"))
      names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

class CommandLineCase : public ::testing::TestWithParam<std::string> {};

TEST_P(CommandLineCase, PrintsWhatTheUserExpects) {
  const fs::path folder = fs::path(LUMAFOLD_CLI_CASES) / GetParam();
  ScratchFolder scratch("lumafold-case");
  ASSERT_FALSE(scratch.path().empty());
  const std::string work = scratch.path();
  auto environment = testing::IsolatedEnvironment(work);
  environment["WORK"] = work;
  environment["SAMPLES"] = testing::SamplesFolder();

  if (fs::exists(folder / "setup")) {
    const RunResult setup =
        testing::Run("/bin/sh", {"-e", (folder / "setup").string()}, work, environment);
    ASSERT_EQ(setup.status, 0) << "setup failed:\n" << setup.out << setup.err;
  }

  std::vector<std::string> arguments;
  std::istringstream lines(Substitute(ReadText(folder / "args"), work));
  for (std::string line; std::getline(lines, line);) arguments.push_back(line);

  std::string directory = work;
  if (fs::exists(folder / "cwd")) {
    std::string below = ReadText(folder / "cwd");
    below.erase(below.find_last_not_of("\n") + 1);
    directory = Substitute(below, work);
    if (!directory.starts_with("/")) directory = work + "/" + directory;
  }

  const RunResult run = testing::Run(testing::LumafoldBinary(), arguments, directory, environment);

  const auto expected = [&](const char* name) {
    return fs::exists(folder / name) ? Substitute(ReadText(folder / name), work) : std::string();
  };
  const std::string status = expected("status");
  EXPECT_EQ(run.status, status.empty() ? 0 : std::stoi(status));
  EXPECT_EQ(run.out, expected("stdout"));
  EXPECT_EQ(run.err, expected("stderr"));

  if (fs::exists(folder / "check")) {
    const RunResult check =
        testing::Run("/bin/sh", {"-e", (folder / "check").string()}, work, environment);
    EXPECT_EQ(check.status, 0) << "check failed:\n" << check.out << check.err;
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, CommandLineCase, ::testing::ValuesIn(CaseNames()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                           std::string name = info.param;
                           for (char& c : name)
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           return name;
                         });

}  // namespace
}  // namespace lumafold
