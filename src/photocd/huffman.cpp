// Huffman-coded residual levels (4Base, 16Base). A level's code table
// sector holds one table per plane: a byte `entries - 1`, then per entry
// `length - 1`, the code left-aligned in 16 bits and the signed 8-bit
// difference it stands for. The data is a run of rows, each opened by a
// sync (23 one bits and a zero) and 16 header bits [plane:2][row:13][0:1]
// (plane 0 luma, 2 chroma1, 3 chroma2; a chroma row carries the number of
// its first luma row); exactly one code per pixel follows, with no padding
// before the next sync. A sync whose row number is the level height ends the
// level. 4Base holds luma rows only; 16Base adds both chroma planes, which
// real scans interleave (chroma1 row, chroma2 row) after all luma rows.
//
// Because every row opens with its own sync, damage costs only the rows it
// hits: after a pattern that is no code, or a row that does not end at a
// sync, decoding goes on at the next sync with a plausible row header.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <system_error>
#include <thread>

#include "photocd/internal.h"

namespace lumafold::pcd::detail {

namespace {

constexpr int kMaxCodeLength = 16;
constexpr std::uint64_t kSync = 0xFFFFFE;  // 23 ones and a zero
constexpr int kSyncBits = 24;
constexpr int kHeaderBits = 16;

// Reads bits most significant first. Near the end of the data the missing
// bytes read as zero; callers compare the position with the length.
class BitReader {
 public:
  explicit BitReader(std::span<const std::uint8_t> data) : data_(data) {}

  // The next 64 bits, of which at least 57 are new (the position's byte
  // offset is dropped).
  std::uint64_t Window() const {
    const std::size_t byte = position_ >> 3;
    std::uint64_t value = 0;
    if (byte + 8 <= data_.size()) {
      std::uint8_t raw[8];
      std::memcpy(raw, data_.data() + byte, 8);
      for (std::uint8_t b : raw) value = value << 8 | b;
    } else {
      for (std::size_t i = 0; i < 8; ++i)
        value = value << 8 | (byte + i < data_.size() ? data_[byte + i] : 0);
    }
    return value << (position_ & 7);
  }
  void Skip(std::size_t bits) { position_ += bits; }
  void Seek(std::size_t bits) { position_ = bits; }
  std::size_t position() const { return position_; }
  std::span<const std::uint8_t> data() const { return data_; }
  bool PastEnd() const { return position_ > data_.size() * 8; }
  // True when fewer than a sync and a header remain.
  bool NearEnd() const { return position_ + kSyncBits + kHeaderBits > data_.size() * 8; }

