// The console batch's own room: the Batch that carries one run from the
// banner to the summary, and the small path and number helpers its parts
// share. Its member functions live in batch_run.cpp (the order of the run),
// batch_inputs.cpp (resolving and importing inputs), batch_checks.cpp (the
// -d trace of the settings and their checks) and batch_summary.cpp (the
// ending). Only src/cli includes this.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "cli/batch_run.h"
#include "cli/console.h"
#include "cli/option_parser.h"
#include "cli/shard.h"
#include "cli/signal_watch.h"
#include "engine/app_context.h"
#include "engine/run/file_kind.h"

namespace lumafold::batch {

std::string Number(std::int64_t value);
std::string TwoDecimals(float value);
using lumafold::IsDirectory;
bool IsFileWithContent(const std::string& path);
std::string WithSlash(std::string folder);
std::string FolderPart(const std::string& path);
std::string FileNamePart(const std::string& path);
std::string LowerExtension(const std::string& path);

// Why a path cannot serve as an input file, an input or output folder or a
// watermark picture: the system's own error text, or what is wrong with
// what is there.
std::string PathProblem(const std::string& path, bool wantFolder);
std::string Joined(const std::vector<std::string>& values, std::string_view separator);

// A check that failed: the described error text (printed after "Error: ")
// and the line under it that names the value and why it is refused.
struct Failure {
  std::string message;
  std::string detail;
};

// One input as given on the command line and what it turned out to be.
struct ResolvedInput {
  bool isFile = false;
  bool isStandardInput = false;  // "-": a list of names on standard input
  std::string path;  // the file's full path, or the folder's ending with "/"
};

// The longest side in pixels a resize is made to: JPEG, WebP and most
// readers stop at 65535, and a scan scaled to more with its aspect kept
// would need tens of gigabytes, so the image library's refusal would drop
// the resize unseen, file by file.
inline constexpr std::int32_t kLargestSide = 65535;

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
  ~Batch() { CloseReport(); }
  Batch(const Batch&) = delete;
  Batch& operator=(const Batch&) = delete;

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

  // An input that cannot be converted: one line on standard error, one in
  // the report, and the batch ends in status 2 (or 1) for it.
  void InputFailed(const std::string& path, const std::string& reason) {
    console_.Note("Not converted: " + path + ": " + reason);
    ++inputFailures_;
    FileResult failed;
    failed.inputPath = path;
    failed.reason = reason;
    Record(failed, "failed");
  }

  // The text a conversion option was given as, or `shown` when it was not.
  std::string Given(const std::string& name, std::string shown) const {
    const auto found = parsed_.given.find(name);
    return found != parsed_.given.end() ? found->second : shown;
  }
  std::vector<std::string> RunWarnings() const;

  // Around the conversion (batch_plan.cpp).
  bool NamesKnownBeforehand() const;
  // The output path an input gets, empty (with the reason) when none.
  std::string KnownOutput(const InputEntry& entry, std::string& reason) const;
  bool OpenReport(Failure& failure);
  void CloseReport();
  void Record(const FileResult& end, std::string_view status);
  void RecordEnd(const FileResult& end);
  void SkipExisting();
  int DryRun();

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
  std::vector<std::string> standardInputNames_;  // "-i -"
  int skipped_ = 0;                               // kept by --skip-existing
  int reportFd_ = -1;
  std::mutex reportLock_;
  std::atomic<int> inputFailures_{0};  // inputs that never entered the set
  SignalWatch signals_{context_.progress};
};

}  // namespace lumafold::batch
