// Builds the default theme archive from the built-in SVG pictures: every
// icon at each tool-bar size (name_SIZE.png, so one theme.cfg value serves
// all sizes), the three large buttons at their own sizes, and theme.cfg.
// Entry times are fixed so the archive is the same on every run.
//
//   make_theme_archive OUTPUT.zip
#include <QGuiApplication>
#include <cstdio>
#include <string>

#include "ui/builtin_images.h"
#include "ui/commands.h"
#include "ui/tools/theme_archive_writer.h"

namespace {

constexpr int kToolBarSizes[] = {16, 24, 32, 48, 64};
constexpr const char* kThemeName = "Hand Drawn";

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT.zip\n", argv[0]);
    return 2;
  }
  // Text in the pictures needs the font database, so a GUI application;
  // no display is needed.
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  using namespace lumafold::ui;
  using namespace lumafold::tools;

  ThemeEntries entries;
  std::string cfg = "[Theme]\r\nName=" + std::string(kThemeName) + "\r\n[Buttons]\r\n";
  for (std::string_view name : ButtonNames()) {
    const std::string file = "button_" + Lower(name) + ".png";
    cfg += std::string(name) + "=" + file + "\r\n";
    entries.emplace_back(file, Png(BuiltInImage(name, ButtonSize(name))));
  }
  cfg += "[Icons]\r\n";
  for (std::string_view name : IconNames()) {
    cfg += std::string(name) + "=" + Lower(name) + "\r\n";
    for (int size : kToolBarSizes)
      entries.emplace_back(Lower(name) + "_" + std::to_string(size) + ".png",
                           Png(BuiltInImage(name, size)));
  }
  entries.insert(entries.begin(), {"theme.cfg", cfg});
  if (!WriteArchive(argv[1], entries)) {
    std::fprintf(stderr, "cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
