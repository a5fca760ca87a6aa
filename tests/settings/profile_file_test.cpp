#include "settings/profile_file.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>

#include "settings/settings_keys.h"

namespace lumafold {
namespace {

namespace fs = std::filesystem;

constexpr SettingsDate kFixedDate = 1700000000;

std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const fs::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// A fresh folder per test, removed afterwards.
class SettingsFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "lumafold-settings-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
    path_ = (folder_ / "config.ini").string();
  }
  void TearDown() override {
    fs::permissions(folder_, fs::perms::owner_all, fs::perm_options::add);
    fs::remove_all(folder_);
  }

  static ConversionSettings Defaults() {
    ConversionSettings settings;
    settings.resetToDefaults(SettingsMode::Window, ScreenSize{1024, 768});
    settings.general.updateDate = kFixedDate;
    settings.advanced.customTimestamp = kFixedDate;
    return settings;
  }

  // The file at path_ loaded over the defaults.
  ConversionSettings LoadFile() {
    ConversionSettings settings = Defaults();
    EXPECT_TRUE(LoadSettingsFile(settings, path_));
    return settings;
  }

  ConversionSettings LoadText(std::string_view text) {
    WriteBytes(path_, text);
    return LoadFile();
  }

  // What SaveSettingsFile writes at path_ for `settings`.
  std::string SavedText(const ConversionSettings& settings) {
    EXPECT_TRUE(SaveSettingsFile(settings, formats_, path_));
    return ReadBytes(path_);
  }

  static std::string DefaultFileText() {
    return ReadBytes(fs::path(LUMAFOLD_SOURCE_DIR) / "tests/settings/data/default-config.ini");
  }

