// The main window's widgets, built from the command table, and the dispatch
// of every command number.
#include "ui/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QMouseEvent>
#include <QResizeEvent>
#include <QScreen>
#include <QGuiApplication>
#include <QShortcut>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>
#include <utility>

#include "settings/product.h"
#include "settings/profile_file.h"
#include "ui/after_preview.h"
#include "ui/builtin_images.h"
#include "ui/commands.h"
#include "ui/contact_sheet_run.h"
#include "ui/conversion_run.h"
#include "ui/dialogs.h"
#include "ui/input_list.h"
#include "ui/list_pictures.h"
#include "ui/mnemonics.h"
#include "ui/orderly_quit.h"
#include "ui/run_results.h"

namespace lumafold::ui {

namespace {

QString ToQString(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

constexpr int kResultColumnWidth = 24;

QRect ToQRect(const Rect& r) { return QRect(r.x, r.y, r.width, r.height); }

void Number(QObject* object, const char* kind, int number) {
  object->setObjectName(QStringLiteral("%1%2").arg(kind).arg(number));
}

}  // namespace

QRect FitIntoScreen(const QRect& wanted, const QRect& available, const QSize& minimum) {
  QRect fitted = wanted;
  fitted.setWidth(std::max(minimum.width(), std::min(wanted.width(), available.width())));
  fitted.setHeight(std::max(minimum.height(), std::min(wanted.height(), available.height())));
  fitted.moveLeft(std::clamp(wanted.x(), available.left(),
                             std::max(available.left(), available.right() + 1 - fitted.width())));
  fitted.moveTop(std::clamp(wanted.y(), available.top(),
                            std::max(available.top(), available.bottom() + 1 - fitted.height())));
  return fitted;
}

MainWindow::MainWindow(AppContext& context, Prompts prompts)
    : context_(context), prompts_(std::move(prompts)) {
  Number(this, "window", kWindowMain);
  FillBuiltInImages(images_, kThemeAllSets, IconSizeForUiSize(context_.settings.interface.uiSize));
  inputList_ = std::make_unique<InputList>(*this);
  contactSheets_ = std::make_unique<ContactSheetRun>(*this);
}

MainWindow::~MainWindow() = default;

QString MainWindow::text(std::string_view group, std::string_view key) const {
  return QString::fromStdString(context_.catalog.text(group, key));
}

bool MainWindow::open() {
  const WindowSettings& placement = context_.settings.window;
  // 1. The window at its saved place, never smaller than the minimum.
  setWindowTitle(QString::fromStdString(TitleLine()));
  setMinimumSize(kMinimumClientWidth, kMinimumClientHeight);
  // A place saved on a larger screen, or at another scale factor, is
  // fitted into the screen the window opens on, so Convert stays in reach.
  const QRect saved(placement.x, placement.y, std::max<int>(placement.width, kMinimumClientWidth),
                    std::max<int>(placement.height, kMinimumClientHeight));
  const QScreen* screen = QGuiApplication::screenAt(saved.center());
  if (!screen) screen = QGuiApplication::primaryScreen();
  const QRect fitted =
      screen ? FitIntoScreen(saved, screen->availableGeometry(), minimumSize()) : saved;
  resize(fitted.size());
  move(fitted.topLeft());
  setAcceptDrops(true);

  client_ = new QWidget(this);
  setCentralWidget(client_);
  // 2.-4. Menus, tool bar, status bar, each measured once built.
  buildMenus();
  buildToolBar();
  buildStatusBar();
  // 5. The container and its controls.
  metrics_.topOffset = 0;
  metrics_.listBaseHeight = 100;
  buildControls();
  // 6. Window shortcuts.
  buildShortcuts();
  buildKeyboard();
  // 8. Saved maximized.
  if (placement.isMaximized == 1) setWindowState(windowState() | Qt::WindowMaximized);
  // 9. An empty history still gives the box one (empty) item.
  if (context_.settings.file.recentOutFolders.empty()) {
    const QSignalBlocker quiet(folderBox_);
    folderBox_->addItem(QString());
  }
  // 10. -11.
  FillOutputFormatBox(formatBox_, context_, images_, true);
  newList();
  // 12.
  show();
  postSizeEvent();
  return true;
}

QAction* MainWindow::makeAction(int command, const QIcon& icon, bool withAccelerator,
                                QObject* owner) {
  const CommandEntry* entry = FindCommand(command);
  QString label = entry && !entry->menuKey.empty() ? text("Menu", entry->menuKey) : QString();
  if (withAccelerator && entry && !entry->accelerator.empty())
    label += "\t" + ToQString(entry->accelerator);
  auto* action = new QAction(icon, label, owner);
  action->setData(command);
  connect(action, &QAction::triggered, this, [this, command] { dispatch(command); });
  return action;
}

void MainWindow::buildMenus() {
  // A rebuild discards the previous menus of the same number.
  // Deleting a menu deletes its entries and takes it off the menu bar.
  for (QMenu* menu : mainMenus_) delete menu;
  mainMenus_.clear();
  menuActions_.clear();
  delete listPopup_;

  auto addEntries = [this](QMenu* menu, std::span<const int> entries) {
    for (int command : entries) {
      if (command == kSeparator) {
        menu->addSeparator();
        continue;
      }
      const CommandEntry* entry = FindCommand(command);
      QAction* action = makeAction(command, IconOf(images_.menuIcons, entry->icon), true, menu);
      menu->addAction(action);
      if (menu != listPopup_) menuActions_[command] = action;
    }
  };
  // Alt+F and friends: letters picked per menu bar and per menu.
  auto addMnemonics = [](QMenu* menu) {
    QStringList texts;
    QList<QAction*> entries;
    for (QAction* action : menu->actions()) {
      if (action->isSeparator()) continue;
      entries << action;
      texts << action->text();
    }
    const QStringList marked = WithMnemonics(texts);
    for (qsizetype i = 0; i < entries.size(); ++i) entries[i]->setText(marked[i]);
  };
  QStringList titles;
  for (const MenuLayout& layout : MainMenuLayout()) titles << text("Menu", layout.titleKey);
  titles = WithMnemonics(titles);
  int title = 0;
  for (const MenuLayout& layout : MainMenuLayout()) {
    QMenu* menu = menuBar()->addMenu(titles[title++]);
    mainMenus_.push_back(menu);
    addEntries(menu, layout.entries);
    addMnemonics(menu);
  }
  listPopup_ = new QMenu(this);
  Number(listPopup_, "menu", kMenuListPopup);
  addEntries(listPopup_, ListPopupLayout());
  addMnemonics(listPopup_);
  // A rebuild while sheets are being made keeps their entry disabled.
  if (QAction* sheets = menuAction(kCommandContactSheets))
    sheets->setEnabled(!contactSheets_->busy());
  metrics_.menuHeight = menuBar()->sizeHint().height();
}

void MainWindow::buildToolBar() {
  delete toolBar_;
  toolBarActions_.clear();
  toolBar_ = new QToolBar(client_);
  Number(toolBar_, "toolbar", kToolBarMain);
  toolBar_->setMovable(false);
  toolBar_->setFloatable(false);
  const int size = IconSizeForUiSize(context_.settings.interface.uiSize);
  toolBar_->setIconSize(QSize(size, size));
  for (int command : MainToolBarLayout()) {
    if (command == kSeparator) {
      toolBar_->addSeparator();
      continue;
    }
    const CommandEntry* entry = FindCommand(command);
    QAction* action =
        makeAction(command, IconOf(images_.toolBarIcons, entry->icon), false, toolBar_);
    action->setToolTip(text("Menu", entry->menuKey));
    toolBar_->addAction(action);
    toolBarActions_[command] = action;
  }
  toolBar_->adjustSize();
  toolBar_->show();
  metrics_.toolBarHeight = toolBar_->sizeHint().height();
  if (container_) applyLayout();
}

void MainWindow::buildStatusBar() {
  statusField_ = new QLabel(this);
  statusBar()->addWidget(statusField_, 1);
  statusBar()->setSizeGripEnabled(true);
  setStatusText(QString());
  metrics_.statusBarHeight = statusBar()->sizeHint().height();
}

void MainWindow::buildControls() {
  layout_ = InitialLayout(width(), height(), metrics_);
  container_ = new QWidget(client_);
  Number(container_, "control", kControlContainer);

  list_ = new QTreeWidget(container_);
  Number(list_, "control", kControlInputList);
  // Column 1 holds each row's result after a run (run_results.h), in the
  // room the resize rule leaves right of the file names.
  list_->setColumnCount(2);
  list_->setHeaderLabels({text("General", "Filename"), QString()});
  list_->setRootIsDecorated(false);
  list_->setItemsExpandable(false);
  list_->setUniformRowHeights(true);
  list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  list_->header()->setStretchLastSection(false);
  // The Filename header sorts the rows by name, each click the other way;
  // the conversion order stays the input set's.
  list_->header()->setSectionsClickable(true);
  connect(list_->header(), &QHeaderView::sectionClicked, this,
          [this, descending = std::make_shared<bool>(true)](int column) {
            if (column != 0) return;
            *descending = !*descending;
            const Qt::SortOrder order = *descending ? Qt::DescendingOrder : Qt::AscendingOrder;
            list_->header()->setSortIndicatorShown(true);
            list_->header()->setSortIndicator(0, order);
            list_->sortItems(0, order);
          });
  list_->setContextMenuPolicy(Qt::CustomContextMenu);
  // Paths of one scan session share their start and differ at the end:
  // cut in the middle so that rows stay apart; the tooltip has it whole.
  list_->setTextElideMode(Qt::ElideMiddle);
  // A double click runs the input chooser on a row and on the empty list
  // alike; the view's own signal knows rows only.
  list_->viewport()->installEventFilter(this);
  pictures_ = new ListPictures(list_, container_, pictureDecoder_);
  pictures_->setEnabled(context_.settings.interface.showThumbnails != 0);
  afterPreview_ = new AfterPreview(context_, *pictures_, container_);
  connect(list_, &QWidget::customContextMenuRequested, this, &MainWindow::showListPopup);

  folderLabel_ = new QLabel(text("General", "Output Folder"), container_);
  Number(folderLabel_, "control", kControlOutputFolderLabel);
  folderBox_ = new QComboBox(container_);
  Number(folderBox_, "control", kControlOutputFolderBox);
  // A folder can be typed or pasted as well as chosen.
  folderBox_->setEditable(true);
  folderBox_->setInsertPolicy(QComboBox::NoInsert);
  connect(folderBox_, &QComboBox::currentTextChanged, this,
          [this](const QString& folder) { context_.job.outputFolder = folder.toStdString(); });

  formatLabel_ = new QLabel(text("General", "Output Format"), container_);
  Number(formatLabel_, "control", kControlOutputFormatLabel);
  formatBox_ = new QComboBox(container_);
  Number(formatBox_, "control", kControlOutputFormatBox);
  formatBox_->setEditable(false);
  connect(formatBox_, &QComboBox::currentIndexChanged, this, &MainWindow::outputFormatChosen);
  // A larger desktop font gets taller labels and boxes (the resize rule
  // then moves them up); the text sits at the top of its label, clear of
  // the box that covers the label's last pixels.
  for (QLabel* label : {folderLabel_, formatLabel_})
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  metrics_.labelHeight = LabelHeightForFont(folderLabel_->fontMetrics().height());
  metrics_.boxHeight = BoxHeightForFont(folderBox_->fontMetrics().height());

  convertButton_ = new QToolButton(container_);
  Number(convertButton_, "control", kControlConvertButton);
  convertButton_->setToolButtonStyle(Qt::ToolButtonIconOnly);
  convertButton_->setToolTip(text("Menu", "Convert"));
  connect(convertButton_, &QToolButton::clicked, this, [this] { dispatch(kCommandConvert); });

  // The two one-button tool bars beside the boxes.
  auto sideButton = [this](int toolBar, int command, const char* tipKey) {
    auto* button = new QToolButton(container_);
    Number(button, "toolbar", toolBar);
    button->setAutoRaise(true);
    button->setIconSize(QSize(kMenuIconSize, kMenuIconSize));
    QAction* action = makeAction(command, QIcon(), false, button);
    action->setToolTip(text("Menu", tipKey));
    button->setDefaultAction(action);
    sideActions_.push_back(action);
    return button;
  };
  folderToolBar_ = sideButton(kToolBarOutputFolder, kCommandOutputFolder, "Select Output Folder");
  formatToolBar_ = sideButton(kToolBarOutputFormat, kCommandOutputFormat, "Output Format Options");
  applyButtonImages();
  placeControls();
}

void MainWindow::placeControls() {
  container_->setGeometry(ToQRect(layout_.container));
  list_->setGeometry(ToQRect(layout_.inputList));
  list_->setColumnWidth(0, layout_.inputListColumnWidth);
  list_->setColumnWidth(kResultColumn, kResultColumnWidth);
  folderLabel_->setGeometry(ToQRect(layout_.outputFolderLabel));
  folderBox_->setGeometry(ToQRect(layout_.outputFolderBox));
  folderToolBar_->setGeometry(ToQRect(layout_.outputFolderToolBar));
  formatLabel_->setGeometry(ToQRect(layout_.outputFormatLabel));
  formatBox_->setGeometry(ToQRect(layout_.outputFormatBox));
  formatToolBar_->setGeometry(ToQRect(layout_.outputFormatToolBar));
  convertButton_->setGeometry(ToQRect(layout_.convertButton));
  placePreview();
}

void MainWindow::placePreview() {
  // The original on top; the after-picture takes the room under its facts.
  pictures_->placePreview(afterPreview_->place(ToQRect(layout_.preview)));
}

void MainWindow::applyButtonImages() {
  if (!convertButton_) return;
  convertButton_->setIcon(IconOf(images_.buttons, "Convert"));
  convertButton_->setIconSize(QSize(ButtonSize("Convert"), ButtonSize("Convert")));
  folderToolBar_->defaultAction()->setIcon(IconOf(images_.menuIcons, "OutFolder"));
  formatToolBar_->defaultAction()->setIcon(IconOf(images_.menuIcons, "OutFormat"));
  for (int i = 0; i < folderBox_->count(); ++i)
    if (!folderBox_->itemText(i).isEmpty())
      folderBox_->setItemIcon(i, IconOf(images_.menuIcons, "FavFolder"));
  for (int i = 0; i < formatBox_->count(); ++i)
    formatBox_->setItemIcon(i, IconOf(images_.menuIcons, "New"));
}

void MainWindow::buildKeyboard() {
  // Delete removes the selected rows, as Ctrl+Del does.
  auto* remove = new QShortcut(QKeySequence(Qt::Key_Delete), list_);
  remove->setContext(Qt::WidgetShortcut);
  connect(remove, &QShortcut::activated, this, [this] { dispatch(kCommandDelete); });
  // Return presses a focused button; on the list it presses Convert, the
  // window's default button.
  for (QWidget* widget : std::initializer_list<QWidget*>{list_, convertButton_, folderToolBar_,
                                                         formatToolBar_})
    widget->installEventFilter(this);
  // The row with the keyboard focus stays in view.
  connect(list_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* current) {
    if (current) list_->scrollToItem(current);
  });
  // Tab goes the way the controls are laid out: the list, the folder box
  // and its button, the format box and its button, Convert.
  QWidget* order[] = {list_, folderBox_, folderToolBar_, formatBox_, formatToolBar_,
                      convertButton_};
  for (QWidget* widget : order) widget->setFocusPolicy(Qt::StrongFocus);
  for (std::size_t i = 0; i + 1 < std::size(order); ++i) setTabOrder(order[i], order[i + 1]);
}

void MainWindow::buildShortcuts() {
  for (std::span<const ShortcutEntry> table : {WindowShortcuts(), ListShortcuts()}) {
    for (const ShortcutEntry& entry : table) {
      auto* shortcut = new QShortcut(QKeySequence(ToQString(entry.keys)), this);
      shortcut->setContext(Qt::WindowShortcut);
      const int command = entry.command;
      connect(shortcut, &QShortcut::activated, this, [this, command] { dispatch(command); });
      shortcuts_.push_back(shortcut);
    }
  }
}

void MainWindow::dispatch(int command) {
  if (onDispatch) onDispatch(command);
  // The list commands act only on a list that has the keyboard focus.
  if (NeedsListFocus(command) && focusWidget() != list_) return;
  switch (command) {
    case kCommandNew:
      newList();
      break;
    case kCommandExit:
      close();
      break;
    case kCommandInputChooser:
      inputList_->openInputChooser();
      break;
    case kCommandAddFiles:
      inputList_->addFiles();
      break;
    case kCommandAddFolder:
      inputList_->addFolder();
      break;
    case kCommandOutputFolder:
      inputList_->chooseOutputFolder();
      break;
    case kCommandOutputFormat:
      OpenPreferences(*this, PreferencesPage::Output);
      break;
    case kCommandImportList:
      inputList_->importList();
      break;
    case kCommandExportList:
      inputList_->exportList();
      break;
    case kCommandCopy:
      inputList_->copy();
      break;
    case kCommandDelete:
      inputList_->removeSelected();
      break;
    case kCommandSelectAll:
      inputList_->selectAll();
      break;
    case kCommandConvert:
      StartConversion(*this);
      break;
    case kCommandConverterSearch:
      OpenConverterSearch(*this);
      break;
    case kCommandPreferences:
      OpenPreferences(*this, PreferencesPage::General);
      break;
    case kCommandManual:
      OpenManual(*this);
      break;
    case kCommandFeedback:
      SendFeedback(*this);
      break;
    case kCommandHomepage:
      VisitHomepage(*this);
      break;
    case kCommandCheckUpdates:
      CheckForUpdatesNow(*this);
      break;
    case kCommandAbout:
      ShowAbout(*this);
      break;
    case kCommandContactSheets:
      contactSheets_->start();
      break;
    default:
      break;
  }
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      if (auto* button = qobject_cast<QToolButton*>(watched)) {
        button->click();
        return true;
      }
      if (watched == list_) {
        convertButton_->click();
        return true;
      }
    }
  }
  if (event->type() == QEvent::MouseButtonDblClick && list_ && watched == list_->viewport() &&
      static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
    dispatch(kCommandInputChooser);
    return true;
  }
  return QMainWindow::eventFilter(watched, event);
}

