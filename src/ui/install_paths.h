// Where the installed data lives: beside the executable first (a build
// tree, an unpacked archive), then in ../share/lumafold/ relative to it (a
// system install puts the program in /usr/bin, never its data).
#pragma once

#include <string>
#include <vector>

namespace lumafold::ui {

// The folder of the running executable, ending in "/" ("" when unknown).
std::string ProgramFolder();

// The two folders a data item is looked for in, in order, each ending in
// "/": programFolder + sub, programFolder + "../share/lumafold/" + sub.
std::vector<std::string> DataFolders(const std::string& programFolder, const std::string& sub);

// The first existing regular file `name` in DataFolders(ProgramFolder(),
// ""); empty when there is none.
std::string FindDataFile(const std::string& name);

}  // namespace lumafold::ui
