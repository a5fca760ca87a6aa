// A fresh application record and main window per case, with every prompt
// answered by the test instead of a modal box, and a private settings folder.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/app_context.h"
#include "ui/main_window.h"
#include "ui/system_dialogs.h"

namespace lumafold::test {

namespace fs = std::filesystem;

// A temporary folder removed at the end of the case.
class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (fs::temp_directory_path() / "lumafold-ui-XXXXXX").string();
    path_ = mkdtemp(pattern.data()) ? pattern : std::string();
  }
  ~TempFolder() {
    std::error_code ignored;
    if (!path_.empty()) fs::remove_all(path_, ignored);
  }
  const std::string& path() const { return path_; }
  // path() + "/" + name
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

inline void WriteFile(const std::string& path, const std::string& bytes) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Something the add-file rule accepts: a non-empty file with a Photo CD
// extension (the rule looks at the name and size, not the content).
inline std::string MakeInput(const std::string& path) {
  WriteFile(path, "not really a photo cd image");
  return path;
}

inline std::string SamplesFolder() { return std::string(LUMAFOLD_SOURCE_DIR) + "/samples/"; }

// Real disc images (genisoimage) of the samples, with the extracted tree of
// each beside them: one.iso, cut.iso, eight.iso, extracted/<name>/ ...
inline bool MakeDiscImages(const std::string& folder) {
  const std::string command = "bash '" + std::string(LUMAFOLD_SOURCE_DIR) +
                              "/tests/data/make-disc-images.sh' '" + SamplesFolder() + "' '" +
                              folder + "' >/dev/null";
  return std::system(command.c_str()) == 0;
}

// What the prompts were asked, and the answers they give.
struct PromptLog {
  struct Shown {
    QString title;
    QString text;
  };
  std::vector<Shown> messages;
  std::vector<Shown> questions;
  std::deque<bool> answers;  // question answers; No when empty
  std::function<void()> duringQuestion;

  QStringList filesToOpen;  // openFiles answer
  QString fileToOpen;       // openFile answer
  QString fileToSave;       // saveFile answer
  QString folderToChoose;   // folder answer
  struct Request {
    QString title;
    QString start;
    QString filter;
  };
  std::vector<Request> requests;
};

inline ui::Prompts RecordingPrompts(PromptLog& log) {
  ui::Prompts p;
  p.message = [&log](QWidget*, const QString& title, const QString& text) {
    log.messages.push_back({title, text});
  };
  p.question = [&log](QWidget*, const QString& title, const QString& text) {
    log.questions.push_back({title, text});
    if (log.duringQuestion) log.duringQuestion();
    if (log.answers.empty()) return false;
    const bool answer = log.answers.front();
    log.answers.pop_front();
    return answer;
  };
  p.openFiles = [&log](QWidget*, const QString& title, const QString& start,
                       const QString& filter) {
    log.requests.push_back({title, start, filter});
    return log.filesToOpen;
  };
  p.openFile = [&log](QWidget*, const QString& title, const QString& start, const QString& filter) {
    log.requests.push_back({title, start, filter});
    return log.fileToOpen;
  };
  p.saveFile = [&log](QWidget*, const QString& title, const QString& start, const QString& filter) {
    log.requests.push_back({title, start, filter});
    return log.fileToSave;
  };
  p.folder = [&log](QWidget*, const QString& title, const QString& start) {
    log.requests.push_back({title, start, QString()});
    return log.folderToChoose;
  };
  return p;
}

// Runs `step` every few milliseconds until it returns true (or the time is
// up); for acting on modal dialogs from inside their loops.
inline void WhileModal(std::function<bool()> step, int timeoutMs = 60000) {
  auto* timer = new QTimer;
  auto* elapsed = new int(0);
  timer->setInterval(10);
  QObject::connect(timer, &QTimer::timeout, [timer, elapsed, step, timeoutMs] {
    *elapsed += 10;
    if (step() || *elapsed > timeoutMs) {
      timer->stop();
      timer->deleteLater();
      delete elapsed;
    }
  });
  timer->start();
}

// The same, stopped at the latest when the returned watcher goes out of
// scope, so that it never acts in a later case.
[[nodiscard]] inline std::unique_ptr<QTimer> WatchModal(std::function<bool()> step) {
  auto timer = std::make_unique<QTimer>();
  timer->setInterval(10);
  QTimer* raw = timer.get();
  QObject::connect(raw, &QTimer::timeout, [raw, step] {
    if (step()) raw->stop();
  });
  timer->start();
  return timer;
}

// The visible top-level widget with this object name ("window3"), or null.
template <typename T = QWidget>
T* FindWindow(const QString& name) {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->objectName() == name && w->isVisible())
      if (T* typed = qobject_cast<T*>(w)) return typed;
  return nullptr;
}

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(home_.path().empty());
    setenv("XDG_CONFIG_HOME", home_.path().c_str(), 1);
    context_ = std::make_unique<AppContext>();
    context_->settings.resetToDefaults(SettingsMode::Window);
    context_->settings.settingsFilePath = home_ / "config.ini";
    context_->settings.general.updateRange = 5;  // never check online in tests
    context_->settings.output.format = "jpg";
    // A refused connection: the update check ends at once.
    setenv("LUMAFOLD_UPDATE_URL", "http://127.0.0.1:9/lumafold.dat", 1);
  }
  void TearDown() override {
    window_.reset();
    context_.reset();
  }

  // Builds and shows the main window for the settings set up so far.
  ui::MainWindow& Open() {
    window_ = std::make_unique<ui::MainWindow>(*context_, RecordingPrompts(prompts_));
    window_->onDispatch = [this](int command) { dispatched_.push_back(command); };
    // The Help side's boxes and the desktop's "open" are recorded, not shown.
    ui::SystemDialogs dialogs;
    dialogs.notice = [](QWidget*, ui::NoticeKind, const QString&, const QString&) {};
    dialogs.ask = [](QWidget*, const QString&, const QString&) { return false; };
    dialogs.open = [this](const QString& target) {
      opened_ << target;
      return true;
    };
    ui::InstallSystemDialogs(*window_, std::move(dialogs));
    EXPECT_TRUE(window_->open());
    QApplication::setActiveWindow(window_.get());
    EXPECT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
    QCoreApplication::processEvents();
    return *window_;
  }

  TempFolder home_;
  TempFolder files_;
  std::unique_ptr<AppContext> context_;
  PromptLog prompts_;
  std::unique_ptr<ui::MainWindow> window_;
  std::vector<int> dispatched_;
  QStringList opened_;
};

}  // namespace lumafold::test
