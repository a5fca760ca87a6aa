// The desktop's choosers and notice boxes, and its "open" action.
#include "ui/system_dialogs.h"

#include <QColorDialog>
#include <QDesktopServices>
#include <QFontDialog>
#include <QMessageBox>
#include <QStandardPaths>
#include <QUrl>

namespace lumafold::ui {

namespace {

constexpr const char* kHolderName = "lumafoldSystemDialogs";

class DialogsHolder : public QObject {
 public:
  DialogsHolder(QObject* owner, SystemDialogs dialogs)
      : QObject(owner), dialogs(std::move(dialogs)) {
    setObjectName(kHolderName);
  }
  SystemDialogs dialogs;
};

DialogsHolder* FindHolder(QObject& owner) {
  for (QObject* child : owner.children())
    if (child->objectName() == kHolderName) return static_cast<DialogsHolder*>(child);
  return nullptr;
}

}  // namespace

SystemDialogs StandardSystemDialogs() {
  SystemDialogs d;
  d.chooseColour = [](QWidget* parent, const QColor& initial) -> std::optional<QColor> {
    QColor chosen = QColorDialog::getColor(initial, parent);
    if (!chosen.isValid()) return std::nullopt;
    return chosen;
  };
  d.chooseFont = [](QWidget* parent, const QFont& initial) -> std::optional<QFont> {
    bool ok = false;
    QFont chosen = QFontDialog::getFont(&ok, initial, parent);
    if (!ok) return std::nullopt;
    return chosen;
  };
  d.notice = [](QWidget* parent, NoticeKind kind, const QString& title, const QString& text) {
    if (kind == NoticeKind::Error)
      QMessageBox::critical(parent, title, text, QMessageBox::Ok);
    else
      QMessageBox::information(parent, title, text, QMessageBox::Ok);
  };
  d.ask = [](QWidget* parent, const QString& title, const QString& text) {
    return QMessageBox::question(parent, title, text, QMessageBox::Yes | QMessageBox::No) ==
           QMessageBox::Yes;
  };
  d.open = [](const QString& target) {
    // A bare path is a local file; anything with a scheme goes as it is.
    const QUrl url = target.startsWith('/') ? QUrl::fromLocalFile(target) : QUrl(target);
    // Qt's generic Linux services hand everything to xdg-open and report
    // success whenever the launch itself could be attempted.
    if (QStandardPaths::findExecutable("xdg-open").isEmpty()) return false;
    return QDesktopServices::openUrl(url);
  };
  return d;
}

const SystemDialogs& DialogsOf(QObject& owner) {
  DialogsHolder* holder = FindHolder(owner);
  if (holder == nullptr) holder = new DialogsHolder(&owner, StandardSystemDialogs());
  return holder->dialogs;
}

void InstallSystemDialogs(QObject& owner, SystemDialogs dialogs) {
  if (DialogsHolder* holder = FindHolder(owner))
    holder->dialogs = std::move(dialogs);
  else
    new DialogsHolder(&owner, std::move(dialogs));
}

}  // namespace lumafold::ui
