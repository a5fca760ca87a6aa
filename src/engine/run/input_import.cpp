#include "engine/run/input_import.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>
#include <fstream>
#include <mutex>
#include <set>
#include <string_view>
#include <utility>
#include <vector>

#include "photocd/disc/disc_image.h"
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

void ReportInputFailed(const AppContext& context, const std::string& path,
                       const std::string& reason) {
  if (context.job.inputFailed) context.job.inputFailed(path, reason);
}

// Calls `entry(name)` for each entry of the folder in the order the file
// system returns them, "." and ".." left out, while `entry` returns true.
// A folder that cannot be listed (no permission) is a failed input, never
// an empty one: its files would otherwise vanish from the count.
template <typename Entry>
void ListFolder(const AppContext& context, const std::string& folder, Entry entry) {
  DIR* listing = opendir(folder.c_str());
  if (!listing) {
    ReportInputFailed(context, folder, std::strerror(errno));
    return;
  }
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
    ListFolder(context_, folder, [&](const std::string& name) {
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
    } else {
      added_count_ += AddInputFiles(context_, path, added_);
    }
  }

  // The links, once the real tree is done: folders first (walking one may
  // find more links), then files.
  void FollowLinks() {
    for (std::size_t i = 0; i < linkedFolders_.size(); ++i) Walk(linkedFolders_[i]);
    for (const std::string& path : linkedFiles_) added_count_ += AddInputFiles(context_, path, added_);
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


void Trace(const AppContext& context, const std::string& line) {
  if (context.job.consoleMode == "DEBUG" && context.job.trace) context.job.trace(line);
}

std::string UpperAscii(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

std::string WithoutVersion(const std::string& path) {
  const std::size_t mark = path.rfind(';');
  if (mark == std::string::npos || mark + 1 == path.size() || path.find('/', mark) != std::string::npos)
    return path;
  for (std::size_t i = mark + 1; i < path.size(); ++i)
    if (!std::isdigit(static_cast<unsigned char>(path[i]))) return path;
  return path.substr(0, mark);
}

// Where a file sits on a disc tree (a mounted or copied Photo CD): the disc
// is the folder that holds PHOTO_CD/.
struct DiscPlace {
  std::string discName;  // empty outside a disc
  bool ownFile = false;  // INFO.PCD, OVERVIEW.PCD, CDI/..., never a picture
};

DiscPlace DiscPlaceOf(const std::string& path) {
  DiscPlace place;
  std::size_t start = path.find('/') == 0 ? 1 : 0;
  while (true) {
    const std::size_t slash = path.find('/', start);
    if (slash == std::string::npos) break;
    const std::string component = UpperAscii(path.substr(start, slash - start));
    const std::string root = path.substr(0, start);
    if ((component == "PHOTO_CD" || component == "CDI") && IsDirectory(root + "PHOTO_CD")) {
      std::string name = root;
      while (name.size() > 1 && name.back() == '/') name.pop_back();
      place.discName = name.substr(name.rfind('/') + 1);
      place.ownFile = disc::IsPhotoCdOwnFile(WithoutVersion(path.substr(start)));
      return place;
    }
    start = slash + 1;
  }
  return place;
}

std::string ImageStem(const std::string& path) {
  std::string name = path.substr(path.rfind('/') + 1);
  const std::size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0) name.erase(dot);
  return name;
}

// The pictures of a disc image. A .bin or .img with a cue sheet beside it
// is listed under the sheet's name, so that a folder holding both adds its
// pictures once.
int AddDiscImage(AppContext& context, const std::string& path, FileIdentity identity,
                 const AddedFileSink& added) {
  std::string image = path;
  const std::string lower = [&] {
    std::string text = path.substr(path.rfind('.') + 1);
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
  }();
  const bool alone = lower == "bin" || lower == "img";
  if (alone) {
    const std::string stem = path.substr(0, path.size() - lower.size());
    for (const char* ending : {"cue", "CUE"})
      if (Exists(stem + ending)) image = stem + ending;
  }
  const std::string discName = ImageStem(image);
  const std::string subfolder = RelativeSubfolder(image, context.job.inputFolder) + discName + "/";
  const disc::DiscListing listing = disc::ListDisc(image);
  std::vector<disc::DiscFile> pictures;
  std::string problem;
  if (!listing.ok) {
    // A .bin or .img alone may be anything; only a volume makes it a disc.
    if (alone && image == path) {
      Trace(context, "Skipped: " + path + ": not a recognisable disc image (" + listing.error + ")");
      return 0;
    }
    problem = "the disc image cannot be read: " + listing.error;
  } else {
    pictures = disc::PhotoCdPictures(listing);
    if (pictures.empty())
      problem = "the disc image holds no Photo CD pictures (no PHOTO_CD/IMAGES/*.PCD in its " +
                std::to_string(listing.files.size()) + " files)";
  }
  if (!problem.empty()) {
    InputEntry entry;
    entry.path = image;
    entry.relativeSubfolder = subfolder;
    entry.identity = identity;
    entry.discName = discName;
    auto picture = std::make_shared<DiscPicture>();
    picture->imagePath = image;
    picture->problem = problem;
    entry.disc = std::move(picture);
    if (!context.inputs.add(std::move(entry))) return 0;
    if (added) added(image);
    return 1;
  }
  int count = 0;
  for (const disc::DiscFile& file : pictures) {
    InputEntry entry;
    entry.path = image + "/" + file.path;
    const std::size_t slash = file.path.rfind('/');
    entry.relativeSubfolder =
        subfolder + (slash == std::string::npos ? std::string() : file.path.substr(0, slash + 1));
    entry.discName = discName;
    auto picture = std::make_shared<DiscPicture>();
    picture->imagePath = image;
    picture->entryPath = file.path;
    picture->firstSector = file.firstSector;
    picture->size = file.size;
    entry.disc = std::move(picture);
    const std::string added_path = entry.path;
    if (!context.inputs.add(std::move(entry))) continue;
    ++count;
    if (added) added(added_path);
  }
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
  return AddInputFiles(context, path, added) > 0;
}

int AddInputFiles(AppContext& context, const std::string& path, const AddedFileSink& added) {
  // A folder named x.pcd, a missing path or an empty file can never convert,
  // so none of them enters the set. Of those, a file named as a picture
  // (x.pcd) is a failed input, so that the batch's count does not silently
  // lose it; a disc's own files are no inputs at all.
  const DiscPlace place = DiscPlaceOf(path);
  if (place.ownFile) {
    Trace(context, "Skipped: " + path + ": one of the Photo CD's own files, not a picture");
    return 0;
  }
  // A disc mounted without Rock Ridge names its files IMG0001.PCD;1.
  const bool picture = context.formats.isAcceptedInput(WithoutVersion(path));
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) {
    // Whether it is a folder or a file cannot even be asked.
    const int error = errno;
    if (error == ENAMETOOLONG) {
      ReportTooLong(context, path);
    } else if (picture) {
      struct stat own {};
      const bool dangling = error == ENOENT && lstat(path.c_str(), &own) == 0 && S_ISLNK(own.st_mode);
      ReportInputFailed(context, path,
                        dangling ? "a symbolic link to nothing" : std::strerror(error));
    }
    return 0;
  }
  if (!S_ISREG(info.st_mode) || info.st_size == 0) {
    if (picture && !S_ISDIR(info.st_mode))
      ReportInputFailed(context, path,
                        S_ISREG(info.st_mode) ? "the file is empty" : "not a regular file");
    return 0;
  }
  const FileIdentity identity{static_cast<std::uint64_t>(info.st_dev),
                              static_cast<std::uint64_t>(info.st_ino)};
  if (disc::IsDiscImageName(path)) return AddDiscImage(context, path, identity, added);
  if (!picture) return 0;
  InputEntry entry;
  entry.path = path;
  entry.relativeSubfolder = RelativeSubfolder(path, context.job.inputFolder);
  entry.identity = identity;
  entry.discName = place.discName;
  if (!context.inputs.add(std::move(entry))) return 0;
  if (added) added(path);
  return 1;
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
  ListFolder(context, folder, [&](const std::string& name) {
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

namespace {

// One entry of a list, already trimmed; false once the run is stopped.
bool ImportListedPath(AppContext& context, const std::string& entry, int& total,
                      const AddedFileSink& added) {
  const std::string path = FullPath(entry);
  if (!Exists(path)) {
    // A name in a list is a file the user asked for.
    ReportInputFailed(context, path, std::strerror(errno));
    return true;
  }
  context.progress.waitWhilePaused();
  if (!context.progress.running) return false;
  CountProcessed(context.progress);
  if (IsDirectory(path))
    total += AddFolderTree(context, path, added);
  else
    total += AddInputFiles(context, path, added);  // a disc image adds each picture
  return true;
}

}  // namespace

void ListFileImport(AppContext& context, const AddedFileSink& added) {
  int total = 0;
  std::ifstream file(context.job.inputPath, std::ios::binary);
  if (!file) ReportInputFailed(context, context.job.inputPath, std::strerror(errno));
  if (file) {
    std::string line;
    bool first = true;
    while (context.progress.running && std::getline(file, line)) {
      if (first && line.starts_with("\xEF\xBB\xBF")) line.erase(0, 3);
      first = false;
      if (!line.empty() && line.back() == '\r') line.pop_back();
      const std::size_t begin = line.find_first_not_of(' ');
      if (begin == std::string::npos) continue;
      if (!ImportListedPath(context, line.substr(begin, line.find_last_not_of(' ') - begin + 1),
                            total, added))
        break;
    }
  }
  PublishAdded(context.progress, total);
}

void ListImport(AppContext& context, const std::vector<std::string>& entries,
                const AddedFileSink& added) {
  int total = 0;
  for (const std::string& entry : entries) {
    if (!context.progress.running) break;
    if (entry.empty()) continue;
    if (!ImportListedPath(context, entry, total, added)) break;
  }
  PublishAdded(context.progress, total);
}

}  // namespace lumafold
