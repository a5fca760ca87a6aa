// Reading --shard=K/N and picking a run's share by a stable hash of each
// file's subfolder and name, so that the processes agree without talking.
#include "cli/shard.h"

#include <charconv>
#include <vector>

#include "settings/text_utils.h"

namespace lumafold {

namespace {

std::optional<std::uint32_t> ReadCount(std::string_view text) {
  text = TrimSpaces(text);
  std::uint32_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// 64-bit FNV-1a: fixed by its definition, so every build, machine and
// version picks the same shard for a file.
std::uint64_t StableHash(std::string_view a, std::string_view b) {
  std::uint64_t hash = 14695981039346656037ull;
  for (std::string_view part : {a, b})
    for (unsigned char c : part) {
      hash ^= c;
      hash *= 1099511628211ull;
    }
  return hash;
}

}  // namespace

std::optional<Shard> ParseShard(std::string_view text) {
  const std::size_t slash = text.find('/');
  if (slash == std::string_view::npos) return std::nullopt;
  const auto index = ReadCount(text.substr(0, slash));
  const auto count = ReadCount(text.substr(slash + 1));
  if (!index || !count || *count == 0 || *index >= *count) return std::nullopt;
  return Shard{*index, *count};
}

bool BelongsToShard(const Shard& shard, const std::string& relativeSubfolder,
                    std::string_view fileName) {
  if (shard.count <= 1) return true;
  return StableHash(relativeSubfolder, fileName) % shard.count == shard.index;
}

std::size_t KeepShard(InputSet& inputs, const Shard& shard) {
  if (shard.count <= 1) return inputs.size();
  std::vector<std::string> others;
  for (const InputEntry& entry : inputs.ordered()) {
    const std::string_view name =
        std::string_view(entry.path).substr(entry.path.find_last_of('/') + 1);
    if (!BelongsToShard(shard, entry.relativeSubfolder, name)) others.push_back(entry.path);
  }
  for (const std::string& path : others) inputs.remove(path);
  return inputs.size();
}

}  // namespace lumafold
