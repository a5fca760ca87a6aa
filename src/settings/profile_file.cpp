#include "settings/profile_file.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "settings/product.h"
#include "settings/settings_keys.h"
#include "settings/text_utils.h"

namespace lumafold {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kLineEnd = "\r\n";

std::string_view TrimLeadingBlanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  return text;
}

std::string_view TrimTrailingBlanks(std::string_view text) {
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// Reads at most `limit` bytes of a regular file. O_NONBLOCK keeps a FIFO
// placed at the path from blocking the start-up; it is refused below.
std::optional<std::string> ReadRegularFile(const std::string& path, std::size_t limit) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return std::nullopt;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return std::nullopt;
  }
  std::string data;
  data.resize(
      std::min<std::size_t>(static_cast<std::size_t>(std::max<off_t>(info.st_size, 0)), limit));
  std::size_t filled = 0;
  while (filled < data.size()) {
    const ssize_t got = ::read(fd, data.data() + filled, data.size() - filled);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    filled += static_cast<std::size_t>(got);
  }
  ::close(fd);
  data.resize(filled);
  return data;
}

bool WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t written = ::write(fd, data.data(), data.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    data.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

std::string ParentFolder(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// The file a settings path finally names. A settings file kept as a
// symbolic link (dotfiles managed from a repository) is written through the
// link: its target is replaced, the link stays. Links are followed one at a
// time, so a dangling link still names the file to create; a loop gives ""
// (the save fails rather than replace one of its links).
std::string FollowLinks(std::string path) {
  for (int hop = 0; hop < 40; ++hop) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
    std::string target(static_cast<std::size_t>(info.st_size > 0 ? info.st_size : 4096), '\0');
    const ssize_t length = ::readlink(path.c_str(), target.data(), target.size());
    if (length <= 0) return path;
    target.resize(static_cast<std::size_t>(length));
    path = target.starts_with('/') ? target : ParentFolder(path) + "/" + target;
  }
  return {};
}

// Creates every missing folder of `path`, one level at a time.
void MakeFolders(const std::string& path) {
  for (std::size_t pos = 1; pos <= path.size(); ++pos) {
    if (pos != path.size() && path[pos] != '/') continue;
    const std::string prefix = path.substr(0, pos);
    if (::mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST) return;
  }
}

std::string HomeFolder() {
  if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/') return home;
  if (const passwd* entry = ::getpwuid(::getuid()); entry != nullptr && entry->pw_dir != nullptr)
    return entry->pw_dir;
  return "/tmp";
}

// A value may hold line breaks (a pasted watermark text, a mask typed on
// the command line); written as they are they would end the line and let
// the rest read as keys of their own.
std::string OneLine(std::string value) {
  std::replace(value.begin(), value.end(), '\r', ' ');
  std::replace(value.begin(), value.end(), '\n', ' ');
  return value;
}

bool IsUtf16(std::string_view text) {
  return text.size() >= 2 &&
         ((text[0] == '\xFF' && text[1] == '\xFE') || (text[0] == '\xFE' && text[1] == '\xFF'));
}

void AppendUtf8(std::string& out, char32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

// Windows editors save "Unicode" text as UTF-16 with a byte-order mark; the
// text is taken as UTF-8 from there on. A lone surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::string_view text) {
  const bool little = text[0] == '\xFF';
  std::string out;
  out.reserve(text.size());
  const auto unit = [&](std::size_t at) {
    const auto a = static_cast<unsigned char>(text[at]);
    const auto b = static_cast<unsigned char>(text[at + 1]);
    return static_cast<char32_t>(little ? (a | (b << 8)) : ((a << 8) | b));
  };
  for (std::size_t at = 2; at + 1 < text.size(); at += 2) {
    char32_t code = unit(at);
    if (code >= 0xD800 && code < 0xDC00 && at + 3 < text.size()) {
      const char32_t low = unit(at + 2);
      if (low >= 0xDC00 && low < 0xE000) {
        code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
        at += 2;
      } else {
        code = 0xFFFD;
      }
    } else if (code >= 0xD800 && code < 0xE000) {
      code = 0xFFFD;
    }
    AppendUtf8(out, code);
  }
  return out;
}

}  // namespace

