// Input expansion of a console batch: what each -i (or bare parameter)
// names, checked before anything is imported, and the import of every one
// into the input set, in the order given.
#include "cli/batch.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <optional>

#include "engine/run/input_import.h"
#include "cli/batch_run.h"

namespace lumafold::batch {

bool Batch::ResolveInput(const std::string& given, ResolvedInput& input, Failure& failure) {
  if (given == "-") {
    // A list of names on standard input (find ... | lumafold -i -), read
    // now, before anything is imported; --null takes find -print0's form.
    input.isFile = input.isStandardInput = true;
    input.path.assign(1, '-');
    const char separator = parsed_.nullSeparated ? '\0' : '\n';
    std::string name;
    char buffer[65536];
    for (ssize_t n; (n = ::read(STDIN_FILENO, buffer, sizeof buffer)) != 0;) {
      if (n < 0) {
        if (errno == EINTR) continue;
        failure = {"Invalid input file", std::string("-: standard input: ") + std::strerror(errno)};
        return false;
      }
      for (ssize_t k = 0; k < n; ++k) {
        if (buffer[k] != separator) {
          name += buffer[k];
        } else {
          standardInputNames_.push_back(std::move(name));
          name.clear();
        }
      }
    }
    if (!name.empty()) standardInputNames_.push_back(std::move(name));
    return true;
  }
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
// the first that exists decides the job's input fields (and so the default
// output folder), as a single -i does. Among several inputs (a shell
// pattern's files) one that cannot serve fails alone, named, as a file
// that fails to convert does; a lone -i keeps its "Error: " line, and so
// does a set in which none can serve.
bool Batch::ResolveInputs(Failure& failure) {
  std::vector<std::string> given = parsed_.inputs;
  if (given.empty()) given.push_back(job_.inputFolder);
  std::optional<Failure> firstFailure;
  std::vector<std::pair<std::string, Failure>> failed;
  for (const std::string& text : given) {
    ResolvedInput input;
    Failure why;
    if (ResolveInput(text, input, why)) {
      inputs_.push_back(std::move(input));
      continue;
    }
    if (!firstFailure) firstFailure = why;
    failed.emplace_back(input.path, why);
  }
  if (inputs_.empty()) {
    failure = *firstFailure;
    return false;
  }
  for (const auto& [path, why] : failed) InputFailed(path, why.detail.substr(path.size() + 2));
  const ResolvedInput& first = inputs_.front();
  if (first.isFile) {
    job_.inputPath = first.path;
    job_.inputFolder.clear();
  } else {
    job_.inputFolder = first.path;
  }
  return true;
}

// One input into the set, with the job's input fields set as a lone -i
// would set them, so that each input's files get their subfolders relative
// to their own folder.
void Batch::ImportOne(const ResolvedInput& input) {
  if (input.isStandardInput) {
    job_.inputPath.clear();
    job_.inputFolder.clear();
    ListImport(context_, standardInputNames_);
    return;
  }
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
    return !input.isFile || input.isStandardInput || LowerExtension(input.path) == "txt" ||
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

}  // namespace lumafold::batch
