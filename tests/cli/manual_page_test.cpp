// The manual page keeps up with the parser, and the install target puts the
// program and its page where a system expects them.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "cli/option_parser.h"
#include "run_binary.h"
#include "settings/text_utils.h"

namespace lumafold {
namespace {

namespace fs = std::filesystem;

// The page as words a reader sees: roff escapes for "-" and font changes
// removed, everything upper-cased.
std::string ManualText() {
  std::ifstream file(std::string(LUMAFOLD_SOURCE_DIR) + "/docs/lumafold.1");
  std::ostringstream raw;
  raw << file.rdbuf();
  std::string text = std::regex_replace(raw.str(), std::regex(R"(\\f[BIRP])"), "");
  text = std::regex_replace(text, std::regex(R"(\\-)"), "-");
  return ToUpperAscii(text);
}

bool HasWord(const std::string& text, const std::string& word) {
  const auto isNamePart = [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '-';
  };
  for (std::size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) {
    const bool startsWord = at == 0 || !isNamePart(text[at - 1]);
    const std::size_t end = at + word.size();
    const bool endsWord = end == text.size() || !isNamePart(text[end]);
    if (startsWord && endsWord) return true;
  }
  return false;
}

TEST(ManualPage, NamesEveryOptionAndEveryKeyword) {
  const std::string text = ManualText();
  const FormatRegistry formats;
  for (const ConversionOptionInfo& option : ConversionOptions()) {
    EXPECT_TRUE(HasWord(text, std::string(option.name))) << option.name;
    if (!option.keywords) continue;
    std::vector<std::string> settingKeys = {""};
    if (*option.keywords == KeywordSet::Compression)
      settingKeys = {"BMP Compression", "EXR Compression", "PNG Compression", "TIFF Compression"};
    for (const std::string& settingKey : settingKeys) {
      for (int value = 0; value < 16; ++value) {
        const std::string keyword = formats.keywordName(*option.keywords, value, settingKey);
        if (!keyword.empty()) {
          EXPECT_TRUE(HasWord(text, keyword)) << option.name << " " << keyword;
        }
      }
    }
  }
  for (const char* name : {"-I", "--INPUT", "-O", "--OUTPUT", "-C", "--CONVERSION", "-D", "--DEBUG",
                           "-Q", "--QUIET", "-P", "--PAUSE", "--PROFILE", "-H", "--HELP", "-V",
                           "--VERSION", "--WM-SOLID-OPACITY", "--SHARD"})
    EXPECT_TRUE(HasWord(text, name)) << name;
  for (const std::string& format : formats.outputOrder())
    EXPECT_TRUE(HasWord(text, ToUpperAscii(format))) << format;
}

TEST(ManualPage, DocumentsTheExitStatusesFilesAndExamples) {
  const std::string text = ManualText();
  for (const char* section : {".SH \"EXIT STATUS\"", ".SH FILES", ".SH EXAMPLES", ".SH ENVIRONMENT",
                              ".SH \"PROFILE FILES\""})
    EXPECT_NE(text.find(section), std::string::npos) << section;
  for (const char* message :
       {"INCORRECT NUMBER OF PARAMETERS", "INVALID PROFILE FILE", "INVALID INPUT FILE",
        "INVALID INPUT FOLDER", "INVALID OUTPUT FOLDER", "INVALID CONVERSION TYPE",
        "INVALID JPG-QUALITY VALUE", "INVALID WIDTH VALUE", "INVALID HEIGHT VALUE",
        "INVALID BRIGHTNESS VALUE", "INVALID CONTRAST VALUE", "INVALID GAMMA VALUE",
        "INVALID WATERMARK FONT", "INVALID WATERMARK IMAGE", "INVALID JOBS VALUE",
        "INVALID SHARD VALUE"})
    EXPECT_NE(text.find(message), std::string::npos) << message;
}

TEST(ManualPage, RendersWithoutWarnings) {
  if (!fs::exists("/usr/bin/groff")) GTEST_SKIP() << "groff is not installed";
  testing::ScratchFolder scratch("lumafold-man");
  const auto run = testing::Run(
      "/usr/bin/groff",
      {"-t", "-man", "-Tutf8", "-ww", "-z", std::string(LUMAFOLD_SOURCE_DIR) + "/docs/lumafold.1"},
      scratch.path(), testing::IsolatedEnvironment(scratch.path()));
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
}

TEST(Install, PutsTheProgramAndItsManualPageUnderThePrefix) {
  testing::ScratchFolder prefix("lumafold-install");
  const auto environment = testing::IsolatedEnvironment(prefix.path());
  const auto install = testing::Run(LUMAFOLD_CMAKE_COMMAND,
                                    {"--install", LUMAFOLD_BINARY_DIR, "--prefix", prefix.path()},
                                    prefix.path(), environment);
  ASSERT_EQ(install.status, 0) << install.out << install.err;

  const std::string program = prefix.path() + "/bin/lumafold";
  struct stat info {};
  ASSERT_EQ(stat(program.c_str(), &info), 0);
  EXPECT_TRUE(info.st_mode & S_IXUSR);
  EXPECT_TRUE(fs::is_regular_file(prefix.path() + "/share/man/man1/lumafold.1.gz"));
  // Completion where bash-completion and zsh look for it, as the program
  // itself writes it.
  const std::string bash = prefix.path() + "/share/bash-completion/completions/lumafold";
  const std::string zsh = prefix.path() + "/share/zsh/site-functions/_lumafold";  // outside /usr
  EXPECT_TRUE(fs::is_regular_file(bash));
  EXPECT_TRUE(fs::is_regular_file(zsh));
  const auto script = testing::Run(program, {"--completion=bash"}, prefix.path(), environment);
  std::ifstream installed(bash);
  std::ostringstream installedText;
  installedText << installed.rdbuf();
  EXPECT_EQ(installedText.str(), script.out);

  const auto version = testing::Run(program, {"-v"}, prefix.path(), environment);
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "2.6\n");
}

}  // namespace
}  // namespace lumafold