ProfileFile ProfileFile::Parse(std::string_view text) {
  ProfileFile file;
  std::string converted;
  if (IsUtf16(text)) {
    converted = Utf16ToUtf8(text);
    text = converted;
  }
  if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark)
    text.remove_prefix(kByteOrderMark.size());
  if (text.find('\0') != std::string_view::npos) file.whole_ = false;

  std::size_t current = std::string::npos;  // no section yet
  while (!text.empty()) {
    const std::size_t end = text.find_first_of("\r\n");
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);

    line = TrimLeadingBlanks(line);
    if (line.empty() || line.front() == ';') continue;
    // A lone "[" (a cut value, a stray paste) is no section line: taken as
    // one it would move every later key of the section into nowhere.
    if (line.front() == '[' && line.find(']') == std::string_view::npos) {
      file.whole_ = false;
      continue;
    }
    if (line.front() == '[') {
      line.remove_prefix(1);
      const std::string name(line.substr(0, line.find(']')));
      const std::string folded = FoldCase(name);
      const auto found = file.sectionIndex_.find(folded);
      if (found != file.sectionIndex_.end()) {
        current = found->second;
      } else {
        current = file.sections_.size();
        file.sections_.push_back(Section{name, {}});
        file.keyIndex_.emplace_back();
        file.sectionIndex_.emplace(folded, current);
      }
      continue;
    }
    const std::size_t equals = line.find('=');
    if (current == std::string::npos || equals == std::string_view::npos) {
      file.whole_ = false;
      continue;
    }
    Section& section = file.sections_[current];
    Entry entry{std::string(TrimTrailingBlanks(line.substr(0, equals))),
                std::string(TrimLeadingBlanks(line.substr(equals + 1)))};
    file.keyIndex_[current].emplace(FoldCase(entry.key), section.entries.size());
    section.entries.push_back(std::move(entry));
  }
  return file;
}

std::optional<ProfileFile> ProfileFile::Read(const std::string& path) {
  // One byte more than is parsed tells a file cut at the limit.
  std::optional<std::string> data = ReadRegularFile(path, kMaxFileSize + 1);
  if (!data) return std::nullopt;
  const bool cut = data->size() > kMaxFileSize;
  if (cut) data->resize(kMaxFileSize);
  ProfileFile file = Parse(*data);
  if (cut) file.whole_ = false;
  return file;
}

const ProfileFile::Section* ProfileFile::section(std::string_view name) const {
  const auto found = sectionIndex_.find(FoldCase(name));
  return found == sectionIndex_.end() ? nullptr : &sections_[found->second];
}

std::optional<std::string_view> ProfileFile::value(std::string_view section,
                                                   std::string_view key) const {
  const auto foundSection = sectionIndex_.find(FoldCase(section));
  if (foundSection == sectionIndex_.end()) return std::nullopt;
  const auto& keys = keyIndex_[foundSection->second];
  // emplace kept the first line of a key repeated within its section.
  const auto foundKey = keys.find(FoldCase(key));
  if (foundKey == keys.end()) return std::nullopt;
  return std::string_view(sections_[foundSection->second].entries[foundKey->second].value);
}

std::string DefaultSettingsFilePath() {
  std::string base;
  // Relative values are invalid for XDG base directories and are ignored.
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && xdg[0] == '/')
    base = xdg;
  else
    base = HomeFolder() + "/.config";
  while (base.size() > 1 && base.back() == '/') base.pop_back();
  const std::string folder = base + "/" + std::string(kMakerName) + "/lumafold";
  MakeFolders(folder);
  return folder + "/config.ini";
}

void ApplySettingsFile(ConversionSettings& settings, const ProfileFile& file, SettingsDate now) {
  for (const SettingKey& key : SettingsKeys()) {
    if (const auto value = file.value(key.section, key.key))
      StoreSettingValue(key, settings, *value);
    else
      StoreSettingFallback(key, settings, now);
  }
}

