// The Image Pac header: the information from 0x800 ("PCD_IPI", times,
// scanner, medium, photofinisher, scene balance, rights) and the first image
// component attribute record at 0xE00 (the attribute byte with rotation,
// highest level, extension flag and compression class; the 4Base and 16Base
// stop sectors; the interleave ratio). All numbers are big-endian; strings
// are space-padded ISO 646.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

#include "photocd/photocd.h"

namespace lumafold::pcd {

namespace {

constexpr std::size_t kSignatureOffset = 0x800;
constexpr char kSignature[] = "PCD_IPI";
constexpr std::size_t kAttributeOffset = 0x0E02;
constexpr std::size_t kAttributeEnd = 0x0E07;  // attribute byte and both stop sectors
constexpr std::size_t kInterleaveOffset = 0x0E09;
constexpr std::size_t kOrientationByteOffset = 0x48;

// Information fields: offset and size.
struct Field {
  std::size_t offset;
  std::size_t size;
};
constexpr Field kSpecificationVersion{0x807, 2};
constexpr Field kSoftwareRelease{0x809, 2};
constexpr Field kMagnification{0x80B, 2};
constexpr Field kScanningTime{0x80D, 4};
constexpr Field kModificationTime{0x811, 4};
constexpr Field kMedium{0x815, 1};
constexpr Field kProductType{0x816, 20};
constexpr Field kScannerVendor{0x82A, 20};
constexpr Field kScannerProduct{0x83E, 16};
constexpr Field kScannerFirmware{0x84E, 4};
constexpr Field kScannerFirmwareDate{0x852, 8};
constexpr Field kScannerSerial{0x85A, 20};
constexpr Field kPixelSize{0x86E, 2};
constexpr Field kWorkstation{0x870, 20};
constexpr Field kCharacterSet{0x884, 1};
constexpr Field kPhotofinisher{0x8A5, 60};
constexpr Field kSceneBalanceMark{0x8E1, 3};
constexpr Field kSceneBalanceRevision{0x8E4, 2};
constexpr Field kSceneBalanceCommand{0x8E6, 1};
constexpr Field kFilmTermNumber{0x945, 2};
constexpr Field kCopyrightStatus{0x94B, 1};
constexpr Field kRightsFile{0x94C, 12};

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

// Reads up to `size` bytes from the start; how many it got, or -1.
long ReadStart(int fd, unsigned char* buffer, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t got = ::pread(fd, buffer + done, size - done, static_cast<off_t>(done));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return -1;
    if (got == 0) break;
    done += static_cast<std::size_t>(got);
  }
  return static_cast<long>(done);
}

std::uint32_t BigEndian(const std::uint8_t* p, std::size_t size) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < size; ++i) value = (value << 8) | p[i];
  return value;
}

// The bytes of a field, or none when the head ends before it.
std::span<const std::uint8_t> Bytes(std::span<const std::uint8_t> head, Field field) {
  if (head.size() < field.offset + field.size) return {};
  return head.subspan(field.offset, field.size);
}

bool AllBytes(std::span<const std::uint8_t> bytes, std::uint8_t value) {
  return std::all_of(bytes.begin(), bytes.end(), [value](std::uint8_t b) { return b == value; });
}

std::optional<Version> VersionField(std::span<const std::uint8_t> head, Field field) {
  const auto bytes = Bytes(head, field);
  if (bytes.empty() || AllBytes(bytes, 0xFF)) return std::nullopt;
  return Version{bytes[0], bytes[1]};
}

std::optional<int> ByteField(std::span<const std::uint8_t> head, Field field) {
  const auto bytes = Bytes(head, field);
  if (bytes.empty() || bytes[0] == 0xFF) return std::nullopt;
  return bytes[0];
}

// Zero and FFFFFFFF both mean "not given": writers that know no time leave
// zeros (ImageMagick) or ones (the specification).
std::optional<std::int64_t> TimeField(std::span<const std::uint8_t> head, Field field) {
  const auto bytes = Bytes(head, field);
  if (bytes.empty()) return std::nullopt;
  const std::uint32_t seconds = BigEndian(bytes.data(), bytes.size());
  if (seconds == 0 || seconds == 0xFFFFFFFFu) return std::nullopt;
  return static_cast<std::int64_t>(seconds);
}

