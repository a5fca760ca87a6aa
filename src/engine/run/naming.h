// Output naming: the "Filename Mask" tokens, the output and temporary paths,
// and the same token expansion for watermark texts.
#pragma once

#include <sys/types.h>

#include <ctime>
#include <string>
#include <vector>
#include <string_view>

#include "engine/steps/pipeline_steps.h"

namespace lumafold {

// The file name from the mask: the whole mask lower-cased, then every token
// replaced in table order. An empty mask is "%filename%.%ext%".
std::string OutputFileName(const StepContext& context);

// Every token of the filename mask, lower case ("%filename%", ...).
std::vector<std::string> NamingTokens();

// Watermark text with the tokens replaced; the literal text keeps its
// letter case, and a text with fewer than two "%" is returned unchanged.
std::string ExpandWatermarkText(const std::string& text, const StepContext& context);

enum class OutputPathStatus {
  Ok,
  NoFileName,           // the name is empty, ends in "/" or its last part is "." or ".."
  EscapesOutputFolder,  // absolute, or ".." climbing above the output folder
};

// Step 15: the output folder, the relative subfolder when "Keep Subfolders"
// is on, then the file name; and the temporary name beside it. Sets
// file.outputPath and file.temporaryOutputPath when the name is usable;
// otherwise leaves them empty and sets file.failureReason.
OutputPathStatus BuildOutputPaths(const StepContext& context);

// Whether file.outputPath is the same file as any input of the run (same
// path, or same device and inode, also through links); if so, sets
// file.failureReason. Writing there would destroy the input.
bool OutputReplacesAnInput(const StepContext& context);

// ".lumafold-", the host's name (letters and digits), "-", the process id,
// "-", one letter per decimal digit of the local date-time value (0 gives
// "a" ... 9 "j"), five random letters, ".", the output key and ".part":
// hidden, and matched by no image glob, should a killed run leave it.
inline constexpr std::string_view kTemporaryPrefix = ".lumafold-";
inline constexpr std::string_view kTemporarySuffix = ".part";
std::string TemporaryFileName(std::time_t now, std::string_view outputKey);

// The process that made a temporary file of that shape on this host; 0 for
// any other name.
pid_t TemporaryFileOwner(std::string_view name);

// Removes, from `folder`, the temporary files that runs on this host which
// no longer exist left (a kill -9), when they are this user's plain files;
// how many. Those of live runs, other hosts and other users stay.
int RemoveDeadRunsTemporaries(const std::string& folder);

// `path` as the user named it: the run's writeFolder replaced by the
// output folder.
std::string ShownPath(const ConversionJob& job, std::string path);

// The job's clock, or the system clock when the job has none.
std::time_t CurrentTime(const ConversionJob& job);

// Seconds since 1970 in local time (the settings file's dates) to a system
// time value, through the local zone rules that applied then.
std::time_t FromLocalSeconds(std::int64_t localSeconds);

}  // namespace lumafold
