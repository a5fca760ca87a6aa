// The private folder of one conversion run: made with mkdtemp under $TMPDIR
// (default /tmp) when the run starts and removed with everything in it when
// the run ends. The external decoder's input links and intermediate BMP
// files live here, so no other user can swap them and none outlives the run.
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
};

// Removes a folder and everything below it without following symbolic
// links (the decoder's input links point at the user's files).
void RemoveTree(const std::string& path);

}  // namespace lumafold
