// The list commands of the main window, each keeping the list and the
// input set in step.
#include "ui/input_list.h"

#include <sys/stat.h>

#include <QApplication>
#include <QClipboard>
#include <QCoreApplication>
#include <QComboBox>
#include <QTreeWidget>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

#include "engine/run/file_kind.h"
#include "settings/profile_file.h"
#include "ui/commands.h"
#include "ui/input_chooser.h"
#include "ui/main_window.h"
#include "ui/orderly_quit.h"
#include "ui/prompts.h"
#include "ui/transfer_dialog.h"

namespace lumafold::ui {

namespace {

long long FileSize(const std::string& path) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return -1;
  return static_cast<long long>(info.st_size);
}

void LetInterfaceBreathe() { QCoreApplication::processEvents(QEventLoop::AllEvents, 2); }

void ZeroConvertedCount(RunProgress& progress) {
  std::lock_guard<std::mutex> hold(progress.lock);
  progress.convertedCount = 0;
}

// Disc images are offered beside the Photo CD files: each adds its pictures.
std::string WithDiscImages(std::string filter) {
  constexpr std::string_view kPatterns = "*.iso;*.cue;*.bin;*.img";
  const std::size_t allEnd = filter.find('|', filter.find('|') + 1);
  if (allEnd == std::string::npos) return filter;
  filter.insert(allEnd + 1, "Photo CD disc images|" + std::string(kPatterns) + "|");
  filter.insert(allEnd, ";" + std::string(kPatterns));
  return filter;
}

std::string ListFileFilter(const MainWindow& window) {
  return (window.text("Dialog", "Text Files") + "|*.txt;*.lst|" +
          window.text("Dialog", "All Files") + " (*.*)|*.*")
      .toStdString();
}

}  // namespace

void ResetRunFields(AppContext& context) {
  ConversionJob& job = context.job;
  job.reset();
  job.commandLineMode = false;
  job.inputFormat.clear();
  job.inputPath.clear();
  job.inputFolder.clear();
  job.relativeSubfolder.clear();
  job.outputPath.clear();
  job.temporaryOutputPath.clear();
  job.outputFolder.clear();
  job.outputExtension.clear();
  job.sourceBitDepth = 0;
  job.formatIdentifier = 0;
  job.targetBitDepth = 0;
  job.saveFlags = 0;
  job.automaticDepth = false;
  context.inputs.clear();
}

std::string FolderPart(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string WithFinalSlash(const std::string& path) {
  return path.empty() || path.back() == '/' ? path : path + "/";
}

InputList::InputList(MainWindow& window) : window_(window) {}

InputList::~InputList() = default;

void InputList::clear() { window_.inputListView()->clear(); }

QStringList InputList::texts() const {
  QStringList out;
  QTreeWidget* view = window_.inputListView();
  for (int i = 0; i < view->topLevelItemCount(); ++i) out << view->topLevelItem(i)->text(0);
  return out;
}

int InputList::count() const { return window_.inputListView()->topLevelItemCount(); }

AddedFileSink InputList::sink() {
  return [this](const std::string& path) {
    // Direct on the interface thread, queued from a worker thread.
    QMetaObject::invokeMethod(
        &receiver_, [this, text = QString::fromStdString(path)] { fileAdded(text); },
        Qt::AutoConnection);
  };
}

bool InputList::addFile(const std::string& path) {
  return AddInputFile(window_.context(), path, sink());
}

namespace {

// Names compared as people read them: "IMG0002" before "IMG0010", "roll1"
// before "roll2", letter case aside. Done by hand: the collator's numeric
// mode needs a locale, and the C locale of services and tests has none.
int NaturalCompare(const QString& a, const QString& b) {
  qsizetype i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (a[i].isDigit() && b[j].isDigit()) {
      qsizetype endA = i, endB = j;
      while (endA < a.size() && a[endA].isDigit()) ++endA;
      while (endB < b.size() && b[endB].isDigit()) ++endB;
      qsizetype startA = i, startB = j;
      while (startA + 1 < endA && a[startA] == '0') ++startA;
      while (startB + 1 < endB && b[startB] == '0') ++startB;
      const QStringView numberA = QStringView(a).mid(startA, endA - startA);
      const QStringView numberB = QStringView(b).mid(startB, endB - startB);
      if (numberA.size() != numberB.size()) return numberA.size() < numberB.size() ? -1 : 1;
      if (const int c = numberA.compare(numberB)) return c;
      i = endA, j = endB;
      continue;
    }
    const QChar ca = a[i].toCaseFolded(), cb = b[j].toCaseFolded();
    if (ca != cb) return ca < cb ? -1 : 1;
    ++i, ++j;
  }
  if (i < a.size() || j < b.size()) return i < a.size() ? 1 : -1;
  return a.compare(b);
}

// A row that the Filename header sorts in natural order.
class FileRow : public QTreeWidgetItem {
 public:
  using QTreeWidgetItem::QTreeWidgetItem;
  bool operator<(const QTreeWidgetItem& other) const override {
    const int column = treeWidget() ? treeWidget()->sortColumn() : 0;
    return NaturalCompare(text(column), other.text(column)) < 0;
  }
};

}  // namespace

