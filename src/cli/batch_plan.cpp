// What a console batch does for scripts around the conversion itself: the
// plan of --dry-run, the outputs --skip-existing keeps, and the --report
// file that records every input as the run goes. None of it changes what
// a conversion writes.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>

#include "cli/batch.h"
#include "engine/run/naming.h"
#include "engine/steps/pipeline_steps.h"
#include "settings/text_utils.h"

namespace lumafold::batch {

namespace {

std::string JsonText(std::string_view text) {
  std::string json = "\"";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      json += '\\';
      json += c;
    } else if (byte < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
      json += escaped;
    } else {
      json += c;
    }
  }
  return json + "\"";
}

bool Exists(const std::string& path) {
  struct stat info {};
  return lstat(path.c_str(), &info) == 0;
}

}  // namespace

// Tokens whose value is known only once a file is decoded (the picture's
// size and depth), once it converted (its number, its random number), or
// that change with the clock: an output name holding one cannot be told
// before the conversion.
bool Batch::NamesKnownBeforehand() const {
  const std::string mask = ToLowerAscii(settings_.advanced.filenameMask);
  for (const char* token : {"%bpp%", "%width%", "%height%", "%rnd%", "%n%", "%yyyy%", "%mm%",
                            "%dd%", "%hh%", "%ii%", "%ss%"})
    if (mask.find(token) != std::string::npos) return false;
  return true;
}

std::string Batch::KnownOutput(const InputEntry& entry, std::string& reason) const {
  FileConversion file;
  file.inputPath = entry.path;
  file.relativeSubfolder = entry.relativeSubfolder;
  if (BuildOutputPaths(StepContext{settings_, job_, file}) != OutputPathStatus::Ok) {
    reason = file.failureReason;
    return {};
  }
  return file.outputPath;
}

bool Batch::OpenReport(Failure& failure) {
  if (parsed_.report.empty()) return true;
  const std::string path = ResolveAgainstCurrentDirectory(parsed_.report);
  reportFd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0666);
  if (reportFd_ < 0) {
    failure = {"Invalid report file", "--report=" + parsed_.report + ": " + std::strerror(errno)};
    return false;
  }
  return true;
}

void Batch::CloseReport() {
  if (reportFd_ >= 0) ::close(reportFd_);
  reportFd_ = -1;
}

// One line per input, written whole with one call as soon as the input
// ends, so that a run killed at any moment leaves a report of valid lines.
void Batch::Record(const FileResult& end, std::string_view status) {
  if (reportFd_ < 0) return;
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%.3f", end.seconds);
  std::string line = "{\"input\":" + JsonText(end.inputPath) +
                     ",\"output\":" + JsonText(end.outputPath) + ",\"status\":" + JsonText(status) +
                     ",\"reason\":" + JsonText(end.reason) + ",\"note\":" + JsonText(end.note) +
                     ",\"width\":" + Number(end.width) + ",\"height\":" + Number(end.height) +
                     ",\"level\":" + JsonText(end.level) +
                     ",\"decodedWidth\":" + Number(end.decodedWidth) +
                     ",\"decodedHeight\":" + Number(end.decodedHeight) +
                     ",\"seconds\":" + seconds + "}\n";
  std::lock_guard<std::mutex> hold(reportLock_);
  for (std::size_t written = 0; written < line.size();) {
    const ssize_t n = ::write(reportFd_, line.data() + written, line.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    written += static_cast<std::size_t>(n);
  }
}

void Batch::RecordEnd(const FileResult& end) {
  Record(end, !end.converted  ? "failed"
              : end.repaired  ? "repaired"
              : end.note.empty() ? "converted"
                                 : "lower level");
}

// Outputs already there are kept, and their inputs count as converted: a
// rerun after a stop or a killed shard converts only what is missing.
void Batch::SkipExisting() {
  if (!parsed_.skipExisting) return;
  if (!NamesKnownBeforehand()) {
    console_.Note("Warning: --skip-existing: the names of --filename-mask=" +
                  settings_.advanced.filenameMask +
                  " are known only once a file converts; nothing is skipped");
    return;
  }
  for (const InputEntry& entry : context_.inputs.ordered()) {
    std::string reason;
    const std::string output = KnownOutput(entry, reason);
    if (output.empty() || !Exists(output)) continue;
    context_.inputs.remove(entry.path);
    ++skipped_;
    Trace("Skipped: " + entry.path + ": ", output + " is already there");
    FileResult kept;
    kept.inputPath = entry.path;
    kept.outputPath = output;
    kept.converted = true;
    Record(kept, "skipped");
  }
}

// --dry-run: every input with the output it would get, or why it would
// fail or be skipped; nothing is written. Two inputs with one output name
// are both shown, as the run would write the later over the earlier.
int Batch::DryRun() {
  const bool known = NamesKnownBeforehand();
  std::map<std::string, std::string> firstWriter;
  int failures = 0;
  for (const InputEntry& entry : context_.inputs.ordered()) {
    std::string reason;
    const std::string output = KnownOutput(entry, reason);
    if (output.empty()) {
      console_.Line("Would fail: " + entry.path + ": " + reason);
      ++failures;
      continue;
    }
    if (parsed_.skipExisting && known && Exists(output)) {
      console_.Line("Would skip: " + entry.path + ": " + output + " is already there");
      continue;
    }
    std::string line = "Would convert: " + entry.path + " -> " + output;
    if (!known) line += " (the name is made when the file converts)";
    if (known) {
      const auto [first, fresh] = firstWriter.try_emplace(output, entry.path);
      if (!fresh) line += " (also the output of " + first->second + "; the later one is kept)";
      else if (Exists(output)) line += " (replaces the file there)";
    }
    console_.Line(line);
  }
  if (inputFailures_ > 0 || failures > 0) return kExitSomeFailed;
  return kExitAllConverted;
}

}  // namespace lumafold::batch
