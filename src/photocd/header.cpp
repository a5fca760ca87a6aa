// Photo CD header reader. An Image Pac starts with the IP-ICA sector; the
// Image Pac information begins at 0x800 with "PCD_IPI", and the first image
// component attribute record at 0x0E00 carries the attribute byte and the
// stop sectors of the 4Base and 16Base levels.
#include "photocd/photocd.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

namespace lumafold {

namespace {

constexpr std::size_t kSignatureOffset = 0x800;
constexpr char kSignature[] = "PCD_IPI";
constexpr std::size_t kAttributeOffset = 0x0E02;
constexpr std::size_t kFourBaseStopOffset = 0x0E03;
constexpr std::size_t kSixteenBaseStopOffset = 0x0E05;
constexpr std::size_t kOrientationByteOffset = 0x48;
constexpr std::size_t kHeaderBytes = 0x0E07;

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

bool ReadFully(int fd, unsigned char* buffer, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t got = ::pread(fd, buffer + done, size - done, static_cast<off_t>(done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    done += static_cast<std::size_t>(got);
  }
  return true;
}

std::uint16_t BigEndian16(const unsigned char* p) {
  return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}

}  // namespace

std::optional<PixelSize> SizeOfIndex(int index) {
  switch (index) {
    case 0:
    case 1:
      return PixelSize{192, 128};
    case 2:
      return PixelSize{384, 256};
    case 3:
      return PixelSize{768, 512};
    case 4:
      return PixelSize{1536, 1024};
    case 5:
      return PixelSize{3072, 2048};
    default:
      return std::nullopt;
  }
}

PhotoCdHeaderResult ReadPhotoCdHeader(const std::string& path) {
  // O_NONBLOCK keeps a FIFO named x.pcd from hanging the batch.
  FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (fd.get() < 0) return {};
  return ReadPhotoCdHeader(fd.get());
}

PhotoCdHeaderResult ReadPhotoCdHeader(int fd) {
  PhotoCdHeaderResult result;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) return result;
  const auto size = static_cast<std::uint64_t>(info.st_size);

  std::array<unsigned char, kHeaderBytes> bytes{};
  const std::size_t wanted = static_cast<std::size_t>(std::min<std::uint64_t>(size, kHeaderBytes));
  if (!ReadFully(fd, bytes.data(), wanted)) {
    if (wanted > 0) return result;
  }
  const bool signed_ =
      wanted >= kSignatureOffset + sizeof kSignature - 1 &&
      std::memcmp(bytes.data() + kSignatureOffset, kSignature, sizeof kSignature - 1) == 0;
  if (!signed_) {
    result.status = PhotoCdHeaderStatus::NotPhotoCd;
    return result;
  }
  if (wanted < kHeaderBytes) {
    result.status = PhotoCdHeaderStatus::TooShort;
    return result;
  }

  PhotoCdHeader& header = result.header;
  header.fileSize = size;
  header.firstSectorOrientationByte = bytes[kOrientationByteOffset];
  const unsigned char attribute = bytes[kAttributeOffset];
  header.rotation = attribute & 0x03;
  // Level 3 is undefined; the decoders treat it as 16Base.
  const int declared = std::min((attribute >> 2) & 0x03, 2);
  header.declaredLevel = static_cast<PhotoCdLevel>(declared);
  header.fourBaseStopSector = BigEndian16(bytes.data() + kFourBaseStopOffset);
  header.sixteenBaseStopSector = BigEndian16(bytes.data() + kSixteenBaseStopOffset);

  if (size < kPhotoCdBaseEnd) {
    result.status = PhotoCdHeaderStatus::TooShort;
    return result;
  }

  // A level is usable when its stop sector lies beyond the level below it
  // and inside the file. ImageMagick does not fail on a level that is cut
  // off or missing; it upsamples what it has, so a stop sector that is
  // absent or points past the end means the level is not there.
  const std::uint64_t fourBaseEnd = header.fourBaseStopSector * kPhotoCdSectorSize;
  const std::uint64_t sixteenBaseEnd = header.sixteenBaseStopSector * kPhotoCdSectorSize;
  const bool fourBaseWhole = fourBaseEnd > kPhotoCdBaseEnd && fourBaseEnd <= size;
  const bool sixteenBaseWhole =
      fourBaseWhole && sixteenBaseEnd > fourBaseEnd && sixteenBaseEnd <= size;
  int usable = 0;
  if (declared >= 2 && sixteenBaseWhole)
    usable = 2;
  else if (declared >= 1 && fourBaseWhole)
    usable = 1;
  header.usableLevel = static_cast<PhotoCdLevel>(usable);
  result.status = PhotoCdHeaderStatus::Ok;
  return result;
}

}  // namespace lumafold
