// The main window's doors (dialogs.h) to the preferences, the Help side and
// the update check.
#include <QApplication>
#include <QCursor>

#include "net/update_check.h"
#include "settings/product.h"
#include "ui/about_dialog.h"
#include "ui/builtin_images.h"
#include "ui/commands.h"
#include "ui/converter_search_dialog.h"
#include "ui/dialogs.h"
#include "ui/install_paths.h"
#include "ui/main_window.h"
#include "ui/preferences_dialog.h"
#include "ui/system_dialogs.h"
#include "ui/theme_refresh.h"
#include "ui/web_links.h"

namespace lumafold::ui {

namespace {

// The update check's boxes as the window's message boxes.
class WindowUpdatePrompter : public UpdatePrompter {
 public:
  explicit WindowUpdatePrompter(MainWindow& window)
      : window_(window), dialogs_(DialogsOf(window)) {}

  bool ask(const char* titleKey, const char* textKey) override {
    return dialogs_.ask && dialogs_.ask(&window_, text(titleKey), text(textKey));
  }
  void error(const char* titleKey, const char* textKey) override {
    if (dialogs_.notice)
      dialogs_.notice(&window_, NoticeKind::Error, text(titleKey), text(textKey));
  }
  void inform(const char* titleKey, const char* textKey) override {
    if (dialogs_.notice)
      dialogs_.notice(&window_, NoticeKind::Information, text(titleKey), text(textKey));
  }
  void openUrl(const std::string& url) override {
    const QString target = QString::fromStdString(url);
    if (dialogs_.open && !dialogs_.open(target)) window_.messageBox(NothingCouldOpenText(target));
  }

 private:
  QString text(const char* key) const { return window_.text("Msg", key); }

  MainWindow& window_;
  const SystemDialogs& dialogs_;
};

void Open(MainWindow& window, const QString& target) {
  const SystemDialogs& dialogs = DialogsOf(window);
  if (dialogs.open && !dialogs.open(target))
    window.messageBox(NothingCouldOpenText(target));
}

}  // namespace

std::vector<std::string> InstalledThemeFolders() { return ThemeFolders(ProgramFolder()); }

ThemeTable ApplyTheme(AppContext& context, ThemeImages& images,
                      const std::vector<std::string>& folders, int sets) {
  ThemeTable table = CollectThemes(folders);
  LoadTheme(context.settings.interface, table, folders, sets, images);
  return table;
}

void RefreshWindowAfterPreferences(MainWindow& window, ThemeRefresh refresh,
                                   const std::vector<std::string>& folders) {
  AppContext& context = window.context();
  const int sets = SetsToReload(refresh);
  if (sets != 0) {
    // Back to the built-in pictures first, so an image the new theme lacks
    // shows the built-in one rather than the previous theme's.
    FillBuiltInImages(window.images(), sets, IconSizeForUiSize(context.settings.interface.uiSize));
    ApplyTheme(context, window.images(), folders, sets);
  }
  if (refresh == ThemeRefresh::ThemeChanged) {
    window.buildMenus();
    window.buildToolBar();
    window.applyButtonImages();
  } else if (refresh == ThemeRefresh::IconSizeChanged) {
    window.buildToolBar();
  }
  window.settingsChanged();
  window.applyLayout();
  window.update();
}

void OpenPreferences(MainWindow& window, PreferencesPage page) {
  const std::vector<std::string> folders = InstalledThemeFolders();
  const ThemeTable themes = CollectThemes(folders);
  PreferencesEnvironment environment{window.context(),
                                     themes,
                                     window.prompts(),
                                     DialogsOf(window),
                                     IconOf(window.images().menuIcons, "New"),
                                     [&window, &folders](ThemeRefresh refresh) {
                                       RefreshWindowAfterPreferences(window, refresh, folders);
                                     }};
  RunPreferencesDialog(
      environment,
      page == PreferencesPage::Output ? PreferencesPane::Output : PreferencesPane::General,
      &window);
}

void OpenConverterSearch(MainWindow& window) {
  ConverterSearchDialog dialog(
      window.context().catalog, DialogsOf(window),
      [&window](const QString& text) { window.messageBox(text); }, &window);
  dialog.exec();
}

void ShowAbout(MainWindow& window) {
  AboutDialog dialog(window.context().catalog, DialogsOf(window), &window);
  dialog.exec();
}

void OpenManual(MainWindow& window) { Open(window, ManualPath()); }
void SendFeedback(MainWindow& window) { Open(window, FeedbackMailLink()); }
void VisitHomepage(MainWindow& window) { Open(window, HomepageAddress()); }

void CheckForUpdatesNow(MainWindow& window) {
  const std::string infoUrl = UpdateInfoUrl();
  // The fetch blocks the interface thread for up to ten seconds.
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const UpdateVerdict verdict = FetchUpdateVerdict(infoUrl, TitleLine());
  QApplication::restoreOverrideCursor();
  WindowUpdatePrompter prompter(window);
  ReportUpdateVerdict(prompter, verdict, infoUrl);
}

void ApplyStartupTheme(AppContext& context, ThemeImages& images) {
  ApplyTheme(context, images, InstalledThemeFolders(), kThemeAllSets);
}

void RunAutomaticUpdateCheck(MainWindow& window) {
  WindowUpdatePrompter prompter(window);
  ConversionSettings& settings = window.context().settings;
  ::lumafold::RunAutomaticUpdateCheck(settings.general, settings.now(), prompter,
                                      [&window] { CheckForUpdatesNow(window); });
}

}  // namespace lumafold::ui
