// Pictures of the input files for the window: small thumbnails for the rows
// of the list that are in view, and one larger preview of the selected file.
// Decoding runs on a worker thread only; the interface thread asks, and is
// told when a picture is ready, so that scrolling never waits for a file.
#pragma once

#include <QHash>
#include <QImage>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QThreadPool>
#include <functional>
#include <memory>
#include <string>

namespace lumafold::ui {

enum class PictureSize {
  Thumbnail,  // Base/16, 192x128
  Preview,    // Base, 768x512
};

// Decodes a file upright at that size; a null image when it cannot (a
// damaged or foreign file). Called on worker threads only.
using PictureDecoder = std::function<QImage(const std::string& path, PictureSize size)>;

// What the preview tells besides the picture, as the decoder finds the
// file (the conversion decodes it the same way).
struct PictureFacts {
  bool ok = false;
  int width = 0;  // upright size of the highest level the decoder could use
  int height = 0;
  QStringList levels;  // "Base/16", "Base/4", "Base", "4Base", "16Base"
  // Why a level the header declares is not used, or why nothing could be.
  QString note;
};

// The listings of the disc images whose pictures are in the list.
class DiscListings;

// The built-in Photo CD decoder's thumbnail entry. A path below a disc
// image ("<image>/PHOTO_CD/IMAGES/IMG0001.PCD") is read from the image.
PictureDecoder PhotoCdPictureDecoder();
PictureFacts ReadPictureFacts(const std::string& path);
PictureFacts ReadPictureFacts(DiscListings& discs, const std::string& path);

// The size thumbnails are kept at (3:2, as every Image Pac level).
inline constexpr int kThumbnailWidth = 48;
inline constexpr int kThumbnailHeight = 32;

class PictureLoader : public QObject {
  Q_OBJECT

 public:
  explicit PictureLoader(PictureDecoder decoder, QObject* parent = nullptr);
  ~PictureLoader() override;

  enum class State { Unknown, Ready, Damaged };
  State state(const QString& path) const;
  // The thumbnail of a Ready path (kThumbnailWidth x kThumbnailHeight at
  // most); null otherwise.
  QImage thumbnail(const QString& path) const;

  // The rows now in view, top first. Their thumbnails are decoded next;
  // paths asked for before and not named again are dropped from the queue
  // (a file already in hand is finished and kept).
  void want(const QStringList& paths);
  // The preview of one file; a newer request replaces an older one.
  void wantPreview(const QString& path);
  // Forgets every picture and request ("New", thumbnails switched off).
  void forget();

  // Files decoded so far (for the tests and the benchmark).
  int decodedCount() const { return decoded_; }

 signals:
  void thumbnailReady(const QString& path);
  void previewReady(const QString& path, const QImage& image, const PictureFacts& facts);

 private:
  struct Shared;
  void start();
  void store(const QString& path, const QImage& image, int generation);

  std::shared_ptr<Shared> shared_;
  QThreadPool pool_;
  QHash<QString, QImage> thumbnails_;  // null image: damaged
  int decoded_ = 0;
};

}  // namespace lumafold::ui
