// Decodes one Photo CD file with the built-in decoder and writes it as a
// binary PPM, for bench/photo-cd-decoder.sh: the decoder's own cost with
// nothing of the conversion pipeline around it.
//
//   lumafold-pcd-decode [--16] [--spare-core] FILE OUT.ppm
//
// --spare-core lets a second thread share the decode's rows, as lumafold
// does for a batch of one file; without it the decode runs on one thread.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "photocd/photocd.h"

int main(int argc, char** argv) {
  bool wide = false;
  bool spareCore = false;
  int first = 1;
  for (; first < argc && argv[first][0] == '-' && argv[first][1] == '-'; ++first) {
    if (std::strcmp(argv[first], "--16") == 0) {
      wide = true;
    } else if (std::strcmp(argv[first], "--spare-core") == 0) {
      spareCore = true;
    } else {
      break;
    }
  }
  if (argc - first != 2) {
    std::fprintf(stderr, "usage: %s [--16] [--spare-core] FILE OUT.ppm\n", argv[0]);
    return 2;
  }
  lumafold::pcd::Request request;
  request.spareCore = spareCore;
  request.rendering =
      wide ? lumafold::pcd::Rendering::Display16 : lumafold::pcd::Rendering::Display8;
  const lumafold::pcd::Result result = lumafold::pcd::DecodeFile(argv[argc - 2], request);
  if (!result.ok) {
    std::fprintf(stderr, "%s: %s\n", argv[argc - 2], result.error.c_str());
    return 1;
  }
  const lumafold::pcd::Picture& picture = result.picture;
  std::FILE* out = std::fopen(argv[argc - 1], "wb");
  if (!out) return 1;
  std::fprintf(out, "P6\n%d %d\n%d\n", picture.width, picture.height, wide ? 65535 : 255);
  if (wide) {
    // PPM holds 16-bit samples most significant byte first; one row at a
    // time, so the driver's peak memory stays the decoder's.
    const std::size_t rowValues = static_cast<std::size_t>(picture.width) * 3;
    std::vector<unsigned char> bytes(rowValues * 2);
    for (std::size_t row = 0; row < static_cast<std::size_t>(picture.height); ++row) {
      const std::uint16_t* values = picture.rgb16.data() + row * rowValues;
      for (std::size_t i = 0; i < rowValues; ++i) {
        bytes[2 * i] = static_cast<unsigned char>(values[i] >> 8);
        bytes[2 * i + 1] = static_cast<unsigned char>(values[i] & 0xFF);
      }
      std::fwrite(bytes.data(), 1, bytes.size(), out);
    }
  } else {
    std::fwrite(picture.rgb8.data(), 1, picture.rgb8.size(), out);
  }
  const bool written = std::fclose(out) == 0;
  if (!picture.note.empty()) std::fprintf(stderr, "%s: %s\n", argv[argc - 2], picture.note.c_str());
  return written ? 0 : 1;
}
