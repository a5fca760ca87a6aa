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
#include <cstring>

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
  return true;
}

// Adds one row of differences to `row`. False when a bit pattern is no code.
bool DecodeRow(BitReader& reader, const HuffmanTable& table, std::uint8_t* row, int count) {
  const int bits = table.bits;
  const std::int16_t* lookup = table.lookup.data();
  const int budget = 57 - bits;
  int x = 0;
  while (x < count) {
    const std::uint64_t window = reader.Window();
    int used = 0;
    while (x < count && used <= budget) {
      const int entry = lookup[(window << used) >> (64 - bits)];
      const int length = entry & 31;
      if (length == 0) return false;
      used += length;
      const int value = row[x] + (entry >> 5);
      row[x] = static_cast<std::uint8_t>(value < 0 ? 0 : (value > 255 ? 255 : value));
      ++x;
    }
    reader.Skip(static_cast<std::size_t>(used));
  }
  return true;
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

ResidualStream ApplyResiduals(std::span<const std::uint8_t> data,
                              const std::vector<HuffmanTable>& tables, YccPlanes& planes) {
  ResidualStream result;
  const int width = planes.width;
  const int height = planes.height;
  const int half = width / 2;
  result.luma.assign(static_cast<std::size_t>(height), RowState::Missing);
  result.chroma.assign(static_cast<std::size_t>(height), RowState::Missing);  // [plane-2][row/2]
  bool endSeen = false;
  // Only a level with chroma tables (16Base) has chroma rows: in 4Base a
  // chroma header is damage, and its row would overwrite Base's chroma.
  const bool withChroma = tables.size() > 1;
  BitReader reader(data);
  auto note = [&result](const char* problem) {
    if (result.problem.empty()) result.problem = problem;
  };
  // Rows after a damaged stretch are found again at their sync.
  auto resynchronise = [&]() {
    if (FindNextSync(reader, height)) return true;
    result.ranOut = true;
    return false;
  };

  for (;;) {
    if (reader.NearEnd()) {
      if (!endSeen) {
        note("the file ends inside the coded data");
        result.ranOut = true;
      }
      break;
    }
    const std::size_t rowStart = reader.position();
    const RowHeader header = HeaderAt(reader);
    const int plane = header.plane;
    const int row = header.row;
    if (endSeen) {
      // Chroma rows may follow the end mark; anything else ends the level.
      if (!header.sync || (plane != 2 && plane != 3) || row >= height) break;
    } else if (!header.sync) {
      note(rowStart == 0 ? "the coded data does not start with a row sync"
                         : "a row does not end where the next row sync should be");
      if (!resynchronise()) break;
      continue;
    }
    if (row == height) {
      if (!endSeen) result.endMarkByte = rowStart / 8;
      endSeen = true;
      reader.Skip(kSyncBits + kHeaderBits);
      continue;
    }
    RowState* state = nullptr;
    const HuffmanTable* table = nullptr;
    std::uint8_t* target = nullptr;
    int count = 0;
    if (plane == 0 && row < height && result.luma[row] == RowState::Missing) {
      state = &result.luma[row];
      table = &tables[0];
      target = &planes.luma[static_cast<std::size_t>(row) * width];
      count = width;
    } else if ((plane == 2 || plane == 3) && withChroma && row < height && row % 2 == 0) {
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
    if (!DecodeRow(reader, *table, target, count)) {
      note("a bit pattern in the coded data is no code of the table");
      if (!resynchronise()) break;
      continue;
    }
    if (reader.PastEnd()) {
      note("the file ends inside the coded data");
      result.ranOut = true;
      break;
    }
    // A row that ends where the data does is whole, and so is the last of
    // the chroma rows behind the end mark, which nothing need follow; the
    // loop then stops.
    if (!endSeen && !reader.NearEnd() && !HeaderAt(reader).sync) {
      note("a row does not end where the next row sync should be");
      if (!resynchronise()) break;
      continue;
    }
    *state = RowState::Sound;
  }

  result.endByte = std::min(reader.position() / 8, data.size());
  if (!endSeen) result.endMarkByte = result.endByte;
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
  if (!result.lumaComplete) note("luma rows are missing");
  if (result.lumaComplete && chromaRows != 0 && !result.chromaApplied) note("chroma rows are missing");
  // Without chroma rows only the end mark shows that none were cut off.
  result.complete = result.lumaComplete && (result.chromaApplied || (chromaRows == 0 && endSeen));
  if (result.complete) result.problem.clear();
  return result;
}

}  // namespace lumafold::pcd::detail
