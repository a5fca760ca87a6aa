// The texts the Help side hands to the desktop's "open" action: the
// manual, the feedback mail, the homepage, the converter search page.
#pragma once

#include <QString>

namespace lumafold::ui {

// Lower-cased, cut to its first 12 characters, then stripped of every
// character that is not an ASCII letter or digit: ".JPG" -> "jpg",
// "tif-f" -> "tiff", "a.b.c.d.e.f.g.h.i.j" -> "abcdef".
QString CleanExtension(const QString& text);

// The search service's page for converting `from` into `to` (both
// already cleaned): base + from + "-" + to + "/".
QString ConverterSearchAddress(const QString& from, const QString& to);

// "mailto:" + support address + "?subject=" + title line + " Feedback".
QString FeedbackMailLink();

// "mailto:" + support address.
QString SupportMailLink();

QString HomepageAddress();
QString MakerWebAddress();
QString UninstallPageAddress();

// The installed manual lumafold.html (beside the program, then in
// ../share/lumafold/); when it is in neither, the bare name in the current
// folder, which the desktop then fails to open on its own terms.
QString ManualPath();

}  // namespace lumafold::ui
