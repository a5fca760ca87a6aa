// The built-in Photo CD decoder: reads the container, the plain levels up to
// Base, then 4Base and 16Base as residuals on the level below, and gives the
// highest level that is whole and sound, upright, in the rendering asked for.
//
// 4Base: code table at sector 388, data from sector 389 to its stop sector
// (the first sector after it). 16Base: its ICA sector is the 4Base stop
// sector, the code tables 12 sectors later and the data 14 sectors later.
// Some writers place 16Base after the sector holding the 4Base end mark
// instead; both are tried when they differ.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "photocd/internal.h"

namespace lumafold::pcd {

namespace detail {

namespace {

// No sound Image Pac is longer: Base ends at 768 KB and even 16-bit codes for
// every 4Base and 16Base pixel take under 24 MB. Reading stops there, so
// memory stays bounded whatever the file.
constexpr std::size_t kMaxImagePacBytes = 32u << 20;

constexpr std::size_t kFourBaseTableSector = 388;
constexpr std::size_t kFourBaseDataSector = 389;
constexpr std::size_t kSixteenBaseTableOffset = 12;  // sectors after its ICA sector
constexpr std::size_t kSixteenBaseDataOffset = 14;

std::span<const std::uint8_t> Slice(std::span<const std::uint8_t> file, std::size_t from,
                                    std::size_t to) {
  to = std::min(to, file.size());
  if (from >= to) return {};
  return file.subspan(from, to - from);
}

// The data of a residual level: from its first sector to its stop sector
// when the header gives a plausible one, else to the end of the file.
std::span<const std::uint8_t> LevelData(std::span<const std::uint8_t> file, std::size_t first,
                                        std::size_t stop) {
  const std::size_t end =
      (stop > first && stop * kSectorSize <= file.size()) ? stop * kSectorSize : file.size();
  return Slice(file, first * kSectorSize, end);
}

// Tries a residual level on `lower`. When `ok`, `planes` hold the level:
// whole, or with the rows in `lost` rebuilt from `lower`.
struct Attempt {
  bool ok = false;
  std::string problem;    // why not ok
  bool cutShort = false;  // the file ends before or inside the level
  ResidualStream stream;
  LostRows lost;
  YccPlanes planes;

