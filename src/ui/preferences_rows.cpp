// The row kinds of the preferences pages and the binding of each control to
// its settings field.
#include "ui/preferences_rows.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QSlider>
#include <QTimeZone>
#include <QToolButton>
#include <algorithm>
#include <cmath>
#include <variant>

#include "engine/steps/font_loader.h"
#include "settings/settings_keys.h"
#include "settings/string_catalog.h"
#include "settings/text_utils.h"
#include "ui/colour_names.h"
#include "ui/system_dialogs.h"

namespace lumafold::ui {

namespace {

// The family fontconfig gives the watermark for a name ("Liberation Sans"
// for "Arial"); empty when the watermark could not use the name.
QString InstalledFamily(const QString& name) {
  WatermarkSettings probe;
  probe.font = name.toStdString();
  probe.fontSize = 12;
  const std::shared_ptr<WatermarkFont> font = LoadWatermarkFont(probe);
  return font ? QString::fromStdString(font->family) : QString();
}

constexpr int kLabelX = 10;
constexpr int kControlX = kLabelX + kLabelWidth;
constexpr int kTopMargin = 6;
constexpr int kControlHeight = 22;
constexpr int kComboWidth = 200;
constexpr int kSliderWidth = 170;
constexpr int kSpinWidth = 64;
constexpr int kNumberWidth = 80;
constexpr int kUnitWidth = 90;
constexpr int kButtonWidth = 26;
constexpr int kGap = 6;

std::string TrimWhitespace(std::string_view text) {
  constexpr std::string_view kBlank = " \t\r\n";
  const std::size_t first = text.find_first_not_of(kBlank);
  if (first == std::string_view::npos) return {};
  const std::size_t last = text.find_last_not_of(kBlank);
  return std::string(text.substr(first, last - first + 1));
}

int IndexOfData(const QComboBox* box, const QString& data, Qt::CaseSensitivity cs) {
  for (int i = 0; i < box->count(); ++i)
    if (box->itemData(i).toString().compare(data, cs) == 0) return i;
  return -1;
}

void AppendToList(std::string& list, const std::string& entry) {
  if (!list.empty()) list += ",";
  list += entry;
}

// A choice list that stores its index. A stored value outside the list
// shows no selection; storing then keeps it rather than writing -1.
Binding IndexBinding(QComboBox* box, IntField field) {
  return {
      [box, field] {
        const int value = field.get();
        box->setCurrentIndex(value >= 0 && value < box->count() ? value : -1);
      },
      [box, field] {
        if (box->currentIndex() >= 0) field.set(box->currentIndex());
      },
  };
}

}  // namespace

// --- ClampingSpinBox ---------------------------------------------------

ClampingSpinBox::ClampingSpinBox(QWidget* parent) : QSpinBox(parent) {
  connect(lineEdit(), &QLineEdit::textChanged, this, &ClampingSpinBox::clampTypedText);
}

QValidator::State ClampingSpinBox::validate(QString& text, int&) const {
  static const QRegularExpression kInteger("^-?[0-9]{0,9}$");
  if (!kInteger.match(text).hasMatch()) return QValidator::Invalid;
  if (text.isEmpty() || text == "-") return QValidator::Intermediate;
  return QValidator::Acceptable;
}

int ClampingSpinBox::valueFromText(const QString& text) const {
  bool ok = false;
  const long long typed = text.toLongLong(&ok);
  if (!ok) return minimum();
  return static_cast<int>(std::clamp<long long>(typed, minimum(), maximum()));
}

void ClampingSpinBox::clampTypedText(const QString& text) {
  bool ok = false;
  const long long typed = text.toLongLong(&ok);
  if (!ok || (typed >= minimum() && typed <= maximum())) return;
  const int clamped = static_cast<int>(std::clamp<long long>(typed, minimum(), maximum()));
  // The spin box already holds the clamped value but leaves the typed text
  // on show; writing the number back is what the user must see.
  setValue(clamped);
  lineEdit()->setText(textFromValue(clamped));
}

// --- Row -----------------------------------------------------------------

void Row::setEnabled(bool enabled) const {
  if (label) label->setEnabled(enabled);
  for (QWidget* w : controls) w->setEnabled(enabled);
}

void Row::setVisible(bool visible) const {
  if (label) label->setVisible(visible);
  for (QWidget* w : controls) w->setVisible(visible);
}

std::string SettingObjectName(ConversionSettings& settings, const void* field) {
  for (const SettingKey& key : SettingsKeys()) {
    const void* address = std::visit([](auto* p) -> const void* { return p; }, key.field(settings));
    if (address == field) return std::string(key.section) + "/" + key.key;
  }
  return {};
}

// --- PageBuilder ---------------------------------------------------------

PageBuilder::PageBuilder(QWidget* page, RowServices& services) : page_(page), services_(services) {}

QString PageBuilder::text(std::string_view key) const {
  return QString::fromStdString(services_.catalog.text("Preferences", key));
}

QString PageBuilder::textOr(std::string_view key, std::string_view fallback) const {
  const std::string found = services_.catalog.text("Preferences", key);
  return QString::fromStdString(found == StringCatalog::kMissingText ? std::string(fallback)
                                                                     : found);
}

void PageBuilder::name(QWidget* control, const void* field, const char* suffix) const {
  const std::string name = SettingObjectName(services_.settings, field);
  if (!name.empty()) control->setObjectName(QString::fromStdString(name + suffix));
}

QLabel* PageBuilder::addLabel(const QString& label) {
  auto* l = new QLabel(label, page_);
  // 20 pixels, or the font's line where a larger desktop font needs more.
  const int height = std::max(20, page_->fontMetrics().height() + 2);
  l->setGeometry(kLabelX, kTopMargin + rowIndex_ * kRowHeight + 2, kLabelWidth, height);
  return l;
}

QRect PageBuilder::controlRect(int width) const {
  // Taller for a larger font, within the 30-pixel row.
  const int height = std::clamp(page_->fontMetrics().height() + 8, kControlHeight, kRowHeight - 2);
  return QRect(kControlX, kTopMargin + rowIndex_ * kRowHeight, width, height);
}

QRect PageBuilder::controlBeside(int firstWidth, int width) const {
  QRect rect = controlRect(width);
  rect.moveLeft(rect.left() + firstWidth + kGap);
  return rect;
}

int PageBuilder::usedHeight() const { return kTopMargin * 2 + rowIndex_ * kRowHeight; }

Row PageBuilder::combo(std::string_view labelKey,
                       std::initializer_list<std::string_view> choiceKeys, IntField field) {
  QStringList choices;
  for (std::string_view key : choiceKeys) choices << text(key);
  return combo(text(labelKey), choices, field);
}

Row PageBuilder::combo(const QString& label, const QStringList& choices, IntField field) {
  Row row;
  row.label = addLabel(label);
  auto* box = new QComboBox(page_);
  box->setGeometry(controlRect(kComboWidth));
  box->addItems(choices);
  name(box, field.address());
  row.controls = {box};
  services_.bindings.push_back(IndexBinding(box, field));
  nextRow();
  return row;
}

Row PageBuilder::fixedCombo(std::string_view labelKey,
                            std::initializer_list<std::string_view> choiceKeys) {
  Row row;
  row.label = addLabel(text(labelKey));
  auto* box = new QComboBox(page_);
  box->setGeometry(controlRect(kComboWidth));
  for (std::string_view key : choiceKeys) box->addItem(text(key));
  row.controls = {box};
  nextRow();
  return row;
}

QComboBox* PageBuilder::namedCombo(std::string_view labelKey, const void* field) {
  auto* box = static_cast<QComboBox*>(fixedCombo(labelKey, {}).main());
  name(box, field);
  return box;
}

QComboBox* PageBuilder::keyCombo(std::string_view labelKey, std::string& field) {
  QComboBox* box = namedCombo(labelKey, &field);
  std::string* f = &field;
  services_.bindings.push_back({[box, f] {
                                  const int i = box->findData(QString::fromStdString(*f));
                                  box->setCurrentIndex(i >= 0 ? i : 0);
                                },
                                [box, f] {
                                  if (box->currentIndex() >= 0)
                                    *f = box->currentData().toString().toStdString();
                                }});
  return box;
}

Row PageBuilder::check(std::string_view labelKey, std::int8_t& field) {
  return checkLabelled(text(labelKey), field);
}

Row PageBuilder::checkLabelled(const QString& label, std::int8_t& field) {
  Row row;
  row.label = addLabel(label);
  auto* box = new QCheckBox(page_);
  box->setGeometry(controlRect(kControlHeight));
  name(box, &field);
  row.controls = {box};
  std::int8_t* f = &field;
  services_.bindings.push_back(
      {[box, f] { box->setChecked(*f != 0); }, [box, f] { *f = box->isChecked() ? 1 : 0; }});
  nextRow();
  return row;
}

Row PageBuilder::number(std::string_view labelKey, std::int32_t& field,
                        std::initializer_list<std::string_view> unitKeys, std::int8_t* unitField) {
  Row row;
  row.label = addLabel(text(labelKey));
  auto* edit = new QLineEdit(page_);
  edit->setGeometry(controlRect(kNumberWidth));
  // Nine digits always fit the 32-bit field.
  edit->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]{0,9}"), edit));
  name(edit, &field);
  auto* unit = new QComboBox(page_);
  unit->setGeometry(controlBeside(kNumberWidth, kUnitWidth));
  for (std::string_view key : unitKeys) unit->addItem(text(key));
  row.controls = {edit, unit};
  std::int32_t* f = &field;
  services_.bindings.push_back({[edit, f] { edit->setText(QString::number(*f)); },
                                [edit, f] { *f = LeadingInteger(edit->text().toStdString()); }});
  if (unitField != nullptr) {
    name(unit, unitField);
    services_.bindings.push_back(IndexBinding(unit, *unitField));
  }
  nextRow();
  return row;
}

