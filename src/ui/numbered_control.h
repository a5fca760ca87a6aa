// Dialog controls carry their control number as the object name
// ("control365"), which is how they are told apart from outside the dialog.
#pragma once

#include <QRect>
#include <QString>

namespace lumafold::ui {

// Names `widget` after its control number and puts it at `place`.
template <typename W>
W* Numbered(W* widget, int number, const QRect& place) {
  widget->setObjectName(QString("control%1").arg(number));
  widget->setGeometry(place);
  return widget;
}

}  // namespace lumafold::ui
