// Helpers for the decoder, naming and worker tests: scratch folders, a
// private $TMPDIR, stand-in converters written as shell scripts, the sample
// files, and an orientation check by correlation.
#pragma once

#include <FreeImage.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <cmath>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "engine/image.h"

namespace lumafold::pipeline_testing {

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

// A converter stand-in: logs the sub-image index of each run to `log`, then
// runs `body` with $index and $out set (the requested index and the
// intermediate BMP's name). `body` is shell text; "$REAL" names the real convert.
inline std::string StandInScript(const std::string& log, const std::string& body) {
  return "#!/bin/sh\n"
         "REAL=convert\n"
         "index=''; out=''\n"
         "for a in \"$@\"; do\n"
         "  case \"$a\" in\n"
         "    pcd:*) index=$(printf '%s' \"$a\" | sed 's/.*\\[\\([0-9]*\\)\\]$/\\1/') ;;\n"
         "    bmp3:*) out=${a#bmp3:} ;;\n"
         "  esac\n"
         "done\n"
         "echo \"$index\" >> '" +
         log + "'\n" + body + "\n";
}

// Shell text that writes a grey BMP of the given size to $out.
inline std::string WriteBmpOfSize(int width, int height) {
  return "\"$REAL\" -size " + std::to_string(width) + "x" + std::to_string(height) +
         " xc:gray50 \"bmp3:$out\"";
}

// Correlation of two pictures' luminance after scaling both to 96x64 (or
// 64x96): near 1 for the same picture the same way up, low for one turned
// or flipped. Also insensitive to the decoders' different tone curves.
inline double Correlation(FIBITMAP* a, FIBITMAP* b) {
  if (!a || !b) return -2;
  const bool portrait = FreeImage_GetHeight(a) > FreeImage_GetWidth(a);
  const int w = portrait ? 64 : 96;
  const int h = portrait ? 96 : 64;
  auto grey = [&](FIBITMAP* image) {
    ImageHandle small(FreeImage_Rescale(image, w, h, FILTER_BOX));
    ImageHandle g(small ? FreeImage_ConvertToGreyscale(small.get()) : nullptr);
    std::vector<double> values;
    if (!g) return values;
    for (int y = 0; y < h; ++y) {
      const BYTE* row = FreeImage_GetScanLine(g.get(), y);
      for (int x = 0; x < w; ++x) values.push_back(row[x]);
    }
    return values;
  };
  const auto va = grey(a);
  const auto vb = grey(b);
  if (va.size() != vb.size() || va.empty()) return -2;
  double ma = 0, mb = 0;
  for (std::size_t i = 0; i < va.size(); ++i) ma += va[i], mb += vb[i];
  ma /= va.size();
  mb /= vb.size();
  double sab = 0, saa = 0, sbb = 0;
  for (std::size_t i = 0; i < va.size(); ++i) {
    sab += (va[i] - ma) * (vb[i] - mb);
    saa += (va[i] - ma) * (va[i] - ma);
    sbb += (vb[i] - mb) * (vb[i] - mb);
  }
  return sab / std::sqrt(saa * sbb);
}

}  // namespace lumafold::pipeline_testing