 private:
  std::span<const std::uint8_t> data_;
  std::size_t position_ = 0;
};

// Most codes are two to four bits long, so one look-up of the next 11 bits
// gives several; reading a code costs a dependent load, and this way one
// load serves several pixels.
constexpr int kRunBits = 11;
constexpr int kRunCodes = static_cast<int>(sizeof(CodeRun::differences));

// Fills `table.runs` from `table.lookup`: for every pattern of runBits bits,
// the codes that lie wholly inside it.
void BuildRuns(HuffmanTable& table) {
  const int runBits = std::min(table.bits, kRunBits);
  const std::size_t mask = (std::size_t{1} << runBits) - 1;
  table.runBits = runBits;
  table.runs.assign(std::size_t{1} << runBits, CodeRun{});
  for (std::size_t pattern = 0; pattern <= mask; ++pattern) {
    CodeRun& run = table.runs[pattern];
    int used = 0;
    while (run.count < kRunCodes && used < runBits) {
      // The bits after `used`, then zeros: a code no longer than the bits
      // left is really there, a longer one may not be.
      const std::size_t index = ((pattern << used) & mask) << (table.bits - runBits);
      const int entry = table.lookup[index];
      const int length = entry & 31;
      if (length == 0 || length > runBits - used) break;
      run.differences[run.count++] = static_cast<std::int8_t>(entry >> 5);
      used += length;
    }
    run.length = static_cast<std::uint8_t>(used);
  }
}

bool ParseTable(std::span<const std::uint8_t> bytes, std::size_t& offset, HuffmanTable& table,
                int& entries, std::string& error) {
  if (offset >= bytes.size()) {
    error = "the code table is missing";
    return false;
  }
  entries = bytes[offset] + 1;
  if (offset + 1 + 4 * static_cast<std::size_t>(entries) > bytes.size()) {
    error = "the code table runs past its sectors";
    return false;
  }
  const std::uint8_t* entry = bytes.data() + offset + 1;
  int longest = 1;
  int shortest = kMaxCodeLength;
  for (int i = 0; i < entries; ++i) {
    const int length = entry[4 * i] + 1;
    if (length > kMaxCodeLength) {
      error = "a code in the code table is longer than 16 bits";
      return false;
    }
    longest = std::max(longest, length);
    shortest = std::min(shortest, length);
  }
  table.bits = longest;
  table.shortest = shortest;
  table.lookup.assign(std::size_t{1} << longest, 0);
  for (int i = 0; i < entries; ++i, entry += 4) {
    const int length = entry[0] + 1;
    const unsigned code = static_cast<unsigned>(entry[1] << 8 | entry[2]) >> (16 - length);
    const int key = static_cast<std::int8_t>(entry[3]);
    const std::size_t first = static_cast<std::size_t>(code) << (longest - length);
    const std::size_t count = std::size_t{1} << (longest - length);
    const auto packed = static_cast<std::int16_t>(key * 32 + length);
    for (std::size_t j = first; j < first + count; ++j) {
      if (table.lookup[j] != 0) {
        error = "two codes in the code table overlap";
        return false;
      }
      table.lookup[j] = packed;
    }
  }
  offset += 1 + 4 * static_cast<std::size_t>(entries);
  BuildRuns(table);
  return true;
}

// Adds one row of differences to `row`; `differences` has room for `count`
// + 8 values. False when a bit pattern is no code: the pixels before it
// then have their differences, and the reader is no further than the start
// of the 57 bits it was reading.
bool DecodeRow(BitReader& reader, const HuffmanTable& table, std::uint8_t* row, int count,
               std::int8_t* differences) {
  const int bits = table.bits;
  const int runBits = table.runBits;
  const std::int16_t* lookup = table.lookup.data();
  const CodeRun* runs = table.runs.data();
  const int budget = 57 - bits;
  int x = 0;
  bool whole = true;
  while (x < count) {
    const std::uint64_t window = reader.Window();
    int used = 0;
    while (x < count && used <= budget) {
      const std::uint64_t ahead = window << used;
      const CodeRun& run = runs[ahead >> (64 - runBits)];
      if (run.count != 0 && x + run.count <= count) {
        std::memcpy(differences + x, &run, sizeof run);
        x += run.count;
        used += run.length;
        continue;
      }
      const int entry = lookup[ahead >> (64 - bits)];
      const int length = entry & 31;
      if (length == 0) {
        whole = false;
        break;
      }
      used += length;
      differences[x++] = static_cast<std::int8_t>(entry >> 5);
    }
    if (!whole) break;
    reader.Skip(static_cast<std::size_t>(used));
  }
  // Added once the codes are read, so that reading them waits on no pixel.
  for (int i = 0; i < x; ++i) {
    const int value = row[i] + differences[i];
    row[i] = static_cast<std::uint8_t>(value < 0 ? 0 : (value > 255 ? 255 : value));
  }
  return whole;
}

}  // namespace

std::vector<HuffmanTable> ReadHuffmanTables(std::span<const std::uint8_t> bytes, int count,
                                            std::string& error) {
  std::vector<HuffmanTable> tables;
  std::size_t offset = 0;
  for (int i = 0; i < count; ++i) {
    HuffmanTable table;
    int entries = 0;
    std::string problem;
    const bool parsed = ParseTable(bytes, offset, table, entries, problem);
    if (i == 0 && !parsed) {
      error = problem;
      return {};
    }
    // A single-entry table is what zero fill reads as: the plane shares the
    // table before it.
    if (i > 0 && (!parsed || entries < 2)) {
      tables.push_back(tables.back());
      if (!parsed) offset = bytes.size();
      continue;
    }
    tables.push_back(std::move(table));
  }
  return tables;
}

namespace {

struct RowHeader {
  bool sync = false;
  int plane = 0;
  int row = 0;
};

RowHeader HeaderAt(const BitReader& reader) {
  const std::uint64_t window = reader.Window();
  const auto header = static_cast<unsigned>((window >> (64 - kSyncBits - kHeaderBits)) & 0xFFFF);
  return {(window >> (64 - kSyncBits)) == kSync, static_cast<int>(header >> 14),
          static_cast<int>((header >> 1) & 0x1FFF)};
}

bool Plausible(const RowHeader& header, int height) {
  if (!header.sync || header.row > height) return false;
  return header.plane == 0 || ((header.plane == 2 || header.plane == 3) && header.row % 2 == 0);
}

// Moves `reader` to the next sync after its position that opens a plausible
// row header; false when the data ends first. 23 ones always cover two
// whole 0xFF bytes, so only the bit positions just before such a pair can
// start one.
bool FindNextSync(BitReader& reader, int height) {
  const std::span<const std::uint8_t> data = reader.data();
  const std::size_t from = reader.position() + 1;
  for (std::size_t byte = (from + 7) / 8; byte + 1 < data.size(); ++byte) {
    if (data[byte] != 0xFF || data[byte + 1] != 0xFF) continue;
    const std::size_t last = 8 * byte;
    for (std::size_t bit = last >= 7 ? last - 7 : 0; bit <= last; ++bit) {
      if (bit < from) continue;
      reader.Seek(bit);
      if (reader.NearEnd()) return false;
      if (Plausible(HeaderAt(reader), height)) return true;
    }
  }
  reader.Seek(data.size() * 8);
  return false;
}

}  // namespace

namespace {

// Where a row comes in the order real scans write them: the luma rows, the
// end mark (row `height`), then the chroma rows, chroma1 and chroma2 of each
// side by side.
int OrderOf(int plane, int row, int height) {
  return plane == 0 ? row : height + 1 + row + (plane - 2);
}

// The rows whose order lies in [first, end) decoded from the reader's
// position on, into `planes` and the row states of `stream`.
struct Stretch {
  int first = 0;
  int end = 0;
  std::size_t stopAt = SIZE_MAX;  // a row header at or past here ends the stretch
  bool endSeen = false;
  bool stopped = false;  // ended at stopAt
  bool outside = false;  // ended at a row outside [first, end)
  bool ranOut = false;
  std::size_t endMarkByte = SIZE_MAX;
  std::string problem;
};

void DecodeStretch(BitReader& reader, const std::vector<HuffmanTable>& tables, YccPlanes& planes,
                   ResidualStream& result, Stretch& stretch) {
  const int width = planes.width;
  const int height = planes.height;
  const int half = width / 2;
  // Only a level with chroma tables (16Base) has chroma rows: in 4Base a
  // chroma header is damage, and its row would overwrite Base's chroma.
  const bool withChroma = tables.size() > 1;
  std::vector<std::int8_t> differences(static_cast<std::size_t>(width) + sizeof(CodeRun));
  auto note = [&stretch](const char* problem) {
    if (stretch.problem.empty()) stretch.problem = problem;
  };
  // Rows after a damaged stretch are found again at their sync.
  auto resynchronise = [&]() {
    if (FindNextSync(reader, height)) return true;
    stretch.ranOut = true;
    return false;
  };

  for (;;) {
    if (reader.position() >= stretch.stopAt) {
      stretch.stopped = true;
      break;
    }
    if (reader.NearEnd()) {
      if (!stretch.endSeen) {
        note("the file ends inside the coded data");
        stretch.ranOut = true;
      }
      break;
    }
    const std::size_t rowStart = reader.position();
    const RowHeader header = HeaderAt(reader);
    const int plane = header.plane;
    const int row = header.row;
    if (stretch.endSeen) {
      // Chroma rows may follow the end mark; anything else ends the level.
      if (!header.sync || (plane != 2 && plane != 3) || row >= height) break;
    } else if (!header.sync) {
      note(rowStart == 0 ? "the coded data does not start with a row sync"
                         : "a row does not end where the next row sync should be");
      if (!resynchronise()) break;
      continue;
    }
    if (row == height) {
      if (!stretch.endSeen) stretch.endMarkByte = rowStart / 8;
      stretch.endSeen = true;
      reader.Skip(kSyncBits + kHeaderBits);
      continue;
    }
    const bool lumaRow = plane == 0 && row < height;
    const bool chromaRow = (plane == 2 || plane == 3) && withChroma && row < height && row % 2 == 0;
    if (lumaRow || chromaRow) {
      // Whether such a row was decoded before is known only to the stretch
      // that holds it.
      const int order = OrderOf(plane, row, height);
      if (order < stretch.first || order >= stretch.end) {
        stretch.outside = true;
        break;
      }
    }
    RowState* state = nullptr;
    const HuffmanTable* table = nullptr;
    std::uint8_t* target = nullptr;
    int count = 0;
    if (lumaRow && result.luma[row] == RowState::Missing) {
      state = &result.luma[row];
      table = &tables[0];
      target = &planes.luma[static_cast<std::size_t>(row) * width];
      count = width;
    } else if (chromaRow) {
      const std::size_t index = static_cast<std::size_t>(plane - 2) * (height / 2) + row / 2;
      if (result.chroma[index] == RowState::Missing) {
        state = &result.chroma[index];
        table = &tables[std::min<std::size_t>(plane - 1, tables.size() - 1)];
        Bytes& chroma = plane == 2 ? planes.chroma1 : planes.chroma2;
        target = &chroma[static_cast<std::size_t>(row / 2) * half];
        count = half;
      }
    }
    if (!state) {
      note("a row header names no row of this level, or one that came before");
      reader.Seek(rowStart);
      if (!resynchronise()) break;
      continue;
    }
    reader.Skip(kSyncBits + kHeaderBits);
    // Marked damaged until it is shown to end at the next sync: its pixels
    // may then hold part of a row's differences and are rebuilt.
    *state = RowState::Damaged;
    if (!DecodeRow(reader, *table, target, count, differences.data())) {
      note("a bit pattern in the coded data is no code of the table");
      if (!resynchronise()) break;
      continue;
    }
    if (reader.PastEnd()) {
      note("the file ends inside the coded data");
      stretch.ranOut = true;
      break;
    }
    // A row that ends where the data does is whole, and so is the last of
    // the chroma rows behind the end mark, which nothing need follow; the
    // loop then stops.
    if (!stretch.endSeen && !reader.NearEnd() && !HeaderAt(reader).sync) {
      note("a row does not end where the next row sync should be");
      if (!resynchronise()) break;
      continue;
    }
    *state = RowState::Sound;
  }
}

void PrepareStates(const YccPlanes& planes, ResidualStream& result) {
  result.luma.assign(static_cast<std::size_t>(planes.height), RowState::Missing);
  // [plane-2][row/2]
  result.chroma.assign(static_cast<std::size_t>(planes.height), RowState::Missing);
}

// Fills in what the row states and the last stretch say about the stream.
void Summarise(const Stretch& last, std::size_t endByte, std::size_t endMarkByte,
               std::string problem, bool withChroma, int height, ResidualStream& result) {
  result.problem = std::move(problem);
  result.ranOut = last.ranOut;
  result.endByte = endByte;
  const bool endSeen = last.endSeen;
  result.endMarkByte = endSeen ? endMarkByte : endByte;
  const auto sound = [](const std::vector<RowState>& rows) {
    return static_cast<int>(std::count(rows.begin(), rows.end(), RowState::Sound));
  };
  const auto touched = [](const std::vector<RowState>& rows) {
    return static_cast<int>(rows.size()) -
           static_cast<int>(std::count(rows.begin(), rows.end(), RowState::Missing));
  };
  result.soundLumaRows = sound(result.luma);
  const int chromaRows = touched(result.chroma);
  result.lumaComplete = result.soundLumaRows == height;
  result.chromaApplied = sound(result.chroma) == height;  // height / 2 rows for each of two planes
  // A level with chroma tables that ends before its end mark may have lost
  // chroma rows too.
  result.chromaInStream = chromaRows != 0 || (!endSeen && withChroma);
  auto note = [&result](const char* problem) {
    if (result.problem.empty()) result.problem = problem;
  };
  if (!result.lumaComplete) note("luma rows are missing");
  if (result.lumaComplete && chromaRows != 0 && !result.chromaApplied)
    note("chroma rows are missing");
  // Without chroma rows only the end mark shows that none were cut off.
  result.complete = result.lumaComplete && (result.chromaApplied || (chromaRows == 0 && endSeen));
  if (result.complete) result.problem.clear();
}

}  // namespace

ResidualStream ApplyResiduals(std::span<const std::uint8_t> data,
                              const std::vector<HuffmanTable>& tables, YccPlanes& planes) {
  ResidualStream result;
  PrepareStates(planes, result);
  BitReader reader(data);
  Stretch all;
  all.first = INT_MIN;
  all.end = INT_MAX;
  DecodeStretch(reader, tables, planes, result, all);
  Summarise(all, std::min(reader.position() / 8, data.size()), all.endMarkByte, all.problem,
            tables.size() > 1, planes.height, result);
  return result;
}

TwoCores ApplyResidualsOnTwoCores(std::span<const std::uint8_t> data,
                                  const std::vector<HuffmanTable>& tables, YccPlanes& planes,
                                  ResidualStream& stream, std::size_t worthAThread) {
  if (data.size() < worthAThread || data.empty()) return TwoCores::NotTried;
  const int height = planes.height;
  // The cut: the first row header near the middle that opens a row of
  // this level.
  BitReader finder(data);
  finder.Seek(data.size() / 2 * 8);
  if (!FindNextSync(finder, height)) return TwoCores::NotTried;
  const std::size_t cut = finder.position();
  const RowHeader header = HeaderAt(finder);
  const bool chroma = header.plane == 2 || header.plane == 3;
  if (header.row >= height || (chroma && tables.size() < 2)) return TwoCores::NotTried;
  const int order = OrderOf(header.plane, header.row, height);

  ResidualStream result;
  PrepareStates(planes, result);
  Stretch before;
  before.first = INT_MIN;
  before.end = order;
  before.stopAt = cut;
  Stretch after;
  after.first = order;
  after.end = INT_MAX;
  // The end mark comes before every chroma row.
  after.endSeen = chroma;
  const bool endSeenAtCut = after.endSeen;
  BitReader first(data);
  BitReader second(data);
  second.Seek(cut);
  try {
    std::jthread helper([&] { DecodeStretch(second, tables, planes, result, after); });
    DecodeStretch(first, tables, planes, result, before);
  } catch (const std::system_error&) {
    return TwoCores::NotTried;  // no thread to be had: nothing was decoded
  }
  // The second part began where the first one ended, in the state it ended
  // in, and neither touched the other's rows: the two parts are then the
  // stream read through.
  if (!before.stopped || first.position() != cut || before.endSeen != endSeenAtCut ||
      before.outside || after.outside)
    return TwoCores::Undone;
  const std::size_t endMark =
      before.endMarkByte != SIZE_MAX ? before.endMarkByte : after.endMarkByte;
  Summarise(after, std::min(second.position() / 8, data.size()), endMark,
            before.problem.empty() ? after.problem : before.problem, tables.size() > 1, height,
            result);
  stream = std::move(result);
  return TwoCores::Done;
}

}  // namespace lumafold::pcd::detail
