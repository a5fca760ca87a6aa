// The built-in pictures, the SVG subset they are drawn with, the command
// table's data and the default theme archive made from the pictures.
#include "ui/builtin_images.h"

#include <QColor>
#include <QImage>
#include <set>

#include "ui/commands.h"
#include "ui/layout.h"
#include "ui/svg_painter.h"
#include "ui/themes.h"
#include "ui_test_support.h"

namespace lumafold::test {
namespace {

using namespace lumafold::ui;

int OpaquePixels(const QImage& image) {
  int n = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (qAlpha(image.pixel(x, y)) > 128) ++n;
  return n;
}

TEST(BuiltInImages, EveryNamedImageIsDrawnAtEverySize) {
  for (std::string_view name : IconNames()) {
    for (int size : {16, 24, 32, 48, 64}) {
      const QImage image = BuiltInImage(name, size);
      ASSERT_FALSE(image.isNull()) << name;
      EXPECT_EQ(image.size(), QSize(size, size));
      const int opaque = OpaquePixels(image);
      // A picture, not a blank or a filled square.
      EXPECT_GT(opaque, size * size / 6) << name << " " << size;
      EXPECT_LT(opaque, size * size) << name << " " << size;
    }
  }
  ThemeImages images;
  FillBuiltInImages(images, kThemeAllSets, 32);
  EXPECT_EQ(images.buttons.at("Convert").size(), QSize(64, 64));
  EXPECT_EQ(images.buttons.at("InFiles").size(), QSize(48, 48));
  EXPECT_EQ(images.buttons.at("InFolder").size(), QSize(48, 48));
  EXPECT_EQ(images.menuIcons.size(), 22u);
  EXPECT_EQ(images.menuIcons.at("Help").size(), QSize(16, 16));
  EXPECT_EQ(images.toolBarIcons.at("Help").size(), QSize(32, 32));
  EXPECT_TRUE(BuiltInImage("NoSuchImage", 16).isNull());

  const QImage banner = BuiltInBanner();
  EXPECT_EQ(banner.size(), QSize(360, 40));
  EXPECT_EQ(OpaquePixels(banner), 360 * 40);
}

TEST(BuiltInImages, PicturesDifferFromEachOther) {
  std::set<QByteArray> seen;
  for (std::string_view name : IconNames()) {
    const QImage image = BuiltInImage(name, 32);
    seen.insert(QByteArray(reinterpret_cast<const char*>(image.constBits()), image.sizeInBytes()));
  }
  EXPECT_EQ(seen.size(), IconNames().size());
}

TEST(SvgPainter, DrawsShapesPathsStrokesAndTransforms) {
  const QByteArray svg = R"svg(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 10 10">
      <rect x="0" y="0" width="5" height="5" fill="#ff0000"/>
      <path d="M5 5 h5 v5 h-5 z" fill="#0000ff"/>
      <g transform="translate(5 0)"><circle cx="2.5" cy="2.5" r="2" fill="#00ff00"/></g>
      <line x1="0" y1="7.5" x2="5" y2="7.5" stroke="#000000" stroke-width="1"/>
      <path d="M0 9 L5 9" stroke="#ffffff" fill="none" style="stroke-width:0"/>
    </svg>)svg";
  const QImage image = RenderSvg(svg, QSize(100, 100));
  ASSERT_EQ(image.size(), QSize(100, 100));
  EXPECT_EQ(QColor(image.pixel(25, 25)), QColor(255, 0, 0));
  EXPECT_EQ(QColor(image.pixel(75, 75)), QColor(0, 0, 255));
  EXPECT_EQ(QColor(image.pixel(75, 25)), QColor(0, 255, 0));
  EXPECT_EQ(qAlpha(image.pixel(52, 2)), 0);  // outside the circle
  EXPECT_EQ(QColor(image.pixel(25, 75)), QColor(0, 0, 0));
  EXPECT_EQ(qAlpha(image.pixel(25, 90)), 0);  // a zero-width stroke draws nothing
  // An open curve with fill="none" is a line, not a filled wedge.
  const QImage curve = RenderSvg(R"(<svg viewBox="0 0 10 10">
      <path d="M1 9 Q1 1 9 1" fill="none" stroke="#000" stroke-width="1"/></svg>)",
                                 QSize(100, 100));
  EXPECT_EQ(qAlpha(curve.pixel(70, 70)), 0);
  EXPECT_TRUE(RenderSvg("<html/>", QSize(10, 10)).isNull());
  EXPECT_TRUE(RenderSvg("not xml", QSize(10, 10)).isNull());
}

