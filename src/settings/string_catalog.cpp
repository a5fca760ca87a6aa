#include "settings/string_catalog.h"

#include <algorithm>

namespace lumafold {
namespace {

constexpr std::string_view kGroupMark = "_GROUP_";
constexpr std::string_view kEndMark = "_END_";

// Keys and group names are ASCII; only ASCII letters fold, so a key's first
// byte always indexes the 256-entry table.
char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

std::string UpperAscii(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = UpperAscii(c);
  return out;
}

// Finds `needle` in `hay` from `from` on, ignoring ASCII case.
std::size_t FindNoCase(const std::string& hay, std::string_view needle, std::size_t from) {
  if (needle.empty() || hay.size() < needle.size()) return std::string::npos;
  for (std::size_t i = from; i + needle.size() <= hay.size(); ++i) {
    bool same = true;
    for (std::size_t j = 0; j < needle.size(); ++j) {
      if (UpperAscii(hay[i + j]) != UpperAscii(needle[j])) {
        same = false;
        break;
      }
    }
    if (same) return i;
  }
  return std::string::npos;
}

}  // namespace

StringCatalog::StringCatalog() { Build(); }

StringCatalog::StringCatalog(std::span<const std::string_view> table) { BuildFrom(table); }

StringCatalog::StringCatalog(const StringCatalog& other)
    : table_(other.table_),
      groups_(other.groups_),
      entries_(other.entries_),
      language_(other.language_),
      lastGroup_(other.lastGroup_.load()) {}

StringCatalog& StringCatalog::operator=(const StringCatalog& other) {
  if (this != &other) {
    table_ = other.table_;
    groups_ = other.groups_;
    entries_ = other.entries_;
    language_ = other.language_;
    lastGroup_ = other.lastGroup_.load();
  }
  return *this;
}

bool StringCatalog::Build(std::string_view /*languageFile*/) {
  return BuildFrom(EnglishCatalogTable());
}

bool StringCatalog::BuildFrom(std::span<const std::string_view> table) {
  table_ = table;
  groups_.clear();
  entries_.clear();
  lastGroup_ = 0;

  // First pass: count, so the second pass fills without reallocating. A table
  // that runs out without "_END_" or leaves a key without text is malformed;
  // whatever was complete before the fault is kept.
  std::size_t groupCount = 0;
  std::size_t entryCount = 0;
  bool wellFormed = false;
  for (std::size_t i = 0; i < table.size();) {
    if (table[i] == kEndMark) {
      wellFormed = true;
      break;
    }
    if (table[i] == kGroupMark) {
      if (i + 1 >= table.size()) break;
      ++groupCount;
      i += 2;
      continue;
    }
    if (groupCount == 0 || i + 1 >= table.size()) break;
    ++entryCount;
    i += 2;
  }
  groups_.reserve(groupCount);
  entries_.reserve(entryCount);

  // Second pass: fill in table order.
  for (std::size_t i = 0; i < table.size();) {
    if (table[i] == kEndMark) break;
    if (table[i] == kGroupMark) {
      if (i + 1 >= table.size()) break;
      Group group;
      group.name = UpperAscii(table[i + 1]);
      group.first = entries_.size() + 1;
      group.last = entries_.size();
      groups_.push_back(std::move(group));
      i += 2;
      continue;
    }
    if (groups_.empty() || i + 1 >= table.size()) break;
    entries_.push_back(Entry{UpperAscii(table[i]), std::string(table[i + 1])});
    groups_.back().last = entries_.size();
    i += 2;
  }

  for (Group& group : groups_) {
    if (group.first > group.last) continue;
    auto begin = entries_.begin() + static_cast<std::ptrdiff_t>(group.first - 1);
    auto end = entries_.begin() + static_cast<std::ptrdiff_t>(group.last);
    // Stable, so of two equal keys the one listed first is found.
    std::stable_sort(begin, end, [](const Entry& a, const Entry& b) { return a.key < b.key; });
    for (std::size_t n = group.last; n >= group.first; --n) {
      const std::string& key = entries_[n - 1].key;
      if (!key.empty()) group.firstByChar[static_cast<unsigned char>(key[0])] = n;
    }
  }
  return wellFormed;
}

std::size_t StringCatalog::FindGroup(const std::string& upperName) const {
  const std::size_t remembered = lastGroup_.load(std::memory_order_relaxed);
  if (remembered != 0 && groups_[remembered - 1].name == upperName) return remembered;
  for (std::size_t n = 1; n <= groups_.size(); ++n) {
    if (groups_[n - 1].name == upperName) {
      lastGroup_.store(n, std::memory_order_relaxed);
      return n;
    }
  }
  lastGroup_.store(0, std::memory_order_relaxed);
  return 0;
}

std::string StringCatalog::text(std::string_view group, std::string_view key) const {
  const std::size_t groupNumber = FindGroup(UpperAscii(group));
  if (groupNumber == 0 || key.empty()) return std::string(kMissingText);
  const Group& g = groups_[groupNumber - 1];
  const std::string upperKey = UpperAscii(key);
  for (std::size_t n = g.firstByChar[static_cast<unsigned char>(upperKey[0])];
       n != 0 && n <= g.last; ++n) {
    const Entry& entry = entries_[n - 1];
    if (entry.key == upperKey) return entry.text;
    if (upperKey < entry.key) break;
  }
  return std::string(kMissingText);
}

std::string StringCatalog::Format(std::string_view text,
                                  std::initializer_list<std::string_view> args) {
  std::string out(text);
  if (out.empty()) return out;
  static constexpr std::string_view kPlaceholders[] = {"%s1%", "%s2%", "%s3%", "%s4%"};
  std::size_t index = 0;
  for (std::string_view value : args) {
    if (index >= 4) break;
    const std::string_view placeholder = kPlaceholders[index++];
    if (value.empty()) continue;
    // Continue after the inserted value, so a value that holds its own
    // placeholder cannot loop.
    for (std::size_t at = FindNoCase(out, placeholder, 0); at != std::string::npos;
         at = FindNoCase(out, placeholder, at + value.size())) {
      out.replace(at, placeholder.size(), value);
    }
  }
  return out;
}

std::string StringCatalog::Formatted(std::string_view group, std::string_view key,
                                     std::initializer_list<std::string_view> args) const {
  return Format(text(group, key), args);
}

std::vector<std::string> StringCatalog::groupNames() const {
  std::vector<std::string> names;
  names.reserve(groups_.size());
  for (const Group& g : groups_) names.push_back(g.name);
  return names;
}

std::size_t StringCatalog::entryCount(std::string_view group) const {
  const std::string upper = UpperAscii(group);
  for (const Group& g : groups_) {
    if (g.name == upper) return g.last + 1 - g.first;
  }
  return 0;
}

}  // namespace lumafold
