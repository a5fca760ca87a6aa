// Lookup and placeholder rules of the text catalog.
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "settings/string_catalog.h"

namespace lumafold {
namespace {

TEST(CatalogLookup, GroupAndKeyIgnoreLetterCase) {
  const StringCatalog catalog;
  EXPECT_EQ(catalog.text("Msg", "Check For Updates"), "Check for Updates");
  EXPECT_EQ(catalog.text("MSG", "check for updates"), "Check for Updates");
  EXPECT_EQ(catalog.text("preferences", "check for updates"), "Check for Updates:");
  EXPECT_EQ(catalog.text("cUSTOM-cONVERTER", "tITLE"), "Find a File Converter");
}

TEST(CatalogLookup, MissingGroupOrKeyGivesTheMarker) {
  const StringCatalog catalog;
  EXPECT_EQ(catalog.text("NoSuchGroup", "File"), "%NO_STRING_ERROR%");
  EXPECT_EQ(catalog.text("Menu", "NoSuchKey"), "%NO_STRING_ERROR%");
  EXPECT_EQ(catalog.text("Menu", ""), "%NO_STRING_ERROR%");
  EXPECT_EQ(catalog.text("", "File"), "%NO_STRING_ERROR%");
  // A key that sorts past every key of its first letter, and one whose first
  // letter no key of the group starts with.
  EXPECT_EQ(catalog.text("Menu", "Exz"), "%NO_STRING_ERROR%");
  EXPECT_EQ(catalog.text("Menu", "Zebra"), "%NO_STRING_ERROR%");
  // Only a whole key matches, not a prefix or an extension of one.
  EXPECT_EQ(catalog.text("Menu", "Select Input"), "%NO_STRING_ERROR%");
  EXPECT_EQ(catalog.text("Menu", "Files"), "%NO_STRING_ERROR%");
  // A non-ASCII first byte indexes no entry.
  EXPECT_EQ(catalog.text("Menu", "\xc3\x84pfel"), "%NO_STRING_ERROR%");
}

TEST(CatalogLookup, UnknownGroupThenKnownGroupStillWorks) {
  const StringCatalog catalog;
  EXPECT_EQ(catalog.text("Menu", "Exit"), "Exit");
  EXPECT_EQ(catalog.text("Nowhere", "Exit"), "%NO_STRING_ERROR%");
  EXPECT_EQ(catalog.text("Menu", "Exit"), "Exit");
  EXPECT_EQ(catalog.text("Nowhere", "Title"), "%NO_STRING_ERROR%");
  EXPECT_EQ(catalog.text("About", "Title"), "About...");
}

TEST(CatalogLookup, SameKeyInDifferentGroupsKeepsEachGroupsText) {
  // The remembered group must not leak from one lookup into the next.
  const StringCatalog catalog;
  EXPECT_EQ(catalog.text("Menu", "Select Input Folder"), "Add Input Folder...");
  EXPECT_EQ(catalog.text("Dialog", "Select Input Folder"), "Select Input Folder");
  EXPECT_EQ(catalog.text("Menu", "Select Input Folder"), "Add Input Folder...");
  EXPECT_EQ(catalog.text("About", "Title"), "About...");
  EXPECT_EQ(catalog.text("Preferences", "Title"), "Preferences...");
  EXPECT_EQ(catalog.text("Uninstall", "Title"), "Uninstall");
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
  EXPECT_EQ(catalog.text("Second", "Alpha"), "%NO_STRING_ERROR%");
  EXPECT_EQ(catalog.text("Empty", "Alpha"), "%NO_STRING_ERROR%");
  EXPECT_EQ(catalog.text("First", "ignored"), "%NO_STRING_ERROR%");
}

TEST(CatalogBuild, TruncatedTableKeepsWhatWasComplete) {
  constexpr std::string_view table[] = {"_GROUP_", "G", "one", "1", "dangling"};
  StringCatalog broken(table);
  EXPECT_EQ(broken.text("G", "one"), "1");
  EXPECT_EQ(broken.text("G", "dangling"), "%NO_STRING_ERROR%");
  EXPECT_EQ(broken.totalEntries(), 1u);
  // Rebuilding brings back the compiled English table.
  EXPECT_TRUE(broken.Build());
  EXPECT_EQ(broken.text("G", "one"), "%NO_STRING_ERROR%");
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
