#include "ui/picture_loader.h"

#include <FreeImage.h>

#include <QMetaObject>
#include <QTransform>
#include <deque>
#include <mutex>

#include "engine/pcd_header.h"

namespace lumafold::ui {

namespace {

// FreeImage's Photo CD loader reads the three small levels straight from
// their fixed sectors. It keeps the rows bottom-up unless the low six bits
// of byte 0x48 are 8, and it ignores the rotation attribute; both are
// undone here, as the converter's own fallback does.
QImage DecodeSmallLevel(const std::string& path, PictureSize size) {
  const PhotoCdHeaderResult header = ReadPhotoCdHeader(path);
  if (!header.ok()) return {};
  FIBITMAP* bitmap = FreeImage_Load(FIF_PCD, path.c_str(),
                                    size == PictureSize::Thumbnail ? PCD_BASEDIV16 : PCD_BASE);
  if (!bitmap) return {};
  const int width = static_cast<int>(FreeImage_GetWidth(bitmap));
  const int height = static_cast<int>(FreeImage_GetHeight(bitmap));
  QImage image;
  if (FreeImage_GetBPP(bitmap) == 24 && width > 0 && height > 0) {
    image = QImage(width, height, QImage::Format_RGB888);
    const bool bottomUp = (header.header.firstSectorOrientationByte & 0x3F) != 8;
    for (int y = 0; y < height; ++y) {
      // FreeImage's scan line 0 is the bottom row of the picture.
      const BYTE* source = FreeImage_GetScanLine(bitmap, bottomUp ? height - 1 - y : y);
      uchar* target = image.scanLine(y);
      for (int x = 0; x < width; ++x) {
        target[3 * x] = source[3 * x + FI_RGBA_RED];
        target[3 * x + 1] = source[3 * x + FI_RGBA_GREEN];
        target[3 * x + 2] = source[3 * x + FI_RGBA_BLUE];
      }
    }
  }
  FreeImage_Unload(bitmap);
  if (image.isNull()) return image;
  // Quarter turns counter-clockwise for 1, clockwise for 3.
  static constexpr int kDegrees[] = {0, -90, 180, 90};
  const int turn = kDegrees[header.header.rotation & 3];
  return turn == 0 ? image : image.transformed(QTransform().rotate(turn));
}

}  // namespace

PictureDecoder PhotoCdPictureDecoder() { return DecodeSmallLevel; }

PictureFacts ReadPictureFacts(const std::string& path) {
  PictureFacts facts;
  const PhotoCdHeaderResult header = ReadPhotoCdHeader(path);
  if (!header.ok()) return facts;
  const std::optional<PixelSize> size = SizeOfIndex(HighestIndex(header.header));
  if (!size) return facts;
  facts.ok = true;
  const bool upright = header.header.rotation == 1 || header.header.rotation == 3;
  facts.width = upright ? size->height : size->width;
  facts.height = upright ? size->width : size->height;
  // Every Image Pac holds the three small levels; the header says whether
  // the file really holds the large ones.
  facts.levels = {"Base/16", "Base/4", "Base"};
  if (header.header.usableLevel >= PhotoCdLevel::FourBase) facts.levels << "4Base";
  if (header.header.usableLevel >= PhotoCdLevel::SixteenBase) facts.levels << "16Base";
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
