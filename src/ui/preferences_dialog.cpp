// The preferences dialog's frame: the page list, the header band, the three
// buttons, the show, hide and enable rules, OK and Defaults. Each page is
// built in a file of its own (preferences_page_*.cpp).
#include "ui/preferences_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollArea>
#include <QStackedWidget>
#include <algorithm>

#include "settings/profile_file.h"
#include "settings/string_catalog.h"
#include "settings/text_utils.h"
#include "ui/preferences_pages.h"
#include "ui/prompts.h"
#include "ui/system_dialogs.h"

namespace lumafold::ui {

using namespace prefs;

namespace {

constexpr std::array<const char*, kPreferencesPaneCount> kPageKeys = {
    "General",    "Interface", "Input",     "Output",   "Transform",
    "Adjustment", "Frame",     "Watermark", "Advanced",
};

// A row's label: made by PageBuilder at the left edge of its page or panel.
bool IsRowLabel(const QWidget* widget) {
  return qobject_cast<const QLabel*>(widget) && widget->x() == kRowLabelX &&
         widget->width() == kLabelWidth;
}

// How much wider the label column must be for the longest label in the
// font the dialog really has (a larger desktop font, QT_FONT_DPI).
int LabelShortfall(const QWidget* root) {
  int shortfall = 0;
  for (const QLabel* label : root->findChildren<QLabel*>())
    if (IsRowLabel(label))
      shortfall = std::max(shortfall, label->sizeHint().width() - label->width());
  return shortfall;
}

// Widens the label column of `container` by `extra` pixels: labels grow,
// controls right of the column move right, panels and scrolling panels
// grow and pass the change on to their own rows.
void WidenLabelColumn(QWidget* container, int extra) {
  for (QWidget* child : container->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    if (IsRowLabel(child)) {
      child->resize(child->width() + extra, child->height());
    } else if (child->x() >= kRowLabelX + kLabelWidth) {
      child->move(child->x() + extra, child->y());
    } else if (auto* area = qobject_cast<QScrollArea*>(child)) {
      area->resize(area->width() + extra, area->height());
      if (QWidget* inner = area->widget()) {
        inner->resize(inner->width() + extra, inner->height());
        WidenLabelColumn(inner, extra);
      }
    } else if (child->metaObject() == &QWidget::staticMetaObject) {
      child->resize(child->width() + extra, child->height());
      WidenLabelColumn(child, extra);
    }
  }
}


}  // namespace

const std::array<const char*, kPreferencesPaneCount>& PreferencesDialog::PageKeys() {
  return kPageKeys;
}

PreferencesDialog::PreferencesDialog(const PreferencesEnvironment& environment,
                                     PreferencesPane startPage, QWidget* parent)
    : QDialog(parent),
      env_(environment),
      settings_(environment.context.settings),
      services_{environment.context.settings, environment.context.catalog, environment.dialogs,
                this, bindings_} {
  const StringCatalog& catalog = env_.context.catalog;
  setWindowTitle(CatalogText(catalog, "Preferences", "Title"));
  resize(kClientWidth, kClientHeight);
  setModal(true);

  pageList_ = new QListWidget(this);
  pageList_->setGeometry(kPageListRect);
  pageList_->setObjectName("pageList");
  for (const char* key : kPageKeys) pageList_->addItem(CatalogText(catalog, "Preferences", key));

  header_ = new QLabel(this);
  header_->setGeometry(kHeaderRect);
  header_->setObjectName("header");
  header_->setAutoFillBackground(true);
  QPalette band = header_->palette();
  band.setColor(QPalette::Window, Qt::white);
  band.setColor(QPalette::WindowText, Qt::black);
  header_->setPalette(band);
  header_->setContentsMargins(8, 0, 0, 0);
  // "MS Shell Dlg" is a Windows alias; the next families stand in for it.
  QFont bandFont;
  bandFont.setFamilies({"MS Shell Dlg", "Liberation Sans", "DejaVu Sans", "Sans Serif"});
  bandFont.setPointSize(10);
  bandFont.setBold(true);
  header_->setFont(bandFont);

  pages_ = new QStackedWidget(this);
  pages_->setGeometry(kPageAreaRect);
  pageWidgets_ = {buildGeneral(), buildInterface(), buildInput(),
                  buildOutput(),  buildTransform(), buildAdjustment(),
                  buildFrame(),   buildWatermark(), buildAdvanced()};
  for (std::size_t i = 0; i < pageWidgets_.size(); ++i) {
    pageWidgets_[i]->setObjectName(QString("page:") + kPageKeys[i]);
    pages_->addWidget(pageWidgets_[i]);
  }
  connect(pageList_, &QListWidget::currentRowChanged, this,
          [this](int row) { showPage(static_cast<PreferencesPane>(row)); });

  auto* defaults = new QPushButton(CatalogText(catalog, "Dialog", "Defaults"), this);
  defaults->setGeometry(kDefaultsRect);
  defaults->setObjectName("defaults");
  defaults->setAutoDefault(false);
  auto* ok = new QPushButton(CatalogText(catalog, "Dialog", "OK"), this);
  ok->setGeometry(kOkRect);
  ok->setObjectName("ok");
  ok->setDefault(true);
  auto* cancel = new QPushButton(CatalogText(catalog, "Dialog", "Cancel"), this);
  cancel->setGeometry(kCancelRect);
  cancel->setObjectName("cancel");
  cancel->setAutoDefault(false);
  connect(defaults, &QPushButton::clicked, this, &PreferencesDialog::pressDefaults);
  connect(ok, &QPushButton::clicked, this, &PreferencesDialog::pressOk);
  // Escape and the close box end in reject() as well.
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

  growForFont();
  becomeResizable();
  loadAll();
  showPage(startPage);
}

void PreferencesDialog::becomeResizable() {
  baseSize_ = size();
  setMinimumSize(baseSize_);
  setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
  setSizeGripEnabled(true);
  auto anchor = [this](QWidget* w, bool growWidth, bool growHeight, bool right, bool bottom) {
    if (w) anchored_.push_back({w, w->geometry(), growWidth, growHeight, right, bottom});
  };
  anchor(pageList_, false, true, false, false);
  anchor(header_, true, false, false, false);
  anchor(pages_, true, true, false, false);
  for (QWidget* page : pageWidgets_) {
    anchor(page, true, true, false, false);
    // A scrolling panel that reaches its page's bottom shows more rows.
    for (QScrollArea* area : page->findChildren<QScrollArea*>(Qt::FindDirectChildrenOnly)) {
      const bool reachesBottom = area->geometry().bottom() + 1 >= page->height();
      anchor(area, true, reachesBottom, false, false);
    }
  }
  anchor(findChild<QPushButton*>("defaults"), false, false, false, true);
  for (const char* name : {"ok", "cancel"})
    anchor(findChild<QPushButton*>(name), false, false, true, true);
}

void PreferencesDialog::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  if (baseSize_.isEmpty()) return;
  const int dx = std::max(0, width() - baseSize_.width());
  const int dy = std::max(0, height() - baseSize_.height());
  for (const Anchored& a : anchored_) {
    QRect r = a.base;
    if (a.growWidth) r.setWidth(r.width() + dx);
    if (a.growHeight) r.setHeight(r.height() + dy);
    if (a.followRight) r.moveLeft(r.x() + dx);
    if (a.followBottom) r.moveTop(r.y() + dy);
    a.widget->setGeometry(r);
  }
}