void RunUpgradeSteps(ConversionSettings& settings) {
  if (settings.general.cfg < 11 &&
      settings.advanced.filenameMask.find("%ext%") == std::string::npos)
    settings.advanced.filenameMask += ".%ext%";
  // Layout 14 put RGB8 and RGB16 ahead of the older RAW choices.
  if (settings.general.cfg < 14 && settings.input.rawLoadAs != 0) settings.input.rawLoadAs += 2;
}

bool LoadSettingsFile(ConversionSettings& settings, const std::string& path, ScreenSize screen) {
  const std::optional<ProfileFile> file = ProfileFile::Read(path);
  if (file) {
    ApplySettingsFile(settings, *file, settings.now());
    // The flag is derived from the four values it summarises; a file that
    // disagrees with them must not switch the adjustment off or on.
    settings.updateColorCorrection();
  } else {
    settings.resetToDefaults(SettingsMode::Window, screen);
  }
  settings.settingsFilePath = path;
  RunUpgradeSteps(settings);
  return file.has_value();
}

std::string SettingsFileText(const ConversionSettings& settings, const FormatRegistry& formats) {
  return SettingsFileText(settings, formats.activeInputFormats(), formats.outputOrder());
}

std::string SettingsFileText(const ConversionSettings& settings,
                             const std::vector<std::string>& inputFormats,
                             const std::vector<std::string>& outputFormats) {
  const auto keysOf = [](std::string_view section) {
    std::vector<const SettingKey*> keys;
    for (const SettingKey& key : SettingsKeys())
      if (key.section == section) keys.push_back(&key);
    return keys;
  };

  std::string text(kByteOrderMark);
  text += kLineEnd;
  const auto writeKey = [&](const SettingKey& key) {
    text += key.key;
    text += " = ";
    // The layout version written is always the current one.
    text += std::string_view(key.key) == "CFG" && std::string_view(key.section) == "General"
                ? std::string("17")
                : OneLine(FormatSettingValue(key, settings));
    text += kLineEnd;
  };

  for (const char* section : SettingsSections()) {
    const std::string_view name(section);
    text += "[";
    text += name;
    text += "]";
    text += kLineEnd;
    const std::vector<const SettingKey*> keys = keysOf(name);
    if (name == "Window") {
      if (settings.general.saveWindowPosition == 1)
        for (const SettingKey* key : keys) writeKey(*key);
    } else if (name == "Input" || name == "Output") {
      const std::vector<std::string>& list = name == "Input" ? inputFormats : outputFormats;
      for (const SettingKey* key : keys)
        if (key->format == nullptr) writeKey(*key);
      for (const std::string& format : list)
        for (const SettingKey* key : keys)
          if (key->format != nullptr && format == key->format) writeKey(*key);
    } else {
      for (const SettingKey* key : keys) writeKey(*key);
    }
    text += "; ";
    text += kLineEnd;
  }
  return text;
}

std::string KeepSettingsFileNotReadWhole(const std::string& path, std::string_view replacement) {
  const std::optional<ProfileFile> file = ProfileFile::Read(path);
  if (!file || file->whole()) return {};
  // Saving the same bytes again (a value too long to read back whole) loses
  // nothing: one copy of the original is enough.
  if (!replacement.empty() && replacement.size() > ProfileFile::kMaxFileSize) {
    const std::optional<std::string> old = ReadRegularFile(path, replacement.size() + 1);
    if (old && *old == replacement) return {};
  }
  const int from = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (from < 0) return {};
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
  const std::string base = path + ".bad-" + stamp;
  std::string copy;
  int to = -1;
  for (int attempt = 1; attempt < 100 && to < 0; ++attempt) {
    copy = attempt == 1 ? base : base + "-" + std::to_string(attempt);
    to = ::open(copy.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (to < 0 && errno != EEXIST) break;
  }
  bool ok = to >= 0;
  std::vector<char> buffer(1 << 16);
  while (ok) {
    const ssize_t got = ::read(from, buffer.data(), buffer.size());
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      ok = got == 0;
      break;
    }
    ok = WriteAll(to, std::string_view(buffer.data(), static_cast<std::size_t>(got)));
  }
  ::close(from);
  if (to >= 0) {
    ok = ::fsync(to) == 0 && ok;
    ok = ::close(to) == 0 && ok;
    if (!ok) ::unlink(copy.c_str());
  }
  return ok ? copy : std::string();
}

