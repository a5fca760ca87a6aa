// Photo CD disc images read in place: no mount, no root, no copy of the
// image. An .iso (one session or several in one flat file), a .cue sheet
// with its raw 2352-byte .bin, or a .bin/.img alone whose sectors can be
// recognised. The listing names every file of the last session's
// directory, which on a multi-session disc lists the pictures of every
// session; each file is then read into memory on its own.
//
// Failures are loud: an image that cannot be opened, holds no volume or
// whose directory cannot be read gives an error, never an empty listing.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace lumafold::disc {

// A file of the disc's volume.
struct DiscFile {
  // Below the volume's root, as a mounted disc shows it: "PHOTO_CD/IMAGES/IMG0001.PCD"
  // (the ";1" version suffix and a bare trailing dot dropped, letter case kept).
  std::string path;
  std::uint32_t firstSector = 0;  // absolute disc address of its 2048-byte data
  std::uint32_t size = 0;         // bytes
};

struct DiscListing {
  bool ok = false;
  std::string error;  // why nothing could be listed; empty when ok
  std::vector<DiscFile> files;
  int sessions = 0;          // volumes found one after another in the image
  std::string volumeId;      // of the last session, trailing spaces removed
  std::time_t created = 0;   // the last session's volume creation time, 0 when unset
  std::uint32_t sectors = 0; // data sectors the image holds
};

// Whether the name is one of the disc image kinds read here (.iso, .cue,
// .bin, .img, any letter case).
bool IsDiscImageName(const std::string& path);

// Reads the image's volume descriptors and the last session's directory tree.
DiscListing ListDisc(const std::string& imagePath);

// Reads one listed file whole. False with a reason when the image cannot be
// opened, ends before the file does (a cut-short dump) or a sector cannot
// be read.
bool ReadDiscFile(const std::string& imagePath, const DiscFile& file,
                  std::vector<std::uint8_t>& bytes, std::string& error);

// The Photo CD pictures of a listing in disc order: PHOTO_CD/IMAGES/*.PCD,
// names compared without regard to letter case.
std::vector<DiscFile> PhotoCdPictures(const DiscListing& listing);

// Whether a path below a disc's root is one of the Photo CD's own files
// (anything under PHOTO_CD/ outside IMAGES/ and IPE/, or under CDI/): never
// a picture to convert. `relative` starts at the disc root, "/"-separated.
bool IsPhotoCdOwnFile(const std::string& relative);

// What a disc says about itself. The picture and session counts come from
// the volume; the serial number and creation time from INFO.PCD, whose
// layout is not known for certain: they are given only when they look
// sound, and nothing else depends on them.
struct DiscFacts {
  bool ok = false;
  std::string error;
  std::string name;          // the image's name without extension, or the disc folder's
  int sessions = 0;          // 0 when unknown (a disc tree)
  int pictures = 0;          // PHOTO_CD/IMAGES/*.PCD
  std::string volumeId;
  std::time_t volumeCreated = 0;
  bool hasInfo = false;      // INFO.PCD read and signed "PHOTO_CD"
  std::string serial;        // from INFO.PCD, empty when it does not look sound
  std::time_t infoCreated = 0;
  int infoPictures = -1;     // INFO.PCD's own count, -1 when it does not look sound
  int overviewPictures = -1; // thumbnails OVERVIEW.PCD holds by its size, -1 without it
};

// Facts of a disc image, or of a folder that holds PHOTO_CD/ (a mounted or
// copied disc).
DiscFacts DescribeDisc(const std::string& path);

}  // namespace lumafold::disc
