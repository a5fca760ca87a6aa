// Saves pictures of the preferences dialog (Output and Watermark pages)
// and of the About box:
//   ui_dialog_screenshots OUTPUT_FOLDER GFX_FOLDER
// Run it under a display (xvfb-run) so the pictures are what a desktop shows.
#include <QApplication>
#include <QComboBox>
#include <QPixmap>
#include <QTimer>
#include <cstdio>
#include <memory>
#include <string>

#include "engine/app_context.h"
#include "ui/about_dialog.h"
#include "ui/builtin_images.h"
#include "ui/preferences_dialog.h"
#include "ui/prompts.h"
#include "ui/system_dialogs.h"
#include "ui/themes.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s OUTPUT_FOLDER GFX_FOLDER\n", argv[0]);
    return 2;
  }
  QApplication application(argc, argv);
  const QString out = QString::fromLocal8Bit(argv[1]) + "/";
  auto context = std::make_unique<lumafold::AppContext>();
  context->settings.resetToDefaults(lumafold::SettingsMode::Window);
  context->settings.settingsFilePath = "/nonexistent/config.ini";
  context->settings.output.format = "jpg";
  context->settings.watermark.doWatermark = 1;

  using namespace lumafold::ui;
  const ThemeTable themes = CollectThemes({std::string(argv[2]) + "/"});
  const Prompts prompts = StandardPrompts();
  const SystemDialogs dialogs = StandardSystemDialogs();
  ThemeImages images;
  FillBuiltInImages(images, kThemeAllSets, 16);
  PreferencesEnvironment environment{
      *context, themes, prompts, dialogs, IconOf(images.menuIcons, "New"), {}};
  PreferencesDialog preferences(environment, PreferencesPane::Output);
  AboutDialog about(context->catalog, dialogs);

  int status = 0;
  auto save = [&status](QWidget& w, const QString& path) {
    if (!w.grab().save(path)) status = 1;
  };
  preferences.show();
  QTimer::singleShot(400, [&] {
    save(preferences, out + "preferences-output.png");
    preferences.showPage(PreferencesPane::Watermark);
    QTimer::singleShot(300, [&] {
      save(preferences, out + "preferences-watermark.png");
      preferences.hide();
      about.show();
      QTimer::singleShot(300, [&] {
        save(about, out + "about.png");
        application.quit();
      });
    });
  });
  application.exec();
  return status;
}
