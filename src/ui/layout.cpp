// The main window's layout numbers, computed without a toolkit.
#include "ui/layout.h"

#include <algorithm>

namespace lumafold::ui {

MainLayout InitialLayout(int windowWidth, int windowHeight, const LayoutMetrics& metrics) {
  MainLayout layout;
  layout.container = {0, metrics.toolBarHeight, windowWidth, windowHeight - 130};
  layout.inputList = {10, 10, 380, metrics.listBaseHeight};
  layout.inputListColumnWidth = 290;
  layout.outputFolderLabel = {10, 115, 380, 20};
  layout.outputFolderBox = {10, 130, 380, 21};
  layout.outputFolderToolBar = {396, 129, kSideToolBarSize, kSideToolBarSize};
  layout.outputFormatLabel = {10, 155, 380, 20};
  layout.outputFormatBox = {10, 170, 380, 21};
  layout.outputFormatToolBar = {396, 169, kSideToolBarSize, kSideToolBarSize};
  layout.convertButton = {400, 10, 100, 100};
  return layout;
}

// A label's text sits at its top; 6 pixels keep descenders clear of the box.
int LabelHeightForFont(int fontLineHeight) { return std::max(20, fontLineHeight + 6); }
// Frame and padding of a drop-down around one line of text.
int BoxHeightForFont(int fontLineHeight) { return std::max(21, fontLineHeight + 7); }

int SideColumnWidth(int clientWidth) { return std::max(100, (clientWidth - 10) / 5); }

MainLayout ResizeLayout(MainLayout layout, int w, int h, const LayoutMetrics& metrics) {
  const int a = h - metrics.menuHeight - metrics.toolBarHeight - metrics.statusBarHeight;
  // At the minimum width the column is 100 wide and every number below is
  // the described rule (list W - 130, tool bars at W - 114, button at W - 110).
  const int side = SideColumnWidth(w);
  const int left = w - 30 - side;  // width of the list and the boxes

  layout.container.y = metrics.toolBarHeight + metrics.topOffset;
  layout.container.width = w;
  layout.container.height = a - 10;

  layout.inputList.width = left;
  layout.inputListColumnWidth = left - 30;

  // Bottom up, so that at the described heights (label 20, box 21) this is
  // exactly the rule: label 4 at A - 94, box 5 at A - 79, label 6 at A - 54,
  // box 7 at A - 39, the list down to 5 pixels above label 4. Each label's
  // last 5 pixels lie under its box, as drawn by the rule.
  const int box = metrics.boxHeight;
  const int labelStep = metrics.labelHeight - 5;
  layout.outputFormatBox.y = a - 18 - box;
  layout.outputFormatLabel.y = layout.outputFormatBox.y - labelStep;
  layout.outputFolderBox.y = layout.outputFormatLabel.y - 4 - box;
  layout.outputFolderLabel.y = layout.outputFolderBox.y - labelStep;
  for (Rect* label : {&layout.outputFolderLabel, &layout.outputFormatLabel})
    label->height = metrics.labelHeight;
  for (Rect* boxRect : {&layout.outputFolderBox, &layout.outputFormatBox}) {
    boxRect->height = box;
    boxRect->width = left;
  }
  layout.inputList.height = layout.outputFolderLabel.y - 5 - layout.inputList.y;
  const int toolBarX = 10 + left + 6;
  layout.outputFolderToolBar = {toolBarX, layout.outputFolderBox.y - 1, kSideToolBarSize,
                                kSideToolBarSize};
  layout.outputFormatToolBar = {toolBarX, layout.outputFormatBox.y - 1, kSideToolBarSize,
                                kSideToolBarSize};

  layout.convertButton.x = w - 10 - side;
  layout.convertButton.width = side;
  // Beside the tool bars rather than above them: above, at the first-start
  // size, only a strip is left between the button and the tool bars.
  const int previewX = toolBarX + kSideToolBarSize + 4;
  const int previewY = layout.convertButton.y + layout.convertButton.height + 10;
  layout.preview = {previewX, previewY, std::max(0, w - 10 - previewX),
                    std::max(0, layout.outputFormatBox.y + box - previewY)};
  return layout;
}

}  // namespace lumafold::ui
