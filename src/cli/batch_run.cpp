// The order of a console batch run (banner, checks, import, conversion,
// summary) and the helpers its parts share; the parts themselves are in
// batch_inputs.cpp, batch_checks.cpp, batch_summary.cpp and signal_watch.cpp.
#include "cli/batch_run.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>

#include "cli/batch.h"
#include "cli/command_line.h"
#include "cli/disc_commands.h"
#include "engine/run/conversion_job.h"
#include "engine/run/run_folder.h"
#include "engine/writers/write_output.h"
#include "net/web_addresses.h"
#include "settings/product.h"
#include "settings/text_utils.h"

namespace lumafold {

namespace {

// Written with "©" in the program's own texts; consoles that cannot show it
// get "(c)" instead, as the banner rule asks.
constexpr std::string_view kNotice = "Copyright © Quorvane. Kodak Photo CD batch converter.";

}  // namespace

namespace batch {

std::string Number(std::int64_t value) { return std::to_string(value); }

std::string TwoDecimals(float value) {
  char text[64];
  const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 2);
  return std::string(text, result.ptr);
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

// Why a path cannot serve as an input file, an input or output folder or a
// watermark picture: the system's own error text, or what is wrong with
// what is there.
std::string PathProblem(const std::string& path, bool wantFolder) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) {
    const int error = errno;
    struct stat own {};
    if (error == ENOENT && lstat(path.c_str(), &own) == 0 && S_ISLNK(own.st_mode))
      return "a symbolic link to nothing";
    return std::strerror(error);
  }
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
  const std::vector<std::string> warnings = RunWarnings();
  if (parsed_.strict && !warnings.empty()) {
    for (const std::string& warning : warnings) console_.Error(warning);
    return kExitFailed;
  }
  for (const std::string& warning : warnings) console_.Note("Warning: " + warning);
  // What the warnings say the run does, it does, whatever the picture.
  for (std::int32_t* side : {&settings_.transform.imageWidth, &settings_.transform.imageHeight})
    if (settings_.transform.doImageResize == 1 && (*side < 0 || *side > kLargestSide) &&
        (side == &settings_.transform.imageWidth ? settings_.transform.imageWidthUnit
                                                  : settings_.transform.imageHeightUnit) == 0)
      settings_.transform.doImageResize = 0;
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
  job_.inputFailed = [this](const std::string& path, const std::string& reason) {
    InputFailed(path, reason);
  };
  job_.fileEnded = [this](const FileResult& end) { RecordEnd(end); };
  // A plan writes nothing, not even its report.
  if (!parsed_.dryRun && !OpenReport(failure)) return Fail(failure);

  if (signals_.stopSignal() != 0) return Stopped();

  Status(catalog.text("General", "Importing"));
  const int added = Import();
  Status(catalog.Formatted("Msg", "Import complete", {Number(added)}));
  if (signals_.stopSignal() != 0) return Stopped();
  if (added == 0 && beforeShard_ > 0) {
    // Another run's share holds every file: this run's work is done.
    console_.Note("Note: none of the " + Number(beforeShard_) + " input files is shard " +
                  parsed_.shard + "'s share");
    return inputFailures_ > 0 ? kExitSomeFailed : kExitAllConverted;
  }
  if (added == 0) {
    console_.Line(catalog.text("Msg", "Conversion is not complete"));
    console_.Line(catalog.text("Msg", "Empty input files"));
    return kExitFailed;
  }

  if (parsed_.dryRun) return DryRun();
  SkipExisting();

  Status(catalog.text("General", "Converting"));
  const int status = Convert(added);
  job_.watermarkFont.reset();
  if (parsed_.contactSheet && !IsSignalExitStatus(status)) WriteDiscContactSheets(context_, console_);
  return status;
}

}  // namespace batch

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
  // With --strict a script learns of every value not taken as given before
  // anything is written; without it the run goes on after saying so.
  if (parsed.strict && parsed.error.empty() &&
      (!parsed.unknownOptions.empty() || !parsed.warnings.empty())) {
    console.SetTitle();
    for (const std::string& option : parsed.unknownOptions)
      console.Error("unknown option " + option);
    for (const std::string& warning : parsed.warnings) console.Error(warning);
    if (parsed.pause) console.WaitForKey(false);
    return kExitFailed;
  }
  for (const std::string& option : parsed.unknownOptions)
    console.Note("Warning: unknown option " + option + " ignored");
  for (const std::string& warning : parsed.warnings) console.Note("Warning: " + warning);
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
  return batch::Batch(context, parsed, console).Run();
}

}  // namespace lumafold
