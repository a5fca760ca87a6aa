// The window's prompts as real dialogs, behind the one set tests answer.
#include "ui/prompts.h"

#include <QFileDialog>
#include <QMessageBox>

namespace lumafold::ui {

namespace {

// The catalog's texts break lines with CR LF; a Qt label wants LF alone.
QString Shown(QString text) { return text.replace("\r\n", "\n"); }

}  // namespace

Prompts StandardPrompts() {
  Prompts p;
  p.message = [](QWidget* parent, const QString& title, const QString& text) {
    QMessageBox::warning(parent, title, Shown(text), QMessageBox::Ok);
  };
  p.question = [](QWidget* parent, const QString& title, const QString& text) {
    return QMessageBox::warning(parent, title, Shown(text), QMessageBox::Yes | QMessageBox::No) ==
           QMessageBox::Yes;
  };
  p.openFiles = [](QWidget* parent, const QString& title, const QString& start,
                   const QString& filter) {
    return QFileDialog::getOpenFileNames(parent, title, start, filter);
  };
  p.openFile = [](QWidget* parent, const QString& title, const QString& start,
                  const QString& filter) {
    return QFileDialog::getOpenFileName(parent, title, start, filter);
  };
  p.saveFile = [](QWidget* parent, const QString& title, const QString& start,
                  const QString& filter) {
    // The overwrite question is the window's own ("Ask overwrite file").
    return QFileDialog::getSaveFileName(parent, title, start, filter, nullptr,
                                        QFileDialog::DontConfirmOverwrite);
  };
  p.folder = [](QWidget* parent, const QString& title, const QString& start) {
    return QFileDialog::getExistingDirectory(parent, title, start);
  };
  return p;
}

QString QtFilter(const std::string& pipeFilter) {
  const QStringList parts = QString::fromStdString(pipeFilter).split('|');
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QString name = parts[i];
    QStringList patterns = parts[i + 1].split(';', Qt::SkipEmptyParts);
    for (QString& pattern : patterns)
      if (pattern == "*.*") pattern = "*";
    if (name.isEmpty() || patterns.isEmpty()) continue;
    // "All Files (*.*)" already names its pattern; Qt reads the last
    // parenthesis, so replace it rather than add a second one.
    const qsizetype open = name.lastIndexOf(" (");
    if (open > 0 && name.endsWith(')')) name.truncate(open);
    filters << name + " (" + patterns.join(' ') + ")";
  }
  return filters.join(";;");
}

}  // namespace lumafold::ui
