// Title line, version text and program name as users and scripts see them.
#include <gtest/gtest.h>

#include "settings/product.h"

namespace lumafold {
namespace {

TEST(Product, VersionRule) {
  EXPECT_EQ(VersionText(260), "2.6");
  EXPECT_EQ(VersionText(261), "2.6.1");
  EXPECT_EQ(VersionText(300), "3.0");
  EXPECT_EQ(VersionText(105), "1.0.5");
  // Longer numbers: the rule keeps the first three characters when the text
  // ends in "0".
  EXPECT_EQ(VersionText(2610), "2.6");
  EXPECT_EQ(VersionText(2615), "2.6.15");
  // Too short for both points: no dangling point.
  EXPECT_EQ(VersionText(26), "2.6");
  EXPECT_EQ(VersionText(7), "7");
  EXPECT_EQ(VersionText(), "2.6");
}

TEST(Product, TitleLine) { EXPECT_EQ(TitleLine(), "Quorvane Lumafold 2.6"); }

TEST(Product, ProgramNameIsTheFileNameWithoutFolderOrExtension) {
  EXPECT_EQ(ProgramNameFromPath("/usr/bin/lumafold"), "lumafold");
  EXPECT_EQ(ProgramNameFromPath("lumafold"), "lumafold");
  EXPECT_EQ(ProgramNameFromPath("./convert2.exe"), "convert2");
  EXPECT_EQ(ProgramNameFromPath("/opt/my.tools/lf"), "lf");
  EXPECT_EQ(ProgramNameFromPath("/tmp/a.b.c"), "a.b");
  EXPECT_EQ(ProgramNameFromPath("/tmp/.hidden"), ".hidden");
  EXPECT_EQ(ProgramNameFromPath(""), "lumafold");
  EXPECT_EQ(ProgramNameFromPath("/tmp/"), "lumafold");
}

}  // namespace
}  // namespace lumafold
