// Picks each menu entry's Alt letter, once per menu.
#include "ui/mnemonics.h"

#include <QSet>

namespace lumafold::ui {

namespace {

// Where the mnemonic goes in `label`: a word start first, then any letter;
// -1 when every letter is taken.
qsizetype PickLetter(const QString& label, const QSet<QChar>& taken) {
  auto free = [&](qsizetype i) {
    return label[i].isLetterOrNumber() && !taken.contains(label[i].toLower());
  };
  for (qsizetype i = 0; i < label.size(); ++i) {
    const bool wordStart = i == 0 || !label[i - 1].isLetterOrNumber();
    if (wordStart && free(i)) return i;
  }
  for (qsizetype i = 0; i < label.size(); ++i)
    if (free(i)) return i;
  return -1;
}

}  // namespace

QStringList WithMnemonics(const QStringList& texts) {
  QSet<QChar> taken;
  QStringList out;
  for (const QString& text : texts) {
    const qsizetype tab = text.indexOf('\t');
    const QString label = tab < 0 ? text : text.left(tab);
    const QString tail = tab < 0 ? QString() : text.mid(tab);
    const qsizetype at = PickLetter(label, taken);
    QString marked;
    for (qsizetype i = 0; i < label.size(); ++i) {
      if (i == at) marked += '&';
      marked += label[i];
      if (label[i] == '&') marked += '&';
    }
    if (at >= 0) taken.insert(label[at].toLower());
    out << marked + tail;
  }
  return out;
}

}  // namespace lumafold::ui
