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
#include "ui/prompts.h"
#include "ui/system_dialogs.h"

namespace lumafold::ui {

namespace {

constexpr int kClientWidth = 600;
constexpr int kClientHeight = 350;
constexpr QRect kPageListRect(10, 10, 120, 295);
constexpr QRect kHeaderRect(140, 10, 450, 30);
constexpr QRect kPageAreaRect(140, 50, 450, 255);
constexpr QRect kDefaultsRect(10, 315, 80, 25);
constexpr QRect kOkRect(420, 315, 80, 25);
constexpr QRect kCancelRect(510, 315, 80, 25);
// Inner width of a scrolling page, leaving room for its scroll bar.
constexpr int kScrollInnerWidth = 430;
// Where PageBuilder puts a row's label.
constexpr int kRowLabelX = 10;

constexpr std::array<const char*, kPreferencesPaneCount> kPageKeys = {
    "General",    "Interface", "Input",     "Output",   "Transform",
    "Adjustment", "Frame",     "Watermark", "Advanced",
};

// Input formats that have an option panel.
constexpr const char* kFrameLoadingFormats[] = {"gif", "ico", "tiff"};

QWidget* NewPage(QWidget* parent) {
  auto* page = new QWidget(parent);
  page->resize(kPageAreaRect.size());
  return page;
}

// A panel of rows that scrolls vertically inside `rect` of its parent.
QScrollArea* NewScrollPanel(QWidget* parent, const QRect& rect, QWidget** inner) {
  auto* area = new QScrollArea(parent);
  area->setGeometry(rect);
  area->setFrameShape(QFrame::NoFrame);
  area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  area->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  *inner = new QWidget;
  (*inner)->resize(kScrollInnerWidth, rect.height());
  area->setWidget(*inner);
  area->setWidgetResizable(false);
  return area;
}

void FinishScrollPanel(QWidget* inner, const PageBuilder& rows) {
  inner->resize(kScrollInnerWidth, rows.usedHeight());
}

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

QString CatalogText(const StringCatalog& catalog, std::string_view group, std::string_view key) {
  return QString::fromStdString(catalog.text(group, key));
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
  setFixedSize(kClientWidth, kClientHeight);
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
  loadAll();
  showPage(startPage);
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
  setFixedSize(width() + extra, height());
}

// --- pages -----------------------------------------------------------

QWidget* PreferencesDialog::buildGeneral() {
  QWidget* page = NewPage(pages_);
  PageBuilder rows(page, services_);
  Row language = rows.fixedCombo("Language", {});
  auto* languageBox = static_cast<QComboBox*>(language.main());
  // One language is compiled in; its entry carries the setting's value.
  languageBox->addItem("English", QString::fromStdString(env_.context.catalog.language()));
  languageBox->setObjectName(
      QString::fromStdString(SettingObjectName(settings_, &settings_.general.language)));
  bindings_.push_back({[languageBox] { languageBox->setCurrentIndex(0); },
                       [this, languageBox] {
                         settings_.general.language =
                             languageBox->currentData().toString().toStdString();
                       }});
  rows.combo(
      "Check For Updates",
      {"Every day", "Every week", "Every month", "Every 3 months", "Every 6 months", "Never"},
      settings_.general.updateRange);
  rows.check("Save window position", settings_.general.saveWindowPosition);
  return page;
}

QWidget* PreferencesDialog::buildInterface() {
  QWidget* page = NewPage(pages_);
  PageBuilder rows(page, services_);
  Row theme = rows.fixedCombo("UI Theme", {});
  themeBox_ = static_cast<QComboBox*>(theme.main());
  themeBox_->setObjectName(
      QString::fromStdString(SettingObjectName(settings_, &settings_.interface.uiTheme)));
  const std::vector<ThemeChoice> choices = ThemeChoices(env_.themes);
  for (const ThemeChoice& choice : choices)
    themeBox_->addItem(QString::fromStdString(choice.displayName),
                       QString::fromStdString(choice.key));
  if (choices.empty()) themeBox_->addItem(rows.text("None"));
  bindings_.push_back({[this] {
                         themeBox_->setCurrentIndex(themeBox_->findData(
                             QString::fromStdString(settings_.interface.uiTheme)));
                         if (themeBox_->itemData(0).isNull()) themeBox_->setCurrentIndex(0);
                       },
                       [this] {
                         // "None" and an unmatched theme carry no key: keep the setting.
                         const QVariant key = themeBox_->currentData();
                         if (!key.isNull())
                           settings_.interface.uiTheme = key.toString().toStdString();
                       }});
  Row size = rows.combo("UI Size", {"Small", "Medium", "Large", "Extra Large", "Huge"},
                        settings_.interface.uiSize);
  sizeBox_ = static_cast<QComboBox*>(size.main());
  // Pictures in the input list and the preview beside it; the catalog has
  // no text for the row yet.
  std::string thumbnailsLabel = env_.context.catalog.text("Preferences", "Show Thumbnails");
  if (thumbnailsLabel == StringCatalog::kMissingText) thumbnailsLabel = "Show Thumbnails:";
  rows.checkLabelled(QString::fromStdString(thumbnailsLabel), settings_.interface.showThumbnails);
  return page;
}

void PreferencesDialog::showFormatPanel(const std::map<std::string, QWidget*>& panels,
                                        const QComboBox* box) {
  const std::string key = box->currentData().toString().toStdString();
  for (const auto& [format, panel] : panels) panel->setVisible(format == key);
}

QWidget* PreferencesDialog::buildInput() {
  QWidget* page = NewPage(pages_);
  PageBuilder rows(page, services_);
  Row format = rows.fixedCombo("Input Format", {});
  inputFormatBox_ = static_cast<QComboBox*>(format.main());
  inputFormatBox_->setObjectName(
      QString::fromStdString(SettingObjectName(settings_, &settings_.input.format)));
  for (const std::string& key : env_.context.formats.activeInputFormats())
    inputFormatBox_->addItem(env_.formatIcon, QString::fromStdString(ToUpperAscii(key)),
                             QString::fromStdString(key));
  bindings_.push_back(
      {[this] {
         const int i = inputFormatBox_->findData(QString::fromStdString(settings_.input.format));
         inputFormatBox_->setCurrentIndex(i >= 0 ? i : 0);
       },
       [this] {
         if (inputFormatBox_->currentIndex() >= 0)
           settings_.input.format = inputFormatBox_->currentData().toString().toStdString();
       }});

  // Panels of the formats the reader could take; only the active input
  // formats can be chosen, so with Photo CD alone they stay hidden but
  // keep their settings.
  const QRect panelRect(0, kRowHeight, kPageAreaRect.width(), kPageAreaRect.height() - kRowHeight);
  auto newPanel = [&](const std::string& key) {
    auto* panel = new QWidget(page);
    panel->setGeometry(panelRect);
    panel->setObjectName(QString::fromStdString("input:" + key));
    inputPanels_[key] = panel;
    return panel;
  };
  InputSettings& in = settings_.input;
  {
    // Which decoder reads Photo CD files, and what its 8- and 16-bit
    // pictures make of the highlights. The catalog has no texts for these
    // newer choices, so built-in English ones stand in.
    PageBuilder panel(newPanel("pcd"), services_);
    panel.combo(panel.textOr("PCD Decoder", "PCD Decoder:"),
                {panel.textOr("Built-in", "Built-in"),
                 panel.textOr("External converter", "External Converter")},
                in.pcdDecoder);
    panel.combo(panel.textOr("PCD Highlights", "PCD Highlights:"),
                {panel.textOr("Roll off", "Roll Off"), panel.textOr("Keep", "Keep")},
                in.pcdHighlights);
  }
  {
    PageBuilder panel(newPanel("dds"), services_);
    panel.combo("Load As", {"Auto", "BGRA", "RGBA"}, in.ddsLoadAs);
  }
  std::int32_t* frameLoading[] = {&in.gifFrameLoading, &in.icoFrameLoading, &in.tiffFrameLoading};
  for (int i = 0; i < 3; ++i) {
    PageBuilder panel(newPanel(kFrameLoadingFormats[i]), services_);
    panel.combo("Frame Loading",
                {"All Frames", "First Frame", "Middle Frame", "Last Frame", "Random Frame"},
                *frameLoading[i]);
  }
  {
    PageBuilder panel(newPanel("raw"), services_);
    rawLoadAs_ = panel.combo("Load As", {"Auto", "RGB8", "RGB16", "RGB24", "RGB48HS", "RGB48"},
                             in.rawLoadAs);
    rawHeader_ = panel.number("Header Size", in.rawHeaderSize, {"Bytes"});
    rawWidth_ = panel.number("Image Width", in.rawImageWidth, {"Pixels"});
    rawHeight_ = panel.number("Image Height", in.rawImageHeight, {"Pixels"});
    rawToneMapping_ =
        panel.combo("Tone Mapping",
                    {"None", "Linear", "Adaptive Logarithmic", "DR Reduction", "Gradient Domain"},
                    in.rawToneMapping);
    connect(static_cast<QComboBox*>(rawLoadAs_.main()), &QComboBox::currentIndexChanged, this,
            &PreferencesDialog::applyRules);
  }
  connect(inputFormatBox_, &QComboBox::currentIndexChanged, this,
          [this] { showFormatPanel(inputPanels_, inputFormatBox_); });
  return page;
}

QWidget* PreferencesDialog::buildOutput() {
  QWidget* page = NewPage(pages_);
  PageBuilder rows(page, services_);
  Row format = rows.fixedCombo("Output Format", {});
  outputFormatBox_ = static_cast<QComboBox*>(format.main());
  outputFormatBox_->setObjectName(
      QString::fromStdString(SettingObjectName(settings_, &settings_.output.format)));
  const FormatRegistry& formats = env_.context.formats;
  for (const std::string& key : formats.outputOrder())
    outputFormatBox_->addItem(env_.formatIcon, QString::fromStdString(ToUpperAscii(key)),
                              QString::fromStdString(key));
  bindings_.push_back(
      {[this] {
         const int i = outputFormatBox_->findData(QString::fromStdString(settings_.output.format));
         outputFormatBox_->setCurrentIndex(i >= 0 ? i : 0);
       },
       [this] {
         if (outputFormatBox_->currentIndex() >= 0)
           settings_.output.format = outputFormatBox_->currentData().toString().toStdString();
       }});

  const QRect panelRect(0, kRowHeight, kPageAreaRect.width(), kPageAreaRect.height() - kRowHeight);
  OutputSettings& out = settings_.output;
  for (const std::string& key : formats.outputOrder()) {
    auto* panelWidget = new QWidget(page);
    panelWidget->setGeometry(panelRect);
    panelWidget->setObjectName(QString::fromStdString("output:" + key));
    outputPanels_[key] = panelWidget;
    PageBuilder panel(panelWidget, services_);

    // "Bits Per Pixel": Auto (0), then the format's depths as numbers.
    Row bpp = panel.fixedCombo("Bits Per Pixel", {});
    auto* bppBox = static_cast<QComboBox*>(bpp.main());
    std::int32_t* depth = out.bppFor(key);
    bppBox->setObjectName(QString::fromStdString(SettingObjectName(settings_, depth)));
    const std::vector<std::string> choices =
        formats.bitDepthChoices(key, rows.text("Auto").toStdString());
    for (std::size_t i = 0; i < choices.size(); ++i)
      bppBox->addItem(QString::fromStdString(choices[i]), i == 0 ? 0 : std::stoi(choices[i]));
    bindings_.push_back({[bppBox, depth] {
                           const int i = *depth == 0 ? 0 : bppBox->findData(*depth);
                           bppBox->setCurrentIndex(i >= 0 ? i : 0);
                         },
                         [bppBox, depth] {
                           if (bppBox->currentIndex() >= 0) *depth = bppBox->currentData().toInt();
                         }});

    if (key == "bmp") {
      panel.combo("Compression", {"None", "RLE"}, out.bmpCompression);
      panel.combo("Color Table", {"Auto", "Exact"}, out.bmpColorTable);
    } else if (key == "exr") {
      panel.combo("Compression", {"None", "ZIP", "PIZ", "PXR24", "B44"}, out.exrCompression);
    } else if (key == "jpg") {
      panel.slider("Image Quality", out.jpgQuality, 1, 100);
      panel.combo("Chroma Subsampling", {"None", "Low", "Medium", "High"}, out.jpgChroma);
      panel.combo("Save As",
                  {"Baseline Standard", "Baseline Simple", "Baseline Optimized", "Progressive"},
                  out.jpgSaveAs);
    } else if (key == "pcx") {
      panel.fixedCombo("Compression", {"RLE"});  // PCX is always RLE; no setting
    } else if (key == "png") {
      panel.combo("Compression", {"None", "ZLIB1", "ZLIB6", "ZLIB9"}, out.pngCompression);
      panel.check("Interlaced", out.pngInterlaced);
    } else if (key == "tga") {
      panel.combo("Compression", {"None", "RLE"}, out.tgaCompression);
    } else if (key == "tiff") {
      panel.combo("Compression",
                  {"None", "CCITTFAX3", "CCITTFAX4", "PACKBITS", "DEFLATE", "ADOBEDEFLATE", "LZW",
                   "JPEG", "LOGLUV"},
                  out.tiffCompression);
      panel.combo("Color Model", {"RGB", "CMYK"}, out.tiffColorModel);
    }
  }
  connect(outputFormatBox_, &QComboBox::currentIndexChanged, this,
          [this] { showFormatPanel(outputPanels_, outputFormatBox_); });
  return page;
}

QWidget* PreferencesDialog::buildTransform() {
  QWidget* inner = nullptr;
  QScrollArea* page = NewScrollPanel(pages_, QRect(QPoint(0, 0), kPageAreaRect.size()), &inner);
  PageBuilder rows(inner, services_);
  TransformSettings& t = settings_.transform;
  rotation_ = rows.check("Image Rotation", t.doImageRotation);
  rotationType_ =
      rows.combo("Rotation Type", {"Simple Rotation", "Advanced Rotation"}, t.imageRotationType);
  rotationAngle_ = rows.slider("Rotation Angle", t.imageRotation, 0, 360);
  rotationBack_ = rows.colourField("Background Color", t.imageRotationBackColor);
  resize_ = rows.check("Image Resize", t.doImageResize);
  width_ = rows.number("Image Width", t.imageWidth, {"Pixels", "Percent"}, &t.imageWidthUnit);
  height_ = rows.number("Image Height", t.imageHeight, {"Pixels", "Percent"}, &t.imageHeightUnit);
  keepAspect_ = rows.check("Keep Aspect Ratio", t.keepAspectRatio);
  resizeType_ = rows.combo("Resize Type", {"All Images", "Large Images"}, t.imageResizeType);
  resizeAlgorithm_ = rows.combo("Resize Algorithm",
                                {"Box", "Bilinear", "Bspline", "Bicubic", "Catmullrom", "Lanczos"},
                                t.imageResizeAlgorithm);
  rows.check("Image Flip Horizontal", t.doImageFlipHorizontal);
  rows.check("Image Flip Vertical", t.doImageFlipVertical);
  FinishScrollPanel(inner, rows);
  connect(static_cast<QCheckBox*>(rotation_.main()), &QCheckBox::toggled, this,
          &PreferencesDialog::applyRules);
  connect(static_cast<QCheckBox*>(resize_.main()), &QCheckBox::toggled, this,
          &PreferencesDialog::applyRules);
  return page;
}

QWidget* PreferencesDialog::buildAdjustment() {
  QWidget* page = NewPage(pages_);
  PageBuilder rows(page, services_);
  AdjustmentSettings& a = settings_.adjustment;
  // Brightness and contrast sliders run 0..200 for -100..100.
  rows.slider("Image Brightness", a.imageBrightness, 0, 200, 100);
  rows.slider("Image Contrast", a.imageContrast, 0, 200, 100);
  rows.gamma("Image Gamma", a.imageGamma);
  rows.check("Image Invert", a.imageInvert);
  rows.check("Image Greyscale", a.doImageGreyscale);
  threshold_ = rows.check("Image Threshold", a.doImageThreshold);
  thresholdLevel_ = rows.slider("Threshold Level", a.imageThreshold, 0, 255);
  connect(static_cast<QCheckBox*>(threshold_.main()), &QCheckBox::toggled, this,
          &PreferencesDialog::applyRules);
  return page;
}

QWidget* PreferencesDialog::buildFrame() {
  QWidget* page = NewPage(pages_);
  PageBuilder rows(page, services_);
  FrameSettings& f = settings_.frame;
  frameType_ = rows.combo("Frame Type", {"None", "Frame Solid"}, f.doFrame);
  QWidget* inner = nullptr;
  framePanel_ = NewScrollPanel(
      page, QRect(0, kRowHeight, kPageAreaRect.width(), kPageAreaRect.height() - kRowHeight),
      &inner);
  framePanel_->setObjectName("framePanel");
  PageBuilder panel(inner, services_);
  panel.number("Left", f.solidLeft, {"Pixels"});
  panel.number("Right", f.solidRight, {"Pixels"});
  panel.number("Top", f.solidTop, {"Pixels"});
  panel.number("Bottom", f.solidBottom, {"Pixels"});
  panel.colourField("Left Color", f.solidLeftColor);
  panel.colourField("Right Color", f.solidRightColor);
  panel.colourField("Top Color", f.solidTopColor);
  panel.colourField("Bottom Color", f.solidBottomColor);
  panel.slider("Opacity", f.solidOpacity, 1, 255);
  FinishScrollPanel(inner, panel);
  connect(static_cast<QComboBox*>(frameType_.main()), &QComboBox::currentIndexChanged, this,
          &PreferencesDialog::applyRules);
  return page;
}

QWidget* PreferencesDialog::buildWatermark() {
  QWidget* page = NewPage(pages_);
  PageBuilder rows(page, services_);
  WatermarkSettings& w = settings_.watermark;
  watermarkType_ =
      rows.combo("Watermark Type", {"None", "Watermark Text", "Watermark Image"}, w.doWatermark);
  const QRect panelRect(0, kRowHeight, kPageAreaRect.width(), kPageAreaRect.height() - kRowHeight);

  QWidget* textInner = nullptr;
  textPanel_ = NewScrollPanel(page, panelRect, &textInner);
  textPanel_->setObjectName("textPanel");
  {
    PageBuilder panel(textInner, services_);
    panel.text("Text", w.text, true);
    // The size row comes after the font row but the chooser fills it, so
    // the font row is placed first and wired to the size field after.
    PageBuilder sizeRows(textInner, services_);
    sizeRows.nextRow();
    sizeRows.nextRow();
    Row size = sizeRows.number("Font Size", w.fontSize, {"Points"});
    panel.fontList("Font", w.fonts, w.font, static_cast<QLineEdit*>(size.main()));
    panel.nextRow();  // Font Size
    panel.number("Font Leading", w.fontLeading, {"Pixels"});
    panel.colourList("Font Color", w.fontColors, w.fontColor);
    panel.combo("Font Style", {"Regular", "Bold", "Italic", "Bold Italic"}, w.fontStyle);
    panel.combo("Font Effect", {"None", "Underline", "Strikeout"}, w.fontEffect);
    panel.check("Antialiasing", w.textAntialiasing);
    panel.combo("Text Alignment", {"Align Left", "Align Center", "Align Right"}, w.textAlignment);
    panel.number("Text Padding", w.textPadding, {"Pixels"});
    panel.slider("Text Opacity", w.textOpacity, 1, 255);
    panel.colourList("Background Color", w.backColors, w.backColor);
    panel.slider("Background Opacity", w.backOpacity, 1, 255);
    panel.combo("Boundary", {"Bound Image", "Bound Frame"}, w.textBoundary);
    panel.combo("Position",
                {"Top-Left", "Top-Center", "Top-Right", "Middle-Left", "Middle-Center",
                 "Middle-Right", "Bottom-Left", "Bottom-Center", "Bottom-Right"},
                w.textPosition);
    panel.number("X-Offset", w.textXOffset, {"Pixels"});
    panel.number("Y-Offset", w.textYOffset, {"Pixels"});
    panel.slider("Rotation Angle", w.textRotation, 0, 360);
    textSize_ = panel.combo("Size", {"Fixed"}, w.textSize);
    textScale_ = panel.slider("Scale", w.textScale, 1, 200);
    FinishScrollPanel(textInner, panel);
  }

  QWidget* imageInner = nullptr;
  imagePanel_ = NewScrollPanel(page, panelRect, &imageInner);
  imagePanel_->setObjectName("imagePanel");
  {
    PageBuilder panel(imageInner, services_);
    panel.imageFile("Image", w.image,
                    [this](QWidget* parent) { return watermarkImageRequest(parent); });
    panel.check("Image Greyscale", w.imageGreyscale);
    panel.slider("Opacity", w.imageOpacity, 1, 255);
    panel.combo("Boundary", {"Bound Image", "Bound Frame"}, w.imageBoundary);
    panel.combo("Position",
                {"Top-Left", "Top-Center", "Top-Right", "Middle-Left", "Middle-Center",
                 "Middle-Right", "Bottom-Left", "Bottom-Center", "Bottom-Right"},
                w.imagePosition);
    panel.number("X-Offset", w.imageXOffset, {"Pixels"});
    panel.number("Y-Offset", w.imageYOffset, {"Pixels"});
    panel.slider("Rotation Angle", w.imageRotation, 0, 360);
    imageSize_ = panel.combo("Size", {"Fixed"}, w.imageSize);
    imageScale_ = panel.slider("Scale", w.imageScale, 1, 200);
    FinishScrollPanel(imageInner, panel);
  }
  for (const Row* r : {&watermarkType_, &textSize_, &imageSize_})
    connect(static_cast<QComboBox*>(r->main()), &QComboBox::currentIndexChanged, this,
            &PreferencesDialog::applyRules);
  return page;
}

QWidget* PreferencesDialog::buildAdvanced() {
  QWidget* page = NewPage(pages_);
  PageBuilder rows(page, services_);
  AdvancedSettings& a = settings_.advanced;
  rows.text("Filename Mask", a.filenameMask, true);
  timestamp_ = rows.combo("File Timestamp", {"Current", "Original", "Custom"}, a.fileTimestamp);
  customTimestamp_ = rows.dateTime("Custom Timestamp", a.customTimestamp);
  rows.combo("Out Folders History", {"Clean On Exit", "Keep Folders"}, a.outFoldersHistory);
  rows.slider("Out Folders Number", a.outFoldersNumber, 1, 50);
  rows.check("Keep Subfolders", a.keepSubfolders);
  // How many files convert at once; 0 lets the program take one per core.
  rows.spin(rows.textOr("Jobs", "Files at Once:"), a.jobs, 0, 64);
  connect(static_cast<QComboBox*>(timestamp_.main()), &QComboBox::currentIndexChanged, this,
          &PreferencesDialog::applyRules);
  return page;
}

// --- behaviour -------------------------------------------------------

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