  std::vector<std::string> FolderEntries() const { return EntriesOf(folder_); }
  static std::vector<std::string> EntriesOf(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  fs::path folder_;
  std::string path_;
  FormatRegistry formats_;
};

TEST_F(SettingsFileTest, DefaultsMatchTheGoldenFileByteForByte) {
  const std::string golden = DefaultFileText();
  ASSERT_FALSE(golden.empty());
  EXPECT_EQ(SavedText(Defaults()), golden);
  EXPECT_EQ(golden.substr(0, 5), "\xEF\xBB\xBF\r\n");
}

// Sets every field in the table to a value unlike its default.
ConversionSettings Unusual() {
  ConversionSettings settings;
  int n = 0;
  for (const SettingKey& key : SettingsKeys()) {
    ++n;
    std::visit(
        [&](auto* field) {
          using Field = std::remove_pointer_t<decltype(field)>;
          if constexpr (std::is_same_v<Field, std::string>) {
            *field = key.type == SettingType::Colour ? "A1B2C3"
                                                     : std::string("Wert Ä ") + std::to_string(n);
          } else if constexpr (std::is_same_v<Field, float>) {
            *field = 2.25f;
          } else if constexpr (std::is_same_v<Field, std::int8_t>) {
            *field = static_cast<std::int8_t>(-n);
          } else {
            *field = 100000 + n;
          }
        },
        key.field(settings));
  }
  settings.general.cfg = 17;  // always written as 17
  settings.general.saveWindowPosition = 1;
  settings.adjustment.doImageColorCorrection = 1;  // derived from the other values
  settings.file.recentOutFolders = "/b/\t/a/";
  return settings;
}

TEST_F(SettingsFileTest, ReadingBackReproducesEveryField) {
  const ConversionSettings original = Unusual();
  const std::vector<std::string> inputs = {"raw", "tiff", "pcd", "dds", "gif", "ico"};
  const std::string text = SettingsFileText(original, inputs, formats_.outputOrder());
  WriteBytes(path_, text);

  const ConversionSettings loaded = LoadFile();
  for (const SettingKey& key : SettingsKeys())
    EXPECT_EQ(FormatSettingValue(key, loaded), FormatSettingValue(key, original))
        << key.section << "/" << key.key;
  EXPECT_EQ(loaded.settingsFilePath, path_);
  EXPECT_EQ(SettingsFileText(loaded, inputs, formats_.outputOrder()), text);

  // Input keys follow the list's order, not the table's.
  const std::size_t raw = text.find("RAW Load As");
  const std::size_t tiff = text.find("TIFF Frame Loading");
  const std::size_t dds = text.find("DDS Load As");
  EXPECT_LT(raw, tiff);
  EXPECT_LT(tiff, dds);
}

TEST_F(SettingsFileTest, InputKeysOfInactiveFormatsAreReadButNotWritten) {
  ConversionSettings settings = Defaults();
  settings.input.rawToneMapping = 4;
  const std::string text = SavedText(settings);
  // Photo CD is the one active input, so its decoder choices are written.
  EXPECT_NE(text.find("[Input]\r\nFormat = pcd\r\nPCD Decoder = 0\r\nPCD Highlights = 0\r\n; "
                      "\r\n[Output]"),
            std::string::npos);

  const ConversionSettings loaded = LoadText(
      "[General]\r\nCFG = 17\r\n[Input]\r\nRAW Tone Mapping = 1\r\nGIF Frame Loading = 3\r\n");
  EXPECT_EQ(loaded.input.rawToneMapping, 1);
  EXPECT_EQ(loaded.input.gifFrameLoading, 3);
}

TEST_F(SettingsFileTest, NamesInAnyLetterCaseAreFound) {
  const ConversionSettings loaded = LoadText(
      "[general]\r\ncfg = 17\r\n[OUTPUT]\r\nformat = jpg\r\njpg quality = 50\r\n"
      "[transform]\r\nIMAGE ROTATION = 90\r\n[WaterMark]\r\nimage rotation = 45\r\n");
  EXPECT_EQ(loaded.output.format, "jpg");
  EXPECT_EQ(loaded.output.jpgQuality, 50);
  EXPECT_EQ(loaded.transform.imageRotation, 90);
  EXPECT_EQ(loaded.watermark.imageRotation, 45);
}

TEST_F(SettingsFileTest, MissingKeysTakeTheirFallbacks) {
  const ConversionSettings loaded = LoadText("[Window]\nWidth = 800\n");
  EXPECT_EQ(loaded.window.width, 800);
  EXPECT_EQ(loaded.window.x, 100);  // not the centred built-in value (257)
  EXPECT_EQ(loaded.window.y, 100);
  EXPECT_EQ(loaded.general.cfg, 0);
  EXPECT_EQ(loaded.output.jpgQuality, 95);
  EXPECT_EQ(loaded.watermark.backOpacity, 1);
  EXPECT_EQ(loaded.transform.keepAspectRatio, 1);
  EXPECT_EQ(loaded.adjustment.imageGamma, 1.0f);
  EXPECT_NE(loaded.general.updateDate, kFixedDate);  // "now" at the load
}

TEST_F(SettingsFileTest, PhotoCdDecoderChoiceIsKeptAndOlderFilesGetTheBuiltInOne) {
  ConversionSettings settings = Defaults();
  settings.input.pcdDecoder = 1;
  EXPECT_NE(SavedText(settings).find("\r\nPCD Decoder = 1\r\n"), std::string::npos);
  ConversionSettings loaded = LoadFile();
  EXPECT_EQ(loaded.input.pcdDecoder, 1);

  // A file from before the choice existed: the record held "external", the
  // missing key reads as the built-in decoder.
  WriteBytes(path_, "[General]\r\nCFG = 17\r\n[Input]\r\nFormat = pcd\r\n");
  ASSERT_TRUE(LoadSettingsFile(loaded, path_));
  EXPECT_EQ(loaded.input.pcdDecoder, 0);
  EXPECT_EQ(LoadText("[input]\npcd decoder = 1\n").input.pcdDecoder, 1);
}

TEST_F(SettingsFileTest, MissingFileGivesWindowDefaults) {
  ConversionSettings settings = Unusual();
  EXPECT_FALSE(LoadSettingsFile(settings, path_, ScreenSize{1024, 768}));
  EXPECT_EQ(settings.general.cfg, 17);
  EXPECT_EQ(settings.window.x, 257);
  EXPECT_EQ(settings.window.y, 219);
  EXPECT_EQ(settings.transform.keepAspectRatio, 1);
  EXPECT_EQ(settings.advanced.filenameMask, "%filename%.%ext%");
  EXPECT_EQ(settings.settingsFilePath, path_);
  // A folder or a FIFO at the path is no file either, and must not block.
  fs::create_directory(path_);
  EXPECT_FALSE(LoadSettingsFile(settings, path_));
  fs::remove(path_);
  ASSERT_EQ(::mkfifo(path_.c_str(), 0600), 0);
  EXPECT_FALSE(LoadSettingsFile(settings, path_));
}

TEST_F(SettingsFileTest, OldLayoutsAreUpgradedOnce) {
  ConversionSettings old =
      LoadText("[Advanced]\nFilename Mask = %filename%\n[Input]\nRAW Load As = 1\n");
  EXPECT_EQ(old.advanced.filenameMask, "%filename%.%ext%");
  EXPECT_EQ(old.input.rawLoadAs, 3);

  old = LoadText("[Advanced]\nFilename Mask = %ext%-%filename%\n[Input]\nRAW Load As = 0\n");
  EXPECT_EQ(old.advanced.filenameMask, "%ext%-%filename%");
  EXPECT_EQ(old.input.rawLoadAs, 0);

  // Layout 12 already had the mask rule but not the new RAW choices.
  old = LoadText("[General]\nCFG = 12\n[Advanced]\nFilename Mask = x\n[Input]\nRAW Load As = 2\n");
  EXPECT_EQ(old.advanced.filenameMask, "x");
  EXPECT_EQ(old.input.rawLoadAs, 4);

  old = LoadText("[General]\nCFG = 14\n[Input]\nRAW Load As = 2\n");
  EXPECT_EQ(old.input.rawLoadAs, 2);

  // Saved again, the file says 17 and a second load changes nothing.
  old = LoadText("[Input]\nRAW Load As = 1\n");
  ASSERT_TRUE(SaveSettingsFile(old, formats_, path_));
  EXPECT_EQ(LoadFile().general.cfg, 17);
}

TEST_F(SettingsFileTest, GammaTwoAndAHalfIsWrittenWithSixDecimals) {
  ConversionSettings loaded = LoadText("[Adjustment]\nImage Gamma = 2.5\n");
  EXPECT_EQ(loaded.adjustment.imageGamma, 2.5f);
  EXPECT_EQ(loaded.adjustment.doImageColorCorrection, 1);  // follows the gamma
  EXPECT_NE(SavedText(loaded).find("\r\nImage Gamma = 2.500000\r\n"), std::string::npos);

  loaded = LoadText("[Adjustment]\nImage Gamma = -Infinity\nDo Image Color Correction = 0\n");
  EXPECT_EQ(loaded.adjustment.imageGamma, -std::numeric_limits<float>::infinity());
  EXPECT_NE(SavedText(loaded).find("\r\nImage Gamma = -Infinity\r\n"), std::string::npos);
}

TEST_F(SettingsFileTest, WindowSectionIsEmptyWhenPositionIsNotSaved) {
  ConversionSettings settings = Defaults();
  settings.general.saveWindowPosition = 0;
  const std::string text = SavedText(settings);
  EXPECT_NE(text.find("Save Window Position = 0\r\n; \r\n[Window]\r\n; \r\n[Interface]\r\n"),
            std::string::npos);
  EXPECT_EQ(text.find("IsMaximized"), std::string::npos);
}

TEST_F(SettingsFileTest, ReaderAcceptsLooseLayout) {
  const ConversionSettings loaded = LoadText(
      "junk before any section = 1\n"
      "  [Frame]   trailing words\n"
      "\t Solid Left\t =\t 7\n"
      ";Solid Right = 9\n"
      "  ; Solid Top = 9\n"
      "Solid Bottom=3\n"
      "Solid Bottom = 4\n"  // the first line of a key wins
      "Solid Left Color =   00FF00  \r"
      "no equals sign here\n"
      "[Watermark]\n"
      "Text =   two  spaces kept inside and after  \n"
      "[frame]\n"
      "Solid Opacity = 128\n");
  EXPECT_EQ(loaded.frame.solidLeft, 7);
  EXPECT_EQ(loaded.frame.solidRight, 0);
  EXPECT_EQ(loaded.frame.solidTop, 0);
  EXPECT_EQ(loaded.frame.solidBottom, 3);
  EXPECT_EQ(loaded.frame.solidLeftColor, "00FF00");
  EXPECT_EQ(loaded.frame.solidOpacity, 128);  // a section named again continues it
  EXPECT_EQ(loaded.watermark.text, "two  spaces kept inside and after  ");
}

TEST_F(SettingsFileTest, GenericReaderKeepsLinesInOrder) {
  const ProfileFile file = ProfileFile::Parse(
      "\xEF\xBB\xBF[CLI]\r\n-i = /photos/\r\n--jpg-quality = 80\r\n-i = /more/\r\n; \r\n");
  const ProfileFile::Section* cli = file.section("cli");
  ASSERT_NE(cli, nullptr);
  ASSERT_EQ(cli->entries.size(), 3u);
  EXPECT_EQ(cli->entries[0].key, "-i");
  EXPECT_EQ(cli->entries[0].value, "/photos/");
  EXPECT_EQ(cli->entries[1].key, "--jpg-quality");
  EXPECT_EQ(cli->entries[2].value, "/more/");
  EXPECT_EQ(file.value("CLI", "-I"), "/photos/");
  EXPECT_EQ(file.value("CLI", "-o"), std::nullopt);
  EXPECT_EQ(file.value("Other", "-i"), std::nullopt);
}

TEST_F(SettingsFileTest, LineBreaksInValuesCannotAddKeys) {
  ConversionSettings settings = Defaults();
  settings.watermark.text = "line one\r\n[General]\r\nCFG = 3\nline two";
  settings.advanced.filenameMask = "%filename%\n[Output]\rFormat = gif";
  const std::string text = SavedText(settings);
  const std::string golden = DefaultFileText();
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'),
            std::count(golden.begin(), golden.end(), '\n'));
  EXPECT_EQ(std::count(text.begin(), text.end(), '\r'),
            std::count(golden.begin(), golden.end(), '\r'));

