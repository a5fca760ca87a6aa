// Row results of a conversion run. The catalog has no texts for them yet,
// so they are English.
#include "ui/run_results.h"

#include <QApplication>
#include <QStyle>
#include <QTreeWidget>

namespace lumafold::ui {

namespace {

constexpr int kOutcomeRole = Qt::UserRole + 20;

QString Path(const std::string& path) { return QString::fromStdString(path); }

QIcon IconFor(RowOutcome outcome) {
  QStyle* style = QApplication::style();
  switch (outcome) {
    case RowOutcome::Converted:
      return style->standardIcon(QStyle::SP_DialogApplyButton);
    case RowOutcome::Damaged:
      return style->standardIcon(QStyle::SP_MessageBoxWarning);
    case RowOutcome::Failed:
      return style->standardIcon(QStyle::SP_MessageBoxCritical);
    case RowOutcome::Overwritten:
      return style->standardIcon(QStyle::SP_MessageBoxInformation);
    case RowOutcome::Skipped:
      return style->standardIcon(QStyle::SP_MediaSkipForward);
    case RowOutcome::None:
      break;
  }
  return {};
}

}  // namespace

FileResultSink RunResults::sink() {
  return [this](const FileResult& result) {
    std::lock_guard<std::mutex> hold(lock_);
    arrived_.push_back(result);
  };
}

std::vector<FileResult> RunResults::take() {
  std::lock_guard<std::mutex> hold(lock_);
  std::vector<FileResult> taken;
  taken.swap(arrived_);
  return taken;
}

RowResults::RowResults(QTreeWidget* list) : list_(list) {
  for (int i = 0; i < list_->topLevelItemCount(); ++i) {
    QTreeWidgetItem* row = list_->topLevelItem(i);
    rows_.emplace(row->text(0).toStdString(), row);
  }
}

QTreeWidgetItem* RowResults::rowOf(const std::string& path) {
  const auto found = rows_.find(path);
  return found == rows_.end() ? nullptr : found->second;
}

void RowResults::mark(QTreeWidgetItem* row, RowOutcome outcome, const QString& text) {
  if (!row) return;
  row->setData(kResultColumn, kOutcomeRole, static_cast<int>(outcome));
  row->setIcon(kResultColumn, IconFor(outcome));
  row->setToolTip(kResultColumn, text);
  row->setToolTip(0, text.isEmpty() ? row->text(0) : row->text(0) + "\n" + text);
}

void RowResults::clearAll() {
  for (const auto& [path, row] : rows_) mark(row, RowOutcome::None, QString());
  writers_.clear();
  ended_.clear();
  totals_ = {};
}

void RowResults::apply(const FileResult& result) {
  ended_.push_back(result.inputPath);
  QTreeWidgetItem* row = rowOf(result.inputPath);
  if (!result.converted) {
    ++totals_.failed;
    mark(row, RowOutcome::Failed,
         "Failed: " +
             Path(result.reason.empty() ? "the file could not be converted" : result.reason));
    return;
  }
  ++totals_.converted;
  writers_[result.outputPath].push_back(result.inputPath);
  const QString written =
      QString("%1 (%2 x %3)").arg(Path(result.outputPath)).arg(result.width).arg(result.height);
  if (!result.note.empty()) {
    ++totals_.damaged;
    mark(row, RowOutcome::Damaged, "Converted, " + Path(result.note) + ": " + written);
  } else {
    mark(row, RowOutcome::Converted, "Converted: " + written);
  }
}

void RowResults::finish(bool stopped) {
  // Two inputs with one output name: the later one holds the file, the
  // earlier one's picture is gone although it was written.
  for (const auto& [output, inputs] : writers_) {
    for (std::size_t i = 0; i + 1 < inputs.size(); ++i) {
      ++totals_.overwritten;
      mark(rowOf(inputs[i]), RowOutcome::Overwritten,
           "Written over: " + Path(output) + " was replaced by " + Path(inputs.back()));
    }
  }
  if (!stopped) return;
  for (const auto& [path, row] : rows_) {
    if (OutcomeOf(row) != RowOutcome::None) continue;
    ++totals_.skipped;
    mark(row, RowOutcome::Skipped, "Not converted: the run was stopped before this file");
  }
}

RowOutcome OutcomeOf(const QTreeWidgetItem* row) {
  return static_cast<RowOutcome>(row->data(kResultColumn, kOutcomeRole).toInt());
}

bool SelectFailedRows(QTreeWidget* list) {
  list->clearSelection();
  QTreeWidgetItem* first = nullptr;
  for (int i = 0; i < list->topLevelItemCount(); ++i) {
    QTreeWidgetItem* row = list->topLevelItem(i);
    if (OutcomeOf(row) != RowOutcome::Failed) continue;
    if (!first) {
      first = row;
      list->setCurrentItem(row);
    }
    row->setSelected(true);
  }
  if (first) list->scrollToItem(first);
  return first != nullptr;
}

}  // namespace lumafold::ui
