// The settings file reader on arbitrary bytes, as window mode loads
// config.ini: read, fallbacks, upgrades. Whatever it accepted must save and
// load back to the very same file (a value can never break its line or
// smuggle in a key), and the recent-folders list must stay usable.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "settings/conversion_settings.h"
#include "settings/format_registry.h"
#include "settings/profile_file.h"

using namespace lumafold;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const FormatRegistry formats;
  static const std::string path = fuzz::ScratchFolder() + "/config.ini";
  fuzz::WriteWholeFile(path, data, size);

  ConversionSettings settings;
  FUZZ_CHECK(LoadSettingsFile(settings, path));
  const std::string saved = SettingsFileText(settings, formats);

  // Loading what was saved changes nothing: the writer's text is a fixed point.
  ConversionSettings reloaded;
  ApplySettingsFile(reloaded, ProfileFile::Parse(saved), settings.general.updateDate);
  reloaded.updateColorCorrection();
  RunUpgradeSteps(reloaded);
  FUZZ_CHECK(SettingsFileText(reloaded, formats) == saved);

  // Every line of the saved file is a section, a key line or the "; " marker.
  const ProfileFile parsed = ProfileFile::Parse(saved);
  std::size_t keyLines = 0;
  for (const auto& section : parsed.sections()) keyLines += section.entries.size();
  std::size_t lines = 0;
  for (char c : saved) lines += c == '\n';
  FUZZ_CHECK(lines == 1 + 2 * parsed.sections().size() + keyLines);

  // The recent folders as the window face uses them after loading.
  const int limit = settings.advanced.outFoldersNumber;
  FUZZ_CHECK(AddRecentOutputFolder(settings, "/home/user/out/"));
  FUZZ_CHECK(RecentOutputFolder(settings, 0) == "/home/user/out/");
  std::size_t entries = 1;
  for (char c : settings.file.recentOutFolders) entries += c == '\t';
  FUZZ_CHECK(entries <= static_cast<std::size_t>(limit < 1 ? 1 : limit));
  return 0;
}