  const ConversionSettings loaded = LoadFile();
  EXPECT_EQ(loaded.general.cfg, 17);
  EXPECT_EQ(loaded.output.format, "bmp");
  EXPECT_EQ(loaded.watermark.text, "line one  [General]  CFG = 3 line two");
  EXPECT_EQ(loaded.advanced.filenameMask, "%filename% [Output] Format = gif");
}

TEST_F(SettingsFileTest, DamagedFilesLoadAsFarAsTheyParse) {
  std::string garbage(1 << 20, '\0');
  std::mt19937 random(7);
  for (char& ch : garbage) ch = static_cast<char>(random());
  ConversionSettings loaded = LoadText(garbage);
  EXPECT_EQ(loaded.output.jpgQuality, 95);

  loaded = LoadText(std::string(1 << 20, '\0'));
  EXPECT_EQ(loaded.watermark.font, "Arial");

  std::string nulsThenKeys(4096, '\0');
  using namespace std::string_view_literals;
  nulsThenKeys += "\n[Frame]\nSolid Left = 7\nSolid Right = \0\0\nSolid Top = 5\0junk\n"sv;
  loaded = LoadText(nulsThenKeys);
  EXPECT_EQ(loaded.frame.solidLeft, 7);
  EXPECT_EQ(loaded.frame.solidRight, 0);
  EXPECT_EQ(loaded.frame.solidTop, 5);

  // Beyond the read limit the rest of the file is not looked at.
  std::string huge = "[Frame]\nSolid Left = 9\n";
  huge.append(ProfileFile::kMaxFileSize, 'x');
  huge += "\n[Frame]\nSolid Right = 9\n";
  loaded = LoadText(huge);
  EXPECT_EQ(loaded.frame.solidLeft, 9);
  EXPECT_EQ(loaded.frame.solidRight, 0);
}

