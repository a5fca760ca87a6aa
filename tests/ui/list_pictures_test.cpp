// The input list's pictures: real Photo CD files get their thumbnails and
// the preview its size and levels, a damaged file a placeholder; thousands
// of rows load and scroll while decoding stays off the interface thread.
#include "ui/list_pictures.h"

#include <QLabel>
#include <QScrollBar>
#include <QThread>
#include <QTreeWidget>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <set>

#include "ui/after_preview.h"
#include "ui/input_list.h"
#include "ui/picture_loader.h"
#include "ui_test_support.h"

namespace lumafold::test {
namespace {

using namespace lumafold::ui;

// Waits, letting the interface run, until `done` holds (or time is up).
bool Eventually(const std::function<bool()>& done, int timeoutMs = 60000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QThread::msleep(2);
  }
  return true;
}

// The real decoder, counted, with a note of any call on the interface thread.
struct CountingDecoder {
  std::shared_ptr<std::atomic<int>> calls = std::make_shared<std::atomic<int>>(0);
  std::shared_ptr<std::atomic<int>> onInterfaceThread = std::make_shared<std::atomic<int>>(0);
  std::shared_ptr<std::mutex> lock = std::make_shared<std::mutex>();
  std::shared_ptr<std::set<std::string>> paths = std::make_shared<std::set<std::string>>();
  PictureDecoder inner;

  PictureDecoder decoder() const {
    return [calls = calls, gui = onInterfaceThread, lock = lock, paths = paths, inner = inner](
               const std::string& path, PictureSize size) {
      ++*calls;
      if (QThread::currentThread() == QCoreApplication::instance()->thread()) ++*gui;
      {
        std::lock_guard<std::mutex> hold(*lock);
        paths->insert(path);
      }
      return inner(path, size);
    };
  }
  bool decoded(const std::string& path) const {
    std::lock_guard<std::mutex> hold(*lock);
    return paths->count(path) > 0;
  }
};

class ListPicturesTest : public WindowTest {
 protected:
  MainWindow& OpenWith(PictureDecoder inner) {
    decoder_.inner = std::move(inner);
    window_ = std::make_unique<MainWindow>(*context_, RecordingPrompts(prompts_));
    window_->setPictureDecoder(decoder_.decoder());
    EXPECT_TRUE(window_->open());
    window_->resize(800, 560);
    EXPECT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
    QCoreApplication::processEvents();
    return *window_;
  }
  PictureLoader& loader() { return window_->pictures()->loader(); }

