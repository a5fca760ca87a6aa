// Built-in table of input and output formats and the keyword sets of the
// enumerated settings. Filled once, read-only afterwards.
#pragma once

namespace lumafold {

class FormatRegistry {
 public:
  FormatRegistry();
};

}  // namespace lumafold
