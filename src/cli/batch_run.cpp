#include "cli/batch_run.h"

#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <future>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

#include "cli/command_line.h"
#include "cli/disc_commands.h"
#include "cli/shard.h"
#include "engine/run/child_process.h"
#include "engine/run/conversion_worker.h"
#include "engine/steps/font_loader.h"
#include "engine/run/input_import.h"
#include "engine/run/run_folder.h"
#include "engine/run/run_leftovers.h"
#include "engine/writers/write_output.h"
#include "net/web_addresses.h"
#include "settings/product.h"
#include "settings/text_utils.h"

namespace lumafold {

namespace {

// Written with "©" in the program's own texts; consoles that cannot show it
// get "(c)" instead, as the banner rule asks.
constexpr std::string_view kNotice = "Copyright © Quorvane. Kodak Photo CD batch converter.";

std::string Number(std::int64_t value) { return std::to_string(value); }

std::string TwoDecimals(float value) {
  char text[64];
  const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 2);
  return std::string(text, result.ptr);
}

bool IsDirectory(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool IsFileWithContent(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0;
}

std::string WithSlash(std::string folder) {
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

std::string FolderPart(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string FileNamePart(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string LowerExtension(const std::string& path) {
  const std::string name = FileNamePart(path);
  const std::size_t dot = name.rfind('.');
  return dot == std::string::npos ? std::string() : ToLowerAscii(name.substr(dot + 1));
}

// One line of the -d listing of the output format's settings.
struct FormatTraceLine {
  std::string_view extension;
  std::string_view label;
  std::string (*value)(const ConversionSettings&, const FormatRegistry&);
};

const FormatTraceLine kFormatTraceLines[] = {
    {"bmp", "BMP Compression: ",
     [](auto& s, auto& f) {
       return f.keywordName(KeywordSet::Compression, s.output.bmpCompression, "BMP Compression");
     }},
    {"bmp", "BMP Color Table: ",
     [](auto& s, auto& f) {
       return f.keywordName(KeywordSet::BmpColorTable, s.output.bmpColorTable);
     }},
    {"exr", "EXR Compression: ",
     [](auto& s, auto& f) {
       return f.keywordName(KeywordSet::Compression, s.output.exrCompression, "EXR Compression");
     }},
    {"jpg", "JPG Quality: ", [](auto& s, auto&) { return Number(s.output.jpgQuality); }},
    {"jpg", "JPG Chroma Subsampling: ",
     [](auto& s, auto& f) { return f.keywordName(KeywordSet::JpgChroma, s.output.jpgChroma); }},
    {"jpg", "JPG Save As: ",
     [](auto& s, auto& f) { return f.keywordName(KeywordSet::JpgSaveAs, s.output.jpgSaveAs); }},
    {"png", "PNG Compression: ",
     [](auto& s, auto& f) {
       return f.keywordName(KeywordSet::Compression, s.output.pngCompression, "PNG Compression");
     }},
    {"png", "PNG Interlaced: ", [](auto& s, auto&) { return Number(s.output.pngInterlaced); }},
    {"tga", "TGA Compression: ",
     [](auto& s, auto& f) {
       return f.keywordName(KeywordSet::Compression, s.output.tgaCompression, "TGA Compression");
     }},
    {"tiff", "TIFF Compression: ",
     [](auto& s, auto& f) {
       return f.keywordName(KeywordSet::Compression, s.output.tiffCompression, "TIFF Compression");
     }},
    {"tiff", "TIFF Color Model: ",
     [](auto& s, auto& f) {
       return f.keywordName(KeywordSet::TiffColorModel, s.output.tiffColorModel);
     }},
};

// Ctrl-C, a polite kill and a closed terminal (SIGHUP) stop the batch
// after the files in hand: the converters running now are killed with
// their process groups (a file whose converter was killed is not written),
// no new file starts, and the run ends normally, leaving nothing behind. A
// second signal ends the process at once, after removing the run folders
// and temporary outputs.
//
// The signals are blocked in every thread of the batch and read from a
// signalfd by a watcher thread of its own, so that both reactions run as
// ordinary code rather than in a signal handler.
class SignalWatch {
 public:
  explicit SignalWatch(RunProgress& progress) : progress_(progress) {
    AllowChildren();
    sigemptyset(&signals_);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&signals_, signal);
    if (::pthread_sigmask(SIG_BLOCK, &signals_, &previous_) != 0) return;
    blocked_ = true;
    signalFd_ = ::signalfd(-1, &signals_, SFD_CLOEXEC);
    endFd_ = ::eventfd(0, EFD_CLOEXEC);
    if (signalFd_ >= 0 && endFd_ >= 0) {
      try {
        watcher_ = std::thread([this] { watch(); });
      } catch (const std::system_error&) {
      }
    }
    // Without a watcher the signals keep their old effect rather than none.
    if (!watcher_.joinable()) {
      ::pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
      blocked_ = false;
    }
  }
  ~SignalWatch() {
    if (watcher_.joinable()) {
      const std::uint64_t one = 1;
      while (::write(endFd_, &one, sizeof one) < 0 && errno == EINTR) {
      }
      watcher_.join();
    }
    if (signalFd_ >= 0) ::close(signalFd_);
    if (endFd_ >= 0) ::close(endFd_);
    if (blocked_) ::pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
  }
  SignalWatch(const SignalWatch&) = delete;
  SignalWatch& operator=(const SignalWatch&) = delete;

  // The first signal received, 0 when none came.
  int stopSignal() const { return stopSignal_.load(); }

 private:
  void watch() {
    for (;;) {
      pollfd watched[2] = {{signalFd_, POLLIN, 0}, {endFd_, POLLIN, 0}};
      if (::poll(watched, 2, -1) < 0) {
        if (errno == EINTR) continue;
        return;
      }
      if (watched[1].revents != 0) return;
      signalfd_siginfo info{};
      if (::read(signalFd_, &info, sizeof info) != static_cast<ssize_t>(sizeof info)) continue;
      const int signal = static_cast<int>(info.ssi_signo);
      int none = 0;
      if (stopSignal_.compare_exchange_strong(none, signal)) {
        // No file starts after this one, then the converters end: a
        // worker freed by the kill must find the run already stopped.
        progress_.running = false;
        StopChildren();
        continue;
      }
      RemoveLeftoversForExit();
      ::_exit(ExitStatusForSignal(signal));
    }
  }

  RunProgress& progress_;
  sigset_t signals_{};
  sigset_t previous_{};
  bool blocked_ = false;
  int signalFd_ = -1;
  int endFd_ = -1;
  std::atomic<int> stopSignal_{0};
  std::thread watcher_;
};

// Runs `work` on a thread of its own and waits for it. While a conversion
// runs, the progress line shows the file in hand.
template <typename Work>
void RunOnWorkerThread(AppContext& context, Console& console, bool showProgress, Work work) {
  {
    std::lock_guard<std::mutex> hold(context.progress.lock);
    context.progress.processedCount = 0;
    context.progress.currentFile.clear();
    context.progress.convertedCount = 0;
    context.progress.endedCount = 0;
  }
  context.progress.running = true;
  std::promise<void> finished;
  std::future<void> done = finished.get_future();
  std::thread worker([&] {
    work();
    finished.set_value();
  });
  const int total = static_cast<int>(context.inputs.size());
  while (done.wait_for(std::chrono::milliseconds(100)) != std::future_status::ready) {
    if (showProgress) {
      int begun = 0;
      int ended = 0;
      std::string current;
      {
        std::lock_guard<std::mutex> hold(context.progress.lock);
        begun = context.progress.processedCount;
        ended = context.progress.endedCount;
        current = context.progress.currentFile;
      }
      if (begun > 0) console.Progress(ended, begun, total, FileNamePart(current));
    }
  }
  if (showProgress) console.ClearProgress();
  worker.join();
}

// A check that failed: the described error text (printed after "Error: ")
// and the line under it that names the value and why it is refused.
struct Failure {
  std::string message;
  std::string detail;
};

// Why a path cannot serve as an input file, an input or output folder or a
// watermark picture: the system's own error text, or what is wrong with
// what is there.
std::string PathProblem(const std::string& path, bool wantFolder) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) return std::strerror(errno);
  if (wantFolder) return S_ISDIR(info.st_mode) ? "" : std::strerror(ENOTDIR);
  if (S_ISDIR(info.st_mode)) return std::strerror(EISDIR);
  if (!S_ISREG(info.st_mode)) return "not a regular file";
  if (info.st_size == 0) return "the file is empty";
  return "";
}

std::string Joined(const std::vector<std::string>& values, std::string_view separator) {
  std::string text;
  for (const std::string& value : values) {
    if (!text.empty()) text += separator;
    text += value;
  }
  return text;
}

// One input as given on the command line and what it turned out to be.
struct ResolvedInput {
  bool isFile = false;
  std::string path;  // the file's full path, or the folder's ending with "/"
};

class Batch {
 public:
  Batch(AppContext& context, const ParseOutcome& parsed, Console& console)
      : context_(context),
        settings_(context.settings),
        job_(context.job),
        console_(console),
        parsed_(parsed),
        quiet_(parsed.quiet),
        trace_(job_.consoleMode == "DEBUG") {}

  int Run();

 private:
  void Status(std::string_view text) {
    if (!quiet_) console_.Line(text);
  }
  void Trace(std::string_view label, std::string_view value) {
    if (trace_) console_.Line(std::string(label) + std::string(value));
  }
  int Fail(const Failure& failure) {
    console_.Error(failure.message);
    if (!failure.detail.empty()) console_.Note("  " + failure.detail);
    return kExitFailed;
  }
  std::string Keyword(KeywordSet set, int value) const {
    return context_.formats.keywordName(set, value);
  }

  bool ResolveInput(const std::string& given, ResolvedInput& input, Failure& failure);
  bool ResolveInputs(Failure& failure);
  bool ResolveOutput(Failure& failure);
  bool CheckOutputFormat(Failure& failure);
  bool CheckTransform(Failure& failure);
  bool CheckAdjustment(Failure& failure);
  void TraceFrame();
  bool CheckWatermark(Failure& failure);
  bool CheckNaming(Failure& failure);
  void ImportOne(const ResolvedInput& input);
  int Import();
  int Convert(int added);
  int Stopped();

  AppContext& context_;
  ConversionSettings& settings_;
  ConversionJob& job_;
  Console& console_;
  const ParseOutcome& parsed_;
  const bool quiet_;
  const bool trace_;
  std::vector<ResolvedInput> inputs_;
  Shard shard_;
  int beforeShard_ = 0;  // files in the whole input set, before --shard
  SignalWatch signals_{context_.progress};
};

bool Batch::ResolveInput(const std::string& given, ResolvedInput& input, Failure& failure) {
  // An existing folder whose name holds a dot ("photos.2019") is still a
  // folder; only the name decides for everything else.
  const std::string resolved = ResolveAgainstCurrentDirectory(given);
  input.isFile = HasFileExtension(given) && !IsDirectory(resolved);
  if (input.isFile) {
    input.path = resolved;
    if (!IsFileWithContent(input.path)) {
      failure = {"Invalid input file", input.path + ": " + PathProblem(input.path, false)};
      return false;
    }
    return true;
  }
  input.path = WithSlash(resolved);
  if (!IsDirectory(input.path)) {
    failure = {"Invalid input folder", input.path + ": " + PathProblem(input.path, true)};
    return false;
  }
  return true;
}

// Every input is checked before anything is imported, in the order given;
// the first decides the job's input fields (and so the default output
// folder), as a single -i does.
bool Batch::ResolveInputs(Failure& failure) {
  std::vector<std::string> given = parsed_.inputs;
  if (given.empty()) given.push_back(job_.inputFolder);
  for (const std::string& text : given) {
    ResolvedInput input;
    if (!ResolveInput(text, input, failure)) return false;
    inputs_.push_back(std::move(input));
  }
  const ResolvedInput& first = inputs_.front();
  if (first.isFile) {
    job_.inputPath = first.path;
    job_.inputFolder.clear();
  } else {
    job_.inputFolder = first.path;
  }
  return true;
}

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
    if (line.extension == extension) Trace(line.label, line.value(settings_, context_.formats));
  const auto& depths = format->bitDepths;
  if (bpp != 0 && std::find(depths.begin(), depths.end(), bpp) == depths.end()) {
    std::vector<std::string> allowed{"0 (automatic)"};
    for (const auto depth : depths) allowed.push_back(Number(depth));
    failure = {
        "Invalid " + extension + "-bpp value",
        "--" + extension + "-bpp=" + Number(bpp) + ": allowed values are " + Joined(allowed, ", ")};
    return false;
  }
  if (extension == "jpg" &&
      (settings_.output.jpgQuality < 1 || settings_.output.jpgQuality > 100)) {
    failure = {"Invalid jpg-quality value", "--jpg-quality=" + Number(settings_.output.jpgQuality) +
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
                 "--brightness=" + Number(a.imageBrightness) + ": allowed values are -100 to 100"};
      return false;
    }
    Trace("Contrast: ", Number(a.imageContrast));
    if (a.imageContrast < -100 || a.imageContrast > 100) {
      failure = {"Invalid contrast value",
                 "--contrast=" + Number(a.imageContrast) + ": allowed values are -100 to 100"};
      return false;
    }
    Trace("Gamma: ", TwoDecimals(a.imageGamma));
    // Single-precision bounds, both ends allowed; written so that a NaN
    // fails as well.
    if (!(a.imageGamma >= 0.01f && a.imageGamma <= 9.99f)) {
      failure = {"Invalid gamma value",
                 "--gamma=" + TwoDecimals(a.imageGamma) + ": allowed values are 0.01 to 9.99"};
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
    Trace("Watermark boundary: ", Keyword(KeywordSet::Boundary, w.textBoundary));
    Trace("Watermark position: ", Keyword(KeywordSet::Position, w.textPosition));
    Trace("Watermark offset (x/y): ", Number(w.textXOffset) + "/" + Number(w.textYOffset));
    Trace("Watermark rotation: ", Number(w.textRotation));
    Trace("Watermark size/mode: ", Keyword(KeywordSet::SizeMode, w.textSize));
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
    Trace("Watermark boundary: ", Keyword(KeywordSet::Boundary, w.imageBoundary));
    Trace("Watermark position: ", Keyword(KeywordSet::Position, w.imagePosition));
    Trace("Watermark offset (x/y): ", Number(w.imageXOffset) + "/" + Number(w.imageYOffset));
    Trace("Watermark rotation: ", Number(w.imageRotation));
    Trace("Watermark size/mode: ", Keyword(KeywordSet::SizeMode, w.imageSize));
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
    failure = {"Invalid jobs value", "--jobs=" + Number(a.jobs) +
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

// One input into the set, with the job's input fields set as a lone -i
// would set them, so that each input's files get their subfolders relative
// to their own folder.
void Batch::ImportOne(const ResolvedInput& input) {
  if (!input.isFile) {
    job_.inputFolder = input.path;
    FolderImport(context_);
    return;
  }
  job_.inputPath = input.path;
  job_.inputFolder.clear();
  const std::string extension = LowerExtension(input.path);
  if (extension == "txt" || extension == "lst") {
    ListFileImport(context_);
    return;
  }
  // A disc image adds each of its pictures.
  const int added = AddInputFiles(context_, input.path);
  std::lock_guard<std::mutex> hold(context_.progress.lock);
  context_.progress.convertedCount += added;
}

int Batch::Import() {
  const bool walks = std::any_of(inputs_.begin(), inputs_.end(), [](const ResolvedInput& input) {
    return !input.isFile || LowerExtension(input.path) == "txt" ||
           LowerExtension(input.path) == "lst";
  });
  if (walks) {
    RunOnWorkerThread(context_, console_, false, [&] {
      for (const ResolvedInput& input : inputs_) {
        if (!context_.progress.running) break;
        ImportOne(input);
      }
    });
  } else {
    {
      std::lock_guard<std::mutex> hold(context_.progress.lock);
      context_.progress.convertedCount = 0;
    }
    for (const ResolvedInput& input : inputs_) ImportOne(input);
  }
  // The first input's fields again, as after a single -i.
  const ResolvedInput& first = inputs_.front();
  job_.inputFolder = first.isFile ? std::string() : first.path;
  if (first.isFile) job_.inputPath = first.path;

  int added = 0;
  {
    std::lock_guard<std::mutex> hold(context_.progress.lock);
    added = context_.progress.convertedCount;
  }
  beforeShard_ = added;
  if (shard_.count > 1) added = static_cast<int>(KeepShard(context_.inputs, shard_));
  return added;
}

int Batch::Stopped() {
  const StringCatalog& catalog = context_.catalog;
  console_.Line(catalog.text("Msg", "Conversion is not complete"));
  return ExitStatusForSignal(signals_.stopSignal());
}

int Batch::Convert(int added) {
  const bool showProgress = !quiet_ && console_.ProgressShown();
  RunOnWorkerThread(context_, console_, showProgress, [&] { ConversionWorker(context_); });
  int converted = 0;
  {
    std::lock_guard<std::mutex> hold(context_.progress.lock);
    converted = context_.progress.convertedCount;
  }
  const StringCatalog& catalog = context_.catalog;
  if (signals_.stopSignal() != 0) {
    // Stopped after the files in hand: say so, and how far it came.
    const int status = Stopped();
    Status(catalog.Formatted("Msg", "Files converted", {Number(converted), Number(added)}));
    return status;
  }
  if (converted > 0) {
    Status(catalog.text("Msg", "Conversion complete"));
    Status(catalog.Formatted("Msg", "Files converted", {Number(converted), Number(added)}));
  } else {
    console_.Line(catalog.text("Msg", "Conversion is not complete"));
  }
  if (converted == 0) return kExitFailed;
  return converted < added ? kExitSomeFailed : kExitAllConverted;
}

int Batch::Run() {
  const StringCatalog& catalog = context_.catalog;
  Status(catalog.text("General", "Preparing"));
  if (parsed_.inputs.empty()) Trace("Input: ", job_.inputFolder);
  for (const std::string& input : parsed_.inputs) Trace("Input: ", input);

  Failure failure;
  if (!ResolveInputs(failure) || !ResolveOutput(failure)) return Fail(failure);

  if (job_.inputFormat.empty()) job_.inputFormat = context_.formats.activeInputFormats().front();
  if (job_.outputExtension.empty()) job_.outputExtension = context_.formats.outputOrder().front();
  Trace("PCD Decoder: ", Keyword(KeywordSet::PcdDecoder, settings_.input.pcdDecoder));

  if (!CheckOutputFormat(failure) || !CheckTransform(failure) || !CheckAdjustment(failure))
    return Fail(failure);
  TraceFrame();
  if (!CheckWatermark(failure) || !CheckNaming(failure)) return Fail(failure);
  // Every file would otherwise fall to the Base-only fallback loader, one
  // by one, without the user learning why.
  if (const std::string problem = settings_.input.pcdDecoder == 1 ? TemporaryFolderProblem() : "";
      !problem.empty()) {
    const char* tmpdir = std::getenv("TMPDIR");
    return Fail({"Invalid temporary folder (TMPDIR): " + problem,
                 std::string("TMPDIR=") + (tmpdir ? tmpdir : "") + ": " + problem});
  }

  settings_.input.format = job_.inputFormat;
  settings_.output.format = job_.outputExtension;
  PrepareJobForOutput(job_, settings_, context_.formats);
  // The worker prints its per-file lines through the console, so that they
  // and the progress line never garble each other.
  job_.trace = [this](const std::string& line) { console_.Line(line); };
  // Each file that fails gets one line on standard error, with or without
  // -d, so that a batch ending in status 2 says which files to look at.
  job_.fileFailed = [this](const std::string& path, const std::string& reason) {
    console_.Note("Not converted: " + path + ": " +
                  (reason.empty() ? std::string("the conversion failed") : reason));
  };
  job_.warning = [this](const std::string& line) { console_.Note(line); };

  if (signals_.stopSignal() != 0) return Stopped();

  Status(catalog.text("General", "Importing"));
  const int added = Import();
  Status(catalog.Formatted("Msg", "Import complete", {Number(added)}));
  if (signals_.stopSignal() != 0) return Stopped();
  if (added == 0 && beforeShard_ > 0) {
    // Another run's share holds every file: this run's work is done.
    console_.Note("Note: none of the " + Number(beforeShard_) + " input files is shard " +
                  parsed_.shard + "'s share");
    return kExitAllConverted;
  }
  if (added == 0) {
    console_.Line(catalog.text("Msg", "Conversion is not complete"));
    console_.Line(catalog.text("Msg", "Empty input files"));
    return kExitFailed;
  }

  Status(catalog.text("General", "Converting"));
  const int status = Convert(added);
  job_.watermarkFont.reset();
  if (parsed_.contactSheet && !IsSignalExitStatus(status)) WriteDiscContactSheets(context_, console_);
  return status;
}

}  // namespace

std::string NoticeLine() {
  std::string line(kNotice);
  for (std::size_t at; (at = line.find("©")) != std::string::npos;) line.replace(at, 2, "(c)");
  return line;
}

bool HasFileExtension(std::string_view text) {
  const std::size_t dot = text.rfind('.');
  if (dot == std::string_view::npos || dot == 0 || text[dot - 1] == '/') return false;
  const std::string_view extension = text.substr(dot + 1);
  return !extension.empty() && extension.find_first_of("/ ") == std::string_view::npos;
}

std::string ResolveAgainstCurrentDirectory(std::string_view path) {
  if (path.starts_with("/")) return std::string(path);
  while (path.starts_with("./")) path.remove_prefix(2);
  if (path == ".") path = {};
  char buffer[4096];
  if (!getcwd(buffer, sizeof buffer)) return std::string(path);
  std::string resolved = buffer;
  if (resolved.back() != '/') resolved += '/';
  return resolved + std::string(path);
}

int FinishCommandLine(AppContext& context, const ParseOutcome& parsed, Console& console) {
  for (const std::string& option : parsed.unknownOptions)
    console.Note("Warning: unknown option " + option + " ignored");
  if (!parsed.error.empty()) {
    console.SetTitle();
    console.Error(parsed.error);
    if (!parsed.errorDetail.empty()) console.Note("  " + parsed.errorDetail);
    // After a parse error the pause waits without a prompt.
    if (parsed.pause) console.WaitForKey(false);
    return kExitFailed;
  }
  if (!context.job.commandLineMode) return kContinueInWindow;

  console.SetTitle();
  if (!parsed.quiet) {
    console.Line(TitleLine());
    console.Line(NoticeLine());
    console.Line(kMakerWebText);
    console.Line(" ");
  }
  console.EnableProgress(!parsed.quiet);
  const int status = RunBatch(context, parsed, console);
  // Whoever stopped the batch is not waiting for a key press.
  if (parsed.pause && !IsSignalExitStatus(status)) console.WaitForKey(true);
  return status;
}

int RunBatch(AppContext& context, const ParseOutcome& parsed, Console& console) {
  return Batch(context, parsed, console).Run();
}

}  // namespace lumafold