  CountingDecoder decoder_;
};

// Not one colour: a decoded scan, not a blank or a placeholder.
bool HasDetail(const QImage& image) {
  if (image.isNull()) return false;
  const QRgb first = image.pixel(0, 0);
  int differing = 0;
  for (int y = 0; y < image.height(); y += 3)
    for (int x = 0; x < image.width(); x += 3)
      if (qAbs(qGray(image.pixel(x, y)) - qGray(first)) > 24) ++differing;
  return differing > 20;
}

TEST_F(ListPicturesTest, RealScansGetThumbnailsAndADamagedFileAPlaceholder) {
  OpenWith(PhotoCdPictureDecoder());
  QStringList scans;
  for (const auto& entry : fs::directory_iterator(SamplesFolder()))
    if (entry.path().extension() == ".pcd") scans << QString::fromStdString(entry.path().string());
  ASSERT_GE(scans.size(), 2);
  // A Photo CD file cut short inside its header's sector, and one that is
  // no Photo CD at all.
  const std::string cut = files_ / "cut.pcd";
  WriteFile(cut, ReadFile(scans[0].toStdString()).substr(0, 3000));
  const std::string foreign = MakeInput(files_ / "foreign.pcd");
  for (const QString& scan : scans) window_->inputList().addFile(scan.toStdString());
  window_->inputList().addFile(cut);
  window_->inputList().addFile(foreign);

  auto known = [&](const QString& path) {
    return loader().state(path) != PictureLoader::State::Unknown;
  };
  ASSERT_TRUE(Eventually([&] {
    for (const QString& scan : scans)
      if (!known(scan)) return false;
    return known(QString::fromStdString(cut)) && known(QString::fromStdString(foreign));
  }));
  for (const QString& scan : scans) {
    EXPECT_EQ(loader().state(scan), PictureLoader::State::Ready) << scan.toStdString();
    const QImage thumbnail = loader().thumbnail(scan);
    EXPECT_LE(thumbnail.width(), kThumbnailWidth);
    EXPECT_LE(thumbnail.height(), kThumbnailHeight);
    EXPECT_TRUE(HasDetail(thumbnail)) << scan.toStdString();
  }
  EXPECT_EQ(loader().state(QString::fromStdString(cut)), PictureLoader::State::Damaged);
  EXPECT_EQ(loader().state(QString::fromStdString(foreign)), PictureLoader::State::Damaged);
  // Every row shows a picture; the damaged rows show a different one.
  QTreeWidget* list = window_->inputListView();
  Eventually([&] { return !list->topLevelItem(list->topLevelItemCount() - 1)->icon(0).isNull(); },
             5000);
  const QImage damagedIcon = list->topLevelItem(scans.size())->icon(0).pixmap(48, 32).toImage();
  for (int i = 0; i < list->topLevelItemCount(); ++i)
    EXPECT_FALSE(list->topLevelItem(i)->icon(0).isNull()) << i;
  EXPECT_NE(list->topLevelItem(0)->icon(0).pixmap(48, 32).toImage(), damagedIcon);
  EXPECT_EQ(list->topLevelItem(scans.size() + 1)->icon(0).pixmap(48, 32).toImage(), damagedIcon);
  EXPECT_EQ(*decoder_.onInterfaceThread, 0);
}

TEST_F(ListPicturesTest, SelectingAFileShowsItsPreviewSizeAndLevels) {
  OpenWith(PhotoCdPictureDecoder());
  const std::string base = SamplesFolder() + "kodim19.pcd";
  const std::string large = SamplesFolder() + "kodim05-16base.pcd";
  window_->inputList().addFile(base);
  window_->inputList().addFile(large);
  QTreeWidget* list = window_->inputListView();
  QLabel* facts = window_->pictures()->previewFacts();
  QLabel* picture = window_->pictures()->previewImage();

  list->setCurrentItem(list->topLevelItem(1));
  ASSERT_TRUE(Eventually([&] { return facts->isVisible() && facts->text().contains("16Base"); }));
  EXPECT_EQ(facts->text(), "3072 x 2048\nBase/16 to 16Base");
  ASSERT_FALSE(picture->pixmap().isNull());
  // Scaled to fit its column, keeping the 3:2 shape of the Base image.
  EXPECT_LE(picture->pixmap().width(), picture->width());
  EXPECT_NEAR(picture->pixmap().width() * 2.0 / 3.0, picture->pixmap().height(), 2.0);
  EXPECT_TRUE(HasDetail(picture->pixmap().toImage()));

  list->setCurrentItem(list->topLevelItem(0));
  ASSERT_TRUE(Eventually([&] { return !facts->text().contains("16Base"); }));
  EXPECT_TRUE(facts->text().endsWith("\nBase/16 to Base")) << facts->text().toStdString();

  // Cut short before its largest level: the caption says what the decoder
  // (and so the conversion) gives, not what the header claims. (A file cut
  // inside 16Base keeps it, with the lost rows rebuilt from 4Base.)
  const std::string whole = ReadFile(large);
  const std::string cut = files_ / "cut.pcd";
  WriteFile(cut, whole.substr(0, whole.size() - 3500000));
  window_->inputList().addFile(cut);
  list->setCurrentItem(list->topLevelItem(2));
  ASSERT_TRUE(Eventually([&] { return facts->text().contains("4Base"); }));
  EXPECT_EQ(facts->text(), "1536 x 1024\nBase/16 to 4Base");
  EXPECT_TRUE(facts->toolTip().contains("16Base")) << facts->toolTip().toStdString();

  // Switched off on the Interface page: no pictures, nothing decoded.
  context_->settings.interface.showThumbnails = 0;
  window_->settingsChanged();
  EXPECT_FALSE(facts->isVisible());
  EXPECT_TRUE(list->topLevelItem(0)->icon(0).isNull());
  const int before = *decoder_.calls;
  window_->inputList().addFile(SamplesFolder() + "kodim23.pcd");
  list->setCurrentItem(list->topLevelItem(2));
  QTest::qWait(200);
  EXPECT_EQ(*decoder_.calls, before);
  EXPECT_EQ(*decoder_.onInterfaceThread, 0);
}

TEST_F(ListPicturesTest, FiveThousandRowsLoadAndScrollWithoutWaitingForDecoding) {
  // A slow decoder (a network share, a damaged disc): 20 ms a file. Adding
  // and scrolling must not wait for it.
  const std::string sample = SamplesFolder() + "kodim19.pcd";
  OpenWith([sample](const std::string&, PictureSize size) {
    QThread::msleep(20);
    return PhotoCdPictureDecoder()(sample, size);
  });
  const int kRows = 5000;
  // (std::string(1, 'f').append(...): GCC 12 warns falsely about "f" + string.)
  const auto name = [](int i) { return std::string(1, 'f').append(std::to_string(i)) + ".pcd"; };
  for (int i = 0; i < kRows; ++i) WriteFile(files_ / name(i), "x");
  using Clock = std::chrono::steady_clock;
  const auto addStart = Clock::now();
  for (int i = 0; i < kRows; ++i)
    window_->inputList().addFile(files_ / name(i));
  QCoreApplication::processEvents();
  const auto addEnd = Clock::now();
  QTreeWidget* list = window_->inputListView();
  ASSERT_EQ(list->topLevelItemCount(), kRows);

  // A jump to the middle and on to the end, faster than the decoder: the
  // rows passed over are dropped from the queue, never decoded, and the
  // rows at the end get their pictures without waiting for them.
  QScrollBar* bar = list->verticalScrollBar();
  bar->setValue(bar->maximum() / 2);
  QCoreApplication::processEvents();
  bar->setValue(bar->maximum());
  QCoreApplication::processEvents();
  QTreeWidgetItem* last = list->topLevelItem(kRows - 1);
  ASSERT_TRUE(
      Eventually([&] { return loader().state(last->text(0)) == PictureLoader::State::Ready; }));
  for (int i : {100, 1000, 2000, 3000, 4000, kRows - 100})
    EXPECT_FALSE(decoder_.decoded(files_ / ("f" + std::to_string(i) + ".pcd"))) << i;
  EXPECT_LT(*decoder_.calls, 100);

  // Page by page back to the top, as a user paging through: the time is
  // printed, not judged (a shared machine), and decoding runs alongside.
  const auto scrollStart = Clock::now();
  int steps = 0;
  for (int value = bar->maximum(); value >= 0; value -= bar->pageStep(), ++steps) {
    bar->setValue(value);
    QCoreApplication::processEvents();
  }
  const auto scrollEnd = Clock::now();
  auto ms = [](Clock::duration d) {
    return static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(d).count());
  };
  std::printf(
      "[ timing ] %d rows added in %lld ms; %d page steps in %lld ms (%.2f ms a step); %d "
      "files decoded meanwhile\n",
      kRows, ms(addEnd - addStart), steps, ms(scrollEnd - scrollStart),
      steps ? static_cast<double>(ms(scrollEnd - scrollStart)) / steps : 0.0,
      decoder_.calls->load());
  EXPECT_EQ(*decoder_.onInterfaceThread, 0);
}

