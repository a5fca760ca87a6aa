// The import and export progress dialogs and their polling of the progress
// record.
#include "ui/transfer_dialog.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDialog>
#include <QEventLoop>
#include <QProgressBar>
#include <QTimer>
#include <atomic>
#include <thread>

#include "ui/commands.h"
#include "ui/main_window.h"
#include "ui/orderly_quit.h"

namespace lumafold::ui {

namespace {

// Close requests (the close box, Escape) go to the progress loop instead
// of closing the dialog.
class TransferDialog : public QDialog {
 public:
  using QDialog::QDialog;
  std::function<void()> closeRequested;
  bool closable = false;

 protected:
  void closeEvent(QCloseEvent* event) override {
    if (closable) return event->accept();
    event->ignore();
    if (closeRequested) closeRequested();
  }
  void reject() override {
    if (closable) return QDialog::reject();
    if (closeRequested) closeRequested();
  }
};

}  // namespace

bool RunTransferDialog(MainWindow& window, const TransferSpec& plan, std::function<void()> worker) {
  AppContext& context = window.context();
  RunProgress& progress = context.progress;

  TransferDialog dialog(&window);
  dialog.setObjectName(QStringLiteral("window%1").arg(plan.window));
  dialog.setWindowTitle(window.text("Dialog", plan.titleKey));
  dialog.setFixedSize(300, 40);
  dialog.setWindowModality(Qt::ApplicationModal);
  dialog.setProperty(kEndsWithItsWorker, true);
  const WorkerLoopScope endsWithItsWorker;
  auto* bar = new QProgressBar(&dialog);
  bar->setObjectName(QStringLiteral("control%1").arg(plan.barControl));
  bar->setGeometry(10, 10, 280, 20);
  bar->setTextVisible(false);
  bar->setRange(0, std::max(plan.barMaximum, 0));
  bar->setValue(0);
  dialog.move(window.frameGeometry().center() - dialog.rect().center());
  dialog.show();

  {
    std::lock_guard<std::mutex> hold(progress.lock);
    progress.processedCount = 0;
    progress.currentFile.clear();
  }
  progress.running = true;
  std::atomic<bool> ended{false};
  std::thread thread([&] {
    worker();
    ended = true;
  });

  bool broken = false;
  bool joined = false;
  int lastShown = 0;
  QEventLoop loop;
  QTimer poll;
  poll.setInterval(kProgressPollMilliseconds);

  dialog.closeRequested = [&] {
    if (joined) return loop.quit();
    // No item starts or ends while the question is open.
    poll.stop();
    progress.pause();
    broken = window.questionBox(plan.questionKey);
    // A quit that closed the question counts as its Yes.
    if (QuitRequested()) broken = true;
    // Cleared before the gate opens, so a Yes never lets one more item in.
    if (broken) progress.running = false;
    progress.resume();
    poll.start();
  };

  QObject::connect(&poll, &QTimer::timeout, &dialog, [&] {
    if (joined) return;
    // A quit from outside stops the walk as a Yes to the break question does.
    if (QuitRequested() && !broken) {
      broken = true;
      progress.running = false;
    }
    if (!ended) {
      int processed = 0;
      {
        std::lock_guard<std::mutex> hold(progress.lock);
        processed = progress.processedCount;
      }
      if (processed > lastShown) {
        lastShown = processed;
        bar->setValue(std::min(processed, bar->maximum()));
      }
      return;
    }
    thread.join();
    joined = true;
    // The list entries the worker queued are shown before the end text.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);
    int converted = 0;
    {
      std::lock_guard<std::mutex> hold(progress.lock);
      converted = progress.convertedCount;
    }
    if (broken) {
      window.setStatusText(window.text("Msg", plan.stoppedKey));
    } else {
      window.setStatusText(QString::fromStdString(
          context.catalog.Formatted("Msg", plan.completeKey, {std::to_string(converted)})));
      bar->setValue(bar->maximum());
    }
    loop.quit();
  });
  poll.start();
  loop.exec();
  poll.stop();
  if (thread.joinable()) thread.join();

  // The finished dialog stays on screen for a moment; clicks are dropped.
  if (!QuitRequested()) {
    QEventLoop linger;
    QTimer::singleShot(kTransferLingerMilliseconds, &linger, &QEventLoop::quit);
    linger.exec(QEventLoop::ExcludeUserInputEvents);
  }

  dialog.closable = true;
  dialog.close();
  window.activateWindow();
  window.setFocus();
  return broken;
}

}  // namespace lumafold::ui
