// The main window's layout arithmetic, kept apart from the toolkit so that
// the numbers can be checked without a window.
#pragma once

namespace lumafold::ui {

struct Rect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  bool operator==(const Rect&) const = default;
};

// Measured once the menu, tool bar and status bar are built; never saved.
struct LayoutMetrics {
  int menuHeight = 0;
  int toolBarHeight = 0;
  int topOffset = 0;
  int listBaseHeight = 100;
  int statusBarHeight = 0;
  // The labels' and boxes' heights: the described 20 and 21 pixels, more
  // when the desktop font needs more (a larger font, a higher font DPI).
  int labelHeight = 20;
  int boxHeight = 21;
};

// Label and box heights for a font of this line height: the described
// heights at an ordinary font, taller where the text would be cut.
int LabelHeightForFont(int fontLineHeight);
int BoxHeightForFont(int fontLineHeight);

// Geometry of controls 0 to 8 and tool bars 2 and 3. Positions of the
// container's children are relative to the container.
struct MainLayout {
  Rect container;
  Rect inputList;
  int inputListColumnWidth = 0;
  Rect outputFolderLabel;
  Rect outputFolderBox;
  Rect outputFolderToolBar;
  Rect outputFormatLabel;
  Rect outputFormatBox;
  Rect outputFormatToolBar;
  Rect convertButton;
  // The selected file's preview: under the Convert button, right of the
  // side tool bars, down to the bottom of box 7.
  Rect preview;
};

inline constexpr int kMinimumClientWidth = 510;
inline constexpr int kMinimumClientHeight = 330;
inline constexpr int kSideToolBarSize = 24;
// The right-hand column (Convert button, preview): 100 pixels at the
// minimum width, as created, and a fifth of the window beyond that, so that
// the preview grows with the window.
int SideColumnWidth(int clientWidth);

// The places the controls are created at, for a window of the given size.
MainLayout InitialLayout(int windowWidth, int windowHeight, const LayoutMetrics& metrics);

// The resize rule: W and H are the client size. Values the rule does not
// name keep what `current` holds.
MainLayout ResizeLayout(MainLayout current, int clientWidth, int clientHeight,
                        const LayoutMetrics& metrics);

}  // namespace lumafold::ui