  int soundRows() const {
    return stream.soundLumaRows +
           static_cast<int>(std::count(stream.chroma.begin(), stream.chroma.end(), RowState::Sound));
  }
};

Attempt BuildResidualLevel(std::span<const std::uint8_t> file, std::size_t tableSector,
                           std::size_t tableSectors, int tableCount, std::size_t dataSector,
                           std::size_t stopSector, const YccPlanes& lower, bool spareCore) {
  Attempt attempt;
  if (file.size() < (dataSector + 1) * kSectorSize) {
    attempt.cutShort = true;
    attempt.problem = "the file is cut short before it";
    return attempt;
  }
  std::string tableError;
  const std::vector<HuffmanTable> tables = ReadHuffmanTables(
      Slice(file, tableSector * kSectorSize, (tableSector + tableSectors) * kSectorSize),
      tableCount, tableError);
  if (tables.empty()) {
    attempt.problem = "its code table is damaged (" + tableError + ")";
    return attempt;
  }
  const std::span<const std::uint8_t> data = LevelData(file, dataSector, stopSector);
  const bool reachesFileEnd = data.data() + data.size() == file.data() + file.size();
  // Data too short for even one luma row (a sync, a header and a code per
  // pixel) holds nothing to keep, and decoding it would be wasted.
  const std::size_t rowBits = 40 + static_cast<std::size_t>(2 * lower.width) * tables[0].shortest;
  if (data.size() * 8 < rowBits) {
    attempt.cutShort = reachesFileEnd;
    attempt.problem = attempt.cutShort ? "the file is cut short inside it"
                                       : "its coded data is too short for its rows";
    return attempt;
  }
  attempt.stream = BuildOnLower(data, tables, lower, attempt.planes, attempt.lost, spareCore);
  attempt.cutShort = reachesFileEnd && attempt.stream.ranOut;
  // Rows that could not be decoded are rebuilt from the level below; a
  // level without a single sound row is not there at all.
  attempt.ok = attempt.stream.complete || attempt.stream.soundLumaRows > 0;
  if (!attempt.ok)
    attempt.problem = attempt.cutShort
                          ? "the file is cut short inside it"
                          : "its coded data is damaged (" + attempt.stream.problem + ")";
  return attempt;
}

std::string NotUsed(Level level, const std::string& why) {
  return std::string(LevelName(level)) + " not used: " + why;
}

// "row 5", "rows 1204-1209", "rows 3-4, 10, 1204-1209"; beyond a few
// stretches only how many more there are.
std::string RowsText(const std::vector<RowRange>& ranges) {
  constexpr std::size_t kListed = 4;
  if (ranges.size() == 1 && ranges[0].first == ranges[0].last)
    return "row " + std::to_string(ranges[0].first);
  std::string text = "rows ";
  int rows = 0;
  for (std::size_t i = 0; i < ranges.size(); ++i) {
    rows += ranges[i].last - ranges[i].first + 1;
    if (i >= kListed) continue;
    if (i > 0) text += ", ";
    text += std::to_string(ranges[i].first);
    if (ranges[i].last > ranges[i].first) {
      text += '-';
      text += std::to_string(ranges[i].last);
    }
  }
  if (ranges.size() > kListed)
    text += " and " + std::to_string(ranges.size() - kListed) + " more stretches (" +
            std::to_string(rows) + " rows in all)";
  return text;
}

std::string DamageText(const LevelDamage& damage) {
  std::string text = LevelName(damage.level);
  if (!damage.rows.empty()) {
    text += ' ';
    text += RowsText(damage.rows);
  }
  if (!damage.colourRows.empty()) {
    text += damage.rows.empty() ? " colour detail of " : " and the colour detail of ";
    text += RowsText(damage.colourRows);
  }
  text += damage.cutShort ? " cut off by the end of the file" : " damaged";
  return text + ", rebuilt from " +
         LevelName(static_cast<Level>(static_cast<int>(damage.level) - 1));
}

void RecordDamage(Level level, const Attempt& attempt, std::vector<LevelDamage>& damage) {
  if (!attempt.lost.any()) return;
  damage.push_back({level, attempt.lost.luma, attempt.lost.chromaOnly, attempt.cutShort});
}

}  // namespace

Result Decode(std::span<const std::uint8_t> file, const Request& request) {
  Result result;
  Container container;
  if (!ReadContainer(file, container, result.error)) return result;
  const Level target = std::min(request.highest, container.declared);
  if (request.expect) {
    const LevelSize upright = UprightSize(SizeOf(target), container.rotation);
    request.expect(upright.width, upright.height, request.rendering);
  }

  // The plain levels: the highest one asked for that lies wholly in the file.
  YccPlanes planes;
  Level level = std::min(target, Level::Base);
  std::string note;
  while (!ReadPlainLevel(file, level, planes)) {
    if (note.empty()) note = NotUsed(level, "the file is cut short inside it");
    if (level == Level::Base16) {
      result.error = "the Photo CD file is cut short before its smallest picture";
      return result;
    }
    level = static_cast<Level>(static_cast<int>(level) - 1);
  }

  std::vector<LevelDamage> damage;
  if (level == Level::Base && target >= Level::FourBase) {
    // 4Base carries a luma residual; its chroma is Base chroma doubled.
    Attempt four = BuildResidualLevel(file, kFourBaseTableSector, 1, 1, kFourBaseDataSector,
                                      container.fourBaseStop, planes, request.spareCore);
    if (!four.ok) {
      note = NotUsed(Level::FourBase, four.problem);
    } else {
      planes = std::move(four.planes);
      level = Level::FourBase;
      RecordDamage(level, four, damage);
      if (target == Level::SixteenBase) {
        // Where 16Base starts: the 4Base stop sector, or the sector after the
        // one holding the 4Base end mark.
        std::vector<std::size_t> starts;
        if (container.fourBaseStop > kFourBaseDataSector) starts.push_back(container.fourBaseStop);
        const std::size_t afterMark =
            (kFourBaseDataSector * kSectorSize + four.stream.endMarkByte) / kSectorSize + 1;
        if (std::find(starts.begin(), starts.end(), afterMark) == starts.end())
          starts.push_back(afterMark);
        // The first whole level wins; of damaged ones, the one with the
        // most sound rows (a wrong start finds the level's later rows too).
        Attempt best;
        std::string problem;
        for (std::size_t start : starts) {
          // 16Base adds residuals to 4Base luma and to Base chroma doubled twice.
          Attempt tried = BuildResidualLevel(file, start + kSixteenBaseTableOffset, 2, 3,
                                             start + kSixteenBaseDataOffset,
                                             container.sixteenBaseStop, planes, request.spareCore);
          if (problem.empty()) problem = tried.problem;
          if (!tried.ok) continue;
          const bool whole = !tried.lost.any();
          if (!best.ok || tried.soundRows() > best.soundRows()) best = std::move(tried);
          if (whole) break;
        }
        if (best.ok) {
          planes = std::move(best.planes);
          level = Level::SixteenBase;
          RecordDamage(level, best, damage);
        } else {
          note = NotUsed(Level::SixteenBase, problem);
        }
      }
    }
  }

  std::string told;
  for (const LevelDamage& entry : damage) told += (told.empty() ? "" : "; ") + DamageText(entry);
  if (!note.empty()) told += (told.empty() ? "" : "; ") + note;
  result.picture.damage = std::move(damage);
  result.picture.highlights = request.highlights;
  result.picture.level = level;
  result.picture.note = std::move(told);
  if (request.destination) {
    const LevelSize upright = UprightSize({planes.width, planes.height}, container.rotation);
    const Destination destination =
        request.destination(upright.width, upright.height, request.rendering);
    if (!destination.origin) {
      result.error = "no memory for the decoded picture";
      return result;
    }
    result.picture.width = upright.width;
    result.picture.height = upright.height;
    result.picture.rendering = request.rendering;
    ConvertToRgb(planes, container.rotation, request.rendering, request.highlights, destination,
                 request.spareCore);
  } else {
    ConvertToRgb(planes, container.rotation, request.rendering, request.highlights,
                 result.picture, request.spareCore);
  }
  result.ok = true;
  return result;
}

// Reads at most `limit` bytes of a regular file; folders, FIFOs and devices
// are refused before any read could block.
bool ReadFileStart(const std::string& path, std::size_t limit, Bytes& bytes, std::string& error) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    error = "cannot open the file: " + std::string(std::strerror(errno));
    return false;
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    error = "not a regular file";
    return false;
  }
  const std::size_t size = std::min(static_cast<std::size_t>(info.st_size), limit);
  SizeBuffer(bytes, size);
  std::size_t done = 0;
  while (done < size) {
    const ssize_t got = ::pread(fd, bytes.data() + done, size - done, static_cast<off_t>(done));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      error = "cannot read the file: " + std::string(std::strerror(errno));
      ::close(fd);
      return false;
    }
    if (got == 0) break;  // shorter than it was a moment ago
    done += static_cast<std::size_t>(got);
  }
  bytes.resize(done);
  ::close(fd);
  return true;
}

}  // namespace detail

Result DecodeBytes(std::span<const std::uint8_t> bytes, const Request& request) {
  return detail::Decode(bytes, request);
}

Result DecodeFile(const std::string& path, const Request& request) {
  detail::Bytes bytes;
  Result result;
  if (!detail::ReadFileStart(path, detail::kMaxImagePacBytes, bytes, result.error)) return result;
  return detail::Decode(bytes, request);
}

Result DecodeThumbnail(const std::string& path, Level level) {
  // The plain levels lie in the first 384 sectors: Base/16 ends with sector
  // 21, Base with sector 383.
  level = std::min(level, Level::Base);
  const std::size_t sectors = level == Level::Base16 ? 22 : (level == Level::Base4 ? 95 : 384);
  detail::Bytes bytes;
  Result result;
  if (!detail::ReadFileStart(path, sectors * detail::kSectorSize, bytes, result.error))
    return result;
  Request request;
  request.highest = level;
  request.rendering = Rendering::Display8;
  return detail::Decode(bytes, request);
}

}  // namespace lumafold::pcd
