// The input list's pictures: a thumbnail on each row in view, loaded in the
// background, and the preview of the selected file in the column under the
// Convert button, with its size and its levels. "Show Thumbnails" of the
// Interface page switches both off.
#pragma once

#include <QIcon>
#include <QObject>
#include <QTimer>
#include <memory>

#include "ui/picture_loader.h"

class QLabel;
class QTreeWidget;
class QTreeWidgetItem;

namespace lumafold::ui {

class ListPictures : public QObject {
  Q_OBJECT

 public:
  // Watches `list`; the preview widgets are children of `previewParent`.
  ListPictures(QTreeWidget* list, QWidget* previewParent, PictureDecoder decoder);
  ~ListPictures() override;

  void setEnabled(bool enabled);
  bool enabled() const { return enabled_; }
  // The preview's place (the column under the Convert button).
  void placePreview(const QRect& area);
  // After "New": every picture is forgotten.
  void listCleared();

  PictureLoader& loader() { return *loader_; }
  QLabel* previewImage() const { return previewImage_; }
  QLabel* previewFacts() const { return previewFacts_; }

  // Thumbnails for the rows now in view, at once (normally coalesced
  // after scrolling, resizing and adding).
  void refreshRowsInView();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void scheduleRefresh();
  void showPreviewOf(QTreeWidgetItem* item);
  void previewArrived(const QString& path, const QImage& image, const PictureFacts& facts);
  void fitPreview();

  QTreeWidget* list_;
  QWidget* viewport_ = nullptr;
  std::unique_ptr<PictureLoader> loader_;
  QLabel* previewImage_;
  QLabel* previewFacts_;
  QIcon waiting_;
  QIcon damaged_;
  QImage preview_;
  QString previewPath_;
  QTimer refresh_;
  bool enabled_ = false;
};

}  // namespace lumafold::ui
