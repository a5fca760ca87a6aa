#include "cli/disc_commands.h"

#include <cstdio>

#include "engine/run/contact_sheet.h"

namespace lumafold {

void WriteDiscContactSheets(const AppContext& context, Console& console) {
  const ContactSheetResult result = WriteContactSheets(context);
  if (context.job.consoleMode == "DEBUG")
    for (const std::string& path : result.written) console.Line("Contact sheet: " + path);
  for (const std::string& problem : result.problems)
    console.Note("Contact sheet not written: " + problem);
}

}  // namespace lumafold