TEST_F(SettingsFileTest, SaveReplacesTheFileAndLeavesNoTemporary) {
  WriteBytes(path_, "[General]\r\nCFG = 16\r\n");
  EXPECT_EQ(SavedText(Defaults()).substr(0, 3), "\xEF\xBB\xBF");
  EXPECT_EQ(FolderEntries(), std::vector<std::string>{"config.ini"});
  EXPECT_FALSE(SaveSettingsFile(Defaults(), formats_, (folder_ / "missing/config.ini").string()));
  EXPECT_FALSE(SaveSettingsFile(Defaults(), formats_, ""));
}

TEST_F(SettingsFileTest, SaveWritesThroughSymbolicLinks) {
  // config.ini -> dotfiles/lumafold.ini -> ../store/real.ini (a chain, one
  // link relative to its own folder), as dotfile managers set it up.
  fs::create_directories(folder_ / "dotfiles");
  fs::create_directories(folder_ / "store");
  // A settings file read whole, so that no copy of a damaged one is kept beside it.
  WriteBytes(folder_ / "store/real.ini", "[General]\r\nCFG = 16\r\n");
  fs::permissions(folder_ / "store/real.ini", fs::perms::owner_read | fs::perms::owner_write |
                                                  fs::perms::group_read | fs::perms::others_read);
  fs::create_symlink("../store/real.ini", folder_ / "dotfiles/lumafold.ini");
  fs::create_symlink(folder_ / "dotfiles/lumafold.ini", path_);

  ASSERT_TRUE(SaveSettingsFile(Defaults(), formats_, path_));
  EXPECT_TRUE(fs::is_symlink(path_));
  EXPECT_TRUE(fs::is_symlink(folder_ / "dotfiles/lumafold.ini"));
  EXPECT_EQ(ReadBytes(folder_ / "store/real.ini").substr(0, 3), "\xEF\xBB\xBF");
  // The target keeps the permissions its owner gave it.
  EXPECT_EQ(fs::status(folder_ / "store/real.ini").permissions() & fs::perms::others_read,
            fs::perms::others_read);
  EXPECT_EQ(FolderEntries(), (std::vector<std::string>{"config.ini", "dotfiles", "store"}));
  EXPECT_EQ(EntriesOf(folder_ / "store"),
            std::vector<std::string>{"real.ini"});  // no temporary left

  // A dangling link names the file to create.
  fs::remove(folder_ / "store/real.ini");
  ASSERT_TRUE(SaveSettingsFile(Defaults(), formats_, path_));
  EXPECT_TRUE(fs::is_symlink(path_));
  EXPECT_TRUE(fs::is_regular_file(folder_ / "store/real.ini"));

  // A loop of links fails instead of spinning or replacing a link.
  const fs::path loopA = folder_ / "loop-a.ini";
  const fs::path loopB = folder_ / "loop-b.ini";
  fs::create_symlink(loopB, loopA);
  fs::create_symlink(loopA, loopB);
  EXPECT_FALSE(SaveSettingsFile(Defaults(), formats_, loopA.string()));
  EXPECT_TRUE(fs::is_symlink(loopA));
  EXPECT_TRUE(fs::is_symlink(loopB));
}

