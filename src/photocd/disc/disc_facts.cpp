// INFO.PCD's layout rests on one public source that contradicts itself, so
// each value read from it is checked for plausibility and left out when it
// fails; the counts that matter come from the volume itself.
#include <dirent.h>
#include <sys/stat.h>

#include <cctype>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "photocd/disc/disc_image.h"

namespace lumafold::disc {

namespace {

constexpr std::size_t kOverviewStart = 10240;    // first thumbnail
constexpr std::size_t kOverviewPicture = 36864;  // one Base/16 thumbnail
// Photo CD was sold from 1992 until about 2004.
constexpr std::time_t kEarliest = 694224000;  // 1992-01-01
constexpr std::time_t kLatest = 1262304000;   // 2010-01-01

std::uint32_t BigEndian32(const std::vector<std::uint8_t>& bytes, std::size_t at) {
  return (std::uint32_t{bytes[at]} << 24) | (std::uint32_t{bytes[at + 1]} << 16) |
         (std::uint32_t{bytes[at + 2]} << 8) | bytes[at + 3];
}

void ReadInfo(const std::vector<std::uint8_t>& info, DiscFacts& facts) {
  if (info.size() < 0x30 || std::string(info.begin(), info.begin() + 8) != "PHOTO_CD") return;
  facts.hasInfo = true;
  std::string serial(info.begin() + 0x0C, info.begin() + 0x18);
  while (!serial.empty() && (serial.back() == ' ' || serial.back() == '\0')) serial.pop_back();
  bool printable = !serial.empty();
  for (char c : serial) printable = printable && std::isprint(static_cast<unsigned char>(c));
  if (printable) facts.serial = serial;
  const auto created = static_cast<std::time_t>(BigEndian32(info, 0x18));
  if (created >= kEarliest && created < kLatest) facts.infoCreated = created;
  const int count = (info[0x20] << 8) | info[0x21];
  if (count > 0 && count <= 9999) facts.infoPictures = count;
}

void ReadOverviewSize(std::uint64_t size, DiscFacts& facts) {
  if (size >= kOverviewStart + kOverviewPicture)
    facts.overviewPictures = static_cast<int>((size - kOverviewStart) / kOverviewPicture);
}

std::string Stem(const std::string& path) {
  std::string name = path;
  while (name.size() > 1 && name.back() == '/') name.pop_back();
  name = name.substr(name.rfind('/') + 1);
  return name;
}

bool ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& bytes) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  return true;
}

}  // namespace

DiscFacts DescribeDisc(const std::string& path) {
  DiscFacts facts;
  struct stat info {};
  if (::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
    facts.name = Stem(path);
    const std::string root = path.ends_with('/') ? path : path + "/";
    struct stat folder {};
    if (::stat((root + "PHOTO_CD").c_str(), &folder) != 0 || !S_ISDIR(folder.st_mode)) {
      facts.error = "holds no PHOTO_CD folder";
      return facts;
    }
    facts.ok = true;
    if (DIR* images = ::opendir((root + "PHOTO_CD/IMAGES").c_str())) {
      while (const dirent* entry = ::readdir(images)) {
        std::string name = entry->d_name;
        if (const std::size_t version = name.rfind(';'); version != std::string::npos)
          name.erase(version);
        for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (name.size() > 4 && name.ends_with(".PCD")) ++facts.pictures;
      }
      ::closedir(images);
    }
    std::vector<std::uint8_t> bytes;
    if (ReadWholeFile(root + "PHOTO_CD/INFO.PCD", bytes)) ReadInfo(bytes, facts);
    struct stat overview {};
    if (::stat((root + "PHOTO_CD/OVERVIEW.PCD").c_str(), &overview) == 0)
      ReadOverviewSize(static_cast<std::uint64_t>(overview.st_size), facts);
    return facts;
  }
  std::string name = Stem(path);
  if (const std::size_t dot = name.rfind('.'); dot != std::string::npos && dot > 0) name.erase(dot);
  facts.name = name;
  const DiscListing listing = ListDisc(path);
  if (!listing.ok) {
    facts.error = listing.error;
    return facts;
  }
  facts.ok = true;
  facts.sessions = listing.sessions;
  facts.pictures = static_cast<int>(PhotoCdPictures(listing).size());
  facts.volumeId = listing.volumeId;
  facts.volumeCreated = listing.created;
  for (const DiscFile& file : listing.files) {
    std::string upper = file.path;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (upper == "PHOTO_CD/INFO.PCD") {
      std::vector<std::uint8_t> bytes;
      std::string error;
      if (ReadDiscFile(path, file, bytes, error)) ReadInfo(bytes, facts);
    } else if (upper == "PHOTO_CD/OVERVIEW.PCD") {
      ReadOverviewSize(file.size, facts);
    }
  }
  return facts;
}

}  // namespace lumafold::disc
