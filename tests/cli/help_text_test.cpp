// The help lines as data: layout rules that the golden file alone would not
// explain when it breaks.
#include "cli/help_text.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace lumafold {
namespace {

std::vector<std::string> GoldenLines() {
  std::ifstream in(std::string(LUMAFOLD_SOURCE_DIR) + "/tests/cli/help/expected.txt",
                   std::ios::binary);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST(HelpText, MatchesTheGoldenFile) {
  const std::vector<std::string> golden = GoldenLines();
  ASSERT_EQ(golden.size(), 42u);
  EXPECT_EQ(HelpLines("lumafold"), golden);
}

TEST(HelpText, OptionDescriptionsStartInColumn29) {
  const std::vector<std::string> lines = HelpLines("lumafold");
  ASSERT_EQ(lines.size(), 42u);
  const std::vector<int> optionLines = {13, 14, 15, 16, 20, 21, 22, 23, 24, 25, 26, 27, 28,
                                        29, 30, 31, 32, 33, 34, 38, 39, 40, 41, 42};
  for (int number : optionLines) {
    const std::string& line = lines[number - 1];
    ASSERT_GT(line.size(), 29u) << number;
    EXPECT_EQ(line[27], ' ') << "line " << number << ": " << line;
    EXPECT_NE(line[28], ' ') << "line " << number << ": " << line;
  }
  for (int number : {1, 3, 10, 12, 17, 19, 35, 37}) EXPECT_EQ(lines[number - 1], " ") << number;
}

TEST(HelpText, ProgramNameAndExtensionsFillTheirLines) {
  const std::vector<std::string> lines = HelpLines("convert2", "pcd1", "tiff");
  EXPECT_EQ(lines[1], "Usage: convert2 -i <filename> [options]");
  EXPECT_EQ(lines[3], "  convert2 -i example.pcd1");
  EXPECT_EQ(lines[5], "  convert2 -i /tmp/example.pcd1 -o /tmp/converted");
  EXPECT_EQ(lines[6], "  convert2 -i /tmp/filelist.txt");
  EXPECT_EQ(lines[8], "  convert2 -i /tmp/ -o /tmp/converted -c tiff --jpg-quality=95");
  // Nothing else names the program.
  int mentions = 0;
  for (const std::string& line : lines) mentions += line.find("convert2") != std::string::npos;
  EXPECT_EQ(mentions, 7);
}

}  // namespace
}  // namespace lumafold
