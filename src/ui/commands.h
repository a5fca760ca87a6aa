// The numbered windows, controls and commands of the desktop face, and the
// one command table that builds the menus, the tool bar and the shortcuts.
// Every menu entry, tool-bar button and shortcut sends a command number to
// MainWindow::dispatch(); nothing else decides what a click does.
#pragma once

#include <span>
#include <string_view>

namespace lumafold::ui {

// Top-level windows.
inline constexpr int kWindowMain = 0;
inline constexpr int kWindowPreferences = 1;
inline constexpr int kWindowFolderImport = 2;
inline constexpr int kWindowConversionProgress = 3;
inline constexpr int kWindowListImport = 4;
inline constexpr int kWindowListExport = 5;
inline constexpr int kWindowConverterSearch = 6;
inline constexpr int kWindowInputChooser = 7;
inline constexpr int kWindowAbout = 8;

// Controls of the main window (all inside the container).
inline constexpr int kControlContainer = 0;
inline constexpr int kControlInputList = 3;
inline constexpr int kControlOutputFolderLabel = 4;
inline constexpr int kControlOutputFolderBox = 5;
inline constexpr int kControlOutputFormatLabel = 6;
inline constexpr int kControlOutputFormatBox = 7;
inline constexpr int kControlConvertButton = 8;
// Tool bars: 0 the main one, 2 beside the folder box, 3 beside the format box.
inline constexpr int kToolBarMain = 0;
inline constexpr int kToolBarOutputFolder = 2;
inline constexpr int kToolBarOutputFormat = 3;
// Menus: 0 the main menu, 1 the list pop-up.
inline constexpr int kMenuMain = 0;
inline constexpr int kMenuListPopup = 1;

// Controls of the other windows.
inline constexpr int kControlFolderImportBar = 336;
inline constexpr int kControlProgressLabel = 338;
inline constexpr int kControlProgressBar = 339;
inline constexpr int kControlProgressOk = 340;
inline constexpr int kControlListImportBar = 342;
inline constexpr int kControlListExportBar = 345;
inline constexpr int kControlChooserFilesButton = 353;
inline constexpr int kControlChooserFilesLabel = 354;
inline constexpr int kControlChooserFolderButton = 355;
inline constexpr int kControlChooserFolderLabel = 356;
inline constexpr int kCommandChooserEscape = 357;
// The finished import and export dialogs stay on screen this long.
inline constexpr int kTimerTransferLinger = 123;
inline constexpr int kTransferLingerMilliseconds = 700;
inline constexpr int kProgressPollMilliseconds = 15;

// Main-window commands.
enum Command : int {
  kCommandNew = 0,
  kCommandExit = 3,
  kCommandInputChooser = 4,
  kCommandAddFiles = 5,
  kCommandAddFolder = 6,
  kCommandOutputFolder = 7,
  kCommandOutputFormat = 8,
  kCommandImportList = 9,
  kCommandExportList = 10,
  kCommandCopy = 11,
  kCommandDelete = 12,
  kCommandSelectAll = 13,
  kCommandConvert = 14,
  kCommandConverterSearch = 16,
  kCommandPreferences = 17,
  kCommandManual = 18,
  kCommandFeedback = 21,
  kCommandHomepage = 22,
  kCommandCheckUpdates = 23,
  kCommandAbout = 24,
  kCommandContactSheets = 25,
};

struct CommandEntry {
  int number;
  std::string_view icon;         // image-set key; empty: no icon
  std::string_view menuKey;      // group "Menu"; empty: no menu entry
  std::string_view accelerator;  // shown after a tab in the menu entry
  bool onToolBar;
};

// Every used command number, in number order.
std::span<const CommandEntry> CommandTable();
// nullptr for a number that is not used.
const CommandEntry* FindCommand(int number);

// Menus and the tool bar list command numbers; kSeparator draws a line.
inline constexpr int kSeparator = -1;

struct MenuLayout {
  std::string_view titleKey;  // group "Menu"
  std::span<const int> entries;
};

std::span<const MenuLayout> MainMenuLayout();
std::span<const int> ListPopupLayout();
std::span<const int> MainToolBarLayout();

// Window-level shortcuts; the list shortcuts only act while the list has the
// keyboard focus (the dispatch checks that, not the shortcut).
struct ShortcutEntry {
  std::string_view keys;  // QKeySequence portable text
  int command;
};
std::span<const ShortcutEntry> WindowShortcuts();
std::span<const ShortcutEntry> ListShortcuts();

// True for the commands that act only while the input list has the focus.
bool NeedsListFocus(int command);

// Tool-bar icon size in pixels for the "UI Size" setting.
int IconSizeForUiSize(int uiSize);

// Names of the built-in and theme images.
std::span<const std::string_view> IconNames();    // menu and tool-bar icons
std::span<const std::string_view> ButtonNames();  // large buttons
// Pixel size of a large button image ("Convert" 64, the others 48).
int ButtonSize(std::string_view name);
inline constexpr int kMenuIconSize = 16;
inline constexpr int kBannerWidth = 360;
inline constexpr int kBannerHeight = 40;

}  // namespace lumafold::ui
