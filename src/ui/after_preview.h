// The after half of the window's before/after preview: under the selected
// file's picture and its facts, the same picture as the current settings
// would write it. It is worked out on a worker thread from the preview's
// small decode by the conversion's own steps (preview_conversion.h), again
// whenever the settings or the output format change.
#pragma once

#include <QImage>
#include <QObject>
#include <QPointer>
#include <QThread>
#include <QThreadPool>
#include <memory>

#include "ui/picture_loader.h"

class QLabel;

namespace lumafold {
struct AppContext;
}

namespace lumafold::ui {

class ListPictures;

class AfterPreview : public QObject {
  Q_OBJECT

 public:
  // Follows the preview of `pictures`; the picture is a child of `parent`.
  AfterPreview(AppContext& context, ListPictures& pictures, QWidget* parent);
  ~AfterPreview() override;

  // Takes the room under the original picture and its facts from the
  // preview column `area`; gives back the part left to them.
  QRect place(const QRect& area);
  // The settings or the output format changed.
  void settingsChanged();

  QLabel* pictureLabel() const { return label_; }
  // The latest result at the small decode's scale; null before the first.
  QImage picture() const { return after_; }
  // Results shown so far, and the thread the latest was worked out on.
  int shownCount() const { return shown_; }
  QThread* lastWorkerThread() const { return workerThread_; }

 signals:
  void pictureReady();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct Shared;
  void beforeArrived(const QString& path, const QImage& image, const PictureFacts& facts);
  void request();
  void arrived(const QImage& image, int generation, QThread* worker);
  void fit();
  void showOrHide();

  AppContext& context_;
  // The original's widgets, which the list may take down before this.
  QPointer<QLabel> original_;
  QPointer<QLabel> originalFacts_;
  QLabel* label_;
  std::shared_ptr<Shared> shared_;
  QThreadPool pool_;
  QString path_;
  QImage before_;
  double scale_ = 1.0;
  QImage after_;
  int generation_ = 0;
  int shown_ = 0;
  QThread* workerThread_ = nullptr;
  bool roomy_ = false;  // place() found room for it
};

}  // namespace lumafold::ui
