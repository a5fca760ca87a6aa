// Builds the addresses the Help commands open.
#include "ui/web_links.h"

#include <QDir>

#include "net/web_addresses.h"
#include "settings/product.h"
#include "ui/install_paths.h"

namespace lumafold::ui {

namespace {

constexpr int kExtensionCut = 12;
constexpr const char* kManualName = "lumafold.html";

}  // namespace

QString CleanExtension(const QString& text) {
  // The cut comes before the filter, so punctuation counts towards the 12.
  const QString cut = text.toLower().left(kExtensionCut);
  QString clean;
  for (QChar c : cut) {
    const char16_t u = c.unicode();
    if ((u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9')) clean += c;
  }
  return clean;
}

QString ConverterSearchAddress(const QString& from, const QString& to) {
  return QString(kConverterSearchBase) + from + "-" + to + "/";
}

QString FeedbackMailLink() {
  return SupportMailLink() + "?subject=" + QString::fromStdString(TitleLine()) + " Feedback";
}

QString SupportMailLink() { return QString("mailto:") + kSupportMailAddress; }

QString HomepageAddress() { return kHomepageAddress; }
QString MakerWebAddress() { return kMakerWebAddress; }
QString UninstallPageAddress() { return kUninstallPageAddress; }

QString ManualPath() {
  const std::string installed = FindDataFile(kManualName);
  if (!installed.empty()) return QString::fromStdString(installed);
  return QDir::current().absoluteFilePath(kManualName);
}

}  // namespace lumafold::ui