// A picture inside a disc image has no file of its own: its thumbnail and
// caption are read from the image, and match those of the extracted file.
TEST_F(ListPicturesTest, PicturesInsideADiscImageShowAsTheirExtractedFiles) {
  OpenWith(PhotoCdPictureDecoder());
  const std::string discs = files_ / "discs";
  ASSERT_TRUE(MakeDiscImages(discs));
  const std::string images = "/PHOTO_CD/IMAGES/";
  window_->inputList().addFile(discs + "/one.iso");
  window_->inputList().addFile(discs + "/cut.iso");
  const QStringList inDisc = {QString::fromStdString(discs + "/one.iso" + images + "IMG0002.PCD"),
                              QString::fromStdString(discs + "/one.iso" + images + "IMG0003.PCD")};
  const QStringList extracted = {
      QString::fromStdString(discs + "/extracted/one" + images + "IMG0002.PCD"),
      QString::fromStdString(discs + "/extracted/one" + images + "IMG0003.PCD")};
  for (const QString& path : extracted) window_->inputList().addFile(path.toStdString());
  QTreeWidget* list = window_->inputListView();
  ASSERT_EQ(list->topLevelItemCount(), 8);  // three a disc and two extracted
  auto ready = [&](const QStringList& paths) {
    for (const QString& path : paths)
      if (loader().state(path) != PictureLoader::State::Ready) return false;
    return true;
  };
  window_->pictures()->refreshRowsInView();
  ASSERT_TRUE(Eventually([&] { return ready(inDisc) && ready(extracted); }))
      << int(loader().state(inDisc[0]));
  for (int i = 0; i < 2; ++i) {
    EXPECT_TRUE(HasDetail(loader().thumbnail(inDisc[i]))) << i;
    EXPECT_EQ(loader().thumbnail(inDisc[i]), loader().thumbnail(extracted[i])) << i;
  }

  QLabel* facts = window_->pictures()->previewFacts();
  auto rowOf = [&](const QString& path) { return list->findItems(path, Qt::MatchExactly)[0]; };
  list->setCurrentItem(rowOf(inDisc[1]));
  ASSERT_TRUE(Eventually([&] { return facts->isVisible() && facts->text().contains("16Base"); }));
  EXPECT_EQ(facts->text(), "3072 x 2048\nBase/16 to 16Base");
  EXPECT_TRUE(HasDetail(window_->pictures()->previewImage()->pixmap().toImage()));
  list->setCurrentItem(rowOf(inDisc[0]));
  ASSERT_TRUE(Eventually([&] { return facts->text().endsWith("to 4Base"); }));
  EXPECT_EQ(facts->text(), "1536 x 1024\nBase/16 to 4Base");

  // The image ends inside its third picture: the caption tells why that
  // picture cannot be converted.
  list->setCurrentItem(rowOf(QString::fromStdString(discs + "/cut.iso" + images + "IMG0003.PCD")));
  ASSERT_TRUE(Eventually([&] { return facts->text() == "?"; }));
  EXPECT_TRUE(facts->toolTip().contains("disc image")) << facts->toolTip().toStdString();
  EXPECT_EQ(*decoder_.onInterfaceThread, 0);
}

