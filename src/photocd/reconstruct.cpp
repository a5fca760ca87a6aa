// Building a level on the one below: every Image Pac encoder computes its
// residuals against the same 2x interpolation of the lower level, so it is
// reproduced here bit for bit (even pixels copy, odd ones the rounded mean of
// their two neighbours, centre ones the rounded mean of four, the last row
// and column repeated). Base, 4Base and 16Base are co-sited: a lower pixel
// sits on the even pixel above it.
#include <sys/mman.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "photocd/internal.h"

namespace lumafold::pcd::detail {

namespace {

// Doubles one row horizontally into `target` (2 * width values).
void WidenRow(const std::uint8_t* source, int width, std::uint8_t* target) {
  for (int x = 0; x + 1 < width; ++x) {
    target[2 * x] = source[x];
    target[2 * x + 1] = static_cast<std::uint8_t>((source[x] + source[x + 1] + 1) >> 1);
  }
  target[2 * width - 2] = source[width - 1];
  target[2 * width - 1] = source[width - 1];
}

// The row between two doubled rows: the rounded mean of the rows above and
// below, of four at the centre pixels.
inline void BetweenRow(const std::uint8_t* above, const std::uint8_t* below, int width,
                       std::uint8_t* odd) {
  for (int x = 0; x + 1 < width; ++x) {
    odd[2 * x] = static_cast<std::uint8_t>((above[x] + below[x] + 1) >> 1);
    odd[2 * x + 1] =
        static_cast<std::uint8_t>((above[x] + above[x + 1] + below[x] + below[x + 1] + 2) >> 2);
  }
  const int last = width - 1;
  odd[2 * last] = odd[2 * last + 1] =
      static_cast<std::uint8_t>((above[last] + below[last] + 1) >> 1);
}

// Target row `y` of a doubled plane, made again from the source plane.
void RebuildRow(const std::uint8_t* source, int width, int height, std::uint8_t* target, int y) {
  const std::uint8_t* above = source + static_cast<std::size_t>(y / 2) * width;
  if (y % 2 == 0) {
    WidenRow(above, width, target);
  } else {
    const std::uint8_t* below = y / 2 + 1 < height ? above + width : above;
    BetweenRow(above, below, width, target);
  }
}

// Turns per-row states into inclusive ranges of rows not Sound; `scale` is
// how many luma rows one state stands for.
std::vector<RowRange> RangesOf(const RowState* states, int count, int scale) {
  std::vector<RowRange> ranges;
  for (int i = 0; i < count; ++i) {
    if (states[i] == RowState::Sound) continue;
    const int first = i * scale;
    const int last = first + scale - 1;
    if (!ranges.empty() && ranges.back().last + 1 >= first)
      ranges.back().last = std::max(ranges.back().last, last);
    else
      ranges.push_back({first, last});
  }
  return ranges;
}

// Rows of `ranges` not covered by `covered` (both sorted).
std::vector<RowRange> Without(const std::vector<RowRange>& ranges,
                              const std::vector<RowRange>& covered) {
  std::vector<RowRange> left;
  for (RowRange range : ranges) {
    for (const RowRange& cut : covered) {
      if (cut.last < range.first || cut.first > range.last) continue;
      if (cut.first > range.first) left.push_back({range.first, cut.first - 1});
      range.first = cut.last + 1;
      if (range.first > range.last) break;
    }
    if (range.first <= range.last) left.push_back(range);
  }
  return left;
}

}  // namespace

template <typename T, typename Allocator>
void SizeBuffer(std::vector<T, Allocator>& buffer, std::size_t count) {
  constexpr std::size_t kHugePage = 2u << 20;
  if (count * sizeof(T) >= 2 * kHugePage && buffer.capacity() < count) {
    buffer.reserve(count);
    // Only whole huge pages inside the allocation can be advised.
    const auto start = reinterpret_cast<std::uintptr_t>(buffer.data());
    const std::uintptr_t first = (start + kHugePage - 1) & ~(kHugePage - 1);
    const std::uintptr_t end = (start + count * sizeof(T)) & ~(kHugePage - 1);
    if (end > first) ::madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
  }
  buffer.resize(count);
}

template void SizeBuffer(Bytes&, std::size_t);
template void SizeBuffer(std::vector<std::uint8_t>&, std::size_t);
template void SizeBuffer(std::vector<std::uint16_t>&, std::size_t);
template void SizeBuffer(std::vector<float>&, std::size_t);

void Interpolate2x(const std::uint8_t* source, int width, int height, std::uint8_t* target,
                   int first, int last) {
  const std::size_t targetWidth = 2 * static_cast<std::size_t>(width);
  for (int y = first; y < last; ++y) {
    const std::uint8_t* above = source + static_cast<std::size_t>(y) * width;
    const std::uint8_t* below = y + 1 < height ? above + width : above;
    std::uint8_t* even = target + 2 * static_cast<std::size_t>(y) * targetWidth;
    std::uint8_t* odd = even + targetWidth;
    WidenRow(above, width, even);
    BetweenRow(above, below, width, odd);
  }
}

YccPlanes Doubled(const YccPlanes& lower, bool spareCore) {
  YccPlanes up;
  up.width = lower.width * 2;
  up.height = lower.height * 2;
  SizeBuffer(up.luma, static_cast<std::size_t>(up.width) * up.height);
  const std::size_t chroma = static_cast<std::size_t>(lower.width) * lower.height;
  SizeBuffer(up.chroma1, chroma);
  SizeBuffer(up.chroma2, chroma);
  // Chroma rows are half as many, so a range of luma rows takes the
  // chroma rows of half that range with it.
  SplitRows(lower.height, spareCore, [&](int first, int last) {
    Interpolate2x(lower.luma.data(), lower.width, lower.height, up.luma.data(), first, last);
    const int chromaWidth = lower.width / 2;
    const int chromaHeight = lower.height / 2;
    Interpolate2x(lower.chroma1.data(), chromaWidth, chromaHeight, up.chroma1.data(), first / 2,
                  last / 2);
    Interpolate2x(lower.chroma2.data(), chromaWidth, chromaHeight, up.chroma2.data(), first / 2,
                  last / 2);
  });
  return up;
}

ResidualStream BuildOnLower(std::span<const std::uint8_t> data,
                            const std::vector<HuffmanTable>& tables, const YccPlanes& lower,
                            YccPlanes& planes, LostRows& lost, bool spareCore) {
  planes = Doubled(lower, spareCore);
  ResidualStream stream;
  const TwoCores split =
      spareCore ? ApplyResidualsOnTwoCores(data, tables, planes, stream) : TwoCores::NotTried;
  if (split != TwoCores::Done) {
    // Some rows may have had their differences added: they start again.
    if (split == TwoCores::Undone) planes = Doubled(lower, spareCore);
    stream = ApplyResiduals(data, tables, planes);
  }
  lost = {};
  if (stream.complete) return stream;
  // A row begun and not finished holds part of its differences: it gets
  // the level below again, as a row that never came has.
  const int width = planes.width;
  const int height = planes.height;
  for (int y = 0; y < height; ++y)
    if (stream.luma[y] == RowState::Damaged)
      RebuildRow(lower.luma.data(), lower.width, lower.height,
                 &planes.luma[static_cast<std::size_t>(y) * width], y);
  const int chromaRows = height / 2;
  for (int plane = 0; plane < 2; ++plane) {
    const Bytes& from = plane == 0 ? lower.chroma1 : lower.chroma2;
    Bytes& to = plane == 0 ? planes.chroma1 : planes.chroma2;
    for (int y = 0; y < chromaRows; ++y)
      if (stream.chroma[static_cast<std::size_t>(plane) * chromaRows + y] == RowState::Damaged)
        RebuildRow(from.data(), lower.width / 2, lower.height / 2,
                   &to[static_cast<std::size_t>(y) * (width / 2)], y);
  }
  lost.luma = RangesOf(stream.luma.data(), height, 1);
  if (stream.chromaInStream) {
    // A chroma row stands for two luma rows; either plane's loss counts.
    std::vector<RowState> either(static_cast<std::size_t>(chromaRows));
    for (int y = 0; y < chromaRows; ++y)
      either[y] = stream.chroma[y] == RowState::Sound &&
                          stream.chroma[static_cast<std::size_t>(chromaRows) + y] == RowState::Sound
                      ? RowState::Sound
                      : RowState::Damaged;
    lost.chromaOnly = Without(RangesOf(either.data(), chromaRows, 2), lost.luma);
  }
  return stream;
}

}  // namespace lumafold::pcd::detail
