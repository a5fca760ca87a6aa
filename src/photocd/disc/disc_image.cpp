// libiso9660 reads the volume at sector 16 only, which on a multi-session
// disc is the first session's and lists none of the later pictures. So the
// descriptors of later sessions are looked for here (a flat image keeps no
// table of contents), and the last one's directory is walked with
// libiso9660's record layout; libcdio and libiso9660 do every sector read.
#include "photocd/disc/disc_image.h"

#include <cdio/bytesex.h>
#include <cdio/cdio.h>
#include <cdio/iso9660.h>
#include <cdio/logging.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <memory>
#include <mutex>
#include <set>

namespace lumafold::disc {

namespace {

constexpr std::uint32_t kSector = ISO_BLOCKSIZE;  // 2048 data bytes
constexpr std::uint32_t kDescriptorSector = ISO_PVD_SECTOR;  // 16
constexpr int kDeepestFolder = 16;
constexpr std::uint32_t kLargestFolder = 16u << 20;

thread_local std::string lastLibraryMessage;

// libcdio prints its warnings on standard error by default; they become the
// reason of the failure instead.
void KeepLibraryMessage(cdio_log_level_t level, const char message[]) {
  if (level >= CDIO_LOG_WARN && message) lastLibraryMessage = message;
}

// libcdio's image drivers keep state of their own between handles (the
// driver table it sets up on first use, the cue parser): two jobs opening
// the same sheet at once made one fail with "init failed" or trip its
// internal assertion. Every call into the library goes through this lock;
// the reads it guards are short next to the decoding that follows.
std::mutex& LibraryLock() {
  static std::mutex lock;
  return lock;
}

void QuietLibrary() {
  static std::once_flag once;
  std::call_once(once, [] { cdio_log_set_handler(KeepLibraryMessage); });
}

std::string LowerExtension(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  const std::size_t dot = path.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
  std::string extension = path.substr(dot + 1);
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return extension;
}

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

bool FileExists(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::uint64_t FileSize(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 ? static_cast<std::uint64_t>(info.st_size) : 0;
}

bool StartsWithSync(const std::string& path) {
  static const unsigned char kSync[12] = {0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                          0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0};
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return false;
  unsigned char head[12] = {};
  const bool sync = std::fread(head, 1, sizeof head, file) == sizeof head &&
                    std::memcmp(head, kSync, sizeof kSync) == 0;
  std::fclose(file);
  return sync;
}

// 2048-byte data sectors of an image by absolute disc address.
class SectorSource {
 public:
  virtual ~SectorSource() = default;
  virtual bool read(std::uint32_t sector, std::uint32_t count, std::uint8_t* out) = 0;
  std::uint32_t sectors() const { return sectors_; }

 protected:
  std::uint32_t sectors_ = 0;
};

// A .cue sheet (or a .bin beside one): libcdio's image driver takes the
// track modes from the sheet and the data from each raw sector.
class CueSource : public SectorSource {
 public:
  explicit CueSource(CdIo_t* cdio) : cdio_(cdio) {
    const lsn_t last = cdio_get_disc_last_lsn(cdio_);
    sectors_ = last > 0 ? static_cast<std::uint32_t>(last) : 0;
  }
  ~CueSource() override {
    const std::lock_guard<std::mutex> hold(LibraryLock());
    cdio_destroy(cdio_);
  }
  bool read(std::uint32_t sector, std::uint32_t count, std::uint8_t* out) override {
    const std::lock_guard<std::mutex> hold(LibraryLock());
    return cdio_read_data_sectors(cdio_, out, static_cast<lsn_t>(sector), kSector, count) ==
           DRIVER_OP_SUCCESS;
  }

 private:
  CdIo_t* cdio_;
};

// An ISO file; opened "fuzzy" when it holds raw 2352-byte frames (a .bin
// without its sheet), where libiso9660 finds the data in each frame itself.
class IsoSource : public SectorSource {
 public:
  IsoSource(iso9660_t* iso, std::uint64_t fileSize, bool raw) : iso_(iso), raw_(raw) {
    sectors_ = static_cast<std::uint32_t>(fileSize / (raw ? CDIO_CD_FRAMESIZE_RAW : kSector));
  }
  ~IsoSource() override {
    const std::lock_guard<std::mutex> hold(LibraryLock());
    iso9660_close(iso_);
  }
  bool read(std::uint32_t sector, std::uint32_t count, std::uint8_t* out) override {
    const std::lock_guard<std::mutex> hold(LibraryLock());
    if (static_cast<std::uint64_t>(sector) + count > sectors_) return false;
    // Raw frames are read one by one: a longer read would run on into the
    // next frame's header.
    const std::uint32_t step = raw_ ? 1 : count;
    for (std::uint32_t done = 0; done < count; done += step) {
      const long want = static_cast<long>(std::min(step, count - done));
      const long got =
          iso9660_iso_seek_read(iso_, out + static_cast<std::size_t>(done) * kSector,
                                static_cast<lsn_t>(sector + done), want);
      if (got != want * static_cast<long>(kSector)) return false;
    }
    return true;
  }

 private:
  iso9660_t* iso_;
  bool raw_;
};

std::unique_ptr<SectorSource> OpenImage(const std::string& path, std::string& error) {
  QuietLibrary();
  const std::lock_guard<std::mutex> hold(LibraryLock());
  lastLibraryMessage.clear();
  if (!FileExists(path)) {
    error = "cannot be opened";
    return nullptr;
  }
  const std::string extension = LowerExtension(path);
  std::string sheet;
  if (extension == "cue") {
    sheet = path;
  } else if (extension == "bin" || extension == "img") {
    const std::string stem = path.substr(0, path.size() - extension.size());
    for (const char* ending : {"cue", "CUE"})
      if (FileExists(stem + ending)) sheet = stem + ending;
  }
  if (!sheet.empty()) {
    if (CdIo_t* cdio = cdio_open_cue(sheet.c_str())) return std::make_unique<CueSource>(cdio);
    error = "the cue sheet " + sheet.substr(sheet.rfind('/') + 1) + " cannot be read" +
            (lastLibraryMessage.empty() ? "" : " (" + lastLibraryMessage + ")");
    return nullptr;
  }
  const std::uint64_t size = FileSize(path);
  const bool raw = StartsWithSync(path);
  iso9660_t* iso = raw ? iso9660_open_fuzzy(path.c_str(), 20) : iso9660_open(path.c_str());
  if (!iso) {
    error = raw ? "raw sectors without a recognisable ISO 9660 volume"
                : "no ISO 9660 volume descriptor at sector 16 (not a disc image, or cut short)";
    return nullptr;
  }
  return std::make_unique<IsoSource>(iso, size, raw);
}

bool IsPrimaryDescriptor(const std::uint8_t* sector) {
  return sector[0] == ISO_VD_PRIMARY && std::memcmp(sector + 1, ISO_STANDARD_ID, 5) == 0;
}

std::string TrimmedText(const char* text, std::size_t size) {
  std::string value(text, size);
  value.erase(std::find(value.begin(), value.end(), '\0'), value.end());
  while (!value.empty() && value.back() == ' ') value.pop_back();
  return value;
}

// The name as a mounted disc shows it: "IMG0001.PCD;1" is IMG0001.PCD,
// "README.;1" is README.
std::string PlainName(std::string name) {
  const std::size_t version = name.rfind(';');
  if (version != std::string::npos) name.erase(version);
  if (!name.empty() && name.back() == '.') name.pop_back();
  return name;
}

class FolderWalk {
 public:
  FolderWalk(SectorSource& source, DiscListing& listing) : source_(source), listing_(listing) {}

  bool walk(std::uint32_t extent, std::uint32_t size, const std::string& prefix, int depth) {
    if (depth > kDeepestFolder || size > kLargestFolder) return fail("the folder tree is too deep or too large");
    if (!seen_.insert(extent).second) return true;  // a loop in a damaged directory
    const std::uint32_t count = (size + kSector - 1) / kSector;
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(count) * kSector);
    if (count > 0 && !source_.read(extent, count, bytes.data()))
      return fail("the folder " + (prefix.empty() ? std::string("/") : prefix) +
                  " cannot be read (sector " + std::to_string(extent) + ")");
    std::size_t at = 0;
    while (at < size) {
      const auto* record = reinterpret_cast<const iso9660_dir_t*>(bytes.data() + at);
      const std::size_t length = iso9660_get_dir_len(record);
      const std::size_t blockEnd = (at / kSector + 1) * kSector;
      if (length == 0) {  // the rest of this sector is unused
        at = blockEnd;
        continue;
      }
      const std::size_t nameLength = bytes[at + 32];
      if (length < 34 || at + length > blockEnd || 33 + nameLength > length)
        return fail("the folder " + prefix + " holds a damaged record");
      const std::string raw(reinterpret_cast<const char*>(bytes.data() + at + 33), nameLength);
      at += length;
      if (raw == std::string(1, '\0') || raw == std::string(1, '\1')) continue;
      const auto first = static_cast<std::uint32_t>(from_733(record->extent));
      const auto bytesLong = static_cast<std::uint32_t>(from_733(record->size));
      const std::string path = prefix + PlainName(raw);
      if (record->file_flags & ISO_DIRECTORY) {
        if (!walk(first, bytesLong, path + "/", depth + 1)) return false;
      } else {
        listing_.files.push_back({path, first, bytesLong});
      }
    }
    return true;
  }

 private:
  bool fail(std::string why) {
    listing_.error = std::move(why);
    return false;
  }

  SectorSource& source_;
  DiscListing& listing_;
  std::set<std::uint32_t> seen_;
};

}  // namespace

bool IsDiscImageName(const std::string& path) {
  const std::string extension = LowerExtension(path);
  return extension == "iso" || extension == "cue" || extension == "bin" || extension == "img";
}

DiscListing ListDisc(const std::string& imagePath) {
  DiscListing listing;
  std::unique_ptr<SectorSource> source = OpenImage(imagePath, listing.error);
  if (!source) return listing;
  listing.sectors = source->sectors();

  // Each session's volume ends where its descriptor says; the next one's
  // descriptors sit 16 sectors after its start, somewhere past that end.
  std::vector<std::uint8_t> sector(kSector);
  std::vector<std::uint8_t> last(kSector);
  std::uint32_t at = kDescriptorSector;
  if (!source->read(at, 1, sector.data()) || !IsPrimaryDescriptor(sector.data())) {
    listing.error = "no ISO 9660 volume descriptor at sector 16";
    return listing;
  }
  while (true) {
    last = sector;
    ++listing.sessions;
    const auto* volume = reinterpret_cast<const iso9660_pvd_t*>(last.data());
    const auto end = static_cast<std::uint32_t>(iso9660_get_pvd_space_size(volume));
    std::uint32_t next = std::max(end, at + 1);
    bool found = false;
    for (; next < source->sectors(); ++next) {
      if (!source->read(next, 1, sector.data())) break;
      if (IsPrimaryDescriptor(sector.data())) {
        found = true;
        break;
      }
    }
    if (!found) break;
    at = next;
  }

  const auto* volume = reinterpret_cast<const iso9660_pvd_t*>(last.data());
  listing.volumeId = TrimmedText(volume->volume_id, ISO_MAX_VOLUME_ID);
  struct tm created {};
  if (iso9660_get_ltime(&volume->creation_date, &created) && created.tm_year > 0)
    listing.created = timegm(&created);
  const iso9660_dir_t& root = volume->root_directory_record;
  FolderWalk walk(*source, listing);
  if (!walk.walk(static_cast<std::uint32_t>(from_733(root.extent)),
                 static_cast<std::uint32_t>(from_733(root.size)), "", 0)) {
    listing.files.clear();
    return listing;
  }
  listing.ok = true;
  return listing;
}

bool ReadDiscFile(const std::string& imagePath, const DiscFile& file,
                  std::vector<std::uint8_t>& bytes, std::string& error) {
  bytes.clear();
  std::unique_ptr<SectorSource> source = OpenImage(imagePath, error);
  if (!source) return false;
  const std::uint32_t count = (file.size + kSector - 1) / kSector;
  const std::uint64_t end = static_cast<std::uint64_t>(file.firstSector) + count;
  if (end > source->sectors()) {
    error = "the image ends at sector " + std::to_string(source->sectors()) +
            ", before the file's last sector " + std::to_string(end - 1) + " (cut short)";
    return false;
  }
  bytes.resize(static_cast<std::size_t>(count) * kSector);
  if (count > 0 && !source->read(file.firstSector, count, bytes.data())) {
    bytes.clear();
    error = "sectors " + std::to_string(file.firstSector) + " to " + std::to_string(end - 1) +
            " cannot be read" + (lastLibraryMessage.empty() ? "" : " (" + lastLibraryMessage + ")");
    return false;
  }
  bytes.resize(file.size);
  return true;
}

std::vector<DiscFile> PhotoCdPictures(const DiscListing& listing) {
  std::vector<DiscFile> pictures;
  for (const DiscFile& file : listing.files) {
    const std::string upper = Upper(file.path);
    if (upper.starts_with("PHOTO_CD/IMAGES/") &&
        upper.find('/', 16) == std::string::npos && LowerExtension(upper) == "pcd")
      pictures.push_back(file);
  }
  std::sort(pictures.begin(), pictures.end(), [](const DiscFile& a, const DiscFile& b) {
    return Upper(a.path) < Upper(b.path);
  });
  return pictures;
}

bool IsPhotoCdOwnFile(const std::string& relative) {
  const std::string upper = Upper(relative);
  if (upper.starts_with("CDI/")) return true;
  if (!upper.starts_with("PHOTO_CD/")) return false;
  return !upper.starts_with("PHOTO_CD/IMAGES/") && !upper.starts_with("PHOTO_CD/IPE/");
}

}  // namespace lumafold::disc
