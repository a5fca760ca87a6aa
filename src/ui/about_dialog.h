// Window 8, the About box: the banner, the title line, the maker's notice
// and two links (web page and support mail). OK, Return, Escape and the
// close box all close it.
#pragma once

#include <QDialog>
#include <QLabel>

namespace lumafold {
class StringCatalog;
}

namespace lumafold::ui {

struct SystemDialogs;

// A label that reads as a link: blue text, a hand cursor, a click signal.
class LinkLabel : public QLabel {
  Q_OBJECT
 public:
  LinkLabel(const QString& text, QWidget* parent);

 signals:
  void clicked();

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override;
};

class AboutDialog : public QDialog {
  Q_OBJECT
 public:
  AboutDialog(const StringCatalog& catalog, const SystemDialogs& dialogs,
              QWidget* parent = nullptr);

  LinkLabel* webLink() const { return webLink_; }
  LinkLabel* mailLink() const { return mailLink_; }

 private:
  LinkLabel* webLink_ = nullptr;
  LinkLabel* mailLink_ = nullptr;
};

// The maker's notice line under the title.
QString MakerNotice();

}  // namespace lumafold::ui
