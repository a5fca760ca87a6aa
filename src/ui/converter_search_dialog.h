// Window 6: two extension fields and Search, which opens the maker's
// converter catalogue for "<from>-<to>/". Return searches, Escape closes.
#pragma once

#include <QDialog>
#include <functional>

class QLineEdit;
class QPushButton;

namespace lumafold {
class StringCatalog;
}

namespace lumafold::ui {

struct SystemDialogs;

class ConverterSearchDialog : public QDialog {
  Q_OBJECT
 public:
  // `warn` shows the window's warning box.
  ConverterSearchDialog(const StringCatalog& catalog, const SystemDialogs& dialogs,
                        std::function<void(const QString&)> warn, QWidget* parent = nullptr);

  QLineEdit* fromField() const { return from_; }
  QLineEdit* toField() const { return to_; }

  // Search (351): opens the page and closes, or warns and stays open.
  void search();

  // The cleaned extensions of the last search that opened a page.
  const QString& searchedFrom() const { return searchedFrom_; }
  const QString& searchedTo() const { return searchedTo_; }

 private:
  const StringCatalog& catalog_;
  const SystemDialogs& dialogs_;
  std::function<void(const QString&)> warn_;
  QLineEdit* from_ = nullptr;
  QLineEdit* to_ = nullptr;
  QString searchedFrom_;
  QString searchedTo_;
};

}  // namespace lumafold::ui