// Under the original, the picture as the settings would write it: worked
// out off the interface thread and again when the preferences change.
TEST_F(ListPicturesTest, AfterPictureFollowsTheSettingsOffTheInterfaceThread) {
  OpenWith(PhotoCdPictureDecoder());
  window_->inputList().addFile(SamplesFolder() + "kodim19.pcd");
  window_->inputListView()->setCurrentItem(window_->inputListView()->topLevelItem(0));
  AfterPreview& after = *window_->afterPreview();
  QLabel* label = after.pictureLabel();
  ASSERT_TRUE(Eventually([&] { return after.shownCount() > 0 && label->isVisible(); }));
  const QImage plain = after.picture();
  EXPECT_TRUE(HasDetail(plain));
  ASSERT_NE(after.lastWorkerThread(), nullptr);
  EXPECT_NE(after.lastWorkerThread(), QCoreApplication::instance()->thread());
  // Inside the preview's box, under the original's facts.
  const QLabel* facts = window_->pictures()->previewFacts();
  EXPECT_GE(label->y(), facts->geometry().bottom());
  const Rect& box = window_->currentLayout().preview;
  EXPECT_TRUE(QRect(box.x, box.y, box.width, box.height).contains(label->geometry()));

  const auto changed = [&](const std::function<void(ConversionSettings&)>& change) {
    const int shown = after.shownCount();
    change(context_->settings);
    window_->settingsChanged();
    EXPECT_TRUE(Eventually([&] { return after.shownCount() > shown; }));
    return after.picture();
  };
  const QImage grey = changed([](auto& s) { s.adjustment.doImageGreyscale = 1; });
  EXPECT_EQ(grey.size(), plain.size());
  int coloured = 0;
  for (int y = 0; y < grey.height(); y += 2)
    for (int x = 0; x < grey.width(); x += 2) {
      const QRgb p = grey.pixel(x, y);
      coloured += qRed(p) != qGreen(p) || qGreen(p) != qBlue(p);
    }
  EXPECT_EQ(coloured, 0);
  EXPECT_TRUE(HasDetail(grey));
  const QImage turned = changed([](auto& s) {
    s.transform.doImageRotation = 1;
    s.transform.imageRotation = 90;
  });
  EXPECT_EQ(turned.size(), plain.size().transposed());
  EXPECT_NE(after.lastWorkerThread(), QCoreApplication::instance()->thread());
}

}  // namespace
}  // namespace lumafold::test
