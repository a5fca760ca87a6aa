// The rows of the preferences pages: a 160-pixel label and its control 160
// pixels further right, 30 pixels per row. Each row binds its control to
// one field of ConversionSettings: `load` fills the control from the
// field, `store` writes the control back. Every bound control is named
// "Section/Key" after the settings key of its field, so the rules and the
// tests find controls by the setting they edit.
#pragma once

#include <QSpinBox>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "settings/conversion_settings.h"

class QComboBox;
class QCheckBox;
class QDateTimeEdit;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QSlider;
class QToolButton;
class QWidget;

namespace lumafold {
class StringCatalog;
}

namespace lumafold::ui {

struct SystemDialogs;

// A spin box that accepts any typed integer and clamps it to its range at
// once, writing the clamped number back: typing -150 into -100..100 shows
// -100. Qt's own spin box would refuse the keystroke instead.
class ClampingSpinBox : public QSpinBox {
  Q_OBJECT
 public:
  explicit ClampingSpinBox(QWidget* parent = nullptr);

 protected:
  QValidator::State validate(QString& text, int& pos) const override;
  int valueFromText(const QString& text) const override;

 private:
  void clampTypedText(const QString& text);
};

// An int8 or int32 field of the settings record.
class IntField {
 public:
  IntField(std::int8_t& field) : i8_(&field) {}    // NOLINT: implicit on purpose
  IntField(std::int32_t& field) : i32_(&field) {}  // NOLINT
  int get() const { return i8_ ? *i8_ : *i32_; }
  void set(int value) const {
    if (i8_)
      *i8_ = static_cast<std::int8_t>(value);
    else
      *i32_ = value;
  }
  const void* address() const { return i8_ ? static_cast<const void*>(i8_) : i32_; }

 private:
  std::int8_t* i8_ = nullptr;
  std::int32_t* i32_ = nullptr;
};

struct Binding {
  std::function<void()> load;
  std::function<void()> store;
};

// A row's label and controls, for the enable and show rules.
struct Row {
  QLabel* label = nullptr;
  std::vector<QWidget*> controls;
  QWidget* main() const { return controls.empty() ? nullptr : controls.front(); }
  void setEnabled(bool enabled) const;
  void setVisible(bool visible) const;
};

// "Section/Key" of the settings key whose field lives at `field`; empty
// when no key does.
std::string SettingObjectName(ConversionSettings& settings, const void* field);

// What every page builder shares.
struct RowServices {
  ConversionSettings& settings;
  const StringCatalog& catalog;
  const SystemDialogs& dialogs;
  QWidget* dialog;                 // parent of the choosers
  std::vector<Binding>& bindings;  // rows append theirs
};

class PageBuilder {
 public:
  PageBuilder(QWidget* page, RowServices& services);

  // The widget the rows go on.
  QWidget* page() const { return page_; }

  // Texts of group "Preferences".
  QString text(std::string_view key) const;
  // The same, or `fallback` for a key the catalog does not hold (settings
  // newer than the catalog's texts).
  QString textOr(std::string_view key, std::string_view fallback) const;

  Row combo(std::string_view labelKey, std::initializer_list<std::string_view> choiceKeys,
            IntField field);
  // The same with texts already looked up.
  Row combo(const QString& label, const QStringList& choices, IntField field);
  // A drop-down with fixed entries and no setting (PCX "Compression").
  Row fixedCombo(std::string_view labelKey, std::initializer_list<std::string_view> choiceKeys);
  // A drop-down named after `field` whose entries and binding are the
  // caller's (entries known only when the page is built).
  QComboBox* namedCombo(std::string_view labelKey, const void* field);
  // A drop-down whose entries carry keys (format or language names) as
  // data, bound to a text field: a key none of them carries shows the
  // first entry, and a list without entries leaves the field alone.
  QComboBox* keyCombo(std::string_view labelKey, std::string& field);
  Row check(std::string_view labelKey, std::int8_t& field);
  // The same with a label of its own (a row the catalog has no text for).
  Row checkLabelled(const QString& label, std::int8_t& field);
  // Digits only; text without a number stores 0. The unit drop-down holds
  // the unit texts; with unitField it is bound as well.
  Row number(std::string_view labelKey, std::int32_t& field,
             std::initializer_list<std::string_view> unitKeys, std::int8_t* unitField = nullptr);
  // With trim, spaces, tabs, CR and LF at both ends are dropped on store.
  Row text(std::string_view labelKey, std::string& field, bool trim);
  // Slider sliderMin..sliderMax; the spin box shows slider - offset.
  Row slider(std::string_view labelKey, IntField field, int sliderMin, int sliderMax,
             int offset = 0);
  // Slider 1..999, spin field slider / 100 with two decimals.
  Row gamma(std::string_view labelKey, float& field);
  // Swatch button and read-only hex field.
  Row colourField(std::string_view labelKey, std::string& field);
  // Drop-down of the colours of `list` with their names, and "...".
  Row colourList(std::string_view labelKey, std::string& list, std::string& selected);
  // Drop-down of the names of `fonts`, and "..."; the chooser's size goes
  // into sizeField, whose number row must already exist.
  Row fontList(std::string_view labelKey, std::string& fonts, std::string& font,
               QLineEdit* sizeField);
  // Text field and "..." opening the watermark image requester.
  Row imageFile(std::string_view labelKey, std::string& field,
                std::function<QString(QWidget*)> requester);
  // Date-time picker showing yyyy/MM/dd HH:mm of a local-seconds date.
  Row dateTime(std::string_view labelKey, SettingsDate& field);
  // A spin box bound to an int field (no slider).
  Row spin(const QString& label, std::int32_t& field, int minimum, int maximum);

  // A label with a control of your own, not bound.
  QLabel* addLabel(const QString& label);
  QRect controlRect(int width) const;
  // A second control of the row, right of a first one `firstWidth` wide.
  QRect controlBeside(int firstWidth, int width) const;
  void nextRow() { ++rowIndex_; }

  // Height the rows use so far, for sizing scrolling panels.
  int usedHeight() const;

 private:
  void name(QWidget* control, const void* field, const char* suffix = "") const;
  // A labelled drop-down list with a "..." button beside it, both named
  // after `field`; the row's bindings are the caller's.
  std::pair<QComboBox*, QToolButton*> listWithChooser(std::string_view labelKey, Row& row,
                                                      const void* field);

  QWidget* page_;
  RowServices& services_;
  int rowIndex_ = 0;
};

inline constexpr int kRowHeight = 30;
inline constexpr int kLabelWidth = 160;

}  // namespace lumafold::ui
