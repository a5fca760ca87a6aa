// Thumbnails and the preview as the list shows them: requests for the rows
// in view, and the pictures placed when the loader hands them back.
#include "ui/list_pictures.h"

#include <QEvent>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QScrollBar>
#include <QTreeWidget>
#include <algorithm>

namespace lumafold::ui {

namespace {

// The role that remembers which picture a row shows, so that a row is
// given its icon once and not on every scroll.
constexpr int kShownRole = Qt::UserRole + 1;
enum Shown { kNothing = 0, kWaiting, kPicture, kDamaged };

// Drawn, not themed: a grey frame while the file is read, a crossed frame
// for a file that cannot be decoded.
QIcon Placeholder(bool damaged) {
  QPixmap pixmap(kThumbnailWidth, kThumbnailHeight);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setPen(QColor(150, 150, 150));
  painter.setBrush(QColor(235, 235, 235));
  painter.drawRect(0, 0, kThumbnailWidth - 1, kThumbnailHeight - 1);
  if (damaged) {
    painter.setPen(QPen(QColor(190, 40, 40), 2));
    painter.drawLine(6, 6, kThumbnailWidth - 7, kThumbnailHeight - 7);
    painter.drawLine(kThumbnailWidth - 7, 6, 6, kThumbnailHeight - 7);
  }
  return QIcon(pixmap);
}

// Thumbnails keep the row's aspect: a portrait scan is centred in the
// landscape cell, so the text of every row starts at the same place.
QIcon ThumbnailIcon(const QImage& image) {
  QPixmap cell(kThumbnailWidth, kThumbnailHeight);
  cell.fill(Qt::transparent);
  QPainter painter(&cell);
  painter.drawImage((kThumbnailWidth - image.width()) / 2, (kThumbnailHeight - image.height()) / 2,
                    image);
  return QIcon(cell);
}

}  // namespace

ListPictures::ListPictures(QTreeWidget* list, QWidget* previewParent, PictureDecoder decoder)
    : QObject(list),
      list_(list),
      loader_(std::make_unique<PictureLoader>(std::move(decoder))),
      previewImage_(new QLabel(previewParent)),
      previewFacts_(new QLabel(previewParent)),
      waiting_(Placeholder(false)),
      damaged_(Placeholder(true)) {
  previewImage_->setObjectName("preview");
  previewImage_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  previewFacts_->setObjectName("previewFacts");
  previewFacts_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  previewFacts_->setWordWrap(true);
  previewImage_->hide();
  previewFacts_->hide();

  // Scrolling, resizing and new rows all end in one pass over the rows in
  // view, once the interface is idle again.
  refresh_.setSingleShot(true);
  refresh_.setInterval(0);
  connect(&refresh_, &QTimer::timeout, this, &ListPictures::refreshRowsInView);
  connect(list_->verticalScrollBar(), &QScrollBar::valueChanged, this,
          &ListPictures::scheduleRefresh);
  connect(list_->model(), &QAbstractItemModel::rowsInserted, this, &ListPictures::scheduleRefresh);
  connect(list_->model(), &QAbstractItemModel::rowsRemoved, this, &ListPictures::scheduleRefresh);
  connect(list_, &QTreeWidget::currentItemChanged, this,
          [this](QTreeWidgetItem* item) { showPreviewOf(item); });
  viewport_ = list_->viewport();
  viewport_->installEventFilter(this);

  connect(loader_.get(), &PictureLoader::thumbnailReady, this, &ListPictures::scheduleRefresh);
  connect(loader_.get(), &PictureLoader::previewReady, this, &ListPictures::previewArrived);
}

ListPictures::~ListPictures() = default;

void ListPictures::setEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  list_->setIconSize(enabled ? QSize(kThumbnailWidth, kThumbnailHeight) : QSize());
  if (!enabled) {
    loader_->forget();
    for (int i = 0; i < list_->topLevelItemCount(); ++i) {
      QTreeWidgetItem* item = list_->topLevelItem(i);
      item->setIcon(0, QIcon());
      item->setData(0, kShownRole, kNothing);
    }
    previewImage_->hide();
    previewFacts_->hide();
    previewPath_.clear();
    return;
  }
  scheduleRefresh();
  showPreviewOf(list_->currentItem());
}

