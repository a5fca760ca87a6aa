// The window's contact sheets: made off the interface thread from the list,
// read back by Qt's own JPEG reader, and refused or failed with a reason and
// no file left behind.
#include <QAction>
#include <QDialog>
#include <QImage>
#include <QImageReader>
#include <QPushButton>
#include <algorithm>
#include <cstdlib>
#include <functional>

#include "ui/commands.h"
#include "ui/contact_sheet_run.h"
#include "ui/input_list.h"
#include "ui_test_support.h"

namespace lumafold::test {
namespace {

using namespace lumafold::ui;

class ContactSheetTest : public WindowTest {
 protected:
  void AddSamples() {
    for (const char* name : {"kodim01.pcd", "portrait-in-red.pcd"})
      window_->inputList().addFile(SamplesFolder() + name);
  }
  // Every path below the folder, so that a stray temporary file shows.
  static std::vector<std::string> Listing(const std::string& folder) {
    std::vector<std::string> paths;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
      paths.push_back(fs::relative(entry.path(), folder).string());
    std::sort(paths.begin(), paths.end());
    return paths;
  }
  bool WaitForMessage() {
    return QTest::qWaitFor([this] { return !prompts_.messages.empty(); }, 60000);
  }
  TempFolder out_;
};

TEST_F(ContactSheetTest, AfterAConversionTheListGoesOnOneSheetInTheOutputFolder) {
  Open();
  AddSamples();
  window_->showOutputFolder(QString::fromStdString(out_.path()));
  // Asked while the conversion runs: refused; once its dialog is closed
  // the sheet is made.
  bool asked = false;
  auto duringRun = WatchModal([&] {
    auto* dialog = FindWindow<QDialog>("window3");
    if (!dialog) return false;
    if (!asked) window_->dispatch(kCommandContactSheets);
    asked = true;
    auto* ok = dialog->findChild<QPushButton*>("control340");
    if (!ok || !ok->isEnabled()) return false;
    ok->click();
    return true;
  });
  window_->dispatch(kCommandConvert);
  ASSERT_TRUE(asked);
  ASSERT_EQ(prompts_.messages.size(), 1u);
  EXPECT_EQ(prompts_.messages[0].text,
            "Contact sheets can be made once the conversion or import has ended.");
  prompts_.messages.clear();

  QAction* entry = window_->menuAction(kCommandContactSheets);
  ASSERT_NE(entry, nullptr);
  entry->trigger();
  // Made on its own thread: the window is back before the sheet is done,
  // and a second request meanwhile is not a second run.
  EXPECT_FALSE(entry->isEnabled());
  window_->dispatch(kCommandContactSheets);
  EXPECT_TRUE(prompts_.messages.empty());
  ASSERT_TRUE(WaitForMessage());
  EXPECT_TRUE(entry->isEnabled());

  const std::string sheet = out_ / "contact-sheet.jpg";
  ASSERT_EQ(prompts_.messages.size(), 1u);
  EXPECT_EQ(prompts_.messages[0].text.toStdString(), "Contact sheet written:\n" + sheet);
  EXPECT_EQ(Listing(out_.path()),
            (std::vector<std::string>{"contact-sheet.jpg", "kodim01.jpg", "portrait-in-red.jpg"}));
  QImageReader reader(QString::fromStdString(sheet));
  EXPECT_EQ(reader.format(), "jpeg");
  const QImage image = reader.read();
  ASSERT_FALSE(image.isNull()) << reader.errorString().toStdString();
  // Two Base/16 thumbnails (192 pixels on the long side) side by side.
  EXPECT_GT(image.width(), 2 * 192);
  EXPECT_GT(image.height(), 192);
  EXPECT_LT(image.width(), 3 * 192);
  // Each cell holds a picture, not the grey stand-in of an unreadable file:
  // most of its pixels are neither the white page nor that grey.
  for (int cell = 0; cell < 2; ++cell) {
    const QRect box(16 + cell * 208, 44, 192, 192);
    int coloured = 0;
    for (int y = box.top(); y <= box.bottom(); ++y)
      for (int x = box.left(); x <= box.right(); ++x) {
        const QColor c = image.pixelColor(x, y);
        const bool white = c.lightness() > 245;
        const bool grey = std::abs(c.red() - 217) < 8 && std::abs(c.green() - 217) < 8 &&
                          std::abs(c.blue() - 217) < 8;
        if (!white && !grey) ++coloured;
      }
    EXPECT_GT(coloured, box.width() * box.height() * 2 / 5) << "cell " << cell;
  }
}

TEST_F(ContactSheetTest, RefusalsAndFailuresNameTheReasonAndLeaveNoFile) {
  struct Case {
    const char* what;
    bool withPictures;
    std::string outputFolder;  // below out_
    std::function<void(const std::string& folder)> prepare;
    std::string title;
    std::vector<std::string> saying;
    std::vector<std::string> left;  // out_'s listing afterwards
  };
  const std::string invalid = "invalid or doesn't exist";
  const Case cases[] = {
      {"an empty list", false, "", {}, "Warning", {"No input file(s) found"}, {}},
      {"a plain file as output folder",
       true,
       "plain",
       [](const std::string& folder) { WriteFile(folder, "not a folder"); },
       "Warning",
       {invalid, "plain/"},
       {"plain"}},
      {"a missing parent", true, "gone/out", {}, "Warning", {invalid, "gone/out/"}, {}},
      {"a folder where the sheet goes",
       true,
       "",
       [](const std::string& folder) { fs::create_directories(folder + "/contact-sheet.jpg"); },
       "Contact Sheets",
       {"Not written:", "contact-sheet.jpg: cannot be moved into place"},
       {"contact-sheet.jpg"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(out_.path());
    fs::create_directories(out_.path());
    prompts_.messages.clear();
    Open();
    if (c.withPictures) AddSamples();
    const std::string folder = c.outputFolder.empty() ? out_.path() : out_ / c.outputFolder;
    if (c.prepare) c.prepare(folder);
    window_->showOutputFolder(QString::fromStdString(folder));
    window_->dispatch(kCommandContactSheets);
    ASSERT_TRUE(WaitForMessage());
    ASSERT_EQ(prompts_.messages.size(), 1u);
    EXPECT_EQ(prompts_.messages[0].title.toStdString(), c.title);
    for (const std::string& part : c.saying)
      EXPECT_NE(prompts_.messages[0].text.toStdString().find(part), std::string::npos)
          << prompts_.messages[0].text.toStdString();
    EXPECT_EQ(Listing(out_.path()), c.left);
    EXPECT_FALSE(window_->contactSheets().busy());
  }
}

}  // namespace
}  // namespace lumafold::test