Row PageBuilder::text(std::string_view labelKey, std::string& field, bool trim) {
  Row row;
  row.label = addLabel(text(labelKey));
  auto* edit = new QLineEdit(page_);
  edit->setGeometry(controlRect(kComboWidth + kGap + kButtonWidth));
  name(edit, &field);
  row.controls = {edit};
  std::string* f = &field;
  services_.bindings.push_back({[edit, f] { edit->setText(QString::fromStdString(*f)); },
                                [edit, f, trim] {
                                  const std::string value = edit->text().toStdString();
                                  *f = trim ? TrimWhitespace(value) : value;
                                }});
  nextRow();
  return row;
}

Row PageBuilder::slider(std::string_view labelKey, IntField field, int sliderMin, int sliderMax,
                        int offset) {
  Row row;
  row.label = addLabel(text(labelKey));
  auto* bar = new QSlider(Qt::Horizontal, page_);
  bar->setGeometry(controlRect(kSliderWidth));
  bar->setRange(sliderMin, sliderMax);
  auto* spin = new ClampingSpinBox(page_);
  spin->setGeometry(controlBeside(kSliderWidth, kSpinWidth));
  spin->setRange(sliderMin - offset, sliderMax - offset);
  name(spin, field.address());
  name(bar, field.address(), ":slider");
  QObject::connect(bar, &QSlider::valueChanged, spin,
                   [spin, offset](int v) { spin->setValue(v - offset); });
  QObject::connect(spin, &QSpinBox::valueChanged, bar,
                   [bar, offset](int v) { bar->setValue(v + offset); });
  row.controls = {bar, spin};
  services_.bindings.push_back({[spin, bar, field, offset] {
                                  spin->setValue(field.get());
                                  bar->setValue(spin->value() + offset);
                                },
                                [bar, field, offset] { field.set(bar->value() - offset); }});
  nextRow();
  return row;
}

