#include "app/startup.h"

#include <cstdio>
#include <memory>

#include "app/window_launch.h"
#include "cli/command_line.h"
#include "cli/completion.h"
#include "cli/help_text.h"
#include "cli/image_info.h"
#include "cli/option_parser.h"
#include "engine/app_context.h"
#include "engine/image_libraries.h"
#include "settings/product.h"

namespace lumafold {
namespace {

constexpr int kExitSuccess = 0;
constexpr int kExitError = 1;

// The first parameter's option key: spaces trimmed, the part before "=" of a
// "--" option, upper-cased; empty when it is no option at all.
std::string FirstOptionKey(std::string_view parameter) {
  while (!parameter.empty() && parameter.front() == ' ') parameter.remove_prefix(1);
  while (!parameter.empty() && parameter.back() == ' ') parameter.remove_suffix(1);
  if (parameter.empty() || parameter.front() != '-') return {};
  if (parameter.substr(0, 2) == "--") parameter = parameter.substr(0, parameter.find('='));
  std::string key(parameter);
  for (char& c : key) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return key;
}

// Not in the help text: the build writes the scripts into the install tree,
// and `source <(lumafold --completion=bash)` loads them by hand.
int PrintCompletion(const AppContext& context, const std::string& parameter) {
  const std::string shell = OptionValue(parameter);
  const std::string script = CompletionScript(shell, context.formats);
  if (script.empty()) {
    std::fprintf(stderr, "Error: Invalid completion shell\n  %s: allowed values are bash, zsh\n",
                 shell.c_str());
    return kExitError;
  }
  std::fwrite(script.data(), 1, script.size(), stdout);
  return kExitSuccess;
}

// Everything between the records' creation and the exit path. The window and
// the prompt replace this process by the window program.
int Run(AppContext& context, int argc, char** argv) {
  std::vector<std::string> parameters;
  for (int i = 1; i < argc; ++i) parameters.emplace_back(argv[i]);

  // Help, version and the uninstall prompt touch no shared state, so they
  // work whether or not another copy runs.
  switch (SelectStartMode(parameters)) {
    case StartMode::kHelp:
      PrintHelp(context.programName);
      return kExitSuccess;
    case StartMode::kVersion:
      PrintVersion();
      return kExitSuccess;
    case StartMode::kUninstall:
      return StartWindowProgram(kUninstallFace, argc, argv, context.programName);
    case StartMode::kWindowWithFiles:
      return StartWindowProgram(kWindowFace, argc, argv, context.programName);
    case StartMode::kCompletion:
      return PrintCompletion(context, parameters.front());
    case StartMode::kInfo:
      return RunInfo(parameters.front(), {parameters.begin() + 1, parameters.end()});
    case StartMode::kWindow:
    case StartMode::kCommandLine:
      break;
  }

  // A command-line batch never reads or writes the settings file and works
  // in a private run folder of its own, so it takes no guard: scripts,
  // xargs -P and job arrays run many at once, also beside the window.
  if (!parameters.empty()) {
    const int status = RunCommandLine(context, parameters);
    if (status != kContinueInWindow) return status;
  }

  // The window program takes the instance guard itself: a lock held here
  // would not survive the exec.
  return StartWindowProgram(kWindowFace, argc, argv, context.programName);
}

}  // namespace

StartMode SelectStartMode(const std::vector<std::string>& parameters) {
  if (parameters.empty()) return StartMode::kWindow;
  const std::string key = FirstOptionKey(parameters.front());
  if (key == "-U") return StartMode::kUninstall;
  if (key == "-V" || key == "--VERSION") return StartMode::kVersion;
  if (key == "-H" || key == "-?" || key == "--HELP") return StartMode::kHelp;
  if (key == "--COMPLETION") return StartMode::kCompletion;
  if (key == "--INFO") return StartMode::kInfo;
  if (key == "--WINDOW") return StartMode::kWindowWithFiles;
  return StartMode::kCommandLine;
}

int RunLumafold(int argc, char** argv) {
  // The catalog, the format tables and the run records come first: every
  // later step may show a text or read a format.
  auto context = std::make_unique<AppContext>();
  if (argc > 0 && argv[0] != nullptr) context->programName = ProgramNameFromPath(argv[0]);
  InitImageLibraries();

  const int status = Run(*context, argc, argv);

  // The one exit path: every mode returns here.
  std::fflush(stdout);
  ShutdownImageLibraries();
  return status;
}

}  // namespace lumafold
