// What the two theme drawing tools share: PNG bytes of a picture, the
// lower-case entry names, and a ZIP writer whose entry times are fixed so
// the archive is the same on every run.
#pragma once

#include <QImage>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace lumafold::tools {

// Archive entries (name, bytes), written in this order.
using ThemeEntries = std::vector<std::pair<std::string, std::string>>;

std::string Png(const QImage& image);

// Lower-cases A..Z only.
std::string Lower(std::string_view name);

// False when the archive cannot be created or an entry cannot be written.
bool WriteArchive(const char* path, const ThemeEntries& entries);

}  // namespace lumafold::tools