Row PageBuilder::gamma(std::string_view labelKey, float& field) {
  Row row;
  row.label = addLabel(text(labelKey));
  auto* bar = new QSlider(Qt::Horizontal, page_);
  bar->setGeometry(controlRect(kSliderWidth));
  bar->setRange(1, 999);
  auto* spin = new QDoubleSpinBox(page_);
  spin->setGeometry(controlBeside(kSliderWidth, kSpinWidth));
  spin->setDecimals(2);
  spin->setRange(0.01, 9.99);
  spin->setSingleStep(0.01);
  name(spin, &field);
  name(bar, &field, ":slider");
  QObject::connect(bar, &QSlider::valueChanged, spin, [spin](int v) { spin->setValue(v / 100.0); });
  QObject::connect(spin, &QDoubleSpinBox::valueChanged, bar,
                   [bar](double v) { bar->setValue(static_cast<int>(std::lround(v * 100.0))); });
  row.controls = {bar, spin};
  float* f = &field;
  services_.bindings.push_back({[bar, spin, f] {
                                  // NaN and the infinities of a damaged file land at the ends.
                                  const double hundredths =
                                      std::isnan(*f) ? 100.0 : std::clamp(*f * 100.0, 1.0, 999.0);
                                  bar->setValue(static_cast<int>(std::lround(hundredths)));
                                  spin->setValue(bar->value() / 100.0);
                                },
                                [bar, f] { *f = static_cast<float>(bar->value()) / 100.0f; }});
  nextRow();
  return row;
}

