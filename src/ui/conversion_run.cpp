// What Convert does before the progress dialog takes over: each check in
// order, stopping at the first that fails.
#include "ui/conversion_run.h"

#include <sys/stat.h>

#include <QComboBox>

#include "engine/run/file_kind.h"
#include "engine/steps/font_loader.h"
#include "engine/writers/write_output.h"
#include "settings/profile_file.h"
#include "settings/text_utils.h"
#include "ui/main_window.h"
#include "ui/output_collisions.h"
#include "ui/progress_dialog.h"

namespace lumafold::ui {

namespace {

// A file that can serve as a watermark picture has at least one byte.
bool IsNonEmptyFile(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0;
}

}  // namespace

bool RecordRecentOutputFolder(AppContext& context, const std::string& folder) {
  return AddRecentOutputFolder(context.settings, folder);
}

QString FitPathToWidth(const QString& path, const QFontMetrics& metrics, int width) {
  if (metrics.horizontalAdvance(path) <= width) return path;
  // The longest shortening (first k, "...", last k) that still fits.
  int low = 3;
  int high = static_cast<int>(path.toStdU32String().size());
  while (low < high) {
    const int middle = (low + high + 1) / 2;
    if (metrics.horizontalAdvance(ShortenText(path, middle)) <= width)
      low = middle;
    else
      high = middle - 1;
  }
  return ShortenText(path, low);
}

QString ShortenText(const QString& text, int n) {
  const std::u32string characters = text.toStdU32String();
  if (characters.empty() || characters.size() <= static_cast<std::size_t>(std::max(n, 0)))
    return text;
  const std::size_t k = static_cast<std::size_t>(std::max(0, (n - 3) / 2));
  return QString::fromStdU32String(characters.substr(0, k)) + "..." +
         QString::fromStdU32String(characters.substr(characters.size() - k));
}

bool StartConversion(MainWindow& window) {
  AppContext& context = window.context();
  ConversionJob& job = context.job;
  const ConversionSettings& settings = context.settings;

  // 1. What the two boxes show.
  job.outputFolder = std::string(TrimSpaces(window.outputFolderText().toStdString()));
  const QComboBox* formatBox = window.outputFormatBox();
  const int value = formatBox->currentIndex() >= 0 ? formatBox->currentData().toInt() : -1;
  const auto& order = context.formats.outputOrder();
  job.outputExtension = value >= 0 && value < static_cast<int>(order.size())
                            ? order[static_cast<std::size_t>(value)]
                            : std::string();
  // 2.
  window.setStatusText(window.text("General", "Preparing"));
  const QString stopped = window.text("Msg", "Conversion is not complete");
  auto refuse = [&](const QString& message) {
    window.setStatusText(stopped);
    window.messageBox(message);
    return false;
  };
  // 3.-7.
  if (context.inputs.size() == 0) return refuse(window.text("Msg", "Empty input files"));
  if (job.outputFolder.empty()) return refuse(window.text("Msg", "Empty output folder"));
  if (job.outputFolder.back() != '/') job.outputFolder += '/';
  if (!IsDirectory(job.outputFolder))
    return refuse(QString::fromStdString(
        context.catalog.Formatted("Msg", "Invalid output folder", {job.outputFolder})));
  if (settings.transform.doImageResize) {
    if (settings.transform.imageWidth == 0) return refuse(window.text("Msg", "Invalid width"));
    if (settings.transform.imageHeight == 0) return refuse(window.text("Msg", "Invalid height"));
  }
  // CMYK inks cannot go with every TIFF compression; refused before the run
  // rather than written with another compression or colour model.
  const OutputSettings& output = settings.output;
  if (job.outputExtension == "tiff" && output.tiffColorModel == 1 &&
      !TiffCompressionTakesCmyk(output.tiffCompression)) {
    return refuse(QString::fromStdString("CMYK cannot be written with " +
                                         context.formats.keywordName(KeywordSet::Compression,
                                                                     output.tiffCompression,
                                                                     "TIFF Compression") +
                                         " compression"));
  }
  // 8.-9. These leave the status text at "Preparing...".
  const WatermarkSettings& watermark = settings.watermark;
  if (watermark.doWatermark == 1) {
    job.watermarkFont = LoadWatermarkFont(watermark);
    if (!job.watermarkFont) {
      window.messageBox(QString::fromStdString(
          context.catalog.Formatted("Msg", "Invalid watermark font", {watermark.font})));
      return false;
    }
  }
  if (watermark.doWatermark == 2) {
    if (watermark.image.empty()) {
      window.messageBox(window.text("Msg", "Empty watermark image"));
      return false;
    }
    if (!IsNonEmptyFile(watermark.image)) {
      window.messageBox(QString::fromStdString(
          context.catalog.Formatted("Msg", "Invalid watermark image", {watermark.image})));
      return false;
    }
  }
  // 10. The format fields follow the chosen output format.
  ConversionSettings forRun = settings;
  forRun.output.format = job.outputExtension;
  const std::string folder = job.outputFolder;
  if (!PrepareJobForOutput(job, forRun, context.formats)) {
    // Only an empty format box gets here; there is nothing to tell.
    job.watermarkFont.reset();
    window.setStatusText(stopped);
    return false;
  }
  job.outputFolder = folder;
  // Outputs that would replace each other: the user may go back and
  // change the mask instead.
  const std::vector<OutputCollision> collisions = PlannedOutputCollisions(context);
  if (!collisions.empty()) {
    const Prompts& prompts = window.prompts();
    const bool goOn =
        prompts.question && prompts.question(&window, window.text("Msg", "Warning"),
                                             QString::fromStdString(CollisionQuestion(collisions)));
    if (!goOn) {
      job.watermarkFont.reset();
      window.setStatusText(stopped);
      return false;
    }
  }
  // 11.-13.
  if (RecordRecentOutputFolder(context, job.outputFolder)) window.refreshOutputFolderBox();
  window.setStatusText(window.text("General", "Converting"));
  RunConversionProgress(window);
  // 14.
  job.watermarkFont.reset();
  return true;
}

}  // namespace lumafold::ui