void MainWindow::showListPopup(const QPoint& at) {
  if (list_->selectedItems().isEmpty()) return;
  listPopup_->popup(list_->viewport()->mapToGlobal(at));
}

void MainWindow::outputFormatChosen(int index) {
  if (index < 0) return;
  const int value = formatBox_->itemData(index).toInt();
  const auto& order = context_.formats.outputOrder();
  if (value >= 0 && value < static_cast<int>(order.size()))
    context_.settings.output.format = order[static_cast<std::size_t>(value)];
  if (afterPreview_) afterPreview_->settingsChanged();
}

void MainWindow::setStatusText(const QString& text) {
  if (statusField_) statusField_->setText(text);
}

QString MainWindow::statusText() const { return statusField_ ? statusField_->text() : QString(); }

void MainWindow::messageBox(const QString& text) {
  if (prompts_.message) prompts_.message(this, this->text("Msg", "Warning"), text);
}

bool MainWindow::questionBox(std::string_view key) {
  return prompts_.question && prompts_.question(this, text("Msg", "Warning"), text("Msg", key));
}

void MainWindow::refreshOutputFolderBox() {
  const ConversionSettings& settings = context_.settings;
  if (settings.file.recentOutFolders.empty()) return;
  // Filling the box is not a choice of the user: the job's output folder
  // follows the box only on user events.
  const QSignalBlocker quiet(folderBox_);
  folderBox_->clear();
  int remembered = -1;
  for (int i = 0; i < settings.advanced.outFoldersNumber; ++i) {
    const std::string folder = RecentOutputFolder(settings, i);
    if (folder.empty()) continue;
    folderBox_->addItem(IconOf(images_.menuIcons, "FavFolder"), QString::fromStdString(folder));
    if (remembered < 0 && SameOutputFolder(folder, context_.job.outputFolder))
      remembered = folderBox_->count() - 1;
  }
  folderBox_->setCurrentIndex(remembered >= 0 ? remembered : 0);
}

