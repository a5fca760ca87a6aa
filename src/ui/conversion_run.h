// Command 14: the checks before a run, in their fixed order, each stopping
// with its message box; then the job is filled, the output folder recorded
// and the progress dialog runs the worker.
#pragma once

#include <QFontMetrics>
#include <QString>
#include <string>

#include "engine/app_context.h"

namespace lumafold::ui {

class MainWindow;

// Returns false when a check failed, true after a run.
bool StartConversion(MainWindow& window);

// Puts the folder at the head of "Recent Out Folders"; false for an empty
// folder.
bool RecordRecentOutputFolder(AppContext& context, const std::string& folder);

// The text unchanged when empty or at most n characters; otherwise its first
// and last (n - 3) / 2 characters around "...".
QString ShortenText(const QString& text, int n);

// The path as the progress label shows it: whole when it fits `width`
// pixels in that font, otherwise shortened (ShortenText) by as few
// characters as make it fit, measured with the font itself.
QString FitPathToWidth(const QString& path, const QFontMetrics& metrics, int width);

}  // namespace lumafold::ui
