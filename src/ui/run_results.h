// What a conversion run did to every row of the input list: the results
// the engine reports (converted, failed with its reason, written from less
// than the file promised), outputs that a later file of the run replaced,
// and files the run never reached. Each row shows its result as an icon in
// the list's second column and as its tooltip; the progress dialog's totals
// count the same results.
#pragma once

#include <QString>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "engine/run/conversion_job.h"

class QTreeWidget;
class QTreeWidgetItem;

namespace lumafold::ui {

enum class RowOutcome {
  None,  // no run has reached the row yet
  Converted,
  Damaged,  // written, from less than the file promised
  Failed,
  Overwritten,  // written, then replaced by a later file with the same output name
  Skipped,      // the run was stopped before the file
};

// The list column that holds the result icons.
inline constexpr int kResultColumn = 1;

struct RunTotals {
  int converted = 0;  // outputs written, damaged ones included
  int failed = 0;
  int damaged = 0;
  int overwritten = 0;
  int skipped = 0;
};

// Filled by the worker's thread through the job's fileEnded sink; read by
// the interface thread.
class RunResults {
 public:
  FileResultSink sink();
  // The results that arrived since the last call.
  std::vector<FileResult> take();

 private:
  std::mutex lock_;
  std::vector<FileResult> arrived_;
};

// Keeps the rows' results of one run in step with the list.
class RowResults {
 public:
  explicit RowResults(QTreeWidget* list);

  // A new run: every row loses its old result.
  void clearAll();
  // One file ended.
  void apply(const FileResult& result);
  // The run ended: outputs written more than once and rows never reached.
  void finish(bool stopped);
  const RunTotals& totals() const { return totals_; }

 private:
  QTreeWidgetItem* rowOf(const std::string& path);
  void mark(QTreeWidgetItem* row, RowOutcome outcome, const QString& text);

  QTreeWidget* list_;
  std::map<std::string, QTreeWidgetItem*> rows_;
  // Output path -> the inputs written there, in the order they ended.
  std::map<std::string, std::vector<std::string>> writers_;
  std::vector<std::string> ended_;
  RunTotals totals_;
};

// The result a row shows; None before any run reached it.
RowOutcome OutcomeOf(const QTreeWidgetItem* row);
// Selects exactly the rows whose file failed, the first of them current;
// false when none did.
bool SelectFailedRows(QTreeWidget* list);

}  // namespace lumafold::ui