QString MainWindow::outputFolderText() const { return folderBox_->currentText(); }

void MainWindow::FillOutputFormatBox(QComboBox* box, const AppContext& context,
                                     const ThemeImages& images, bool withDescriptions) {
  const QSignalBlocker quiet(box);
  box->clear();
  const auto& order = context.formats.outputOrder();
  int selected = -1;
  for (std::size_t i = 0; i < order.size(); ++i) {
    const std::string& key = order[i];
    if (key.empty()) continue;
    QString label = QString::fromStdString(key).toUpper();
    if (withDescriptions)
      if (const OutputFormat* format = context.formats.outputFormat(key))
        label += " (" + QString::fromStdString(format->description) + ")";
    box->addItem(IconOf(images.menuIcons, "New"), label, static_cast<int>(i));
    if (key == context.settings.output.format) selected = box->count() - 1;
  }
  box->setCurrentIndex(selected >= 0 ? selected : 0);
}

void MainWindow::showOutputFolder(const QString& folder) {
  const QSignalBlocker quiet(folderBox_);
  const int index = folderBox_->findText(folder);
  if (index >= 0)
    folderBox_->setCurrentIndex(index);
  else
    folderBox_->setEditText(folder);
  context_.job.outputFolder = folder.toStdString();
}

void MainWindow::newList() {
  // The output folder is the user's choice and outlives the list; at
  // start-up the most recent one is shown.
  const QString kept = folderBox_->currentText();
  refreshOutputFolderBox();
  ResetRunFields(context_);
  inputList_->clear();
  pictures_->listCleared();
  showOutputFolder(kept.isEmpty() ? folderBox_->currentText() : kept);
  setStatusText(text("General", "Ready"));
  list_->setFocus();
}

