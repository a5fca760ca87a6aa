// Every text of the built-in catalog, checked against a list kept here on its
// own: a typo in the compiled table shows up as a wrong text in some dialog.
#include <gtest/gtest.h>

#include <cctype>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "settings/string_catalog.h"

namespace lumafold {
namespace {

struct Row {
  std::string_view group;
  std::string_view key;
  std::string_view text;
};

// clang-format off
const Row kRows[] = {
// Group "Menu"
    {"Menu", "File", "File"},
    {"Menu", "New", "New"},
    {"Menu", "Select Input File", "Add Input File..."},
    {"Menu", "Select Input Files", "Add Input Files..."},
    {"Menu", "Select Input Folder", "Add Input Folder..."},
    {"Menu", "Select Output Folder", "Select Output Folder..."},
    {"Menu", "Output Format Options", "Options..."},
    {"Menu", "Import Input Files", "Import Files..."},
    {"Menu", "Export Input Files", "Export Files..."},
    {"Menu", "Exit", "Exit"},
    {"Menu", "Edit", "Edit"},
    {"Menu", "Copy", "Copy"},
    {"Menu", "Delete", "Delete"},
    {"Menu", "Select All", "Select All"},
    {"Menu", "Converter", "Converter"},
    {"Menu", "Convert", "Convert"},
    {"Menu", "Contact Sheets", "Make Contact Sheets"},
    {"Menu", "Custom Converter", "Find a File Converter..."},
    {"Menu", "Preferences", "Preferences..."},
    {"Menu", "Help", "Help"},
    {"Menu", "Manual", "User Manual..."},
    {"Menu", "Send Feedback", "Send Feedback"},
    {"Menu", "Visit Homepage", "Visit the Program's Homepage"},
    {"Menu", "Check For New Version", "Check For a New Version"},
    {"Menu", "About", "About..."},
// Group "General"
    {"General", "Filename", "Filename"},
    {"General", "Output Folder", "Output Folder:"},
    {"General", "Output Format", "Output Format:"},
    {"General", "Convert", "Convert"},
    {"General", "Ready", "Ready"},
    {"General", "Preparing", "Preparing..."},
    {"General", "Importing", "Importing..."},
    {"General", "Converting", "Converting..."},
// Group "Msg"
    {"Msg", "Error", "Error"},
    {"Msg", "Warning", "Warning"},
    {"Msg", "Empty input files", "No input file(s) found. Please, add valid file(s) and try again!"},
    {"Msg", "Empty output folder", "The output folder's field is empty. Please, select existed output folder and try again!"},
    {"Msg", "Invalid output folder", "The following output folder is invalid or doesn't exist:\r\n%s1%\r\n\r\nPlease, correct the output path and try again!"},
    {"Msg", "Invalid width", "Invalid resize width value!"},
    {"Msg", "Invalid height", "Invalid resize height value!"},
    {"Msg", "Invalid watermark font", "Unable to load selected font for a watermark: %s1%"},
    {"Msg", "Empty watermark image", "Selected watermark image is invalid/empty!"},
    {"Msg", "Invalid watermark image", "Unable to load selected file as a watermark image: %s1%"},
    {"Msg", "Import complete", "Import complete, new files added: %s1%"},
    {"Msg", "Import is not complete", "Import stopped"},
    {"Msg", "Export complete", "Export complete, entries saved: %s1%"},
    {"Msg", "Export is not complete", "Export stopped"},
    {"Msg", "Conversion complete", "Conversion complete"},
    {"Msg", "Conversion is not complete", "Conversion stopped"},
    {"Msg", "Progress", "(%s1%/%s2%)"},
    {"Msg", "Files converted", "Files converted: %s1% of %s2%"},
    {"Msg", "New Update", "New Update"},
    {"Msg", "New Update Text", "A new version of Quorvane Lumafold is available! Are you ready to download it right now?"},
    {"Msg", "No Update", "No Update"},
    {"Msg", "No Update Text", "There is no update of Quorvane Lumafold yet. You're using the most recent version."},
    {"Msg", "Check for Updates", "Check for Updates"},
    {"Msg", "Ask check for updates", "Do you want to check for updates?"},
    {"Msg", "Reset to Defaults", "Reset to Defaults"},
    {"Msg", "Ask reset to defaults", "Are you sure you want to reset all your settings to the default values?"},
    {"Msg", "Internet connection problems", "Internet connection problems!"},
    {"Msg", "Ask overwrite file", "The file already exist. Do you want to overwrite it?"},
    {"Msg", "Ask break import", "Do you want to break the import?"},
    {"Msg", "Ask break export", "Do you want to break the export?"},
    {"Msg", "Ask break conversion", "Do you want to break the conversion?"},
    {"Msg", "Empty extensions", "Please, fill all required fields and try again!"},
// Group "Dialog"
    {"Dialog", "Select Input Files", "Select Input Files"},
    {"Dialog", "Select Input Folder", "Select Input Folder"},
    {"Dialog", "Select Output Folder", "Select Output Folder"},
    {"Dialog", "Import Input Files", "Import Input Files From A List"},
    {"Dialog", "Export Input Files", "Export Input Files"},
    {"Dialog", "Select Watermark Image", "Select Watermark Image"},
    {"Dialog", "All Supported Files", "All Supported Files"},
    {"Dialog", "Text Files", "Text Files"},
    {"Dialog", "All Files", "All Files"},
    {"Dialog", "Import Progress", "Importing"},
    {"Dialog", "Export Progress", "Exporting"},
    {"Dialog", "Convert Progress", "Converting"},
    {"Dialog", "OK", "OK"},
    {"Dialog", "Cancel", "Cancel"},
    {"Dialog", "Help", "Help"},
    {"Dialog", "Defaults", "Defaults"},
// Group "About"
    {"About", "Title", "About..."},
    {"About", "Website", "Web:"},
    {"About", "Email", "E-mail:"},
// Group "Custom-Converter"
    {"Custom-Converter", "Title", "Find a File Converter"},
    {"Custom-Converter", "From", "From:"},
    {"Custom-Converter", "To", "To:"},
    {"Custom-Converter", "Search", "Search"},
// Group "Uninstall"
    {"Uninstall", "Title", "Uninstall"},
    {"Uninstall", "Uninstall Text", "Full Uninstall - Visit Uninstall Center"},
    {"Uninstall", "Next", "Next"},
};

// The preferences dialog's labels and choices: most are the key itself or
// the key with a colon, the rest are listed as key and text.
const std::string_view kPreferencesSame[] = {
    "None", "Auto", "General", "Every day", "Every week", "Every month", "Every 3 months",
    "Every 6 months", "Never", "Interface", "Small", "Medium", "Large", "Extra Large", "Huge",
    "Input", "Linear", "Adaptive Logarithmic", "DR Reduction", "Gradient Domain", "Output", "RLE",
    "ZIP", "PXR24", "B44", "LZW", "JPEG", "Exact", "RGB", "CMYK", "Low", "Medium", "High",
    "Baseline Standard", "Baseline Simple", "Baseline Optimized", "Progressive", "Transform",
    "All Images", "Large Images", "Box", "Bilinear", "Bicubic", "Lanczos", "Adjustment", "Frame",
    "Watermark", "Color", "Black", "Silver", "Gray", "White", "Maroon", "Red", "Purple", "Fuchsia",
    "Green", "Lime", "Olive", "Yellow", "Navy", "Blue", "Teal", "Aqua", "Orange", "Brown",
    "Violet", "Regular", "Bold", "Italic", "Bold Italic", "Underline", "Top-Left", "Top-Center",
    "Top-Right", "Middle-Left", "Middle-Center", "Middle-Right", "Bottom-Left", "Bottom-Center",
    "Bottom-Right", "Fixed", "Advanced", "Current", "Original", "Custom",
};
const std::string_view kPreferencesColon[] = {
    "Language", "Check for Updates", "Input Format", "Header Size", "Load As", "Frame Loading",
    "Output Format", "Bits Per Pixel", "Compression", "Color Table", "Color Model",
    "Image Quality", "Chroma Subsampling", "Save As", "Interlaced", "Image Rotation",
    "Rotation Type", "Rotation Angle", "Background Color", "Image Resize", "Image Width",
    "Image Height", "Resize Type", "Resize Algorithm", "Image Brightness", "Image Contrast",
    "Image Threshold", "Threshold Level", "Left", "Right", "Top", "Bottom", "Left Color",
    "Right Color", "Top Color", "Bottom Color", "Text", "Image", "Font", "Font Size",
    "Font Leading", "Font Color", "Font Style", "Font Effect", "Antialiasing", "Text Alignment",
    "Text Padding", "Text Opacity", "Background Opacity", "Opacity", "Boundary", "Position",
    "X-Offset", "Y-Offset", "Size", "Scale", "Filename Mask", "File Timestamp", "Custom Timestamp",
    "Keep Subfolders",
};
const std::pair<std::string_view, std::string_view> kPreferencesOther[] = {
    {"Title", "Preferences..."},
    {"Save window position", "Save Window's Coords:"},
    {"UI Theme", "Theme:"},
    {"UI Size", "Icon Size:"},
    {"Bytes", "bytes"},
    {"RGB8", "RGB 8-bit"},
    {"RGB16", "RGB 16-bit"},
    {"RGB24", "RGB 24-bit"},
    {"RGB48HS", "RGB 48-bit (HS)"},
    {"RGB48", "RGB 48-bit"},
    {"BGRA", "BGR 32-bit"},
    {"RGBA", "RGB 32-bit"},
    {"All Frames", "All"},
    {"First Frame", "First"},
    {"Middle Frame", "Middle"},
    {"Last Frame", "Last"},
    {"Random Frame", "Random"},
    {"Tone Mapping", "HDR Tone Mapping:"},
    {"PIZ", "PIZ Wavelet"},
    {"ZLIB1", "ZLib Level 1"},
    {"ZLIB6", "ZLib Level 6"},
    {"ZLIB9", "ZLib Level 9"},
    {"CCITTFAX3", "CCITT Group 3 Fax"},
    {"CCITTFAX4", "CCITT Group 4 Fax"},
    {"PACKBITS", "PackBits"},
    {"DEFLATE", "Deflate (ZLib)"},
    {"ADOBEDEFLATE", "Adobe Deflate"},
    {"LOGLUV", "LogLuv"},
    {"Simple Rotation", "Simple"},
    {"Advanced Rotation", "Advanced"},
    {"Pixels", "pixels"},
    {"Percent", "percent"},
    {"Keep Aspect Ratio", "Keep Proportions:"},
    {"Bspline", "B-Spline"},
    {"Catmullrom", "Catmull-Rom Spline"},
    {"Image Flip Horizontal", "Flip Horizontal:"},
    {"Image Flip Vertical", "Flip Vertical:"},
    {"Image Gamma", "Gamma Correction:"},
    {"Image Invert", "Invert Image:"},
    {"Image Greyscale", "Greyscale Image:"},
    {"Frame Type", "Frame:"},
    {"Frame Solid", "Solid Color"},
    {"Watermark Type", "Watermark:"},
    {"Watermark Text", "Text"},
    {"Watermark Image", "Image"},
    {"Points", "points"},
    {"Strikeout", "Strikethrough"},
    {"Align Left", "Left"},
    {"Align Center", "Center"},
    {"Align Right", "Right"},
    {"Bound Image", "Image"},
    {"Bound Frame", "Frame"},
    {"Out Folders History", "Output Folders History:"},
    {"Clean On Exit", "Clean on Exit"},
    {"Keep Folders", "Keep Recent"},
    {"Out Folders Number", "Output Folders Number:"},
};
// clang-format on

struct Expected {
  std::string group;
  std::string key;
  std::string text;
};

std::vector<Expected> AllRows() {
  std::vector<Expected> rows;
  for (const Row& row : kRows)
    rows.push_back({std::string(row.group), std::string(row.key), std::string(row.text)});
  for (std::string_view key : kPreferencesSame)
    rows.push_back({"Preferences", std::string(key), std::string(key)});
  for (std::string_view key : kPreferencesColon) {
    rows.push_back({"Preferences", std::string(key), std::string(key) + ":"});
  }
  for (const auto& [key, text] : kPreferencesOther) {
    rows.push_back({"Preferences", std::string(key), std::string(text)});
  }
  return rows;
}

TEST(CatalogContents, EveryKeyHasItsExactText) {
  const StringCatalog catalog;
  const std::vector<Expected> rows = AllRows();
  for (const Expected& row : rows) {
    EXPECT_EQ(catalog.text(row.group, row.key), row.text)
        << "group " << row.group << ", key " << row.key;
  }
}

TEST(CatalogContents, GroupsAndCountsMatchTheListAndNothingElseIsStored) {
  const StringCatalog catalog;
  std::map<std::string, std::size_t> expected;
  std::vector<std::string> order;
  for (const Expected& row : AllRows()) {
    std::string upper(row.group);
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (expected[upper]++ == 0) order.push_back(upper);
  }
  EXPECT_EQ(catalog.groupNames(), order);
  for (const auto& [group, count] : expected) {
    EXPECT_EQ(catalog.entryCount(group), count) << group;
  }
  EXPECT_EQ(catalog.entryCount("Preferences"), 202u);
  EXPECT_EQ(catalog.entryCount("Menu"), 25u);
  EXPECT_EQ(catalog.entryCount("Msg"), 32u);
  EXPECT_EQ(catalog.totalEntries(), AllRows().size());
}

TEST(CatalogContents, MultiLineTextsUseCrLf) {
  const StringCatalog catalog;
  EXPECT_EQ(StringCatalog::Format(catalog.text("Msg", "Invalid output folder"), {"/tmp/x/"}),
            "The following output folder is invalid or doesn't exist:\r\n/tmp/x/\r\n\r\n"
            "Please, correct the output path and try again!");
}

TEST(CatalogContents, TheDoubledMediumKeyGivesItsText) {
  // Icon size and chroma subsampling both use "Medium"; either entry will do.
  const StringCatalog catalog;
  EXPECT_EQ(catalog.text("Preferences", "Medium"), "Medium");
  EXPECT_EQ(catalog.text("Preferences", "MEDIUM"), "Medium");
}

}  // namespace
}  // namespace lumafold
