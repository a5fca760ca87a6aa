// Lookup and placeholder rules of the text catalog.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>

#include "settings/string_catalog.h"

namespace lumafold {
namespace {

constexpr std::string_view kMissing = "%NO_STRING_ERROR%";

struct Lookup {
  std::string_view group;
  std::string_view key;
  std::string_view text;
};

// Looks the entries up in their order on one catalog, which remembers the
// group it found last: a lookup must not take its group from the one before.
void ExpectTexts(std::initializer_list<Lookup> lookups) {
  const StringCatalog catalog;
  for (const Lookup& lookup : lookups)
    EXPECT_EQ(catalog.text(lookup.group, lookup.key), lookup.text)
        << lookup.group << " / " << lookup.key;
}

TEST(CatalogLookup, GroupAndKeyIgnoreLetterCase) {
  ExpectTexts({{"Msg", "Check For Updates", "Check for Updates"},
               {"MSG", "check for updates", "Check for Updates"},
               {"preferences", "check for updates", "Check for Updates:"},
               {"cUSTOM-cONVERTER", "tITLE", "Find a File Converter"}});
}

TEST(CatalogLookup, MissingGroupOrKeyGivesTheMarker) {
  const StringCatalog catalog;
  const std::pair<std::string_view, std::string_view> missing[] = {
      {"NoSuchGroup", "File"},
      {"Menu", "NoSuchKey"},
      {"Menu", ""},
      {"", "File"},
      // A key that sorts past every key of its first letter, and one whose
      // first letter no key of the group starts with.
      {"Menu", "Exz"},
      {"Menu", "Zebra"},
      // Only a whole key matches, not a prefix or an extension of one.
      {"Menu", "Select Input"},
      {"Menu", "Files"},
      // A non-ASCII first byte indexes no entry.
      {"Menu", "\xc3\x84pfel"}};
  for (const auto& [group, key] : missing)
    EXPECT_EQ(catalog.text(group, key), kMissing) << group << " / " << key;
}

TEST(CatalogLookup, UnknownGroupThenKnownGroupStillWorks) {
  ExpectTexts({{"Menu", "Exit", "Exit"},
               {"Nowhere", "Exit", kMissing},
               {"Menu", "Exit", "Exit"},
               {"Nowhere", "Title", kMissing},
               {"About", "Title", "About..."}});
}

TEST(CatalogLookup, SameKeyInDifferentGroupsKeepsEachGroupsText) {
  ExpectTexts({{"Menu", "Select Input Folder", "Add Input Folder..."},
               {"Dialog", "Select Input Folder", "Select Input Folder"},
               {"Menu", "Select Input Folder", "Add Input Folder..."},
               {"About", "Title", "About..."},
               {"Preferences", "Title", "Preferences..."},
               {"Uninstall", "Title", "Uninstall"}});
}

TEST(CatalogLookup, CopyLooksUpLikeTheOriginal) {
  const StringCatalog original;
  const StringCatalog copy = original;
  EXPECT_EQ(copy.text("General", "Ready"), "Ready");
  EXPECT_EQ(copy.language(), "en");
}

TEST(CatalogBuild, TableIsSortedPerGroupAndKeysAreFoundWhateverTheirOrder) {
  constexpr std::string_view table[] = {
      "_GROUP_", "first",  "zeta", "Z",    "Alpha",   "A",     "beta",  "B",       "alpha2", "A2",
      "_GROUP_", "Second", "zeta", "Z2nd", "_GROUP_", "Empty", "_END_", "ignored", "x"};
  StringCatalog catalog(table);
  EXPECT_EQ(catalog.groupNames(), (std::vector<std::string>{"FIRST", "SECOND", "EMPTY"}));
  EXPECT_EQ(catalog.entryCount("first"), 4u);
  EXPECT_EQ(catalog.entryCount("empty"), 0u);
  EXPECT_EQ(catalog.totalEntries(), 5u);
  EXPECT_EQ(catalog.text("First", "ALPHA"), "A");
  EXPECT_EQ(catalog.text("First", "Alpha2"), "A2");
  EXPECT_EQ(catalog.text("First", "Beta"), "B");
  EXPECT_EQ(catalog.text("First", "Zeta"), "Z");
  EXPECT_EQ(catalog.text("Second", "Zeta"), "Z2nd");
  EXPECT_EQ(catalog.text("Second", "Alpha"), kMissing);
  EXPECT_EQ(catalog.text("Empty", "Alpha"), kMissing);
  EXPECT_EQ(catalog.text("First", "ignored"), kMissing);
}

TEST(CatalogBuild, TruncatedTableKeepsWhatWasComplete) {
  constexpr std::string_view table[] = {"_GROUP_", "G", "one", "1", "dangling"};
  StringCatalog broken(table);
  EXPECT_EQ(broken.text("G", "one"), "1");
  EXPECT_EQ(broken.text("G", "dangling"), kMissing);
  EXPECT_EQ(broken.totalEntries(), 1u);
  // Rebuilding brings back the compiled English table.
  EXPECT_TRUE(broken.Build());
  EXPECT_EQ(broken.text("G", "one"), kMissing);
  EXPECT_EQ(broken.text("Menu", "File"), "File");
}

TEST(CatalogFormat, DescribedExamples) {
  EXPECT_EQ(StringCatalog::Format("(%s1%/%s2%)", {"3", "10"}), "(3/10)");
  EXPECT_EQ(StringCatalog::Format("(%s1%/%s2%)", {"3", ""}), "(3/%s2%)");
  EXPECT_EQ(StringCatalog::Format("(%s1%/%s2%)", {"3"}), "(3/%s2%)");
  const StringCatalog catalog;
  EXPECT_EQ(StringCatalog::Format(catalog.text("Msg", "Files converted"), {"4", "7"}),
            "Files converted: 4 of 7");
  EXPECT_EQ(catalog.Formatted("Msg", "Progress", {"1", "2"}), "(1/2)");
}

TEST(CatalogFormat, PlaceholdersIgnoreCaseAndRepeat) {
  EXPECT_EQ(StringCatalog::Format("%S1%-%s1%-%s3%-%S4%", {"a", "b", "c", "d"}), "a-a-c-d");
  EXPECT_EQ(StringCatalog::Format("%s4%%s3%%s2%%s1%", {"1", "2", "3", "4"}), "4321");
}

TEST(CatalogFormat, EarlierValuesAreFilledByLaterOnes) {
  EXPECT_EQ(StringCatalog::Format("[%s1%]", {"x%s2%y", "Z"}), "[xZy]");
  // Later values are not refilled by earlier ones.
  EXPECT_EQ(StringCatalog::Format("[%s2%]", {"A", "%s1%"}), "[%s1%]");
  // A value holding its own placeholder is inserted once, not recursively.
  EXPECT_EQ(StringCatalog::Format("%s1%|%s1%", {"%s1%"}), "%s1%|%s1%");
}

TEST(CatalogFormat, EmptyTemplateAndEmptyValues) {
  EXPECT_EQ(StringCatalog::Format("", {"a"}), "");
  EXPECT_EQ(StringCatalog::Format("no placeholders", {"a", "b"}), "no placeholders");
  EXPECT_EQ(StringCatalog::Format("%s1%", {}), "%s1%");
  EXPECT_EQ(StringCatalog::Format("%s5% %s1%", {"a", "b", "c", "d", "e"}), "%s5% a");
  EXPECT_EQ(StringCatalog::Format("%s1", {"a"}), "%s1");
}

}  // namespace
}  // namespace lumafold
