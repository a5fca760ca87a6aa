// Building a level on the one below: every Image Pac encoder computes its
// residuals against the same 2x interpolation of the lower level, so it is
// reproduced here bit for bit (even pixels copy, odd ones the rounded mean of
// their two neighbours, centre ones the rounded mean of four, the last row
// and column repeated). Base, 4Base and 16Base are co-sited: a lower pixel
// sits on the even pixel above it.
#include <sys/mman.h>

#include <algorithm>
#include <cstdint>

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
    for (int x = 0; x + 1 < width; ++x) {
      odd[2 * x] = static_cast<std::uint8_t>((above[x] + below[x] + 1) >> 1);
      odd[2 * x + 1] =
          static_cast<std::uint8_t>((above[x] + above[x + 1] + below[x] + below[x + 1] + 2) >> 2);
    }
    const int right = width - 1;
    odd[2 * right] = odd[2 * right + 1] =
        static_cast<std::uint8_t>((above[right] + below[right] + 1) >> 1);
  }
}

}  // namespace lumafold::pcd::detail
