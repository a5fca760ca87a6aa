// Preferences page "Watermark": the watermark type and the text and
// image panels.
#include <QComboBox>
#include <QLineEdit>

#include "ui/preferences_dialog.h"
#include "ui/preferences_pages.h"

namespace lumafold::ui {

using namespace prefs;

QWidget* PreferencesDialog::buildWatermark() {
  QWidget* page = NewPage(pages_);
  PageBuilder rows(page, services_);
  WatermarkSettings& w = settings_.watermark;
  watermarkType_ =
      rows.combo("Watermark Type", {"None", "Watermark Text", "Watermark Image"}, w.doWatermark);
  const QRect panelRect = kFormatPanelRect;

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

}  // namespace lumafold::ui
