// The About box, built from catalog texts and the product's fixed lines.
#include "ui/about_dialog.h"

#include <QFrame>
#include <QMouseEvent>
#include <QPushButton>

#include "net/web_addresses.h"
#include "settings/product.h"
#include "settings/string_catalog.h"
#include "ui/builtin_images.h"
#include "ui/numbered_control.h"
#include "ui/system_dialogs.h"
#include "ui/web_links.h"

namespace lumafold::ui {

namespace {

constexpr int kControlBanner = 358;
constexpr int kControlTitle = 360;
constexpr int kControlNotice = 361;
constexpr int kControlFrame = 362;
constexpr int kControlWebLabel = 363;
constexpr int kControlMailLabel = 364;
constexpr int kControlWebLink = 365;
constexpr int kControlMailLink = 366;
constexpr int kControlOk = 370;

}  // namespace

LinkLabel::LinkLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {
  QPalette blue = palette();
  blue.setColor(QPalette::WindowText, QColor(0, 0, 255));
  setPalette(blue);
  setCursor(Qt::PointingHandCursor);
}

void LinkLabel::mouseReleaseEvent(QMouseEvent* event) {
  QLabel::mouseReleaseEvent(event);
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
    emit clicked();
}

QString MakerNotice() { return "Freeware by Quorvane. No warranty of any kind."; }

AboutDialog::AboutDialog(const StringCatalog& catalog, const SystemDialogs& dialogs,
                         QWidget* parent)
    : QDialog(parent) {
  setObjectName("window8");
  setWindowTitle(QString::fromStdString(catalog.text("About", "Title")));
  setFixedSize(360, 240);
  setModal(true);

  auto* banner = Numbered(new QLabel(this), kControlBanner, QRect(0, 0, 360, 40));
  banner->setPixmap(QPixmap::fromImage(BuiltInBanner()));
  auto* frame = Numbered(new QFrame(this), kControlFrame, QRect(0, 40, 360, 150));
  frame->setFrameShape(QFrame::Box);
  frame->setFrameShadow(QFrame::Sunken);

  auto* title = Numbered(new QLabel(QString::fromStdString(TitleLine()), this), kControlTitle,
                         QRect(20, 50, 320, 20));
  title->setAlignment(Qt::AlignCenter);
  auto* notice = Numbered(new QLabel(MakerNotice(), this), kControlNotice, QRect(20, 70, 320, 20));
  notice->setAlignment(Qt::AlignCenter);

  Numbered(new QLabel(QString::fromStdString(catalog.text("About", "Website")), this),
           kControlWebLabel, QRect(80, 100, 60, 20));
  Numbered(new QLabel(QString::fromStdString(catalog.text("About", "Email")), this),
           kControlMailLabel, QRect(80, 120, 50, 20));
  webLink_ =
      Numbered(new LinkLabel(kMakerWebText, this), kControlWebLink, QRect(140, 100, 215, 20));
  mailLink_ = Numbered(new LinkLabel(kSupportMailAddress, this), kControlMailLink,
                       QRect(140, 120, 215, 20));

  auto* ok = Numbered(new QPushButton(QString::fromStdString(catalog.text("Dialog", "OK")), this),
                      kControlOk, QRect(140, 200, 80, 25));
  // Return presses the default button; Escape rejects, which closes alike.
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);

  connect(webLink_, &LinkLabel::clicked, this,
          [this, &dialogs] { OpenOrSay(dialogs, this, MakerWebAddress()); });
  connect(mailLink_, &LinkLabel::clicked, this,
          [this, &dialogs] { OpenOrSay(dialogs, this, SupportMailLink()); });
  ok->setFocus();
}

}  // namespace lumafold::ui
