#include "ui/themes.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "themes_test_support.h"
#include "ui/commands.h"

namespace lumafold::ui {
namespace {

using test::Png;
using test::ScratchFolder;
using test::WriteZip;

TEST(ThemeKeyReaderTest, FindsSectionsAndKeysWithoutRegardToCase) {
  const std::string cfg =
      "[theme]\r\nname = Hand Drawn \r\n[ICONS]\r\nNew=new\r\nadd = add.PNG\r\n";
  EXPECT_EQ(ReadThemeKey(cfg, "Theme", "Name"), "Hand Drawn");
  EXPECT_EQ(ReadThemeKey(cfg, "Icons", "New"), "new");
  EXPECT_EQ(ReadThemeKey(cfg, "Icons", "Add"), "add.PNG");
  EXPECT_EQ(ReadThemeKey(cfg, "Buttons", "New"), "");
}

TEST(ThemeKeyReaderTest, KeyMatchesAsAPrefixAndStopsAtTheSectionEnd) {
  const std::string cfg =
      "[Theme]\r\nNames=first\r\nName=second\r\n[Icons]\r\nConvert=c\r\n[Buttons]\r\n";
  // "Name" is a prefix of "Names", which comes first.
  EXPECT_EQ(ReadThemeKey(cfg, "Theme", "Name"), "first");
  // Convert belongs to Icons; the Theme section ends at the next "[".
  EXPECT_EQ(ReadThemeKey(cfg, "Theme", "Convert"), "");
  EXPECT_EQ(ReadThemeKey(cfg, "Icons", "Convert"), "c");
  // Nothing follows [Buttons].
  EXPECT_EQ(ReadThemeKey(cfg, "Buttons", "Convert"), "");
}

TEST(ThemeKeyReaderTest, ValueRunsFromTheFirstToASecondEqualsSign) {
  EXPECT_EQ(ReadThemeKey("[A]\r\nk=\t one \t= two\r\n", "A", "k"), "one");
  EXPECT_EQ(ReadThemeKey("[A]\r\nk\r\n", "A", "k"), "");
  EXPECT_EQ(ReadThemeKey("[A]\r\nk=last line", "A", "k"), "last line");
  // The lines are CR LF; a key right after "[A]" with a bare LF is not seen.
  EXPECT_EQ(ReadThemeKey("[A]\nk=v\n", "A", "k"), "");
}

TEST(ThemeEntryNameTest, PngValuesStandAloneOthersGetTheSize) {
  EXPECT_EQ(ThemeEntryName("open.png", 48), "open.png");
  EXPECT_EQ(ThemeEntryName("Open.PNG", 16), "Open.PNG");
  EXPECT_EQ(ThemeEntryName("open", 48), "open_48.png");
  EXPECT_EQ(ThemeEntryName("convert", 32), "convert_32.png");
}

class ThemeFolderTest : public ::testing::Test {
 protected:
  ThemeFolderTest() : first_("themes-a"), second_("themes-b") {}
  std::vector<std::string> folders() const { return {first_.path(), second_.path()}; }

