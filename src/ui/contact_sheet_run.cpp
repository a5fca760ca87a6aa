// The contact sheets of the window's list, made beside the interface thread.
#include "ui/contact_sheet_run.h"

#include <QAction>
#include <QStringList>

#include "engine/run/file_kind.h"
#include "settings/text_utils.h"
#include "ui/commands.h"
#include "ui/main_window.h"
#include "ui/orderly_quit.h"

namespace lumafold::ui {

namespace {

const QString kTitle = QStringLiteral("Contact Sheets");
const QString kMaking = QStringLiteral("Making contact sheets...");

}  // namespace

QString ContactSheetReport(const ContactSheetResult& result) {
  QStringList parts;
  if (!result.written.empty()) {
    QStringList lines{result.written.size() == 1 ? QStringLiteral("Contact sheet written:")
                                                 : QStringLiteral("Contact sheets written:")};
    for (const std::string& path : result.written) lines << QString::fromStdString(path);
    parts << lines.join('\n');
  }
  if (!result.problems.empty()) {
    QStringList lines{QStringLiteral("Not written:")};
    for (const std::string& problem : result.problems) lines << QString::fromStdString(problem);
    parts << lines.join('\n');
  }
  return parts.join("\n\n");
}

ContactSheetRun::ContactSheetRun(MainWindow& window) : window_(window) {}

ContactSheetRun::~ContactSheetRun() {
  if (worker_.joinable()) worker_.join();
}

bool ContactSheetRun::start() {
  if (busy()) return false;
  AppContext& context = window_.context();
  // A conversion or an import keeps its dialog modal, so the menus are out
  // of reach; a dispatch that comes anyway is refused.
  if (WorkerLoopRunning()) {
    window_.messageBox(
        QStringLiteral("Contact sheets can be made once the conversion or import has ended."));
    return false;
  }
  if (context.inputs.size() == 0) {
    window_.messageBox(window_.text("Msg", "Empty input files"));
    return false;
  }
  std::string folder(TrimSpaces(window_.outputFolderText().toStdString()));
  if (folder.empty()) {
    window_.messageBox(window_.text("Msg", "Empty output folder"));
    return false;
  }
  if (folder.back() != '/') folder += '/';
  // A missing folder (or a plain file) is refused as Convert refuses it,
  // rather than made: only the discs' own subfolders are made for a sheet.
  if (!IsDirectory(folder)) {
    window_.messageBox(QString::fromStdString(
        context.catalog.Formatted("Msg", "Invalid output folder", {folder})));
    return false;
  }

  showBusy(true);
  // Copies only: the list may change, or be emptied, while the sheets are made.
  worker_ = std::thread([this, entries = context.inputs.ordered(), folder,
                         keepSubfolders = context.settings.advanced.keepSubfolders == 1] {
    ContactSheetResult result = WriteContactSheets(entries, folder, keepSubfolders);
    QMetaObject::invokeMethod(
        this, [this, result = std::move(result)] { finished(result); }, Qt::QueuedConnection);
  });
  return true;
}

void ContactSheetRun::finished(const ContactSheetResult& result) {
  if (worker_.joinable()) worker_.join();
  showBusy(false);
  const Prompts& prompts = window_.prompts();
  if (prompts.message) prompts.message(&window_, kTitle, ContactSheetReport(result));
}

void ContactSheetRun::showBusy(bool busy) {
  if (QAction* action = window_.menuAction(kCommandContactSheets)) action->setEnabled(!busy);
  if (busy)
    window_.setStatusText(kMaking);
  else if (window_.statusText() == kMaking)
    window_.setStatusText(window_.text("General", "Ready"));
}

}  // namespace lumafold::ui
