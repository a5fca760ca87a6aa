// The input list of the main window (control 3) kept in step with the input
// set, and the commands that fill and empty it: add files, add folder, the
// drop rule, import and export of list files, copy, delete, select all, and
// the choice of the output folder.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <string>

#include "engine/app_context.h"
#include "engine/run/input_import.h"

class QTreeWidget;

namespace lumafold::ui {

class MainWindow;

// The run fields of the job back to their start values, and the input set
// emptied ("New" and start-up).
void ResetRunFields(AppContext& context);

// The folder part of a path, up to and including its last "/".
std::string FolderPart(const std::string& path);
// The path with a final "/" (unchanged when it has one).
std::string WithFinalSlash(const std::string& path);

class InputList {
 public:
  explicit InputList(MainWindow& window);
  ~InputList();

  // The list control only.
  void clear();
  QStringList texts() const;
  int count() const;

  // The add-file rule from the interface thread, with its list and
  // output-folder effects.
  bool addFile(const std::string& path);
  // The same effects for files the engine adds from any thread: list
  // changes always happen on the interface thread, in the order of adding.
  AddedFileSink sink();

  void openInputChooser();    // command 4
  void addFiles();            // command 5
  void addFolder();           // command 6
  void chooseOutputFolder();  // command 7
  void importList();          // command 9
  void exportList();          // command 10
  void copy();                // command 11
  void removeSelected();      // command 12
  void selectAll();           // command 13
  void dropPaths(const QStringList& paths);

 private:
  void fileAdded(const QString& path);
  void runFolderImport();

  MainWindow& window_;
  QObject receiver_;  // target of the queued calls from worker threads
};

// Writes the list file: each text in UTF-8 followed by LF, while the running flag stays set; counts each written entry as
// processed and adds the number written to the converted count.
void ExportList(AppContext& context, const QStringList& texts, const std::string& path);

// The rows from `first` on, in natural name order ("IMG0002" before
// "IMG0010").
void SortRowsNaturally(QTreeWidget* view, int first);

// Line-feed bytes in a file (0 when it cannot be read).
long long CountLineFeeds(const std::string& path);
// Entries directly in a folder, without "." and "..".
int CountFolderEntries(const std::string& folder);

}  // namespace lumafold::ui