TEST_F(SettingsFileTest, FailedSaveKeepsTheOldFile) {
  WriteBytes(path_, "[General]\r\nCFG = 17\r\n");
  // A file size limit makes write() fail the way a full disk does, even
  // for root.
  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = 512;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  const bool saved512 = SaveSettingsFile(Defaults(), formats_, path_);
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previousHandler);
  EXPECT_FALSE(saved512);
  EXPECT_EQ(ReadBytes(path_), "[General]\r\nCFG = 17\r\n");
  EXPECT_EQ(FolderEntries(), std::vector<std::string>{"config.ini"});

  if (::geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
  fs::permissions(folder_, fs::perms::owner_read | fs::perms::owner_exec);
  EXPECT_FALSE(SaveSettingsFile(Defaults(), formats_, path_));
  fs::permissions(folder_, fs::perms::owner_all);
  EXPECT_EQ(ReadBytes(path_), "[General]\r\nCFG = 17\r\n");
  EXPECT_EQ(FolderEntries(), std::vector<std::string>{"config.ini"});
}

TEST_F(SettingsFileTest, DefaultPathFollowsXdgConfigHome) {
  const char* oldXdg = std::getenv("XDG_CONFIG_HOME");
  const char* oldHome = std::getenv("HOME");
  const std::string keepXdg = oldXdg ? oldXdg : "";
  const std::string keepHome = oldHome ? oldHome : "";

  const std::string xdg = (folder_ / "xdg").string();
  ::setenv("XDG_CONFIG_HOME", xdg.c_str(), 1);
  EXPECT_EQ(DefaultSettingsFilePath(), xdg + "/Quorvane/lumafold/config.ini");
  for (const char* sub : {"xdg", "xdg/Quorvane", "xdg/Quorvane/lumafold"}) {
    struct stat info {};
    ASSERT_EQ(::stat((folder_ / sub).c_str(), &info), 0) << sub;
    EXPECT_EQ(info.st_mode & 0777, 0700u) << sub;
  }

  // A relative XDG_CONFIG_HOME is not valid and falls back to ~/.config.
  ::setenv("XDG_CONFIG_HOME", "relative/dir", 1);
  ::setenv("HOME", folder_.c_str(), 1);
  EXPECT_EQ(DefaultSettingsFilePath(), folder_.string() + "/.config/Quorvane/lumafold/config.ini");
  EXPECT_TRUE(fs::is_directory(folder_ / ".config/Quorvane/lumafold"));
  ::unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(DefaultSettingsFilePath(), folder_.string() + "/.config/Quorvane/lumafold/config.ini");

  if (oldXdg) ::setenv("XDG_CONFIG_HOME", keepXdg.c_str(), 1);
  if (oldHome)
    ::setenv("HOME", keepHome.c_str(), 1);
  else
    ::unsetenv("HOME");
}

