#include "ui/after_preview.h"

#include <QEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QMetaObject>
#include <QPixmap>
#include <algorithm>
#include <cstring>
#include <mutex>
#include <optional>

#include "engine/app_context.h"
#include "engine/run/preview_conversion.h"
#include "engine/writers/write_output.h"
#include "ui/list_pictures.h"

namespace lumafold::ui {

namespace {

// Below this the picture says nothing; the column keeps the original only.
constexpr int kSmallestSide = 24;

struct Work {
  RgbPicture before;
  std::string path;
  ConversionSettings settings;
  ConversionJob job;
  double scale = 1.0;
  int generation = 0;
};

RgbPicture ToRgb(const QImage& image) {
  const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
  RgbPicture picture;
  picture.width = rgb.width();
  picture.height = rgb.height();
  const std::size_t rowBytes = static_cast<std::size_t>(rgb.width()) * 3;
  picture.rgb.resize(rowBytes * static_cast<std::size_t>(rgb.height()));
  for (int y = 0; y < rgb.height(); ++y)
    std::memcpy(picture.rgb.data() + static_cast<std::size_t>(y) * rowBytes, rgb.constScanLine(y),
                rowBytes);
  return picture;
}

QImage ToImage(const RgbPicture& picture) {
  if (!picture.valid()) return {};
  QImage image(picture.width, picture.height, QImage::Format_RGB888);
  const std::size_t rowBytes = static_cast<std::size_t>(picture.width) * 3;
  for (int y = 0; y < picture.height; ++y)
    std::memcpy(image.scanLine(y), picture.rgb.data() + static_cast<std::size_t>(y) * rowBytes,
                rowBytes);
  return image;
}

}  // namespace

struct AfterPreview::Shared {
  std::mutex lock;
  std::optional<Work> pending;  // only the newest request is kept
  bool running = false;
  bool stopping = false;
};

AfterPreview::AfterPreview(AppContext& context, ListPictures& pictures, QWidget* parent)
    : QObject(parent),
      context_(context),
      original_(pictures.previewImage()),
      originalFacts_(pictures.previewFacts()),
      label_(new QLabel(parent)),
      shared_(std::make_shared<Shared>()) {
  label_->setObjectName("afterPreview");
  label_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  label_->hide();
  // One at a time: a newer request replaces a waiting one, and the
  // thumbnails keep the other core.
  pool_.setMaxThreadCount(1);
  connect(&pictures.loader(), &PictureLoader::previewReady, this, &AfterPreview::beforeArrived);
  // The original's picture is shown and hidden by the list (a new list,
  // thumbnails switched off); this one goes with it.
  original_->installEventFilter(this);
}

AfterPreview::~AfterPreview() {
  {
    std::lock_guard<std::mutex> hold(shared_->lock);
    shared_->stopping = true;
    shared_->pending.reset();
  }
  pool_.waitForDone();
}

QRect AfterPreview::place(const QRect& area) {
  // The original keeps its natural height (3:2 at the column's width and
  // its facts, as ListPictures lays them out); this picture goes right under
  // them in what is left, at most a square so that a quarter turn shows
  // upright too.
  const QFontMetrics metrics = originalFacts_ ? originalFacts_->fontMetrics() : label_->fontMetrics();
  const int lines = metrics.horizontalAdvance("Base/16 to 16Base") > area.width() ? 3 : 2;
  const int beforeHeight = area.width() * 2 / 3 + 4 + lines * metrics.height() + 2 + 6;
  const int room = std::min(area.width(), area.height() - beforeHeight);
  roomy_ = room >= kSmallestSide;
  if (!roomy_) {
    showOrHide();
    return area;
  }
  label_->setGeometry(area.x(), area.y() + beforeHeight, area.width(), room);
  fit();
  showOrHide();
  return QRect(area.x(), area.y(), area.width(), beforeHeight);
}

void AfterPreview::settingsChanged() { request(); }

bool AfterPreview::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Show || event->type() == QEvent::Hide) showOrHide();
  return QObject::eventFilter(watched, event);
}

void AfterPreview::beforeArrived(const QString& path, const QImage& image,
                                 const PictureFacts& facts) {
  path_ = path;
  before_ = image;
  // Lengths in the settings are output pixels; the small decode stands for
  // the full picture the conversion decodes.
  scale_ = facts.ok && facts.width > 0 && !image.isNull()
               ? static_cast<double>(image.width()) / facts.width
               : 1.0;
  after_ = QImage();
  request();
}

void AfterPreview::request() {
  ++generation_;
  if (before_.isNull()) {
    after_ = QImage();
    showOrHide();
    return;
  }
  Work work;
  work.before = ToRgb(before_);
  work.path = path_.toStdString();
  work.settings = context_.settings;
  work.scale = scale_;
  work.generation = generation_;
  // The output format's fields as a run would set them; a format the
  // registry does not know leaves the depth alone.
  PrepareJobForOutput(work.job, work.settings, context_.formats);
  work.job.clock = context_.job.clock;
  work.job.inputFolder = context_.job.inputFolder;
  work.job.sequenceNumber = context_.job.sequenceNumber;
  work.job.randomNumber = context_.job.randomNumber;

  std::lock_guard<std::mutex> hold(shared_->lock);
  shared_->pending = std::move(work);
  if (shared_->running || shared_->stopping) return;
  shared_->running = true;
  pool_.start([shared = shared_, self = this] {
    for (;;) {
      Work next;
      {
        std::lock_guard<std::mutex> hold(shared->lock);
        if (shared->stopping || !shared->pending) {
          shared->running = false;
          return;
        }
        next = std::move(*shared->pending);
        shared->pending.reset();
      }
      const QImage image = ToImage(
          PreviewConversion(next.before, next.path, next.settings, next.job, next.scale));
      QThread* worker = QThread::currentThread();
      // The object outlives every task (its destructor waits).
      QMetaObject::invokeMethod(
          self,
          [self, image, generation = next.generation, worker] {
            self->arrived(image, generation, worker);
          },
          Qt::QueuedConnection);
    }
  });
}

void AfterPreview::arrived(const QImage& image, int generation, QThread* worker) {
  if (generation != generation_) return;  // the settings or the file changed since
  after_ = image;
  workerThread_ = worker;
  ++shown_;
  fit();
  showOrHide();
  emit pictureReady();
}

void AfterPreview::fit() {
  const QSize area = label_->size();
  if (after_.isNull() || area.isEmpty()) return;
  label_->setPixmap(
      QPixmap::fromImage(after_.scaled(area, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
  label_->setToolTip(path_);
}

void AfterPreview::showOrHide() {
  label_->setVisible(roomy_ && !after_.isNull() && original_ &&
                     original_->isVisibleTo(original_->parentWidget()));
}

}  // namespace lumafold::ui
