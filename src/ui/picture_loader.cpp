// The picture loader's worker thread and its queue of requests.
#include "ui/picture_loader.h"

#include <sys/stat.h>

#include <QMetaObject>
#include <algorithm>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>

#include "photocd/disc/disc_image.h"
#include "photocd/photocd.h"

namespace lumafold::ui {

// A row for a picture inside a disc image reads "<image>/PHOTO_CD/IMAGES/IMG0001.PCD":
// no file has that name, so the picture's bytes come from the image. Each
// image's directory is read once and kept while the image stays the same
// (size and time), so a disc of a hundred rows is not listed a hundred times.
class DiscListings {
 public:
  enum class Found { NotInDisc, Read, Failed };

  // The first `limit` bytes of the picture a disc path names (all of them
  // for 0), or why they cannot be had.
  Found read(const std::string& path, std::uint32_t limit, std::vector<std::uint8_t>& bytes,
             std::string& error) {
    struct stat status {};
    if (::stat(path.c_str(), &status) == 0) return Found::NotInDisc;
    for (std::size_t slash = path.rfind('/'); slash != std::string::npos && slash > 0;
         slash = path.rfind('/', slash - 1)) {
      const std::string image = path.substr(0, slash);
      if (::stat(image.c_str(), &status) != 0) continue;
      if (!S_ISREG(status.st_mode) || !disc::IsDiscImageName(image)) return Found::NotInDisc;
      const std::shared_ptr<const disc::DiscListing> listing = listingOf(image, status);
      if (!listing->ok) {
        error = "the disc image cannot be read: " + listing->error;
        return Found::Failed;
      }
      const std::string entry = path.substr(slash + 1);
      const auto file = std::find_if(listing->files.begin(), listing->files.end(),
                                     [&](const disc::DiscFile& f) { return f.path == entry; });
      if (file == listing->files.end()) {
        error = "the disc image holds no " + entry;
        return Found::Failed;
      }
      disc::DiscFile part = *file;
      if (limit != 0) part.size = std::min(part.size, limit);
      if (!disc::ReadDiscFile(image, part, bytes, error)) {
        error = "cannot be read from the disc image: " + error;
        return Found::Failed;
      }
      return Found::Read;
    }
    return Found::NotInDisc;
  }

 private:
  struct Kept {
    off_t size = 0;
    std::int64_t modified = 0;
    std::shared_ptr<const disc::DiscListing> listing;
  };

  std::shared_ptr<const disc::DiscListing> listingOf(const std::string& image,
                                                     const struct stat& status) {
    const std::int64_t modified =
        static_cast<std::int64_t>(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec;
    std::lock_guard<std::mutex> hold(lock_);
    Kept& kept = kept_[image];
    if (!kept.listing || kept.size != status.st_size || kept.modified != modified) {
      kept.size = status.st_size;
      kept.modified = modified;
      kept.listing = std::make_shared<const disc::DiscListing>(disc::ListDisc(image));
    }
    return kept.listing;
  }

  std::mutex lock_;
  std::map<std::string, Kept> kept_;
};

namespace {

// Base/16 with the header ends with sector 21 of an Image Pac.
constexpr std::uint32_t kThumbnailBytes = 22 * pcd::kSectorSize;

// The built-in decoder reads only the sectors of the small level it is
// asked for and gives it upright, as 8-bit RGB rows.
QImage DecodeSmallLevel(DiscListings& discs, const std::string& path, PictureSize size) {
  const pcd::Level level = size == PictureSize::Thumbnail ? pcd::Level::Base16 : pcd::Level::Base;
  std::vector<std::uint8_t> bytes;
  std::string error;
  pcd::Result result;
  switch (discs.read(path,
                     size == PictureSize::Thumbnail ? kThumbnailBytes
                                                    : static_cast<std::uint32_t>(pcd::kBaseEnd),
                     bytes, error)) {
    case DiscListings::Found::NotInDisc:
      result = pcd::DecodeThumbnail(path, level);
      break;
    case DiscListings::Found::Read: {
      pcd::Request request;
      request.highest = level;
      result = pcd::DecodeBytes(bytes, request);
      break;
    }
    case DiscListings::Found::Failed:
      return {};
  }
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

PictureDecoder PhotoCdPictureDecoder() {
  return [discs = std::make_shared<DiscListings>()](const std::string& path, PictureSize size) {
    return DecodeSmallLevel(*discs, path, size);
  };
}

PictureFacts ReadPictureFacts(const std::string& path) {
  DiscListings discs;
  return ReadPictureFacts(discs, path);
}

PictureFacts ReadPictureFacts(DiscListings& discs, const std::string& path) {
  // The decoder's own answer, not the header's claim: a scan cut short or
  // damaged in its largest level is converted at the level below, and the
  // caption says what the conversion will give. A picture inside a disc
  // image is decoded from its bytes, as its conversion decodes it.
  PictureFacts facts;
  pcd::Request request;
  request.highest = pcd::Level::SixteenBase;
  std::vector<std::uint8_t> bytes;
  std::string error;
  pcd::Result result;
  switch (discs.read(path, 0, bytes, error)) {
    case DiscListings::Found::NotInDisc:
      result = pcd::DecodeFile(path, request);
      break;
    case DiscListings::Found::Read:
      result = pcd::DecodeBytes(bytes, request);
      break;
    case DiscListings::Found::Failed:
      result.error = error;
      break;
  }
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
  DiscListings discs;  // the preview's facts; used by the one worker only
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
        const PictureFacts facts = ReadPictureFacts(shared->discs, file);
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
