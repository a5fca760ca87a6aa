#include "settings/text_utils.h"

#include <gtest/gtest.h>

namespace lumafold {
namespace {

TEST(TextUtilsFoldCase, FoldsLettersBeyondAscii) {
  EXPECT_EQ(FoldCase("/Out/Ärger"), "/out/ärger");
  EXPECT_TRUE(EqualsIgnoreCase("/Fotos/ÄÖÜ/", "/fotos/äöü/"));
  EXPECT_TRUE(EqualsIgnoreCase("Straße", "STRASSE"));  // full folding: ß is ss
  EXPECT_TRUE(EqualsIgnoreCase("ΣΟΦΟΣ", "σοφος"));     // final sigma folds like sigma
  EXPECT_TRUE(EqualsIgnoreCase("МОСКВА", "москва"));
  EXPECT_TRUE(EqualsIgnoreCase("\xF0\x90\x90\x80", "\xF0\x90\x90\xA8"));  // Deseret, 4 bytes
  EXPECT_FALSE(EqualsIgnoreCase("/Out/", "/Out"));
  EXPECT_FALSE(EqualsIgnoreCase("a", "ä"));
}

TEST(TextUtilsFoldCase, KeepsBytesThatAreNotUtf8) {
  // Linux file names are bytes; folding must not drop or merge them.
  EXPECT_EQ(FoldCase("A\xFF"
                     "B"),
            "a\xFF"
            "b");
  EXPECT_EQ(FoldCase("X\xC3"), "x\xC3");                // truncated sequence
  EXPECT_EQ(FoldCase("\xC0\x81"), "\xC0\x81");          // overlong form
  EXPECT_EQ(FoldCase("\xED\xA0\x80"), "\xED\xA0\x80");  // encoded surrogate
  EXPECT_FALSE(EqualsIgnoreCase("\xFF", "\xFE"));
}

TEST(TextUtilsAscii, ChangesOnlyAsciiLetters) {
  EXPECT_EQ(ToUpperAscii("--jpg-Quality=95 ä"), "--JPG-QUALITY=95 ä");
  EXPECT_EQ(ToLowerAscii("PICTURE.PCD Ä"), "picture.pcd Ä");
}

TEST(TextUtilsUtf16, ConvertsBothWaysWithReplacement) {
  EXPECT_EQ(ToUtf16("aÄ€"), u"a\u00C4\u20AC");
  EXPECT_EQ(ToUtf16("\xF0\x9F\x93\xB7"), u"\xD83D\xDCF7");  // camera emoji as a pair
  EXPECT_EQ(ToUtf16("a\xFF"
                    "b"),
            u"a\uFFFD"
            "b");
  EXPECT_EQ(ToUtf8(u"a\u00C4\u20AC\xD83D\xDCF7"), "aÄ€\xF0\x9F\x93\xB7");
  EXPECT_EQ(ToUtf8(std::u16string(1, u'\xD800')), "\xEF\xBF\xBD");
}

TEST(TextUtilsTrim, TrimsOnlyTheNamedCharacters) {
  EXPECT_EQ(TrimSpaces("  a b \t "), "a b \t");
  EXPECT_EQ(TrimBlanks(" \t a b \t "), "a b");
  EXPECT_EQ(TrimSpaces("   "), "");
}

}  // namespace
}  // namespace lumafold
