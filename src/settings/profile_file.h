// The sectioned key file ("[Section]" lines, "Key = Value" lines, ";"
// comments) and the settings file "config.ini" built on it: where it lives,
// how it is read into ConversionSettings with fallbacks and upgrades, how it
// is written byte for byte, the recent output folders list and the settings
// part of the window face's exit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "settings/conversion_settings.h"
#include "settings/format_registry.h"

namespace lumafold {

class ProfileFile {
 public:
  struct Entry {
    std::string key;    // trailing spaces and tabs removed
    std::string value;  // leading spaces and tabs removed, rest as written
  };
  struct Section {
    std::string name;
    std::vector<Entry> entries;  // in file order; a section named twice is merged
  };

  // Reading stops here; the rest of a larger file is ignored rather than
  // read into memory.
  static constexpr std::size_t kMaxFileSize = 16u << 20;

  // Parses the text by the reading rules. Accepts CR LF, LF or CR line ends
  // and an optional UTF-8 byte-order mark; a text that starts with a UTF-16
  // byte-order mark (either byte order) is read as UTF-16. Lines before the
  // first section line belong to no section and are dropped. A line that
  // starts with "[" but has no "]" is no section line and is skipped alone.
  static ProfileFile Parse(std::string_view text);
  // Reads and parses a regular file; nullopt when it cannot be opened.
  static std::optional<ProfileFile> Read(const std::string& path);

  // False when the reader could not take the text whole: a file cut at
  // kMaxFileSize, NUL bytes (UTF-16 without a byte-order mark, binary
  // garbage), or lines it had to skip. Saving over such a file would lose
  // what was skipped, so the old file is kept first (SaveSettingsFile).
  bool whole() const { return whole_; }

  const std::vector<Section>& sections() const { return sections_; }
  // Names compared without regard to letter case; nullptr when absent.
  const Section* section(std::string_view name) const;
  // The first line of `key` within `section`; nullopt when absent.
  std::optional<std::string_view> value(std::string_view section, std::string_view key) const;

 private:
  std::vector<Section> sections_;
  // Folded section name -> index; per section, folded key -> entry index.
  std::unordered_map<std::string, std::size_t> sectionIndex_;
  std::vector<std::unordered_map<std::string, std::size_t>> keyIndex_;
  bool whole_ = true;
};

// $XDG_CONFIG_HOME/Quorvane/lumafold/config.ini ($XDG_CONFIG_HOME defaults
// to ~/.config). Missing folders are created with mode 0700; when that
// fails the path is still returned and the load and save simply fail.
std::string DefaultSettingsFilePath();

// Window-mode start-up: reads the file into `settings` (fallbacks for
// missing keys), or resets `settings` to the window defaults when the file
// cannot be opened; then runs the upgrade steps. Records `path` in the
// settings. Returns whether the file was read.
bool LoadSettingsFile(ConversionSettings& settings, const std::string& path,
                      ScreenSize screen = ScreenSize{});

// Fills every key of the table from `file`, or with its fallback.
void ApplySettingsFile(ConversionSettings& settings, const ProfileFile& file, SettingsDate now);

// Upgrades of files written by older layouts, decided by "CFG".
void RunUpgradeSteps(ConversionSettings& settings);

// The exact bytes of the settings file for `settings`. Per-format keys are
// written for the registry's active input formats and its output formats.
// Line breaks inside values are written as spaces so that a value can never
// end its line early and start a key or section of its own.
std::string SettingsFileText(const ConversionSettings& settings, const FormatRegistry& formats);
// The same with explicit format lists deciding the per-format keys.
std::string SettingsFileText(const ConversionSettings& settings,
                             const std::vector<std::string>& inputFormats,
                             const std::vector<std::string>& outputFormats);

// Replaces `path` atomically (temporary file beside it, flushed, renamed
// over it). On failure the previous file is left as it was and no
// temporary file remains; returns false. A previous file that the reader
// could not take whole is first kept as a copy (KeepSettingsFileNotReadWhole).
bool SaveSettingsFile(const ConversionSettings& settings, const FormatRegistry& formats,
                      const std::string& path);

// When the file at `path` is one the reader could not take whole (see
// ProfileFile::whole), copies it byte for byte to "PATH.bad-YYYYMMDD-HHMMSS"
// (a number added when that exists) and returns the copy's path; "" when
// the file is whole, missing, or no copy could be made; also when it holds
// exactly `replacement`, the text about to be written.
std::string KeepSettingsFileNotReadWhole(const std::string& path,
                                         std::string_view replacement = {});

// Element `index` of "Recent Out Folders": the index-th TAB-separated field
// with spaces trimmed; "" when there is no such field.
std::string RecentOutputFolder(const ConversionSettings& settings, int index);

// Puts `folder` at the head of "Recent Out Folders", keeping at most "Out
// Folders Number" entries and dropping older entries equal to it without
// regard to letter case (Unicode aware). Returns false, changing nothing,
// for an empty folder.
bool AddRecentOutputFolder(ConversionSettings& settings, const std::string& folder);

enum class WindowPlacement { Normal, Maximized, Minimized };

struct WindowState {
  WindowPlacement placement = WindowPlacement::Normal;
  std::int32_t x = 0;
  std::int32_t y = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;
};

// The settings part of the window face's exit: record the placement
// (maximized keeps the last normal geometry, minimized changes nothing) and
// empty the recent folders when the history is not kept. Saving is the
// caller's next step.
void ApplyExitSequence(ConversionSettings& settings, const WindowState& window);

}  // namespace lumafold
