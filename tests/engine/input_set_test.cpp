// The input set's hash and visiting order, the job's numbers and the
// progress record's pause gate.
#include <gtest/gtest.h>

#include <chrono>
#include <set>
#include <thread>

#include "engine/run/conversion_job.h"

namespace lumafold {
namespace {

TEST(InputSetHash, RunsOverUtf16CodeUnits) {
  EXPECT_EQ(InputSet::Hash(""), 0u);
  EXPECT_EQ(InputSet::Hash("a"), 97u);
  EXPECT_EQ(InputSet::Hash("ab"), 97u * 65599u + 98u);
  // "ä" is one UTF-16 unit (0xE4), not its two UTF-8 bytes.
  EXPECT_EQ(InputSet::Hash("\xC3\xA4"), 0xE4u);
  // U+1F600 is the surrogate pair D83D DE00.
  EXPECT_EQ(InputSet::Hash("\xF0\x9F\x98\x80"), 0xD83Du * 65599u + 0xDE00u);
  // Unsigned 32-bit wrap-around.
  std::uint32_t expected = 0;
  const std::string path = "/media/cdrom/PHOTO_CD/IMAGES/IMG0001.PCD";
  for (char c : path) expected = expected * 65599u + static_cast<unsigned char>(c);
  EXPECT_EQ(InputSet::Hash(path), expected);
}

// Two paths of the same bucket, the second added later.
std::pair<std::string, std::string> SameBucketPair() {
  const std::string first = "/in/a.pcd";
  const auto bucket = InputSet::Hash(first) % InputSet::kBuckets;
  for (int i = 0;; ++i) {
    std::string other = "/in/" + std::to_string(i) + ".pcd";
    if (InputSet::Hash(other) % InputSet::kBuckets == bucket) return {first, other};
  }
}

TEST(InputSetOrder, BucketsAscendingAndNewestFirstWithinABucket) {
  InputSet set;
  const auto [older, newer] = SameBucketPair();
  std::vector<std::string> added = {older};
  for (int i = 0; i < 40; ++i) added.push_back("/in/file" + std::to_string(i * 7) + ".pcd");
  added.push_back(newer);
  for (const auto& path : added) ASSERT_TRUE(set.add(path, ""));

  const auto entries = set.ordered();
  ASSERT_EQ(entries.size(), added.size());
  for (std::size_t i = 1; i < entries.size(); ++i)
    EXPECT_LE(InputSet::Hash(entries[i - 1].path) % 512, InputSet::Hash(entries[i].path) % 512);

  std::size_t olderAt = 0, newerAt = 0;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (entries[i].path == older) olderAt = i;
    if (entries[i].path == newer) newerAt = i;
  }
  EXPECT_EQ(newerAt + 1, olderAt) << "the later entry heads the chain";
}

TEST(InputSetEntries, EachPathOnceByteExactWithItsSubfolder) {
  InputSet set;
  EXPECT_TRUE(set.add("/in/A.pcd", "roll1/"));
  EXPECT_FALSE(set.add("/in/A.pcd", "other/"));
  EXPECT_TRUE(set.add("/in/a.pcd", ""));  // paths compare as bytes
  EXPECT_EQ(set.size(), 2u);
  EXPECT_TRUE(set.contains("/in/A.pcd"));
  EXPECT_FALSE(set.contains("/in/b.pcd"));

  for (const auto& entry : set.ordered()) {
    if (entry.path == "/in/A.pcd") {
      EXPECT_EQ(entry.relativeSubfolder, "roll1/");
    }
    EXPECT_EQ(entry.present, 1);
  }
  EXPECT_TRUE(set.remove("/in/A.pcd"));
  EXPECT_FALSE(set.remove("/in/A.pcd"));
  EXPECT_EQ(set.size(), 1u);
  set.clear();
  EXPECT_EQ(set.size(), 0u);
  EXPECT_TRUE(set.ordered().empty());
  EXPECT_TRUE(set.add("/in/A.pcd", ""));
}

TEST(ConversionJobNumbers, ResetStartsTheSequenceAndDrawsFromOneTo99999) {
  ConversionJob job;
  job.sequenceNumber = 42;
  job.reset();
  EXPECT_EQ(job.sequenceNumber, 1);
  std::set<std::int32_t> seen;
  for (int i = 0; i < 2000; ++i) {
    job.drawRandomNumber();
    ASSERT_GE(job.randomNumber, 1);
    ASSERT_LE(job.randomNumber, 99999);
    seen.insert(job.randomNumber);
  }
  EXPECT_GT(seen.size(), 1900u) << "the draws are spread over the range";
}

TEST(RunProgressGate, HoldsTheWorkerWhilePausedAndZeroClearsEverything) {
  RunProgress progress;
  progress.processedCount = 3;
  progress.currentFile.assign(1, 'x');
  progress.convertedCount = 2;
  progress.finished = true;
  progress.pause();
  progress.zero();
  EXPECT_EQ(progress.processedCount, 0);
  EXPECT_EQ(progress.currentFile, "");
  EXPECT_EQ(progress.convertedCount, 0);
  EXPECT_FALSE(progress.finished);
  progress.waitWhilePaused();  // zero() lifted the old pause

  progress.pause();
  std::atomic<bool> passed{false};
  std::thread worker([&] {
    progress.waitWhilePaused();
    passed = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_FALSE(passed.load());
  progress.resume();
  worker.join();
  EXPECT_TRUE(passed.load());
}

}  // namespace
}  // namespace lumafold
