// A preferences dialog on a fresh AppContext whose settings file lives in a
// private folder, with choosers and boxes that answer at once and record
// what they were asked.
#pragma once

#include <QApplication>
#include <QColor>
#include <QFont>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/app_context.h"
#include "settings/profile_file.h"
#include "themes_test_support.h"
#include "ui/preferences_dialog.h"
#include "ui/prompts.h"
#include "ui/system_dialogs.h"

namespace lumafold::test {

struct RecordingDialogs {
  std::vector<std::string> asked;    // "title|text"
  std::vector<std::string> notices;  // "info|title|text" or "error|..."
  std::vector<std::string> opened;
  std::vector<std::string> fileRequests;  // "title|filter"
  bool answer = false;
  std::optional<QColor> colour;
  std::optional<QFont> font;
  bool fontUnchanged = false;        // the chooser hands back what it was offered
  std::optional<QFont> fontOffered;  // what the font chooser opened on
  QString file;

  ui::SystemDialogs system() {
    ui::SystemDialogs d;
    d.chooseColour = [this](QWidget*, const QColor&) { return colour; };
    d.chooseFont = [this](QWidget*, const QFont& initial) -> std::optional<QFont> {
      fontOffered = initial;
      if (fontUnchanged) return initial;
      return font;
    };
    d.notice = [this](QWidget*, ui::NoticeKind kind, const QString& title, const QString& text) {
      notices.push_back(std::string(kind == ui::NoticeKind::Error ? "error|" : "info|") +
                        title.toStdString() + "|" + text.toStdString());
    };
    d.ask = [this](QWidget*, const QString& title, const QString& text) {
      asked.push_back(title.toStdString() + "|" + text.toStdString());
      return answer;
    };
    d.open = [this](const QString& target) { opened.push_back(target.toStdString());
      return true;
    };
    return d;
  }

  ui::Prompts prompts() {
    ui::Prompts p;
    p.message = [this](QWidget*, const QString& title, const QString& text) {
      notices.push_back("warning|" + title.toStdString() + "|" + text.toStdString());
    };
    p.question = [this](QWidget*, const QString& title, const QString& text) {
      asked.push_back(title.toStdString() + "|" + text.toStdString());
      return answer;
    };
    p.openFile = [this](QWidget*, const QString& title, const QString&, const QString& filter) {
      fileRequests.push_back(title.toStdString() + "|" + filter.toStdString());
      return file;
    };
    return p;
  }
};

class PreferencesHarness {
 public:
  explicit PreferencesHarness(const std::string& name) : folder_(name) {
    context.settings.resetToDefaults(SettingsMode::Window);
    context.settings.settingsFilePath = folder_.path() + "config.ini";
    themes["handdrawn"] = {"Hand Drawn", folder_.path() + "handdrawn.zip"};
    themes["Flat"] = {"Flat", folder_.path() + "Flat.zip"};
    themes["bare"] = {"", folder_.path() + "bare.zip"};
    prompts = recorder.prompts();
    system = recorder.system();
  }

  ui::PreferencesDialog& open(ui::PreferencesPane page = ui::PreferencesPane::General) {
    ui::PreferencesEnvironment env{context, themes,
                                   prompts, system,
                                   QIcon(), [this](ui::ThemeRefresh r) { refreshes.push_back(r); }};
    dialog = std::make_unique<ui::PreferencesDialog>(env, page);
    dialog->show();
    return *dialog;
  }

  template <typename T>
  T* control(const std::string& name) const {
    return dialog->findChild<T*>(QString::fromStdString(name));
  }

  // The settings file as written, read back by the settings reader.
  ConversionSettings readBack() const {
    ConversionSettings loaded;
    LoadSettingsFile(loaded, context.settings.settingsFilePath);
    return loaded;
  }
  bool fileExists() const { return std::filesystem::exists(context.settings.settingsFilePath); }

  ScratchFolder folder_;
  AppContext context;
  ui::ThemeTable themes;
  RecordingDialogs recorder;
  ui::Prompts prompts;
  ui::SystemDialogs system;
  std::vector<ui::ThemeRefresh> refreshes;
  std::unique_ptr<ui::PreferencesDialog> dialog;
};

}  // namespace lumafold::test
