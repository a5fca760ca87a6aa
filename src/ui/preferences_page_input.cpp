// Preferences page "Input": the input format and the option panel of
// each format the reader could take.
#include <QComboBox>
#include <cstdint>
#include <utility>

#include "settings/text_utils.h"
#include "ui/preferences_dialog.h"
#include "ui/preferences_pages.h"

namespace lumafold::ui {

using namespace prefs;

QWidget* PreferencesDialog::buildInput() {
  PageBuilder rows(NewPage(pages_), services_);
  inputFormatBox_ = rows.keyCombo("Input Format", settings_.input.format);
  for (const std::string& key : env_.context.formats.activeInputFormats())
    inputFormatBox_->addItem(env_.formatIcon, QString::fromStdString(ToUpperAscii(key)),
                             QString::fromStdString(key));

  // Panels of the formats the reader could take; only the active input
  // formats can be chosen, so with Photo CD alone they stay hidden but
  // keep their settings.
  auto newPanel = [&](const std::string& key) {
    auto* panel = new QWidget(rows.page());
    panel->setGeometry(kFormatPanelRect);
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
    FormatChoiceRow(panel, "dds", false, KeywordSet::DdsLoadAs, in.ddsLoadAs);
  }
  const std::pair<const char*, std::int32_t*> frameLoading[] = {
      {"gif", &in.gifFrameLoading}, {"ico", &in.icoFrameLoading}, {"tiff", &in.tiffFrameLoading}};
  for (const auto& [key, field] : frameLoading) {
    PageBuilder panel(newPanel(key), services_);
    FormatChoiceRow(panel, key, false, KeywordSet::FrameLoading, *field);
  }
  {
    PageBuilder panel(newPanel("raw"), services_);
    rawLoadAs_ = FormatChoiceRow(panel, "raw", false, KeywordSet::RawLoadAs, in.rawLoadAs);
    rawHeader_ = panel.number("Header Size", in.rawHeaderSize, {"Bytes"});
    rawWidth_ = panel.number("Image Width", in.rawImageWidth, {"Pixels"});
    rawHeight_ = panel.number("Image Height", in.rawImageHeight, {"Pixels"});
    rawToneMapping_ =
        FormatChoiceRow(panel, "raw", false, KeywordSet::ToneMapping, in.rawToneMapping);
    connect(static_cast<QComboBox*>(rawLoadAs_.main()), &QComboBox::currentIndexChanged, this,
            &PreferencesDialog::applyRules);
  }
  connect(inputFormatBox_, &QComboBox::currentIndexChanged, this,
          [this] { showFormatPanel(inputPanels_, inputFormatBox_); });
  return rows.page();
}

}  // namespace lumafold::ui
