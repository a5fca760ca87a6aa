// The conversion progress dialog. Beyond the described 300x110 box it is
// wider and taller: a Stop button beside OK (it asks, as closing does), the
// files every worker has in hand, and at the end the totals, "Select
// Failed" and "Open Output Folder". The rows of the list take their
// results as the files end.
#include "ui/progress_dialog.h"

#include <QCloseEvent>
#include <QDialog>
#include <QEventLoop>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <algorithm>
#include <atomic>
#include <functional>
#include <thread>
#include <vector>

#include "engine/run/conversion_worker.h"
#include "ui/commands.h"
#include "ui/conversion_run.h"
#include "ui/main_window.h"
#include "ui/orderly_quit.h"
#include "ui/run_results.h"
#include "ui/system_dialogs.h"

namespace lumafold::ui {

namespace {

constexpr int kDialogWidth = 400;
constexpr int kLabelWidth = kDialogWidth - 20;
constexpr int kInHandLineHeight = 16;
// More workers than this show as "and N more".
constexpr int kInHandLines = 4;

QString FileName(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return QString::fromStdString(slash == std::string::npos ? path : path.substr(slash + 1));
}

QString TotalsText(const RunTotals& totals) {
  QString text = QString("Converted: %1   Failed: %2   Damaged: %3")
                     .arg(totals.converted)
                     .arg(totals.failed)
                     .arg(totals.damaged);
  if (totals.overwritten > 0) text += QString("   Written over: %1").arg(totals.overwritten);
  if (totals.skipped > 0) text += QString("   Not reached: %1").arg(totals.skipped);
  return text;
}

class ProgressDialog : public QDialog {
 public:
  using QDialog::QDialog;
  std::function<void()> closeRequested;