bool SaveSettingsFile(const ConversionSettings& settings, const FormatRegistry& formats,
                      const std::string& givenPath) {
  if (givenPath.empty()) return false;
  const std::string path = FollowLinks(givenPath);
  if (path.empty()) return false;
  const std::string text = SettingsFileText(settings, formats);
  // What the reader skipped would be gone with the old file.
  KeepSettingsFileNotReadWhole(path, text);
  // The new file is made beside the one it replaces (the link's target),
  // so that the rename stays on one file system.
  std::string temporary = path + ".tmp-XXXXXX";
  const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
  if (fd < 0) return false;
  // A file the user made readable to others (a shared dotfiles checkout)
  // keeps its permissions; a new one is private.
  struct stat old {};
  if (::stat(path.c_str(), &old) == 0) ::fchmod(fd, old.st_mode & 07777);
  bool ok = WriteAll(fd, text) && ::fsync(fd) == 0;
  ok = ::close(fd) == 0 && ok;
  if (ok) ok = ::rename(temporary.c_str(), path.c_str()) == 0;
  if (!ok) {
    ::unlink(temporary.c_str());
    return false;
  }
  // The rename itself reaches the disk only with the folder's entry.
  const int folder = ::open(ParentFolder(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder >= 0) {
    ::fsync(folder);
    ::close(folder);
  }
  return true;
}

std::string RecentOutputFolder(const ConversionSettings& settings, int index) {
  if (index < 0) return {};
  std::string_view list = settings.file.recentOutFolders;
  for (int i = 0; i < index; ++i) {
    const std::size_t tab = list.find('\t');
    if (tab == std::string_view::npos) return {};
    list.remove_prefix(tab + 1);
  }
  return std::string(TrimSpaces(list.substr(0, list.find('\t'))));
}

namespace {

// "/photos/out/" and "/photos/out" name one folder: the chooser hands the
// folder back without the final "/", Convert adds it.
std::string FolderKey(std::string_view folder) {
  while (folder.size() > 1 && folder.back() == '/') folder.remove_suffix(1);
  return FoldCase(std::string(folder));
}

}  // namespace

bool SameOutputFolder(std::string_view a, std::string_view b) {
  return FolderKey(a) == FolderKey(b);
}

bool AddRecentOutputFolder(ConversionSettings& settings, const std::string& folder) {
  if (folder.empty()) return false;
  // The dialog keeps the number within 1 to 50; a damaged file may not.
  const int limit = std::max<int>(settings.advanced.outFoldersNumber, 1);
  const std::string folded = FolderKey(folder);
  std::string list = folder;
  int count = 1;
  for (int i = 0; i < limit && count < limit; ++i) {
    const std::string old = RecentOutputFolder(settings, i);
    if (old.empty() || FolderKey(old) == folded) continue;
    list += '\t';
    list += old;
    ++count;
  }
  settings.file.recentOutFolders = std::move(list);
  return true;
}

void ApplyExitSequence(ConversionSettings& settings, const WindowState& window) {
  switch (window.placement) {
    case WindowPlacement::Maximized:
      settings.window.isMaximized = 1;
      break;
    case WindowPlacement::Minimized:
      break;
    case WindowPlacement::Normal:
      settings.window.isMaximized = 0;
      settings.window.width = window.width;
      settings.window.height = window.height;
      settings.window.x = window.x;
      settings.window.y = window.y;
      break;
  }
  if (settings.advanced.outFoldersHistory == 0) settings.file.recentOutFolders.clear();
}

}  // namespace lumafold
