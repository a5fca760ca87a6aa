// Preferences page "Frame": the frame type and the solid frame's panel.
#include <QComboBox>

#include "ui/preferences_dialog.h"
#include "ui/preferences_pages.h"

namespace lumafold::ui {

using namespace prefs;

QWidget* PreferencesDialog::buildFrame() {
  PageBuilder rows(NewPage(pages_), services_);
  FrameSettings& f = settings_.frame;
  frameType_ = rows.combo("Frame Type", {"None", "Frame Solid"}, f.doFrame);
  QWidget* inner = nullptr;
  framePanel_ = NewScrollPanel(rows.page(), kFormatPanelRect, &inner);
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
  return rows.page();
}

}  // namespace lumafold::ui