// Two BCD bytes, two digits before and two after the point; nullopt when a
// nibble is no decimal digit (FF FF, or a writer that put a binary number).
std::optional<int> BcdField(std::span<const std::uint8_t> head, Field field) {
  const auto bytes = Bytes(head, field);
  if (bytes.empty()) return std::nullopt;
  int value = 0;
  for (std::uint8_t b : bytes) {
    const int high = b >> 4, low = b & 0x0F;
    if (high > 9 || low > 9) return std::nullopt;
    value = value * 100 + high * 10 + low;
  }
  if (value == 0) return std::nullopt;
  return value;
}

// Latin-1 to UTF-8, so that any byte reads as some character and every
// string handed on is valid UTF-8; control bytes and the padding (spaces,
// NUL, FF) at both ends are dropped.
std::string TextField(std::span<const std::uint8_t> head, Field field) {
  auto bytes = Bytes(head, field);
  auto padding = [](std::uint8_t b) { return b == ' ' || b == 0 || b == 0xFF; };
  while (!bytes.empty() && padding(bytes.front())) bytes = bytes.subspan(1);
  while (!bytes.empty() && padding(bytes.back())) bytes = bytes.first(bytes.size() - 1);
  std::string text;
  for (std::uint8_t b : bytes) {
    if (b < 0x20 || b == 0x7F || (b >= 0x80 && b < 0xA0)) {
      text += ' ';
    } else if (b < 0x80) {
      text += static_cast<char>(b);
    } else {
      text += static_cast<char>(0xC0 | (b >> 6));
      text += static_cast<char>(0x80 | (b & 0x3F));
    }
  }
  // A control byte at either end became a space: drop it like the padding.
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// Kodak's scanning software fills fields it has nothing for with the shape
// of their content; such a template is not a value.
std::string ValueOrNothing(std::string text, const char* placeholder) {
  return text == placeholder ? std::string() : text;
}

}  // namespace

LevelSize SizeOf(Level level) {
  switch (level) {
    case Level::Base16:
      return {192, 128};
    case Level::Base4:
      return {384, 256};
    case Level::Base:
      return {768, 512};
    case Level::FourBase:
      return {1536, 1024};
    case Level::SixteenBase:
      return {3072, 2048};
  }
  return {768, 512};
}

const char* LevelName(Level level) {
  switch (level) {
    case Level::Base16:
      return "Base/16";
    case Level::Base4:
      return "Base/4";
    case Level::Base:
      return "Base";
    case Level::FourBase:
      return "4Base";
    case Level::SixteenBase:
      return "16Base";
  }
  return "?";
}

std::optional<LevelSize> SizeOfIndex(int index) {
  if (index < 0 || index > 5) return std::nullopt;
  // ImageMagick's indices 0 and 1 both give Base/16.
  return SizeOf(static_cast<Level>(std::max(index - 1, 0)));
}

HeaderStatus ParseAttributes(std::span<const std::uint8_t> head, Attributes& attributes) {
  if (head.size() < kSignatureOffset + sizeof kSignature - 1 ||
      std::memcmp(head.data() + kSignatureOffset, kSignature, sizeof kSignature - 1) != 0)
    return HeaderStatus::NotPhotoCd;
  if (head.size() < kAttributeEnd) return HeaderStatus::TooShort;
  const std::uint8_t attribute = head[kAttributeOffset];
  attributes.rotation = attribute & 3;
  // Level code 3 is not defined; it is read as the largest one, which the
  // stop sectors and the data then confirm or refute.
  const int levelCode = std::min((attribute >> 2) & 3, 2);
  attributes.declared = static_cast<Level>(static_cast<int>(Level::Base) + levelCode);
  attributes.extension = (attribute & 0x10) != 0;
  attributes.compressionClass = ((attribute >> 5) & 3) + 1;
  attributes.fourBaseStop = BigEndian(head.data() + kAttributeOffset + 1, 2);
  attributes.sixteenBaseStop = BigEndian(head.data() + kAttributeOffset + 3, 2);
  attributes.interleave = head.size() > kInterleaveOffset ? head[kInterleaveOffset] : 0;
  return HeaderStatus::Ok;
}