TEST(RecentOutputFolders, SameFolderInOtherLetterCaseReplacesTheOlderEntry) {
  ConversionSettings settings;
  settings.file.recentOutFolders = "/out/\t/a/";
  EXPECT_TRUE(AddRecentOutputFolder(settings, "/Out/"));
  EXPECT_EQ(settings.file.recentOutFolders, "/Out/\t/a/");

  settings.file.recentOutFolders = "/fotos/äpfel/\t/a/";
  EXPECT_TRUE(AddRecentOutputFolder(settings, "/Fotos/Äpfel/"));
  EXPECT_EQ(settings.file.recentOutFolders, "/Fotos/Äpfel/\t/a/");

  EXPECT_TRUE(AddRecentOutputFolder(settings, "/a/"));
  EXPECT_EQ(settings.file.recentOutFolders, "/a/\t/Fotos/Äpfel/");
  EXPECT_TRUE(AddRecentOutputFolder(settings, "/a/"));
  EXPECT_EQ(settings.file.recentOutFolders, "/a/\t/Fotos/Äpfel/");
}

TEST(RecentOutputFolders, FinalSlashDoesNotMakeASecondEntry) {
  // The folder chooser hands folders back without the final "/"; Convert
  // records them with it.
  ConversionSettings settings;
  settings.file.recentOutFolders = "/photos/out\t/a/";
  EXPECT_TRUE(AddRecentOutputFolder(settings, "/photos/out/"));
  EXPECT_EQ(settings.file.recentOutFolders, "/photos/out/\t/a/");
  EXPECT_TRUE(AddRecentOutputFolder(settings, "/a"));
  EXPECT_EQ(settings.file.recentOutFolders, "/a\t/photos/out/");
  EXPECT_TRUE(AddRecentOutputFolder(settings, "/Photos/Out//"));
  EXPECT_EQ(settings.file.recentOutFolders, "/Photos/Out//\t/a");
  // The root folder is one folder, not an empty name.
  EXPECT_TRUE(AddRecentOutputFolder(settings, "/"));
  EXPECT_EQ(settings.file.recentOutFolders, "/\t/Photos/Out//\t/a");
  EXPECT_TRUE(SameOutputFolder("/x/y", "/X/Y/"));
  EXPECT_FALSE(SameOutputFolder("/x/y", "/x/yz"));
  EXPECT_FALSE(SameOutputFolder("/", "/x"));
}