void SortRowsNaturally(QTreeWidget* view, int first) {
  QList<QTreeWidgetItem*> rows;
  while (view->topLevelItemCount() > first) rows << view->takeTopLevelItem(first);
  std::stable_sort(rows.begin(), rows.end(), [](QTreeWidgetItem* a, QTreeWidgetItem* b) {
    return NaturalCompare(a->text(0), b->text(0)) < 0;
  });
  view->addTopLevelItems(rows);
}

void InputList::fileAdded(const QString& path) {
  QTreeWidget* view = window_.inputListView();
  auto* item = new FileRow(view);
  item->setText(0, path);
  item->setToolTip(0, path);
  // The first file added while no output folder is shown fills one in: the
  // folder it was imported from, or its own folder. It is not the user's
  // choice, so it joins the recent folders only when a run uses it.
  if (!window_.outputFolderText().isEmpty()) return;
  AppContext& context = window_.context();
  const std::string folder =
      context.job.inputFolder.empty() ? FolderPart(path.toStdString()) : context.job.inputFolder;
  window_.showOutputFolder(QString::fromStdString(folder));
}

void InputList::openInputChooser() {
  switch (RunInputChooser(window_)) {
    case InputChoice::Files:
      addFiles();
      break;
    case InputChoice::Folder:
      addFolder();
      break;
    case InputChoice::None:
      break;
  }
}

void InputList::addFiles() {
  AppContext& context = window_.context();
  const QString filter = QtFilter(WithDiscImages(context.formats.inputFilter(context.catalog)));
  const QStringList files =
      window_.prompts().openFiles(&window_, window_.text("Dialog", "Select Input Files"),
                                  QString::fromStdString(context.job.inputPath), filter);
  for (const QString& file : files) {
    if (QuitRequested()) break;
    addFile(file.toStdString());
    LetInterfaceBreathe();
  }
  if (!files.isEmpty()) context.job.inputPath = files.back().toStdString();
  window_.postSizeEvent();
}

void InputList::addFolder() {
  AppContext& context = window_.context();
  std::string start = context.job.inputFolder;
  if (start.empty() && !context.job.inputPath.empty()) start = FolderPart(context.job.inputPath);
  const QString chosen = window_.prompts().folder(
      &window_, window_.text("Dialog", "Select Input Folder"), QString::fromStdString(start));
  if (chosen.isEmpty() || !IsDirectory(chosen.toStdString())) return;
  ZeroConvertedCount(context.progress);
  context.job.inputFolder = WithFinalSlash(chosen.toStdString());
  runFolderImport();
}