TEST(CommandTable, NumbersShortcutsAndSizesAreData) {
  std::set<int> numbers;
  for (const CommandEntry& e : CommandTable()) EXPECT_TRUE(numbers.insert(e.number).second);
  EXPECT_EQ(numbers, (std::set<int>{0,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12,
                                    13, 14, 16, 17, 18, 21, 22, 23, 24, 25}));
  EXPECT_EQ(FindCommand(15), nullptr);
  EXPECT_EQ(FindCommand(12)->accelerator, "Ctrl+Del");
  for (const CommandEntry& e : CommandTable()) {
    if (e.icon.empty()) continue;
    EXPECT_NE(std::find(IconNames().begin(), IconNames().end(), e.icon), IconNames().end())
        << e.icon;
  }
  EXPECT_EQ(IconSizeForUiSize(0), 16);
  EXPECT_EQ(IconSizeForUiSize(3), 48);
  EXPECT_EQ(IconSizeForUiSize(4), 64);
  EXPECT_EQ(IconSizeForUiSize(7), 16);
  EXPECT_EQ(IconSizeForUiSize(-1), 16);
}

TEST(Layout, InitialPlacesAndTheResizeRule) {
  const LayoutMetrics m{20, 40, 0, 100, 22};
  const MainLayout initial = InitialLayout(510, 330, m);
  EXPECT_EQ(initial.container, (Rect{0, 40, 510, 200}));
  EXPECT_EQ(initial.outputFolderToolBar, (Rect{396, 129, 24, 24}));
  // At the minimum width the rule gives back the created places.
  const MainLayout least = ResizeLayout(initial, 510, 330, m);
  EXPECT_EQ(least.inputList.width, 380);
  EXPECT_EQ(least.outputFolderToolBar.x, 396);
  EXPECT_EQ(least.convertButton, (Rect{400, 10, 100, 100}));
  // A = 330 - 82 = 248: right of the tool bars, from under the button to
  // the bottom of box 7.
  EXPECT_EQ(least.preview, (Rect{424, 120, 76, 110}));
  // A = 600 - 20 - 40 - 22 = 518; the right column is a fifth: 178.
  const MainLayout resized = ResizeLayout(initial, 900, 600, m);
  EXPECT_EQ(resized.container, (Rect{0, 40, 900, 508}));
  EXPECT_EQ(resized.inputList, (Rect{10, 10, 692, 409}));
  EXPECT_EQ(resized.inputListColumnWidth, 662);
  EXPECT_EQ(resized.outputFolderLabel, (Rect{10, 424, 380, 20}));
  EXPECT_EQ(resized.outputFolderBox, (Rect{10, 439, 692, 21}));
  EXPECT_EQ(resized.outputFolderToolBar, (Rect{708, 438, 24, 24}));
  EXPECT_EQ(resized.outputFormatLabel, (Rect{10, 464, 380, 20}));
  EXPECT_EQ(resized.outputFormatBox, (Rect{10, 479, 692, 21}));
  EXPECT_EQ(resized.outputFormatToolBar, (Rect{708, 478, 24, 24}));
  EXPECT_EQ(resized.convertButton, (Rect{712, 10, 178, 100}));
  EXPECT_EQ(resized.preview, (Rect{736, 120, 154, 380}));
}

TEST(DefaultTheme, ArchiveHoldsEveryPictureAtEverySize) {
  const std::string gfx = std::string(LUMAFOLD_SOURCE_DIR) + "/gfx/";
  const ThemeTable table = CollectThemes({gfx});
  ASSERT_EQ(table.count("handdrawn"), 1u);
  EXPECT_EQ(table.at("handdrawn").displayName, "Hand Drawn");
  for (int uiSize : {0, 1, 2, 3, 4}) {
    InterfaceSettings interface;
    interface.uiTheme = "handdrawn";
    interface.uiSize = uiSize;
    ThemeImages images;
    ASSERT_TRUE(LoadTheme(interface, table, {gfx}, kThemeAllSets, images));
    const int size = IconSizeForUiSize(uiSize);
    ASSERT_EQ(images.toolBarIcons.size(), IconNames().size());
    for (std::string_view name : IconNames()) {
      EXPECT_EQ(images.toolBarIcons.at(std::string(name)).size(), QSize(size, size)) << name;
      EXPECT_EQ(images.menuIcons.at(std::string(name)).size(), QSize(16, 16)) << name;
    }
    EXPECT_EQ(images.buttons.at("Convert").size(), QSize(64, 64));
    EXPECT_EQ(images.buttons.at("InFolder").size(), QSize(48, 48));
  }
}

}  // namespace
}  // namespace lumafold::test
