// Inputs of a run that would be written to one output file, found from the
// filename mask before the run starts, so that the user can go back
// instead of losing all but the last of them.
#pragma once

#include <string>
#include <vector>

#include "engine/app_context.h"

namespace lumafold::ui {

struct OutputCollision {
  std::string output;
  std::vector<std::string> inputs;  // in conversion order; the last one is kept
};

// With the job's run fields filled. Names from "%width%", "%height%" and
// "%bpp%" are taken as equal for every file, so a collision listed there
// may not happen; a mask with "%rnd%" gives none.
std::vector<OutputCollision> PlannedOutputCollisions(const AppContext& context);

// The question the window asks: the collisions, at most a few of them
// named, and whether to convert anyway.
std::string CollisionQuestion(const std::vector<OutputCollision>& collisions);

}  // namespace lumafold::ui
