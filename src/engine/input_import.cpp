#include "engine/input_import.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <mutex>
#include <set>
#include <utility>

namespace lumafold {

namespace {

using VisitedFolders = std::set<std::pair<dev_t, ino_t>>;

bool IsDirectory(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool Exists(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0;
}

std::string WithSlash(std::string folder) {
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

// Remembers the folder; false when it was seen before in this walk.
bool FirstVisit(const std::string& folder, VisitedFolders& visited) {
  struct stat info {};
  if (stat(folder.c_str(), &info) != 0) return false;
  return visited.emplace(info.st_dev, info.st_ino).second;
}

// Calls `entry(name)` for each entry of the folder in the order the file
// system returns them, "." and ".." left out, while `entry` returns true.
template <typename Entry>
void ListFolder(const std::string& folder, Entry entry) {
  DIR* listing = opendir(folder.c_str());
  if (!listing) return;
  while (const dirent* item = readdir(listing)) {
    const std::string name = item->d_name;
    if (name == "." || name == "..") continue;
    if (!entry(name)) break;
  }
  closedir(listing);
}

// A path beyond the system's limit (a deep tree, a long name) can be
// listed but not opened; the user hears of it instead of missing a file.
void ReportTooLong(const AppContext& context, const std::string& path) {
  if (context.job.warning)
    context.job.warning(path + ": " + std::strerror(ENAMETOOLONG) + ", skipped");
}

bool TooLong(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) != 0 && errno == ENAMETOOLONG;
}

int WalkTree(AppContext& context, const std::string& folder, VisitedFolders& visited,
             const AddedFileSink& added) {
  if (TooLong(folder)) {
    ReportTooLong(context, folder);
    return 0;
  }
  if (!FirstVisit(folder, visited)) return 0;
  int count = 0;
  ListFolder(folder, [&](const std::string& name) {
    const std::string path = folder + name;
    if (IsDirectory(path))
      count += WalkTree(context, WithSlash(path), visited, added);
    else if (AddInputFile(context, path, added))
      ++count;
    return true;
  });
  return count;
}

void CountProcessed(RunProgress& progress) {
  std::lock_guard<std::mutex> hold(progress.lock);
  ++progress.processedCount;
}

void PublishAdded(RunProgress& progress, int total) {
  std::lock_guard<std::mutex> hold(progress.lock);
  progress.convertedCount += total;
}

}  // namespace

std::string RelativeSubfolder(const std::string& path, const std::string& base) {
  if (path.empty() || base.empty()) return {};
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return {};
  const std::string folder = path.substr(0, slash + 1);
  // Only a leading base counts: removing the base's text wherever it occurs
  // would turn /a/b/a/ below /a/ into a wrong, unterminated subfolder.
  if (!folder.starts_with(base)) return {};
  return folder.substr(base.size());
}

bool AddInputFile(AppContext& context, const std::string& path, const AddedFileSink& added) {
  // A folder named x.pcd, a missing path or an empty file can never convert,
  // so none of them enters the set.
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) {
    // Whether it is a folder or a file cannot even be asked.
    if (errno == ENAMETOOLONG) ReportTooLong(context, path);
    return false;
  }
  if (!S_ISREG(info.st_mode) || info.st_size == 0) return false;
  if (!context.formats.isAcceptedInput(path)) return false;
  if (!context.inputs.add(path, RelativeSubfolder(path, context.job.inputFolder))) return false;
  if (added) added(path);
  return true;
}

int AddFolderTree(AppContext& context, const std::string& folder, const AddedFileSink& added) {
  VisitedFolders visited;
  return WalkTree(context, WithSlash(folder), visited, added);
}

void FolderImport(AppContext& context, const AddedFileSink& added) {
  const std::string folder = WithSlash(context.job.inputFolder);
  VisitedFolders visited;
  FirstVisit(folder, visited);
  int total = 0;
  ListFolder(folder, [&](const std::string& name) {
    // The window's break question holds the import here, between entries.
    context.progress.waitWhilePaused();
    if (!context.progress.running) return false;
    CountProcessed(context.progress);
    const std::string path = folder + name;
    if (IsDirectory(path))
      total += WalkTree(context, WithSlash(path), visited, added);
    else if (AddInputFile(context, path, added))
      ++total;
    return true;
  });
  PublishAdded(context.progress, total);
}

void ListFileImport(AppContext& context, const AddedFileSink& added) {
  int total = 0;
  std::ifstream file(context.job.inputPath, std::ios::binary);
  if (file) {
    std::string line;
    bool first = true;
    while (context.progress.running && std::getline(file, line)) {
      if (first && line.starts_with("\xEF\xBB\xBF")) line.erase(0, 3);
      first = false;
      if (!line.empty() && line.back() == '\r') line.pop_back();
      const std::size_t begin = line.find_first_not_of(' ');
      if (begin == std::string::npos) continue;
      const std::string path = line.substr(begin, line.find_last_not_of(' ') - begin + 1);
      if (!Exists(path)) continue;
      context.progress.waitWhilePaused();
      if (!context.progress.running) break;
      CountProcessed(context.progress);
      if (IsDirectory(path))
        total += AddFolderTree(context, path, added);
      else if (AddInputFile(context, path, added))
        ++total;
    }
  }
  PublishAdded(context.progress, total);
}

}  // namespace lumafold
