// Preferences page "Watermark": the watermark type and the text and
// image panels.
#include <QComboBox>
#include <QLineEdit>
#include <cstdint>
#include <tuple>
#include <utility>

#include "ui/preferences_dialog.h"
#include "ui/preferences_pages.h"

namespace lumafold::ui {

using namespace prefs;

namespace {

// Where a watermark stands and how large it is: the text and the image
// panel end with the same rows, each bound to fields of its own.
struct Placement {
  std::int8_t& boundary;
  std::int8_t& position;
  std::int32_t& xOffset;
  std::int32_t& yOffset;
  std::int32_t& rotation;
  std::int8_t& size;
  std::int32_t& scale;
};

// Returns the "Size" and "Scale" rows, which the rules enable.
std::pair<Row, Row> PlacementRows(PageBuilder& panel, const Placement& p) {
  panel.combo("Boundary", {"Bound Image", "Bound Frame"}, p.boundary);
  panel.combo("Position",
              {"Top-Left", "Top-Center", "Top-Right", "Middle-Left", "Middle-Center",
               "Middle-Right", "Bottom-Left", "Bottom-Center", "Bottom-Right"},
              p.position);
  panel.number("X-Offset", p.xOffset, {"Pixels"});
  panel.number("Y-Offset", p.yOffset, {"Pixels"});
  panel.slider("Rotation Angle", p.rotation, 0, 360);
  Row size = panel.combo("Size", {"Fixed"}, p.size);
  return {size, panel.slider("Scale", p.scale, 1, 200)};
}

}  // namespace

QWidget* PreferencesDialog::buildWatermark() {
  PageBuilder rows(NewPage(pages_), services_);
  WatermarkSettings& w = settings_.watermark;
  watermarkType_ =
      rows.combo("Watermark Type", {"None", "Watermark Text", "Watermark Image"}, w.doWatermark);
  const QRect panelRect = kFormatPanelRect;

  QWidget* textInner = nullptr;
  textPanel_ = NewScrollPanel(rows.page(), panelRect, &textInner);
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
    std::tie(textSize_, textScale_) =
        PlacementRows(panel, {w.textBoundary, w.textPosition, w.textXOffset, w.textYOffset,
                              w.textRotation, w.textSize, w.textScale});
    FinishScrollPanel(textInner, panel);
  }

  QWidget* imageInner = nullptr;
  imagePanel_ = NewScrollPanel(rows.page(), panelRect, &imageInner);
  imagePanel_->setObjectName("imagePanel");
  {
    PageBuilder panel(imageInner, services_);
    panel.imageFile("Image", w.image,
                    [this](QWidget* parent) { return watermarkImageRequest(parent); });
    panel.check("Image Greyscale", w.imageGreyscale);
    panel.slider("Opacity", w.imageOpacity, 1, 255);
    std::tie(imageSize_, imageScale_) =
        PlacementRows(panel, {w.imageBoundary, w.imagePosition, w.imageXOffset, w.imageYOffset,
                              w.imageRotation, w.imageSize, w.imageScale});
    FinishScrollPanel(imageInner, panel);
  }
  for (const Row* r : {&watermarkType_, &textSize_, &imageSize_})
    connect(static_cast<QComboBox*>(r->main()), &QComboBox::currentIndexChanged, this,
            &PreferencesDialog::applyRules);
  return rows.page();
}

}  // namespace lumafold::ui
