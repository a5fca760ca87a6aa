// The run context, the input set and the progress record.
#include "engine/run/conversion_job.h"

#include <algorithm>
#include <cstdlib>

#include "settings/text_utils.h"

namespace lumafold {

void ConversionJob::reset() {
  sequenceNumber = 1;
  drawRandomNumber();
}

std::mt19937 ConversionJob::NewRandomEngine() {
  if (const char* seed = std::getenv("LUMAFOLD_RANDOM_SEED"); seed && *seed) {
    char* end = nullptr;
    const unsigned long long value = std::strtoull(seed, &end, 10);
    if (*end == '\0') return std::mt19937(static_cast<std::mt19937::result_type>(value));
  }
  return std::mt19937(std::random_device{}());
}

void ConversionJob::drawRandomNumber() {
  std::uniform_int_distribution<std::int32_t> range(1, 99999);
  randomNumber = range(randomEngine);
}

std::uint32_t InputSet::Hash(const std::string& utf8Path) {
  std::uint32_t h = 0;
  for (const char16_t unit : ToUtf16(utf8Path)) h = h * 65599u + unit;
  return h;
}

bool InputSet::add(const std::string& path, const std::string& relativeSubfolder,
                   FileIdentity identity) {
  InputEntry entry;
  entry.path = path;
  entry.relativeSubfolder = relativeSubfolder;
  entry.identity = identity;
  return add(std::move(entry));
}

bool InputSet::add(InputEntry entry) {
  auto& chain = buckets_[Hash(entry.path) % kBuckets];
  for (const auto& held : chain)
    if (held.path == entry.path) return false;
  if (entry.identity.known() && !identities_.insert(entry.identity).second) return false;
  // The chain's head is the vector's back, so a new entry is visited first.
  chain.push_back(std::move(entry));
  ++count_;
  return true;
}

bool InputSet::contains(const std::string& path) const {
  const auto& chain = buckets_[Hash(path) % kBuckets];
  return std::any_of(chain.begin(), chain.end(),
                     [&](const InputEntry& entry) { return entry.path == path; });
}

bool InputSet::remove(const std::string& path) {
  auto& chain = buckets_[Hash(path) % kBuckets];
  const auto it = std::find_if(chain.begin(), chain.end(),
                               [&](const InputEntry& entry) { return entry.path == path; });
  if (it == chain.end()) return false;
  if (it->identity.known()) identities_.erase(it->identity);
  chain.erase(it);
  --count_;
  return true;
}

void InputSet::clear() {
  for (auto& chain : buckets_) chain.clear();
  count_ = 0;
  identities_.clear();
}

std::vector<InputEntry> InputSet::ordered() const {
  std::vector<InputEntry> entries;
  entries.reserve(count_);
  for (const auto& chain : buckets_)
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) entries.push_back(*it);
  return entries;
}

void RunProgress::zero() {
  std::lock_guard<std::mutex> guard(lock);
  processedCount = 0;
  currentFile.clear();
  convertedCount = 0;
  damagedCount = 0;
  endedCount = 0;
  filesInHand.clear();
  finished = false;
  // A pause left over from an earlier run would hold the new worker forever.
  paused_ = false;
}

void RunProgress::pause() {
  std::lock_guard<std::mutex> guard(lock);
  paused_ = true;
}

void RunProgress::resume() {
  {
    std::lock_guard<std::mutex> guard(lock);
    paused_ = false;
  }
  pauseChanged_.notify_all();
}

void RunProgress::waitWhilePaused() {
  std::unique_lock<std::mutex> guard(lock);
  waitWhilePaused(guard);
}

void RunProgress::waitWhilePaused(std::unique_lock<std::mutex>& held) {
  pauseChanged_.wait(held, [this] { return !paused_; });
}

}  // namespace lumafold
