// The settings a console batch checks before it imports anything, in their
// fixed order, with the -d trace line of each: the first check that fails
// is the only one reported.
#include "cli/batch.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>

#include "cli/batch_run.h"
#include "engine/run/naming.h"
#include "engine/steps/font_loader.h"
#include "engine/writers/write_output.h"
#include "settings/text_utils.h"

namespace lumafold::batch {

namespace {

// One line of the -d listing of the output format's settings: the
// field's keyword in `keywords`, or with none its number.
struct FormatTraceLine {
  std::string_view extension;
  std::string_view setting;  // the line's label, less its ": "
  std::optional<KeywordSet> keywords;
  std::variant<std::int32_t OutputSettings::*, std::int8_t OutputSettings::*> field;
};

const FormatTraceLine kFormatTraceLines[] = {
    {"bmp", "BMP Compression", KeywordSet::Compression, &OutputSettings::bmpCompression},
    {"bmp", "BMP Color Table", KeywordSet::BmpColorTable, &OutputSettings::bmpColorTable},
    {"exr", "EXR Compression", KeywordSet::Compression, &OutputSettings::exrCompression},
    {"jpg", "JPG Quality", std::nullopt, &OutputSettings::jpgQuality},
    {"jpg", "JPG Chroma Subsampling", KeywordSet::JpgChroma, &OutputSettings::jpgChroma},
    {"jpg", "JPG Save As", KeywordSet::JpgSaveAs, &OutputSettings::jpgSaveAs},
    {"png", "PNG Compression", KeywordSet::Compression, &OutputSettings::pngCompression},
    {"png", "PNG Interlaced", std::nullopt, &OutputSettings::pngInterlaced},
    {"tga", "TGA Compression", KeywordSet::Compression, &OutputSettings::tgaCompression},
    {"tiff", "TIFF Compression", KeywordSet::Compression, &OutputSettings::tiffCompression},
    {"tiff", "TIFF Color Model", KeywordSet::TiffColorModel, &OutputSettings::tiffColorModel},
};

std::string TraceValue(const FormatTraceLine& line, const OutputSettings& output,
                       const FormatRegistry& formats) {
  const int value = std::visit([&](auto field) -> int { return output.*field; }, line.field);
  if (!line.keywords) return Number(value);
  // Each format has its own compression names; the setting names the format.
  const bool formatsOwn = *line.keywords == KeywordSet::Compression;
  return formats.keywordName(*line.keywords, value, formatsOwn ? line.setting : "");
}

}  // namespace

bool Batch::ResolveOutput(Failure& failure) {
  if (job_.outputFolder.empty())
    job_.outputFolder = !job_.inputFolder.empty() ? job_.inputFolder : FolderPart(job_.inputPath);
  Trace("Output: ", job_.outputFolder);
  job_.outputFolder = WithSlash(ResolveAgainstCurrentDirectory(job_.outputFolder));
  if (!IsDirectory(job_.outputFolder)) {
    failure = {"Invalid output folder",
               job_.outputFolder + ": " + PathProblem(job_.outputFolder, true)};
    return false;
  }
  return true;
}

bool Batch::CheckOutputFormat(Failure& failure) {
  const std::string& extension = job_.outputExtension;
  Trace("Conversion: ", extension);
  const OutputFormat* format = context_.formats.outputFormat(extension);
  if (!format) {
    failure = {"Invalid conversion type", "-c " + extension + ": allowed values are " +
                                              Joined(context_.formats.outputOrder(), ", ") +
                                              " (lower case)"};
    return false;
  }
  const std::int32_t bpp = *settings_.output.bppFor(extension);
  Trace(ToUpperAscii(extension) + " BPP: ", Number(bpp));
  for (const auto& line : kFormatTraceLines)
    if (line.extension == extension)
      Trace(std::string(line.setting) + ": ", TraceValue(line, settings_.output, context_.formats));
  const auto& depths = format->bitDepths;
  if (bpp != 0 && std::find(depths.begin(), depths.end(), bpp) == depths.end()) {
    std::vector<std::string> allowed{"0 (automatic)"};
    for (const auto depth : depths) allowed.push_back(Number(depth));
    failure = {
        "Invalid " + extension + "-bpp value",
        "--" + extension + "-bpp=" + Given("--" + extension + "-bpp", Number(bpp)) + ": allowed values are " + Joined(allowed, ", ")};
    return false;
  }
  if (extension == "jpg" &&
      (settings_.output.jpgQuality < 1 || settings_.output.jpgQuality > 100)) {
    failure = {"Invalid jpg-quality value", "--jpg-quality=" + Given("--jpg-quality", Number(settings_.output.jpgQuality)) +
                                                ": allowed values are 1 to 100"};
    return false;
  }
  const OutputSettings& output = settings_.output;
  if (extension == "tiff" && output.tiffColorModel == 1 &&
      !TiffCompressionTakesCmyk(output.tiffCompression)) {
    const auto compression = [&](int value) {
      return context_.formats.keywordName(KeywordSet::Compression, value, "TIFF Compression");
    };
    std::vector<std::string> allowed;
    for (int value = 0; value <= 16; ++value)
      if (TiffCompressionTakesCmyk(value) && !compression(value).empty())
        allowed.push_back(ToLowerAscii(compression(value)));
    failure = {"Invalid tiff-color-model value: CMYK cannot be written with " +
                   compression(output.tiffCompression) + " compression",
               "--tiff-compression=" + ToLowerAscii(compression(output.tiffCompression)) +
                   ": with --tiff-color-model=cmyk the allowed values are " +
                   Joined(allowed, ", ")};
    return false;
  }
  return true;
}

bool Batch::CheckTransform(Failure& failure) {
  const TransformSettings& t = settings_.transform;
  if (t.doImageRotation == 1) {
    Trace("Image Rotation Type: ", Keyword(KeywordSet::RotationType, t.imageRotationType));
    Trace("Image Rotation: ", Number(t.imageRotation));
    Trace("Image Rotation Back Color: ", t.imageRotationBackColor);
  }
  if (t.doImageResize == 1) {
    Trace("Width: ", Number(t.imageWidth) + " " + Keyword(KeywordSet::SizeUnit, t.imageWidthUnit));
    if (t.imageWidth == 0) {
      failure = {"Invalid width value",
                 "--width=0: a resize needs both --width and --height, neither of them 0"};
      return false;
    }
    Trace("Height: ",
          Number(t.imageHeight) + " " + Keyword(KeywordSet::SizeUnit, t.imageHeightUnit));
    if (t.imageHeight == 0) {
      failure = {"Invalid height value",
                 "--height=0: a resize needs both --width and --height, neither of them 0"};
      return false;
    }
    Trace("Keep Aspect Ratio: ", Number(t.keepAspectRatio));
    Trace("Image Resize Type: ", Keyword(KeywordSet::ResizeType, t.imageResizeType));
    Trace("Image Resize Algorithm: ", Keyword(KeywordSet::ResizeAlgorithm, t.imageResizeAlgorithm));
  }
  Trace("Flip Horizontal: ", Number(t.doImageFlipHorizontal));
  Trace("Flip Vertical: ", Number(t.doImageFlipVertical));
  return true;
}

bool Batch::CheckAdjustment(Failure& failure) {
  const AdjustmentSettings& a = settings_.adjustment;
  if (a.doImageColorCorrection == 1) {
    Trace("Brightness: ", Number(a.imageBrightness));
    if (a.imageBrightness < -100 || a.imageBrightness > 100) {
      failure = {"Invalid brightness value",
                 "--brightness=" + Given("--brightness", Number(a.imageBrightness)) + ": allowed values are -100 to 100"};
      return false;
    }
    Trace("Contrast: ", Number(a.imageContrast));
    if (a.imageContrast < -100 || a.imageContrast > 100) {
      failure = {"Invalid contrast value",
                 "--contrast=" + Given("--contrast", Number(a.imageContrast)) + ": allowed values are -100 to 100"};
      return false;
    }
    Trace("Gamma: ", TwoDecimals(a.imageGamma));
    // Single-precision bounds, both ends allowed; written so that a NaN
    // fails as well.
    if (!(a.imageGamma >= 0.01f && a.imageGamma <= 9.99f)) {
      failure = {"Invalid gamma value",
                 "--gamma=" + Given("--gamma", TwoDecimals(a.imageGamma)) + ": allowed values are 0.01 to 9.99"};
      return false;
    }
    Trace("Invert: ", Number(a.imageInvert));
  }
  Trace("Greyscale: ", Number(a.doImageGreyscale));
  if (a.doImageThreshold == 1) Trace("Image Threshold: ", Number(a.imageThreshold));
  return true;
}

void Batch::TraceFrame() {
  const FrameSettings& f = settings_.frame;
  Trace("Frame: ", Keyword(KeywordSet::FrameType, f.doFrame));
  if (f.doFrame != 1) return;
  Trace("Frame left: ", Number(f.solidLeft));
  Trace("Frame right: ", Number(f.solidRight));
  Trace("Frame top: ", Number(f.solidTop));
  Trace("Frame bottom: ", Number(f.solidBottom));
  Trace("Frame left color: ", f.solidLeftColor);
  Trace("Frame right color: ", f.solidRightColor);
  Trace("Frame top color: ", f.solidTopColor);
  Trace("Frame bottom color: ", f.solidBottomColor);
  Trace("Frame opacity: ", Number(f.solidOpacity));
}

bool Batch::CheckWatermark(Failure& failure) {
  const WatermarkSettings& w = settings_.watermark;
  Trace("Watermark: ", Keyword(KeywordSet::WatermarkType, w.doWatermark));
  // A text and an image are placed alike, each by fields of its own.
  auto tracePlacement = [&](int boundary, int position, int x, int y, int rotation, int size) {
    Trace("Watermark boundary: ", Keyword(KeywordSet::Boundary, boundary));
    Trace("Watermark position: ", Keyword(KeywordSet::Position, position));
    Trace("Watermark offset (x/y): ", Number(x) + "/" + Number(y));
    Trace("Watermark rotation: ", Number(rotation));
    Trace("Watermark size/mode: ", Keyword(KeywordSet::SizeMode, size));
  };
  if (w.doWatermark == 1) {
    Trace("Watermark text: ", w.text);
    Trace("Watermark font: ", w.font);
    Trace("Watermark font size: ", Number(w.fontSize));
    Trace("Watermark font leading: ", Number(w.fontLeading));
    Trace("Watermark font color: ", w.fontColor);
    Trace("Watermark font style: ", Keyword(KeywordSet::FontStyle, w.fontStyle));
    Trace("Watermark font effect: ", Keyword(KeywordSet::FontEffect, w.fontEffect));
    Trace("Watermark text antialiasing: ", Number(w.textAntialiasing));
    Trace("Watermark text alignment: ", Keyword(KeywordSet::TextAlignment, w.textAlignment));
    Trace("Watermark text padding: ", Number(w.textPadding));
    Trace("Watermark text opacity: ", Number(w.textOpacity));
    Trace("Watermark background color: ", w.backColor);
    Trace("Watermark background opacity: ", Number(w.backOpacity));
    tracePlacement(w.textBoundary, w.textPosition, w.textXOffset, w.textYOffset, w.textRotation,
                   w.textSize);
    job_.watermarkFont = LoadWatermarkFont(w);
    if (!job_.watermarkFont) {
      failure = {"Invalid watermark font", "--wm-font=" + w.font + " (size " + Number(w.fontSize) +
                                               ", " + Keyword(KeywordSet::FontStyle, w.fontStyle) +
                                               "): no installed font of that family"};
      return false;
    }
  } else if (w.doWatermark == 2) {
    Trace("Watermark image: ", w.image);
    Trace("Watermark greyscale: ", Number(w.imageGreyscale));
    Trace("Watermark opacity: ", Number(w.imageOpacity));
    tracePlacement(w.imageBoundary, w.imagePosition, w.imageXOffset, w.imageYOffset,
                   w.imageRotation, w.imageSize);
    const std::string image = ResolveAgainstCurrentDirectory(w.image);
    if (!IsFileWithContent(image)) {
      failure = {"Invalid watermark image",
                 "--wm-image=" + w.image + ": " + PathProblem(image, false)};
      return false;
    }
  }
  return true;
}

bool Batch::CheckNaming(Failure& failure) {
  const AdvancedSettings& a = settings_.advanced;
  Trace("Filename Mask: ", a.filenameMask);
  Trace("File Timestamp: ", Keyword(KeywordSet::FileTimestamp, a.fileTimestamp));
  if (a.fileTimestamp == 2) Trace("Custom Timestamp: ", Number(a.customTimestamp));
  Trace("Keep Subfolders: ", Number(a.keepSubfolders));
  if (a.jobs < 0) {
    failure = {"Invalid jobs value", "--jobs=" + Given("--jobs", Number(a.jobs)) +
                                         ": allowed values are 0 (one per processor core) or more"};
    return false;
  }
  if (!parsed_.shard.empty()) {
    const std::optional<Shard> shard = ParseShard(parsed_.shard);
    if (!shard) {
      failure = {"Invalid shard value",
                 "--shard=" + parsed_.shard + ": write K/N, with N runs numbered 0 to N-1"};
      return false;
    }
    shard_ = *shard;
  }
  return true;
}

// Values that pass every check but that the run will not apply as asked:
// the run keeps its described behaviour, and the user hears what it does.
std::vector<std::string> Batch::RunWarnings() const {
  std::vector<std::string> warnings;
  const TransformSettings& t = settings_.transform;
  const auto given = [&](const char* name, std::int64_t value) {
    return std::string(name) + "=" + Given(name, Number(value)) + ": ";
  };
  if (t.doImageRotation == 1 && (t.imageRotation < 0 || t.imageRotation > 359))
    warnings.push_back(given("--rotation", t.imageRotation) +
                       "only 1 to 359 degrees turn the picture; it is not rotated");
  if (t.doImageResize == 1) {
    const std::pair<const char*, std::int32_t> sides[] = {{"--width", t.imageWidth},
                                                          {"--height", t.imageHeight}};
    const std::int32_t units[] = {t.imageWidthUnit, t.imageHeightUnit};
    for (int i = 0; i < 2; ++i) {
      const auto& [name, value] = sides[i];
      if (value < 0)
        warnings.push_back(given(name, value) + "a size below 0; the picture is not resized");
      else if (units[i] == 0 && value > kLargestSide)
        warnings.push_back(given(name, value) + "more than " + Number(kLargestSide) +
                           " pixels; the picture is not resized");
    }
  }
  const AdjustmentSettings& a = settings_.adjustment;
  if (a.doImageThreshold == 1 && (a.imageThreshold < 0 || a.imageThreshold > 255))
    warnings.push_back(given("--threshold", a.imageThreshold) + "the level is 0 to 255; " +
                       Number(static_cast<std::uint8_t>(a.imageThreshold)) + " is used");

  // The mask: a token the naming does not know is written as it stands,
  // and a name without the format's extension is hard to open.
  const std::string& mask = settings_.advanced.filenameMask;
  const std::string lower = ToLowerAscii(mask.empty() ? std::string("%filename%.%ext%") : mask);
  const std::string where = "--filename-mask=" + mask + ": ";
  // The mask with every known token as one line break, so that only the
  // percent signs of unknown ones remain.
  std::string rest;
  const std::vector<std::string> tokens = NamingTokens();
  for (std::size_t k = 0; k < lower.size();) {
    const auto token = std::find_if(tokens.begin(), tokens.end(), [&](const std::string& name) {
      return lower.compare(k, name.size(), name) == 0;
    });
    if (token != tokens.end()) {
      rest += '\n';
      k += token->size();
    } else {
      rest += lower[k++];
    }
  }
  if (const std::size_t open = rest.find('%'); open != std::string::npos) {
    const std::size_t close = rest.find('%', open + 1);
    const std::string unknown =
        close == std::string::npos || rest.substr(open, close - open).find('\n') != std::string::npos
            ? "%"
            : rest.substr(open, close - open + 1);
    warnings.push_back(where + unknown + " is no token; it is written as it stands");
  }
  const std::size_t dot = lower.rfind('.');
  const std::string last = dot == std::string::npos ? std::string() : lower.substr(dot + 1);
  const std::string& extension = job_.outputExtension;
  if (last != "%ext%" && last != "%ext[u]%" && last != "%ext[t]%" && last != extension) {
    if (context_.formats.outputFormat(last) || last == "jpeg" || last == "tif")
      warnings.push_back(where + "the names end in ." + last + " but the files are written as " +
                         extension);
    else
      warnings.push_back(where + "no .%ext% at its end; the names do not end in ." + extension);
  }
  return warnings;
}

}  // namespace lumafold::batch