void PreferencesDialog::growForFont() {
  // The described 160-pixel label column is the least; a font that needs
  // more widens the column, the pages and the dialog by the same amount.
  const int extra = LabelShortfall(pages_);
  if (extra <= 0) return;
  for (QWidget* page : pageWidgets_) {
    page->resize(page->width() + extra, page->height());
    WidenLabelColumn(page, extra);
  }
  pages_->resize(pages_->width() + extra, pages_->height());
  header_->resize(header_->width() + extra, header_->height());
  for (const char* name : {"ok", "cancel"})
    if (auto* button = findChild<QPushButton*>(name))
      button->move(button->x() + extra, button->y());
  resize(width() + extra, height());
}

void PreferencesDialog::showFormatPanel(const std::map<std::string, QWidget*>& panels,
                                        const QComboBox* box) {
  const std::string key = box->currentData().toString().toStdString();
  for (const auto& [format, panel] : panels) panel->setVisible(format == key);
}

QString PreferencesDialog::watermarkImageRequest(QWidget* parent) const {
  if (!env_.prompts.openFile) return {};
  const StringCatalog& catalog = env_.context.catalog;
  return env_.prompts.openFile(parent, CatalogText(catalog, "Dialog", "Select Watermark Image"), {},
                               QtFilter(WatermarkImageFilter(catalog)));
}