Level WholeLevel(const Attributes& attributes, std::uint64_t fileSize) {
  // ImageMagick does not fail on a level that is cut off or missing; it
  // upsamples what it has, so a stop sector that is absent or points past
  // the end means the level is not there.
  const std::uint64_t fourBaseEnd = std::uint64_t{attributes.fourBaseStop} * kSectorSize;
  const std::uint64_t sixteenBaseEnd = std::uint64_t{attributes.sixteenBaseStop} * kSectorSize;
  const bool fourBaseWhole = fourBaseEnd > kBaseEnd && fourBaseEnd <= fileSize;
  const bool sixteenBaseWhole =
      fourBaseWhole && sixteenBaseEnd > fourBaseEnd && sixteenBaseEnd <= fileSize;
  if (attributes.declared >= Level::SixteenBase && sixteenBaseWhole) return Level::SixteenBase;
  if (attributes.declared >= Level::FourBase && fourBaseWhole) return Level::FourBase;
  return Level::Base;
}

Information ParseInformation(std::span<const std::uint8_t> head) {
  Information info;
  info.specificationVersion = VersionField(head, kSpecificationVersion);
  info.softwareRelease = VersionField(head, kSoftwareRelease);
  info.magnification = BcdField(head, kMagnification);
  info.scanningTime = TimeField(head, kScanningTime);
  info.modificationTime = TimeField(head, kModificationTime);
  if (const auto medium = ByteField(head, kMedium); medium && MediumName(*medium))
    info.medium = medium;
  info.productType = TextField(head, kProductType);
  info.scannerVendor = TextField(head, kScannerVendor);
  info.scannerProduct = TextField(head, kScannerProduct);
  info.scannerFirmware = ValueOrNothing(TextField(head, kScannerFirmware), "X.YY");
  info.scannerFirmwareDate = ValueOrNothing(TextField(head, kScannerFirmwareDate), "MM/DD/YY");
  info.scannerSerial = TextField(head, kScannerSerial);
  info.pixelSize = BcdField(head, kPixelSize);
  info.workstation = TextField(head, kWorkstation);
  if (const auto set = ByteField(head, kCharacterSet); set && *set >= 1 && *set <= 6)
    info.characterSet = set;
  info.photofinisher = TextField(head, kPhotofinisher);
  const auto mark = Bytes(head, kSceneBalanceMark);
  info.sceneBalance = !mark.empty() && std::memcmp(mark.data(), "SBA", 3) == 0;
  if (info.sceneBalance) {
    info.sceneBalanceRevision = VersionField(head, kSceneBalanceRevision);
    if (const auto command = ByteField(head, kSceneBalanceCommand);
        command && SceneBalanceName(*command))
      info.sceneBalanceCommand = command;
    if (const auto ftn = Bytes(head, kFilmTermNumber); !ftn.empty()) {
      const auto number = static_cast<int>(BigEndian(ftn.data(), ftn.size()));
      if (number != 0 && number != 0xFFFF) info.filmTermNumber = number;
    }
  }
  info.copyrightStatus = ByteField(head, kCopyrightStatus);
  if (info.copyrightStatus == 0) info.copyrightStatus.reset();
  info.rightsFile = TextField(head, kRightsFile);
  return info;
}

const char* MediumName(int medium) {
  static constexpr const char* kNames[] = {
      "colour negative",          "colour reversal",          "colour hard copy",
      "thermal hard copy",        "black-and-white negative", "black-and-white reversal",
      "black-and-white hard copy", "internegative",           "synthetic image"};
  return medium >= 0 && medium < static_cast<int>(std::size(kNames)) ? kNames[medium] : nullptr;
}

