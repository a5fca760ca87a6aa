#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollArea>
#include <QSlider>
#include <QTest>
#include <QToolButton>
#include <set>

#include "prefs_test_support.h"
#include "settings/settings_keys.h"
#include "ui/preferences_dialog.h"

namespace lumafold::ui {
namespace {

using test::PreferencesHarness;

// Settings that no page edits: derived, written by the window itself, or
// kept by other parts.
bool EditedByTheDialog(const SettingKey& key) {
  const std::string section = key.section;
  const std::string name = key.key;
  if (section == "Window" || section == "File" || section == "Privacy") return false;
  if (name == "CFG" || name == "Update Date" || name == "Do Image Color Correction") return false;
  // The lists behind the font and colour drop-downs grow through the
  // choosers only.
  if (name == "Fonts" || name == "Font Colors" || name == "Back Colors") return false;
  return true;
}

// Controls with a single entry cannot take another value.
const std::set<std::string> kSingleChoice = {"General/Language", "Input/Format",
                                             "Watermark/Text Size", "Watermark/Image Size"};

// A control's value in the settings file's spelling.
std::string ControlValue(QWidget* w, const SettingKey& key) {
  if (auto* check = qobject_cast<QCheckBox*>(w)) return check->isChecked() ? "1" : "0";
  if (auto* box = qobject_cast<QComboBox*>(w)) {
    if (box->currentIndex() < 0) return "<none>";
    if (box->currentData().isValid()) return box->currentData().toString().toStdString();
    if (key.type == SettingType::String) return box->currentText().toStdString();
    return std::to_string(box->currentIndex());
  }
  if (auto* spin = qobject_cast<QSpinBox*>(w)) return std::to_string(spin->value());
  if (auto* real = qobject_cast<QDoubleSpinBox*>(w))
    return QString::number(real->value(), 'f', 6).toStdString();
  if (auto* picker = qobject_cast<QDateTimeEdit*>(w))
    return std::to_string(picker->dateTime().toSecsSinceEpoch());
  if (auto* edit = qobject_cast<QLineEdit*>(w)) return edit->text().toStdString();
  return "<unknown control>";
}

// Gives the control another value and returns the value the setting must
// take on OK.
std::string ChangeControl(QWidget* w, const SettingKey& key, PreferencesHarness& h) {
  const std::string name = std::string(key.section) + "/" + key.key;
  if (auto* check = qobject_cast<QCheckBox*>(w)) {
    check->setChecked(!check->isChecked());
  } else if (auto* box = qobject_cast<QComboBox*>(w)) {
    if (box->count() > 1) box->setCurrentIndex((box->currentIndex() + 1) % box->count());
  } else if (auto* spin = qobject_cast<QSpinBox*>(w)) {
    const int third = spin->minimum() + (spin->maximum() - spin->minimum()) / 3;
    spin->setValue(spin->value() != third ? third : third + 1);
  } else if (auto* real = qobject_cast<QDoubleSpinBox*>(w)) {
    real->setValue(2.5);
  } else if (auto* picker = qobject_cast<QDateTimeEdit*>(w)) {
    picker->setDateTime(QDateTime(QDate(2001, 2, 3), QTime(4, 5), Qt::UTC));
  } else if (auto* edit = qobject_cast<QLineEdit*>(w)) {
    if (edit->isReadOnly()) {  // a colour field: through its swatch
      h.recorder.colour = QColor(0x12, 0x34, 0x56);
      h.control<QToolButton>(name + ":swatch")->click();
    } else if (edit->validator() != nullptr) {
      edit->setText(QString::number(edit->text().toInt() + 7));
    } else {
      edit->setText(QString::fromStdString(" \tedited " + name + " \r\n"));
      return "edited " + name;
    }
  }
  return ControlValue(w, key);
}

TEST(PreferencesDialogTest, EverySettingRoundTripsThroughItsControlAndTheFile) {
  PreferencesHarness h("prefs-roundtrip");
  PreferencesDialog& dialog = h.open();
  const ConversionSettings before = h.context.settings;

  std::map<std::string, std::string> expected;
  for (const SettingKey& key : SettingsKeys()) {
    if (!EditedByTheDialog(key)) continue;
    const std::string name = std::string(key.section) + "/" + key.key;
    QWidget* w = h.control<QWidget>(name);
    ASSERT_NE(w, nullptr) << "no control for " << name;
    EXPECT_EQ(ControlValue(w, key), FormatSettingValue(key, h.context.settings)) << name;
    expected[name] = ChangeControl(w, key, h);
  }
  dialog.pressOk();
  EXPECT_EQ(dialog.result(), QDialog::Accepted);

  ConversionSettings& after = h.context.settings;
  for (const SettingKey& key : SettingsKeys()) {
    if (!EditedByTheDialog(key)) continue;
    const std::string name = std::string(key.section) + "/" + key.key;
    EXPECT_EQ(FormatSettingValue(key, after), expected[name]) << name;
    if (kSingleChoice.count(name) == 0) {
      EXPECT_NE(FormatSettingValue(key, after), FormatSettingValue(key, before)) << name;
    }
  }
  // Gamma 2.5 and the rest switch the colour correction on.
  EXPECT_EQ(after.adjustment.doImageColorCorrection, 1);

  // The file holds what the record holds (per-format input keys are only
  // written for the active Photo CD input, the window keys not at all with
  // "Save Window Position" now 0).
  ASSERT_TRUE(h.fileExists());
  const ConversionSettings loaded = h.readBack();
  for (const SettingKey& key : SettingsKeys()) {
    if (std::string(key.section) == "Window") continue;
    if (std::string(key.section) == "Input" && key.format != nullptr &&
        std::string(key.format) != "pcd")
      continue;
    EXPECT_EQ(FormatSettingValue(key, loaded), FormatSettingValue(key, after))
        << key.section << "/" << key.key;
  }

  // A second dialog shows the changed record.
  h.open();
  for (const SettingKey& key : SettingsKeys()) {
    if (!EditedByTheDialog(key)) continue;
    const std::string name = std::string(key.section) + "/" + key.key;
    EXPECT_EQ(ControlValue(h.control<QWidget>(name), key), FormatSettingValue(key, after)) << name;
  }
}

TEST(PreferencesDialogTest, CancelAndEscapeStoreNothing) {
  PreferencesHarness h("prefs-cancel");
  PreferencesDialog& dialog = h.open();
  h.control<QCheckBox>("Transform/Do Image Rotation")->setChecked(true);
  h.control<QLineEdit>("Advanced/Filename Mask")->setText("x");
  h.control<QPushButton>("cancel")->click();
  EXPECT_EQ(dialog.result(), QDialog::Rejected);
  EXPECT_EQ(h.context.settings.transform.doImageRotation, 0);
  EXPECT_EQ(h.context.settings.advanced.filenameMask, "%filename%.%ext%");
  EXPECT_FALSE(h.fileExists());
  EXPECT_TRUE(h.refreshes.empty());

  PreferencesDialog& again = h.open();
  h.control<QSpinBox>("Output/JPG Quality")->setValue(10);
  QTest::keyClick(&again, Qt::Key_Escape);
  EXPECT_FALSE(again.isVisible());
  EXPECT_EQ(h.context.settings.output.jpgQuality, 95);
}

TEST(PreferencesDialogTest, LayoutPagesAndHeader) {
  PreferencesHarness h("prefs-layout");
  PreferencesDialog& dialog = h.open();
  EXPECT_EQ(dialog.size(), QSize(600, 350));
  EXPECT_EQ(dialog.windowTitle(), "Preferences...");
  EXPECT_EQ(dialog.currentPage(), PreferencesPane::General);
  EXPECT_EQ(dialog.headerText(), "General");
  EXPECT_EQ(h.control<QPushButton>("defaults")->geometry(), QRect(10, 315, 80, 25));
  EXPECT_EQ(h.control<QPushButton>("ok")->geometry(), QRect(420, 315, 80, 25));
  EXPECT_EQ(h.control<QPushButton>("cancel")->text(), "Cancel");

  auto* list = h.control<QListWidget>("pageList");
  ASSERT_EQ(list->count(), 9);
  EXPECT_EQ(list->item(8)->text(), "Advanced");
  list->setCurrentRow(6);
  EXPECT_EQ(dialog.currentPage(), PreferencesPane::Frame);
  EXPECT_EQ(dialog.headerText(), "Frame");
  EXPECT_TRUE(dialog.pageWidget(PreferencesPane::Frame)->isVisible());
  EXPECT_FALSE(dialog.pageWidget(PreferencesPane::General)->isVisible());
  // Rows: a 160-pixel label, the control 160 pixels to its right, 30 apart.
  auto* rotationType = h.control<QComboBox>("Transform/Image Rotation Type");
  auto* rotationAngle = h.control<QSlider>("Transform/Image Rotation:slider");
  EXPECT_EQ(rotationAngle->y() - rotationType->y(), 30);
  // The Transform page is taller than the page area and scrolls.
  auto* transform = qobject_cast<QScrollArea*>(dialog.pageWidget(PreferencesPane::Transform));
  ASSERT_NE(transform, nullptr);
  EXPECT_GT(transform->widget()->height(), 255);

  // Command 8 opens on "Output".
  PreferencesDialog& output = h.open(PreferencesPane::Output);
  EXPECT_EQ(output.currentPage(), PreferencesPane::Output);
  EXPECT_EQ(output.headerText(), "Output");
  EXPECT_EQ(h.control<QListWidget>("pageList")->currentRow(), 3);
}

// The least size is the laid-out one; larger, the pages show more rows and
// the buttons keep to the corners, and every row of a long page is reachable.
TEST(PreferencesDialogTest, ResizesLargerWithEveryRowReachable) {
  PreferencesHarness h("prefs-resize");
  PreferencesDialog& dialog = h.open(PreferencesPane::Watermark);
  h.control<QComboBox>("Watermark/Do Watermark")->setCurrentIndex(1);
  auto* panel = dialog.findChild<QScrollArea*>("textPanel");
  ASSERT_NE(panel, nullptr);
  QWidget* last = h.control<QWidget>("Watermark/Text Size");
  auto reachable = [&] {
    panel->ensureWidgetVisible(last, 0, 0);
    const QRect shown(last->mapTo(panel->viewport(), QPoint(0, 0)), last->size());
    return panel->viewport()->rect().contains(shown);
  };
  EXPECT_TRUE(reachable());
  EXPECT_EQ(dialog.minimumSize(), QSize(600, 350));
  const int viewHeight = panel->viewport()->height();

  dialog.resize(760, 620);
  QCoreApplication::processEvents();
  EXPECT_EQ(dialog.size(), QSize(760, 620));
  EXPECT_EQ(panel->viewport()->height(), viewHeight + 270);
  EXPECT_EQ(h.control<QPushButton>("cancel")->geometry(), QRect(670, 585, 80, 25));
  EXPECT_EQ(h.control<QPushButton>("defaults")->geometry(), QRect(10, 585, 80, 25));
  EXPECT_EQ(h.control<QWidget>("header")->width(), 610);
  EXPECT_TRUE(reachable());
  dialog.resize(300, 200);
  QCoreApplication::processEvents();
  EXPECT_EQ(dialog.size(), QSize(600, 350));
}

TEST(PreferencesDialogTest, LabelsAndChoicesComeFromTheCatalog) {
  PreferencesHarness h("prefs-texts");
  PreferencesDialog& dialog = h.open();
  QStringList labels;
  for (QLabel* label : dialog.pageWidget(PreferencesPane::General)->findChildren<QLabel*>())
    labels << label->text();
  EXPECT_EQ(labels, (QStringList{"Language:", "Check for Updates:", "Save Window's Coords:"}));
  auto* range = h.control<QComboBox>("General/Update Range");
  ASSERT_EQ(range->count(), 6);
  EXPECT_EQ(range->itemText(5), "Never");
  auto* algorithm = h.control<QComboBox>("Transform/Image Resize Algorithm");
  EXPECT_EQ(algorithm->itemText(4), "Catmull-Rom Spline");
  EXPECT_EQ(h.control<QComboBox>("Advanced/Out Folders History")->itemText(1), "Keep Recent");
}

TEST(PreferencesDialogTest, FormatListsAndBitDepthChoices) {
  PreferencesHarness h("prefs-formats");
  h.context.settings.output.format = "jpg";
  h.context.settings.output.jpgBpp = 24;
  PreferencesDialog& dialog = h.open(PreferencesPane::Output);
  auto* format = h.control<QComboBox>("Output/Format");
  ASSERT_EQ(format->count(), 23);
  EXPECT_EQ(format->itemText(0), "BMP");
  EXPECT_EQ(format->currentText(), "JPG");
  auto* jpgDepth = h.control<QComboBox>("Output/JPG BPP");
  ASSERT_EQ(jpgDepth->count(), 3);
  EXPECT_EQ(jpgDepth->itemText(0), "Auto");
  EXPECT_EQ(jpgDepth->currentText(), "24");
  // Only the chosen format's panel shows.
  EXPECT_TRUE(dialog.findChild<QWidget*>("output:jpg")->isVisible());
  EXPECT_FALSE(dialog.findChild<QWidget*>("output:png")->isVisible());
  format->setCurrentIndex(format->findText("PNG"));
  EXPECT_TRUE(dialog.findChild<QWidget*>("output:png")->isVisible());
  EXPECT_FALSE(dialog.findChild<QWidget*>("output:jpg")->isVisible());
  // PCX shows its only compression without a setting behind it.
  QComboBox* pcx = dialog.findChild<QWidget*>("output:pcx")->findChildren<QComboBox*>().back();
  EXPECT_EQ(pcx->count(), 1);
  EXPECT_EQ(pcx->currentText(), "RLE");

  jpgDepth->setCurrentIndex(0);
  dialog.pressOk();
  EXPECT_EQ(h.context.settings.output.jpgBpp, 0);
  EXPECT_EQ(h.context.settings.output.format, "png");

  auto* input = h.control<QComboBox>("Input/Format");
  ASSERT_EQ(input->count(), 1);
  EXPECT_EQ(input->itemText(0), "PCD");
}

TEST(PreferencesDialogTest, ThemeListIsSortedByKeyAndMapsBackToTheKey) {
  PreferencesHarness h("prefs-themes");
  h.themes["alpha"] = {"Zebra Look", ""};
  h.open(PreferencesPane::Interface);
  auto* theme = h.control<QComboBox>("Interface/UI Theme");
  // alpha, Flat, handdrawn by key without regard to case; bare has no name.
  ASSERT_EQ(theme->count(), 3);
  EXPECT_EQ(theme->itemText(0), "Zebra Look");
  EXPECT_EQ(theme->itemText(1), "Flat");
  EXPECT_EQ(theme->currentText(), "Hand Drawn");
  theme->setCurrentIndex(0);
  h.dialog->pressOk();
  EXPECT_EQ(h.context.settings.interface.uiTheme, "alpha");

  PreferencesHarness none("prefs-nothemes");
  none.themes.clear();
  none.open(PreferencesPane::Interface);
  auto* empty = none.control<QComboBox>("Interface/UI Theme");
  ASSERT_EQ(empty->count(), 1);
  EXPECT_EQ(empty->currentText(), "None");
  none.dialog->pressOk();
  EXPECT_EQ(none.context.settings.interface.uiTheme, "handdrawn");
}

int DisabledCount(QWidget* page) {
  int disabled = 0;
  for (QWidget* w : page->findChildren<QWidget*>())
    if (!w->isEnabled() &&
        (qobject_cast<QLabel*>(w) || w->objectName().contains('/') || qobject_cast<QComboBox*>(w)))
      ++disabled;
  return disabled;
}

TEST(PreferencesRulesTest, TransformRowsFollowTheirCheckBoxes) {
  PreferencesHarness h("prefs-transform");
  h.context.settings.transform.doImageRotation = 0;
  h.context.settings.transform.doImageResize = 1;
  PreferencesDialog& dialog = h.open(PreferencesPane::Transform);
  QWidget* page = dialog.pageWidget(PreferencesPane::Transform);
  EXPECT_FALSE(h.control<QComboBox>("Transform/Image Rotation Type")->isEnabled());
  EXPECT_FALSE(h.control<QToolButton>("Transform/Image Rotation Back Color:swatch")->isEnabled());
  EXPECT_TRUE(h.control<QCheckBox>("Transform/Do Image Rotation")->isEnabled());
  EXPECT_TRUE(h.control<QCheckBox>("Transform/Do Image Flip Horizontal")->isEnabled());
  EXPECT_EQ(DisabledCount(page), 8);

  h.control<QCheckBox>("Transform/Do Image Rotation")->setChecked(true);
  EXPECT_EQ(DisabledCount(page), 0);
  h.control<QCheckBox>("Transform/Do Image Resize")->setChecked(false);
  EXPECT_EQ(DisabledCount(page), 12);
  EXPECT_FALSE(h.control<QComboBox>("Transform/Image Width Unit")->isEnabled());
  EXPECT_FALSE(h.control<QCheckBox>("Transform/Keep Aspect Ratio")->isEnabled());
  EXPECT_TRUE(h.control<QCheckBox>("Transform/Do Image Flip Vertical")->isEnabled());
}

TEST(PreferencesRulesTest, ThresholdFrameWatermarkAndTimestamp) {
  PreferencesHarness h("prefs-rules");
  PreferencesDialog& dialog = h.open(PreferencesPane::Adjustment);
  auto* threshold = h.control<QCheckBox>("Adjustment/Do Image Threshold");
  EXPECT_FALSE(h.control<QSpinBox>("Adjustment/Image Threshold")->isEnabled());
  EXPECT_FALSE(h.control<QSlider>("Adjustment/Image Threshold:slider")->isEnabled());
  threshold->setChecked(true);
  EXPECT_TRUE(h.control<QSlider>("Adjustment/Image Threshold:slider")->isEnabled());

  dialog.showPage(PreferencesPane::Frame);
  auto* frame = h.control<QComboBox>("Frame/Do Frame");
  QWidget* framePanel = dialog.findChild<QWidget*>("framePanel");
  EXPECT_FALSE(framePanel->isVisible());
  frame->setCurrentIndex(1);
  EXPECT_TRUE(framePanel->isVisible());
  frame->setCurrentIndex(0);
  EXPECT_FALSE(framePanel->isVisible());

  dialog.showPage(PreferencesPane::Watermark);
  auto* type = h.control<QComboBox>("Watermark/Do Watermark");
  QWidget* text = dialog.findChild<QWidget*>("textPanel");
  QWidget* image = dialog.findChild<QWidget*>("imagePanel");
  type->setCurrentIndex(1);
  EXPECT_TRUE(text->isVisible());
  EXPECT_FALSE(image->isVisible());
  type->setCurrentIndex(2);
  EXPECT_FALSE(text->isVisible());
  EXPECT_TRUE(image->isVisible());
  // With "Fixed" the only size, the Scale rows stay hidden.
  EXPECT_FALSE(h.control<QSpinBox>("Watermark/Image Scale")->isVisibleTo(image));
  EXPECT_FALSE(h.control<QSpinBox>("Watermark/Text Scale")->isVisibleTo(text));
  EXPECT_TRUE(h.control<QSpinBox>("Watermark/Image Opacity")->isVisibleTo(image));

  // "None" hides both, yet what the panels hold is still stored.
  h.control<QLineEdit>("Watermark/Text")->setText("Kept");
  h.control<QLineEdit>("Watermark/Image")->setText("/tmp/mark.png");
  type->setCurrentIndex(0);
  EXPECT_FALSE(text->isVisible());
  EXPECT_FALSE(image->isVisible());

  dialog.showPage(PreferencesPane::Advanced);
  auto* stamp = h.control<QComboBox>("Advanced/File Timestamp");
  EXPECT_FALSE(h.control<QDateTimeEdit>("Advanced/Custom Timestamp")->isEnabled());
  stamp->setCurrentIndex(2);
  EXPECT_TRUE(h.control<QDateTimeEdit>("Advanced/Custom Timestamp")->isEnabled());
  stamp->setCurrentIndex(1);
  EXPECT_FALSE(h.control<QDateTimeEdit>("Advanced/Custom Timestamp")->isEnabled());

  dialog.pressOk();
  EXPECT_EQ(h.context.settings.watermark.doWatermark, 0);
  EXPECT_EQ(h.context.settings.watermark.text, "Kept");
  EXPECT_EQ(h.context.settings.watermark.image, "/tmp/mark.png");
  EXPECT_EQ(h.readBack().watermark.text, "Kept");
}

TEST(PreferencesRulesTest, RawLoadAsSwitchesTheSizeRowsAndToneMapping) {
  PreferencesHarness h("prefs-raw");
  h.open(PreferencesPane::Input);
  auto* loadAs = h.control<QComboBox>("Input/RAW Load As");
  auto* header = h.control<QLineEdit>("Input/RAW Header Size");
  auto* width = h.control<QLineEdit>("Input/RAW Image Width");
  auto* tone = h.control<QComboBox>("Input/RAW Tone Mapping");
  struct Case {
    int loadAs;
    bool sized;
    bool tone;
  };
  for (Case c : {Case{0, false, false}, Case{1, true, false}, Case{2, true, false},
                 Case{3, false, false}, Case{4, false, true}, Case{5, false, true}}) {
    SCOPED_TRACE(c.loadAs);
    loadAs->setCurrentIndex(c.loadAs);
    EXPECT_EQ(header->isEnabled(), c.sized);
    EXPECT_EQ(width->isEnabled(), c.sized);
    EXPECT_EQ(tone->isEnabled(), c.tone);
  }
}

TEST(PreferencesDialogTest, InputPageOffersThePhotoCdDecoderWithTextsOfItsOwn) {
  PreferencesHarness h("prefs-decoder");
  h.context.settings.input.pcdDecoder = 1;
  PreferencesDialog& dialog = h.open(PreferencesPane::Input);
  // Photo CD, the one input format, now has a panel, and it shows.
  QWidget* panel = dialog.findChild<QWidget*>("input:pcd");
  ASSERT_NE(panel, nullptr);
  EXPECT_TRUE(panel->isVisible());
  EXPECT_FALSE(dialog.findChild<QWidget*>("input:raw")->isVisible());
  QStringList labels;
  for (QLabel* label : panel->findChildren<QLabel*>()) labels << label->text();
  EXPECT_EQ(labels, (QStringList{"PCD Decoder:", "PCD Highlights:"}));

  auto* decoder = h.control<QComboBox>("Input/PCD Decoder");
  ASSERT_EQ(decoder->parentWidget(), panel);
  ASSERT_EQ(decoder->count(), 2);
  EXPECT_EQ(decoder->itemText(0), "Built-in");
  EXPECT_EQ(decoder->itemText(1), "External Converter");
  EXPECT_EQ(decoder->currentIndex(), 1);

  auto* highlights = h.control<QComboBox>("Input/PCD Highlights");
  ASSERT_EQ(highlights->parentWidget(), panel);
  ASSERT_EQ(highlights->count(), 2);
  EXPECT_EQ(highlights->itemText(0), "Roll Off");
  EXPECT_EQ(highlights->itemText(1), "Keep");
  EXPECT_EQ(highlights->currentIndex(), 0);

  decoder->setCurrentIndex(0);
  highlights->setCurrentIndex(1);
  dialog.pressOk();
  EXPECT_EQ(h.context.settings.input.pcdDecoder, 0);
  EXPECT_EQ(h.readBack().input.pcdDecoder, 0);
  EXPECT_EQ(h.readBack().input.pcdHighlights, 1);
}

TEST(PreferencesSpinTest, TypedValuesAreClampedAndMoveTheSlider) {
  PreferencesHarness h("prefs-clamp");
  h.open(PreferencesPane::Adjustment);
  auto* brightness = h.control<QSpinBox>("Adjustment/Image Brightness");
  auto* brightnessBar = h.control<QSlider>("Adjustment/Image Brightness:slider");
  EXPECT_EQ(brightnessBar->value(), 100);
  brightness->selectAll();
  QTest::keyClicks(brightness, "-150");
  EXPECT_EQ(brightness->text(), "-100");
  EXPECT_EQ(brightness->value(), -100);
  EXPECT_EQ(brightnessBar->value(), 0);
  brightnessBar->setValue(150);
  EXPECT_EQ(brightness->value(), 50);

  h.dialog->showPage(PreferencesPane::Advanced);
  auto* folders = h.control<QSpinBox>("Advanced/Out Folders Number");
  auto* foldersBar = h.control<QSlider>("Advanced/Out Folders Number:slider");
  folders->selectAll();
  QTest::keyClicks(folders, "0");
  EXPECT_EQ(folders->text(), "1");
  EXPECT_EQ(foldersBar->value(), 1);
  folders->selectAll();
  QTest::keyClicks(folders, "99");
  EXPECT_EQ(folders->text(), "50");
  EXPECT_EQ(foldersBar->value(), 50);

  // Gamma: the slider in hundredths, the field with two decimals.
  auto* gammaBar = h.control<QSlider>("Adjustment/Image Gamma:slider");
  auto* gamma = h.control<QDoubleSpinBox>("Adjustment/Image Gamma");
  EXPECT_EQ(gammaBar->value(), 100);
  EXPECT_EQ(gamma->text(), "1.00");
  gammaBar->setValue(237);
  EXPECT_EQ(gamma->text(), "2.37");
  h.dialog->pressOk();
  EXPECT_FLOAT_EQ(h.context.settings.adjustment.imageGamma, 2.37f);
  EXPECT_EQ(h.context.settings.adjustment.imageBrightness, 50);
  EXPECT_EQ(h.context.settings.advanced.outFoldersNumber, 50);
}

TEST(PreferencesSpinTest, NumberFieldsTakeDigitsOnly) {
  PreferencesHarness h("prefs-digits");
  h.context.settings.transform.doImageResize = 1;
  h.open(PreferencesPane::Transform);
  auto* width = h.control<QLineEdit>("Transform/Image Width");
  width->clear();
  QTest::keyClicks(width, "12a-3");
  EXPECT_EQ(width->text(), "123");
  h.control<QLineEdit>("Transform/Image Height")->clear();
  h.dialog->pressOk();
  EXPECT_EQ(h.context.settings.transform.imageWidth, 123);
  EXPECT_EQ(h.context.settings.transform.imageHeight, 0);
}

TEST(PreferencesButtonsTest, DefaultsAnsweredNoChangesNothing) {
  PreferencesHarness h("prefs-defaults-no");
  h.context.settings.adjustment.imageBrightness = 30;
  h.context.settings.interface.uiSize = 4;
  PreferencesDialog& dialog = h.open();
  h.control<QComboBox>("General/Update Range")->setCurrentIndex(5);
  const ConversionSettings before = h.context.settings;
  h.recorder.answer = false;
  h.control<QPushButton>("defaults")->click();
  ASSERT_EQ(h.recorder.asked.size(), 1u);
  EXPECT_EQ(h.recorder.asked[0],
            "Reset to Defaults|Are you sure you want to reset all your settings to the default "
            "values?");
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_FALSE(h.fileExists());
  EXPECT_TRUE(h.refreshes.empty());
  for (const SettingKey& key : SettingsKeys())
    EXPECT_EQ(FormatSettingValue(key, h.context.settings), FormatSettingValue(key, before));
  // The controls keep what the user had done.
  EXPECT_EQ(h.control<QComboBox>("General/Update Range")->currentIndex(), 5);
  EXPECT_EQ(h.control<QSpinBox>("Adjustment/Image Brightness")->value(), 30);
}

TEST(PreferencesButtonsTest, DefaultsAnsweredYesResetsWritesAndRefreshes) {
  PreferencesHarness h("prefs-defaults-yes");
  h.context.settings.adjustment.imageBrightness = 30;
  h.context.settings.interface.uiSize = 4;
  PreferencesDialog& dialog = h.open();
  h.recorder.answer = true;
  dialog.pressDefaults();
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(h.context.settings.adjustment.imageBrightness, 0);
  EXPECT_EQ(h.context.settings.interface.uiSize, 2);
  EXPECT_EQ(h.context.settings.settingsFilePath, h.folder_.path() + "config.ini");
  ASSERT_TRUE(h.fileExists());
  EXPECT_EQ(h.readBack().interface.uiSize, 2);
  EXPECT_EQ(h.refreshes, std::vector<ThemeRefresh>{ThemeRefresh::IconSizeChanged});
}

TEST(PreferencesButtonsTest, OkAsksForTheRightRefresh) {
  PreferencesHarness h("prefs-refresh");
  h.open(PreferencesPane::Interface);
  h.dialog->pressOk();
  h.open(PreferencesPane::Interface);
  h.control<QComboBox>("Interface/UI Size")->setCurrentIndex(4);
  h.dialog->pressOk();
  h.open(PreferencesPane::Interface);
  h.control<QComboBox>("Interface/UI Size")->setCurrentIndex(0);
  auto* theme = h.control<QComboBox>("Interface/UI Theme");
  theme->setCurrentIndex(theme->findText("Flat"));
  h.dialog->pressOk();
  EXPECT_EQ(h.refreshes,
            (std::vector<ThemeRefresh>{ThemeRefresh::None, ThemeRefresh::IconSizeChanged,
                                       ThemeRefresh::ThemeChanged}));
  EXPECT_EQ(h.context.settings.interface.uiTheme, "Flat");
  EXPECT_EQ(h.context.settings.interface.uiSize, 0);
}

TEST(PreferencesChooserTest, ColourAddedWithTheButtonStaysAfterCancel) {
  PreferencesHarness h("prefs-colour");
  PreferencesDialog& dialog = h.open(PreferencesPane::Watermark);
  auto* colours = h.control<QComboBox>("Watermark/Font Color");
  ASSERT_EQ(colours->count(), 9);
  EXPECT_EQ(colours->itemText(0), "Black");
  EXPECT_EQ(colours->currentText(), "White");
  EXPECT_EQ(colours->itemText(3), "Orange");

  // A colour already listed is only selected.
  h.recorder.colour = QColor(0xFF, 0, 0);
  h.control<QToolButton>("Watermark/Font Color:add")->click();
  EXPECT_EQ(colours->count(), 9);
  EXPECT_EQ(colours->currentText(), "Red");

  h.recorder.colour = QColor(0x12, 0x34, 0x56);
  h.control<QToolButton>("Watermark/Font Color:add")->click();
  EXPECT_EQ(colours->count(), 10);
  EXPECT_EQ(colours->currentText(), "Color #123456");
  EXPECT_EQ(h.context.settings.watermark.fontColors, std::string(kDefaultColorList) + ",123456");

  // Cancelling the chooser changes nothing.
  h.recorder.colour.reset();
  h.control<QToolButton>("Watermark/Back Color:add")->click();
  EXPECT_EQ(h.context.settings.watermark.backColors, kDefaultColorList);

  dialog.reject();
  EXPECT_EQ(h.context.settings.watermark.fontColors, std::string(kDefaultColorList) + ",123456");
  EXPECT_EQ(h.context.settings.watermark.fontColor, "FFFFFF");

  // The next dialog lists it.
  h.open(PreferencesPane::Watermark);
  EXPECT_EQ(h.control<QComboBox>("Watermark/Font Color")->itemText(9), "Color #123456");
}

TEST(PreferencesChooserTest, FontChooserAppendsTheFontAndSetsTheSize) {
  PreferencesHarness h("prefs-font");
  h.open(PreferencesPane::Watermark);
  auto* fonts = h.control<QComboBox>("Watermark/Font");
  EXPECT_EQ(fonts->count(), 3);
  EXPECT_EQ(fonts->currentText(), "Arial");
  QFont chosen("DejaVu Serif");
  chosen.setPointSize(22);
  h.recorder.font = chosen;
  h.control<QToolButton>("Watermark/Font:add")->click();
  EXPECT_EQ(fonts->count(), 4);
  EXPECT_EQ(fonts->currentText(), "DejaVu Serif");
  EXPECT_EQ(h.control<QLineEdit>("Watermark/Font Size")->text(), "22");
  EXPECT_EQ(h.context.settings.watermark.fonts, "Arial,Tahoma,Verdana,DejaVu Serif");
  h.dialog->reject();
  EXPECT_EQ(h.context.settings.watermark.fonts, "Arial,Tahoma,Verdana,DejaVu Serif");
  EXPECT_EQ(h.context.settings.watermark.font, "Arial");
  EXPECT_EQ(h.context.settings.watermark.fontSize, 14);
}

TEST(PreferencesChooserTest, FontChooserOpensOnTheCurrentFontAndRefusesUnusableOnes) {
  PreferencesHarness h("prefs-font-current");
  h.context.settings.watermark.fontSize = 18;
  h.open(PreferencesPane::Watermark);
  auto* fonts = h.control<QComboBox>("Watermark/Font");
  auto* add = h.control<QToolButton>("Watermark/Font:add");

  // "Arial" is drawn with its metric twin; the chooser, which lists
  // installed families only, opens on that face at the current size, and
  // OK without a change keeps "Arial".
  h.recorder.fontUnchanged = true;
  add->click();
  ASSERT_TRUE(h.recorder.fontOffered);
  EXPECT_EQ(h.recorder.fontOffered->family(), "Liberation Sans");
  EXPECT_EQ(h.recorder.fontOffered->pointSize(), 18);
  EXPECT_EQ(fonts->currentText(), "Arial");
  EXPECT_EQ(fonts->count(), 3);
  EXPECT_EQ(h.context.settings.watermark.fonts, "Arial,Tahoma,Verdana");

  // Every default name is one the watermark can draw.
  for (const char* name : {"Tahoma", "Verdana"}) {
    fonts->setCurrentIndex(fonts->findText(name));
    h.recorder.fontOffered.reset();
    add->click();
    ASSERT_TRUE(h.recorder.fontOffered) << name;
    EXPECT_NE(h.recorder.fontOffered->family(), name);
    EXPECT_EQ(fonts->currentText(), name);
  }
  EXPECT_TRUE(h.recorder.notices.empty());

  // A family fontconfig only meets with its generic fall-back is refused
  // at once, with the message Convert would give later.
  h.recorder.fontUnchanged = false;
  for (const char* refused : {"Sans Serif", "NoSuchFont"}) {
    h.recorder.notices.clear();
    h.recorder.font = QFont(refused);
    add->click();
    ASSERT_EQ(h.recorder.notices.size(), 1u) << refused;
    EXPECT_EQ(
        h.recorder.notices[0],
        std::string("error|Warning|Unable to load selected font for a watermark: ") + refused);
  }
  EXPECT_EQ(fonts->count(), 3);
  EXPECT_EQ(fonts->currentText(), "Verdana");
  EXPECT_EQ(h.context.settings.watermark.fonts, "Arial,Tahoma,Verdana");
}

TEST(PreferencesChooserTest, ColourFieldAndWatermarkImageRequester) {
  PreferencesHarness h("prefs-requesters");
  h.context.settings.frame.solidTopColor = "abcdef";
  h.open(PreferencesPane::Frame);
  auto* top = h.control<QLineEdit>("Frame/Solid Top Color");
  EXPECT_EQ(top->text(), "ABCDEF");
  h.recorder.colour = QColor(1, 2, 255);
  h.control<QToolButton>("Frame/Solid Top Color:swatch")->click();
  EXPECT_EQ(top->text(), "0102FF");

  h.recorder.file = "/pictures/mark.png";
  h.control<QToolButton>("Watermark/Image:browse")->click();
  EXPECT_EQ(h.control<QLineEdit>("Watermark/Image")->text(), "/pictures/mark.png");
  ASSERT_EQ(h.recorder.fileRequests.size(), 1u);
  EXPECT_EQ(h.recorder.fileRequests[0],
            "Select Watermark Image|Portable Network Graphics (*.png);;"
            "Windows or OS/2 Bitmap (*.bmp *.rle *.dib);;JPEG File (*.jpg *.jpeg *.jpe *.jif);;"
            "All Supported Files (*.png *.bmp *.rle *.dib *.jpg *.jpeg *.jpe *.jif);;"
            "All Files (*)");
  h.dialog->pressOk();
  EXPECT_EQ(h.context.settings.frame.solidTopColor, "0102FF");
  EXPECT_EQ(h.context.settings.watermark.image, "/pictures/mark.png");
}

}  // namespace
}  // namespace lumafold::ui
