// The window lives in a program of its own (lumafold-window), so that the
// lumafold command maps no Qt library for a batch: the command hands the
// window and the uninstall prompt over to it by exec, in the same process.
#pragma once

#include <string>

namespace lumafold {

// The faces the window program shows; its first parameter names one.
inline constexpr const char* kWindowFace = "--face=window";
inline constexpr const char* kUninstallFace = "--face=uninstall";

// The window program beside the running one (a build tree), or in the
// libexec folder of its installation; empty when neither exists.
std::string FindWindowProgram();

// Replaces this process by the window program with `face` and the original
// parameters argv[1..]; argv[0] is kept, so that messages name the command
// the user typed. Returns only when it cannot be started, with the exit
// status after saying why.
int StartWindowProgram(const char* face, int argc, char** argv, const std::string& programName);

}  // namespace lumafold
