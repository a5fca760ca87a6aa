// The pictures compiled into the program: one SVG source per image name
// (assets/icons/*.svg), drawn at whatever size a set needs, so the
// built-in tool-bar icons stay sharp at every "UI Size". A theme's PNGs
// replace them by name (themes.h); these are the fallback.
#pragma once

#include <QByteArray>
#include <QIcon>
#include <QImage>
#include <string_view>

#include "ui/themes.h"

namespace lumafold::ui {

// The SVG source of an image name ("Convert" -> convert.svg); empty for an
// unknown name. "banner" is the About banner.
QByteArray BuiltInSource(std::string_view name);

// The built-in picture of an image name at pixels x pixels; null for an
// unknown name.
QImage BuiltInImage(std::string_view name, int pixels);

// Built-in image number 0: the 360 x 40 banner of the About box.
QImage BuiltInBanner();

// Puts the built-in pictures into the sets named by `sets` (ThemeSet
// flags): buttons at their own sizes (Convert 64, the others 48), menu
// icons at 16, tool-bar icons at `toolBarIconSize`.
void FillBuiltInImages(ThemeImages& images, int sets, int toolBarIconSize);

// The icon of a name in a set; an empty icon when the set has no picture.
QIcon IconOf(const ImageSet& set, std::string_view name);

}  // namespace lumafold::ui
