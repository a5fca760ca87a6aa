#include "engine/run/input_import.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <mutex>
#include <set>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/run/file_kind.h"

namespace lumafold {

namespace {

using VisitedFolders = std::set<std::pair<dev_t, ino_t>>;

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

// One walk of a folder tree. Real folders and files come first; symbolic
// links wait until the whole real tree has been walked, so that which name
// a folder or file is reached by never depends on the order the file
// system lists entries in. A link to a folder already walked then adds
// nothing; a link to a file already added is the same file (the input set
// knows it by device and inode). A link that leaves the tree is followed,
// and every folder is walked at most once, so no link can loop.
class TreeWalk {
 public:
  TreeWalk(AppContext& context, const AddedFileSink& added) : context_(context), added_(added) {}

  // Marks a folder as walked without listing it (the import's own top).
  void Enter(const std::string& folder) { FirstVisit(folder, visited_); }

  void Walk(const std::string& folder) {
    if (TooLong(folder)) {
      ReportTooLong(context_, folder);
      return;
    }
    if (!FirstVisit(folder, visited_)) return;
    ListFolder(folder, [&](const std::string& name) {
      Entry(folder + name);
      return true;
    });
  }

  // One entry of a folder: a real folder is walked now, a real file
  // offered now, a link kept for FollowLinks.
  void Entry(const std::string& path) {
    struct stat own {};
    if (lstat(path.c_str(), &own) != 0) {
      if (errno == ENAMETOOLONG) ReportTooLong(context_, path);
      return;
    }
    if (S_ISLNK(own.st_mode)) {
      if (IsDirectory(path))
        linkedFolders_.push_back(WithSlash(path));
      else
        linkedFiles_.push_back(path);
    } else if (S_ISDIR(own.st_mode)) {
      Walk(WithSlash(path));
    } else if (AddInputFile(context_, path, added_)) {
      ++added_count_;
    }
  }

  // The links, once the real tree is done: folders first (walking one may
  // find more links), then files.
  void FollowLinks() {
    for (std::size_t i = 0; i < linkedFolders_.size(); ++i) Walk(linkedFolders_[i]);
    for (const std::string& path : linkedFiles_)
      if (AddInputFile(context_, path, added_)) ++added_count_;
    linkedFolders_.clear();
    linkedFiles_.clear();
  }

  int added() const { return added_count_; }

 private:
  AppContext& context_;
  const AddedFileSink& added_;
  VisitedFolders visited_;
  std::vector<std::string> linkedFolders_;
  std::vector<std::string> linkedFiles_;
  int added_count_ = 0;
};

// A path of a list file as a full path: a relative one is taken from the
// current directory, as a -i input is, so that one file named relatively
// and absolutely is one entry; "." components and doubled slashes go.
std::string FullPath(const std::string& path) {
  std::string full = path;
  if (!full.starts_with('/')) {
    char buffer[4096];
    if (getcwd(buffer, sizeof buffer)) full = WithSlash(buffer) + full;
  }
  std::string cleaned;
  std::size_t start = 0;
  while (start <= full.size()) {
    std::size_t slash = full.find('/', start);
    if (slash == std::string::npos) slash = full.size();
    const std::string_view part(full.data() + start, slash - start);
    if (!part.empty() && part != ".") {
      cleaned += '/';
      cleaned += part;
    }
    start = slash + 1;
  }
  if (cleaned.empty() || (full.ends_with('/') && !cleaned.ends_with('/'))) cleaned += '/';
  return cleaned;
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
  const FileIdentity identity{static_cast<std::uint64_t>(info.st_dev),
                              static_cast<std::uint64_t>(info.st_ino)};
  if (!context.inputs.add(path, RelativeSubfolder(path, context.job.inputFolder), identity))
    return false;
  if (added) added(path);
  return true;
}

int AddFolderTree(AppContext& context, const std::string& folder, const AddedFileSink& added) {
  TreeWalk walk(context, added);
  walk.Walk(WithSlash(folder));
  walk.FollowLinks();
  return walk.added();
}

void FolderImport(AppContext& context, const AddedFileSink& added) {
  const std::string folder = WithSlash(context.job.inputFolder);
  TreeWalk walk(context, added);
  walk.Enter(folder);
  bool stopped = false;
  ListFolder(folder, [&](const std::string& name) {
    // The window's break question holds the import here, between entries.
    context.progress.waitWhilePaused();
    if (!context.progress.running) {
      stopped = true;
      return false;
    }
    CountProcessed(context.progress);
    walk.Entry(folder + name);
    return true;
  });
  if (!stopped) walk.FollowLinks();
  PublishAdded(context.progress, walk.added());
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
      const std::string path = FullPath(line.substr(begin, line.find_last_not_of(' ') - begin + 1));
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
