// Built-in English texts looked up by group and key.
//
// The texts are compiled in as one flat sequence: "_GROUP_", the group's name,
// then key/text pairs, until the next "_GROUP_" or "_END_". The catalog is
// built from that sequence once; lookups ignore letter case in both names.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace lumafold {

// The compiled English table in its flat form (see above).
std::span<const std::string_view> EnglishCatalogTable();

class StringCatalog {
 public:
  // What a lookup returns when the group or the key is unknown; the interface
  // shows it as it is.
  static constexpr std::string_view kMissingText = "%NO_STRING_ERROR%";

  // Builds from the compiled English table.
  StringCatalog();
  // Builds from a table of the flat form above (tests, other languages).
  explicit StringCatalog(std::span<const std::string_view> table);

  StringCatalog(const StringCatalog& other);
  StringCatalog& operator=(const StringCatalog& other);

  // Rebuilds from the compiled table. Both faces pass an empty language-file
  // name; translations are not read, so the English texts are always used.
  // Returns false only when the table is malformed.
  bool Build(std::string_view languageFile = {});

  // The text stored under `group` / `key`, both compared without regard to
  // ASCII letter case; kMissingText when either is unknown.
  std::string text(std::string_view group, std::string_view key) const;

  // Fills the placeholders "%s1%" .. "%s4%" (matched without regard to case)
  // with args[0] .. args[3], in that order, so a value for s1 that contains
  // "%s2%" is filled by s2 in turn. An empty argument leaves its placeholder.
  // Arguments after the fourth are ignored.
  static std::string Format(std::string_view text, std::initializer_list<std::string_view> args);

  // Looks up and formats in one call.
  std::string Formatted(std::string_view group, std::string_view key,
                        std::initializer_list<std::string_view> args) const;

  // The language the texts are in ("en", matching the "Language" setting).
  const std::string& language() const { return language_; }

  // Group names in upper case, in table order.
  std::vector<std::string> groupNames() const;
  // Number of entries in a group (0 for an unknown group).
  std::size_t entryCount(std::string_view group) const;
  std::size_t totalEntries() const { return entries_.size(); }

 private:
  struct Entry {
    std::string key;  // upper case
    std::string text;
  };
  struct Group {
    std::string name;       // upper case
    std::size_t first = 0;  // 1-based entry numbers, first > last when empty
    std::size_t last = 0;
    // Entry number of the first key starting with each character code, 0 when
    // none does.
    std::array<std::size_t, 256> firstByChar{};
  };

  bool BuildFrom(std::span<const std::string_view> table);
  std::size_t FindGroup(const std::string& upperName) const;

  std::span<const std::string_view> table_;
  std::vector<Group> groups_;
  std::vector<Entry> entries_;
  std::string language_ = "en";
  // Group number of the most recent successful lookup (0 when none): a
  // dialog asks for many keys of one group in a row.
  mutable std::atomic<std::size_t> lastGroup_{0};
};

}  // namespace lumafold
