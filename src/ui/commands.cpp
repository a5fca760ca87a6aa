// The command, window and shortcut tables themselves.
#include "ui/commands.h"

#include <algorithm>
#include <array>

namespace lumafold::ui {

namespace {

constexpr CommandEntry kCommands[] = {
    {kCommandNew, "New", "New", "Ctrl+N", true},
    {kCommandExit, "Exit", "Exit", "Alt+X", false},
    {kCommandInputChooser, "Add", "Select Input Files", "", true},
    {kCommandAddFiles, "", "", "", false},
    {kCommandAddFolder, "", "", "", false},
    {kCommandOutputFolder, "OutFolder", "Select Output Folder", "", true},
    {kCommandOutputFormat, "OutFormat", "", "", false},
    {kCommandImportList, "ImportFiles", "Import Input Files", "", false},
    {kCommandExportList, "ExportFiles", "Export Input Files", "", false},
    {kCommandCopy, "Copy", "Copy", "Ctrl+C", false},
    {kCommandDelete, "Delete", "Delete", "Ctrl+Del", false},
    {kCommandSelectAll, "SelectAll", "Select All", "Ctrl+A", false},
    {kCommandConvert, "Convert", "Convert", "F5", true},
    {kCommandConverterSearch, "CustomConverter", "Custom Converter", "", false},
    {kCommandPreferences, "Preferences", "Preferences", "", true},
    {kCommandManual, "Help", "Manual", "F1", true},
    {kCommandFeedback, "Email", "Send Feedback", "", true},
    {kCommandHomepage, "Web", "Visit Homepage", "", true},
    {kCommandCheckUpdates, "Updates", "Check For New Version", "", true},
    {kCommandAbout, "About", "About", "", false},
    // The pictures icon: a sheet of the list's pictures.
    {kCommandContactSheets, "InFiles", "Contact Sheets", "", false},
};

constexpr int kFileMenu[] = {kCommandNew,          kSeparator, kCommandInputChooser,
                             kCommandOutputFolder, kSeparator, kCommandImportList,
                             kCommandExportList,   kSeparator, kCommandExit};
constexpr int kEditMenu[] = {kCommandCopy, kCommandDelete, kSeparator, kCommandSelectAll};
constexpr int kConverterMenu[] = {kCommandConvert,         kCommandContactSheets, kSeparator,
                                  kCommandConverterSearch, kSeparator,            kCommandPreferences};
constexpr int kHelpMenu[] = {kCommandManual,       kSeparator, kCommandFeedback, kCommandHomepage,
                             kCommandCheckUpdates, kSeparator, kCommandAbout};

constexpr MenuLayout kMainMenu[] = {
    {"File", kFileMenu},
    {"Edit", kEditMenu},
    {"Converter", kConverterMenu},
    {"Help", kHelpMenu},
};

constexpr int kListPopup[] = {kCommandCopy, kCommandDelete, kSeparator, kCommandSelectAll};

constexpr int kMainToolBar[] = {kCommandNew,      kCommandInputChooser, kCommandOutputFolder,
                                kSeparator,       kCommandPreferences,  kSeparator,
                                kCommandConvert,  kSeparator,           kCommandManual,
                                kCommandFeedback, kCommandHomepage,     kCommandCheckUpdates};

constexpr ShortcutEntry kWindowShortcuts[] = {
    {"Ctrl+N", kCommandNew},
    {"Alt+X", kCommandExit},
    {"F5", kCommandConvert},
    {"F1", kCommandManual},
};

constexpr ShortcutEntry kListShortcuts[] = {
    {"Ctrl+C", kCommandCopy},
    {"Ctrl+Del", kCommandDelete},
    {"Ctrl+A", kCommandSelectAll},
};

constexpr std::string_view kIconNames[] = {
    "New",
    "Add",
    "InFiles",
    "InFolder",
    "OutFolder",
    "OutFormat",
    "FavFolder",
    "ImportFiles",
    "ExportFiles",
    "Exit",
    "Copy",
    "Delete",
    "SelectAll",
    "Convert",
    "Error",
    "Preferences",
    "CustomConverter",
    "Help",
    "Email",
    "Web",
    "Updates",
    "About",
};

constexpr std::string_view kButtonNames[] = {"Convert", "InFiles", "InFolder"};

}  // namespace

std::span<const CommandEntry> CommandTable() { return kCommands; }

const CommandEntry* FindCommand(int number) {
  auto it = std::find_if(std::begin(kCommands), std::end(kCommands),
                         [number](const CommandEntry& e) { return e.number == number; });
  return it == std::end(kCommands) ? nullptr : &*it;
}

std::span<const MenuLayout> MainMenuLayout() { return kMainMenu; }
std::span<const int> ListPopupLayout() { return kListPopup; }
std::span<const int> MainToolBarLayout() { return kMainToolBar; }
std::span<const ShortcutEntry> WindowShortcuts() { return kWindowShortcuts; }
std::span<const ShortcutEntry> ListShortcuts() { return kListShortcuts; }

bool NeedsListFocus(int command) {
  return command == kCommandCopy || command == kCommandDelete || command == kCommandSelectAll;
}

int IconSizeForUiSize(int uiSize) {
  switch (uiSize) {
    case 1:
      return 24;
    case 2:
      return 32;
    case 3:
      return 48;
    case 4:
      return 64;
    default:
      return 16;
  }
}

std::span<const std::string_view> IconNames() { return kIconNames; }
std::span<const std::string_view> ButtonNames() { return kButtonNames; }

int ButtonSize(std::string_view name) { return name == "Convert" ? 64 : 48; }

}  // namespace lumafold::ui
