// The private folder of one conversion run: made with mkdtemp under $TMPDIR
// (default /tmp) when the run starts and removed with everything in it when
// the run ends. The external decoder's input links and intermediate BMP
// files live here, so no other user can swap them and none outlives the run.
//
// The folder is named lumafold-PID-XXXXXX and locked (flock) while its run
// lives. Only SIGKILL (or a power cut) leaves one behind; the next run in
// the same $TMPDIR removes those whose process is gone and whose lock is
// free.
#pragma once

#include <string>

namespace lumafold {

class RunFolder {
 public:
  RunFolder();  // creates the folder; path() is empty when that failed
  ~RunFolder();
  RunFolder(const RunFolder&) = delete;
  RunFolder& operator=(const RunFolder&) = delete;

  const std::string& path() const { return path_; }  // no trailing "/"
  bool valid() const { return !path_.empty(); }

 private:
  std::string path_;
  int lockFd_ = -1;
};

// $TMPDIR without trailing "/", or "/tmp".
std::string TemporaryFolderBase();

// Why runs cannot use $TMPDIR for their intermediate pictures (missing, not
// a folder, not writable, full), as "PATH: reason"; empty when usable.
std::string TemporaryFolderProblem();

// Removes the run folders in `base` left by processes that are gone.
void RemoveStaleRunFolders(const std::string& base);

// Removes a folder and everything below it without following symbolic
// links (the decoder's input links point at the user's files).
void RemoveTree(const std::string& path);

}  // namespace lumafold
