// Command 14: the checks before a run with their messages and status texts,
// and real runs of the samples through the progress dialog, with the break
// question answered both ways.
#include "ui/conversion_run.h"

#include <QComboBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <algorithm>
#include <chrono>
#include <thread>

#include "settings/profile_file.h"
#include "ui/commands.h"
#include "ui/input_list.h"
#include "ui_test_support.h"

namespace lumafold::test {
namespace {

using namespace lumafold::ui;

class ConversionRunTest : public WindowTest {
 protected:
  // Opens the window with one input and the given output folder chosen.
  void OpenWithInput(const std::string& outputFolder) {
    Open();
    window_->inputList().addFile(MakeInput(files_ / "in.pcd"));
    context_->settings.file.recentOutFolders = outputFolder;
    window_->refreshOutputFolderBox();
  }

  // Runs command 14 and returns the one message it showed ("" for none).
  QString ConvertMessage() {
    prompts_.messages.clear();
    window_->dispatch(kCommandConvert);
    return prompts_.messages.size() == 1 ? prompts_.messages[0].text
                                         : QString("<%1 messages>").arg(prompts_.messages.size());
  }

  int SampleCount() {
    int n = 0;
    for (const auto& entry : fs::directory_iterator(SamplesFolder()))
      if (entry.path().extension() == ".pcd") ++n;
    return n;
  }

  // What the progress dialog showed when the run ended.
  struct Ended {
    QString title;
    QString label;
    int barValue = -1;
    int barMaximum = -1;
  };

  // Watches window 3: calls `duringRun` once the first file has begun (while
  // the worker is alive), then presses OK once it is enabled.
  [[nodiscard]] std::unique_ptr<QTimer> PressOkAtTheEnd(
      Ended& ended, std::function<void(QDialog*)> duringRun = {}) {
    auto acted = std::make_shared<bool>(false);
    return WatchModal([this, &ended, duringRun, acted] {
      auto* dialog = FindWindow<QDialog>("window3");
      if (!dialog) return false;
      auto* ok = dialog->findChild<QPushButton*>("control340");
      if (duringRun && !*acted && !ok->isEnabled()) {
        std::lock_guard<std::mutex> hold(context_->progress.lock);
        if (context_->progress.processedCount < 1) return false;
      }
      if (duringRun && !*acted && !ok->isEnabled()) {
        *acted = true;
        duringRun(dialog);
        return false;
      }
      if (!ok->isEnabled()) return false;
      ended.title = dialog->windowTitle();
      ended.label = dialog->findChild<QLabel*>("control338")->text();
      auto* bar = dialog->findChild<QProgressBar*>("control339");
      ended.barValue = bar->value();
      ended.barMaximum = bar->maximum();
      QTest::mouseClick(ok, Qt::LeftButton);
      return true;
    });
  }

  // Every sample in the list, JPEG into a fresh output folder.
  std::string PrepareSamples() {
    Open();
    prompts_.folderToChoose = QString::fromStdString(files_ / "out");
    fs::create_directories(files_ / "out");
    window_->dispatch(kCommandOutputFolder);
    for (const auto& entry : fs::directory_iterator(SamplesFolder()))
      if (entry.path().extension() == ".pcd") window_->inputList().addFile(entry.path().string());
    return files_ / "out/";
  }

