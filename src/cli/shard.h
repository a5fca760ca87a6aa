// --shard=K/N: one of N runs over the same input set, each converting its
// own share, so that a large archive can be spread over processes or
// machines (GNU parallel, a Slurm job array, an indexed Kubernetes job).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "engine/run/conversion_job.h"

namespace lumafold {

struct Shard {
  std::uint32_t index = 0;  // K, from 0
  std::uint32_t count = 1;  // N
};

// "K/N" with 0 <= K < N (decimal, spaces around the numbers allowed);
// nullopt for anything else.
std::optional<Shard> ParseShard(std::string_view text);

// Whether a file belongs to the shard. The choice hashes the file's path
// below its input folder (its relative subfolder and name), never the
// folder the archive is mounted at or the order files are listed in: runs
// on different machines over the same archive agree on every file.
bool BelongsToShard(const Shard& shard, const std::string& relativeSubfolder,
                    std::string_view fileName);

// Removes from the input set every entry that is not the shard's; returns
// how many stay.
std::size_t KeepShard(InputSet& inputs, const Shard& shard);

}  // namespace lumafold
