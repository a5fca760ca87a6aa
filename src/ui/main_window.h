// Window 0: the menu bar, the tool bar, the container with the input list,
// the output-folder and output-format boxes and the Convert button, and the
// status bar. Every menu entry, tool-bar button and shortcut sends its
// command number to dispatch().
#pragma once

#include <QMainWindow>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/app_context.h"
#include "ui/layout.h"
#include "ui/picture_loader.h"
#include "ui/prompts.h"
#include "ui/themes.h"

class QComboBox;
class QLabel;
class QMenu;
class QShortcut;
class QToolBar;
class QToolButton;
class QTreeWidget;

namespace lumafold::ui {

class AfterPreview;
class ContactSheetRun;
class InputList;
class ListPictures;

// `wanted` made no larger than `available` (but not below `minimum`) and
// moved inside it.
QRect FitIntoScreen(const QRect& wanted, const QRect& available, const QSize& minimum);

class MainWindow : public QMainWindow {
  Q_OBJECT

 public:
  explicit MainWindow(AppContext& context, Prompts prompts = StandardPrompts());
  ~MainWindow() override;

  // Builds and shows the window (the numbered steps of opening it). The
  // theme images should be in images() before.
  bool open();

  // Runs the action of a command number; unused numbers do nothing.
  void dispatch(int command);
  // Told every command number that reaches dispatch(), before it acts (a
  // log for diagnostics and tests; empty by default).
  std::function<void(int command)> onDispatch;

  AppContext& context() { return context_; }
  Prompts& prompts() { return prompts_; }
  ThemeImages& images() { return images_; }
  InputList& inputList() { return *inputList_; }
  // Command 25's sheets, made off the interface thread.
  ContactSheetRun& contactSheets() { return *contactSheets_; }
  // The decoder of the list's thumbnails and preview; set before open()
  // (tests count its calls).
  void setPictureDecoder(PictureDecoder decoder) { pictureDecoder_ = std::move(decoder); }
  ListPictures* pictures() const { return pictures_; }
  AfterPreview* afterPreview() const { return afterPreview_; }

  // A catalog text as a QString.
  QString text(std::string_view group, std::string_view key) const;

  void setStatusText(const QString& text);
  QString statusText() const;

  // The warning box titled "Warning" and the Yes/No question with the text
  // of `Msg`/key; true only for Yes.
  void messageBox(const QString& text);
  bool questionBox(std::string_view key);

  // Box 5 from "Recent Out Folders", selecting the job's output folder.
  void refreshOutputFolderBox();
  QString outputFolderText() const;
  // Shows `folder` in box 5 (its item when it has one) and makes it the
  // job's output folder, without adding it to the recent folders.
  void showOutputFolder(const QString& folder);
  // Box 7, or the preferences' own format box.
  static void FillOutputFormatBox(QComboBox* box, const AppContext& context,
                                  const ThemeImages& images, bool withDescriptions);

  // Command 0: empties the list and the input set, resets the run fields.
  void newList();

  // Rebuild after a theme or icon-size change; each discards its
  // predecessor.
  void buildMenus();
  void buildToolBar();
  void applyButtonImages();
  // After the preferences changed settings the window shows (format box,
  // output folders, tool bar size).
  void settingsChanged();

  // Queues one size event, so the resize rule lays the controls out.
  void postSizeEvent();
  // The resize rule for the current size.
  void applyLayout();
  const LayoutMetrics& metrics() const { return metrics_; }
  const MainLayout& currentLayout() const { return layout_; }

  // The drop rule for paths dropped on the window.
  void dropPaths(const QStringList& paths);
  // Files another start of the program handed over: the window comes to the
  // front at once and adds them through the drop rule as soon as no dialog
  // is open (the list stays as it is while a run or an import uses it).
  void openHandedOver(const QStringList& paths);
  // Un-minimised (keeping a maximised state), raised and activated.
  void bringToFront();

  // Window 0's controls, for the dialogs and the tests.
  QTreeWidget* inputListView() const { return list_; }
  QComboBox* outputFolderBox() const { return folderBox_; }
  QComboBox* outputFormatBox() const { return formatBox_; }
  QToolButton* convertButton() const { return convertButton_; }
  QToolBar* mainToolBar() const { return toolBar_; }
  QToolButton* folderToolBar() const { return folderToolBar_; }
  QToolButton* formatToolBar() const { return formatToolBar_; }
  QWidget* container() const { return container_; }
  QLabel* folderLabel() const { return folderLabel_; }
  QLabel* formatLabel() const { return formatLabel_; }
  QMenu* listPopupMenu() const { return listPopup_; }
  QAction* menuAction(int command) const;
  QAction* toolBarAction(int command) const;

 protected:
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  QAction* makeAction(int command, const QIcon& icon, bool withAccelerator, QObject* owner);
  void buildControls();
  void buildShortcuts();
  // Delete, Return, the tab order and the focused row kept in view.
  void buildKeyboard();
  void buildStatusBar();
  // Puts the container's controls where layout_ says.
  void placeControls();
  void placePreview();
  void showListPopup(const QPoint& at);
  void outputFormatChosen(int index);
  void addHandedOver();

  AppContext& context_;
  Prompts prompts_;
  ThemeImages images_;
  LayoutMetrics metrics_;
  MainLayout layout_;
  std::unique_ptr<InputList> inputList_;
  std::unique_ptr<ContactSheetRun> contactSheets_;
  PictureDecoder pictureDecoder_ = PhotoCdPictureDecoder();
  ListPictures* pictures_ = nullptr;
  AfterPreview* afterPreview_ = nullptr;

  QWidget* client_ = nullptr;
  QToolBar* toolBar_ = nullptr;
  QWidget* container_ = nullptr;
  QTreeWidget* list_ = nullptr;
  QLabel* folderLabel_ = nullptr;
  QComboBox* folderBox_ = nullptr;
  QToolButton* folderToolBar_ = nullptr;
  QLabel* formatLabel_ = nullptr;
  QComboBox* formatBox_ = nullptr;
  QToolButton* formatToolBar_ = nullptr;
  QToolButton* convertButton_ = nullptr;
  QLabel* statusField_ = nullptr;
  QMenu* listPopup_ = nullptr;
  std::vector<QMenu*> mainMenus_;
  std::map<int, QAction*> menuActions_;
  std::map<int, QAction*> toolBarActions_;
  std::vector<QAction*> sideActions_;
  std::vector<QShortcut*> shortcuts_;
  QStringList handedOver_;
  bool addingHandedOver_ = false;
};

}  // namespace lumafold::ui
