// Preferences page "Adjustment": brightness, contrast, gamma, invert,
// greyscale and threshold.
#include <QCheckBox>

#include "ui/preferences_dialog.h"
#include "ui/preferences_pages.h"

namespace lumafold::ui {

using namespace prefs;

QWidget* PreferencesDialog::buildAdjustment() {
  PageBuilder rows(NewPage(pages_), services_);
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
  return rows.page();
}

}  // namespace lumafold::ui
