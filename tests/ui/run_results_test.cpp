// What the window says about a run: the question before outputs that would
// replace each other, every row's result after the run with the totals,
// "Select Failed" and "Open Output Folder", and the Stop button with the
// files the workers have in hand. Real runs of real Photo CD files.
#include "ui/run_results.h"

#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTreeWidget>

#include "ui/commands.h"
#include "ui/input_list.h"
#include "ui_test_support.h"

namespace lumafold::test {
namespace {

using namespace lumafold::ui;

class RunResultsTest : public WindowTest {
 protected:
  std::string out() { return files_ / "out"; }

  void OpenWithOutputFolder() {
    Open();
    fs::create_directories(out());
    prompts_.folderToChoose = QString::fromStdString(out());
    window_->dispatch(kCommandOutputFolder);
  }

  // A copy of a sample under a name of its own.
  std::string Copy(const std::string& sample, const std::string& name) {
    const std::string path = files_ / name;
    fs::copy_file(SamplesFolder() + sample, path);
    return path;
  }

  struct Ended {
    QString title, label, totals;
    bool selectFailedEnabled = false;
  };

  // Presses `button` of window 3 once the run has ended.
  [[nodiscard]] std::unique_ptr<QTimer> AtTheEnd(Ended& ended, const char* button) {
    return WatchModal([&ended, button] {
      auto* dialog = FindWindow<QDialog>("window3");
      if (!dialog) return false;
      auto* ok = dialog->findChild<QPushButton*>("control340");
      if (!ok->isEnabled()) return false;
      ended.title = dialog->windowTitle();
      ended.label = dialog->findChild<QLabel*>("control338")->text();
      ended.totals = dialog->findChild<QLabel*>("totals")->text();
      ended.selectFailedEnabled = dialog->findChild<QPushButton*>("selectFailed")->isEnabled();
      if (std::string(button) != "control340")
        QTest::mouseClick(dialog->findChild<QPushButton*>(button), Qt::LeftButton);
      QTest::mouseClick(ok, Qt::LeftButton);
      return true;
    });
  }

  std::map<std::string, RowOutcome> Outcomes() {
    std::map<std::string, RowOutcome> outcomes;
    QTreeWidget* list = window_->inputListView();
    for (int i = 0; i < list->topLevelItemCount(); ++i)
      outcomes[list->topLevelItem(i)->text(0).toStdString()] = OutcomeOf(list->topLevelItem(i));
    return outcomes;
  }

  QString ToolTipOf(const std::string& path) {
    QTreeWidget* list = window_->inputListView();
    for (int i = 0; i < list->topLevelItemCount(); ++i)
      if (list->topLevelItem(i)->text(0).toStdString() == path)
        return list->topLevelItem(i)->toolTip(kResultColumn);
    return {};
  }

