// Preferences page "Transform": rotation, resize and flips (scrolling).
#include <QCheckBox>

#include "ui/preferences_dialog.h"
#include "ui/preferences_pages.h"

namespace lumafold::ui {

using namespace prefs;

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

}  // namespace lumafold::ui
