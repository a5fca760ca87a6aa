// Looks up the compiled-in SVG sources by image name and draws them at the
// size asked for.
#include "ui/builtin_images.h"

#include <QFile>
#include <QPixmap>
#include <string>

#include "ui/commands.h"
#include "ui/svg_painter.h"

// Resources of a static library are not registered by themselves.
static void RegisterBuiltInImages() { Q_INIT_RESOURCE(builtin_images); }

namespace lumafold::ui {

QByteArray BuiltInSource(std::string_view name) {
  static const bool registered = (RegisterBuiltInImages(), true);
  (void)registered;
  const QString file =
      QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())).toLower();
  QFile source(":/lumafold/icons/" + file + ".svg");
  if (file.isEmpty() || !source.open(QIODevice::ReadOnly)) return {};
  return source.readAll();
}

QImage BuiltInImage(std::string_view name, int pixels) {
  const QByteArray source = BuiltInSource(name);
  return source.isEmpty() ? QImage() : RenderSvg(source, QSize(pixels, pixels));
}

QImage BuiltInBanner() {
  return RenderSvg(BuiltInSource("banner"), QSize(kBannerWidth, kBannerHeight));
}

void FillBuiltInImages(ThemeImages& images, int sets, int toolBarIconSize) {
  if (sets & kThemeButtons)
    for (std::string_view name : ButtonNames())
      images.buttons[std::string(name)] = BuiltInImage(name, ButtonSize(name));
  if (sets & kThemeMenuIcons)
    for (std::string_view name : IconNames())
      images.menuIcons[std::string(name)] = BuiltInImage(name, kMenuIconSize);
  if (sets & kThemeToolBarIcons)
    for (std::string_view name : IconNames())
      images.toolBarIcons[std::string(name)] = BuiltInImage(name, toolBarIconSize);
}

QIcon IconOf(const ImageSet& set, std::string_view name) {
  const auto it = set.find(name);
  if (it == set.end() || it->second.isNull()) return {};
  return QIcon(QPixmap::fromImage(it->second));
}

}  // namespace lumafold::ui
