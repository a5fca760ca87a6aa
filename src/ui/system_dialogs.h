// The standard choosers and notice boxes beyond the window's warning
// prompts (prompts.h): colour and font choosers, information and error
// boxes, the question box with a question icon, and the desktop's "open"
// action. Dialogs hold one set of these, so tests answer them without a
// modal loop and record what would have been opened.
#pragma once

#include <QColor>
#include <QFont>
#include <QString>
#include <functional>
#include <optional>

class QObject;
class QWidget;

namespace lumafold::ui {

enum class NoticeKind { Information, Error };

struct SystemDialogs {
  // nullopt when the user cancelled.
  std::function<std::optional<QColor>(QWidget* parent, const QColor& initial)> chooseColour;
  std::function<std::optional<QFont>(QWidget* parent, const QFont& initial)> chooseFont;
  // A box with an OK button and the icon of its kind.
  std::function<void(QWidget* parent, NoticeKind kind, const QString& title, const QString& text)>
      notice;
  // Yes/No with a question icon; true for Yes.
  std::function<bool(QWidget* parent, const QString& title, const QString& text)> ask;
  // Hands a file, web address or mail link to the desktop's default
  // handler; false when nothing could take it (no xdg-open on PATH, or
  // it failed), so the caller can say so.
  std::function<bool(const QString& target)> open;
};

// Qt's colour and font dialogs, QMessageBox, and xdg-open for "open".
SystemDialogs StandardSystemDialogs();

// What a box says when nothing could open `target`.
QString NothingCouldOpenText(const QString& target);
// dialogs.open(target); when nothing could open it, an error box on
// `parent` says so. True when it was opened.
bool OpenOrSay(const SystemDialogs& dialogs, QWidget* parent, const QString& target);

// The set the dialogs of `owner` (the main window) use: the one installed
// on it, else the standard set, installed on first use. It lives as long
// as the owner.
const SystemDialogs& DialogsOf(QObject& owner);
void InstallSystemDialogs(QObject& owner, SystemDialogs dialogs);

}  // namespace lumafold::ui
