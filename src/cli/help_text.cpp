// The help and version texts as fixed lines, with the program's own name put
// into the usage lines.
#include "cli/help_text.h"

#include <unistd.h>

#include "settings/product.h"
#include "settings/string_catalog.h"

namespace lumafold {
namespace {

// %s1% is the program name, %s2% an example extension. The option column is
// 28 characters wide, so every description starts in column 29.
constexpr std::string_view kHelpTemplate[] = {
    " ",
    "Usage: %s1% -i <filename> [options]",
    " ",
    "  %s1% -i example.%s2%",
    "  %s1% -i /tmp/example.%s2%",
    "  %s1% -i /tmp/example.%s2% -o /tmp/converted",
    "  %s1% -i /tmp/filelist.txt",
    "  %s1% -i /tmp/ -o /tmp/converted --jpg-quality=95",
    "  %s1% -i /tmp/ -o /tmp/converted -c %s2% --jpg-quality=95",
    " ",
    "Options:",
    " ",
    "  -h, -?, --help            Display this help and exit",
    "  -i FILE, --input=FILE     Set input file/list/folder",
    "  -o PATH, --output=PATH    Set output folder",
    "  -c STR, --conversion=STR  Set output extension, STR = (jpg | bmp | ...)",
    " ",
    "Advanced options:",
    " ",
    "  --width=NUM               Set output image width",
    "  --height=NUM              Set output image height",
    "  --filename-mask=STR       Define output filename format",
    "  --flip-horizontal         Flip output image horizontally",
    "  --flip-vertical           Flip output image vertically",
    "  --brightness=NUM          Set output image brightness, NUM = -100..100",
    "  --contrast=NUM            Set output image contrast, NUM = -100..100",
    "  --gamma=NUM               Set output image gamma, NUM = 0.01..9.99",
    "  --invert                  Invert output image",
    "  --greyscale               Greyscale output image",
    "  --pcd-decoder=STR         Set Photo CD decoder, STR = (builtin | external)",
    "  --metadata=STR            Set scan metadata in outputs, STR = (keep | strip)",
    "  --pcd-highlights=STR      Set Photo CD highlights, STR = (rolloff | keep)",
    "  --profile=FILE            Set configuration file with required settings",
    "    ...                     Refer documentation for all available options",
    " ",
    "Other options:",
    " ",
    "  -q, --quiet               Don't print status messages to stdout",
    "  -d, --debug               Print debug information to stdout",
    "  -p, --pause               Pause at exit",
    "  -v, --version             Display version information and exit",
    "  --info[=json] FILE...     Print what each Photo CD file says about itself",
};

// Lines 4 to 6 show an input file, line 9 the output format.
constexpr std::size_t kLastInputExampleLine = 6;
constexpr std::size_t kOutputExampleLine = 9;

}  // namespace

std::vector<std::string> HelpLines(std::string_view programName, std::string_view inputExtension,
                                   std::string_view outputExtension) {
  std::vector<std::string> lines;
  lines.reserve(std::size(kHelpTemplate));
  for (std::size_t i = 0; i < std::size(kHelpTemplate); ++i) {
    const std::size_t number = i + 1;
    std::string_view extension;
    if (number <= kLastInputExampleLine) extension = inputExtension;
    if (number == kOutputExampleLine) extension = outputExtension;
    lines.push_back(StringCatalog::Format(kHelpTemplate[i], {programName, extension}));
  }
  return lines;
}

void SetConsoleTitle(std::FILE* out) {
  if (!isatty(fileno(out))) return;
  std::fprintf(out, "\x1b]0;%s\x07", TitleLine().c_str());
}

void PrintHelp(std::string_view programName, std::string_view inputExtension,
               std::string_view outputExtension) {
  SetConsoleTitle(stdout);
  for (const std::string& line : HelpLines(programName, inputExtension, outputExtension)) {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
  }
  std::fflush(stdout);
}

void PrintVersion() {
  SetConsoleTitle(stdout);
  std::printf("%s\n", VersionText().c_str());
  std::fflush(stdout);
}

}  // namespace lumafold