void InputList::runFolderImport() {
  AppContext& context = window_.context();
  TransferSpec plan;
  plan.window = kWindowFolderImport;
  plan.barControl = kControlFolderImportBar;
  plan.titleKey = "Import Progress";
  plan.barMaximum = CountFolderEntries(context.job.inputFolder);
  plan.questionKey = "Ask break import";
  plan.completeKey = "Import complete";
  plan.stoppedKey = "Import is not complete";
  AddedFileSink added = sink();
  const int first = count();
  RunTransferDialog(window_, plan, [&context, added] { FolderImport(context, added); });
  // The walk meets files in the file system's order; the rows of the
  // folder show by name. The conversion keeps the input set's own order.
  QCoreApplication::sendPostedEvents(&receiver_);
  SortRowsNaturally(window_.inputListView(), first);
}

void InputList::dropPaths(const QStringList& paths) {
  if (paths.isEmpty()) return;
  AppContext& context = window_.context();
  // One reset for the whole drop: a second folder's end text counts the
  // files of both.
  ZeroConvertedCount(context.progress);
  for (const QString& dropped : paths) {
    if (QuitRequested()) break;
    const std::string path = dropped.toStdString();
    if (path.empty()) continue;
    if (IsDirectory(path)) {
      context.job.inputFolder = WithFinalSlash(path);
      runFolderImport();
    } else {
      addFile(path);
    }
    LetInterfaceBreathe();
  }
}

void InputList::chooseOutputFolder() {
  AppContext& context = window_.context();
  QString start = window_.outputFolderText();
  if (start.isEmpty()) start = QString::fromStdString(context.job.outputFolder);
  const QString chosen =
      window_.prompts().folder(&window_, window_.text("Dialog", "Select Output Folder"), start);
  if (!chosen.isEmpty() && IsDirectory(chosen.toStdString())) {
    AddRecentOutputFolder(context.settings, chosen.toStdString());
    context.job.outputFolder = chosen.toStdString();
    window_.refreshOutputFolderBox();
  }
  window_.postSizeEvent();
}

void InputList::importList() {
  AppContext& context = window_.context();
  const QString start = QString::fromStdString(FolderPart(context.job.inputPath) + "list.txt");
  const QString chosen =
      window_.prompts().openFile(&window_, window_.text("Dialog", "Import Input Files"), start,
                                 QtFilter(ListFileFilter(window_)));
  const std::string path = chosen.toStdString();
  if (path.empty() || FileSize(path) <= 0) return;
  ZeroConvertedCount(context.progress);
  context.job.inputPath = path;

  TransferSpec plan;
  plan.window = kWindowListImport;
  plan.barControl = kControlListImportBar;
  plan.titleKey = "Import Progress";
  plan.barMaximum = static_cast<int>(std::min<long long>(CountLineFeeds(path) + 1, INT32_MAX));
  plan.questionKey = "Ask break import";
  plan.completeKey = "Import complete";
  plan.stoppedKey = "Import is not complete";
  AddedFileSink added = sink();
  RunTransferDialog(window_, plan, [&context, added] { ListFileImport(context, added); });
}

void InputList::exportList() {
  AppContext& context = window_.context();
  if (count() == 0) {
    window_.messageBox(window_.text("Msg", "Empty input files"));
    return;
  }
  const QString start = QString::fromStdString(FolderPart(context.job.inputPath) + "list.txt");
  const QString chosen =
      window_.prompts().saveFile(&window_, window_.text("Dialog", "Export Input Files"), start,
                                 QtFilter(ListFileFilter(window_)));
  std::string path = chosen.toStdString();
  if (path.empty()) return;
  const std::string name = path.substr(path.rfind('/') + 1);
  if (name.find('.') == std::string::npos) path += ".txt";
  if (FileSize(path) > 0 && !window_.questionBox("Ask overwrite file")) return;

  ZeroConvertedCount(context.progress);
  context.job.inputPath = path;
  TransferSpec plan;
  plan.window = kWindowListExport;
  plan.barControl = kControlListExportBar;
  plan.titleKey = "Export Progress";
  plan.barMaximum = count();
  plan.questionKey = "Ask break export";
  plan.completeKey = "Export complete";
  plan.stoppedKey = "Export is not complete";
  // The worker reads the texts as they stand now: the list cannot change
  // while the modal dialog runs.
  const QStringList entries = texts();
  RunTransferDialog(window_, plan,
                    [&context, entries, path] { ExportList(context, entries, path); });
}

