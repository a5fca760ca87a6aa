// The desktop's choosers and notice boxes, and its "open" action.
#include "ui/system_dialogs.h"

#include <QColorDialog>
#include <QCoreApplication>
#include <QEventLoop>
#include <QFontDialog>
#include <QMessageBox>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>
#include <QUrl>

#include "settings/product.h"

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
    // Qt's desktop services would hand everything to xdg-open and report
    // success as soon as it started; its exit status is what says whether
    // anything took the target, so it is run here and waited for.
    const QString opener = QStandardPaths::findExecutable("xdg-open");
    if (opener.isEmpty()) return false;
    // A bare path is a local file; anything with a scheme goes as it is.
    const QString argument = target.startsWith('/')
                                 ? target
                                 : QUrl(target).toString(QUrl::FullyEncoded);
    auto* process = new QProcess(QCoreApplication::instance());
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    process->start(opener, {argument});
    if (!process->waitForStarted(5000)) {
      process->deleteLater();
      return false;
    }
    // Most desktops' xdg-open ends once it handed the target on. Where it
    // stays (a browser run in the foreground) it is left running, and the
    // window answers again after a few seconds at most.
    QEventLoop loop;
    QTimer patience;
    patience.setSingleShot(true);
    QObject::connect(&patience, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(process, &QProcess::finished, &loop, &QEventLoop::quit);
    patience.start(5000);
    if (process->state() != QProcess::NotRunning) loop.exec(QEventLoop::ExcludeUserInputEvents);
    if (process->state() != QProcess::NotRunning) {
      QObject::connect(process, &QProcess::finished, process, &QObject::deleteLater);
      return true;
    }
    const bool opened = process->exitStatus() == QProcess::NormalExit && process->exitCode() == 0;
    process->deleteLater();
    return opened;
  };
  return d;
}

QString NothingCouldOpenText(const QString& target) {
  return QString(
             "Nothing on this desktop could open:\n%1\n\n"
             "Install xdg-utils (xdg-open) and a program for it, or open it by hand.")
      .arg(target);
}

bool OpenOrSay(const SystemDialogs& dialogs, QWidget* parent, const QString& target) {
  if (!dialogs.open) return false;
  if (dialogs.open(target)) return true;
  if (dialogs.notice)
    dialogs.notice(parent, NoticeKind::Error, QString::fromUtf8(kProductTitle.data(),
                                                                kProductTitle.size()),
                   NothingCouldOpenText(target));
  return false;
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
