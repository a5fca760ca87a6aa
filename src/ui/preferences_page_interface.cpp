// Preferences page "Interface": theme, icon size, thumbnails.
#include <QComboBox>

#include "ui/preferences_dialog.h"
#include "ui/preferences_pages.h"
#include "ui/themes.h"

namespace lumafold::ui {

using namespace prefs;

QWidget* PreferencesDialog::buildInterface() {
  PageBuilder rows(NewPage(pages_), services_);
  // Not a keyCombo: a theme the list lacks must keep its setting.
  themeBox_ = rows.namedCombo("UI Theme", &settings_.interface.uiTheme);
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
  return rows.page();
}

}  // namespace lumafold::ui
