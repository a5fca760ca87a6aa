// The conversion progress dialog and its polling of the progress record.
#include "ui/progress_dialog.h"

#include <QCloseEvent>
#include <QDialog>
#include <QEventLoop>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <atomic>
#include <functional>
#include <thread>

#include "engine/run/conversion_worker.h"
#include "ui/commands.h"
#include "ui/conversion_run.h"
#include "ui/main_window.h"
#include "ui/orderly_quit.h"

namespace lumafold::ui {

namespace {

constexpr int kLabelWidth = 280;

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
  dialog.setFixedSize(300, 110);
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
  auto* ok = new QPushButton(window.text("Dialog", "OK"), &dialog);
  ok->setObjectName(QStringLiteral("control%1").arg(kControlProgressOk));
  ok->setGeometry(110, 75, 80, 25);
  ok->setEnabled(false);
  dialog.move(window.frameGeometry().center() - dialog.rect().center());
  dialog.show();
  dialog.activateWindow();

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
      {
        std::lock_guard<std::mutex> hold(progress.lock);
        processed = progress.processedCount;
        current = progress.currentFile;
      }
      lastRead = processed;
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
    }
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

  // 5.
  dialog.closeRequested = nullptr;
  dialog.hide();
  window.activateWindow();
  window.setFocus();
}

}  // namespace lumafold::ui
