// Themes: ZIP archives gfx/<theme>.zip holding "theme.cfg" and PNG images
// that replace the main window's buttons, menu icons and tool-bar icons by
// name. "UI Theme" names the active archive, "UI Size" the tool-bar size.
#pragma once

#include <QImage>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "settings/conversion_settings.h"

namespace lumafold::ui {

struct ThemeInfo {
  std::string displayName;  // "Name" of section Theme; empty: not offered
  std::string archivePath;
};

// Theme file name without ".zip" -> what is known of it. The map's order
// is the order "the first theme" refers to.
using ThemeTable = std::map<std::string, ThemeInfo>;

// The gfx/ folders searched, in order, for a program folder.
std::vector<std::string> ThemeFolders(const std::string& programFolder);

// Lists "*.zip" files of the folders (an earlier folder wins a name) and
// records each one that opens as a ZIP archive, with the display name read
// from at most the first 255 bytes of its "theme.cfg".
ThemeTable CollectThemes(const std::vector<std::string>& folders);

// The in-memory reader of "theme.cfg" (CR LF lines): the value of the
// first line after "[section]" that starts with key, both found without
// regard to letter case; the key matches as a prefix. Empty when either is
// missing or the key lies beyond the section's end (the next "[").
std::string ReadThemeKey(std::string_view text, std::string_view section, std::string_view key);

// The archive entry of an image value at a pixel size: the value itself
// when it contains ".png" (any case), else value + "_" + size + ".png".
std::string ThemeEntryName(const std::string& value, int pixelSize);

// The preferences' theme list: keys with a display name, sorted by key
// without regard to letter case.
struct ThemeChoice {
  std::string key;
  std::string displayName;
};
std::vector<ThemeChoice> ThemeChoices(const ThemeTable& table);

using ImageSet = std::map<std::string, QImage, std::less<>>;

struct ThemeImages {
  ImageSet buttons;       // section Buttons, 16 pixels
  ImageSet menuIcons;     // section Icons, 16 pixels
  ImageSet toolBarIcons;  // section Icons, size from "UI Size"
};

enum ThemeSet : int {
  kThemeButtons = 1,
  kThemeMenuIcons = 2,
  kThemeToolBarIcons = 4,
  kThemeAllSets = kThemeButtons | kThemeMenuIcons | kThemeToolBarIcons,
};

// The image names of the sets and their sections and pixel sizes.
struct ThemeSetSpec {
  const char* section;
  int pixelSize;
  std::vector<std::string_view> names;
};
ThemeSetSpec ThemeSetFor(ThemeSet set, int uiSize);

// Loads the requested sets (ThemeSet flags) from the archive of "UI
// Theme". When that archive is gone and themes are known, "UI Theme"
// becomes the first known theme. Images whose entry is missing keep what
// the set held. False when no archive could be read (images untouched).
bool LoadTheme(InterfaceSettings& settings, const ThemeTable& table,
               const std::vector<std::string>& folders, int sets, ThemeImages& images);

// What the main window must redo after the preferences changed the theme
// or the icon size; a theme change takes precedence.
enum class ThemeRefresh { None, ThemeChanged, IconSizeChanged };

ThemeRefresh RefreshFor(const InterfaceSettings& before, const InterfaceSettings& after);

// The sets to reload for a refresh: all three after a theme change, the
// tool-bar icons alone after an icon-size change, none otherwise.
int SetsToReload(ThemeRefresh refresh);

}  // namespace lumafold::ui
