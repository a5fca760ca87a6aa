// Preferences page "Advanced": filename mask, timestamps, recent output
// folders, subfolders and jobs.
#include <QComboBox>

#include "ui/preferences_dialog.h"
#include "ui/preferences_pages.h"

namespace lumafold::ui {

using namespace prefs;

QWidget* PreferencesDialog::buildAdvanced() {
  PageBuilder rows(NewPage(pages_), services_);
  AdvancedSettings& a = settings_.advanced;
  rows.text("Filename Mask", a.filenameMask, true);
  timestamp_ = rows.combo("File Timestamp", {"Current", "Original", "Custom"}, a.fileTimestamp);
  customTimestamp_ = rows.dateTime("Custom Timestamp", a.customTimestamp);
  rows.combo("Out Folders History", {"Clean On Exit", "Keep Folders"}, a.outFoldersHistory);
  rows.slider("Out Folders Number", a.outFoldersNumber, 1, 50);
  rows.check("Keep Subfolders", a.keepSubfolders);
  // How many files convert at once; 0 lets the program take one per core.
  rows.spin(rows.textOr("Jobs", "Files at Once:"), a.jobs, 0, 64);
  connect(static_cast<QComboBox*>(timestamp_.main()), &QComboBox::currentIndexChanged, this,
          &PreferencesDialog::applyRules);
  return rows.page();
}

}  // namespace lumafold::ui
