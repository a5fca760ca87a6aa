#include "ui/layout.h"

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

MainLayout ResizeLayout(MainLayout layout, int w, int h, const LayoutMetrics& metrics) {
  const int a = h - metrics.menuHeight - metrics.toolBarHeight - metrics.statusBarHeight;

  layout.container.y = metrics.toolBarHeight + metrics.topOffset;
  layout.container.width = w;
  layout.container.height = a - 10;

  layout.inputList.width = w - 130;
  layout.inputList.height = a - 109;
  layout.inputListColumnWidth = w - 160;

  layout.outputFolderLabel.y = a - 94;
  layout.outputFolderBox.y = a - 79;
  layout.outputFolderBox.width = w - 130;
  layout.outputFolderToolBar = {w - 114, a - 80, kSideToolBarSize, kSideToolBarSize};

  layout.outputFormatLabel.y = a - 54;
  layout.outputFormatBox.y = a - 39;
  layout.outputFormatBox.width = w - 130;
  layout.outputFormatToolBar = {w - 114, a - 40, kSideToolBarSize, kSideToolBarSize};

  layout.convertButton.x = w - 110;
  return layout;
}

}  // namespace lumafold::ui
