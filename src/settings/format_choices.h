// The choice lists of the per-format settings (compression, colour table,
// chroma subsampling, load mode, ...), each in the order its stored number
// counts the choices. The settings file and the command line spell a choice
// by its keyword, the preferences show its catalog text and the writers
// turn its keyword into the library's flag, so none of them keeps an order
// of its own that could drift from the others.
#pragma once

#include <span>
#include <string_view>

#include "settings/format_registry.h"

namespace lumafold {

struct FormatChoice {
  const char* keyword;     // upper case, as stored and typed
  const char* catalogKey;  // group "Preferences"; nullptr: not offered by the dialog
};

struct FormatChoiceList {
  const char* format;  // "bmp", "tiff", ...
  bool output;         // an output format's list (tiff has both kinds)
  KeywordSet set;
  const char* labelKey;  // the preferences row, group "Preferences"
  std::span<const FormatChoice> choices;
};

// Every list: output formats first, then input formats.
std::span<const FormatChoiceList> FormatChoiceLists();

// The list of `set` for one format; nullptr when the format has none.
const FormatChoiceList* FindFormatChoices(std::string_view format, bool output, KeywordSet set);

// The keyword of a stored value; "" for a value outside the list or a
// format without the list.
std::string_view FormatChoiceKeyword(std::string_view format, bool output, KeywordSet set,
                                     int value);

}  // namespace lumafold
