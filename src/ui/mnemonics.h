// Alt-key mnemonics for the menu bar and its menus. The catalog's texts
// carry no "&" (they are shared with tool-bar tips and the status bar), so
// the window picks the letters itself, each letter once per menu.
#pragma once

#include <QString>
#include <QStringList>

namespace lumafold::ui {

// The texts with one "&" each before a letter no earlier text of the list
// took: the first letter of a word when one is free, otherwise any free
// letter; a text without a free letter gets none. An "&" already in a text
// is shown as written ("&&"). A part after a tab (the accelerator) is kept.
QStringList WithMnemonics(const QStringList& texts);

}  // namespace lumafold::ui