void InputList::copy() {
  QTreeWidget* view = window_.inputListView();
  if (count() == 0) return;
  QString text;
  bool any = false;
  for (int i = 0; i < view->topLevelItemCount(); ++i) {
    QTreeWidgetItem* item = view->topLevelItem(i);
    if (!item->isSelected()) continue;
    text += item->text(0) + "\n";
    any = true;
  }
  if (!any) return;
  while (text.endsWith('\n')) text.chop(1);
  QClipboard* clipboard = QGuiApplication::clipboard();
  clipboard->clear();
  clipboard->setText(text);
}

void InputList::removeSelected() {
  QTreeWidget* view = window_.inputListView();
  if (count() == 0) return;
  AppContext& context = window_.context();
  int removedAt = -1;
  for (;;) {
    int first = -1;
    for (int i = 0; i < view->topLevelItemCount(); ++i)
      if (view->topLevelItem(i)->isSelected()) {
        first = i;
        break;
      }
    if (first < 0) break;
    std::unique_ptr<QTreeWidgetItem> item(view->takeTopLevelItem(first));
    context.inputs.remove(item->text(0).toStdString());
    removedAt = first;
  }
  if (removedAt < 0) return;
  const int remaining = view->topLevelItemCount();
  const int select = removedAt == remaining ? remaining - 1 : removedAt;
  if (select >= 0) {
    QTreeWidgetItem* item = view->topLevelItem(select);
    view->setCurrentItem(item);
    item->setSelected(true);
  }
}

void InputList::selectAll() {
  QTreeWidget* view = window_.inputListView();
  if (count() == 0) return;
  view->clearSelection();
  view->selectAll();
}

void ExportList(AppContext& context, const QStringList& texts, const std::string& path) {
  int written = 0;
  if (std::FILE* file = std::fopen(path.c_str(), "wb")) {
    // Plain UTF-8 with LF, as shell loops and other programs on Linux read
    // lists; the import still takes a byte-order mark and CR LF.
    bool ok = true;
    for (const QString& text : texts) {
      // The break question holds the export here, between entries.
      context.progress.waitWhilePaused();
      if (!ok || !context.progress.running) break;
      {
        std::lock_guard<std::mutex> hold(context.progress.lock);
        ++context.progress.processedCount;
      }
      const QByteArray line = text.toUtf8() + "\n";
      ok = std::fwrite(line.constData(), 1, static_cast<std::size_t>(line.size()), file) ==
           static_cast<std::size_t>(line.size());
      if (ok) ++written;
    }
    // A list that did not reach the disk was not saved.
    if (std::fclose(file) != 0) written = 0;
  }
  std::lock_guard<std::mutex> hold(context.progress.lock);
  context.progress.convertedCount += written;
}

long long CountLineFeeds(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return 0;
  std::vector<char> block(64 * 1024);
  long long count = 0;
  while (file) {
    file.read(block.data(), static_cast<std::streamsize>(block.size()));
    const auto got = file.gcount();
    count += std::count(block.data(), block.data() + got, '\n');
  }
  return count;
}

int CountFolderEntries(const std::string& folder) {
  std::error_code error;
  int count = 0;
  for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
       it.increment(error))
    ++count;
  return count;
}

}  // namespace lumafold::ui
