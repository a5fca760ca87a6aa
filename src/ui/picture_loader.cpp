// The picture loader's worker thread and its queue of requests.
#include "ui/picture_loader.h"

#include <QMetaObject>
#include <cstring>
#include <deque>
#include <mutex>

#include "photocd/photocd.h"

namespace lumafold::ui {

namespace {

// The built-in decoder reads only the sectors of the small level it is
// asked for and gives it upright, as 8-bit RGB rows.
QImage DecodeSmallLevel(const std::string& path, PictureSize size) {
  const pcd::Result result = pcd::DecodeThumbnail(
      path, size == PictureSize::Thumbnail ? pcd::Level::Base16 : pcd::Level::Base);
  const pcd::Picture& picture = result.picture;
  if (!result.ok || picture.width <= 0 || picture.height <= 0 ||
      picture.rgb8.size() != static_cast<std::size_t>(picture.width) * picture.height * 3)
    return {};
  QImage image(picture.width, picture.height, QImage::Format_RGB888);
  for (int y = 0; y < picture.height; ++y)
    std::memcpy(image.scanLine(y),
                picture.rgb8.data() + static_cast<std::size_t>(y) * picture.width * 3,
                static_cast<std::size_t>(picture.width) * 3);
  return image;
}

}  // namespace

PictureDecoder PhotoCdPictureDecoder() { return DecodeSmallLevel; }

PictureFacts ReadPictureFacts(const std::string& path) {
  // The decoder's own answer, not the header's claim: a scan cut short or
  // damaged in its largest level is converted at the level below, and the
  // caption says what the conversion will give.
  PictureFacts facts;
  pcd::Request request;
  request.highest = pcd::Level::SixteenBase;
  const pcd::Result result = pcd::DecodeFile(path, request);
  if (!result.ok) {
    facts.note = QString::fromStdString(result.error);
    return facts;
  }
  facts.ok = true;
  facts.width = result.picture.width;
  facts.height = result.picture.height;
  facts.note = QString::fromStdString(result.picture.note);
  constexpr const char* kLevelNames[] = {"Base/16", "Base/4", "Base", "4Base", "16Base"};
  for (int level = 0; level <= static_cast<int>(result.picture.level) && level < 5; ++level)
    facts.levels << kLevelNames[level];
  return facts;
}

struct PictureLoader::Shared {
  std::mutex lock;
  PictureDecoder decoder;
  std::deque<QString> queue;
  QString preview;
  bool previewPending = false;
  bool running = false;
  bool stopping = false;
  int generation = 0;  // moved on by forget(): older results are dropped
};

PictureLoader::PictureLoader(PictureDecoder decoder, QObject* parent)
    : QObject(parent), shared_(std::make_shared<Shared>()) {
  shared_->decoder = std::move(decoder);
  // One file at a time: the interface stays smooth on two cores while a
  // conversion runs, and a thumbnail costs milliseconds.
  pool_.setMaxThreadCount(1);
}

PictureLoader::~PictureLoader() {
  {
    std::lock_guard<std::mutex> hold(shared_->lock);
    shared_->stopping = true;
    shared_->queue.clear();
    shared_->previewPending = false;
  }
  pool_.waitForDone();
}

PictureLoader::State PictureLoader::state(const QString& path) const {
  const auto it = thumbnails_.constFind(path);
  if (it == thumbnails_.constEnd()) return State::Unknown;
  return it->isNull() ? State::Damaged : State::Ready;
}

QImage PictureLoader::thumbnail(const QString& path) const { return thumbnails_.value(path); }

void PictureLoader::want(const QStringList& paths) {
  std::lock_guard<std::mutex> hold(shared_->lock);
  shared_->queue.clear();
  for (const QString& path : paths)
    if (!thumbnails_.contains(path)) shared_->queue.push_back(path);
  start();
}

void PictureLoader::wantPreview(const QString& path) {
  std::lock_guard<std::mutex> hold(shared_->lock);
  shared_->preview = path;
  shared_->previewPending = true;
  start();
}

void PictureLoader::forget() {
  std::lock_guard<std::mutex> hold(shared_->lock);
  shared_->queue.clear();
  shared_->previewPending = false;
  ++shared_->generation;
  thumbnails_.clear();
}

// Called with the lock held.
void PictureLoader::start() {
  Shared& shared = *shared_;
  if (shared.running || shared.stopping || (shared.queue.empty() && !shared.previewPending)) return;
  shared.running = true;
  pool_.start([shared = shared_, self = this] {
    for (;;) {
      QString path;
      bool preview = false;
      int generation = 0;
      {
        std::lock_guard<std::mutex> hold(shared->lock);
        if (shared->stopping || (shared->queue.empty() && !shared->previewPending)) {
          shared->running = false;
          return;
        }
        // The selected file first: the user is looking at it.
        if (shared->previewPending) {
          path = shared->preview;
          shared->previewPending = false;
          preview = true;
        } else {
          path = shared->queue.front();
          shared->queue.pop_front();
        }
        generation = shared->generation;
      }
      const std::string file = path.toStdString();
      if (preview) {
        const QImage image = shared->decoder(file, PictureSize::Preview);
        const PictureFacts facts = ReadPictureFacts(file);
        // The loader outlives every task (its destructor waits), and Qt
        // drops calls queued to an object that is gone.
        QMetaObject::invokeMethod(
            self,
            [self, shared, path, image, facts, generation] {
              if (generation == shared->generation) emit self->previewReady(path, image, facts);
            },
            Qt::QueuedConnection);
        continue;
      }
      QImage image = shared->decoder(file, PictureSize::Thumbnail);
      if (!image.isNull())
        image = image
                    .scaled(kThumbnailWidth, kThumbnailHeight, Qt::KeepAspectRatio,
                            Qt::SmoothTransformation)
                    .convertToFormat(QImage::Format_RGB888);
      QMetaObject::invokeMethod(
          self, [self, path, image, generation] { self->store(path, image, generation); },
          Qt::QueuedConnection);
    }
  });
}

void PictureLoader::store(const QString& path, const QImage& image, int generation) {
  ++decoded_;
  {
    std::lock_guard<std::mutex> hold(shared_->lock);
    if (generation != shared_->generation) return;
  }
  thumbnails_.insert(path, image);
  emit thumbnailReady(path);
}

}  // namespace lumafold::ui
