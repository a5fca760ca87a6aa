// Reads theme archives and puts their pictures over the built-in ones.
#include "ui/themes.h"

#include <archive.h>
#include <archive_entry.h>
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <memory>
#include <set>

#include "settings/text_utils.h"
#include "ui/commands.h"

namespace lumafold::ui {

namespace {

constexpr const char* kThemeConfig = "theme.cfg";
// Collecting themes only needs the display name near the top of the file.
constexpr std::size_t kThemeConfigPeek = 255;
// A theme is a few dozen small PNG files. The sizes an archive declares
// can lie, so reading stops at these limits whatever it claims.
constexpr std::size_t kMaxEntryBytes = 8u << 20;
constexpr std::size_t kMaxArchiveBytes = 64u << 20;

struct DirCloser {
  void operator()(DIR* d) const { closedir(d); }
};

using ArchivePtr = std::unique_ptr<archive, decltype(&archive_read_free)>;

ArchivePtr OpenZip(const std::string& path) {
  ArchivePtr a(archive_read_new(), &archive_read_free);
  if (!a) return ArchivePtr(nullptr, &archive_read_free);
  archive_read_support_format_zip(a.get());
  if (archive_read_open_filename(a.get(), path.c_str(), 16384) != ARCHIVE_OK)
    return ArchivePtr(nullptr, &archive_read_free);
  return a;
}

// Reads the current entry's data, at most `limit` bytes; false when the
// data is damaged or longer than the limit.
bool ReadEntryData(archive* a, std::size_t limit, std::string& out) {
  out.clear();
  char chunk[16384];
  for (;;) {
    la_ssize_t n = archive_read_data(a, chunk, sizeof chunk);
    if (n == 0) return true;
    if (n < 0) return false;
    if (out.size() + static_cast<std::size_t>(n) > limit) {
      out.append(chunk, limit - out.size());
      return false;
    }
    out.append(chunk, static_cast<std::size_t>(n));
  }
}

bool IsRegularFile(const std::string& path, long long* size = nullptr) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
  if (size) *size = info.st_size;
  return true;
}

bool EndsWith(std::string_view text, std::string_view tail) {
  return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

// ASCII case-insensitive find: theme.cfg is single-byte text.
std::size_t FindNoCase(std::string_view text, std::string_view needle, std::size_t from) {
  if (needle.empty() || from > text.size() || text.size() - from < needle.size())
    return std::string_view::npos;
  const std::string lowerText = ToLowerAscii(text);
  const std::string lowerNeedle = ToLowerAscii(needle);
  return lowerText.find(lowerNeedle, from);
}

std::string TrimValue(std::string_view text) {
  constexpr std::string_view kBlank = " \t\r\n";
  std::size_t first = text.find_first_not_of(kBlank);
  if (first == std::string_view::npos) return {};
  std::size_t last = text.find_last_not_of(kBlank);
  return std::string(text.substr(first, last - first + 1));
}

// theme.cfg is single-byte text: themes made for this program write UTF-8,
// older ones a Western code page. Text that is not UTF-8 is read as Latin-1,
// so "Café" shows as written rather than as replacement marks. `cutShort`:
// the text is a prefix of the file, so a sequence cut at its end is no fault.
std::string ThemeConfigText(const std::string& bytes, bool cutShort) {
  std::size_t pos = 0;
  bool utf8 = true;
  while (pos < bytes.size()) {
    const std::size_t start = pos;
    char32_t ignored = 0;
    if (DecodeUtf8(bytes, pos, ignored)) continue;
    // A lead byte whose sequence would run past a cut end.
    const auto lead = static_cast<unsigned char>(bytes[start]);
    const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
    if (cutShort && length > 0 && start + length > bytes.size()) break;
    utf8 = false;
    break;
  }
  if (utf8) return bytes;
  std::string text;
  for (const char byte : bytes) AppendUtf8(text, static_cast<unsigned char>(byte));
  return text;
}

// The display name of one archive; nullopt-like false when it is no ZIP.
bool PeekDisplayName(const std::string& path, std::string& name) {
  ArchivePtr a = OpenZip(path);
  if (!a) return false;
  name.clear();
  archive_entry* entry = nullptr;
  bool first = true;
  for (;;) {
    int status = archive_read_next_header(a.get(), &entry);
    if (status == ARCHIVE_EOF) return true;
    // The first header decides whether the file is a ZIP archive at all.
    if (status != ARCHIVE_OK && status != ARCHIVE_WARN) return !first;
    first = false;
    const char* entryName = archive_entry_pathname(entry);
    if (entryName == nullptr || std::string_view(entryName) != kThemeConfig) continue;
    std::string text;
    ReadEntryData(a.get(), kThemeConfigPeek, text);
    name = ReadThemeKey(ThemeConfigText(text, text.size() >= kThemeConfigPeek), "Theme", "Name");
    return true;
  }
}

// Every entry with data, by exact name.
bool ReadAllEntries(const std::string& path, std::map<std::string, std::string>& entries) {
  ArchivePtr a = OpenZip(path);
  if (!a) return false;
  archive_entry* entry = nullptr;
  std::size_t total = 0;
  bool first = true;
  for (;;) {
    int status = archive_read_next_header(a.get(), &entry);
    if (status == ARCHIVE_EOF) break;
    if (status != ARCHIVE_OK && status != ARCHIVE_WARN) {
      if (first) return false;
      break;  // keep what was read before the damage
    }
    first = false;
    const char* entryName = archive_entry_pathname(entry);
    if (entryName == nullptr || archive_entry_filetype(entry) != AE_IFREG) continue;
    if (archive_entry_size_is_set(entry) && archive_entry_size(entry) <= 0) continue;
    std::string data;
    if (!ReadEntryData(a.get(), std::min(kMaxEntryBytes, kMaxArchiveBytes - total), data)) continue;
    if (data.empty()) continue;
    total += data.size();
    entries[entryName] = std::move(data);
    if (total >= kMaxArchiveBytes) break;
  }
  return true;
}

std::string ArchivePathFor(const std::string& theme, const ThemeTable& table,
                           const std::vector<std::string>& folders) {
  auto known = table.find(theme);
  if (known != table.end() && IsRegularFile(known->second.archivePath))
    return known->second.archivePath;
  for (const std::string& folder : folders) {
    std::string path = folder + theme + ".zip";
    if (IsRegularFile(path)) return path;
  }
  return {};
}

}  // namespace

std::vector<std::string> ThemeFolders(const std::string& programFolder) {
  return {programFolder + "gfx/", programFolder + "../share/lumafold/gfx/"};
}

ThemeTable CollectThemes(const std::vector<std::string>& folders) {
  ThemeTable table;
  for (const std::string& folder : folders) {
    std::unique_ptr<DIR, DirCloser> dir(opendir(folder.c_str()));
    if (!dir) continue;
    std::set<std::string> names;  // readdir order is arbitrary
    while (dirent* e = readdir(dir.get())) {
      std::string_view name = e->d_name;
      if (name == "." || name == ".." || !EndsWith(name, ".zip") || name.size() == 4) continue;
      names.emplace(name);
    }
    for (const std::string& name : names) {
      const std::string key = name.substr(0, name.size() - 4);
      const std::string path = folder + name;
      if (table.count(key) != 0 || !IsRegularFile(path)) continue;
      std::string displayName;
      if (PeekDisplayName(path, displayName)) table[key] = ThemeInfo{displayName, path};
    }
  }
  return table;
}

std::string ReadThemeKey(std::string_view text, std::string_view section, std::string_view key) {
  std::string header(1, '[');
  header.append(section);
  header += ']';
  const std::size_t sectionStart = FindNoCase(text, header, 0);
  if (sectionStart == std::string_view::npos) return {};
  std::size_t sectionEnd = text.find('[', sectionStart + 1);
  if (sectionEnd == std::string_view::npos) sectionEnd = text.size();

  const std::size_t keyStart = FindNoCase(text, "\r\n" + std::string(key), sectionStart);
  if (keyStart == std::string_view::npos || keyStart >= sectionEnd) return {};
  std::size_t lineEnd = text.find("\r\n", keyStart + 2);
  if (lineEnd == std::string_view::npos) lineEnd = text.size();
  const std::string_view line = text.substr(keyStart + 2, lineEnd - keyStart - 2);

  const std::size_t equals = line.find('=');
  if (equals == std::string_view::npos) return {};
  std::string_view value = line.substr(equals + 1);
  value = value.substr(0, value.find('='));
  return TrimValue(value);
}

std::string ThemeEntryName(const std::string& value, int pixelSize) {
  if (ToLowerAscii(value).find(".png") != std::string::npos) return value;
  return value + "_" + std::to_string(pixelSize) + ".png";
}

std::vector<ThemeChoice> ThemeChoices(const ThemeTable& table) {
  std::vector<ThemeChoice> choices;
  for (const auto& [key, info] : table)
    if (!info.displayName.empty()) choices.push_back({key, info.displayName});
  std::stable_sort(choices.begin(), choices.end(), [](const ThemeChoice& a, const ThemeChoice& b) {
    return ToLowerAscii(a.key) < ToLowerAscii(b.key);
  });
  return choices;
}

ThemeSetSpec ThemeSetFor(ThemeSet set, int uiSize) {
  ThemeSetSpec plan;
  if (set == kThemeButtons) {
    plan.section = "Buttons";
    plan.pixelSize = kMenuIconSize;
    plan.names.assign(ButtonNames().begin(), ButtonNames().end());
  } else {
    plan.section = "Icons";
    plan.pixelSize = set == kThemeToolBarIcons ? IconSizeForUiSize(uiSize) : kMenuIconSize;
    plan.names.assign(IconNames().begin(), IconNames().end());
  }
  return plan;
}

bool LoadTheme(InterfaceSettings& settings, const ThemeTable& table,
               const std::vector<std::string>& folders, int sets, ThemeImages& images) {
  std::string path = ArchivePathFor(settings.uiTheme, table, folders);
  if (path.empty() && !table.empty()) {
    settings.uiTheme = table.begin()->first;
    path = ArchivePathFor(settings.uiTheme, table, folders);
  }
  long long size = 0;
  if (path.empty() || !IsRegularFile(path, &size) || size == 0) return false;

  std::map<std::string, std::string> entries;
  if (!ReadAllEntries(path, entries)) return false;
  const auto config = entries.find(kThemeConfig);
  const std::string cfg =
      config == entries.end() ? std::string() : ThemeConfigText(config->second, false);

  const std::pair<ThemeSet, ImageSet*> targets[] = {
      {kThemeButtons, &images.buttons},
      {kThemeMenuIcons, &images.menuIcons},
      {kThemeToolBarIcons, &images.toolBarIcons},
  };
  for (const auto& [set, target] : targets) {
    if ((sets & set) == 0) continue;
    const ThemeSetSpec plan = ThemeSetFor(set, settings.uiSize);
    for (std::string_view name : plan.names) {
      const std::string value = ReadThemeKey(cfg, plan.section, name);
      auto entry = entries.find(ThemeEntryName(value, plan.pixelSize));
      if (value.empty() || entry == entries.end()) continue;
      QImage image;
      if (image.loadFromData(reinterpret_cast<const uchar*>(entry->second.data()),
                             static_cast<int>(entry->second.size()), "PNG"))
        (*target)[std::string(name)] = std::move(image);
    }
  }
  return true;
}

ThemeRefresh RefreshFor(const InterfaceSettings& before, const InterfaceSettings& after) {
  if (before.uiTheme != after.uiTheme) return ThemeRefresh::ThemeChanged;
  if (before.uiSize != after.uiSize) return ThemeRefresh::IconSizeChanged;
  return ThemeRefresh::None;
}

int SetsToReload(ThemeRefresh refresh) {
  switch (refresh) {
    case ThemeRefresh::ThemeChanged:
      return kThemeAllSets;
    case ThemeRefresh::IconSizeChanged:
      return kThemeToolBarIcons;
    case ThemeRefresh::None:
      break;
  }
  return 0;
}

}  // namespace lumafold::ui
