// The converter search window and the address it opens.
#include "ui/converter_search_dialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "settings/string_catalog.h"
#include "ui/numbered_control.h"
#include "ui/system_dialogs.h"
#include "ui/web_links.h"

namespace lumafold::ui {

namespace {

constexpr int kControlFromLabel = 347;
constexpr int kControlFrom = 348;
constexpr int kControlToLabel = 349;
constexpr int kControlTo = 350;
constexpr int kControlSearch = 351;

}  // namespace

ConverterSearchDialog::ConverterSearchDialog(const StringCatalog& catalog,
                                             const SystemDialogs& dialogs,
                                             std::function<void(const QString&)> warn,
                                             QWidget* parent)
    : QDialog(parent), catalog_(catalog), dialogs_(dialogs), warn_(std::move(warn)) {
  setObjectName("window6");
  auto text = [&catalog](const char* key) {
    return QString::fromStdString(catalog.text("Custom-Converter", key));
  };
  setWindowTitle(text("Title"));
  setFixedSize(370, 60);
  setModal(true);
  Numbered(new QLabel(text("From"), this), kControlFromLabel, QRect(10, 23, 40, 20));
  from_ = Numbered(new QLineEdit(this), kControlFrom, QRect(50, 20, 80, 20));
  Numbered(new QLabel(text("To"), this), kControlToLabel, QRect(150, 23, 30, 20));
  to_ = Numbered(new QLineEdit(this), kControlTo, QRect(180, 20, 80, 20));
  auto* searchButton =
      Numbered(new QPushButton(text("Search"), this), kControlSearch, QRect(280, 18, 80, 25));
  // Return in either field presses the default button, Search.
  searchButton->setDefault(true);
  connect(searchButton, &QPushButton::clicked, this, &ConverterSearchDialog::search);
  from_->setFocus();
}

void ConverterSearchDialog::search() {
  const QString from = CleanExtension(from_->text());
  const QString to = CleanExtension(to_->text());
  if (from.isEmpty() || to.isEmpty()) {
    // The typed texts stay for the user to correct.
    if (warn_) warn_(QString::fromStdString(catalog_.text("Msg", "Empty extensions")));
    return;
  }
  searchedFrom_ = from;
  searchedTo_ = to;
  hide();
  OpenOrSay(dialogs_, parentWidget(), ConverterSearchAddress(from, to));
  accept();
}

}  // namespace lumafold::ui
