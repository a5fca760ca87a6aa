// The preferences dialog (window 1): the editor of ConversionSettings on
// nine pages. Controls are filled from the record when the dialog opens;
// the record changes only by OK or a confirmed Defaults, apart from fonts
// and colours the choosers append, which stay even after Cancel.
#pragma once

#include <QDialog>
#include <QIcon>
#include <array>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "engine/app_context.h"
#include "ui/preferences_rows.h"
#include "ui/themes.h"

class QLabel;
class QListWidget;
class QStackedWidget;
class QComboBox;
class QPushButton;

namespace lumafold::ui {

struct Prompts;
struct SystemDialogs;

enum class PreferencesPane {
  General = 0,
  Interface,
  Input,
  Output,
  Transform,
  Adjustment,
  Frame,
  Watermark,
  Advanced,
};
inline constexpr int kPreferencesPaneCount = 9;

struct PreferencesEnvironment {
  AppContext& context;
  const ThemeTable& themes;
  const Prompts& prompts;        // the watermark image requester
  const SystemDialogs& dialogs;  // choosers and the Defaults question
  QIcon formatIcon;              // shown beside every format entry
  // Step 5 of OK and Defaults: reload what the refresh asks for, select
  // the output format, rebuild the recent folders, redraw.
  std::function<void(ThemeRefresh)> refreshMainWindow;
};

class PreferencesDialog : public QDialog {
  Q_OBJECT
 public:
  PreferencesDialog(const PreferencesEnvironment& environment, PreferencesPane startPage,
                    QWidget* parent = nullptr);

  PreferencesPane currentPage() const;
  void showPage(PreferencesPane page);
  // The page widget (scroll areas included) and the header band text.
  QWidget* pageWidget(PreferencesPane page) const;
  QString headerText() const;

  // The dialog's buttons, pressed by the user or a test.
  void pressOk();
  void pressDefaults();

  // The refresh the last OK or Defaults asked the main window for.
  ThemeRefresh lastRefresh() const { return lastRefresh_; }

  // Show, hide and enable rules, run on open and on every controlling
  // change.
  void applyRules();

  // The catalog key of each page, in list order.
  static const std::array<const char*, kPreferencesPaneCount>& PageKeys();

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void growForFont();
  // The size the pages were laid out for becomes the least size; larger,
  // the page area and its scrolling panels grow and the buttons follow
  // the corners.
  void becomeResizable();
  struct Anchored {
    QWidget* widget;
    QRect base;
    bool growWidth, growHeight, followRight, followBottom;
  };
  std::vector<Anchored> anchored_;
  QSize baseSize_;
  QWidget* buildGeneral();
  QWidget* buildInterface();
  QWidget* buildInput();
  QWidget* buildOutput();
  QWidget* buildTransform();
  QWidget* buildAdjustment();
  QWidget* buildFrame();
  QWidget* buildWatermark();
  QWidget* buildAdvanced();

  void loadAll();
  void storeAll();
  // The theme and icon size the dialog shows, as InterfaceSettings.
  InterfaceSettings shownInterface() const;
  void writeAndRefresh(ThemeRefresh refresh);
  QString watermarkImageRequest(QWidget* parent) const;
  void showFormatPanel(const std::map<std::string, QWidget*>& panels, const QComboBox* box);

  PreferencesEnvironment env_;
  ConversionSettings& settings_;
  std::vector<Binding> bindings_;
  RowServices services_;

  QListWidget* pageList_ = nullptr;
  QLabel* header_ = nullptr;
  QStackedWidget* pages_ = nullptr;
  std::array<QWidget*, kPreferencesPaneCount> pageWidgets_{};

  QComboBox* themeBox_ = nullptr;
  QComboBox* sizeBox_ = nullptr;
  QComboBox* inputFormatBox_ = nullptr;
  QComboBox* outputFormatBox_ = nullptr;
  std::map<std::string, QWidget*> inputPanels_;
  std::map<std::string, QWidget*> outputPanels_;

  // Rows the rules switch.
  Row rotation_, rotationType_, rotationAngle_, rotationBack_;
  Row resize_, width_, height_, keepAspect_, resizeType_, resizeAlgorithm_;
  Row threshold_, thresholdLevel_;
  Row frameType_;
  QWidget* framePanel_ = nullptr;
  Row watermarkType_;
  QWidget* textPanel_ = nullptr;
  QWidget* imagePanel_ = nullptr;
  Row textSize_, textScale_, imageSize_, imageScale_;
  Row timestamp_, customTimestamp_;
  Row rawLoadAs_, rawHeader_, rawWidth_, rawHeight_, rawToneMapping_;

  ThemeRefresh lastRefresh_ = ThemeRefresh::None;
};

// The watermark image requester's filter in "Name|*.a;*.b|..." form.
std::string WatermarkImageFilter(const StringCatalog& catalog);

// Opens the dialog modally on `startPage` and returns when it closes.
void RunPreferencesDialog(const PreferencesEnvironment& environment, PreferencesPane startPage,
                          QWidget* parent);

}  // namespace lumafold::ui