  int JpegsIn(const std::string& folder) {
    int n = 0;
    for (const auto& entry : fs::directory_iterator(folder))
      if (entry.path().extension() == ".jpg" && fs::file_size(entry.path()) > 0) ++n;
    return n;
  }
};

TEST_F(ConversionRunTest, EmptyListAndEmptyOrMissingOutputFolderAreRefused) {
  Open();
  EXPECT_EQ(ConvertMessage(), "No input file(s) found. Please, add valid file(s) and try again!");
  EXPECT_EQ(window_->statusText(), "Conversion stopped");
  EXPECT_EQ(prompts_.messages[0].title, "Warning");

  window_->inputList().addFile(MakeInput(files_ / "in.pcd"));
  window_->dispatch(kCommandNew);
  window_->inputList().addFile(MakeInput(files_ / "in.pcd"));
  // The first file filled the box; the user empties it again.
  window_->outputFolderBox()->setCurrentIndex(-1);
  window_->setStatusText("x");
  EXPECT_EQ(ConvertMessage(),
            "The output folder's field is empty. Please, select existed output folder and try "
            "again!");
  EXPECT_EQ(window_->statusText(), "Conversion stopped");

  context_->settings.file.recentOutFolders = "  " + (files_ / "not-there") + "  ";
  window_->refreshOutputFolderBox();
  EXPECT_EQ(ConvertMessage().toStdString(),
            "The following output folder is invalid or doesn't exist:\r\n" +
                (files_ / "not-there/") + "\r\n\r\nPlease, correct the output path and try again!");
  EXPECT_EQ(window_->statusText(), "Conversion stopped");
  // Nothing of the run was recorded.
  EXPECT_EQ(context_->settings.file.recentOutFolders, "  " + (files_ / "not-there") + "  ");
}

TEST_F(ConversionRunTest, ResizeWithZeroWidthOrHeightIsRefused) {
  fs::create_directories(files_ / "out");
  OpenWithInput(files_ / "out");
  context_->settings.transform.doImageResize = 1;
  context_->settings.transform.keepAspectRatio = 1;
  context_->settings.transform.imageWidth = 0;
  context_->settings.transform.imageHeight = 100;
  EXPECT_EQ(ConvertMessage(), "Invalid resize width value!");
  EXPECT_EQ(window_->statusText(), "Conversion stopped");
  context_->settings.transform.imageWidth = 100;
  context_->settings.transform.imageHeight = 0;
  EXPECT_EQ(ConvertMessage(), "Invalid resize height value!");
  EXPECT_EQ(window_->statusText(), "Conversion stopped");
}

// CMYK inks cannot go with the CCITT fax, JPEG or LogLuv compressions: the
// run is refused rather than written with another compression or model.
TEST_F(ConversionRunTest, TiffCmykWithACompressionThatCannotCarryInksIsRefused) {
  fs::create_directories(files_ / "out");
  OpenWithInput(files_ / "out");
  const auto& order = context_->formats.outputOrder();
  const auto tiff = std::find(order.begin(), order.end(), "tiff") - order.begin();
  QComboBox* box = window_->outputFormatBox();
  box->setCurrentIndex(box->findData(static_cast<int>(tiff)));
  context_->settings.output.tiffColorModel = 1;
  context_->settings.output.tiffCompression = 7;
  EXPECT_EQ(ConvertMessage(), "CMYK cannot be written with JPEG compression");
  EXPECT_EQ(window_->statusText(), "Conversion stopped");
  context_->settings.output.tiffCompression = 2;
  EXPECT_EQ(ConvertMessage(), "CMYK cannot be written with CCITTFAX4 compression");
}

TEST_F(ConversionRunTest, WatermarkFontAndPictureAreCheckedWithoutAStatusChange) {
  fs::create_directories(files_ / "out");
  OpenWithInput(files_ / "out");
  WatermarkSettings& watermark = context_->settings.watermark;
  watermark.doWatermark = 1;
  watermark.font = "NoSuchFont";
  EXPECT_EQ(ConvertMessage(), "Unable to load selected font for a watermark: NoSuchFont");
  EXPECT_EQ(window_->statusText(), "Preparing...");
  EXPECT_EQ(context_->job.watermarkFont, nullptr);

  watermark.doWatermark = 2;
  watermark.image.clear();
  EXPECT_EQ(ConvertMessage(), "Selected watermark image is invalid/empty!");
  EXPECT_EQ(window_->statusText(), "Preparing...");
  for (const std::string& bad : {files_ / "missing.png", files_ / "empty.png", files_.path()}) {
    if (bad.ends_with("empty.png")) WriteFile(bad, "");
    watermark.image = bad;
    EXPECT_EQ(ConvertMessage().toStdString(),
              "Unable to load selected file as a watermark image: " + bad);
    EXPECT_EQ(window_->statusText(), "Preparing...");
  }
  EXPECT_TRUE(context_->settings.file.recentOutFolders.find('\t') == std::string::npos);
}

TEST_F(ConversionRunTest, SamplesConvertThroughTheProgressDialog) {
  const std::string out = PrepareSamples();
  const int n = SampleCount();
  ASSERT_GE(n, 3);
  // Stored without the final slash: the run adds it.
  ASSERT_EQ(window_->outputFolderText().toStdString(), files_ / "out");
  Ended ended;
  auto watcher = PressOkAtTheEnd(ended);
  window_->dispatch(kCommandConvert);
  EXPECT_TRUE(prompts_.messages.empty());
  const QString counts = QStringLiteral("%1 of %1").arg(n);
  EXPECT_EQ(ended.label, "Files converted: " + counts);
  EXPECT_TRUE(ended.title.startsWith("Conversion complete (")) << ended.title.toStdString();
  EXPECT_EQ(ended.barValue, n + 1);
  EXPECT_EQ(ended.barMaximum, n + 1);
  EXPECT_EQ(window_->statusText(), "Conversion complete");
  EXPECT_EQ(JpegsIn(out), n);
  EXPECT_EQ(context_->job.outputFolder, out);
  EXPECT_EQ(context_->job.outputExtension, "jpg");
  EXPECT_EQ(context_->job.formatIdentifier, 2);
  // Recorded once, with the slash, at the head.
  EXPECT_EQ(RecentOutputFolder(context_->settings, 0), out);
  EXPECT_TRUE(window_->isEnabled());
  EXPECT_EQ(FindWindow<QDialog>("window3"), nullptr);
}

TEST_F(ConversionRunTest, AnsweringNoLetsTheRunGoOnAndNoFileStartsDuringTheQuestion) {
  const std::string out = PrepareSamples();
  const int n = SampleCount();
  prompts_.answers = {false};
  int before = -1, after = -2;
  prompts_.duringQuestion = [&] {
    auto read = [&] {
      std::lock_guard<std::mutex> hold(context_->progress.lock);
      return context_->progress.processedCount;
    };
    // Long enough for a Base file to finish if the gate let it.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    before = read();
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    after = read();
  };
  Ended ended;
  auto watcher = PressOkAtTheEnd(ended, [](QDialog* dialog) { dialog->close(); });
  window_->dispatch(kCommandConvert);
  ASSERT_EQ(prompts_.questions.size(), 1u);
  EXPECT_EQ(prompts_.questions[0].text, "Do you want to break the conversion?");
  EXPECT_EQ(before, after);
  EXPECT_EQ(ended.label, QStringLiteral("Files converted: %1 of %1").arg(n));
  EXPECT_EQ(JpegsIn(out), n);
}

TEST_F(ConversionRunTest, AnsweringYesStopsAfterTheCurrentFile) {
  const std::string out = PrepareSamples();
  const int n = SampleCount();
  prompts_.answers = {true};
  int begunAtQuestion = 0;
  prompts_.duringQuestion = [&] {
    std::lock_guard<std::mutex> hold(context_->progress.lock);
    begunAtQuestion = context_->progress.processedCount;
  };
  Ended ended;
  auto watcher = PressOkAtTheEnd(ended, [](QDialog* dialog) { dialog->close(); });
  window_->dispatch(kCommandConvert);
  ASSERT_EQ(prompts_.questions.size(), 1u);
  ASSERT_GE(begunAtQuestion, 1);
  ASSERT_LT(begunAtQuestion, n) << "the samples converted before the question";
  int begun = 0, converted = 0;
  {
    std::lock_guard<std::mutex> hold(context_->progress.lock);
    begun = context_->progress.processedCount;
    converted = context_->progress.convertedCount;
  }
  // The file in hand was finished; none was started after the answer.
  EXPECT_EQ(begun, begunAtQuestion);
  EXPECT_EQ(converted, begun);
  EXPECT_EQ(JpegsIn(out), converted);
  EXPECT_EQ(ended.title, QStringLiteral("Conversion stopped (%1/%2)").arg(begun).arg(n));
  EXPECT_EQ(ended.label, "Conversion stopped");
  EXPECT_EQ(window_->statusText(), "Conversion stopped");
}

TEST(ShortenText, KeepsShortTextsAndCutsTheMiddleOfLongOnes) {
  EXPECT_EQ(ShortenText("", 5), "");
  EXPECT_EQ(ShortenText("abcdefghij", 10), "abcdefghij");
  EXPECT_EQ(ShortenText("abcdefghijk", 10), "abc...ijk");
  EXPECT_EQ(ShortenText("/photos/2019/holiday/pic0102.pcd", 20), "/photos/...0102.pcd");
  // Characters, not bytes or UTF-16 units.
  EXPECT_EQ(ShortenText(QString::fromUtf8("äöüßäöüß😀öü"), 9), QString::fromUtf8("äöü...😀öü"));
}

TEST(RecordRecentOutputFolder, PutsTheFolderFirstOnceAndRefusesEmpty) {
  AppContext context;
  context.settings.advanced.outFoldersNumber = 5;
  context.settings.file.recentOutFolders = "/a/\t/b/\t/c/\t/d/\t/e/";
  EXPECT_FALSE(RecordRecentOutputFolder(context, ""));
  EXPECT_TRUE(RecordRecentOutputFolder(context, "/new/"));
  EXPECT_EQ(context.settings.file.recentOutFolders, "/new/\t/a/\t/b/\t/c/\t/d/");
  EXPECT_TRUE(RecordRecentOutputFolder(context, "/B/"));
  EXPECT_EQ(context.settings.file.recentOutFolders, "/B/\t/new/\t/a/\t/c/\t/d/");
}

}  // namespace
}  // namespace lumafold::test