void PreferencesDialog::applyRules() {
  const bool rotate = static_cast<QCheckBox*>(rotation_.main())->isChecked();
  for (const Row* r : {&rotationType_, &rotationAngle_, &rotationBack_}) r->setEnabled(rotate);

  const bool resize = static_cast<QCheckBox*>(resize_.main())->isChecked();
  for (const Row* r : {&width_, &height_, &keepAspect_, &resizeType_, &resizeAlgorithm_})
    r->setEnabled(resize);

  thresholdLevel_.setEnabled(static_cast<QCheckBox*>(threshold_.main())->isChecked());

  framePanel_->setVisible(static_cast<QComboBox*>(frameType_.main())->currentIndex() == 1);

  const int watermark = static_cast<QComboBox*>(watermarkType_.main())->currentIndex();
  textPanel_->setVisible(watermark == 1);
  imagePanel_->setVisible(watermark == 2);
  // Scale applies to the second "Size" entry, which this version lacks.
  textScale_.setVisible(static_cast<QComboBox*>(textSize_.main())->currentIndex() == 1);
  imageScale_.setVisible(static_cast<QComboBox*>(imageSize_.main())->currentIndex() == 1);

  customTimestamp_.setEnabled(static_cast<QComboBox*>(timestamp_.main())->currentIndex() == 2);

  const int rawLoad = static_cast<QComboBox*>(rawLoadAs_.main())->currentIndex();
  const bool rawSized = rawLoad == 1 || rawLoad == 2;  // RGB8, RGB16
  const bool rawHdr = rawLoad == 4 || rawLoad == 5;    // RGB48HS, RGB48
  for (const Row* r : {&rawHeader_, &rawWidth_, &rawHeight_}) r->setEnabled(rawSized);
  rawToneMapping_.setEnabled(rawHdr);
}

PreferencesPane PreferencesDialog::currentPage() const {
  return static_cast<PreferencesPane>(pages_->currentIndex());
}

void PreferencesDialog::showPage(PreferencesPane page) {
  const int index = static_cast<int>(page);
  if (index < 0 || index >= kPreferencesPaneCount) return;
  pages_->setCurrentIndex(index);
  header_->setText(CatalogText(env_.context.catalog, "Preferences", kPageKeys[index]));
  if (pageList_->currentRow() != index) pageList_->setCurrentRow(index);
}

QWidget* PreferencesDialog::pageWidget(PreferencesPane page) const {
  return pageWidgets_[static_cast<std::size_t>(page)];
}

QString PreferencesDialog::headerText() const { return header_->text(); }

void PreferencesDialog::loadAll() {
  for (const Binding& b : bindings_) b.load();
  showFormatPanel(inputPanels_, inputFormatBox_);
  showFormatPanel(outputPanels_, outputFormatBox_);
  applyRules();
}

void PreferencesDialog::storeAll() {
  for (const Binding& b : bindings_) b.store();
}

InterfaceSettings PreferencesDialog::shownInterface() const {
  InterfaceSettings shown = settings_.interface;
  const QVariant key = themeBox_->currentData();
  if (!key.isNull()) shown.uiTheme = key.toString().toStdString();
  if (sizeBox_->currentIndex() >= 0) shown.uiSize = sizeBox_->currentIndex();
  return shown;
}

void PreferencesDialog::writeAndRefresh(ThemeRefresh refresh) {
  lastRefresh_ = refresh;
  SaveSettingsFile(settings_, env_.context.formats, settings_.settingsFilePath);
  if (env_.refreshMainWindow) env_.refreshMainWindow(refresh);
}

void PreferencesDialog::pressOk() {
  const ThemeRefresh refresh = RefreshFor(settings_.interface, shownInterface());
  storeAll();
  settings_.updateColorCorrection();
  writeAndRefresh(refresh);
  accept();
}

void PreferencesDialog::pressDefaults() {
  const StringCatalog& catalog = env_.context.catalog;
  const bool yes =
      env_.dialogs.ask && env_.dialogs.ask(this, CatalogText(catalog, "Msg", "Reset to Defaults"),
                                           CatalogText(catalog, "Msg", "Ask reset to defaults"));
  if (!yes) return;
  // Compared with what the main window really shows (the record before
  // the reset), not with the dialog's unconfirmed choice: a theme picked
  // here and then reset must not leave the window on a theme the settings
  // no longer name.
  const InterfaceSettings before = settings_.interface;
  settings_.resetToDefaults(SettingsMode::Window, env_.context.screenSize());
  writeAndRefresh(RefreshFor(before, settings_.interface));
  accept();
}

std::string WatermarkImageFilter(const StringCatalog& catalog) {
  // A fixed list: the picture types the watermark step decodes, whatever
  // the registry offers for input.
  constexpr const char* kTypes[][2] = {
      {"Portable Network Graphics", "*.png"},
      {"Windows or OS/2 Bitmap", "*.bmp;*.rle;*.dib"},
      {"JPEG File", "*.jpg;*.jpeg;*.jpe;*.jif"},
  };
  std::string filter;
  std::string all;
  for (const auto& type : kTypes) {
    filter.append(type[0]).append("|").append(type[1]).append("|");
    if (!all.empty()) all += ';';
    all.append(type[1]);
  }
  filter += catalog.text("Dialog", "All Supported Files") + "|" + all + "|";
  filter += catalog.text("Dialog", "All Files") + " (*.*)|*.*";
  return filter;
}

void RunPreferencesDialog(const PreferencesEnvironment& environment, PreferencesPane startPage,
                          QWidget* parent) {
  PreferencesDialog dialog(environment, startPage, parent);
  dialog.exec();
}

}  // namespace lumafold::ui
