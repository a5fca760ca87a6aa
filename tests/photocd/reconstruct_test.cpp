// The two pieces of a decode that no picture comparison can pin down: the
// 2x interpolation every residual is coded against (an encoder and this
// decoder must agree on each value, rounding included, or the error grows
// level by level), and the spare core, whose use shows in no pixel.
#include <dlfcn.h>
#include <pthread.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "pcd_test_support.h"
#include "photocd/internal.h"

namespace {

// Every thread the process starts is counted; the decoder's only way to a
// second core is a thread of its own.
std::atomic<int> threadsStarted{0};

}  // namespace

extern "C" int pthread_create(pthread_t* thread, const pthread_attr_t* attributes,
                              void* (*start)(void*), void* argument) {
  using Create = int (*)(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*);
  static const auto real = reinterpret_cast<Create>(dlsym(RTLD_NEXT, "pthread_create"));
  ++threadsStarted;
  return real(thread, attributes, start, argument);
}

namespace lumafold {
namespace {

using pcd::detail::Interpolate2x;
using pcd::detail::SplitRows;

TEST(Interpolate2x, RoundsEveryMeanUpFromAHalfAndRepeatsTheLastRowAndColumn) {
  // Sums chosen so that truncating instead of rounding changes a value:
  // 10+11 (mean 10.5), 10+11+13+40 (18.5), 11+20+40+0 (17.75).
  const std::vector<std::uint8_t> source = {10, 11, 20,  //
                                            13, 40, 0};
  const std::vector<std::uint8_t> expected = {
      10, 11, 11, 16, 20, 20,  // source row 0 widened
      12, 19, 26, 18, 10, 10,  // between rows 0 and 1
      13, 27, 40, 20, 0,  0,   // source row 1 widened
      13, 27, 40, 20, 0,  0,   // below the last row: it repeats
  };
  std::vector<std::uint8_t> target(expected.size(), 77);
  Interpolate2x(source.data(), 3, 2, target.data(), 0, 2);
  EXPECT_EQ(target, expected);

  // A row range writes its own target rows and no others, so that the
  // spare core's half and this thread's half can never overlap.
  std::vector<std::uint8_t> lower(expected.size(), 77);
  Interpolate2x(source.data(), 3, 2, lower.data(), 1, 2);
  EXPECT_EQ(std::vector<std::uint8_t>(lower.begin(), lower.begin() + 12),
            std::vector<std::uint8_t>(12, 77));
  EXPECT_EQ(std::vector<std::uint8_t>(lower.begin() + 12, lower.end()),
            std::vector<std::uint8_t>(expected.begin() + 12, expected.end()));

  // Extremes: 255 and 0 average to 128 (127.5 rounded up), never wrap.
  const std::vector<std::uint8_t> edge = {255, 0, 0, 255};
  std::vector<std::uint8_t> doubled(16, 77);
  Interpolate2x(edge.data(), 2, 2, doubled.data(), 0, 2);
  EXPECT_EQ(doubled, (std::vector<std::uint8_t>{255, 128, 0, 0,  //
                                                128, 128, 128, 128,  //
                                                0, 128, 255, 255,  //
                                                0, 128, 255, 255}));
}

TEST(SplitRows, ASpareCoreTakesTheLowerHalfOfTheRows) {
  struct Case {
    int rows;
    bool spareCore;
    int byOtherThread;  // rows expected on a thread other than the caller's
  };
  // Below 256 rows a thread costs more than it saves.
  const Case cases[] = {{1024, true, 512}, {257, true, 129}, {1024, false, 0}, {255, true, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.rows) + (c.spareCore ? " rows, spare core" : " rows"));
    std::vector<std::thread::id> ranBy(static_cast<std::size_t>(c.rows));
    std::vector<int> visits(static_cast<std::size_t>(c.rows), 0);
    std::mutex guard;
    SplitRows(c.rows, c.spareCore, [&](int first, int last) {
      const std::lock_guard<std::mutex> lock(guard);
      for (int row = first; row < last; ++row) {
        ranBy[static_cast<std::size_t>(row)] = std::this_thread::get_id();
        ++visits[static_cast<std::size_t>(row)];
      }
    });
    EXPECT_EQ(visits, std::vector<int>(static_cast<std::size_t>(c.rows), 1));
    int elsewhere = 0;
    for (int row = 0; row < c.rows; ++row) {
      if (ranBy[static_cast<std::size_t>(row)] == std::this_thread::get_id()) continue;
      ++elsewhere;
      EXPECT_GE(row, c.rows / 2) << "the caller's half ran elsewhere";
    }
    EXPECT_EQ(elsewhere, c.byOtherThread);
  }
}

TEST(SplitRows, ADecodeWithASpareCoreStartsThreadsAndOneWithoutStartsNone) {
  const std::vector<std::uint8_t> bytes =
      pcd_testing::ReadBytes(pcd_testing::DecoderData("4base-kodak.pcd"));
  ASSERT_FALSE(bytes.empty());
  pcd::Request request;
  threadsStarted = 0;
  ASSERT_TRUE(pcd::DecodeBytes(bytes, request).ok);
  EXPECT_EQ(threadsStarted.load(), 0);
  request.spareCore = true;
  ASSERT_TRUE(pcd::DecodeBytes(bytes, request).ok);
  // 4Base: Base doubled, then the colour rows, each split once.
  EXPECT_GE(threadsStarted.load(), 2);
}

}  // namespace
}  // namespace lumafold