 protected:
  void closeEvent(QCloseEvent* event) override {
    event->ignore();
    if (closeRequested) closeRequested();
  }
  void reject() override {
    if (closeRequested) closeRequested();
  }
};

}  // namespace

void RunConversionProgress(MainWindow& window) {
  AppContext& context = window.context();
  RunProgress& progress = context.progress;
  const int total = static_cast<int>(context.inputs.size());

  // 1.
  ProgressDialog dialog(&window);
  dialog.setObjectName(QStringLiteral("window%1").arg(kWindowConversionProgress));
  const QString converting = window.text("Dialog", "Convert Progress");
  dialog.setWindowTitle(converting);
  const int workers = FileWorkerCount(context.settings, static_cast<std::size_t>(total));
  const int inHandLines = std::min(workers, kInHandLines) + (workers > kInHandLines ? 1 : 0);
  const int inHandTop = 65;
  const int totalsTop = inHandTop + inHandLines * kInHandLineHeight + 4;
  const int buttonsTop = totalsTop + 24;
  dialog.setFixedSize(kDialogWidth, buttonsTop + 35);
  dialog.setWindowModality(Qt::ApplicationModal);
  dialog.setProperty(kEndsWithItsWorker, true);
  const WorkerLoopScope endsWithItsWorker;
  auto* label = new QLabel(&dialog);
  label->setObjectName(QStringLiteral("control%1").arg(kControlProgressLabel));
  label->setGeometry(10, 13, kLabelWidth, 20);
  auto* bar = new QProgressBar(&dialog);
  bar->setObjectName(QStringLiteral("control%1").arg(kControlProgressBar));
  bar->setGeometry(10, 40, kLabelWidth, 20);
  bar->setTextVisible(false);
  bar->setRange(0, total + 1);
  bar->setValue(0);
  auto* inHand = new QLabel(&dialog);
  inHand->setObjectName("inHand");
  inHand->setGeometry(10, inHandTop, kLabelWidth, inHandLines * kInHandLineHeight);
  inHand->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  auto* totalsLabel = new QLabel(&dialog);
  totalsLabel->setObjectName("totals");
  totalsLabel->setGeometry(10, totalsTop, kLabelWidth, 20);
  // Buttons from the right: OK, then Stop while the run lasts; at the end
  // "Open Output Folder" and "Select Failed" take Stop's place.
  auto* ok = new QPushButton(window.text("Dialog", "OK"), &dialog);
  ok->setObjectName(QStringLiteral("control%1").arg(kControlProgressOk));
  ok->setGeometry(kDialogWidth - 90, buttonsTop, 80, 25);
  ok->setEnabled(false);
  ok->setAutoDefault(false);
  auto* stop = new QPushButton("Stop", &dialog);
  stop->setObjectName("stop");
  stop->setGeometry(kDialogWidth - 180, buttonsTop, 80, 25);
  stop->setDefault(true);
  auto* openFolder = new QPushButton("Open Output Folder", &dialog);
  openFolder->setObjectName("openOutputFolder");
  openFolder->setGeometry(kDialogWidth - 230, buttonsTop, 130, 25);
  openFolder->setAutoDefault(false);
  openFolder->hide();
  auto* selectFailed = new QPushButton("Select Failed", &dialog);
  selectFailed->setObjectName("selectFailed");
  selectFailed->setGeometry(10, buttonsTop, 110, 25);
  selectFailed->setAutoDefault(false);
  selectFailed->hide();
  dialog.move(window.frameGeometry().center() - dialog.rect().center());
  dialog.show();
  dialog.activateWindow();

  // The rows take their results as the files end.
  RowResults rows(window.inputListView());
  rows.clearAll();
  RunResults results;
  context.job.fileEnded = results.sink();
  auto applyResults = [&] {
    for (const FileResult& result : results.take()) rows.apply(result);
  };

  // 2. How many characters of a path fit the label: measured with the
  // label's real font, since an average character width cuts wide paths
  // short of their end ("...Photo CD.pc").
  const QFontMetrics metrics = label->fontMetrics();

  // 3.
  {
    std::lock_guard<std::mutex> hold(progress.lock);
    progress.processedCount = 0;
    progress.currentFile.clear();
    progress.convertedCount = 0;
    progress.filesInHand.clear();
  }
  progress.running = true;
  std::atomic<bool> ended{false};
  std::thread worker([&] {
    ConversionWorker(context);
    ended = true;
  });

  bool workerCleared = false;
  bool broken = false;
  int lastShown = 0;
  int lastRead = 0;
  QEventLoop loop;
  QTimer poll;
  poll.setInterval(kProgressPollMilliseconds);
  auto progressText = [&](int processed) {
    return QString::fromStdString(context.catalog.Formatted(
        "Msg", "Progress", {std::to_string(processed), std::to_string(total)}));
  };

  // 4.
  QObject::connect(ok, &QPushButton::clicked, &dialog, [&] {
    if (workerCleared) loop.quit();
  });
  QObject::connect(stop, &QPushButton::clicked, &dialog, [&] {
    if (dialog.closeRequested && !workerCleared) dialog.closeRequested();
  });
  QObject::connect(selectFailed, &QPushButton::clicked, &dialog, [&] {
    if (!workerCleared) return;
    SelectFailedRows(window.inputListView());
    loop.quit();
  });
  QObject::connect(openFolder, &QPushButton::clicked, &dialog, [&] {
    const SystemDialogs& dialogs = DialogsOf(window);
    OpenOrSay(dialogs, &dialog, QString::fromStdString(context.job.outputFolder));
  });
  auto showInHand = [&](const std::vector<std::string>& files) {
    QStringList lines;
    for (std::size_t i = 0; i < files.size() && i < static_cast<std::size_t>(kInHandLines); ++i)
      lines << FitPathToWidth(FileName(files[i]), inHand->fontMetrics(), kLabelWidth);
    if (files.size() > static_cast<std::size_t>(kInHandLines))
      lines << QString("and %1 more").arg(files.size() - kInHandLines);
    inHand->setText(lines.join('\n'));
  };
  dialog.closeRequested = [&] {
    if (workerCleared) return loop.quit();
    // The worker waits at its gate before its next file while we ask.
    poll.stop();
    progress.pause();
    broken = window.questionBox("Ask break conversion");
    // A quit that closed the question counts as its Yes.
    if (QuitRequested()) broken = true;
    // Cleared before the gate opens: resuming first would let the worker
    // start one more file after a Yes.
    if (broken) progress.running = false;
    progress.resume();
    poll.start();
  };
  QObject::connect(&poll, &QTimer::timeout, &dialog, [&] {
    if (workerCleared) {
      if (QuitRequested()) loop.quit();
      return;
    }
    // A quit from outside ends the run as a Yes to the break question does.
    if (QuitRequested() && !broken) {
      broken = true;
      progress.running = false;
    }
    if (!ended) {
      int processed = 0;
      std::string current;
      std::vector<std::string> files;
      {
        std::lock_guard<std::mutex> hold(progress.lock);
        processed = progress.processedCount;
        current = progress.currentFile;
        files = progress.filesInHand;
      }
      lastRead = processed;
      applyResults();
      if (workers > 1) showInHand(files);
      if (processed <= lastShown) return;
      lastShown = processed;
      dialog.setWindowTitle(converting + " " + progressText(processed));
      label->setText(FitPathToWidth(QString::fromStdString(current), metrics, kLabelWidth));
      bar->setValue(processed);
      return;
    }
    worker.join();
    workerCleared = true;
    int converted = 0;
    {
      std::lock_guard<std::mutex> hold(progress.lock);
      converted = progress.convertedCount;
      // The title counts the files the run began, read once it is over:
      // a last file that began and ended between two polls still counts.
      lastRead = progress.processedCount;
    }
    context.job.fileEnded = nullptr;
    applyResults();
    rows.finish(broken);
    inHand->clear();
    totalsLabel->setText(TotalsText(rows.totals()));
    stop->hide();
    selectFailed->setVisible(true);
    selectFailed->setEnabled(rows.totals().failed > 0);
    openFolder->show();
    if (broken) {
      const QString stopped = window.text("Msg", "Conversion is not complete");
      window.setStatusText(stopped);
      dialog.setWindowTitle(stopped + " " + progressText(lastRead));
      label->setText(stopped);
    } else {
      const QString complete = window.text("Msg", "Conversion complete");
      window.setStatusText(complete);
      dialog.setWindowTitle(complete + " " + progressText(lastRead));
      label->setText(QString::fromStdString(context.catalog.Formatted(
          "Msg", "Files converted", {std::to_string(converted), std::to_string(total)})));
      bar->setValue(total + 1);
    }
    ok->setEnabled(true);
    ok->setFocus();
  });
  poll.start();
  loop.exec();
  poll.stop();
  if (worker.joinable()) worker.join();
  context.job.fileEnded = nullptr;

  // 5.
  dialog.closeRequested = nullptr;
  dialog.hide();
  window.activateWindow();
  window.setFocus();
}

}  // namespace lumafold::ui
