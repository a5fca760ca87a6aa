// A quit requested from outside (SIGTERM, Ctrl+C) whatever the window has
// open: modal dialogs and real message boxes close as Cancel or No, and a
// conversion or an import stops after the files in hand without waiting for
// anyone to press OK.
#include "ui/orderly_quit.h"

#include <QMessageBox>
#include <QPushButton>
#include <chrono>

#include "ui/commands.h"
#include "ui/input_list.h"
#include "ui/preferences_dialog.h"
#include "ui_test_support.h"

namespace lumafold::test {
namespace {

using namespace lumafold::ui;

class OrderlyQuitTest : public WindowTest {
 protected:
  void TearDown() override {
    ResetQuitRequest();
    WindowTest::TearDown();
  }

  // Requests the quit once `ready` holds. Should the quit not close what is
  // open, the watcher gives up after a few seconds and closes it the hard
  // way, so a fault fails the case instead of hanging the suite.
  [[nodiscard]] std::unique_ptr<QTimer> QuitWhen(std::function<bool()> ready) {
    auto started =
        std::make_shared<std::chrono::steady_clock::time_point>(std::chrono::steady_clock::now());
    return WatchModal([this, ready, started] {
      if (!QuitRequested()) {
        if (!ready()) return false;
        RequestQuit();
        *started = std::chrono::steady_clock::now();
        return false;
      }
      if (std::chrono::steady_clock::now() - *started < std::chrono::seconds(20)) return false;
      forcedClose_ = true;
      if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
        dialog->done(QDialog::Rejected);
      if (auto* progress = FindWindow<QDialog>("window3"))
        if (auto* ok = progress->findChild<QPushButton*>("control340")) ok->click();
      return false;
    });
  }

  bool forcedClose_ = false;
};

TEST_F(OrderlyQuitTest, ModalDialogsAndRealMessageBoxesCloseAsCancelOrNo) {
  Open();
  // Preferences: closed as Cancel, the settings record untouched.
  context_->settings.interface.uiSize = 1;
  {
    auto watcher = QuitWhen([] {
      return qobject_cast<PreferencesDialog*>(QApplication::activeModalWidget()) != nullptr;
    });
    window_->dispatch(kCommandPreferences);
  }
  EXPECT_FALSE(forcedClose_);
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  EXPECT_EQ(context_->settings.interface.uiSize, 1);

  // The window's own boxes as Qt draws them: a message box has no Escape
  // button and refuses an ordinary close; the question reads No.
  window_->prompts() = StandardPrompts();
  auto boxIsOpen = [] {
    return qobject_cast<QMessageBox*>(QApplication::activeModalWidget()) != nullptr;
  };
  {
    auto watcher = QuitWhen(boxIsOpen);
    window_->messageBox("Something to read");
  }
  EXPECT_FALSE(forcedClose_);
  // Once requested, later boxes close as soon as they open.
  bool answer = true;
  {
    auto watcher = QuitWhen(boxIsOpen);
    answer = window_->questionBox("Ask break conversion");
  }
  EXPECT_FALSE(forcedClose_);
  EXPECT_FALSE(answer);
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(OrderlyQuitTest, ConversionStopsAfterTheFilesInHandWithoutWaitingForOk) {
  Open();
  fs::create_directories(files_ / "out");
  prompts_.folderToChoose = QString::fromStdString(files_ / "out");
  window_->dispatch(kCommandOutputFolder);
  // Twelve entries, each sample twice under its own name.
  int added = 0;
  for (const auto& entry : fs::directory_iterator(SamplesFolder())) {
    if (entry.path().extension() != ".pcd" || added >= 12) continue;
    for (const char* copy : {"a-", "b-"}) {
      const std::string link = files_ / (copy + entry.path().filename().string());
      fs::create_symlink(entry.path(), link);
      added += window_->inputList().addFile(link) ? 1 : 0;
    }
  }
  ASSERT_GE(added, 8);
  context_->settings.advanced.jobs = 1;
  {
    auto watcher = QuitWhen([this] {
      if (!FindWindow<QDialog>("window3")) return false;
      std::lock_guard<std::mutex> hold(context_->progress.lock);
      return context_->progress.processedCount >= 1;
    });
    window_->dispatch(kCommandConvert);
  }
  EXPECT_FALSE(forcedClose_);
  EXPECT_EQ(FindWindow<QDialog>("window3"), nullptr);
  EXPECT_EQ(window_->statusText(), "Conversion stopped");
  int written = 0;
  for (const auto& entry : fs::directory_iterator(files_ / "out"))
    if (entry.path().extension() == ".jpg") ++written;
  EXPECT_GE(written, 1);
  EXPECT_LT(written, added);
  // Nothing half-written is left beside the finished files.
  for (const auto& entry : fs::directory_iterator(files_ / "out"))
    EXPECT_EQ(entry.path().extension(), ".jpg") << entry.path();
}

TEST_F(OrderlyQuitTest, QuitDuringTheBreakQuestionStopsTheImportAsItsYes) {
  Open();
  // Many subfolders: the import breaks between entries of the folder. The
  // watcher below acts on every pass of the dialog's loop, so the import
  // has to outlast only a few of those passes, whatever the build's speed.
  const int kFolders = 5000;
  for (int i = 0; i < kFolders; ++i)
    MakeInput(files_ / ("import/d" + std::to_string(i) + "/p.pcd"));
  // The user closes the dialog; while the question is open (the worker
  // waits at its gate) the session ends, and the question reads No.
  prompts_.duringQuestion = [] { RequestQuit(); };
  bool closed = false;
  {
    auto watcher = WatchModal([this, &closed] {
      auto* dialog = FindWindow<QDialog>("window2");
      if (!dialog || closed) return closed;
      {
        std::lock_guard<std::mutex> hold(context_->progress.lock);
        if (context_->progress.processedCount < 1) return false;
      }
      closed = true;
      dialog->close();
      return true;
    });
    watcher->setInterval(0);
    window_->dropPaths({QString::fromStdString(files_ / "import")});
  }
  ASSERT_TRUE(closed);
  EXPECT_EQ(prompts_.questions.size(), 1u);
  EXPECT_EQ(FindWindow<QDialog>("window2"), nullptr);
  EXPECT_EQ(window_->statusText(), "Import stopped");
  EXPECT_GE(window_->inputList().count(), 1);
  EXPECT_LT(window_->inputList().count(), kFolders);
}

}  // namespace
}  // namespace lumafold::test