void ListPictures::placePreview(const QRect& area) {
  // The picture fills the column's width at 3:2 where the height allows;
  // the two lines of facts go under it, three where the levels line wraps.
  const QFontMetrics metrics = previewFacts_->fontMetrics();
  const int lines = metrics.horizontalAdvance("Base/16 to 16Base") > area.width() ? 3 : 2;
  const int factsHeight = lines * metrics.height() + 2;
  const int pictureHeight = std::clamp(area.height() - factsHeight - 4, 0, area.width() * 2 / 3);
  previewImage_->setGeometry(area.x(), area.y(), area.width(), pictureHeight);
  previewFacts_->setGeometry(area.x(), area.y() + pictureHeight + 4, area.width(),
                             std::max(0, area.height() - pictureHeight - 4));
  fitPreview();
}

void ListPictures::listCleared() {
  loader_->forget();
  previewPath_.clear();
  preview_ = QImage();
  previewImage_->hide();
  previewFacts_->hide();
}

bool ListPictures::eventFilter(QObject* watched, QEvent* event) {
  // The viewport as met at the start: while the list is torn down its
  // children still send events, and the list is no longer one to ask.
  if (event->type() == QEvent::Resize && watched == viewport_) scheduleRefresh();
  return QObject::eventFilter(watched, event);
}

void ListPictures::scheduleRefresh() {
  if (enabled_ && !refresh_.isActive()) refresh_.start();
}

void ListPictures::refreshRowsInView() {
  if (!enabled_ || list_->topLevelItemCount() == 0) {
    if (enabled_) loader_->want({});
    return;
  }
  QStringList wanted;
  const int bottom = list_->viewport()->height();
  QTreeWidgetItem* item = list_->itemAt(0, 0);
  int index = item ? list_->indexOfTopLevelItem(item) : 0;
  // Only the rows in view are touched: cost follows the window, not the
  // length of the list.
  for (; index < list_->topLevelItemCount(); ++index) {
    item = list_->topLevelItem(index);
    const QRect rect = list_->visualItemRect(item);
    if (rect.top() > bottom) break;
    const QString path = item->text(0);
    const int shown = item->data(0, kShownRole).toInt();
    switch (loader_->state(path)) {
      case PictureLoader::State::Ready:
        if (shown != kPicture) {
          item->setIcon(0, ThumbnailIcon(loader_->thumbnail(path)));
          item->setData(0, kShownRole, kPicture);
        }
        break;
      case PictureLoader::State::Damaged:
        if (shown != kDamaged) {
          item->setIcon(0, damaged_);
          item->setData(0, kShownRole, kDamaged);
        }
        break;
      case PictureLoader::State::Unknown:
        if (shown != kWaiting) {
          item->setIcon(0, waiting_);
          item->setData(0, kShownRole, kWaiting);
        }
        wanted << path;
        break;
    }
  }
  loader_->want(wanted);
}

void ListPictures::showPreviewOf(QTreeWidgetItem* item) {
  if (!enabled_) return;
  if (!item) {
    listCleared();
    return;
  }
  const QString path = item->text(0);
  if (path == previewPath_) return;
  previewPath_ = path;
  loader_->wantPreview(path);
}

void ListPictures::previewArrived(const QString& path, const QImage& image,
                                  const PictureFacts& facts) {
  if (!enabled_ || path != previewPath_) return;
  preview_ = image;
  // Numbers and level names read the same in every language. A file holds
  // every level from Base/16 up to its highest, so the range says it all,
  // and the narrow column never breaks a name at its "/".
  QString levels = facts.levels.isEmpty() ? QString() : facts.levels.first();
  if (facts.levels.size() > 1) levels += " to " + facts.levels.last();
  const QString text =
      facts.ok ? QString("%1 x %2\n%3").arg(facts.width).arg(facts.height).arg(levels)
               : QString("?");
  previewFacts_->setText(text);
  previewFacts_->setToolTip(facts.note);
  previewImage_->setToolTip(facts.note.isEmpty() ? path : path + "\n" + facts.note);
  fitPreview();
  previewImage_->show();
  previewFacts_->show();
}

void ListPictures::fitPreview() {
  const QSize area = previewImage_->size();
  if (area.isEmpty()) return;
  if (preview_.isNull()) {
    previewImage_->setPixmap(damaged_.pixmap(kThumbnailWidth, kThumbnailHeight));
    return;
  }
  previewImage_->setPixmap(
      QPixmap::fromImage(preview_.scaled(area, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
}

}  // namespace lumafold::ui
