// Everything that asks the user: the warning box, the Yes/No question and
// the file and folder requesters. The window holds one set of these so tests
// can answer them without a modal loop.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

namespace lumafold::ui {

struct Prompts {
  // A warning box with an OK button.
  std::function<void(QWidget* parent, const QString& title, const QString& text)> message;
  // A warning box with Yes and No; true for Yes.
  std::function<bool(QWidget* parent, const QString& title, const QString& text)> question;
  // Requesters; `filter` is in Qt's "Name (*.a *.b);;Other (*)" form. An
  // empty result (or list) means the user cancelled.
  std::function<QStringList(QWidget* parent, const QString& title, const QString& start,
                            const QString& filter)>
      openFiles;
  std::function<QString(QWidget* parent, const QString& title, const QString& start,
                        const QString& filter)>
      openFile;
  std::function<QString(QWidget* parent, const QString& title, const QString& start,
                        const QString& filter)>
      saveFile;
  std::function<QString(QWidget* parent, const QString& title, const QString& start)> folder;
};

// Qt's standard message boxes and file dialogs.
Prompts StandardPrompts();

// A filter of the "Name|*.a;*.b|Other|*.*" form (the registry's and the list
// requesters') in Qt's form. "*.*" becomes "*": on Linux a file name need
// not have a dot.
QString QtFilter(const std::string& pipeFilter);

}  // namespace lumafold::ui
