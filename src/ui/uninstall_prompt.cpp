// The uninstall prompt window of "-u".
#include "ui/uninstall_prompt.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QEventLoop>
#include <QPushButton>
#include <QScreen>
#include <memory>

#include "settings/string_catalog.h"
#include "ui/display_probe.h"
#include "ui/system_dialogs.h"
#include "ui/web_links.h"

namespace lumafold::ui {

UninstallPrompt::UninstallPrompt(const StringCatalog& catalog, const SystemDialogs& dialogs,
                                 QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::WindowSystemMenuHint),
      dialogs_(dialogs) {
  setObjectName("uninstallPrompt");
  setWindowTitle(QString::fromStdString(catalog.text("Uninstall", "Title")));
  setFixedSize(300, 100);
  check_ = new QCheckBox(QString::fromStdString(catalog.text("Uninstall", "Uninstall Text")), this);
  check_->setGeometry(30, 20, 250, 20);
  check_->setChecked(true);
  next_ = new QPushButton(QString::fromStdString(catalog.text("Uninstall", "Next")), this);
  next_->setGeometry(200, 60, 80, 25);
  connect(next_, &QPushButton::clicked, this, &UninstallPrompt::next);
  setFocusPolicy(Qt::StrongFocus);
}

void UninstallPrompt::next() {
  if (check_->isChecked()) OpenOrSay(dialogs_, this, UninstallPageAddress());
  close();
}

void UninstallPrompt::closeEvent(QCloseEvent* event) {
  QWidget::closeEvent(event);
  emit finished();
}

}  // namespace lumafold::ui

namespace lumafold {

int RunUninstallPrompt(AppContext& context, int argc, char** argv) {
  std::unique_ptr<QApplication> own;
  if (QApplication::instance() == nullptr && !ui::DisplayReachable())
    return ui::ReportNoDisplay(context.programName);
  if (QApplication::instance() == nullptr) own = std::make_unique<QApplication>(argc, argv);
  const ui::SystemDialogs dialogs = ui::StandardSystemDialogs();
  ui::UninstallPrompt prompt(context.catalog, dialogs);
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect place(QPoint(0, 0), prompt.size());
    place.moveCenter(screen->availableGeometry().center());
    prompt.move(place.topLeft());
  }
  QEventLoop loop;
  QObject::connect(&prompt, &ui::UninstallPrompt::finished, &loop, &QEventLoop::quit);
  prompt.show();
  prompt.activateWindow();
  prompt.setFocus();
  loop.exec();
  return 0;
}

}  // namespace lumafold
