// The fixed English help and version texts of the command line. They are not
// catalog entries: scripts and users compare them as they are.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace lumafold {

// The 39 help lines, without line ends. `programName` fills the usage and
// example lines; the example extensions are the first input and output
// formats.
std::vector<std::string> HelpLines(std::string_view programName,
                                   std::string_view inputExtension = "pcd",
                                   std::string_view outputExtension = "bmp");

// Sets the terminal's title to the title line when `out` is a terminal (a
// pipe or file must not receive the escape sequence).
void SetConsoleTitle(std::FILE* out = stdout);

// Print to standard output, each line ending in "\n". Neither waits for a
// key, whatever else the command line holds.
void PrintHelp(std::string_view programName, std::string_view inputExtension = "pcd",
               std::string_view outputExtension = "bmp");
void PrintVersion();

}  // namespace lumafold