TEST(RecentOutputFolders, ListKeepsAtMostTheConfiguredNumber) {
  ConversionSettings settings;
  settings.advanced.outFoldersNumber = 2;
  AddRecentOutputFolder(settings, "/one/");
  AddRecentOutputFolder(settings, "/two/");
  AddRecentOutputFolder(settings, "/three/");
  EXPECT_EQ(settings.file.recentOutFolders, "/three/\t/two/");

  settings.advanced.outFoldersNumber = 5;
  settings.file.recentOutFolders = "/1/\t/2/\t/3/\t/4/\t/5/";
  AddRecentOutputFolder(settings, "/6/");
  EXPECT_EQ(settings.file.recentOutFolders, "/6/\t/1/\t/2/\t/3/\t/4/");

  // A damaged number still keeps the folder just chosen.
  settings.advanced.outFoldersNumber = -3;
  AddRecentOutputFolder(settings, "/7/");
  EXPECT_EQ(settings.file.recentOutFolders, "/7/");
}

TEST(RecentOutputFolders, FieldsAreTrimmedAndEmptyOnesSkipped) {
  ConversionSettings settings;
  settings.file.recentOutFolders = "  /a/ \t\t /b/\t   \t/c/";
  EXPECT_EQ(RecentOutputFolder(settings, 0), "/a/");
  EXPECT_EQ(RecentOutputFolder(settings, 1), "");
  EXPECT_EQ(RecentOutputFolder(settings, 2), "/b/");
  EXPECT_EQ(RecentOutputFolder(settings, 4), "/c/");
  EXPECT_EQ(RecentOutputFolder(settings, 5), "");
  EXPECT_EQ(RecentOutputFolder(settings, -1), "");
  AddRecentOutputFolder(settings, "/new/");
  EXPECT_EQ(settings.file.recentOutFolders, "/new/\t/a/\t/b/\t/c/");  // fields 0 to 4

  settings.file.recentOutFolders = "/1/\t\t\t\t\t/6/";
  AddRecentOutputFolder(settings, "/new/");
  EXPECT_EQ(settings.file.recentOutFolders, "/new/\t/1/");  // field 5 is beyond the five

  EXPECT_FALSE(AddRecentOutputFolder(settings, ""));
  EXPECT_EQ(settings.file.recentOutFolders, "/new/\t/1/");
}

TEST(ExitSequence, RecordsPlacementAndCleansHistory) {
  ConversionSettings settings;
  settings.window = WindowSettings{0, 10, 20, 600, 400};
  settings.file.recentOutFolders = "/a/";

  ApplyExitSequence(settings, WindowState{WindowPlacement::Maximized, 1, 2, 3000, 2000});
  EXPECT_EQ(settings.window.isMaximized, 1);
  EXPECT_EQ(settings.window.width, 600);
  EXPECT_EQ(settings.window.x, 10);

  ApplyExitSequence(settings, WindowState{WindowPlacement::Minimized, -32000, -32000, 160, 28});
  EXPECT_EQ(settings.window.isMaximized, 1);
  EXPECT_EQ(settings.window.x, 10);
  EXPECT_EQ(settings.window.height, 400);

  ApplyExitSequence(settings, WindowState{WindowPlacement::Normal, 30, 40, 700, 500});
  EXPECT_EQ(settings.window.isMaximized, 0);
  EXPECT_EQ(settings.window.x, 30);
  EXPECT_EQ(settings.window.y, 40);
  EXPECT_EQ(settings.window.width, 700);
  EXPECT_EQ(settings.window.height, 500);
  EXPECT_EQ(settings.file.recentOutFolders, "/a/");  // history kept

  settings.advanced.outFoldersHistory = 0;
  ApplyExitSequence(settings, WindowState{});
  EXPECT_EQ(settings.file.recentOutFolders, "");
}

}  // namespace
}  // namespace lumafold
