// The pieces of a decode that no picture comparison can pin down: the 2x
// interpolation every residual is coded against (an encoder and this
// decoder must agree on each value, rounding included, or the error grows
// level by level), and the spare core, whose use shows in no pixel: it must
// give the one-core result, damage and odd row orders included.
#include <dlfcn.h>
#include <pthread.h>

#include <atomic>
#include <climits>
#include <cstdint>
#include <filesystem>
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
using pcd::detail::TwoCores;

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

// The first bit at or after `from` where a row sync opens the header of
// (`plane`, `row`); SIZE_MAX when there is none.
std::size_t RowHeaderBit(const std::vector<std::uint8_t>& data, std::size_t from, int plane,
                         int row) {
  auto bitAt = [&](std::size_t bit) { return (data[bit / 8] >> (7 - bit % 8)) & 1; };
  const std::uint64_t wanted =
      std::uint64_t{0xFFFFFE} << 16 | static_cast<std::uint64_t>(plane << 14 | row << 1);
  std::uint64_t window = 0;
  for (std::size_t bit = 0; bit < data.size() * 8; ++bit) {
    window = (window << 1 | bitAt(bit)) & 0xFFFFFFFFFFu;
    if (bit + 1 >= from + 40 && window == wanted) return bit + 1 - 40;
  }
  return SIZE_MAX;
}

void RenameRow(std::vector<std::uint8_t>& data, std::size_t headerBit, int row) {
  for (int i = 0; i < 13; ++i) {
    const std::size_t bit = headerBit + 24 + 2 + static_cast<std::size_t>(i);
    const auto mask = static_cast<std::uint8_t>(0x80 >> (bit % 8));
    if ((row >> (12 - i)) & 1)
      data[bit / 8] |= mask;
    else
      data[bit / 8] &= static_cast<std::uint8_t>(~mask);
  }
}

TEST(TwoCoreResiduals, GiveTheOneCoreLevelOrStepAside) {
  // 4Base of a test file, its rows renamed to put them out of their usual
  // order: decoded on two cores it must be the one-core level value for
  // value, with the same row states and notes, or be done again on one.
  struct Case {
    const char* file;
    int renamedRow;  // -1: as it is
    int newName;
    TwoCores expected;  // NotTried: either outcome
  };
  const Case cases[] = {
      {"4base-kodak.pcd", -1, 0, TwoCores::Done},
      {"portrait-90-4base.pcd", -1, 0, TwoCores::Done},
      // A row of the first part named after one of the second.
      {"4base-kodak.pcd", 5, 1000, TwoCores::Undone},
      // A row of the second part named after one of the first.
      {"4base-kodak.pcd", 1000, 5, TwoCores::Undone},
      // A row named twice within the first part.
      {"4base-kodak.pcd", 20, 10, TwoCores::Done},
      // Garbage inside the coded rows.
      {"damaged-huff4.pcd", -1, 0, TwoCores::NotTried},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.file) + " row " + std::to_string(c.renamedRow));
    std::vector<std::uint8_t> file = pcd_testing::ReadBytes(pcd_testing::DecoderData(c.file));
    ASSERT_GT(file.size(), 389u * 2048);
    pcd::detail::YccPlanes base;
    ASSERT_TRUE(pcd::detail::ReadPlainLevel(file, pcd::Level::Base, base));
    std::string error;
    const auto tables =
        pcd::detail::ReadHuffmanTables(std::span(file).subspan(388 * 2048, 2048), 1, error);
    ASSERT_EQ(tables.size(), 1u) << error;
    std::vector<std::uint8_t> data(file.begin() + 389 * 2048, file.end());
    if (c.renamedRow >= 0) {
      const std::size_t at = RowHeaderBit(data, 0, 0, c.renamedRow);
      ASSERT_NE(at, SIZE_MAX);
      RenameRow(data, at, c.newName);
    }

    pcd::detail::YccPlanes one = pcd::detail::Doubled(base, false);
    const pcd::detail::ResidualStream alone = pcd::detail::ApplyResiduals(data, tables, one);
    pcd::detail::YccPlanes two = pcd::detail::Doubled(base, false);
    pcd::detail::ResidualStream split;
    const TwoCores outcome = pcd::detail::ApplyResidualsOnTwoCores(data, tables, two, split);
    if (c.expected != TwoCores::NotTried) {
      EXPECT_EQ(outcome, c.expected);
    }
    if (outcome == TwoCores::Done) {
      EXPECT_TRUE(two.luma == one.luma);
      EXPECT_EQ(split.luma, alone.luma);
      EXPECT_EQ(split.problem, alone.problem);
      EXPECT_EQ(split.complete, alone.complete);
      EXPECT_EQ(split.endMarkByte, alone.endMarkByte);
      EXPECT_EQ(split.endByte, alone.endByte);
    }
    // The level as the decoder builds it, whichever way the two cores went.
    pcd::detail::YccPlanes withCore;
    pcd::detail::YccPlanes without;
    pcd::detail::LostRows lostWith;
    pcd::detail::LostRows lostWithout;
    const auto a = pcd::detail::BuildOnLower(data, tables, base, withCore, lostWith, true);
    const auto b = pcd::detail::BuildOnLower(data, tables, base, without, lostWithout, false);
    EXPECT_TRUE(withCore.luma == without.luma && withCore.chroma1 == without.chroma1);
    EXPECT_EQ(a.problem, b.problem);
    EXPECT_EQ(lostWith.luma.size(), lostWithout.luma.size());
    if (c.renamedRow >= 0 || c.expected == TwoCores::NotTried) {
      EXPECT_FALSE(b.complete);
    }
  }
}

TEST(TwoCoreResiduals, EveryTestFileAndSampleDecodesTheSameWithASpareCore) {
  std::vector<std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(pcd_testing::DecoderData("")))
    if (entry.path().extension() == ".pcd") files.push_back(entry.path());
  for (const char* sample : {"couple-on-beach.pcd", "kodim05-16base.pcd"}) {
    const std::string path = pcd_testing::SourcePath(std::string("samples/") + sample);
    if (std::filesystem::exists(path)) files.push_back(path);
  }
  ASSERT_GE(files.size(), 15u);
  for (const std::string& path : files) {
    SCOPED_TRACE(path);
    const std::vector<std::uint8_t> bytes = pcd_testing::ReadBytes(path);
    pcd::Request request;
    const pcd::Result alone = pcd::DecodeBytes(bytes, request);
    request.spareCore = true;
    const pcd::Result withCore = pcd::DecodeBytes(bytes, request);
    ASSERT_EQ(withCore.ok, alone.ok);
    EXPECT_EQ(withCore.error, alone.error);
    EXPECT_EQ(withCore.picture.note, alone.picture.note);
    EXPECT_TRUE(withCore.picture.rgb8 == alone.picture.rgb8);
  }
}

}  // namespace
}  // namespace lumafold
