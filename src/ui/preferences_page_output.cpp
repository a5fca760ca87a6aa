// Preferences page "Output": the output format and its option panel
// (bit depth first, then the format's own choices).
#include <QComboBox>
#include <cstdint>
#include <string>
#include <vector>

#include "settings/text_utils.h"
#include "ui/preferences_dialog.h"
#include "ui/preferences_pages.h"

namespace lumafold::ui {

using namespace prefs;

QWidget* PreferencesDialog::buildOutput() {
  PageBuilder rows(NewPage(pages_), services_);
  outputFormatBox_ = rows.keyCombo("Output Format", settings_.output.format);
  const FormatRegistry& formats = env_.context.formats;
  for (const std::string& key : formats.outputOrder())
    outputFormatBox_->addItem(env_.formatIcon, QString::fromStdString(ToUpperAscii(key)),
                              QString::fromStdString(key));

  // One row for every format: whether the outputs carry the scan's
  // metadata. The catalog predates it, so an English text stands in.
  rows.checkLabelled(rows.textOr("Keep Metadata", "Keep Metadata:"), settings_.output.keepMetadata);
  const int panelTop = 2 * kRowHeight;  // below the format and metadata rows
  const QRect panelRect(0, panelTop, kPageAreaRect.width(), kPageAreaRect.height() - panelTop);
  OutputSettings& out = settings_.output;
  for (const std::string& key : formats.outputOrder()) {
    auto* panelWidget = new QWidget(rows.page());
    panelWidget->setGeometry(panelRect);
    panelWidget->setObjectName(QString::fromStdString("output:" + key));
    outputPanels_[key] = panelWidget;
    PageBuilder panel(panelWidget, services_);

    // "Bits Per Pixel": Auto (0), then the format's depths as numbers.
    std::int32_t* depth = out.bppFor(key);
    QComboBox* bppBox = panel.namedCombo("Bits Per Pixel", depth);
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

    // The format's own rows; their choices come from the settings' lists.
    auto choiceRow = [&](KeywordSet set, std::int32_t& field) {
      FormatChoiceRow(panel, key, true, set, field);
    };
    if (key == "bmp") {
      choiceRow(KeywordSet::Compression, out.bmpCompression);
      choiceRow(KeywordSet::BmpColorTable, out.bmpColorTable);
    } else if (key == "exr") {
      choiceRow(KeywordSet::Compression, out.exrCompression);
    } else if (key == "jpg") {
      panel.slider("Image Quality", out.jpgQuality, 1, 100);
      choiceRow(KeywordSet::JpgChroma, out.jpgChroma);
      choiceRow(KeywordSet::JpgSaveAs, out.jpgSaveAs);
    } else if (key == "pcx") {
      panel.fixedCombo("Compression", {"RLE"});  // PCX is always RLE; no setting
    } else if (key == "png") {
      choiceRow(KeywordSet::Compression, out.pngCompression);
      panel.check("Interlaced", out.pngInterlaced);
    } else if (key == "tga") {
      choiceRow(KeywordSet::Compression, out.tgaCompression);
    } else if (key == "tiff") {
      choiceRow(KeywordSet::Compression, out.tiffCompression);
      choiceRow(KeywordSet::TiffColorModel, out.tiffColorModel);
    }
  }
  connect(outputFormatBox_, &QComboBox::currentIndexChanged, this,
          [this] { showFormatPanel(outputPanels_, outputFormatBox_); });
  return rows.page();
}

}  // namespace lumafold::ui
