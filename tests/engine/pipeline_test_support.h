// Helpers for the decoder, naming and worker tests: the shared file helpers
// (support/test_files.h), stand-in converters written as shell scripts, and
// an orientation check by correlation.
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
#include "support/test_files.h"

namespace lumafold::pipeline_testing {

namespace fs = std::filesystem;

using namespace test_files;

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
