// The command-line face's entry: command-line defaults, the parse, then the
// batch run or the word that the window is to follow.
#include "cli/command_line.h"

#include "cli/batch_run.h"
#include "cli/console.h"
#include "cli/option_parser.h"

namespace lumafold {

int RunCommandLine(AppContext& context, const std::vector<std::string>& args) {
  // The command line starts from the built-in defaults (the settings file is
  // neither read nor written) and from a fresh run context.
  context.settings.resetToDefaults(SettingsMode::CommandLine);
  const std::string consoleMode = context.job.consoleMode;
  context.job = ConversionJob{};
  context.job.consoleMode = consoleMode;
  context.job.reset();
  context.inputs.clear();

  const ParseOutcome parsed = ParseOptions(context, args);
  Console console;
  return FinishCommandLine(context, parsed, console);
}

}  // namespace lumafold
