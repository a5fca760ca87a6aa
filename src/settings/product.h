// The product's name and version as the user sees them: console and window
// titles, the instance guard, the update check's user agent, the settings
// path.
#pragma once

#include <string>
#include <string_view>

namespace lumafold {

inline constexpr std::string_view kProductTitle = "Quorvane Lumafold";
// The maker folder of the settings path: the title's first word.
inline constexpr std::string_view kMakerName = "Quorvane";
inline constexpr int kVersionNumber = LUMAFOLD_VERSION_NUMBER;

// The version text of a version number: a point after the first digit and
// another after the second; when the result ends in "0" only "major.minor"
// is kept. 260 gives "2.6", 261 gives "2.6.1". A point goes in only where a
// digit follows it.
std::string VersionText(int versionNumber);
// VersionText(kVersionNumber): "2.6".
std::string VersionText();

// The product title, one space, the version text: "Quorvane Lumafold 2.6".
std::string TitleLine();

// The program's name as started: the file name of `path` without its folder
// and without its extension ("/usr/bin/lumafold" gives "lumafold",
// "./convert2.exe" gives "convert2"). Empty input gives "lumafold".
std::string ProgramNameFromPath(std::string_view path);

}  // namespace lumafold
