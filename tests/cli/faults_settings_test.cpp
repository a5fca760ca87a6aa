// The settings file under attack: values with line breaks that try to
// smuggle keys into the next load, and files that are garbage, huge or
// full of NUL bytes. A load never crashes or hangs; it keeps what parses
// and falls back for the rest.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <random>
#include <sstream>

#include "faults_support.h"
#include "settings/conversion_settings.h"
#include "settings/format_registry.h"
#include "settings/profile_file.h"

namespace lumafold {
namespace {

using testing::FaultScratch;
using testing::ReadText;
using testing::WriteText;

// Every load sees the same "now", so that two loads a second apart agree.
constexpr std::time_t kFixedNow = 1796788786;

ConversionSettings Loaded(const std::string& path, bool* opened = nullptr) {
  ConversionSettings settings;
  settings.clock = [] { return kFixedNow; };
  const bool read = LoadSettingsFile(settings, path);
  if (opened) *opened = read;
  return settings;
}

// What a file without a single usable key loads as.
std::string FallbackText(const FaultScratch& scratch) {
  const std::string empty = scratch.path() + "/empty.ini";
  WriteText(empty, "");
  return SettingsFileText(Loaded(empty), FormatRegistry{});
}

long PeakResidentKilobytes() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

TEST(SettingsFaults, LineBreaksInValuesCannotBreakTheFileOrInjectKeys) {
  FaultScratch scratch;
  const std::string path = scratch.path() + "/config.ini";
  ConversionSettings settings;
  settings.resetToDefaults(SettingsMode::Window);
  // A pasted watermark text and a mask from the command line, each trying
  // to end its line and start a section of its own.
  settings.watermark.text = "Taken %dd%.%mm%\r\n[Advanced]\r\nFilename Mask = ../../.bashrc";
  settings.advanced.filenameMask = "%filename%.%ext%\n[General]\nCFG = 3\rLanguage = xx";
  settings.file.recentOutFolders = "/out/\n[Privacy]\nClean Recent Files = 1";
  ASSERT_TRUE(SaveSettingsFile(settings, FormatRegistry{}, path));

  const std::string text = ReadText(path);
  const auto count = [&](const std::string& needle) {
    std::size_t n = 0;
    for (std::size_t at = text.find(needle); at != std::string::npos;
         at = text.find(needle, at + 1))
      ++n;
    return n;
  };
  EXPECT_EQ(count("\r\n[Advanced]\r\n"), 1u);
  EXPECT_EQ(count("\r\n[General]\r\n"), 1u);
  EXPECT_EQ(count("\r\nFilename Mask = "), 1u);
  EXPECT_EQ(count("\r\nCFG = "), 1u);
  // Every line break in the file is one of the writer's own CR LF pairs.
  EXPECT_EQ(count("\r"), count("\r\n"));
  EXPECT_EQ(count("\n"), count("\r\n"));

  const ConversionSettings loaded = Loaded(path);
  EXPECT_EQ(loaded.watermark.text, "Taken %dd%.%mm%  [Advanced]  Filename Mask = ../../.bashrc");
  EXPECT_EQ(loaded.advanced.filenameMask, "%filename%.%ext% [General] CFG = 3 Language = xx");
  EXPECT_EQ(loaded.general.cfg, 17);
  EXPECT_EQ(loaded.general.language, settings.general.language);
  EXPECT_EQ(loaded.privacy.cleanRecentFiles, settings.privacy.cleanRecentFiles);
  // Saved again, nothing moves: the first save already made it one line.
  const std::string again = scratch.path() + "/again.ini";
  ASSERT_TRUE(SaveSettingsFile(loaded, FormatRegistry{}, again));
  EXPECT_EQ(ReadText(again), text);
}

TEST(SettingsFaults, GarbageLoadsAsFarAsItParses) {
  FaultScratch scratch;
  std::mt19937 random(20261208);
  std::string garbage(256 * 1024, '\0');
  for (char& c : garbage) c = static_cast<char>(random());
  const std::string path = scratch.path() + "/config.ini";
  // One readable key between the garbage; the garbage itself has
  // accidental "[" and "=" and line ends, none of which may do harm.
  WriteText(path, garbage + "\r\n[Output]\r\nJPG Quality = 77\r\n[" + garbage);

  bool opened = false;
  const ConversionSettings loaded = Loaded(path, &opened);
  EXPECT_TRUE(opened);
  EXPECT_EQ(loaded.output.jpgQuality, 77);
  EXPECT_EQ(loaded.settingsFilePath, path);
}

TEST(SettingsFaults, NulFilledFileLoadsAsTheFallbacks) {
  FaultScratch scratch;
  const std::string path = scratch.path() + "/config.ini";
  WriteText(path, std::string(4 << 20, '\0'));
  bool opened = false;
  const ConversionSettings loaded = Loaded(path, &opened);
  EXPECT_TRUE(opened);
  const std::string fallbacks = FallbackText(scratch);
  EXPECT_EQ(SettingsFileText(loaded, FormatRegistry{}), fallbacks);
  // The dates that fall back to "now" read the settings' clock.
  for (const char* key : {"Update Date = ", "Custom Timestamp = "})
    EXPECT_NE(fallbacks.find(key + std::to_string(LocalDate(kFixedNow)) + "\r\n"),
              std::string::npos)
        << key;
}

TEST(SettingsFaults, HugeFileLoadsItsBeginningQuicklyWithoutReadingItAll) {
  FaultScratch scratch;
  const std::string path = scratch.path() + "/config.ini";
  // 100 MB: real keys first, then one endless line, NUL bytes (a sparse
  // tail) and, far beyond what is read, a key that must not count.
  {
    std::string start = "\xEF\xBB\xBF\r\n[Output]\r\nJPG Quality = 66\r\n[Watermark]\r\nText = ";
    start += std::string(8 << 20, 'x');
    WriteText(path, start);
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    const std::string late = "\r\n[Output]\r\nJPG Quality = 1\r\n";
    ASSERT_EQ(::pwrite(fd, late.data(), late.size(), 100 << 20), static_cast<ssize_t>(late.size()));
    ::close(fd);
  }
  struct stat info {};
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  ASSERT_GE(info.st_size, 100 << 20);

  const long before = PeakResidentKilobytes();
  bool opened = false;
  const ConversionSettings loaded = Loaded(path, &opened);

  EXPECT_TRUE(opened);
  EXPECT_EQ(loaded.output.jpgQuality, 66);
  // The endless line runs on through the NUL bytes up to the read limit.
  EXPECT_EQ(loaded.watermark.text.find_first_not_of('x'), std::size_t{8 << 20});
  EXPECT_LE(loaded.watermark.text.size(), ProfileFile::kMaxFileSize);
  // The whole file would be 100 MB in memory; the reader stops far short.
  EXPECT_LT(PeakResidentKilobytes() - before, 80 * 1024);
}

TEST(SettingsFaults, AFileOfShortLinesAsLargeAsIsReadStillLoads) {
  // The most work a file can ask for: the whole read limit in tiny lines.
  FaultScratch scratch;
  const std::string path = scratch.path() + "/config.ini";
  std::string text = "[Output]\nJPG Quality = 55\n[Window]\n";
  while (text.size() < ProfileFile::kMaxFileSize) text += "a=\n";
  WriteText(path, text);
  // A hang or a quadratic reader runs into the suite's time limit; the
  // value after the flood shows the whole file was still taken in order.
  const ConversionSettings loaded = Loaded(path);
  EXPECT_EQ(loaded.output.jpgQuality, 55);
}

TEST(SettingsFaults, AFifoOrAFolderAtThePathIsNoFileAndDoesNotHang) {
  FaultScratch scratch;
  const std::string fifo = scratch.path() + "/fifo.ini";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  bool opened = true;
  ConversionSettings fromFifo = Loaded(fifo, &opened);
  EXPECT_FALSE(opened);
  EXPECT_EQ(fromFifo.settingsFilePath, fifo);

  opened = true;
  Loaded(scratch.path(), &opened);
  EXPECT_FALSE(opened);
}

// --- files the reader cannot take whole -----------------------------------

std::string Utf16(const std::string& ascii, bool littleEndian) {
  std::string text = littleEndian ? "\xFF\xFE" : "\xFE\xFF";
  for (char c : ascii) {
    text += littleEndian ? std::string{c, '\0'} : std::string{'\0', c};
  }
  return text;
}

// The copies SaveSettingsFile kept beside `path`.
std::vector<std::string> KeptCopies(const FaultScratch& scratch) {
  std::vector<std::string> kept;
  for (const std::string& name : testing::FolderNames(scratch.path()))
    if (name.starts_with("config.ini.bad-")) kept.push_back(scratch.path() + "/" + name);
  return kept;
}

TEST(SettingsFaults, AStrayBracketLineIsSkippedAloneAndTheSectionGoesOn) {
  FaultScratch scratch;
  const std::string path = scratch.path() + "/config.ini";
  WriteText(path,
            "[Output]\r\nJPG Quality = 55\r\n[\r\n  [ cut off\r\nPNG Compression = 3\r\n"
            "[Advanced]\r\nFilename Mask = a_%filename%.%ext%\r\n");
  const ConversionSettings loaded = Loaded(path);
  EXPECT_EQ(loaded.output.jpgQuality, 55);
  EXPECT_EQ(loaded.output.pngCompression, 3);
  EXPECT_EQ(loaded.advanced.filenameMask, "a_%filename%.%ext%");
}

TEST(SettingsFaults, Utf16WithAByteOrderMarkIsReadInEitherByteOrder) {
  for (const bool little : {true, false}) {
    SCOPED_TRACE(little ? "little-endian" : "big-endian");
    FaultScratch scratch;
    const std::string path = scratch.path() + "/config.ini";
    // "Ä" (U+00C4) and a character beyond the BMP (U+1F4F7, a surrogate pair).
    std::string text =
        Utf16("\r\n[Output]\r\nJPG Quality = 44\r\n[Advanced]\r\nFilename Mask = ", little);
    text += little ? std::string("\xC4\x00\x3D\xD8\xF7\xDC", 6)
                   : std::string("\x00\xC4\xD8\x3D\xDC\xF7", 6);
    text += Utf16("%filename%.%ext%\r\n", little).substr(2);
    WriteText(path, text);
    const ConversionSettings loaded = Loaded(path);
    EXPECT_EQ(loaded.output.jpgQuality, 44);
    EXPECT_EQ(loaded.advanced.filenameMask, "\xC3\x84\xF0\x9F\x93\xB7%filename%.%ext%");

    // Read whole, so the next save replaces it without keeping a copy.
    ASSERT_TRUE(SaveSettingsFile(loaded, FormatRegistry{}, path));
    EXPECT_TRUE(KeptCopies(scratch).empty());
    EXPECT_EQ(Loaded(path).advanced.filenameMask, loaded.advanced.filenameMask);
  }
}

struct NotWholeCase {
  const char* name;
  std::string text;
};

TEST(SettingsFaults, AFileNotReadWholeIsKeptBeforeTheNewOneReplacesIt) {
  // A comment runs past the read limit, with a key beyond it.
  std::string huge = "\xEF\xBB\xBF\r\n[Output]\r\nJPG Quality = 12\r\n; ";
  huge += std::string(ProfileFile::kMaxFileSize, 'w');
  huge += "\r\nPNG Compression = 1\r\n";
  const std::vector<NotWholeCase> cases = {
      {"over the read limit", huge},
      {"UTF-16 without a byte-order mark",
       Utf16("[Output]\r\nJPG Quality = 12\r\n", true).substr(2)},
      {"a stray bracket line", "[Output]\r\n[\r\nJPG Quality = 12\r\n"},
  };
  for (const NotWholeCase& c : cases) {
    SCOPED_TRACE(c.name);
    FaultScratch scratch;
    const std::string path = scratch.path() + "/config.ini";
    WriteText(path, c.text);
    ConversionSettings settings = Loaded(path);
    // The window's exit: save what it has.
    ASSERT_TRUE(SaveSettingsFile(settings, FormatRegistry{}, path));
    const std::vector<std::string> kept = KeptCopies(scratch);
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_TRUE(ReadText(kept.front()) == c.text) << "the copy differs from the old file";
    EXPECT_EQ(ReadText(path), SettingsFileText(settings, FormatRegistry{}));
    // The new file is whole: later saves keep nothing more.
    ASSERT_TRUE(SaveSettingsFile(settings, FormatRegistry{}, path));
    EXPECT_EQ(KeptCopies(scratch).size(), 1u);
  }
}

}  // namespace
}  // namespace lumafold
