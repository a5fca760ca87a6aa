// The input chooser window and which of its two buttons was taken.
#include "ui/input_chooser.h"

#include <QDialog>
#include <QLabel>
#include <QToolButton>

#include "ui/builtin_images.h"
#include "ui/commands.h"
#include "ui/main_window.h"

namespace lumafold::ui {

InputChoice RunInputChooser(MainWindow& window) {
  QDialog chooser(&window);
  chooser.setObjectName(QStringLiteral("window%1").arg(kWindowInputChooser));
  chooser.setWindowTitle(window.text("Menu", "Select Input Files"));
  chooser.setFixedSize(270, 160);
  InputChoice choice = InputChoice::None;

  auto addChoice = [&](int buttonNumber, int labelNumber, const char* image, const char* labelKey,
                       int x, int labelX, InputChoice value) {
    auto* button = new QToolButton(&chooser);
    button->setObjectName(QStringLiteral("control%1").arg(buttonNumber));
    button->setGeometry(x, 30, 80, 80);
    button->setIcon(IconOf(window.images().buttons, image));
    button->setIconSize(QSize(ButtonSize(image), ButtonSize(image)));
    button->setToolTip(window.text("Menu", labelKey));
    QObject::connect(button, &QToolButton::clicked, &chooser, [&chooser, &choice, value] {
      choice = value;
      chooser.hide();
      chooser.accept();
    });
    auto* label = new QLabel(window.text("Menu", labelKey), &chooser);
    label->setObjectName(QStringLiteral("control%1").arg(labelNumber));
    label->setGeometry(labelX, 120, 120, 30);
    label->setAlignment(Qt::AlignCenter);
    return button;
  };
  QToolButton* files = addChoice(kControlChooserFilesButton, kControlChooserFilesLabel, "InFiles",
                                 "Select Input File", 30, 10, InputChoice::Files);
  addChoice(kControlChooserFolderButton, kControlChooserFolderLabel, "InFolder",
            "Select Input Folder", 160, 140, InputChoice::Folder);
  // Escape is command 357: close without a choice (QDialog's own reject).

  chooser.move(window.frameGeometry().center() - chooser.rect().center());
  files->setFocus();
  chooser.exec();
  window.activateWindow();
  return choice;
}

}  // namespace lumafold::ui