void MainWindow::settingsChanged() {
  pictures_->setEnabled(context_.settings.interface.showThumbnails != 0);
  FillOutputFormatBox(formatBox_, context_, images_, true);
  refreshOutputFolderBox();
  afterPreview_->settingsChanged();
}

void MainWindow::postSizeEvent() {
  QCoreApplication::postEvent(this, new QResizeEvent(size(), size()));
}

void MainWindow::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  applyLayout();
}

void MainWindow::applyLayout() {
  if (!container_) return;
  layout_ = ResizeLayout(layout_, width(), height(), metrics_);
  toolBar_->setGeometry(0, 0, width(), metrics_.toolBarHeight);
  placeControls();
  update();
}

QAction* MainWindow::menuAction(int command) const {
  const auto it = menuActions_.find(command);
  return it == menuActions_.end() ? nullptr : it->second;
}

QAction* MainWindow::toolBarAction(int command) const {
  const auto it = toolBarActions_.find(command);
  if (it != toolBarActions_.end()) return it->second;
  for (QAction* action : sideActions_)
    if (action->data().toInt() == command) return action;
  return nullptr;
}

namespace {

// Files are only ever copied into the list: a drop offered as a move alone
// is refused, since accepting it would let the source delete the file.
// True when the event was accepted as a copy.
bool AcceptAsCopyOfFiles(QDropEvent* event) {
  if (!event->mimeData()->hasUrls() || !(event->possibleActions() & Qt::CopyAction)) {
    event->ignore();
    return false;
  }
  event->setDropAction(Qt::CopyAction);
  event->accept();
  return true;
}

}  // namespace