const char* SceneBalanceName(int command) {
  static constexpr const char* kNames[] = {
      "neutral and colour balance on", "neutral and colour balance off",
      "neutral balance on, colour balance off", "neutral balance off, colour balance on"};
  return command >= 0 && command < static_cast<int>(std::size(kNames)) ? kNames[command] : nullptr;
}

const char* CompressionClassName(int compressionClass) {
  static constexpr const char* kNames[] = {
      "class 1 (35 mm film, pictorial prints)", "class 2 (large-format film)",
      "class 3 (text and graphics)", "class 4 (text and graphics, high dynamic range)"};
  return compressionClass >= 1 && compressionClass <= 4 ? kNames[compressionClass - 1] : nullptr;
}

const char* FilmName(int filmTermNumber) {
  // The common films from Kodak's published list; the number is always
  // kept beside the name, and a film missing here is shown by number alone.
  static constexpr struct {
    int number;
    const char* name;
  } kFilms[] = {
      {16, "Agfa Agfacolor XRS 400 Gen 1"},   {18, "Agfa Agfacolor XRG/XRS 200"},
      {21, "Agfa Agfacolor XRS/XRC 100"},     {27, "Fuji Reala 100 Gen 1"},
      {30, "Fuji Super HG 100"},              {32, "Fuji Super HG 200"},
      {33, "Fuji Super HG 400"},              {47, "Kodak Gold 400 Gen 3"},
      {55, "Kodak Ektar 100 Gen 1"},          {57, "Kodak Ektar 125 Gen 1"},
      {60, "Kodak Gold 1600 Gen 1"},          {61, "Kodak Gold 200 Gen 2"},
      {62, "Kodak Gold 400 Gen 2"},           {72, "Kodak Gold 100 Gen 2"},
      {74, "Kodak Gold 400 Gen 1"},           {87, "Kodak Ektacolor Gold 160"},
      {97, "Kodak T-Max 100 Professional"},   {98, "Kodak T-Max 3200 Professional"},
      {99, "Kodak T-Max 400 Professional"},   {143, "Kodak Ektar 100 Gen 2"},
      {149, "Kodak Gold Plus 200 Gen 3"},     {154, "Kodak Gold Plus 100 Gen 3"},
      {163, "Kodak Gold 200 Gen 1"},          {324, "Kodak Gold Ultra 400 Gen 4"},
      {328, "Fuji Super G 100"},              {329, "Fuji Super G 200"},
      {330, "Fuji Super G 400 Gen 2"},        {430, "Kodak Royal Gold 1000"},
      {432, "Kodak Gold Plus 100 Gen 4"},     {443, "Kodak Royal Gold 100"},
      {444, "Kodak Royal Gold 400"},
  };
  for (const auto& film : kFilms)
    if (film.number == filmTermNumber) return film.name;
  return nullptr;
}

HeaderResult ReadHeader(const std::string& path) {
  // O_NONBLOCK keeps a FIFO named x.pcd from hanging the batch.
  FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (fd.get() < 0) return {};
  return ReadHeader(fd.get());
}

HeaderResult ReadHeader(int fd) {
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) return {};
  std::array<std::uint8_t, kHeaderBytes> bytes{};
  const long got = ReadStart(fd, bytes.data(), bytes.size());
  if (got < 0) return {};
  return ParseHeader(std::span<const std::uint8_t>(bytes.data(), static_cast<std::size_t>(got)),
                     static_cast<std::uint64_t>(info.st_size));
}

HeaderResult ParseHeader(std::span<const std::uint8_t> start, std::uint64_t fileSize) {
  HeaderResult result;
  const std::span<const std::uint8_t> head = start.first(std::min<std::size_t>(start.size(), kHeaderBytes));
  Header& header = result.header;
  result.status = ParseAttributes(head, header);
  if (result.status != HeaderStatus::Ok) return result;
  header.fileSize = fileSize;
  header.firstSectorOrientationByte = head[kOrientationByteOffset];
  header.information = ParseInformation(head);
  if (fileSize < kBaseEnd) {
    result.status = HeaderStatus::TooShort;
    return result;
  }
  header.whole = WholeLevel(header, fileSize);
  return result;
}

}  // namespace lumafold::pcd
