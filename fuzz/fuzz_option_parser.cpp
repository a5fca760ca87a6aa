// The command-line option parser with parameters taken from the input, and
// a profile file whose text is taken from the input too.
//
// Input: the profile text, a "\0\0" separator, then the parameters separated
// by NUL bytes. Without the separator everything is parameters. The profile
// is reachable as "--profile=p" (the target runs in its scratch folder).
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "cli/option_parser.h"
#include "engine/app_context.h"
#include "fuzz_support.h"

using namespace lumafold;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool inScratch = ::chdir(fuzz::ScratchFolder().c_str()) == 0;
  FUZZ_CHECK(inScratch);

  std::string_view input(reinterpret_cast<const char*>(data), size);
  std::string_view profile;
  if (const std::size_t cut = input.find(std::string_view("\0\0", 2)); cut != input.npos) {
    profile = input.substr(0, cut);
    input.remove_prefix(cut + 2);
  }
  fuzz::WriteWholeFile("p", profile.data(), profile.size());
  const std::vector<std::string> parameters = fuzz::SplitAtNul(input);

  AppContext context;
  context.settings.resetToDefaults(SettingsMode::CommandLine);
  const ParseOutcome outcome = ParseOptions(context, parameters);
  FUZZ_CHECK(outcome.error.empty() || outcome.error == kIncorrectParameterCount ||
             outcome.error == kInvalidProfileFile);
  // -c loses every double quote.
  FUZZ_CHECK(context.job.outputExtension.find('"') == std::string::npos);

  // The profile on its own, as --profile applies it.
  AppContext alone;
  FUZZ_CHECK(ApplyProfileFile(alone, "p"));
  return 0;
}