Row PageBuilder::colourField(std::string_view labelKey, std::string& field) {
  Row row;
  row.label = addLabel(text(labelKey));
  auto* swatch = new QToolButton(page_);
  swatch->setGeometry(controlRect(kControlHeight));
  auto* hex = new QLineEdit(page_);
  hex->setGeometry(controlBeside(kControlHeight, kNumberWidth));
  hex->setReadOnly(true);
  name(hex, &field);
  name(swatch, &field, ":swatch");
  auto show = [swatch, hex](const std::string& value) {
    const std::string normal = NormalizeHex(value);
    hex->setText(QString::fromStdString(normal));
    swatch->setIcon(ColourSwatch(ColourFromHex(normal), 14));
  };
  const SystemDialogs& dialogs = services_.dialogs;
  QWidget* parent = services_.dialog;
  QObject::connect(swatch, &QToolButton::clicked, swatch, [&dialogs, parent, hex, show] {
    if (!dialogs.chooseColour) return;
    if (auto chosen = dialogs.chooseColour(parent, ColourFromHex(hex->text().toStdString())))
      show(HexFromColour(*chosen));
  });
  row.controls = {swatch, hex};
  std::string* f = &field;
  services_.bindings.push_back(
      {[show, f] { show(*f); }, [hex, f] { *f = NormalizeHex(hex->text().toStdString()); }});
  nextRow();
  return row;
}

std::pair<QComboBox*, QToolButton*> PageBuilder::listWithChooser(std::string_view labelKey,
                                                                 Row& row, const void* field) {
  row.label = addLabel(text(labelKey));
  auto* box = new QComboBox(page_);
  box->setGeometry(controlRect(kComboWidth));
  auto* add = new QToolButton(page_);
  add->setGeometry(controlBeside(kComboWidth, kButtonWidth));
  add->setText("...");
  name(box, field);
  name(add, field, ":add");
  return {box, add};
}

Row PageBuilder::colourList(std::string_view labelKey, std::string& list, std::string& selected) {
  Row row;
  const auto chooser = listWithChooser(labelKey, row, &selected);
  QComboBox* box = chooser.first;
  QToolButton* add = chooser.second;
  const StringCatalog& catalog = services_.catalog;
  auto addEntry = [box, &catalog](const std::string& hex) {
    box->addItem(ColourSwatch(ColourFromHex(hex)), ColourName(catalog, hex),
                 QString::fromStdString(hex));
  };
  std::string* listField = &list;
  std::string* selectedField = &selected;
  const SystemDialogs& dialogs = services_.dialogs;
  QWidget* parent = services_.dialog;
  QObject::connect(add, &QToolButton::clicked, add, [&dialogs, parent, box, addEntry, listField] {
    if (!dialogs.chooseColour) return;
    const QColor current = box->currentIndex() >= 0
                               ? ColourFromHex(box->currentData().toString().toStdString())
                               : QColor(Qt::black);
    auto chosen = dialogs.chooseColour(parent, current);
    if (!chosen) return;
    const std::string hex = HexFromColour(*chosen);
    int index = IndexOfData(box, QString::fromStdString(hex), Qt::CaseInsensitive);
    if (index < 0) {
      // Appended to the setting at once: it stays even if
      // the dialog is then cancelled.
      addEntry(hex);
      AppendToList(*listField, hex);
      index = box->count() - 1;
    }
    box->setCurrentIndex(index);
  });
  row.controls = {box, add};
  services_.bindings.push_back(
      {[box, addEntry, listField, selectedField] {
         box->clear();
         for (const std::string& entry : SplitCommaList(*listField)) addEntry(NormalizeHex(entry));
         box->setCurrentIndex(IndexOfData(box, QString::fromStdString(NormalizeHex(*selectedField)),
                                          Qt::CaseInsensitive));
       },
       [box, selectedField] {
         if (box->currentIndex() >= 0) *selectedField = box->currentData().toString().toStdString();
       }});
  nextRow();
  return row;
}

