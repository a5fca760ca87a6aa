// What a run must not leave behind when the process ends without unwinding.
//
// A second Ctrl-C (or SIGTERM, SIGHUP) ends a command-line batch at once,
// while workers may be writing. The temporary outputs in the output
// folders and the run folders are recorded here while they exist, so that
// the last moments of the process can remove them after the converters
// have been killed.
#pragma once

#include <string>

namespace lumafold {

// Creates `path` exclusively (nothing already there is touched) and records
// it. False, with errno set, when it could not be created; also false
// (EINTR) once RemoveLeftoversForExit has run.
bool ClaimTrackedFile(const std::string& path);

// Records a path made otherwise (a run folder) / drops a record once the
// path is gone or moved into place.
void TrackLeftover(const std::string& path);
void ForgetLeftover(const std::string& path);

// Ends every running child's process group, removes every recorded file
// and folder and refuses every later claim. Only for a process about to
// call _exit: the records stay locked.
void RemoveLeftoversForExit();

}  // namespace lumafold
