// Cairo, Pango and fontconfig are opened the first time something is drawn
// (a frame, a text or picture watermark, a contact sheet) or a font is
// looked up, not when the program starts: they and the libraries they bring
// took some 40 % of the start of every run, and most conversions draw
// nothing. Their functions are defined in drawing_libraries.cpp as calls
// into the opened libraries.
#pragma once

#include <string>

namespace lumafold {

// Opens the libraries once; false, with the reason in `problem`, when one of
// them cannot be opened. Whatever draws asks first and draws nothing then.
bool DrawingLibrariesLoaded(std::string* problem = nullptr);

}  // namespace lumafold