  ScratchFolder first_;
  ScratchFolder second_;
};

TEST_F(ThemeFolderTest, CollectsOnlyZipArchivesWithTheirDisplayNames) {
  const std::string a = first_.path();
  ASSERT_TRUE(WriteZip(a + "Zeta.zip", {{"theme.cfg", "[theme]\r\nname=Zeta Look\r\n"}}));
  ASSERT_TRUE(WriteZip(a + "alpha.zip", {{"theme.cfg", "[Theme]\r\nName=Alpha\r\n"}}));
  ASSERT_TRUE(WriteZip(a + "nocfg.zip", {{"new_16.png", Png(16, Qt::red)}}));
  // Name beyond the first 255 bytes of theme.cfg is not seen.
  ASSERT_TRUE(WriteZip(a + "late.zip", {{"theme.cfg", "[Theme]\r\n;" + std::string(300, 'x') +
                                                          "\r\nName=Late\r\n"}}));
  std::ofstream(a + "text.zip") << "this is not an archive";
  std::ofstream(a + "readme.txt") << "x";
  std::filesystem::create_directory(a + "folder.zip");
  // The same name in the second folder loses; a new one is added.
  ASSERT_TRUE(WriteZip(second_.path() + "alpha.zip", {{"theme.cfg", "[Theme]\r\nName=Other\r\n"}}));
  ASSERT_TRUE(WriteZip(second_.path() + "Beta.zip", {{"theme.cfg", "[Theme]\r\nName=Beta\r\n"}}));

  const ThemeTable table = CollectThemes(folders());
  std::vector<std::string> keys;
  for (const auto& [key, info] : table) keys.push_back(key);
  EXPECT_EQ(keys, (std::vector<std::string>{"Beta", "Zeta", "alpha", "late", "nocfg"}));
  EXPECT_EQ(table.at("Zeta").displayName, "Zeta Look");
  EXPECT_EQ(table.at("alpha").displayName, "Alpha");
  EXPECT_EQ(table.at("alpha").archivePath, a + "alpha.zip");
  EXPECT_EQ(table.at("nocfg").displayName, "");
  EXPECT_EQ(table.at("late").displayName, "");

  // Sorted by key without regard to case; no display name, not offered.
  std::vector<std::string> offered;
  for (const ThemeChoice& c : ThemeChoices(table)) offered.push_back(c.key + "=" + c.displayName);
  EXPECT_EQ(offered, (std::vector<std::string>{"alpha=Alpha", "Beta=Beta", "Zeta=Zeta Look"}));
}

TEST_F(ThemeFolderTest, MissingFoldersGiveAnEmptyTable) {
  EXPECT_TRUE(CollectThemes({"/nonexistent/gfx/"}).empty());
  EXPECT_TRUE(ThemeChoices({}).empty());
}

// Icons "New" = open.png and "Add" = open, with three candidate entries.
void WriteSizeTheme(const std::string& path) {
  ASSERT_TRUE(WriteZip(path, {
                                 {"theme.cfg",
                                  "[Theme]\r\nName=Sizes\r\n[Buttons]\r\nConvert=go\r\n"
                                  "[Icons]\r\nNew=open.png\r\nAdd=open\r\nCopy=copy\r\n"},
                                 {"open.png", Png(48, Qt::red)},
                                 {"open_48.png", Png(48, Qt::green)},
                                 {"open_16.png", Png(16, Qt::blue)},
                                 {"copy_64.png", Png(64, Qt::yellow)},
                                 {"copy_16.png", Png(16, Qt::cyan)},
                                 {"go_16.png", Png(16, Qt::magenta)},
                             }));
}

TEST_F(ThemeFolderTest, ImageNameRuleAtTheToolBarSize) {
  WriteSizeTheme(first_.path() + "sizes.zip");
  const ThemeTable table = CollectThemes(folders());
  InterfaceSettings settings;
  settings.uiTheme = "sizes";
  settings.uiSize = 3;  // 48 pixels
  ThemeImages images;
  ASSERT_TRUE(LoadTheme(settings, table, folders(), kThemeAllSets, images));

  EXPECT_EQ(images.toolBarIcons.at("New").pixelColor(0, 0), QColor(Qt::red));
  EXPECT_EQ(images.toolBarIcons.at("Add").pixelColor(0, 0), QColor(Qt::green));
  // Menu icons are 16 pixels: open.png again, but open_16.png for "Add".
  EXPECT_EQ(images.menuIcons.at("New").pixelColor(0, 0), QColor(Qt::red));
  EXPECT_EQ(images.menuIcons.at("Add").pixelColor(0, 0), QColor(Qt::blue));
  EXPECT_EQ(images.buttons.at("Convert").pixelColor(0, 0), QColor(Qt::magenta));
  // No copy_48.png in the archive.
  EXPECT_EQ(images.toolBarIcons.count("Copy"), 0u);
  EXPECT_EQ(settings.uiTheme, "sizes");
}

TEST_F(ThemeFolderTest, HugeIconSizeLoadsThe64PixelEntries) {
  WriteSizeTheme(first_.path() + "sizes.zip");
  InterfaceSettings settings;
  settings.uiTheme = "sizes";
  settings.uiSize = 4;
  ThemeImages images;
  ASSERT_TRUE(LoadTheme(settings, CollectThemes(folders()), folders(), kThemeToolBarIcons, images));
  ASSERT_EQ(images.toolBarIcons.count("Copy"), 1u);
  EXPECT_EQ(images.toolBarIcons.at("Copy").size(), QSize(64, 64));
  EXPECT_EQ(images.toolBarIcons.at("Copy").pixelColor(0, 0), QColor(Qt::yellow));
  // Only the tool-bar set was asked for.
  EXPECT_TRUE(images.menuIcons.empty());
  EXPECT_TRUE(images.buttons.empty());
}

TEST_F(ThemeFolderTest, MissingEntriesKeepThePreviousImages) {
  WriteSizeTheme(first_.path() + "sizes.zip");
  InterfaceSettings settings;
  settings.uiTheme = "sizes";
  settings.uiSize = 0;
  ThemeImages images;
  QImage builtIn(16, 16, QImage::Format_ARGB32);
  builtIn.fill(Qt::black);
  images.menuIcons["Exit"] = builtIn;  // not in the theme at all
  images.menuIcons["New"] = builtIn;   // replaced
  ASSERT_TRUE(LoadTheme(settings, CollectThemes(folders()), folders(), kThemeMenuIcons, images));
  EXPECT_EQ(images.menuIcons.at("Exit").pixelColor(0, 0), QColor(Qt::black));
  EXPECT_EQ(images.menuIcons.at("New").pixelColor(0, 0), QColor(Qt::red));
}

TEST_F(ThemeFolderTest, VanishedThemeFallsBackToTheFirstKnownTheme) {
  ASSERT_TRUE(WriteZip(first_.path() + "beta.zip",
                       {{"theme.cfg", "[Theme]\r\nName=B\r\n[Icons]\r\nNew=n\r\n"},
                        {"n_16.png", Png(16, Qt::green)}}));
  ASSERT_TRUE(WriteZip(second_.path() + "alpha.zip",
                       {{"theme.cfg", "[Theme]\r\nName=A\r\n[Icons]\r\nNew=n\r\n"},
                        {"n_16.png", Png(16, Qt::red)}}));
  const ThemeTable table = CollectThemes(folders());
  InterfaceSettings settings;
  settings.uiTheme = "handdrawn";
  ThemeImages images;
  ASSERT_TRUE(LoadTheme(settings, table, folders(), kThemeAllSets, images));
  EXPECT_EQ(settings.uiTheme, "alpha");
  EXPECT_EQ(images.menuIcons.at("New").pixelColor(0, 0), QColor(Qt::red));

  // No theme at all: the setting stays, nothing is loaded.
  InterfaceSettings lonely;
  lonely.uiTheme = "handdrawn";
  ThemeImages none;
  EXPECT_FALSE(LoadTheme(lonely, {}, {"/nonexistent/"}, kThemeAllSets, none));
  EXPECT_EQ(lonely.uiTheme, "handdrawn");
  EXPECT_TRUE(none.menuIcons.empty());
}

TEST_F(ThemeFolderTest, DamagedArchivesLeaveTheImagesAlone) {
  WriteSizeTheme(first_.path() + "sizes.zip");
  std::string bytes;
  {
    std::ifstream in(first_.path() + "sizes.zip", std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), {});
  }
  const ThemeTable table = CollectThemes(folders());
  // Cut in the middle of the image data, then an empty file.
  std::ofstream(first_.path() + "sizes.zip", std::ios::binary | std::ios::trunc)
      << bytes.substr(0, bytes.size() / 3);
  InterfaceSettings settings;
  settings.uiTheme = "sizes";
  ThemeImages images;
  LoadTheme(settings, table, folders(), kThemeAllSets, images);  // must not crash
  std::ofstream(first_.path() + "sizes.zip", std::ios::binary | std::ios::trunc);
  ThemeImages untouched;
  untouched.menuIcons["New"] = QImage(16, 16, QImage::Format_ARGB32);
  EXPECT_FALSE(LoadTheme(settings, table, folders(), kThemeAllSets, untouched));
  EXPECT_EQ(untouched.menuIcons.size(), 1u);
  EXPECT_EQ(settings.uiTheme, "sizes");
}

TEST(ThemeRefreshTest, ThemeChangeTakesPrecedenceOverSize) {
  InterfaceSettings before;
  InterfaceSettings size = before;
  size.uiSize = 4;
  InterfaceSettings both = size;
  both.uiTheme = "flat";
  EXPECT_EQ(RefreshFor(before, before), ThemeRefresh::None);
  EXPECT_EQ(RefreshFor(before, size), ThemeRefresh::IconSizeChanged);
  EXPECT_EQ(RefreshFor(before, both), ThemeRefresh::ThemeChanged);
  EXPECT_EQ(SetsToReload(ThemeRefresh::None), 0);
  EXPECT_EQ(SetsToReload(ThemeRefresh::IconSizeChanged), kThemeToolBarIcons);
  EXPECT_EQ(SetsToReload(ThemeRefresh::ThemeChanged), kThemeAllSets);
}

TEST(ThemeSetTest, SetsNameTheirSectionsAndSizes) {
  EXPECT_STREQ(ThemeSetFor(kThemeButtons, 3).section, "Buttons");
  EXPECT_EQ(ThemeSetFor(kThemeButtons, 3).pixelSize, 16);
  EXPECT_EQ(ThemeSetFor(kThemeButtons, 3).names.size(), 3u);
  EXPECT_EQ(ThemeSetFor(kThemeMenuIcons, 3).pixelSize, 16);
  EXPECT_EQ(ThemeSetFor(kThemeToolBarIcons, 1).pixelSize, 24);
  EXPECT_EQ(ThemeSetFor(kThemeToolBarIcons, 9).pixelSize, 16);
  EXPECT_EQ(ThemeSetFor(kThemeToolBarIcons, 0).names.size(), 22u);
}

}  // namespace
}  // namespace lumafold::ui

