// Preferences page "General": language, update range, window position.
#include <QComboBox>

#include "ui/preferences_dialog.h"
#include "ui/preferences_pages.h"

namespace lumafold::ui {

using namespace prefs;

QWidget* PreferencesDialog::buildGeneral() {
  PageBuilder rows(NewPage(pages_), services_);
  // One language is compiled in; its entry carries the catalog's language,
  // which is what the setting gets whatever it held.
  QComboBox* language = rows.keyCombo("Language", settings_.general.language);
  language->addItem("English", QString::fromStdString(env_.context.catalog.language()));
  rows.combo(
      "Check For Updates",
      {"Every day", "Every week", "Every month", "Every 3 months", "Every 6 months", "Never"},
      settings_.general.updateRange);
  rows.check("Save window position", settings_.general.saveWindowPosition);
  return rows.page();
}

}  // namespace lumafold::ui
