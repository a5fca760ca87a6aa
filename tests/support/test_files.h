// File helpers every suite's tests share, with no toolkit or image library:
// the source tree's test files, scratch folders, environment and time-zone
// overrides for one test, and whole-file reads and writes.
#pragma once

#include <stdlib.h>
#include <sys/stat.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace lumafold::test_files {

namespace fs = std::filesystem;

inline std::string SourcePath(const std::string& relative) {
  return std::string(LUMAFOLD_SOURCE_DIR) + "/" + relative;
}
inline std::string Sample(const std::string& name) { return SourcePath("samples/" + name); }
inline std::string DecoderData(const std::string& name) {
  return SourcePath("tests/data/decoder/" + name);
}
inline std::string Hostile(const std::string& name) {
  return SourcePath("tests/data/hostile/files/" + name);
}

// A folder removed with everything in it; path() ends without "/".
class Scratch {
 public:
  Scratch() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/lumafold-pipeline-XXXXXX";
    if (::mkdtemp(pattern.data())) path_ = pattern;
  }
  ~Scratch() {
    std::error_code ignored;
    if (!path_.empty()) fs::remove_all(path_, ignored);
  }
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Sets an environment variable for one test and restores it afterwards.
class EnvOverride {
 public:
  EnvOverride(const char* name, const std::string& value) : name_(name) {
    const char* old = std::getenv(name);
    if (old) old_ = old;
    ::setenv(name, value.c_str(), 1);
  }
  ~EnvOverride() {
    if (old_)
      ::setenv(name_, old_->c_str(), 1);
    else
      ::unsetenv(name_);
  }
  EnvOverride(const EnvOverride&) = delete;
  EnvOverride& operator=(const EnvOverride&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

// Sets the time zone for one test and restores it afterwards.
class ZoneOverride {
 public:
  explicit ZoneOverride(const std::string& zone) {
    const char* old = std::getenv("TZ");
    if (old) old_ = old;
    ::setenv("TZ", zone.c_str(), 1);
    ::tzset();
  }
  ~ZoneOverride() {
    if (old_)
      ::setenv("TZ", old_->c_str(), 1);
    else
      ::unsetenv("TZ");
    ::tzset();
  }
  ZoneOverride(const ZoneOverride&) = delete;
  ZoneOverride& operator=(const ZoneOverride&) = delete;

 private:
  std::optional<std::string> old_;
};

inline void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

inline std::vector<std::string> ReadLines(const std::string& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// Every entry below `folder`, as paths relative to it.
inline std::vector<std::string> ListTree(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code error;
  for (auto it = fs::recursive_directory_iterator(folder, error);
       !error && it != fs::recursive_directory_iterator(); it.increment(error))
    names.push_back(fs::relative(it->path(), folder).string());
  return names;
}

inline void MakeExecutable(const std::string& path, const std::string& script) {
  WriteFile(path, script);
  ::chmod(path.c_str(), 0755);
}

}  // namespace lumafold::test_files
