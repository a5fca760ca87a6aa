// Process entry of the lumafold command: creates the process-wide records,
// picks the command-line face or hands over to the window program, and ends
// through one exit path.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace lumafold {

// What the first parameter asks for. Only the first parameter decides; the
// same keys later on the line are ordinary (ignored) options.
enum class StartMode {
  kWindow,       // no parameters
  kCommandLine,  // parameters to parse; may still end in the window
  kHelp,         // -h, -? or --help
  kVersion,      // -v or --version
  kUninstall,    // -u
  kCompletion,   // --completion=SHELL: the shell completion script
  kInfo,         // --info[=json] FILE...: what each file says about itself
  kWindowWithFiles,  // --window FILE...: the window with these inputs in its list
};

StartMode SelectStartMode(const std::vector<std::string>& parameters);

// Runs the program and returns its exit status: 0 when the work asked for was
// done, 1 after an error or a batch that converted nothing, 2 after a batch
// that converted some of its files.
int RunLumafold(int argc, char** argv);

}  // namespace lumafold
