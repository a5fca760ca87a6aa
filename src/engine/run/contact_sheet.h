// The index print of a disc: every picture's Base/16 thumbnail, upright, in
// disc order, with its number and name under it, as the lab put it in the
// jewel case. One sheet per disc (an image or a disc tree) or input folder.
#pragma once

#include <string>
#include <vector>

#include "engine/app_context.h"

namespace lumafold {

struct ContactSheetResult {
  std::vector<std::string> written;  // paths of the sheets written
  std::vector<std::string> problems; // "<sheet path>: <reason>", one per sheet not written
};

// Writes "contact-sheet.jpg" into the output folder of each group of the
// run's input set (its disc's or its folder's output folder; with every
// output in one folder and several groups, "contact-sheet-<name>.jpg").
ContactSheetResult WriteContactSheets(const AppContext& context);
// The same for entries taken out of an input set, so that the sheets can be
// made on another thread while the set changes (the window's list).
// `outputFolder` ends with "/"; a group's subfolder is made when missing.
ContactSheetResult WriteContactSheets(const std::vector<InputEntry>& entries,
                                      const std::string& outputFolder, bool keepSubfolders);

}  // namespace lumafold
