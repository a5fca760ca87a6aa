// What the preferences dialog's frame and its page files share: the
// layout of the dialog and the helpers that build pages and panels. Each
// page is built by a PreferencesDialog member of its own file.
#pragma once

#include <QComboBox>
#include <QRect>
#include <QScrollArea>
#include <QStackedWidget>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <string_view>

#include "settings/format_choices.h"
#include "settings/string_catalog.h"
#include "ui/preferences_rows.h"

namespace lumafold::ui::prefs {

inline constexpr int kClientWidth = 600;
inline constexpr int kClientHeight = 350;
inline constexpr QRect kPageListRect(10, 10, 120, 295);
inline constexpr QRect kHeaderRect(140, 10, 450, 30);
inline constexpr QRect kPageAreaRect(140, 50, 450, 255);
inline constexpr QRect kDefaultsRect(10, 315, 80, 25);
inline constexpr QRect kOkRect(420, 315, 80, 25);
inline constexpr QRect kCancelRect(510, 315, 80, 25);
// Inner width of a scrolling page, leaving room for its scroll bar.
inline constexpr int kScrollInnerWidth = 430;
// Where PageBuilder puts a row's label.
inline constexpr int kRowLabelX = 10;
// A format's option panel: the page below its format row.
inline constexpr QRect kFormatPanelRect(0, kRowHeight, kPageAreaRect.width(),
                                        kPageAreaRect.height() - kRowHeight);

inline QWidget* NewPage(QWidget* parent) {
  auto* page = new QWidget(parent);
  page->resize(kPageAreaRect.size());
  return page;
}

// A panel of rows that scrolls vertically inside `rect` of its parent.
inline QScrollArea* NewScrollPanel(QWidget* parent, const QRect& rect, QWidget** inner) {
  auto* area = new QScrollArea(parent);
  area->setGeometry(rect);
  area->setFrameShape(QFrame::NoFrame);
  area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  area->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  *inner = new QWidget;
  (*inner)->resize(kScrollInnerWidth, rect.height());
  area->setWidget(*inner);
  area->setWidgetResizable(false);
  return area;
}

inline void FinishScrollPanel(QWidget* inner, const PageBuilder& rows) {
  inner->resize(kScrollInnerWidth, rows.usedHeight());
}

inline QString CatalogText(const StringCatalog& catalog, std::string_view group,
                           std::string_view key) {
  return QString::fromStdString(catalog.text(group, key));
}

// A drop-down row of one of the settings' per-format choice lists, with
// the choices the dialog offers, in the list's order.
inline Row FormatChoiceRow(PageBuilder& rows, std::string_view format, bool output, KeywordSet set,
                           IntField field) {
  const FormatChoiceList* list = FindFormatChoices(format, output, set);
  QStringList choices;
  for (const FormatChoice& choice : list->choices)
    if (choice.catalogKey) choices << rows.text(choice.catalogKey);
  return rows.combo(rows.text(list->labelKey), choices, field);
}

}  // namespace lumafold::ui::prefs