Row PageBuilder::fontList(std::string_view labelKey, std::string& fonts, std::string& font,
                          QLineEdit* sizeField) {
  Row row;
  const auto chooser = listWithChooser(labelKey, row, &font);
  QComboBox* box = chooser.first;
  QToolButton* add = chooser.second;
  std::string* fontsField = &fonts;
  std::string* fontField = &font;
  const SystemDialogs& dialogs = services_.dialogs;
  QWidget* parent = services_.dialog;
  const StringCatalog& catalog = services_.catalog;
  QObject::connect(
      add, &QToolButton::clicked, add, [&dialogs, &catalog, parent, box, fontsField, sizeField] {
        if (!dialogs.chooseFont) return;
        const int size = sizeField ? sizeField->text().toInt() : 0;
        const QString current = box->currentText();
        // Qt's chooser lists installed families only: "Arial"
        // would open on its first entry. It opens on the face
        // the name stands for (Liberation Sans), and handing
        // that face back unchanged keeps the name.
        const QString installed = InstalledFamily(current);
        QFont initial(installed.isEmpty() ? current : installed);
        if (size > 0) initial.setPointSize(size);
        auto chosen = dialogs.chooseFont(parent, initial);
        if (!chosen) return;
        QString family = chosen->family();
        if (!installed.isEmpty() && family.compare(installed, Qt::CaseInsensitive) == 0)
          family = current;
        // The watermark draws through fontconfig, not Qt: a
        // face it cannot create is refused here, not at Convert.
        if (InstalledFamily(family).isEmpty()) {
          if (dialogs.notice)
            dialogs.notice(parent, NoticeKind::Error,
                           QString::fromStdString(catalog.text("Msg", "Warning")),
                           QString::fromStdString(catalog.Formatted("Msg", "Invalid watermark font",
                                                                    {family.toStdString()})));
          return;
        }
        int index = box->findText(family, Qt::MatchFixedString);
        if (index < 0) {
          box->addItem(family);
          AppendToList(*fontsField, family.toStdString());
          index = box->count() - 1;
        }
        box->setCurrentIndex(index);
        if (sizeField && chosen->pointSize() > 0)
          sizeField->setText(QString::number(chosen->pointSize()));
      });
  row.controls = {box, add};
  services_.bindings.push_back({[box, fontsField, fontField] {
                                  box->clear();
                                  for (const std::string& name : SplitCommaList(*fontsField))
                                    box->addItem(QString::fromStdString(name));
                                  box->setCurrentIndex(box->findText(
                                      QString::fromStdString(*fontField), Qt::MatchFixedString));
                                },
                                [box, fontField] {
                                  if (box->currentIndex() >= 0)
                                    *fontField = box->currentText().toStdString();
                                }});
  nextRow();
  return row;
}

Row PageBuilder::imageFile(std::string_view labelKey, std::string& field,
                           std::function<QString(QWidget*)> requester) {
  Row row;
  row.label = addLabel(text(labelKey));
  auto* edit = new QLineEdit(page_);
  edit->setGeometry(controlRect(kComboWidth));
  auto* browse = new QToolButton(page_);
  browse->setGeometry(controlBeside(kComboWidth, kButtonWidth));
  browse->setText("...");
  name(edit, &field);
  name(browse, &field, ":browse");
  QWidget* parent = services_.dialog;
  QObject::connect(browse, &QToolButton::clicked, browse, [requester, parent, edit] {
    if (!requester) return;
    const QString chosen = requester(parent);
    if (!chosen.isEmpty()) edit->setText(chosen);
  });
  row.controls = {edit, browse};
  std::string* f = &field;
  services_.bindings.push_back({[edit, f] { edit->setText(QString::fromStdString(*f)); },
                                [edit, f] { *f = TrimWhitespace(edit->text().toStdString()); }});
  nextRow();
  return row;
}

Row PageBuilder::dateTime(std::string_view labelKey, SettingsDate& field) {
  Row row;
  row.label = addLabel(text(labelKey));
  auto* picker = new QDateTimeEdit(page_);
  picker->setGeometry(controlRect(150));
  // The record counts local wall-clock seconds as if they were UTC, so the
  // picker works in UTC and shows exactly the stored fields.
  picker->setTimeSpec(Qt::UTC);
  picker->setDisplayFormat("yyyy/MM/dd HH:mm");
  picker->setCalendarPopup(true);
  name(picker, &field);
  row.controls = {picker};
  SettingsDate* f = &field;
  services_.bindings.push_back(
      {[picker, f] { picker->setDateTime(QDateTime::fromSecsSinceEpoch(*f, Qt::UTC)); },
       [picker, f] {
         const qint64 shown = picker->dateTime().toSecsSinceEpoch();
         // The picker has no seconds; an untouched minute keeps them.
         if (shown / 60 == static_cast<qint64>(*f) / 60) return;
         *f = static_cast<SettingsDate>(std::clamp<qint64>(shown, INT32_MIN, INT32_MAX));
       }});
  nextRow();
  return row;
}

Row PageBuilder::spin(const QString& label, std::int32_t& field, int minimum, int maximum) {
  Row row;
  row.label = addLabel(label);
  auto* box = new ClampingSpinBox(page_);
  box->setGeometry(controlRect(kSpinWidth));
  box->setRange(minimum, maximum);
  name(box, &field);
  row.controls = {box};
  std::int32_t* f = &field;
  services_.bindings.push_back({[box, f] { box->setValue(*f); }, [box, f] { *f = box->value(); }});
  nextRow();
  return row;
}

}  // namespace lumafold::ui
