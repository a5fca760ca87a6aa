// Preferences page "General": language, update range, window position.
#include <QComboBox>

#include "ui/preferences_dialog.h"
#include "ui/preferences_pages.h"

namespace lumafold::ui {

using namespace prefs;

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

}  // namespace lumafold::ui