void MainWindow::dragEnterEvent(QDragEnterEvent* event) { AcceptAsCopyOfFiles(event); }

void MainWindow::dragMoveEvent(QDragMoveEvent* event) { AcceptAsCopyOfFiles(event); }

void MainWindow::dropEvent(QDropEvent* event) {
  if (!AcceptAsCopyOfFiles(event)) return;
  QStringList paths;
  for (const QUrl& url : event->mimeData()->urls())
    if (url.isLocalFile()) paths << url.toLocalFile();
  dropPaths(paths);
}

void MainWindow::dropPaths(const QStringList& paths) { inputList_->dropPaths(paths); }

void MainWindow::openHandedOver(const QStringList& paths) {
  handedOver_ << paths;
  bringToFront();
  addHandedOver();
}

void MainWindow::addHandedOver() {
  if (handedOver_.isEmpty() || QuitRequested()) return;
  // A drop cannot reach the window while a dialog is open or before it is
  // shown, and neither may a hand-over; the drop rule itself lets events in
  // (a further hand-over then waits for this one).
  if (addingHandedOver_ || !isVisible() || QApplication::activeModalWidget() != nullptr) {
    QTimer::singleShot(250, this, [this] { addHandedOver(); });
    return;
  }
  addingHandedOver_ = true;
  const QStringList paths = std::exchange(handedOver_, {});
  dropPaths(paths);
  addingHandedOver_ = false;
}

void MainWindow::bringToFront() {
  // Before open() shows it, the window is still being built.
  if (!isVisible()) return;
  if (isMinimized()) setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
  raise();
  activateWindow();
  // An open dialog stays above the window it belongs to.
  if (QWidget* modal = QApplication::activeModalWidget()) {
    modal->raise();
    modal->activateWindow();
  }
}

void MainWindow::closeEvent(QCloseEvent* event) {
  // Closing ends the event loop; the quit path reads the geometry after.
  event->accept();
}

}  // namespace lumafold::ui
