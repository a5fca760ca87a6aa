#include "cli/disc_commands.h"

#include <cstdio>

#include "engine/run/contact_sheet.h"
#include "photocd/disc/disc_image.h"

namespace lumafold {

int PrintDiscInfo(const std::vector<std::string>& paths) {
  if (paths.empty()) {
    std::fprintf(stderr, "Error: --info needs a disc image or disc folder\n");
    return 1;
  }
  int status = 0;
  bool first = true;
  for (const std::string& path : paths) {
    if (!first) std::fputc('\n', stdout);
    first = false;
    const disc::DiscFacts facts = disc::DescribeDisc(path);
    for (const std::string& line : disc::DescribeDiscLines(facts)) {
      if (line.starts_with("Error: ")) {
        std::fprintf(stderr, "Error: %s: %s\n", path.c_str(), facts.error.c_str());
      } else {
        std::fwrite(line.data(), 1, line.size(), stdout);
        std::fputc('\n', stdout);
      }
    }
    if (!facts.ok) status = 1;
  }
  std::fflush(stdout);
  return status;
}

void WriteDiscContactSheets(const AppContext& context, Console& console) {
  const ContactSheetResult result = WriteContactSheets(context);
  if (context.job.consoleMode == "DEBUG")
    for (const std::string& path : result.written) console.Line("Contact sheet: " + path);
  for (const std::string& problem : result.problems)
    console.Note("Contact sheet not written: " + problem);
}

}  // namespace lumafold
