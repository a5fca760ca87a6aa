// The prompt of "-u": a small window with a check box ("Full Uninstall -
// Visit Uninstall Center") and Next. Next with the box checked opens the
// maker's uninstall page; Next or the close box ends the prompt.
#pragma once

#include <QWidget>

#include "engine/app_context.h"

class QCheckBox;
class QPushButton;

namespace lumafold::ui {

struct SystemDialogs;

class UninstallPrompt : public QWidget {
  Q_OBJECT
 public:
  UninstallPrompt(const StringCatalog& catalog, const SystemDialogs& dialogs,
                  QWidget* parent = nullptr);

  QCheckBox* fullUninstall() const { return check_; }
  QPushButton* nextButton() const { return next_; }

 signals:
  void finished();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void next();

  const SystemDialogs& dialogs_;
  QCheckBox* check_ = nullptr;
  QPushButton* next_ = nullptr;
};

}  // namespace lumafold::ui

namespace lumafold {

// Shows the prompt centred on the screen and returns when it ends (0).
// Uses the running QApplication when there is one.
int RunUninstallPrompt(AppContext& context, int argc, char** argv);

}  // namespace lumafold
