// Process entry: creates the process-wide records, takes the instance guard,
// picks the command-line or the window face, and ends through one exit path.
#pragma once

namespace lumafold {

int RunLumafold(int argc, char** argv);

}  // namespace lumafold