namespace lumafold::ui {
namespace {

// The archives the program ships: both are found, named, and supply every
// image of every set at every tool-bar size.
TEST(ShippedThemesTest, HandDrawnAndFlatSupplyEveryImage) {
  const std::vector<std::string> folders = {std::string(LUMAFOLD_SOURCE_DIR) + "/gfx/"};
  const ThemeTable table = CollectThemes(folders);
  std::vector<std::string> offered;
  for (const ThemeChoice& c : ThemeChoices(table)) offered.push_back(c.key + "=" + c.displayName);
  EXPECT_EQ(offered, (std::vector<std::string>{"flat=Flat", "handdrawn=Hand Drawn"}));

  for (const char* theme : {"flat", "handdrawn"}) {
    for (int uiSize = 0; uiSize <= 4; ++uiSize) {
      SCOPED_TRACE(std::string(theme) + " size " + std::to_string(uiSize));
      InterfaceSettings settings;
      settings.uiTheme = theme;
      settings.uiSize = uiSize;
      ThemeImages images;
      ASSERT_TRUE(LoadTheme(settings, table, folders, kThemeAllSets, images));
      const int pixels = IconSizeForUiSize(uiSize);
      EXPECT_EQ(images.toolBarIcons.size(), IconNames().size());
      for (const auto& [name, image] : images.toolBarIcons)
        EXPECT_EQ(image.size(), QSize(pixels, pixels)) << name;
      EXPECT_EQ(images.menuIcons.size(), IconNames().size());
      ASSERT_EQ(images.buttons.size(), ButtonNames().size());
      EXPECT_EQ(images.buttons.at("Convert").size(), QSize(64, 64));
      EXPECT_EQ(images.buttons.at("InFolder").size(), QSize(48, 48));
    }
  }
}

TEST(ShippedThemesTest, InstalledFoldersFollowTheProgramFolder) {
  EXPECT_EQ(ThemeFolders("/usr/bin/"),
            (std::vector<std::string>{"/usr/bin/gfx/", "/usr/bin/../share/lumafold/gfx/"}));
}

}  // namespace
}  // namespace lumafold::ui