  int FilesIn(const std::string& folder) {
    return static_cast<int>(std::distance(fs::directory_iterator(folder), {}));
  }
};

TEST_F(RunResultsTest, EveryRowShowsItsResultAndTheTotalsCountThem) {
  OpenWithOutputFolder();
  const std::string good = Copy("kodim01.pcd", "good.pcd");
  // The 16Base sample without its last 100 kB: written from a lower level.
  const std::string whole = ReadFile(SamplesFolder() + "kodim05-16base.pcd");
  const std::string damaged = files_ / "damaged.pcd";
  WriteFile(damaged, whole.substr(0, whole.size() - 100000));
  const std::string foreign = MakeInput(files_ / "foreign.pcd");
  for (const std::string& path : {good, damaged, foreign}) window_->inputList().addFile(path);

  Ended ended;
  auto watcher = AtTheEnd(ended, "selectFailed");
  window_->dispatch(kCommandConvert);

  EXPECT_EQ(Outcomes(), (std::map<std::string, RowOutcome>{{good, RowOutcome::Converted},
                                                           {damaged, RowOutcome::Damaged},
                                                           {foreign, RowOutcome::Failed}}));
  EXPECT_TRUE(ToolTipOf(foreign).startsWith("Failed: ")) << ToolTipOf(foreign).toStdString();
  EXPECT_TRUE(ToolTipOf(damaged).contains("16Base")) << ToolTipOf(damaged).toStdString();
  EXPECT_TRUE(ToolTipOf(good).contains("768 x 512")) << ToolTipOf(good).toStdString();
  EXPECT_EQ(ended.label, "Files converted: 2 of 3");
  EXPECT_EQ(ended.totals, "Converted: 2   Failed: 1   Damaged: 1");
  // Every file began, whenever the last poll came.
  EXPECT_EQ(ended.title, "Conversion complete (3/3)");
  // "Select Failed" left exactly the failed row selected.
  EXPECT_TRUE(ended.selectFailedEnabled);
  const QList<QTreeWidgetItem*> selected = window_->inputListView()->selectedItems();
  ASSERT_EQ(selected.size(), 1);
  EXPECT_EQ(selected[0]->text(0).toStdString(), foreign);
  EXPECT_EQ(FilesIn(out()), 2);
}

TEST_F(RunResultsTest, OutputsThatWouldReplaceEachOtherAreAskedAboutAndCounted) {
  OpenWithOutputFolder();
  context_->settings.advanced.filenameMask = "same.%ext%";
  std::vector<std::string> inputs;
  for (const char* name : {"a.pcd", "b.pcd", "c.pcd"})
    inputs.push_back(Copy("kodim19.pcd", name)), window_->inputList().addFile(inputs.back());

  // No: nothing is written and the window says the run stopped.
  prompts_.answers = {false};
  window_->dispatch(kCommandConvert);
  ASSERT_EQ(prompts_.questions.size(), 1u);
  const QString question = prompts_.questions[0].text;
  EXPECT_TRUE(question.startsWith("2 files would be written over")) << question.toStdString();
  for (const std::string& input : inputs)
    EXPECT_TRUE(question.contains(QString::fromStdString(input))) << input;
  EXPECT_TRUE(question.contains(QString::fromStdString(out() + "/same.jpg")));
  EXPECT_EQ(FilesIn(out()), 0);
  EXPECT_EQ(window_->statusText(), "Conversion stopped");

  // Yes: the run goes on, and the two replaced rows say so.
  prompts_.answers = {true};
  Ended ended;
  auto watcher = AtTheEnd(ended, "openOutputFolder");
  window_->dispatch(kCommandConvert);
  EXPECT_EQ(prompts_.questions.size(), 2u);
  EXPECT_EQ(FilesIn(out()), 1);
  std::map<std::string, int> counts;
  for (const auto& [path, outcome] : Outcomes())
    ++counts[outcome == RowOutcome::Overwritten ? "over"
             : outcome == RowOutcome::Converted ? "kept"
                                                : "other"];
  EXPECT_EQ(counts, (std::map<std::string, int>{{"kept", 1}, {"over", 2}}));
  EXPECT_TRUE(ended.totals.endsWith("Written over: 2")) << ended.totals.toStdString();
  EXPECT_FALSE(ended.selectFailedEnabled);
  EXPECT_EQ(opened_, QStringList{QString::fromStdString(out() + "/")});

  // A mask that keeps the names apart asks nothing.
  context_->settings.advanced.filenameMask = "%filename%.%ext%";
  auto again = AtTheEnd(ended, "control340");
  window_->dispatch(kCommandConvert);
  EXPECT_EQ(prompts_.questions.size(), 2u);
}

TEST_F(RunResultsTest, StopAsksAndTheWorkersFilesShowUntilThen) {
  OpenWithOutputFolder();
  context_->settings.advanced.jobs = 2;
  const int n = 8;
  for (int i = 0; i < n; ++i)
    window_->inputList().addFile(Copy("kodim05-16base.pcd", "s" + std::to_string(i) + ".pcd"));
  prompts_.answers = {true};
  QString inHandAtStop;
  Ended ended;
  bool stopped = false;
  auto watcher = WatchModal([&] {
    auto* dialog = FindWindow<QDialog>("window3");
    if (!dialog) return false;
    auto* stop = dialog->findChild<QPushButton*>("stop");
    if (!stopped) {
      // Two files in hand show on two lines before Stop is pressed.
      inHandAtStop = dialog->findChild<QLabel*>("inHand")->text();
      if (inHandAtStop.count('\n') < 1) return false;
      stopped = true;
      EXPECT_TRUE(stop->isVisible());
      QTest::mouseClick(stop, Qt::LeftButton);
      return false;
    }
    auto* ok = dialog->findChild<QPushButton*>("control340");
    if (!ok->isEnabled()) return false;
    ended.title = dialog->windowTitle();
    ended.totals = dialog->findChild<QLabel*>("totals")->text();
    EXPECT_FALSE(stop->isVisible());
    QTest::mouseClick(ok, Qt::LeftButton);
    return true;
  });
  window_->dispatch(kCommandConvert);
  ASSERT_EQ(prompts_.questions.size(), 1u);
  EXPECT_EQ(prompts_.questions[0].text, "Do you want to break the conversion?");
  EXPECT_TRUE(QRegularExpression("^s[0-9]\\.pcd\ns[0-9]\\.pcd$").match(inHandAtStop).hasMatch())
      << inHandAtStop.toStdString();
  int begun = 0;
  {
    std::lock_guard<std::mutex> hold(context_->progress.lock);
    begun = context_->progress.processedCount;
  }
  ASSERT_LT(begun, n);
  EXPECT_EQ(ended.title, QString("Conversion stopped (%1/%2)").arg(begun).arg(n));
  int skipped = 0;
  for (const auto& [path, outcome] : Outcomes()) skipped += outcome == RowOutcome::Skipped;
  EXPECT_EQ(skipped, n - begun);
  EXPECT_TRUE(ended.totals.endsWith(QString("Not reached: %1").arg(n - begun)))
      << ended.totals.toStdString();
}

}  // namespace
}  // namespace lumafold::test
